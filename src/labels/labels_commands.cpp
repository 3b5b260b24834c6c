#include "labels/labels_commands.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "labels/legal_transitions.h"
#include "labels/tag_dictionary.h"

namespace {

const char* commandName(int argc, char** argv, const char* fallback) {
  return (argc > 0 && argv[0] != nullptr) ? argv[0] : fallback;
}

void buildDictUsage(std::FILE* to, const char* name) {
  std::fprintf(to,
               "Usage: korvane-kit %s TRAIN DICT [--column N]\n"
               "  TRAIN        column-format training file (tag in the last field)\n"
               "  DICT         tag dictionary file to write\n"
               "  --column N   field holding the word, counted from 1 (default 1)\n",
               name);
}

void buildLegalUsage(std::FILE* to, const char* name) {
  std::fprintf(to,
               "Usage: korvane-kit %s TRAIN OUT\n"
               "  TRAIN        column-format training file (label in the last field)\n"
               "  OUT          legal transition file to write\n",
               name);
}

bool isHelp(const char* arg) { return std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0; }

// A positive decimal int with nothing after it.
bool parseColumn(const char* text, int& column) {
  if (text == nullptr || *text == '\0') return false;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < 1 || value > INT_MAX) return false;
  column = static_cast<int>(value);
  return true;
}

}  // namespace

int kitBuildDict(int argc, char** argv) {
  const char* name = commandName(argc, argv, "build-dict");
  std::vector<char*> files;
  int column = 1;
  for (int i = 1; i < argc; ++i) {
    char* arg = argv[i];
    if (isHelp(arg)) {
      buildDictUsage(stdout, name);
      return 0;
    }
    if (std::strcmp(arg, "--column") == 0) {
      if (i + 1 >= argc || !parseColumn(argv[i + 1], column)) {
        std::fprintf(stderr, "Error: --column needs a field number of 1 or more.\n");
        buildDictUsage(stderr, name);
        return 2;
      }
      ++i;
    } else if (std::strncmp(arg, "--column=", 9) == 0) {
      if (!parseColumn(arg + 9, column)) {
        std::fprintf(stderr, "Error: --column needs a field number of 1 or more.\n");
        buildDictUsage(stderr, name);
        return 2;
      }
    } else if (arg[0] == '-' && arg[1] != '\0') {
      std::fprintf(stderr, "Error: unknown option %s.\n", arg);
      buildDictUsage(stderr, name);
      return 2;
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) {
    buildDictUsage(stderr, name);
    return 2;
  }
  return buildCliqueLabelDict(files[0], files[1], column) ? 0 : 1;
}

int kitBuildLegal(int argc, char** argv) {
  const char* name = commandName(argc, argv, "build-legal");
  std::vector<char*> files;
  for (int i = 1; i < argc; ++i) {
    char* arg = argv[i];
    if (isHelp(arg)) {
      buildLegalUsage(stdout, name);
      return 0;
    }
    if (arg[0] == '-' && arg[1] != '\0') {
      std::fprintf(stderr, "Error: unknown option %s.\n", arg);
      buildLegalUsage(stderr, name);
      return 2;
    }
    files.push_back(arg);
  }
  if (files.size() != 2) {
    buildLegalUsage(stderr, name);
    return 2;
  }
  return buildLegalSeqTrans(files[0], files[1]) ? 0 : 1;
}
