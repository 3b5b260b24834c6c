// Sentence labelling for long runs: the same tags as labelSeqIt, computed
// without rebuilding every feature string for every history.
//
// Per token, the observation features (templates that read no earlier label)
// are generated and looked up once; the label features are looked up once
// per value of the earlier tags they read. Every classification made adds
// exactly the weights labelSeqIt's classification adds, in the same order
// (the sample's features from last to first, each feature's labels from the
// highest id down), and normalises the same way, so every probability and
// cost it computes is bit-for-bit labelSeqIt's; classifications that cannot
// change the tags are skipped (see FastLabeler).
#ifndef KORVANE_DECODING_FAST_LABELING_H
#define KORVANE_DECODING_FAST_LABELING_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "decoding/block_viterbi.h"
#include "features/lexicons.h"
#include "features/token_table.h"
#include "labels/mini_string_bag.h"
#include "maxent/me_model.h"
#include "templates/template_types.h"

// A loaded model's weights, read-only and independent of the model once
// built: one run of (label, weight) entries per feature name that carries a
// scored weight, its entries in the order classification adds them, and a
// hash index from the name's bytes to its run. A run is one record (name,
// weights, labels) so that a lookup and the scoring touch few cache lines.
class FastWeightIndex {
 public:
  explicit FastWeightIndex(const ME_Model& model);

  // False when the model is too large for the index's 32-bit handles.
  bool complete() const { return complete_; }
  int labelCount() const { return labelCount_; }
  size_t runCount() const { return runCount_; }

  // Run of the feature name, -1 when the model scores nothing for it.
  int find(const char* name, size_t length) const;
  int find(const std::string& name) const { return find(name.data(), name.size()); }
  // runs[i] = find(names[i]) for i < count; overlaps the memory accesses.
  void findMany(const std::string* names, size_t count, int* runs) const;

  struct Run {
    const double* weights;
    const uint8_t* labels;
    uint32_t size;
  };
  Run run(int r) const {
    const uint64_t head = blob_[r];
    const uint32_t nameWords = (static_cast<uint32_t>(head) + 7) / 8;
    const uint32_t size = static_cast<uint32_t>(head >> 32);
    const double* w = reinterpret_cast<const double*>(blob_.data() + r + 2 + nameWords);
    return Run{w, reinterpret_cast<const uint8_t*>(w + size), size};
  }
  // The largest magnitude of run r's weights.
  double largest(int r) const {
    double v;
    std::memcpy(&v, &blob_[r + 1], sizeof v);
    return v;
  }
  // score[label] += weight for every entry of run r, in classification order.
  void addRun(int r, double* score) const {
    const Run e = run(r);
    for (uint32_t j = 0; j < e.size; ++j) score[e.labels[j]] += e.weights[j];
  }

 private:
  bool matches(int r, const char* name, size_t length) const;

  bool complete_ = true;
  int labelCount_ = 0;
  size_t runCount_ = 0;
  // Records in 8-byte words: (name length | entry count << 32), the largest
  // weight magnitude, the name's bytes, the weights, the labels. Word 0 is
  // unused, so no run is 0.
  std::vector<uint64_t> blob_;
  std::vector<uint64_t> slots_;  // open addressing: hash bits above, run below; 0 is empty
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
// the template it evaluates), so each thread tags with a copy of its own,
// made before the threads start.
//
// A labeler for a model with a reference model cannot tag (supported() is
// false): the tagging run never has one.
//
// Without a legal table (the tagging run never loads one), classifications
// that cannot matter are skipped. First the greedy path
// (each token's cheapest candidate after the greedy choices before it) is
// classified; its cost bounds that of the best path. Then every cost gets a
// cheap lower bound from the scores alone (no exponentials), and an entry
// whose every path costs more than the greedy one by those bounds gets an
// infinite cost instead of its own. The decoders pick
// the cheapest path by strict comparisons, first index winning ties, so no
// such entry can be on their path or tie with it, and raising its cost
// changes no choice they make along it: the tags are labelSeqIt's. Every
// finite cost is bit-for-bit labelSeqIt's; blockViterbi makes the decoders'
// choice visiting only the classified histories.
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
  // does not reproduce, or is too large for the index; label() then fails
  // and labelSeqIt must be used.
  bool supported() const;

  // labelSeqIt's result, tags and messages: 1 and one tag per row; -1 with
  // outTags untouched for an empty sentence; -1 with a message and one empty
  // tag per row when it cannot tag.
  int label(TokenTable& sentence, std::vector<std::string>& outTags);
  // The same as positions in tagList() (-1 where label() gives an empty tag).
  int labelIds(TokenTable& sentence, std::vector<int>& tagIds);
  const std::vector<std::string>& tagList() const;

  // Whether costs that cannot matter are skipped (on by default). Off, every
  // cost of the matrix is labelSeqIt's.
  void setSkipping(bool on) { skipping_ = on; }
  // Sentences of at least fromTokens tokens (by default all) are decoded
  // piece by piece, the pieces at least minPiece tokens long where the
  // sentence allows (by default as short as it allows): the same tags, with
  // per-token state for one piece and tighter bounds for skipping (they
  // hold per piece). lastCosts() then describes the first piece only.
  void setPieces(int fromTokens, int minPiece = 1) {
    piecesFrom_ = fromTokens;
    minPiece_ = minPiece < 1 ? 1 : minPiece;
  }

