// The parser ensemble's readers: readParserEnsemble on an arbitrary file, and
// voteParsedFiles on two arbitrary parse files; what the vote writes must be
// trees (every head the root or a word of the sentence, no cycle).
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "fuzz/fuzz_util.h"
#include "parsing/conllu_parsing.h"
#include "parsing/parse_voting.h"

namespace {

void checkTree(const std::vector<long>& heads) {
  const long n = static_cast<long>(heads.size());
  for (long d = 0; d < n; ++d) {
    long steps = 0;
    for (long v = d; heads[static_cast<size_t>(v)] != 0; v = heads[static_cast<size_t>(v)] - 1)
      if (heads[static_cast<size_t>(v)] < 0 || heads[static_cast<size_t>(v)] > n || ++steps > n) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::vector<std::string> parts = fuzz::splitParts(data + 1, size - 1, 3);
  fuzz::ScratchFiles files;
  std::vector<ParserEnsembleMember> members;
  readParserEnsemble(files.add("vote.ensemble", parts[0]), members);
  const std::string a = files.add("vote.a", parts[1]), b = files.add("vote.b", parts[2]);
  const std::string out = files.reserve("vote.out");
  std::FILE* f = std::fopen(out.c_str(), "wb");
  if (f == nullptr) return 0;
  const int lifting = data[0] % 3 == 0 ? 0 : data[0] % 3 == 1 ? 2 : 3;
  const bool voted = voteParsedFiles({a, b}, {1.0 + (data[0] >> 4), 1.0}, lifting, f, out);
  std::fclose(f);
  if (!voted) return 0;
  std::ifstream in(out);
  std::string line;
  std::vector<long> heads;
  while (std::getline(in, line)) {
    if (line.empty()) {
      checkTree(heads);
      heads.clear();
      continue;
    }
    // The readers' fields: runs of bytes other than blank and tab.
    std::vector<std::string> row;
    for (size_t i = 0; i < line.size();) {
      const size_t end = line.find_first_of(" \t", i);
      const size_t stop = end == std::string::npos ? line.size() : end;
      if (stop > i) row.push_back(line.substr(i, stop - i));
      i = stop + 1;
    }
    if (row.size() < 2) __builtin_trap();
    char* rest = nullptr;
    heads.push_back(std::strtol(row[row.size() - 2].c_str(), &rest, 10));
    if (*rest != '\0') __builtin_trap();
  }
  if (!heads.empty()) __builtin_trap();  // every sentence ends with an empty line
  return 0;
}
