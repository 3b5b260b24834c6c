#include "projectivity/projectivity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<_dppair> treeOf(const std::vector<int>& heads, const std::string& label = "x") {
  std::vector<_dppair> tree(heads.size());
  for (size_t i = 0; i < heads.size(); ++i) {
    tree[i].head = heads[i];
    tree[i].dprel = label;
  }
  return tree;
}

std::vector<int> headsOf(const std::vector<_dppair>& tree) {
  std::vector<int> heads;
  for (const _dppair& a : tree) heads.push_back(a.head);
  return heads;
}

int crossingCount(std::vector<_dppair> tree) {
  CMiniStringBag pairs, tokens;
  return collectNonProjective(tree, pairs, tokens);
}

TEST(CheckProjective, NeighbourArcsAreAlwaysProjective) {
  const std::vector<std::vector<int>> cases = {
      {-1}, {1, -1}, {-1, 0}, {1, 2, -1}, {-1, 0, 1, 2}, {1, -1, 1, 2}, {1, 2, 3, -1}, {-1, -1, -1}};
  for (const auto& heads : cases) {
    std::vector<_dppair> tree = treeOf(heads);
    std::vector<int> h = heads;
    EXPECT_EQ(checkProjective(tree), -1);
    EXPECT_EQ(checkProjective(h, 0, static_cast<int>(h.size()) - 1), -1);
    EXPECT_EQ(crossingCount(tree), 0);
  }
}

TEST(CheckProjective, WholeSentenceArcs) {
  // Token 0's arc spans the sentence; its far end is the root: projective.
  std::vector<_dppair> rootAtFarEnd = treeOf({2, 2, -1});
  EXPECT_EQ(checkProjective(rootAtFarEnd), -1);
  EXPECT_EQ(crossingCount(rootAtFarEnd), 0);

  // The far end has a head of its own: a whole-sentence violation.
  std::vector<_dppair> farEndAttached = treeOf({2, -1, 1});
  EXPECT_EQ(checkProjective(farEndAttached), 0);
  CMiniStringBag pairs, tokens;
  EXPECT_EQ(collectNonProjective(farEndAttached, pairs, tokens), 1);
  EXPECT_EQ(pairs.strings, std::vector<std::string>{"-1 0"});
  EXPECT_EQ(tokens.strings, std::vector<std::string>{"0"});

  // The mirrored arc, token n-1 headed by token 0.
  std::vector<_dppair> mirrored = treeOf({1, -1, 0});
  EXPECT_EQ(checkProjective(mirrored), 2);

  // The head-list form leaves whole-sentence arcs out.
  std::vector<int> heads = {2, -1, 1};
  EXPECT_EQ(checkProjective(heads, 0, 2), -1);
}

TEST(CheckProjective, CrossingArcsAndRootsInsideSpans) {
  // Token 1's arc [1,3] is crossed by token 2, whose head 0 lies outside.
  std::vector<_dppair> tree = treeOf({-1, 3, 0, 0});
  EXPECT_EQ(checkProjective(tree), 2);
  std::vector<int> heads = {-1, 3, 0, 0};
  EXPECT_EQ(checkProjective(heads, 0, 3), 2);
  EXPECT_EQ(checkProjective(heads, 2, 3), 1);   // token 2's own arc [0,2] is crossed by token 1
  EXPECT_EQ(checkProjective(heads, 3, 3), -1);  // only the arc of token 3 is tested
  CMiniStringBag pairs, tokens;
  EXPECT_EQ(collectNonProjective(tree, pairs, tokens), 1);
  EXPECT_EQ(pairs.strings, std::vector<std::string>{"1 2"});
  EXPECT_EQ(tokens.strings, (std::vector<std::string>{"1", "2"}));

  // A root inside the span of another arc crosses it; roots are not crossing tokens.
  std::vector<_dppair> rootInside = treeOf({2, -1, 3, 1});
  EXPECT_EQ(checkProjective(rootInside), 1);
  EXPECT_EQ(collectNonProjective(rootInside, pairs, tokens), 2);
  for (const std::string& t : tokens.strings) EXPECT_NE(t, "1");
}

