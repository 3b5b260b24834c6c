// Classification of parser states through a hash index of the model's
// weights: the same probabilities, bit for bit, and the same chosen label as
// ME_Model::classify, without its ordered-map look-ups.
#ifndef KORVANE_PARSING_PARSER_SCORER_H
#define KORVANE_PARSING_PARSER_SCORER_H

#include <memory>
#include <string>
#include <vector>

#include "maxent/me_model.h"

class FastWeightIndex;

class ParserScorer {
 public:
  // The model must outlive the scorer and keep its weights.
  explicit ParserScorer(const ME_Model& model);
  // A scorer for another thread: it shares the model and the index, and has
  // buffers of its own.
  ParserScorer(const ParserScorer& other);
  ~ParserScorer();
  ParserScorer& operator=(const ParserScorer&) = delete;

  // probs: one probability per label; sample.label_str: the chosen label
  // (empty for a model without labels). Returns the chosen label id, -1
  // without labels.
  int classify(ME_Sample& sample, std::vector<double>& probs);

  // scores: one raw score per label, the sum of the weights of the sample's
  // features (the logarithm of classify's probability up to a constant).
  void scores(ME_Sample& sample, std::vector<double>& scores);

  int labelCount() const { return model_.label_count > 0 ? model_.label_count : 0; }

 private:
  // Adds the weights of the sample's indicator features through the index.
  void addIndexedWeights(const ME_Sample& sample, double* scores);

  const ME_Model& model_;
  std::shared_ptr<const FastWeightIndex> index_;  // null: the model's own classification
  std::vector<int> runs_;
  std::vector<double> score_;
};

#endif
