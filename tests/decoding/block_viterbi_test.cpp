#include "decoding/block_viterbi.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

#include "decoding/viterbi.h"

namespace {

typedef std::vector<std::string> Tags;

// A random sentence's matrix in both forms: full rows for the decoders of
// viterbi.h, blocks for blockViterbi; missing histories are infinite in the
// full rows. Costs come from a few values so that ties are common.
struct Case {
  std::vector<std::vector<double>> rows;
  std::vector<std::vector<std::string>> candidates;  // boundary lists, then one per token
  CostBlocks blocks;
};

Case randomCase(std::mt19937& rng, int order, int tags, bool allTags, bool everyHistory = false) {
  const double inf = std::numeric_limits<double>::infinity();
  std::uniform_int_distribution<int> length(1, 7), count(1, tags), coin(0, 9), value(0, 5);
  Case c;
  c.blocks.labelOrder = order;
  for (int i = order; i > 0; --i) c.candidates.push_back({"_B-" + std::to_string(i)});
  const int n = length(rng);
  for (int k = 0; k < n; ++k) {
    const int m = allTags ? tags : count(rng);
    std::vector<std::string> list;
    for (int j = 0; j < m; ++j) list.push_back("T" + std::to_string(j));
    c.candidates.push_back(list);
    c.blocks.candidates.push_back(m);
  }
  for (int k = 0; k < n; ++k) {
    const int C = c.blocks.candidates[k];
    int H = 1;
    for (int j = 1; j <= order; ++j) H *= k - j >= 0 ? c.blocks.candidates[k - j] : 1;
    c.blocks.histories.push_back(H);
    c.blocks.at.emplace_back(H, -1);
    std::vector<double> row;
    for (int h = 0; h < H; ++h) {
      const bool present = everyHistory || coin(rng) < 7;
      if (present) c.blocks.at[k][h] = static_cast<int>(c.blocks.costs.size());
      for (int j = 0; j < C; ++j) {
        double v = 0.25 * value(rng);
        if (coin(rng) == 0) v = inf;  // a probability of 0
        if (coin(rng) == 1) v = 0.1 * j + 1e-3 * k;
        row.push_back(present ? v : inf);
        if (present) c.blocks.costs.push_back(v);
      }
    }
    c.rows.push_back(row);
  }
  return c;
}

// streamingViterbi over a matrix in blocks (every history present).
bool streamed(const CostBlocks& m, BlockViterbiPiece& piece, std::vector<int>& path) {
  StreamingViterbiWork work;
  return streamingViterbi(
      m.labelOrder, m.candidates, m.histories, piece,
      [&m](int k, int h, double* row) {
        const int at = m.at[k][h];
        for (int c = 0; c < m.candidates[k]; ++c) row[c] = m.costs[at + c];
      },
      path, work);
}

TEST(BlockViterbi, ChoosesWhatTheDecodersChoose) {
  std::mt19937 rng(2024);
  std::vector<CMiniStringBag> noLegal;
  BlockViterbiWork work;
  for (int order = 0; order <= 2; ++order) {
    for (int round = 0; round < 3000; ++round) {
      const bool allTags = order == 1 && round % 2 == 0;
      Case c = randomCase(rng, order, 4, allTags);
      Tags expected;
      if (order == 0) {
        ASSERT_EQ(viterbiDecoderB0Limit2(c.rows, c.candidates, noLegal, expected), 1);
      } else if (order == 2) {
        ASSERT_EQ(viterbiDecoderB2Fast2Limit(c.rows, c.candidates, noLegal, expected), 1);
      } else if (allTags) {
        std::vector<int> ids;
        ASSERT_EQ(viterbiDecoderB1Fast(c.rows, 4, ids), 1);
        for (int id : ids) expected.push_back("T" + std::to_string(id));
      } else {
        ASSERT_EQ(viterbiDecoderB1LimitPath3(c.rows, c.candidates, noLegal, expected), 1);
      }
      std::vector<int> path;
      blockViterbi(c.blocks, path, work);
      Tags got;
      for (size_t k = 0; k < path.size(); ++k) got.push_back(c.candidates[k + order][path[k]]);
      ASSERT_EQ(got, expected) << "order " << order << " round " << round;
    }
  }
}

// The second-order decoder chooses the first token's continuation by the sum
// with the token's own cost: 512 + 1e-14 rounds to 512 + 0, so the first
// continuation wins although its completion is larger. Later tokens choose
// by completion alone.
TEST(BlockViterbi, SecondOrderFirstTokenByRoundedSum) {
  std::vector<std::vector<double>> rows = {{512.0}, {1e-14, 0.0}};
  std::vector<std::vector<std::string>> cands = {{"_B-2"}, {"_B-1"}, {"w"}, {"a", "b"}};
  std::vector<CMiniStringBag> noLegal;
  Tags expected;
  ASSERT_EQ(viterbiDecoderB2Fast2Limit(rows, cands, noLegal, expected), 1);
  EXPECT_EQ(expected, (Tags{"w", "a"}));
  CostBlocks m;
  m.labelOrder = 2;
  m.candidates = {1, 2};
  m.histories = {1, 1};
  m.at = {{0}, {1}};
  m.costs = {512.0, 1e-14, 0.0};
  BlockViterbiWork work;
  std::vector<int> path;
  blockViterbi(m, path, work);
  EXPECT_EQ(path, (std::vector<int>{0, 0}));
  BlockViterbiPiece whole;
  ASSERT_TRUE(streamed(m, whole, path));
  EXPECT_EQ(path, (std::vector<int>{0, 0}));

  // Three tokens: the middle one keeps the continuation of least completion.
  rows = {{0.0}, {512.0}, {1e-14, 0.0}};
  cands = {{"_B-2"}, {"_B-1"}, {"u"}, {"w"}, {"a", "b"}};
  ASSERT_EQ(viterbiDecoderB2Fast2Limit(rows, cands, noLegal, expected), 1);
  EXPECT_EQ(expected, (Tags{"u", "w", "b"}));
  m.candidates = {1, 1, 2};
  m.histories = {1, 1, 1};
  m.at = {{0}, {1}, {2}};
  m.costs = {0.0, 512.0, 1e-14, 0.0};
  blockViterbi(m, path, work);
  EXPECT_EQ(path, (std::vector<int>{0, 0, 1}));
  ASSERT_TRUE(streamed(m, whole, path));
  EXPECT_EQ(path, (std::vector<int>{0, 0, 1}));
}

// Streaming makes blockViterbiPiece's choice, ties and infinite costs
// included, for a whole sentence and for pieces before, after and between
// others.
TEST(StreamingViterbi, ChoosesWhatTheBlockDecoderChooses) {
  std::mt19937 rng(77);
  BlockViterbiWork work;
  for (int order = 0; order <= 2; ++order) {
    for (int round = 0; round < 2000; ++round) {
      Case c = randomCase(rng, order, 4, false, true);
      for (int variant = 0; variant < 4; ++variant) {
        BlockViterbiPiece a;
        a.first = variant % 2 == 0;
        a.last = variant < 2;
        a.nextCost = 0.75;
        a.nextEntry = 3;
        BlockViterbiPiece b = a;
        std::vector<int> pathA, pathB;
        const bool foundA = blockViterbiPiece(c.blocks, a, pathA, work);
        const bool foundB = streamed(c.blocks, b, pathB);
        const std::string what = "order " + std::to_string(order) + " round " + std::to_string(round) +
                                 " variant " + std::to_string(variant);
        ASSERT_EQ(foundB, foundA) << what;
        if (!foundA) continue;
        ASSERT_EQ(pathB, pathA) << what;
        if (!a.first) {
          ASSERT_EQ(b.firstEntry, a.firstEntry) << what;
          ASSERT_EQ(b.firstCost, a.firstCost) << what;
        }
      }
    }
  }
}

// Without any finite path the decoders fall back to entry 0 and their
// back pointers; so does blockViterbi.
TEST(BlockViterbi, NoFinitePath) {
  const double inf = std::numeric_limits<double>::infinity();
  CostBlocks m;
  m.labelOrder = 1;
  m.candidates = {2, 2};
  m.histories = {1, 2};
  m.at = {{0}, {2, 4}};
  m.costs = {inf, inf, 1.0, 0.5, 0.2, 0.3};
  std::vector<std::vector<double>> rows = {{inf, inf}, {1.0, 0.5, 0.2, 0.3}};
  std::vector<std::vector<std::string>> cands = {{"_B-1"}, {"a", "b"}, {"a", "b"}};
  std::vector<CMiniStringBag> noLegal;
  Tags expected;
  ASSERT_EQ(viterbiDecoderB1LimitPath3(rows, cands, noLegal, expected), 1);
  BlockViterbiWork work;
  std::vector<int> path;
  blockViterbi(m, path, work);
  ASSERT_EQ(path.size(), 2u);
  EXPECT_EQ((Tags{cands[1][path[0]], cands[2][path[1]]}), expected);
}

}  // namespace
