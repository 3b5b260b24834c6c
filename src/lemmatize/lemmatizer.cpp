#include "lemmatize/lemmatizer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <tuple>

#include "text/file_replace.h"
#include "text/line_utils.h"

namespace lemmatize {

namespace {

// Endings longer than this add nothing measurable and only grow the file.
const size_t kMaxSuffix = 7;

std::string lowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

size_t commonPrefix(const std::string& a, const std::string& b) {
  size_t n = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
  return n;
}

bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool isLower(char c) { return c >= 'a' && c <= 'z'; }

bool endsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> f;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string::npos) {
      f.push_back(line.substr(start));
      return f;
    }
    f.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

bool count(const std::string& text, long& value) {
  if (text.empty() || text.size() > 12) return false;
  char* stop = nullptr;
  value = std::strtol(text.c_str(), &stop, 10);
  return *stop == 0 && value > 0;
}

// The most frequent key of a tally; ties go to the smallest key, so that
// learning does not depend on the order of the rows.
template <class Key, class Less>
std::pair<Key, long> best(const std::map<Key, long, Less>& tally) {
  std::pair<Key, long> b{Key(), 0};
  for (const auto& [key, n] : tally)
    if (n > b.second) b = {key, n};
  return b;
}

struct RuleLess {
  bool operator()(const Rule& a, const Rule& b) const {
    return std::tie(a.remove, a.add, a.lower) < std::tie(b.remove, b.add, b.lower);
  }
};

}  // namespace

Rule ruleFor(const std::string& form, const std::string& lemma) {
  const std::string lower = lowerAscii(form);
  const size_t keep = commonPrefix(form, lemma);
  const size_t low = commonPrefix(lower, lemma);
  Rule r;
  r.lower = lemma == lowerAscii(lemma) && low >= keep && lower != form;
  const std::string& base = r.lower ? lower : form;
  const size_t p = r.lower ? low : keep;
  r.remove = base.substr(p);
  r.add = lemma.substr(p);
  return r;
}

std::string applyRule(const Rule& rule, const std::string& form) {
  const std::string base = rule.lower ? lowerAscii(form) : form;
  if (!endsWith(lowerAscii(base), lowerAscii(rule.remove))) return base;
  return base.substr(0, base.size() - rule.remove.size()) + rule.add;
}

