// Training a tagging model from a tagged file: samples from a template file,
// the feature bag, the weights. Library korvane_decoding_train: it links the
// weight estimator (liblbfgs), which the tagger itself never does.
#ifndef KORVANE_DECODING_TAGGER_TRAINING_H
#define KORVANE_DECODING_TAGGER_TRAINING_H

#include <string>

#include "maxent/estimator.h"
#include "maxent/me_model.h"

struct TaggerSampleCounts {
  size_t samples = 0;
  size_t heldoutSamples = 0;
  int heldoutLeftOut = 0;  // held-out tokens whose gold tag the model does not know
};

// Checks the template set (it must hold templates, repeat no name and read at
// most two labels back, or no decoder could tag with it), collects one sample
// per token of trainPath, builds the feature bag with the cutoff and, when
// heldoutPath is not empty, the held-out samples. False after an "Error: ...".
bool collectTaggerSamples(const std::string& templatePath, const std::string& trainPath,
                          const std::string& heldoutPath, int cutoff, ME_Model& model, TaggerSampleCounts& counts);

// Estimates the weights, drops the pairs whose weight the model file would
// print as 0.000000 (they read back as 0 and change no score) and the
// samples. False after an "Error: ...". dropped: the pairs left out.
bool estimateTaggerWeights(ME_Model& model, const ME_TrainOptions& options, ME_TrainReport& report, int& dropped);

#endif
