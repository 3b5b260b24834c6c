#include "maxent/me_model.h"

#include "maxent/exponentials.h"
#include "text/file_replace.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <set>
#include <unordered_map>

namespace {

constexpr int kMaxLabels = 256;
constexpr int kMaxFeatureNames = 1 << 24;  // the name id has 24 bits in a key

// Whole lines of any length; the line feed is dropped, a carriage return kept.
class LineReader {
 public:
  explicit LineReader(std::FILE* f) : f_(f) {}
  ~LineReader() { std::free(buf_); }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  bool next(std::string& line) {
    ssize_t n = getline(&buf_, &cap_, f_);
    if (n < 0) return false;
    if (n > 0 && buf_[n - 1] == '\n') --n;
    line.assign(buf_, static_cast<size_t>(n));
    return true;
  }

 private:
  std::FILE* f_;
  char* buf_ = nullptr;
  size_t cap_ = 0;
};

enum class WeightParse { kOk, kUnreadable, kNotFinite };

// "%f" into single precision, as the files were always read; bytes after the
// number (a carriage return, say) are accepted like the C format accepts them.
// What the writer prints (an optional minus, digits, a point, digits) is read
// without the C library: exactly, when both the digits as an integer and the
// power of ten are exact floats, by one float division (which rounds
// correctly); otherwise by std::from_chars, which rounds correctly too.
WeightParse parseWeight(const char* token, size_t length, double& weight) {
  const char* p = token;
  const char* end = token + length;
  const bool negative = p < end && *p == '-';
  if (negative) ++p;
  const char* intStart = p;
  uint64_t digits = 0;
  int significant = 0;  // digits after leading zeros, as far as they are counted
  while (p < end && *p >= '0' && *p <= '9') {
    digits = digits * 10 + static_cast<uint64_t>(*p - '0');
    if (digits != 0 && ++significant > 18) break;
    ++p;
  }
  bool plain = p > intStart && p < end && *p == '.';
  int fraction = 0;
  if (plain) {
    ++p;
    while (p < end && *p >= '0' && *p <= '9') {
      digits = digits * 10 + static_cast<uint64_t>(*p - '0');
      ++fraction;
      if (digits != 0 && ++significant > 18) break;
      ++p;
    }
    plain = fraction > 0 && p == end;
  }
  float f = 0.0f;
  static const float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  if (plain && digits <= (1u << 24) && fraction <= 10) {
    f = static_cast<float>(digits) / kPowersOfTen[fraction];
    if (negative) f = -f;
  } else {
    const bool decimalForm = plain || [&] {
      // A plain decimal that the exact division cannot take.
      const char* q = token + (negative ? 1 : 0);
      const char* digitsStart = q;
      while (q < end && *q >= '0' && *q <= '9') ++q;
      if (q == digitsStart || q >= end || *q != '.') return false;
      const char* fracStart = ++q;
      while (q < end && *q >= '0' && *q <= '9') ++q;
      return q > fracStart && q == end;
    }();
    const std::from_chars_result r =
        decimalForm ? std::from_chars(token, end, f, std::chars_format::fixed) : std::from_chars_result{token, std::errc::invalid_argument};
    if (r.ec != std::errc() || r.ptr != end) {
      // Any other form, and numbers out of the float range: the C format itself.
      const std::string copy(token, length);
      if (std::sscanf(copy.c_str(), "%f", &f) != 1) return WeightParse::kUnreadable;
    }
  }
  if (!std::isfinite(f)) return WeightParse::kNotFinite;
  weight = static_cast<double>(f);
  return WeightParse::kOk;
}

WeightParse parseWeight(const std::string& token, double& weight) {
  return parseWeight(token.data(), token.size(), weight);
}

// A file's lines, read in large blocks: the line feed is dropped, a carriage
// return kept; a last line without a line feed is a line too.
class BlockLineReader {
 public:
  explicit BlockLineReader(std::FILE* f) : f_(f) {
    struct stat st;
    size_t size = 1 << 20;
    // A regular file of reasonable size is read in one go.
    if (::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size < (1LL << 28)) {
      fileBytes_ = static_cast<size_t>(st.st_size);
      size = fileBytes_ + 1;
    }
    buf_.resize(size);
  }

  // The file's size when it is a regular file read in one go, else 0.
  size_t fileBytes() const { return fileBytes_; }

  bool next(const char*& line, size_t& length) {
    for (;;) {
      const char* lf = static_cast<const char*>(std::memchr(buf_.data() + begin_, '\n', end_ - begin_));
      if (lf != nullptr) {
        line = buf_.data() + begin_;
        length = static_cast<size_t>(lf - line);
        begin_ += length + 1;
        return true;
      }
      if (eof_) {
        if (begin_ == end_) return false;
        line = buf_.data() + begin_;
        length = end_ - begin_;
        begin_ = end_;
        return true;
      }
      // Keep the unfinished line, make room, read on.
      std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
      if (end_ == buf_.size()) buf_.resize(buf_.size() * 2);
      const size_t got = std::fread(buf_.data() + end_, 1, buf_.size() - end_, f_);
      end_ += got;
      if (got == 0) eof_ = true;
    }
  }

 private:
  std::FILE* f_;
  std::vector<char> buf_;
  size_t begin_ = 0, end_ = 0;
  size_t fileBytes_ = 0;
  bool eof_ = false;
};

struct Token {
  const char* data;
  size_t size;
  std::string str() const { return std::string(data, size); }
};

// ME_Model::readLine2VectorString without copies.
void splitTokens(const char* line, size_t n, std::vector<Token>& tokens) {
  tokens.clear();
  size_t i = 0;
  while (i < n) {
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= n) break;
    const size_t start = i;
    while (i < n && line[i] != ' ' && line[i] != '\t') ++i;
    tokens.push_back({line + start, i - start});
  }
}

// Builds the tables of a loader aside, so that a rejected input leaves the
// model as it was.
struct TableBuilder {
  enum Result { kAdded, kReplaced, kTooManyLabels, kTooManyNames };

  ME_Model::LabelTable labels;
  ME_Model::FeatureNameTable names;
  ME_Model::ME_FeatureBag bag;
  std::vector<double> weights;

