#include "parsing/parser_training.h"

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

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int widestColumn(const std::vector<_ftnind>& templates) {
  int widest = -1;
  for (const _ftnind& t : templates)
    for (const _ft& item : t.items)
      if (item.column > widest) widest = item.column;
  return widest;
}

}  // namespace

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

bool trainParserModel(const std::string& treebankPath, const ParserTrainingOptions& options, ME_Model& model,
                      ParserTrainingReport& report) {
  report = ParserTrainingReport();
  const auto start = std::chrono::steady_clock::now();
  ParserKitTempFile projective("korvane-projective");
  if (!projective.ok()) return false;
  std::string projectivePath = projective.path(), treebank = treebankPath;
  if (ProjectiveGen(&treebank[0], &projectivePath[0]) != 1) return false;

  if (!collectParserSamples(options.templatePath, projectivePath, options.inverse, model, report.counts)) return false;
  if (report.counts.samples == 0) {
    std::fprintf(stderr, "Error: %s yields no training action (no sentence of two or more tokens).\n",
                 treebankPath.c_str());
    return false;
  }
  model.filter_file_name = "NULL";
  model.label_count = model.labels.Size();
  model.make_feature_bag(options.cutoff);
  report.collectSeconds = secondsSince(start);
  if (options.onSamples) options.onSamples(model, report);
  if (model.feature_bag.Size() == 0) {
    std::fprintf(stderr, "Error: no feature reaches the cutoff %d.\n", options.cutoff);
    return false;
  }
  if (!ME_trainWeights(model, options.estimator, &report.estimator)) return false;
  model.training_samples.clear();
  model.training_samples.shrink_to_fit();
  report.seconds = secondsSince(start);
  return true;
}
