#include "app/kit_training.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/kit_args.h"
#include "app/tagging_run.h"
#include "decoding/label_training.h"
#include "decoding/fast_labeling.h"
#include "decoding/labeling.h"
#include "features/wordnet_lexicon.h"
#include "labels/tag_dictionary.h"
#include "maxent/estimator.h"
#include "maxent/me_model.h"
#include "templates/builtin_templates.h"
#include "templates/template_reader.h"
#include "text/line_utils.h"

#ifndef KORVANE_MODELS_DIR
#define KORVANE_MODELS_DIR "models"
#endif

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool readable(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

std::string lowered(std::string s) { return lowcaseIt(std::move(s)); }

const CRFPP::Option kTrainOptions[] = {
    {"help", 'h', nullptr, nullptr, "show this help and exit"},
    {"language", 'l', nullptr, "LANG", "english or chinese: use its shipped template file"},
    {"template", 't', nullptr, "FILE", "template file (instead of --language)"},
    {"cutoff", 'c', "1", "N", "keep features seen at least N times (default 1)"},
    {"penalty", 'p', "l2", "KIND", "l2, l1 or none (default l2)"},
    {"strength", 's', "1.0", "C", "penalty strength (default 1.0)"},
    {"iterations", 'i', "300", "N", "most optimiser iterations (default 300)"},
    {"threads", 'j', "2", "N", "threads for the gradient (default 2)"},
    {"heldout", 'd', nullptr, "FILE", "tagged file to report held-out accuracy on"},
    {"patience", 'P', "0", "N", "stop after N iterations without held-out gain (default 0: off)"},
    {nullptr, 0, nullptr, nullptr, nullptr}};
const char kTrainSynopsis[] = "train [options] TRAIN MODEL [DICT]";

// Id-form held-out instances from a tagged file; instances whose gold label
// the model does not know cannot be scored and are left out.
int collectHeldout(char* templatePath, char* path, ME_Model& model) {
  model.heldout_samples.clear();
  int left = 0;
  FeatureGenLabelTrainSamples(templatePath, path, false, [&](const ME_Sample& s) {
    ME_Model::Sample h;
    h.label_id = model.labels.Id(s.label_str);
    if (h.label_id < 0) {
      ++left;
      return;
    }
    for (const std::string& f : s.feature_strs) {
      int id = model.feature_names.Id(f);
      if (id >= 0) h.feature_ids.push_back(id);
    }
    model.heldout_samples.push_back(std::move(h));
  });
  return left;
}

// Drops the pairs whose weight the model file would print as 0.000000: they
// read back as 0 and add nothing to any score, so tagging is unchanged.
int pruneZeroWeights(ME_Model& model) {
  ME_Model::ME_FeatureBag kept;
  std::vector<double> weights;
  for (int i = 0; i < model.feature_bag.Size(); ++i) {
    if (std::fabs(model.weights[i]) < 0.0000005) continue;
    kept.Put(model.feature_bag.keys[i]);
    weights.push_back(model.weights[i]);
  }
  const int dropped = model.feature_bag.Size() - kept.Size();
  model.feature_bag = std::move(kept);
  model.weights = std::move(weights);
  model.init_feature2mef();
  return dropped;
}

}  // namespace

std::string kitTemplateFor(const std::string& language) {
  const std::string name = lowered(language) + ".template";
  for (const std::string& dir : {std::string("models/"), std::string(KORVANE_MODELS_DIR) + "/"}) {
    if (readable(dir + name)) return dir + name;
  }
  return "";
}

