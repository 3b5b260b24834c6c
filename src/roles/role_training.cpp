#include "roles/role_training.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "features/predicate_dictionary.h"
#include "parsing/parsing_drivers.h"
#include "roles/role_columns.h"
#include "roles/role_tasks.h"
#include "templates/template_reader.h"

namespace roles {

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool readable(const std::string& path, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "Error: cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::fclose(f);
  return true;
}

bool loadTemplates(const std::string& path, SrlModel& m, std::string& error) {
  if (!readable(path, error)) return false;
  std::string name = path;
  if (readTemplateFile3(&name[0], m.templates, m.templateOrder, m.labelOrder) < 0) {
    error = "Error: template file " + path + " names a template twice.";
    return false;
  }
  bool anyFeature = false;
  for (const _ftnind& t : m.templates) {
    anyFeature = anyFeature || (!t.name.empty() && t.name[0] == 'U');
    for (const _ft& item : t.items) {
      if (item.type != 0 && (item.column < 0 || item.column >= static_cast<int>(kDriverColumns))) {
        error = "Error: template file " + path + ": template " + t.name + " reads column " +
                std::to_string(item.column) + "; role rows have columns 0 to " + std::to_string(kDriverColumns - 1) +
                ".";
        return false;
      }
    }
  }
  if (!anyFeature) {
    error = "Error: template file " + path + " holds no feature template (names beginning with U).";
    return false;
  }
  return true;
}

bool loadDictionary(const std::string& path, int nominal, std::string& error) {
  if (path.empty()) {
    (nominal ? _dicNom : _dicProp).clear();
    return true;
  }
  if (!readable(path, error)) return false;
  loadBank(path.c_str(), nominal);
  return true;
}

}  // namespace

bool collectRoleSamples(const TrainSettings& settings, ME_Model& model, TrainCounts& counts, std::string& error) {
  counts = TrainCounts();
  const auto start = std::chrono::steady_clock::now();
  SrlModel m;
  if (!loadTemplates(settings.templatePath, m, error)) return false;
  if (!loadDictionary(settings.propbank, 0, error) || !loadDictionary(settings.nombank, 1, error)) return false;
  if (!readable(settings.trainPath, error)) return false;
  _trainFlag = false;

  const std::string shown = settings.trainName.empty() ? settings.trainPath : settings.trainName;
  const bool finds = findsPredicates(settings.driver);
  SrlSentence state;
  GoldRoles gold;
  std::vector<std::pair<std::string, std::vector<std::string>>> pending;
  ME_Sample sample;
  auto sink = [&pending](const std::string& answer, const ME_Sample& question) {
    pending.emplace_back(answer, question.feature_strs);
  };
  auto add = [&](conllu::Sentence& s, RoleAnnotation& a, std::string& err) {
    ++counts.sentences;
    if (!settings.quiet && counts.sentences % 500 == 0)
      std::fprintf(stderr, "#seq=%ld,#sample=%ld\r", counts.sentences, counts.samples);
    if (s.words.empty()) return true;
    if (!checkRolesets(s, a, shown, err)) return false;
    driverRows(s, finds ? std::vector<int>() : a.predicates, state.rows);
    gold.predicates = a.predicates;
    gold.roles = a.roles;
    pending.clear();
    bool reached = false;
    if (!goldQuestions(m, settings.driver, state, gold, sink, reached)) {
      err = "Error: " + shown + " line " + std::to_string(s.firstLine) +
            ": the templates read a column the rows lack";
      return false;
    }
    if (settings.driver == Driver::kNivre && !reached) {
      ++counts.unreached;
      return true;
    }
    counts.predicates += static_cast<long>(a.predicates.size());
    for (auto& q : pending) {
      sample.label_str = q.first;
      sample.feature_strs = std::move(q.second);
      model.add_training_sample(sample);
      ++counts.samples;
    }
    return true;
  };
  const bool ok = forEachAnnotated(settings.trainPath, shown, add, error);
  counts.sampleSeconds = secondsSince(start);
  if (!settings.quiet)
    std::fprintf(stderr, "#seq=%ld,#sample=%ld\n", counts.sentences, counts.samples);
  return ok;
}

bool trainRoleModel(const TrainSettings& settings, ME_Model& model, TrainCounts& counts, std::string& error) {
  if (!collectRoleSamples(settings, model, counts, error)) return false;
  if (counts.samples == 0) {
    error = "Error: " + (settings.trainName.empty() ? settings.trainPath : settings.trainName) +
            " yields no training question (no predicate in a sentence of two or "
            "more words).";
    return false;
  }
  const auto start = std::chrono::steady_clock::now();
  model.filter_file_name = "NULL";
  model.label_count = model.labels.Size();
  model.make_feature_bag(settings.cutoff);
  if (!settings.quiet)
    std::fprintf(stderr, "samples=%ld labels=%d feature names=%d features=%d (cutoff %d)\n", counts.samples,
                 model.label_count, model.feature_names.count, model.feature_bag.Size(), settings.cutoff);
  if (model.feature_bag.Size() == 0) {
    error = "Error: no feature reaches the cutoff " + std::to_string(settings.cutoff) + ".";
    return false;
  }
  ME_TrainOptions options = settings.options;
  if (settings.quiet) options.progress = nullptr;
  if (!ME_trainWeights(model, options, &counts.report)) return false;
  counts.trainSeconds = secondsSince(start);
  model.training_samples.clear();
  model.training_samples.shrink_to_fit();
  return true;
}

}  // namespace roles