TEST(CheckProjective, OutOfRangeHeadListBoundsAreClamped) {
  std::vector<int> heads = {-1, 3, 0, 0};
  EXPECT_EQ(checkProjective(heads, -5, 99), 2);
  std::vector<int> none;
  EXPECT_EQ(checkProjective(none, 0, 3), -1);
}

TEST(CheckAcyclic, ChainsEndAtRootsOrCycles) {
  std::vector<_dppair> tree = treeOf({-1, 0, 1});
  EXPECT_EQ(checkAcyclic(tree, 2), -1);
  std::vector<_dppair> loop = treeOf({-1, 2, 1});
  EXPECT_EQ(checkAcyclic(loop, 1), 1);
  std::vector<_dppair> self = treeOf({0});
  EXPECT_EQ(checkAcyclic(self, 0), 1);
  // Token 0 leads into the cycle 1 <-> 2 without coming back: it never reaches a root.
  std::vector<_dppair> intoCycle = treeOf({1, 2, 1});
  EXPECT_EQ(checkAcyclic(intoCycle, 0), 1);
  // Heads outside the sentence end the chain like a root.
  std::vector<_dppair> outside = treeOf({7, -1024});
  EXPECT_EQ(checkAcyclic(outside, 0), -1);
  EXPECT_EQ(checkAcyclic(outside, 1), -1);
  EXPECT_EQ(checkAcyclic(outside, 5), -1);
}

TEST(CheckSlash, FindsTheLiftMarker) {
  std::string lifted = "obj|nsubj", plain = "obj", empty;
  EXPECT_EQ(checkSlash(lifted), 1);
  EXPECT_EQ(checkSlash(plain), -1);
  EXPECT_EQ(checkSlash(empty), -1);
}

TEST(LiftHead, MovesOnlyTokensWithAHeadInsideTheSentence) {
  std::vector<_dppair> tree = treeOf({-1, 0, 1, 9});
  liftHead2(tree, 2);
  EXPECT_EQ(tree[2].head, 0);
  liftHead2(tree, 0);  // a root stays
  EXPECT_EQ(tree[0].head, -1);
  liftHead2(tree, 3);  // its head lies outside: nothing to read
  EXPECT_EQ(tree[3].head, 9);
  liftHead2(tree, 17);
  liftHead2(tree, -3);

  liftHead3(tree, 1, 3);
  EXPECT_EQ(tree[1].head, 3);
  liftHead3(tree, 0, 2);
  EXPECT_EQ(tree[0].head, -1);
  liftHead3(tree, 40, 2);
  EXPECT_EQ(headsOf(tree), (std::vector<int>{-1, 3, 0, 9}));
}

TEST(PseudoProjectiveHead2, LiftsToTheGrandparent) {
  std::vector<_dppair> tree = treeOf({2, 2, -1, 0});
  EXPECT_EQ(pseudoProjectiveHead2(tree), 1);
  EXPECT_EQ(headsOf(tree), (std::vector<int>{2, 2, -1, 2}));
  for (const _dppair& a : tree) EXPECT_EQ(a.dprel, "x");

  std::vector<_dppair> projective = treeOf({1, -1, 1});
  EXPECT_EQ(pseudoProjectiveHead2(projective), 1);
  EXPECT_EQ(headsOf(projective), (std::vector<int>{1, -1, 1}));
}

TEST(PseudoProjectiveHead2, NoHelpfulLiftLeavesTheTreeAlone) {
  std::vector<_dppair> tree = treeOf({4, 4, -1, 2, 3});
  EXPECT_EQ(pseudoProjectiveHead2(tree), -1);
  EXPECT_EQ(headsOf(tree), (std::vector<int>{4, 4, -1, 2, 3}));
}

