// State of one sentence in a role-labelling run and the one-question step
// shared by the drivers.
#ifndef KORVANE_ROLES_SRL_SENTENCE_H
#define KORVANE_ROLES_SRL_SENTENCE_H

#include <string>
#include <vector>

#include "features/token_table.h"
#include "maxent/me_model.h"
#include "roles/srl_run.h"

struct SrlSentence {
  TokenTable rows;
  std::vector<int> rowLines;                      // input line of every row
  std::vector<_dppair> extraArcs;                 // the syntactic tree
  std::vector<std::vector<_dppair>> gold;         // role columns of the input (unused)
  std::vector<std::vector<_dppair>> argumentLists;  // finished lists, one per predicate so far
  std::vector<int> predicateRows;
  std::vector<_dppair> arcs;  // list of the predicate being labelled
  std::vector<int> stack;
  ME_Sample sample;
  std::vector<double> probs;  // of the last question
  std::string text;           // output of the sentence
};

// Asks the model about row `token` (the stack) at focus `position`; the
// chosen label goes to `label`, its probabilities to s.probs. false when the
// feature column check fires.
bool askModel(SrlRun& run, SrlSentence& s, int token, int position, std::string& label);

// Builds the features of the current stack and focus and classifies them.
bool classifyState(SrlRun& run, SrlSentence& s, int& position, std::string& label);

// Every row's columns, then one role pair per list of `lists`, a line feed;
// an empty line after the sentence.
void writeRoleRows(const SrlSentence& s, const std::vector<std::vector<_dppair>>& lists, std::string& out);

#endif
