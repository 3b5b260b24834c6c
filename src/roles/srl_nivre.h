// Transition-based role labelling: a stack of token rows, the next input row
// and eight actions chosen by the model, one at a time, for every predicate.
//
// Action labels: the first character names the action; the role of the
// actions that carry one is the label from its third character on.
//   '0' push next                      '1' pop
//   '2' top gets head next, role; pop  '3' next gets head top, role; push next
//   '4' next gets head -2, role "_"    '5' next gets head -1, "ROOT"; push next
//   '6' next gets head -1, role; push  '7' top gets head -1, role; pop
// Every action that reads `next` also advances it.
#ifndef KORVANE_ROLES_SRL_NIVRE_H
#define KORVANE_ROLES_SRL_NIVRE_H

#include <string>
#include <vector>

#include "features/token_table.h"
#include "roles/srl_sentence.h"

// Applies one action. Result: the new next for '0', the stack size after the
// action for '1'-'7', 1 for a label naming no action (nothing changes), -1
// when the action cannot apply (an empty stack for '1', '2', '3', '7'; a
// stack top or next outside `arcs` for an action that writes its entry) and
// nothing changes.
int classDPNivreSRL(std::string action, std::vector<_dppair>& arcs, std::vector<int>& stack, int& next);

// Labels every marked predicate of every sentence with the transition system.
// After the last predicate of a sentence, rows no action reached (head still
// below -1023) get head -2 and role "_" for finishMode 0; for finishMode 1
// the first of them gets head -1 and "ROOT"; other modes leave them (written
// as -1023). A chosen label that cannot apply in the current state (an empty
// stack for '1', '2', '3', '7', or a label naming no action) is replaced by
// the most probable label that can; when none can, the predicate's labelling
// ends there. 1 after the whole input, -1 when a file cannot be opened.
// One sentence (s.rows in the driver layout) as ME_TestSRLMultiNivre labels
// it, the lists finished with finishMode; false when the column check fires.
bool srlLabelNivre(SrlModel& m, SrlSentence& s, int finishMode);

int ME_TestSRLMultiNivre(char* templatePath, char* modelPath, char* inputPath, char* outputPath, int finishMode);

#endif
