// A part-of-speech lexicon of English as a lexicon for unseen words: which
// Penn tags newswire text gives a word, with how likely each is. Debian's
// festlex-poslex ships one counted on the Wall Street Journal treebank
// (/usr/share/festival/dicts/wsj.wp39.poslexR, about 33,000 lower-cased
// words, one per line as ("word" ((tag logprob) ...) () ), the log of
// P(word | tag)). It knows many words the web text of the training file
// never has, with tags WordNet cannot give (proper nouns, tenses, numbers).
//
// Like WordNet, feature values read the lexicon active process-wide; load it
// before tagging or training starts.
#ifndef KORVANE_FEATURES_POS_LEXICON_H
#define KORVANE_FEATURES_POS_LEXICON_H

#include <string>
#include <unordered_map>

class PosLexicon {
 public:
  // Reads path. False, with the reason in error, when it cannot be read or
  // holds no entry.
  bool load(const std::string& path, std::string& error);

  // The tags that take at least a tenth of the word's occurrences, as the
  // file writes them, in alphabetical order, joined by "|" (e.g. "vbd|vbn"),
  // or the likeliest alone when none does; "0" when the lexicon lacks the
  // lower-cased word.
  const std::string& tagsOf(const std::string& word) const;
  size_t size() const { return tags_.size(); }

 private:
  std::unordered_map<std::string, std::string> tags_;
};

// The lexicon: $KORVANE_POS_LEXICON when set, else
// /usr/share/festival/dicts/wsj.wp39.poslexR.
std::string posLexiconPath();

// Loads the lexicon at path and makes it the active one; one loaded before
// stays valid for whoever still reads it. False, after an "Error: ..."
// message naming the file, when it cannot be read.
bool loadPosLexicon(const std::string& path);

// The active lexicon, null before one is loaded.
const PosLexicon* activePosLexicon();

// Loads posLexiconPath() once per process and makes it active.
bool loadDefaultPosLexicon();

#endif
