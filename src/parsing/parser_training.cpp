#include "parsing/parser_training.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "maxent/estimator.h"
#include "parsing/dependency_info.h"
#include "parsing/oracle.h"
#include "parsing/parser_kit_support.h"
#include "parsing/parsing_drivers.h"
#include "projectivity/projective_file.h"
#include "templates/template_reader.h"

#ifndef KORVANE_MODELS_DIR
#define KORVANE_MODELS_DIR "models"
#endif

namespace {

const char kTrainUsage[] =
    "Usage: korvane-kit train-parser [options] TRAIN MODEL\n"
    "Trains a dependency-parser model on the trees of TRAIN (token rows with the\n"
    "1-based head in column 8, 0 = root, and the relation in column 9; sentences\n"
    "end with an empty line). Non-projective trees are projectivized first. MODEL\n"
    "is replaced only when the training succeeds.\n"
    "  -t, --template FILE   template file (default models/parser.template)\n"
    "  -d, --direction DIR   ltr: model for the ltr and repair drivers (default);\n"
    "                        rtl: model for the rtl driver\n"
    "  -c, --cutoff N        keep (feature, action) pairs seen at least N times (default 2)\n"
    "  -p, --penalty KIND    l2, l1 or none (default l2)\n"
    "  -s, --strength C      penalty strength (default 1.0)\n"
    "  -i, --iterations N    most optimiser iterations (default 300)\n"
    "  -j, --threads N       threads for the gradient (default 2)\n";

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool readableQuietly(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

// Probes that a file can be created beside path, so that a long training does
// not end in an unwritable destination.
bool canWriteBeside(const std::string& path) {
  std::string pattern = path + ".probe.XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    std::fprintf(stderr, "Error: open %s for writing.\n", path.c_str());
    return false;
  }
  ::close(fd);
  std::remove(name.data());
  return true;
}

int widestColumn(const std::vector<_ftnind>& templates) {
  int widest = -1;
  for (const _ftnind& t : templates)
    for (const _ft& item : t.items)
      if (item.column > widest) widest = item.column;
  return widest;
}

}  // namespace

std::string defaultParserTemplate() {
  for (const std::string& dir : {std::string("models"), std::string(KORVANE_MODELS_DIR)}) {
    const std::string path = dir + "/parser.template";
    if (readableQuietly(path)) return path;
  }
  return "";
}

bool collectParserSamples(const std::string& templatePath, const std::string& inputPath, bool inverse,
                          ME_Model& model, ParserSampleCounts& counts) {
  counts = ParserSampleCounts();
  if (!parserKitReadable(templatePath) || !parserKitReadable(inputPath)) return false;
  std::vector<_ftnind> templates;
  std::vector<int> templateOrder;
  int labelOrder = 0;
  std::string templateName = templatePath;
  if (readTemplateFile3(&templateName[0], templates, templateOrder, labelOrder) < 0) {
    std::fprintf(stderr, "Error: template file %s names a template twice.\n", templatePath.c_str());
    return false;
  }
  bool anyFeature = false;
  for (const _ftnind& t : templates) anyFeature = anyFeature || (!t.name.empty() && t.name[0] == 'U');
  if (!anyFeature) {
    std::fprintf(stderr, "Error: template file %s holds no feature template (names beginning with U).\n",
                 templatePath.c_str());
    return false;
  }
  std::vector<int> flags;
  checkFTNodeInfo(templates, flags);
  // The drivers read predicate information only when the templates can use it.
  const bool predicateInfo = inverse || (!flags.empty() && flags[0] > 0);

  std::FILE* in = std::fopen(inputPath.c_str(), "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", inputPath.c_str());
    return false;
  }
  SentenceReader reader(in);
  TokenTable rows;
  int firstLine = 0;
  std::vector<_dppair> gold, arcs, unusedArcs;
  std::vector<std::vector<_dppair>> argumentLists, unusedArguments;
  std::vector<int> predicateRows, unusedPredicates;
  std::vector<std::string> actions;
  std::vector<int> stack;
  std::vector<_hisstruc> history;
  ME_Sample sample;
  _dppair unattached;
  unattached.head = kNoHeadYet;
  unattached.dprel = "_x";
  bool ok = true;
  while (ok && reader.next(rows, firstLine)) {
    ++counts.sentences;
    if (counts.sentences % 2000 == 0) std::fprintf(stderr, "#seq=%d,#sample=%ld\r", counts.sentences, counts.samples);
    loadExtraDPInfo(rows, 1, gold, unusedArguments, unusedPredicates);
    const bool derivable = inverse ? nivreOracleActionsInverse(gold, actions) : nivreOracleActions(gold, actions);
    if (!derivable) {
      ++counts.underivable;
      continue;
    }
    if (actions.empty()) continue;
    if (predicateInfo) {
      loadExtraDPInfo(rows, 2, unusedArcs, argumentLists, predicateRows);
    } else {
      argumentLists.clear();
      predicateRows.clear();
    }
    const int n = static_cast<int>(rows.size());
    arcs.assign(rows.size(), unattached);
    history.clear();
    stack.assign(1, inverse ? n - 1 : 0);
    int next = inverse ? n - 2 : 1;
    for (std::string& action : actions) {
      const int r = inverse ? NivreSampleGenExtInverse(action, sample, model, templates, templateOrder, rows, stack,
                                                       next, arcs, argumentLists, predicateRows, history)
                            : NivreSampleGenExt(action, sample, model, templates, templateOrder, rows, stack, next,
                                                arcs, argumentLists, predicateRows, history);
      if (r < 0) {
        std::fprintf(stderr,
                     "Error: %s line %d: the rows have %zu columns, but template file %s reads column %d (the last "
                     "column is never read).\n",
                     inputPath.c_str(), firstLine, rows[0].size(), templatePath.c_str(), widestColumn(templates));
        ok = false;
        break;
      }
      ++counts.samples;
    }
  }
  if (std::ferror(in) != 0) {
    std::fprintf(stderr, "Error: read %s.\n", inputPath.c_str());
    ok = false;
  }
  std::fclose(in);
  std::fprintf(stderr, "#seq=%d,#sample=%ld\n", counts.sentences, counts.samples);
  if (ok && reader.droppedLast())
    std::fprintf(stderr, "Warning: %s: the last sentence has no empty line after it and is left out.\n",
                 inputPath.c_str());
  return ok;
}

