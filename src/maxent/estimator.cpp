#include "maxent/estimator.h"

#include <lbfgs.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>

// The scoring loops get a second, AVX2 build where the processor has it
// (both give the same numbers: the loops work label by label).
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(KORVANE_NO_CLONES)
#define KORVANE_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KORVANE_VECTOR_CLONES
#endif

namespace {

// The optimiser's variables are the weights in the order of the row tables'
// entries (all pairs of one feature name side by side), followed by the
// weights no row holds, so that a feature's weights are one contiguous run.
// Rows that hold most labels (the label-history and word-shape features) are
// scored as dense rows: a copy of their weights with zeros for the missing
// labels, added label by label in one vectorisable loop; the others add
// their few (label, weight) entries one by one.
// Dense rows are added this many labels at a time (kept in registers).
constexpr int kBlock = 8;
static_assert(kBlock == 8, "the dense scoring loop adds two vectors of four");

struct TrainData {
  int labels = 0;
  int stride = 0;                   // labels rounded up, the length of a dense row
  int variables = 0;                // all weights: the entries, then the rest
  std::vector<int> modelIndex;      // variable -> feature index of the model
  std::vector<uint8_t> entryLabel;  // label of every entry
  std::vector<int> rowOffsets;      // feature-name id -> first entry
  std::vector<int> denseRow;        // feature-name id -> dense row, -1 for a sparse one
  std::vector<int> denseFeature;    // dense row -> feature-name id

  // Instances: a sparse occurrence is the run of entries [begin, end).
  struct Span {
    uint32_t begin, end;
  };
  struct ValuedSpan {
    uint32_t begin, end;
    double value;
  };
  std::vector<int> gold;
  std::vector<double> freq;
  std::vector<size_t> featStart;
  std::vector<Span> feats;
  std::vector<size_t> denseStart;
  std::vector<uint32_t> dense;  // dense rows of each instance
  std::vector<size_t> valStart;
  std::vector<ValuedSpan> vals;
  // Reference prior: instance i's reference_dist indexed through refIndex.
  const std::vector<ME_Model::Sample>* samples = nullptr;
  std::vector<size_t> origin;  // instance -> its sample
  std::vector<int> refIndex;
  std::vector<double> observed;  // empirical count of every variable

