// Relation functions, through FeatureLocGenP2Multi with templates that name one.
#include "features/relation_functions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feature_test_util.h"
#include "features/predicate_dictionary.h"

using namespace ktest;

namespace {

// Rows of eleven columns: 0 word, 4 split-word mark, 5 form, 6 lemma, 7 tag.
TokenTable annotated(int count) {
  TokenTable rows;
  for (int i = 0; i < count; ++i) {
    const std::string k = std::to_string(i);
    rows.push_back({"w" + k, "_", "_", "_", "p" + k, "f" + k, "l" + k, "t" + k, "_", "_", "_"});
  }
  return rows;
}

// A template of two plain items reaching rows position+a and position+b.
_ftnind pair(const std::string& relation, int a, int b) { return tpl("R", {w(a), w(b)}, relation); }

class RelationFunctionsTest : public testing::Test {
 protected:
  void SetUp() override { call.rows = annotated(8); }
  void TearDown() override { _dic.clear(); }

  // Relation value over rows r0 and r1 (items at offsets from position 0).
  std::string rel(const std::string& relation, int r0, int r1, const std::string& before = "keep") {
    return call.run(pair(relation, r0, r1), 0, before);
  }

  Call call;
};

TEST_F(RelationFunctionsTest, DispatchAndUnknownNames) {
  call.rows[1][0] = call.rows[3][0] = "same";
  testing::internal::CaptureStderr();
  EXPECT_EQ(rel("a_isequal", 1, 3), "+");
  EXPECT_EQ(rel("a_isequal", 1, 2), "-");
  EXPECT_EQ(rel("a_IsEqual", 1, 3), "+");  // the name is lower-cased
  EXPECT_EQ(rel("a:isequal", 1, 3), "+");  // the second character is skipped
  EXPECT_EQ(rel("d_isequal", 1, 3), "keep");
  EXPECT_EQ(rel("A_isequal", 1, 3), "keep");
  EXPECT_EQ(rel("", 1, 3), "keep");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(call.result, 2);

  testing::internal::CaptureStderr();
  EXPECT_EQ(rel("a_nosuch", 1, 3), "keep");
  EXPECT_EQ(rel("b_NoSuch", 1, 3), "keep");
  EXPECT_EQ(rel("c_nosuch", 1, 3), "keep");
  EXPECT_EQ(rel("a", 1, 3), "keep");
  EXPECT_EQ(rel("c_curpred", 1, 3), "keep");  // an entry of another family
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Unknown function:c_nosuch\nUnknown function:nosuch\nUnknown function:c_nosuch\n"
            "Unknown function:c_\nUnknown function:c_curpred\n");
}

TEST_F(RelationFunctionsTest, LabelItemsAndShortTemplates) {
  // Label items reach no row: r0 and r1 are those of the token items.
  EXPECT_EQ(call.run(tpl("R", {y(-1), w(5), y(-2), w(2)}, "a_distance"), 0), "3");
  EXPECT_EQ(call.result, 4);
  EXPECT_EQ(call.run(tpl("R", {w(5)}, "a_distance"), 0), "-");
  EXPECT_EQ(call.run(tpl("R", {w(5)}, "a_isequal"), 0), "-");
  EXPECT_EQ(call.run(tpl("R", {}, "a_isequal"), 0), "-");
  EXPECT_EQ(call.run(tpl("R", {}, "b_existdp"), 0), "0");
  EXPECT_EQ(call.run(tpl("R", {}, "b_curpred"), 0), "-");
  EXPECT_EQ(call.run(tpl("R", {}, "a_curpredex_[x]"), 0), "_1");
  EXPECT_EQ(call.run(tpl("R", {}, "c_isactive"), 0), "_");
}

TEST_F(RelationFunctionsTest, DistanceAndPosSeq) {
  EXPECT_EQ(rel("a_distance", 5, 2), "3");
  EXPECT_EQ(rel("a_distance", 2, 5), "-3");
  EXPECT_EQ(rel("a_distance", 5, -1), "-");
  EXPECT_EQ(rel("a_distance", 8, 1), "-");
  EXPECT_EQ(rel("a_posseq", 3, 1), "||t1|t2|t3");
  EXPECT_EQ(rel("a_posseq", 2, 2), "||t2");
  EXPECT_EQ(rel("a_posseq", 3, 9), "-");
}

