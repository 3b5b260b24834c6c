// Training samples for the tagger's model from a tagged column file: one
// sample per token, labelled with its gold tag, whose features have the form
// that labelSeqIt produces at tagging time when the history holds the gold tags.
#ifndef KORVANE_DECODING_LABEL_TRAINING_H
#define KORVANE_DECODING_LABEL_TRAINING_H

#include <functional>
#include <string>
#include <vector>

#include "features/token_table.h"
#include "maxent/me_model.h"
#include "templates/template_types.h"

// Adds the samples of every sentence that an empty line ends to the model.
// 1 after the whole file was read (an unopenable file reads as empty), -1 when
// strict and a template item addresses the last column (the gold tag) or
// beyond; samples added before that stay in the model.
int FeatureGenLabelTrain(char* templatePath, char* trainPath, ME_Model& model, bool strict);

// The same walk, handing each sample to `sink` instead of a model.
int FeatureGenLabelTrainSamples(char* templatePath, char* trainPath, bool strict,
                                const std::function<void(const ME_Sample&)>& sink);

// Label part of a template at `focus` from the gold tags (the last field of the
// first row's width): label item values joined by "/", every item counted, so a
// template led by a token item gets a part that starts with "/". Returns the
// number of items.
int FeatureTransGenTrain(TokenTable& sentence, std::vector<_ft>& items, int tokenCount, int focus, std::string& out);

#endif
