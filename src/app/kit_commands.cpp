#include "app/kit_commands.h"

#include <cstdio>
#include <cstring>

#include "app/kit_training.h"
#include "decoding/decoding_commands.h"
#include "labels/labels_commands.h"
#include "parsing/parser_training.h"
#include "parsing/parsing_commands.h"
#include "projectivity/projectivity_commands.h"
#include "roles/roles_commands.h"
#include "sense/sense_commands.h"
#include "tools/tools_commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int, char**);
  const char* summary;
};

const Command kCommands[] = {
    {"train", kitTrain, "train a tagging model and its tag dictionary from a tagged file"},
    {"evaluate", kitEvaluate, "tag a gold file and report accuracy and speed"},
    {"tag", kitTag, "tag a large text line by line with several threads"},
    {"build-dict", kitBuildDict, "write a tag dictionary from a tagged file"},
    {"build-legal", kitBuildLegal, "write a legal label transition file from a tagged file"},
    {"parse", kitParse, "parse a dependency file with a parser model"},
    {"train-parser", kitTrainParser, "train a dependency-parser model from a treebank"},
    {"evaluate-parser", kitEvaluateParser, "parse a gold treebank and report attachment scores"},
    {"projectivize", kitProjectivize, "make every tree of a dependency file projective"},
    {"deprojectivize", kitDeprojectivize, "decode lifted arcs of a projectivized file"},
    {"srl", kitSrl, "label the semantic roles of every predicate"},
    {"sense", kitSense, "choose a sense for every predicate"},
    {"update-model", kitUpdateModel, "convert an older-format model file to the current format"},
};

void usage(std::FILE* to) {
  std::fprintf(to, "Usage: korvane-kit COMMAND [options] [files]\n\nCommands:\n");
  for (const Command& c : kCommands) std::fprintf(to, "  %-16s%s\n", c.name, c.summary);
  std::fprintf(to, "\n'korvane-kit COMMAND --help' describes one command.\n");
}

}  // namespace

int kitMain(int argc, char** argv) {
  if (argc < 2) {
    usage(stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
      std::strcmp(argv[1], "help") == 0) {
    usage(stdout);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "Error: unknown command %s\n", argv[1]);
  usage(stderr);
  return 2;
}
