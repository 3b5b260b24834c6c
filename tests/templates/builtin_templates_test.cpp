#include "templates/builtin_templates.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Strings;

// f(o), w(o) or y(o) for an item in the built-in form, "odd:..." otherwise.
std::string describe(const _ft& item) {
  static const std::map<int, std::string> functions = {{146, "capitaltype"}, {148, "punctype"},
                                                       {149, "lowcase"},     {150, "chncharfirst"},
                                                       {151, "chncharlast"}, {152, "chncharlen"}};
  const int32_t reset[7] = {0, 0, -1, -1, -1, -1, -1};
  bool plain = item.index == 0 && item.arcSource == 0 && item.column == 0;
  for (int i = 0; i < 7; ++i) plain = plain && item.reserved[i] == reset[i];
  const std::string at = "(" + std::to_string(item.offset) + ")";
  if (plain && item.type == 0 && item.valueFunction == -1 && item.steps.empty()) return "y" + at;
  if (plain && item.type == 4 && item.valueFunction == -1 && item.steps.empty()) return "w" + at;
  if (plain && item.type == 4 && item.steps.size() == 1 && item.steps[0].code == item.valueFunction &&
      item.steps[0].argument == 0 && functions.count(item.valueFunction))
    return functions.at(item.valueFunction) + at;
  std::ostringstream odd;
  odd << "odd:" << item;
  return odd.str();
}

struct Expected {
  const char* name;
  Strings items;
  int minLabelOffset;
};

void expectSet(const std::vector<_ftnind>& got, const std::vector<Expected>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(want[i].name);
    EXPECT_EQ(got[i].name, want[i].name);
    EXPECT_EQ(got[i].relation, "NULL");
    EXPECT_EQ(got[i].minLabelOffset, want[i].minLabelOffset);
    Strings items;
    for (const _ft& item : got[i].items) items.push_back(describe(item));
    EXPECT_EQ(items, want[i].items);
  }
}

TEST(GetTemplateChinesePoS, BuildsTheChineseSet) {
  const std::vector<Expected> want = {
      {"U00", {"w(-2)"}, 0},
      {"U01", {"w(-1)"}, 0},
      {"U02", {"w(0)"}, 0},
      {"U03", {"w(1)"}, 0},
      {"U04", {"w(2)"}, 0},
      {"U05", {"w(-2)", "w(-1)"}, 0},
      {"U06", {"w(-1)", "w(0)"}, 0},
      {"U07", {"w(0)", "w(1)"}, 0},
      {"U08", {"w(1)", "w(2)"}, 0},
      {"U09", {"w(-1)", "w(1)"}, 0},
      {"U11", {"chncharfirst(0)"}, 0},
      {"U12", {"chncharlast(0)"}, 0},
      {"U13", {"chncharlen(0)"}, 0},
      {"B1", {"y(-1)"}, -1},
  };
  std::vector<_ftnind> templates(3);
  std::vector<int> order{7, 7};
  int labelOrder = 9;
  for (int call = 0; call < 2; ++call) {  // a second call replaces, never appends
    EXPECT_EQ(getTemplateChinesePoS(templates, order, labelOrder), 14);
    expectSet(templates, want);
    EXPECT_EQ(labelOrder, 1);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
  }
}

TEST(GetTemplateEnglishPoS, BuildsTheEnglishSet) {
  const std::vector<Expected> want = {
      {"U01", {"w(-1)"}, 0},
      {"U02", {"w(0)"}, 0},
      {"U03", {"w(1)"}, 0},
      {"U04", {"w(2)"}, 0},
      {"U07", {"w(0)", "w(1)"}, 0},
      {"U09", {"w(-1)", "w(1)"}, 0},
      {"U20", {"lowcase(-2)"}, 0},
      {"U21", {"lowcase(-1)"}, 0},
      {"U23", {"lowcase(1)"}, 0},
      {"U27", {"lowcase(0)", "lowcase(1)"}, 0},
      {"U28", {"lowcase(1)", "lowcase(2)"}, 0},
      {"U29", {"lowcase(-1)", "lowcase(1)"}, 0},
      {"U45", {"capitaltype(-2)", "capitaltype(-1)"}, 0},
      {"U47", {"capitaltype(0)", "capitaltype(1)"}, 0},
      {"U63", {"punctype(1)"}, 0},
      {"A01", {"w(0)", "y(-1)"}, -1},
      {"A02", {"w(0)", "y(-2)"}, -2},
      {"B1", {"y(-1)"}, -1},
      {"B2", {"y(-2)", "y(-1)"}, -2},
  };
  std::vector<_ftnind> templates;
  std::vector<int> order;
  int labelOrder = 0;
  for (int call = 0; call < 2; ++call) {
    EXPECT_EQ(getTemplateEnglishPoS(templates, order, labelOrder), 19);
    expectSet(templates, want);
    EXPECT_EQ(labelOrder, 2);
    // B1 (17) looks back one label and comes before A02 (16).
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17, 16, 18}));
  }
}

_ftnind withLabels(const char* name, std::vector<int> offsets) {
  _ftnind t;
  t.name = name;
  for (int o : offsets) {
    _ft item;
    item.type = 0;
    item.offset = o;
    t.items.push_back(item);
  }
  return t;
}

TEST(FinishTemplate, LabelItemsSetMinLabelOffsetAndLabelOrder) {
  struct Case {
    std::vector<int> offsets;
    int minLabelOffset, labelOrder;
  } cases[] = {
      {{}, 0, 0}, {{-1}, -1, 1}, {{-2, -1}, -2, 2}, {{0}, 0, 0}, {{3}, 0, 3}, {{3, -1}, -1, 3},
      {{INT32_MIN}, INT32_MIN, INT32_MAX},
  };
  for (const Case& c : cases) {
    _ftnind t = withLabels("T", c.offsets);
    int labelOrder = 0;
    finishTemplate(t, labelOrder);
    EXPECT_EQ(t.minLabelOffset, c.minLabelOffset);
    EXPECT_EQ(labelOrder, c.labelOrder);
  }
  _ftnind b = withLabels("B", {-1});
  int labelOrder = 5;
  finishTemplate(b, labelOrder);
  EXPECT_EQ(b.name, "B1");
  EXPECT_EQ(labelOrder, 5);  // never lowered
}

TEST(BuildTemplateOrder, GroupsByMinLabelOffsetThenIndex) {
  std::vector<_ftnind> templates;
  for (int d : {-2, 0, -1, 0, -2, -1}) {
    _ftnind t;
    t.minLabelOffset = d;
    templates.push_back(t);
  }
  std::vector<int> order{99};
  buildTemplateOrder(templates, 2, order);
  EXPECT_EQ(order, (std::vector<int>{1, 3, 2, 5, 0, 4}));
  buildTemplateOrder(templates, 1, order);  // beyond -labelOrder: not listed
  EXPECT_EQ(order, (std::vector<int>{1, 3, 2, 5}));
  buildTemplateOrder(templates, INT32_MAX, order);  // no pass per offset
  EXPECT_EQ(order.size(), 6u);
}

}  // namespace
