// Reading the tree and predicate-argument columns of a sentence into arc
// lists that the templates navigate.
//
// Columns (0-based): 8 head of the token in the sentence's own tree, 1-based
// (0 = root); 9 its relation; 10 predicate marker ("_" = not a predicate);
// 12+2j / 13+2j head and relation of the token for the j-th predicate.
// A missing or non-numeric head column reads as 0 (head -1); a missing
// relation column reads as "_".
#ifndef KORVANE_PARSING_DEPENDENCY_INFO_H
#define KORVANE_PARSING_DEPENDENCY_INFO_H

#include <string>
#include <vector>

#include "features/token_table.h"

// infoKind 1: the tree into extraArcs; 2: predicates and argument lists; 3: both;
// other values change nothing.
void loadExtraDPInfo(TokenTable& rows, int infoKind, std::vector<_dppair>& extraArcs,
                     std::vector<std::vector<_dppair>>& argumentLists, std::vector<int>& predicateRows);
void loadExtraDPInfo(TokenTable& rows, std::vector<_dppair>& extraArcs,
                     std::vector<std::vector<_dppair>>& argumentLists, std::vector<int>& predicateRows);

// Head column text as a 0-based row: decimal number minus 1, 0 for text that
// is not a number, saturated to the int range.
int headFromColumn(const std::string& text);

#endif
