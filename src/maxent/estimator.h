// Weight estimation for ME_Model: the weights of the feature bag that
// maximise the conditional log-likelihood of the model's training instances,
// under a Gaussian (L2) or Laplacian (L1) penalty, with L-BFGS or OWL-QN.
// Library korvane_train; the tagger itself never links it.
#ifndef KORVANE_MAXENT_ESTIMATOR_H
#define KORVANE_MAXENT_ESTIMATOR_H

#include <functional>
#include <string>
#include <vector>

#include "maxent/me_model.h"

enum class ME_Penalty { kNone, kL2, kL1 };

// One line of progress, after every iteration.
struct ME_TrainProgress {
  int iteration = 0;
  int evaluations = 0;          // objective evaluations in this iteration
  double objective = 0.0;       // penalised negative log-likelihood (minimised)
  double log_likelihood = 0.0;  // of the training instances, frequency-weighted
  double gradient_norm = 0.0;
  double step = 0.0;
  int active_features = 0;      // weights that are not zero
  bool heldout_measured = false;
  double heldout_log_likelihood = 0.0;  // mean over model.heldout_samples
  double heldout_accuracy = 0.0;
};

// Writes one progress line to stderr; always lets the training go on.
bool ME_printTrainProgress(const ME_TrainProgress& p);

struct ME_TrainOptions {
  ME_Penalty penalty = ME_Penalty::kL2;
  // L2: the c of (c/2)·Σw², i.e. 1/σ² of a Gaussian prior.  L1: the c of c·Σ|w|.
  // The log-likelihood is a sum over instances, so c is per data set, not per instance.
  double strength = 1.0;
  int max_iterations = 300;
  // Converged when |gradient| < epsilon · max(1, |w|) ...
  double epsilon = 1e-5;
  // ... or when the objective fell by less than delta (relative) over `past` iterations (0: test off).
  int past = 10;
  double delta = 1e-5;
  int threads = 2;  // for the gradient, over the instances
  // With held-out instances: stop when the held-out log-likelihood has not
  // improved for this many iterations and keep the best weights (0: never stop early).
  int heldout_patience = 0;
  // Called after every iteration; returning false stops the training with the
  // current weights. Empty: nothing reported.
  std::function<bool(const ME_TrainProgress&)> progress = ME_printTrainProgress;
};

struct ME_TrainReport {
  int iterations = 0;
  int status = 0;        // liblbfgs's code
  std::string message;   // why the optimiser stopped
  double objective = 0.0;
  double log_likelihood = 0.0;
  bool stopped_early = false;  // by the held-out check or by the progress callback
};

// Sets model.weights (one per feature of model.feature_bag, starting from the
// weights it has) and rebuilds the row tables. Call after add_training_sample
// and make_feature_bag; label_count is made to cover every label. Returns
// false, with an "Error: ..." message and the weights unchanged, when the
// optimiser could not start or produced no finite weights.
bool ME_trainWeights(ME_Model& model, const ME_TrainOptions& options, ME_TrainReport* report = nullptr);

// Penalised negative log-likelihood of the training instances at `weights`
// and its gradient (the L1 term is included here, its gradient is not).
// Needs current row tables; for checking the estimator.
double ME_trainObjective(const ME_Model& model, const ME_TrainOptions& options, const std::vector<double>& weights,
                         std::vector<double>& gradient);

#endif
