#include "parsing/transition_system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<_dppair> unattached(int n) {
  std::vector<_dppair> arcs(static_cast<size_t>(n));
  for (_dppair& a : arcs) {
    a.head = kNoHeadYet;
    a.dprel = "_x";
  }
  return arcs;
}

struct NivreCase {
  const char* name;
  bool inverse;
  std::string action;
  std::vector<int> stack;
  int next;
  std::vector<int> wantStack;
  int wantNext;
  int changedRow;  // row whose arc is set, -1 for none
  int wantHead;
  const char* wantRelation;
  int moved, nextInput, actionCode;
};

TEST(ClassDPNivre, ActionsAndHistoryRecords) {
  const NivreCase cases[] = {
      {"shift", false, "0", {0}, 1, {0, 1}, 2, -1, 0, "", 1, 2, 0},
      {"right arc", false, "3:OBJ", {0, 1}, 2, {0, 1, 2}, 3, 2, 1, "OBJ", 2, 3, 3},
      {"left arc", false, "2:SBJ", {0, 1}, 2, {0}, 2, 1, 2, "SBJ", 1, -1, 2},
      {"reduce", false, "1", {0, 1}, 2, {0}, 2, -1, 0, "", 1, -1, 1},
      {"inverse shift", true, "0", {4}, 3, {4, 3}, 2, -1, 0, "", 3, 2, 0},
      {"inverse right arc", true, "3-NMOD", {4}, 3, {4, 3}, 2, 3, 4, "NMOD", 3, 2, 3},
      {"inverse left arc", true, "2 X", {4}, 3, {}, 3, 4, 3, "X", 4, -1, 2},
      // The separator byte is never looked at; a short arc label carries no relation.
      {"two-byte arc label", false, "3x", {0}, 1, {0, 1}, 2, 1, 0, "", 1, 2, 3},
      {"one-byte arc label", false, "2", {0}, 1, {}, 1, 0, 1, "", 0, -1, 2},
      // Actions that need a stack top find none: nothing changes.
      {"reduce on empty stack", false, "1", {}, 1, {}, 1, -1, 0, "", -1, -1, 1},
      {"left arc on empty stack", false, "2:A", {}, 1, {}, 1, -1, 0, "", -1, -1, 2},
      {"right arc on empty stack", false, "3:A", {}, 1, {}, 1, -1, 0, "", -1, -1, 3},
      {"unknown code", false, "7:Z", {0}, 1, {0}, 1, -1, 0, "", -1, -1, -1},
      {"empty label", false, "", {0}, 1, {0}, 1, -1, 0, "", -1, -1, -1},
      // A dependent outside the arc list is not written; the stack still moves.
      {"right arc past the end", false, "3:A", {4}, 5, {4, 5}, 6, -1, 0, "", 5, 6, 3},
  };
  for (const NivreCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<_dppair> arcs = unattached(5);
    std::vector<int> stack = c.stack;
    int next = c.next;
    std::vector<_hisstruc> history(1);  // earlier records are kept
    const int result = c.inverse ? classDPNivreInverse(c.action, arcs, stack, next, history)
                                 : classDPNivre(c.action, arcs, stack, next, history);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(stack, c.wantStack);
    EXPECT_EQ(next, c.wantNext);
    for (int r = 0; r < 5; ++r) {
      if (r == c.changedRow) {
        EXPECT_EQ(arcs[r].head, c.wantHead);
        EXPECT_EQ(arcs[r].dprel, c.wantRelation);
      } else {
        EXPECT_EQ(arcs[r].head, kNoHeadYet) << "row " << r;
        EXPECT_EQ(arcs[r].dprel, "_x");
      }
    }
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[1].stack, c.wantStack);
    EXPECT_EQ(history[1].movedToken, c.moved);
    EXPECT_EQ(history[1].nextInput, c.nextInput);
    EXPECT_EQ(history[1].action, c.actionCode);
    EXPECT_EQ(history[1].spare, 0);
  }
}