TEST_F(RelationFunctionsTest, ComaRel) {
  call.rows[4][6] = ",";
  EXPECT_EQ(rel("a_comarel", 2, 5), "fair_ex");
  EXPECT_EQ(rel("a_comarel", 5, 6), "fair");
  call.rows[2][6] = ",";
  EXPECT_EQ(rel("a_comarel", 2, 5), "x1_ex");
  EXPECT_EQ(rel("a_comarel", 0, 4), "x2_ex");
  EXPECT_EQ(rel("a_comarel", 4, 2), "impossible");
  EXPECT_EQ(rel("a_comarel", -1, 2), "-");
}

TEST_F(RelationFunctionsTest, HyphenRel) {
  // Rows 1-3 form one split word (rows 2 and 3 carry "_").
  const std::vector<std::string> marks = {"1", "2", "_", "_", "3", "4", "_", "5"};
  for (size_t i = 0; i < marks.size(); ++i) call.rows[i][4] = marks[i];
  EXPECT_EQ(rel("a_hyphenrel", 0, 4), "00");
  EXPECT_EQ(rel("a_hyphenrel", 2, 0), "10");
  EXPECT_EQ(rel("a_hyphenrel", 0, 3), "01");
  EXPECT_EQ(rel("a_hyphenrel", 2, 3), "in");
  EXPECT_EQ(rel("a_hyphenrel", 3, 6), "2in");
  // A group's first row ends one row before itself, so it never matches a later part.
  EXPECT_EQ(rel("a_hyphenrel", 1, 2), "2in");
  EXPECT_EQ(rel("a_hyphenrel", 1, 1), "in");
  EXPECT_EQ(rel("a_hyphenrel", 1, 9), "-");
  // A leading "_" has no row to continue.
  call.rows[0][4] = "_";
  EXPECT_EQ(rel("a_hyphenrel", 0, 4), "00");
}

TEST_F(RelationFunctionsTest, ArcLabelFunctionsOfFamilyA) {
  call.arcs = arcList({{2, "NMOD"}, {2, "SBJ"}, {-1, "ROOT"}, {2, "OBJ"}, {3, "NMOD"}, {2, "P"}, {-1, "_"}, {-1, "_"}});
  EXPECT_EQ(rel("a_curexist_sbj", 0, 1), "+");
  EXPECT_EQ(rel("a_curexist_SBJX", 0, 1), "-");
  EXPECT_EQ(rel("a_existdplabelex_obj", 0, 1), "1");
  EXPECT_EQ(rel("a_existdplabelex_vc", 0, 1), "0");
  EXPECT_EQ(rel("a_existchildlabelex_nmod", 3, 1), "1");
  EXPECT_EQ(rel("a_existchildlabelex_nmod", 4, 1), "0");
  EXPECT_EQ(rel("a_existchildlabelex_sbj", 2, 1), "1");
  EXPECT_EQ(rel("a_verbrelationright", 2, 1), "-");
  EXPECT_EQ(rel("a_verbrelationleft", 2, 1), "-");

  // curpredex: the first row labelled with the parameter, plus the first item's offset.
  EXPECT_EQ(rel("a_curpredex_[obj]", 0, 1), "w3");
  EXPECT_EQ(call.run(tpl("R", {item(1, 5), w(0)}, "a_curpredex_[OBJ]"), 0), "f4");
  EXPECT_EQ(rel("a_curpredex_[vc]", 0, 1), "_1");
  EXPECT_EQ(call.run(tpl("R", {item(0, 40), w(0)}, "a_curpredex_[obj]"), 0), "_1");
  EXPECT_EQ(rel("a_curpredex", 0, 1), "_1");
}

TEST_F(RelationFunctionsTest, DeepestPath) {
  call.arcs = arcList({{1, "SBJ"}, {-1, "ROOT"}, {0, "NMOD"}});
  EXPECT_EQ(rel("a_deepestpath", 0, 1), "0--SBJ-ROOT");
  EXPECT_EQ(rel("a_deepestpath", 2, 1), "0--NMOD-SBJ-ROOT");
  EXPECT_EQ(rel("a_deepestpath", -1, 1), "0-");
  EXPECT_EQ(rel("a_deepestpath", 5, 1), "0-");  // no arc entry
  call.arcs = arcList({{1, "A"}, {0, "B"}});    // a cycle ends where it repeats
  EXPECT_EQ(rel("a_deepestpath", 0, 1), "0--A-B");
  call.arcs = arcList({{9, "A"}});
  EXPECT_EQ(rel("a_deepestpath", 0, 1), "0--A");
}

