// Navigation steps and tree / predicate-argument value functions, through
// FeatureLocGenP2Multi on small hand-made sentences.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "features/predicate_dictionary.h"
#include "feature_test_util.h"

using namespace ktest;

namespace {

enum {
  kCurRoot = 24, kMostHeaded = 25, kIsArgument = 100, kDprel = 102, kDir = 103, kCurPred = 104, kPredDir = 105,
  kIsCurPred = 106, kCurPredTurn = 107, kCurPredLine = 108, kNumChildren = 109, kPosSeqChildren = 110,
  kIsFirstVerb = 111, kIsLastVerb = 112, kIsFirstWord = 113, kIsLastWord = 114, kIsJustLeft = 115,
  kIsJustRight = 116, kHighestLevel = 117, kHighestPath = 118, kLowestLevel = 119, kIsInStack = 120,
  kIsCurStart = 121, kIsVorN = 122, kIsDeterminedTarget = 123, kIsCurTargetFound = 124, kIsStartLabeled = 125,
  kDprelSeqChildren = 126, kRecA0 = 127, kRecA1 = 128, kRecIt = 131, kIsActive = 133, kHighestPathPos = 134,
  kSrlBaseNeg = 135, kSrlBaseMod = 136, kSrlBaseA = 137, kSrlBaseRa = 138, kIsComa = 139, kExistMd = 140,
  kIsMd = 141, kExistVerbShort = 142, kIsVerbNoun = 143, kPosSeqRel = 144, kDprelSeqRel = 145,
};

struct Tok {
  std::string word, tag, lemma = "x", form = "x", col4 = "1", sense = "_";
};

// Rows of eleven columns: 0 word, 4 split-word mark, 5 form, 6 lemma, 7 tag, 10 sense.
TokenTable sentence(const std::vector<Tok>& toks) {
  TokenTable rows;
  for (const Tok& t : toks) rows.push_back({t.word, "_", "_", "_", t.col4, t.form, t.lemma, t.tag, "_", "_", t.sense});
  return rows;
}

// Value of function `code` at `position` (offset, column and navigation as given).
std::string val(Call& call, int code, int position, int offset = 0, int column = 0, std::vector<_subft> nav = {},
                int arcSource = 0) {
  nav.push_back({code, 0});
  return call.run(tpl("T", {item(offset, column, code, nav, 4, 0, arcSource)}), position);
}

// Row 1 is the root; rows 0 and 2 depend on it.
Call threeRowTree() {
  Call call;
  call.rows = sentence({{"The", "DT"}, {"runs", "VBZ"}, {"fast", "RB"}});
  call.arcs = arcList({{1, "NMOD"}, {-1, "ROOT"}, {1, "ADV"}});
  return call;
}

TEST(TreeFunctionsTest, ChildrenAndLevelsOfASmallTree) {
  Call call = threeRowTree();
  EXPECT_EQ(val(call, kNumChildren, 1), "2");
  EXPECT_EQ(val(call, kNumChildren, 0), "0");
  EXPECT_EQ(val(call, kPosSeqChildren, 1), "||DT|RB");
  EXPECT_EQ(val(call, kPosSeqChildren, 0), "|");
  EXPECT_EQ(val(call, kDprelSeqChildren, 1), "||NMOD|ADV");
  EXPECT_EQ(val(call, kPosSeqRel, 1), "||DT|VBZ|RB");
  EXPECT_EQ(val(call, kDprelSeqRel, 1), "||NMOD|ROOT|ADV");
  EXPECT_EQ(val(call, kPosSeqRel, 0), "||DT");
  EXPECT_EQ(val(call, kPosSeqRel, 5), "|");
  EXPECT_EQ(val(call, kHighestLevel, 0), "2");
  EXPECT_EQ(val(call, kHighestLevel, 1), "1");
  EXPECT_EQ(val(call, kHighestPath, 0), "||NMOD|ROOT");
  EXPECT_EQ(val(call, kHighestPathPos, 0), "||DT|VBZ");
  EXPECT_EQ(val(call, kLowestLevel, 1), "1");
  EXPECT_EQ(val(call, kLowestLevel, 0), "0");
  // Chains from a node before the sentence are empty.
  EXPECT_EQ(val(call, kHighestLevel, 0, 0, 0, {{kCurRoot, 0}}), "1");
  EXPECT_EQ(val(call, kHighestLevel, 1, 0, 0, {{kCurRoot, 0}}), "0");
  EXPECT_EQ(val(call, kHighestPath, 1, 0, 0, {{kCurRoot, 0}}), "|");
}

TEST(TreeFunctionsTest, CurRootAndDir) {
  Call call = threeRowTree();
  EXPECT_EQ(call.run(tpl("R", {item(0, 0, -1, {{kCurRoot, 0}})}), 0), "runs");
  EXPECT_EQ(call.run(tpl("R", {item(0, 0, -1, {{kCurRoot, 0}})}), 1), "_B-1");
  EXPECT_EQ(val(call, kDprel, 1, 0, 0, {{kCurRoot, 0}}), "_Br-1");
  EXPECT_EQ(val(call, kDprel, 3), "_Er-1");
  EXPECT_EQ(val(call, kDprel, 2), "ADV");
  EXPECT_EQ(val(call, kDir, 2, 0, 0, {{kCurRoot, 0}}), "1");
  EXPECT_EQ(val(call, kDir, 0, 0, 0, {{kCurRoot, 0}}), "2");
  EXPECT_EQ(val(call, kDir, 2), "0");
  // Steps after a non-moving step are not applied.
  EXPECT_EQ(call.run(tpl("R", {item(0, 0, -1, {{0, 0}, {kCurRoot, 0}})}), 0), "The");
  // A root step through the extra arc list.
  call.extraArcs = arcList({{2, "A"}, {2, "B"}, {-1, "C"}});
  EXPECT_EQ(call.run(tpl("R", {item(0, 0, -1, {{kCurRoot, 0}}, 4, 0, 1)}), 0), "fast");
}

TEST(TreeFunctionsTest, MostHeadedTakesTheNearestOfTiedRows) {
  Call call;
  call.rows = words({"a", "b", "c", "d", "e", "f", "g"});
  call.arcs = arcList({{1, "_"}, {-1, "_"}, {1, "_"}, {-1, "_"}, {5, "_"}, {-1, "_"}, {5, "_"}});
  auto most = [&](int position) {
    return call.run(tpl("M", {item(0, 0, -1, {{kMostHeaded, 0}})}), position);
  };
  EXPECT_EQ(most(3), "b");
  EXPECT_EQ(most(4), "f");
  EXPECT_EQ(most(6), "f");
  // Deeper descendants count too.
  call.arcs[3].head = 2;
  EXPECT_EQ(most(6), "b");
}

TEST(TreeFunctionsTest, CyclicHeadChainsEndWithDefinedValues) {
  Call call;
  call.rows = sentence({{"a", "NN"}, {"b", "VB"}, {"c", "JJ"}});
  call.arcs = arcList({{1, "X"}, {0, "Y"}, {1, "Z"}});  // 0 and 1 head each other
  EXPECT_EQ(val(call, kHighestLevel, 2), "3");
  EXPECT_EQ(val(call, kHighestPath, 2), "||Z|Y|X");
  EXPECT_EQ(val(call, kHighestPathPos, 0), "||NN|VB");
  EXPECT_EQ(val(call, kLowestLevel, 0), "2");
  EXPECT_EQ(val(call, kLowestLevel, 2), "0");
  EXPECT_EQ(call.run(tpl("M", {item(0, 0, -1, {{kMostHeaded, 0}})}), 2), "b");
  // curroot stays on a start that its chain returns to, and gives up on other cycles.
  EXPECT_EQ(call.run(tpl("R", {item(0, 0, -1, {{kCurRoot, 0}})}), 0), "a");
  EXPECT_EQ(call.run(tpl("R", {item(0, 0, -1, {{kCurRoot, 0}})}), 2), "a");

  call.arcs = arcList({{0, "S"}, {1, "T"}, {2, "U"}});  // self loops
  EXPECT_EQ(val(call, kHighestLevel, 1), "1");
  EXPECT_EQ(val(call, kNumChildren, 1), "1");
  EXPECT_EQ(val(call, kPosSeqRel, 1), "||VB|VB");
  EXPECT_EQ(val(call, kLowestLevel, 1), "0");
}

TEST(TreeFunctionsTest, MalformedArcListsStayInBounds) {
  Call call;
  call.rows = sentence({{"a", "NN"}, {"b", "VB"}, {"c", "JJ"}});
  call.arcs = arcList({{7, "X"}, {-5, "Y"}});  // a head past the sentence, one entry short
  EXPECT_EQ(val(call, kHighestLevel, 0), "2");
  EXPECT_EQ(val(call, kHighestPath, 0), "||X|_");
  EXPECT_EQ(val(call, kLowestLevel, 2), "0");
  EXPECT_EQ(val(call, kDprel, 2), "_");
  EXPECT_EQ(val(call, kNumChildren, 1), "0");
  EXPECT_EQ(call.run(tpl("R", {item(0, 0, -1, {{kCurRoot, 0}})}), 0), "_E-5");
  EXPECT_EQ(call.run(tpl("R", {item(0, 0, -1, {{kCurRoot, 0}})}), 2), "_B-1");
  EXPECT_EQ(call.run(tpl("M", {item(0, 0, -1, {{kMostHeaded, 0}})}), 2), "c");
  EXPECT_EQ(val(call, kIsActive, 1), "-");
  // Lists longer than the sentence name children that have no row.
  call.arcs = arcList({{-1, "R"}, {0, "A"}, {0, "B"}, {0, "C"}});
  EXPECT_EQ(val(call, kNumChildren, 0), "3");
  EXPECT_EQ(val(call, kPosSeqChildren, 0), "||VB|JJ|_");

  Call empty;
  EXPECT_EQ(val(empty, kLowestLevel, 0), "0");
  EXPECT_EQ(empty.run(tpl("M", {item(0, 0, -1, {{kMostHeaded, 0}})}), 0), "_E-1");
}

// Entries missing from the selected arc list read as head -1 and label "_";
// the rows they stand for still take part in chains, children and subtrees.
TEST(TreeFunctionsTest, EntriesPastTheSelectedListReadAsNoHead) {
  struct Case {
    const char* what;
    Call call;
    _ft item;
    int position;
    const char* value;
  };
  Call oneRow;
  oneRow.rows = words({"w"});
  Call twoArcs = oneRow;
  twoArcs.arcs = arcList({{2, "SBJ"}, {2, "NMOD"}});
  Call roots;  // default arcs two roots, extra arcs empty
  roots.rows = words({"a", "b"});
  roots.arcs = arcList({{-1, "r"}, {-1, "r"}});
  Call stackTop = oneRow;
  stackTop.stack = {-1};
  Call negation;
  negation.rows = words({"x", "y", "not"});
  negation.predicateRows = {0};
  negation.extraArcs = arcList({{-1, "a"}});
  const Case cases[] = {
      {"level past the last row", oneRow, item(0, 0, kHighestLevel, {{kHighestLevel, 0}}), 1, "1"},
      {"path past the last row", oneRow, item(0, 0, kHighestPath, {{kHighestPath, 0}}), 1, "||_"},
      {"level to a head past the list", twoArcs, item(0, 0, kHighestLevel, {{kHighestLevel, 0}}), 1, "2"},
      {"path to a head past the list", twoArcs, item(0, 0, kHighestPath, {{kHighestPath, 0}}), 1, "||NMOD|_"},
      {"tags to a head past the list", twoArcs, item(0, 0, kHighestPathPos, {{kHighestPathPos, 0}}), 1, "||_|_"},
      {"children of -1 in the empty extra list", roots,
       item(0, 0, kNumChildren, {{kCurRoot, 0}, {kNumChildren, 0}}, 4, -9, 1), 0, "2"},
      {"their labels", roots, item(0, 0, kDprelSeqChildren, {{kCurRoot, 0}, {kDprelSeqChildren, 0}}, 4, -9, 1), 0,
       "||_|_"},
      {"subtree of stack entry -1", stackTop, item(0, 0, kLowestLevel, {{kLowestLevel, 0}}, 2), 0, "1"},
      {"negation and predicate share head -1", negation, item(0, 0, kSrlBaseNeg, {{kSrlBaseNeg, 0}}, 4, 2), 0,
       "+"},
  };
  for (const Case& c : cases) {
    Call call = c.call;
    EXPECT_EQ(call.run(tpl("T", {c.item}), c.position), c.value) << c.what;
  }
}

TEST(TreeFunctionsTest, ArgumentLabelStepsReadOnlyAnEntryPastTheRows) {
  Call call;
  call.rows = words({"a", "b"});
  call.arcs = arcList({{-1, "A0"}, {0, "A1"}});
  for (int code : {26, 27, 28})
    EXPECT_EQ(call.run(tpl("A", {item(3, 0, -1, {{code, 0}})}), 1), "_X3") << code;
  call.arcs.push_back(arcList({{-1, "A1"}})[0]);
  EXPECT_EQ(call.run(tpl("A", {item(0, 0, -1, {{27, 0}})}), 1), "b");
  EXPECT_EQ(call.run(tpl("A", {item(0, 0, -1, {{26, 0}})}), 1), "_X0");
}

TEST(TreeFunctionsTest, PositionsAndStack) {
  Call call = threeRowTree();
  EXPECT_EQ(val(call, kIsFirstWord, 0), "+");
  EXPECT_EQ(val(call, kIsFirstWord, 1), "-");
  EXPECT_EQ(val(call, kIsLastWord, 2), "+");
  EXPECT_EQ(val(call, kIsLastWord, 1), "-");
  EXPECT_EQ(val(call, kIsJustLeft, 2, 0, 0, {{kCurRoot, 0}}), "+");
  EXPECT_EQ(val(call, kIsJustLeft, 0, 0, 0, {{kCurRoot, 0}}), "-");
  EXPECT_EQ(val(call, kIsJustRight, 0, 0, 0, {{kCurRoot, 0}}), "+");
  call.stack = {0, 2};
  EXPECT_EQ(val(call, kIsInStack, 2), "stack");
  EXPECT_EQ(val(call, kIsInStack, 1), "input");
  call.stack = {0};
  EXPECT_EQ(call.run(tpl("S", {item(0, 0, kIsInStack, {{kIsInStack, 0}}, 4, -1)}), 2), "handled");
  EXPECT_EQ(val(call, kIsInStack, 3), "handled");
}

TEST(TreeFunctionsTest, TagAndWordTests) {
  Call call;
  call.rows = sentence({{"He", "PRP"}, {"can", "MD"}, {",", ","}, {"go", "VB"}, {"home", "NN"}, {"ran", "vbd"}});
  call.rows[2][6] = ",";
  EXPECT_EQ(val(call, kIsVorN, 3), "+");
  EXPECT_EQ(val(call, kIsVorN, 4), "+");
  EXPECT_EQ(val(call, kIsVorN, 5), "-");
  EXPECT_EQ(val(call, kIsVorN, 9), "-");
  EXPECT_EQ(val(call, kIsFirstVerb, 3), "+");
  EXPECT_EQ(val(call, kIsFirstVerb, 5), "-");
  EXPECT_EQ(val(call, kIsLastVerb, 5), "+");
  EXPECT_EQ(val(call, kIsLastVerb, 3), "-");
  EXPECT_EQ(val(call, kExistMd, 0), "+");
  EXPECT_EQ(val(call, kIsMd, 0, 1), "+");
  EXPECT_EQ(val(call, kIsMd, 0), "-");
  EXPECT_EQ(val(call, kIsMd, 5, 1), "-");
  EXPECT_EQ(val(call, kIsComa, 1, 1), "+");
  EXPECT_EQ(val(call, kIsComa, 2, 0, 6), "+");
  EXPECT_EQ(val(call, kIsComa, 2, 0, 12), "-");
  EXPECT_EQ(val(call, kIsVerbNoun, 3), "V");
  EXPECT_EQ(val(call, kIsVerbNoun, 4), "N");
  EXPECT_EQ(val(call, kIsVerbNoun, 0), "-");
  EXPECT_EQ(val(call, kIsVerbNoun, 0, -1), "-");

  Call plain;
  plain.rows = words({"a"});  // no tag column at all
  EXPECT_EQ(val(plain, kIsFirstVerb, 0), "-");
  EXPECT_EQ(val(plain, kExistMd, 0), "-");
  EXPECT_EQ(val(plain, kIsVerbNoun, 0), "-");
  EXPECT_EQ(val(plain, kIsActive, 0), "_");
}

TEST(TreeFunctionsTest, ExistVerbInThisShortSentence) {
  Call call;
  // Lemmas: letters, a comma, letters; the comma bounds the stretches.
  call.rows = sentence({{"I", "PRP", "i"}, {"run", "VBP", "run"}, {",", ",", ","}, {"you", "PRP", "you"},
                        {"too", "RB", "too"}});
  EXPECT_EQ(val(call, kExistVerbShort, 0), "+");
  EXPECT_EQ(val(call, kExistVerbShort, 3), "-");
  EXPECT_EQ(val(call, kExistVerbShort, 4), "-");
  // At the comma itself the stretch is the letters left of it.
  EXPECT_EQ(val(call, kExistVerbShort, 2), "+");
  EXPECT_EQ(val(call, kExistVerbShort, 5), "-");
}

TEST(TreeFunctionsTest, IsActive) {
  Call call;
  call.rows = sentence({{"was", "VBD", "be", "was"}, {"eaten", "VBN", "eat", "eaten"},
                        {"eating", "VBG", "eat", "eating"}, {"go", "VB", "go", "go"},
                        {"saw", "VBD", "see", "saw"}, {"seeing", "VBG", "see", "seeing"}, {"cat", "NN"}});
  call.arcs = arcList({{-1, "ROOT"}, {0, "VC"}, {0, "VC"}, {0, "VC"}, {-1, "ROOT"}, {4, "OBJ"}, {0, "SBJ"}});
  EXPECT_EQ(val(call, kIsActive, 1), "+");
  EXPECT_EQ(val(call, kIsActive, 2), "-");
  EXPECT_EQ(val(call, kIsActive, 3), "+");
  EXPECT_EQ(val(call, kIsActive, 5), "-");
  EXPECT_EQ(val(call, kIsActive, 0), "-");
  EXPECT_EQ(val(call, kIsActive, 6), "_");
  EXPECT_EQ(val(call, kIsActive, 8), "_");
}

// Predicates at rows 2 and 4; one argument list is done, so row 4 is current.
Call predicateSentence() {
  Call call;
  call.rows = sentence({{"He", "PRP"}, {"did", "MD"}, {"not", "RB"}, {"that", "WDT"}, {"see", "VB", "see", "see",
                        "1", "see.01"}, {"cats", "NNS"}});
  call.rows[2][10] = "do.02";
  call.predicateRows = {2, 4};
  call.argumentLists = {arcList({{2, "A0"}, {-1, "_"}, {-1, "_"}, {-1, "_"}, {-1, "_"}, {-1, "_"}})};
  call.arcs = arcList({{4, "A0"}, {-1, "_"}, {-1, "AM-NEG"}, {-1, "_"}, {-1, "_"}, {4, "A1"}});
  call.extraArcs = arcList({{4, "SBJ"}, {4, "VC"}, {4, "ADV"}, {4, "NMOD"}, {-1, "ROOT"}, {4, "OBJ"}});
  return call;
}

TEST(TreeFunctionsTest, CurrentPredicateFunctions) {
  Call call = predicateSentence();
  EXPECT_EQ(val(call, kCurPred, 0), "see.01");
  EXPECT_EQ(val(call, kCurPred, 0, -2), "do.02");
  EXPECT_EQ(val(call, kCurPred, 0, 5), "_E-4");
  EXPECT_EQ(val(call, kPredDir, 3), "-1");
  EXPECT_EQ(val(call, kPredDir, 4), "0");
  EXPECT_EQ(val(call, kPredDir, 5), "1");
  EXPECT_EQ(val(call, kPredDir, 6), "_E-1");
  EXPECT_EQ(val(call, kIsCurPred, 4), "see.01");
  EXPECT_EQ(val(call, kIsCurPred, 3), "_");
  EXPECT_EQ(val(call, kIsCurPred, 0, -1), "_B-1");
  EXPECT_EQ(val(call, kIsCurStart, 4, 0, 0), "see");
  EXPECT_EQ(val(call, kIsCurStart, 3, 0, 0), "_");
  EXPECT_EQ(val(call, kIsCurStart, 4, 0, 40), "_");
  EXPECT_EQ(val(call, kCurPredLine, 0, 0, 0), "see");
  EXPECT_EQ(val(call, kCurPredLine, 0, -1, 0), "that");
  EXPECT_EQ(val(call, kCurPredLine, 0, 2, 0), "_1");
  EXPECT_EQ(val(call, kCurPredLine, 0, 0, 40), "_1");
  // curpredturn reads arcSource as a 1-based predicate number.
  EXPECT_EQ(val(call, kCurPredTurn, 0, 0, 0, {}, 1), "not");
  EXPECT_EQ(val(call, kCurPredTurn, 0, 1, 0, {}, 2), "cats");
  for (int arcSource : {0, 3, -1, 1000}) EXPECT_EQ(val(call, kCurPredTurn, 0, 0, 0, {}, arcSource), "_1") << arcSource;
  EXPECT_EQ(val(call, kCurPredTurn, 0, 0, 0, {}, -2), "_X0");  // no such argument list
  call.argumentLists.push_back(call.argumentLists[0]);

  // Every predicate handled: there is no current one.
  EXPECT_EQ(val(call, kCurPred, 0), "_");
  EXPECT_EQ(val(call, kPredDir, 3), "_");
  EXPECT_EQ(val(call, kIsCurPred, 4), "_");
  EXPECT_EQ(val(call, kIsCurStart, 4), "_");
  EXPECT_EQ(val(call, kCurPredLine, 0), "_1");
  EXPECT_EQ(val(call, kSrlBaseNeg, 2), "-");
  EXPECT_EQ(val(call, kSrlBaseRa, 3), "-");
}

TEST(TreeFunctionsTest, ValuesAreCopiedVerbatim) {
  Call call = predicateSentence();
  call.rows[4][10] = "%s%d%n";
  EXPECT_EQ(val(call, kCurPred, 0), "%s%d%n");
  call.rows[4][0] = "%s";
  EXPECT_EQ(val(call, kCurPredLine, 0), "%s");
}

TEST(TreeFunctionsTest, ArgumentListFunctions) {
  Call call = predicateSentence();
  EXPECT_EQ(val(call, kIsArgument, 0), "A0");
  EXPECT_EQ(val(call, kIsArgument, 1), "-");
  EXPECT_EQ(val(call, kIsArgument, 9), "-");
  EXPECT_EQ(val(call, kIsDeterminedTarget, 0), "+");
  EXPECT_EQ(val(call, kIsDeterminedTarget, 1), "-");
  EXPECT_EQ(val(call, kIsCurTargetFound, 0), "+");
  EXPECT_EQ(val(call, kIsStartLabeled, 0), "-");
  call.arcs[1].dprel = "A2";
  EXPECT_EQ(val(call, kIsStartLabeled, 0), "+");
  call.arcs = arcList({{-1, "_"}});
  EXPECT_EQ(val(call, kIsCurTargetFound, 0), "-");
  EXPECT_EQ(val(call, kIsStartLabeled, 0), "-");
  // arcSource -1 selects the last argument list.
  EXPECT_EQ(val(call, kIsCurTargetFound, 0, 0, 0, {}, -1), "+");
}

TEST(TreeFunctionsTest, SrlBaseFunctions) {
  Call call = predicateSentence();
  // The predicate is the root (head -1); "not" depends on the predicate.
  EXPECT_EQ(val(call, kSrlBaseNeg, 2), "-");
  call.extraArcs[2].head = -1;  // shares the predicate's head (-1)
  EXPECT_EQ(val(call, kSrlBaseNeg, 2), "+");
  call.extraArcs[4].head = 2;  // the negation heads the predicate
  EXPECT_EQ(val(call, kSrlBaseNeg, 2), "+");
  call.extraArcs[3].head = 2;  // "that" shares the predicate's head but is no negation
  EXPECT_EQ(val(call, kSrlBaseNeg, 3), "-");
  call.rows[3][0] = "N'T";
  EXPECT_EQ(val(call, kSrlBaseNeg, 3), "+");

  call = predicateSentence();
  EXPECT_EQ(val(call, kSrlBaseMod, 1), "-");
  call.extraArcs[4].head = 1;  // the modal heads the predicate
  EXPECT_EQ(val(call, kSrlBaseMod, 1), "+");
  call.extraArcs[4].head = 3;
  call.extraArcs[3].head = 1;  // the modal is the head of the predicate's head
  EXPECT_EQ(val(call, kSrlBaseMod, 1), "+");
  EXPECT_EQ(val(call, kSrlBaseMod, 0), "-");
  call.extraArcs.resize(2);  // neither the predicate nor "not" has an extra arc: both read head -1
  EXPECT_EQ(val(call, kSrlBaseMod, 1), "-");
  EXPECT_EQ(val(call, kSrlBaseNeg, 2), "+");

  call = predicateSentence();
  EXPECT_EQ(val(call, kSrlBaseA, 0), "-");  // PRP
  EXPECT_EQ(val(call, kSrlBaseA, 5), "+");  // NNS and OBJ
  call.extraArcs[5].dprel = "NMOD";
  EXPECT_EQ(val(call, kSrlBaseA, 5), "-");
  EXPECT_EQ(val(call, kSrlBaseA, 9), "-");

  EXPECT_EQ(val(call, kSrlBaseRa, 3), "+");
  EXPECT_EQ(val(call, kSrlBaseRa, 3, 1), "-");  // row + offset reaches the predicate
  call.rows[3][0] = "Which";
  EXPECT_EQ(val(call, kSrlBaseRa, 3), "+");
  EXPECT_EQ(val(call, kSrlBaseRa, 5), "-");
}

TEST(TreeFunctionsTest, RecommendationFunctions) {
  Call call;
  call.rows = sentence({{"a", "NN"}, {"b", "NN"}, {"give", "VB", "give"}});
  call.predicateRows = {2};
  call.arcs = arcList({{-1, "_"}, {-1, "A1"}, {-1, "_"}});
  EXPECT_EQ(val(call, kRecIt, 0), "-");
  EXPECT_EQ(val(call, kRecA0, 0), "-");

  _bankExample ex1{"0", {"1", "0"}, {}};
  _bankExample ex2{"2", {"1", "2"}, {}};
  _dicProp["give"] = {_bankSense{"s01", {"0", "1"}, {ex1, ex2}}};
  EXPECT_EQ(val(call, kRecA0, 0), "+");
  EXPECT_EQ(val(call, kRecA1, 0), "-");
  EXPECT_EQ(val(call, kRecA0 + 2, 0), "+");
  EXPECT_EQ(val(call, kRecIt, 0), "-");  // two different recommendations
  _dicProp["give"][0].examples.pop_back();
  EXPECT_EQ(val(call, kRecIt, 0), "0");
  // Without a current predicate nothing is recommended.
  call.argumentLists.push_back(call.arcs);
  EXPECT_EQ(val(call, kRecIt, 0), "-");

  // At the predicate itself an example with an empty label recommends "".
  Call same;
  same.rows = sentence({{"a", "NN"}, {"go", "VB", "go"}});
  same.predicateRows = {1};
  _dicProp["go"] = {_bankSense{"s01", {}, {_bankExample{"", {}, {}}}}};
  EXPECT_EQ(same.run(tpl("T", {item(0, 0, kRecIt, {{kRecIt, 0}}, 4, 1)}), 0), "");
  _dicProp.clear();
}

TEST(TreeFunctionsTest, DeepChain) {
  Call call;
  call.rows = words(std::vector<std::string>(400, "w"));
  call.rows[0][0] = "root";
  call.arcs.assign(400, _dppair{});
  for (size_t i = 1; i < 400; ++i) call.arcs[i].head = static_cast<int>(i) - 1;
  EXPECT_EQ(val(call, kLowestLevel, 0), "399");
  EXPECT_EQ(val(call, kHighestLevel, 399), "400");
  EXPECT_EQ(call.run(tpl("M", {item(0, 0, -1, {{kMostHeaded, 0}})}), 300), "root");
  EXPECT_EQ(call.run(tpl("R", {item(0, 0, -1, {{kCurRoot, 0}})}), 399), "root");
  // curroot gives up after 514 look-ups on a longer chain.
  call.rows = words(std::vector<std::string>(600, "w"));
  call.arcs.assign(600, _dppair{});
  for (size_t i = 1; i < 600; ++i) call.arcs[i].head = static_cast<int>(i) - 1;
  call.rows[599 - 514][0] = "stop";
  EXPECT_EQ(call.run(tpl("R", {item(0, 0, -1, {{kCurRoot, 0}})}), 599), "stop");
}

TEST(TreeFunctionsTest, LongSequencesAreKeptWhole) {
  Call call;
  std::vector<Tok> toks(300, Tok{"w", std::string(40, 'T')});
  call.rows = sentence(toks);
  call.arcs.assign(300, _dppair{});
  for (size_t i = 1; i < 300; ++i) call.arcs[i].head = 0;
  const std::string seq = val(call, kPosSeqChildren, 0);
  EXPECT_EQ(seq.size(), 1 + 299 * 41u);
  EXPECT_EQ(seq.substr(seq.size() - 41), "|" + std::string(40, 'T'));
}

}  // namespace
