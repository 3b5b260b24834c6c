#include "sense/sense_commands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/globals.h"
#include "features/predicate_dictionary.h"
#include "sense/sense_determination.h"

namespace {

const char kUsage[] =
    "Usage: korvane-kit sense [options] INPUT OUTPUT\n"
    "Gives every predicate of INPUT a sense from the predicate dictionaries and writes OUTPUT\n"
    "with one more column: the sense on predicate rows, \"_\" elsewhere.\n"
    "INPUT: sentences of column rows separated by empty lines; \"__\" marks the rows that are\n"
    "not predicates, then two columns (number, argument label) per predicate follow.\n"
    "Options:\n"
    "  --propbank FILE  verbal predicate dictionary (default: none; verbal predicates get 01)\n"
    "  --nombank FILE   nominal predicate dictionary (default: none; nominal predicates get 01)\n"
    "  --dict FILE      plain dictionary (default: none)\n"
    "  -h, --help       this text\n";

bool isNone(const std::string& path) { return path.empty() || path == "NULL"; }

int misuse(const char* problem, const std::string& detail) {
  std::fprintf(stderr, "Error: %s%s.\n%s", problem, detail.c_str(), kUsage);
  return 2;
}

}  // namespace

int loadSenseDictionaries(const std::string& propbank, const std::string& nombank, const std::string& dict) {
  for (const std::string* path : {&propbank, &nombank, &dict}) {
    if (isNone(*path)) continue;
    std::FILE* f = std::fopen(path->c_str(), "rb");
    if (f == nullptr) {
      std::fprintf(stderr, "Error: open file %s for reading.\n", path->c_str());
      return -1;
    }
    std::fclose(f);
  }
  if (isNone(propbank))
    _dicProp.clear();
  else
    loadBank(propbank.c_str(), 0);
  if (isNone(nombank))
    _dicNom.clear();
  else
    loadBank(nombank.c_str(), 1);
  if (isNone(dict))
    _dic.clear();
  else
    loadmap(dict.c_str());
  return 1;
}

int kitSense(int argc, char** argv) {
  std::string propbank, nombank, dict;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::string* target = nullptr;
    std::string name = arg, value;
    const size_t eq = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    if (name == "--propbank") target = &propbank;
    else if (name == "--nombank") target = &nombank;
    else if (name == "--dict") target = &dict;
    if (target != nullptr) {
      if (eq == std::string::npos) {
        if (i + 1 >= argc) return misuse("missing file name after ", arg);
        value = argv[++i];
      }
      if (value.empty()) return misuse("empty file name for ", name);
      *target = value;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return misuse("unknown option ", arg);
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) return misuse("expected INPUT and OUTPUT, got ", std::to_string(files.size()) + " file names");
  if (loadSenseDictionaries(propbank, nombank, dict) < 0) return 1;
  return senseDeterminator(&files[0][0], &files[1][0]) == 1 ? 0 : 1;
}
