#include "decoding/line_sequences.h"

bool isChineseCutMark(const std::string& w) {
  if (w.size() == 1) return w[0] == '!' || w[0] == '?' || w[0] == ';' || w[0] == ',';
  if (w.size() != 2) return false;
  const unsigned char a = static_cast<unsigned char>(w[0]);
  const unsigned char b = static_cast<unsigned char>(w[1]);
  if (a == 0xA3) return b == 0xBF || b == 0xA1 || b == 0xAC || b == 0xBB;
  return a == 0xA1 && b == 0xA3;
}

void splitIntoSequences(std::vector<std::string>& words, bool english, std::vector<TokenTable>& sequences) {
  size_t count = 0, start = 0;
  for (size_t i = 0; i < words.size(); ++i) {
    const bool last = i + 1 == words.size();
    if (!last && (english || !isChineseCutMark(words[i]))) continue;
    if (count == sequences.size()) sequences.emplace_back();
    TokenTable& seq = sequences[count++];
    seq.resize(i + 1 - start);
    for (size_t r = 0; r < seq.size(); ++r) {
      seq[r].resize(1);
      seq[r][0].swap(words[start + r]);
    }
    start = i + 1;
  }
  sequences.resize(count);
}
