#include "parsing/parser_training.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "maxent/estimator.h"
#include "parsing/dependency_info.h"
#include "parsing/dynamic_oracle.h"
#include "parsing/oracle.h"
#include "parsing/parser_kit_support.h"
#include "parsing/parser_scorer.h"
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

namespace {

// What one collection needs of the template file and the treebank.
struct SampleCollection {
  std::vector<_ftnind> templates;
  std::vector<int> templateOrder;
  bool predicateInfo = false;
};

bool openCollection(const std::string& templatePath, const std::string& inputPath, bool inverse,
                    SampleCollection& collection) {
  if (!parserKitReadable(templatePath) || !parserKitReadable(inputPath)) return false;
  int labelOrder = 0;
  std::string templateName = templatePath;
  if (readTemplateFile3(&templateName[0], collection.templates, collection.templateOrder, labelOrder) < 0) {
    std::fprintf(stderr, "Error: template file %s names a template twice.\n", templatePath.c_str());
    return false;
  }
  bool anyFeature = false;
  for (const _ftnind& t : collection.templates) anyFeature = anyFeature || (!t.name.empty() && t.name[0] == 'U');
  if (!anyFeature) {
    std::fprintf(stderr, "Error: template file %s holds no feature template (names beginning with U).\n",
                 templatePath.c_str());
    return false;
  }
  std::vector<int> flags;
  checkFTNodeInfo(collection.templates, flags);
  // The drivers read predicate information only when the templates can use it.
  collection.predicateInfo = inverse || (!flags.empty() && flags[0] > 0);
  return true;
}

// Calls sentence(rows, firstLine, gold) for every sentence of the file whose
// tree the static oracle can rebuild (the others are counted and left out);
// stops when it returns false. False after an "Error: ..." message.
template <class Sentence>
bool forEachTrainingSentence(const std::string& inputPath, bool inverse, ParserSampleCounts& counts,
                             Sentence sentence) {
  std::FILE* in = std::fopen(inputPath.c_str(), "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", inputPath.c_str());
    return false;
  }
  SentenceReader reader(in);
  TokenTable rows;
  int firstLine = 0;
  std::vector<_dppair> gold;
  std::vector<std::vector<_dppair>> unusedArguments;
  std::vector<int> unusedPredicates;
  std::vector<std::string> actions;
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
    ok = sentence(rows, firstLine, gold, actions);
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

void reportColumns(const std::string& inputPath, int firstLine, const TokenTable& rows,
                   const std::string& templatePath, const std::vector<_ftnind>& templates) {
  std::fprintf(stderr,
               "Error: %s line %d: the rows have %zu columns, but template file %s reads column %d (the last "
               "column is never read).\n",
               inputPath.c_str(), firstLine, rows[0].size(), templatePath.c_str(), widestColumn(templates));
}

void predicateInfoOf(TokenTable& rows, bool predicateInfo, std::vector<std::vector<_dppair>>& argumentLists,
                     std::vector<int>& predicateRows) {
  std::vector<_dppair> unusedArcs;
  if (predicateInfo) {
    loadExtraDPInfo(rows, 2, unusedArcs, argumentLists, predicateRows);
  } else {
    argumentLists.clear();
    predicateRows.clear();
  }
}

bool allowedBy(const ArcEagerCosts& costs, const std::string& label) { return costs.of(label) >= 0; }

}  // namespace

bool collectParserSamples(const std::string& templatePath, const std::string& inputPath, bool inverse,
                          ME_Model& model, ParserSampleCounts& counts) {
  counts = ParserSampleCounts();
  SampleCollection collection;
  if (!openCollection(templatePath, inputPath, inverse, collection)) return false;
  std::vector<_dppair> arcs;
  std::vector<std::vector<_dppair>> argumentLists;
  std::vector<int> predicateRows, stack;
  std::vector<_hisstruc> history;
  ME_Sample sample;
  _dppair unattached;
  unattached.head = kNoHeadYet;
  unattached.dprel = "_x";
  return forEachTrainingSentence(inputPath, inverse, counts, [&](TokenTable& rows, int firstLine,
                                                                  const std::vector<_dppair>&,
                                                                  std::vector<std::string>& actions) {
    predicateInfoOf(rows, collection.predicateInfo, argumentLists, predicateRows);
    const int n = static_cast<int>(rows.size());
    arcs.assign(rows.size(), unattached);
    history.clear();
    stack.assign(1, inverse ? n - 1 : 0);
    int next = inverse ? n - 2 : 1;
    for (std::string& action : actions) {
      const int r = inverse ? NivreSampleGenExtInverse(action, sample, model, collection.templates,
                                                       collection.templateOrder, rows, stack, next, arcs,
                                                       argumentLists, predicateRows, history)
                            : NivreSampleGenExt(action, sample, model, collection.templates, collection.templateOrder,
                                                rows, stack, next, arcs, argumentLists, predicateRows, history);
      if (r < 0) {
        reportColumns(inputPath, firstLine, rows, templatePath, collection.templates);
        return false;
      }
      ++counts.samples;
    }
    return true;
  });
}