int kitTrain(int argc, char** argv) {
  KitArgs args;
  int status = kitParseArgs(argc, argv, kTrainOptions, kTrainSynopsis, 2, 3, args);
  if (status >= 0) return status;

  std::string templatePath = args.param.get<std::string>("template");
  const std::string language = args.param.get<std::string>("language");
  if (templatePath.empty() == language.empty()) {
    std::fprintf(stderr, "Error: give either --language or --template.\n");
    kitUsage(args, kTrainSynopsis);
    return 2;
  }
  if (templatePath.empty()) {
    templatePath = kitTemplateFor(language);
    if (templatePath.empty()) {
      std::fprintf(stderr, "Error: no template file for language %s.\n", language.c_str());
      return 1;
    }
  }
  int cutoff = 1, iterations = 300, threads = 2, patience = 0;
  double strength = 1.0;
  if (!kitInt(args, "cutoff", 0, 1000000, cutoff) || !kitInt(args, "iterations", 0, 100000, iterations) ||
      !kitInt(args, "threads", 1, 256, threads) || !kitInt(args, "patience", 0, 100000, patience) ||
      !kitDouble(args, "strength", 0.0, 1e12, strength)) {
    kitUsage(args, kTrainSynopsis);
    return 2;
  }
  ME_TrainOptions options;
  const std::string penalty = lowered(args.param.get<std::string>("penalty"));
  if (penalty == "l2") {
    options.penalty = ME_Penalty::kL2;
  } else if (penalty == "l1") {
    options.penalty = ME_Penalty::kL1;
  } else if (penalty == "none") {
    options.penalty = ME_Penalty::kNone;
  } else {
    std::fprintf(stderr, "Error: --penalty takes l2, l1 or none, not '%s'.\n", penalty.c_str());
    kitUsage(args, kTrainSynopsis);
    return 2;
  }
  options.strength = strength;
  options.max_iterations = iterations;
  options.threads = threads;
  options.heldout_patience = patience;

  std::string trainPath = args.files[0], modelPath = args.files[1];
  std::string dictPath = args.files.size() > 2 ? args.files[2] : "";
  std::string heldoutPath = args.param.get<std::string>("heldout");
  for (const std::string* p : {&trainPath, &templatePath, &heldoutPath}) {
    if (!p->empty() && !readable(*p)) {
      std::fprintf(stderr, "Error: open file %s for reading.\n", p->c_str());
      return 1;
    }
  }

  // Refused before minutes of training: a set the taggers cannot decode, an
  // empty set, or one that repeats a name (the sample generator would then
  // use no template at all).
  {
    std::vector<_ftnind> templates;
    std::vector<int> templateOrder;
    int labelOrder = 0;
    if (!loadTemplateSet(templatePath, templates, templateOrder, labelOrder, 2)) return 1;
    if (!loadTemplateLexicons(templates, templatePath)) return 1;
  }

  const auto start = std::chrono::steady_clock::now();
  ME_Model model;
  if (FeatureGenLabelTrain(&templatePath[0], &trainPath[0], model, true) < 0) {
    std::fprintf(stderr, "Error: template file %s does not fit training file %s.\n", templatePath.c_str(),
                 trainPath.c_str());
    return 1;
  }
  if (model.training_samples.empty()) {
    std::fprintf(stderr, "Error: no training sentence in %s (sentences end with an empty line).\n",
                 trainPath.c_str());
    return 1;
  }
  model.filter_file_name = "NULL";
  model.label_count = model.labels.Size();
  model.make_feature_bag(cutoff);
  std::fprintf(stderr, "samples=%zu labels=%d feature names=%d features=%d (cutoff %d)\n",
               model.training_samples.size(), model.label_count, model.feature_names.count,
               model.feature_bag.Size(), cutoff);
  if (!heldoutPath.empty()) {
    int left = collectHeldout(&templatePath[0], &heldoutPath[0], model);
    std::fprintf(stderr, "held-out samples=%zu (%d with unknown tags left out)\n", model.heldout_samples.size(),
                 left);
  }

  ME_TrainReport report;
  if (!ME_trainWeights(model, options, &report)) return 1;
  std::fprintf(stderr, "training: %d iterations, %s, log-likelihood %.3f, %.1f s\n", report.iterations,
               report.message.c_str(), report.log_likelihood, secondsSince(start));

  const int dropped = pruneZeroWeights(model);
  std::fprintf(stderr, "features with a weight: %d (%d zero weights dropped)\n", model.feature_bag.Size(), dropped);
  // Only the weights are needed from here on.
  model.training_samples.clear();
  model.training_samples.shrink_to_fit();
  model.heldout_samples.clear();
  if (!model.save_to_fileV2(modelPath)) return 1;
  if (!dictPath.empty() && !buildCliqueLabelDict(&trainPath[0], &dictPath[0], 1)) return 1;
  std::fprintf(stderr, "wrote %s%s%s\n", modelPath.c_str(), dictPath.empty() ? "" : " and ", dictPath.c_str());
  return 0;
}

namespace {

const CRFPP::Option kEvaluateOptions[] = {
    {"help", 'h', nullptr, nullptr, "show this help and exit"},
    {"language", 'l', "english", "LANG", "english or chinese: templates and line cutting (default english)"},
    {"model", 'm', nullptr, "FILE", "model file (default <language>.model)"},
    {"dict", 'd', nullptr, "FILE", "tag dictionary (default <language>.dict)"},
    {"template", 't', nullptr, "FILE", "template file the model was trained with (default: the language's set)"},
    {nullptr, 0, nullptr, nullptr, nullptr}};
const char kEvaluateSynopsis[] = "evaluate [options] GOLD";

struct Tally {
  long tokens = 0, correct = 0, known = 0, knownCorrect = 0;
  double percent(long good, long all) const { return all > 0 ? 100.0 * good / all : 0.0; }
};

}  // namespace

