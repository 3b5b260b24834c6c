#include "decoding/labeling.h"

#include <cmath>
#include <cstdio>

#include "decoding/viterbi.h"
#include "features/feature_generator.h"

namespace {

const int32_t kLabelItem = 0;
const int32_t kTokenItem = 4;

// Label part of a template at `position`: its label items' values joined by
// "/", counting every item so that a leading token item leaves a leading "/".
// A label item at or after the focus token has no assumed tag and gives "".
void labelPart(const _ftnind& tmpl, int position, int tokenCount, const std::vector<std::string>& history,
               std::string& out) {
  out.clear();
  char buf[32];
  for (size_t k = 0; k < tmpl.items.size(); ++k) {
    const _ft& item = tmpl.items[k];
    if (item.type != kLabelItem) continue;
    const int q = position + item.offset;
    const char* value = "";
    if (q < 0) {
      snprintf(buf, sizeof buf, "_B%d", q);
      value = buf;
    } else if (q >= tokenCount) {
      snprintf(buf, sizeof buf, "_E-%d", q - tokenCount + 1);
      value = buf;
    } else {
      const int slot = -item.offset - 1;
      if (slot >= 0 && slot < static_cast<int>(history.size())) value = history[slot].c_str();
    }
    if (k != 0) out += '/';
    out += value;
  }
}

bool hasTokenItem(const _ftnind& tmpl) {
  for (const _ft& item : tmpl.items)
    if (item.type == kTokenItem) return true;
  return false;
}

// Leading entries of templateOrder whose templates look at no earlier label.
int countObservationTemplates(const std::vector<_ftnind>& templates, const std::vector<int>& templateOrder) {
  int count = 0;
  for (int idx : templateOrder) {
    if (idx < 0 || idx >= static_cast<int>(templates.size()) || templates[idx].minLabelOffset != 0) break;
    ++count;
  }
  return count;
}

// Candidate tags of one token: the dictionary's tags of the word that the
// model knows, in tagList order; the whole tag list for a word the dictionary
// lacks, and also when none of its tags is a model label, since a token
// without candidates could not be decoded.
void tokenCandidates(const std::vector<std::string>& row, int wordColumn, const CMiniStringBag& wordBag,
                     const std::vector<CMiniStringBag>& wordTagBags, const std::vector<std::string>& tagList,
                     std::vector<std::string>& out) {
  out.clear();
  const int col = wordColumn - 1;
  if (col >= 0 && col < static_cast<int>(row.size())) {
    auto it = wordBag.idByString.find(row[col]);
    if (it != wordBag.idByString.end() && it->second >= 0 && it->second < static_cast<int>(wordTagBags.size())) {
      const CMiniStringBag& tags = wordTagBags[it->second];
      for (const std::string& tag : tagList) {
        auto t = tags.idByString.find(tag);
        if (t != tags.idByString.end() && t->second >= 0) out.push_back(tag);
      }
    }
  }
  if (out.empty()) out = tagList;
}

void failWithEmptyTags(const TokenTable& sentence, std::vector<std::string>& outTags) {
  outTags.assign(sentence.size(), std::string());
}

}  // namespace

void matchVector(std::vector<double>& probs, std::vector<double>& out, std::vector<std::string>& tagList,
                 std::vector<std::string>& candidateList, bool clear) {
  if (clear) out.clear();
  // Candidate lists are normally subsequences of tagList in its order, so a
  // merge finds most members without a scan; the scan keeps any order correct.
  size_t next = 0;
  for (size_t i = 0; i < tagList.size(); ++i) {
    bool member = next < candidateList.size() && candidateList[next] == tagList[i];
    if (member) {
      ++next;
    } else {
      for (const std::string& c : candidateList) {
        if (c == tagList[i]) {
          member = true;
          break;
        }
      }
    }
    if (member) out.push_back(i < probs.size() ? probs[i] : 0.0);
  }
}

int FeatureGenLabelTest(TokenTable& sentence, std::vector<std::vector<std::string>>& candidates,
                        std::vector<std::string>& tagList, std::vector<int> templateOrder,
                        std::vector<_ftnind>& templates, std::vector<int>& stack, std::vector<_dppair>& arcs,
                        std::vector<std::vector<_dppair>>& argumentLists, std::vector<int>& predicateRows,
                        std::vector<_dppair>& extraArcs, int observationCount, int templateCount, int labelOrder,
                        int tokenCount, int position, std::vector<std::string>& history, int depth,
                        ME_Model& model, ME_Sample& sample, std::vector<double>& scoreRow,
                        std::vector<LabelTraceEntry>* trace) {
  if (depth < labelOrder) {
    // candidates[position + depth] is the list of token position + depth - labelOrder.
    for (const std::string& tag : candidates[position + depth]) {
      history[labelOrder - depth - 1] = tag;
      FeatureGenLabelTest(sentence, candidates, tagList, templateOrder, templates, stack, arcs, argumentLists,
                          predicateRows, extraArcs, observationCount, templateCount, labelOrder, tokenCount,
                          position, history, depth + 1, model, sample, scoreRow, trace);
    }
    return 1;
  }

  int used = templateCount;
  if (used > static_cast<int>(templateOrder.size())) used = static_cast<int>(templateOrder.size());
  std::string value, label;
  for (int j = 0; j < used; ++j) {
    const int idx = templateOrder[j];
    if (idx < 0 || idx >= static_cast<int>(templates.size())) continue;
    _ftnind& tmpl = templates[idx];
    if (j < observationCount) {
      value.clear();
      FeatureLocGenP2Multi(sentence, tmpl, stack, position, arcs, argumentLists, predicateRows, extraArcs, value);
      sample.feature_strs.push_back(tmpl.name + ":" + value);
      continue;
    }
    labelPart(tmpl, position, tokenCount, history, label);
    if (!hasTokenItem(tmpl)) {
      sample.feature_strs.push_back(tmpl.name + ":" + label);
    } else {
      value.clear();
      FeatureLocGenP2Multi(sentence, tmpl, stack, position, arcs, argumentLists, predicateRows, extraArcs, value);
      sample.feature_strs.push_back(tmpl.name + ":" + value + "/" + label);
    }
  }

  std::vector<double> probs = model.classify(sample);
  matchVector(probs, scoreRow, tagList, candidates[position + labelOrder], false);
  if (trace) {
    LabelTraceEntry entry;
    entry.position = position;
    entry.history = history;
    entry.features = sample.feature_strs;
    trace->push_back(std::move(entry));
  }
  sample.feature_strs.clear();
  return 1;
}

