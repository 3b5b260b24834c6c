#include "projectivity/projective_file.h"

#include <map>

#include "parsing/dependency_info.h"
#include "projectivity/projectivity.h"
#include "text/line_utils.h"

namespace {

constexpr size_t kMinColumns = 10;

void writeBytes(std::FILE* out, const std::string& s) { std::fwrite(s.data(), 1, s.size(), out); }

void printCounts(const ProjectiveGenCounts& c, char end) {
  std::fprintf(stderr, "#line=%d,#seq=%d,nonPro=%d,nonPro2=%d,nonPro3=%d%c", c.lines, c.sentences,
               c.nonProjective, c.notByGrandparent, c.leftOut, end);
}

// False (with a message naming the line) when the sentence cannot be read as a
// tree; heads outside the sentence are refused only when checkHeads is set.
bool readTree(TokenTable& rows, const char* path, int firstLine, bool checkHeads, std::vector<_dppair>& tree) {
  for (size_t k = 0; k < rows.size(); ++k) {
    if (rows[k].size() < kMinColumns) {
      std::fprintf(stderr, "Error: %s line %d: %zu columns, a token row needs at least %zu; sentence left out.\n",
                   path, firstLine + static_cast<int>(k), rows[k].size(), kMinColumns);
      return false;
    }
  }
  std::vector<std::vector<_dppair>> unusedArguments;
  std::vector<int> unusedPredicates;
  loadExtraDPInfo(rows, 1, tree, unusedArguments, unusedPredicates);
  const int n = static_cast<int>(tree.size());
  for (int k = 0; checkHeads && k < n; ++k) {
    if (tree[k].head < -1 || tree[k].head >= n) {
      std::fprintf(stderr, "Error: %s line %d: head %s lies outside the sentence of %d tokens; sentence left out.\n",
                   path, firstLine + k, rows[k][8].c_str(), n);
      return false;
    }
  }
  return true;
}

// An input and an output file read sentence by sentence: rows up to an empty
// line (a line of blanks and tabs only counts as empty).
struct SentenceFiles {
  std::FILE* in = nullptr;
  std::FILE* out = nullptr;
  const char* inPath = "";
  const char* outPath = "";
  int lines = 0;
  std::string line;
  std::vector<std::string> fields;

  ~SentenceFiles() {
    if (in != nullptr) std::fclose(in);
    if (out != nullptr) std::fclose(out);
  }

  // The input is opened first so that a missing input leaves an existing output alone.
  bool open(const char* inputPath, const char* outputPath) {
    inPath = inputPath;
    outPath = outputPath;
    in = std::fopen(inputPath, "rb");
    if (in == nullptr) {
      std::fprintf(stderr, "Error: open file %s.\n", inputPath);
      return false;
    }
    out = std::fopen(outputPath, "wb");
    if (out == nullptr) {
      std::fprintf(stderr, "Error: open %s for writing.\n", outputPath);
      return false;
    }
    return true;
  }

  // Next sentence followed by an empty line; false at the end of the input.
  // progress(lines) runs for every line read right after a non-empty line.
  template <typename Progress>
  bool nextSentence(TokenTable& rows, int& firstLine, const Progress& progress) {
    rows.clear();
    while (readLineWhole(in, line)) {
      ++lines;
      if (!rows.empty()) progress(lines);
      readLine2VectorString(line, fields);
      if (!fields.empty()) {
        if (rows.empty()) firstLine = lines;
        rows.push_back(fields);
      } else if (!rows.empty()) {
        return true;
      }
    }
    if (!rows.empty())
      std::fprintf(stderr, "Warning: %s line %d: the last sentence has no empty line after it and is left out.\n",
                   inPath, firstLine);
    rows.clear();
    return false;
  }

  // 1, or -1 after a read or write error.
  int close() {
    int result = 1;
    if (std::ferror(in) != 0) {
      std::fprintf(stderr, "Error: read %s.\n", inPath);
      result = -1;
    }
    std::fclose(in);
    in = nullptr;
    const bool writeFailed = std::ferror(out) != 0;
    const int closed = std::fclose(out);
    out = nullptr;
    if (closed != 0 || writeFailed) {
      std::fprintf(stderr, "Error: write %s.\n", outPath);
      result = -1;
    }
    return result;
  }
};

void writeSentence(std::FILE* out, const TokenTable& rows, const std::vector<_dppair>& tree) {
  for (size_t k = 0; k < rows.size(); ++k) writeProjectiveRow(out, rows[k], tree[k].head, tree[k].dprel);
  std::fputc('\n', out);
}

}  // namespace

void writeProjectiveRow(std::FILE* out, const std::vector<std::string>& row, int head, const std::string& relation) {
  for (size_t c = 0; c < 8 && c < row.size(); ++c) {
    writeBytes(out, row[c]);
    std::fputc(' ', out);
  }
  std::fprintf(out, "%ld ", static_cast<long>(head) + 1);
  writeBytes(out, relation);
  for (size_t c = kMinColumns; c < row.size(); ++c) {
    std::fputc(' ', out);
    writeBytes(out, row[c]);
  }
  std::fputc('\n', out);
}

