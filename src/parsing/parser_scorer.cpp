#include "parsing/parser_scorer.h"

#include "decoding/fast_labeling.h"

ParserScorer::ParserScorer(const ME_Model& model) : model_(model) {
  // A reference model changes the probabilities in a way the index does not
  // reproduce; such a model (and one too large for the index) is classified
  // by the model itself.
  if (model.reference_model != nullptr || model.label_count <= 0) return;
  std::shared_ptr<FastWeightIndex> index(new FastWeightIndex(model));
  if (index->complete()) index_ = index;
}

ParserScorer::ParserScorer(const ParserScorer& other) : model_(other.model_), index_(other.index_) {}

ParserScorer::~ParserScorer() = default;

int ParserScorer::classify(ME_Sample& sample, std::vector<double>& probs) {
  if (index_ == nullptr || !sample.valued_feature_strs.empty()) {
    probs = model_.classify(sample);
    return model_.get_class_id(sample.label_str);
  }
  const int n = labelCount();
  score_.assign(static_cast<size_t>(n), 0.0);
  addIndexedWeights(sample, score_.data());
  probs.resize(static_cast<size_t>(n));
  const double sum = fastExponentials(score_.data(), n, probs.data());
  int best = 0;
  double bestValue = 0.0;
  for (int j = 0; j < n; ++j) {
    probs[j] /= sum;
    if (probs[j] > bestValue) {
      bestValue = probs[j];
      best = j;
    }
  }
  sample.label_str = model_.labels.names[static_cast<size_t>(best)];
  return best;
}

void ParserScorer::scores(ME_Sample& sample, std::vector<double>& scores) {
  const int n = labelCount();
  scores.assign(static_cast<size_t>(n), 0.0);
  if (index_ == nullptr || !sample.valued_feature_strs.empty()) {
    auto add = [&](const std::string& name, double value) {
      const int id = model_.feature_names.Id(name);
      if (id < 0) return;
      for (int label = 0; label < n; ++label) {
        const int key = model_.feature_bag.Id(ME_Model::ME_Feature(label, id));
        if (key >= 0) scores[static_cast<size_t>(label)] += model_.weights[static_cast<size_t>(key)] * value;
      }
    };
    for (const std::string& name : sample.feature_strs) add(name, 1.0);
    for (const auto& valued : sample.valued_feature_strs) add(valued.first, valued.second);
    return;
  }
  addIndexedWeights(sample, scores.data());
}

void ParserScorer::addIndexedWeights(const ME_Sample& sample, double* scores) {
  const size_t count = sample.feature_strs.size();
  runs_.resize(count);
  if (count > 0) index_->findMany(sample.feature_strs.data(), count, runs_.data());
  // Features from the last to the first, as the model adds them.
  for (size_t i = count; i-- > 0;)
    if (runs_[i] >= 0) index_->addRun(runs_[i], scores);
}
