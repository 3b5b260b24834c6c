// Semantic roles and predicate senses: srl, sense.
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/commands/commands.h"
#include "app/file_guard.h"
#include "app/model_choice.h"
#include "features/predicate_dictionary.h"
#include "roles/srl_drivers.h"
#include "roles/srl_nivre.h"
#include "sense/sense_determination.h"

namespace {

const std::vector<std::string> kRoleDrivers = {"multi", "xue", "class", "allpair", "xueext", "nivre"};

// The predicate dictionaries the features read, as options of srl and sense.
struct Dictionaries {
  std::string propbank, nombank, map;
  void add(CommandLine& cl, const char* propbankHelp, const char* nombankHelp) {
    cl.option(kitopt::kPropbank, propbank, propbankHelp, "none");
    cl.option(kitopt::kNombank, nombank, nombankHelp, "none");
    cl.option(kitopt::kMap, map, "key-value file for the relation features (last field the value)", "none");
  }
  void read(FileGuard& files) {
    files.readsText(propbank);
    files.readsText(nombank);
    files.readsText(map);
  }
};

}  // namespace

int runSrl(int argc, char** argv) {
  CommandLine cl("srl",
                 "Labels the semantic roles of the predicates of INPUT with a version-2 model and its template\n"
                 "file and writes every row with one role pair per predicate. INPUT: sentences of column rows\n"
                 "separated by empty lines; column 8 the syntactic head (1-based, 0 = root), 9 its relation,\n"
                 "10 the predicate marker (\"_\" = none).\n"
                 "Drivers: multi asks about every token for every marked predicate; xue about the tokens on the\n"
                 "syntactic way up from each marked predicate; class gives a role to every token the input\n"
                 "marks as an argument; allpair takes every noun and verb as a candidate predicate and asks\n"
                 "about every token; xueext takes every token as a candidate predicate and asks about the\n"
                 "tokens on its way up; nivre labels the arguments of each marked predicate with the\n"
                 "transition system.");
  std::string driver, model, templatePath, candidates = "all", finish = "0", input, output;
  Dictionaries dictionaries;
  cl.choice(kitopt::kDriver, driver, "role-labelling driver (required unless the model's manifest names it)",
            kRoleDrivers);
  cl.option(kitopt::kModel, model, "role model file, version 2 (required)");
  cl.option(kitopt::kTemplate, templatePath,
            "template file the model was trained with (required unless the model's manifest names it)");
  cl.choice(kitopt::kCandidates, candidates, "xueext: every token (all) or nouns and verbs only (nv)",
            {"all", "nv"});
  cl.choice(kitopt::kFinish, finish,
            "nivre: rows no action reached get no role (0), the first of them becomes ROOT (1), or they stay "
            "unset (2)",
            {"0", "1", "2"});
  dictionaries.add(cl, "verbal predicate dictionary for the features", "nominal predicate dictionary for the features");
  cl.positional("INPUT", input, "file to label (- for standard input)");
  cl.positional("OUTPUT", output, "file to write (- for standard output)");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  if (model.empty()) return cl.usageError("missing --model FILE");
  ModelManifest manifest;
  if (!applyManifest(cl, model, "srl",
                     {{"driver", &kitopt::kDriver, &driver, false},
                      {"template", &kitopt::kTemplate, &templatePath, true},
                      {"propbank", &kitopt::kPropbank, &dictionaries.propbank, true},
                      {"nombank", &kitopt::kNombank, &dictionaries.nombank, true}},
                     manifest))
    return 1;
  if (driver.empty()) return cl.usageError("missing --driver NAME");
  if (templatePath.empty()) return cl.usageError("missing --template FILE");
  bool known = false;
  for (const std::string& d : kRoleDrivers) known = known || d == driver;
  if (!known) {
    std::fprintf(stderr, "Error: %s: unknown driver %s.\n", manifest.path.c_str(), driver.c_str());
    return 1;
  }
  if (cl.given(kitopt::kCandidates) && driver != "xueext")
    return cl.usageError("--candidates applies to the xueext driver only");
  if (cl.given(kitopt::kFinish) && driver != "nivre") return cl.usageError("--finish applies to the nivre driver only");

  FileGuard files;
  InputFile& in = files.reads(input);
  files.readsText(model);
  files.readsText(templatePath);
  dictionaries.read(files);
  OutputFile& out = files.writes(output);
  if (!files.check() || !templateFileUsable(templatePath)) return 1;
  if (loadSenseDictionaries(dictionaries.propbank, dictionaries.nombank, dictionaries.map) < 0) return 1;

  char* t = &templatePath[0];
  char* m = &model[0];
  int result;
  if (driver == "multi")
    result = ME_TestSRLMulti(t, m, in.path(), out.path(), 0);
  else if (driver == "xue")
    result = ME_TestSRLMultiXue(t, m, in.path(), out.path(), 0);
  else if (driver == "class")
    result = ME_TestSRLMultiClass(t, m, in.path(), out.path(), 0);
  else if (driver == "allpair")
    result = ME_TestSRLMultiAllPair(t, m, in.path(), out.path());
  else if (driver == "xueext")
    result = ME_TestSRLMultiXueExt(t, m, in.path(), out.path(), candidates == "nv" ? 1 : 0);
  else
    result = ME_TestSRLMultiNivre(t, m, in.path(), out.path(), finish[0] - '0');
  return result == 1 && out.commit() ? 0 : 1;
}

int runSense(int argc, char** argv) {
  CommandLine cl("sense",
                 "Gives every predicate of INPUT a sense from the predicate dictionaries and writes the file with\n"
                 "one more column: the sense on predicate rows, \"_\" elsewhere. INPUT: sentences of column rows\n"
                 "separated by empty lines; \"__\" marks the rows that are not predicates, then two columns\n"
                 "(number, argument label) per predicate follow.");
  std::string input, output;
  Dictionaries dictionaries;
  dictionaries.add(cl, "verbal predicate dictionary (without it verbal predicates get 01)",
                   "nominal predicate dictionary (without it nominal predicates get 01)");
  cl.positional("INPUT", input, "file to read (- for standard input)");
  cl.positional("OUTPUT", output, "file to write (- for standard output)");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  FileGuard files;
  InputFile& in = files.reads(input);
  dictionaries.read(files);
  OutputFile& out = files.writes(output);
  if (!files.check()) return 1;
  if (loadSenseDictionaries(dictionaries.propbank, dictionaries.nombank, dictionaries.map) < 0) return 1;
  return senseDeterminator(in.path(), out.path()) == 1 && out.commit() ? 0 : 1;
}
