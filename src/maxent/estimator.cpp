#include "maxent/estimator.h"

#include <lbfgs.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <thread>

namespace {

// The instances in flat arrays, features already reduced to names that have
// a row; the row tables with the label of every entry beside it.
struct TrainData {
  int labels = 0;
  int features = 0;
  std::vector<int> rowOffsets;
  std::vector<int> entryIndex;
  std::vector<uint8_t> entryLabel;
  std::vector<int> gold;
  std::vector<double> freq;
  std::vector<size_t> featStart;
  std::vector<int> feats;
  std::vector<size_t> valStart;
  std::vector<std::pair<int, double>> vals;
  // Reference prior: instance i's reference_dist indexed through refIndex.
  const std::vector<ME_Model::Sample>* samples = nullptr;
  std::vector<int> refIndex;
  std::vector<double> observed;  // empirical count of every feature
};

void buildRows(const ME_Model& model, TrainData& d) {
  d.labels = model.label_count;
  d.features = model.feature_bag.Size();
  d.rowOffsets = model.row_offsets;
  d.entryIndex = model.row_entries;
  d.entryLabel.resize(d.entryIndex.size());
  for (size_t j = 0; j < d.entryIndex.size(); ++j)
    d.entryLabel[j] = static_cast<uint8_t>(model.feature_bag.keys[d.entryIndex[j]].label());
  if (model.reference_model != nullptr) {
    d.refIndex.resize(d.labels);
    for (int l = 0; l < d.labels; ++l) d.refIndex[l] = model.reference_model->labels.Id(model.labels.names[l]);
  }
}

// False when an instance has a label the model does not know.
bool buildInstances(const ME_Model& model, const std::vector<ME_Model::Sample>& samples, TrainData& d) {
  const int rows = static_cast<int>(d.rowOffsets.size()) - 1;
  auto hasRow = [&](int f) { return f >= 0 && f < rows && d.rowOffsets[f + 1] > d.rowOffsets[f]; };
  d.samples = model.reference_model != nullptr ? &samples : nullptr;
  d.featStart.assign(1, 0);
  d.valStart.assign(1, 0);
  for (const ME_Model::Sample& s : samples) {
    if (s.label_id < 0 || s.label_id >= d.labels) return false;
    d.gold.push_back(s.label_id);
    d.freq.push_back(static_cast<double>(s.frequency));
    for (int f : s.feature_ids)
      if (hasRow(f)) d.feats.push_back(f);
    for (const auto& fv : s.valued_feature_ids)
      if (hasRow(fv.first)) d.vals.push_back(fv);
    d.featStart.push_back(d.feats.size());
    d.valStart.push_back(d.vals.size());
  }
  return true;
}

void countObserved(TrainData& d) {
  d.observed.assign(d.features, 0.0);
  for (size_t i = 0; i < d.gold.size(); ++i) {
    const int y = d.gold[i];
    for (size_t p = d.featStart[i]; p < d.featStart[i + 1]; ++p) {
      const int f = d.feats[p];
      for (int j = d.rowOffsets[f]; j < d.rowOffsets[f + 1]; ++j)
        if (d.entryLabel[j] == y) d.observed[d.entryIndex[j]] += d.freq[i];
    }
    for (size_t p = d.valStart[i]; p < d.valStart[i + 1]; ++p) {
      const int f = d.vals[p].first;
      for (int j = d.rowOffsets[f]; j < d.rowOffsets[f + 1]; ++j)
        if (d.entryLabel[j] == y) d.observed[d.entryIndex[j]] += d.freq[i] * d.vals[p].second;
    }
  }
}

// Turns score into the label distribution of instance i; returns log p(gold).
double distribution(const TrainData& d, size_t i, const double* w, double* score) {
  const int n = d.labels;
  if (d.samples != nullptr) {
    // The same floor for missing or zero prior mass as classification uses.
    const std::vector<double>& ref = (*d.samples)[i].reference_dist;
    for (int l = 0; l < n; ++l) {
      const int r = d.refIndex[l];
      double p = r >= 0 && static_cast<size_t>(r) < ref.size() ? ref[r] : 0.0;
      if (!(p > 0.0)) p = 0.001;
      score[l] = std::log(p);
    }
  } else {
    std::fill(score, score + n, 0.0);
  }
  for (size_t p = d.featStart[i]; p < d.featStart[i + 1]; ++p) {
    const int f = d.feats[p];
    for (int j = d.rowOffsets[f]; j < d.rowOffsets[f + 1]; ++j) score[d.entryLabel[j]] += w[d.entryIndex[j]];
  }
  for (size_t p = d.valStart[i]; p < d.valStart[i + 1]; ++p) {
    const int f = d.vals[p].first;
    const double v = d.vals[p].second;
    for (int j = d.rowOffsets[f]; j < d.rowOffsets[f + 1]; ++j) score[d.entryLabel[j]] += v * w[d.entryIndex[j]];
  }
  double top = score[0];
  for (int l = 1; l < n; ++l) top = std::max(top, score[l]);
  double sum = 0.0;
  for (int l = 0; l < n; ++l) sum += std::exp(score[l] - top);
  const double logZ = top + std::log(sum);
  const double logGold = score[d.gold[i]] - logZ;
  for (int l = 0; l < n; ++l) score[l] = std::exp(score[l] - logZ);
  return logGold;
}

// Log-likelihood of instances [from, to); expected counts added into g.
double accumulate(const TrainData& d, size_t from, size_t to, const double* w, double* g) {
  std::vector<double> probs(d.labels);
  double ll = 0.0;
  for (size_t i = from; i < to; ++i) {
    const double c = d.freq[i];
    ll += c * distribution(d, i, w, probs.data());
    for (size_t p = d.featStart[i]; p < d.featStart[i + 1]; ++p) {
      const int f = d.feats[p];
      for (int j = d.rowOffsets[f]; j < d.rowOffsets[f + 1]; ++j) g[d.entryIndex[j]] += c * probs[d.entryLabel[j]];
    }
    for (size_t p = d.valStart[i]; p < d.valStart[i + 1]; ++p) {
      const int f = d.vals[p].first;
      const double cv = c * d.vals[p].second;
      for (int j = d.rowOffsets[f]; j < d.rowOffsets[f + 1]; ++j) g[d.entryIndex[j]] += cv * probs[d.entryLabel[j]];
    }
  }
  return ll;
}

struct Evaluator {
  const TrainData* data = nullptr;
  const ME_TrainOptions* options = nullptr;
  int threads = 1;
  std::vector<std::vector<double>> buffers;  // per extra thread
  double lastLogLikelihood = 0.0;

