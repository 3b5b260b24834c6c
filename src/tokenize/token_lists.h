// What the English tokenizer and sentence splitter learn from a tokenized
// treebank: the tokens it keeps whole although the rules would split them
// ("e-mail", "Dr.", "Yahoo!"), the hyphen prefixes it does not split at
// ("non-", "co-"), the words it writes as two tokens ("dont" -> do nt,
// "gonna" -> gon na), and how often a sentence ends after a token.
#ifndef KORVANE_TOKENIZE_TOKEN_LISTS_H
#define KORVANE_TOKENIZE_TOKEN_LISTS_H

#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tokenize {

struct TokenLists {
  std::unordered_set<std::string> whole;           // lower-cased tokens kept whole
  std::unordered_set<std::string> hyphenPrefixes;  // lower-cased, without the hyphen
  // Lower-cased words written without a break that the treebank cuts in two,
  // with the byte where the second token starts ("dont" -> 2).
  std::unordered_map<std::string, size_t> joined;
  // How often a sentence ends after a token, keyed by endKey() (the token and
  // the kind of token that follows): {sentence ends, occurrences}.
  std::unordered_map<std::string, std::pair<int, int>> sentenceEnds;

  bool empty() const { return whole.empty() && hyphenPrefixes.empty() && joined.empty() && sentenceEnds.empty(); }

  // Reads the file that save() writes. On failure returns false and sets
  // `error` to "Error: FILE line N: ..." or "Error: cannot open FILE".
  bool load(const std::string& path, std::string& error);
  // Written with writeWholeFile (text/file_replace.h), so a failed write
  // leaves no half-written file behind.
  bool save(const std::string& path, const std::string& source, std::string& error) const;
};

// Learns the lists from a treebank's sentences (token forms in order;
// consecutive sentences are consecutive text).
TokenLists learnTokenLists(const std::vector<std::vector<std::string>>& sentences);

}  // namespace tokenize

#endif