  size_t instances() const { return gold.size(); }
  uint32_t rowBegin(int f) const { return static_cast<uint32_t>(rowOffsets[f]); }
  uint32_t rowEnd(int f) const { return static_cast<uint32_t>(rowOffsets[f + 1]); }
};

// A row is dense when it holds more than a third of the labels.
bool isDenseRow(int entries, int labels) { return entries * 3 > labels; }

void buildRows(const ME_Model& model, TrainData& d) {
  d.labels = model.label_count;
  d.stride = (d.labels + kBlock - 1) / kBlock * kBlock;
  const int features = model.feature_bag.Size();
  d.rowOffsets = model.row_offsets;
  d.modelIndex = model.row_entries;
  d.entryLabel.resize(d.modelIndex.size());
  std::vector<char> inRow(features, 0);
  for (size_t j = 0; j < d.modelIndex.size(); ++j) {
    d.entryLabel[j] = static_cast<uint8_t>(model.feature_bag.keys[d.modelIndex[j]].label());
    inRow[d.modelIndex[j]] = 1;
  }
  for (int i = 0; i < features; ++i)
    if (!inRow[i]) d.modelIndex.push_back(i);
  d.variables = static_cast<int>(d.modelIndex.size());
  const int rows = d.rowOffsets.empty() ? 0 : static_cast<int>(d.rowOffsets.size()) - 1;
  d.denseRow.assign(rows, -1);
  for (int f = 0; f < rows; ++f) {
    if (!isDenseRow(d.rowOffsets[f + 1] - d.rowOffsets[f], d.labels)) continue;
    d.denseRow[f] = static_cast<int>(d.denseFeature.size());
    d.denseFeature.push_back(f);
  }
  if (model.reference_model != nullptr) {
    d.refIndex.resize(d.labels);
    for (int l = 0; l < d.labels; ++l) d.refIndex[l] = model.reference_model->labels.Id(model.labels.names[l]);
  }
}

// Model order <-> variable order.
void toVariables(const TrainData& d, const std::vector<double>& modelWeights, double* x) {
  for (int v = 0; v < d.variables; ++v) {
    const size_t k = static_cast<size_t>(d.modelIndex[v]);
    const double w = k < modelWeights.size() ? modelWeights[k] : 0.0;
    x[v] = std::isfinite(w) ? w : 0.0;
  }
}

void toModel(const TrainData& d, const double* x, std::vector<double>& modelWeights) {
  modelWeights.assign(d.variables, 0.0);
  for (int v = 0; v < d.variables; ++v) modelWeights[d.modelIndex[v]] = x[v];
}

// False when an instance has a label the model does not know.
bool buildInstances(const ME_Model& model, const std::vector<ME_Model::Sample>& samples, TrainData& d) {
  const int rows = static_cast<int>(d.denseRow.size());
  auto hasRow = [&](int f) { return f >= 0 && f < rows && d.rowOffsets[f + 1] > d.rowOffsets[f]; };
  d.samples = model.reference_model != nullptr ? &samples : nullptr;
  // Instances that share their first features follow each other, so that
  // the weights they read are still in the cache (the order of the sum does
  // not matter to the optimiser).
  d.origin.resize(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) d.origin[i] = i;
  std::stable_sort(d.origin.begin(), d.origin.end(), [&](size_t a, size_t b) {
    const std::vector<int>& x = samples[a].feature_ids;
    const std::vector<int>& y = samples[b].feature_ids;
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end());
  });
  d.featStart.assign(1, 0);
  d.denseStart.assign(1, 0);
  d.valStart.assign(1, 0);
  d.gold.reserve(samples.size());
  d.freq.reserve(samples.size());
  for (size_t i : d.origin) {
    const ME_Model::Sample& s = samples[i];
    if (s.label_id < 0 || s.label_id >= d.labels) return false;
    d.gold.push_back(s.label_id);
    d.freq.push_back(static_cast<double>(s.frequency));
    for (int f : s.feature_ids) {
      if (!hasRow(f)) continue;
      if (d.denseRow[f] >= 0)
        d.dense.push_back(static_cast<uint32_t>(d.denseRow[f]));
      else
        d.feats.push_back({d.rowBegin(f), d.rowEnd(f)});
    }
    for (const auto& fv : s.valued_feature_ids)
      if (hasRow(fv.first)) d.vals.push_back({d.rowBegin(fv.first), d.rowEnd(fv.first), fv.second});
    d.featStart.push_back(d.feats.size());
    d.denseStart.push_back(d.dense.size());
    d.valStart.push_back(d.vals.size());
  }
  return true;
}

void countObserved(TrainData& d) {
  d.observed.assign(d.variables, 0.0);
  auto add = [&](uint32_t begin, uint32_t end, int y, double c) {
    for (uint32_t j = begin; j < end; ++j)
      if (d.entryLabel[j] == y) d.observed[j] += c;
  };
  for (size_t i = 0; i < d.instances(); ++i) {
    const int y = d.gold[i];
    for (size_t p = d.featStart[i]; p < d.featStart[i + 1]; ++p) add(d.feats[p].begin, d.feats[p].end, y, d.freq[i]);
    for (size_t p = d.denseStart[i]; p < d.denseStart[i + 1]; ++p) {
      const int f = d.denseFeature[d.dense[p]];
      add(d.rowBegin(f), d.rowEnd(f), y, d.freq[i]);
    }
    for (size_t p = d.valStart[i]; p < d.valStart[i + 1]; ++p)
      add(d.vals[p].begin, d.vals[p].end, y, d.freq[i] * d.vals[p].value);
  }
}

// The dense rows' weights, stride entries per row, zero for absent labels.
void fillDenseWeights(const TrainData& d, const double* w, std::vector<double>& dense) {
  dense.assign(d.denseFeature.size() * d.stride, 0.0);
  for (size_t r = 0; r < d.denseFeature.size(); ++r) {
    const int f = d.denseFeature[r];
    double* row = dense.data() + r * d.stride;
    for (uint32_t j = d.rowBegin(f); j < d.rowEnd(f); ++j) row[d.entryLabel[j]] = w[j];
  }
}

