#include "sense/sense_bank.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "text/line_utils.h"

namespace {

std::string listText(const std::vector<std::string>& list) {
  std::string s;
  for (const std::string& x : list) s += x;
  return s.empty() ? "_" : s;
}

template <typename T>
std::vector<std::pair<std::string, T>> byCount(const std::map<std::string, T>& m, long (*count)(const T&)) {
  std::vector<std::pair<std::string, T>> v(m.begin(), m.end());
  std::stable_sort(v.begin(), v.end(), [count](const std::pair<std::string, T>& a, const std::pair<std::string, T>& b) {
    return count(a.second) > count(b.second);
  });
  return v;
}

}  // namespace

void SenseBankBuilder::add(const std::string& lemma, bool verbal, const std::string& roleset,
                           const std::string& sense, const _bankExample& pattern) {
  Sense& s = (verbal ? verbal_ : nominal_)[lemma][roleset];
  s.number = sense;
  ++s.count;
  ++s.patterns["=x" + (pattern.label.empty() ? std::string("_") : pattern.label) + "x" + listText(pattern.left) +
               "R" + listText(pattern.right)];
}

std::string SenseBankBuilder::text(bool verbal) const {
  // Patterns seen often enough in either dictionary, most frequent first.
  std::map<std::string, long> counts;
  for (const Bank* bank : {&verbal_, &nominal_})
    for (const auto& entry : *bank)
      for (const auto& rs : entry.second)
        for (const auto& p : rs.second.patterns) counts[p.first] += p.second;
  std::vector<std::pair<std::string, long>> shared;
  for (const auto& p : byCount<long>(counts, [](const long& c) { return c; }))
    if (p.second >= kSharedPatternCount) shared.push_back(p);

  std::string out;
  for (const auto& entry : verbal ? verbal_ : nominal_) {
    const auto senses = byCount<Sense>(entry.second, [](const Sense& s) { return s.count; });
    std::set<std::string> names;
    std::string senseText, rolesets;
    for (const auto& rs : senses) {
      std::string name = rs.second.number;
      for (char suffix = 'B'; names.count(name) != 0 && suffix <= 'Z'; ++suffix) name = rs.second.number + suffix;
      names.insert(name);
      // Argument numbers seen with the sense, from its patterns.
      std::set<char> numbers;
      for (const auto& p : rs.second.patterns)
        for (size_t i = 2; i < p.first.size(); ++i)
          if ((p.first[i] >= '0' && p.first[i] <= '9') || p.first[i] == '-') numbers.insert(p.first[i]);
      senseText += "s" + name;
      for (char c : numbers) {
        senseText += ':';
        senseText += c;
      }
      for (const auto& p : byCount<long>(rs.second.patterns, [](const long& c) { return c; })) senseText += p.first;
      // The first sense also answers the shared patterns no sense of the
      // lemma was seen with.
      if (names.size() == 1) {
        for (const auto& p : shared) {
          bool seen = false;
          for (const auto& other : senses) seen = seen || other.second.patterns.count(p.first) != 0;
          if (!seen) senseText += p.first;
        }
      }
      if (!rolesets.empty()) rolesets += ',';
      rolesets += name + ":" + rs.first;
    }
    out += entry.first + "\t" + senseText + "\t" + rolesets + "\n";
  }
  return out;
}

bool readRolesetNames(const std::string& path, std::map<std::string, std::map<std::string, std::string>>& names,
                      std::string& error) {
  names.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "Error: cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string line;
  std::vector<std::string> fields;
  while (readLineWhole(f, line)) {
    readLine2VectorString(line, fields);
    if (fields.size() < 3) continue;
    std::map<std::string, std::string>& m = names[fields[0]];
    size_t start = 0;
    const std::string& list = fields[2];
    while (start <= list.size()) {
      size_t end = list.find(',', start);
      if (end == std::string::npos) end = list.size();
      const std::string entry = list.substr(start, end - start);
      const size_t colon = entry.find(':');
      if (colon != std::string::npos && colon > 0 && colon + 1 < entry.size())
        m[entry.substr(0, colon)] = entry.substr(colon + 1);
      start = end + 1;
    }
  }
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = "Error: cannot read " + path;
    return false;
  }
  return true;
}