int kitEvaluate(int argc, char** argv) {
  KitArgs args;
  int status = kitParseArgs(argc, argv, kEvaluateOptions, kEvaluateSynopsis, 1, 1, args);
  if (status >= 0) return status;
  const std::string language = lowered(args.param.get<std::string>("language"));
  if (language != "english" && language != "chinese") {
    std::fprintf(stderr, "Error: unknown language %s\n", language.c_str());
    return 2;
  }
  const bool english = language == "english";
  std::string modelPath = args.param.get<std::string>("model");
  std::string dictPath = args.param.get<std::string>("dict");
  if (modelPath.empty()) modelPath = language + ".model";
  if (dictPath.empty()) dictPath = language + ".dict";
  std::string goldPath = args.files[0];
  for (const std::string* p : {&goldPath, &modelPath, &dictPath}) {
    if (!readable(*p)) {
      std::fprintf(stderr, "Error: open file %s for reading.\n", p->c_str());
      return 1;
    }
  }

  const auto loadStart = std::chrono::steady_clock::now();
  ME_Model model;
  if (!model.load_from_fileV2(modelPath)) {
    std::fprintf(stderr, "Error: model file %s does not load.\n", modelPath.c_str());
    return 1;
  }
  CMiniStringBag wordBag;
  std::vector<CMiniStringBag> wordTagBags;
  LoadCliqueLabelDict(&dictPath[0], wordBag, wordTagBags);
  std::vector<std::string> tagList(model.labels.names.begin(), model.labels.names.end());
  std::vector<_ftnind> templates;
  std::vector<int> templateOrder;
  int labelOrder = 0;
  const std::string templatePath = args.param.get<std::string>("template");
  if (!templatePath.empty()) {
    if (!loadTemplateSet(templatePath, templates, templateOrder, labelOrder, 2)) return 1;
    if (!loadTemplateLexicons(templates, templatePath)) return 1;
  } else if (english) {
    getTemplateEnglishPoS(templates, templateOrder, labelOrder);
  } else {
    getTemplateChinesePoS(templates, templateOrder, labelOrder);
  }
  std::vector<CMiniStringBag> noLegalTable;
  // The tagger's own path: the fast labeller where it applies, else the reference.
  FastLabeler fast(model, templates, templateOrder, labelOrder, tagList, wordBag, wordTagBags, noLegalTable);
  const double loadSeconds = secondsSince(loadStart);

  std::FILE* in = std::fopen(goldPath.c_str(), "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", goldPath.c_str());
    return 1;
  }
  Tally tally;
  double tagSeconds = 0.0;
  std::vector<std::vector<std::string>> rows;
  std::string line;
  std::vector<std::string> fields, tags;

  // Tags one gold sentence the way the tagger tags a line: English whole,
  // Chinese cut after every cut mark.
  auto tagSentence = [&]() {
    size_t begin = 0;
    while (begin < rows.size()) {
      size_t end = begin;
      if (english) {
        end = rows.size();
      } else {
        while (end < rows.size() && !isChineseCutMark(rows[end][0])) ++end;
        end = end < rows.size() ? end + 1 : end;
      }
      TokenTable sequence;
      for (size_t i = begin; i < end; ++i) sequence.push_back({rows[i][0]});
      const auto t0 = std::chrono::steady_clock::now();
      if (fast.supported())
        fast.label(sequence, tags);
      else
        labelSeqIt(sequence, tagList, tags, labelOrder, wordBag, 1, wordTagBags, noLegalTable, templates,
                   templateOrder, model);
      tagSeconds += secondsSince(t0);
      for (size_t i = begin; i < end; ++i) {
        const bool good = i - begin < tags.size() && tags[i - begin] == rows[i].back();
        const bool known = wordBag.idByString.count(rows[i][0]) > 0;
        ++tally.tokens;
        tally.correct += good;
        tally.known += known;
        tally.knownCorrect += good && known;
      }
      begin = end;
    }
    rows.clear();
  };
  while (readLineWhole(in, line)) {
    readLine2VectorString(line, fields);
    if (fields.empty()) {
      tagSentence();
    } else {
      rows.push_back(fields);
    }
  }
  tagSentence();
  std::fclose(in);

  const long unknown = tally.tokens - tally.known;
  std::printf("tokens %ld  accuracy %.2f%%  known %ld (%.2f%%)  unknown %ld (%.2f%%)\n", tally.tokens,
              tally.percent(tally.correct, tally.tokens), tally.known,
              tally.percent(tally.knownCorrect, tally.known), unknown,
              tally.percent(tally.correct - tally.knownCorrect, unknown));
  std::printf("model load %.3f s  tagging %.0f tokens/s\n", loadSeconds,
              tagSeconds > 0 ? tally.tokens / tagSeconds : 0.0);
  return 0;
}
