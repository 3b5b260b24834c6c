#include "tokenize/sentence_splitter.h"

#include "text/utf8.h"

namespace tokenize {

namespace {

uint32_t firstChar(const std::string& s) {
  size_t len = 1;
  return s.empty() ? 0 : decodeUtf8(s.data(), s.size(), 0, &len);
}

bool allSentenceMarks(const std::string& s) {
  for (char c : s)
    if (c != '.' && c != '!' && c != '?') return s == "\xE2\x80\xA6";  // …
  return !s.empty();
}

// Quotes and brackets that close a sentence when they follow its last mark.
bool closes(const std::string& s) {
  return s == "\"" || s == "'" || s == "''" || s == ")" || s == "]" || s == "\xE2\x80\x9D" || s == "\xE2\x80\x99";
}

}  // namespace

std::string endKey(const std::string& lowerToken, const std::string& next) {
  bool word = true;
  for (size_t at = 0; at < lowerToken.size() && word;) {
    size_t len = 1;
    word = isWordChar(decodeUtf8(lowerToken.data(), lowerToken.size(), at, &len));
    at += len;
  }
  if (word || next.empty()) return std::string();
  const uint32_t c = firstChar(next);
  const char* kind = isUpperStart(c) ? "U" : isLowerStart(c) ? "L" : (c >= '0' && c <= '9') ? "D" : "P";
  return lowerToken + "\t" + kind;
}

bool detachFinalPeriod(const std::string& text, std::vector<Token>& tokens, size_t last) {
  Token& t = tokens[last];
  if (t.end - t.begin < 2 || text[t.end - 1] != '.') return false;
  // The character before the period must be a letter or digit.
  size_t at = t.end - 2;
  while (at > t.begin && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
  size_t len = 1;
  if (!isWordChar(decodeUtf8(text.data(), t.end - 1, at, &len))) return false;
  Token period{t.end - 1, t.end, t.spaceAfter};
  t.end -= 1;
  t.spaceAfter = false;
  tokens.insert(tokens.begin() + static_cast<long>(last) + 1, period);
  return true;
}

std::vector<size_t> SentenceSplitter::split(const std::string& text, std::vector<Token>& tokens) const {
  std::vector<size_t> ends;
  auto form = [&](size_t i) { return text.substr(tokens[i].begin, tokens[i].end - tokens[i].begin); };
  const size_t n = tokens.size();
  std::vector<size_t> cuts;  // index one past the last token of each sentence but the last
  for (size_t i = 0; i + 1 < n; ++i) {
    const std::string t = lowerAscii(form(i));
    size_t j = i + 1;
    // A closing quote or bracket right after the mark belongs to the sentence.
    while (j < n && !tokens[j - 1].spaceAfter && closes(form(j))) ++j;
    if (j >= n) break;
    const std::string next = form(j);
    const std::string key = endKey(t, next);
    if (key.empty()) continue;
    bool boundary;
    auto seen = lists_.sentenceEnds.find(key);
    if (seen != lists_.sentenceEnds.end() && seen->second.second >= 3) {
      boundary = 2 * seen->second.first > seen->second.second;
    } else if (allSentenceMarks(t)) {
      boundary = !isLowerStart(firstChar(next));
    } else {
      boundary = false;  // abbreviations, emoticons and other marks seldom end one
    }
    if (boundary) {
      cuts.push_back(j);
      i = j - 1;
    }
  }
  if (n == 0) return ends;
  cuts.push_back(n);
  // Sentence-final abbreviations give their period to the sentence; the
  // tokens are rebuilt in one pass.
  std::vector<Token> result;
  result.reserve(n + cuts.size());
  size_t begin = 0;
  for (size_t cut : cuts) {
    for (size_t i = begin; i < cut; ++i) result.push_back(tokens[i]);
    detachFinalPeriod(text, result, result.size() - 1);
    ends.push_back(result.size());
    begin = cut;
  }
  tokens.swap(result);
  return ends;
}

}  // namespace tokenize