int kitTrainParser(int argc, char** argv) {
  std::map<std::string, std::string> values;
  std::vector<std::string> files;
  const std::vector<ParserKitOption> options = {
      {"-t", "--template", nullptr}, {"-d", "--direction", "ltr"}, {"-c", "--cutoff", "2"},
      {"-p", "--penalty", "l2"},     {"-s", "--strength", "1.0"}, {"-i", "--iterations", "300"},
      {"-j", "--threads", "2"}};
  const int status = readParserKitArgs(argc, argv, options, kTrainUsage, 2, 2, values, files);
  if (status >= 0) return status;

  ME_TrainOptions train;
  int cutoff = 2;
  if (!parserKitInt(values, "--cutoff", 0, 1000000, cutoff) ||
      !parserKitInt(values, "--iterations", 1, 100000, train.max_iterations) ||
      !parserKitInt(values, "--threads", 1, 256, train.threads) ||
      !parserKitDouble(values, "--strength", 0.0, 1e12, train.strength)) {
    std::fputs(kTrainUsage, stderr);
    return 2;
  }
  const std::string& penalty = values["--penalty"];
  if (penalty == "l2") {
    train.penalty = ME_Penalty::kL2;
  } else if (penalty == "l1") {
    train.penalty = ME_Penalty::kL1;
  } else if (penalty == "none") {
    train.penalty = ME_Penalty::kNone;
  } else {
    std::fprintf(stderr, "Error: --penalty takes l2, l1 or none, not '%s'.\n", penalty.c_str());
    std::fputs(kTrainUsage, stderr);
    return 2;
  }
  const std::string& direction = values["--direction"];
  if (direction != "ltr" && direction != "rtl") {
    std::fprintf(stderr, "Error: --direction takes ltr or rtl, not '%s'.\n", direction.c_str());
    std::fputs(kTrainUsage, stderr);
    return 2;
  }
  const bool inverse = direction == "rtl";
  std::string templatePath = values.count("--template") ? values["--template"] : defaultParserTemplate();
  if (templatePath.empty()) {
    std::fprintf(stderr, "Error: no template file given (-t) and no models/parser.template found.\n");
    return 1;
  }
  std::string trainPath = files[0];
  const std::string& modelPath = files[1];
  if (!parserKitReadable(trainPath) || !parserKitReadable(templatePath) || !canWriteBeside(modelPath)) return 1;

  const auto start = std::chrono::steady_clock::now();
  ParserKitTempFile projective("korvane-projective");
  if (!projective.ok()) return 1;
  std::string projectivePath = projective.path();
  if (ProjectiveGen(&trainPath[0], &projectivePath[0]) != 1) return 1;

  ME_Model model;
  ParserSampleCounts counts;
  if (!collectParserSamples(templatePath, projectivePath, inverse, model, counts)) return 1;
  if (counts.samples == 0) {
    std::fprintf(stderr, "Error: %s yields no training action (no sentence of two or more tokens).\n",
                 trainPath.c_str());
    return 1;
  }
  model.filter_file_name = "NULL";
  model.label_count = model.labels.Size();
  model.make_feature_bag(cutoff);
  std::fprintf(stderr,
               "sentences=%d (%d left out) samples=%ld actions=%d feature names=%d features=%d (cutoff %d), %.1f s\n",
               counts.sentences, counts.underivable, counts.samples, model.label_count, model.feature_names.count,
               model.feature_bag.Size(), cutoff, secondsSince(start));
  if (model.feature_bag.Size() == 0) {
    std::fprintf(stderr, "Error: no feature reaches the cutoff %d.\n", cutoff);
    return 1;
  }

  ME_TrainReport report;
  if (!ME_trainWeights(model, train, &report)) return 1;
  std::fprintf(stderr, "training: %d iterations, %s, log-likelihood %.3f, %.1f s\n", report.iterations,
               report.message.c_str(), report.log_likelihood, secondsSince(start));
  model.training_samples.clear();
  model.training_samples.shrink_to_fit();
  if (!model.save_to_fileV2(modelPath)) return 1;
  std::fprintf(stderr, "wrote %s (%s driver%s)\n", modelPath.c_str(), inverse ? "rtl" : "ltr and repair",
               inverse ? "" : "s");
  return 0;
}