TEST(ClassDPNivre, OlderFormOverSeparateLists) {
  struct Case {
    const char* name;
    std::string action;
    std::vector<int> stack;
    int next;
    int result;
    std::vector<int> wantStack;
    int wantNext;
    std::vector<int> wantHeads;
    std::vector<std::string> wantRelations;
  };
  const Case cases[] = {
      {"shift", "0", {0}, 1, 2, {0, 1}, 2, {9, 9, 9}, {"-", "-", "-"}},
      {"left arc", "2:SBJ", {0}, 1, 0, {}, 1, {1, 9, 9}, {"SBJ", "-", "-"}},
      {"reduce", "1", {0, 1}, 2, 1, {0}, 2, {9, 9, 9}, {"-", "-", "-"}},
      {"right arc", "3:OBJ", {0, 1}, 2, 3, {0, 1, 2}, 3, {9, 9, 1}, {"-", "-", "OBJ"}},
      {"unknown", "9", {0}, 1, 1, {0}, 1, {9, 9, 9}, {"-", "-", "-"}},
      {"reduce on empty stack", "1", {}, 1, 0, {}, 1, {9, 9, 9}, {"-", "-", "-"}},
      {"left arc on empty stack", "2:A", {}, 1, 0, {}, 1, {9, 9, 9}, {"-", "-", "-"}},
      {"right arc on empty stack", "3:A", {}, 1, 0, {}, 1, {9, 9, 9}, {"-", "-", "-"}},
      {"right arc past the lists", "3:A", {2}, 3, 2, {2, 3}, 4, {9, 9, 9}, {"-", "-", "-"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> heads = {9, 9, 9};
    std::vector<std::string> relations = {"-", "-", "-"};
    std::vector<int> stack = c.stack;
    int next = c.next;
    EXPECT_EQ(classDPNivre(c.action, heads, relations, stack, next), c.result);
    EXPECT_EQ(stack, c.wantStack);
    EXPECT_EQ(next, c.wantNext);
    EXPECT_EQ(heads, c.wantHeads);
    EXPECT_EQ(relations, c.wantRelations);
  }
}

TEST(CheckDPCounter, RootsCountAsAttached) {
  std::vector<_dppair> arcs = unattached(4);
  EXPECT_EQ(checkDPCounter(arcs), 0);
  arcs[0].head = -1;
  arcs[2].head = 0;
  arcs[3].head = -1023;
  EXPECT_EQ(checkDPCounter(arcs), 3);
  std::vector<_dppair> none;
  EXPECT_EQ(checkDPCounter(none), 0);
}

std::vector<_dppair> arcsWithHeads(const std::vector<int>& heads) {
  std::vector<_dppair> arcs(heads.size());
  for (size_t i = 0; i < heads.size(); ++i) arcs[i].head = heads[i];
  return arcs;
}

TEST(TreeComparison, BeforeAfterAndCurrent) {
  std::vector<_dppair> gold = arcsWithHeads({1, 3, 3, -1, 3});
  std::vector<_dppair> current = arcsWithHeads({kNoHeadYet, kNoHeadYet, kNoHeadYet, kNoHeadYet, kNoHeadYet});
  EXPECT_EQ(checkBeforeDP(gold, current, 3), 1);
  EXPECT_EQ(checkAfterDP(gold, current, 3), 1);
  EXPECT_EQ(checkBeforeDP(gold, current, 1), 1);
  EXPECT_EQ(checkAfterDP(gold, current, 1), -1);
  current[1].head = 3;
  current[2].head = 3;
  current[4].head = 3;
  EXPECT_EQ(checkBeforeDP(gold, current, 3), -1);
  EXPECT_EQ(checkAfterDP(gold, current, 3), -1);
  // Rows outside either list are never read.
  EXPECT_EQ(checkBeforeDP(gold, current, 40), -1);
  EXPECT_EQ(checkAfterDP(gold, current, -40), -1);
  std::vector<_dppair> shorter = arcsWithHeads({kNoHeadYet});
  EXPECT_EQ(checkBeforeDP(gold, shorter, 1), 1);
  EXPECT_EQ(checkBeforeDP(gold, shorter, 3), -1);

  // First unattached row 0; gold heads from there on are 1, 3, 3, -1, 3: none below 0.
  EXPECT_EQ(checkCurDP(current, gold), 0);
  current[0].head = 1;
  current[3].head = kNoHeadYet;
  // First unattached row 3; gold heads of rows 3 and 4 are -1 and 3: 3 stays.
  EXPECT_EQ(checkCurDP(current, gold), 3);
  std::vector<_dppair> gold2 = arcsWithHeads({-1, 0, 0, 1, 0});
  EXPECT_EQ(checkCurDP(current, gold2), 0);
  std::vector<_dppair> allAttached = arcsWithHeads({-1, 0});
  EXPECT_EQ(checkCurDP(allAttached, gold2), 0);
  std::vector<_dppair> empty;
  EXPECT_EQ(checkCurDP(allAttached, empty), 2);
}

TEST(ClassDP1, PairwiseDecisions) {
  struct Case {
    std::string action;
    int result;
    std::vector<int> heads;
    std::vector<std::string> relations;
  };
  const Case cases[] = {
      {"0:A", -1, {9, 9, 9}, {"-", "-", "-"}},  {"1:A", 0, {2, 9, 9}, {"A", "-", "-"}},
      {"2:A", 0, {-1, 9, 9}, {"A", "-", "-"}}, {"3:A", 2, {9, 9, 0}, {"-", "-", "A"}},
      {"4:A", 2, {9, 9, -1}, {"-", "-", "A"}}, {"5:A", 1, {9, 9, 9}, {"-", "-", "-"}},
      {"3", 2, {9, 9, 0}, {"-", "-", ""}},     {"", 1, {9, 9, 9}, {"-", "-", "-"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    std::vector<int> heads = {9, 9, 9};
    std::vector<std::string> relations = {"-", "-", "-"};
    EXPECT_EQ(classDP1(c.action, heads, relations, 0, 2), c.result);
    EXPECT_EQ(heads, c.heads);
    EXPECT_EQ(relations, c.relations);
    std::vector<int> headsOnly = {9, 9, 9};
    EXPECT_EQ(classDP1Head(c.action, headsOnly, 0, 2), c.result);
    EXPECT_EQ(headsOnly, c.heads);
  }
  std::vector<int> heads = {9};
  std::vector<std::string> relations = {"-"};
  EXPECT_EQ(classDP1("3:A", heads, relations, 0, 5), 5);  // row outside the lists: not written
  EXPECT_EQ(classDP1("1:A", heads, relations, -2, 0), -2);
  EXPECT_EQ(heads, std::vector<int>{9});
}

TEST(WriteDP, AppendsOneLinePerRowAndAnEmptyLine) {
  const std::string path = testing::TempDir() + "write_dp.txt";
  std::remove(path.c_str());
  std::vector<int> heads = {-1, 0};
  std::vector<std::string> relations = {"ROOT", "DEP"};
  EXPECT_EQ(writeDP(heads, relations, const_cast<char*>(path.c_str())), 0);
  EXPECT_EQ(writeDP(heads, relations, const_cast<char*>(path.c_str())), 0);
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  EXPECT_EQ(s.str(), "1 0 ROOT\n2 1 DEP\n\n1 0 ROOT\n2 1 DEP\n\n");

  testing::internal::CaptureStderr();
  EXPECT_EQ(writeDP(heads, relations, const_cast<char*>("/nonexistent/dir/dp.txt")), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: open /nonexistent/dir/dp.txt for writing.\n");
}

}  // namespace