  // Label ids and name ids as LabelTable::Put and FeatureNameTable::Put give
  // them. Files list names in ascending order (the writer's), so a name or key
  // past the last one is appended at the end of its map without a search.
  int putLabel(const std::string& label) { return putLabel(label.data(), label.size()); }
  int putLabel(const char* label, size_t length) {
    // Few labels, met once per pair: a small table of their ids by hash.
    if (labelSlots.empty()) labelSlots.assign(1024, -1);
    const size_t mask = labelSlots.size() - 1;
    size_t i = static_cast<size_t>(labelHash(label, length)) & mask;
    for (; labelSlots[i] >= 0; i = (i + 1) & mask) {
      const std::string& known = labels.names[labelSlots[i]];
      if (known.size() == length && std::memcmp(known.data(), label, length) == 0) return labelSlots[i];
    }
    const int id = labels.Put(std::string(label, length));
    if (labels.names.size() * 2 < labelSlots.size()) {
      labelSlots[i] = id;
    } else {
      // Past what a model can hold anyway: the slow way from here on.
      labelSlots.assign(labelSlots.size() * 4, -1);
      for (size_t k = 0; k < labels.names.size(); ++k) {
        const std::string& n = labels.names[k];
        size_t j = static_cast<size_t>(labelHash(n.data(), n.size())) & (labelSlots.size() - 1);
        while (labelSlots[j] >= 0) j = (j + 1) & (labelSlots.size() - 1);
        labelSlots[j] = static_cast<int>(k);
      }
    }
    return id;
  }
  static uint64_t labelHash(const char* s, size_t n) {
    uint64_t h = 1469598103934665603ULL;
    for (size_t k = 0; k < n; ++k) h = (h ^ static_cast<unsigned char>(s[k])) * 1099511628211ULL;
    return h ^ (h >> 29);
  }
  int putName(const std::string& name) { return names.PutAfterLast(name); }
  int putKey(const ME_Model::ME_Feature& f) { return bag.Put(f); }

  // A model file of this many bytes holds at most about this many pairs
  // (reserved room that is never touched costs no memory).
  void reserveFor(size_t fileBytes) {
    bag.keys.reserve(fileBytes / 8);
    weights.reserve(fileBytes / 8);
  }

  // A pair whose name was new on this line and whose label is new on it:
  // its key cannot be in the bag yet.
  Result addNew(int labelId, int nameId, double weight) {
    if (labelId >= kMaxLabels) return kTooManyLabels;
    if (nameId >= kMaxFeatureNames) return kTooManyNames;
    bag.Append(ME_Model::ME_Feature(labelId, nameId));
    weights.push_back(weight);
    return kAdded;
  }
  std::vector<int> labelSlots;  // label ids by hash, -1 empty

  // A repeated pair keeps its first feature index and takes the later weight,
  // so every other weight stays on its own feature.
  Result add(int labelId, int nameId, double weight) {
    if (labelId >= kMaxLabels) return kTooManyLabels;
    if (nameId >= kMaxFeatureNames) return kTooManyNames;
    const int index = putKey(ME_Model::ME_Feature(labelId, nameId));
    if (static_cast<size_t>(index) < weights.size()) {
      weights[index] = weight;
      return kReplaced;
    }
    weights.push_back(weight);
    return kAdded;
  }

  void commitTo(ME_Model& model) {
    names.IndexPending();
    bag.IndexPending();
    model.labels = std::move(labels);
    model.feature_names = std::move(names);
    model.feature_bag = std::move(bag);
    model.weights = std::move(weights);
    model.label_count = model.labels.Size();
    model.init_feature2mef();
  }
};

// Occurrence counts of feature keys: open addressing over the keys, which
// are dense small integers, far faster than a node-based map for the
// millions of occurrences of a training set.
class KeyCounts {
 public:
  void add(uint32_t key, long long amount) { at(key) += amount; }
  // The count of key, 0 for a new one.
  long long& at(uint32_t key) {
    if ((used_ + 1) * 2 > keys_.size()) grow();
    const size_t mask = keys_.size() - 1;
    const uint64_t stored = static_cast<uint64_t>(key) + 1;
    size_t i = static_cast<size_t>(mix(key)) & mask;
    while (keys_[i] != 0 && keys_[i] != stored) i = (i + 1) & mask;
    if (keys_[i] == 0) {
      keys_[i] = stored;
      ++used_;
    }
    return counts_[i];
  }

 private:
  static uint64_t mix(uint32_t key) {
    uint64_t h = key * 0x9E3779B97F4A7C15ULL;
    return h ^ (h >> 29);
  }
  void grow() {
    std::vector<uint64_t> oldKeys(keys_.empty() ? 1024 : keys_.size() * 2, 0);
    std::vector<long long> oldCounts(oldKeys.size(), 0);
    oldKeys.swap(keys_);
    oldCounts.swap(counts_);
    const size_t mask = keys_.size() - 1;
    for (size_t j = 0; j < oldKeys.size(); ++j) {
      if (oldKeys[j] == 0) continue;
      size_t i = static_cast<size_t>(mix(static_cast<uint32_t>(oldKeys[j] - 1))) & mask;
      while (keys_[i] != 0) i = (i + 1) & mask;
      keys_[i] = oldKeys[j];
      counts_[i] = oldCounts[j];
    }
  }
  std::vector<uint64_t> keys_;  // key + 1; 0 is empty
  std::vector<long long> counts_;
  size_t used_ = 0;
};

bool writeAll(std::FILE* out, const std::string& s) {
  return s.empty() || std::fwrite(s.data(), 1, s.size(), out) == s.size();
}

bool readsBackAsToken(const std::string& s) {
  return !s.empty() && s.find_first_of(" \t\n") == std::string::npos;
}

}  // namespace

// ---------------------------------------------------------------- tables

namespace {

inline size_t keySlot(uint32_t key) {
  const uint64_t h = key * 0x9E3779B97F4A7C15ULL;
  return static_cast<size_t>(h ^ (h >> 31));
}

}  // namespace

