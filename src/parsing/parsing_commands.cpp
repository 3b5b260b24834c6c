#include "parsing/parsing_commands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "parsing/parsing_drivers.h"

namespace {

const char kParseUsage[] =
    "Usage: korvane-kit parse [-d DRIVER] -m MODEL -t TEMPLATE INPUT OUTPUT\n"
    "Parses the token rows of INPUT (sentences separated by empty lines) and\n"
    "writes every row with its predicted head (0 = root) and relation to OUTPUT.\n"
    "  -m, --model MODEL        model file, version 2 (required)\n"
    "  -t, --template TEMPLATE  template file (required)\n"
    "  -d, --driver DRIVER      ltr: left to right (default); rtl: right to left;\n"
    "                           repair: left to right, then attach the tokens\n"
    "                           left without a head\n";

int misuse(const char* problem, const char* argument) {
  std::fprintf(stderr, "Error: %s%s.\n", problem, argument != nullptr ? argument : "");
  std::fputs(kParseUsage, stderr);
  return 2;
}

// Value of option a: "-x VALUE", "--long VALUE" or "--long=VALUE". Returns
// false when a is not this option; sets missing when its value is absent.
bool optionValue(int argc, char** argv, int& i, const char* shortName, const char* longName, std::string& value,
                 bool& missing) {
  const char* a = argv[i];
  const size_t longLength = std::strlen(longName);
  if (std::strcmp(a, shortName) == 0 || std::strcmp(a, longName) == 0) {
    if (i + 1 >= argc) {
      missing = true;
      return true;
    }
    value = argv[++i];
    return true;
  }
  if (std::strncmp(a, longName, longLength) == 0 && a[longLength] == '=') {
    value = a + longLength + 1;
    return true;
  }
  return false;
}

}  // namespace

int kitParse(int argc, char** argv) {
  std::string model, templates, driver = "ltr";
  std::vector<char*> files;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0) {
      std::fputs(kParseUsage, stdout);
      return 0;
    }
    bool missing = false;
    if (optionValue(argc, argv, i, "-m", "--model", model, missing) ||
        optionValue(argc, argv, i, "-t", "--template", templates, missing) ||
        optionValue(argc, argv, i, "-d", "--driver", driver, missing)) {
      if (missing) return misuse("missing value of ", a);
      continue;
    }
    if (a[0] == '-' && a[1] != '\0') return misuse("unknown option ", a);
    files.push_back(argv[i]);
  }
  if (model.empty()) return misuse("no model file given (-m)", nullptr);
  if (templates.empty()) return misuse("no template file given (-t)", nullptr);
  if (files.size() != 2) return misuse("expected INPUT and OUTPUT", nullptr);

  int (*run)(char*, char*, char*, char*) = nullptr;
  if (driver == "ltr")
    run = ME_TestPNivre2Ext;
  else if (driver == "rtl")
    run = ME_TestPNivre2ExtInverse;
  else if (driver == "repair")
    run = ME_TestPNivre2ExtV2;
  else
    return misuse("unknown driver ", driver.c_str());
  return run(&templates[0], &model[0], files[0], files[1]) == 1 ? 0 : 1;
}
