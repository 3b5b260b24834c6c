#include "decoding/fast_labeling.h"

#include "maxent/exponentials.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <unordered_map>

#include "decoding/viterbi.h"
#include "features/feature_generator.h"

namespace {

const int32_t kLabelItem = 0;
const int32_t kTokenItem = 4;
const int kNotLookedUp = -2;
// Pieces with this many tokens of many candidates get their skipping
// threshold from a beam of paths.
const int kManyCandidates = 8;
const int kBeamFromTokens = 16;
const int kThresholdBeam = 16;

// Whether a template's value depends only on the word of one row (and on
// whether that row is the sentence's first): every item reads the same row
// and column through the plain text or a word-shape or spelling function,
// with no navigation. row receives that row relative to the focus; column
// is the column all such templates must share (-1 until one is found).
bool readsOneWord(const _ftnind& tmpl, int& column, int& row) {
  if (tmpl.relation != "NULL" || tmpl.items.empty()) return false;
  bool first = true;
  for (const _ft& item : tmpl.items) {
    if (item.type == kLabelItem || item.type == 2 || item.arcSource != 0) return false;
    if (!isWordValueCode(item.valueFunction)) return false;
    for (const _subft& step : item.steps)
      if (step.code != item.valueFunction) return false;
    const long long r = static_cast<long long>(item.index) + item.offset;
    if (r < -1000000 || r > 1000000) return false;
    if (first) {
      row = static_cast<int>(r);
      first = false;
    } else if (r != row) {
      return false;
    }
    if (column >= 0 && item.column != column) return false;
  }
  column = tmpl.items.front().column;
  return true;
}

inline uint64_t load64(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

inline uint64_t mix64(uint64_t x) {
  x ^= x >> 32;
  x *= 0xd6e8feb86659fd93ULL;
  x ^= x >> 32;
  x *= 0xd6e8feb86659fd93ULL;
  x ^= x >> 32;
  return x;
}

}  // namespace

uint64_t fastNameHash(const char* s, size_t n) {
  const uint64_t k = 0x9e3779b97f4a7c15ULL;
  uint64_t h = n * k;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) h = (h ^ load64(s + i)) * k + (h >> 29);
  if (i < n) {
    uint64_t tail = 0;
    std::memcpy(&tail, s + i, n - i);
    h = (h ^ tail) * k + (h >> 29);
  }
  return mix64(h);
}

// ---------------------------------------------------------------- weights

FastWeightIndex::FastWeightIndex(const ME_Model& model) {
  labelCount_ = model.label_count > 0 ? model.label_count : 0;
  const int rows = model.row_offsets.empty() ? 0 : static_cast<int>(model.row_offsets.size()) - 1;
  const int* offsets = model.row_offsets.data();
  const int* entries = model.row_entries.data();
  const size_t keyCount = model.feature_bag.keys.size();
  const size_t weightCount = model.weights.size();

  // The names by id, so that the rows are read in order.
  std::vector<const std::string*> names(rows > 0 ? rows : 0, nullptr);
  bool byId = true;
  for (int f = 0; f < rows && byId; ++f) {
    if (offsets[f + 1] == offsets[f]) continue;
    names[f] = model.feature_names.NameOf(f);
    byId = names[f] != nullptr;
  }
  if (!byId) {
    std::fill(names.begin(), names.end(), nullptr);
    for (const auto& named : model.feature_names.ids)
      if (named.second >= 0 && named.second < rows) names[named.second] = &named.first;
  }

  // The records' size at most, so that the blob is never moved while growing.
  size_t words = 1, runs = 0;
  for (int f = 0; f < rows; ++f) {
    const size_t entryCount = static_cast<size_t>(offsets[f + 1] - offsets[f]);
    if (entryCount == 0 || names[f] == nullptr) continue;
    words += 2 + (names[f]->size() + 7) / 8 + entryCount + (entryCount + 7) / 8;
    ++runs;
  }
  blob_.reserve(words);
  blob_.push_back(0);
  std::vector<uint64_t> hashes;  // (hash bits | run) of every record
  hashes.reserve(runs);
  std::vector<uint8_t> labels;
  std::vector<double> weights;
  for (int f = 0; f < rows; ++f) {
    if (names[f] == nullptr) continue;
    labels.clear();
    weights.clear();
    // Highest row position first: the order in which classification adds.
    for (int j = offsets[f + 1] - 1; j >= offsets[f]; --j) {
      const int k = entries[j];
      if (k < 0 || static_cast<size_t>(k) >= keyCount || static_cast<size_t>(k) >= weightCount) continue;
      const int l = model.feature_bag.keys[k].label();
      if (l >= labelCount_) continue;
      labels.push_back(static_cast<uint8_t>(l));
      weights.push_back(model.weights[k]);
    }
    if (labels.empty()) continue;  // scores nothing: as good as unknown
    const std::string& name = *names[f];
    const size_t nameWords = (name.size() + 7) / 8, labelWords = (labels.size() + 7) / 8;
    const size_t at = blob_.size();
    if (at > static_cast<size_t>(INT32_MAX) || name.size() > UINT32_MAX) {
      complete_ = false;
      break;
    }
    blob_.resize(at + 2 + nameWords + weights.size() + labelWords, 0);
    blob_[at] = static_cast<uint64_t>(name.size()) | (static_cast<uint64_t>(labels.size()) << 32);
    double largest = 0.0;
    for (double w : weights) largest = std::max(largest, std::fabs(w));
    std::memcpy(&blob_[at + 1], &largest, sizeof largest);
    char* bytes = reinterpret_cast<char*>(blob_.data() + at + 2);
    std::memcpy(bytes, name.data(), name.size());
    std::memcpy(bytes + nameWords * 8, weights.data(), weights.size() * sizeof(double));
    std::memcpy(bytes + nameWords * 8 + weights.size() * sizeof(double), labels.data(), labels.size());
    hashes.push_back((fastNameHash(name.data(), name.size()) & 0xffffffff00000000ULL) | static_cast<uint64_t>(at));
  }
  runCount_ = hashes.size();

  size_t capacity = 16;
  while (capacity < 2 * runCount_) capacity *= 2;
  slots_.assign(capacity, 0);
  mask_ = capacity - 1;
  // In batches: fetch a batch's slots first, so that the cache misses overlap.
  // A slot's place comes from the hash bits it keeps (as in find).
  const size_t kBatch = 16;
  for (size_t base = 0; base < hashes.size(); base += kBatch) {
    const size_t n = std::min(kBatch, hashes.size() - base);
    for (size_t k = 0; k < n; ++k) __builtin_prefetch(&slots_[(hashes[base + k] >> 32) & mask_], 1);
    for (size_t k = 0; k < n; ++k) {
      size_t i = (hashes[base + k] >> 32) & mask_;
      while (slots_[i] != 0) i = (i + 1) & mask_;
      slots_[i] = hashes[base + k];
    }
  }
}