void ME_Model::ME_FeatureBag::IndexPending() {
  if (indexed_ > keys.size()) {  // keys taken away behind the index's back
    slots_.clear();
    indexed_ = 0;
  }
  if (indexed_ == keys.size() && !slots_.empty()) return;
  size_t size = slots_.empty() ? 256 : slots_.size();
  while ((keys.size() + 1) * 2 > size) size *= 2;
  if (size != slots_.size()) {
    std::vector<uint64_t> old(size, 0);
    old.swap(slots_);
    const size_t mask = size - 1;
    for (uint64_t slot : old) {
      if (slot == 0) continue;
      size_t i = keySlot(static_cast<uint32_t>(slot >> 32)) & mask;
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }
  // In batches, so that the cache misses of a batch overlap.
  const size_t mask = slots_.size() - 1;
  const size_t kBatch = 16;
  size_t places[kBatch];
  for (size_t base = indexed_; base < keys.size(); base += kBatch) {
    const size_t n = std::min(kBatch, keys.size() - base);
    for (size_t k = 0; k < n; ++k) {
      places[k] = keySlot(keys[base + k].body()) & mask;
      __builtin_prefetch(&slots_[places[k]], 1);
    }
    for (size_t k = 0; k < n; ++k) {
      size_t i = places[k];
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = (static_cast<uint64_t>(keys[base + k].body()) << 32) | static_cast<uint64_t>(base + k + 1);
    }
  }
  indexed_ = keys.size();
}

int ME_Model::ME_FeatureBag::Append(const ME_Feature& f) {
  keys.push_back(f);
  return static_cast<int>(keys.size()) - 1;
}

int ME_Model::ME_FeatureBag::Put(const ME_Feature& f) {
  IndexPending();
  const uint32_t key = f.body();
  {
    const size_t mask = slots_.size() - 1;
    for (size_t i = keySlot(key) & mask; slots_[i] != 0; i = (i + 1) & mask)
      if (static_cast<uint32_t>(slots_[i] >> 32) == key) return static_cast<int>(static_cast<uint32_t>(slots_[i]) - 1);
  }
  keys.push_back(f);
  IndexPending();
  return static_cast<int>(keys.size()) - 1;
}

int ME_Model::ME_FeatureBag::Id(const ME_Feature& f) const {
  const uint32_t key = f.body();
  const size_t indexed = std::min(indexed_, keys.size());
  if (!slots_.empty() && indexed_ <= keys.size()) {
    const size_t mask = slots_.size() - 1;
    for (size_t i = keySlot(key) & mask; slots_[i] != 0; i = (i + 1) & mask)
      if (static_cast<uint32_t>(slots_[i] >> 32) == key) return static_cast<int>(static_cast<uint32_t>(slots_[i]) - 1);
  } else if (indexed_ > keys.size()) {
    // Out of step with the keys: look at all of them.
    for (size_t i = 0; i < keys.size(); ++i)
      if (keys[i].body() == key) return static_cast<int>(i);
    return -1;
  }
  // Keys appended since the last indexing.
  for (size_t i = indexed; i < keys.size(); ++i)
    if (keys[i].body() == key) return static_cast<int>(i);
  return -1;
}

void ME_Model::ME_FeatureBag::Clear() {
  keys.clear();
  slots_.clear();
  indexed_ = 0;
}

namespace {

// The bag's feature indices grouped by name id (names at or past nameCount
// left out), within a name by ascending label id (labels at or past
// labelLimit left out): the order of the row tables and of the model file.
struct KeyGroups {
  std::vector<int> offsets;  // nameCount + 1 entries
  std::vector<int> indices;
};

// Grouped over every name id a key holds, for the operations that walk the
// name table by name.
KeyGroups groupAllKeys(const ME_Model::ME_FeatureBag& bag, int nameCount, int labelLimit);

KeyGroups groupKeys(const ME_Model::ME_FeatureBag& bag, int nameCount, int labelLimit) {
  KeyGroups g;
  const size_t names = nameCount > 0 ? static_cast<size_t>(nameCount) : 0;
  g.offsets.assign(names + 1, 0);
  for (const ME_Model::ME_Feature& k : bag.keys)
    if (static_cast<size_t>(k.feature()) < names && k.label() < labelLimit) ++g.offsets[k.feature() + 1];
  for (size_t f = 0; f < names; ++f) g.offsets[f + 1] += g.offsets[f];
  g.indices.resize(g.offsets[names]);
  std::vector<int> next(g.offsets.begin(), g.offsets.end() - 1);
  for (size_t i = 0; i < bag.keys.size(); ++i) {
    const ME_Model::ME_Feature k = bag.keys[i];
    if (static_cast<size_t>(k.feature()) < names && k.label() < labelLimit) g.indices[next[k.feature()]++] = static_cast<int>(i);
  }
  // A name has few labels: insertion sort by label.
  for (size_t f = 0; f < names; ++f) {
    int* first = g.indices.data() + g.offsets[f];
    const int n = g.offsets[f + 1] - g.offsets[f];
    for (int a = 1; a < n; ++a) {
      const int v = first[a];
      const int label = bag.keys[v].label();
      int b = a;
      for (; b > 0 && bag.keys[first[b - 1]].label() > label; --b) first[b] = first[b - 1];
      first[b] = v;
    }
  }
  return g;
}

KeyGroups groupAllKeys(const ME_Model::ME_FeatureBag& bag, int nameCount, int labelLimit) {
  int names = nameCount;
  for (const ME_Model::ME_Feature& k : bag.keys) names = std::max(names, k.feature() + 1);
  return groupKeys(bag, names, labelLimit);
}

}  // namespace

int ME_Model::LabelTable::Put(const std::string& s) {
  auto found = ids.find(s);
  if (found != ids.end()) return found->second;
  const int id = static_cast<int>(names.size());
  ids.emplace(s, id);
  names.push_back(s);
  return id;
}

int ME_Model::LabelTable::Id(const std::string& s) const {
  auto found = ids.find(s);
  return found == ids.end() ? -1 : found->second;
}

void ME_Model::LabelTable::Clear() {
  ids.clear();
  names.clear();
}

namespace {

uint64_t nameHash(const char* s, size_t n) {
  uint64_t h = 0x9E3779B97F4A7C15ULL ^ n;
  while (n >= 8) {
    uint64_t w;
    std::memcpy(&w, s, 8);
    h = (h ^ w) * 0xFF51AFD7ED558CCDULL;
    h ^= h >> 32;
    s += 8;
    n -= 8;
  }
  uint64_t w = 0;
  std::memcpy(&w, s, n);
  h = (h ^ w) * 0xC4CEB9FE1A85EC53ULL;
  h ^= h >> 29;
  h *= 0xFF51AFD7ED558CCDULL;
  return h ^ (h >> 32);
}

}  // namespace

ME_Model::FeatureNameTable::FeatureNameTable(const FeatureNameTable& other) : count(other.count), ids(other.ids) {
  reindex();
}

ME_Model::FeatureNameTable& ME_Model::FeatureNameTable::operator=(const FeatureNameTable& other) {
  if (this != &other) {
    count = other.count;
    ids = other.ids;
    reindex();
  }
  return *this;
}

ME_Model::FeatureNameTable::FeatureNameTable(FeatureNameTable&& other) noexcept { *this = std::move(other); }

ME_Model::FeatureNameTable& ME_Model::FeatureNameTable::operator=(FeatureNameTable&& other) noexcept {
  if (this != &other) {
    count = other.count;
    ids = std::move(other.ids);
    slots_ = std::move(other.slots_);
    entries_ = std::move(other.entries_);
    indexed_ = other.indexed_;
    byId_ = other.byId_;
    other.Clear();
  }
  return *this;
}

// Entry number of the name, -1 when absent.
int ME_Model::FeatureNameTable::find(const char* s, size_t length, uint64_t hash) const {
  if (slots_.empty()) return -1;
  const size_t mask = slots_.size() - 1;
  const uint64_t tag = hash >> 32;
  for (size_t i = static_cast<size_t>(tag) & mask;; i = (i + 1) & mask) {
    const uint64_t slot = slots_[i];
    if (slot == 0) return -1;
    if ((slot >> 32) != tag) continue;
    const int entry = static_cast<int>(static_cast<uint32_t>(slot) - 1);
    const std::string& name = entries_[entry]->first;
    if (name.size() == length && std::memcmp(name.data(), s, length) == 0) return entry;
  }
}

// Puts entries_[from, end) into the slots, growing them first if needed.
void ME_Model::FeatureNameTable::indexRange(size_t from) {
  size_t size = slots_.empty() ? 64 : slots_.size();
  while (entries_.size() * 2 > size) size *= 2;
  if (size != slots_.size()) {
    // A slot's place follows from its own hash bits: no name is read again.
    std::vector<uint64_t> old(size, 0);
    old.swap(slots_);
    const size_t mask = size - 1;
    for (uint64_t slot : old) {
      if (slot == 0) continue;
      size_t i = static_cast<size_t>(slot >> 32) & mask;
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }
  // In batches: hash a batch and fetch its slots, then fill them, so that
  // the cache misses overlap.
  const size_t mask = slots_.size() - 1;
  const size_t kBatch = 16;
  uint64_t tags[kBatch];
  for (size_t base = from; base < entries_.size(); base += kBatch) {
    const size_t n = std::min(kBatch, entries_.size() - base);
    for (size_t k = 0; k < n; ++k) {
      const std::string& name = entries_[base + k]->first;
      tags[k] = nameHash(name.data(), name.size()) >> 32;
      __builtin_prefetch(&slots_[static_cast<size_t>(tags[k]) & mask], 1);
    }
    for (size_t k = 0; k < n; ++k) {
      size_t i = static_cast<size_t>(tags[k]) & mask;
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = (tags[k] << 32) | static_cast<uint64_t>(base + k + 1);
    }
  }
  indexed_ = entries_.size();
}

void ME_Model::FeatureNameTable::reindex() {
  slots_.clear();
  entries_.assign(ids.size(), nullptr);
  // By id when the ids are 0 .. n-1 (as Put gives them), else in map order.
  byId_ = true;
  for (const Entry& e : ids) {
    if (e.second < 0 || static_cast<size_t>(e.second) >= entries_.size() || entries_[e.second] != nullptr) {
      byId_ = false;
      break;
    }
    entries_[e.second] = &e;
  }
  if (!byId_) {
    entries_.clear();
    for (const Entry& e : ids) entries_.push_back(&e);
  }
  indexRange(0);
}

void ME_Model::FeatureNameTable::IndexPending() {
  if (!inSync()) {
    reindex();
  } else if (indexed_ < entries_.size()) {
    indexRange(indexed_);
  }
}

int ME_Model::FeatureNameTable::Put(const std::string& s) {
  IndexPending();
  const uint64_t hash = nameHash(s.data(), s.size());
  const int entry = find(s.data(), s.size(), hash);
  if (entry >= 0) return entries_[entry]->second;
  const int id = count++;
  if (byId_ && static_cast<size_t>(id) != entries_.size()) byId_ = false;
  entries_.push_back(&*ids.emplace(s, id).first);
  indexRange(indexed_);
  return id;
}

int ME_Model::FeatureNameTable::PutAfterLast(const std::string& s) {
  if (!ids.empty() && !(std::prev(ids.end())->first < s)) return Put(s);
  if (!inSync()) reindex();
  const int id = count++;
  if (byId_ && static_cast<size_t>(id) != entries_.size()) byId_ = false;
  entries_.push_back(&*ids.emplace_hint(ids.end(), s, id));
  return id;
}

int ME_Model::FeatureNameTable::Id(const char* s, size_t length) const {
  if (!inSync() || indexed_ < entries_.size()) {
    // Not indexed (or changed behind the index's back): search the map.
    auto found = ids.find(std::string(s, length));
    return found == ids.end() ? -1 : found->second;
  }
  const int entry = find(s, length, nameHash(s, length));
  return entry < 0 ? -1 : entries_[entry]->second;
}

int ME_Model::FeatureNameTable::Id(const std::string& s) const { return Id(s.data(), s.size()); }

const std::string* ME_Model::FeatureNameTable::NameOf(int id) const {
  if (!byId_ || !inSync() || id < 0 || static_cast<size_t>(id) >= entries_.size()) return nullptr;
  const Entry* e = entries_[id];
  return e->second == id ? &e->first : nullptr;
}

void ME_Model::FeatureNameTable::Clear() {
  ids.clear();
  count = 0;
  slots_.clear();
  entries_.clear();
  indexed_ = 0;
  byId_ = true;
}

ME_Model::ME_Model() = default;
ME_Model::~ME_Model() = default;

// ---------------------------------------------------------------- files

void ME_Model::readLine2VectorString(std::string& line, std::vector<std::string>& tokens) {
  tokens.clear();
  const size_t n = line.size();
  size_t i = 0;
  while (i < n) {
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= n) break;
    const size_t start = i;
    while (i < n && line[i] != ' ' && line[i] != '\t') ++i;
    tokens.emplace_back(line, start, i - start);
  }
}

int checkFile(const char* path) {
  std::FILE* f = std::fopen(path, "r");
  if (f == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", path);
    return -1;
  }
  std::fclose(f);
  return 1;
}

bool ME_Model::load_from_fileV2(const std::string& path) {
  std::fprintf(stderr, "Loading model ");
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) {
    std::fprintf(stderr, "Error: cannot open %s!\n", path.c_str());
    return false;
  }
  const char* file = path.c_str();
  TableBuilder built;
  BlockLineReader reader(f);
  built.reserveFor(reader.fileBytes());
  const char* line = nullptr;
  size_t length = 0;
  std::string prefix, name;
  std::vector<Token> tokens;
  int lineNo = 0;
  bool ok = true;
  while (ok && reader.next(line, length)) {
    ++lineNo;
    if (length == 0) {
      if (!reader.next(line, length)) {
        prefix.clear();
        break;
      }
      ++lineNo;
      prefix.assign(line, length);
      continue;
    }
    splitTokens(line, length, tokens);
    if (tokens.empty()) {
      std::fprintf(stderr, "Error: %s line %d: the line holds only blanks and tabs.\n", file, lineNo);
      ok = false;
      break;
    }
    if (tokens.size() % 2 == 0) {
      std::fprintf(stderr, "Error: %s line %d: label \"%s\" has no weight.\n", file, lineNo,
                   tokens.back().str().c_str());
      ok = false;
      break;
    }
    name.assign(prefix);
    name += ':';
    name.append(tokens[0].data, tokens[0].size);
    int nameId = -1;
    bool freshName = false;          // the name was new on this line
    uint64_t lineLabels[4] = {0, 0, 0, 0};  // labels met on this line
    for (size_t i = 1; i + 1 < tokens.size(); i += 2) {
      double weight = 0.0;
      const WeightParse parsed = parseWeight(tokens[i + 1].data, tokens[i + 1].size, weight);
      if (parsed != WeightParse::kOk) {
        std::fprintf(stderr, "Error: %s line %d: the weight \"%s\" of label \"%s\" %s.\n", file, lineNo,
                     tokens[i + 1].str().c_str(), tokens[i].str().c_str(),
                     parsed == WeightParse::kUnreadable ? "is not a number" : "is not a finite number");
        ok = false;
        break;
      }
      const int labelId = built.putLabel(tokens[i].data, tokens[i].size);
      if (nameId < 0) {
        const int before = built.names.count;
        nameId = built.putName(name);
        freshName = built.names.count > before;
      }
      TableBuilder::Result r;
      if (freshName && labelId < kMaxLabels && (lineLabels[labelId / 64] >> (labelId % 64) & 1) == 0) {
        lineLabels[labelId / 64] |= uint64_t{1} << (labelId % 64);
        r = built.addNew(labelId, nameId, weight);
      } else {
        r = built.add(labelId, nameId, weight);
      }
      if (r == TableBuilder::kTooManyLabels) {
        std::fprintf(stderr, "Error: %s line %d: label \"%s\" is one more than the 256 labels a model can hold.\n",
                     file, lineNo, tokens[i].str().c_str());
        ok = false;
        break;
      }
      if (r == TableBuilder::kTooManyNames) {
        std::fprintf(stderr, "Error: %s line %d: more than %d feature names.\n", file, lineNo, kMaxFeatureNames);
        ok = false;
        break;
      }
      if (r == TableBuilder::kReplaced) {
        std::fprintf(stderr, "Warning: %s line %d: the pair (%s, %s) was given before; the later weight is kept.\n",
                     file, lineNo, tokens[i].str().c_str(), name.c_str());
      }
    }
  }
  if (ok && std::ferror(f)) {
    std::fprintf(stderr, "Error: cannot read %s!\n", file);
    ok = false;
  }
  std::fclose(f);
  if (!ok) return false;
  built.commitTo(*this);
  std::fprintf(stderr, "done.\n");
  return true;
}

