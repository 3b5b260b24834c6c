// Dynamic arc-eager oracle: in any state the parser reaches, mistakes
// included, the cost of each action is the number of gold arcs it puts out
// of reach (a gold root counts as reachable while it has no head). An action
// of cost 0 keeps the best tree still reachable. Gold trees must be ones the
// static oracle can build (projective, no arc spanning a root).
//
// Actions are allowed as in the classic system: reduce only a stack top that
// has a head, a left arc only onto one that has none, arcs and reduce only on
// a stack, shift and arcs only while input is left.
#ifndef KORVANE_PARSING_DYNAMIC_ORACLE_H
#define KORVANE_PARSING_DYNAMIC_ORACLE_H

#include <string>
#include <vector>

#include "features/token_table.h"

struct ArcEagerCosts {
  // Gold arcs lost by each action; -1 when the action is not allowed.
  int shift = -1, reduce = -1, leftArc = -1, rightArc = -1;
  // The gold relation of the arc an arc action would make, empty when that
  // arc is not in the gold tree (any relation then costs the same).
  std::string leftRelation, rightRelation;

  // Cost of an action label ("0", "1", "2:REL", "3:REL"): a relation other
  // than the gold one costs one more; -1 when not allowed or not an action.
  int of(const std::string& label) const;
  int least() const;  // smallest cost among the allowed actions, -1 if none
};

// arcs: the tree built so far (kNoHeadYet for unattached tokens). inverse:
// the state is one of a right-to-left parse. next must be a row of the
// sentence (the parse has not ended).
ArcEagerCosts arcEagerCosts(const std::vector<_dppair>& gold, const std::vector<_dppair>& arcs,
                            const std::vector<int>& stack, int next, bool inverse);

#endif
