// The tag dictionary: which tags each training word was seen with.
#ifndef KORVANE_LABELS_TAG_DICTIONARY_H
#define KORVANE_LABELS_TAG_DICTIONARY_H

#include <string>
#include <vector>

#include "labels/mini_string_bag.h"

void LoadCliqueLabelDict(char* path, CMiniStringBag& wordBag, std::vector<CMiniStringBag>& wordTagBags);
void buildCliqueLabelDict(char* trainPath, char* dictPath, int wordColumn);
void Load2DimDataFromCRF(char* path, int column, std::vector<std::vector<std::string>>& blocks);

#endif
