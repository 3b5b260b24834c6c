// Beam search over arc-eager transition sequences: the width best partial
// parses are kept at every step, scored by the sum of the log-probabilities
// of their actions, and the best complete parse wins. Width 1 is a greedy
// parse that respects the classic preconditions.
#ifndef KORVANE_PARSING_BEAM_SEARCH_H
#define KORVANE_PARSING_BEAM_SEARCH_H

#include <string>
#include <vector>

#include "features/token_table.h"
#include "maxent/me_model.h"
#include "templates/template_types.h"

class ParserScorer;

// What a beam parse reads: the model's labels and scorer, the templates and
// the sentence's predicate information as the drivers load it.
struct BeamInputs {
  ParserScorer& scorer;
  const std::vector<std::string>& tags;
  std::vector<_ftnind>& templates;
  const std::vector<int>& templateOrder;
  std::vector<std::vector<_dppair>>& argumentLists;
  std::vector<int>& predicateRows;
  std::vector<_dppair>& extraArcs;
  ME_Sample& sample;
  // Score a sequence by the sum of its actions' raw scores (a model trained
  // globally, see trainGlobalParser) instead of their log-probabilities.
  bool sumScores = false;
};

// The classic preconditions: a shift always, a reduce only of a stack top
// with a head, a left arc only onto one without, a right arc with a stack.
bool beamActionAllowed(const std::string& label, const std::vector<_dppair>& arcs, const std::vector<int>& stack);
// Where the drivers stop: the input is used up, or all but one of the n
// tokens are attached.
bool beamStateEnded(const std::vector<_dppair>& arcs, int next, int n, bool inverse);

// Parses rows (at least one) into arcs: one entry per row, tokens left
// without a head become roots (head -1, "ROOT"). Actions follow the classic
// preconditions: reduce only a stack top with a head, a left arc only onto
// one without. A sequence ends where the drivers stop (input used up, or all
// but one token attached); ended sequences stay in the beam unchanged until
// all have ended.
void beamParse(BeamInputs& in, TokenTable& rows, bool inverse, int width, std::vector<_dppair>& arcs);

#endif
