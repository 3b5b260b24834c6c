// English lemmas and universal part-of-speech tags from a word and its
// treebank (Penn) tag, learned from a treebank: a word seen with its tag
// takes the lemma it had there; any other word takes the lemma that the
// longest known ending of its spelling yields under that tag ("-ies" -> "-y"
// for NNS, "-ped" -> "-p" for VBD, ...). The universal tag is the one the word
// had most often with that tag, else the tag's most frequent one.
#ifndef KORVANE_LEMMATIZE_LEMMATIZER_H
#define KORVANE_LEMMATIZE_LEMMATIZER_H

#include <string>
#include <unordered_map>
#include <vector>

namespace lemmatize {

// How a lemma is made from a word: take the word (lower-cased when `lower`),
// remove `remove` from its end and append `add`.
struct Rule {
  std::string remove, add;
  bool lower = false;
  bool operator==(const Rule& o) const { return remove == o.remove && add == o.add && lower == o.lower; }
};

// One treebank row: word, lemma, universal tag, treebank tag.
struct Example {
  std::string form, lemma, upos, xpos;
};

class Lemmatizer {
 public:
  // Learns from the rows of a treebank.
  void learn(const std::vector<Example>& rows);

  // The lemma of `form` under treebank tag `xpos`; never empty for a
  // non-empty form.
  std::string lemma(const std::string& form, const std::string& xpos) const;
  // The universal tag ("X" when nothing is known about the tag).
  std::string upos(const std::string& form, const std::string& xpos) const;

  bool empty() const { return words_.empty() && suffixes_.empty(); }

  // Reads the file save() writes; on failure returns false with `error`
  // ("Error: FILE line N: ..."), leaving the lemmatizer unchanged.
  bool load(const std::string& path, std::string& error);
  // Written with writeWholeFile (text/file_replace.h).
  bool save(const std::string& path, const std::string& source, std::string& error) const;

 private:
  struct Word {
    std::string lemma, upos;
    long count = 0;
  };
  struct Lower {
    Rule rule;
    std::string upos;
    long count = 0;
  };
  struct Suffix {
    Rule rule;
    long count = 0;  // word types the rule was seen with
  };

  void index();  // builds the lower-case and longest-suffix tables from words_

  std::unordered_map<std::string, Word> words_;      // form \t xpos
  std::unordered_map<std::string, Lower> lower_;     // lower-cased form \t xpos
  std::unordered_map<std::string, Suffix> suffixes_;  // xpos \t ending of the lower-cased form
  struct Tag {
    std::string upos;  // its most frequent universal tag
    long count = 0;
    // How the tag's unseen words are cased: capitalised words get a
    // lower-case lemma ("Laughter" NN -> laughter), lower-case ones a
    // capitalised lemma ("mexico" NNP -> Mexico), as most seen words did.
    bool lowerCapitalised = false;
    bool capitaliseLower = false;
  };
  std::string cased(const std::string& lemma, const std::string& form, const std::string& xpos) const;

  std::unordered_map<std::string, Tag> tags_;
  size_t longestSuffix_ = 0;
};

// The rule that makes `lemma` from `form`.
Rule ruleFor(const std::string& form, const std::string& lemma);
// Applies a rule; the word itself when the rule does not fit its ending.
std::string applyRule(const Rule& rule, const std::string& form);

}  // namespace lemmatize

#endif