bool FastWeightIndex::matches(int r, const char* name, size_t length) const {
  return static_cast<uint32_t>(blob_[r]) == length &&
         std::memcmp(reinterpret_cast<const char*>(blob_.data() + r + 2), name, length) == 0;
}

int FastWeightIndex::find(const char* name, size_t length) const {
  const uint64_t h = fastNameHash(name, length);
  const uint64_t high = h & 0xffffffff00000000ULL;
  for (size_t i = (h >> 32) & mask_;; i = (i + 1) & mask_) {
    const uint64_t slot = slots_[i];
    if (slot == 0) return -1;
    if ((slot & 0xffffffff00000000ULL) != high) continue;
    const int r = static_cast<int>(static_cast<uint32_t>(slot));
    if (matches(r, name, length)) return r;
  }
}

void FastWeightIndex::findMany(const std::string* names, size_t count, int* runs) const {
  // Three passes, so that the cache misses of all names overlap: hash and
  // fetch the slots, take the first slot whose hash bits agree and fetch its
  // record, then confirm (a disagreement falls back to the whole probe).
  const size_t kChunk = 32;
  uint64_t hashes[kChunk];
  for (size_t base = 0; base < count; base += kChunk) {
    const size_t n = count - base < kChunk ? count - base : kChunk;
    for (size_t i = 0; i < n; ++i) {
      const std::string& s = names[base + i];
      hashes[i] = fastNameHash(s.data(), s.size());
      __builtin_prefetch(&slots_[(hashes[i] >> 32) & mask_]);
    }
    for (size_t i = 0; i < n; ++i) {
      const uint64_t high = hashes[i] & 0xffffffff00000000ULL;
      int r = -1;
      for (size_t j = (hashes[i] >> 32) & mask_;; j = (j + 1) & mask_) {
        const uint64_t slot = slots_[j];
        if (slot == 0) break;
        if ((slot & 0xffffffff00000000ULL) == high) {
          r = static_cast<int>(static_cast<uint32_t>(slot));
          __builtin_prefetch(&blob_[r]);
          break;
        }
      }
      runs[base + i] = r;
    }
    for (size_t i = 0; i < n; ++i) {
      const int r = runs[base + i];
      const std::string& s = names[base + i];
      if (r >= 0 && !matches(r, s.data(), s.size())) runs[base + i] = find(s);
    }
  }
}

double fastExponentials(const double* score, int n, double* probs) {
  return exponentiateScores(score, n, NoPrior{}, probs);
}

// ---------------------------------------------------------------- tables

namespace {

// A template whose feature reads earlier tags, in the sample's order.
struct LabelTemplate {
  int templateIndex = 0;
  std::string prefix;  // name + ":"
  bool hasTokenItem = false;
  bool readsSlot[2] = {false, false};
  bool hasLabelItems = false;
  int minOffset = 0, maxOffset = 0;  // over the label items
  // Without token items and with every label item inside the sentence, the
  // feature depends on the tags alone: its run for tag indices t1 (two back)
  // and t0 (previous) is at t1 * stride1 + t0 * stride0.
  std::vector<int> global;
  int globalStride0 = 0, globalStride1 = 0;
};

// Label part of a template's feature, as labelSeqIt composes it: label item
// values joined by "/", every item counted, so a leading token item leaves a
// leading "/". slot0 and slot1 are the assumed tags of the previous token and
// the one before it.
void appendLabelPart(const _ftnind& tmpl, int position, int tokenCount, int labelOrder, const std::string& slot0,
                     const std::string& slot1, std::string& out) {
  char buf[32];
  for (size_t k = 0; k < tmpl.items.size(); ++k) {
    const _ft& item = tmpl.items[k];
    if (item.type != kLabelItem) continue;
    const int q = position + item.offset;
    const char* value = "";
    if (q < 0) {
      std::snprintf(buf, sizeof buf, "_B%d", q);
      value = buf;
    } else if (q >= tokenCount) {
      std::snprintf(buf, sizeof buf, "_E-%d", q - tokenCount + 1);
      value = buf;
    } else {
      const int slot = -item.offset - 1;
      if (slot >= 0 && slot < labelOrder) value = slot == 0 ? slot0.c_str() : slot1.c_str();
    }
    if (k != 0) out += '/';
    out += value;
  }
}

}  // namespace

struct FastLabelTables {
  explicit FastLabelTables(const ME_Model& model) : index(model) {}

  FastWeightIndex index;
  bool supported = true;
  int labelOrder = 0;
  int wordColumn = 1;
  std::vector<std::string> tagList;
  std::vector<std::string> boundaryTags;  // entry p + labelOrder: the boundary tag of position p < 0
  std::vector<int> allTags;               // 0 .. tagList.size() - 1
  std::unordered_map<std::string, int> wordCandidates;
  std::vector<std::vector<int>> candidateLists;
  std::vector<int> observation;  // template indices, in the sample's order
  std::vector<std::string> observationPrefix;
  // Observation templates whose feature is a function of one row's word
  // (and of whether that row is the first): per observation template its
  // slot in a word's cached runs, or -1, and the row it reads relative to the
  // focus; the slots' templates in slot order.
  std::vector<int> wordSlot;
  std::vector<int> wordRow;
  std::vector<int> wordSlotTemplate;
  int wordCacheColumn = -1;
  std::vector<LabelTemplate> labelTemplates;
};

