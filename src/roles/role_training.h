// Training a role model from a CoNLL-U file with role annotation: one sample
// per question the chosen driver asks (see roles/srl_questions.h), then the
// weights by the estimator. Library korvane_roles_train: it links the
// estimator (liblbfgs), which the role-labelling library does not.
#ifndef KORVANE_ROLES_ROLE_TRAINING_H
#define KORVANE_ROLES_ROLE_TRAINING_H

#include <string>

#include "maxent/estimator.h"
#include "maxent/me_model.h"
#include "roles/srl_questions.h"

namespace roles {

struct TrainSettings {
  std::string trainPath;
  std::string trainName;  // the training file as messages name it; trainPath when empty
  std::string templatePath;
  std::string propbank;  // predicate dictionaries for the recommendation features; empty: none
  std::string nombank;
  Driver driver = Driver::kMulti;
  int cutoff = 2;  // (feature, label) pairs seen fewer times are dropped
  ME_TrainOptions options;
  bool quiet = false;  // no progress on stderr
};

struct TrainCounts {
  long sentences = 0;
  long predicates = 0;
  long samples = 0;
  long unreached = 0;  // sentences the transition oracle cannot rebuild, left out
  double sampleSeconds = 0, trainSeconds = 0;
  ME_TrainReport report;
};

// Adds the samples of every sentence of settings.trainPath to model. false
// with an "Error: ..." in error (empty when a loader printed its own).
bool collectRoleSamples(const TrainSettings& settings, ME_Model& model, TrainCounts& counts, std::string& error);

// Collects the samples, selects the features by the cutoff and estimates
// the weights; the model's training samples are dropped afterwards.
bool trainRoleModel(const TrainSettings& settings, ME_Model& model, TrainCounts& counts, std::string& error);

}  // namespace roles

#endif