bool ME_Model::save_to_fileV2(const std::string& path) const {
  // Written aside and renamed over the target, so that a failure never
  // leaves a half-written model behind; through a symbolic link the file it
  // names is replaced, and a device or pipe is written in place.
  const ReplacementTarget target = replacementTarget(path);
  std::string tmpName;
  std::FILE* out = nullptr;
  if (target.direct) {
    out = std::fopen(path.c_str(), "wb");
  } else {
    const int fd = createTempBeside(target.path, tmpName);
    if (fd >= 0) {
      out = ::fdopen(fd, "wb");
      if (out == nullptr) {
        ::close(fd);
        std::remove(tmpName.c_str());
      }
    }
  }
  if (out == nullptr) {
    std::fprintf(stderr, "Error: cannot open %s!\n", path.c_str());
    return false;
  }

  const char* file = path.c_str();
  const uint32_t labelLimit = static_cast<uint32_t>(labels.names.size());
  std::vector<signed char> labelChecked(labels.names.size(), 0);
  std::string prevPrefix, prevValue, prefix, value;
  bool ok = true, ioOk = true;
  char number[512];
  const KeyGroups groups = groupAllKeys(feature_bag, feature_names.count, static_cast<int>(labelLimit));
  const int groupCount = static_cast<int>(groups.offsets.size()) - 1;
  for (const auto& entry : feature_names.ids) {
    if (!ok || !ioOk) break;
    const std::string& name = entry.first;
    if (entry.second < 0 || entry.second >= groupCount) continue;
    bool split = false;
    for (int p = groups.offsets[entry.second]; p < groups.offsets[entry.second + 1]; ++p) {
      const int index = groups.indices[p];
      if (!split) {
        const size_t colon = name.find(':', 1);
        if (colon == std::string::npos) {
          std::fprintf(stderr, "Error: %s: the feature name \"%s\" has no ':' after its first byte; nothing written.\n",
                       file, name.c_str());
          ok = false;
          break;
        }
        prefix.assign(name, 0, colon);
        value.assign(name, colon + 1, std::string::npos);
        if (!readsBackAsToken(value) || prefix.find('\n') != std::string::npos) {
          std::fprintf(stderr, "Error: %s: the feature name \"%s\" would not read back; nothing written.\n", file,
                       name.c_str());
          ok = false;
          break;
        }
        split = true;
      }
      const int labelId = feature_bag.keys[index].label();
      const std::string& label = labels.names[labelId];
      if (labelChecked[labelId] == 0) labelChecked[labelId] = readsBackAsToken(label) ? 1 : -1;
      if (labelChecked[labelId] < 0) {
        std::fprintf(stderr, "Error: %s: the label \"%s\" would not read back; nothing written.\n", file,
                     label.c_str());
        ok = false;
        break;
      }
      const double w = static_cast<size_t>(index) < weights.size() ? weights[index] : 0.0;
      if (!std::isfinite(w)) {
        std::fprintf(stderr, "Error: %s: the weight of (%s, %s) is not a finite number; nothing written.\n", file,
                     label.c_str(), name.c_str());
        ok = false;
        break;
      }
      std::snprintf(number, sizeof number, " %f", w);
      if (prefix != prevPrefix) {
        if (!prevPrefix.empty()) ioOk = ioOk && std::fputc('\n', out) != EOF;
        ioOk = ioOk && std::fputc('\n', out) != EOF && writeAll(out, prefix) && std::fputc('\n', out) != EOF &&
               writeAll(out, value) && std::fputc(' ', out) != EOF;
      } else if (value != prevValue) {
        ioOk = ioOk && std::fputc('\n', out) != EOF && writeAll(out, value) && std::fputc(' ', out) != EOF;
      } else {
        ioOk = ioOk && std::fputc(' ', out) != EOF;
      }
      ioOk = ioOk && writeAll(out, label) && std::fputs(number, out) != EOF;
      prevPrefix = prefix;
      prevValue = value;
    }
  }
  if (std::fflush(out) != 0 || std::ferror(out)) ioOk = false;
  if (std::fclose(out) != 0) ioOk = false;
  if (ok && !ioOk) std::fprintf(stderr, "Error: cannot write %s!\n", file);
  if (ok && ioOk && !target.direct && std::rename(tmpName.c_str(), target.path.c_str()) != 0) {
    std::fprintf(stderr, "Error: cannot write %s!\n", file);
    ioOk = false;
  }
  if (!ok || !ioOk) {
    if (!target.direct) std::remove(tmpName.c_str());
    return false;
  }
  return true;
}