bool collectDynamicParserSamples(const std::string& templatePath, const std::string& inputPath, bool inverse,
                                 const ME_Model& explorer, const DynamicOracleOptions& options, ME_Model& model,
                                 ParserSampleCounts& counts) {
  counts = ParserSampleCounts();
  SampleCollection collection;
  if (!openCollection(templatePath, inputPath, inverse, collection)) return false;
  ParserScorer scorer(explorer);
  std::vector<std::string> tags;
  for (int id = 0; id < explorer.num_classes(); ++id) tags.push_back(explorer.get_class_label(id));
  std::mt19937 rng(options.seed);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<_dppair> arcs, noArcs;
  std::vector<std::vector<_dppair>> argumentLists;
  std::vector<int> predicateRows, stack;
  std::vector<_hisstruc> history;
  std::vector<double> probs;
  ME_Sample sample;
  _dppair unattached;
  unattached.head = kNoHeadYet;
  unattached.dprel = "_x";
  return forEachTrainingSentence(inputPath, inverse, counts, [&](TokenTable& rows, int firstLine,
                                                                  const std::vector<_dppair>& gold,
                                                                  std::vector<std::string>&) {
    predicateInfoOf(rows, collection.predicateInfo, argumentLists, predicateRows);
    const int n = static_cast<int>(rows.size());
    arcs.assign(rows.size(), unattached);
    history.clear();
    stack.assign(1, inverse ? n - 1 : 0);
    int next = inverse ? n - 2 : 1;
    while ((inverse ? next >= 0 : next < n) && checkDPCounter(arcs) < n - 1) {
      if (parserStateFeatures(sample, collection.templates, collection.templateOrder, rows, stack, next, arcs,
                              argumentLists, predicateRows, noArcs, true) < 0) {
        reportColumns(inputPath, firstLine, rows, templatePath, collection.templates);
        return false;
      }
      scorer.classify(sample, probs);
      const ArcEagerCosts costs = arcEagerCosts(gold, arcs, stack, next, inverse);
      const int least = costs.least();
      if (least < 0) break;  // cannot happen while input is left: a shift is always allowed

      // The sample's label: among the actions that lose nothing more, the
      // one the explorer finds most probable (it learnt the static oracle,
      // so on the gold path that is the static oracle's choice, and after a
      // mistake the choice a parser of its kind would make); on a tie the
      // static oracle's order. An arc that is not in the gold tree takes the
      // explorer's favourite relation (its arc is lost either way).
      std::string target;
      double targetProbability = -1.0;
      auto probabilityOf = [&](const std::string& label) {
        const int id = explorer.get_class_id(label);
        return id >= 0 && static_cast<size_t>(id) < probs.size() ? probs[static_cast<size_t>(id)] : 0.0;
      };
      auto offer = [&](const std::string& label) {
        if (label.empty() || costs.of(label) != least) return;
        const double p = probabilityOf(label);
        if (p > targetProbability) {
          target = label;
          targetProbability = p;
        }
      };
      for (char code : {'2', '3'}) {
        const std::string& relation = code == '2' ? costs.leftRelation : costs.rightRelation;
        if (!relation.empty()) offer(std::string(1, code) + ":" + relation);
      }
      offer("1");
      offer("0");
      for (char code : {'2', '3'}) {
        if (!(code == '2' ? costs.leftRelation : costs.rightRelation).empty()) continue;
        std::string favourite;
        double best = -1.0;
        for (size_t id = 0; id < tags.size() && id < probs.size(); ++id)
          if (!tags[id].empty() && tags[id][0] == code && probs[id] > best) {
            best = probs[id];
            favourite = tags[id];
          }
        offer(favourite);
      }
      if (target.empty()) break;
      sample.label_str = target;
      model.add_training_sample(sample);
      ++counts.samples;

      // The next state: the explorer's own best allowed action, or, now and
      // then, one drawn from its distribution, so that training also sees
      // the states after plausible mistakes.
      std::string follow;
      if (options.explore > 0 && uniform(rng) < options.explore) {
        double total = 0.0;
        for (size_t id = 0; id < tags.size() && id < probs.size(); ++id)
          if (allowedBy(costs, tags[id])) total += probs[id];
        double pick = uniform(rng) * total;
        for (size_t id = 0; id < tags.size() && id < probs.size(); ++id) {
          if (!allowedBy(costs, tags[id])) continue;
          follow = tags[id];
          pick -= probs[id];
          if (pick <= 0) break;
        }
      } else {
        double best = -1.0;
        for (size_t id = 0; id < tags.size() && id < probs.size(); ++id)
          if (allowedBy(costs, tags[id]) && probs[id] > best) {
            best = probs[id];
            follow = tags[id];
          }
      }
      if (follow.empty()) follow = target;
      if (inverse)
        classDPNivreInverse(follow, arcs, stack, next, history);
      else
        classDPNivre(follow, arcs, stack, next, history);
    }
    return true;
  });
}

