#include "features/predicate_dictionary.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>


namespace {

using Strings = std::vector<std::string>;

std::string writeFile(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  return path;
}

// The three dictionaries are process-wide: every test starts and ends with them empty.
class PredicateDictionaryTest : public testing::Test {
 protected:
  void SetUp() override { clearAll(); }
  void TearDown() override { clearAll(); }
  static void clearAll() {
    _dic.clear();
    _dicProp.clear();
    _dicNom.clear();
  }
};

TEST_F(PredicateDictionaryTest, ParsesOneSense) {
  std::string text = "s01:0:1=x0x_R1=x1x0R_";
  _bankSense sense;
  sense.roles = {"stale"};
  readLine2BankSense(text, sense);
  EXPECT_EQ(sense.name, "s01");
  EXPECT_EQ(sense.roles, (Strings{"0", "1"}));
  ASSERT_EQ(sense.examples.size(), 2u);
  EXPECT_EQ(sense.examples[0].label, "0");
  EXPECT_EQ(sense.examples[0].left, Strings{});
  EXPECT_EQ(sense.examples[0].right, Strings{"1"});
  EXPECT_EQ(sense.examples[1].label, "1");
  EXPECT_EQ(sense.examples[1].left, Strings{"0"});
  EXPECT_EQ(sense.examples[1].right, Strings{});
}

TEST_F(PredicateDictionaryTest, SenseTextEdgeCases) {
  struct Case {
    std::string text, name;
    Strings roles;
    std::vector<std::string> labels;
  };
  const std::vector<Case> cases = {
      {"s02", "s02", {}, {}},
      {"s03:0:1", "s03", {"0"}, {}},              // no "=": the text after the last colon is no role
      {"s04=x", "s04", {}, {""}},                 // "=" second to last: empty label
      {"s05=", "s05", {}, {""}},                  // "=" last: the label lies beyond the text
      {"s06:0=x2x12R3", "s06", {"0"}, {"2"}},
      {"s07==x3x", "s07", {}, {"x", "3"}},        // adjacent "=": lists stop at the next one
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    _bankSense sense;
    readLine2BankSense(text, sense);
    EXPECT_EQ(sense.name, c.name) << c.text;
    EXPECT_EQ(sense.roles, c.roles) << c.text;
    std::vector<std::string> labels;
    for (const _bankExample& ex : sense.examples) labels.push_back(ex.label);
    EXPECT_EQ(labels, c.labels) << c.text;
  }
  std::string text = "s06:0=x2x1_2R3_";
  _bankSense sense;
  readLine2BankSense(text, sense);
  EXPECT_EQ(sense.examples[0].left, (Strings{"1", "2"}));
  EXPECT_EQ(sense.examples[0].right, Strings{"3"});
}

TEST_F(PredicateDictionaryTest, ParsesASenseList) {
  std::vector<_bankSense> senses(3);
  std::string none = "abc:0=x0";
  readLine2BankSense(none, senses);
  EXPECT_TRUE(senses.empty());

  std::string text = "junk:s01:0=x0x_s02:1=x1x0R";
  readLine2BankSense(text, senses);
  ASSERT_EQ(senses.size(), 2u);
  EXPECT_EQ(senses[0].name, "s01");
  EXPECT_EQ(senses[0].examples[0].label, "0");
  EXPECT_EQ(senses[1].name, "s02");
  EXPECT_EQ(senses[1].examples[0].left, Strings{"0"});
}

TEST_F(PredicateDictionaryTest, LoadBankFillsTheChosenMapAndReplacesLemmas) {
  const std::string path = writeFile("bank.txt",
                                     "give s01:0:1=x0x_R1 extra\n"
                                     "\n"
                                     "take s01:0=x0x\n"
                                     "give s02:0=x0x s03:1=x1x\n"
                                     "lone\n");
  testing::internal::CaptureStderr();
  loadBank(path.c_str(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Loading " + path + " as propbank dictionary done.\n");
  EXPECT_TRUE(_dicNom.empty());
  ASSERT_EQ(_dicProp.size(), 3u);
  ASSERT_EQ(_dicProp["give"].size(), 1u);
  EXPECT_EQ(_dicProp["give"][0].name, "s02");
  EXPECT_TRUE(_dicProp["lone"].empty());

  testing::internal::CaptureStderr();
  loadBank(path.c_str(), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Loading " + path + " as nombank dictionary done.\n");
  EXPECT_EQ(_dicNom.size(), 3u);

  // A missing file still empties the map and reports done.
  testing::internal::CaptureStderr();
  loadBank("/nonexistent/bank.txt", 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Loading /nonexistent/bank.txt as nombank dictionary done.\n");
  EXPECT_TRUE(_dicNom.empty());
  EXPECT_EQ(_dicProp.size(), 3u);
}

TEST_F(PredicateDictionaryTest, LoadMapKeysAndValues) {
  const std::string path = writeFile("map.txt",
                                     "a b 0.5\n"
                                     "c\t d  2\n"
                                     "\n"
                                     "x 3  \n"
                                     "a b 0.7\n");
  _dic["old"] = "1";
  testing::internal::CaptureStderr();
  loadmap(path.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Loading " + path + " as dictionary done.\n");
  EXPECT_EQ(_dic, (std::map<std::string, std::string>{{"a b", "0.7"}, {"c\t d", "2"}, {"x", "3"}}));

  testing::internal::CaptureStderr();
  loadmap("/nonexistent/map.txt");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Loading /nonexistent/map.txt as dictionary done.\n");
  EXPECT_TRUE(_dic.empty());
}

// Fields are cut from the line's first byte: a leading blank or tab is an
// empty first field, and the loaders say so with the file and line.
TEST_F(PredicateDictionaryTest, LinesThatBeginWithABlankHaveAnEmptyFirstField) {
  struct Case {
    const char* line;
    const char* message;  // expected after "Warning: FILE line 2: "
  };
  const Case bankCases[] = {
      {" go s01=x0xR1", "the line begins with a blank or a tab, so its lemma is empty and its sense list is \"go\".\n"},
      {"  \t", "the line begins with a blank or a tab, so its lemma is empty and its sense list is \"\".\n"},
  };
  for (const Case& c : bankCases) {
    const std::string path = writeFile("bank_blank.txt", std::string("take s01=x0x\n") + c.line + "\n");
    testing::internal::CaptureStderr();
    loadBank(path.c_str(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Warning: " + path + " line 2: " + c.message + "Loading " + path + " as propbank dictionary done.\n")
        << c.line;
    ASSERT_EQ(_dicProp.size(), 2u) << c.line;
    EXPECT_TRUE(_dicProp.at("").empty()) << c.line;  // "go" has no "s": no sense
  }

  const std::string path = writeFile("map_blank.txt", "a b 0.5\n a b 0.6\n\tc 1\nsingle\n");
  testing::internal::CaptureStderr();
  loadmap(path.c_str());
  const std::string w = "Warning: " + path + " line ";
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            w + "2: the line begins with a blank or a tab, so its first field is empty and its key is \" a\".\n" +
                w + "3: the line begins with a blank or a tab, so its first field is empty and its key is \"\".\n" +
                w + "4: a single field gives no key; line skipped.\n" + "Loading " + path + " as dictionary done.\n");
  EXPECT_EQ(_dic, (std::map<std::string, std::string>{{"a b", "0.5"}, {" a", "0.6"}, {"", "1"}}));
}

TEST_F(PredicateDictionaryTest, RecommendTwoVString) {
  struct Case {
    Strings pattern, prefix;
    bool result;
    std::string next;
  };
  const std::vector<Case> cases = {
      {{}, {}, false, "_"},
      {{"2", "1"}, {}, true, "2"},
      {{"1", "0", "2"}, {"1", "0"}, true, "2"},
      {{"1", "0"}, {"1", "0"}, false, "_"},
      {{"1", "3", "2"}, {"1", "0"}, false, "_"},
      {{}, {"1"}, false, "_"},
  };
  for (Case c : cases) {
    std::string next = "stale";
    EXPECT_EQ(recommendTwoVString(c.pattern, c.prefix, next), c.result);
    EXPECT_EQ(next, c.next);
  }
}

// Rows of eight columns: 6 the lemma, 7 the tag.
TokenTable predicateRows(const std::string& lemma, const std::string& tag, int predRow, int count) {
  TokenTable rows;
  for (int i = 0; i < count; ++i)
    rows.push_back({"w", "_", "_", "_", "_", "_", i == predRow ? lemma : "x", i == predRow ? tag : "NN"});
  return rows;
}

_bankExample example(const std::string& label, Strings left, Strings right) {
  _bankExample ex;
  ex.label = label;
  ex.left = std::move(left);
  ex.right = std::move(right);
  return ex;
}

TEST_F(PredicateDictionaryTest, RecommendSearchModes) {
  TokenTable rows = predicateRows("give", "VV", 4, 8);
  Strings labels = {"_", "A0", "A1", "_", "_", "_", "_", "_"};
  Strings out = {"stale"};
  recommendSearch(0, 4, labels, rows, out);
  EXPECT_TRUE(out.empty());  // empty dictionaries

  _dicProp["give"] = {_bankSense{"s01", {}, {example("0", {"1", "0", "2"}, {"3"}), example("1", {"1", "0"}, {})}},
                      _bankSense{"s02", {}, {example("_", {"1", "0", "2"}, {"3", "4"})}}};
  // Left mode: rows 3, 2, 1 collect 1 and 0 (nearest first).
  labels = {"_", "A0", "_", "A1", "_", "_", "_", "_"};
  recommendSearch(0, 4, labels, rows, out);
  EXPECT_EQ(out, Strings{"2"});
  // Nothing collected: the first element of every non-empty list.
  recommendSearch(3, 4, labels, rows, out);
  EXPECT_EQ(out, Strings{"1"});
  labels = {"_", "AM", "A", "A12", "_", "_", "_", "_"};
  recommendSearch(0, 4, labels, rows, out);
  EXPECT_EQ(out, Strings{"1"});
  // Right mode.
  recommendSearch(7, 4, labels, rows, out);
  EXPECT_EQ(out, Strings{"3"});
  labels[5] = "A3";
  recommendSearch(7, 4, labels, rows, out);
  EXPECT_EQ(out, Strings{"4"});
  // Same mode: every label except "_".
  recommendSearch(4, 4, labels, rows, out);
  EXPECT_EQ(out, (Strings{"0", "1"}));

  // Nominal and untagged predicates use the other dictionary.
  TokenTable nominal = predicateRows("give", "NN", 4, 8);
  recommendSearch(0, 4, labels, nominal, out);
  EXPECT_TRUE(out.empty());
  _dicNom["give"] = {_bankSense{"n01", {}, {example("2", {"A"}, {})}}};
  recommendSearch(0, 4, labels, nominal, out);
  EXPECT_EQ(out, Strings{"A"});
  TokenTable untagged = predicateRows("give", "", 4, 8);
  recommendSearch(0, 4, labels, untagged, out);
  EXPECT_EQ(out, Strings{"A"});
}

TEST_F(PredicateDictionaryTest, RecommendSearchStaysInBounds) {
  _dicNom[""] = {_bankSense{"n01", {}, {example("0", {"5"}, {"6"})}}};
  TokenTable rows = {{"only", "a", "word"}};
  Strings labels;  // shorter than the sentence
  Strings out;
  recommendSearch(-3, 0, labels, rows, out);
  EXPECT_EQ(out, Strings{"5"});
  recommendSearch(9, 0, labels, rows, out);
  EXPECT_EQ(out, Strings{"6"});
  out = {"stale"};
  recommendSearch(0, 5, labels, rows, out);
  EXPECT_TRUE(out.empty());
  recommendSearch(0, -1, labels, rows, out);
  EXPECT_TRUE(out.empty());
}

TEST_F(PredicateDictionaryTest, SameModeRecommendsAnEmptyLabel) {
  const std::string path = writeFile("bank_empty_label.txt", "go s01=x\n");
  testing::internal::CaptureStderr();
  loadBank(path.c_str(), 0);
  testing::internal::GetCapturedStderr();
  TokenTable rows = predicateRows("go", "VB", 1, 2);
  Strings labels;
  Strings out;
  recommendSearch(1, 1, labels, rows, out);
  EXPECT_EQ(out, Strings{""});
}

TEST_F(PredicateDictionaryTest, RepeatedRecommendationsAppearOnce) {
  _dicProp["go"] = {_bankSense{"s01", {}, {example("0", {"1"}, {}), example("_", {"1"}, {}), example("0", {"2"}, {})}}};
  TokenTable rows = predicateRows("go", "VB", 2, 3);
  Strings labels(3, "_");
  Strings out;
  recommendSearch(0, 2, labels, rows, out);
  EXPECT_EQ(out, (Strings{"1", "2"}));
  recommendSearch(2, 2, labels, rows, out);
  EXPECT_EQ(out, Strings{"0"});
}

}  // namespace
