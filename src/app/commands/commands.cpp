#include "app/commands/commands.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/command_line.h"
#include "app/messages.h"

const std::vector<KitCommand>& kitCommands() {
  static const std::vector<KitCommand> kCommands = {
      {"train", runTrain, "train a tagging model and its tag dictionary from a tagged file"},
      {"evaluate", runEvaluate, "tag a gold file and report accuracy and speed"},
      {"tag", runTag, "tag a text line by line with several threads"},
      {"build-dict", runBuildDict, "write a tag dictionary from a tagged file"},
      {"build-legal", runBuildLegal, "write a legal label transition file from a tagged file"},
      {"parse", runParse, "parse a dependency file with a parser model"},
      {"train-parser", runTrainParser, "train a dependency-parser model from a treebank"},
      {"evaluate-parser", runEvaluateParser, "parse a gold treebank and report attachment scores"},
      {"projectivize", runProjectivize, "make every tree of a dependency file projective"},
      {"deprojectivize", runDeprojectivize, "decode lifted arcs of a projectivized file"},
      {"srl", runSrl, "label the semantic roles of every predicate"},
      {"sense", runSense, "choose a sense for every predicate"},
      {"build-bank", runBuildBank, "write predicate dictionaries from an annotated CoNLL-U file"},
      {"train-srl", runTrainSrl, "train a role model from an annotated CoNLL-U file"},
      {"label-roles", runLabelRoles, "label the senses and roles of the predicates of a CoNLL-U file"},
      {"evaluate-srl", runEvaluateSrl, "label an annotated CoNLL-U file and report role and sense scores"},
      {"update-model", runUpdateModel, "convert an older-format model file to the current format"},
      {"annotate", runAnnotate, "English text to CoNLL-U: tokens, sentences, tags, lemmas, trees"},
      {"build-tokenizer", runBuildTokenizer, "learn the English tokenizer's lists from a treebank"},
      {"build-lemmatizer", runBuildLemmatizer, "learn the lemma and universal-tag table from a treebank"},
      {"evaluate-conllu", runEvaluateConllu, "score a CoNLL-U file against the gold one, aligned on characters"},
  };
  return kCommands;
}

namespace {

void usage(std::FILE* to) {
  std::fprintf(to, "Usage: %s COMMAND [options] [arguments]\n\nCommands:\n", kKitProgram);
  for (const KitCommand& c : kitCommands()) std::fprintf(to, "  %-18s%s\n", c.name, c.summary);
  std::fprintf(to,
               "\n'%s COMMAND --help' describes one command and its options.\n"
               "Options:\n  -h, --help        show this help and exit\n      --version     show the version and exit\n",
               kKitProgram);
}

}  // namespace

int kitMain(int argc, char** argv) {
  if (argc < 2) {
    usage(stderr);
    return 2;
  }
  const std::string first = argv[1];
  if (first == "--help" || first == "-h" || first == "help") {
    usage(stdout);
    return 0;
  }
  if (first == "--version") {
    std::printf("%s\n", kitVersionLine("").c_str());
    return 0;
  }
  for (const KitCommand& c : kitCommands()) {
    if (first != c.name) continue;
    MessageFilter messages;
    return c.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "%s: error: unknown command '%s'\nTry '%s --help' for the list of commands.\n", kKitProgram,
               first.c_str(), kKitProgram);
  return 2;
}