// exp(x) for x <= 0, within a few units in the last place, and a tiny
// positive number below -708 (where exp leaves the normal range). Written
// without calls or branches so that the loop over the labels is vectorised
// (the estimator is built without floating-point traps for that).
inline double expNonPositive(double x) {
  x = x < -708.0 ? -708.0 : x;
  const double kShifter = 6755399441055744.0;  // 1.5 * 2^52: adding it rounds to an integer
  const double kLog2e = 1.4426950408889634;
  const double kLn2Hi = 0.6931471803691238, kLn2Lo = 1.9082149292705877e-10;
  // x = k ln 2 + r with |r| <= ln 2 / 2; exp(r) by its Taylor series to r^12.
  const double t = x * kLog2e + kShifter;
  const double k = t - kShifter;
  const double r = (x - k * kLn2Hi) - k * kLn2Lo;
  double p = 1.0 / 479001600.0;
  p = p * r + 1.0 / 39916800.0;
  p = p * r + 1.0 / 3628800.0;
  p = p * r + 1.0 / 362880.0;
  p = p * r + 1.0 / 40320.0;
  p = p * r + 1.0 / 5040.0;
  p = p * r + 1.0 / 720.0;
  p = p * r + 1.0 / 120.0;
  p = p * r + 1.0 / 24.0;
  p = p * r + 1.0 / 6.0;
  p = p * r + 0.5;
  p = p * r + 1.0;
  p = p * r + 1.0;
  // Times 2^k: k sits in the low bits of t; add it to p's exponent.
  uint64_t tBits, pBits;
  std::memcpy(&tBits, &t, sizeof t);
  std::memcpy(&pBits, &p, sizeof p);
  pBits += (tBits - 0x4338000000000000ULL) << 52;
  double e;
  std::memcpy(&e, &pBits, sizeof e);
  return e;
}

// How many sparse runs ahead the scoring loops prefetch: the runs are
// scattered over the weights.
constexpr size_t kAhead = 8;

// Turns score (stride entries) into the label distribution of instance i,
// zero past the labels; returns log p(gold).
KORVANE_VECTOR_CLONES double distribution(const TrainData& d, size_t i, const double* w, const double* denseW, double* score) {
  const int n = d.labels;
  const int stride = d.stride;
  const uint8_t* label = d.entryLabel.data();
  std::fill(score, score + stride, 0.0);
  if (d.samples != nullptr) {
    // The same floor for missing or zero prior mass as classification uses.
    const std::vector<double>& ref = (*d.samples)[d.origin[i]].reference_dist;
    for (int l = 0; l < n; ++l) {
      const int r = d.refIndex[l];
      double p = r >= 0 && static_cast<size_t>(r) < ref.size() ? ref[r] : 0.0;
      if (!(p > 0.0)) p = 0.001;
      score[l] = std::log(p);
    }
  }
  const uint32_t* rows = d.dense.data() + d.denseStart[i];
  const size_t rowCount = d.denseStart[i + 1] - d.denseStart[i];
  for (int l0 = 0; l0 < stride; l0 += kBlock) {
    // A block of labels at a time, summed over all dense rows in vector
    // registers (two halves of four, whatever width the target has).
    typedef double V4 __attribute__((vector_size(32)));
    V4 acc0, acc1;
    std::memcpy(&acc0, score + l0, sizeof acc0);
    std::memcpy(&acc1, score + l0 + 4, sizeof acc1);
    for (size_t p = 0; p < rowCount; ++p) {
      const double* row = denseW + static_cast<size_t>(rows[p]) * stride + l0;
      V4 a, b;
      std::memcpy(&a, row, sizeof a);
      std::memcpy(&b, row + 4, sizeof b);
      acc0 += a;
      acc1 += b;
    }
    std::memcpy(score + l0, &acc0, sizeof acc0);
    std::memcpy(score + l0 + 4, &acc1, sizeof acc1);
  }
  const size_t last = d.featStart[i + 1];
  for (size_t p = d.featStart[i]; p < last; ++p) {
    if (p + kAhead < d.feats.size()) {
      __builtin_prefetch(w + d.feats[p + kAhead].begin);
      __builtin_prefetch(label + d.feats[p + kAhead].begin);
    }
    const TrainData::Span s = d.feats[p];
    for (uint32_t j = s.begin; j < s.end; ++j) score[label[j]] += w[j];
  }
  for (size_t p = d.valStart[i]; p < d.valStart[i + 1]; ++p) {
    const TrainData::ValuedSpan s = d.vals[p];
    for (uint32_t j = s.begin; j < s.end; ++j) score[label[j]] += s.value * w[j];
  }
  double top = score[0];
  for (int l = 1; l < n; ++l) top = std::max(top, score[l]);
  const double goldScore = score[d.gold[i]] - top;
  for (int l = 0; l < n; ++l) score[l] = expNonPositive(score[l] - top);
  double sum = 0.0;
  for (int l = 0; l < n; ++l) sum += score[l];
  const double scale = 1.0 / sum;
  for (int l = 0; l < n; ++l) score[l] *= scale;
  std::fill(score + n, score + stride, 0.0);
  return goldScore - std::log(sum);
}

