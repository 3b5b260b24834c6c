// Predicate sense determination: picks a sense for every predicate of a
// column file by matching its argument pattern against the example patterns
// of the predicate dictionaries (_dicProp for verbs, _dicNom otherwise).
#ifndef KORVANE_SENSE_SENSE_DETERMINATION_H
#define KORVANE_SENSE_SENSE_DETERMINATION_H

#include <string>
#include <vector>

#include "features/bank_types.h"
#include "features/token_table.h"

// Equal labels and element-wise equal left and right lists.
bool compareTwoBEExact(_bankExample& query, _bankExample& pattern);

// As compareTwoBEExact, but "_" in the pattern (label or list element) matches
// anything; list lengths must still agree.
bool compareTwoBE(_bankExample& query, _bankExample& pattern);

// Appends one sentence (columns joined by single blanks, then an empty line)
// to path. Result of closing the file; -1 with a message when it cannot be
// opened.
int writeMatrix(std::vector<std::vector<std::string>>& rows, char* path);

// Column of the "__" non-predicate marker: the highest column index at which
// any row holds "__"; -1 when no row does.
int findMarkerColumn(const TokenTable& rows);

// Argument pattern of the predicate in row `row`, the `predicateIndex`-th
// predicate of the sentence, as sense determination matches it: the argument
// numbers (labels "A" plus a digit or "-") left of the row nearest first,
// right of it nearest first, and the row's own ("_" when it has none), read
// from column markerColumn + 2 + 2 * predicateIndex.
_bankExample senseQuery(const TokenTable& rows, int markerColumn, int predicateIndex, int row);

// Sense of the predicate in row `row`, the `predicateIndex`-th predicate of
// the sentence, whose argument labels stand in column
// markerColumn + 2 + 2 * predicateIndex. Missing cells read as "_" (labels)
// or "" (lemma, tag). The leading "s" of a dictionary sense name is dropped.
std::string determineSense(const TokenTable& rows, int markerColumn, int predicateIndex, int row);

// Reads inPath (sentences of column rows separated by empty lines) and writes
// every row with one more column: its predicate's sense, "_" elsewhere.
// 1 on success; -1 with an "Error: ..." message when a file cannot be opened
// (nothing is created when the input is missing).
int senseDeterminator(char* inPath, char* outPath);

#endif
