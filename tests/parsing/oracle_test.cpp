#include "parsing/oracle.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "parsing/dependency_info.h"
#include "parsing/transition_system.h"
#include "projectivity/projectivity.h"
#include "text/line_utils.h"

namespace {

std::vector<_dppair> tree(const std::vector<int>& heads, const std::vector<std::string>& relations) {
  std::vector<_dppair> t(heads.size());
  for (size_t i = 0; i < heads.size(); ++i) {
    t[i].head = heads[i];
    t[i].dprel = relations[i];
  }
  return t;
}

// Replays actions as a driver does (start state, stop rule, unattached tokens
// become roots). used = number of actions applied before the driver stopped.
std::vector<_dppair> replay(const std::vector<std::string>& actions, size_t n, bool inverse, size_t& used) {
  _dppair none;
  none.head = kNoHeadYet;
  none.dprel = "_x";
  std::vector<_dppair> arcs(n, none);
  std::vector<int> stack;
  std::vector<_hisstruc> history;
  const int rows = static_cast<int>(n);
  int next = inverse ? rows - 2 : 1;
  if (n > 0) stack.push_back(inverse ? rows - 1 : 0);
  used = 0;
  while (rows >= 2 && used < actions.size()) {
    if (inverse)
      classDPNivreInverse(actions[used++], arcs, stack, next, history);
    else
      classDPNivre(actions[used++], arcs, stack, next, history);
    if ((inverse ? next < 0 : next >= rows) || checkDPCounter(arcs) >= rows - 1) break;
  }
  for (_dppair& a : arcs) {
    if (hasNoHeadYet(a.head)) {
      a.head = -1;
      a.dprel = "ROOT";
    }
  }
  return arcs;
}

// Empty when the replay gives gold (roots compared by head only); else the first difference.
std::string replayDifference(const std::vector<_dppair>& gold, const std::vector<std::string>& actions,
                             bool inverse) {
  size_t used = 0;
  const std::vector<_dppair> built = replay(actions, gold.size(), inverse, used);
  if (used != actions.size())
    return "driver stops after " + std::to_string(used) + " of " + std::to_string(actions.size()) + " actions";
  for (size_t i = 0; i < gold.size(); ++i) {
    if (built[i].head != gold[i].head || (gold[i].head >= 0 && built[i].dprel != gold[i].dprel))
      return "row " + std::to_string(i) + ": head " + std::to_string(built[i].head) + " " + built[i].dprel +
             ", gold " + std::to_string(gold[i].head) + " " + gold[i].dprel;
  }
  return "";
}

struct OracleCase {
  const char* name;
  std::vector<int> heads;
  std::vector<std::string> relations;
  std::vector<std::string> leftToRight;  // expected sequence (checked when not empty)
  std::vector<std::string> rightToLeft;
};

TEST(NivreOracle, ProjectiveTreesAreRebuiltInBothDirections) {
  const OracleCase cases[] = {
      {"one token", {-1}, {"root"}, {}, {}},
      {"left arc only", {1, -1}, {"det", "root"}, {"2:det"}, {"3:det"}},
      {"right arc only", {-1, 0}, {"root", "obj"}, {"3:obj"}, {"2:obj"}},
      {"subject verb object",
       {1, -1, 1},
       {"nsubj", "root", "obj"},
       {"2:nsubj", "0", "3:obj"},
       {"2:obj", "0", "3:nsubj"}},
      // C is complete when D comes: it must be reduced for D to reach B.
      {"reduce before a sibling",
       {1, -1, 1, 1},
       {"nsubj", "root", "obj", "punct"},
       {"2:nsubj", "0", "3:obj", "1", "3:punct"},
       {"0", "2:obj", "2:punct", "0", "3:nsubj"}},
      {"nested right dependents",
       {-1, 0, 3, 1, 3},
       {"root", "obj", "det", "nmod", "amod"},
       {"3:obj", "0", "2:det", "3:nmod", "3:amod"},
       {}},
      {"two roots", {-1, 0, -1, 2}, {"root", "a", "root", "b"}, {"3:a", "1", "0", "3:b"}, {}},
      {"root in the middle, dependents on both sides",
       {2, 2, -1, 4, 2, 2},
       {"a", "b", "root", "c", "d", "e"},
       {},
       {}},
      {"relation with a colon", {1, -1}, {"nmod:poss", "root"}, {"2:nmod:poss"}, {}},
  };
  for (const OracleCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<_dppair> gold = tree(c.heads, c.relations);
    std::vector<std::string> ltr, rtl;
    EXPECT_TRUE(nivreOracleActions(gold, ltr));
    EXPECT_TRUE(nivreOracleActionsInverse(gold, rtl));
    EXPECT_EQ(replayDifference(gold, ltr, false), "");
    EXPECT_EQ(replayDifference(gold, rtl, true), "");
    if (!c.leftToRight.empty()) {
      EXPECT_EQ(ltr, c.leftToRight);
    }
    if (!c.rightToLeft.empty()) {
      EXPECT_EQ(rtl, c.rightToLeft);
    }
  }
}

TEST(NivreOracle, TreesTheSystemCannotBuildAreRefused) {
  const OracleCase cases[] = {
      {"crossing arcs", {2, -1, 1, 0}, {"a", "root", "b", "c"}, {}, {}},
      {"arc spanning the root", {2, -1, 1}, {"a", "root", "b"}, {}, {}},
      {"cycle", {1, 0}, {"a", "b"}, {}, {}},
      {"no root, longer cycle", {1, 2, 0}, {"a", "b", "c"}, {}, {}},
      {"head past the end", {3, -1, 1}, {"a", "root", "b"}, {}, {}},
      {"head below -1", {-5, -1}, {"a", "root"}, {}, {}},
      {"token heads itself", {0, -1}, {"a", "root"}, {}, {}},
  };
  for (const OracleCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<_dppair> gold = tree(c.heads, c.relations);
    std::vector<std::string> actions;
    EXPECT_FALSE(nivreOracleActions(gold, actions));
    EXPECT_FALSE(nivreOracleActionsInverse(gold, actions));
  }
}

TEST(NivreOracle, EmptyTreeNeedsNoAction) {
  std::vector<std::string> actions = {"stale"};
  EXPECT_TRUE(nivreOracleActions({}, actions));
  EXPECT_TRUE(actions.empty());
}

TEST(NivreOracle, SingleStateDecisions) {
  // Gold: 0 <- 1 (root) -> 2 -> 3, and 1 -> 4.
  std::vector<_dppair> gold = tree({1, -1, 1, 2, 1}, {"a", "root", "b", "c", "d"});
  _dppair none;
  none.head = kNoHeadYet;
  none.dprel = "_x";
  std::vector<_dppair> arcs(5, none);
  EXPECT_EQ(nivreOracleAction(gold, arcs, {}, 1), "0");
  EXPECT_EQ(nivreOracleAction(gold, arcs, {0}, 1), "2:a");
  EXPECT_EQ(nivreOracleAction(gold, arcs, {1}, 2), "3:b");
  arcs[2].head = 1;
  // Token 2 has its head but still waits for its dependent 3: no reduce.
  EXPECT_EQ(nivreOracleAction(gold, arcs, {1, 2}, 3), "3:c");
  arcs[3].head = 2;
  EXPECT_EQ(nivreOracleAction(gold, arcs, {1, 2, 3}, 4), "1");
  EXPECT_EQ(nivreOracleAction(gold, arcs, {1, 2}, 4), "1");
  EXPECT_EQ(nivreOracleAction(gold, arcs, {1}, 4), "3:d");
  // A root has no head and is never reduced.
  std::vector<_dppair> twoRoots = tree({-1, -1}, {"root", "root"});
  std::vector<_dppair> fresh(2, none);
  EXPECT_EQ(nivreOracleAction(twoRoots, fresh, {0}, 1), "0");
  // Right to left the pending dependents lie before the stack top.
  std::vector<_dppair> goldInverse = tree({-1, 2, 3, 0}, {"root", "a", "b", "c"});
  std::vector<_dppair> inverseArcs(4, none);
  inverseArcs[2].head = 3;
  EXPECT_EQ(nivreOracleActionInverse(goldInverse, inverseArcs, {3, 2}, 1), "3:a");
  inverseArcs[1].head = 2;
  EXPECT_EQ(nivreOracleActionInverse(goldInverse, inverseArcs, {3, 2, 1}, 0), "1");
}

// Every sentence of the English development file: projective trees are
// rebuilt in both directions, and exactly those.
TEST(NivreOracle, DevelopmentTreebank) {
  const std::string path = std::string(KORVANE_DATA_DIR) + "/en_ewt-dev.conll";
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) GTEST_SKIP() << path << " is absent";
  std::string line;
  std::vector<std::string> fields;
  TokenTable rows;
  std::vector<_dppair> gold;
  std::vector<std::vector<_dppair>> arguments;
  std::vector<int> predicates;
  std::vector<std::string> ltr, rtl;
  int sentences = 0, projective = 0, lineNo = 0, firstLine = 0;
  auto check = [&]() {
    if (rows.empty()) return;
    ++sentences;
    loadExtraDPInfo(rows, 1, gold, arguments, predicates);
    const bool isProjective = checkProjective(gold) < 0;
    projective += isProjective;
    SCOPED_TRACE("sentence at line " + std::to_string(firstLine));
    EXPECT_EQ(nivreOracleActions(gold, ltr), isProjective);
    EXPECT_EQ(nivreOracleActionsInverse(gold, rtl), isProjective);
    if (isProjective) {
      EXPECT_EQ(replayDifference(gold, ltr, false), "");
      EXPECT_EQ(replayDifference(gold, rtl, true), "");
    }
    rows.clear();
  };
  while (readLineWhole(in, line)) {
    ++lineNo;
    readLine2VectorString(line, fields);
    if (fields.empty()) {
      check();
    } else {
      if (rows.empty()) firstLine = lineNo;
      rows.push_back(fields);
    }
  }
  check();
  std::fclose(in);
  EXPECT_GT(sentences, 1000);
  EXPECT_GT(projective, sentences * 9 / 10);
}

}  // namespace
