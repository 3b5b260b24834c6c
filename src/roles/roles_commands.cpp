#include "roles/roles_commands.h"

#include <cstdio>
#include <string>
#include <vector>

#include "roles/srl_drivers.h"
#include "roles/srl_nivre.h"
#include "sense/sense_commands.h"

namespace {

const char kUsage[] =
    "Usage: korvane-kit srl [options] DRIVER TEMPLATE MODEL INPUT OUTPUT\n"
    "Labels the semantic roles of the predicates of INPUT with the version-2 MODEL and the\n"
    "feature templates of TEMPLATE and writes every row with one role pair per predicate.\n"
    "INPUT: sentences of column rows separated by empty lines; column 8 the syntactic head\n"
    "(1-based, 0 = root), 9 its relation, 10 the predicate marker (\"_\" = none).\n"
    "DRIVER:\n"
    "  multi    ask about every token for every marked predicate\n"
    "  xue      ask about the tokens on the syntactic way up from each marked predicate\n"
    "  class    give a role to every token the input marks as an argument\n"
    "  allpair  every noun and verb is a candidate predicate; ask about every token\n"
    "  xueext   every token is a candidate predicate; ask about the tokens on its way up\n"
    "  nivre    label the arguments of each marked predicate with the transition system\n"
    "Options:\n"
    "  --candidates all|nv  xueext: every token, or nouns and verbs only (default: all)\n"
    "  --finish 0|1|2       nivre: rows no action reached get no role (0), the first of\n"
    "                       them becomes ROOT (1), or they stay unset (2) (default: 0)\n"
    "  --propbank FILE      verbal predicate dictionary for the features (default: none)\n"
    "  --nombank FILE       nominal predicate dictionary for the features (default: none)\n"
    "  --dict FILE          plain dictionary for the features (default: none)\n"
    "  -h, --help           this text\n";

int misuse(const std::string& problem) {
  std::fprintf(stderr, "Error: %s.\n%s", problem.c_str(), kUsage);
  return 2;
}

}  // namespace

int kitSrl(int argc, char** argv) {
  std::string candidates, finish, propbank, nombank, dict;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::string name = arg, value;
    const size_t eq = arg.find('=');
    const bool inlineValue = arg.compare(0, 2, "--") == 0 && eq != std::string::npos;
    if (inlineValue) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    std::string* target = nullptr;
    if (name == "--candidates") target = &candidates;
    else if (name == "--finish") target = &finish;
    else if (name == "--propbank") target = &propbank;
    else if (name == "--nombank") target = &nombank;
    else if (name == "--dict") target = &dict;
    if (target != nullptr) {
      if (!inlineValue) {
        if (i + 1 >= argc) return misuse("missing value after " + arg);
        value = argv[++i];
      }
      if (value.empty()) return misuse("empty value for " + name);
      *target = value;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return misuse("unknown option " + arg);
    } else {
      words.push_back(arg);
    }
  }
  if (words.size() != 5)
    return misuse("expected DRIVER TEMPLATE MODEL INPUT OUTPUT, got " + std::to_string(words.size()) + " arguments");
  const std::string& driver = words[0];
  static const char* const kDrivers[] = {"multi", "xue", "class", "allpair", "xueext", "nivre"};
  bool known = false;
  for (const char* d : kDrivers) known = known || driver == d;
  if (!known) return misuse("unknown driver " + driver);

  int candidateMode = 0;
  if (!candidates.empty()) {
    if (driver != "xueext") return misuse("--candidates applies to the xueext driver only");
    if (candidates == "nv")
      candidateMode = 1;
    else if (candidates != "all")
      return misuse("--candidates takes all or nv, not " + candidates);
  }
  int finishMode = 0;
  if (!finish.empty()) {
    if (driver != "nivre") return misuse("--finish applies to the nivre driver only");
    if (finish != "0" && finish != "1" && finish != "2") return misuse("--finish takes 0, 1 or 2, not " + finish);
    finishMode = finish[0] - '0';
  }
  if (loadSenseDictionaries(propbank, nombank, dict) < 0) return 1;

  char* templatePath = &words[1][0];
  char* modelPath = &words[2][0];
  char* inputPath = &words[3][0];
  char* outputPath = &words[4][0];
  int result;
  if (driver == "multi")
    result = ME_TestSRLMulti(templatePath, modelPath, inputPath, outputPath, 0);
  else if (driver == "xue")
    result = ME_TestSRLMultiXue(templatePath, modelPath, inputPath, outputPath, 0);
  else if (driver == "class")
    result = ME_TestSRLMultiClass(templatePath, modelPath, inputPath, outputPath, 0);
  else if (driver == "allpair")
    result = ME_TestSRLMultiAllPair(templatePath, modelPath, inputPath, outputPath);
  else if (driver == "xueext")
    result = ME_TestSRLMultiXueExt(templatePath, modelPath, inputPath, outputPath, candidateMode);
  else
    result = ME_TestSRLMultiNivre(templatePath, modelPath, inputPath, outputPath, finishMode);
  return result == 1 ? 0 : 1;
}
