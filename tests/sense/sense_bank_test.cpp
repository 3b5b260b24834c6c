// Predicate dictionaries built from occurrences: the text loadBank reads and
// the roleset names beside it.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "features/predicate_dictionary.h"
#include "sense/sense_bank.h"
#include "test_files.h"

namespace {

_bankExample pattern(const std::string& left, const std::string& right) {
  _bankExample e;
  e.label = "_";
  for (char c : left) e.left.emplace_back(1, c);
  for (char c : right) e.right.emplace_back(1, c);
  return e;
}

TEST(SenseBankTest, SensesByFrequencyWithTheirPatternsAndRolesets) {
  SenseBankBuilder b;
  b.add("service", false, "serve.01", "01", pattern("", "1"));
  b.add("service", false, "serve.02", "02", pattern("0", ""));
  b.add("service", false, "serve.02", "02", pattern("0", ""));
  b.add("service", false, "serve.02", "02", pattern("", ""));
  b.add("have", true, "have.03", "03", pattern("0", "1"));
  b.add("have", true, "have.03", "03", pattern("0", "1"));
  b.add("have", true, "be.03", "03", pattern("", "2"));
  // The patterns seen twice (=x_x0R_ and =x_x0R1) are added to the first
  // sense of the lemma that lacks them.
  EXPECT_EQ(b.text(false), "service\ts02:0=x_x0R_=x_x_R_=x_x0R1s01:1=x_x_R1\t02:serve.02,01:serve.01\n");
  EXPECT_EQ(b.text(true), "have\ts03:0:1=x_x0R1=x_x0R_s03B:2=x_x_R2\t03:have.03,03B:be.03\n");

  const std::string path = testing::TempDir() + "sense_bank.nombank";
  writeFile(path, b.text(false));
  testing::internal::CaptureStderr();
  loadBank(path.c_str(), 1);
  testing::internal::GetCapturedStderr();
  const std::vector<_bankSense>& senses = _dicNom["service"];
  ASSERT_EQ(senses.size(), 2u);
  EXPECT_EQ(senses[0].name, "s02");
  EXPECT_EQ(senses[0].roles, std::vector<std::string>{"0"});
  ASSERT_EQ(senses[0].examples.size(), 3u);
  EXPECT_EQ(senses[0].examples[0].label, "_");
  EXPECT_EQ(senses[0].examples[0].left, std::vector<std::string>{"0"});
  EXPECT_TRUE(senses[0].examples[0].right.empty());
  _dicNom.clear();

  std::map<std::string, std::map<std::string, std::string>> names;
  std::string error;
  ASSERT_TRUE(readRolesetNames(path, names, error));
  EXPECT_EQ(names["service"]["02"], "serve.02");
  EXPECT_EQ(names["service"]["01"], "serve.01");
  EXPECT_FALSE(readRolesetNames(path + ".missing", names, error));
  EXPECT_EQ(error.compare(0, 20, "Error: cannot open /"), 0) << error;
}

}  // namespace