namespace {


}  // namespace

namespace {

// Feature bag and weights of a model whose samples are collected.
bool estimate(ME_Model& model, const ParserTrainingOptions& options, const ME_TrainOptions& estimator,
              ParserTrainingReport& report, std::chrono::steady_clock::time_point start) {
  model.filter_file_name = "NULL";
  model.label_count = model.labels.Size();
  model.make_feature_bag(options.cutoff);
  report.collectSeconds = secondsSince(start);
  if (options.onSamples) options.onSamples(model, report);
  if (model.feature_bag.Size() == 0) {
    std::fprintf(stderr, "Error: no feature reaches the cutoff %d.\n", options.cutoff);
    return false;
  }
  if (!ME_trainWeights(model, estimator, &report.estimator)) return false;
  model.training_samples.clear();
  model.training_samples.shrink_to_fit();
  return true;
}

bool noActions(const std::string& treebankPath) {
  std::fprintf(stderr, "Error: %s yields no training action (no sentence of two or more tokens).\n",
               treebankPath.c_str());
  return false;
}

// Cuts a projective file into consecutive parts of about equal numbers of
// sentences: held[k] holds part k, rest[k] all the others.
bool splitIntoFolds(const std::string& path, int folds, std::vector<std::unique_ptr<ParserKitTempFile>>& held,
                    std::vector<std::unique_ptr<ParserKitTempFile>>& rest) {
  long sentences = 0;
  for (int pass = 0; pass < 2; ++pass) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
      std::fprintf(stderr, "Error: open file %s for reading.\n", path.c_str());
      return false;
    }
    std::vector<std::FILE*> heldOut, restOut;
    bool ok = true;
    if (pass == 1) {
      for (int k = 0; k < folds && ok; ++k) {
        held.emplace_back(new ParserKitTempFile("korvane-fold"));
        rest.emplace_back(new ParserKitTempFile("korvane-rest"));
        ok = held.back()->ok() && rest.back()->ok();
        if (!ok) break;
        heldOut.push_back(std::fopen(held.back()->path().c_str(), "wb"));
        restOut.push_back(std::fopen(rest.back()->path().c_str(), "wb"));
        ok = heldOut.back() != nullptr && restOut.back() != nullptr;
      }
    }
    SentenceReader reader(in);
    TokenTable rows;
    int firstLine = 0;
    long index = 0;
    const long per = (sentences + folds - 1) / (folds > 0 ? folds : 1);
    while (ok && reader.next(rows, firstLine)) {
      if (pass == 0) {
        ++sentences;
        continue;
      }
      const int part = per > 0 ? static_cast<int>(index / per) : 0;
      ++index;
      for (int k = 0; k < folds; ++k) {
        std::FILE* out = k == part ? heldOut[static_cast<size_t>(k)] : restOut[static_cast<size_t>(k)];
        for (const std::vector<std::string>& row : rows) {
          for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0) std::fputc(' ', out);
            std::fwrite(row[c].data(), 1, row[c].size(), out);
          }
          std::fputc('\n', out);
        }
        std::fputc('\n', out);
      }
    }
    std::fclose(in);
    for (std::FILE* f : heldOut)
      if (f != nullptr && std::fclose(f) != 0) ok = false;
    for (std::FILE* f : restOut)
      if (f != nullptr && std::fclose(f) != 0) ok = false;
    if (!ok) {
      std::fprintf(stderr, "Error: cannot write the parts of %s.\n", path.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

bool trainParserModel(const std::string& treebankPath, const ParserTrainingOptions& options, ME_Model& model,
                      ParserTrainingReport& report) {
  report = ParserTrainingReport();
  const auto start = std::chrono::steady_clock::now();
  ParserKitTempFile projective("korvane-projective");
  if (!projective.ok()) return false;
  std::string projectivePath = projective.path(), treebank = treebankPath;
  ProjectiveGenCounts projectiveCounts;
  if (ProjectiveGen(&treebank[0], &projectivePath[0], &projectiveCounts, options.markLifted > 0) != 1) return false;
  ParserKitTempFile frequent("korvane-marked");
  if (options.markLifted > 0) {
    std::string frequentPath = frequent.path();
    if (!frequent.ok() || keepFrequentMarkers(&projectivePath[0], &frequentPath[0], options.markLifted) != 1)
      return false;
    projectivePath = frequentPath;
    report.markedArcs = projectiveCounts.markedArcs;
  }

  if (!options.dynamicOracle) {
    if (!collectParserSamples(options.templatePath, projectivePath, options.inverse, model, report.counts))
      return false;
    if (report.counts.samples == 0) return noActions(treebankPath);
    if (!estimate(model, options, options.estimator, report, start)) return false;
    report.seconds = secondsSince(start);
    return true;
  }

  // Dynamic oracle: each part of the treebank is parsed by an explorer that
  // was trained on the other parts (with one part, on all of it), so that
  // the explorer makes the kind of mistakes it makes on new text.
  const int folds = options.explorerFolds > 1 ? options.explorerFolds : 1;
  std::vector<std::unique_ptr<ParserKitTempFile>> held, rest;
  if (folds > 1 && !splitIntoFolds(projectivePath, folds, held, rest)) return false;
  ME_TrainOptions explorerEstimator = options.estimator;
  explorerEstimator.max_iterations = options.explorerIterations;
  ParserSampleCounts dynamicCounts;
  for (int k = 0; k < folds; ++k) {
    const std::string trainPart = folds > 1 ? rest[static_cast<size_t>(k)]->path() : projectivePath;
    const std::string parsePart = folds > 1 ? held[static_cast<size_t>(k)]->path() : projectivePath;
    if (options.onPhase) {
      const std::string phase = "explorer " + std::to_string(k + 1) + "/" + std::to_string(folds) + " (static oracle)";
      options.onPhase(phase.c_str());
    }
    ME_Model explorer;
    if (!collectParserSamples(options.templatePath, trainPart, options.inverse, explorer, report.counts)) return false;
    if (report.counts.samples == 0) return noActions(treebankPath);
    if (!estimate(explorer, options, explorerEstimator, report, start)) return false;
    if (options.onPhase) {
      const std::string phase = "dynamic oracle " + std::to_string(k + 1) + "/" + std::to_string(folds);
      options.onPhase(phase.c_str());
    }
    ParserSampleCounts partCounts;
    if (!collectDynamicParserSamples(options.templatePath, parsePart, options.inverse, explorer, options.dynamic,
                                     model, partCounts))
      return false;
    dynamicCounts.sentences += partCounts.sentences;
    dynamicCounts.underivable += partCounts.underivable;
    dynamicCounts.samples += partCounts.samples;
  }
  if (options.keepStatic) {
    if (options.onPhase) options.onPhase("static oracle");
    ParserSampleCounts staticCounts;
    if (!collectParserSamples(options.templatePath, projectivePath, options.inverse, model, staticCounts))
      return false;
    dynamicCounts.samples += staticCounts.samples;
  }
  report.counts = dynamicCounts;
  if (!estimate(model, options, options.estimator, report, start)) return false;
  report.seconds = secondsSince(start);
  return true;
}