FastLabeler::FastLabeler(const ME_Model& model, const std::vector<_ftnind>& templates,
                         const std::vector<int>& templateOrder, int labelOrder,
                         const std::vector<std::string>& tagList, const CMiniStringBag& wordBag,
                         const std::vector<CMiniStringBag>& wordTagBags,
                         const std::vector<CMiniStringBag>& legalTable, int wordColumn)
    : templates_(templates), legalTable_(legalTable) {
  std::shared_ptr<FastLabelTables> t = std::make_shared<FastLabelTables>(model);
  t->supported = model.reference_model == nullptr && t->index.complete();
  t->labelOrder = labelOrder;
  t->wordColumn = wordColumn;
  t->tagList = tagList;
  const int tagCount = static_cast<int>(tagList.size());
  for (int i = 0; i < tagCount; ++i) t->allTags.push_back(i);
  char buf[32];
  for (int p = -labelOrder; p < 0 && labelOrder <= 2; ++p) {
    std::snprintf(buf, sizeof buf, "_B%d", p);
    t->boundaryTags.push_back(buf);
  }

  // A word's candidates are its dictionary tags in tag-list order; a word
  // without any tag of the list gets the whole list, like an unknown word.
  std::unordered_map<std::string, std::vector<int>> tagPositions;
  for (int i = 0; i < tagCount; ++i) tagPositions[tagList[i]].push_back(i);
  std::vector<int> list;
  std::map<std::vector<int>, int> distinctLists;
  t->wordCandidates.reserve(wordBag.idByString.size());
  for (const auto& entry : wordBag.idByString) {
    const int v = entry.second;
    if (v < 0 || v >= static_cast<int>(wordTagBags.size())) continue;
    list.clear();
    for (const auto& tag : wordTagBags[v].idByString) {
      if (tag.second < 0) continue;
      auto at = tagPositions.find(tag.first);
      if (at != tagPositions.end()) list.insert(list.end(), at->second.begin(), at->second.end());
    }
    if (list.empty()) continue;
    std::sort(list.begin(), list.end());
    // Most words share their list with many others: one copy of each.
    auto known = distinctLists.emplace(list, static_cast<int>(t->candidateLists.size()));
    if (known.second) t->candidateLists.push_back(list);
    t->wordCandidates.emplace(entry.first, known.first->second);
  }

  // The sample's features: the leading observation templates, then the rest
  // of the order, limited to as many entries as there are templates.
  const int templateCount = static_cast<int>(templates.size());
  int observationCount = 0;
  for (int idx : templateOrder) {
    if (idx < 0 || idx >= templateCount || templates[idx].minLabelOffset != 0) break;
    ++observationCount;
  }
  const int used = std::min(templateCount, static_cast<int>(templateOrder.size()));
  for (int j = 0; j < used; ++j) {
    const int idx = templateOrder[j];
    if (idx < 0 || idx >= templateCount) continue;
    const _ftnind& tmpl = templates[idx];
    if (j < observationCount) {
      t->observation.push_back(idx);
      t->observationPrefix.push_back(tmpl.name + ":");
      int row = 0;
      const int slot =
          readsOneWord(tmpl, t->wordCacheColumn, row) ? static_cast<int>(t->wordSlotTemplate.size()) : -1;
      t->wordSlot.push_back(slot);
      t->wordRow.push_back(row);
      if (slot >= 0) t->wordSlotTemplate.push_back(static_cast<int>(t->observation.size()) - 1);
      continue;
    }
    LabelTemplate lt;
    lt.templateIndex = idx;
    lt.prefix = tmpl.name + ":";
    for (const _ft& item : tmpl.items) {
      if (item.type == kTokenItem) lt.hasTokenItem = true;
      if (item.type != kLabelItem) continue;
      if (!lt.hasLabelItems || item.offset < lt.minOffset) lt.minOffset = item.offset;
      if (!lt.hasLabelItems || item.offset > lt.maxOffset) lt.maxOffset = item.offset;
      lt.hasLabelItems = true;
      const long long slot = -static_cast<long long>(item.offset) - 1;
      if (slot >= 0 && slot < labelOrder && slot < 2) lt.readsSlot[slot] = true;
    }
    if (!lt.hasTokenItem && tagCount > 0) {
      const int g0 = lt.readsSlot[0] ? tagCount : 1;
      const int g1 = lt.readsSlot[1] ? tagCount : 1;
      lt.globalStride0 = lt.readsSlot[0] ? 1 : 0;
      lt.globalStride1 = lt.readsSlot[1] ? g0 : 0;
      lt.global.resize(static_cast<size_t>(g0) * g1);
      // Any position with every label item inside the sentence gives the
      // same strings; position -minOffset is one (n large enough).
      const int position = lt.hasLabelItems && lt.minOffset < 0 ? -lt.minOffset : 0;
      const int bigN = position + (lt.maxOffset > 0 ? lt.maxOffset : 0) + 1;
      std::string key;
      for (int t1 = 0; t1 < g1; ++t1) {
        for (int t0 = 0; t0 < g0; ++t0) {
          key = lt.prefix;
          appendLabelPart(tmpl, position, bigN, labelOrder, tagList[t0], tagList[t1], key);
          lt.global[static_cast<size_t>(t1) * lt.globalStride1 + static_cast<size_t>(t0) * lt.globalStride0] =
              t->index.find(key);
        }
      }
    }
    t->labelTemplates.push_back(std::move(lt));
  }
  tables_ = std::move(t);
}

FastLabeler::FastLabeler(const FastLabeler& other)
    : tables_(other.tables_), templates_(other.templates_), legalTable_(other.legalTable_), skipping_(other.skipping_),
      piecesFrom_(other.piecesFrom_), minPiece_(other.minPiece_), streamingFrom_(other.streamingFrom_),
      wordCacheLimit_(other.wordCacheLimit_) {}

FastLabeler::~FastLabeler() = default;

bool FastLabeler::supported() const { return tables_->supported; }

const FastWeightIndex& FastLabeler::weights() const { return tables_->index; }

int FastLabeler::candidateCount(int position) const {
  return position < 0 ? 1 : static_cast<int>(candidates_[position]->size());
}

const std::string& FastLabeler::historyTag(int position, int index) const {
  const FastLabelTables& t = *tables_;
  if (position < 0) return t.boundaryTags[position + t.labelOrder];
  return t.tagList[(*candidates_[position])[index]];
}

