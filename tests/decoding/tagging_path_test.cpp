// The tagging run gives the same output file on the fast path as on the
// reference path that KORVANE_REFERENCE_PATH=1 selects.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/tagging_run.h"
#include "test_files.h"

namespace {

std::string temp(const std::string& name) { return testing::TempDir() + "tagging_path_test_" + name; }

std::string runDriver(const std::string& model, const std::string& dict, const std::string& input,
                      const std::string& output, bool reference) {
  if (reference) setenv("KORVANE_REFERENCE_PATH", "1", 1);
  else unsetenv("KORVANE_REFERENCE_PATH");
  std::string m = model, d = dict, in = input, out = output, none = "NULL";
  testing::internal::CaptureStderr();
  const int result = ME_TestLabel6(&none[0], &m[0], &in[0], &out[0], &none[0], &d[0], 0);
  testing::internal::GetCapturedStderr();
  unsetenv("KORVANE_REFERENCE_PATH");
  EXPECT_EQ(result, 1);
  return readFile(output);
}

TEST(TaggingPath, FastAndReferenceRunsWriteTheSameFile) {
  const std::vector<std::string> tags = {"NN", "VB", "DT", "PU"};
  const std::vector<std::string> words = {"the", "a", "cat", "runs", ",", "\xa3\xac", "\xd6\xd0", "dog", "Big"};
  std::vector<std::string> names;
  for (const std::string& w : words)
    for (const char* p : {"U01:", "U02:", "U03:", "U00:", "U21:", "A01:"}) names.push_back(p + w);
  for (const std::string& a : tags) {
    names.push_back("B1:" + a);
    for (const std::string& b : tags) names.push_back("B2:" + a + "/" + b);
  }
  std::mt19937 rng(3);
  std::normal_distribution<double> weight(0.0, 2.0);
  std::vector<ME_Model_Data> rows;
  for (const std::string& n : names)
    for (const std::string& t : tags) rows.push_back({t.c_str(), n.c_str(), weight(rng)});
  rows.push_back({"///", nullptr, 0.0});
  ME_Model model;
  ASSERT_TRUE(model.load_from_array(rows.data()));
  ASSERT_TRUE(model.save_to_fileV2(temp("m.model")));
  std::ofstream(temp("m.dict")) << "the DT\ncat NN VB\n, PU\n";
  std::string text;
  std::uniform_int_distribution<size_t> pick(0, words.size() - 1);
  std::uniform_int_distribution<int> length(0, 8);
  for (int line = 0; line < 60; ++line) {
    for (int i = length(rng); i > 0; --i) text += words[pick(rng)] + " ";
    text += "\n";
  }
  std::ofstream(temp("in.txt")) << text;

  const int saved = _lang;
  for (int lang : {36, 37}) {
    _lang = lang;
    const std::string fast = runDriver(temp("m.model"), temp("m.dict"), temp("in.txt"), temp("fast.out"), false);
    const std::string ref = runDriver(temp("m.model"), temp("m.dict"), temp("in.txt"), temp("ref.out"), true);
    EXPECT_FALSE(fast.empty());
    EXPECT_EQ(fast, ref) << "language " << lang;
  }
  _lang = saved;
}

}  // namespace
