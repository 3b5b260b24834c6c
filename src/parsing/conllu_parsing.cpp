#include "parsing/conllu_parsing.h"

#include <memory>
#include <vector>

#include "features/token_table.h"
#include "parsing/dependency_info.h"
#include "parsing/parse_voting.h"
#include "parsing/parser_kit_support.h"
#include "projectivity/projective_file.h"
#include "text/conllu.h"
#include "text/line_utils.h"

namespace {

bool isNumber(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Heads and relations of a sentence the drivers wrote (the last two columns).
void parsedTree(const TokenTable& rows, std::vector<_dppair>& tree) {
  tree.resize(rows.size());
  for (size_t k = 0; k < rows.size(); ++k) {
    const std::vector<std::string>& row = rows[k];
    tree[k].head = row.size() >= 2 ? headFromColumn(row[row.size() - 2]) : -1;
    tree[k].dprel = row.empty() ? std::string("_") : row.back();
  }
}

void decodeTree(std::vector<_dppair>& tree, int lifting) {
  if (lifting == 2 || lifting == 3) decodeMarkedArcs(tree, lifting);
}

// The sentence's rows as the drivers write them, the last two columns
// (head, relation) from tree, and the empty line after it.
void writeParsedSentence(const TokenTable& rows, const std::vector<_dppair>& tree, std::FILE* out) {
  for (size_t k = 0; k < rows.size(); ++k) {
    const std::vector<std::string>& row = rows[k];
    for (size_t c = 0; c + 2 < row.size(); ++c) {
      std::fwrite(row[c].data(), 1, row[c].size(), out);
      std::fputc(' ', out);
    }
    std::fprintf(out, "%ld ", static_cast<long>(tree[k].head) + 1);
    std::fwrite(tree[k].dprel.data(), 1, tree[k].dprel.size(), out);
    std::fputc('\n', out);
  }
  std::fputc('\n', out);
}

bool writeFailed(std::FILE* out, const std::string& outName) {
  if (std::ferror(out) == 0) return false;
  std::fprintf(stderr, "Error: write %s.\n", outName.c_str());
  return true;
}

}  // namespace

bool looksLikeConllu(const std::string& path) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return false;
  std::string line;
  std::vector<std::string> fields;
  bool conllu = false;
  for (int lines = 0; lines < 200 && readLineWhole(in, line); ++lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lines == 0 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    if (line.empty()) continue;
    if (line[0] == '#') {
      conllu = true;
      break;
    }
    conllu::splitTabs(line, fields);
    if (fields[0].find_first_of("-.") != std::string::npos && fields.size() >= 2) {
      conllu = true;
      break;
    }
    if (fields.size() == 10 && !isNumber(fields[8])) {
      conllu = true;
      break;
    }
  }
  std::fclose(in);
  return conllu;
}

bool conlluToParserColumns(const std::string& inputPath, const std::string& outputPath, ConlluCounts& counts) {
  counts = ConlluCounts();
  std::FILE* in = std::fopen(inputPath.c_str(), "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", inputPath.c_str());
    return false;
  }
  std::FILE* out = std::fopen(outputPath.c_str(), "wb");
  if (out == nullptr) {
    std::fclose(in);
    std::fprintf(stderr, "Error: open %s for writing.\n", outputPath.c_str());
    return false;
  }
  conllu::Reader reader(in, inputPath);
  conllu::Sentence s;
  bool ok = true;
  for (;;) {
    const conllu::ReadStatus status = reader.next(s);
    if (status == conllu::ReadStatus::kEnd) break;
    if (status == conllu::ReadStatus::kFailed) {
      std::fprintf(stderr, "%s\n", reader.error().c_str());
      ok = false;
      break;
    }
    if (status == conllu::ReadStatus::kBadSentence) {
      std::fprintf(stderr, "%s; sentence left out.\n", reader.error().c_str());
      ++counts.skipped;
      continue;
    }
    if (s.words.empty()) continue;
    for (const conllu::Word& w : s.words) {
      const std::vector<std::string>& c = w.cols;
      const std::string head = isNumber(c[conllu::kHead]) ? c[conllu::kHead] : "0";
      const std::string* cells[] = {&c[conllu::kId],   &c[conllu::kForm], &c[conllu::kLemma], &c[conllu::kUpos],
                                    &c[conllu::kXpos], &c[conllu::kForm], &c[conllu::kLemma], &c[conllu::kXpos],
                                    &head,             &c[conllu::kDeprel]};
      for (const std::string* cell : cells) {
        // The drivers split rows at blanks and tabs: a blank inside a cell
        // would shift the columns, and an empty cell would vanish.
        std::string text = cell->empty() ? "_" : *cell;
        for (char& ch : text)
          if (ch == ' ') ch = '_';
        std::fputs(text.c_str(), out);
        std::fputc('\t', out);
      }
      std::fputs("_\n", out);
    }
    std::fputc('\n', out);
    ++counts.sentences;
  }
  std::fclose(in);
  const bool failed = writeFailed(out, outputPath);
  if (std::fclose(out) != 0 && !failed) {
    std::fprintf(stderr, "Error: write %s.\n", outputPath.c_str());
    return false;
  }
  return ok && !failed;
}

