#include "features/chinese_lexicon.h"

#include "features/lexicon_slot.h"
#include "text/gbk.h"
#include "text/line_utils.h"

namespace {

LexiconSlot<ChineseLexicon>& slot() {
  static LexiconSlot<ChineseLexicon> chinese("Chinese lexicon", "python3-jieba", "KORVANE_ZH_LEXICON",
                                             "/usr/lib/python3/dist-packages/jieba/dict.txt");
  return chinese;
}

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

// UTF-8 to GBK for the characters of the basic plane (GBK holds no other).
class GbkCharacters {
 public:
  explicit GbkCharacters(GbkConverter& gbk) : gbk_(gbk), code_(0x10000, 0), length_(0x10000, kUnknown) {}

  // False for text that is not UTF-8 or holds a character GBK lacks.
  bool convert(const char* begin, const char* end, std::string& out) {
    out.clear();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(begin);
    const unsigned char* e = reinterpret_cast<const unsigned char*>(end);
    while (p < e) {
      uint32_t c = *p;
      int more = 0;
      if (c < 0x80) {
        out += static_cast<char>(c);
        ++p;
        continue;
      }
      if ((c & 0xE0) == 0xC0) {
        c &= 0x1F;
        more = 1;
      } else if ((c & 0xF0) == 0xE0) {
        c &= 0x0F;
        more = 2;
      } else {
        return false;  // four-byte characters lie outside GBK; other bytes are no UTF-8
      }
      if (e - p <= more) return false;
      for (int i = 1; i <= more; ++i) {
        if ((p[i] & 0xC0) != 0x80) return false;
        c = (c << 6) | (p[i] & 0x3F);
      }
      if ((more == 1 && c < 0x80) || (more == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)))) return false;
      if (length_[c] == kUnknown) learn(c, reinterpret_cast<const char*>(p), static_cast<size_t>(more + 1));
      if (length_[c] == kNone) return false;
      if (length_[c] == 2) out += static_cast<char>(code_[c] >> 8);
      out += static_cast<char>(code_[c] & 0xFF);
      p += more + 1;
    }
    return true;
  }

 private:
  enum : uint8_t { kUnknown = 0, kNone = 3 };

  void learn(uint32_t c, const char* bytes, size_t n) {
    std::string converted, fault;
    if (!gbk_.toGbk(std::string(bytes, n), converted, fault) || converted.empty() || converted.size() > 2) {
      length_[c] = kNone;
      return;
    }
    length_[c] = static_cast<uint8_t>(converted.size());
    code_[c] = static_cast<uint16_t>(converted.size() == 2
                                         ? (static_cast<unsigned char>(converted[0]) << 8) |
                                               static_cast<unsigned char>(converted[1])
                                         : static_cast<unsigned char>(converted[0]));
  }

  GbkConverter& gbk_;
  std::vector<uint16_t> code_;
  std::vector<uint8_t> length_;
};

}  // namespace

bool ChineseLexicon::load(const std::string& path, std::string& error) {
  words_.clear();
  tags_.clear();
  std::string text;
  if (!readWholeFile(path, text, error)) return false;
  GbkConverter gbk;
  if (!gbk.ok()) {
    error = "cannot convert " + path + " to GBK: the C library offers no GBK conversion";
    return false;
  }
  std::unordered_map<std::string, uint16_t> tagIds;
  std::vector<std::pair<const char*, const char*>> fields;
  struct Line {
    size_t begin, end;  // the word in text
    uint32_t count;
    uint16_t tag;
  };
  std::vector<Line> lines;
  lines.reserve(text.size() / 14);
  size_t lineNumber = 0;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    ++lineNumber;
    splitFields(text.data() + at, text.data() + end, fields);
    at = end + 1;
    if (fields.empty()) continue;
    uint64_t count = 0;
    bool digits = fields.size() >= 2 && fields.size() <= 3;
    if (digits) {
      for (const char* p = fields[1].first; p < fields[1].second; ++p) {
        if (*p < '0' || *p > '9') {
          digits = false;
          break;
        }
        count = count * 10 + static_cast<uint64_t>(*p - '0');
        if (count > 0xffffffffULL) count = 0xffffffffULL;  // a class of its own anyway
      }
    }
    if (!digits) {
      error = path + " line " + std::to_string(lineNumber) + ": expected 'word count [tag]'";
      return false;
    }
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
    lines.push_back(Line{static_cast<size_t>(fields[0].first - text.data()),
                         static_cast<size_t>(fields[0].second - text.data()), static_cast<uint32_t>(count), id->second});
  }
  // Converted character by character through a table that asks iconv once
  // per distinct character (per word, iconv was most of the loading time).
  // A word GBK cannot hold is left out; one listed twice keeps its first entry.
  GbkCharacters table(gbk);
  words_.reserve(lines.size());
  std::string converted;
  for (const Line& l : lines)
    if (table.convert(text.data() + l.begin, text.data() + l.end, converted))
      words_.emplace(converted, Entry{l.count, l.tag});
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

std::string chineseLexiconPath() { return slot().defaultPath(); }

bool loadChineseLexicon(const std::string& path) { return slot().load(path); }

const ChineseLexicon* activeChineseLexicon() { return slot().active(); }

bool loadDefaultChineseLexicon() { return slot().loadDefault(); }