// One thread's share of an evaluation.
struct Workspace {
  std::vector<double> gradient;  // of the variables (not used by the calling thread)
  std::vector<double> denseGradient;
  std::vector<double> probs, scaled;
  double logLikelihood = 0.0;
};

// Log-likelihood of instances [from, to); their expected counts added into g.
KORVANE_VECTOR_CLONES void accumulate(const TrainData& d, size_t from, size_t to, const double* w, const double* denseW, double* g,
                Workspace& ws) {
  const int stride = d.stride;
  ws.probs.assign(stride, 0.0);
  ws.denseGradient.assign(d.denseFeature.size() * stride, 0.0);
  ws.scaled.assign(stride, 0.0);
  double* probs = ws.probs.data();
  double* __restrict scaled = ws.scaled.data();
  const uint8_t* label = d.entryLabel.data();
  double ll = 0.0;
  for (size_t i = from; i < to; ++i) {
    const double c = d.freq[i];
    ll += c * distribution(d, i, w, denseW, probs);
    const uint32_t* rows = d.dense.data() + d.denseStart[i];
    const size_t rowCount = d.denseStart[i + 1] - d.denseStart[i];
    for (int l = 0; l < stride; ++l) scaled[l] = c * probs[l];
    for (size_t p = 0; p < rowCount; ++p) {
      double* __restrict row = ws.denseGradient.data() + static_cast<size_t>(rows[p]) * stride;
      for (int l = 0; l < stride; ++l) row[l] += scaled[l];
    }
    for (size_t p = d.featStart[i]; p < d.featStart[i + 1]; ++p) {
      if (p + kAhead < d.feats.size()) __builtin_prefetch(g + d.feats[p + kAhead].begin, 1);
      const TrainData::Span s = d.feats[p];
      for (uint32_t j = s.begin; j < s.end; ++j) g[j] += c * probs[label[j]];
    }
    for (size_t p = d.valStart[i]; p < d.valStart[i + 1]; ++p) {
      const TrainData::ValuedSpan s = d.vals[p];
      const double cv = c * s.value;
      for (uint32_t j = s.begin; j < s.end; ++j) g[j] += cv * probs[label[j]];
    }
  }
  for (size_t r = 0; r < d.denseFeature.size(); ++r) {
    const int f = d.denseFeature[r];
    const double* row = ws.denseGradient.data() + r * stride;
    for (uint32_t j = d.rowBegin(f); j < d.rowEnd(f); ++j) g[j] += row[label[j]];
  }
  ws.logLikelihood = ll;
}

struct Evaluator {
  const TrainData* data = nullptr;
  const ME_TrainOptions* options = nullptr;
  int threads = 1;
  std::vector<Workspace> workspaces;  // one per thread
  std::vector<double> denseWeights;
  double lastLogLikelihood = 0.0;

