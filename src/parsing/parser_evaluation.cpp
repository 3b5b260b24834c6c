#include <chrono>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "parsing/dependency_info.h"
#include "parsing/parser_kit_support.h"
#include "parsing/parser_training.h"
#include "parsing/parsing_drivers.h"
#include "projectivity/projective_file.h"
#include "projectivity/projectivity.h"

namespace {

const char kEvaluateUsage[] =
    "Usage: korvane-kit evaluate-parser [options] -m MODEL GOLD\n"
    "Parses GOLD (token rows with the gold 1-based head in column 8, 0 = root, and\n"
    "the relation in column 9; sentences end with an empty line) and prints the\n"
    "unlabelled and labelled attachment scores, with and without punctuation, and\n"
    "the parsing speed. A token whose gold and predicted heads are both the root\n"
    "counts as correctly labelled (the parser names every root ROOT).\n"
    "  -m, --model MODEL        parser model file, version 2 (required)\n"
    "  -t, --template FILE      template file (default models/parser.template)\n"
    "  -d, --driver DRIVER      ltr (default), rtl, repair, beam or beam-rtl\n"
    "  -b, --beam-width N       partial parses the beam keeps (default 8)\n"
    "  -e, --lifting N          2 or 3: decoder for predicted lifted labels\n"
    "                           (relation|marker), 2 = pseudoProjectiveHeadDecoder2\n"
    "                           (default), 3 = pseudoProjectiveHeadDecoder3\n"
    "  -P, --punct-column N     gold column whose tag marks punctuation (default 3);\n"
    "                           punctuation tags: PUNCT `` '' , . : -LRB- -RRB- HYPH NFP\n"
    "  -o, --output FILE        keep the parsed file (default: a temporary file)\n";

const std::set<std::string> kPunctuationTags = {"PUNCT", "``", "''", ",", ".", ":", "-LRB-", "-RRB-", "HYPH", "NFP"};

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Score {
  long tokens = 0, heads = 0, labelled = 0;
  double percent(long good) const { return tokens > 0 ? 100.0 * good / tokens : 0.0; }
};

}  // namespace