void ME_Model::init_feature2mef() {
  KeyGroups rows = groupKeys(feature_bag, feature_names.count, label_count);
  row_offsets = std::move(rows.offsets);
  row_entries = std::move(rows.indices);
}

bool ME_Model::load_from_file(const std::string& path) {
  std::fprintf(stderr, "Loading model %s ", path.c_str());
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) {
    std::fprintf(stderr, "Error: cannot open %s!\n", path.c_str());
    return false;
  }
  const char* file = path.c_str();
  TableBuilder built;
  LineReader reader(f);
  std::string line;
  std::vector<std::string> tokens;
  int lineNo = 0;
  bool ok = true;
  while (reader.next(line)) {
    ++lineNo;
    readLine2VectorString(line, tokens);
    // Blank lines (a lone carriage return included) carry nothing.
    if (tokens.empty() || (tokens.size() == 1 && tokens[0] == "\r")) continue;
    if (tokens.size() < 3) {
      std::fprintf(stderr, "Error: %s line %d: a line needs a label, a feature name and a weight.\n", file, lineNo);
      ok = false;
      break;
    }
    double weight = 0.0;
    const WeightParse parsed = parseWeight(tokens[2], weight);
    if (parsed != WeightParse::kOk) {
      std::fprintf(stderr, "Error: %s line %d: the weight \"%s\" %s.\n", file, lineNo, tokens[2].c_str(),
                   parsed == WeightParse::kUnreadable ? "is not a number" : "is not a finite number");
      ok = false;
      break;
    }
    const int labelId = built.putLabel(tokens[0]);
    const int nameId = built.putName(tokens[1]);
    const TableBuilder::Result r = built.add(labelId, nameId, weight);
    if (r == TableBuilder::kTooManyLabels) {
      std::fprintf(stderr, "Error: %s line %d: label \"%s\" is one more than the 256 labels a model can hold.\n", file,
                   lineNo, tokens[0].c_str());
      ok = false;
      break;
    }
    if (r == TableBuilder::kTooManyNames) {
      std::fprintf(stderr, "Error: %s line %d: more than %d feature names.\n", file, lineNo, kMaxFeatureNames);
      ok = false;
      break;
    }
    if (r == TableBuilder::kReplaced) {
      std::fprintf(stderr, "Warning: %s line %d: the pair (%s, %s) was given before; the later weight is kept.\n",
                   file, lineNo, tokens[0].c_str(), tokens[1].c_str());
    }
  }
  if (ok && std::ferror(f)) {
    std::fprintf(stderr, "Error: cannot read %s!\n", file);
    ok = false;
  }
  std::fclose(f);
  if (!ok) return false;
  built.commitTo(*this);
  std::fprintf(stderr, "done.\n");
  return true;
}

