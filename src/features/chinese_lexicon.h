// A Chinese word list with parts of speech as a lexicon for unseen words.
// Debian's python3-jieba ships one (jieba/dict.txt: "word count tag" per
// line, UTF-8, about 349,000 words, PKU-style tags such as n, v, ns, nr).
// Words are kept in GBK, the encoding of the Chinese models.
//
// Like WordNet, feature values read the lexicon active process-wide; load it
// before tagging or training starts.
#ifndef KORVANE_FEATURES_CHINESE_LEXICON_H
#define KORVANE_FEATURES_CHINESE_LEXICON_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class ChineseLexicon {
 public:
  struct Entry {
    uint32_t count;
    uint16_t tag;  // index into tags()
  };

  // Reads path. False, with the reason in error ("cannot open ...",
  // "... line 7: expected 'word count [tag]'"), when the file cannot be
  // read, a line is malformed or nothing is in it. Words GBK cannot hold
  // are left out: no GBK text can contain them.
  bool load(const std::string& path, std::string& error);

  // The entry of a GBK word, null when the lexicon does not hold it.
  const Entry* find(const std::string& word) const;
  const std::string& tagText(const Entry& e) const { return tags_[e.tag]; }
  size_t size() const { return words_.size(); }

 private:
  std::unordered_map<std::string, Entry> words_;
  std::vector<std::string> tags_;
};

// The word list: $KORVANE_ZH_LEXICON when set, else python3-jieba's dict.txt.
std::string chineseLexiconPath();

// Loads the word list at path and makes it the active one; one loaded before
// stays valid for whoever still reads it. False, after an "Error: ..."
// message naming the file, when it cannot be read.
bool loadChineseLexicon(const std::string& path);

// The active word list, null before one is loaded.
const ChineseLexicon* activeChineseLexicon();

// Loads chineseLexiconPath() once per process and makes it active.
bool loadDefaultChineseLexicon();

#endif
