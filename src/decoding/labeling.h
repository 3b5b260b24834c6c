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
// Also -1, with an "Error: ..." message and one empty tag per row in outTags,
// when the sentence cannot be tagged: a labelOrder other than 0, 1 or 2, or
// no tags at all (a model without labels).
int labelSeqIt(TokenTable& sentence, std::vector<std::string>& tagList, std::vector<std::string>& outTags,
               int labelOrder, CMiniStringBag& wordBag, int wordColumn, std::vector<CMiniStringBag>& wordTagBags,
               std::vector<CMiniStringBag>& legalTable, std::vector<_ftnind>& templates,
               std::vector<int>& templateOrder, ME_Model& model);

// One classification made while labelling a sentence.
struct LabelTraceEntry {
  int position = 0;                   // the focus token
  std::vector<std::string> history;   // slot 0 the tag assumed for the previous token
  std::vector<std::string> features;  // the sample's feature strings, in template order
};

// What labelSeqItTraced saw on its way to the tags.
struct LabelTrace {
  std::vector<std::vector<std::string>> candidates;  // boundary lists, then one list per token
  std::vector<LabelTraceEntry> classifications;      // in the order they were made
  std::vector<std::vector<double>> costs;            // the matrix handed to the decoder
  std::string decoder;                               // name of the decoder called
};

// labelSeqIt that also fills *trace (when not null); the tags are the same.
int labelSeqItTraced(TokenTable& sentence, std::vector<std::string>& tagList, std::vector<std::string>& outTags,
                     int labelOrder, CMiniStringBag& wordBag, int wordColumn,
                     std::vector<CMiniStringBag>& wordTagBags, std::vector<CMiniStringBag>& legalTable,
                     std::vector<_ftnind>& templates, std::vector<int>& templateOrder, ME_Model& model,
                     LabelTrace* trace);

// Enumerates the histories of the labelOrder tokens before `position`
// depth-first (farthest slowest) and, for each, classifies the features and
// appends the probabilities of the focus token's candidates to scoreRow.
// Always returns 1. `trace`, when not null, receives every classification.
int FeatureGenLabelTest(TokenTable& sentence, std::vector<std::vector<std::string>>& candidates,
                        std::vector<std::string>& tagList, std::vector<int> templateOrder,
                        std::vector<_ftnind>& templates, std::vector<int>& stack, std::vector<_dppair>& arcs,
                        std::vector<std::vector<_dppair>>& argumentLists, std::vector<int>& predicateRows,
                        std::vector<_dppair>& extraArcs, int observationCount, int templateCount, int labelOrder,
                        int tokenCount, int position, std::vector<std::string>& history, int depth,
                        ME_Model& model, ME_Sample& sample, std::vector<double>& scoreRow,
                        std::vector<LabelTraceEntry>* trace = nullptr);

// Appends probs[i] to out for every tagList[i] that is in candidateList, in
// tagList order (0 where probs is too short); empties out first when clear.
void matchVector(std::vector<double>& probs, std::vector<double>& out, std::vector<std::string>& tagList,
                 std::vector<std::string>& candidateList, bool clear);

#endif
