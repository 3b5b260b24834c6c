#include "maxent/me_model.h"

#include "maxent/exponentials.h"
#include "text/file_replace.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

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

// An optional minus, digits, a point and digits, nothing else.
bool isPlainDecimal(const std::string& s) {
  size_t i = s.size() > 0 && s[0] == '-' ? 1 : 0;
  const size_t intStart = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  if (i == intStart || i >= s.size() || s[i] != '.') return false;
  const size_t fracStart = ++i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  return i > fracStart && i == s.size();
}

// "%f" into single precision, as the files were always read; bytes after the
// number (a carriage return, say) are accepted like the C format accepts them.
WeightParse parseWeight(const std::string& token, double& weight) {
  float f = 0.0f;
  if (isPlainDecimal(token)) {
    // What the writer prints; strtof reads it exactly as "%f" does, faster.
    f = std::strtof(token.c_str(), nullptr);
  } else if (std::sscanf(token.c_str(), "%f", &f) != 1) {
    return WeightParse::kUnreadable;
  }
  if (!std::isfinite(f)) return WeightParse::kNotFinite;
  weight = static_cast<double>(f);
  return WeightParse::kOk;
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
  int putLabel(const std::string& label) {
    auto cached = labelIds.find(label);
    if (cached != labelIds.end()) return cached->second;
    const int id = labels.Put(label);
    labelIds.emplace(label, id);
    return id;
  }
  int putName(const std::string& name) {
    if (!names.ids.empty() && !(std::prev(names.ids.end())->first < name)) return names.Put(name);
    const int id = names.count++;
    names.ids.emplace_hint(names.ids.end(), name, id);
    return id;
  }
  int putKey(const ME_Model::ME_Feature& f) {
    if (!bag.index_by_key.empty() && !(std::prev(bag.index_by_key.end())->first < f.body())) return bag.Put(f);
    const int index = static_cast<int>(bag.keys.size());
    bag.index_by_key.emplace_hint(bag.index_by_key.end(), f.body(), index);
    bag.keys.push_back(f);
    return index;
  }
  std::unordered_map<std::string, int> labelIds;

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
    model.labels = std::move(labels);
    model.feature_names = std::move(names);
    model.feature_bag = std::move(bag);
    model.weights = std::move(weights);
    model.label_count = model.labels.Size();
    model.init_feature2mef();
  }
};

bool writeAll(std::FILE* out, const std::string& s) {
  return s.empty() || std::fwrite(s.data(), 1, s.size(), out) == s.size();
}

bool readsBackAsToken(const std::string& s) {
  return !s.empty() && s.find_first_of(" \t\n") == std::string::npos;
}

}  // namespace

// ---------------------------------------------------------------- tables

int ME_Model::ME_FeatureBag::Put(const ME_Feature& f) {
  auto found = index_by_key.find(f.body());
  if (found != index_by_key.end()) return found->second;
  const int index = static_cast<int>(keys.size());
  index_by_key.emplace(f.body(), index);
  keys.push_back(f);
  return index;
}

int ME_Model::ME_FeatureBag::Id(const ME_Feature& f) const {
  auto found = index_by_key.find(f.body());
  return found == index_by_key.end() ? -1 : found->second;
}

void ME_Model::ME_FeatureBag::Clear() {
  index_by_key.clear();
  keys.clear();
}

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

int ME_Model::FeatureNameTable::Put(const std::string& s) {
  auto found = ids.find(s);
  if (found != ids.end()) return found->second;
  const int id = count++;
  ids.emplace(s, id);
  return id;
}

int ME_Model::FeatureNameTable::Id(const std::string& s) const {
  auto found = ids.find(s);
  return found == ids.end() ? -1 : found->second;
}