TEST_F(RelationFunctionsTest, DictionaryScores) {
  EXPECT_EQ(rel("a_rootscore", 1, 2), "-");
  EXPECT_EQ(rel("a_pairscore", 1, 2), "-");
  _dic["w1 __"] = "3";
  _dic["w1 w2"] = "0.5";
  _dic["w2 w1"] = "junk";
  EXPECT_EQ(rel("a_rootscore", 1, 2), "2");
  EXPECT_EQ(rel("a_pairscore", 1, 2), "-2");
  EXPECT_EQ(rel("a_pairscore", 2, 1), "0");
  EXPECT_EQ(call.run(tpl("R", {w(1)}, "a_pairscore"), 0), "-");
}

// Predicates at rows 3 and 6; row 1 is an A0 of the first.
void predicateState(Call& call) {
  call.predicateRows = {3, 6};
  std::vector<_dppair> list(8);
  list[1].dprel = "A0";
  list[5].dprel = "S-A1";
  call.argumentLists = {list};
}

TEST_F(RelationFunctionsTest, FamilyBPredicates) {
  predicateState(call);
  EXPECT_EQ(rel("b_curpred", 0, 1), "w6");
  EXPECT_EQ(call.run(tpl("R", {item(-1, 7), w(0)}, "b_curpred"), 0), "t5");
  EXPECT_EQ(call.run(tpl("R", {item(2, 0), w(0)}, "b_curpred"), 0), "-");
  EXPECT_EQ(call.run(tpl("R", {item(0, 0, -1, {}, 4, 0, 1), w(0)}, "b_curpredex"), 0), "w3");
  EXPECT_EQ(call.run(tpl("R", {item(0, 0, -1, {}, 4, 0, 3), w(0)}, "b_curpredex"), 0), "-");
  call.argumentLists.push_back(call.argumentLists[0]);
  EXPECT_EQ(rel("b_curpred", 0, 1), "-");  // every predicate handled
}

TEST_F(RelationFunctionsTest, FamilyBArgumentLinks) {
  predicateState(call);
  EXPECT_EQ(rel("b_existdp", 1, 3), "1");
  EXPECT_EQ(rel("b_existdp", 3, 1), "-1");
  EXPECT_EQ(rel("b_existdp", 0, 3), "0");
  EXPECT_EQ(rel("b_existdp", 1, 9), "0");
  EXPECT_EQ(rel("b_existdplabel", 1, 3), "A0");
  EXPECT_EQ(rel("b_existdplabel", 3, 1), "-A0");
  EXPECT_EQ(rel("b_existdplabelex_a0", 1, 3), "1");
  EXPECT_EQ(rel("b_existdplabelex_a1", 1, 3), "0");
  EXPECT_EQ(rel("b_existdplabelex_a1", 3, 5), "-1");  // "S-A1" counts as A1
  EXPECT_EQ(rel("b_existdplabelex_A1", 5, 3), "1");

  // The last list that links the rows decides.
  std::vector<_dppair> second(8);
  second[3].dprel = "A2";
  call.argumentLists.push_back(second);
  call.predicateRows = {3, 1};
  EXPECT_EQ(rel("b_existdp", 1, 3), "-1");
  EXPECT_EQ(rel("b_existdplabel", 1, 3), "-A2");
  // Argument lists without a predicate row are ignored.
  call.predicateRows = {3};
  EXPECT_EQ(rel("b_existdp", 1, 3), "1");
}

TEST_F(RelationFunctionsTest, FamilyBExistCross) {
  predicateState(call);  // predicate 3 with arguments at rows 1 and 5
  EXPECT_EQ(rel("b_existcross", 2, 4), "+");  // 1 -> 3 enters the stretch's inside (3)
  EXPECT_EQ(rel("b_existcross", 4, 7), "+");  // argument 5 inside, predicate 3 outside
  EXPECT_EQ(rel("b_existcross", 0, 6), "-");  // everything inside
  EXPECT_EQ(rel("b_existcross", 5, 7), "-");  // argument at an end of the stretch
  EXPECT_EQ(rel("b_existcross", -1, 4), "-");
}

