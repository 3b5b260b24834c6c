#include "templates/template_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "templates/builtin_templates.h"

namespace {

typedef std::vector<_subft> Steps;

struct ParseCase {
  const char* text;
  int type, index, arcSource, column, offset, valueFunction;
  Steps steps;
};

TEST(ParseTemplateLine, ItemText) {
  const ParseCase cases[] = {
      {"x[-1,0]", 4, 0, 0, 0, -1, -1, {}},
      {"S-1.head[0,1]", 2, -1, 0, 1, 0, -1, {{0, 0}}},
      {"x0:2.lmsib3[0,0]", 4, 0, 2, 0, 0, -1, {{6, 3}}},
      {"x.lowcase[1,0]", 4, 0, 0, 0, 1, 149, {{149, 0}}},
      {"X.HEAD[0,0]", 4, 0, 0, 0, 0, -1, {{0, 0}}},
      {"y[-2,0]", 0, 0, 0, 0, -2, -1, {}},
      {"Y[-2,0]", 0, 0, 0, 0, -2, -1, {}},
      {"i3[0,2]", 1, 3, 0, 2, 0, -1, {}},
      {"P[1,0]", 3, 0, 0, 0, 1, -1, {}},
      {"q[0,0]", -1, 0, 0, 0, 0, -1, {}},
      {"x-2[0,0]", 4, -2, 0, 0, 0, -1, {}},
      {"x-[0,0]", 4, 0, 0, 0, 0, -1, {}},       // "-" reads as 0
      {"x:[0,0]", 4, 0, 0, 0, 0, -1, {}},       // empty arc source reads as 0
      {"x:-1[0,0]", 4, 0, -1, 0, 0, -1, {}},
      {"x.lm-1[0,0]", 4, 0, 0, 0, 0, -1, {{1, -1}}},
      {"x.h.RN2[0,3]", 4, 0, 0, 3, 0, -1, {{0, 0}, {4, 2}}},
      {"x..h[0,0]", 4, 0, 0, 0, 0, -1, {{-1, 0}, {0, 0}}},
      {"x.act[0,0]", 4, 0, 0, 0, 0, -1, {{101, 0}}},
      {"x.isargument[0,0]", 4, 0, 0, 0, 0, 100, {{100, 0}}},
      {"x.dprel.LowCase[0,0]", 4, 0, 0, 0, 0, 149, {{102, 0}, {149, 0}}},  // last value function wins
      {"x.nosuch[0,0]", 4, 0, 0, 0, 0, -1, {{-1, 0}}},
      {"x.nosuch7[0,0]", 4, 0, 0, 0, 0, -1, {{-1, 7}}},
      {"x.headfarest[0,0]", 4, 0, 0, 0, 0, -1, {{18, 0}}},
      // Names that end in a digit are matched whole before a number is split off.
      {"x.a0[0,0]", 4, 0, 0, 0, 0, -1, {{26, 0}}},
      {"x.a1[0,0]", 4, 0, 0, 0, 0, -1, {{27, 0}}},
      {"x.A2[0,0]", 4, 0, 0, 0, 0, -1, {{28, 0}}},
      {"x.A3[0,0]", 4, 0, 0, 0, 0, -1, {{29, 0}}},
      {"x.recommenda2[0,0]", 4, 0, 0, 0, 0, 129, {{129, 0}}},
      {"x.a01[0,0]", 4, 0, 0, 0, 0, -1, {{-1, 1}}},
      {"x.recommendit[0,0]", 4, 0, 0, 0, 0, 131, {{131, 0}}},
      // Incomplete position parts read what is there.
      {"x[1]", 4, 0, 0, 0, 1, -1, {}},
      {"x", 4, 0, 0, 0, 0, -1, {}},
      {"x.chncharlen", 4, 0, 0, 0, 0, 152, {{152, 0}}},
      {"", -1, 0, 0, 0, 0, -1, {}},
      {"x[+1, 2]", 4, 0, 0, 2, 1, -1, {}},
      {"x[99999999999,-99999999999]", 4, 0, 0, INT32_MIN, INT32_MAX, -1, {}},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.text);
    std::string text = c.text;
    _ft item;
    item.index = 7;
    item.offset = 7;
    item.column = 7;
    item.steps.push_back({5, 5});
    EXPECT_EQ(parseTemplateLine(text, item), 1);
    _ft want;
    want.type = c.type;
    want.index = c.index;
    want.arcSource = c.arcSource;
    want.column = c.column;
    want.offset = c.offset;
    want.valueFunction = c.valueFunction;
    want.steps = c.steps;
    EXPECT_EQ(item, want);
  }
}

