#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "parsing/dependency_info.h"
#include "parsing/parser_kit_support.h"
#include "parsing/parser_training.h"
#include "projectivity/projective_file.h"
#include "projectivity/projectivity.h"

bool isPunctuationTag(const std::string& tag) {
  static const std::set<std::string> kTags = {"PUNCT", "``", "''", ",", ".", ":", "-LRB-", "-RRB-", "HYPH", "NFP"};
  return kTags.count(tag) > 0;
}

bool scoreParsedFile(const std::string& goldPath, const std::string& parsedPath, int punctColumn, int decoder,
                     ParserEvaluation& result) {
  result = ParserEvaluation();
  std::FILE* gold = std::fopen(goldPath.c_str(), "rb");
  std::FILE* parsed = std::fopen(parsedPath.c_str(), "rb");
  if (gold == nullptr || parsed == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", gold == nullptr ? goldPath.c_str() : parsedPath.c_str());
    if (gold != nullptr) std::fclose(gold);
    if (parsed != nullptr) std::fclose(parsed);
    return false;
  }
  SentenceReader goldReader(gold), parsedReader(parsed);
  TokenTable goldRows, parsedRows;
  int goldLine = 0, parsedLine = 0;
  std::vector<_dppair> goldTree, unusedArcs;
  std::vector<std::vector<_dppair>> unusedArguments;
  std::vector<int> unusedPredicates;
  std::vector<int> heads;
  std::vector<std::string> labels;
  std::vector<_dppair> predicted;
  bool ok = true;
  while (ok && goldReader.next(goldRows, goldLine)) {
    if (!parsedReader.next(parsedRows, parsedLine) || parsedRows.size() != goldRows.size()) {
      std::fprintf(stderr, "Error: %s line %d: the parsed file %s does not match this sentence.\n", goldPath.c_str(),
                   goldLine, parsedPath.c_str());
      ok = false;
      break;
    }
    const size_t n = goldRows.size();
    for (size_t k = 0; k < n && ok; ++k) {
      if (goldRows[k].size() < 10 || parsedRows[k].size() != goldRows[k].size() + 2) {
        std::fprintf(stderr, "Error: %s line %d: a token row needs at least 10 columns (head in 8, relation in 9).\n",
                     goldPath.c_str(), goldLine + static_cast<int>(k));
        ok = false;
      }
    }
    if (!ok) break;
    ++result.sentences;
    loadExtraDPInfo(goldRows, 1, goldTree, unusedArguments, unusedPredicates);
    heads.assign(n, -1);
    labels.assign(n, std::string());
    predicted.resize(n);
    for (size_t k = 0; k < n; ++k) {
      const std::vector<std::string>& row = parsedRows[k];
      predicted[k].head = headFromColumn(row[row.size() - 2]);
      predicted[k].dprel = row.back();
      if (predicted[k].dprel.find('|') != std::string::npos) ++result.liftedLabels;
    }
    result.liftedFound += decodeMarkedArcs(predicted, decoder);
    for (size_t k = 0; k < n; ++k) {
      heads[k] = predicted[k].head;
      labels[k] = predicted[k].dprel;
    }
    // The arcs that projectivizing would lift are the non-projective ones.
    if (checkProjective(goldTree) >= 0) {
      std::vector<_dppair> lifted = goldTree;
      if (pseudoProjectiveHead2(lifted) != 1) pseudoProjectiveHead3(lifted);
      for (size_t k = 0; k < n; ++k) {
        if (lifted[k].head == goldTree[k].head) continue;
        ++result.nonProjectiveArcs;
        result.nonProjectiveRight += heads[k] == goldTree[k].head;
      }
    }
    for (size_t k = 0; k < n; ++k) {
      const bool headRight = heads[k] == goldTree[k].head;
      const bool labelRight = headRight && (goldTree[k].head < 0 || labels[k] == goldTree[k].dprel);
      const bool punctuation = static_cast<size_t>(punctColumn) < goldRows[k].size() &&
                               isPunctuationTag(goldRows[k][static_cast<size_t>(punctColumn)]);
      for (ParserScore* s : {&result.all, punctuation ? nullptr : &result.noPunctuation}) {
        if (s == nullptr) continue;
        ++s->tokens;
        s->heads += headRight;
        s->labelled += labelRight;
      }
    }
  }
  if (ok && (std::ferror(gold) != 0 || std::ferror(parsed) != 0)) {
    std::fprintf(stderr, "Error: read %s failed.\n", std::ferror(gold) != 0 ? goldPath.c_str() : parsedPath.c_str());
    ok = false;
  }
  std::fclose(gold);
  std::fclose(parsed);
  return ok;
}
