#include "sense/sense_determination.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "features/predicate_dictionary.h"
#include "test_files.h"

namespace {

using Strings = std::vector<std::string>;

_bankExample example(const std::string& label, Strings left, Strings right) {
  _bankExample e;
  e.label = label;
  e.left = std::move(left);
  e.right = std::move(right);
  return e;
}

_bankSense sense(const std::string& name, std::vector<_bankExample> examples) {
  _bankSense s;
  s.name = name;
  s.examples = std::move(examples);
  return s;
}

std::string tempPath(const std::string& name) { return testing::TempDir() + "sense_" + name; }

bool exists(const std::string& path) { return std::ifstream(path).good(); }

// Runs the determiner on `input`; returns the output text, "<failed>" on a -1 result.
std::string determine(const std::string& name, const std::string& input) {
  std::string in = tempPath(name + ".in"), out = tempPath(name + ".out");
  writeFile(in, input);
  std::remove(out.c_str());
  if (senseDeterminator(&in[0], &out[0]) != 1) return "<failed>";
  return readFile(out);
}

class SenseTest : public testing::Test {
 protected:
  void SetUp() override {
    _dicProp.clear();
    _dicNom.clear();
  }
  void TearDown() override {
    _dicProp.clear();
    _dicNom.clear();
  }
};

// Columns 0-7, the marker column 8, then one (number, label) pair per predicate.
const char* kGive =
    "1 John x x x x John NNP __ 2 A0\n"
    "2 gave x x x x give VBD give 0 _\n"
    "3 Mary x x x x Mary NNP __ 2 A2\n"
    "4 books x x x x book NNS __ 2 A1\n"
    "\n";

TEST(CompareTwoBE, ExactAndWildcardMatching) {
  struct Case {
    _bankExample query, pattern;
    bool exact, wildcard;
  };
  const Case cases[] = {
      {example("0", {"1"}, {"2"}), example("0", {"1"}, {"2"}), true, true},
      {example("0", {"1"}, {"2"}), example("1", {"1"}, {"2"}), false, false},
      {example("0", {"1"}, {"2"}), example("_", {"1"}, {"2"}), false, true},
      {example("_", {"1"}, {"2"}), example("_", {"1"}, {"2"}), true, true},
      {example("0", {"1", "3"}, {}), example("0", {"_", "3"}, {}), false, true},
      {example("0", {"1"}, {"2"}), example("0", {"1"}, {"_"}), false, true},
      // Lengths must agree even where the pattern holds wildcards.
      {example("0", {"1"}, {}), example("0", {"1", "_"}, {}), false, false},
      {example("0", {}, {"2", "1"}), example("0", {}, {"2"}), false, false},
      // A "_" in the query is no wildcard.
      {example("_", {"_"}, {}), example("0", {"1"}, {}), false, false},
      {example("", {}, {}), example("", {}, {}), true, true},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    _bankExample q = cases[i].query, p = cases[i].pattern;
    EXPECT_EQ(compareTwoBEExact(q, p), cases[i].exact) << "case " << i;
    EXPECT_EQ(compareTwoBE(q, p), cases[i].wildcard) << "case " << i;
  }
}

TEST(WriteMatrix, AppendsSentencesWithSingleBlanks) {
  std::string path = tempPath("matrix.txt");
  std::remove(path.c_str());
  std::vector<Strings> first = {{"a", "b", "c"}, {"d"}};
  std::vector<Strings> second = {{}, {"e", "f"}};
  EXPECT_EQ(writeMatrix(first, &path[0]), 0);
  EXPECT_EQ(writeMatrix(second, &path[0]), 0);
  EXPECT_EQ(readFile(path), "a b c\nd\n\n\ne f\n\n");
}

TEST(WriteMatrix, UnopenablePathFails) {
  std::string path = tempPath("no_such_dir/matrix.txt");
  std::vector<Strings> rows = {{"a"}};
  testing::internal::CaptureStderr();
  EXPECT_EQ(writeMatrix(rows, &path[0]), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Error: open file " + path), std::string::npos);
}

TEST(FindMarkerColumn, HighestColumnHoldingTheMarker) {
  EXPECT_EQ(findMarkerColumn({{"a", "__", "x", "__"}, {"b", "__"}}), 3);
  EXPECT_EQ(findMarkerColumn({{"a", "__"}, {"b", "c", "d", "__"}}), 3);
  EXPECT_EQ(findMarkerColumn({{"a", "_"}, {"b"}}), -1);
  EXPECT_EQ(findMarkerColumn({}), -1);
}

TEST_F(SenseTest, EmptyDictionariesGiveDefaultSenseToPredicatesOnly) {
  EXPECT_EQ(determine("empty", kGive),
            "1 John x x x x John NNP __ 2 A0 _\n"
            "2 gave x x x x give VBD give 0 _ 01\n"
            "3 Mary x x x x Mary NNP __ 2 A2 _\n"
            "4 books x x x x book NNS __ 2 A1 _\n"
            "\n");
}

TEST_F(SenseTest, ExactPatternPicksSenseAndDropsLeadingS) {
  // Query of give: label "_", left [0], right [2, 1].
  _dicProp["give"] = {sense("s01", {example("_", {"0"}, {"1"})}),
                      sense("s02", {example("0", {}, {}), example("_", {"0"}, {"2", "1"})})};
  std::string out = determine("exact", kGive);
  EXPECT_NE(out.find("give VBD give 0 _ 02\n"), std::string::npos) << out;
}

TEST_F(SenseTest, KnownLemmaWithoutMatchingPatternGetsDefault) {
  _dicProp["give"] = {sense("s05", {example("_", {"0"}, {"1"})})};
  EXPECT_NE(determine("nomatch", kGive).find("give 0 _ 01\n"), std::string::npos);
}

TEST_F(SenseTest, NonVerbalTagUsesNominalDictionary) {
  _dicProp["give"] = {sense("s03", {example("_", {"0"}, {"2", "1"})})};
  _dicNom["give"] = {sense("s04", {example("_", {"0"}, {"2", "1"})})};
  std::string nominal = kGive;
  nominal.replace(nominal.find("VBD"), 3, "NN");
  EXPECT_NE(determine("verbal", kGive).find("give 0 _ 03\n"), std::string::npos);
  EXPECT_NE(determine("nominal", nominal).find("give 0 _ 04\n"), std::string::npos);
}

TEST_F(SenseTest, ExactMatchInLaterSenseBeatsEarlierWildcard) {
  // The nominal predicate is its own A1; A0 to its left.
  const char* input =
      "1 his x x x x he PRP __ 2 A0\n"
      "2 gift x x x x gift NN gift 0 A1\n"
      "\n";
  _dicNom["gift"] = {sense("s01", {example("_", {"0"}, {})}), sense("s02", {example("1", {"0"}, {})})};
  EXPECT_NE(determine("exactwins", input).find("gift NN gift 0 A1 02\n"), std::string::npos);
  _dicNom["gift"].pop_back();
  EXPECT_NE(determine("wildcard", input).find("gift NN gift 0 A1 01\n"), std::string::npos);
}

TEST_F(SenseTest, LeftListIsNearestFirstAndSkipsOtherLabels) {
  const char* input =
      "1 a x x x x a NN __ 0 A0\n"
      "2 b x x x x b NN __ 0 AM-TMP\n"
      "3 c x x x x c NN __ 0 A1\n"
      "4 d x x x x run VB run 0 _\n"
      "5 e x x x x e NN __ 0 C-A1\n"
      "\n";
  _dicProp["run"] = {sense("s01", {example("_", {"0", "1"}, {})}), sense("s07", {example("_", {"1", "0"}, {})})};
  EXPECT_NE(determine("left", input).find("run VB run 0 _ 07\n"), std::string::npos);
}

TEST_F(SenseTest, SeveralPredicatesUseTheirOwnLabelColumns) {
  const char* input =
      "1 I x x x x I PRP __ 2 A0 4 A0\n"
      "2 want x x x x want VBP want 0 _ 0 _\n"
      "3 to x x x x to TO __ 0 _ 0 _\n"
      "4 go x x x x go VB go 2 A1 0 _\n"
      "\n";
  _dicProp["want"] = {sense("s01", {example("_", {"0"}, {"1"})})};
  // go: its own label column holds A0 on row 1 only, so left [0] and right [].
  _dicProp["go"] = {sense("s01", {example("_", {"0"}, {"1"})}), sense("s02", {example("_", {"0"}, {})})};
  std::string out = determine("several", input);
  EXPECT_NE(out.find("want VBP want 0 _ 0 _ 01\n"), std::string::npos) << out;
  EXPECT_NE(out.find("go VB go 2 A1 0 _ 02\n"), std::string::npos) << out;
  EXPECT_NE(out.find("to TO __ 0 _ 0 _ _\n"), std::string::npos) << out;
}

TEST_F(SenseTest, OneRowSentenceGetsBlankSenseEvenWhenPredicate) {
  _dicProp["go"] = {sense("s09", {example("_", {}, {})})};
  EXPECT_EQ(determine("onerow", "1 go x x x x go VB go\n\n"), "1 go x x x x go VB go _\n\n");
}

TEST_F(SenseTest, SeparatorsBecomeSingleBlanksAndEmptyLinesCollapse) {
  EXPECT_EQ(determine("blanks", "\n\n1\tJohn  x x x x John NNP __ 0 A0\n2 ran x x x x run VBD run 0 _\n \t\n\n"),
            "1 John x x x x John NNP __ 0 A0 _\n2 ran x x x x run VBD run 0 _ 01\n\n");
}

TEST_F(SenseTest, LastSentenceWithoutClosingEmptyLineIsWritten) {
  std::string input = kGive;
  input += "1 go x x x x go VB go 0 _\n2 home x x x x home NN __ 0 A1";
  std::string out = determine("tail", input);
  EXPECT_NE(out.find("2 home x x x x home NN __ 0 A1 _\n\n"), std::string::npos) << out;
}

TEST_F(SenseTest, SentenceWithoutMarkerColumnKeepsRowsWithBlankSense) {
  testing::internal::CaptureStderr();
  std::string out = determine("nomarker", "1 a x x x x a VB a 0 _\n2 b x x x x b VB b 0 _\n\n");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out, "1 a x x x x a VB a 0 _ _\n2 b x x x x b VB b 0 _ _\n\n");
  EXPECT_NE(err.find("line 1: sentence has no \"__\" marker column"), std::string::npos) << err;
}

TEST_F(SenseTest, ShortRowsReadMissingCellsAsBlank) {
  // Row 1 lacks its label pair; row 2 lacks even the marker column and is
  // no predicate; the predicate row has no lemma or tag column.
  _dicNom[""] = {sense("s03", {example("_", {}, {"1"})})};
  const char* input =
      "1 p x x __ 0 _\n"
      "2 a x x __\n"
      "3 b\n"
      "4 c x x __ 0 A1\n"
      "5 q x x keep\n"
      "\n";
  testing::internal::CaptureStderr();
  std::string out = determine("short", input);
  std::string err = testing::internal::GetCapturedStderr();
  // Marker column 4; predicates: row 4 ("q", pair columns 5-6).
  EXPECT_EQ(out,
            "1 p x x __ 0 _ _\n"
            "2 a x x __ _\n"
            "3 b _\n"
            "4 c x x __ 0 A1 _\n"
            "5 q x x keep 01\n"
            "\n");
  EXPECT_NE(err.find("line 2: 5 columns where the predicate columns need 7"), std::string::npos) << err;
}

TEST_F(SenseTest, RowTooShortForTheMarkerIsNoPredicateAndTheWarningSaysSo) {
  testing::internal::CaptureStderr();
  std::string out = determine("nomarkercell", "w w w w w w go VB\nw w w w w w x NN __ 0 _\n\n");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out, "w w w w w w go VB _\nw w w w w w x NN __ 0 _ _\n\n");
  EXPECT_NE(err.find("line 1: 8 columns, too few for the marker column 8; the row is taken as no predicate"),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find("predicate columns need"), std::string::npos) << err;
}

