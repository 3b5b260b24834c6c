#include "parsing/dependency_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t space = text.find(' ', start);
    const size_t end = space == std::string::npos ? text.size() : space;
    if (end > start) out.push_back(text.substr(start, end - start));
    if (space == std::string::npos) break;
    start = space + 1;
  }
  return out;
}

TokenTable table(const std::vector<std::string>& lines) {
  TokenTable rows;
  for (const std::string& l : lines) rows.push_back(split(l));
  return rows;
}

struct Loaded {
  std::vector<_dppair> extra;
  std::vector<std::vector<_dppair>> arguments;
  std::vector<int> predicates;
};

// Columns: 0..7 filler, 8 head, 9 relation, 10 predicate marker, 11 filler, then argument pairs.
const std::vector<std::string> kSentence = {
    "a a a a a a a a 2 SBJ _ x 2 A0 0 _",
    "b b b b b b b b 0 ROOT b.01 x 0 _ 0 _",
    "c c c c c c c c 2 OBJ c.01 x 2 A1 2 A1",
};

TEST(LoadExtraDPInfo, KindsSelectTreeAndPredicateColumns) {
  for (int kind : {0, 1, 2, 3, 4}) {
    SCOPED_TRACE(kind);
    TokenTable rows = table(kSentence);
    Loaded l;
    l.extra.resize(7);
    l.predicates = {42};
    loadExtraDPInfo(rows, kind, l.extra, l.arguments, l.predicates);
    if (kind == 1 || kind == 3) {
      ASSERT_EQ(l.extra.size(), 3u);
      EXPECT_EQ(l.extra[0].head, 1);
      EXPECT_EQ(l.extra[0].dprel, "SBJ");
      EXPECT_EQ(l.extra[1].head, -1);
      EXPECT_EQ(l.extra[2].dprel, "OBJ");
    } else {
      EXPECT_EQ(l.extra.size(), 7u);
    }
    if (kind == 2 || kind == 3) {
      EXPECT_EQ(l.predicates, (std::vector<int>{1, 2}));
      ASSERT_EQ(l.arguments.size(), 2u);
      ASSERT_EQ(l.arguments[0].size(), 3u);
      EXPECT_EQ(l.arguments[0][0].head, 1);
      EXPECT_EQ(l.arguments[0][0].dprel, "A0");
      EXPECT_EQ(l.arguments[0][1].head, -1);
      EXPECT_EQ(l.arguments[1][2].dprel, "A1");
      EXPECT_EQ(l.arguments[1][2].head, 1);
    } else {
      EXPECT_EQ(l.predicates, std::vector<int>{42});
    }
  }
  TokenTable rows = table(kSentence);
  Loaded both;
  loadExtraDPInfo(rows, both.extra, both.arguments, both.predicates);
  EXPECT_EQ(both.extra.size(), 3u);
  EXPECT_EQ(both.arguments.size(), 2u);
}

TEST(LoadExtraDPInfo, ShortRowsAndOddNumbersHaveDefinedValues) {
  // Row 0 is too short for any of the columns, row 1 holds text that is no number,
  // and row 2 stops inside the argument columns of its second predicate.
  TokenTable rows = table({"a a a a a a a a 3 X p y 1 A 2 B", "b", "c c c c c c c c zz Y p y 1"});
  Loaded l;
  l.arguments.resize(5);
  loadExtraDPInfo(rows, 3, l.extra, l.arguments, l.predicates);
  ASSERT_EQ(l.extra.size(), 3u);
  EXPECT_EQ(l.extra[1].head, -1);
  EXPECT_EQ(l.extra[1].dprel, "_");
  EXPECT_EQ(l.extra[2].head, -1);  // "zz" reads as 0
  EXPECT_EQ(l.predicates, (std::vector<int>{0, 2}));
  ASSERT_EQ(l.arguments.size(), 2u);
  EXPECT_EQ(l.arguments[1][0].head, 1);
  EXPECT_EQ(l.arguments[1][0].dprel, "B");
  EXPECT_EQ(l.arguments[0][2].head, 0);
  EXPECT_EQ(l.arguments[0][2].dprel, "_");  // relation column missing
  EXPECT_EQ(l.arguments[1][2].head, -1);    // both columns missing
  EXPECT_EQ(l.arguments[1][1].dprel, "_");
}

TEST(LoadExtraDPInfo, TooFewColumnsInTheFirstRowEmptiesArgumentLists) {
  // Two predicates need 13 + 2 = 15 columns in the first row; it has 14.
  TokenTable rows = table({"a a a a a a a a 0 R p y 1 A", "b b b b b b b b 1 R p y 1 A 0 _"});
  Loaded l;
  l.arguments.resize(3);
  loadExtraDPInfo(rows, 2, l.extra, l.arguments, l.predicates);
  EXPECT_EQ(l.predicates, (std::vector<int>{0, 1}));
  EXPECT_TRUE(l.arguments.empty());
  TokenTable none;
  loadExtraDPInfo(none, 3, l.extra, l.arguments, l.predicates);
  EXPECT_TRUE(l.extra.empty());
  EXPECT_TRUE(l.predicates.empty());
  EXPECT_TRUE(l.arguments.empty());
}

TEST(HeadFromColumn, SaturatesHugeNumbers) {
  EXPECT_EQ(headFromColumn("4"), 3);
  EXPECT_EQ(headFromColumn("0"), -1);
  EXPECT_EQ(headFromColumn("-3"), -4);
  EXPECT_EQ(headFromColumn("12abc"), 11);
  EXPECT_EQ(headFromColumn(""), -1);
  EXPECT_EQ(headFromColumn("99999999999999999999"), 2147483646);
  EXPECT_EQ(headFromColumn("-99999999999999999999"), -2147483647 - 1);
}

}  // namespace
