#include "parsing/parse_voting.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "parsing/conllu_parsing.h"
#include "test_files.h"

namespace {

std::string tempPath(const std::string& name) {
  return testing::TempDir() + "parse_voting_" + testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
         name;
}

double treeScore(const std::vector<std::vector<double>>& score, const std::vector<int>& head) {
  double total = 0;
  for (size_t d = 1; d < head.size(); ++d) total += score[static_cast<size_t>(head[d])][d];
  return total;
}

bool isTree(const std::vector<int>& head) {
  for (size_t d = 1; d < head.size(); ++d) {
    size_t steps = 0;
    for (int v = static_cast<int>(d); v != 0; v = head[static_cast<size_t>(v)])
      if (v < 0 || ++steps > head.size()) return false;
  }
  return true;
}

// Against every head assignment of small random graphs, whose greedy heads
// often form cycles (nested ones too).
TEST(MaximumSpanningTree, FindsTheBestTreeOfSmallGraphs) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> points(0, 9);
  for (int round = 0; round < 300; ++round) {
    const int n = 2 + round % 5;  // the root and 1-5 words
    std::vector<std::vector<double>> score(static_cast<size_t>(n), std::vector<double>(static_cast<size_t>(n)));
    for (auto& row : score)
      for (double& s : row) s = points(rng);
    double best = -1;
    std::vector<int> head(static_cast<size_t>(n), 0);
    head[0] = -1;
    std::function<void(int)> every = [&](int d) {
      if (d == n) {
        if (isTree(head)) best = std::max(best, treeScore(score, head));
        return;
      }
      for (int h = 0; h < n; ++h)
        if (h != d) {
          head[static_cast<size_t>(d)] = h;
          every(d + 1);
        }
    };
    every(1);
    const std::vector<int> found = maximumSpanningTree(score);
    ASSERT_TRUE(isTree(found)) << "round " << round;
    EXPECT_EQ(found[0], -1);
    EXPECT_EQ(treeScore(score, found), best) << "round " << round;
  }
}

_dppair arc(int head, const char* relation) {
  _dppair a;
  a.head = head;
  a.dprel = relation;
  return a;
}

// The words' favourite heads form a cycle (w1 <-> w2); the tree with the
// most votes breaks it, and each word takes the relation most votes gave the
// chosen arc, not the first parse's.
TEST(VoteTree, MostVotedTreeAndRelations) {
  const std::vector<std::vector<_dppair>> parses = {
      {arc(-1, "ROOT"), arc(0, "a"), arc(0, "p")},
      {arc(1, "x"), arc(-1, "ROOT"), arc(1, "p")},
      {arc(1, "y"), arc(0, "b"), arc(0, "q")},
      {arc(1, "y"), arc(0, "b"), arc(0, "q")},
  };
  const std::vector<_dppair> tree = voteTree(parses, {2.5, 1, 1, 1});
  ASSERT_EQ(tree.size(), 3u);
  // The first word under the root (2.5) and the second under it (4.5) beat
  // the first under the second (3) and the second under the root (1).
  EXPECT_EQ(tree[0].head, -1);
  EXPECT_EQ(tree[0].dprel, "ROOT");
  EXPECT_EQ(tree[1].head, 0);
  EXPECT_EQ(tree[1].dprel, "a");  // 2.5 against 2
  EXPECT_EQ(tree[2].head, 0);
  EXPECT_EQ(tree[2].dprel, "p");  // 2.5 against 2
  const std::vector<_dppair> even = voteTree(parses, {1.5, 1, 1, 1});
  EXPECT_EQ(even[1].head, 0);
  EXPECT_EQ(even[1].dprel, "b");
  EXPECT_EQ(even[2].dprel, "q");
}

// Rows keep the first file's columns; files that do not match fail with the
// line.
TEST(VoteParsedFiles, VotesSentenceBySentence) {
  const std::string a = tempPath("a"), b = tempPath("b"), c = tempPath("c"), out = tempPath("out");
  writeFile(a, "x A 0 ROOT\ny B 1 r\n\nz C 0 ROOT\n\n");
  writeFile(b, "x a 2 s\ny b 0 ROOT\n\nz c 0 ROOT\n\n");
  writeFile(c, "x a 2 s\ny b 0 ROOT\n\nz c 0 ROOT\n\n");
  std::FILE* f = std::fopen(out.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(voteParsedFiles({a, b, c}, {1.5, 1, 1}, 3, f, out));
  std::fclose(f);
  EXPECT_EQ(readFile(out), "x A 2 s\ny B 0 ROOT\n\nz C 0 ROOT\n\n");

  writeFile(c, "x a 2 s\ny b 0 ROOT\n\n");
  f = std::fopen(out.c_str(), "wb");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(voteParsedFiles({a, c}, {1, 1}, 3, f, out));
  const std::string err = testing::internal::GetCapturedStderr();
  std::fclose(f);
  EXPECT_NE(err.find("Error: " + a + " line 4: the parse " + c + " does not match this sentence."), std::string::npos)
      << err;
}

TEST(ReadParserEnsemble, MembersAndMistakes) {
  const std::string path = tempPath("vote.ensemble");
  writeFile(path, "# members\n\nglobal.model global 1.2\r\n/abs/rtl.model beam-rtl 0.5\n");
  std::vector<ParserEnsembleMember> members;
  ASSERT_TRUE(readParserEnsemble(path, members));
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(members[0].model, testing::TempDir() + "global.model");
  EXPECT_EQ(members[0].driver, "global");
  EXPECT_EQ(members[0].weight, 1.2);
  EXPECT_EQ(members[1].model, "/abs/rtl.model");

  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"m.model sideways 1\n", "line 1: unknown driver"},
      {"m.model beam 0\n", "line 1: the weight is not a positive number"},
      {"m.model beam 1x\n", "line 1: the weight is not a positive number"},
      {"# x\nm.model beam\n", "line 2: expected \"MODEL DRIVER WEIGHT\""},
      {"# nothing\n", "names no parser"},
  };
  for (const auto& c : cases) {
    writeFile(path, c.text);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(readParserEnsemble(path, members)) << c.text;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Error: " + path), std::string::npos) << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
  }
}

}  // namespace