bool ME_Model::load_from_array(const ME_Model_Data* rows) {
  // The table defines the whole model, as the file loaders do; keeping
  // earlier pairs would leave them without weights.
  if (rows == nullptr) {
    std::fprintf(stderr, "Error: no weight table.\n");
    return false;
  }
  TableBuilder built;
  for (int i = 0;; ++i) {
    const ME_Model_Data& row = rows[i];
    if (row.label_name == nullptr) {
      std::fprintf(stderr, "Error: weight table row %d has no label.\n", i);
      return false;
    }
    if (std::strcmp(row.label_name, "///") == 0) break;
    if (row.feature_name == nullptr) {
      std::fprintf(stderr, "Error: weight table row %d has no feature name.\n", i);
      return false;
    }
    if (!std::isfinite(row.value)) {
      std::fprintf(stderr, "Error: weight table row %d: the weight is not a finite number.\n", i);
      return false;
    }
    const int labelId = built.putLabel(row.label_name);
    const int nameId = built.putName(row.feature_name);
    const TableBuilder::Result r = built.add(labelId, nameId, row.value);
    if (r == TableBuilder::kTooManyLabels) {
      std::fprintf(stderr, "Error: weight table row %d: label \"%s\" is one more than the 256 labels a model can hold.\n",
                   i, row.label_name);
      return false;
    }
    if (r == TableBuilder::kTooManyNames) {
      std::fprintf(stderr, "Error: weight table row %d: more than %d feature names.\n", i, kMaxFeatureNames);
      return false;
    }
    if (r == TableBuilder::kReplaced) {
      std::fprintf(stderr, "Warning: weight table row %d: the pair (%s, %s) was given before; the later weight is kept.\n",
                   i, row.label_name, row.feature_name);
    }
  }
  built.commitTo(*this);
  return true;
}

