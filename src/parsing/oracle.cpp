#include "parsing/oracle.h"

#include "parsing/transition_system.h"

namespace {

enum class Reading { kLeftToRight, kRightToLeft };

std::string arcLabel(char code, const std::string& relation) {
  std::string label;
  label.reserve(2 + relation.size());
  label.push_back(code);
  label.push_back(':');
  label.append(relation);
  return label;
}

std::string oracleAction(std::vector<_dppair>& gold, std::vector<_dppair>& arcs, const std::vector<int>& stack,
                         int next, Reading reading) {
  if (stack.empty()) return "0";
  const int top = stack.back();
  const int n = static_cast<int>(gold.size());
  const bool topInside = top >= 0 && top < n;
  const bool nextInside = next >= 0 && next < n;
  if (topInside && nextInside && gold[top].head == next) return arcLabel('2', gold[top].dprel);
  if (topInside && nextInside && gold[next].head == top) return arcLabel('3', gold[next].dprel);
  // A complete stack top goes at once: any later relation between the next
  // input and a token below it would have to cross the top's own arc.
  if (topInside && top < static_cast<int>(arcs.size()) && !hasNoHeadYet(arcs[top].head)) {
    const int pending =
        reading == Reading::kLeftToRight ? checkAfterDP(gold, arcs, top) : checkBeforeDP(gold, arcs, top);
    if (pending < 0) return "1";
  }
  return "0";
}

bool wellFormedHeads(const std::vector<_dppair>& gold) {
  const int n = static_cast<int>(gold.size());
  for (int i = 0; i < n; ++i) {
    const int h = gold[i].head;
    if (h < -1 || h >= n || h == i) return false;
  }
  return true;
}

bool oracleActions(const std::vector<_dppair>& goldIn, std::vector<std::string>& actions, Reading reading) {
  actions.clear();
  if (!wellFormedHeads(goldIn)) return false;
  std::vector<_dppair> gold = goldIn;  // the comparison helpers take non-const lists
  const int n = static_cast<int>(gold.size());
  _dppair unattached;
  unattached.head = kNoHeadYet;
  unattached.dprel = "_x";
  std::vector<_dppair> arcs(gold.size(), unattached);
  std::vector<int> stack;
  std::vector<_hisstruc> history;
  int next;
  if (reading == Reading::kLeftToRight) {
    stack.assign(1, 0);
    next = 1;
  } else {
    stack.assign(1, n - 1);
    next = n - 2;
  }
  // Every action either consumes an input token or pops the stack, so a
  // sentence takes at most 2n of them; the bound only guards the loop.
  for (int steps = 0; n >= 2 && steps <= 2 * n; ++steps) {
    std::string action = oracleAction(gold, arcs, stack, next, reading);
    actions.push_back(action);
    if (reading == Reading::kLeftToRight) {
      classDPNivre(action, arcs, stack, next, history);
      if (next >= n) break;
    } else {
      classDPNivreInverse(action, arcs, stack, next, history);
      if (next < 0) break;
    }
    if (checkDPCounter(arcs) >= n - 1) break;
  }
  for (int i = 0; i < n; ++i) {
    if (gold[i].head == -1) {
      if (!hasNoHeadYet(arcs[i].head)) return false;
    } else if (arcs[i].head != gold[i].head || arcs[i].dprel != gold[i].dprel) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string nivreOracleAction(std::vector<_dppair>& gold, std::vector<_dppair>& arcs, const std::vector<int>& stack,
                              int next) {
  return oracleAction(gold, arcs, stack, next, Reading::kLeftToRight);
}

std::string nivreOracleActionInverse(std::vector<_dppair>& gold, std::vector<_dppair>& arcs,
                                     const std::vector<int>& stack, int next) {
  return oracleAction(gold, arcs, stack, next, Reading::kRightToLeft);
}

bool nivreOracleActions(const std::vector<_dppair>& gold, std::vector<std::string>& actions) {
  return oracleActions(gold, actions, Reading::kLeftToRight);
}

bool nivreOracleActionsInverse(const std::vector<_dppair>& gold, std::vector<std::string>& actions) {
  return oracleActions(gold, actions, Reading::kRightToLeft);
}