TEST_F(SenseTest, LineOfOnlyBlanksAndTabsEndsASentence) {
  EXPECT_EQ(determine("blankline", "1 a x x x x a NN __ 0 A0\n2 v x x x x v VB v 0 _\n \t \n"
                                   "1 b x x x x b NN __ 0 A1\n2 w x x x x w VB w 0 _\n\n"),
            "1 a x x x x a NN __ 0 A0 _\n2 v x x x x v VB v 0 _ 01\n\n"
            "1 b x x x x b NN __ 0 A1 _\n2 w x x x x w VB w 0 _ 01\n\n");
}

TEST_F(SenseTest, LongLinesAreKeptWhole) {
  std::string word(200000, 'w');
  std::string input = "1 " + word + " x x x x w NN __ 0 A0\n2 v x x x x v VB v 0 _\n\n";
  std::string out = determine("long", input);
  EXPECT_EQ(out, "1 " + word + " x x x x w NN __ 0 A0 _\n2 v x x x x v VB v 0 _ 01\n\n");
}

TEST_F(SenseTest, ProgressLineAtEverySixThousandthLine) {
  // 2000 two-row sentences with their empty lines: line 6000 closes the last.
  std::string input;
  for (int i = 0; i < 2000; ++i) input += "1 a x x x x a NN __ 0 A0\n2 v x x x x v VB v 0 _\n\n";
  testing::internal::CaptureStderr();
  std::string out = determine("progress", input);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out.size(), 2000 * std::string("1 a x x x x a NN __ 0 A0 _\n2 v x x x x v VB v 0 _ 01\n\n").size());
  EXPECT_EQ(err, "#line=6000,#seq=2000\r#line=6000\r");
}

TEST_F(SenseTest, UnopenableInputFailsWithoutCreatingOutput) {
  std::string in = tempPath("missing.in"), out = tempPath("missing.out");
  std::remove(in.c_str());
  std::remove(out.c_str());
  testing::internal::CaptureStderr();
  EXPECT_EQ(senseDeterminator(&in[0], &out[0]), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Error: open file " + in), std::string::npos);
  EXPECT_FALSE(exists(out));
}

TEST_F(SenseTest, UncreatableOutputFails) {
  std::string in = tempPath("ok.in"), out = tempPath("no_dir/x.out");
  writeFile(in, kGive);
  testing::internal::CaptureStderr();
  EXPECT_EQ(senseDeterminator(&in[0], &out[0]), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Error: open file " + out), std::string::npos);
}

}  // namespace
