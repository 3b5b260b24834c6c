#include "features/feature_generator.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "feature_test_util.h"

using namespace ktest;

namespace {

const int kCapital = 146, kDigital = 147, kPunct = 148, kLow = 149, kFirst = 150, kLast = 151, kLen = 152;

// The English tagging set, written out from its table.
std::vector<_ftnind> englishSet() {
  return {tpl("U01", {w(-1)}),
          tpl("U02", {w(0)}),
          tpl("U03", {w(1)}),
          tpl("U04", {w(2)}),
          tpl("U07", {w(0), w(1)}),
          tpl("U09", {w(-1), w(1)}),
          tpl("U20", {fn(kLow, -2)}),
          tpl("U21", {fn(kLow, -1)}),
          tpl("U23", {fn(kLow, 1)}),
          tpl("U27", {fn(kLow, 0), fn(kLow, 1)}),
          tpl("U28", {fn(kLow, 1), fn(kLow, 2)}),
          tpl("U29", {fn(kLow, -1), fn(kLow, 1)}),
          tpl("U45", {fn(kCapital, -2), fn(kCapital, -1)}),
          tpl("U47", {fn(kCapital, 0), fn(kCapital, 1)}),
          tpl("U63", {fn(kPunct, 1)}),
          tpl("A01", {w(0), y(-1)}),
          tpl("A02", {w(0), y(-2)}),
          tpl("B1", {y(-1)}),
          tpl("B2", {y(-2), y(-1)})};
}

std::string valueOf(std::vector<_ftnind>& set, const std::string& name, Call& call, int position) {
  for (_ftnind& t : set)
    if (t.name == name) return call.run(t, position);
  ADD_FAILURE() << "no template " << name;
  return "";
}

TEST(FeatureGeneratorTest, EnglishSetOnTheCatSatAtEveryTemplate) {
  Call call;
  call.rows = words({"The", "cat", "sat"});
  std::vector<_ftnind> set = englishSet();
  const std::vector<std::pair<std::string, std::string>> atOne = {
      {"U01", "The"},     {"U02", "cat"},     {"U03", "sat"},     {"U04", "_E-1"},    {"U07", "cat/sat"},
      {"U09", "The/sat"}, {"U20", "-"},       {"U21", "the"},     {"U23", "sat"},     {"U27", "cat/sat"},
      {"U28", "sat/-"},   {"U29", "the/sat"}, {"U45", "-/m+ch"},  {"U47", "m+n/m+n"}, {"U63", "m+n"},
      {"A01", "cat"},     {"A02", "cat"},     {"B1", ""},         {"B2", ""}};
  for (const auto& [name, expected] : atOne) EXPECT_EQ(valueOf(set, name, call, 1), expected) << name;

  const std::vector<std::pair<std::string, std::string>> atZero = {
      {"U01", "_B-1"}, {"U20", "-"}, {"U45", "-/-"}, {"U47", "m+ch/m+n"}, {"U63", "m+n"}, {"U29", "-/cat"}};
  for (const auto& [name, expected] : atZero) EXPECT_EQ(valueOf(set, name, call, 0), expected) << name;
}

TEST(FeatureGeneratorTest, BoundaryTokensAroundTheSentence) {
  Call call;
  call.rows = words({"a", "b", "c"});
  EXPECT_EQ(call.run(tpl("U00", {w(-2)}), 0), "_B-2");
  EXPECT_EQ(call.run(tpl("U00", {w(-2)}), 1), "_B-1");
  EXPECT_EQ(call.run(tpl("U00", {w(-2)}), 2), "a");
  EXPECT_EQ(call.run(tpl("U04", {w(2)}), 1), "_E-1");
  EXPECT_EQ(call.run(tpl("U04", {w(2)}), 2), "_E-2");

  Call one;
  one.rows = words({"x"});
  EXPECT_EQ(one.run(tpl("U09", {w(-1), w(1)}), 0), "_B-1/_E-1");
}

TEST(FeatureGeneratorTest, ResultCountsItemsAndOutIsReplaced) {
  Call call;
  call.rows = words({"a", "b"});
  EXPECT_EQ(call.run(tpl("E", {}), 0, "old"), "");
  EXPECT_EQ(call.result, 0);
  EXPECT_EQ(call.run(tpl("B2", {y(-2), y(-1)}), 1, "old"), "");
  EXPECT_EQ(call.result, 2);
  // k counts label items: an X item after a leading label item gets a "/".
  EXPECT_EQ(call.run(tpl("M", {y(-1), w(0)}), 1), "/b");
  EXPECT_EQ(call.run(tpl("M", {y(-2), y(-1), w(0), w(-1)}), 1), "/b/a");
  EXPECT_EQ(call.result, 4);
}

TEST(FeatureGeneratorTest, WordShapeClasses) {
  struct Case {
    int code;
    std::string word, value;
  };
  const std::string gbk = "\xD6\xD0\xCE\xC4";  // two GBK characters
  const std::vector<Case> cases = {
      {kCapital, "A", "s+c"},       {kCapital, "a", "s+n"},         {kCapital, "Abc", "m+ch"},
      {kCapital, "ABC", "m+ca"},    {kCapital, "ABc", "m+n"},       {kCapital, "aBC", "m+n"},
      {kCapital, "", "m+ca"},       {kDigital, "7", "s+nc"},        {kDigital, "x", "s+nn"},
      {kDigital, "1a", "m+nch"},    {kDigital, "123", "m+nca"},     {kDigital, "a1", "m+nn"},
      {kDigital, "-5", "m+nn"},     {kDigital, "", "m+nca"},        {kPunct, ",", "s+c"},
      {kPunct, "a", "s+n"},         {kPunct, ",a", "m+ch"},         {kPunct, "...", "m+ca"},
      {kPunct, "a.", "m+n"},        {kPunct, gbk, "m+ca"},          {kPunct, "\xD6", "s+c"},
      {kPunct, " \t", "m+ca"},      {kPunct, "9", "s+n"},
  };
  for (const Case& c : cases) {
    Call call;
    call.rows = words({c.word});
    EXPECT_EQ(call.run(tpl("T", {fn(c.code, 0)}), 0), c.value) << c.code << " '" << c.word << "'";
    EXPECT_EQ(call.run(tpl("T", {fn(c.code, 1)}), 0), "-") << "outside the sentence";
  }
}

TEST(FeatureGeneratorTest, LowcaseAndIsLetter) {
  Call call;
  // The second byte of the GBK character is 'A' and is lowered like any other.
  call.rows = words({"HeLLo", "\xB0" "A", "9x", ""});
  EXPECT_EQ(call.run(tpl("L", {fn(kLow, 0)}), 0), "hello");
  EXPECT_EQ(call.run(tpl("L", {fn(kLow, 0)}), 1), "\xB0" "a");
  EXPECT_EQ(call.run(tpl("L", {fn(kLow, 0)}), 4), "-");
  EXPECT_EQ(call.run(tpl("I", {fn(132, 0)}), 0), "+");
  EXPECT_EQ(call.run(tpl("I", {fn(132, 0)}), 1), "-");
  EXPECT_EQ(call.run(tpl("I", {fn(132, 0)}), 2), "-");
  EXPECT_EQ(call.run(tpl("I", {fn(132, 0)}), 3), "-");
  EXPECT_EQ(call.run(tpl("I", {fn(132, -1)}), 0), "-");
}

TEST(FeatureGeneratorTest, GbkCharacterFunctions) {
  struct Case {
    std::string word, first, last, len;
  };
  const std::string zhong = "\xD6\xD0", wen = "\xCE\xC4";
  const std::vector<Case> cases = {
      {zhong + wen, zhong, wen, "2"},
      {"ab", "a", "b", "2"},
      {zhong + "a", zhong, "a", "2"},
      {"a\xD6", "a", "\xD6", "2"},  // a lone lead byte at the end is one character
      {"x", "x", "x", "1"},
      {"", "_", "_", "0"},
  };
  for (const Case& c : cases) {
    Call call;
    call.rows = words({c.word});
    EXPECT_EQ(call.run(tpl("F", {fn(kFirst, 0)}), 0), c.first) << c.word;
    EXPECT_EQ(call.run(tpl("L", {fn(kLast, 0)}), 0), c.last) << c.word;
    EXPECT_EQ(call.run(tpl("N", {fn(kLen, 0)}), 0), c.len) << c.word;
  }
  Call call;
  call.rows = words({zhong + wen + "a"});
  EXPECT_EQ(call.run(tpl("F", {fn(kFirst, -1)}), 0), "_");
  EXPECT_EQ(call.run(tpl("L", {fn(kLast, 1)}), 0), "_");
  EXPECT_EQ(call.run(tpl("N", {fn(kLen, 1)}), 0), "0");
  // Outside the sentence the count is that of the call's last split.
  EXPECT_EQ(call.run(tpl("N", {fn(kLen, 0), fn(kLen, 1)}), 0), "3/3");
  EXPECT_EQ(call.run(tpl("N", {fn(kFirst, 0), fn(kLen, -1)}), 0), zhong + "/3");
}

TEST(FeatureGeneratorTest, Line2HanziSplitsByLeadByte) {
  std::vector<std::string> chars = {"stale"};
  std::string s;
  line2hanzi(s, chars);
  EXPECT_TRUE(chars.empty());

  s = std::string("\x80" "a\xFF\x81\x40\xFE", 6);
  line2hanzi(s, chars);
  EXPECT_EQ(chars, (std::vector<std::string>{"\x80", "a", "\xFF", "\x81\x40", "\xFE"}));

  s = std::string("a\0b", 3);
  line2hanzi(s, chars);
  EXPECT_EQ(chars, (std::vector<std::string>{"a", std::string(1, '\0'), "b"}));
}

TEST(FeatureGeneratorTest, BeyondStringGen) {
  char buf[16] = "keep";
  beyondStringGen(3, 1, buf);
  EXPECT_STREQ(buf, "keep");
  beyondStringGen(3, -1, buf);
  EXPECT_STREQ(buf, "_B-1");
  beyondStringGen(3, -2, buf);
  EXPECT_STREQ(buf, "_B-2");
  beyondStringGen(3, 3, buf);
  EXPECT_STREQ(buf, "_E-1");
  beyondStringGen(3, 4, buf);
  EXPECT_STREQ(buf, "_E-2");
  beyondStringGen(0, INT_MAX, buf);
  EXPECT_STREQ(buf, "_E-2147483648");
  beyondStringGen(0, INT_MIN, buf);
  EXPECT_STREQ(buf, "_B-2147483648");
}

TEST(FeatureGeneratorTest, StackItemsAndOutOfRangeMarker) {
  Call call;
  call.rows = words({"a", "b", "c", "d"});
  call.stack = {0, 2};
  EXPECT_EQ(call.run(tpl("S", {item(0, 0, -1, {}, 2, 0)}), 3), "c");
  EXPECT_EQ(call.run(tpl("S", {item(1, 0, -1, {}, 2, -1)}), 3), "b");
  EXPECT_EQ(call.run(tpl("S", {item(0, 0, -1, {}, 2, 1)}), 3), "_X0");
  EXPECT_EQ(call.run(tpl("S", {item(0, 0, -1, {}, 2, -3)}), 3), "_X0");
  EXPECT_EQ(call.run(tpl("S", {item(2, 0, -1, {}, 2, -2), w(0)}), 3), "_X2/d");
  call.stack.clear();
  EXPECT_EQ(call.run(tpl("S", {item(-1, 0, -1, {}, 2, 0)}), 0), "_X-1");

  // An argument list counted back past the first one is out of range too.
  call.argumentLists = {arcList({{-1, "_"}})};
  EXPECT_EQ(call.run(tpl("P", {item(0, 0, -1, {}, 4, 0, -1)}), 1), "b");
  EXPECT_EQ(call.run(tpl("P", {item(0, 0, -1, {}, 4, 0, -2)}), 1), "_X0");
}

TEST(FeatureGeneratorTest, ValueFunctionZeroIsResetOnlyOverAnEmptyArcList) {
  Call call;
  call.rows = words({"a", "b"});
  _ftnind t = tpl("Z", {item(0, 0, 0)});
  EXPECT_EQ(call.run(t, 1), "b");
  EXPECT_EQ(t.items[0].valueFunction, -1);

  call.arcs = arcList({{1, "SBJ"}, {-1, "ROOT"}});
  _ftnind u = tpl("Z", {item(0, 0, 0)});
  EXPECT_EQ(call.run(u, 1), "_");
  EXPECT_EQ(u.items[0].valueFunction, 0);
}

TEST(FeatureGeneratorTest, UndefinedCodesAndMissingColumnsGiveDefinedValues) {
  Call call;
  call.rows = {{"a", "A1"}, {"b"}};
  for (int code : {1, 24, 101, 153, 999, -2, INT_MIN})
    EXPECT_EQ(call.run(tpl("U", {item(0, 0, code)}), 1), "_") << code;
  EXPECT_EQ(call.run(tpl("C", {item(0, 1)}), 0), "A1");
  EXPECT_EQ(call.run(tpl("C", {item(0, 1)}), 1), "_");
  EXPECT_EQ(call.run(tpl("C", {item(0, -1)}), 1), "_");
  EXPECT_EQ(call.run(tpl("C", {item(0, 5)}), 7), "_E-6");
  EXPECT_EQ(call.run(tpl("C", {fn(kCapital, 0, 1)}), 1), "-");
  EXPECT_EQ(call.run(tpl("C", {fn(kLow, 0, 1)}), 1), "-");
  EXPECT_EQ(call.run(tpl("C", {fn(132, 0, 1)}), 1), "-");
  EXPECT_EQ(call.run(tpl("C", {fn(kFirst, 0, 1)}), 1), "_");
}

TEST(FeatureGeneratorTest, NonMovingStepsEndTheChainWithoutEffect) {
  Call call;
  call.rows = words({"a", "b", "c"});
  call.arcs = arcList({{1, "X"}, {-1, "ROOT"}, {1, "Y"}});
  // "head" (0), "act" (101) and a value-function code stop the chain where it is.
  EXPECT_EQ(call.run(tpl("H", {item(0, 0, -1, {{0, 0}, {24, 0}})}), 0), "a");
  EXPECT_EQ(call.run(tpl("H", {item(0, 0, -1, {{101, 0}})}), 2), "c");
  EXPECT_EQ(call.run(tpl("H", {item(0, 0, kLow, {{kLow, 0}})}), 2), "c");
}

TEST(FeatureGeneratorTest, ExtremeIndicesAndOffsetsStayDefined) {
  Call call;
  call.rows = words({"a"});
  EXPECT_EQ(call.run(tpl("X", {item(INT_MAX, 0, -1, {}, 4, INT_MAX)}), INT_MAX), "_E-2147483647");
  EXPECT_EQ(call.run(tpl("X", {item(INT_MIN, 0, -1, {}, 4, INT_MIN)}), 0), "_B-2147483648");
  EXPECT_EQ(call.run(tpl("X", {item(INT_MIN, 0, -1, {}, 2, INT_MIN)}), 0), "_X-2147483648");
}

TEST(FeatureGeneratorTest, LongValuesAreKeptWhole) {
  Call call;
  const std::string longWord(5000, 'Q');
  call.rows = words({longWord, "b"});
  EXPECT_EQ(call.run(tpl("W", {w(0)}), 0), longWord);
  EXPECT_EQ(call.run(tpl("W", {w(0), fn(kLow, 0), w(1)}), 0),
            longWord + "/" + std::string(5000, 'q') + "/b");
}

TEST(DiscreteLog3Test, InverseAndNegativeBuckets) {
  char inverse[] = "inverse";
  char negative[] = "negative";
  struct Case {
    double x;
    int inv, neg;
  };
  const std::vector<Case> cases = {
      {1, 0, 2},      {0.5, -2, 1},   {0.75, -1, 1}, {3, 2, 3},      {1.5, 1, 2},     {2, 2, 3},
      {4, 3, 4},      {7.9, 3, 4},    {0.25, -3, 1}, {1024, 11, 12}, {-0.5, 0, -1},   {-1, 0, -2},
      {-3, 0, -3},    {0, 0, 1},      {DBL_MAX, 1024, 1025},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(discreteLog3(c.x, inverse), c.inv) << c.x;
    EXPECT_EQ(discreteLog3(c.x, negative), c.neg) << c.x;
  }
}

TEST(DiscreteLog3Test, NonFiniteAndTinyInputsReturn) {
  char inverse[] = "inverse";
  char negative[] = "negative";
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(discreteLog3(inf, inverse), 1025);
  EXPECT_EQ(discreteLog3(-inf, inverse), 0);
  EXPECT_EQ(discreteLog3(nan, inverse), 0);
  EXPECT_EQ(discreteLog3(inf, negative), 1026);
  EXPECT_EQ(discreteLog3(-inf, negative), -1026);
  EXPECT_EQ(discreteLog3(nan, negative), 0);
  // 1/x overflows to infinity for the smallest subnormal.
  EXPECT_EQ(discreteLog3(std::numeric_limits<double>::denorm_min(), inverse), -1025);
  EXPECT_EQ(discreteLog3(DBL_MIN, inverse), -1023);
}

TEST(DiscreteLog3Test, UnknownModeIsReported) {
  char other[] = "linear";
  testing::internal::CaptureStderr();
  EXPECT_EQ(discreteLog3(3, other), -65536);
  EXPECT_EQ(discreteLog3(3, nullptr), -65536);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "illegal call in line 958, my baby\nillegal call in line 958, my baby\n");
}

}  // namespace