// ---------------------------------------------------------------- classification

void ME_Model::map_sample(ME_Sample& sample, Sample& s) const {
  s.feature_ids.reserve(sample.feature_strs.size());
  for (const std::string& str : sample.feature_strs) {
    const int id = feature_names.Id(str);
    if (id >= 0) s.feature_ids.push_back(id);
  }
  for (const auto& fv : sample.valued_feature_strs) {
    const int id = feature_names.Id(fv.first);
    if (id >= 0) s.valued_feature_ids.emplace_back(id, fv.second);
  }
  if (reference_model != nullptr) {
    s.reference_dist = reference_model->classify(sample);
    set_ref_dist(s);
  }
}

void ME_Model::set_ref_dist(Sample& s) const {
  const std::vector<double> given = s.reference_dist;
  std::vector<double> mapped(label_count > 0 ? static_cast<size_t>(label_count) : 0, 0.0);
  for (size_t i = 0; i < mapped.size(); ++i) {
    double p = 0.0;
    if (reference_model != nullptr && i < labels.names.size()) {
      const int id = reference_model->labels.Id(labels.names[i]);
      if (id >= 0 && static_cast<size_t>(id) < given.size()) p = given[id];
    }
    mapped[i] = p == 0.0 ? 0.001 : p;
  }
  s.reference_dist = std::move(mapped);
}

int ME_Model::conditional_probability2(const Sample& s, std::vector<double>& probs) const {
  const int n = label_count;
  if (n <= 0) return -1;  // no label, nothing to choose
  if (probs.size() < static_cast<size_t>(n)) probs.resize(n, 0.0);
  std::vector<double> score(n, 0.0);

  // Ids past the row tables (names added after the last init_feature2mef)
  // carry no weights yet.
  const int rows = row_offsets.empty() ? 0 : static_cast<int>(row_offsets.size()) - 1;
  const int* offsets = row_offsets.data();
  const int* entries = row_entries.data();
  const ME_Feature* keys = feature_bag.keys.data();
  const double* w = weights.data();
  const int nw = static_cast<int>(weights.size());
  for (auto it = s.feature_ids.rbegin(); it != s.feature_ids.rend(); ++it) {
    const int f = *it;
    if (f < 0 || f >= rows) continue;
    for (int j = offsets[f + 1] - 1; j >= offsets[f]; --j) {
      const int k = entries[j];
      const int l = keys[k].label();
      if (k < nw && l < n) score[l] += w[k];
    }
  }
  for (auto it = s.valued_feature_ids.rbegin(); it != s.valued_feature_ids.rend(); ++it) {
    const int f = it->first;
    const double v = it->second;
    if (f < 0 || f >= rows) continue;
    for (int j = offsets[f + 1] - 1; j >= offsets[f]; --j) {
      const int k = entries[j];
      const int l = keys[k].label();
      if (k < nw && l < n) score[l] += v * w[k];
    }
  }

  const bool withPrior = reference_model != nullptr;
  auto prior = [&](int j) {
    return static_cast<size_t>(j) < s.reference_dist.size() ? s.reference_dist[j] : 0.001;
  };
  const double sum = withPrior ? exponentiateScores(score.data(), n, prior, probs.data())
                               : exponentiateScores(score.data(), n, NoPrior{}, probs.data());
  int best = 0;
  for (int j = 0; j < n; ++j) {
    probs[j] /= sum;
    if (probs[j] > probs[best]) best = j;
  }
  return best;
}

int ME_Model::classify(const Sample& s, std::vector<double>& probs) const {
  if (conditional_probability2(s, probs) < 0) return -1;
  // Entries past label_count (a longer vector) are not the model's.
  double bestValue = 0.0;
  int best = 0;
  for (int j = 0; j < label_count; ++j) {
    if (probs[j] > bestValue) {
      bestValue = probs[j];
      best = j;
    }
  }
  return best;
}

std::vector<double> ME_Model::classify(ME_Sample& sample) const {
  Sample s;
  map_sample(sample, s);
  std::vector<double> result(label_count > 0 ? static_cast<size_t>(label_count) : 0, 0.0);
  const int id = classify(s, result);
  if (id >= 0 && static_cast<size_t>(id) < labels.names.size()) {
    sample.label_str = labels.names[id];
  } else {
    sample.label_str.clear();
  }
  return result;
}

int ME_Model::classify2(ME_Sample& sample, std::vector<double>& probs) const {
  Sample s;
  map_sample(sample, s);
  probs.resize(label_count > 0 ? static_cast<size_t>(label_count) : 0, 0.0);
  return classify(s, probs);
}

// ---------------------------------------------------------------- training side

void ME_Model::add_training_sample(const ME_Sample& sample) {
  Sample s;
  s.label_id = labels.Put(sample.label_str);
  if (s.label_id > 255) {
    std::fprintf(stderr, "Error: too many types of labels.\n");
    std::exit(1);
  }
  s.frequency = 1;
  s.feature_ids.reserve(sample.feature_strs.size());
  for (const std::string& str : sample.feature_strs) s.feature_ids.push_back(feature_names.Put(str));
  for (const auto& fv : sample.valued_feature_strs)
    s.valued_feature_ids.emplace_back(feature_names.Put(fv.first), fv.second);
  if (reference_model != nullptr) {
    ME_Sample copy = sample;
    s.reference_dist = reference_model->classify(copy);
  }
  training_samples.push_back(std::move(s));
}