  // Negative log-likelihood plus the L2 term; gradient over the first n
  // entries of g. includeL1 adds the L1 value and its subgradient.
  double evaluate(const double* w, double* g, int n, bool includeL1) {
    const TrainData& d = *data;
    const size_t m = d.instances();
    std::fill(g, g + n, 0.0);
    fillDenseWeights(d, w, denseWeights);
    const double* denseW = denseWeights.data();
    const int t = static_cast<int>(std::min<size_t>(static_cast<size_t>(threads), std::max<size_t>(m, 1)));
    workspaces.resize(t);
    std::vector<std::thread> workers;
    for (int k = 1; k < t; ++k) {
      Workspace& ws = workspaces[k];
      ws.gradient.assign(n, 0.0);
      const size_t from = m * k / t, to = m * (k + 1) / t;
      workers.emplace_back([&, from, to] { accumulate(d, from, to, w, denseW, ws.gradient.data(), ws); });
    }
    accumulate(d, 0, m / t, w, denseW, g, workspaces[0]);
    for (auto& th : workers) th.join();
    double ll = workspaces[0].logLikelihood;
    for (int k = 1; k < t; ++k) {
      const double* b = workspaces[k].gradient.data();
      for (int i = 0; i < n; ++i) g[i] += b[i];
      ll += workspaces[k].logLikelihood;
    }
    lastLogLikelihood = ll;
    double objective = -ll;
    for (int i = 0; i < n; ++i) g[i] -= d.observed[i];
    const double c = options->strength;
    if (options->penalty == ME_Penalty::kL2 && c > 0) {
      double sq = 0.0;
      for (int i = 0; i < n; ++i) {
        sq += w[i] * w[i];
        g[i] += c * w[i];
      }
      objective += 0.5 * c * sq;
    } else if (options->penalty == ME_Penalty::kL1 && c > 0 && includeL1) {
      double abs = 0.0;
      for (int i = 0; i < n; ++i) {
        abs += std::fabs(w[i]);
        if (w[i] > 0) g[i] += c;
        if (w[i] < 0) g[i] -= c;
      }
      objective += c * abs;
    }
    return objective;
  }
};

void heldoutScore(const TrainData& d, const double* w, double& meanLogLikelihood, double& accuracy) {
  std::vector<double> probs(d.stride), denseW;
  fillDenseWeights(d, w, denseW);
  double ll = 0.0;
  size_t correct = 0;
  for (size_t i = 0; i < d.instances(); ++i) {
    ll += distribution(d, i, w, denseW.data(), probs.data());
    int best = 0;
    for (int l = 1; l < d.labels; ++l)
      if (probs[l] > probs[best]) best = l;
    if (best == d.gold[i]) ++correct;
  }
  const double n = static_cast<double>(d.instances());
  meanLogLikelihood = ll / n;
  accuracy = correct / n;
}

struct Session {
  Evaluator evaluator;
  const ME_TrainOptions* options = nullptr;
  const TrainData* heldout = nullptr;  // null without held-out instances
  int n = 0;
  int iterations = 0;
  bool stoppedEarly = false;
  std::string stopReason;  // what stopped the optimiser early
  double bestHeldout = -std::numeric_limits<double>::infinity();
  int bestIteration = 0;
  std::vector<double> best;
};

lbfgsfloatval_t evaluateCallback(void* instance, const lbfgsfloatval_t* x, lbfgsfloatval_t* g, const int padded,
                                 const lbfgsfloatval_t) {
  Session& s = *static_cast<Session*>(instance);
  // OWL-QN adds the L1 term itself.
  const double f = s.evaluator.evaluate(x, g, s.n, false);
  for (int i = s.n; i < padded; ++i) g[i] = 0.0;
  return f;
}

