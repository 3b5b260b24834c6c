// State of one sentence in a role-labelling run, the loaded model and
// templates that the drivers share, and the one-question step they all use.
#ifndef KORVANE_ROLES_SRL_SENTENCE_H
#define KORVANE_ROLES_SRL_SENTENCE_H

#include <functional>
#include <string>
#include <vector>

#include "features/token_table.h"
#include "maxent/me_model.h"
#include "templates/template_types.h"

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

// A model with its labels and templates, as the drivers use it.
struct SrlModel {
  ME_Model model;
  std::vector<std::string> tags;  // model labels in id order
  std::vector<_ftnind> templates;
  std::vector<int> templateOrder;
  int labelOrder = 0;
  // When set, answers every question instead of the model: it sees the
  // sentence state (stack, focus position, lists) with s.sample holding the
  // question's features and writes the label (gold replays for training,
  // tests). s.probs is then left empty.
  std::function<void(SrlSentence& s, int position, std::string& label)> choose;
};

// Loads the model (it must hold a label) and the templates (no name twice).
// false after an "Error: ..." message. Labelling outside the file drivers
// must clear _trainFlag itself.
bool loadSrlModel(SrlModel& m, char* templatePath, char* modelPath);

// Asks the model about row `token` (the stack) at focus `position`; the
// chosen label goes to `label`, its probabilities to s.probs. false when the
// feature column check fires.
bool askModel(SrlModel& m, SrlSentence& s, int token, int position, std::string& label);

// Builds the features of the current stack and focus and classifies them.
bool classifyState(SrlModel& m, SrlSentence& s, int& position, std::string& label);

// Every row's columns, then one role pair per list of `lists`, a line feed;
// an empty line after the sentence.
void writeRoleRows(const SrlSentence& s, const std::vector<std::vector<_dppair>>& lists, std::string& out);

#endif