// Where the runs of the one-word templates for the word at row start in
// wordRuns_; -1 when the row has no such word (outside the sentence or
// without the column).
long long FastLabeler::wordEntry(TokenTable& sentence, int row) {
  const FastLabelTables& t = *tables_;
  if (row < 0 || row >= tokenCount_) return -1;
  const std::vector<std::string>& cells = sentence[row];
  if (t.wordCacheColumn < 0 || t.wordCacheColumn >= static_cast<int>(cells.size())) return -1;
  long long& known = rowEntry_[row];
  if (known >= 0) return known;
  wordKey_ = cells[t.wordCacheColumn];
  wordKey_ += row == 0 ? '\1' : '\0';
  const auto found = wordCache_.find(wordKey_);
  if (found != wordCache_.end()) return known = static_cast<long long>(found->second);
  if (wordCache_.size() >= wordCacheLimit_) {
    // Afresh, also within a sentence of many distinct words: the rows'
    // entries go with it (runs already taken are kept by their tokens).
    wordCache_.clear();
    wordRuns_.clear();
    std::fill(rowEntry_.begin(), rowEntry_.end(), -1);
  }
  const size_t slots = t.wordSlotTemplate.size();
  if (keys_.size() < slots) keys_.resize(slots);
  for (size_t k = 0; k < slots; ++k) {
    const int j = t.wordSlotTemplate[k];
    value_.clear();
    // Any focus that puts the template's row here gives its value.
    FeatureLocGenP2Multi(sentence, templates_[t.observation[j]], noStack_, row - t.wordRow[j], noArcs_,
                         noArgumentLists_, noPredicateRows_, noExtraArcs_, value_);
    keys_[k] = t.observationPrefix[j];
    keys_[k] += value_;
  }
  const size_t at = wordRuns_.size();
  wordRuns_.resize(at + slots);
  t.index.findMany(keys_.data(), slots, wordRuns_.data() + at);
  wordCache_.emplace(wordKey_, at);
  return known = static_cast<long long>(at);
}

void FastLabeler::observationRuns(TokenTable& sentence, int position) {
  const FastLabelTables& t = *tables_;
  const size_t count = t.observation.size();
  found_.resize(count);
  pending_.clear();
  for (size_t j = 0; j < count; ++j) {
    if (t.wordSlot[j] >= 0) {
      const long long at = wordEntry(sentence, position + t.wordRow[j]);
      if (at >= 0) {
        found_[j] = wordRuns_[static_cast<size_t>(at) + t.wordSlot[j]];
        continue;
      }
    }
    pending_.push_back(static_cast<int>(j));
  }
  const size_t missing = pending_.size();
  if (keys_.size() < missing) keys_.resize(missing);
  for (size_t k = 0; k < missing; ++k) {
    const int j = pending_[k];
    value_.clear();
    FeatureLocGenP2Multi(sentence, templates_[t.observation[j]], noStack_, position, noArcs_, noArgumentLists_,
                         noPredicateRows_, noExtraArcs_, value_);
    keys_[k] = t.observationPrefix[j];
    keys_[k] += value_;
  }
  pendingRuns_.resize(missing);
  t.index.findMany(keys_.data(), missing, pendingRuns_.data());
  for (size_t k = 0; k < missing; ++k) found_[pending_[k]] = pendingRuns_[k];
  Token& token = tokens_[position - base_];
  token.obsBegin = obsRuns_.size();
  for (size_t j = 0; j < count; ++j)
    if (found_[j] >= 0) obsRuns_.push_back(found_[j]);
  token.obsEnd = obsRuns_.size();
}

void FastLabeler::labelFeatureRuns(TokenTable& sentence, int position) {
  const FastLabelTables& t = *tables_;
  const int n = tokenCount_;
  const int d0 = t.labelOrder >= 1 ? candidateCount(position - 1) : 1;
  const int d1 = t.labelOrder >= 2 ? candidateCount(position - 2) : 1;
  tokens_[position - base_].labelBegin = labelTables_.size();
  for (size_t a = 0; a < t.labelTemplates.size(); ++a) {
    const LabelTemplate& lt = t.labelTemplates[a];
    LabelTable table;
    const bool inside = !lt.hasLabelItems || (position + lt.minOffset >= 0 && position + lt.maxOffset < n);
    if (!lt.global.empty() && inside) {
      table.global = true;
      labelTables_.push_back(table);
      continue;
    }
    // Looked up when a history first needs it: most histories after an
    // unknown word are never scored.
    const int e0 = lt.readsSlot[0] ? d0 : 1;
    const int e1 = lt.readsSlot[1] ? d1 : 1;
    table.begin = labelRuns_.size();
    table.stride0 = lt.readsSlot[0] ? 1 : 0;
    table.stride1 = lt.readsSlot[1] ? e0 : 0;
    table.key = keyCount_++;
    if (baseKeys_.size() < keyCount_) baseKeys_.resize(keyCount_);
    std::string& base = baseKeys_[table.key];
    base = lt.prefix;
    if (lt.hasTokenItem) {
      value_.clear();
      FeatureLocGenP2Multi(sentence, templates_[lt.templateIndex], noStack_, position, noArcs_, noArgumentLists_,
                           noPredicateRows_, noExtraArcs_, value_);
      base += value_;
      base += '/';
    }
    labelTables_.push_back(table);
    labelRuns_.resize(table.begin + static_cast<size_t>(e0) * e1, kNotLookedUp);
  }
}

// The run of label template a's feature for one history, -1 when the model
// scores nothing for it.
int FastLabeler::labelRun(int position, int history, size_t a) {
  static const std::string kNone;
  const FastLabelTables& t = *tables_;
  const Token& token = tokens_[position - base_];
  const int i1 = history / token.previous, i0 = history % token.previous;
  const LabelTemplate& lt = t.labelTemplates[a];
  const LabelTable& table = labelTables_[token.labelBegin + a];
  if (table.global) {
    const int t1 = lt.readsSlot[1] ? (*candidates_[position - 2])[i1] : 0;
    const int t0 = lt.readsSlot[0] ? (*candidates_[position - 1])[i0] : 0;
    return lt.global[static_cast<size_t>(t1) * lt.globalStride1 + static_cast<size_t>(t0) * lt.globalStride0];
  }
  int& slot =
      labelRuns_[table.begin + static_cast<size_t>(i1) * table.stride1 + static_cast<size_t>(i0) * table.stride0];
  if (slot == kNotLookedUp) {
    key_ = baseKeys_[table.key];
    const std::string& tag1 = lt.readsSlot[1] ? historyTag(position - 2, i1) : kNone;
    const std::string& tag0 = lt.readsSlot[0] ? historyTag(position - 1, i0) : kNone;
    appendLabelPart(templates_[lt.templateIndex], position, tokenCount_, t.labelOrder, tag0, tag1, key_);
    slot = t.index.find(key_);
  }
  return slot;
}

