// Tagging one sentence: candidates, histories, features, score matrix, decoding.
#ifndef KORVANE_DECODING_LABELING_H
#define KORVANE_DECODING_LABELING_H

#include <string>
#include <vector>

#include "features/token_table.h"
#include "labels/mini_string_bag.h"
#include "maxent/me_model.h"
#include "templates/template_types.h"

// 1 when tagged (outTags gets one tag per row), -1 for an empty sentence.
int labelSeqIt(TokenTable& sentence, std::vector<std::string>& tagList, std::vector<std::string>& outTags,
               int labelOrder, CMiniStringBag& wordBag, int wordColumn, std::vector<CMiniStringBag>& wordTagBags,
               std::vector<CMiniStringBag>& legalTable, std::vector<_ftnind>& templates,
               std::vector<int>& templateOrder, ME_Model& model);

#endif
