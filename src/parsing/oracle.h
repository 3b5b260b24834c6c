// Static arc-eager oracle: the correct action for a parser state given the
// gold tree, and the whole action sequence that rebuilds a gold tree from the
// state the parsing drivers start in.
//
// Gold trees: one _dppair per row, head = row of the head, -1 for a root.
// There is no artificial root row: a root is a token that never gets a head
// and is left on the stack, so the derivable trees are the projective ones in
// which no arc spans a root (the notion of checkProjective).
//
// Labels are those the drivers decode: "0" shift, "1" reduce, "2:REL" left
// arc, "3:REL" right arc (code byte, ':' separator, relation).
#ifndef KORVANE_PARSING_ORACLE_H
#define KORVANE_PARSING_ORACLE_H

#include <string>
#include <vector>

#include "features/token_table.h"

// The correct action for (arcs, stack, next) left to right / right to left:
// left arc when the stack top's gold head is the next input; right arc when
// the next input's gold head is the stack top; reduce when the stack top has a
// head and no gold dependent of it on the input side still lacks one; shift
// otherwise (always on an empty stack). gold and arcs must have the same size
// and next must be a row of the sentence.
std::string nivreOracleAction(std::vector<_dppair>& gold, std::vector<_dppair>& arcs,
                              const std::vector<int>& stack, int next);
std::string nivreOracleActionInverse(std::vector<_dppair>& gold, std::vector<_dppair>& arcs,
                                     const std::vector<int>& stack, int next);

// The actions a driver applies to parse the sentence into gold: from the
// driver's start state (left to right: stack [0], next 1; right to left:
// stack [n-1], next n-2) until the driver's own stop (input used up, or all
// but one token attached). True when replaying them with classDPNivre
// (classDPNivreInverse) gives every row its gold head and relation, with the
// gold roots left as the tokens without a head. False for a tree the system
// cannot build: crossing arcs, an arc spanning a root, cycles (actions then
// hold the sequence tried), or a head outside the sentence or a token heading
// itself (actions then empty).
bool nivreOracleActions(const std::vector<_dppair>& gold, std::vector<std::string>& actions);
bool nivreOracleActionsInverse(const std::vector<_dppair>& gold, std::vector<std::string>& actions);

#endif