// The scores classification sums for one history: the sample lists the
// observation features first, so from the last feature back the label
// features come first, the last label template first.
void FastLabeler::computeScore(int position, int history, double* score) {
  const FastLabelTables& t = *tables_;
  const FastWeightIndex& index = t.index;
  const Token& token = tokens_[position - base_];
  std::fill(score, score + index.labelCount(), 0.0);
  for (size_t a = t.labelTemplates.size(); a-- > 0;) {
    const int r = labelRun(position, history, a);
    if (r >= 0) index.addRun(r, score);
  }
  for (size_t j = token.obsEnd; j-- > token.obsBegin;) index.addRun(obsRuns_[j], score);
}

// The costs of every candidate of one history, as labelSeqIt computes them.
void FastLabeler::classifyHistory(int position, int history) {
  const Token& token = tokens_[position - base_];
  const int at = static_cast<int>(costs_.costs.size());
  costs_.at[position - base_][history] = at;
  costs_.costs.resize(costs_.costs.size() + static_cast<size_t>(token.candidates));
  classifyInto(position, history, costs_.costs.data() + at);
}

void FastLabeler::classifyInto(int position, int history, double* row) {
  const FastLabelTables& t = *tables_;
  const int labelCount = t.index.labelCount();
  const Token& token = tokens_[position - base_];
  const std::vector<int>& here = *candidates_[position];
  ++classifications_;
  double* score = exact_.data();
  computeScore(position, history, score);
  const double sum = fastExponentials(score, labelCount, exps_.data());
  for (int c = 0; c < token.candidates; ++c) {
    const int tag = here[c];
    const double p = tag < labelCount ? exps_[tag] / sum : 0.0;
    row[c] = -std::log(p);
  }
}

// The cost of the path in greedy_ (one entry per token), summed as the
// decoders sum a path, from the last token back.
double FastLabeler::chosenPathCost() const {
  const int n = count_;
  double cost = costs_.costs[greedy_[n - 1]];
  for (int k = n - 2; k >= 0; --k) cost = costs_.costs[greedy_[k]] + cost;
  return cost;
}

// Classifies the greedy path (each token's cheapest candidate after the
// greedy choices before it) and returns its cost (chosenPathCost).
double FastLabeler::greedyPathCost() {
  const int n = count_;
  const int L = tables_->labelOrder;
  int back2 = 0, back1 = 0;  // candidate indices of the greedy tags two back and one back
  greedy_.resize(n);
  for (int k = 0; k < n; ++k) {
    const Token& token = tokens_[k];
    const int history = (L >= 2 ? back2 * token.previous : 0) + (L >= 1 ? back1 : 0);
    classifyHistory(base_ + k, history);
    const double* row = costs_.costs.data() + costs_.at[k][history];
    int best = 0;
    for (int c = 1; c < token.candidates; ++c)
      if (row[c] < row[best]) best = c;
    greedy_[k] = costs_.at[k][history] + best;
    back2 = back1;
    back1 = best;
  }
  return chosenPathCost();
}

// Like greedyPathCost, with the cheapest of the paths a beam of `width`
// keeps (per last two candidates, the cheapest only): along a long piece
// the greedy path drifts far above the best one, and every history whose
// paths cost less than it must be classified.
double FastLabeler::beamPathCost(int width) {
  const int n = count_;
  const int L = tables_->labelOrder;
  struct State {
    double cost;
    int i1, i0;  // candidate indices two back and one back
    int back;    // state of the token before, -1 at the start
    int entry;   // the chosen entry in costs_.costs
  };
  std::vector<std::vector<State>> layers(n);
  std::vector<State> start(1, State{0.0, 0, 0, -1, -1});
  std::vector<State> grown;
  for (int k = 0; k < n; ++k) {
    const Token& token = tokens_[k];
    const std::vector<State>& before = k == 0 ? start : layers[k - 1];
    grown.clear();
    for (size_t si = 0; si < before.size(); ++si) {
      const State& s = before[si];
      const int history = (L >= 2 ? s.i1 * token.previous : 0) + (L >= 1 ? s.i0 : 0);
      if (costs_.at[k][history] < 0) classifyHistory(base_ + k, history);
      const int at = costs_.at[k][history];
      for (int c = 0; c < token.candidates; ++c) {
        const double v = s.cost + costs_.costs[at + c];
        if (!(v < std::numeric_limits<double>::infinity())) continue;
        grown.push_back(State{v, s.i0, c, static_cast<int>(si), at + c});
      }
    }
    if (grown.empty()) return greedyPathCost();
    // The cheapest per (one back, this one); ties keep the earlier.
    std::stable_sort(grown.begin(), grown.end(), [](const State& a, const State& b) { return a.cost < b.cost; });
    std::vector<State>& layer = layers[k];
    for (const State& g : grown) {
      if (static_cast<int>(layer.size()) >= width) break;
      bool seen = false;
      for (const State& kept : layer) seen = seen || (kept.i1 == g.i1 && kept.i0 == g.i0);
      if (!seen) layer.push_back(g);
    }
  }
  greedy_.resize(n);
  for (int k = n - 1, si = 0; k >= 0; --k) {
    const State& s = layers[k][si];
    greedy_[k] = s.entry;
    si = s.back;
  }
  return chosenPathCost();
}

namespace {

// Lower bounds of -ln p(c) from scores known to within `slack` each.
// Classification's sum runs over every label; any four of them give
// -ln p(c) >= ln(sum over the four of exp(s_i - s_c)), which is
// (s0 - s_c) + spread for the four highest, s0 the highest, less 2 * slack
// for the error of the scores. Where no exponential of classification can
// underflow, all labels give the bound instead (see the constructor). The
// margin is far above the rounding of the exponentials, the sum, the
// division and the logarithm.
class CostBounds {
 public:
  CostBounds(const double* score, int n, double slack) : slack_(slack) {
    const double none = -std::numeric_limits<double>::infinity();
    double t0 = none, t1 = none, t2 = none, t3 = none;  // the four highest, t0 first
    for (int j = 0; j < n; ++j) {
      const double v = score[j];
      if (!(v > t3)) continue;
      if (v > t1) {
        t3 = t2;
        t2 = t1;
        if (v > t0) {
          t1 = t0;
          t0 = v;
        } else {
          t1 = v;
        }
      } else if (v > t2) {
        t3 = t2;
        t2 = v;
      } else {
        t3 = v;
      }
    }
    if (!std::isfinite(t0) || !std::isfinite(slack)) return;
    best_ = t0;
    spread_ = std::log(1.0 + std::exp(t1 - t0) + std::exp(t2 - t0) + std::exp(t3 - t0));
    usable_ = true;
    // When every exponential classification takes is a normal number (no
    // underflow, no overflow of the sum), its costs are those of exact
    // arithmetic up to rounding, and all labels' sum bounds them: tighter
    // where the probability is spread out (runs of unknown words).
    const double shift = t0 - 700 > 0 ? t0 - 700 : 0;
    for (int j = 0; j < n; ++j) {
      const double d = score[j] - shift;
      if (!(d >= -690.0 && d <= 700.0)) return;
    }
    double sum = 0.0;
    for (int j = 0; j < n; ++j) sum += std::exp(score[j] - t0);
    total_ = t0 + std::log(sum);
    exact_ = std::isfinite(total_);
  }
  double of(double s) const {
    if (!usable_ || !std::isfinite(s)) return 0.0;
    const double bound =
        exact_ ? (total_ - s) - 2 * slack_ - 1e-9 * (1.0 + std::fabs(total_) + std::fabs(s))
               : (best_ - s) + spread_ - 2 * slack_ - 1e-9 * (1.0 + std::fabs(best_) + std::fabs(s));
    return bound > 0 ? bound : 0.0;
  }