int progressCallback(void* instance, const lbfgsfloatval_t* x, const lbfgsfloatval_t*, const lbfgsfloatval_t fx,
                     const lbfgsfloatval_t, const lbfgsfloatval_t gnorm, const lbfgsfloatval_t step, int, int k,
                     int ls) {
  Session& s = *static_cast<Session*>(instance);
  s.iterations = k;
  ME_TrainProgress p;
  p.iteration = k;
  p.evaluations = ls;
  p.objective = fx;
  p.log_likelihood = s.evaluator.lastLogLikelihood;
  p.gradient_norm = gnorm;
  p.step = step;
  for (int i = 0; i < s.n; ++i)
    if (x[i] != 0.0) ++p.active_features;
  bool stop = false;
  if (s.heldout != nullptr) {
    p.heldout_measured = true;
    heldoutScore(*s.heldout, x, p.heldout_log_likelihood, p.heldout_accuracy);
    if (s.options->heldout_patience > 0) {
      if (p.heldout_log_likelihood > s.bestHeldout) {
        s.bestHeldout = p.heldout_log_likelihood;
        s.bestIteration = k;
        s.best.assign(x, x + s.n);
      } else if (k - s.bestIteration >= s.options->heldout_patience) {
        stop = true;
        s.stopReason = "held-out patience: no held-out gain in " + std::to_string(k - s.bestIteration) +
                       " iterations; the weights of iteration " + std::to_string(s.bestIteration) + " are kept";
      }
    }
  }
  if (s.options->progress && !s.options->progress(p) && !stop) {
    stop = true;
    s.stopReason = "stopped by the progress callback";
  }
  if (stop) s.stoppedEarly = true;
  return stop ? 1 : 0;
}

// Why the optimiser stopped, naming what stopped it.
std::string statusText(int status, const ME_TrainOptions& o, const std::string& stopReason) {
  char buffer[160];
  switch (status) {
    case LBFGS_SUCCESS:
      std::snprintf(buffer, sizeof buffer, "converged: the gradient fell below %g times the weights' size",
                    o.epsilon);
      return buffer;
    case LBFGS_STOP:
      std::snprintf(buffer, sizeof buffer, "objective: it fell by less than %g over the last %d iterations", o.delta,
                    o.past);
      return buffer;
    case LBFGS_ALREADY_MINIMIZED: return "the weights were already optimal";
    case LBFGSERR_CANCELED: return stopReason.empty() ? "stopped early" : stopReason;
    case LBFGSERR_MAXIMUMITERATION: return "iteration limit: " + std::to_string(o.max_iterations) + " iterations";
    case LBFGSERR_OUTOFMEMORY: return "out of memory";
    case LBFGSERR_ROUNDING_ERROR:
    case LBFGSERR_MINIMUMSTEP:
    case LBFGSERR_MAXIMUMSTEP:
    case LBFGSERR_MAXIMUMLINESEARCH:
    case LBFGSERR_WIDTHTOOSMALL:
    case LBFGSERR_OUTOFINTERVAL:
    case LBFGSERR_INCORRECT_TMINMAX:
    case LBFGSERR_INCREASEGRADIENT:
      return "no further step found (line search code " + std::to_string(status) + ")";
    default: return "optimiser error " + std::to_string(status);
  }
}

// The optimiser leaves usable weights in x for these codes.
bool hasResult(int status) {
  return status >= 0 || status == LBFGSERR_CANCELED || status == LBFGSERR_MAXIMUMITERATION ||
         (status >= LBFGSERR_OUTOFINTERVAL && status <= LBFGSERR_INCREASEGRADIENT);
}

bool prepareModel(ME_Model& model) {
  model.label_count = model.labels.Size();
  model.weights.resize(model.feature_bag.keys.size(), 0.0);
  model.init_feature2mef();
  return true;
}

}  // namespace

bool ME_printTrainProgress(const ME_TrainProgress& p) {
  std::fprintf(stderr, "iteration %d: objective %.6f, log-likelihood %.6f, |gradient| %.6g, active %d", p.iteration,
               p.objective, p.log_likelihood, p.gradient_norm, p.active_features);
  if (p.heldout_measured)
    std::fprintf(stderr, ", held-out log-likelihood %.6f, accuracy %.4f", p.heldout_log_likelihood,
                 p.heldout_accuracy);
  std::fprintf(stderr, "\n");
  return true;
}

