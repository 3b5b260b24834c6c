#include "decoding/fast_labeling.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "decoding/viterbi.h"
#include "features/feature_generator.h"

namespace {

const int32_t kLabelItem = 0;
const int32_t kTokenItem = 4;

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

  runStart_.push_back(0);
  nameStart_.push_back(0);
  for (const auto& named : model.feature_names.ids) {
    const int f = named.second;
    if (f < 0 || f >= rows) continue;
    const size_t before = labels_.size();
    // Highest row position first: the order in which classification adds.
    for (int j = offsets[f + 1] - 1; j >= offsets[f]; --j) {
      const int k = entries[j];
      if (k < 0 || static_cast<size_t>(k) >= keyCount || static_cast<size_t>(k) >= weightCount) continue;
      const int l = model.feature_bag.keys[k].label();
      if (l >= labelCount_) continue;
      labels_.push_back(static_cast<uint8_t>(l));
      weights_.push_back(model.weights[k]);
    }
    if (labels_.size() == before) continue;  // scores nothing: as good as unknown
    runStart_.push_back(static_cast<uint32_t>(labels_.size()));
    names_.insert(names_.end(), named.first.begin(), named.first.end());
    nameStart_.push_back(static_cast<uint32_t>(names_.size()));
  }

  size_t capacity = 16;
  while (capacity < 2 * runCount()) capacity *= 2;
  slots_.assign(capacity, 0);
  mask_ = capacity - 1;
  for (size_t r = 0; r < runCount(); ++r) {
    const uint64_t h = fastNameHash(names_.data() + nameStart_[r], nameStart_[r + 1] - nameStart_[r]);
    size_t i = h & mask_;
    while (slots_[i] != 0) i = (i + 1) & mask_;
    slots_[i] = (h & 0xffffffff00000000ULL) | (static_cast<uint64_t>(r) + 1);
  }
}

int FastWeightIndex::find(const char* name, size_t length) const {
  const uint64_t h = fastNameHash(name, length);
  const uint64_t high = h & 0xffffffff00000000ULL;
  for (size_t i = h & mask_;; i = (i + 1) & mask_) {
    const uint64_t slot = slots_[i];
    if (slot == 0) return -1;
    if ((slot & 0xffffffff00000000ULL) != high) continue;
    const uint32_t r = static_cast<uint32_t>(slot) - 1;
    const uint32_t begin = nameStart_[r];
    if (nameStart_[r + 1] - begin == length && std::memcmp(names_.data() + begin, name, length) == 0)
      return static_cast<int>(r);
  }
}

double fastExponentials(const double* score, int n, double* probs) {
  // Written as classification writes it: any change here changes costs.
  double m = score[0];
  for (int j = 1; j < n; ++j)
    if (score[j] > m) m = score[j];
  const double shift = m - 700 > 0 ? m - 700 : 0;
  double sum = 0.0;
  for (int j = n - 1; j >= 0; --j) {
    const double e = std::exp(score[j] - shift);
    probs[j] = e;
    sum += e;
  }
  if (!(sum > 0.0) || !std::isfinite(sum)) {
    double top = -std::numeric_limits<double>::infinity();
    for (int j = 0; j < n; ++j)
      if (score[j] > top) top = score[j];
    sum = 0.0;
    for (int j = n - 1; j >= 0; --j) {
      double e;
      if (std::isnan(score[j]) || top == -std::numeric_limits<double>::infinity()) {
        e = 0.0;
      } else if (std::isinf(top)) {
        e = score[j] == top ? 1.0 : 0.0;
      } else {
        e = std::exp(score[j] - top);
      }
      probs[j] = e;
      sum += e;
    }
    if (!(sum > 0.0) || !std::isfinite(sum)) {
      for (int j = 0; j < n; ++j) probs[j] = 1.0;
      sum = n;
    }
  }
  return sum;
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
  bool dictionaryHasWords = false;
  std::vector<std::string> tagList;
  std::vector<std::string> boundaryTags;  // entry p + labelOrder: the boundary tag of position p < 0
  std::vector<int> allTags;               // 0 .. tagList.size() - 1
  std::unordered_map<std::string, int> wordCandidates;
  std::vector<std::vector<int>> candidateLists;
  std::vector<int> observation;  // template indices, in the sample's order
  std::vector<std::string> observationPrefix;
  std::vector<LabelTemplate> labelTemplates;
};