int ME_Model::make_feature_bag(int cutoff) {
  // Instances do not change label_count; the rows must cover every label.
  label_count = labels.Size();

  KeyCounts counts;
  auto keyOf = [](int label, int name) { return ME_Feature(label, name).body(); };
  auto usable = [](int name) { return name >= 0 && name < kMaxFeatureNames; };
  if (cutoff >= 1) {
    for (const Sample& s : training_samples) {
      for (int f : s.feature_ids)
        if (usable(f)) counts.add(keyOf(s.label_id, f), s.frequency);
      for (const auto& fv : s.valued_feature_ids)
        if (usable(fv.first)) counts.add(keyOf(s.label_id, fv.first), s.frequency);
    }
  }
  // Once a key is in the bag its count is replaced by a mark, so that each
  // key is put once (in order of first surviving occurrence, as before).
  const long long kInBag = std::numeric_limits<long long>::min();
  int result = 0;
  long skipped = 0;
  for (const Sample& s : training_samples) {
    if (static_cast<int>(s.feature_ids.size()) > result) result = static_cast<int>(s.feature_ids.size());
    for (int f : s.feature_ids) {
      if (!usable(f)) {
        ++skipped;
        continue;
      }
      const uint32_t key = keyOf(s.label_id, f);
      long long& count = counts.at(key);
      if (count == kInBag || (cutoff >= 1 && count < cutoff)) continue;
      feature_bag.Put(ME_Feature(key));
      count = kInBag;
    }
    for (const auto& fv : s.valued_feature_ids) {
      if (!usable(fv.first)) {
        ++skipped;
        continue;
      }
      const uint32_t key = keyOf(s.label_id, fv.first);
      long long& count = counts.at(key);
      if (count == kInBag || (cutoff >= 1 && count <= cutoff)) continue;
      feature_bag.Put(ME_Feature(key));
      count = kInBag;
    }
  }
  if (skipped > 0) {
    std::fprintf(stderr, "Warning: %ld feature occurrences past the %d feature names a model can hold were left out.\n",
                 skipped, kMaxFeatureNames);
  }
  counts = KeyCounts();
  // New features start at weight 0, so the model classifies soundly at once
  // and weights stay one per feature.
  weights.resize(feature_bag.keys.size(), 0.0);
  filterFeatureList(filter_file_name);
  init_feature2mef();
  return result;
}

int ME_Model::filterFeatureList(const std::string& name) {
  if (name == "NULL") return 0;
  std::set<std::string> keep;
  std::FILE* f = std::fopen(name.c_str(), "r");
  if (f == nullptr) {
    std::fprintf(stderr, "Warning: cannot open the feature filter list \"%s\"; no feature passes it.\n",
                 name.c_str());
  } else {
    LineReader reader(f);
    std::string line;
    while (reader.next(line)) {
      if (line.empty()) continue;
      const size_t first = line.find(' ');
      if (first == std::string::npos) {
        keep.insert(line);  // a bare name
      } else {
        const size_t last = line.rfind(' ');
        keep.insert(first == last ? line.substr(first + 1) : line.substr(first + 1, last - first - 1));
      }
    }
    std::fclose(f);
  }
  std::fprintf(stderr, "\n#filter=%d\n", static_cast<int>(keep.size()));

  const uint32_t labelLimit = static_cast<uint32_t>(labels.names.size());
  std::vector<uint32_t> kept;
  std::vector<int> oldIndex;
  const KeyGroups groups = groupAllKeys(feature_bag, feature_names.count, static_cast<int>(labelLimit));
  const int groupCount = static_cast<int>(groups.offsets.size()) - 1;
  for (const auto& entry : feature_names.ids) {
    if (entry.second < 0 || entry.second >= groupCount || keep.count(entry.first) == 0) continue;
    for (int p = groups.offsets[entry.second]; p < groups.offsets[entry.second + 1]; ++p) {
      kept.push_back(feature_bag.keys[groups.indices[p]].body());
      oldIndex.push_back(groups.indices[p]);
    }
  }
  // Weights follow their features when they were aligned with the old bag.
  if (weights.size() == feature_bag.keys.size()) {
    std::vector<double> moved(kept.size());
    for (size_t i = 0; i < kept.size(); ++i) moved[i] = weights[oldIndex[i]];
    weights = std::move(moved);
  }
  feature_bag.Clear();
  for (uint32_t key : kept) feature_bag.Put(ME_Feature(key));
  return 1;
}

double ME_Model::heldout_likelihood() {
  // No held-out instance: nothing measured, nothing wrong.
  if (heldout_samples.empty()) {
    heldout_error = 0.0;
    return 0.0;
  }
  double sum = 0.0;
  int correct = 0;
  std::vector<double> probs;
  for (const Sample& s : heldout_samples) {
    probs.assign(label_count > 0 ? static_cast<size_t>(label_count) : 0, 0.0);
    const int best = classify(s, probs);
    const bool known = s.label_id >= 0 && s.label_id < label_count;
    sum += std::log(known ? probs[s.label_id] : 0.0);
    if (known && best == s.label_id) ++correct;
  }
  const double n = static_cast<double>(heldout_samples.size());
  heldout_error = 1.0 - correct / n;
  return sum / n;
}

int ME_Model::compareFeatures(Sample& a, Sample& b) { return a.feature_ids == b.feature_ids ? 1 : -1; }

void ME_Model::get_features(std::list<std::pair<std::pair<std::string, std::string>, double>>& out) {
  out.clear();
  const uint32_t labelLimit = static_cast<uint32_t>(labels.names.size());
  const KeyGroups groups = groupAllKeys(feature_bag, feature_names.count, static_cast<int>(labelLimit));
  const int groupCount = static_cast<int>(groups.offsets.size()) - 1;
  for (const auto& entry : feature_names.ids) {
    if (entry.second < 0 || entry.second >= groupCount) continue;
    for (int p = groups.offsets[entry.second]; p < groups.offsets[entry.second + 1]; ++p) {
      const int index = groups.indices[p];
      const double w = static_cast<size_t>(index) < weights.size() ? weights[index] : 0.0;
      out.emplace_back(std::make_pair(labels.names[feature_bag.keys[index].label()], entry.first), w);
    }
  }
}