void Lemmatizer::learn(const std::vector<Example>& rows) {
  std::map<std::string, std::map<std::pair<std::string, std::string>, long>> seen;  // form\txpos -> (lemma, upos)
  std::map<std::string, std::map<std::string, long>> tagUpos;
  std::map<std::string, std::array<long, 4>> casing;  // capitalised: lowered, kept; lower-case: capitalised, kept
  for (const Example& e : rows) {
    if (e.form.empty() || e.xpos.empty() || e.lemma.empty()) continue;
    ++seen[e.form + "\t" + e.xpos][{e.lemma, e.upos}];
    ++tagUpos[e.xpos][e.upos];
    auto& c = casing[e.xpos];
    if (isUpper(e.form[0]))
      ++c[isUpper(e.lemma[0]) ? 1 : 0];
    else if (isLower(e.form[0]))
      ++c[isUpper(e.lemma[0]) ? 2 : 3];
  }
  words_.clear();
  for (const auto& [key, tally] : seen) {
    Word w;
    std::map<std::string, long> lemmas, upos;
    for (const auto& [lu, n] : tally) {
      lemmas[lu.first] += n;
      upos[lu.second] += n;
      w.count += n;
    }
    w.lemma = best(lemmas).first;
    w.upos = best(upos).first;
    words_[key] = w;
  }
  tags_.clear();
  for (const auto& [xpos, tally] : tagUpos) {
    Tag& t = tags_[xpos];
    std::tie(t.upos, t.count) = best(tally);
    const auto& c = casing[xpos];
    t.lowerCapitalised = c[0] > c[1];
    t.capitaliseLower = c[2] > c[3];
  }

  // Endings: each word type (lower-cased form and tag) votes once for its
  // rule under every ending long enough to hold what the rule removes.
  std::map<std::string, std::pair<Rule, long>> types;  // lower form \t xpos -> rule of its most frequent variant
  for (const auto& [key, w] : words_) {
    const size_t tab = key.find('\t');
    const std::string form = key.substr(0, tab);
    auto& t = types[lowerAscii(form) + key.substr(tab)];
    if (w.count > t.second) t = {ruleFor(form, w.lemma), w.count};
  }
  std::map<std::string, std::map<Rule, long, RuleLess>> votes;  // xpos \t ending
  for (const auto& [key, t] : types) {
    const size_t tab = key.find('\t');
    const std::string lower = key.substr(0, tab), xpos = key.substr(tab + 1);
    for (size_t k = t.first.remove.size(); k <= std::min(lower.size(), kMaxSuffix); ++k)
      ++votes[xpos + "\t" + lower.substr(lower.size() - k)][t.first];
  }
  // Keep an ending only when it was seen with two or more types and its rule
  // differs from what a shorter ending would give.
  suffixes_.clear();
  std::vector<std::pair<size_t, std::string>> order;
  for (const auto& entry : votes) order.emplace_back(entry.first.size(), entry.first);
  std::sort(order.begin(), order.end());
  for (const auto& [length, key] : order) {
    const auto& tally = votes[key];
    long total = 0;
    for (const auto& rn : tally) total += rn.second;
    const auto b = best(tally);
    const size_t tab = key.find('\t');
    const std::string ending = key.substr(tab + 1);
    if (!ending.empty() && total < 2) continue;
    const Suffix* shorter = nullptr;
    for (size_t k = ending.size(); k-- > 0 && !shorter;) {
      auto it = suffixes_.find(key.substr(0, tab + 1) + ending.substr(ending.size() - k));
      if (it != suffixes_.end()) shorter = &it->second;
    }
    if (shorter && shorter->rule == b.first) continue;
    Suffix kept;
    kept.rule = b.first;
    kept.count = b.second;
    suffixes_[key] = kept;
  }
  index();
}

void Lemmatizer::index() {
  lower_.clear();
  longestSuffix_ = 0;
  std::map<std::string, std::pair<std::string, const Word*>> pick;  // lower key -> (form, word)
  for (const auto& [key, w] : words_) {
    const size_t tab = key.find('\t');
    const std::string form = key.substr(0, tab);
    auto& p = pick[lowerAscii(form) + key.substr(tab)];
    if (!p.second || w.count > p.second->count || (w.count == p.second->count && form < p.first)) p = {form, &w};
  }
  for (const auto& [key, p] : pick) {
    Lower l;
    l.rule = ruleFor(p.first, p.second->lemma);
    l.upos = p.second->upos;
    l.count = p.second->count;
    lower_[key] = l;
  }
  for (const auto& [key, s] : suffixes_) longestSuffix_ = std::max(longestSuffix_, key.size() - key.find('\t') - 1);
}

std::string Lemmatizer::cased(const std::string& lemma, const std::string& form, const std::string& xpos) const {
  auto t = tags_.find(xpos);
  if (lemma.empty() || t == tags_.end()) return lemma.empty() ? form : lemma;
  if (isUpper(form[0]) && t->second.lowerCapitalised) return lowerAscii(lemma);
  if (isLower(form[0]) && t->second.capitaliseLower && isLower(lemma[0])) {
    std::string c = lemma;
    c[0] = static_cast<char>(c[0] - 32);
    return c;
  }
  return lemma;
}

std::string Lemmatizer::lemma(const std::string& form, const std::string& xpos) const {
  auto w = words_.find(form + "\t" + xpos);
  if (w != words_.end()) return w->second.lemma;
  const std::string lower = lowerAscii(form);
  auto l = lower_.find(lower + "\t" + xpos);
  if (l != lower_.end()) return cased(applyRule(l->second.rule, form), form, xpos);
  for (size_t k = std::min(lower.size(), longestSuffix_) + 1; k-- > 0;) {
    auto s = suffixes_.find(xpos + "\t" + lower.substr(lower.size() - k));
    if (s != suffixes_.end()) return cased(applyRule(s->second.rule, form), form, xpos);
  }
  return cased(form, form, xpos);
}

