// WordNet as a lexicon for unseen words: which parts of speech a word form
// can have, itself and as an inflected form of another lemma (through the
// morphological exception lists and the usual suffix rules). Read from the
// database files of Debian's wordnet-base (index.noun ... and noun.exc ...).
//
// Feature values read the lexicon that is active process-wide. Load it before
// tagging or training starts (threads then only read it); a template set that
// uses the WordNet functions is refused by loadTemplateLexicons (lexicons.h)
// when WordNet cannot be read, so no model is trained or applied with empty values.
#ifndef KORVANE_FEATURES_WORDNET_LEXICON_H
#define KORVANE_FEATURES_WORDNET_LEXICON_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class WordNetLexicon {
 public:
  enum Category : uint8_t { kNoun = 1, kVerb = 2, kAdjective = 4, kAdverb = 8 };

  // Reads the four index files and the four exception lists of dir. False,
  // with the reason in error, when an index file cannot be read or holds no
  // entry; a missing exception list counts as empty.
  bool load(const std::string& dir, std::string& error);

  // Categories of a lower-cased word as a lemma of its own.
  uint8_t categories(const std::string& word) const;
  // Categories in which the lower-cased word is an inflected form of a
  // different lemma: by an exception list entry, or by stripping an
  // inflection (-s, -es, -ies, -ed, -ing, -er, -est, -men) to a lemma.
  uint8_t baseCategories(const std::string& word) const;

  size_t lemmaCount() const { return lemmas_.size(); }

  // "n", "v", "a", "r" for the categories present, in that order; "0" for none.
  static std::string categoryText(uint8_t mask);

 private:
  std::unordered_map<std::string, uint8_t> lemmas_;
  std::unordered_map<std::string, uint8_t> exceptions_;  // form -> categories with another base
};

// Folder of the WordNet database: $WNSEARCHDIR when set, else Debian's
// /usr/share/wordnet.
std::string wordNetDirectory();

// Loads WordNet from dir and makes it the active lexicon; a lexicon loaded
// before stays valid for whoever still reads it. False, after an "Error: ..."
// message, when it cannot be read.
bool loadWordNet(const std::string& dir);

// The active lexicon, null before one is loaded.
const WordNetLexicon* activeWordNet();

// Loads wordNetDirectory() once per process and makes it active.
bool loadDefaultWordNet();

#endif