TEST(PseudoProjectiveHead2, LiftsMadeBeforeGettingStuckStay) {
  std::vector<_dppair> tree = treeOf({-1, 4, 0, 0, 5, 3});
  const int before = crossingCount(tree);
  EXPECT_EQ(pseudoProjectiveHead2(tree), -1);
  EXPECT_EQ(headsOf(tree), (std::vector<int>{-1, 4, 0, 0, 5, 0}));
  EXPECT_LT(crossingCount(tree), before);
}

TEST(PseudoProjectiveHead2, TokensMarkedLiftedAreNeverMoved) {
  std::vector<_dppair> tree = treeOf({2, 2, -1, 0});
  tree[3].dprel = "obj|x";
  EXPECT_EQ(pseudoProjectiveHead2(tree), -1);
  EXPECT_EQ(headsOf(tree), (std::vector<int>{2, 2, -1, 0}));
  // Nor are tokens whose head carries the mark.
  std::vector<_dppair> markedHead = treeOf({2, 2, -1, 0});
  markedHead[0].dprel = "nmod|x";
  EXPECT_EQ(pseudoProjectiveHead2(markedHead), -1);
  EXPECT_EQ(pseudoProjectiveHead3(markedHead), -1);
}

TEST(PseudoProjectiveHead3, LiftsToAnyToken) {
  std::vector<_dppair> tree = treeOf({4, 4, -1, 2, 3});
  EXPECT_EQ(pseudoProjectiveHead3(tree), 1);
  EXPECT_EQ(headsOf(tree), (std::vector<int>{1, 2, -1, 2, 3}));

  std::vector<_dppair> afterHead2 = treeOf({-1, 4, 0, 0, 5, 0});
  EXPECT_EQ(pseudoProjectiveHead3(afterHead2), 1);
  EXPECT_EQ(headsOf(afterHead2), (std::vector<int>{-1, 0, 0, 0, 5, 0}));
}

TEST(PseudoProjective, SelfLoopsAndCyclesEndWithoutALift) {
  std::vector<_dppair> self = treeOf({0});
  EXPECT_EQ(checkProjective(self), 0);
  EXPECT_EQ(pseudoProjectiveHead2(self), -1);
  EXPECT_EQ(pseudoProjectiveHead3(self), -1);
}

// Random head lists, trees or not: both strategies end, and a success leaves a
// projective tree whose labels are unchanged.
TEST(PseudoProjective, RandomHeadListsTerminateAndSucceedOnlyWhenProjective) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; ++round) {
    const int n = 1 + static_cast<int>(rng() % 9);
    std::vector<int> heads(static_cast<size_t>(n));
    const bool anyHeads = round % 3 == 0;  // arbitrary heads, cycles included
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), rng);
    for (int k = 0; k < n; ++k) {
      const int token = order[static_cast<size_t>(k)];
      if (anyHeads)
        heads[static_cast<size_t>(token)] = static_cast<int>(rng() % static_cast<unsigned>(n + 1)) - 1;
      else
        heads[static_cast<size_t>(token)] = k == 0 ? -1 : order[rng() % static_cast<unsigned>(k)];
    }
    for (int strategy = 2; strategy <= 3; ++strategy) {
      std::vector<_dppair> tree = treeOf(heads, "lab");
      const int result = strategy == 2 ? pseudoProjectiveHead2(tree) : pseudoProjectiveHead3(tree);
      if (result == 1) {
        EXPECT_EQ(checkProjective(tree), -1);
      } else {
        EXPECT_EQ(result, -1);
      }
      if (!anyHeads) {  // lifting keeps a tree a tree
        for (int i = 0; i < n; ++i) EXPECT_EQ(checkAcyclic(tree, i), -1);
      }
      for (const _dppair& a : tree) EXPECT_EQ(a.dprel, "lab");
    }
  }
}

