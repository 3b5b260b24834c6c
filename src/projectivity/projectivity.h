// Projectivity tests and arc lifting over one dependency tree.
//
// A tree is one _dppair per token: head = row of the head (-1 for a root),
// dprel = relation. The arc of token i spans [min(i, head), max(i, head)];
// token j crosses it when j lies strictly inside and its head outside, or its
// head lies strictly inside and j outside. Arcs of roots and between
// neighbours are never crossed. A relation containing '|' marks a lifted arc.
#ifndef KORVANE_PROJECTIVITY_PROJECTIVITY_H
#define KORVANE_PROJECTIVITY_PROJECTIVITY_H

#include <string>
#include <vector>

#include "features/token_table.h"
#include "labels/mini_string_bag.h"

// First offending token found, -1 when the tree is projective.
int checkProjective(std::vector<_dppair>& tree);
// The same over the arcs of tokens first..last of a head list; the two
// whole-sentence arcs are not tested here.
int checkProjective(std::vector<int>& heads, int first, int last);

// Fills the bags ("%d %d" pairs, "-1 %d" whole-sentence violations, "%d"
// tokens) and returns the number of distinct crossing pairs.
int collectNonProjective(std::vector<_dppair>& tree, CMiniStringBag& crossingPairs, CMiniStringBag& crossingTokens);

// 1 when the head chain from token does not end at a root: it leads back to
// the token, or runs into a cycle elsewhere. -1 when it reaches a root or a
// head outside the sentence.
int checkAcyclic(std::vector<_dppair>& tree, int token);

int checkSlash(std::string& label);

// Moves the token's head to its grandparent (liftHead2) or to newHead
// (liftHead3) when the token has a head inside the sentence.
void liftHead2(std::vector<_dppair>& tree, int token);
void liftHead3(std::vector<_dppair>& tree, int token, int newHead);

// 1 when the tree is (or was made) projective, -1 when no lift helps; lifts
// applied before getting stuck stay in the tree. Labels are never changed.
int pseudoProjectiveHead2(std::vector<_dppair>& tree);
int pseudoProjectiveHead3(std::vector<_dppair>& tree);

// A lifting call gives up (-1) after about workLimit elementary crossing
// tests on one tree, so that one pathological sentence cannot stall a whole
// file; real sentences stay far below kLiftWorkLimit, which the calls above
// use. *exhausted (when not null) tells whether the limit ended the call.
constexpr long long kLiftWorkLimit = 200000000LL;
int pseudoProjectiveHead2(std::vector<_dppair>& tree, long long workLimit, bool* exhausted);
int pseudoProjectiveHead3(std::vector<_dppair>& tree, long long workLimit, bool* exhausted);

#endif
