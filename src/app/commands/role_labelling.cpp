// Role labelling of CoNLL-U files: build-bank, train-srl, label-roles,
// evaluate-srl.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/commands/commands.h"
#include "app/file_guard.h"
#include "app/model_choice.h"
#include "roles/role_labeller.h"
#include "roles/role_tasks.h"
#include "roles/role_training.h"

namespace {

const std::vector<std::string> kTrainDrivers = {"multi", "xue", "nivre", "allpair", "xueext"};
const char kDriverHelp[] =
    "multi: ask about every word for every predicate; xue: about the words on the tree's way up from the "
    "predicate; nivre: the transition labeller; allpair, xueext: find the predicates too (every noun and "
    "verb is a candidate; xueext asks only along the way up)";
const char kInputLayout[] =
    "Files are CoNLL-U: FORM, LEMMA, XPOS, HEAD and DEPREL are read; column 11 marks a predicate (anything\n"
    "but \"_\", e.g. its roleset come.03), then one column per predicate in row order: V on the predicate,\n"
    "its role (ARG0, ARGM-TMP, ...) on the head word of each argument, _ elsewhere.";

// The shipped models (their manifests name the dictionaries) and template.
const char kShippedModel[] = "english-srl.model";
const char kShippedFindModel[] = "english-srl-find.model";
const char kShippedTemplate[] = "srl.template";

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool flushedStdout() {
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
  std::fprintf(stderr, "Error: write to standard output failed.\n");
  return false;
}

// A progress line on a terminal, or everywhere with --progress.
bool showProgress(const CommandLine& cl) { return !cl.quiet() && (cl.progress() || isatty(2)); }

bool writeAll(std::FILE* f, const std::string& text) {
  return text.empty() || std::fwrite(text.data(), 1, text.size(), f) == text.size();
}

bool writeText(const std::string& text, OutputFile& out) {
  std::FILE* f = std::fopen(out.path(), "wb");
  bool ok = f != nullptr && writeAll(f, text);
  if (f != nullptr && std::fclose(f) != 0) ok = false;
  if (!ok) std::fprintf(stderr, "Error: cannot write %s.\n", out.name().c_str());
  return ok;
}

// Model, template, dictionaries and driver of label-roles and evaluate-srl:
// the shipped model unless one is named, and what its manifest brings for
// the options not given.
struct LabellerChoice {
  std::string model, templatePath, propbank, nombank, driver;
  bool findPredicates = false;

  void add(CommandLine& cl) {
    cl.option(kitopt::kModel, model, "role model",
              std::string("models/") + kShippedModel + ", with --find-predicates models/" + kShippedFindModel);
    cl.option(kitopt::kTemplate, templatePath, "template file the model was trained with", "the model's manifest's");
    cl.choice(kitopt::kDriver, driver, kDriverHelp, kTrainDrivers);
    cl.option(kitopt::kPropbank, propbank, "verbal predicate dictionary", "the model's manifest's");
    cl.option(kitopt::kNombank, nombank, "nominal predicate dictionary", "the model's manifest's");
    cl.flag(kitopt::kFindPredicates, findPredicates,
            "find the predicates (allpair or xueext driver) instead of taking those column 11 marks");
  }

  // 0 to go on, 1 after an error, 2 after a usage error.
  int settle(const CommandLine& cl, roles::Driver& chosen) {
    if (cl.given(kitopt::kDriver) && roles::driverByName(driver, chosen) &&
        findPredicates != roles::findsPredicates(chosen))
      return cl.usageError(findPredicates ? "--find-predicates needs the allpair or xueext driver"
                                          : "the " + driver + " driver finds predicates: give --find-predicates");
    if (!cl.given(kitopt::kModel)) {
      model = shippedFileOrSay(findPredicates ? kShippedFindModel : kShippedModel);
      if (model.empty()) return 1;
    }
    ModelManifest manifest;
    if (!applyManifest(cl, model, "srl",
                       {{"driver", &kitopt::kDriver, &driver, false},
                        {"template", &kitopt::kTemplate, &templatePath, true},
                        {"propbank", &kitopt::kPropbank, &propbank, true},
                        {"nombank", &kitopt::kNombank, &nombank, true}},
                       manifest))
      return 1;
    if (driver.empty()) driver = findPredicates ? "allpair" : "multi";
    if (!roles::driverByName(driver, chosen)) {
      std::fprintf(stderr, "Error: %s: unknown driver %s.\n", manifest.path.c_str(), driver.c_str());
      return 1;
    }
    // A model for a finding driver finds the predicates.
    if (roles::findsPredicates(chosen)) findPredicates = true;
    if (findPredicates && !roles::findsPredicates(chosen)) {
      std::fprintf(stderr, "Error: %s is a model for the %s driver, which cannot find predicates.\n", model.c_str(),
                   driver.c_str());
      return 1;
    }
    if (templatePath.empty()) {
      templatePath = shippedFileOrSay(kShippedTemplate);
      if (templatePath.empty()) return 1;
    }
    return 0;
  }

