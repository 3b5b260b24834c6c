// The parser's navigation steps and value functions (codes 240-247), through
// FeatureLocGenP2Multi on a small tree, and as template text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feature_test_util.h"
#include "templates/parser_step_codes.h"
#include "templates/template_reader.h"

using namespace ktest;

namespace {

// Rows 0 and 1 are left children of row 2 (the root), rows 3 and 4 right
// children, row 5 a child of row 4; rows 6-9 are not attached yet.
Call smallTree() {
  Call call;
  call.rows = words({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"});
  call.arcs = arcList({{2, "det"}, {2, "amod"}, {-1, "ROOT"}, {2, "obj"}, {2, "obl"}, {4, "case"},
                       {-1024, "_x"}, {-1024, "_x"}, {-1024, "_x"}, {-1024, "_x"}});
  return call;
}

// Word (column 0) reached from the stack top through steps, or the function's value there.
std::string fromTop(Call& call, int top, std::vector<_subft> steps, int valueFunction = -1, int position = 6) {
  call.stack = {top};
  if (valueFunction >= 0) steps.push_back({valueFunction, 0});
  return call.run(tpl("T", {item(0, 0, valueFunction, steps, 2)}), position);
}

TEST(ParserFunctionsTest, StepsReachHeadsAndOuterChildren) {
  Call call = smallTree();
  struct Case {
    int top;
    std::vector<_subft> steps;
    const char* expected;
  } cases[] = {
      {0, {{kStepParent, 0}}, "c"},
      {5, {{kStepParent, 2}}, "c"},
      {2, {{kStepParent, 0}}, "_X0"},  // a root has no head
      {6, {{kStepParent, 0}}, "_X0"},  // nor has a token not attached yet
      {2, {{kStepLeftChild, 0}}, "a"},
      {2, {{kStepLeftChild, 2}}, "b"},
      {2, {{kStepLeftChild, 3}}, "_X0"},
      {2, {{kStepRightChild, 1}}, "e"},
      {2, {{kStepRightChild, 2}}, "d"},
      {4, {{kStepLeftChild, 0}}, "_X0"},  // row 5 lies right of row 4
      {2, {{kStepRightChild, 0}, {kStepRightChild, 0}}, "f"},
      {5, {{kStepParent, 2}, {kStepRightChild, 2}}, "d"},
  };
  for (const Case& c : cases) EXPECT_EQ(fromTop(call, c.top, c.steps), c.expected) << c.top;
  // A missing node stays missing for the value functions too.
  EXPECT_EQ(fromTop(call, 4, {{kStepLeftChild, 0}}, 102), "_X0");
  EXPECT_EQ(fromTop(call, 2, {{kStepLeftChild, 2}}, 102), "amod");
}

TEST(ParserFunctionsTest, ValencyLabelSetsAndDistance) {
  Call call = smallTree();
  EXPECT_EQ(fromTop(call, 2, {}, kValueLeftValency), "2");
  EXPECT_EQ(fromTop(call, 2, {}, kValueRightValency), "2");
  EXPECT_EQ(fromTop(call, 4, {}, kValueRightValency), "1");
  EXPECT_EQ(fromTop(call, 4, {}, kValueLeftValency), "0");
  EXPECT_EQ(fromTop(call, 2, {}, kValueLeftLabelSet), "||amod|det");
  EXPECT_EQ(fromTop(call, 2, {}, kValueRightLabelSet), "||obj|obl");
  EXPECT_EQ(fromTop(call, 0, {}, kValueRightLabelSet), "|");
  for (auto dp : std::vector<std::pair<int, const char*>>{{5, "3"}, {6, "4"}, {7, "5-9"}, {11, "5-9"}, {12, "10+"}})
    EXPECT_EQ(fromTop(call, 2, {}, kValueDistance, dp.first), dp.second) << dp.first;
  // Outside the sentence: no count, no set, no distance.
  call.stack.clear();
  for (int code : {kValueLeftValency, kValueDistance})
    EXPECT_EQ(call.run(tpl("T", {item(0, 0, code, {{code, 0}}, 4, 0)}), 12), "-") << code;
  EXPECT_EQ(call.run(tpl("T", {item(0, 0, kValueLeftLabelSet, {{kValueLeftLabelSet, 0}}, 4, 0)}), 12), "|");
}

TEST(ParserFunctionsTest, TemplateTextNamesTheSteps) {
  struct Case {
    const char* text;
    std::vector<_subft> steps;
    int valueFunction;
  } cases[] = {
      {"s0.lchild2.dprel[0,0]", {{241, 2}, {102, 0}}, 102},
      {"x.PARENT2[0,4]", {{240, 2}}, -1},
      {"s0.rchild[0,1]", {{242, 0}}, -1},
      {"x.rvalency[0,0]", {{244, 0}}, 244},
      {"s0.parent.llabelset[0,0]", {{240, 0}, {245, 0}}, 245},
      {"s0.distance[0,0]", {{247, 0}}, 247},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    _ft parsed;
    parseTemplateLine(text, parsed);
    ASSERT_EQ(parsed.steps.size(), c.steps.size()) << c.text;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      EXPECT_EQ(parsed.steps[i].code, c.steps[i].code) << c.text;
      EXPECT_EQ(parsed.steps[i].argument, c.steps[i].argument) << c.text;
    }
    EXPECT_EQ(parsed.valueFunction, c.valueFunction) << c.text;
  }
}

}  // namespace
