#include "features/word_list.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {

std::mutex& loadMutex() {
  static std::mutex m;
  return m;
}
// Kept until exit so that a reader never sees one freed under it.
std::vector<std::unique_ptr<WordList>>& loaded() {
  static std::vector<std::unique_ptr<WordList>> all;
  return all;
}
std::atomic<const WordList*> gActive{nullptr};
const WordList* gDefault = nullptr;

inline bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
inline bool isLower(char c) { return c >= 'a' && c <= 'z'; }

}  // namespace

bool WordList::load(const std::string& path, std::string& error) {
  capitalised_.clear();
  small_.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string text;
  char chunk[1 << 16];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, got);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = "cannot read " + path;
    return false;
  }
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

std::string wordListPath() {
  const char* path = std::getenv("KORVANE_WORD_LIST");
  return path != nullptr && *path != '\0' ? path : "/usr/share/dict/american-english";
}

bool loadWordList(const std::string& path) {
  std::unique_ptr<WordList> list(new WordList);
  std::string error;
  if (!list->load(path, error)) {
    std::fprintf(stderr, "Error: word list: %s (Debian package wamerican; scripts/setup installs it).\n",
                 error.c_str());
    return false;
  }
  std::lock_guard<std::mutex> lock(loadMutex());
  gActive.store(list.get());
  loaded().push_back(std::move(list));
  return true;
}

const WordList* activeWordList() { return gActive.load(); }

bool loadDefaultWordList() {
  {
    std::lock_guard<std::mutex> lock(loadMutex());
    if (gDefault != nullptr) {
      gActive.store(gDefault);
      return true;
    }
  }
  if (!loadWordList(wordListPath())) return false;
  std::lock_guard<std::mutex> lock(loadMutex());
  gDefault = gActive.load();
  return true;
}