int labelSeqItTraced(TokenTable& sentence, std::vector<std::string>& tagList, std::vector<std::string>& outTags,
                     int labelOrder, CMiniStringBag& wordBag, int wordColumn,
                     std::vector<CMiniStringBag>& wordTagBags, std::vector<CMiniStringBag>& legalTable,
                     std::vector<_ftnind>& templates, std::vector<int>& templateOrder, ME_Model& model,
                     LabelTrace* trace) {
  if (sentence.empty()) return -1;
  if (labelOrder < 0 || labelOrder > 2) {
    fprintf(stderr, "Error: no decoder for label order %d (0, 1 or 2 expected).\n", labelOrder);
    failWithEmptyTags(sentence, outTags);
    return -1;
  }
  if (tagList.empty()) {
    fprintf(stderr, "Error: no tags to label with: the model has no labels.\n");
    failWithEmptyTags(sentence, outTags);
    return -1;
  }

  std::vector<std::vector<double>> scoreMatrix;
  std::vector<std::vector<std::string>> candidates;
  outTags.clear();

  char buf[32];
  for (int i = 0; i < labelOrder; ++i) {
    snprintf(buf, sizeof buf, "_B-%d", labelOrder - i);
    candidates.push_back(std::vector<std::string>(1, buf));
  }
  for (const std::vector<std::string>& row : sentence) {
    candidates.emplace_back();
    tokenCandidates(row, wordColumn, wordBag, wordTagBags, tagList, candidates.back());
  }

  const int observationCount = countObservationTemplates(templates, templateOrder);
  const int tokenCount = static_cast<int>(sentence.size());
  std::vector<int> stack;
  std::vector<_dppair> arcs, extraArcs;
  std::vector<std::vector<_dppair>> argumentLists;
  std::vector<int> predicateRows;
  ME_Sample sample;
  std::vector<LabelTraceEntry>* classifications = trace ? &trace->classifications : nullptr;
  if (trace) trace->classifications.clear();

  for (int k = 0; k < tokenCount; ++k) {
    std::vector<std::string> history(labelOrder);
    std::vector<double> scoreRow;
    sample.feature_strs.clear();
    FeatureGenLabelTest(sentence, candidates, tagList, templateOrder, templates, stack, arcs, argumentLists,
                        predicateRows, extraArcs, observationCount, static_cast<int>(templates.size()), labelOrder,
                        tokenCount, k, history, 0, model, sample, scoreRow, classifications);
    scoreMatrix.push_back(std::move(scoreRow));
  }

  for (std::vector<double>& row : scoreMatrix)
    for (double& x : row) x = -std::log(x);

  const char* decoder = "";
  int decoded = -1;
  std::vector<int> tagIds;
  if (labelOrder == 0) {
    decoder = "viterbiDecoderB0Limit2";
    decoded = viterbiDecoderB0Limit2(scoreMatrix, candidates, legalTable, outTags);
  } else if (labelOrder == 2) {
    decoder = "viterbiDecoderB2Fast2Limit";
    decoded = viterbiDecoderB2Fast2Limit(scoreMatrix, candidates, legalTable, outTags);
  } else if (wordBag.count >= 1 || !legalTable.empty()) {
    decoder = "viterbiDecoderB1LimitPath3";
    decoded = viterbiDecoderB1LimitPath3(scoreMatrix, candidates, legalTable, outTags);
  } else {
    decoder = "viterbiDecoderB1Fast";
    decoded = viterbiDecoderB1Fast(scoreMatrix, static_cast<int>(tagList.size()), tagIds);
  }

  if (trace) {
    trace->candidates = candidates;
    trace->costs = scoreMatrix;
    trace->decoder = decoder;
  }
  if (decoded < 0) {
    failWithEmptyTags(sentence, outTags);
    return -1;
  }
  if (outTags.empty())
    for (int id : tagIds) outTags.push_back(tagList[id]);
  return 1;
}

int labelSeqIt(TokenTable& sentence, std::vector<std::string>& tagList, std::vector<std::string>& outTags,
               int labelOrder, CMiniStringBag& wordBag, int wordColumn, std::vector<CMiniStringBag>& wordTagBags,
               std::vector<CMiniStringBag>& legalTable, std::vector<_ftnind>& templates,
               std::vector<int>& templateOrder, ME_Model& model) {
  return labelSeqItTraced(sentence, tagList, outTags, labelOrder, wordBag, wordColumn, wordTagBags, legalTable,
                          templates, templateOrder, model, nullptr);
}