TEST_F(RelationFunctionsTest, FamilyCPathEntriesGiveTheirConstants) {
  struct Case {
    std::string name, inside, start;
  };
  const std::vector<Case> cases = {
      {"dpposseq", "", "0"},          {"dpdistance", "0", "-"},
      {"existdp", "descendant-0", "0"}, {"existdplabel", "", "0"},
      {"matchpathdprel", "|", "0"},   {"matchpathpos", "|", "0"},
      {"firstdistinctpathdprel", "|", "0"}, {"firstdistinctpathpos", "|", "0"},
      {"seconddistinctpathdprel", "|", "0"}, {"seconddistinctpathpos", "|", "0"},
      {"rootpath", "", "0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rel("c_" + c.name, 1, 2), c.inside) << c.name;
    EXPECT_EQ(rel("c_" + c.name, -1, 2), c.start) << c.name;
    EXPECT_EQ(rel("c_" + c.name, 1, -1), c.name == "rootpath" ? "" : c.start) << c.name;
  }
}

TEST_F(RelationFunctionsTest, FamilyCPathsWhenFilled) {
  call.extraArcs = arcList({{-1, "ROOT"}, {0, "SBJ"}, {1, "NMOD"}, {0, "OBJ"}, {3, "PMOD"}});
  std::vector<int> noStack;
  std::vector<std::vector<_dppair>> noLists;
  std::vector<int> noPreds;
  std::vector<_dppair> noArcs;
  FeatureCallContext c{call.rows, static_cast<int>(call.rows.size()), noStack, 0, noArcs, noLists, noPreds,
                       call.extraArcs, nullptr};
  const std::vector<int> fromTwo = {2, 1, 0}, fromFour = {4, 3, 0}, fromOne = {1, 0};
  std::string out;
  auto path = [&](const std::string& name, const std::vector<int>& a, const std::vector<int>& b) {
    EXPECT_TRUE(pathRelationValue(c, name, 1, 2, a, b, out));
    return out;
  };
  EXPECT_EQ(path("dpdistance", fromTwo, fromOne), "-1");
  EXPECT_EQ(path("existdp", fromOne, fromTwo), "descendant-1");
  EXPECT_EQ(path("existdp", fromTwo, fromOne), "ancestor-1");
  EXPECT_EQ(path("existdp", fromTwo, fromFour), "sibling-0");
  EXPECT_EQ(path("matchpathdprel", fromTwo, fromFour), "||ROOT");
  EXPECT_EQ(path("firstdistinctpathpos", fromTwo, fromFour), "||t2|t1");
  EXPECT_EQ(path("seconddistinctpathdprel", fromTwo, fromFour), "||PMOD|OBJ");
  EXPECT_EQ(path("dpposseq", fromTwo, fromOne), "-t2");
  EXPECT_EQ(path("existdplabel", fromOne, fromFour), "+PMOD+OBJ-SBJ");
  EXPECT_EQ(path("rootpath", fromTwo, fromOne), "-NMOD-SBJ-ROOT");
  EXPECT_FALSE(pathRelationValue(c, "isactive", 1, 2, fromTwo, fromOne, out));
}

TEST_F(RelationFunctionsTest, FamilyCArcFunctions) {
  call.rows[2][6] = "be";
  call.rows[3][7] = "VBN";
  call.rows[3][5] = "eaten";
  call.rows[4][7] = "VBG";
  call.rows[4][5] = "eating";
  call.extraArcs = arcList({{-1, "ROOT"}, {0, "SBJ"}, {0, "VC"}, {2, "VC"}, {2, "VC"}, {9, "P"}});
  EXPECT_EQ(rel("c_existdplabelex_sbj", 0, 1), "1");
  EXPECT_EQ(rel("c_existdplabelex_obj", 0, 1), "0");
  EXPECT_EQ(rel("c_isactive", 3, 0), "+");
  EXPECT_EQ(rel("c_isactive", 4, 0), "-");
  EXPECT_EQ(rel("c_isactive", 1, 0), "_");  // not a verb
  EXPECT_EQ(rel("c_isactive", -1, 0), "_");
  call.rows[5][7] = "VB";
  EXPECT_EQ(rel("c_isactive", 5, 0), "-");  // head outside the sentence
  call.rows[6][7] = "VB";
  EXPECT_EQ(rel("c_isactive", 6, 0), "-");  // no extra arc
}

}  // namespace
