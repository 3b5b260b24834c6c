#include "features/chinese_lexicon.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "text/gbk.h"

namespace {

std::mutex& loadMutex() {
  static std::mutex m;
  return m;
}
// Kept until exit so that a reader never sees one freed under it.
std::vector<std::unique_ptr<ChineseLexicon>>& loaded() {
  static std::vector<std::unique_ptr<ChineseLexicon>> all;
  return all;
}
std::atomic<const ChineseLexicon*> gActive{nullptr};
const ChineseLexicon* gDefault = nullptr;

// Fields of a line split at blanks and tabs.
void splitFields(const char* begin, const char* end, std::vector<std::pair<const char*, const char*>>& fields) {
  fields.clear();
  const char* p = begin;
  while (p < end) {
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) ++p;
    const char* start = p;
    while (p < end && *p != ' ' && *p != '\t' && *p != '\r') ++p;
    if (p > start) fields.emplace_back(start, p);
  }
}

}  // namespace

bool ChineseLexicon::load(const std::string& path, std::string& error) {
  words_.clear();
  tags_.clear();
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
  GbkConverter gbk;
  if (!gbk.ok()) {
    error = "cannot convert " + path + " to GBK: the C library offers no GBK conversion";
    return false;
  }
  std::unordered_map<std::string, uint16_t> tagIds;
  std::vector<std::pair<const char*, const char*>> fields;
  std::string word, converted, fault;
  words_.reserve(400000);
  size_t lineNumber = 0;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    ++lineNumber;
    splitFields(text.data() + at, text.data() + end, fields);
    at = end + 1;
    if (fields.empty()) continue;
    char* countEnd = nullptr;
    const std::string countText(fields.size() > 1 ? fields[1].first : "", fields.size() > 1 ? fields[1].second : "");
    errno = 0;
    const unsigned long long count = std::strtoull(countText.c_str(), &countEnd, 10);
    if (fields.size() < 2 || fields.size() > 3 || countText.empty() || *countEnd != '\0' || countText[0] == '-' ||
        errno == ERANGE) {
      error = path + " line " + std::to_string(lineNumber) + ": expected 'word count [tag]'";
      return false;
    }
    word.assign(fields[0].first, fields[0].second);
    if (!gbk.toGbk(word, converted, fault)) continue;
    const std::string tag = fields.size() == 3 ? std::string(fields[2].first, fields[2].second) : "_";
    auto id = tagIds.find(tag);
    if (id == tagIds.end()) {
      if (tags_.size() >= 0xffff) {
        error = path + " line " + std::to_string(lineNumber) + ": more than 65,535 different tags";
        return false;
      }
      id = tagIds.emplace(tag, static_cast<uint16_t>(tags_.size())).first;
      tags_.push_back(tag);
    }
    // A word listed twice keeps its first entry.
    words_.emplace(converted, Entry{static_cast<uint32_t>(count > 0xffffffffULL ? 0xffffffffULL : count), id->second});
  }
  if (words_.empty()) {
    error = "no word in " + path;
    return false;
  }
  return true;
}

const ChineseLexicon::Entry* ChineseLexicon::find(const std::string& word) const {
  const auto it = words_.find(word);
  return it == words_.end() ? nullptr : &it->second;
}

std::string chineseLexiconPath() {
  const char* path = std::getenv("KORVANE_ZH_LEXICON");
  return path != nullptr && *path != '\0' ? path : "/usr/lib/python3/dist-packages/jieba/dict.txt";
}

bool loadChineseLexicon(const std::string& path) {
  std::unique_ptr<ChineseLexicon> lexicon(new ChineseLexicon);
  std::string error;
  if (!lexicon->load(path, error)) {
    std::fprintf(stderr, "Error: Chinese lexicon: %s (Debian package python3-jieba; scripts/setup installs it).\n",
                 error.c_str());
    return false;
  }
  std::lock_guard<std::mutex> lock(loadMutex());
  gActive.store(lexicon.get());
  loaded().push_back(std::move(lexicon));
  return true;
}

const ChineseLexicon* activeChineseLexicon() { return gActive.load(); }

bool loadDefaultChineseLexicon() {
  {
    std::lock_guard<std::mutex> lock(loadMutex());
    if (gDefault != nullptr) {
      gActive.store(gDefault);
      return true;
    }
  }
  if (!loadChineseLexicon(chineseLexiconPath())) return false;
  std::lock_guard<std::mutex> lock(loadMutex());
  gDefault = gActive.load();
  return true;
}