 private:
  double slack_, best_ = 0.0, spread_ = 0.0, total_ = 0.0;
  bool usable_ = false, exact_ = false;
};

}  // namespace

// Lower bounds of the costs of history h's entries at token k (k counted
// within the prepared tokens) into out: the costs themselves once the
// history is classified, else bounds from its scores. The same history gives
// the same bounds every time while its classification does not change.
void FastLabeler::historyBounds(int k, int h, double* out) {
  const FastLabelTables& t = *tables_;
  const Token& token = tokens_[k];
  const int C = token.candidates;
  // A history already classified (the greedy path's, mostly the only one in
  // reach) bounds its entries by their own costs: no scores.
  const int at = costs_.at[k][h];
  if (at >= 0) {
    const double* row = costs_.costs.data() + at;
    bool defined = true;
    for (int c = 0; c < C; ++c) defined = defined && !std::isnan(row[c]);
    if (defined) {
      std::copy(row, row + C, out);
      return;
    }
  }
  const FastWeightIndex& index = t.index;
  const int labelCount = index.labelCount();
  // Bounds need the scores only up to a known error, so the observation
  // features are summed once per token for all histories: in another order
  // than classification's, which moves each score by less than `slack`
  // (rounding of n additions of weights of at most `magnitude` each).
  if (obsToken_ != k) {
    obsToken_ = k;
    obsMagnitude_ = 0.0;
    std::fill(obsScore_.begin(), obsScore_.begin() + labelCount, 0.0);
    for (size_t j = token.obsBegin; j < token.obsEnd; ++j) {
      index.addRun(obsRuns_[j], obsScore_.data());
      obsMagnitude_ += index.largest(obsRuns_[j]);
    }
  }
  std::copy(obsScore_.begin(), obsScore_.begin() + labelCount, score_.begin());
  double magnitude = obsMagnitude_;
  int terms = static_cast<int>(token.obsEnd - token.obsBegin);
  for (size_t a = 0; a < t.labelTemplates.size(); ++a) {
    const int r = labelRun(base_ + k, h, a);
    if (r < 0) continue;
    index.addRun(r, score_.data());
    magnitude += index.largest(r);
    ++terms;
  }
  const double slack = (terms + 4) * std::ldexp(magnitude, -51);
  const double* score = score_.data();
  const CostBounds costBounds(score, labelCount, slack);
  const std::vector<int>& here = *candidates_[base_ + k];
  for (int c = 0; c < C; ++c)
    out[c] = here[c] < labelCount ? costBounds.of(score[here[c]]) : std::numeric_limits<double>::infinity();
}

// Forward: bounds of the costs of every history that some path below the
// threshold may reach, and of the cheapest way to reach each history.
// Backward: bounds of the cheapest way to finish from each entry; a history
// with an entry whose bounded path stays within the threshold is classified.
// Everything else keeps an infinite cost. A history's bounds are computed
// again on the way back instead of being kept: along runs of unknown words nearly every history is in reach
// of the forward pass, and keeping a bound per entry took about a megabyte
// per token.
void FastLabeler::boundedPasses(double threshold) {
  const FastLabelTables& t = *tables_;
  const int n = count_;
  const double inf = std::numeric_limits<double>::infinity();
  prefix_.resize(static_cast<size_t>(n) + 1);
  prefix_[0].assign(1, 0.0);
  obsToken_ = -1;
  const int L = t.labelOrder;
  for (int k = 0; k < n; ++k) {
    const Token& token = tokens_[k];
    const int C = token.candidates;
    const int nextHistories = k + 1 < n ? tokens_[k + 1].histories : 1;
    std::vector<double>& next = prefix_[k + 1];
    next.assign(nextHistories, inf);
    const std::vector<double>& reach = prefix_[k];
    std::vector<char>& bounded = bounded_[k];
    bounded.assign(token.histories, 0);
    if (rowBounds_.size() < static_cast<size_t>(C)) rowBounds_.resize(C);
    for (int h = 0; h < token.histories; ++h) {
      if (!(reach[h] <= threshold)) continue;
      historyBounds(k, h, rowBounds_.data());
      bounded[h] = 1;
      // Entry h * C + c continues into history nextBase + c of the next
      // token (history 0 for label order 0, and after the last token).
      const bool last = k + 1 == n;
      const int nextBase = L == 2 ? (h % token.previous) * C : 0;
      for (int c = 0; c < C; ++c) {
        const double v = reach[h] + rowBounds_[c];
        double& slot = next[L == 0 || last ? 0 : nextBase + c];
        if (v < slot) slot = v;
      }
    }
  }

  suffixNext_.assign(1, 0.0);
  for (int k = n - 1; k >= 0; --k) {
    const Token& token = tokens_[k];
    const int C = token.candidates;
    const bool last = k + 1 == n;
    const std::vector<double>& reach = prefix_[k];
    suffix_.assign(token.histories, inf);
    for (int h = 0; h < token.histories; ++h) {
      if (!bounded_[k][h]) continue;
      historyBounds(k, h, rowBounds_.data());
      bool needed = false;
      const int nextBase = t.labelOrder == 2 ? (h % token.previous) * C : 0;
      for (int c = 0; c < C; ++c) {
        const double g = rowBounds_[c] + suffixNext_[t.labelOrder == 0 || last ? 0 : nextBase + c];
        if (g < suffix_[h]) suffix_[h] = g;
        if (reach[h] + g <= threshold) needed = true;
      }
      if (needed && costs_.at[k][h] < 0) classifyHistory(base_ + k, h);
    }
    suffixNext_.swap(suffix_);
  }
}

