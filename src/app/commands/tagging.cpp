// Tagging models: train, evaluate, tag.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "app/command_line.h"
#include "app/commands/commands.h"
#include "app/file_guard.h"
#include "app/messages.h"
#include "app/model_choice.h"
#include "decoding/tag_stream.h"
#include "decoding/tagger_training.h"
#include "labels/tag_dictionary.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

const std::vector<std::string> kLanguages = {"english", "chinese"};

std::string lowercased(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

void addTaggerOptions(CommandLine& cl, std::string& language, std::string& model, std::string& dict,
                      std::string& templatePath) {
  cl.choice(kitopt::kLanguage, language, "language: model, templates and line cutting", kLanguages, true);
  cl.option(kitopt::kModel, model, "tagging model", "the shipped LANG.model");
  cl.option(kitopt::kDict, dict, "tag dictionary", "the model's, from its manifest");
  cl.option(kitopt::kTemplate, templatePath, "template file the model was trained with",
            "the model's, from its manifest, else the language's built-in set");
}

// The model (the language's shipped one unless named) and what its manifest
// brings. A model without a manifest is tagged with the language's built-in
// templates and the dictionary beside it (MODEL with .dict for .model).
bool chooseTagger(const CommandLine& cl, std::string& language, std::string& model, std::string& dict,
                  std::string& templatePath) {
  if (!cl.given(kitopt::kModel)) {
    model = shippedFileOrSay(language + ".model");
    if (model.empty()) return false;
  }
  ModelManifest manifest;
  if (!applyManifest(cl, model, "tagger",
                     {{"language", &kitopt::kLanguage, &language, false},
                      {"dictionary", &kitopt::kDict, &dict, true},
                      {"template", &kitopt::kTemplate, &templatePath, true}},
                     manifest))
    return false;
  language = lowercased(language);
  if (language != "english" && language != "chinese") {
    std::fprintf(stderr, "Error: %s: unknown language %s.\n", manifest.path.c_str(), language.c_str());
    return false;
  }
  if (dict.empty()) {
    const std::string manifestName = manifestPathFor(model);
    const std::string beside = manifestName.substr(0, manifestName.size() - std::string(".manifest").size()) + ".dict";
    std::FILE* f = std::fopen(beside.c_str(), "rb");
    if (f == nullptr) {
      std::fprintf(stderr, "Error: no tag dictionary for %s: give --dict FILE.\n", model.c_str());
      return false;
    }
    std::fclose(f);
    dict = beside;
  }
  if (cl.verbose())
    std::fprintf(stderr, "model %s, dictionary %s, templates %s, language %s\n", model.c_str(), dict.c_str(),
                 templatePath.empty() ? "built in" : templatePath.c_str(), language.c_str());
  return true;
}

}  // namespace

void estimatorProgress(const CommandLine& cl, ProgressLine& line, ME_TrainOptions& options) {
  if (cl.verbose()) {
    options.progress = ME_printTrainProgress;
  } else {
    options.progress = [&line](const ME_TrainProgress& p) {
      line.update(p.iteration);
      return true;
    };
  }
}