bool mergeParseIntoConllu(const std::string& inputPath, const std::string& parsedPath, std::FILE* out,
                          const std::string& outName, int lifting, ConlluCounts& counts) {
  counts = ConlluCounts();
  std::FILE* in = std::fopen(inputPath.c_str(), "rb");
  std::FILE* parsed = std::fopen(parsedPath.c_str(), "rb");
  if (in == nullptr || parsed == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", in == nullptr ? inputPath.c_str() : parsedPath.c_str());
    if (in != nullptr) std::fclose(in);
    if (parsed != nullptr) std::fclose(parsed);
    return false;
  }
  // Messages about malformed sentences were given by the conversion.
  conllu::Reader reader(in, inputPath);
  SentenceReader parsedReader(parsed);
  conllu::Sentence s;
  TokenTable rows;
  int parsedLine = 0;
  std::vector<_dppair> tree;
  std::string text;
  bool ok = true;
  for (;;) {
    const conllu::ReadStatus status = reader.next(s);
    if (status == conllu::ReadStatus::kEnd) break;
    if (status == conllu::ReadStatus::kFailed) {
      std::fprintf(stderr, "%s\n", reader.error().c_str());
      ok = false;
      break;
    }
    if (status == conllu::ReadStatus::kBadSentence) {
      ++counts.skipped;
      continue;
    }
    if (!s.words.empty()) {
      if (!parsedReader.next(rows, parsedLine) || rows.size() != s.words.size()) {
        std::fprintf(stderr, "Error: %s line %ld: the parse of this sentence is missing.\n", inputPath.c_str(),
                     s.firstLine);
        ok = false;
        break;
      }
      parsedTree(rows, tree);
      decodeTree(tree, lifting);
      const int n = static_cast<int>(tree.size());
      for (int i = 0; i < n; ++i) {
        std::vector<std::string>& c = s.words[static_cast<size_t>(i)].cols;
        const int head = tree[static_cast<size_t>(i)].head;
        const bool root = head < 0 || head >= n;
        c[conllu::kHead] = std::to_string(root ? 0 : head + 1);
        c[conllu::kDeprel] = root || tree[static_cast<size_t>(i)].dprel == "ROOT" ? "root" : tree[static_cast<size_t>(i)].dprel;
        c[conllu::kDeps] = "_";
      }
    }
    text.clear();
    conllu::write(s, text);
    std::fwrite(text.data(), 1, text.size(), out);
    ++counts.sentences;
  }
  std::fclose(in);
  std::fclose(parsed);
  if (writeFailed(out, outName)) return false;
  return ok;
}

bool decodeParsedFile(const std::string& parsedPath, std::FILE* out, const std::string& outName, int lifting) {
  std::FILE* parsed = std::fopen(parsedPath.c_str(), "rb");
  if (parsed == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", parsedPath.c_str());
    return false;
  }
  SentenceReader reader(parsed);
  TokenTable rows;
  int firstLine = 0;
  std::vector<_dppair> tree;
  while (reader.next(rows, firstLine)) {
    parsedTree(rows, tree);
    decodeTree(tree, lifting);
    writeParsedSentence(rows, tree, out);
  }
  const bool readFailed = std::ferror(parsed) != 0;
  std::fclose(parsed);
  if (readFailed) {
    std::fprintf(stderr, "Error: read %s.\n", parsedPath.c_str());
    return false;
  }
  return !writeFailed(out, outName);
}

bool voteParsedFiles(const std::vector<std::string>& parsedPaths, const std::vector<double>& weights, int lifting,
                     std::FILE* out, const std::string& outName) {
  struct Input {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{nullptr, std::fclose};
    std::unique_ptr<SentenceReader> reader;
    TokenTable rows;
    int line = 0;
  };
  std::vector<Input> inputs(parsedPaths.size());
  for (size_t p = 0; p < parsedPaths.size(); ++p) {
    inputs[p].file.reset(std::fopen(parsedPaths[p].c_str(), "rb"));
    if (!inputs[p].file) {
      std::fprintf(stderr, "Error: open file %s for reading.\n", parsedPaths[p].c_str());
      return false;
    }
    inputs[p].reader.reset(new SentenceReader(inputs[p].file.get()));
  }
  std::vector<std::vector<_dppair>> parses(parsedPaths.size());
  for (;;) {
    bool more = false;
    for (size_t p = 0; p < inputs.size(); ++p) {
      Input& in = inputs[p];
      const bool read = in.reader->next(in.rows, in.line);
      if (p == 0) {
        more = read;
      } else if (read != more || (read && in.rows.size() != inputs[0].rows.size())) {
        std::fprintf(stderr, "Error: %s line %d: the parse %s does not match this sentence.\n",
                     parsedPaths[0].c_str(), inputs[0].line, parsedPaths[p].c_str());
        return false;
      }
      if (!read) continue;
      for (size_t k = 0; k < in.rows.size(); ++k)
        if (in.rows[k].size() < 3) {
          std::fprintf(stderr, "Error: %s line %d: a parsed row needs a head and a relation after its tokens.\n",
                       parsedPaths[p].c_str(), in.line + static_cast<int>(k));
          return false;
        }
      parsedTree(in.rows, parses[p]);
      decodeTree(parses[p], lifting);
    }
    if (!more) break;
    writeParsedSentence(inputs[0].rows, voteTree(parses, weights), out);
  }
  for (size_t p = 0; p < inputs.size(); ++p)
    if (std::ferror(inputs[p].file.get()) != 0) {
      std::fprintf(stderr, "Error: read %s.\n", parsedPaths[p].c_str());
      return false;
    }
  return !writeFailed(out, outName);
}
