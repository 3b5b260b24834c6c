// An English word list as a lexicon for unseen words: which spellings a
// dictionary lists with a capital (names of people, places, firms) and which
// in small letters. Debian's wamerican ships one (/usr/share/dict/
// american-english, a word per line, about 104,000 words of which 20,000
// capitalised). Most confusions of the English tagger on words it has not
// seen are between proper and common nouns.
//
// Like WordNet, feature values read the list active process-wide; load it
// before tagging or training starts.
#ifndef KORVANE_FEATURES_WORD_LIST_H
#define KORVANE_FEATURES_WORD_LIST_H

#include <string>
#include <unordered_set>

class WordList {
 public:
  // Reads path. False, with the reason in error, when it cannot be read or
  // lists no word.
  bool load(const std::string& path, std::string& error);

  // "C" when the list has the word with a capital (as written, or with only
  // its first letter capital), "l" when it has the word in small letters,
  // "Cl" for both, "0" for neither.
  std::string classOf(const std::string& word) const;
  size_t size() const { return capitalised_.size() + small_.size(); }

 private:
  std::unordered_set<std::string> capitalised_, small_;
};

// The list: $KORVANE_WORD_LIST when set, else /usr/share/dict/american-english.
std::string wordListPath();

// Loads the list at path and makes it the active one; one loaded before
// stays valid for whoever still reads it. False, after an "Error: ..."
// message naming the file, when it cannot be read.
bool loadWordList(const std::string& path);

// The active list, null before one is loaded.
const WordList* activeWordList();

// Loads wordListPath() once per process and makes it active.
bool loadDefaultWordList();

#endif
