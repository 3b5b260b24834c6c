#include "decoding/viterbi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "labels/legal_transitions.h"
#include "labels/mini_string_bag.h"

namespace {

typedef std::vector<std::vector<double>> Matrix;
typedef std::vector<std::vector<std::string>> Lists;
typedef std::vector<std::string> Tags;

const double kInf = std::numeric_limits<double>::infinity();

// A legal table with the given start labels, end labels and "a b" transitions.
std::vector<CMiniStringBag> legalTable(const Tags& starts, const Tags& ends, const Tags& pairs) {
  std::vector<CMiniStringBag> t(4);
  for (const std::string& s : starts) t[0].Put(s);
  for (const std::string& s : ends) t[1].Put(s);
  for (const std::string& s : pairs) t[2].Put(s);
  return t;
}

// Boundary lists for order L in front of the token lists.
Lists withBoundaries(int order, const Lists& tokens) {
  Lists all;
  for (int i = 0; i < order; ++i) all.push_back({"_B-" + std::to_string(order - i)});
  all.insert(all.end(), tokens.begin(), tokens.end());
  return all;
}

int decode(int order, Matrix& m, Lists& cands, std::vector<CMiniStringBag>& legal, Tags& out) {
  switch (order) {
    case 0: return viterbiDecoderB0Limit2(m, cands, legal, out);
    case 1: return viterbiDecoderB1LimitPath3(m, cands, legal, out);
    default: return viterbiDecoderB2Fast2Limit(m, cands, legal, out);
  }
}

// Row index of token k's entry on the path `pick` (indices into token lists).
size_t entryIndex(int order, const Lists& tokens, const std::vector<int>& pick, int k) {
  size_t idx = 0;
  for (int j = k - order; j <= k; ++j) {
    const size_t width = j < 0 ? 1 : tokens[j].size();
    idx = idx * width + (j < 0 ? 0 : pick[j]);
  }
  return idx;
}

bool legalPath(std::vector<CMiniStringBag>& legal, const Tags& tags) {
  if (legal.empty()) return true;
  std::string none;
  Tags t = tags;
  if (!IsLegalSequence(t.front(), none, legal) || !IsLegalSequence(none, t.back(), legal)) return false;
  for (size_t k = 0; k + 1 < t.size(); ++k)
    if (!IsLegalSequence(t[k], t[k + 1], legal)) return false;
  return true;
}

// Cheapest legal tag sequence by enumeration; false when none exists.
bool bruteForce(int order, const Matrix& m, const Lists& tokens, std::vector<CMiniStringBag>& legal, Tags& best) {
  const int n = static_cast<int>(tokens.size());
  std::vector<int> pick(n, 0);
  double bestCost = kInf;
  bool found = false;
  while (true) {
    Tags tags(n);
    double cost = 0;
    for (int k = 0; k < n; ++k) {
      tags[k] = tokens[k][pick[k]];
      cost += m[k][entryIndex(order, tokens, pick, k)];
    }
    if (cost < bestCost && legalPath(legal, tags)) {
      bestCost = cost;
      best = tags;
      found = true;
    }
    int k = n - 1;
    while (k >= 0 && ++pick[k] == static_cast<int>(tokens[k].size())) pick[k--] = 0;
    if (k < 0) break;
  }
  return found;
}

struct RandomCase {
  Lists tokens;
  Matrix costs;
};

RandomCase randomCase(std::mt19937& rng, int order, int n, const Tags& pool) {
  RandomCase c;
  std::uniform_real_distribution<double> cost(0.0, 5.0);
  for (int k = 0; k < n; ++k) {
    Tags shuffled = pool;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    const int size = 1 + static_cast<int>(rng() % pool.size());
    c.tokens.push_back(Tags(shuffled.begin(), shuffled.begin() + size));
  }
  for (int k = 0; k < n; ++k) {
    size_t width = 1;
    for (int j = k - order; j <= k; ++j) width *= j < 0 ? 1 : c.tokens[j].size();
    std::vector<double> row(width);
    for (double& x : row) x = cost(rng);
    c.costs.push_back(row);
  }
  return c;
}

std::vector<CMiniStringBag> randomLegal(std::mt19937& rng, const Tags& pool, bool restrictTransitions) {
  Tags starts, ends, pairs;
  for (const std::string& a : pool) {
    if (rng() % 3 != 0) starts.push_back(a);
    if (rng() % 3 != 0) ends.push_back(a);
    for (const std::string& b : pool)
      if (!restrictTransitions || rng() % 3 != 0) pairs.push_back(a + " " + b);
  }
  return legalTable(starts, ends, pairs);
}

// The exact decoders find the cheapest legal sequence (random costs make it unique).
TEST(ViterbiDecoders, MatchEnumerationOnRandomMatrices) {
  const Tags pool = {"NN", "VV", "AD", "PU"};
  std::mt19937 rng(20080601);
  for (int order = 0; order <= 2; ++order) {
    for (int mode = 0; mode < 3; ++mode) {  // no table, start/end only, full table
      // Second order keeps one continuation per history, so only start and end tests are exact.
      if (order == 2 && mode == 2) continue;
      int compared = 0;
      for (int trial = 0; trial < 150; ++trial) {
        const int n = 1 + static_cast<int>(rng() % 5);
        RandomCase c = randomCase(rng, order, n, pool);
        std::vector<CMiniStringBag> legal;
        if (mode == 1) legal = randomLegal(rng, pool, false);
        if (mode == 2) legal = randomLegal(rng, pool, true);
        Tags expected;
        if (!bruteForce(order, c.costs, c.tokens, legal, expected)) continue;
        Lists cands = withBoundaries(order, c.tokens);
        Tags out{"stale"};
        ASSERT_EQ(decode(order, c.costs, cands, legal, out), 1);
        EXPECT_EQ(out, expected) << "order " << order << " mode " << mode << " trial " << trial;
        ++compared;
      }
      EXPECT_GT(compared, 50) << "order " << order << " mode " << mode;
    }
  }
}

// With a full table the second-order decoder still never returns an illegal
// sequence when it found a completion, and never beats the true optimum.
TEST(ViterbiDecoders, SecondOrderWithTransitionsIsLegalAndNoCheaperThanOptimum) {
  const Tags pool = {"NN", "VV", "AD"};
  std::mt19937 rng(7);
  for (int trial = 0; trial < 300; ++trial) {
    const int n = 1 + static_cast<int>(rng() % 5);
    RandomCase c = randomCase(rng, 2, n, pool);
    std::vector<CMiniStringBag> legal = randomLegal(rng, pool, true);
    Tags expected;
    const bool exists = bruteForce(2, c.costs, c.tokens, legal, expected);
    Lists cands = withBoundaries(2, c.tokens);
    Tags out;
    ASSERT_EQ(viterbiDecoderB2Fast2Limit(c.costs, cands, legal, out), 1);
    ASSERT_EQ(out.size(), static_cast<size_t>(n));
    if (exists && legalPath(legal, out)) {
      // Cost of `out` via the index rule, compared with the optimum.
      std::vector<int> pick(n);
      double cost = 0, optimum = 0;
      std::vector<int> optPick(n);
      for (int k = 0; k < n; ++k) {
        pick[k] = static_cast<int>(std::find(c.tokens[k].begin(), c.tokens[k].end(), out[k]) - c.tokens[k].begin());
        optPick[k] =
            static_cast<int>(std::find(c.tokens[k].begin(), c.tokens[k].end(), expected[k]) - c.tokens[k].begin());
      }
      for (int k = 0; k < n; ++k) {
        cost += c.costs[k][entryIndex(2, c.tokens, pick, k)];
        optimum += c.costs[k][entryIndex(2, c.tokens, optPick, k)];
      }
      EXPECT_GE(cost, optimum - 1e-12);
    }
  }
}

TEST(ViterbiDecoders, FastFirstOrderAgreesWithPerTokenDecoderOnFullTagLists) {
  const Tags tags = {"a", "b", "c", "d"};
  const int t = static_cast<int>(tags.size());
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> cost(0.0, 3.0);
  for (int trial = 0; trial < 100; ++trial) {
    const int n = 1 + static_cast<int>(rng() % 6);
    Matrix m;
    for (int k = 0; k < n; ++k) {
      std::vector<double> row(k == 0 ? t : t * t);
      for (double& x : row) x = trial % 4 == 0 ? std::floor(cost(rng)) : cost(rng);  // some with ties
      m.push_back(row);
    }
    Lists cands = withBoundaries(1, Lists(n, tags));
    std::vector<CMiniStringBag> noTable;
    Tags viaLists;
    ASSERT_EQ(viterbiDecoderB1LimitPath3(m, cands, noTable, viaLists), 1);
    std::vector<int> ids{42};
    ASSERT_EQ(viterbiDecoderB1Fast(m, t, ids), 1);
    ASSERT_EQ(ids.size(), static_cast<size_t>(n));
    Tags viaIds;
    for (int id : ids) viaIds.push_back(tags[id]);
    EXPECT_EQ(viaIds, viaLists) << "trial " << trial;
  }
}

// Equal costs everywhere: every single choice goes to the lowest index.
TEST(ViterbiDecoders, TiesGoToLowestIndex) {
  for (int order = 0; order <= 2; ++order) {
    Lists tokens = {{"x", "y"}, {"p", "q", "r"}, {"u", "v"}};
    Matrix m;
    for (int k = 0; k < 3; ++k) {
      size_t width = 1;
      for (int j = k - order; j <= k; ++j) width *= j < 0 ? 1 : tokens[j].size();
      m.push_back(std::vector<double>(width, 1.0));
    }
    Lists cands = withBoundaries(order, tokens);
    std::vector<CMiniStringBag> noTable;
    Tags out;
    ASSERT_EQ(decode(order, m, cands, noTable, out), 1);
    EXPECT_EQ(out, (Tags{"x", "p", "u"})) << "order " << order;
  }
  std::vector<int> ids;
  Matrix m = {std::vector<double>(2, 0.5), std::vector<double>(4, 0.5)};
  ASSERT_EQ(viterbiDecoderB1Fast(m, 2, ids), 1);
  EXPECT_EQ(ids, (std::vector<int>{0, 0}));
}

// A tie between two whole paths is resolved at the first choice that differs.
TEST(ViterbiDecoders, TieBetweenPathsGoesToLowerFirstChoice) {
  Lists cands = withBoundaries(1, {{"A", "B"}, {"C", "D"}});
  // A C = 1 + 2, B D = 2 + 1, the others dearer.
  Matrix m = {{1, 2}, {2, 5, 5, 1}};
  std::vector<CMiniStringBag> noTable;
  Tags out;
  ASSERT_EQ(viterbiDecoderB1LimitPath3(m, cands, noTable, out), 1);
  EXPECT_EQ(out, (Tags{"A", "C"}));
}

TEST(ViterbiDecoders, OneTokenSentenceTestsEndAndStartSets) {
  struct Case {
    Tags starts, ends;
    std::string expected;
  };
  const Case cases[] = {
      {{"A", "B"}, {"A", "B"}, "A"},  // cheapest
      {{"A", "B"}, {"B"}, "B"},       // end set applied to the only row
      {{"B"}, {"A", "B"}, "B"},       // start set applied to the only row
      {{"A"}, {"B"}, "A"},            // nothing fits: entry 0
  };
  for (int order = 0; order <= 2; ++order) {
    for (const Case& c : cases) {
      Lists cands = withBoundaries(order, {{"A", "B"}});
      Matrix m = {{1.0, 2.0}};
      std::vector<CMiniStringBag> legal = legalTable(c.starts, c.ends, {});
      Tags out;
      ASSERT_EQ(decode(order, m, cands, legal, out), 1);
      EXPECT_EQ(out, Tags{c.expected}) << "order " << order;
    }
  }
}

// No tag may start: the path is the one from entry 0 of row 0 along the back pointers.
TEST(ViterbiDecoders, EmptyStartSetFollowsEntryZero) {
  Lists tokens = {{"A", "B"}, {"C", "D"}, {"E", "F"}};
  Tags all = {"A", "B", "C", "D", "E", "F"}, pairs;
  for (const std::string& a : all)
    for (const std::string& b : all) pairs.push_back(a + " " + b);
  std::vector<CMiniStringBag> legal = legalTable({}, all, pairs);
  // The best path is B C E; the best one from A is A D F.
  Matrix m1 = {{3, 0}, {9, 1, 0, 5}, {0, 9, 5, 0}};
  Lists c1 = withBoundaries(1, tokens);
  std::vector<CMiniStringBag> noTable;
  Tags out;
  ASSERT_EQ(viterbiDecoderB1LimitPath3(m1, c1, noTable, out), 1);
  EXPECT_EQ(out, (Tags{"B", "C", "E"}));
  ASSERT_EQ(viterbiDecoderB1LimitPath3(m1, c1, legal, out), 1);
  EXPECT_EQ(out, (Tags{"A", "D", "F"}));

  Matrix m0 = {{3, 0}, {1, 0}, {5, 1}};
  Lists c0 = withBoundaries(0, tokens);
  ASSERT_EQ(viterbiDecoderB0Limit2(m0, c0, legal, out), 1);
  EXPECT_EQ(out, (Tags{"A", "D", "F"}));
}

// Second order: the history (A, A) has X as its cheapest continuation, which is
// illegal after A, so it is dropped although A -> Y is legal and cheaper overall.
TEST(ViterbiDecoders, SecondOrderDropsHistoryWhoseCheapestContinuationIsIllegal) {
  Lists cands = withBoundaries(2, {{"A"}, {"A", "B"}, {"X", "Y"}});
  std::vector<CMiniStringBag> legal = legalTable({"A"}, {"X", "Y"}, {"A A", "A B", "A Y", "B X", "B Y"});
  Matrix m = {{0}, {0, 1}, {0, 1, 3, 4}};
  Tags out;
  ASSERT_EQ(viterbiDecoderB2Fast2Limit(m, cands, legal, out), 1);
  EXPECT_EQ(out, (Tags{"A", "B", "X"}));  // cost 4, while A A Y would cost 1

  // The first-order decoder, given the same first-order costs, finds A A Y.
  Lists c1 = withBoundaries(1, {{"A"}, {"A", "B"}, {"X", "Y"}});
  Matrix m1 = {{0}, {0, 1}, {0, 1, 3, 4}};
  ASSERT_EQ(viterbiDecoderB1LimitPath3(m1, c1, legal, out), 1);
  EXPECT_EQ(out, (Tags{"A", "A", "Y"}));
}

TEST(ViterbiDecoders, InfiniteCostIsAvoidedUnlessNoPathExists) {
  for (int order = 0; order <= 2; ++order) {
    Lists tokens = {{"A", "B"}, {"C", "D"}};
    Matrix m;
    // Token 1's cheap candidate C has probability 0 wherever it appears.
    m.push_back({0.1, 50});
    const size_t width = order == 0 ? 2 : 4;
    std::vector<double> row(width);
    for (size_t i = 0; i < width; ++i) row[i] = i % 2 == 0 ? kInf : 100.0;
    m.push_back(row);
    Lists cands = withBoundaries(order, tokens);
    std::vector<CMiniStringBag> noTable;
    Tags out;
    ASSERT_EQ(decode(order, m, cands, noTable, out), 1);
    EXPECT_EQ(out, (Tags{"A", "D"})) << "order " << order;

    // Everything impossible: some sequence of one tag per token, no crash.
    for (auto& r : m)
      for (double& x : r) x = -std::log(0.0);
    ASSERT_EQ(decode(order, m, cands, noTable, out), 1);
    EXPECT_EQ(out, (Tags{"A", "C"})) << "order " << order;
  }
  Matrix m = {{0.5, kInf}, {kInf, 1, kInf, 2}};
  std::vector<int> ids;
  ASSERT_EQ(viterbiDecoderB1Fast(m, 2, ids), 1);
  EXPECT_EQ(ids, (std::vector<int>{0, 1}));
}

TEST(ViterbiDecoders, RejectMatricesThatDoNotFitTheirCandidates) {
  std::vector<CMiniStringBag> noTable;
  struct Case {
    int order;
    Matrix m;
    Lists tokens;
  };
  const Case cases[] = {
      {0, {}, {}},                             // no rows
      {1, {{1, 2}, {1, 2, 3}}, {{"A", "B"}, {"A", "B"}}},  // row 1 too short
      {1, {{1}, {}}, {{"A"}, {}}},             // a token without candidates
      {2, {{1, 2}}, {{"A", "B"}, {"C"}}},      // more lists than rows
      {0, {{1}, {2, 3}}, {{"A"}, {"B"}}},      // row wider than its list
  };
  for (const Case& c : cases) {
    Lists cands = withBoundaries(c.order, c.tokens);
    Matrix m = c.m;
    Tags out{"stale"};
    testing::internal::CaptureStderr();
    EXPECT_EQ(decode(c.order, m, cands, noTable, out), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Error: "), std::string::npos);
    EXPECT_TRUE(out.empty());
  }
  std::vector<int> ids{1};
  Matrix m = {{1, 2}, {1, 2, 3}};
  testing::internal::CaptureStderr();
  EXPECT_EQ(viterbiDecoderB1Fast(m, 2, ids), -1);
  EXPECT_EQ(viterbiDecoderB1Fast(m, 0, ids), -1);
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(ids.empty());
}

}  // namespace