TEST(ParseTemplateLine, LeavesArcSourceAndValueFunctionUnlessWritten) {
  std::string text = "x.head[0,0]";
  _ft item;
  item.arcSource = 5;
  item.valueFunction = 42;
  parseTemplateLine(text, item);
  EXPECT_EQ(item.arcSource, 5);
  EXPECT_EQ(item.valueFunction, 42);
}

TEST(StepCodeOf, TableSamples) {
  const std::pair<const char*, int> cases[] = {
      {"h", 0},           {"head", 0},         {"ln", 2},          {"rmsib", 8},
      {"nearest", 14},    {"mostheaded", 25},  {"a2", 28},         {"nverb", 35},
      {"isargument", 100}, {"act", 101},       {"numberofchild", 109}, {"dprelseqofchildren", 126},
      {"recommenda3", 130}, {"capitaltype", 146}, {"chncharlen", 152}, {"HEAD", -1},
      {"", -1},           {"a", -1},           {"recommenda", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(stepCodeOf(c.first), c.second) << c.first;
}

std::string writeTemplate(const std::string& name, const std::string& content) {
  const std::string path = testing::TempDir() + "korvane_templates_" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

struct ReadResult {
  int result;
  std::vector<_ftnind> templates;
  std::vector<int> order;
  int labelOrder;
  std::string err;
};

ReadResult readFile(std::string path) {
  ReadResult r;
  r.labelOrder = 77;
  r.templates.resize(2);
  r.order = {5};
  testing::internal::CaptureStderr();
  r.result = readTemplateFile3(&path[0], r.templates, r.order, r.labelOrder);
  r.err = testing::internal::GetCapturedStderr();
  return r;
}

ReadResult readText(const std::string& content) { return readFile(writeTemplate("t.template", content)); }

_ft labelAt(int offset) {
  _ft item;
  item.type = 0;
  item.offset = offset;
  return item;
}

_ft tokenAt(int offset) {
  _ft item;
  item.type = 4;
  item.offset = offset;
  return item;
}

std::vector<std::string> namesOf(const std::vector<_ftnind>& templates) {
  std::vector<std::string> names;
  for (const _ftnind& t : templates) names.push_back(t.name);
  return names;
}

TEST(ReadTemplateFile3, LineRules) {
  ReadResult r = readText(
      "# comment:%x[0,0]\n"
      "\n"
      "U01:%x[-1,0]\n"
      "U05:%x[-2,0]%x[-1,0]\n"
      "U07:%x[0,0]%x[1,0]|r\n"
      "NOCOLON\n"
      "EMPTY:\n"
      " #x:%x[0,0]\n"            // '#' not in the first column: a template
      "B1:%x[0,0]\n"             // label line, the rest unread
      "B\n"                      // renamed B1, no duplicate report
      "B0\n"
      "Bx:%x[0,0]\n"
      "B-2\n"
      "U08:%x[0,0]|\n"           // '|' without text names no relation
      "U09:|a_distance\n"
      "U10:%x[0,0]%\n"           // trailing '%' introduces nothing
      "U20:%y[2,0]\n");
  EXPECT_EQ(r.result, 13);
  EXPECT_EQ(r.err, "\nLoading template done, b=2.\n");
  auto make = [](const char* name, std::vector<_ft> items, int minLabelOffset, const char* relation = "NULL") {
    _ftnind t;
    t.name = name;
    t.items = items;
    t.minLabelOffset = minLabelOffset;
    t.relation = relation;
    return t;
  };
  const std::vector<_ftnind> want = {
      make("U01", {tokenAt(-1)}, 0),
      make("U05", {tokenAt(-2), tokenAt(-1)}, 0),
      make("U07", {tokenAt(0), tokenAt(1)}, 0, "r"),
      make(" #x", {tokenAt(0)}, 0),
      make("B1", {labelAt(-1)}, -1),
      make("B1", {labelAt(-1)}, -1),
      make("B0", {}, 0),
      make("Bx", {}, 0),
      make("B-2", {}, 0),
      make("U08", {tokenAt(0)}, 0),
      make("U09", {}, 0, "a_distance"),
      make("U10", {tokenAt(0)}, 0),
      make("U20", {labelAt(2)}, 0),  // a later label raises labelOrder only
  };
  ASSERT_EQ(r.templates.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(r.templates[i], want[i]) << i;
  EXPECT_EQ(r.labelOrder, 2);
  EXPECT_EQ(r.order, (std::vector<int>{0, 1, 2, 3, 6, 7, 8, 9, 10, 11, 12, 4, 5}));
}

TEST(ReadTemplateFile3, LabelLinesGiveOffsetsFromMinusMToMinusOne) {
  ReadResult r = readText("B3\nU01:%x[0,0]%y[-1,0]\n");
  ASSERT_EQ(r.result, 2);
  EXPECT_EQ(r.templates[0].items, (std::vector<_ft>{labelAt(-3), labelAt(-2), labelAt(-1)}));
  EXPECT_EQ(r.templates[0].minLabelOffset, -3);
  EXPECT_EQ(r.templates[1].minLabelOffset, -1);
  EXPECT_EQ(r.labelOrder, 3);
  EXPECT_EQ(r.order, (std::vector<int>{1, 0}));
}

TEST(ReadTemplateFile3, DuplicateNamesAreReportedButKept) {
  ReadResult r = readText("U01:%x[0,0]\nU02:%x[1,0]\nU01:%x[2,0]\nB1\n");
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(r.err, "Duplicated feature template id is detected, my baby.\n");
  EXPECT_EQ(namesOf(r.templates), (std::vector<std::string>{"U01", "U02", "U01", "B1"}));
  EXPECT_EQ(r.labelOrder, 1);
  EXPECT_EQ(r.order, (std::vector<int>{0, 1, 2, 3}));
}

TEST(ReadTemplateFile3, MissingFileReadsAsEmpty) {
  const std::string missing = testing::TempDir() + "korvane_templates_no_such.template";
  std::remove(missing.c_str());
  ReadResult r = readFile(missing);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.err, "\nLoading template done, b=0.\n");
  EXPECT_TRUE(r.templates.empty());
  EXPECT_TRUE(r.order.empty());
  EXPECT_EQ(r.labelOrder, 0);
}

TEST(ReadTemplateFile3, RefusesLabelOrdersThatCannotBeDecoded) {
  const std::string path = writeTemplate("big.template",
                                         "U01:%x[0,0]\n"
                                         "B65\n"
                                         "B99999999999999999999999\n"
                                         "U02:%x[0,0]%y[-1000,0]\n"
                                         "U03:%y[2147483647,0]\n"
                                         "B64\n");
  ReadResult r = readFile(path);
  EXPECT_EQ(r.result, 2);
  EXPECT_EQ(namesOf(r.templates), (std::vector<std::string>{"U01", "B64"}));
  EXPECT_EQ(r.labelOrder, 64);
  EXPECT_EQ(r.templates[1].items.size(), 64u);
  EXPECT_EQ(r.err, "Error: " + path + " line 2: label order 65 is larger than 64; line ignored.\n" +
                       "Error: " + path + " line 3: label order 9223372036854775807 is larger than 64; line ignored.\n" +
                       "Error: " + path + " line 4: label offset -1000 is beyond 64; line ignored.\n" +
                       "Error: " + path + " line 5: label offset 2147483647 is beyond 64; line ignored.\n" +
                       "\nLoading template done, b=64.\n");
}

TEST(ReadTemplateFile3, LongLinesAreReadWhole) {
  std::string line = "U01:";
  for (int i = 0; i < 3000; ++i) line += "%x.lowcase[" + std::to_string(i - 1500) + ",0]";
  line += "|a_" + std::string(5000, 'z');
  ReadResult r = readText(line + "\n");
  ASSERT_EQ(r.result, 1);
  ASSERT_EQ(r.templates[0].items.size(), 3000u);
  EXPECT_EQ(r.templates[0].items[2999].offset, 1499);
  EXPECT_EQ(r.templates[0].relation.size(), 5002u);
}

_ftnind withRelation(const char* relation, std::vector<_ft> items = {}) {
  _ftnind t;
  t.name = "T";
  t.relation = relation;
  t.items = items;
  return t;
}

_ft stepped() {
  _ft item = tokenAt(0);
  item.steps.push_back({0, 0});
  return item;
}

_ft valued() {
  _ft item = tokenAt(0);
  item.valueFunction = 0;
  return item;
}

TEST(CheckFTNodeInfo, FlagsRelationFamiliesAndNavigation) {
  struct Case {
    std::vector<_ftnind> templates;
    int f0, f1, f2, f3;
  } cases[] = {
      {{}, -1, -1, -1, -1},
      {{withRelation("NULL", {tokenAt(0), labelAt(-1)})}, -1, -1, -1, -1},
      {{withRelation("a_distance")}, 1, 1, -1, -1},
      {{withRelation("b_curpred")}, 1, -1, 1, -1},
      {{withRelation("c_x")}, 1, -1, -1, 1},
      {{withRelation("d_x")}, -1, -1, -1, -1},
      {{withRelation("")}, -1, -1, -1, -1},
      {{withRelation("NULL", {stepped()})}, 1, -1, -1, 1},
      {{withRelation("NULL", {valued()}), withRelation("a_x")}, 1, 1, -1, 1},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    std::vector<int> flags{3};
    EXPECT_EQ(checkFTNodeInfo(cases[i].templates, flags), 0);
    ASSERT_EQ(flags.size(), 32u);
    EXPECT_EQ(std::vector<int>(flags.begin(), flags.begin() + 4),
              (std::vector<int>{cases[i].f0, cases[i].f1, cases[i].f2, cases[i].f3}))
        << i;
    for (size_t k = 4; k < 32; ++k) EXPECT_EQ(flags[k], -1);
  }
}

TEST(CheckFTNodeDPRel, AnyRelationStepOrValueFunction) {
  std::vector<_ftnind> plain = {withRelation("NULL", {tokenAt(0), labelAt(-1)})};
  EXPECT_EQ(checkFTNodeDPRel(plain), 0);
  std::vector<_ftnind> none;
  EXPECT_EQ(checkFTNodeDPRel(none), 0);
  for (const _ftnind& extra : {withRelation("a_x"), withRelation("NULL", {stepped()}), withRelation("NULL", {valued()})}) {
    std::vector<_ftnind> set = plain;
    set.push_back(extra);
    EXPECT_EQ(checkFTNodeDPRel(set), 1);
  }
  std::vector<_ftnind> builtin;
  std::vector<int> order;
  int labelOrder = 0;
  getTemplateEnglishPoS(builtin, order, labelOrder);
  EXPECT_EQ(checkFTNodeDPRel(builtin), 1);  // the lowcase items
  getTemplateChinesePoS(builtin, order, labelOrder);
  EXPECT_EQ(checkFTNodeDPRel(builtin), 1);
}

TEST(CheckHRange, ColumnsMustStopBeforeTheLabelColumn) {
  TokenTable rows = {{"w", "pos", "gold"}, {"v", "pos", "gold"}};
  auto itemsAt = [](std::vector<int> columns) {
    std::vector<_ft> items;
    for (int c : columns) {
      _ft item;
      item.column = c;
      items.push_back(item);
    }
    return items;
  };
  const std::string message = "Error: x pointer in template file is longer than column number of crf file.\n";
  struct Case {
    std::vector<int> columns;
    int strictResult;
  } cases[] = {
      {{}, 1}, {{0, 1}, 1}, {{0, 2}, -1}, {{5}, -1}, {{-1}, -1}, {{INT32_MAX}, -1},
  };
  for (const Case& c : cases) {
    std::vector<_ft> items = itemsAt(c.columns);
    testing::internal::CaptureStderr();
    EXPECT_EQ(checkHRange(rows, items, true), c.strictResult);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.strictResult < 0 ? message : "");
    testing::internal::CaptureStderr();
    EXPECT_EQ(checkHRange(rows, items, false), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  }
  TokenTable empty;
  std::vector<_ft> items = itemsAt({0});
  testing::internal::CaptureStderr();
  EXPECT_EQ(checkHRange(empty, items, true), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), message);
}

// The shipped template files must read back into exactly the built-in sets:
// the trainer reads the files and the tagger builds the sets, and their
// feature strings have to agree.
void expectShippedFileEqualsBuiltin(const char* file,
                                    int (*builder)(std::vector<_ftnind>&, std::vector<int>&, int&)) {
  std::vector<_ftnind> builtin;
  std::vector<int> builtinOrder;
  int builtinLabelOrder = -1;
  const int count = builder(builtin, builtinOrder, builtinLabelOrder);
  ReadResult r = readFile(std::string(KORVANE_SOURCE_DIR) + "/models/" + file);
  EXPECT_EQ(r.result, count);
  ASSERT_EQ(r.templates.size(), builtin.size());
  for (size_t i = 0; i < builtin.size(); ++i) EXPECT_EQ(r.templates[i], builtin[i]) << "template " << i;
  EXPECT_EQ(r.order, builtinOrder);
  EXPECT_EQ(r.labelOrder, builtinLabelOrder);
}

TEST(ShippedTemplateFiles, EnglishEqualsBuiltinSet) {
  expectShippedFileEqualsBuiltin("english.template", getTemplateEnglishPoS);
}

TEST(ShippedTemplateFiles, ChineseEqualsBuiltinSet) {
  expectShippedFileEqualsBuiltin("chinese.template", getTemplateChinesePoS);
}

}  // namespace