int kitEvaluateParser(int argc, char** argv) {
  std::map<std::string, std::string> values;
  std::vector<std::string> files;
  const std::vector<ParserKitOption> options = {{"-m", "--model", nullptr},       {"-t", "--template", nullptr},
                                                {"-d", "--driver", "ltr"},        {"-e", "--lifting", "2"},
                                                {"-P", "--punct-column", "3"},    {"-o", "--output", nullptr},
                                                {"-b", "--beam-width", "8"}};
  const int status = readParserKitArgs(argc, argv, options, kEvaluateUsage, 1, 1, values, files);
  if (status >= 0) return status;
  int lifting = 2, punctColumn = 3, beamWidth = 8;
  if (!parserKitInt(values, "--lifting", 2, 3, lifting) || !parserKitInt(values, "--beam-width", 1, 4096, beamWidth) ||
      !parserKitInt(values, "--punct-column", 0, 1000000, punctColumn)) {
    std::fputs(kEvaluateUsage, stderr);
    return 2;
  }
  if (!values.count("--model")) {
    std::fprintf(stderr, "Error: no model file given (-m).\n");
    std::fputs(kEvaluateUsage, stderr);
    return 2;
  }
  const std::string driver = values["--driver"];
  int (*run)(char*, char*, char*, char*) = nullptr;
  if (driver == "ltr")
    run = ME_TestPNivre2Ext;
  else if (driver == "rtl")
    run = ME_TestPNivre2ExtInverse;
  else if (driver == "repair")
    run = ME_TestPNivre2ExtV2;
  const bool beam = driver == "beam" || driver == "beam-rtl";
  if (run == nullptr && !beam) {
    std::fprintf(stderr, "Error: --driver takes ltr, rtl or repair, not '%s'.\n", driver.c_str());
    std::fputs(kEvaluateUsage, stderr);
    return 2;
  }
  std::string modelPath = values["--model"];
  std::string templatePath = values.count("--template") ? values["--template"] : defaultParserTemplate();
  if (templatePath.empty()) {
    std::fprintf(stderr, "Error: no template file given (-t) and no models/parser.template found.\n");
    return 1;
  }
  std::string goldPath = files[0];
  if (!parserKitReadable(goldPath) || !parserKitReadable(modelPath) || !parserKitReadable(templatePath)) return 1;

  if (values.count("--output") && values["--output"] == goldPath) {
    std::fprintf(stderr, "Error: the output file %s is the gold file.\n", goldPath.c_str());
    std::fputs(kEvaluateUsage, stderr);
    return 2;
  }

  // Loaded once on its own so that the speed can leave the loading out.
  const auto loadStart = std::chrono::steady_clock::now();
  {
    ME_Model probe;
    if (!probe.load_from_fileV2(modelPath)) {
      std::fprintf(stderr, "Error: model file %s does not load.\n", modelPath.c_str());
      return 1;
    }
  }
  const double loadSeconds = secondsSince(loadStart);

  std::unique_ptr<ParserKitTempFile> temporary;
  std::string outputPath;
  if (values.count("--output")) {
    outputPath = values["--output"];
  } else {
    temporary.reset(new ParserKitTempFile("korvane-parsed"));
    if (!temporary->ok()) return 1;
    outputPath = temporary->path();
  }
  const auto parseStart = std::chrono::steady_clock::now();
  const int driverResult = beam ? parseWithBeam(&templatePath[0], &modelPath[0], &goldPath[0], &outputPath[0], beamWidth,
                                          driver == "beam-rtl")
                               : run(&templatePath[0], &modelPath[0], &goldPath[0], &outputPath[0]);
  if (driverResult != 1) {
    std::fprintf(stderr, "Error: parsing %s failed.\n", goldPath.c_str());
    return 1;
  }
  const double runSeconds = secondsSince(parseStart);
  std::fputc('\n', stderr);

  std::FILE* gold = std::fopen(goldPath.c_str(), "rb");
  std::FILE* parsed = std::fopen(outputPath.c_str(), "rb");
  if (gold == nullptr || parsed == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", gold == nullptr ? goldPath.c_str() : outputPath.c_str());
    if (gold != nullptr) std::fclose(gold);
    if (parsed != nullptr) std::fclose(parsed);
    return 1;
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
  Score all, noPunct;
  long sentences = 0, liftedLabels = 0, liftedFound = 0, nonProjectiveArcs = 0, nonProjectiveRight = 0;
  int result = 0;
  while (goldReader.next(goldRows, goldLine)) {
    if (!parsedReader.next(parsedRows, parsedLine) || parsedRows.size() != goldRows.size()) {
      std::fprintf(stderr, "Error: %s line %d: the parsed file %s does not match this sentence.\n", goldPath.c_str(),
                   goldLine, outputPath.c_str());
      result = 1;
      break;
    }
    const size_t n = goldRows.size();
    bool malformed = false;
    for (size_t k = 0; k < n && !malformed; ++k) {
      if (goldRows[k].size() < 10 || parsedRows[k].size() != goldRows[k].size() + 2) {
        std::fprintf(stderr, "Error: %s line %d: a token row needs at least 10 columns (head in 8, relation in 9).\n",
                     goldPath.c_str(), goldLine + static_cast<int>(k));
        malformed = true;
      }
    }
    if (malformed) {
      result = 1;
      break;
    }
    ++sentences;
    loadExtraDPInfo(goldRows, 1, goldTree, unusedArguments, unusedPredicates);
    heads.assign(n, -1);
    labels.assign(n, std::string());
    predicted.resize(n);
    for (size_t k = 0; k < n; ++k) {
      const std::vector<std::string>& row = parsedRows[k];
      predicted[k].head = headFromColumn(row[row.size() - 2]);
      predicted[k].dprel = row.back();
      if (predicted[k].dprel.find('|') != std::string::npos) ++liftedLabels;
    }
    liftedFound += decodeMarkedArcs(predicted, lifting);
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
        ++nonProjectiveArcs;
        nonProjectiveRight += heads[k] == goldTree[k].head;
      }
    }
    for (size_t k = 0; k < n; ++k) {
      const bool headRight = heads[k] == goldTree[k].head;
      const bool labelRight = headRight && (goldTree[k].head < 0 || labels[k] == goldTree[k].dprel);
      const bool punctuation = static_cast<size_t>(punctColumn) < goldRows[k].size() &&
                               kPunctuationTags.count(goldRows[k][static_cast<size_t>(punctColumn)]) > 0;
      for (Score* s : {&all, punctuation ? nullptr : &noPunct}) {
        if (s == nullptr) continue;
        ++s->tokens;
        s->heads += headRight;
        s->labelled += labelRight;
      }
    }
  }
  std::fclose(gold);
  std::fclose(parsed);
  if (result != 0) return result;

  const double parseSeconds = runSeconds > loadSeconds ? runSeconds - loadSeconds : runSeconds;
  std::printf("driver %s: %ld sentences, %ld tokens, %ld punctuation (column %d)\n", driver.c_str(), sentences,
              all.tokens, all.tokens - noPunct.tokens, punctColumn);
  if (liftedLabels > 0)
    std::printf("lifted labels: %ld predicted, decoded with pseudoProjectiveHeadDecoder%d (%ld lifted arcs put back)\n",
                liftedLabels, lifting, liftedFound);
  else
    std::printf("lifted labels: none predicted, nothing decoded\n");
  std::printf("non-projective gold arcs: %ld, with the right head: %ld\n", nonProjectiveArcs, nonProjectiveRight);
  std::printf("punctuation included: UAS %.2f%%  LAS %.2f%%\n", all.percent(all.heads), all.percent(all.labelled));
  std::printf("punctuation excluded: UAS %.2f%%  LAS %.2f%%\n", noPunct.percent(noPunct.heads),
              noPunct.percent(noPunct.labelled));
  std::printf("speed: %.1f sentences/s (%.2f s parsing after %.2f s model loading)\n",
              parseSeconds > 0 ? sentences / parseSeconds : 0.0, parseSeconds, loadSeconds);
  return 0;
}