double ME_trainObjective(const ME_Model& model, const ME_TrainOptions& options, const std::vector<double>& weights,
                         std::vector<double>& gradient) {
  TrainData d;
  buildRows(model, d);
  if (!buildInstances(model, model.training_samples, d)) return std::numeric_limits<double>::quiet_NaN();
  countObserved(d);
  Evaluator e;
  e.data = &d;
  e.options = &options;
  e.threads = std::max(1, options.threads);
  std::vector<double> x(d.variables), g(d.variables);
  toVariables(d, weights, x.data());
  const double objective = e.evaluate(x.data(), g.data(), d.variables, true);
  toModel(d, g.data(), gradient);
  return objective;
}

bool ME_trainWeights(ME_Model& model, const ME_TrainOptions& options, ME_TrainReport* report) {
  ME_TrainReport local;
  ME_TrainReport& r = report != nullptr ? *report : local;
  r = ME_TrainReport();
  if (!(options.strength >= 0.0) || !std::isfinite(options.strength) || !(options.epsilon >= 0.0) ||
      !(options.delta >= 0.0) || options.past < 0 || options.max_iterations < 0) {
    std::fprintf(stderr, "Error: invalid training options.\n");
    r.message = "invalid options";
    return false;
  }
  prepareModel(model);
  const int n = model.feature_bag.Size();
  TrainData data;
  buildRows(model, data);
  if (!buildInstances(model, model.training_samples, data)) {
    std::fprintf(stderr, "Error: a training instance has a label the model does not know.\n");
    r.message = "bad instance";
    return false;
  }
  countObserved(data);
  TrainData heldout;
  const bool withHeldout = !model.heldout_samples.empty();
  if (withHeldout) {
    buildRows(model, heldout);
    if (!buildInstances(model, model.heldout_samples, heldout)) {
      std::fprintf(stderr, "Error: a held-out instance has a label the model does not know.\n");
      r.message = "bad instance";
      return false;
    }
  }
  if (n == 0) {
    r.message = "no features";
    return true;
  }

  Session s;
  s.evaluator.data = &data;
  s.evaluator.options = &options;
  s.evaluator.threads = std::max(1, options.threads);
  s.options = &options;
  s.heldout = withHeldout ? &heldout : nullptr;
  s.n = n;

  // Padded to a multiple of 16 for SSE builds of the optimiser; the extra
  // variables have no gradient and stay at 0.
  const int padded = (n + 15) / 16 * 16;
  lbfgsfloatval_t* x = lbfgs_malloc(padded);
  if (x == nullptr) {
    std::fprintf(stderr, "Error: out of memory for %d weights.\n", n);
    r.message = "out of memory";
    return false;
  }
  toVariables(data, model.weights, x);
  for (int i = n; i < padded; ++i) x[i] = 0.0;

  lbfgs_parameter_t param;
  lbfgs_parameter_init(&param);
  param.max_iterations = options.max_iterations;
  param.epsilon = options.epsilon;
  param.past = options.past;
  param.delta = options.delta;
  if (options.penalty == ME_Penalty::kL1 && options.strength > 0) {
    param.orthantwise_c = options.strength;
    param.orthantwise_start = 0;
    param.orthantwise_end = n;
    param.linesearch = LBFGS_LINESEARCH_BACKTRACKING;
  }
  lbfgsfloatval_t fx = 0;
  const int status = lbfgs(padded, x, &fx, evaluateCallback, progressCallback, &s, &param);
  r.status = status;
  r.iterations = s.iterations;
  // A callback that stops the optimiser makes it return the callback's value,
  // which is also the code of the objective test: the session knows which.
  r.message = s.stoppedEarly ? s.stopReason : statusText(status, options, s.stopReason);

  bool ok = hasResult(status);
  if (ok && !s.best.empty()) std::copy(s.best.begin(), s.best.end(), x);
  for (int i = 0; ok && i < n; ++i)
    if (!std::isfinite(x[i])) ok = false;
  if (!ok) {
    std::fprintf(stderr, "Error: training failed: %s.\n", r.message.c_str());
    lbfgs_free(x);
    return false;
  }
  std::vector<double> g(n);
  r.objective = s.evaluator.evaluate(x, g.data(), n, true);
  r.log_likelihood = s.evaluator.lastLogLikelihood;
  toModel(data, x, model.weights);
  lbfgs_free(x);
  model.init_feature2mef();
  r.stopped_early = s.stoppedEarly;
  return true;
}
