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
    std::string lemma;
    std::string senseText;
    long lineNo = 0;
    while (readLineWhole(f, line)) {
      ++lineNo;
      if (line.empty()) continue;
      // Fields are cut from byte 0, so a leading blank makes the lemma empty
      // and moves the lemma into the sense list's place.
      cutSeginLine(line, 1, 1, lemma);
      cutSeginLine(line, 2, 2, senseText);
      if (isSep(line[0]))
        std::fprintf(stderr,
                     "Warning: %s line %ld: the line begins with a blank or a tab, so its lemma is empty and "
                     "its sense list is \"%s\".\n",
                     path, lineNo, senseText.c_str());
      std::vector<_bankSense> senses;
      readLine2BankSense(senseText, senses);
      dic[lemma] = senses;
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
    std::vector<std::string> fields;
    std::string key;
    std::string value;
    long lineNo = 0;
    while (readLineWhole(f, line)) {
      ++lineNo;
      readLine2VectorString(line, fields);
      if (fields.empty()) continue;
      if (fields.size() == 1) {
        std::fprintf(stderr, "Warning: %s line %ld: a single field gives no key; line skipped.\n", path, lineNo);
        continue;
      }
      // Key: from byte 0 to the end of the second-to-last field, so a
      // leading blank counts as an empty first field; value: the last field.
      cutSeginLine(line, 1, static_cast<int>(fields.size()) - 1, key);
      cutSeginLineInv(line, 1, 1, value);
      if (isSep(line[0]))
        std::fprintf(stderr,
                     "Warning: %s line %ld: the line begins with a blank or a tab, so its first field is empty "
                     "and its key is \"%s\".\n",
                     path, lineNo, key.c_str());
      _dic[key] = value;
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
        // An empty label (a truncated example) is recommended like any other.
        if (ex.label != "_") addOnce(recs, ex.label);
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
