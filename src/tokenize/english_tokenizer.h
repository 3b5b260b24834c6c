// English tokenizer after the conventions of the UD English Web Treebank:
// punctuation apart from words, clitics ('s n't 're 'll 've 'm 'd) as tokens
// of their own, "$5.99" as "$ 5.99", hyphenated words split except after
// prefixes, and URLs, e-mail addresses, numbers, abbreviations and emoticons
// kept whole. Tokens are byte ranges of the text, so every token's form is
// the text's own characters.
#ifndef KORVANE_TOKENIZE_ENGLISH_TOKENIZER_H
#define KORVANE_TOKENIZE_ENGLISH_TOKENIZER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tokenize/token_lists.h"

namespace tokenize {

struct Token {
  size_t begin = 0;  // byte offsets into the text
  size_t end = 0;
  bool spaceAfter = true;  // false when the next character is not white space
};

class EnglishTokenizer {
 public:
  // The lists stay the caller's and must outlive the tokenizer; empty lists
  // leave only the rules.
  explicit EnglishTokenizer(const TokenLists& lists) : lists_(lists) {}

  // Appends the tokens of text[begin, end) to `out`. The text should be valid
  // UTF-8; a byte that does not decode counts as a letter.
  void tokenize(const std::string& text, size_t begin, size_t end, std::vector<Token>& out) const;
  void tokenize(const std::string& text, std::vector<Token>& out) const {
    tokenize(text, 0, text.size(), out);
  }
  // The token forms of a text, for tests and tools.
  std::vector<std::string> forms(const std::string& text) const;

 private:
  struct Char {
    uint32_t cp;
    size_t begin, end;
  };
  using Chars = std::vector<Char>;

  void chunk(const std::string& text, const Chars& cs, size_t b, size_t e, std::vector<Token>& out, int depth) const;
  void core(const std::string& text, const Chars& cs, size_t b, size_t e, std::vector<Token>& out, int depth) const;
  void inner(const std::string& text, const Chars& cs, size_t b, size_t e, std::vector<Token>& out, int depth) const;
  bool isWhole(const std::string& text, const Chars& cs, size_t b, size_t e) const;

  const TokenLists& lists_;
};

// Character classes the tokenizer and the splitter share.
bool isSpaceChar(uint32_t cp);
bool isWordChar(uint32_t cp);  // letters and digits of any script
bool isUpperStart(uint32_t cp);
bool isLowerStart(uint32_t cp);
std::string lowerAscii(const std::string& s);

}  // namespace tokenize

#endif
