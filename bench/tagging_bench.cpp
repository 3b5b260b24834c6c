// Micro-benchmarks of the tagging path: model loading, classification,
// feature generation, both sentence labellers, the four decoders and the fast
// path's block decoder.
//
// With models/english.model, english.dict, chinese.model and chinese.dict in
// the source tree they run on the shipped models; otherwise on a stand-in
// model made from counts over the training data, which has the shipped
// models' shape (labels, feature names) but not their weights.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "decoding/block_viterbi.h"
#include "decoding/fast_labeling.h"
#include "decoding/label_training.h"
#include "decoding/labeling.h"
#include "decoding/line_sequences.h"
#include "decoding/viterbi.h"
#include "features/feature_generator.h"
#include "labels/tag_dictionary.h"
#include "templates/builtin_templates.h"
#include "text/line_utils.h"

namespace {

const std::string kSource = KORVANE_SOURCE_DIR;
const std::string kData = KORVANE_DATA_DIR;

bool exists(const std::string& path) { return static_cast<bool>(std::ifstream(path)); }

// Everything one language's tagging needs, loaded once per process.
struct Language {
  bool english = true;
  bool shipped = false;
  std::string modelPath;
  std::unique_ptr<ME_Model> model;
  std::vector<_ftnind> templates;
  std::vector<int> order;
  int labelOrder = 0;
  std::vector<std::string> tagList;
  CMiniStringBag wordBag;
  std::vector<CMiniStringBag> wordTagBags, legal;
  std::vector<TokenTable> sentences;  // the first lines of the language's text
  size_t tokens = 0;
  std::unique_ptr<FastLabeler> fast;
};

// A model from (label, feature) counts of the gold samples of a tagged file.
bool makeStandIn(Language& l, const std::string& tsv, const std::string& templatePath) {
  std::map<std::pair<std::string, std::string>, int> counts;
  std::string t = templatePath, train = tsv;
  FeatureGenLabelTrainSamples(&t[0], &train[0], false, [&](const ME_Sample& s) {
    for (const std::string& f : s.feature_strs) ++counts[{s.label_str, f}];
  });
  if (counts.empty()) return false;
  std::vector<ME_Model_Data> rows;
  std::vector<std::unique_ptr<std::string>> keep;
  for (const auto& c : counts) {
    keep.emplace_back(new std::string(c.first.first));
    const char* label = keep.back()->c_str();
    keep.emplace_back(new std::string(c.first.second));
    rows.push_back({label, keep.back()->c_str(), std::log(1.0 + c.second)});
  }
  rows.push_back({"///", nullptr, 0.0});
  l.model.reset(new ME_Model);
  if (!l.model->load_from_array(rows.data())) return false;
  l.modelPath = "/tmp/korvane_bench_" + std::string(l.english ? "english" : "chinese") + ".model";
  l.model->save_to_fileV2(l.modelPath);
  const std::string dict = "/tmp/korvane_bench_" + std::string(l.english ? "english" : "chinese") + ".dict";
  std::string d = dict;
  buildCliqueLabelDict(&train[0], &d[0], 1);
  LoadCliqueLabelDict(&d[0], l.wordBag, l.wordTagBags);
  return true;
}

Language* language(bool english) {
  static std::unique_ptr<Language> cache[2];
  std::unique_ptr<Language>& slot = cache[english ? 1 : 0];
  if (slot) return slot.get();
  slot.reset(new Language);
  Language& l = *slot;
  l.english = english;
  const std::string name = english ? "english" : "chinese";
  const std::string model = kSource + "/models/" + name + ".model", dict = kSource + "/models/" + name + ".dict";
  if (exists(model) && exists(dict)) {
    l.shipped = true;
    l.modelPath = model;
    l.model.reset(new ME_Model);
    l.model->load_from_fileV2(model);
    std::string d = dict;
    LoadCliqueLabelDict(&d[0], l.wordBag, l.wordTagBags);
  } else {
    const std::string tsv = kData + (english ? "/en_ewt-train.tsv" : "/zh_gsdsimp-train.tsv");
    if (!makeStandIn(l, tsv, kSource + "/models/" + name + ".template")) return nullptr;
  }
  for (int i = 0; i < l.model->num_classes(); ++i) l.tagList.push_back(l.model->get_class_label(i));
  if (english) getTemplateEnglishPoS(l.templates, l.order, l.labelOrder);
  else getTemplateChinesePoS(l.templates, l.order, l.labelOrder);

  std::FILE* in = std::fopen((kData + (english ? "/en_ewt-dev.txt" : "/zh_gsdsimp-train.txt")).c_str(), "rb");
  if (in == nullptr) return nullptr;
  std::string line;
  std::vector<std::string> words;
  std::vector<TokenTable> seqs;
  for (int n = 0; n < 300 && readLineWhole(in, line); ++n) {
    readLine2VectorString(line, words);
    splitIntoSequences(words, english, seqs);
    for (TokenTable& s : seqs) {
      l.tokens += s.size();
      l.sentences.push_back(s);
    }
  }
  std::fclose(in);
  l.fast.reset(new FastLabeler(*l.model, l.templates, l.order, l.labelOrder, l.tagList, l.wordBag, l.wordTagBags,
                               l.legal));
  return &l;
}

Language* need(benchmark::State& state, bool english) {
  Language* l = language(english);
  if (l == nullptr) state.SkipWithError("no data");
  else state.SetLabel(l->shipped ? "shipped model" : "stand-in model");
  return l;
}

// ---------------------------------------------------------------- whole sentences

void BM_LabelReference(benchmark::State& state) {
  Language* l = need(state, state.range(0) != 0);
  if (l == nullptr) return;
  std::vector<std::string> tags;
  for (auto _ : state) {
    for (TokenTable& s : l->sentences)
      labelSeqIt(s, l->tagList, tags, l->labelOrder, l->wordBag, 1, l->wordTagBags, l->legal, l->templates,
                 l->order, *l->model);
  }
  state.counters["tokens/s"] = benchmark::Counter(static_cast<double>(l->tokens) * state.iterations(),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LabelReference)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_LabelFast(benchmark::State& state) {
  Language* l = need(state, state.range(0) != 0);
  if (l == nullptr) return;
  std::vector<std::string> tags;
  for (auto _ : state)
    for (TokenTable& s : l->sentences) l->fast->label(s, tags);
  state.counters["tokens/s"] = benchmark::Counter(static_cast<double>(l->tokens) * state.iterations(),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LabelFast)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- loading

void BM_ModelLoad(benchmark::State& state) {
  Language* l = need(state, state.range(0) != 0);
  if (l == nullptr) return;
  std::FILE* saved = stderr;
  std::FILE* null = std::fopen("/dev/null", "w");
  for (auto _ : state) {
    ME_Model m;
    stderr = null;  // the loader's progress words
    m.load_from_fileV2(l->modelPath);
    stderr = saved;
    benchmark::DoNotOptimize(m.label_count);
  }
  std::fclose(null);
}
BENCHMARK(BM_ModelLoad)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_FastLabelerBuild(benchmark::State& state) {
  Language* l = need(state, state.range(0) != 0);
  if (l == nullptr) return;
  for (auto _ : state) {
    FastLabeler f(*l->model, l->templates, l->order, l->labelOrder, l->tagList, l->wordBag, l->wordTagBags,
                  l->legal);
    benchmark::DoNotOptimize(&f);
  }
}
BENCHMARK(BM_FastLabelerBuild)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- one classification

// The features of every classification of the first sentences.
std::vector<std::vector<std::string>> tracedSamples(Language& l) {
  std::vector<std::vector<std::string>> samples;
  std::vector<std::string> tags;
  for (size_t i = 0; i < 20 && i < l.sentences.size(); ++i) {
    LabelTrace trace;
    labelSeqItTraced(l.sentences[i], l.tagList, tags, l.labelOrder, l.wordBag, 1, l.wordTagBags, l.legal,
                     l.templates, l.order, *l.model, &trace);
    for (LabelTraceEntry& e : trace.classifications) {
      samples.push_back(e.features);
      if (samples.size() >= 500) return samples;
    }
  }
  return samples;
}

void BM_ClassifyReference(benchmark::State& state) {
  Language* l = need(state, state.range(0) != 0);
  if (l == nullptr) return;
  std::vector<std::vector<std::string>> samples = tracedSamples(*l);
  ME_Sample sample;
  size_t i = 0;
  for (auto _ : state) {
    sample.feature_strs = samples[i++ % samples.size()];
    benchmark::DoNotOptimize(l->model->classify(sample));
  }
}
BENCHMARK(BM_ClassifyReference)->Arg(1)->Arg(0);

// The fast path's cost of one classification once the runs are known: the
// weights added in order, the exponentials and the sum.
void BM_ClassifyFastScoring(benchmark::State& state) {
  Language* l = need(state, state.range(0) != 0);
  if (l == nullptr) return;
  const FastWeightIndex& index = l->fast->weights();
  std::vector<std::vector<int>> runs;
  for (const std::vector<std::string>& s : tracedSamples(*l)) {
    runs.emplace_back();
    for (size_t j = s.size(); j-- > 0;) {
      const int r = index.find(s[j]);
      if (r >= 0) runs.back().push_back(r);
    }
  }
  std::vector<double> score(index.labelCount()), probs(index.labelCount());
  size_t i = 0;
  for (auto _ : state) {
    const std::vector<int>& rs = runs[i++ % runs.size()];
    std::fill(score.begin(), score.end(), 0.0);
    for (int r : rs) index.addRun(r, score.data());
    benchmark::DoNotOptimize(fastExponentials(score.data(), index.labelCount(), probs.data()));
  }
}
BENCHMARK(BM_ClassifyFastScoring)->Arg(1)->Arg(0);

void BM_FeatureLookupFast(benchmark::State& state) {
  Language* l = need(state, state.range(0) != 0);
  if (l == nullptr) return;
  const FastWeightIndex& index = l->fast->weights();
  std::vector<std::string> names;
  for (const std::vector<std::string>& s : tracedSamples(*l)) names.insert(names.end(), s.begin(), s.end());
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(index.find(names[i++ % names.size()]));
}
BENCHMARK(BM_FeatureLookupFast)->Arg(1)->Arg(0);

void BM_FeatureLookupModelMap(benchmark::State& state) {
  Language* l = need(state, state.range(0) != 0);
  if (l == nullptr) return;
  std::vector<std::string> names;
  for (const std::vector<std::string>& s : tracedSamples(*l)) names.insert(names.end(), s.begin(), s.end());
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(l->model->feature_names.Id(names[i++ % names.size()]));
}
BENCHMARK(BM_FeatureLookupModelMap)->Arg(1)->Arg(0);

// ---------------------------------------------------------------- feature generation

// Every template at every position of the first sentences.
void BM_FeatureGeneration(benchmark::State& state) {
  Language* l = need(state, state.range(0) != 0);
  if (l == nullptr) return;
  std::vector<int> stack, rows;
  std::vector<_dppair> arcs, extra;
  std::vector<std::vector<_dppair>> args;
  std::string out;
  size_t features = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < 50 && i < l->sentences.size(); ++i) {
      TokenTable& s = l->sentences[i];
      for (int k = 0; k < static_cast<int>(s.size()); ++k) {
        for (_ftnind& t : l->templates) {
          FeatureLocGenP2Multi(s, t, stack, k, arcs, args, rows, extra, out);
          ++features;
        }
      }
    }
  }
  state.counters["features/s"] = benchmark::Counter(static_cast<double>(features), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FeatureGeneration)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------- decoders

// A 25-token sentence: mostly one to three candidates, every seventh token
// unknown (all `tags` tags); random costs.
struct DecoderInput {
  std::vector<std::vector<double>> matrix;
  std::vector<std::vector<std::string>> candidates;
  std::vector<CMiniStringBag> legal;
};

DecoderInput decoderInput(int order, int tags, bool everyTagEverywhere) {
  std::mt19937 rng(17);
  std::uniform_int_distribution<int> few(1, 3);
  std::uniform_real_distribution<double> cost(0.01, 8.0);
  DecoderInput in;
  std::vector<std::string> all;
  for (int i = 0; i < tags; ++i) all.push_back("T" + std::to_string(i));
  for (int i = order; i > 0; --i) in.candidates.push_back({"_B-" + std::to_string(i)});
  const int n = 25;
  for (int k = 0; k < n; ++k) {
    if (everyTagEverywhere || k % 7 == 3) {
      in.candidates.push_back(all);
    } else {
      std::vector<std::string> c;
      const int m = few(rng);
      for (int j = 0; j < m; ++j) c.push_back(all[(k * 5 + j * 11) % tags]);
      in.candidates.push_back(c);
    }
  }
  for (int k = 0; k < n; ++k) {
    size_t size = in.candidates[k + order].size();
    for (int j = 1; j <= order; ++j) size *= in.candidates[k + order - j].size();
    std::vector<double> row(size);
    for (double& x : row) x = cost(rng);
    in.matrix.push_back(row);
  }
  return in;
}

void BM_ViterbiB0Limit2(benchmark::State& state) {
  DecoderInput in = decoderInput(0, 45, false);
  std::vector<std::string> out;
  for (auto _ : state) viterbiDecoderB0Limit2(in.matrix, in.candidates, in.legal, out);
}
BENCHMARK(BM_ViterbiB0Limit2);

void BM_ViterbiB1LimitPath3(benchmark::State& state) {
  DecoderInput in = decoderInput(1, 45, false);
  std::vector<std::string> out;
  for (auto _ : state) viterbiDecoderB1LimitPath3(in.matrix, in.candidates, in.legal, out);
}
BENCHMARK(BM_ViterbiB1LimitPath3);

void BM_ViterbiB1Fast(benchmark::State& state) {
  DecoderInput in = decoderInput(1, 30, true);
  std::vector<int> out;
  for (auto _ : state) viterbiDecoderB1Fast(in.matrix, 30, out);
}
BENCHMARK(BM_ViterbiB1Fast);

void BM_ViterbiB2Fast2Limit(benchmark::State& state) {
  DecoderInput in = decoderInput(2, 45, false);
  std::vector<std::string> out;
  for (auto _ : state) viterbiDecoderB2Fast2Limit(in.matrix, in.candidates, in.legal, out);
}
BENCHMARK(BM_ViterbiB2Fast2Limit);

// The fast path's decoder on the same second-order input, every block present.
void BM_BlockViterbiOrder2(benchmark::State& state) {
  DecoderInput in = decoderInput(2, 45, false);
  CostBlocks m;
  m.labelOrder = 2;
  for (size_t k = 0; k < in.matrix.size(); ++k) {
    const int C = static_cast<int>(in.candidates[k + 2].size());
    const int H = static_cast<int>(in.matrix[k].size()) / C;
    m.candidates.push_back(C);
    m.histories.push_back(H);
    m.at.emplace_back();
    for (int h = 0; h < H; ++h) m.at.back().push_back(static_cast<int>(m.costs.size()) + h * C);
    m.costs.insert(m.costs.end(), in.matrix[k].begin(), in.matrix[k].end());
  }
  BlockViterbiWork work;
  std::vector<int> path;
  for (auto _ : state) blockViterbi(m, path, work);
}
BENCHMARK(BM_BlockViterbiOrder2);

}  // namespace

BENCHMARK_MAIN();