std::vector<std::vector<double>> FastLabeler::lastCosts() const {
  std::vector<std::vector<double>> matrix(count_);
  for (int k = 0; k < count_; ++k) {
    const int C = costs_.candidates[k];
    matrix[k].assign(static_cast<size_t>(costs_.histories[k]) * C, std::numeric_limits<double>::infinity());
    for (int h = 0; h < costs_.histories[k]; ++h) {
      const int at = costs_.at[k][h];
      if (at >= 0) std::copy(costs_.costs.begin() + at, costs_.costs.begin() + at + C, matrix[k].begin() + h * C);
    }
  }
  return matrix;
}

int FastLabeler::label(TokenTable& sentence, std::vector<std::string>& outTags) {
  if (sentence.empty()) return -1;
  const int result = labelIds(sentence, ids_);
  const std::vector<std::string>& tagList = tables_->tagList;
  outTags.resize(ids_.size());
  for (size_t k = 0; k < ids_.size(); ++k) {
    if (ids_[k] >= 0) outTags[k] = tagList[ids_[k]];
    else outTags[k].clear();
  }
  return result;
}

const std::vector<std::string>& FastLabeler::tagList() const { return tables_->tagList; }

int FastLabeler::labelIds(TokenTable& sentence, std::vector<int>& tagIds) {
  const FastLabelTables& t = *tables_;
  if (sentence.empty()) return -1;
  if (t.labelOrder < 0 || t.labelOrder > 2) {
    std::fprintf(stderr, "Error: no decoder for label order %d (0, 1 or 2 expected).\n", t.labelOrder);
    tagIds.assign(sentence.size(), -1);
    return -1;
  }
  if (t.tagList.empty()) {
    std::fprintf(stderr, "Error: no tags to label with: the model has no labels.\n");
    tagIds.assign(sentence.size(), -1);
    return -1;
  }
  if (!t.supported) {
    std::fprintf(stderr,
                 "Error: the fast labelling path cannot tag with this model (it has a reference model or is too "
                 "large).\n");
    tagIds.assign(sentence.size(), -1);
    return -1;
  }

  const std::array<const void*, kLexiconKinds> lexicons = activeLexicons();
  if (lexicons != wordCacheLexicons_) {
    wordCache_.clear();
    wordRuns_.clear();
    wordCacheLexicons_ = lexicons;
  }
  const int n = static_cast<int>(sentence.size());
  rowEntry_.assign(static_cast<size_t>(n), -1);
  tokenCount_ = n;
  classifications_ = 0;
  candidates_.resize(n);
  const int col = t.wordColumn - 1;
  for (int k = 0; k < n; ++k) {
    const std::vector<std::string>& row = sentence[k];
    candidates_[k] = &t.allTags;
    if (col >= 0 && col < static_cast<int>(row.size())) {
      auto found = t.wordCandidates.find(row[col]);
      if (found != t.wordCandidates.end()) candidates_[k] = &t.candidateLists[found->second];
    }
  }
  const size_t labelCount = static_cast<size_t>(t.index.labelCount());
  if (score_.size() < labelCount) {
    score_.resize(labelCount);
    obsScore_.resize(labelCount);
    exact_.resize(labelCount);
    exps_.resize(labelCount);
  }

  if (n >= piecesFrom_ && labelCount > 0 && legalTable_.empty() && labelInPieces(sentence, tagIds)) return 1;

  if (labelCount > 0 && legalTable_.empty() && rangeEntries(0, n) >= streamingFrom_) {
    BlockViterbiPiece whole;
    if (decodeStreaming(sentence, 0, n, whole, tagIds)) return 1;
  }
  prepareRange(sentence, 0, n);
  computeCosts(0.0);
  if (!legalTable_.empty()) return decodeWithLegalTable(sentence, tagIds);
  blockViterbi(costs_, path_, viterbi_);
  tagIds.resize(n);
  for (int k = 0; k < n; ++k) tagIds[k] = (*candidates_[k])[path_[k]];
  return 1;
}

// Per-token state for tokens [a, b) of the sentence, indexed from a; the
// blocks of the cost matrix too unless the range is streamed.
void FastLabeler::prepareRange(TokenTable& sentence, int a, int b, bool blocks) {
  const int L = tables_->labelOrder;
  base_ = a;
  count_ = b - a;
  tokens_.resize(count_);
  obsRuns_.clear();
  labelTables_.clear();
  labelRuns_.clear();
  keyCount_ = 0;
  costs_.labelOrder = L;
  costs_.candidates.resize(count_);
  costs_.histories.resize(count_);
  costs_.at.resize(count_);
  costs_.costs.clear();
  bounded_.resize(count_);
  for (int k = 0; k < count_; ++k) {
    const int position = a + k;
    Token& token = tokens_[k];
    token.candidates = candidateCount(position);
    token.previous = L >= 1 ? candidateCount(position - 1) : 1;
    token.histories = token.previous * (L >= 2 ? candidateCount(position - 2) : 1);
    observationRuns(sentence, position);
    labelFeatureRuns(sentence, position);
    costs_.candidates[k] = token.candidates;
    costs_.histories[k] = token.histories;
    if (blocks)
      costs_.at[k].assign(token.histories, -1);
    else
      std::vector<int>().swap(costs_.at[k]);
  }
}

// The costs of the prepared tokens, skipping what cannot matter. `beyond`
// is what every path adds after them (the least completion of the piece
// that follows): the margin must cover rounding at that size too.
void FastLabeler::computeCosts(double beyond) {
  const FastLabelTables& t = *tables_;
  const int n = count_;
  if (t.index.labelCount() == 0) {
    // No probability at all: every cost is infinite, as labelSeqIt's are.
    for (int k = 0; k < n; ++k) {
      for (int h = 0; h < tokens_[k].histories; ++h) {
        costs_.at[k][h] = static_cast<int>(costs_.costs.size());
        costs_.costs.resize(costs_.costs.size() + tokens_[k].candidates, -std::log(0.0));
      }
    }
    return;
  }
  double threshold = std::numeric_limits<double>::infinity();
  // A legal table changes which continuation the decoders keep; skipping
  // relies on the cheapest one being kept.
  if (skipping_ && legalTable_.empty()) {
    // The greedy path does well where most tokens have few candidates (most
    // of real text); along many tokens of many candidates (runs of unknown
    // words) it ends far above the best path, and nearly every history would
    // be classified.
    int open = 0;
    for (int k = 0; k < n; ++k) open += tokens_[k].candidates >= kManyCandidates;
    const double greedy = open >= kBeamFromTokens ? beamPathCost(kThresholdBeam) : greedyPathCost();
    // The margin dwarfs the rounding of the sums along a path.
    if (std::isfinite(greedy)) threshold = greedy + 1e-7 * (1.0 + greedy + std::fabs(beyond));
  }
  if (std::isfinite(threshold)) {
    boundedPasses(threshold);
  } else {
    for (int k = 0; k < n; ++k)
      for (int h = 0; h < tokens_[k].histories; ++h)
        if (costs_.at[k][h] < 0) classifyHistory(base_ + k, h);
  }
}

