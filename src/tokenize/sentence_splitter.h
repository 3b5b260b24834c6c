// Cuts a paragraph's tokens into sentences: after sentence marks and
// sentence-ending abbreviations, unless a lower-case word follows, with the
// decision for each kind of token taken from how often sentences end after it
// in the treebank.
#ifndef KORVANE_TOKENIZE_SENTENCE_SPLITTER_H
#define KORVANE_TOKENIZE_SENTENCE_SPLITTER_H

#include <string>
#include <vector>

#include "tokenize/english_tokenizer.h"
#include "tokenize/token_lists.h"

namespace tokenize {

// Key of the sentence-end statistics: the lower-cased token, a tab and the
// kind of the next token (U capital, L lower case, D digit, P anything else).
// Empty for ordinary words, which never end a sentence on their own.
std::string endKey(const std::string& lowerToken, const std::string& next);

class SentenceSplitter {
 public:
  // The lists stay the caller's and must outlive the splitter.
  explicit SentenceSplitter(const TokenLists& lists) : lists_(lists) {}

  // For each sentence, the index one past its last token; the last entry is
  // tokens.size() (nothing for no tokens). A sentence that ends in an
  // abbreviation gives its period to the sentence ("etc." -> etc .), so
  // `tokens` may grow.
  std::vector<size_t> split(const std::string& text, std::vector<Token>& tokens) const;

 private:
  const TokenLists& lists_;
};

// Cuts the period off token `last` when it ends a word ("etc.", "U.S."), as
// the treebank does at the end of a sentence. True when it did.
bool detachFinalPeriod(const std::string& text, std::vector<Token>& tokens, size_t last);

}  // namespace tokenize

#endif
