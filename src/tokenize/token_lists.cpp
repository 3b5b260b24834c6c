#include "tokenize/token_lists.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "text/file_replace.h"
#include "text/line_utils.h"
#include "tokenize/english_tokenizer.h"
#include "tokenize/sentence_splitter.h"

namespace tokenize {

namespace {

bool alphabetic(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  return true;
}

bool startsWithLetter(const std::string& s) {
  return !s.empty() && ((s[0] >= 'a' && s[0] <= 'z') || (s[0] >= 'A' && s[0] <= 'Z'));
}

}  // namespace

TokenLists learnTokenLists(const std::vector<std::vector<std::string>>& sentences) {
  TokenLists lists;
  std::vector<std::string> stream;  // lower-cased tokens of all sentences
  std::vector<char> lastOfSentence;
  std::vector<std::string> original;
  for (const auto& s : sentences) {
    for (size_t i = 0; i < s.size(); ++i) {
      stream.push_back(lowerAscii(s[i]));
      original.push_back(s[i]);
      lastOfSentence.push_back(i + 1 == s.size());
    }
  }
  std::map<std::string, int> frequency;
  for (const std::string& t : stream) ++frequency[t];

  // Hyphen prefixes: kept whole ("co-workers") more often than split ("co - x").
  std::map<std::string, int> wholeLeft, splitLeft;
  for (const auto& [t, count] : frequency) {
    const size_t h = t.find('-');
    if (h == std::string::npos || h == 0 || h + 1 >= t.size()) continue;
    const std::string left = t.substr(0, h);
    if (alphabetic(left) && startsWithLetter(t.substr(h + 1))) wholeLeft[left] += count;
  }
  for (size_t i = 0; i + 2 < stream.size(); ++i) {
    if (stream[i + 1] == "-" && !lastOfSentence[i] && !lastOfSentence[i + 1] && alphabetic(stream[i]) &&
        startsWithLetter(stream[i + 2]))
      ++splitLeft[stream[i]];
  }
  for (const auto& [left, count] : wholeLeft)
    if (count >= 2 && count > splitLeft[left]) lists.hyphenPrefixes.insert(left);

  // Contractions written without an apostrophe ("dont" -> do nt, "im" -> i m)
  // and the like ("gonna" -> gon na), where the pair is far more frequent
  // than the joined word.
  static const char* const seconds[] = {"nt", "s", "m", "d", "re", "ve", "ll", "t", "na", "ta", "not"};
  std::map<std::string, std::map<size_t, int>> cuts;
  for (size_t i = 0; i + 1 < stream.size(); ++i) {
    if (lastOfSentence[i] || !alphabetic(stream[i])) continue;
    for (const char* second : seconds) {
      if (stream[i + 1] != second) continue;
      // "not" joins only "can"-style words ("cannot"), not "snot".
      if (stream[i + 1] == "not" && stream[i].back() != 'n') continue;
      ++cuts[stream[i] + second][stream[i].size()];
    }
  }
  for (const auto& [word, byCut] : cuts) {
    size_t best = 0;
    int pairs = 0, bestCount = 0;
    for (const auto& [cut, count] : byCut) {
      pairs += count;
      if (count > bestCount) best = cut, bestCount = count;
    }
    const auto seen = frequency.find(word);
    const int alone = seen == frequency.end() ? 0 : seen->second;
    if (pairs >= 3 && pairs > 2 * alone) lists.joined[word] = best;
  }

  // Tokens the rules would split but the treebank keeps whole more often.
  EnglishTokenizer rules(lists);
  std::map<std::vector<std::string>, int> splitCount;
  std::map<std::string, std::vector<std::string>> splitOf;
  for (const auto& [t, count] : frequency) {
    std::vector<std::string> pieces = rules.forms(t);
    if (pieces.size() <= 1) continue;
    splitCount[pieces] = 0;
    splitOf[t] = pieces;
  }
  std::map<std::string, std::vector<const std::vector<std::string>*>> byFirst;
  for (const auto& entry : splitCount) byFirst[entry.first[0]].push_back(&entry.first);
  for (size_t i = 0; i < stream.size(); ++i) {
    auto it = byFirst.find(stream[i]);
    if (it == byFirst.end()) continue;
    for (const auto* pieces : it->second) {
      if (i + pieces->size() > stream.size()) continue;
      bool match = true;
      for (size_t k = 1; k < pieces->size() && match; ++k)
        match = stream[i + k] == (*pieces)[k] && !lastOfSentence[i + k - 1];
      // A sentence-final abbreviation gives its period to the sentence
      // ("etc" "."), which is no reason to split it elsewhere.
      if (match && pieces->back() == "." && lastOfSentence[i + pieces->size() - 1]) match = false;
      if (match) ++splitCount[*pieces];
    }
  }
  for (const auto& [t, pieces] : splitOf) {
    const int whole = frequency[t];
    if (whole > splitCount[pieces] && (whole >= 2 || t.back() == '.')) lists.whole.insert(t);
  }

  // Sentence ends after a token, by the kind of token that follows.
  for (size_t i = 0; i + 1 < stream.size(); ++i) {
    const std::string key = endKey(stream[i], original[i + 1]);
    if (key.empty()) continue;
    auto& counts = lists.sentenceEnds[key];
    counts.first += lastOfSentence[i];
    counts.second += 1;
  }
  for (auto it = lists.sentenceEnds.begin(); it != lists.sentenceEnds.end();) {
    if (it->second.second < 3)
      it = lists.sentenceEnds.erase(it);
    else
      ++it;
  }
  return lists;
}

bool TokenLists::load(const std::string& path, std::string& error) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) {
    error = "Error: cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  TokenLists lists;
  std::string line;
  long number = 0;
  bool ok = true;
  while (ok && readLineWhole(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    size_t start = 0;
    for (;;) {
      const size_t tab = line.find('\t', start);
      f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (f[0] == "whole" && f.size() == 2 && !f[1].empty()) {
      lists.whole.insert(f[1]);
    } else if (f[0] == "prefix" && f.size() == 2 && !f[1].empty()) {
      lists.hyphenPrefixes.insert(f[1]);
    } else if (f[0] == "join" && f.size() == 3 && !f[1].empty()) {
      char* stop = nullptr;
      const long cut = std::strtol(f[2].c_str(), &stop, 10);
      if (*stop || f[2].empty() || cut <= 0 || cut >= static_cast<long>(f[1].size()))
        ok = false;
      else
        lists.joined[f[1]] = static_cast<size_t>(cut);
    } else if (f[0] == "end" && f.size() == 5) {
      char* stop1 = nullptr;
      char* stop2 = nullptr;
      const long ends = std::strtol(f[3].c_str(), &stop1, 10);
      const long total = std::strtol(f[4].c_str(), &stop2, 10);
      if (*stop1 || *stop2 || f[3].empty() || f[4].empty() || ends < 0 || total < ends || total > 1000000000) {
        ok = false;
      } else {
        lists.sentenceEnds[f[1] + "\t" + f[2]] = {static_cast<int>(ends), static_cast<int>(total)};
      }
    } else {
      ok = false;
    }
    if (!ok) error = "Error: " + path + " line " + std::to_string(number) + ": not a token-list entry";
  }
  if (ok && std::ferror(in)) {
    error = "Error: cannot read " + path;
    ok = false;
  }
  std::fclose(in);
  if (ok) *this = std::move(lists);
  return ok;
}

bool TokenLists::save(const std::string& path, const std::string& source, std::string& error) const {
  std::string out = "# Token lists of the English tokenizer, learned from " + source +
                    "\n# whole TOKEN | prefix PREFIX | join WORD CUT | end TOKEN NEXT-KIND ENDS TOTAL\n";
  auto sorted = [](const std::unordered_set<std::string>& s) { return std::vector<std::string>(s.begin(), s.end()); };
  for (auto [name, set] : {std::make_pair("whole", &whole), std::make_pair("prefix", &hyphenPrefixes)}) {
    std::vector<std::string> items = sorted(*set);
    std::sort(items.begin(), items.end());
    for (const std::string& t : items) out += std::string(name) + "\t" + t + "\n";
  }
  for (const auto& [word, cut] : std::map<std::string, size_t>(joined.begin(), joined.end()))
    out += "join\t" + word + "\t" + std::to_string(cut) + "\n";
  std::map<std::string, std::pair<int, int>> ends(sentenceEnds.begin(), sentenceEnds.end());
  for (const auto& [key, counts] : ends)
    out += "end\t" + key + "\t" + std::to_string(counts.first) + "\t" + std::to_string(counts.second) + "\n";
  return writeWholeFile(path, out, error);
}

}  // namespace tokenize
