#include "decoding/label_training.h"

#include <cstdio>

#include "features/feature_generator.h"
#include "templates/template_reader.h"
#include "text/line_utils.h"

namespace {

const int32_t kLabelItem = 0;

// Field `index` of a row; rows are expected to share one width, and a shorter
// row gives its own last field rather than reading past its end.
const std::string& fieldOrLast(const std::vector<std::string>& row, size_t index) {
  static const std::string kNone;
  if (row.empty()) return kNone;
  return index < row.size() ? row[index] : row.back();
}

bool itemsFitColumns(const std::vector<_ft>& items, size_t width) {
  for (const _ft& item : items)
    if (!(static_cast<long long>(item.column) + 1 < static_cast<long long>(width))) return false;
  return true;
}

// Samples of one complete sentence, in token order; false when the strict
// column check failed.
bool sentenceSamples(TokenTable& sentence, std::vector<_ftnind>& templates, std::vector<int>& templateOrder,
                     int templateCount, bool strict, ME_Sample& sample,
                     const std::function<void(const ME_Sample&)>& sink) {
  const int n = static_cast<int>(sentence.size());
  const size_t firstWidth = sentence.front().size();
  const size_t labelField = sentence.back().size() - 1;
  int used = templateCount;
  if (used > static_cast<int>(templateOrder.size())) used = static_cast<int>(templateOrder.size());
  std::vector<int> stack;
  std::vector<_dppair> arcs, extraArcs;
  std::vector<std::vector<_dppair>> argumentLists;
  std::vector<int> predicateRows;
  std::string value, label;

  for (int i = 0; i < n; ++i) {
    sample.label_str = fieldOrLast(sentence[i], labelField);
    sample.feature_strs.clear();
    for (int j = 0; j < used; ++j) {
      const int idx = templateOrder[j];
      if (idx < 0 || idx >= static_cast<int>(templates.size())) continue;
      _ftnind& tmpl = templates[idx];
      if (strict && !itemsFitColumns(tmpl.items, firstWidth)) {
        fprintf(stderr, "Error: x pointer in template file is longer than column number of crf file.\n");
        return false;
      }
      value.clear();
      FeatureLocGenP2Multi(sentence, tmpl, stack, i, arcs, argumentLists, predicateRows, extraArcs, value);
      const char kind = tmpl.name.empty() ? '\0' : tmpl.name[0];
      if (kind == 'U') {
        sample.feature_strs.push_back(tmpl.name + ":" + value);
      } else if (kind == 'B') {
        FeatureTransGenTrain(sentence, tmpl.items, n, i, label);
        sample.feature_strs.push_back(tmpl.name + ":" + label);
      } else if (kind == 'A') {
        FeatureTransGenTrain(sentence, tmpl.items, n, i, label);
        sample.feature_strs.push_back(tmpl.name + ":" + value + "/" + label);
      }
    }
    sink(sample);
  }
  return true;
}

}  // namespace

int FeatureTransGenTrain(TokenTable& sentence, std::vector<_ft>& items, int tokenCount, int focus, std::string& out) {
  out.clear();
  const size_t goldField = sentence.empty() || sentence.front().empty() ? 0 : sentence.front().size() - 1;
  char buf[32];
  for (size_t k = 0; k < items.size(); ++k) {
    if (items[k].type != kLabelItem) continue;
    const int q = focus + items[k].offset;
    const char* value = "";
    if (q < 0) {
      snprintf(buf, sizeof buf, "_B%d", q);
      value = buf;
    } else if (q >= tokenCount) {
      snprintf(buf, sizeof buf, "_E-%d", q - tokenCount + 1);
      value = buf;
    } else if (q < static_cast<int>(sentence.size())) {
      value = fieldOrLast(sentence[q], goldField).c_str();
    }
    if (k != 0) out += '/';
    out += value;
  }
  return static_cast<int>(items.size());
}

int FeatureGenLabelTrainSamples(char* templatePath, char* trainPath, bool strict,
                                const std::function<void(const ME_Sample&)>& sink) {
  std::vector<_ftnind> templates;
  std::vector<int> templateOrder;
  int labelOrder = 0;
  // -1 (duplicate names) uses no template: samples then hold a label only.
  const int templateCount = readTemplateFile3(templatePath, templates, templateOrder, labelOrder);

  FILE* in = fopen(trainPath, "r");
  int lines = 0, sentences = 0;
  if (in) {
    TokenTable sentence;
    ME_Sample sample;
    std::string line;
    std::vector<std::string> fields;
    bool previousNonEmpty = false;
    while (readLineWhole(in, line)) {
      ++lines;
      if (previousNonEmpty && lines % 24000 == 0) fprintf(stderr, "#line=%d,#seq=%d\r", lines, sentences);
      readLine2VectorString(line, fields);
      // A line of blanks only ends a sentence like an empty one: it has no fields to make a row of.
      previousNonEmpty = !fields.empty();
      if (!fields.empty()) {
        sentence.push_back(fields);
        continue;
      }
      if (sentence.empty()) continue;
      if (!sentenceSamples(sentence, templates, templateOrder, templateCount, strict, sample, sink)) {
        fclose(in);
        return -1;
      }
      ++sentences;
      sentence.clear();
    }
    fclose(in);
  }
  fprintf(stderr, "#line=%d,#seq=%d\n", lines, sentences);
  return 1;
}

int FeatureGenLabelTrain(char* templatePath, char* trainPath, ME_Model& model, bool strict) {
  return FeatureGenLabelTrainSamples(templatePath, trainPath, strict,
                                     [&model](const ME_Sample& s) { model.add_training_sample(s); });
}