#include "templates/builtin_templates.h"

namespace {

// The built-in sets, as the tagger builds them, give the same strings.
TEST(FeatureGeneratorTest, BuiltInSetsOnSmallSentences) {
  std::vector<_ftnind> set;
  std::vector<int> order;
  int labelOrder = 0;
  getTemplateEnglishPoS(set, order, labelOrder);
  Call call;
  call.rows = words({"The", "cat", "sat"});
  std::string joined;
  for (_ftnind& t : set) joined += t.name + ":" + call.run(t, 1) + " ";
  EXPECT_EQ(joined,
            "U01:The U02:cat U03:sat U04:_E-1 U07:cat/sat U09:The/sat U20:- U21:the U23:sat U27:cat/sat "
            "U28:sat/- U29:the/sat U45:-/m+ch U47:m+n/m+n U63:m+n A01:cat A02:cat B1: B2: ");

  getTemplateChinesePoS(set, order, labelOrder);
  const std::string zhong = "\xD6\xD0", guo = "\xB9\xFA", ren = "\xC8\xCB";
  call.rows = words({zhong + guo, ren, "ok"});
  joined.clear();
  for (_ftnind& t : set) joined += t.name + ":" + call.run(t, 0) + " ";
  EXPECT_EQ(joined, "U00:_B-2 U01:_B-1 U02:" + zhong + guo + " U03:" + ren + " U04:ok U05:_B-2/_B-1 U06:_B-1/" +
                        zhong + guo + " U07:" + zhong + guo + "/" + ren + " U08:" + ren + "/ok U09:_B-1/" + ren +
                        " U11:" + zhong + " U12:" + guo + " U13:2 B1: ");
}

}  // namespace
