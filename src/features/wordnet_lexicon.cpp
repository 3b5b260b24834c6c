#include "features/wordnet_lexicon.h"

#include <cstdio>

#include "features/lexicon_slot.h"
#include "text/line_utils.h"

namespace {

struct PartFiles {
  const char* index;
  const char* exceptions;
  uint8_t category;
};

const PartFiles kParts[] = {
    {"index.noun", "noun.exc", WordNetLexicon::kNoun},
    {"index.verb", "verb.exc", WordNetLexicon::kVerb},
    {"index.adj", "adj.exc", WordNetLexicon::kAdjective},
    {"index.adv", "adv.exc", WordNetLexicon::kAdverb},
};

// Inflection -> ending of the lemma, per category (adverbs inflect only
// through their exception list).
struct Detachment {
  const char* suffix;
  const char* ending;
};
const Detachment kNounRules[] = {{"s", ""},     {"ses", "s"},   {"xes", "x"}, {"zes", "z"},
                                 {"ches", "ch"}, {"shes", "sh"}, {"men", "man"}, {"ies", "y"}};
const Detachment kVerbRules[] = {{"s", ""},   {"ies", "y"}, {"es", "e"},  {"es", ""},
                                 {"ed", "e"}, {"ed", ""},   {"ing", "e"}, {"ing", ""}};
const Detachment kAdjectiveRules[] = {{"er", ""}, {"est", ""}, {"er", "e"}, {"est", "e"}};

bool endsWith(const std::string& s, const char* suffix, size_t n) {
  return s.size() > n && s.compare(s.size() - n, n, suffix) == 0;
}

LexiconSlot<WordNetLexicon>& slot() {
  static LexiconSlot<WordNetLexicon> wordNet("WordNet lexicon", "wordnet-base", "WNSEARCHDIR", "/usr/share/wordnet");
  return wordNet;
}

}  // namespace

bool WordNetLexicon::load(const std::string& dir, std::string& error) {
  lemmas_.clear();
  exceptions_.clear();
  lemmas_.reserve(160000);
  std::string line, lemma;
  for (const PartFiles& part : kParts) {
    const std::string path = dir + "/" + part.index;
    // Whole file at once: a getc per byte made loading a noticeable part of
    // tagging a short text.
    std::string text;
    if (!readWholeFile(path, text, error)) return false;
    size_t entries = 0;
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      const size_t blank = text.find(' ', at);
      const size_t fieldEnd = blank < end ? blank : end;
      // The licence lines at the head start with blanks: no lemma.
      if (fieldEnd > at) {
        lemma.assign(text, at, fieldEnd - at);
        lemmas_[lemma] |= part.category;
        ++entries;
      }
      at = end + 1;
    }
    if (entries == 0) {
      error = "no entry in " + path;
      return false;
    }
  }
  for (const PartFiles& part : kParts) {
    std::FILE* f = std::fopen((dir + "/" + part.exceptions).c_str(), "rb");
    if (f == nullptr) continue;
    std::vector<std::string> fields;
    while (readLineWhole(f, line)) {
      readLine2VectorString(line, fields);
      // "form base..." ; an entry whose only base is the form itself says nothing.
      for (size_t i = 1; i < fields.size(); ++i) {
        if (fields[i] != fields[0]) {
          exceptions_[fields[0]] |= part.category;
          break;
        }
      }
    }
    std::fclose(f);
  }
  return true;
}

uint8_t WordNetLexicon::categories(const std::string& word) const {
  const auto it = lemmas_.find(word);
  return it == lemmas_.end() ? 0 : it->second;
}

uint8_t WordNetLexicon::baseCategories(const std::string& word) const {
  uint8_t mask = 0;
  const auto ex = exceptions_.find(word);
  if (ex != exceptions_.end()) mask = ex->second;
  std::string base;
  auto apply = [&](const Detachment* rules, size_t count, uint8_t category) {
    if ((mask & category) != 0) return;
    for (size_t i = 0; i < count; ++i) {
      const size_t n = std::char_traits<char>::length(rules[i].suffix);
      if (!endsWith(word, rules[i].suffix, n)) continue;
      base.assign(word, 0, word.size() - n);
      base += rules[i].ending;
      if (base != word && (categories(base) & category) != 0) {
        mask |= category;
        return;
      }
    }
  };
  // A noun in -ss is no plural (glass, boss).
  if (!(word.size() >= 2 && word.compare(word.size() - 2, 2, "ss") == 0))
    apply(kNounRules, sizeof kNounRules / sizeof kNounRules[0], kNoun);
  apply(kVerbRules, sizeof kVerbRules / sizeof kVerbRules[0], kVerb);
  apply(kAdjectiveRules, sizeof kAdjectiveRules / sizeof kAdjectiveRules[0], kAdjective);
  return mask;
}

std::string WordNetLexicon::categoryText(uint8_t mask) {
  std::string s;
  if (mask & kNoun) s += 'n';
  if (mask & kVerb) s += 'v';
  if (mask & kAdjective) s += 'a';
  if (mask & kAdverb) s += 'r';
  return s.empty() ? "0" : s;
}

std::string wordNetDirectory() { return slot().defaultPath(); }

bool loadWordNet(const std::string& dir) { return slot().load(dir); }

const WordNetLexicon* activeWordNet() { return slot().active(); }

bool loadDefaultWordNet() { return slot().loadDefault(); }
