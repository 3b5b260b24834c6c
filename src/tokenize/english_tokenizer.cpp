#include "tokenize/english_tokenizer.h"

#include <algorithm>
#include <cstring>

#include "text/utf8.h"

namespace tokenize {

namespace {

bool isDigit(uint32_t c) { return c >= '0' && c <= '9'; }
bool isAsciiLetter(uint32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isPunct(uint32_t c) {
  if (c < 0x80) return c > 0x20 && c < 0x7F && !isDigit(c) && !isAsciiLetter(c) && c != '_';
  if (c >= 0xA1 && c <= 0xBF) return c != 0xAA && c != 0xB2 && c != 0xB3 && c != 0xB5 && c != 0xB9 && c != 0xBA;
  if (c == 0xD7 || c == 0xF7) return true;
  if (c >= 0x2010 && c <= 0x2BFF) return true;  // punctuation, currency, symbols, arrows
  if (c >= 0x3001 && c <= 0x303F) return true;  // CJK punctuation
  if (c >= 0xFE30 && c <= 0xFE4F) return true;
  if ((c >= 0xFF01 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF40) ||
      (c >= 0xFF5B && c <= 0xFF65))
    return true;
  return c >= 0x1F000 && c <= 0x1FAFF;  // emoji and pictographs
}

bool isApostrophe(uint32_t c) { return c == '\'' || c == 0x2019 || c == 0x2018 || c == '`'; }
bool isSentenceMark(uint32_t c) { return c == '.' || c == '!' || c == '?'; }

// Repeated marks form one token ("...", "!!", "?!", "--", "<<").
// Longer stretches are never looked up in the lists or taken for emoticons.
const size_t kLongestListed = 64;
// Splitting recurses into the pieces; deeper than this only contrived text goes.
const int kMaxDepth = 40;

bool groups(uint32_t a, uint32_t b) {
  if (isSentenceMark(a) && isSentenceMark(b)) return true;
  if (a != b) return false;
  return !(a == '(' || a == ')' || a == '[' || a == ']' || a == '{' || a == '}' || a == '"' || a == 0x201C ||
           a == 0x201D || a == '#' || a == '%' || a == '@' || a == '&');
}

// Marks that end a URL or an address only when followed by nothing else.
bool trailsAddress(uint32_t c) {
  return c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?' || c == ')' || c == ']' ||
         c == '}' || c == '"' || c == '\'' || c == '>' || c == 0x2019 || c == 0x201D;
}

// Marks that never stay inside a word (apart from the context rules below).
bool splitsInside(uint32_t c) {
  switch (c) {
    case '(': case ')': case '[': case ']': case '{': case '}': case '<': case '>': case '"':
    case ';': case '!': case '?': case ',': case '/': case ':': case '-': case '.': case '|':
    case 0x201C: case 0x201D: case 0x201E: case 0xAB: case 0xBB: case 0x2026: case 0x2013:
    case 0x2014: case 0x2015:
      return true;
    default:
      return false;
  }
}

const char* const kEmoticonMouths = ")(DPpO/\\|][*3@$So";

bool isEmoticon(const std::string& s) {
  static const char* const extra[] = {"(:", "(-:", "):", "(;", "^_^", "^^", "^.^", "-_-", "o_O", "O_o",
                                      "<3", "</3", ":'(", ":'-(", ":'-)", ":')", ">:(", ">:)", ">:-("};
  for (const char* e : extra)
    if (s == e) return true;
  if (s.size() < 2 || s.size() > 3) return false;
  if (s[0] != ':' && s[0] != ';' && s[0] != '=') return false;
  size_t m = 1;
  if (s.size() == 3) {
    if (s[1] != '-' && s[1] != 'o' && s[1] != '^' && s[1] != '\'') return false;
    m = 2;
  }
  return std::strchr(kEmoticonMouths, s[m]) != nullptr;
}

}  // namespace