namespace {

// Marks the arcs lifting moved (see ProjectiveGen).
void markLiftedArcs(const std::vector<_dppair>& original, std::vector<_dppair>& tree, ProjectiveGenCounts& c) {
  const size_t n = tree.size();
  std::vector<char> lifted(n, 0);
  for (size_t e = 0; e < n; ++e) lifted[e] = tree[e].head != original[e].head;
  for (size_t e = 0; e < n; ++e) {
    if (!lifted[e]) continue;
    const int h = original[e].head;  // lifting moves only tokens that have a head
    const std::string& marker = original[static_cast<size_t>(h)].dprel;
    tree[e].dprel = original[e].dprel + "|" + marker;
    ++c.markedArcs;
    if (lifted[static_cast<size_t>(h)])
      ++c.unmarkedHeads;
    else
      tree[static_cast<size_t>(h)].dprel = "|" + marker;
  }
}

}  // namespace

int ProjectiveGen(char* inputPath, char* outputPath, ProjectiveGenCounts* countsOut) {
  return ProjectiveGen(inputPath, outputPath, countsOut, false);
}

int ProjectiveGen(char* inputPath, char* outputPath, ProjectiveGenCounts* countsOut, bool markLifted) {
  ProjectiveGenCounts c;
  std::vector<_dppair> tree, original;
  SentenceFiles files;
  if (!files.open(inputPath, outputPath)) return -1;
  TokenTable rows;
  int firstLine = 0;
  const auto progress = [&c](int lines) {
    c.lines = lines;
    if (lines % 24000 == 0) printCounts(c, '\r');
  };
  while (files.nextSentence(rows, firstLine, progress)) {
    c.lines = files.lines;
    ++c.sentences;
    if (!readTree(rows, inputPath, firstLine, true, tree)) {
      ++c.malformed;
      continue;
    }
    bool keep = true;
    if (checkProjective(tree) >= 0) {
      ++c.nonProjective;
      original = tree;
      bool gaveUp2 = false, gaveUp3 = false;
      if (pseudoProjectiveHead2(tree, kLiftWorkLimit, &gaveUp2) != 1) {
        ++c.notByGrandparent;
        if (pseudoProjectiveHead3(tree, kLiftWorkLimit, &gaveUp3) != 1) {
          ++c.leftOut;
          keep = false;
          if (gaveUp2 || gaveUp3)
            std::fprintf(stderr,
                         "Error: %s line %d: the %zu-token sentence is too far from projective to repair within "
                         "the work limit; sentence left out.\n",
                         inputPath, firstLine, rows.size());
        }
      }
    }
    if (keep && markLifted && !original.empty()) markLiftedArcs(original, tree, c);
    original.clear();
    if (keep) writeSentence(files.out, rows, tree);
  }
  c.lines = files.lines;
  const int result = files.close();
  printCounts(c, '\n');
  if (countsOut != nullptr) *countsOut = c;
  return result;
}

int deprojectivizeFile(char* inputPath, char* outputPath, int encoding, DeprojectivizeCounts* countsOut) {
  if (encoding != 2 && encoding != 3) {
    std::fprintf(stderr, "Error: unknown lifting encoding %d (2 or 3).\n", encoding);
    return -1;
  }
  DeprojectivizeCounts c;
  std::vector<_dppair> tree;
  SentenceFiles files;
  if (!files.open(inputPath, outputPath)) return -1;
  TokenTable rows;
  int firstLine = 0;
  while (files.nextSentence(rows, firstLine, [](int) {})) {
    ++c.sentences;
    if (!readTree(rows, inputPath, firstLine, false, tree)) {
      ++c.malformed;
      continue;
    }
    for (const _dppair& a : tree)
      if (a.dprel.find('|') != std::string::npos) ++c.decodedLabels;
    decodeMarkedArcs(tree, encoding);
    writeSentence(files.out, rows, tree);
  }
  c.lines = files.lines;
  const int result = files.close();
  if (countsOut != nullptr) *countsOut = c;
  return result;
}

int ProjectiveGen(char* inputPath, char* outputPath) { return ProjectiveGen(inputPath, outputPath, nullptr); }

