#include "features/word_list.h"

#include "features/lexicon_slot.h"
#include "text/line_utils.h"

namespace {

LexiconSlot<WordList>& slot() {
  static LexiconSlot<WordList> words("word list", "wamerican", "KORVANE_WORD_LIST",
                                      "/usr/share/dict/american-english");
  return words;
}

inline bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
inline bool isLower(char c) { return c >= 'a' && c <= 'z'; }

}  // namespace

bool WordList::load(const std::string& path, std::string& error) {
  capitalised_.clear();
  small_.clear();
  std::string text;
  if (!readWholeFile(path, text, error)) return false;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    size_t last = end;
    while (last > at && (text[last - 1] == '\r' || text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
    if (last > at) {
      // Words in other scripts or with other first bytes say nothing of case.
      if (isUpper(text[at]))
        capitalised_.emplace(text, at, last - at);
      else if (isLower(text[at]))
        small_.emplace(text, at, last - at);
    }
    at = end + 1;
  }
  if (capitalised_.empty() && small_.empty()) {
    error = "no word in " + path;
    return false;
  }
  return true;
}

std::string WordList::classOf(const std::string& word) const {
  if (word.empty()) return "0";
  std::string form = word;
  for (size_t i = 1; i < form.size(); ++i)
    if (isUpper(form[i])) form[i] = static_cast<char>(form[i] + 32);
  std::string small = form;
  if (isUpper(small[0])) small[0] = static_cast<char>(small[0] + 32);
  if (isLower(form[0])) form[0] = static_cast<char>(form[0] - 32);
  std::string out;
  if (capitalised_.count(word) != 0 || capitalised_.count(form) != 0) out += 'C';
  if (small_.count(small) != 0) out += 'l';
  return out.empty() ? "0" : out;
}

std::string wordListPath() { return slot().defaultPath(); }

bool loadWordList(const std::string& path) { return slot().load(path); }

const WordList* activeWordList() { return slot().active(); }

bool loadDefaultWordList() { return slot().loadDefault(); }
