// Sentence labelling for long runs: the same tags as labelSeqIt, computed
// without rebuilding every feature string for every history.
//
// Per token, the observation features (templates that read no earlier label)
// are generated and looked up once; the label features are looked up once
// per value of the earlier tags they read. Every classification then adds
// exactly the weights labelSeqIt's classification adds, in the same order
// (the sample's features from last to first, each feature's labels from the
// highest id down), and normalises the same way, so every probability, every
// cost and therefore every tag is bit-for-bit the one labelSeqIt produces.
#ifndef KORVANE_DECODING_FAST_LABELING_H
#define KORVANE_DECODING_FAST_LABELING_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "features/token_table.h"
#include "labels/mini_string_bag.h"
#include "maxent/me_model.h"
#include "templates/template_types.h"

// A loaded model's weights, read-only and independent of the model once
// built: one run of (label, weight) entries per feature name that carries a
// scored weight, its entries in the order classification adds them, and a
// hash index from the name's bytes to its run.
class FastWeightIndex {
 public:
  explicit FastWeightIndex(const ME_Model& model);

  int labelCount() const { return labelCount_; }
  size_t runCount() const { return runStart_.size() - 1; }
  size_t entryCount() const { return labels_.size(); }

  // Run of the feature name, -1 when the model scores nothing for it.
  int find(const char* name, size_t length) const;
  int find(const std::string& name) const { return find(name.data(), name.size()); }

  // score[label] += weight for every entry of run r, in classification order.
  void addRun(int r, double* score) const {
    const uint32_t end = runStart_[r + 1];
    for (uint32_t j = runStart_[r]; j < end; ++j) score[labels_[j]] += weights_[j];
  }
  uint32_t runBegin(int r) const { return runStart_[r]; }
  uint32_t runEnd(int r) const { return runStart_[r + 1]; }
  const uint8_t* labels() const { return labels_.data(); }
  const double* weights() const { return weights_.data(); }

 private:
  int labelCount_ = 0;
  std::vector<uint32_t> runStart_;  // runCount() + 1 entries
  std::vector<uint8_t> labels_;
  std::vector<double> weights_;
  std::vector<char> names_;          // the names' bytes, run after run
  std::vector<uint32_t> nameStart_;  // runCount() + 1 entries
  std::vector<uint64_t> slots_;      // open addressing: hash bits above, run + 1 below; 0 is empty
  uint64_t mask_ = 0;
};

// Hash of a feature name as FastWeightIndex uses it.
uint64_t fastNameHash(const char* s, size_t n);

// The exponentials of classification for one score array of n labels:
// probs[j] receives exp(score[j] - shift) as classification computes it
// (including its fallback when every exponential underflows); returns the sum
// by which classification divides, accumulated from the highest label down.
// n >= 1.
double fastExponentials(const double* score, int n, double* probs);

struct FastLabelTables;

// Tags sentences as labelSeqIt does with the same arguments. Building one
// copies what it needs: afterwards the model, the templates, the tag list and
// the dictionary may change or go away. Copies share the read-only tables
// and have their own buffers and templates (the feature generator writes into
// the template it evaluates), so each thread tags with a copy of its own.
class FastLabeler {
 public:
  FastLabeler(const ME_Model& model, const std::vector<_ftnind>& templates, const std::vector<int>& templateOrder,
              int labelOrder, const std::vector<std::string>& tagList, const CMiniStringBag& wordBag,
              const std::vector<CMiniStringBag>& wordTagBags, const std::vector<CMiniStringBag>& legalTable,
              int wordColumn = 1);
  FastLabeler(const FastLabeler& other);
  FastLabeler& operator=(const FastLabeler&) = delete;
  ~FastLabeler();

  // False when the model classifies with a reference model, which this path
  // does not reproduce; label() then fails and labelSeqIt must be used.
  bool supported() const;

  // labelSeqIt's result, tags and messages: 1 and one tag per row; -1 with
  // outTags untouched for an empty sentence; -1 with a message and one empty
  // tag per row when it cannot tag.
  int label(TokenTable& sentence, std::vector<std::string>& outTags);

  const FastWeightIndex& weights() const;

  // The cost matrix handed to the decoder for the last sentence tagged.
  const std::vector<std::vector<double>>& lastCosts() const { return costs_; }

 private:
  void observationRuns(TokenTable& sentence, int position);
  void labelFeatureRuns(TokenTable& sentence, int position);
  void scoreToken(int position);
  const std::string& historyTag(int position, int index) const;
  int candidateCount(int position) const;

  std::shared_ptr<const FastLabelTables> tables_;
  std::vector<_ftnind> templates_;
  std::vector<CMiniStringBag> legalTable_;  // the decoders take it non-const

  // Per sentence.
  int tokenCount_ = 0;
  std::vector<const std::vector<int>*> candidates_;  // tag indices per token
  std::vector<std::vector<double>> costs_;
  std::vector<std::vector<std::string>> candidateTags_;
  std::vector<int> tagIds_;

  // Per token.
  std::vector<int> obsRuns_;
  std::vector<uint8_t> obsLabels_;
  std::vector<double> obsWeights_;
  // Per label template: its run for each value of the earlier tags it reads,
  // at i1 * stride1 + i0 * stride0 for the candidates i1 of the token two
  // back and i0 of the previous one (a stride is 0 for a tag not read).
  std::vector<std::vector<int>> labelRuns_;
  std::vector<int> stride0_, stride1_;

  // Per classification.
  std::vector<double> score_;
  std::vector<double> exps_;

  // Scratch.
  std::vector<int> noStack_;
  std::vector<_dppair> noArcs_, noExtraArcs_;
  std::vector<std::vector<_dppair>> noArgumentLists_;
  std::vector<int> noPredicateRows_;
  std::string value_, key_, labelPart_;
};

#endif
