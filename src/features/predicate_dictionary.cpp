#include "features/predicate_dictionary.h"

#include <cstdio>

#include "text/line_utils.h"

std::map<std::string, std::string> _dic;
std::map<std::string, std::vector<_bankSense>> _dicProp;
std::map<std::string, std::vector<_bankSense>> _dicNom;

namespace {

inline bool isSep(char c) { return c == ' ' || c == '\t'; }

// A label counts as an argument number when it is "A" plus a digit or "-".
bool argumentNumber(const std::string& label, std::string& number) {
  if (label.size() != 2 || label[0] != 'A') return false;
  if (!((label[1] >= '0' && label[1] <= '9') || label[1] == '-')) return false;
  number.assign(1, label[1]);
  return true;
}

void addOnce(std::vector<std::string>& list, const std::string& s) {
  for (const std::string& x : list)
    if (x == s) return;
  list.push_back(s);
}

}  // namespace

void readLine2BankSense(std::string& segment, _bankSense& sense) {
  const size_t len = segment.size();
  std::vector<size_t> marks;  // colons before the first "=", then that "="
  for (size_t i = 0; i < len; ++i) {
    if (segment[i] == ':') marks.push_back(i);
    if (segment[i] == '=') {
      marks.push_back(i);
      break;
    }
  }
  sense.name = marks.empty() ? segment : segment.substr(0, marks[0]);
  sense.roles.clear();
  for (size_t k = 0; k + 1 < marks.size(); ++k)
    sense.roles.push_back(segment.substr(marks[k] + 1, marks[k + 1] - marks[k] - 1));

  std::vector<size_t> equals;
  for (size_t i = 0; i < len; ++i)
    if (segment[i] == '=') equals.push_back(i);
  equals.push_back(len);
  sense.examples.clear();
  for (size_t k = 0; k + 1 < equals.size(); ++k) {
    const size_t q = equals[k];
    const size_t e = equals[k + 1];
    _bankExample ex;
    // The label stands two bytes after the "="; a segment too short for it
    // gives an empty label. Lists are read only up to the next "=".
    if (q + 2 < len) ex.label.assign(1, segment[q + 2]);
    size_t i = q + 4;
    for (; i < e && segment[i] != 'R'; ++i)
      if (segment[i] != '_') ex.left.emplace_back(1, segment[i]);
    for (++i; i < e; ++i)
      if (segment[i] != '_') ex.right.emplace_back(1, segment[i]);
    sense.examples.push_back(ex);
  }
}

void readLine2BankSense(std::string& text, std::vector<_bankSense>& senses) {
  senses.clear();
  size_t start = text.find('s');
  while (start != std::string::npos) {
    const size_t next = text.find('s', start + 1);
    std::string segment = text.substr(start, next == std::string::npos ? std::string::npos : next - start);
    _bankSense sense;
    readLine2BankSense(segment, sense);
    senses.push_back(sense);
    start = next;
  }
}

void loadBank(const char* path, int nominal) {
  std::map<std::string, std::vector<_bankSense>>& dic = nominal != 0 ? _dicNom : _dicProp;
  dic.clear();
  std::FILE* f = std::fopen(path, "rb");
  if (f != nullptr) {
    std::string line;
    std::vector<std::string> fields;
    while (readLineWhole(f, line)) {
      readLine2VectorString(line, fields);
      if (fields.empty()) continue;
      std::string senseText = fields.size() > 1 ? fields[1] : std::string();
      std::vector<_bankSense> senses;
      readLine2BankSense(senseText, senses);
      dic[fields[0]] = senses;
    }
    std::fclose(f);
  }
  std::fprintf(stderr, nominal != 0 ? "Loading %s as nombank dictionary done.\n"
                                    : "Loading %s as propbank dictionary done.\n",
               path);
}