int runTrain(int argc, char** argv) {
  CommandLine cl("train",
                 "Trains a tagging model on TRAIN (one token per line, word first and tag last, an empty line\n"
                 "after every sentence) and writes MODEL and, when named, the tag dictionary DICT.");
  std::string language = "english", templatePath, heldoutPath, penalty = "l2", trainPath, modelPath, dictPath;
  ME_TrainOptions train;
  int cutoff = 1;
  train.threads = 2;
  cl.choice(kitopt::kLanguage, language, "language whose shipped template file to use", kLanguages, true);
  cl.option(kitopt::kTemplate, templatePath, "template file", "the language's shipped LANG.template");
  cl.option(kitopt::kCutoff, cutoff, "keep features seen at least N times", 0, 1000000);
  cl.choice(kitopt::kPenalty, penalty, "penalty on the weights", {"l2", "l1", "none"}, true);
  cl.option(kitopt::kStrength, train.strength, "penalty strength", 0.0, 1e12);
  cl.option(kitopt::kIterations, train.max_iterations, "most optimiser iterations", 0, 100000);
  cl.option(kitopt::kThreads, train.threads, "threads for the gradient", 1, 256);
  cl.option(kitopt::kHeldout, heldoutPath, "tagged file to report held-out accuracy on");
  cl.option(kitopt::kPatience, train.heldout_patience,
            "stop after N iterations without held-out gain (0: never)", 0, 100000);
  cl.positional("TRAIN", trainPath, "tagged training file");
  cl.positional("MODEL", modelPath, "model file to write");
  cl.optionalPositional("DICT", dictPath, "tag dictionary to write");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  train.penalty = penalty == "l1" ? ME_Penalty::kL1 : penalty == "none" ? ME_Penalty::kNone : ME_Penalty::kL2;
  if (templatePath.empty()) {
    templatePath = shippedFileOrSay(language + ".template");
    if (templatePath.empty()) return 1;
  }
  ProgressLine iterations(cl, "iterations");
  estimatorProgress(cl, iterations, train);

  FileGuard files;
  files.reads(trainPath);
  files.readsText(templatePath);
  files.reads(heldoutPath);
  OutputFile& model = files.writes(modelPath);
  OutputFile* dict = dictPath.empty() ? nullptr : &files.writes(dictPath);
  if (!files.check()) return 1;

  const auto start = std::chrono::steady_clock::now();
  ME_Model me;
  TaggerSampleCounts counts;
  if (!collectTaggerSamples(templatePath, trainPath, heldoutPath, cutoff, me, counts)) return 1;
  if (!cl.quiet()) {
    std::fprintf(stderr, "samples=%zu labels=%d feature names=%d features=%d (cutoff %d)\n", counts.samples,
                 me.label_count, me.feature_names.count, me.feature_bag.Size(), cutoff);
    if (!heldoutPath.empty())
      std::fprintf(stderr, "held-out samples=%zu (%d with unknown tags left out)\n", counts.heldoutSamples,
                   counts.heldoutLeftOut);
  }
  ME_TrainReport report;
  int dropped = 0;
  if (!estimateTaggerWeights(me, train, report, dropped)) return 1;
  iterations.finish();
  if (!cl.quiet()) {
    std::fprintf(stderr, "training: %d iterations, %s, log-likelihood %.3f, %.1f s\n", report.iterations,
                 report.message.c_str(), report.log_likelihood, secondsSince(start));
    std::fprintf(stderr, "features with a weight: %d (%d zero weights dropped)\n", me.feature_bag.Size(), dropped);
  }
  if (!me.save_to_fileV2(model.path())) return 1;
  if (dict != nullptr && !buildCliqueLabelDict(&trainPath[0], dict->path(), 1)) return 1;
  if (!model.commit() || (dict != nullptr && !dict->commit())) return 1;
  if (!cl.quiet())
    std::fprintf(stderr, "wrote %s%s%s\n", modelPath.c_str(), dictPath.empty() ? "" : " and ", dictPath.c_str());
  return 0;
}

int runEvaluate(int argc, char** argv) {
  CommandLine cl("evaluate",
                 "Tags the words of GOLD (one token per line, word first and gold tag last, an empty line after\n"
                 "every sentence) as the tagger would and reports the accuracy, split into words known and\n"
                 "unknown to the dictionary, and the tagging speed.");
  std::string language = "english", modelPath, dictPath, templatePath, goldPath;
  addTaggerOptions(cl, language, modelPath, dictPath, templatePath);
  cl.positional("GOLD", goldPath, "tagged file to score");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  if (!chooseTagger(cl, language, modelPath, dictPath, templatePath)) return 1;

  FileGuard files;
  files.reads(goldPath);
  files.readsText(modelPath);
  files.readsText(dictPath);
  files.readsText(templatePath);
  if (!files.check()) return 1;

  const auto loadStart = std::chrono::steady_clock::now();
  LoadedTagger tagger;
  if (!loadTagger({modelPath, dictPath, templatePath, language == "english"}, tagger)) return 1;
  const double loadSeconds = secondsSince(loadStart);
  TaggerScores s;
  ProgressLine progress(cl, "tokens");
  if (!scoreTagger(tagger, goldPath, s, [&](long tokens) { progress.update(tokens); })) return 1;
  progress.finish();
  auto percent = [](long good, long all) { return all > 0 ? 100.0 * good / all : 0.0; };
  const long unknown = s.tokens - s.known;
  std::printf("tokens %ld  accuracy %.2f%%  known %ld (%.2f%%)  unknown %ld (%.2f%%)\n", s.tokens,
              percent(s.correct, s.tokens), s.known, percent(s.knownCorrect, s.known), unknown,
              percent(s.correct - s.knownCorrect, unknown));
  std::printf("model load %.3f s  tagging %.0f tokens/s\n", loadSeconds, s.tagSeconds > 0 ? s.tokens / s.tagSeconds : 0.0);
  return stdoutWritten() ? 0 : 1;
}

