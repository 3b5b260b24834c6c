#include "parsing/parser_training.h"

#include <unistd.h>

#include <chrono>
#include <map>
#include <random>
#include <cstdio>
#include <string>
#include <vector>

#include "maxent/estimator.h"
#include "parsing/dependency_info.h"
#include "parsing/dynamic_oracle.h"
#include "parsing/oracle.h"
#include "parsing/parser_scorer.h"
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
    "  -j, --threads N       threads for the gradient (default 2)\n"
    "      --oracle KIND     static: learn the actions that rebuild each gold tree\n"
    "                        (default); dynamic: first train an explorer model that\n"
    "                        way, then parse TRAIN with it and learn, in every state\n"
    "                        it reaches, the action that keeps the best tree reachable\n"
    "      --explore P       dynamic: probability of drawing the explorer's next\n"
    "                        action from its distribution (default 0.1)\n"
    "      --explorer-iterations N  optimiser iterations of the explorer (default 50)\n"
    "      --mark-lifted N   mark the arcs projectivizing lifts in their relations\n"
    "                        (relation|R on the lifted token, |R on its original\n"
    "                        head, R that head's relation) wherever the marked\n"
    "                        relation occurs at least N times, so that the model\n"
    "                        learns them and parse -e puts the arcs back (default 0:\n"
    "                        no marks)\n";

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
      // one the explorer likes best; on a tie the static oracle's order
      // (left arc, right arc, reduce, shift). An arc whose gold relation is
      // known carries it; other arcs lose their arc anyway, and take the
      // explorer's favourite relation.
      std::string target;
      double targetProbability = -1.0;
      auto offer = [&](const std::string& label) {
        if (costs.of(label) != least) return;
        const int id = explorer.get_class_id(label);
        const double p = id >= 0 && static_cast<size_t>(id) < probs.size() ? probs[static_cast<size_t>(id)] : 0.0;
        if (p > targetProbability) {
          target = label;
          targetProbability = p;
        }
      };
      for (char code : {'2', '3'}) {
        const std::string& relation = code == '2' ? costs.leftRelation : costs.rightRelation;
        if (!relation.empty()) {
          offer(std::string(1, code) + ":" + relation);
        } else {
          std::string favourite;
          double best = -1.0;
          for (size_t id = 0; id < tags.size() && id < probs.size(); ++id)
            if (!tags[id].empty() && tags[id][0] == code && probs[id] > best) {
              best = probs[id];
              favourite = tags[id];
            }
          if (!favourite.empty()) offer(favourite);
        }
      }
      offer("1");
      offer("0");
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

// Rewrites a projectivized file whose lifted arcs are marked, keeping only the
// markers whose marked relations occur at least minCount times in it; the
// others are taken off both the lifted token and its head. False after an
// "Error: ..." message.
bool keepFrequentMarkers(const std::string& inputPath, const std::string& outputPath, int minCount) {
  std::map<std::string, long> counts;
  for (int pass = 0; pass < 2; ++pass) {
    std::FILE* in = std::fopen(inputPath.c_str(), "rb");
    std::FILE* out = pass == 1 ? std::fopen(outputPath.c_str(), "wb") : nullptr;
    if (in == nullptr || (pass == 1 && out == nullptr)) {
      std::fprintf(stderr, "Error: open file %s.\n", in == nullptr ? inputPath.c_str() : outputPath.c_str());
      if (in != nullptr) std::fclose(in);
      return false;
    }
    SentenceReader reader(in);
    TokenTable rows;
    int firstLine = 0;
    std::vector<_dppair> tree;
    std::vector<std::vector<_dppair>> unusedArguments;
    std::vector<int> unusedPredicates;
    while (reader.next(rows, firstLine)) {
      loadExtraDPInfo(rows, 1, tree, unusedArguments, unusedPredicates);
      if (pass == 0) {
        for (const _dppair& a : tree)
          if (a.dprel.find('|') != std::string::npos) ++counts[a.dprel];
        continue;
      }
      // Markers of the sentence that the lifted tokens and the heads both keep.
      std::map<std::string, int> lifted, heads;
      for (const _dppair& a : tree) {
        const size_t bar = a.dprel.find('|');
        if (bar == std::string::npos || counts[a.dprel] < minCount) continue;
        ++(bar == 0 ? heads : lifted)[a.dprel.substr(bar)];
      }
      for (size_t k = 0; k < tree.size(); ++k) {
        std::string& label = tree[k].dprel;
        const size_t bar = label.find('|');
        if (bar == std::string::npos) continue;
        const std::string marker = label.substr(bar);
        if (lifted.count(marker) > 0 && heads.count(marker) > 0 && counts[label] >= minCount) continue;
        label = bar == 0 ? label.substr(1) : label.substr(0, bar);
      }
      for (size_t k = 0; k < rows.size(); ++k) writeProjectiveRow(out, rows[k], tree[k].head, tree[k].dprel);
      std::fputc('\n', out);
    }
    const bool readFailed = std::ferror(in) != 0;
    std::fclose(in);
    const bool writeFailed = out != nullptr && (std::ferror(out) != 0 || std::fclose(out) != 0);
    if (readFailed || writeFailed) {
      std::fprintf(stderr, "Error: %s %s.\n", readFailed ? "read" : "write",
                   readFailed ? inputPath.c_str() : outputPath.c_str());
      return false;
    }
  }
  return true;
}