// The lifting search as written with a full recount of the crossing pairs for
// every trial head; the strategies count only the pairs of the moved token
// and must choose exactly the same lifts.
int referenceLift(std::vector<_dppair>& tree, bool anyToken) {
  CMiniStringBag pairs, tokens, scratchPairs, scratchTokens;
  int d = collectNonProjective(tree, pairs, tokens);
  const int n = static_cast<int>(tree.size());
  struct Candidate {
    int token, newHead;
    long distance;
  };
  while (pairs.count > 0) {
    std::vector<Candidate> candidates;
    std::vector<_dppair> copy = tree;
    std::vector<int> order;
    for (const auto& entry : tokens.idByString) order.push_back(std::atoi(entry.first.c_str()));
    for (int e : order) {
      if (e < 0 || e >= n || tree[e].dprel.find('|') != std::string::npos) continue;
      const int h = tree[e].head;
      if (h < 0 || h >= n || tree[h].dprel.find('|') != std::string::npos || tree[h].head == -1) continue;
      const int g = tree[h].head;
      for (int i = anyToken ? 0 : g; i < (anyToken ? n : g + 1); ++i) {
        if (i == e) continue;
        copy[e].head = i;
        const bool cyclic = checkAcyclic(copy, e) == 1;
        const int count = cyclic ? d : collectNonProjective(copy, scratchPairs, scratchTokens);
        copy[e].head = h;
        if (cyclic) continue;
        if (count == 0) {
          tree[e].head = i;
          return 1;
        }
        if (count < d) candidates.push_back({e, i, std::labs(static_cast<long>(anyToken ? i : e) - h)});
      }
    }
    int best = -1;
    for (size_t c = 0; c < candidates.size(); ++c) {
      if (!anyToken && candidates[c].distance >= 1024) continue;
      if (best < 0 || candidates[c].distance < candidates[static_cast<size_t>(best)].distance)
        best = static_cast<int>(c);
    }
    if (best < 0) return -1;
    tree[candidates[static_cast<size_t>(best)].token].head = candidates[static_cast<size_t>(best)].newHead;
    d = collectNonProjective(tree, pairs, tokens);
  }
  return 1;
}

TEST(PseudoProjective, TrialCountsAgreeWithAFullRecount) {
  std::mt19937 rng(777);
  for (int round = 0; round < 800; ++round) {
    const int n = 2 + static_cast<int>(rng() % 11);
    std::vector<int> heads(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) heads[static_cast<size_t>(i)] = static_cast<int>(rng() % static_cast<unsigned>(n + 1)) - 1;
    for (bool anyToken : {false, true}) {
      std::vector<_dppair> fast = treeOf(heads);
      if (round % 5 == 0) fast[rng() % static_cast<unsigned>(n)].dprel = "a|b";
      std::vector<_dppair> slow = fast;
      const int got = anyToken ? pseudoProjectiveHead3(fast) : pseudoProjectiveHead2(fast);
      EXPECT_EQ(got, referenceLift(slow, anyToken));
      EXPECT_EQ(headsOf(fast), headsOf(slow));
    }
  }
}

// A sentence where every arc crosses many others: the search would take
// hours; with a work limit it gives up, says so and leaves a tree behind.
TEST(PseudoProjective, WorkLimitEndsAPathologicalSearch) {
  const int n = 400;
  std::vector<int> heads(n);
  for (int i = 0; i < n; ++i) heads[i] = i == 0 ? -1 : (i * 7 + n / 2) % i;
  for (int strategy = 2; strategy <= 3; ++strategy) {
    std::vector<_dppair> tree = treeOf(heads);
    bool exhausted = false;
    const int result = strategy == 2 ? pseudoProjectiveHead2(tree, 2000000, &exhausted)
                                     : pseudoProjectiveHead3(tree, 2000000, &exhausted);
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(exhausted);
    for (int i = 0; i < n; ++i) EXPECT_EQ(checkAcyclic(tree, i), -1);
  }
  // A projective tree needs no work at all, whatever the limit.
  std::vector<_dppair> chain = treeOf({-1, 0, 1, 2});
  bool exhausted = true;
  EXPECT_EQ(pseudoProjectiveHead3(chain, 0, &exhausted), 1);
  EXPECT_FALSE(exhausted);
}

}  // namespace
