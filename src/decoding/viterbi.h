// Viterbi decoders over the cost matrix of one sentence.
//
// Row k of the matrix holds one cost (-ln p) per combination of L earlier
// candidate tags and a candidate c of token k, farthest position outermost and
// c innermost, so c = index mod |C(k)|. `candidates` holds L one-entry
// boundary lists, then one list per token (C(k) = candidates[k + L]).
// A non-empty legal table (start, end, transition bags) restricts the start
// tag, the end tag and each tag-to-tag step; an empty one switches the tests
// off. Ties go to the lowest index at every single choice.
//
// Every decoder returns 1 when it decoded, or -1 with a message on stderr and
// its output emptied when the matrix does not fit the candidate lists (no
// rows, an empty candidate list, a row of the wrong size). The inputs are only
// read; they are non-const to match IsLegalSequence.
#ifndef KORVANE_DECODING_VITERBI_H
#define KORVANE_DECODING_VITERBI_H

#include <string>
#include <vector>

#include "labels/mini_string_bag.h"

// Costs that depend on the token's own tag only (L = 0).
int viterbiDecoderB0Limit2(std::vector<std::vector<double>>& scoreMatrix,
                           std::vector<std::vector<std::string>>& candidates,
                           std::vector<CMiniStringBag>& legalTable, std::vector<std::string>& outTags);

// First order (L = 1), one candidate list per token.
int viterbiDecoderB1LimitPath3(std::vector<std::vector<double>>& scoreMatrix,
                               std::vector<std::vector<std::string>>& candidates,
                               std::vector<CMiniStringBag>& legalTable, std::vector<std::string>& outTags);

// Second order (L = 2). Each history (a, b) keeps only its cheapest
// continuation; if the legal table forbids that step the history is dropped,
// even when a dearer legal continuation exists.
int viterbiDecoderB2Fast2Limit(std::vector<std::vector<double>>& scoreMatrix,
                               std::vector<std::vector<std::string>>& candidates,
                               std::vector<CMiniStringBag>& legalTable, std::vector<std::string>& outTags);

// First order over the whole tag list (tagCount tags) at every token, no legal
// table: row 0 has tagCount entries, every other row tagCount * tagCount.
// outTagIds receives one tag index per token.
int viterbiDecoderB1Fast(std::vector<std::vector<double>>& scoreMatrix, int tagCount, std::vector<int>& outTagIds);

#endif
