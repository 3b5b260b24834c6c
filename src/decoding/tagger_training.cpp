#include "decoding/tagger_training.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "decoding/label_training.h"
#include "features/lexicons.h"
#include "templates/template_reader.h"

namespace {

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

bool collectTaggerSamples(const std::string& templatePath, const std::string& trainPath,
                          const std::string& heldoutPath, int cutoff, ME_Model& model, TaggerSampleCounts& counts) {
  counts = TaggerSampleCounts();
  {
    std::vector<_ftnind> templates;
    std::vector<int> templateOrder;
    int labelOrder = 0;
    if (!loadTemplateSet(templatePath, templates, templateOrder, labelOrder, 2)) return false;
    if (!loadTemplateLexicons(templates, templatePath)) return false;
  }
  std::string templateName = templatePath, trainName = trainPath, heldoutName = heldoutPath;
  if (FeatureGenLabelTrain(&templateName[0], &trainName[0], model, true) < 0) {
    std::fprintf(stderr, "Error: template file %s does not fit training file %s.\n", templatePath.c_str(),
                 trainPath.c_str());
    return false;
  }
  if (model.training_samples.empty()) {
    std::fprintf(stderr, "Error: no training sentence in %s (sentences end with an empty line).\n",
                 trainPath.c_str());
    return false;
  }
  counts.samples = model.training_samples.size();
  model.filter_file_name = "NULL";
  model.label_count = model.labels.Size();
  model.make_feature_bag(cutoff);
  if (!heldoutPath.empty()) {
    counts.heldoutLeftOut = collectHeldout(&templateName[0], &heldoutName[0], model);
    counts.heldoutSamples = model.heldout_samples.size();
  }
  return true;
}

bool estimateTaggerWeights(ME_Model& model, const ME_TrainOptions& options, ME_TrainReport& report, int& dropped) {
  if (!ME_trainWeights(model, options, &report)) return false;
  dropped = pruneZeroWeights(model);
  // Only the weights are needed from here on.
  model.training_samples.clear();
  model.training_samples.shrink_to_fit();
  model.heldout_samples.clear();
  return true;
}