int runTag(int argc, char** argv) {
  CommandLine cl("tag",
                 "Tags INPUT, one sentence per line with the words separated by blanks or tabs, and writes one\n"
                 "line of \"word/tag \" pairs per input line, in input order, with several threads.");
  const int kMaxThreads = 256;
  int threads = static_cast<int>(std::thread::hardware_concurrency());
  if (threads < 1) threads = 1;
  if (threads > kMaxThreads) threads = kMaxThreads;
  std::string language = "english", modelPath, dictPath, templatePath, input = "-", output = "-", encoding = "gbk";
  addTaggerOptions(cl, language, modelPath, dictPath, templatePath);
  cl.choice(kitopt::kEncoding, encoding,
            "encoding of the text: gbk, the Chinese models' own, or utf-8, which is converted to GBK for a "
            "Chinese model and back (a line with a character GBK cannot hold is reported and left empty); "
            "English text passes through either way",
            {"gbk", "utf-8"}, true);
  cl.option(kitopt::kThreads, threads, "tagging threads", 1, kMaxThreads);
  cl.option(kitopt::kOutput, output, "file to write (- for standard output)");
  cl.optionalPositional("INPUT", input, "text to tag (- for standard input)");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  if (!chooseTagger(cl, language, modelPath, dictPath, templatePath)) return 1;

  // Everything is checked before the first line is read.
  FileGuard files;
  InputFile& in = files.readsStream(input);
  files.readsText(modelPath);
  files.readsText(dictPath);
  files.readsText(templatePath);
  OutputFile& out = files.writesStream(output);
  if (!files.check()) return 1;

  std::unique_ptr<FastLabeler> labeler;
  {
    // The labeller copies what it needs, so the model goes before tagging starts.
    LoadedTagger tagger;
    if (!loadTagger({modelPath, dictPath, templatePath, language == "english"}, tagger)) return 1;
    if (!tagger.fast->supported()) {
      std::fprintf(stderr, "Error: model file %s is too large to tag with.\n", modelPath.c_str());
      return 1;
    }
    labeler = std::move(tagger.fast);
  }
  std::FILE* inFile = in.isStdin() ? stdin : std::fopen(in.path(), "rb");
  std::FILE* outFile = out.isStdout() ? stdout : std::fopen(out.path(), "wb");
  if (inFile == nullptr || outFile == nullptr) {
    std::fprintf(stderr, "Error: open file %s.\n", inFile == nullptr ? input.c_str() : output.c_str());
    if (inFile != nullptr && inFile != stdin) std::fclose(inFile);
    if (outFile != nullptr && outFile != stdout) std::fclose(outFile);
    return 1;
  }
  const std::string inName = in.isStdin() ? "standard input" : input;
  const std::string outName = out.isStdout() ? "standard output" : output;
  long skipped = 0;
  ProgressLine progress(cl, "lines");
  const long lines = tagStream(inFile, inName.c_str(), outFile, *labeler, language == "english", threads,
                               outName.c_str(), encoding == "utf-8", &skipped,
                               [&](long done) { progress.update(done); });
  progress.finish();
  if (inFile != stdin) std::fclose(inFile);
  bool ok = lines >= 0;
  if (outFile != stdout && std::fclose(outFile) != 0 && ok) {
    std::fprintf(stderr, "Error: write to %s failed.\n", outName.c_str());
    ok = false;
  }
  // Lines left empty are reported; the rest of the output stays.
  return ok && out.commit() && skipped == 0 ? 0 : 1;
}
