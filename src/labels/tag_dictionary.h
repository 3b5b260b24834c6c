// The tag dictionary: which tags each training word was seen with.
#ifndef KORVANE_LABELS_TAG_DICTIONARY_H
#define KORVANE_LABELS_TAG_DICTIONARY_H

#include <string>
#include <vector>

#include "labels/mini_string_bag.h"

// Lines of only blanks and tabs name no word and are skipped, so that entry
// k of wordTagBags stays the tag set of word id k; an empty line ends the file.
void LoadCliqueLabelDict(char* path, CMiniStringBag& wordBag, std::vector<CMiniStringBag>& wordTagBags);
// False (with an "Error: ..." message naming the file) when the training file
// cannot be read or the dictionary cannot be written. Tokens whose word field
// is empty are left out: the file format cannot hold an empty word.
bool buildCliqueLabelDict(char* trainPath, char* dictPath, int wordColumn);
// False when the file cannot be opened (blocks are then empty).
bool Load2DimDataFromCRF(char* path, int column, std::vector<std::vector<std::string>>& blocks);

#endif
