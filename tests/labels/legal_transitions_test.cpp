#include "labels/legal_transitions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"

namespace {

typedef std::vector<std::string> Strings;

std::vector<CMiniStringBag> loadTable(const std::string& content, std::string* printed = nullptr) {
  std::string path = writeTemp("legal.txt", content);
  std::vector<CMiniStringBag> table;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(LoadLegalTagTrans(&path[0], table));
  const std::string out = testing::internal::GetCapturedStdout();
  if (printed) *printed = out;
  return table;
}

bool legal(const std::string& a, const std::string& b, std::vector<CMiniStringBag>& table) {
  std::string first = a, second = b;
  return IsLegalSequence(first, second, table);
}

TEST(LoadLegalTagTrans, ReadsTheThreeKindsOfLines) {
  std::string printed;
  std::vector<CMiniStringBag> table = loadTable(
      "T: VV NN\n"
      "S: NN extra fields\n"
      "\n"
      "S:NN2\n"        // tag word not a field of its own
      "X: QQ\n"        // unknown tag word
      " S: LEAD\n"     // field 1 is empty
      "E:\tVV\n"
      "S: NN\n"        // repeat keeps its id
      "T: DT  NN junk\n"
      "T: ONE\n",
      &printed);
  EXPECT_EQ(printed, "");
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[0].strings, Strings{"NN"});
  EXPECT_EQ(table[1].strings, Strings{"VV"});
  EXPECT_EQ(table[2].strings, (Strings{"VV NN", "DT NN", "ONE "}));
  EXPECT_EQ(table[3].count, 0);

  struct Query {
    const char *first, *second;
    bool want;
  } queries[] = {
      {"NN", "", true},  {"VV", "", false},  {"", "VV", true},  {"", "NN", false},
      {"VV", "NN", true}, {"NN", "VV", false}, {"DT", "NN", true}, {"ONE", "", false},
      {"NN2", "", false}, {"LEAD", "", false},
  };
  for (const Query& q : queries) EXPECT_EQ(legal(q.first, q.second, table), q.want) << q.first << "|" << q.second;
}

TEST(LoadLegalTagTrans, NoTransitionLinesMakeEveryBigramIllegal) {
  std::vector<CMiniStringBag> table = loadTable("S: A\nE: B\n");
  EXPECT_FALSE(legal("A", "B", table));
  EXPECT_FALSE(legal("A", "A", table));
}

TEST(LoadLegalTagTrans, ResizesToFourAndReportsMissingFilesOnStdout) {
  std::string path = writeTemp("legal6.txt", "S: A\n");
  std::vector<CMiniStringBag> table(6);
  table[5].Put("old");
  table[0].Put("old");
  EXPECT_TRUE(LoadLegalTagTrans(&path[0], table));
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[0].strings, Strings{"A"});

  std::string empty;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(LoadLegalTagTrans(&empty[0], table));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "No legal label transition file for reading.\n");
  ASSERT_EQ(table.size(), 4u);
  for (const CMiniStringBag& bag : table) EXPECT_EQ(bag.count, 0);

  std::string missing = tempPath("no_such_legal.txt");
  std::remove(missing.c_str());
  table.assign(1, CMiniStringBag());
  table[0].Put("old");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(LoadLegalTagTrans(&missing[0], table));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to open " + missing + " for reading.\n");
  ASSERT_EQ(table.size(), 4u);
  for (const CMiniStringBag& bag : table) EXPECT_EQ(bag.count, 0);
}

TEST(IsLegalSequence, ShortTableIsNeverLegal) {
  std::vector<CMiniStringBag> table(2);
  table[0].Put("A");
  table[1].Put("A");
  EXPECT_FALSE(legal("A", "", table));
  EXPECT_FALSE(legal("A", "A", table));
  table.clear();
  EXPECT_FALSE(legal("A", "", table));
}

bool build(const std::string& train, const std::string& out, std::string& err) {
  std::string t = train, o = out;
  testing::internal::CaptureStderr();
  const bool ok = buildLegalSeqTrans(&t[0], &o[0]);
  err = testing::internal::GetCapturedStderr();
  return ok;
}

TEST(BuildLegalSeqTrans, WritesStartEndAndTransitionGroups) {
  std::string train = writeTemp("abc.crf", "x A\ny B\nz C\n\n\nw B");
  std::string out = tempPath("abc.legal");
  std::string err;
  ASSERT_TRUE(build(train, out, err));
  EXPECT_EQ(err, "");
  EXPECT_EQ(readAll(out), "S: A\nS: B\nE: C\nE: B\nT: A B\nT: B C\n");

  std::vector<CMiniStringBag> table = loadTable(readAll(out));
  EXPECT_TRUE(legal("A", "", table));
  EXPECT_TRUE(legal("", "B", table));
  EXPECT_TRUE(legal("B", "C", table));
  EXPECT_FALSE(legal("C", "B", table));
}

TEST(BuildLegalSeqTrans, LongLabelsAreWrittenWhole) {
  const std::string longA(300, 'a'), longB(600, 'b');
  std::string train = writeTemp("long.crf", "x " + longA + "\ny " + longB + "\n");
  std::string out = tempPath("long.legal");
  std::string err;
  ASSERT_TRUE(build(train, out, err));
  EXPECT_EQ(readAll(out), "S: " + longA + "\nE: " + longB + "\nT: " + longA + " " + longB + "\n");
  std::vector<CMiniStringBag> table = loadTable(readAll(out));
  EXPECT_TRUE(legal(longA, longB, table));
}

TEST(BuildLegalSeqTrans, FailuresNameTheFile) {
  std::string missing = tempPath("no_such_train2.crf");
  std::remove(missing.c_str());
  std::string out = tempPath("never.legal");
  std::remove(out.c_str());
  std::string err;
  EXPECT_FALSE(build(missing, out, err));
  EXPECT_EQ(err, "Error: open file " + missing + ".\n");
  EXPECT_FALSE(fileExists(out));

  std::string train = writeTemp("one.crf", "x A\n");
  std::string unwritable = tempPath("no_such_dir/out.legal");
  EXPECT_FALSE(build(train, unwritable, err));
  EXPECT_EQ(err, "Error: cannot create " + unwritable + ".\n");
}

}  // namespace