// A sentence in pieces, from the last to the first, each cut before a
// token with a single history (see BlockViterbiPiece): the per-token state
// then stays that of one piece, however long the sentence. Every piece's
// costs are classification's or skipped by the piece's own bounds: all
// paths through a piece share what lies before and after it, so its greedy
// path bounds them, and more tightly than a greedy path over the whole
// sentence. False when there is no cut, or some piece has no path of finite
// cost; the sentence is then decoded whole.
bool FastLabeler::labelInPieces(TokenTable& sentence, std::vector<int>& tagIds) {
  const FastLabelTables& t = *tables_;
  const int n = tokenCount_;
  const int L = t.labelOrder;
  // Cuts: tokens b with one history, at least minPiece_ tokens apart; the
  // first piece keeps two tokens at least (the second-order decoder treats
  // token 0 by its sums with token 1).
  std::vector<int> starts(1, 0);
  for (int b = std::max(2, minPiece_); b < n; ++b) {
    if (b - starts.back() < minPiece_) continue;
    const int histories = (L >= 1 ? candidateCount(b - 1) : 1) * (L >= 2 ? candidateCount(b - 2) : 1);
    if (histories == 1) starts.push_back(b);
  }
  if (starts.size() < 2) return false;
  tagIds.resize(n);
  BlockViterbiPiece piece;
  for (size_t p = starts.size(); p-- > 0;) {
    const int a = starts[p], b = p + 1 < starts.size() ? starts[p + 1] : n;
    piece.first = a == 0;
    piece.last = b == n;
    piece.nextCost = piece.firstCost;
    piece.nextEntry = piece.firstEntry;
    if (rangeEntries(a, b) >= streamingFrom_) {
      if (!decodeStreaming(sentence, a, b, piece, tagIds)) return false;
      continue;
    }
    prepareRange(sentence, a, b);
    computeCosts(piece.last ? 0.0 : piece.nextCost);
    if (!blockViterbiPiece(costs_, piece, path_, viterbi_)) return false;
    for (int k = 0; k < count_; ++k) tagIds[a + k] = (*candidates_[a + k])[path_[k]];
  }
  // The pieces' state is large for long pieces; let it go.
  releasePieceState();
  return true;
}

// Entries of the cost matrix of tokens [a, b) if every history had a block.
size_t FastLabeler::rangeEntries(int a, int b) const {
  const int L = tables_->labelOrder;
  size_t entries = 0;
  for (int k = a; k < b; ++k) {
    const size_t histories = static_cast<size_t>(L >= 1 ? candidateCount(k - 1) : 1) *
                             static_cast<size_t>(L >= 2 ? candidateCount(k - 2) : 1);
    entries += histories * static_cast<size_t>(candidateCount(k));
  }
  return entries;
}

// Tokens [a, b) decoded by streamingViterbi, each history classified when
// the backward pass reaches its token. False, tagIds untouched, when no path
// of finite cost runs through the range; the caller then decodes as before.
bool FastLabeler::decodeStreaming(TokenTable& sentence, int a, int b, BlockViterbiPiece& piece,
                                  std::vector<int>& tagIds) {
  prepareRange(sentence, a, b, false);
  const bool found = streamingViterbi(
      tables_->labelOrder, costs_.candidates, costs_.histories, piece,
      [this](int k, int h, double* row) { classifyInto(base_ + k, h, row); }, path_, streaming_);
  if (found) {
    tagIds.resize(tokenCount_);
    for (int k = 0; k < count_; ++k) tagIds[a + k] = (*candidates_[a + k])[path_[k]];
  }
  releasePieceState();
  return found;
}

void FastLabeler::releasePieceState() {
  std::vector<Token>().swap(tokens_);
  std::vector<int>().swap(obsRuns_);
  std::vector<LabelTable>().swap(labelTables_);
  std::vector<int>().swap(labelRuns_);
  costs_ = CostBlocks();
  std::vector<std::vector<char>>().swap(bounded_);
  std::vector<std::vector<double>>().swap(prefix_);
  viterbi_ = BlockViterbiWork();
  streaming_ = StreamingViterbiWork();
  base_ = 0;
  count_ = 0;
}

// With a legal table every cost is known: the decoders labelSeqIt calls
// decide on the whole matrix.
int FastLabeler::decodeWithLegalTable(TokenTable& sentence, std::vector<int>& tagIds) {
  std::vector<std::string> outTags;
  const FastLabelTables& t = *tables_;
  const int n = tokenCount_, L = t.labelOrder;
  std::vector<std::vector<double>> matrix = lastCosts();
  std::vector<std::vector<std::string>> candidates(static_cast<size_t>(n) + L);
  for (int i = 0; i < L; ++i) candidates[i].assign(1, t.boundaryTags[i]);
  for (int k = 0; k < n; ++k)
    for (int id : *candidates_[k]) candidates[k + L].push_back(t.tagList[id]);
  int decoded;
  if (L == 0) decoded = viterbiDecoderB0Limit2(matrix, candidates, legalTable_, outTags);
  else if (L == 2) decoded = viterbiDecoderB2Fast2Limit(matrix, candidates, legalTable_, outTags);
  else decoded = viterbiDecoderB1LimitPath3(matrix, candidates, legalTable_, outTags);
  if (decoded < 0) {
    tagIds.assign(sentence.size(), -1);
    return -1;
  }
  // The tags are the model's labels, each once in the list.
  tagIds.resize(outTags.size());
  for (size_t k = 0; k < outTags.size(); ++k) {
    const auto at = std::find(t.tagList.begin(), t.tagList.end(), outTags[k]);
    tagIds[k] = at == t.tagList.end() ? -1 : static_cast<int>(at - t.tagList.begin());
  }
  return 1;
}
