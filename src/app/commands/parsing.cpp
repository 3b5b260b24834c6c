// Dependency parsing: parse, train-parser, evaluate-parser.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "app/command_line.h"
#include "app/commands/commands.h"
#include "app/file_guard.h"
#include "app/messages.h"
#include "app/model_choice.h"
#include "maxent/me_model.h"
#include "parsing/conllu_parsing.h"
#include "parsing/parse_voting.h"
#include "parsing/parser_kit_support.h"
#include "parsing/parser_training.h"
#include "parsing/parsing_drivers.h"

namespace {

const std::vector<std::string> kDrivers = {"ltr",    "rtl",        "repair", "beam",
                                           "beam-rtl", "global", "global-rtl", "vote"};
const char kDriverHelp[] =
    "ltr: left to right; rtl: right to left (a model trained with --direction rtl); repair: left to right, "
    "then the tokens left without a head are attached; beam, beam-rtl: left to right or right to left, "
    "keeping the --beam-width most probable partial parses; global, global-rtl: the same beams adding the "
    "actions' scores, for a model trained with --oracle global; vote: -m names an ensemble file (lines "
    "\"MODEL DRIVER WEIGHT\"; the shipped english-parser-vote.ensemble by default), every model parses and "
    "the tree with the most weighted votes on its arcs wins (default: the model's, from its manifest, else "
    "ltr)";

bool readsRightToLeft(const std::string& driver) {
  ParsingDriver d;
  return parsingDriverByName(driver, d) && d.rightToLeft;
}

bool closedWithoutError(std::FILE* f, const std::string& name);
bool templateOrDefault(std::string& templatePath);

// Every member of an ensemble file parses the input; their parses, lifted
// arcs put back with decoder `lifting`, vote. 1 on success.
int runEnsemble(const std::string& ensemble, int beamWidth, int threads, int lifting, char* input, char* output) {
  std::vector<ParserEnsembleMember> members;
  if (!readParserEnsemble(ensemble, members)) return 0;
  std::vector<std::unique_ptr<ParserKitTempFile>> parses;
  std::vector<std::string> paths;
  std::vector<double> weights;
  for (ParserEnsembleMember& m : members) {
    ModelManifest manifest;
    if (!readManifestFor(m.model, manifest)) return 0;
    std::string templatePath = manifest.file("template");
    if (!templateOrDefault(templatePath) || !templateFileUsable(templatePath)) return 0;
    parses.emplace_back(new ParserKitTempFile("korvane-member"));
    if (!parses.back()->ok()) return 0;
    paths.push_back(parses.back()->path());
    weights.push_back(m.weight);
    if (parseDependencyFile(&templatePath[0], &m.model[0], input, &paths.back()[0], m.driver, beamWidth, threads) !=
        1)
      return 0;
  }
  std::FILE* f = std::fopen(output, "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "Error: cannot write %s.\n", output);
    return 0;
  }
  const bool voted = voteParsedFiles(paths, weights, lifting, f, output);
  return closedWithoutError(f, output) && voted ? 1 : 0;
}

// Runs the named driver over a file in the drivers' layout; 1 on success.
int runDriver(const std::string& driver, int beamWidth, int threads, std::string& templatePath, std::string& model,
              char* input, char* output, int lifting) {
  if (driver == "vote") return runEnsemble(model, beamWidth, threads, lifting, input, output);
  return parseDependencyFile(&templatePath[0], &model[0], input, output, driver, beamWidth, threads);
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

// A path the input can be read from twice: the input itself when it is a
// regular file, else a copy of it (a pipe or a device).
bool rereadable(InputFile& in, std::unique_ptr<ParserKitTempFile>& copy, std::string& path) {
  struct stat st;
  path = in.path();
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return true;
  copy.reset(new ParserKitTempFile("korvane-input"));
  if (!copy->ok() || !copyFile(path, copy->path().c_str(), copy->path())) return false;
  path = copy->path();
  return true;
}

// Closes a file the command wrote; false after a message when the last
// writes fail.
bool closedWithoutError(std::FILE* f, const std::string& name) {
  const bool failed = std::ferror(f) != 0;
  if (std::fclose(f) == 0 && !failed) return true;
  std::fprintf(stderr, "Error: cannot write %s.\n", name.c_str());
  return false;
}

// The shipped parser template when none is given; false after a message.
bool templateOrDefault(std::string& templatePath) {
  if (!templatePath.empty()) return true;
  templatePath = shippedFileOrSay("parser.template");
  return !templatePath.empty();
}

bool addsScores(const std::string& driver) {
  ParsingDriver d;
  return parsingDriverByName(driver, d) && d.sumScores;
}

// The model (the shipped English parser unless named: the right-to-left one
// for a driver that reads right to left, the globally trained one for the
// global driver), the template and driver its manifest brings, and a
// warning when the driver reads in the other direction than the model was
// trained for, or sums the scores of a model not trained for it (or the
// other way round).
bool chooseParser(const CommandLine& cl, std::string& model, std::string& templatePath, std::string& driver) {
  if (!cl.given(kitopt::kModel)) {
    const bool named = cl.given(kitopt::kDriver);
    const bool rtl = named && readsRightToLeft(driver);
    model = shippedFileOrSay(rtl                            ? "english-parser-rtl.model"
                             : named && driver == "global" ? "english-parser-global.model"
                             : named && driver == "vote"   ? "english-parser-vote.ensemble"
                                                           : "english-parser.model");
    if (model.empty()) return false;
  }
  ModelManifest manifest;
  if (!applyManifest(cl, model, "parser",
                     {{"template", &kitopt::kTemplate, &templatePath, true},
                      {"driver", &kitopt::kDriver, &driver, false, false}},
                     manifest))
    return false;
  if (driver.empty()) driver = "ltr";
  std::vector<ParserEnsembleMember> members;
  if (driver == "vote" && !readParserEnsemble(model, members)) return false;  // refused before any parsing
  bool known = false;
  for (const std::string& d : kDrivers) known = known || d == driver;
  if (!known) {
    std::fprintf(stderr, "Error: %s: unknown driver %s.\n", manifest.path.c_str(), driver.c_str());
    return false;
  }
  const std::string direction = manifest.value("direction");
  const std::string reads = readsRightToLeft(driver) ? "rtl" : "ltr";
  if (!direction.empty() && direction != reads)
    std::fprintf(stderr, "Warning: the %s driver reads %s, but %s was trained for %s (%s).\n", driver.c_str(),
                 reads == "rtl" ? "right to left" : "left to right", model.c_str(),
                 direction == "rtl" ? "right to left" : "left to right", manifest.path.c_str());
  const bool global = manifest.value("oracle") == "global";
  if (manifest.has("oracle") && global != addsScores(driver))
    std::fprintf(stderr, "Warning: the %s driver %s, but %s was trained %s (%s).\n", driver.c_str(),
                 addsScores(driver) ? "adds raw action scores" : "reads action probabilities", model.c_str(),
                 global ? "as a whole for the global drivers" : "action by action", manifest.path.c_str());
  if (!templateOrDefault(templatePath)) return false;
  if (cl.verbose() && driver == "vote") {
    std::fprintf(stderr, "ensemble %s, driver vote:\n", model.c_str());
    for (const ParserEnsembleMember& m : members)
      std::fprintf(stderr, "  model %s, driver %s, weight %g\n", m.model.c_str(), m.driver.c_str(), m.weight);
  } else if (cl.verbose()) {
    std::fprintf(stderr, "model %s, templates %s, driver %s\n", model.c_str(), templatePath.c_str(), driver.c_str());
  }
  return true;
}

}  // namespace

int runParse(int argc, char** argv) {
  CommandLine cl("parse",
                 "Parses the sentences of INPUT and writes them with every word's predicted head (0 = root) and\n"
                 "relation. INPUT is CoNLL-U (recognised from the file: comments, ranges like 1-2, empty nodes\n"
                 "like 1.1, or a DEPS column) or token rows in the drivers' layout (columns separated by blanks\n"
                 "or tabs, sentences by empty lines). CoNLL-U comes back as CoNLL-U with HEAD and DEPREL (and DEPS\n"
                 "emptied) replaced and everything else, ranges and empty nodes included, as it was; token rows\n"
                 "come back with the head and the relation appended. Arcs the model learnt as lifted (relations\n"
                 "relation|R and |R) are put back as non-projective arcs.");
  std::string model, templatePath, driver, input, output, lifting = "3";
  int beamWidth = kDefaultBeamWidth;
  int threads = static_cast<int>(std::thread::hardware_concurrency());
  if (threads < 1) threads = 1;
  if (threads > 256) threads = 256;
  cl.option(kitopt::kModel, model, "parser model file, version 2", "the shipped english-parser.model");
  cl.option(kitopt::kTemplate, templatePath, "template file the model was trained with",
            "the model's, from its manifest, else the shipped parser.template");
  cl.choice(kitopt::kDriver, driver, kDriverHelp, kDrivers);
  cl.option(kitopt::kBeamWidth, beamWidth, "partial parses the beam drivers keep", 1, 4096);
  cl.option(kitopt::kThreads, threads, "parsing threads", 1, 256);
  cl.choice(kitopt::kLifting, lifting,
            "decoder that puts lifted arcs back: 2 = pseudoProjectiveHeadDecoder2, 3 = "
            "pseudoProjectiveHeadDecoder3; none: relations as predicted",
            {"2", "3", "none"});
  cl.positional("INPUT", input, "CoNLL-U or dependency file (- for standard input)");
  cl.positional("OUTPUT", output, "file to write (- for standard output)");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  if (!chooseParser(cl, model, templatePath, driver)) return 1;
  FileGuard files;
  InputFile& in = files.reads(input);
  files.readsText(model);
  files.readsText(templatePath);
  OutputFile& out = files.writes(output);
  if (!files.check() || !templateFileUsable(templatePath)) return 1;
  const int decoder = lifting == "none" ? 0 : lifting == "2" ? 2 : 3;
  std::unique_ptr<ParserKitTempFile> copy;
  std::string inputPath;
  if (!rereadable(in, copy, inputPath)) return 1;
  ParserKitTempFile parsed("korvane-parsed");
  if (!parsed.ok()) return 1;
  std::string parsedPath = parsed.path();

  if (looksLikeConllu(inputPath)) {
    ParserKitTempFile columns("korvane-columns");
    if (!columns.ok()) return 1;
    std::string columnsPath = columns.path();
    ConlluCounts counts;
    if (!conlluToParserColumns(inputPath, columnsPath, counts)) return 1;
    if (runDriver(driver, beamWidth, threads, templatePath, model, &columnsPath[0], &parsedPath[0], decoder) != 1)
      return 1;
    std::FILE* f = std::fopen(out.path(), "wb");
    if (f == nullptr) {
      std::fprintf(stderr, "Error: cannot write %s.\n", output.c_str());
      return 1;
    }
    const bool merged = mergeParseIntoConllu(inputPath, parsedPath, f, output, decoder, counts);
    if (!closedWithoutError(f, output) || !merged) return 1;
    if (!out.commit()) return 1;
    if (counts.skipped > 0) {
      std::fprintf(stderr, "Error: %ld malformed sentence%s of %s left out.\n", counts.skipped,
                   counts.skipped == 1 ? "" : "s", input.c_str());
      return 1;
    }
    return 0;
  }
  if (decoder == 0) {
    if (runDriver(driver, beamWidth, threads, templatePath, model, &inputPath[0], out.path(), 0) != 1) return 1;
    return out.commit() ? 0 : 1;
  }
  if (runDriver(driver, beamWidth, threads, templatePath, model, &inputPath[0], &parsedPath[0], decoder) != 1)
    return 1;
  std::FILE* f = std::fopen(out.path(), "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "Error: cannot write %s.\n", output.c_str());
    return 1;
  }
  const bool decoded = decodeParsedFile(parsedPath, f, output, decoder);
  if (!closedWithoutError(f, output) || !decoded) return 1;
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
  std::string oracle = "static";
  cl.choice(kitopt::kOracle, oracle,
            "static: learn the actions that rebuild each gold tree; dynamic: train an explorer model that way "
            "first, parse TRAIN with it, and learn in every state it reaches the action that keeps the best "
            "tree still reachable; global: parse TRAIN with a beam of --beam-width and, wherever the gold "
            "actions fall out of it, move the weights toward them and away from the best parse (averaged "
            "perceptron with early update; parse with --driver global)",
            {"static", "dynamic", "global"});
  cl.option(kitopt::kBeamWidth, options.globalTraining.width, "global oracle: the beam's width while training", 1,
            4096);
  cl.option(kitopt::kEpochs, options.globalTraining.epochs, "global oracle: passes over TRAIN", 1, 10000);
  cl.option(kitopt::kBatch, options.globalTraining.batch,
            "global oracle: sentences parsed with the same weights before their updates are made in order "
            "(larger batches learn more slowly; the threads share each beam step, and the model does not depend "
            "on --threads)",
            1, 1000);
  cl.option(kitopt::kMinWeight, options.globalTraining.minWeight,
            "global oracle: leave out of the model the weights smaller than W in size", 0.0, 1e12);
  cl.option(kitopt::kExplore, options.dynamic.explore,
            "dynamic oracle: how often the explorer's next action is drawn from its distribution instead of "
            "being its most probable one",
            0.0, 1.0);
  cl.option(kitopt::kExplorerIterations, options.explorerIterations, "dynamic oracle: the explorer's iterations", 1,
            100000);
  cl.option(kitopt::kExplorerFolds, options.explorerFolds,
            "dynamic oracle: cut TRAIN into N parts and parse each with an explorer trained on the others (1: "
            "one explorer, trained on all of TRAIN)",
            1, 100);
  cl.flag(kitopt::kStaticSamples, options.keepStatic,
          "dynamic oracle: learn the static oracle's samples of TRAIN too");
  cl.option(kitopt::kMarkLifted, options.markLifted,
            "mark the arcs projectivizing lifts in their relations (relation|R on the lifted token, |R on its "
            "original head, R that head's relation) wherever the marked relation occurs at least N times, so "
            "that parse puts them back; 0: no marks",
            0, 1000000000);
  cl.positional("TRAIN", trainPath, "treebank to train on (- for standard input)");
  cl.positional("MODEL", modelPath, "model file to write");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  options.estimator.penalty =
      penalty == "l1" ? ME_Penalty::kL1 : penalty == "none" ? ME_Penalty::kNone : ME_Penalty::kL2;
  options.inverse = direction == "rtl";
  options.dynamicOracle = oracle == "dynamic";
  options.global = oracle == "global";
  options.globalTraining.cutoff = options.cutoff;
  options.globalTraining.threads = options.estimator.threads;
  ProgressLine passes(cl, "sentences");
  if (options.global) {
    options.globalTraining.onProgress = [&passes](long done) { passes.update(done); };
    options.globalTraining.onEpoch = [&](int epoch, long updates) {
      if (!cl.verbose()) return;
      passes.finish();
      std::fprintf(stderr, "pass %d: %ld sentences updated\n", epoch, updates);
    };
  }
  if (!templateOrDefault(options.templatePath)) return 1;
  ProgressLine iterations(cl, "iterations");
  estimatorProgress(cl, iterations, options.estimator);

  FileGuard files;
  InputFile& in = files.reads(trainPath);
  files.readsText(options.templatePath);
  OutputFile& out = files.writes(modelPath);
  if (!files.check() || !templateFileUsable(options.templatePath)) return 1;

  if (!cl.quiet()) {
    options.onSamples = [&](const ME_Model& model, const ParserTrainingReport& r) {
      iterations.finish();
      std::fprintf(stderr,
                   "sentences=%d (%d left out) samples=%ld actions=%d feature names=%d features=%d (cutoff %d), "
                   "%.1f s\n",
                   r.counts.sentences, r.counts.underivable, r.counts.samples, model.label_count,
                   model.feature_names.count, model.feature_bag.Size(), options.cutoff, r.collectSeconds);
    };
  }
  if (!cl.quiet())
    options.onPhase = [&iterations](const char* phase) {
      iterations.finish();
      std::fprintf(stderr, "== %s\n", phase);
    };
  ME_Model model;
  ParserTrainingReport report;
  if (!trainParserModel(in.path(), options, model, report)) return 1;
  iterations.finish();
  if (!cl.quiet() && options.markLifted > 0)
    std::fprintf(stderr, "lifted arcs marked: %d\n", report.markedArcs);
  passes.finish();
  if (!cl.quiet() && options.global)
    std::fprintf(stderr, "training: %d passes, beam of %d, %.1f s\n", options.globalTraining.epochs,
                 options.globalTraining.width, report.seconds);
  else if (!cl.quiet())
    std::fprintf(stderr, "training: %d iterations, %s, log-likelihood %.3f, %.1f s\n", report.estimator.iterations,
                 report.estimator.message.c_str(), report.estimator.log_likelihood, report.seconds);
  if (!model.save_to_fileV2(out.path()) || !out.commit()) return 1;
  if (!cl.quiet())
    std::fprintf(stderr, "wrote %s (%s)\n", modelPath.c_str(),
                 options.global ? (options.inverse ? "global-rtl driver" : "global driver")
                                : options.inverse ? "rtl driver" : "ltr and repair drivers");
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
  int punctColumn = 3, beamWidth = kDefaultBeamWidth, threads = 1;
  cl.option(kitopt::kModel, model, "parser model file, version 2", "the shipped english-parser.model");
  cl.option(kitopt::kTemplate, templatePath, "template file the model was trained with",
            "the model's, from its manifest, else the shipped parser.template");
  cl.choice(kitopt::kDriver, driver, kDriverHelp, kDrivers);
  cl.option(kitopt::kBeamWidth, beamWidth, "partial parses the beam drivers keep", 1, 4096);
  cl.option(kitopt::kThreads, threads, "parsing threads", 1, 256);
  cl.choice(kitopt::kLifting, encoding,
            "decoder for predicted lifted labels (relation|marker): 2 = pseudoProjectiveHeadDecoder2, "
            "3 = pseudoProjectiveHeadDecoder3",
            {"2", "3"});
  cl.option(kitopt::kPunctColumn, punctColumn, "gold column (from 0) whose tag marks punctuation", 0, 1000000);
  cl.option(kitopt::kOutput, output, "keep the parsed file", "a temporary file");
  cl.positional("GOLD", goldPath, "treebank to parse and score: CoNLL-U or the drivers' layout");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  if (!chooseParser(cl, model, templatePath, driver)) return 1;

  FileGuard files;
  InputFile& gold = files.reads(goldPath);
  files.readsText(model);
  files.readsText(templatePath);
  OutputFile* kept = output.empty() ? nullptr : &files.writes(output);
  if (!files.check() || !templateFileUsable(templatePath)) return 1;
  // Parsed into a file of our own, which the scoring reads back; a kept copy
  // goes to the output afterwards (which may be a pipe or a device).
  ParserKitTempFile parsed("korvane-parsed");
  if (!parsed.ok()) return 1;
  std::string parsedPath = parsed.path();
  // CoNLL-U gold trees are scored in the drivers' layout.
  std::unique_ptr<ParserKitTempFile> copy;
  std::string conlluPath, goldColumns;
  if (!rereadable(gold, copy, goldColumns)) return 1;
  ParserKitTempFile columns("korvane-columns");
  ConlluCounts conlluCounts;
  if (looksLikeConllu(goldColumns)) {
    conlluPath = goldColumns;
    goldColumns = columns.path();
    if (!columns.ok() || !conlluToParserColumns(conlluPath, goldColumns, conlluCounts)) return 1;
  }

  // Loaded once on its own so that the speed can leave the loading out.
  const auto loadStart = std::chrono::steady_clock::now();
  if (driver != "vote") {  // an ensemble's members load as they parse
    ME_Model probe;
    if (!probe.load_from_fileV2(model)) {
      std::fprintf(stderr, "Error: model file %s does not load.\n", model.c_str());
      return 1;
    }
  }
  const double loadSeconds = secondsSince(loadStart);
  const auto parseStart = std::chrono::steady_clock::now();
  if (runDriver(driver, beamWidth, threads, templatePath, model, &goldColumns[0], &parsedPath[0],
                encoding == "3" ? 3 : 2) != 1) {
    std::fprintf(stderr, "Error: parsing %s failed.\n", goldPath.c_str());
    return 1;
  }
  const double runSeconds = secondsSince(parseStart);
  std::fputc('\n', stderr);

  ParserEvaluation result;
  if (!scoreParsedFile(goldColumns, parsedPath, punctColumn, encoding == "3" ? 3 : 2, result)) return 1;
  if (kept != nullptr) {
    bool written;
    if (conlluPath.empty()) {
      written = copyFile(parsedPath, kept->path(), output);
    } else {
      std::FILE* f = std::fopen(kept->path(), "wb");
      written = f != nullptr && mergeParseIntoConllu(conlluPath, parsedPath, f, output, encoding == "3" ? 3 : 2,
                                                     conlluCounts);
      if (f == nullptr)
        std::fprintf(stderr, "Error: cannot write %s.\n", output.c_str());
      else if (!closedWithoutError(f, output))
        written = false;
    }
    if (!written || !kept->commit()) return 1;
  }
  const double parseSeconds = runSeconds > loadSeconds ? runSeconds - loadSeconds : runSeconds;
  std::printf("driver %s: %ld sentences, %ld tokens, %ld punctuation (column %d)\n", driver.c_str(), result.sentences,
              result.all.tokens, result.all.tokens - result.noPunctuation.tokens, punctColumn);
  if (result.liftedLabels > 0)
    std::printf("lifted labels: %ld predicted, decoded with pseudoProjectiveHeadDecoder%s (%ld lifted arcs put "
                "back)\n",
                result.liftedLabels, encoding.c_str(), result.liftedFound);
  else
    std::printf("lifted labels: none predicted, nothing decoded\n");
  std::printf("non-projective gold arcs: %ld, with the right head: %ld\n", result.nonProjectiveArcs,
              result.nonProjectiveRight);
  const ParserScore& all = result.all;
  const ParserScore& np = result.noPunctuation;
  std::printf("punctuation included: UAS %.2f%%  LAS %.2f%%\n", all.percent(all.heads), all.percent(all.labelled));
  std::printf("punctuation excluded: UAS %.2f%%  LAS %.2f%%\n", np.percent(np.heads), np.percent(np.labelled));
  std::printf("speed: %.1f sentences/s (%.2f s parsing after %.2f s model loading)\n",
              parseSeconds > 0 ? result.sentences / parseSeconds : 0.0, parseSeconds, loadSeconds);
  if (!stdoutWritten()) return 1;
  if (conlluCounts.skipped > 0) {
    std::fprintf(stderr, "Error: %ld malformed sentence%s of %s left out of the scores.\n", conlluCounts.skipped,
                 conlluCounts.skipped == 1 ? "" : "s", goldPath.c_str());
    return 1;
  }
  return 0;
}
