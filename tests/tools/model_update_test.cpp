#include "tools/model_update.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <list>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "maxent/me_model.h"
#include "test_files.h"

namespace {

std::string tempPath(const std::string& name) { return testing::TempDir() + "update_" + name; }

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Converts quietly; returns the messages.
std::string convert(const std::string& oldPath, const std::string& newPath, bool* ok = nullptr) {
  testing::internal::CaptureStderr();
  const bool result = modelUpdateV2Checked(oldPath.c_str(), newPath.c_str());
  if (ok) *ok = result;
  return testing::internal::GetCapturedStderr();
}

using Triples = std::set<std::tuple<std::string, std::string, double>>;

Triples triplesOf(ME_Model& m) {
  std::list<std::pair<std::pair<std::string, std::string>, double>> f;
  m.get_features(f);
  Triples out;
  for (const auto& e : f) out.emplace(e.first.first, e.first.second, e.second);
  return out;
}

struct LayoutCase {
  const char* what;
  const char* old;
  const char* want;
};

TEST(ModelUpdateV2, WritesTheVersion2LayoutKeepingWeightText) {
  const LayoutCase cases[] = {
      {"the seven-line example", "NN U01:a 0.5\nNNS U01:a -1.25\nNNS U01:b 2\nNN U02:a 0.125\n",
       "\nU01\na NN 0.5 NNS -1.25\nb NNS 2\n\nU02\na NN 0.125"},
      {"several colons stay in the value", "L U05:a:b 1\nM U05:a:b 2.50\n", "\nU05\na:b L 1 M 2.50"},
      {"a prefix coming back opens a new block", "L P:a 1\nL Q:a 2\nL P:b 3\n",
       "\nP\na L 1\n\nQ\na L 2\n\nP\nb L 3"},
      {"empty and blank lines are skipped, extra fields ignored", "\nL P:a 1 extra\n \t\n\r\nL P:a 4\n",
       "\nP\na L 1 L 4"},
      {"tabs and carriage returns", "L\tP:a\t0.5\r\nM P:a 1\r\n", "\nP\na L 0.5\r M 1\r"},
      {"empty old file", "", ""},
  };
  for (const auto& c : cases) {
    const std::string oldPath = tempPath("layout.old"), newPath = tempPath("layout.new");
    writeFile(oldPath, c.old);
    bool ok = false;
    EXPECT_EQ(convert(oldPath, newPath, &ok), "") << c.what;
    EXPECT_TRUE(ok) << c.what;
    EXPECT_EQ(readFile(newPath), c.want) << c.what;
  }
}

TEST(ModelUpdateV2, ConvertedFileLoadsToTheSameTriplesAsTheOldOne) {
  std::mt19937 rng(42);
  const char* labels[] = {"NN", "NNS", "VB", "JJ", "\xb5\xc4"};
  const char* weights[] = {"0.5", "-1.25", "2", "1e-3", "3.14159265", "-0.0000004", "12345.678"};
  std::vector<std::string> lines;
  for (int p = 0; p < 5; ++p)
    for (int v = 0; v < 8; ++v)
      for (int l = 0; l < 5; ++l)
        if (rng() % 2)
          lines.push_back(std::string(labels[l]) + " U0" + std::to_string(p) + ":" + (v % 3 ? "w" : "x:y") +
                          std::to_string(v) + " " + weights[rng() % 7]);
  for (bool grouped : {true, false}) {
    if (!grouped) std::shuffle(lines.begin(), lines.end(), rng);
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    const std::string oldPath = tempPath("equal.old"), newPath = tempPath("equal.new");
    writeFile(oldPath, text);
    bool ok = false;
    convert(oldPath, newPath, &ok);
    ASSERT_TRUE(ok);
    ME_Model before, after;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(before.load_from_file(oldPath));
    ASSERT_TRUE(after.load_from_fileV2(newPath));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(triplesOf(after), triplesOf(before)) << (grouped ? "grouped" : "shuffled");
    EXPECT_EQ(triplesOf(after).size(), lines.size());
  }
}

struct FailCase {
  const char* what;
  const char* old;
  const char* message;  // after "Error: <old> line "
};

TEST(ModelUpdateV2, RefusesLinesItCannotConvertAndKeepsTheTarget) {
  const FailCase cases[] = {
      {"two fields", "L P:a 1\nL P:b\n", "2: a line needs a label, a feature name and a weight.\n"},
      {"no colon", "L plain 1\n", "1: the feature name \"plain\" has no ':' after its first byte.\n"},
      {"colon only first", "L :a 1\n", "1: the feature name \":a\" has no ':' after its first byte.\n"},
      {"empty value", "L P: 1\n", "1: the feature name \"P:\" has nothing after its ':'.\n"},
      {"weight text", "L P:a one\n", "1: the weight \"one\" is not a finite number.\n"},
  };
  for (const auto& c : cases) {
    const std::string oldPath = tempPath("fail.old"), newPath = tempPath("fail.new");
    writeFile(oldPath, c.old);
    writeFile(newPath, "previous model");
    bool ok = true;
    EXPECT_EQ(convert(oldPath, newPath, &ok), "Error: " + oldPath + " line " + c.message) << c.what;
    EXPECT_FALSE(ok) << c.what;
    EXPECT_EQ(readFile(newPath), "previous model") << c.what;
  }
}

TEST(ModelUpdateV2, MissingOldFileCreatesNothing) {
  const std::string oldPath = tempPath("absent.old"), newPath = tempPath("absent.new");
  std::remove(newPath.c_str());
  bool ok = true;
  EXPECT_EQ(convert(oldPath, newPath, &ok), "Error: cannot open " + oldPath + " for reading.\n");
  EXPECT_FALSE(ok);
  EXPECT_FALSE(exists(newPath));

  // A directory opens for reading but cannot be read.
  const std::string dir = tempPath("a_directory");
  ::mkdir(dir.c_str(), 0755);
  EXPECT_EQ(convert(dir, newPath, &ok), "Error: cannot read " + dir + ".\n");
  EXPECT_FALSE(ok);
  EXPECT_FALSE(exists(newPath));

  // The entry point without a result behaves the same.
  std::string o = oldPath, n = newPath;
  testing::internal::CaptureStderr();
  modelUpdateV2(&o[0], &n[0]);
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(exists(newPath));
}

}  // namespace