int keepFrequentMarkers(char* inputPath, char* outputPath, int minCount) {
  std::map<std::string, long> counts;
  std::vector<_dppair> tree;
  TokenTable rows;
  int firstLine = 0;
  {
    // The first reading only counts; its output goes nowhere.
    SentenceFiles files;
    if (!files.open(inputPath, const_cast<char*>("/dev/null"))) return -1;
    while (files.nextSentence(rows, firstLine, [](int) {})) {
      if (!readTree(rows, inputPath, firstLine, false, tree)) continue;
      for (const _dppair& a : tree)
        if (a.dprel.find('|') != std::string::npos) ++counts[a.dprel];
    }
    if (files.close() != 1) return -1;
  }
  SentenceFiles files;
  if (!files.open(inputPath, outputPath)) return -1;
  std::map<std::string, int> lifted, heads;
  while (files.nextSentence(rows, firstLine, [](int) {})) {
    if (!readTree(rows, inputPath, firstLine, false, tree)) continue;
    // The markers of the sentence that a lifted token and a head both keep.
    lifted.clear();
    heads.clear();
    for (const _dppair& a : tree) {
      const size_t bar = a.dprel.find('|');
      if (bar == std::string::npos || counts[a.dprel] < minCount) continue;
      ++(bar == 0 ? heads : lifted)[a.dprel.substr(bar)];
    }
    for (_dppair& a : tree) {
      const size_t bar = a.dprel.find('|');
      if (bar == std::string::npos) continue;
      const std::string marker = a.dprel.substr(bar);
      if (lifted.count(marker) > 0 && heads.count(marker) > 0 && counts[a.dprel] >= minCount) continue;
      a.dprel = bar == 0 ? a.dprel.substr(1) : a.dprel.substr(0, bar);
    }
    writeSentence(files.out, rows, tree);
  }
  return files.close();
}


namespace {

// Heads after decoder 2 or 3 over the tree, read in the given direction.
std::vector<int> decodedHeads(const std::vector<_dppair>& tree, int encoding, bool reversed) {
  const int n = static_cast<int>(tree.size());
  auto at = [&](int i) { return reversed ? n - 1 - i : i; };
  std::vector<int> heads(tree.size());
  std::vector<std::string> labels(tree.size());
  for (int i = 0; i < n; ++i) {
    const _dppair& a = tree[static_cast<size_t>(at(i))];
    heads[static_cast<size_t>(i)] = a.head >= 0 && a.head < n ? at(a.head) : a.head;
    labels[static_cast<size_t>(i)] = a.dprel;
  }
  if (encoding == 3) {
    std::vector<_dppair> copy(tree.size());
    for (size_t i = 0; i < copy.size(); ++i) {
      copy[i].head = heads[i];
      copy[i].dprel = labels[i];
    }
    pseudoProjectiveHeadDecoder3(copy);
    for (size_t i = 0; i < copy.size(); ++i) heads[i] = copy[i].head;
  } else {
    pseudoProjectiveHeadDecoder2(heads, labels);
  }
  std::vector<int> result(tree.size());
  for (int i = 0; i < n; ++i) {
    const int h = heads[static_cast<size_t>(i)];
    result[static_cast<size_t>(at(i))] = h >= 0 && h < n ? at(h) : h;
  }
  return result;
}

}  // namespace

int decodeMarkedArcs(std::vector<_dppair>& tree, int encoding) {
  bool marked = false;
  for (const _dppair& a : tree) marked = marked || a.dprel.find('|') != std::string::npos;
  if (!marked) return 0;
  const std::vector<int> after = decodedHeads(tree, encoding, false);
  const std::vector<int> before = decodedHeads(tree, encoding, true);
  int found = 0;
  for (size_t e = 0; e < tree.size(); ++e) {
    std::string& label = tree[e].dprel;
    const size_t bar = label.find('|');
    if (bar == std::string::npos) continue;
    if (bar == 0) {
      label.erase(0, 1);  // a head marker names the token's own relation
      const size_t more = label.find('|');
      if (more != std::string::npos) label.erase(more);
      continue;
    }
    if (after[e] != tree[e].head) {
      tree[e].head = after[e];
      ++found;
    } else if (before[e] != tree[e].head) {
      tree[e].head = before[e];
      ++found;
    }
    label.erase(bar);
  }
  return found;
}

int pseudoProjectiveHeadDecoder3(std::vector<_dppair>& tree) {
  const size_t n = tree.size();
  for (size_t e = 0; e < n; ++e) {
    const size_t bar = tree[e].dprel.find('|');
    if (bar == std::string::npos) continue;
    const std::string marker = tree[e].dprel.substr(bar);
    for (size_t j = 0; j < n; ++j)
      if (j != e && tree[j].dprel == marker) tree[e].head = static_cast<int32_t>(j);
    tree[e].dprel.erase(bar);
  }
  return -1;
}

int pseudoProjectiveHeadDecoder2(std::vector<int>& heads, std::vector<std::string>& labels) {
  const size_t n = heads.size() < labels.size() ? heads.size() : labels.size();
  for (size_t e = 0; e < n; ++e) {
    const size_t bar = labels[e].find('|');
    if (bar == std::string::npos) continue;
    const std::string marker = labels[e].substr(bar);
    for (size_t j = 0; j < n; ++j)
      if (j != e && labels[j] == marker && heads[j] == heads[e]) heads[e] = static_cast<int>(j);
    labels[e].erase(bar);
  }
  return -1;
}
