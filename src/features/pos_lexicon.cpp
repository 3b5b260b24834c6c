#include "features/pos_lexicon.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>
#include <vector>

#include "features/lexicon_slot.h"
#include "text/line_utils.h"

namespace {

LexiconSlot<PosLexicon>& slot() {
  static LexiconSlot<PosLexicon> lexicon("part-of-speech lexicon", "festlex-poslex", "KORVANE_POS_LEXICON",
                                         "/usr/share/festival/dicts/wsj.wp39.poslexR");
  return lexicon;
}

// A tag takes a word's reading when it has at least this share of its occurrences.
constexpr double kMinShare = 0.1;

struct Entry {
  std::string word;
  std::vector<std::pair<std::string, double>> tags;  // tag, log P(word | tag)
};

// One line ("word" ((tag logprob) ...) () ); false for anything else.
bool parseEntry(const char* p, const char* end, Entry& e) {
  if (end - p < 2 || p[0] != '(' || p[1] != '"') return false;
  p += 2;
  const char* close = std::find(p, end, '"');
  if (close == end || close == p) return false;
  e.word.assign(p, close);
  e.tags.clear();
  p = close + 1;
  while (p < end && *p == ' ') ++p;
  if (p == end || *p != '(') return false;
  ++p;
  while (true) {
    while (p < end && *p == ' ') ++p;
    if (p == end || *p != '(') break;
    ++p;
    const char* tagEnd = std::find(p, end, ' ');
    if (tagEnd == end || tagEnd == p) return false;
    std::string tag(p, tagEnd);
    double logProb = 0;
    const std::from_chars_result r = std::from_chars(tagEnd + 1, end, logProb);
    if (r.ec != std::errc() || r.ptr == end || *r.ptr != ')' || !(logProb <= 0) || !std::isfinite(logProb))
      return false;
    // The file has a few readings under a number instead of a tag; skip them.
    if (std::all_of(tag.begin(), tag.end(),
                    [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '$'; }))
      e.tags.emplace_back(std::move(tag), logProb);
    p = r.ptr + 1;
  }
  return !e.tags.empty();
}

}  // namespace

bool PosLexicon::load(const std::string& path, std::string& error) {
  tags_.clear();
  std::string text;
  if (!readWholeFile(path, text, error)) return false;
  std::vector<Entry> entries;
  std::unordered_map<std::string, double> rarest;  // tag -> log P of its rarest word
  Entry e;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    size_t last = end;
    while (last > at && (text[last - 1] == '\r' || text[last - 1] == ' ')) --last;
    if (parseEntry(text.data() + at, text.data() + last, e)) {
      for (const auto& t : e.tags) {
        auto found = rarest.emplace(t.first, t.second).first;
        found->second = std::min(found->second, t.second);
      }
      entries.push_back(e);
    }
    at = end + 1;
  }
  if (entries.empty()) {
    error = "no entry in " + path;
    return false;
  }
  // The file has P(word | tag) only. A tag's rarest word was seen once, so
  // 1 / P(rarest | tag) is the tag's count and P(word | tag) times it the
  // word's count with the tag. (Closed classes have no word seen once and
  // come out too rare; their words are all in any training file anyway.)
  std::vector<std::pair<std::string, double>> counts;
  for (Entry& entry : entries) {
    counts.clear();
    double total = 0;
    for (const auto& t : entry.tags) {
      const double count = std::exp(t.second - rarest[t.first]);
      counts.emplace_back(t.first, count);
      total += count;
    }
    std::sort(counts.begin(), counts.end());
    std::string value;
    for (const auto& c : counts)
      if (c.second >= kMinShare * total) value += (value.empty() ? "" : "|") + c.first;
    if (value.empty())  // readings spread over ten tags or more: the likeliest
      value = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                return a.second < b.second;
              })->first;
    tags_[lowcaseIt(entry.word)] = value;
  }
  return true;
}

const std::string& PosLexicon::tagsOf(const std::string& word) const {
  static const std::string kAbsent = "0";
  auto found = tags_.find(lowcaseIt(word));
  return found == tags_.end() ? kAbsent : found->second;
}

std::string posLexiconPath() { return slot().defaultPath(); }

bool loadPosLexicon(const std::string& path) { return slot().load(path); }

const PosLexicon* activePosLexicon() { return slot().active(); }

bool loadDefaultPosLexicon() { return slot().loadDefault(); }