void ME_Model::FeatureNameTable::Clear() {
  ids.clear();
  count = 0;
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
  LineReader reader(f);
  std::string line, prefix, name;
  std::vector<std::string> tokens;
  int lineNo = 0;
  bool ok = true;
  while (ok && reader.next(line)) {
    ++lineNo;
    if (line.empty()) {
      if (!reader.next(prefix)) {
        prefix.clear();
        break;
      }
      ++lineNo;
      continue;
    }
    readLine2VectorString(line, tokens);
    if (tokens.empty()) {
      std::fprintf(stderr, "Error: %s line %d: the line holds only blanks and tabs.\n", file, lineNo);
      ok = false;
      break;
    }
    if (tokens.size() % 2 == 0) {
      std::fprintf(stderr, "Error: %s line %d: label \"%s\" has no weight.\n", file, lineNo,
                   tokens.back().c_str());
      ok = false;
      break;
    }
    name = prefix;
    name += ':';
    name += tokens[0];
    int nameId = -1;
    for (size_t i = 1; i + 1 < tokens.size(); i += 2) {
      double weight = 0.0;
      const WeightParse parsed = parseWeight(tokens[i + 1], weight);
      if (parsed != WeightParse::kOk) {
        std::fprintf(stderr, "Error: %s line %d: the weight \"%s\" of label \"%s\" %s.\n", file, lineNo,
                     tokens[i + 1].c_str(), tokens[i].c_str(),
                     parsed == WeightParse::kUnreadable ? "is not a number" : "is not a finite number");
        ok = false;
        break;
      }
      const int labelId = built.putLabel(tokens[i]);
      if (nameId < 0) nameId = built.putName(name);
      const TableBuilder::Result r = built.add(labelId, nameId, weight);
      if (r == TableBuilder::kTooManyLabels) {
        std::fprintf(stderr, "Error: %s line %d: label \"%s\" is one more than the 256 labels a model can hold.\n",
                     file, lineNo, tokens[i].c_str());
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
                     file, lineNo, tokens[i].c_str(), name.c_str());
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
  for (const auto& entry : feature_names.ids) {
    if (!ok || !ioOk) break;
    const std::string& name = entry.first;
    if (entry.second < 0 || entry.second >= kMaxFeatureNames) continue;
    const uint32_t lo = static_cast<uint32_t>(entry.second) << 8;
    bool split = false;
    for (auto it = feature_bag.index_by_key.lower_bound(lo);
         it != feature_bag.index_by_key.end() && it->first < lo + labelLimit; ++it) {
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
      const int labelId = static_cast<int>(it->first & 0xff);
      const std::string& label = labels.names[labelId];
      if (labelChecked[labelId] == 0) labelChecked[labelId] = readsBackAsToken(label) ? 1 : -1;
      if (labelChecked[labelId] < 0) {
        std::fprintf(stderr, "Error: %s: the label \"%s\" would not read back; nothing written.\n", file,
                     label.c_str());
        ok = false;
        break;
      }
      const double w = static_cast<size_t>(it->second) < weights.size() ? weights[it->second] : 0.0;
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
  // The bag's keys are ordered by name id and then label id, which is the
  // order of the rows, so one pass over the ordered map builds them.
  const int count = feature_names.count > 0 ? feature_names.count : 0;
  row_offsets.assign(static_cast<size_t>(count) + 1, 0);
  row_entries.clear();
  row_entries.reserve(feature_bag.keys.size());
  int current = 0;
  for (const auto& entry : feature_bag.index_by_key) {
    const int f = static_cast<int>(entry.first >> 8);
    const int l = static_cast<int>(entry.first & 0xff);
    if (f >= count) break;
    if (l >= label_count) continue;
    while (current < f) row_offsets[++current] = static_cast<int>(row_entries.size());
    row_entries.push_back(entry.second);
  }
  while (current < count) row_offsets[++current] = static_cast<int>(row_entries.size());
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
    auto found = feature_names.ids.find(str);
    if (found != feature_names.ids.end()) s.feature_ids.push_back(found->second);
  }
  for (const auto& fv : sample.valued_feature_strs) {
    auto found = feature_names.ids.find(fv.first);
    if (found != feature_names.ids.end()) s.valued_feature_ids.emplace_back(found->second, fv.second);
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

  std::unordered_map<uint32_t, int> counts;
  auto keyOf = [](int label, int name) { return ME_Feature(label, name).body(); };
  auto usable = [](int name) { return name >= 0 && name < kMaxFeatureNames; };
  if (cutoff >= 1) {
    for (const Sample& s : training_samples) {
      for (int f : s.feature_ids)
        if (usable(f)) counts[keyOf(s.label_id, f)] += s.frequency;
      for (const auto& fv : s.valued_feature_ids)
        if (usable(fv.first)) counts[keyOf(s.label_id, fv.first)] += s.frequency;
    }
  }
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
      if (cutoff >= 1 && counts[key] < cutoff) continue;
      feature_bag.Put(ME_Feature(key));
    }
    for (const auto& fv : s.valued_feature_ids) {
      if (!usable(fv.first)) {
        ++skipped;
        continue;
      }
      const uint32_t key = keyOf(s.label_id, fv.first);
      if (cutoff >= 1 && counts[key] <= cutoff) continue;
      feature_bag.Put(ME_Feature(key));
    }
  }
  if (skipped > 0) {
    std::fprintf(stderr, "Warning: %ld feature occurrences past the %d feature names a model can hold were left out.\n",
                 skipped, kMaxFeatureNames);
  }
  counts.clear();
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
  for (const auto& entry : feature_names.ids) {
    if (entry.second < 0 || entry.second >= kMaxFeatureNames || keep.count(entry.first) == 0) continue;
    const uint32_t lo = static_cast<uint32_t>(entry.second) << 8;
    for (auto it = feature_bag.index_by_key.lower_bound(lo);
         it != feature_bag.index_by_key.end() && it->first < lo + labelLimit; ++it) {
      kept.push_back(it->first);
      oldIndex.push_back(it->second);
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
  for (const auto& entry : feature_names.ids) {
    if (entry.second < 0 || entry.second >= kMaxFeatureNames) continue;
    const uint32_t lo = static_cast<uint32_t>(entry.second) << 8;
    for (auto it = feature_bag.index_by_key.lower_bound(lo);
         it != feature_bag.index_by_key.end() && it->first < lo + labelLimit; ++it) {
      const double w = static_cast<size_t>(it->second) < weights.size() ? weights[it->second] : 0.0;
      out.emplace_back(std::make_pair(labels.names[it->first & 0xff], entry.first), w);
    }
  }
}