// Feature bag and weights of a model whose samples are collected.
bool estimateParserModel(ME_Model& model, const ParserSampleCounts& counts, int cutoff, const ME_TrainOptions& train,
                         std::chrono::steady_clock::time_point start) {
  model.filter_file_name = "NULL";
  model.label_count = model.labels.Size();
  model.make_feature_bag(cutoff);
  std::fprintf(stderr,
               "sentences=%d (%d left out) samples=%ld actions=%d feature names=%d features=%d (cutoff %d), %.1f s\n",
               counts.sentences, counts.underivable, counts.samples, model.label_count, model.feature_names.count,
               model.feature_bag.Size(), cutoff, secondsSince(start));
  if (model.feature_bag.Size() == 0) {
    std::fprintf(stderr, "Error: no feature reaches the cutoff %d.\n", cutoff);
    return false;
  }
  ME_TrainReport report;
  if (!ME_trainWeights(model, train, &report)) return false;
  std::fprintf(stderr, "training: %d iterations, %s, log-likelihood %.3f, %.1f s\n", report.iterations,
               report.message.c_str(), report.log_likelihood, secondsSince(start));
  return true;
}

}  // namespace

int kitTrainParser(int argc, char** argv) {
  std::map<std::string, std::string> values;
  std::vector<std::string> files;
  const std::vector<ParserKitOption> options = {
      {"-t", "--template", nullptr}, {"-d", "--direction", "ltr"}, {"-c", "--cutoff", "2"},
      {"-p", "--penalty", "l2"},     {"-s", "--strength", "1.0"}, {"-i", "--iterations", "300"},
      {"-j", "--threads", "2"},      {"--oracle", "--oracle", "static"}, {"--explore", "--explore", "0.1"},
      {"--explorer-iterations", "--explorer-iterations", "50"}, {"--mark-lifted", "--mark-lifted", "0"}};
  const int status = readParserKitArgs(argc, argv, options, kTrainUsage, 2, 2, values, files);
  if (status >= 0) return status;

  ME_TrainOptions train;
  int cutoff = 2, explorerIterations = 50, markLifted = 0;
  double explore = 0.1;
  if (!parserKitInt(values, "--cutoff", 0, 1000000, cutoff) ||
      !parserKitInt(values, "--iterations", 1, 100000, train.max_iterations) ||
      !parserKitInt(values, "--threads", 1, 256, train.threads) ||
      !parserKitDouble(values, "--strength", 0.0, 1e12, train.strength) ||
      !parserKitInt(values, "--explorer-iterations", 1, 100000, explorerIterations) ||
      !parserKitInt(values, "--mark-lifted", 0, 1000000000, markLifted) ||
      !parserKitDouble(values, "--explore", 0.0, 1.0, explore)) {
    std::fputs(kTrainUsage, stderr);
    return 2;
  }
  const std::string oracle = values["--oracle"];
  if (oracle != "static" && oracle != "dynamic") {
    std::fprintf(stderr, "Error: --oracle takes static or dynamic, not '%s'.\n", oracle.c_str());
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
  ProjectiveGenCounts projectiveCounts;
  if (ProjectiveGen(&trainPath[0], &projectivePath[0], &projectiveCounts, markLifted > 0) != 1) return 1;
  ParserKitTempFile frequent("korvane-marked");
  if (markLifted > 0) {
    if (!frequent.ok() || !keepFrequentMarkers(projectivePath, frequent.path(), markLifted)) return 1;
    projectivePath = frequent.path();
  }

  ME_Model model;
  ParserSampleCounts counts;
  if (!collectParserSamples(templatePath, projectivePath, inverse, model, counts)) return 1;
  if (counts.samples == 0) {
    std::fprintf(stderr, "Error: %s yields no training action (no sentence of two or more tokens).\n",
                 trainPath.c_str());
    return 1;
  }
  if (oracle == "dynamic") {
    ME_TrainOptions first = train;
    first.max_iterations = explorerIterations;
    std::fprintf(stderr, "explorer (static oracle):\n");
    if (!estimateParserModel(model, counts, cutoff, first, start)) return 1;
    model.training_samples.clear();
    model.training_samples.shrink_to_fit();
    ME_Model dynamic;
    DynamicOracleOptions dynamicOptions;
    dynamicOptions.explore = explore;
    if (!collectDynamicParserSamples(templatePath, projectivePath, inverse, model, dynamicOptions, dynamic, counts))
      return 1;
    std::fprintf(stderr, "dynamic oracle, %.1f s:\n", secondsSince(start));
    if (!estimateParserModel(dynamic, counts, cutoff, train, start)) return 1;
    dynamic.training_samples.clear();
    dynamic.training_samples.shrink_to_fit();
    if (!dynamic.save_to_fileV2(modelPath)) return 1;
  } else {
    if (!estimateParserModel(model, counts, cutoff, train, start)) return 1;
    model.training_samples.clear();
    model.training_samples.shrink_to_fit();
    if (!model.save_to_fileV2(modelPath)) return 1;
  }
  std::fprintf(stderr, "wrote %s (%s driver%s)\n", modelPath.c_str(), inverse ? "rtl" : "ltr and repair",
               inverse ? "" : "s");
  return 0;
}