  void read(FileGuard& files) {
    files.reads(model);
    files.reads(templatePath);
    files.reads(propbank);
    files.reads(nombank);
  }

  bool load(roles::RoleLabeller& labeller, roles::Driver driverKind) const {
    std::string error;
    if (labeller.load({model, templatePath, propbank, nombank}, driverKind, error)) return true;
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
};

}  // namespace

int runBuildBank(int argc, char** argv) {
  CommandLine cl("build-bank",
                 "Writes the verbal (XPOS beginning with V) and the nominal predicate dictionaries of the predicates\n"
                 "of TRAIN: per lemma its senses (the numbers of the rolesets in column 11, most frequent first),\n"
                 "their argument numbers and every argument pattern seen; a third field keeps each sense's\n"
                 "roleset (service -> serve.02).\n" + std::string(kInputLayout));
  std::string trainPath, propbankPath, nombankPath;
  cl.positional("TRAIN", trainPath, "annotated CoNLL-U file (- for standard input)");
  cl.positional("PROPBANK", propbankPath, "verbal dictionary to write");
  cl.positional("NOMBANK", nombankPath, "nominal dictionary to write");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  FileGuard files;
  InputFile& in = files.reads(trainPath);
  OutputFile& propbank = files.writes(propbankPath);
  OutputFile& nombank = files.writes(nombankPath);
  if (!files.check()) return 1;
  std::string propbankText, nombankText, error;
  roles::BankCounts counts;
  if (!roles::buildSenseBanks(in.path(), in.name(), propbankText, nombankText, counts, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (!writeText(propbankText, propbank) || !writeText(nombankText, nombank) || !propbank.commit() ||
      !nombank.commit())
    return 1;
  if (!cl.quiet())
    std::fprintf(stderr, "%ld sentences, %ld predicates: %ld verbal lemmas in %s, %ld nominal in %s\n",
                 counts.sentences, counts.predicates, counts.verbalLemmas, propbankPath.c_str(),
                 counts.nominalLemmas, nombankPath.c_str());
  return 0;
}

int runTrainSrl(int argc, char** argv) {
  CommandLine cl("train-srl",
                 "Trains a role model on the annotated sentences of TRAIN: one sample for every question the\n"
                 "driver asks when it labels the sentence with the right answers (for nivre, the transition\n"
                 "oracle's actions). MODEL is replaced only when the training succeeds. The predicate\n"
                 "dictionaries feed the templates' recommendation features; label with the same ones.\n" +
                     std::string(kInputLayout));
  roles::TrainSettings settings;
  settings.options.threads = 2;
  std::string driver = "multi", penalty = "l2", trainPath, modelPath;
  cl.choice(kitopt::kDriver, driver, kDriverHelp, kTrainDrivers);
  cl.option(kitopt::kTemplate, settings.templatePath, "template file", std::string("models/") + kShippedTemplate);
  cl.option(kitopt::kPropbank, settings.propbank, "verbal predicate dictionary", "none");
  cl.option(kitopt::kNombank, settings.nombank, "nominal predicate dictionary", "none");
  cl.option(kitopt::kCutoff, settings.cutoff, "keep (feature, label) pairs seen at least N times", 0, 1000000);
  cl.choice(kitopt::kPenalty, penalty, "penalty on the weights", {"l2", "l1", "none"}, true);
  cl.option(kitopt::kStrength, settings.options.strength, "penalty strength", 0.0, 1e12);
  cl.option(kitopt::kIterations, settings.options.max_iterations, "most optimiser iterations", 1, 100000);
  cl.option(kitopt::kThreads, settings.options.threads, "threads for the gradient", 1, 256);
  cl.positional("TRAIN", trainPath, "annotated CoNLL-U file (- for standard input)");
  cl.positional("MODEL", modelPath, "model file to write");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  roles::driverByName(driver, settings.driver);
  settings.options.penalty =
      penalty == "l1" ? ME_Penalty::kL1 : penalty == "none" ? ME_Penalty::kNone : ME_Penalty::kL2;
  if (settings.templatePath.empty()) {
    settings.templatePath = shippedFileOrSay(kShippedTemplate);
    if (settings.templatePath.empty()) return 1;
  }
  settings.quiet = cl.quiet();
  if (cl.quiet()) settings.options.progress = nullptr;

  FileGuard files;
  InputFile& in = files.reads(trainPath);
  files.reads(settings.templatePath);
  files.reads(settings.propbank);
  files.reads(settings.nombank);
  OutputFile& out = files.writes(modelPath);
  if (!files.check()) return 1;
  settings.trainPath = in.path();
  settings.trainName = in.name();

  ME_Model model;
  roles::TrainCounts counts;
  std::string error;
  if (!roles::trainRoleModel(settings, model, counts, error)) {
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (!model.save_to_fileV2(out.path()) || !out.commit()) return 1;
  if (!cl.quiet()) {
    std::fprintf(stderr, "%ld sentences, %ld predicates, %ld samples", counts.sentences, counts.predicates,
                 counts.samples);
    if (settings.driver == roles::Driver::kNivre)
      std::fprintf(stderr, " (%ld sentences the oracle cannot rebuild left out)", counts.unreached);
    std::fprintf(stderr, "; %d iterations, %s; %.1f s samples + %.1f s estimation\nwrote %s (%s driver)\n",
                 counts.report.iterations, counts.report.message.c_str(), counts.sampleSeconds, counts.trainSeconds,
                 modelPath.c_str(), driver.c_str());
  }
  return 0;
}

int runLabelRoles(int argc, char** argv) {
  CommandLine cl("label-roles",
                 "Labels the semantic roles of the predicates of INPUT and writes the file with column 11 holding\n"
                 "each predicate's roleset (lemma.NN, chosen by sense determination from the predicate\n"
                 "dictionaries and the roles found) and one role column per predicate. Sentences without\n"
                 "predicates are written unchanged.\n" +
                     std::string(kInputLayout) +
                     "\nRole columns already in INPUT are replaced (their spelling, ARG0 or A0, is kept).");
  LabellerChoice choice;
  std::string input, output;
  choice.add(cl);
  cl.positional("INPUT", input, "CoNLL-U file with tags and trees (- for standard input)");
  cl.positional("OUTPUT", output, "file to write (- for standard output)");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  roles::Driver driver;
  if (const int status = choice.settle(cl, driver); status > 0) return status;
  FileGuard files;
  InputFile& in = files.reads(input);
  choice.read(files);
  OutputFile& out = files.writes(output);
  if (!files.check()) return 1;
  roles::RoleLabeller labeller;
  if (!choice.load(labeller, driver)) return 1;

  std::FILE* f = std::fopen(out.path(), "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "Error: cannot write %s.\n", out.name().c_str());
    return 1;
  }
  const bool progress = showProgress(cl);
  long sentences = 0;
  std::string text, error;
  bool written = true;
  const auto start = std::chrono::steady_clock::now();
  const bool ok = roles::forEachAnnotated(
      in.path(), in.name(),
      [&](conllu::Sentence& s, roles::RoleAnnotation&, std::string& err) {
        if (!labeller.label(s, in.name(), err)) return false;
        text.clear();
        conllu::write(s, text);
        written = written && writeAll(f, text);
        if (progress && ++sentences % 200 == 0) std::fprintf(stderr, "label-roles: %ld sentences\r", sentences);
        return true;
      },
      error);
  if (std::fclose(f) != 0) written = false;
  if (!ok) {
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (!written) {
    std::fprintf(stderr, "Error: cannot write %s.\n", out.name().c_str());
    return 1;
  }
  if (!out.commit()) return 1;
  if (cl.verbose())
    std::fprintf(stderr, "label-roles: %ld sentences in %.2f s\n", sentences, secondsSince(start));
  return 0;
}

int runEvaluateSrl(int argc, char** argv) {
  CommandLine cl("evaluate-srl",
                 "Labels the sentences of GOLD (the predicates column 11 marks, or with --find-predicates those\n"
                 "the driver finds) and prints labelled and unlabelled precision, recall and F1 over\n"
                 "(predicate, argument head, role) triples, the accuracy of the rolesets chosen for the gold\n"
                 "predicates, with --find-predicates the predicate identification scores, and the speed.\n" +
                     std::string(kInputLayout));
  LabellerChoice choice;
  std::string goldPath, output;
  choice.add(cl);
  cl.option(kitopt::kOutput, output, "keep the labelled file", "none");
  cl.positional("GOLD", goldPath, "annotated CoNLL-U file to label and score");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  roles::Driver driver;
  if (const int status = choice.settle(cl, driver); status > 0) return status;
  FileGuard files;
  InputFile& gold = files.reads(goldPath);
  choice.read(files);
  OutputFile* kept = output.empty() ? nullptr : &files.writes(output);
  if (!files.check()) return 1;
  roles::RoleLabeller labeller;
  const auto loadStart = std::chrono::steady_clock::now();
  if (!choice.load(labeller, driver)) return 1;
  const double loadSeconds = secondsSince(loadStart);

  roles::RoleScores scores;
  double seconds = 0;
  std::string labelled, error;
  const bool progress = showProgress(cl);
  const bool ok = roles::forEachAnnotated(
      gold.path(), gold.name(),
      [&](conllu::Sentence& s, roles::RoleAnnotation& goldRoles, std::string& err) {
        if (!roles::checkRolesets(s, goldRoles, gold.name(), err)) return false;
        const auto start = std::chrono::steady_clock::now();
        roles::RoleAnnotation found;
        if (!labeller.label(s, gold.name(), err, &found)) return false;
        seconds += secondsSince(start);
        scores.add(goldRoles, found);
        if (kept != nullptr) conllu::write(s, labelled);
        if (progress && scores.sentences % 200 == 0)
          std::fprintf(stderr, "evaluate-srl: %ld sentences\r", scores.sentences);
        return true;
      },
      error);
  if (!ok) {
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (kept != nullptr && (!writeText(labelled, *kept) || !kept->commit())) return 1;
  const roles::Prf l = roles::prf(scores.labelledCorrect, scores.foundArguments, scores.goldArguments);
  const roles::Prf u = roles::prf(scores.unlabelledCorrect, scores.foundArguments, scores.goldArguments);
  std::printf("driver %s: %ld sentences, %ld gold predicates, %ld gold arguments, %ld arguments found\n",
              choice.driver.c_str(), scores.sentences, scores.goldPredicates, scores.goldArguments,
              scores.foundArguments);
  std::printf("labelled:   P %.2f%%  R %.2f%%  F1 %.2f%%\n", 100 * l.precision, 100 * l.recall, 100 * l.f1);
  std::printf("unlabelled: P %.2f%%  R %.2f%%  F1 %.2f%%\n", 100 * u.precision, 100 * u.recall, 100 * u.f1);
  std::printf("senses: %.2f%% (%ld of %ld predicates)\n",
              scores.sensesScored > 0 ? 100.0 * scores.sensesCorrect / scores.sensesScored : 0.0,
              scores.sensesCorrect, scores.sensesScored);
  if (choice.findPredicates) {
    const roles::Prf p = roles::prf(scores.predicatesCorrect, scores.foundPredicates, scores.goldPredicates);
    std::printf("predicates: P %.2f%%  R %.2f%%  F1 %.2f%% (%ld found, %ld right)\n", 100 * p.precision,
                100 * p.recall, 100 * p.f1, scores.foundPredicates, scores.predicatesCorrect);
  }
  std::printf("speed: %.1f sentences/s (%.2f s labelling after %.2f s loading)\n",
              seconds > 0 ? scores.sentences / seconds : 0.0, seconds, loadSeconds);
  return flushedStdout() ? 0 : 1;
}
