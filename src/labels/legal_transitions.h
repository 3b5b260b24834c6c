// Legal start, end and label-to-label transitions.
#ifndef KORVANE_LABELS_LEGAL_TRANSITIONS_H
#define KORVANE_LABELS_LEGAL_TRANSITIONS_H

#include <string>
#include <vector>

#include "labels/mini_string_bag.h"

// Table slots: 0 start set, 1 end set, 2 transitions ("a b"), 3 spare.
bool LoadLegalTagTrans(char* path, std::vector<CMiniStringBag>& table);
// (label, "") start test, ("", label) end test, (a, b) transition test.
// False for a table of fewer than three bags.
bool IsLegalSequence(std::string& first, std::string& second, std::vector<CMiniStringBag>& table);
// False (with an "Error: ..." message naming the file) when the training file
// cannot be read or the output cannot be written.
bool buildLegalSeqTrans(char* trainPath, char* outPath);

#endif