void loadmap(const char* path) {
  _dic.clear();
  std::FILE* f = std::fopen(path, "rb");
  if (f != nullptr) {
    std::string line;
    while (readLineWhole(f, line)) {
      // Key: from the first field's start to the end of the second-to-last
      // field; value: the last field. A line of one field has no key.
      size_t end = line.size();
      while (end > 0 && isSep(line[end - 1])) --end;
      size_t valueStart = end;
      while (valueStart > 0 && !isSep(line[valueStart - 1])) --valueStart;
      size_t keyEnd = valueStart;
      while (keyEnd > 0 && isSep(line[keyEnd - 1])) --keyEnd;
      size_t keyStart = 0;
      while (keyStart < keyEnd && isSep(line[keyStart])) ++keyStart;
      if (valueStart == end || keyStart >= keyEnd) continue;
      _dic[line.substr(keyStart, keyEnd - keyStart)] = line.substr(valueStart, end - valueStart);
    }
    std::fclose(f);
  }
  std::fprintf(stderr, "Loading %s as dictionary done.\n", path);
}

bool recommendTwoVString(std::vector<std::string>& pattern, std::vector<std::string>& prefix, std::string& next) {
  next = "_";
  if (prefix.empty()) {
    if (pattern.empty()) return false;
    next = pattern[0];
    return true;
  }
  if (pattern.size() <= prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (prefix[i] != pattern[i]) return false;
  next = pattern[prefix.size()];
  return true;
}

void recommendSearch(int argPos, int predPos, std::vector<std::string>& argLabels, TokenTable& rows,
                     std::vector<std::string>& out) {
  out.clear();
  if (predPos < 0 || static_cast<size_t>(predPos) >= rows.size()) return;

  // Argument numbers already assigned between the predicate and the
  // candidate, nearest to the predicate first; rows without a label entry
  // count as unlabelled.
  std::vector<std::string> collected;
  std::string number;
  auto collect = [&](long long r) {
    if (r >= 0 && r < static_cast<long long>(argLabels.size()) &&
        argumentNumber(argLabels[static_cast<size_t>(r)], number))
      collected.push_back(number);
  };
  if (argPos < predPos) {
    for (long long r = static_cast<long long>(predPos) - 1; r > argPos; --r) collect(r);
  } else if (argPos > predPos) {
    for (long long r = static_cast<long long>(predPos) + 1; r < argPos; ++r) collect(r);
  }

  const std::vector<std::string>& pred = rows[static_cast<size_t>(predPos)];
  const bool verbal = pred.size() > 7 && !pred[7].empty() && pred[7][0] == 'V';
  std::map<std::string, std::vector<_bankSense>>& dic = verbal ? _dicProp : _dicNom;
  const auto found = dic.find(pred.size() > 6 ? pred[6] : std::string());
  if (found == dic.end()) return;

  std::vector<std::string> recs;
  std::string next;
  for (_bankSense& sense : found->second) {
    for (_bankExample& ex : sense.examples) {
      if (argPos == predPos) {
        // An empty label (a truncated example) names no argument either.
        if (ex.label != "_" && !ex.label.empty()) addOnce(recs, ex.label);
      } else {
        std::vector<std::string>& side = argPos < predPos ? ex.left : ex.right;
        if (recommendTwoVString(side, collected, next)) addOnce(recs, next);
      }
    }
  }
  out.swap(recs);
}

namespace {
bool isNone(const std::string& path) { return path.empty() || path == "NULL"; }
}  // namespace

int loadSenseDictionaries(const std::string& propbank, const std::string& nombank, const std::string& dict) {
  for (const std::string* path : {&propbank, &nombank, &dict}) {
    if (isNone(*path)) continue;
    std::FILE* f = std::fopen(path->c_str(), "rb");
    if (f == nullptr) {
      std::fprintf(stderr, "Error: open file %s for reading.\n", path->c_str());
      return -1;
    }
    std::fclose(f);
  }
  if (isNone(propbank))
    _dicProp.clear();
  else
    loadBank(propbank.c_str(), 0);
  if (isNone(nombank))
    _dicNom.clear();
  else
    loadBank(nombank.c_str(), 1);
  if (isNone(dict))
    _dic.clear();
  else
    loadmap(dict.c_str());
  return 1;
}