std::string Lemmatizer::upos(const std::string& form, const std::string& xpos) const {
  auto w = words_.find(form + "\t" + xpos);
  if (w != words_.end()) return w->second.upos;
  auto l = lower_.find(lowerAscii(form) + "\t" + xpos);
  if (l != lower_.end()) return l->second.upos;
  auto t = tags_.find(xpos);
  return t != tags_.end() ? t->second.upos : "X";
}

bool Lemmatizer::load(const std::string& path, std::string& error) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) {
    error = "Error: cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  Lemmatizer next;
  std::string line;
  long number = 0;
  std::string fault;
  while (fault.empty() && readLineWhole(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> f = splitTabs(line);
    long n = 0;
    if (f[0] == "word" && f.size() == 6 && !f[1].empty() && !f[2].empty() && !f[3].empty() && count(f[5], n)) {
      Word w;
      w.lemma = f[3];
      w.upos = f[4];
      w.count = n;
      next.words_[f[1] + "\t" + f[2]] = w;
    } else if (f[0] == "suffix" && f.size() == 7 && !f[1].empty() && (f[5] == "lower" || f[5] == "keep") &&
               count(f[6], n)) {
      Suffix s;
      s.rule = Rule{f[3], f[4], f[5] == "lower"};
      s.count = n;
      next.suffixes_[f[1] + "\t" + f[2]] = s;
    } else if (f[0] == "tag" && f.size() == 6 && !f[1].empty() && !f[2].empty() && count(f[3], n) &&
               (f[4] == "lower" || f[4] == "keep") && (f[5] == "capital" || f[5] == "keep")) {
      Tag& t = next.tags_[f[1]];
      t.upos = f[2];
      t.count = n;
      t.lowerCapitalised = f[4] == "lower";
      t.capitaliseLower = f[5] == "capital";
    } else {
      fault = "Error: " + path + " line " + std::to_string(number) + ": not a lemma-table entry";
    }
  }
  if (fault.empty() && std::ferror(in)) fault = "Error: cannot read " + path;
  std::fclose(in);
  if (!fault.empty()) {
    error = fault;
    return false;
  }
  next.index();
  *this = std::move(next);
  return true;
}

bool Lemmatizer::save(const std::string& path, const std::string& source, std::string& error) const {
  std::string out = "# English lemmas and universal tags learned from " + source +
                    "\n# word FORM XPOS LEMMA UPOS COUNT | suffix XPOS ENDING REMOVE ADD lower|keep TYPES |"
                    " tag XPOS UPOS COUNT CAPITALISED:lower|keep LOWER-CASE:capital|keep\n";
  std::map<std::string, const Word*> words;
  for (const auto& [key, w] : words_) words[key] = &w;
  for (const auto& [key, w] : words)
    out += "word\t" + key + "\t" + w->lemma + "\t" + w->upos + "\t" + std::to_string(w->count) + "\n";
  std::map<std::string, const Suffix*> suffixes;
  for (const auto& [key, s] : suffixes_) suffixes[key] = &s;
  for (const auto& [key, s] : suffixes)
    out += "suffix\t" + key + "\t" + s->rule.remove + "\t" + s->rule.add + "\t" + (s->rule.lower ? "lower" : "keep") +
           "\t" + std::to_string(s->count) + "\n";
  std::map<std::string, Tag> tags(tags_.begin(), tags_.end());
  for (const auto& [xpos, t] : tags)
    out += "tag\t" + xpos + "\t" + t.upos + "\t" + std::to_string(t.count) + "\t" +
           (t.lowerCapitalised ? "lower" : "keep") + "\t" + (t.capitaliseLower ? "capital" : "keep") + "\n";
  return writeWholeFile(path, out, error);
}

}  // namespace lemmatize
