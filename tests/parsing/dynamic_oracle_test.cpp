#include "parsing/dynamic_oracle.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "parsing/oracle.h"
#include "parsing/transition_system.h"

namespace {

// A random tree the static oracle can build: every span's head takes the
// heads of consecutive sub-spans on both sides as dependents; one or two roots.
void projectiveSpan(std::mt19937& rng, int lo, int hi, int parent, std::vector<_dppair>& tree) {
  if (lo > hi) return;
  const int h = lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1));
  tree[static_cast<size_t>(h)].head = parent;
  tree[static_cast<size_t>(h)].dprel = parent < 0 ? "root" : "r" + std::to_string(rng() % 3);
  for (int side = 0; side < 2; ++side) {
    int a = side == 0 ? lo : h + 1;
    const int b = side == 0 ? h - 1 : hi;
    while (a <= b) {
      const int end = a + static_cast<int>(rng() % static_cast<unsigned>(b - a + 1));
      projectiveSpan(rng, a, end, h, tree);
      a = end + 1;
    }
  }
}

std::vector<_dppair> randomTree(std::mt19937& rng, int n) {
  std::vector<_dppair> tree(static_cast<size_t>(n));
  const int cut = n > 3 && rng() % 4 == 0 ? 1 + static_cast<int>(rng() % static_cast<unsigned>(n - 1)) : n;
  projectiveSpan(rng, 0, cut - 1, -1, tree);
  projectiveSpan(rng, cut, n - 1, -1, tree);
  return tree;
}

int correctArcs(const std::vector<_dppair>& gold, const std::vector<_dppair>& built) {
  int correct = 0;
  for (size_t i = 0; i < gold.size(); ++i) {
    const bool root = hasNoHeadYet(built[i].head) || built[i].head < 0;
    correct += gold[i].head < 0 ? root : (!root && built[i].head == gold[i].head && built[i].dprel == gold[i].dprel);
  }
  return correct;
}

// Whatever the parser does, the tree it ends with has exactly as many gold
// arcs as the sentence has tokens minus the costs of the actions it took:
// the costs are exact, and an action of cost 0 always exists.
TEST(DynamicOracle, CostsAddUpToTheArcsLost) {
  std::mt19937 rng(7);
  const std::vector<std::string> relations = {"r0", "r1", "r2", "root"};
  for (int round = 0; round < 600; ++round) {
    const bool inverse = round % 2 == 1;
    const int n = 2 + static_cast<int>(rng() % 12);
    const std::vector<_dppair> gold = randomTree(rng, n);
    std::vector<std::string> staticActions;
    ASSERT_TRUE(inverse ? nivreOracleActionsInverse(gold, staticActions) : nivreOracleActions(gold, staticActions));
    _dppair none;
    none.head = kNoHeadYet;
    none.dprel = "_x";
    std::vector<_dppair> arcs(gold.size(), none);
    std::vector<int> stack = {inverse ? n - 1 : 0};
    int next = inverse ? n - 2 : 1;
    std::vector<_hisstruc> history;
    const int errorRate = static_cast<int>(rng() % 4);  // in tenths; 0: zero-cost actions only
    int lost = 0;
    while ((inverse ? next >= 0 : next < n) && checkDPCounter(arcs) < n - 1) {
      const ArcEagerCosts costs = arcEagerCosts(gold, arcs, stack, next, inverse);
      ASSERT_EQ(costs.least(), 0);
      std::vector<std::string> allowed;
      if (costs.shift >= 0) allowed.push_back("0");
      if (costs.reduce >= 0) allowed.push_back("1");
      for (const std::string& r : relations) {
        if (costs.leftArc >= 0) allowed.push_back("2:" + r);
        if (costs.rightArc >= 0) allowed.push_back("3:" + r);
      }
      std::vector<std::string> free;
      for (const std::string& a : allowed)
        if (costs.of(a) == 0) free.push_back(a);
      ASSERT_FALSE(free.empty());
      const bool err = static_cast<int>(rng() % 10) < errorRate;
      const std::string action = err ? allowed[rng() % allowed.size()] : free[rng() % free.size()];
      lost += costs.of(action);
      if (inverse)
        classDPNivreInverse(action, arcs, stack, next, history);
      else
        classDPNivre(action, arcs, stack, next, history);
    }
    EXPECT_EQ(correctArcs(gold, arcs), n - lost) << "round " << round;
  }
}

TEST(DynamicOracle, CostsOfASmallState) {
  // Gold: 0 <- 1 -> 2, 1 the root; tokens 0 and 1 on the stack, none
  // attached (token 0's arc is out of reach already).
  std::vector<_dppair> gold(3), arcs(3);
  gold[0] = {1, "det"};
  gold[1] = {-1, "root"};
  gold[2] = {1, "obj"};
  for (_dppair& a : arcs) a = {kNoHeadYet, "_x"};
  const ArcEagerCosts costs = arcEagerCosts(gold, arcs, {0, 1}, 2, false);
  EXPECT_EQ(costs.shift, 1);        // the input ends: token 2 would be left a root
  EXPECT_EQ(costs.reduce, -1);      // the top has no head
  EXPECT_EQ(costs.leftArc, 2);      // the root would get a head, and token 2 could no longer get it
  EXPECT_EQ(costs.rightArc, 0);
  EXPECT_EQ(costs.rightRelation, "obj");
  EXPECT_EQ(costs.of("3:obj"), 0);
  EXPECT_EQ(costs.of("3:nsubj"), 1);  // right head, wrong relation
}

}  // namespace