bool isSpaceChar(uint32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0xA0 ||
         c == 0x1680 || (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

bool isWordChar(uint32_t c) { return !isSpaceChar(c) && !isPunct(c) && c >= 0x20; }
bool isUpperStart(uint32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7); }
bool isLowerStart(uint32_t c) { return (c >= 'a' && c <= 'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7); }

std::string lowerAscii(const std::string& s) {
  std::string l = s;
  for (char& c : l)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return l;
}

bool EnglishTokenizer::isWhole(const std::string& text, const Chars& cs, size_t b, size_t e) const {
  // Each test stops at the first character that does not fit, so that
  // peeling a long run of marks stays linear.
  bool allWord = true;
  for (size_t i = b; i < e && allWord; ++i) allWord = isWordChar(cs[i].cp);
  if (e - b <= kLongestListed) {
    const std::string s = text.substr(cs[b].begin, cs[e - 1].end - cs[b].begin);
    const std::string lower = lowerAscii(s);
    if (lists_.whole.count(lower)) return true;
    if (allWord) return !lists_.joined.count(lower);
    if (isEmoticon(s)) return true;
  } else if (allWord) {
    return true;
  }
  // Numbers: 1,200  3.5  5:00  11/28/2000  +1  .5 (a minus is a token of its own)
  size_t i = b;
  if (cs[i].cp == '+') ++i;
  if (i < e && cs[i].cp == '.') ++i;
  if (i >= e || !isDigit(cs[i].cp) || !isDigit(cs[e - 1].cp)) return false;
  for (size_t k = i; k < e; ++k) {
    const uint32_t c = cs[k].cp;
    if (isDigit(c)) continue;
    if ((c == ',' || c == '.' || c == ':' || c == '/') && isDigit(cs[k - 1].cp) && isDigit(cs[k + 1].cp))
      continue;
    return false;
  }
  return true;
}

void EnglishTokenizer::tokenize(const std::string& text, size_t begin, size_t end, std::vector<Token>& out) const {
  Chars cs;
  for (size_t at = begin; at < end;) {
    size_t len = 1;
    const uint32_t cp = decodeUtf8(text.data(), end, at, &len);
    cs.push_back({cp, at, at + len});
    at += len;
  }
  size_t i = 0;
  while (i < cs.size()) {
    if (isSpaceChar(cs[i].cp)) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < cs.size() && !isSpaceChar(cs[j].cp)) ++j;
    const size_t first = out.size();
    chunk(text, cs, i, j, out, 0);
    for (size_t k = first; k < out.size(); ++k) out[k].spaceAfter = false;
    if (out.size() > first) {
      // At the end of the range the text after it decides.
      bool space = true;
      if (j == cs.size() && end < text.size()) {
        size_t len = 1;
        space = isSpaceChar(decodeUtf8(text.data(), text.size(), end, &len));
      } else if (j < cs.size()) {
        space = true;
      }
      out.back().spaceAfter = space;
    }
    i = j;
  }
}

std::vector<std::string> EnglishTokenizer::forms(const std::string& text) const {
  std::vector<Token> tokens;
  tokenize(text, tokens);
  std::vector<std::string> f;
  for (const Token& t : tokens) f.push_back(text.substr(t.begin, t.end - t.begin));
  return f;
}

void EnglishTokenizer::chunk(const std::string& text, const Chars& cs, size_t b, size_t e, std::vector<Token>& out,
                             int depth) const {
  auto emit = [&](size_t from, size_t to) { out.push_back({cs[from].begin, cs[to - 1].end, false}); };
  if (b >= e) return;
  if (depth > kMaxDepth) {  // only contrived text nests this deep
    emit(b, e);
    return;
  }
  // Marks peeled off the end, emitted after the rest, last peeled last.
  std::vector<std::pair<size_t, size_t>> trailing;
  // Where the run of marks that ends the chunk starts.
  size_t marksFrom = e;
  while (marksFrom > b && isPunct(cs[marksFrom - 1].cp)) --marksFrom;
  while (b < e) {
    // URLs and e-mail addresses stay whole; marks after them are punctuation.
    std::string head;
    for (size_t i = b; i < e && i < b + 8; ++i) head += static_cast<char>(cs[i].cp < 0x80 ? cs[i].cp : 0x80);
    head = lowerAscii(head);
    bool address = head.compare(0, 7, "http://") == 0 || head.compare(0, 8, "https://") == 0 ||
                   head.compare(0, 6, "ftp://") == 0 || head.compare(0, 4, "www.") == 0 ||
                   head.compare(0, 7, "mailto:") == 0;
    if (!address && isWordChar(cs[b].cp)) {
      // name@host.domain, also with a masked name (name...@host.domain); a
      // quote or bracket before the '@' is no part of the address.
      size_t at = e;
      for (size_t i = b + 1; i + 1 < e && at == e; ++i) {
        const uint32_t c = cs[i].cp;
        if (c == '"' || c == '<' || c == '(' || c == '[' || c == '>' || c == ')' || c == ']') break;
        if (c == '@' && (isWordChar(cs[i - 1].cp) || cs[i - 1].cp == '.')) at = i;
      }
      for (size_t k = at + 1; k + 1 < e && !address; ++k)
        if (cs[k].cp == '.' && isWordChar(cs[k - 1].cp) && isWordChar(cs[k + 1].cp)) address = true;
    }
    if (address) {
      size_t k = e;
      while (k > b + 1 && trailsAddress(cs[k - 1].cp)) --k;
      emit(b, k);
      b = k;
      continue;
    }
    if (isWhole(text, cs, b, e)) {
      emit(b, e);
      b = e;
      break;
    }
    if (isPunct(cs[b].cp)) {
      // A whole token (".doc", ":-)") followed by marks only.
      bool found = false;
      const size_t from = std::max(marksFrom, b + 1);
      for (size_t k = std::min(e - 1, b + kLongestListed); k >= from && !found; --k) {
        if (isWhole(text, cs, b, k)) {
          emit(b, k);
          b = k;
          found = true;
        }
      }
      if (found) continue;
      // '90s-style words: an apostrophe before a number.
      if (isApostrophe(cs[b].cp) && b + 1 < e && isDigit(cs[b + 1].cp)) {
        size_t k = b + 1;
        while (k < e && isWordChar(cs[k].cp)) ++k;
        emit(b, k);
        b = k;
        continue;
      }
      // Leading punctuation, one mark (or one run of a repeated mark) at a time.
      size_t k = b + 1;
      while (k < e && groups(cs[b].cp, cs[k].cp)) ++k;
      emit(b, k);
      b = k;
      continue;
    }
    if (isPunct(cs[e - 1].cp)) {
      const uint32_t last = cs[e - 1].cp;
      if (last == '.' && e - 1 > b && isWordChar(cs[e - 2].cp) && e - b <= kLongestListed) {
        // Initials and dotted abbreviations (M. U.S. e.g.) keep their period.
        bool dotted = true;
        size_t letters = 0;
        for (size_t k = b; k < e && dotted; k += 2) {
          dotted = k + 1 < e && isAsciiLetter(cs[k].cp) && cs[k + 1].cp == '.';
          ++letters;
        }
        if (dotted && (letters >= 2 || isUpperStart(cs[b].cp))) {
          emit(b, e);
          b = e;
          break;
        }
      }
      size_t k = e - 1;
      while (k > b && groups(last, cs[k - 1].cp)) --k;
      trailing.emplace_back(k, e);
      e = k;
      continue;
    }
    core(text, cs, b, e, out, depth);
    break;
  }
  for (size_t t = trailing.size(); t-- > 0;) emit(trailing[t].first, trailing[t].second);
}

void EnglishTokenizer::core(const std::string& text, const Chars& cs, size_t b, size_t e, std::vector<Token>& out,
                            int depth) const {
  auto emit = [&](size_t from, size_t to) { out.push_back({cs[from].begin, cs[to - 1].end, false}); };
  const size_t n = e - b;
  auto lowerAt = [&](size_t i) {
    const uint32_t c = cs[i].cp;
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
  };
  // Clitics: n't 's 'm 'd 're 've 'll.
  if (n > 3 && lowerAt(e - 3) == 'n' && isApostrophe(cs[e - 2].cp) && lowerAt(e - 1) == 't') {
    chunk(text, cs, b, e - 3, out, depth + 1);
    emit(e - 3, e);
    return;
  }
  if (n > 2 && isApostrophe(cs[e - 2].cp)) {
    const uint32_t c = lowerAt(e - 1);
    if (c == 's' || c == 'm' || c == 'd') {
      chunk(text, cs, b, e - 2, out, depth + 1);
      emit(e - 2, e);
      return;
    }
  }
  if (n > 3 && isApostrophe(cs[e - 3].cp)) {
    const uint32_t c1 = lowerAt(e - 2), c2 = lowerAt(e - 1);
    if ((c1 == 'r' && c2 == 'e') || (c1 == 'v' && c2 == 'e') || (c1 == 'l' && c2 == 'l')) {
      chunk(text, cs, b, e - 3, out, depth + 1);
      emit(e - 3, e);
      return;
    }
  }
  const size_t start = cs[b].begin;
  auto joined = lists_.joined.find(lowerAscii(text.substr(start, cs[e - 1].end - start)));
  if (joined != lists_.joined.end()) {
    size_t cut = b;
    while (cut < e && cs[cut].begin < start + joined->second) ++cut;
    if (cut > b && cut < e) {
      emit(b, cut);
      emit(cut, e);
      return;
    }
  }
  inner(text, cs, b, e, out, depth + 1);
}

void EnglishTokenizer::inner(const std::string& text, const Chars& cs, size_t b, size_t e, std::vector<Token>& out,
                             int depth) const {
  auto emit = [&](size_t from, size_t to) { out.push_back({cs[from].begin, cs[to - 1].end, false}); };
  size_t segment = b;
  bool split = false;
  size_t numberSpanEnd = 0;  // the last digit-and-hyphen span judged, and its verdict
  bool numberSpanKept = false;
  for (size_t i = b + 1; i + 1 < e; ++i) {
    const uint32_t c = cs[i].cp;
    if (isWordChar(c) || !splitsInside(c)) continue;
    const uint32_t prev = cs[i - 1].cp, next = cs[i + 1].cp;
    bool keep = false;
    if (c == '-' && prev != '-' && next != '-') {
      if (isDigit(prev) && isDigit(next) && i < numberSpanEnd) {
        keep = numberSpanKept;
      } else if (isDigit(prev) && isDigit(next)) {
        // Telephone-like numbers (713-853-3989, 3-5213) stay whole; ranges (3-4, 10-12) do not.
        size_t s = i, t = i;
        while (s > b && (isDigit(cs[s - 1].cp) || cs[s - 1].cp == '-')) --s;
        while (t < e && (isDigit(cs[t].cp) || cs[t].cp == '-')) ++t;
        std::vector<size_t> lengths(1, 0);
        for (size_t k = s; k < t; ++k) {
          if (cs[k].cp == '-')
            lengths.push_back(0);
          else
            ++lengths.back();
        }
        keep = lengths.size() >= 3 || *std::max_element(lengths.begin(), lengths.end()) >= 3;
        numberSpanEnd = t;
        numberSpanKept = keep;
      } else {
        size_t s = i;
        while (s > segment && isWordChar(cs[s - 1].cp)) --s;
        keep = s < i && lists_.hyphenPrefixes.count(lowerAscii(text.substr(cs[s].begin, cs[i].begin - cs[s].begin)));
      }
    } else if (c == '/' || c == ',' || c == ':') {
      keep = isDigit(prev) && isDigit(next);
    } else if (c == '.') {
      keep = isWordChar(prev) && isWordChar(next);  // domains, dotted abbreviations, numbers
    }
    if (keep) continue;
    size_t k = i + 1;
    while (k < e && groups(c, cs[k].cp)) ++k;
    chunk(text, cs, segment, i, out, depth + 1);
    emit(i, k);
    segment = k;
    i = k - 1;
    split = true;
  }
  if (!split)
    emit(segment, e);
  else
    chunk(text, cs, segment, e, out, depth + 1);
}

}  // namespace tokenize