  // Negative log-likelihood plus the L2 term; gradient over the first n
  // entries of g. includeL1 adds the L1 value and its subgradient.
  double evaluate(const double* w, double* g, int n, bool includeL1) {
    const TrainData& d = *data;
    const size_t m = d.gold.size();
    std::fill(g, g + n, 0.0);
    const int t = static_cast<int>(std::min<size_t>(static_cast<size_t>(threads), std::max<size_t>(m, 1)));
    std::vector<double> partial(t, 0.0);
    if (t <= 1) {
      partial[0] = accumulate(d, 0, m, w, g);
    } else {
      buffers.resize(t - 1);
      std::vector<std::thread> workers;
      for (int k = 1; k < t; ++k) {
        buffers[k - 1].assign(n, 0.0);
        const size_t from = m * k / t, to = m * (k + 1) / t;
        workers.emplace_back([&, k, from, to] { partial[k] = accumulate(d, from, to, w, buffers[k - 1].data()); });
      }
      partial[0] = accumulate(d, 0, m / t, w, g);
      for (auto& th : workers) th.join();
      for (int k = 1; k < t; ++k) {
        const double* b = buffers[k - 1].data();
        for (int i = 0; i < n; ++i) g[i] += b[i];
      }
    }
    double ll = 0.0;
    for (double p : partial) ll += p;
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
  std::vector<double> probs(d.labels);
  double ll = 0.0;
  size_t correct = 0;
  for (size_t i = 0; i < d.gold.size(); ++i) {
    ll += distribution(d, i, w, probs.data());
    int best = 0;
    for (int l = 1; l < d.labels; ++l)
      if (probs[l] > probs[best]) best = l;
    if (best == d.gold[i]) ++correct;
  }
  const double n = static_cast<double>(d.gold.size());
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
  std::vector<double> w(weights);
  w.resize(d.features, 0.0);
  gradient.assign(d.features, 0.0);
  return e.evaluate(w.data(), gradient.data(), d.features, true);
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
  for (int i = 0; i < padded; ++i) x[i] = i < n && std::isfinite(model.weights[i]) ? model.weights[i] : 0.0;

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
  model.weights.assign(x, x + n);
  lbfgs_free(x);
  model.init_feature2mef();
  r.stopped_early = s.stoppedEarly;
  std::vector<double> g(n);
  r.objective = s.evaluator.evaluate(model.weights.data(), g.data(), n, true);
  r.log_likelihood = s.evaluator.lastLogLikelihood;
  return true;
}
