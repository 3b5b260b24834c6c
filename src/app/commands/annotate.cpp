// korvane-kit commands from text to CoNLL-U: annotate, the builders of the
// tokenizer lists and the lemma table, and the CoNLL-U scorer.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "annotate/annotator.h"
#include "annotate/treebank.h"
#include "app/command_line.h"
#include "app/commands/commands.h"
#include "app/file_guard.h"
#include "app/model_choice.h"
#include "lemmatize/lemmatizer.h"
#include "parsing/parse_voting.h"
#include "text/conllu_eval.h"
#include "tokenize/token_lists.h"

namespace {

// A model file: DIR/NAME when a folder was named, else the shipped one ("" after a message).
std::string modelFile(const std::string& folder, const std::string& name) {
  return folder.empty() ? shippedFileOrSay(name) : folder + "/" + name;
}

// The manifest of a model, "" paths when it has none; false after a message.
bool manifestOf(const std::string& model, ModelManifest& manifest) {
  return readManifestFor(model, manifest);
}

// Reads a treebank for the two builders; false after a message.
bool treebankSentences(const std::string& path, std::vector<std::vector<lemmatize::Example>>& sentences) {
  std::string error;
  if (annotate::readTreebank(path, sentences, error)) return true;
  std::fprintf(stderr, "%s\n", error.c_str());
  return false;
}

std::string baseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int runAnnotate(int argc, char** argv) {
  CommandLine cl("annotate",
                 "Annotates English text and writes CoNLL-U: tokens (their forms are the text's own characters,\n"
                 "SpaceAfter=No where no space followed), sentences, treebank and universal tags, lemmas and\n"
                 "dependency trees, with the shipped models. Lines that cannot be read (invalid UTF-8, NUL\n"
                 "bytes, over 1 MiB) and malformed CoNLL-U sentences are reported and skipped; the exit status\n"
                 "is then 1.");
  int threads = static_cast<int>(std::thread::hardware_concurrency());
  if (threads < 1) threads = 1;
  if (threads > 256) threads = 256;
  std::string language = "english", kind = "raw", lines = "paragraphs", steps = "tag,parse", parserKind = "greedy",
              models,
              input = "-", output = "-";
  cl.choice(kitopt::kLanguage, language, "language of the text", {"english"}, true);
  cl.choice(kitopt::kInputKind, kind, "what INPUT holds: running text, one sentence of blank-separated tokens per line, or CoNLL-U",
            {"raw", "tokens", "conllu"});
  cl.choice(kitopt::kLines, lines,
            "what a line of raw text is: a paragraph, one sentence, or part of a paragraph that ends at an empty line",
            {"paragraphs", "sentences", "wrapped"});
  cl.option(kitopt::kSteps, steps,
            "what to add, in order: tag (tags, lemmas), tag,parse (and trees) or tag,parse,roles (and predicate "
            "senses and semantic roles, with the shipped role model that finds predicates)");
  cl.choice(kitopt::kParser, parserKind,
            "greedy: the parser that takes the best action in every state (english-parser.model); global: the "
            "beam trained as a whole (english-parser-global.model), more accurate and about four times slower; "
            "vote: the parsers of english-parser-vote.ensemble vote on every tree, the most accurate and slower "
            "again",
            {"greedy", "global", "vote"});
  cl.option(kitopt::kThreads, threads, "annotating threads; the output keeps the input order", 1, 256);
  cl.option(kitopt::kModels, models, "folder of the models to use", "the shipped models");
  cl.option(kitopt::kOutput, output, "file to write (- for standard output)");
  cl.optionalPositional("INPUT", input, "text to annotate (- for standard input)");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;

  annotate::Options options;
  options.input = kind == "raw" ? annotate::InputKind::kRaw
                  : kind == "tokens" ? annotate::InputKind::kTokens
                                     : annotate::InputKind::kConllu;
  options.lines = lines == "paragraphs" ? annotate::RawLines::kParagraphs
                  : lines == "sentences" ? annotate::RawLines::kSentences
                                         : annotate::RawLines::kWrapped;
  if (steps == "tag") {
    options.parse = false;
  } else if (steps == "tag,parse,roles") {
    options.roles = true;
  } else if (steps != "tag,parse") {
    return cl.usageError("--steps takes tag, tag,parse or tag,parse,roles, not '" + steps + "'");
  }
  options.threads = threads;
  options.progress = !cl.quiet();

  // The best shipped models: english-plus and the English parser; their
  // manifests name their templates, dictionary and parsing driver.
  annotate::ModelFiles files;
  files.tokenLists = modelFile(models, "english-tokenizer.data");
  files.lemmas = modelFile(models, "english-lemmatizer.data");
  files.taggerModel = modelFile(models, "english-plus.model");
  if (files.tokenLists.empty() || files.lemmas.empty() || files.taggerModel.empty()) return 1;
  ModelManifest tagger, parser;
  if (!manifestOf(files.taggerModel, tagger)) return 1;
  files.taggerDict = tagger.has("dictionary") ? tagger.file("dictionary") : modelFile(models, "english.dict");
  files.taggerTemplate = tagger.has("template") ? tagger.file("template") : modelFile(models, "english-plus.template");
  if (options.parse && parserKind == "vote") {
    const std::string ensemble = modelFile(models, "english-parser-vote.ensemble");
    std::vector<ParserEnsembleMember> members;
    if (ensemble.empty() || !readParserEnsemble(ensemble, members)) return 1;
    files.parserDriver = "vote";
    for (const ParserEnsembleMember& m : members) {
      ModelManifest manifest;
      if (!manifestOf(m.model, manifest)) return 1;
      files.parserMembers.push_back(
          {m.model, manifest.has("template") ? manifest.file("template") : modelFile(models, "parser.template"),
           m.driver, m.weight});
      if (files.parserMembers.back().templatePath.empty()) return 1;
    }
  } else if (options.parse) {
    files.parserModel =
        modelFile(models, parserKind == "global" ? "english-parser-global.model" : "english-parser.model");
    if (files.parserModel.empty() || !manifestOf(files.parserModel, parser)) return 1;
    files.parserTemplate = parser.has("template") ? parser.file("template") : modelFile(models, "parser.template");
    files.parserDriver = parser.has("driver") ? parser.value("driver") : "repair";
  }
  if (options.roles) {
    ModelManifest roles;
    files.roleModel = modelFile(models, "english-srl-find.model");
    if (files.roleModel.empty() || !manifestOf(files.roleModel, roles)) return 1;
    files.roleTemplate = roles.has("template") ? roles.file("template") : modelFile(models, "srl.template");
    // Predicate dictionaries only where the manifest names them.
    files.rolePropbank = roles.file("propbank");
    files.roleNombank = roles.file("nombank");
    if (roles.has("driver")) files.roleDriver = roles.value("driver");
  }

  FileGuard guard;
  InputFile& in = guard.readsStream(input);
  if (options.input == annotate::InputKind::kRaw) guard.reads(files.tokenLists);
  for (const std::string* f : {&files.lemmas, &files.taggerModel, &files.taggerDict, &files.taggerTemplate})
    guard.reads(*f);
  if (options.parse && files.parserMembers.empty()) {
    guard.reads(files.parserModel);
    guard.reads(files.parserTemplate);
  }
  for (const annotate::ModelFiles::ParserMember& m : files.parserMembers) {
    guard.reads(m.model);
    guard.reads(m.templatePath);
  }
  if (options.roles)
    for (const std::string* f : {&files.roleModel, &files.roleTemplate, &files.rolePropbank, &files.roleNombank})
      guard.reads(*f);
  OutputFile& out = guard.writesStream(output);
  if (!guard.check()) return 1;

  annotate::Annotator annotator;
  std::string error;
  if (!annotator.load(files, options, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
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
  const int result = annotator.run(inFile, inName, outFile, outName);
  if (inFile != stdin) std::fclose(inFile);
  bool written = result >= 0;
  if (outFile != stdout && std::fclose(outFile) != 0 && written) {
    std::fprintf(stderr, "Error: write to %s failed.\n", outName.c_str());
    written = false;
  }
  if (!written) return 1;
  // What was annotated stays even when some input was skipped.
  if (!out.commit()) return 1;
  return result == 0 ? 0 : 1;
}

int runBuildTokenizer(int argc, char** argv) {
  CommandLine cl("build-tokenizer",
                 "Learns the English tokenizer's and sentence splitter's lists from a treebank (CoNLL-U or the\n"
                 "dependency layout; consecutive sentences must be consecutive text).");
  std::string treebank, output;
  cl.positional("TREEBANK", treebank, "the treebank to learn from");
  cl.positional("OUTPUT", output, "token-list file to write");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  FileGuard guard;
  InputFile& in = guard.reads(treebank);
  OutputFile& out = guard.writes(output);
  if (!guard.check()) return 1;
  std::vector<std::vector<lemmatize::Example>> rows;
  if (!treebankSentences(in.path(), rows)) return 1;
  std::vector<std::vector<std::string>> sentences;
  for (const auto& s : rows) {
    sentences.emplace_back();
    for (const lemmatize::Example& e : s) sentences.back().push_back(e.form);
  }
  std::string error;
  if (!tokenize::learnTokenLists(sentences).save(out.path(), baseName(treebank), error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return out.commit() ? 0 : 1;
}

int runBuildLemmatizer(int argc, char** argv) {
  CommandLine cl("build-lemmatizer",
                 "Learns the lemma and universal-tag table from a treebank (CoNLL-U or the dependency layout):\n"
                 "every (word, tag) seen, and the endings that give unseen words their lemmas.");
  std::string treebank, output;
  cl.positional("TREEBANK", treebank, "the treebank to learn from");
  cl.positional("OUTPUT", output, "lemma-table file to write");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  FileGuard guard;
  InputFile& in = guard.reads(treebank);
  OutputFile& out = guard.writes(output);
  if (!guard.check()) return 1;
  std::vector<std::vector<lemmatize::Example>> rows;
  if (!treebankSentences(in.path(), rows)) return 1;
  std::vector<lemmatize::Example> all;
  for (const auto& s : rows) all.insert(all.end(), s.begin(), s.end());
  lemmatize::Lemmatizer lemmatizer;
  lemmatizer.learn(all);
  std::string error;
  if (!lemmatizer.save(out.path(), baseName(treebank), error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return out.commit() ? 0 : 1;
}

int runEvaluateConllu(int argc, char** argv) {
  CommandLine cl("evaluate-conllu",
                 "Scores a system's CoNLL-U file against the gold one as the CoNLL 2018 shared task did: tokens\n"
                 "and sentences match when they cover the same characters, and tags, lemmas and trees count on\n"
                 "matching tokens only. Both files must hold the same text.");
  std::string gold, system;
  cl.positional("GOLD", gold, "the gold CoNLL-U file");
  cl.positional("SYSTEM", system, "the CoNLL-U file to score");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  FileGuard guard;
  InputFile& g = guard.reads(gold);
  InputFile& s = guard.reads(system);
  if (!guard.check()) return 1;
  conllu::Scores scores;
  std::string error;
  if (!conllu::evaluate(g.path(), s.path(), scores, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::fputs(conllu::formatScores(scores).c_str(), stdout);
  return stdoutWritten() ? 0 : 1;
}