  // Ranges (a piece, or the whole sentence) whose cost matrix would hold at
  // least `entries` costs are decoded streaming: every history is
  // classified (no skipping), each token's costs when the backward pass
  // reaches it, and only the choices along the way are kept, so a long run
  // of words with many candidates takes a few small arrays per token, not
  // its whole matrix. The same tags; lastCosts() is then empty.
  static constexpr size_t kStreamingFrom = size_t{1} << 24;
  void setStreamingFrom(size_t entries) { streamingFrom_ = entries < 1 ? 1 : entries; }

  // Distinct words whose features are kept (per labeler) before the store
  // starts afresh.
  void setWordCacheLimit(size_t words) { wordCacheLimit_ = words < 1 ? 1 : words; }

  const FastWeightIndex& weights() const;

  // The cost matrix of the last sentence tagged, as labelSeqIt hands it to
  // its decoder, with +inf for every cost that was skipped.
  std::vector<std::vector<double>> lastCosts() const;
  // Classifications made for the last sentence.
  size_t lastClassifications() const { return classifications_; }

 private:
  struct Token {
    int candidates = 0;  // |C(k)|
    int previous = 1;    // |C(k-1)|, 1 when labelOrder < 1 (the stride of the two-back index)
    int histories = 1;   // |C(k-2)| * |C(k-1)| as far as labelOrder reaches
    size_t obsBegin = 0, obsEnd = 0;  // observation runs in obsRuns_
    size_t labelBegin = 0;            // its tables in labelTables_, one per label template
  };
  struct LabelTable {
    bool global = false;  // runs from the template's table by tag
    size_t begin = 0;     // otherwise in labelRuns_, looked up on first use
    int stride0 = 0, stride1 = 0;
    size_t key = 0;  // the feature's bytes before the label part, in baseKeys_
  };

  void observationRuns(TokenTable& sentence, int position);
  long long wordEntry(TokenTable& sentence, int row);
  void labelFeatureRuns(TokenTable& sentence, int position);
  int labelRun(int position, int history, size_t labelTemplate);
  void computeScore(int position, int history, double* score);
  void classifyHistory(int position, int history);
  void classifyInto(int position, int history, double* row);
  size_t rangeEntries(int a, int b) const;
  bool decodeStreaming(TokenTable& sentence, int a, int b, BlockViterbiPiece& piece, std::vector<int>& tagIds);
  double chosenPathCost() const;
  double greedyPathCost();
  double beamPathCost(int width);
  int decodeWithLegalTable(TokenTable& sentence, std::vector<int>& tagIds);
  void boundedPasses(double threshold);
  void historyBounds(int k, int h, double* out);
  void prepareRange(TokenTable& sentence, int a, int b, bool blocks = true);
  void computeCosts(double beyond);
  bool labelInPieces(TokenTable& sentence, std::vector<int>& tagIds);
  void releasePieceState();
  const std::string& historyTag(int position, int index) const;
  int candidateCount(int position) const;

  std::shared_ptr<const FastLabelTables> tables_;
  std::vector<_ftnind> templates_;
  std::vector<CMiniStringBag> legalTable_;  // the decoders take it non-const
  bool skipping_ = true;
  int piecesFrom_ = 1, minPiece_ = 1;
  size_t streamingFrom_ = kStreamingFrom;

  // Per sentence.
  int tokenCount_ = 0;
  int base_ = 0, count_ = 0;  // the tokens with state: [base_, base_ + count_)
  size_t classifications_ = 0;
  std::vector<const std::vector<int>*> candidates_;  // tag indices per token
  std::vector<Token> tokens_;
  std::vector<int> obsRuns_;            // per token, in the sample's order
  std::vector<LabelTable> labelTables_;
  // A label template's run for each value of the earlier tags it reads, at
  // i1 * stride1 + i0 * stride0 for the candidates i1 of the token two back
  // and i0 of the previous one (a stride is 0 for a tag not read).
  std::vector<int> labelRuns_;
  std::vector<std::string> baseKeys_;
  size_t keyCount_ = 0;
  CostBlocks costs_;                         // blocks of the classified histories
  std::vector<std::vector<char>> bounded_;   // per token and history: in reach of the forward pass
  std::vector<double> rowBounds_;            // one history's bounds
  int obsToken_ = -1;                        // the token whose observation sum obsScore_ holds
  double obsMagnitude_ = 0.0;
  std::vector<std::vector<double>> prefix_;  // per token and history: bound of the tokens before
  std::vector<double> suffix_, suffixNext_;
  std::vector<int> greedy_, path_, ids_;
  BlockViterbiWork viterbi_;
  StreamingViterbiWork streaming_;

  // Scratch.
  std::vector<std::string> keys_;
  std::vector<int> found_, pending_, pendingRuns_;
  // Runs of the one-word observation templates per word (and first-row
  // flag) seen, so a frequent word's features are built once per labeler.
  std::unordered_map<std::string, size_t> wordCache_;
  std::vector<int> wordRuns_;
  std::string wordKey_;
  std::vector<long long> rowEntry_;  // per row of the sentence: its cache entry, -1 before the first look
  // The lexicons the cached values read.
  std::array<const void*, kLexiconKinds> wordCacheLexicons_{};
  size_t wordCacheLimit_ = size_t{1} << 16;
  std::vector<double> score_, obsScore_, exact_;
  std::vector<double> exps_;
  std::vector<int> noStack_;
  std::vector<_dppair> noArcs_, noExtraArcs_;
  std::vector<std::vector<_dppair>> noArgumentLists_;
  std::vector<int> noPredicateRows_;
  std::string value_, key_;
};

#endif