FastLabeler::FastLabeler(const ME_Model& model, const std::vector<_ftnind>& templates,
                         const std::vector<int>& templateOrder, int labelOrder,
                         const std::vector<std::string>& tagList, const CMiniStringBag& wordBag,
                         const std::vector<CMiniStringBag>& wordTagBags,
                         const std::vector<CMiniStringBag>& legalTable, int wordColumn)
    : templates_(templates), legalTable_(legalTable) {
  std::shared_ptr<FastLabelTables> t = std::make_shared<FastLabelTables>(model);
  t->supported = model.reference_model == nullptr;
  t->labelOrder = labelOrder;
  t->wordColumn = wordColumn;
  t->dictionaryHasWords = wordBag.count >= 1;
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
  for (const auto& entry : wordBag.idByString) {
    const int v = entry.second;
    if (v < 0 || v >= static_cast<int>(wordTagBags.size())) continue;
    std::vector<int> list;
    for (int i = 0; i < tagCount; ++i) {
      auto found = wordTagBags[v].idByString.find(tagList[i]);
      if (found != wordTagBags[v].idByString.end() && found->second >= 0) list.push_back(i);
    }
    if (list.empty()) continue;
    t->wordCandidates.emplace(entry.first, static_cast<int>(t->candidateLists.size()));
    t->candidateLists.push_back(std::move(list));
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
    : tables_(other.tables_), templates_(other.templates_), legalTable_(other.legalTable_) {}

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

void FastLabeler::observationRuns(TokenTable& sentence, int position) {
  const FastLabelTables& t = *tables_;
  const FastWeightIndex& index = t.index;
  // Runs in the sample's order, then their entries from the last run back.
  obsRuns_.clear();
  for (size_t j = 0; j < t.observation.size(); ++j) {
    value_.clear();
    FeatureLocGenP2Multi(sentence, templates_[t.observation[j]], noStack_, position, noArcs_, noArgumentLists_,
                         noPredicateRows_, noExtraArcs_, value_);
    key_ = t.observationPrefix[j];
    key_ += value_;
    const int r = index.find(key_);
    if (r >= 0) obsRuns_.push_back(r);
  }
  obsLabels_.clear();
  obsWeights_.clear();
  for (size_t i = obsRuns_.size(); i-- > 0;) {
    const int r = obsRuns_[i];
    obsLabels_.insert(obsLabels_.end(), index.labels() + index.runBegin(r), index.labels() + index.runEnd(r));
    obsWeights_.insert(obsWeights_.end(), index.weights() + index.runBegin(r), index.weights() + index.runEnd(r));
  }
}

void FastLabeler::labelFeatureRuns(TokenTable& sentence, int position) {
  const FastLabelTables& t = *tables_;
  const int n = tokenCount_;
  const int d0 = t.labelOrder >= 1 ? candidateCount(position - 1) : 1;
  const int d1 = t.labelOrder >= 2 ? candidateCount(position - 2) : 1;
  static const std::string kNone;
  for (size_t a = 0; a < t.labelTemplates.size(); ++a) {
    const LabelTemplate& lt = t.labelTemplates[a];
    const int e0 = lt.readsSlot[0] ? d0 : 1;
    const int e1 = lt.readsSlot[1] ? d1 : 1;
    const int s0 = lt.readsSlot[0] ? 1 : 0;
    const int s1 = lt.readsSlot[1] ? e0 : 0;
    stride0_[a] = s0;
    stride1_[a] = s1;
    std::vector<int>& runs = labelRuns_[a];
    runs.resize(static_cast<size_t>(e0) * e1);
    const bool inside = !lt.hasLabelItems || (position + lt.minOffset >= 0 && position + lt.maxOffset < n);
    if (!lt.global.empty() && inside) {
      for (int i1 = 0; i1 < e1; ++i1) {
        const int t1 = lt.readsSlot[1] ? (*candidates_[position - 2])[i1] : 0;
        for (int i0 = 0; i0 < e0; ++i0) {
          const int t0 = lt.readsSlot[0] ? (*candidates_[position - 1])[i0] : 0;
          runs[static_cast<size_t>(i1) * s1 + static_cast<size_t>(i0) * s0] =
              lt.global[static_cast<size_t>(t1) * lt.globalStride1 + static_cast<size_t>(t0) * lt.globalStride0];
        }
      }
      continue;
    }
    key_ = lt.prefix;
    if (lt.hasTokenItem) {
      value_.clear();
      FeatureLocGenP2Multi(sentence, templates_[lt.templateIndex], noStack_, position, noArcs_, noArgumentLists_,
                           noPredicateRows_, noExtraArcs_, value_);
      key_ += value_;
      key_ += '/';
    }
    const size_t base = key_.size();
    for (int i1 = 0; i1 < e1; ++i1) {
      const std::string& tag1 = lt.readsSlot[1] ? historyTag(position - 2, i1) : kNone;
      for (int i0 = 0; i0 < e0; ++i0) {
        const std::string& tag0 = lt.readsSlot[0] ? historyTag(position - 1, i0) : kNone;
        key_.resize(base);
        appendLabelPart(templates_[lt.templateIndex], position, n, t.labelOrder, tag0, tag1, key_);
        runs[static_cast<size_t>(i1) * s1 + static_cast<size_t>(i0) * s0] = t.index.find(key_);
      }
    }
  }
}

void FastLabeler::scoreToken(int position) {
  const FastLabelTables& t = *tables_;
  const FastWeightIndex& index = t.index;
  const int labelCount = index.labelCount();
  const int d0 = t.labelOrder >= 1 ? candidateCount(position - 1) : 1;
  const int d1 = t.labelOrder >= 2 ? candidateCount(position - 2) : 1;
  const std::vector<int>& here = *candidates_[position];
  std::vector<double>& row = costs_[position];
  row.clear();
  row.reserve(static_cast<size_t>(d0) * d1 * here.size());

  double* score = score_.data();
  double* exps = exps_.data();
  const size_t obsCount = obsLabels_.size();
  const uint8_t* obsLabels = obsLabels_.data();
  const double* obsWeights = obsWeights_.data();
  const int labelTemplateCount = static_cast<int>(t.labelTemplates.size());

  for (int i1 = 0; i1 < d1; ++i1) {
    for (int i0 = 0; i0 < d0; ++i0) {
      if (labelCount == 0) {
        // No probability at all: every candidate is impossible.
        for (size_t c = 0; c < here.size(); ++c) row.push_back(-std::log(0.0));
        continue;
      }
      std::fill(score, score + labelCount, 0.0);
      // The sample lists observation features first, so from the last
      // feature back the label features come first.
      for (int a = labelTemplateCount - 1; a >= 0; --a) {
        const int r = labelRuns_[a][static_cast<size_t>(i1) * stride1_[a] + static_cast<size_t>(i0) * stride0_[a]];
        if (r >= 0) index.addRun(r, score);
      }
      for (size_t j = 0; j < obsCount; ++j) score[obsLabels[j]] += obsWeights[j];
      const double sum = fastExponentials(score, labelCount, exps);
      for (int c : here) {
        const double p = c < labelCount ? exps[c] / sum : 0.0;
        row.push_back(-std::log(p));
      }
    }
  }
}

int FastLabeler::label(TokenTable& sentence, std::vector<std::string>& outTags) {
  const FastLabelTables& t = *tables_;
  if (sentence.empty()) return -1;
  if (t.labelOrder < 0 || t.labelOrder > 2) {
    std::fprintf(stderr, "Error: no decoder for label order %d (0, 1 or 2 expected).\n", t.labelOrder);
    outTags.assign(sentence.size(), std::string());
    return -1;
  }
  if (t.tagList.empty()) {
    std::fprintf(stderr, "Error: no tags to label with: the model has no labels.\n");
    outTags.assign(sentence.size(), std::string());
    return -1;
  }
  if (!t.supported) {
    std::fprintf(stderr, "Error: the fast labelling path does not classify with a reference model.\n");
    outTags.assign(sentence.size(), std::string());
    return -1;
  }
  outTags.clear();

  const int n = static_cast<int>(sentence.size());
  const int L = t.labelOrder;
  tokenCount_ = n;
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
    exps_.resize(labelCount);
  }
  labelRuns_.resize(t.labelTemplates.size());
  stride0_.resize(t.labelTemplates.size());
  stride1_.resize(t.labelTemplates.size());
  costs_.resize(n);
  for (int k = 0; k < n; ++k) {
    observationRuns(sentence, k);
    labelFeatureRuns(sentence, k);
    scoreToken(k);
  }

  // The decoders take the candidates as tag strings.
  candidateTags_.resize(static_cast<size_t>(n) + L);
  for (int i = 0; i < L; ++i) candidateTags_[i].assign(1, t.boundaryTags[i]);
  for (int k = 0; k < n; ++k) {
    std::vector<std::string>& tags = candidateTags_[k + L];
    const std::vector<int>& ids = *candidates_[k];
    tags.resize(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) tags[i] = t.tagList[ids[i]];
  }

  int decoded;
  tagIds_.clear();
  if (L == 0) {
    decoded = viterbiDecoderB0Limit2(costs_, candidateTags_, legalTable_, outTags);
  } else if (L == 2) {
    decoded = viterbiDecoderB2Fast2Limit(costs_, candidateTags_, legalTable_, outTags);
  } else if (t.dictionaryHasWords || !legalTable_.empty()) {
    decoded = viterbiDecoderB1LimitPath3(costs_, candidateTags_, legalTable_, outTags);
  } else {
    decoded = viterbiDecoderB1Fast(costs_, static_cast<int>(t.tagList.size()), tagIds_);
  }
  if (decoded < 0) {
    outTags.assign(sentence.size(), std::string());
    return -1;
  }
  if (outTags.empty())
    for (int id : tagIds_) outTags.push_back(t.tagList[id]);
  return 1;
}
