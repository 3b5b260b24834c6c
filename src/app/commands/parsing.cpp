// Dependency parsing: parse, train-parser, evaluate-parser.
#include <chrono>
#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "app/commands/commands.h"
#include "app/file_guard.h"
#include "app/model_choice.h"
#include "maxent/me_model.h"
#include "parsing/parser_kit_support.h"
#include "parsing/parser_training.h"
#include "parsing/parsing_drivers.h"

namespace {

typedef int (*ParseDriver)(char*, char*, char*, char*);

const std::vector<std::string> kDrivers = {"ltr", "rtl", "repair"};
const char kDriverHelp[] =
    "ltr: left to right; rtl: right to left (a model trained with --direction rtl); repair: left to right, "
    "then the tokens left without a head are attached (default: the model's, from its manifest, else ltr)";

ParseDriver driverNamed(const std::string& name) {
  if (name == "rtl") return ME_TestPNivre2ExtInverse;
  if (name == "repair") return ME_TestPNivre2ExtV2;
  return ME_TestPNivre2Ext;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Copies a finished file to an output path; false after a message.
bool copyFile(const std::string& from, const char* to, const std::string& name) {
  std::FILE* in = std::fopen(from.c_str(), "rb");
  std::FILE* out = in != nullptr ? std::fopen(to, "wb") : nullptr;
  bool ok = in != nullptr && out != nullptr;
  char buffer[1 << 16];
  size_t n = 0;
  while (ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) ok = std::fwrite(buffer, 1, n, out) == n;
  if (in != nullptr && std::ferror(in) != 0) ok = false;
  if (in != nullptr) std::fclose(in);
  if (out != nullptr && std::fclose(out) != 0) ok = false;
  if (!ok) std::fprintf(stderr, "Error: cannot write %s.\n", name.c_str());
  return ok;
}

// The shipped parser template when none is given; false after a message.
bool templateOrDefault(std::string& templatePath) {
  if (!templatePath.empty()) return true;
  templatePath = shippedFileOrSay("parser.template");
  return !templatePath.empty();
}

// The model (the shipped English parser unless named), the template and
// driver its manifest brings, and a warning when the driver reads in the
// other direction than the model was trained for.
bool chooseParser(const CommandLine& cl, std::string& model, std::string& templatePath, std::string& driver) {
  if (!cl.given(kitopt::kModel)) {
    model = shippedFileOrSay("english-parser.model");
    if (model.empty()) return false;
  }
  ModelManifest manifest;
  if (!applyManifest(cl, model, "parser",
                     {{"template", &kitopt::kTemplate, &templatePath, true},
                      {"driver", &kitopt::kDriver, &driver, false}},
                     manifest))
    return false;
  if (driver.empty()) driver = "ltr";
  bool known = false;
  for (const std::string& d : kDrivers) known = known || d == driver;
  if (!known) {
    std::fprintf(stderr, "Error: %s: unknown driver %s.\n", manifest.path.c_str(), driver.c_str());
    return false;
  }
  const std::string direction = manifest.value("direction");
  const std::string reads = driver == "rtl" ? "rtl" : "ltr";
  if (!direction.empty() && direction != reads)
    std::fprintf(stderr, "Warning: the %s driver reads %s, but %s was trained for %s (%s).\n", driver.c_str(),
                 reads == "rtl" ? "right to left" : "left to right", model.c_str(),
                 direction == "rtl" ? "right to left" : "left to right", manifest.path.c_str());
  return templateOrDefault(templatePath);
}

}  // namespace

int runParse(int argc, char** argv) {
  CommandLine cl("parse",
                 "Parses the token rows of INPUT (sentences separated by empty lines) and writes every row with\n"
                 "its predicted head (0 = root) and relation.");
  std::string model, templatePath, driver, input, output;
  cl.option(kitopt::kModel, model, "parser model file, version 2", "the shipped english-parser.model");
  cl.option(kitopt::kTemplate, templatePath, "template file the model was trained with",
            "the model's, from its manifest, else the shipped parser.template");
  cl.choice(kitopt::kDriver, driver, kDriverHelp, kDrivers);
  cl.positional("INPUT", input, "dependency file (- for standard input)");
  cl.positional("OUTPUT", output, "file to write (- for standard output)");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  if (!chooseParser(cl, model, templatePath, driver)) return 1;
  FileGuard files;
  InputFile& in = files.reads(input);
  files.reads(model);
  files.reads(templatePath);
  OutputFile& out = files.writes(output);
  if (!files.check()) return 1;
  if (driverNamed(driver)(&templatePath[0], &model[0], in.path(), out.path()) != 1) return 1;
  return out.commit() ? 0 : 1;
}

int runTrainParser(int argc, char** argv) {
  CommandLine cl("train-parser",
                 "Trains a dependency-parser model on the trees of TRAIN (token rows with the 1-based head in\n"
                 "column 8, 0 = root, and the relation in column 9; sentences end with an empty line).\n"
                 "Non-projective trees are projectivized first. MODEL is replaced only when the training\n"
                 "succeeds.");
  ParserTrainingOptions options;
  options.estimator.threads = 2;
  std::string direction = "ltr", penalty = "l2", trainPath, modelPath;
  cl.option(kitopt::kTemplate, options.templatePath, "template file", "the shipped parser.template");
  cl.choice(kitopt::kDirection, direction,
            "ltr: a model for the ltr and repair drivers; rtl: a model for the rtl driver", {"ltr", "rtl"});
  options.cutoff = 2;
  cl.option(kitopt::kCutoff, options.cutoff, "keep (feature, action) pairs seen at least N times", 0, 1000000);
  cl.choice(kitopt::kPenalty, penalty, "penalty on the weights", {"l2", "l1", "none"}, true);
  cl.option(kitopt::kStrength, options.estimator.strength, "penalty strength", 0.0, 1e12);
  cl.option(kitopt::kIterations, options.estimator.max_iterations, "most optimiser iterations", 1, 100000);
  cl.option(kitopt::kThreads, options.estimator.threads, "threads for the gradient", 1, 256);
  cl.positional("TRAIN", trainPath, "treebank to train on (- for standard input)");
  cl.positional("MODEL", modelPath, "model file to write");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  options.estimator.penalty =
      penalty == "l1" ? ME_Penalty::kL1 : penalty == "none" ? ME_Penalty::kNone : ME_Penalty::kL2;
  options.inverse = direction == "rtl";
  if (!templateOrDefault(options.templatePath)) return 1;
  if (cl.quiet()) options.estimator.progress = nullptr;

  FileGuard files;
  InputFile& in = files.reads(trainPath);
  files.reads(options.templatePath);
  OutputFile& out = files.writes(modelPath);
  if (!files.check()) return 1;

  if (!cl.quiet()) {
    options.onSamples = [&](const ME_Model& model, const ParserTrainingReport& r) {
      std::fprintf(stderr,
                   "sentences=%d (%d left out) samples=%ld actions=%d feature names=%d features=%d (cutoff %d), "
                   "%.1f s\n",
                   r.counts.sentences, r.counts.underivable, r.counts.samples, model.label_count,
                   model.feature_names.count, model.feature_bag.Size(), options.cutoff, r.collectSeconds);
    };
  }
  ME_Model model;
  ParserTrainingReport report;
  if (!trainParserModel(in.path(), options, model, report)) return 1;
  if (!cl.quiet())
    std::fprintf(stderr, "training: %d iterations, %s, log-likelihood %.3f, %.1f s\n", report.estimator.iterations,
                 report.estimator.message.c_str(), report.estimator.log_likelihood, report.seconds);
  if (!model.save_to_fileV2(out.path()) || !out.commit()) return 1;
  if (!cl.quiet())
    std::fprintf(stderr, "wrote %s (%s)\n", modelPath.c_str(),
                 options.inverse ? "rtl driver" : "ltr and repair drivers");
  return 0;
}

int runEvaluateParser(int argc, char** argv) {
  CommandLine cl("evaluate-parser",
                 "Parses GOLD (token rows with the gold 1-based head in column 8, 0 = root, and the relation in\n"
                 "column 9; sentences end with an empty line) and prints the unlabelled and labelled attachment\n"
                 "scores, with and without punctuation, and the parsing speed. A token whose gold and predicted\n"
                 "heads are both the root counts as correctly labelled (the parser names every root ROOT).\n"
                 "Punctuation tags: PUNCT `` '' , . : -LRB- -RRB- HYPH NFP.");
  std::string model, templatePath, driver, encoding = "2", output, goldPath;
  int punctColumn = 3;
  cl.option(kitopt::kModel, model, "parser model file, version 2", "the shipped english-parser.model");
  cl.option(kitopt::kTemplate, templatePath, "template file the model was trained with",
            "the model's, from its manifest, else the shipped parser.template");
  cl.choice(kitopt::kDriver, driver, kDriverHelp, kDrivers);
  cl.choice(kitopt::kLifting, encoding,
            "decoder for predicted lifted labels (relation|marker): 2 = pseudoProjectiveHeadDecoder2, "
            "3 = pseudoProjectiveHeadDecoder3",
            {"2", "3"});
  cl.option(kitopt::kPunctColumn, punctColumn, "gold column (from 0) whose tag marks punctuation", 0, 1000000);
  cl.option(kitopt::kOutput, output, "keep the parsed file", "a temporary file");
  cl.positional("GOLD", goldPath, "treebank to parse and score");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  if (!chooseParser(cl, model, templatePath, driver)) return 1;

  FileGuard files;
  InputFile& gold = files.reads(goldPath);
  files.reads(model);
  files.reads(templatePath);
  OutputFile* kept = output.empty() ? nullptr : &files.writes(output);
  if (!files.check()) return 1;
  // Parsed into a file of our own, which the scoring reads back; a kept copy
  // goes to the output afterwards (which may be a pipe or a device).
  ParserKitTempFile parsed("korvane-parsed");
  if (!parsed.ok()) return 1;
  std::string parsedPath = parsed.path();

  // Loaded once on its own so that the speed can leave the loading out.
  const auto loadStart = std::chrono::steady_clock::now();
  {
    ME_Model probe;
    if (!probe.load_from_fileV2(model)) {
      std::fprintf(stderr, "Error: model file %s does not load.\n", model.c_str());
      return 1;
    }
  }
  const double loadSeconds = secondsSince(loadStart);
  const auto parseStart = std::chrono::steady_clock::now();
  if (driverNamed(driver)(&templatePath[0], &model[0], gold.path(), &parsedPath[0]) != 1) {
    std::fprintf(stderr, "Error: parsing %s failed.\n", goldPath.c_str());
    return 1;
  }
  const double runSeconds = secondsSince(parseStart);
  std::fputc('\n', stderr);

  ParserEvaluation result;
  if (!scoreParsedFile(gold.path(), parsedPath, punctColumn, encoding == "3" ? 3 : 2, result)) return 1;
  if (kept != nullptr && (!copyFile(parsedPath, kept->path(), output) || !kept->commit())) return 1;
  const double parseSeconds = runSeconds > loadSeconds ? runSeconds - loadSeconds : runSeconds;
  std::printf("driver %s: %ld sentences, %ld tokens, %ld punctuation (column %d)\n", driver.c_str(), result.sentences,
              result.all.tokens, result.all.tokens - result.noPunctuation.tokens, punctColumn);
  if (result.liftedLabels > 0)
    std::printf("lifted labels: %ld predicted, decoded with pseudoProjectiveHeadDecoder%s\n", result.liftedLabels,
                encoding.c_str());
  else
    std::printf("lifted labels: none predicted, nothing decoded\n");
  const ParserScore& all = result.all;
  const ParserScore& np = result.noPunctuation;
  std::printf("punctuation included: UAS %.2f%%  LAS %.2f%%\n", all.percent(all.heads), all.percent(all.labelled));
  std::printf("punctuation excluded: UAS %.2f%%  LAS %.2f%%\n", np.percent(np.heads), np.percent(np.labelled));
  std::printf("speed: %.1f sentences/s (%.2f s parsing after %.2f s model loading)\n",
              parseSeconds > 0 ? result.sentences / parseSeconds : 0.0, parseSeconds, loadSeconds);
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "Error: write to standard output failed.\n");
    return 1;
  }
  return 0;
}
