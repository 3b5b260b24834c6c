#include "parsing/parser_training.h"

#include <chrono>
#include <cstdio>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "maxent/estimator.h"
#include "parsing/beam_search.h"
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

// One treebank sentence as the global trainer keeps it in memory.
struct GlobalSentence {
  TokenTable rows;
  std::vector<std::vector<_dppair>> argumentLists;
  std::vector<int> predicateRows;
  std::vector<int> gold;  // the oracle's actions (label ids) up to where the drivers stop
};

// Averaged perceptron weights over (feature, label) pairs: w the current
// weights, u the sum of each update times the step it was made at, so that
// the average is w - u / step. A feature's weights lie together, apart from
// their sums, so that scoring a state reads one short run of memory per
// feature. Features are found by a 64-bit hash of their names in an open
// table (names are only needed to write the model); two names of the same
// hash, for a million features about one chance in ten million, would share
// their weights.
class PerceptronWeights {
 public:
  int featureId(const std::string& name) const {
    if (table_.empty()) return -1;
    const uint64_t key = keyOf(name);
    for (size_t at = key & mask_;; at = (at + 1) & mask_) {
      const Entry& e = table_[at];
      if (e.id < 0) return -1;
      if (e.key == key) return e.id;
    }
  }
  int addFeature(const std::string& name) {
    if ((names_.size() + 1) * 2 > table_.size()) grow();
    const uint64_t key = keyOf(name);
    size_t at = key & mask_;
    for (; table_[at].id >= 0; at = (at + 1) & mask_)
      if (table_[at].key == key) return table_[at].id;
    table_[at] = {key, static_cast<int>(names_.size())};
    names_.push_back(name);
    weights_.emplace_back();
    sums_.emplace_back();
    return table_[at].id;
  }
  void score(const std::vector<int>& features, std::vector<double>& out) const {
    for (int f : features)
      for (const Weight& weight : weights_[static_cast<size_t>(f)]) out[static_cast<size_t>(weight.label)] += weight.w;
  }
  void update(int feature, int label, double delta, double step) {
    std::vector<Weight>& list = weights_[static_cast<size_t>(feature)];
    std::vector<double>& sums = sums_[static_cast<size_t>(feature)];
    size_t k = 0;
    while (k < list.size() && list[k].label != label) ++k;
    if (k == list.size()) {
      list.push_back({label, 0.0});
      sums.push_back(0.0);
    }
    list[k].w += delta;
    sums[k] += step * delta;
  }
  // Writes the averaged weights of at least minWeight in size into model
  // (labels already in it).
  void averagedInto(ME_Model& model, double step, double minWeight) const {
    for (size_t f = 0; f < weights_.size(); ++f) {
      int id = -1;
      for (size_t k = 0; k < weights_[f].size(); ++k) {
        const double value = weights_[f][k].w - sums_[f][k] / step;
        if (std::fabs(value) < minWeight || value == 0.0) continue;
        if (id < 0) id = model.feature_names.Put(names_[f]);
        model.feature_bag.Put(ME_Model::ME_Feature(weights_[f][k].label, id));
        model.weights.push_back(value);
      }
    }
  }

 private:
  struct Weight {
    int label;
    double w;
  };
  struct Entry {
    uint64_t key = 0;
    int id = -1;
  };
  static uint64_t keyOf(const std::string& name) { return std::hash<std::string>()(name); }
  void grow() {
    std::vector<Entry> old(std::max<size_t>(1024, table_.size() * 2));
    old.swap(table_);
    mask_ = table_.size() - 1;
    for (const Entry& e : old) {
      if (e.id < 0) continue;
      size_t at = e.key & mask_;
      while (table_[at].id >= 0) at = (at + 1) & mask_;
      table_[at] = e;
    }
  }
  std::vector<Entry> table_;  // size a power of two, at most half full
  size_t mask_ = 0;
  std::vector<std::string> names_;
  std::vector<std::vector<Weight>> weights_;  // per feature, in the order its labels were first updated
  std::vector<std::vector<double>> sums_;     // the u of each weight, in the same order
};

struct GlobalItem {
  std::vector<_dppair> arcs;
  std::vector<int> stack;
  int next = 0;
  bool ended = false;
  bool gold = true;  // its actions are a prefix of the oracle's
  double score = 0.0;
  std::vector<int> actions;
};

struct GlobalCandidate {
  int item;
  int label;  // -1: an ended item carried over
  double score;
  bool gold;
};

// The better of two candidates; among equal scores the earlier item and
// action first (the order of a stable sort, as the decoder's beam keeps it).
bool ahead(const GlobalCandidate& a, const GlobalCandidate& c) {
  if (a.score != c.score) return a.score > c.score;
  return a.item != c.item ? a.item < c.item : a.label < c.label;
}

// Threads that run the parts of one job side by side, kept for the whole
// training: a beam step is too short to start threads for.
class StepWorkers {
 public:
  explicit StepWorkers(int parts) : parts_(std::max(1, parts)) {
    for (int part = 1; part < parts_; ++part) threads_.emplace_back([this, part] { serve(part); });
  }
  ~StepWorkers() {
    stop_.store(true, std::memory_order_release);
    generation_.fetch_add(1, std::memory_order_acq_rel);
    for (std::thread& t : threads_) t.join();
  }
  StepWorkers(const StepWorkers&) = delete;
  StepWorkers& operator=(const StepWorkers&) = delete;
  int parts() const { return parts_; }
  // Runs job(part) for every part, the first on the calling thread; returns
  // when all are done.
  void run(const std::function<void(int)>& job) {
    if (parts_ == 1) {
      job(0);
      return;
    }
    job_ = &job;
    pending_.store(parts_ - 1, std::memory_order_release);
    generation_.fetch_add(1, std::memory_order_acq_rel);
    job(0);
    for (int spins = 0; pending_.load(std::memory_order_acquire) != 0;) pause(spins);
  }

 private:
  // Waits are short (a beam step): spin a while before giving the processor up.
  static void pause(int& spins) {
    if (++spins < 1 << 14) {
#if defined(__x86_64__) || defined(__i386__)
      __builtin_ia32_pause();
#endif
      return;
    }
    std::this_thread::yield();
  }
  void serve(int part) {
    uint64_t seen = 0;
    for (;;) {
      uint64_t now;
      for (int spins = 0; (now = generation_.load(std::memory_order_acquire)) == seen;) pause(spins);
      seen = now;
      if (stop_.load(std::memory_order_acquire)) return;
      (*job_)(part);
      pending_.fetch_sub(1, std::memory_order_acq_rel);
    }
  }
  int parts_;
  std::vector<std::thread> threads_;
  std::atomic<uint64_t> generation_{0};
  std::atomic<int> pending_{0};
  std::atomic<bool> stop_{false};
  const std::function<void(int)>* job_ = nullptr;
};

class GlobalTrainer {
 public:
  // The threads share each step of the beam (its items' features and
  // scores) and each update (the oracle's states and the best parse's), so
  // the model does not depend on their number.
  GlobalTrainer(const SampleCollection& collection, bool inverse, const std::vector<std::string>& labels,
                int threads)
      : inverse_(inverse), labels_(labels), workers_(threads) {
    // Each reader has its own copy of the templates (the feature generator
    // writes into them).
    for (int t = 0; t < workers_.parts(); ++t) readers_.emplace_back(collection);
  }

  GlobalItem start(const GlobalSentence& s) const {
    const int n = static_cast<int>(s.rows.size());
    GlobalItem item;
    startArcEager(n, inverse_, item.arcs, item.stack, item.next);
    item.ended = n < 2;
    return item;
  }
  void apply(GlobalItem& item, int label, int n) { apply(item, label, n, readers_[0].history); }
  // Feature strings of a state (for counting).
  const std::vector<std::string>& featureNames(GlobalSentence& s, GlobalItem& item) {
    stateFeatures(readers_[0], s, item, false);
    return readers_[0].sample.feature_strs;
  }
  bool columnsFit(GlobalSentence& s, GlobalItem& item) { return stateFeatures(readers_[0], s, item, true) >= 0; }

  // One sentence: beam parse with early update. delta: the update, by
  // (feature << 8 | label) in key order; empty when none is due.
  void train(GlobalSentence& s, const PerceptronWeights& weights, int width,
             std::vector<std::pair<uint64_t, double>>& delta) {
    delta.clear();
    const int n = static_cast<int>(s.rows.size());
    std::vector<GlobalItem>& beam = beam_;
    std::vector<GlobalItem>& nextBeam = nextBeam_;
    std::vector<GlobalCandidate>& candidates = candidates_;
    beam.resize(1);
    beam[0] = start(s);
    const int parts = workers_.parts();
    const size_t wide = static_cast<size_t>(width);
    // Each item's best `width` actions: no other can be among the step's
    // best `width`.
    const std::function<void(int)> expandItems = [&](int part) {
      Reader& reader = readers_[static_cast<size_t>(part)];
      for (size_t b = static_cast<size_t>(part); b < beam.size(); b += static_cast<size_t>(parts)) {
        std::vector<GlobalCandidate>& best = itemBest_[b];
        best.clear();
        GlobalItem& item = beam[b];
        if (item.ended) {
          best.push_back({static_cast<int>(b), -1, item.score, item.gold});
          continue;
        }
        featureIds(reader, s, item, weights);
        std::vector<double>& scores = reader.scores;
        scores.assign(labels_.size(), 0.0);
        weights.score(reader.ids, scores);
        const size_t t = item.actions.size();
        const int goldNext = item.gold && t < s.gold.size() ? s.gold[t] : -1;
        for (size_t label = 0; label < labels_.size(); ++label)
          if (beamActionAllowed(labels_[label], item.arcs, item.stack))
            best.push_back({static_cast<int>(b), static_cast<int>(label), item.score + scores[label],
                            static_cast<int>(label) == goldNext});
        const size_t keep = std::min(best.size(), wide);
        std::partial_sort(best.begin(), best.begin() + static_cast<std::ptrdiff_t>(keep), best.end(), ahead);
        best.resize(keep);
      }
    };
    // The kept candidates become the next beam; items keep their buffers.
    const std::function<void(int)> advanceItems = [&](int part) {
      Reader& reader = readers_[static_cast<size_t>(part)];
      for (size_t k = static_cast<size_t>(part); k < nextBeam.size(); k += static_cast<size_t>(parts)) {
        const GlobalCandidate& c = candidates[k];
        GlobalItem& item = nextBeam[k];
        item = beam[static_cast<size_t>(c.item)];
        item.score = c.score;
        item.gold = c.gold;
        if (c.label >= 0) apply(item, c.label, n, reader.history);
      }
    };
    for (;;) {
      bool open = false;
      for (const GlobalItem& item : beam) open = open || !item.ended;
      if (!open) break;
      if (itemBest_.size() < beam.size()) itemBest_.resize(beam.size());
      workers_.run(expandItems);
      candidates.clear();
      for (size_t b = 0; b < beam.size(); ++b)
        candidates.insert(candidates.end(), itemBest_[b].begin(), itemBest_[b].end());
      if (candidates.empty()) return;  // no action the treebank taught applies: nothing to learn here
      const size_t keep = std::min(candidates.size(), wide);
      std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(keep), candidates.end(),
                        ahead);
      bool goldKept = false;
      for (size_t k = 0; k < keep; ++k) goldKept = goldKept || candidates[k].gold;
      if (!goldKept) {
        // Early update: the oracle's prefix one action past the beam's
        // items against the best candidate.
        size_t goldLength = s.gold.size();
        for (const GlobalItem& item : beam)
          if (item.gold) goldLength = std::min(s.gold.size(), item.actions.size() + (item.ended ? 0 : 1));
        std::vector<int> predicted = beam[static_cast<size_t>(candidates[0].item)].actions;
        if (candidates[0].label >= 0) predicted.push_back(candidates[0].label);
        update(s, weights, goldLength, predicted, delta);
        return;
      }
      nextBeam.resize(keep);
      workers_.run(advanceItems);
      beam.swap(nextBeam);
    }
    if (beam[0].gold && beam[0].actions.size() == s.gold.size()) return;
    update(s, weights, s.gold.size(), beam[0].actions, delta);
  }

 private:
  // What one thread needs to turn states into feature ids.
  struct Reader {
    explicit Reader(const SampleCollection& c) : collection(c) {}
    SampleCollection collection;
    ME_Sample sample;
    std::vector<_dppair> noArcs;
    std::vector<_hisstruc> history;
    std::vector<int> ids;
    std::vector<double> scores;
    std::unordered_map<uint64_t, double> delta;
  };

  void apply(GlobalItem& item, int label, int n, std::vector<_hisstruc>& history) const {
    history.clear();
    if (inverse_)
      classDPNivreInverse(labels_[static_cast<size_t>(label)], item.arcs, item.stack, item.next, history);
    else
      classDPNivre(labels_[static_cast<size_t>(label)], item.arcs, item.stack, item.next, history);
    item.actions.push_back(label);
    item.ended = beamStateEnded(item.arcs, item.next, n, inverse_);
  }
  int stateFeatures(Reader& reader, GlobalSentence& s, GlobalItem& item, bool checkColumns) {
    return parserStateFeatures(reader.sample, reader.collection.templates, reader.collection.templateOrder, s.rows,
                               item.stack, item.next, item.arcs, s.argumentLists, s.predicateRows, reader.noArcs,
                               checkColumns);
  }
  // The ids of a state's known features, in reader.ids.
  void featureIds(Reader& reader, GlobalSentence& s, GlobalItem& item, const PerceptronWeights& weights) {
    stateFeatures(reader, s, item, false);
    reader.ids.clear();
    for (const std::string& name : reader.sample.feature_strs) {
      const int id = weights.featureId(name);
      if (id >= 0) reader.ids.push_back(id);
    }
  }
  // Adds sign times the features of every state along the actions to the
  // reader's delta.
  void collect(Reader& reader, GlobalSentence& s, const PerceptronWeights& weights, const std::vector<int>& actions,
               size_t length, double sign) {
    const int n = static_cast<int>(s.rows.size());
    GlobalItem item = start(s);
    for (size_t t = 0; t < length && t < actions.size(); ++t) {
      featureIds(reader, s, item, weights);
      for (int f : reader.ids)
        reader.delta[(static_cast<uint64_t>(f) << 8) | static_cast<uint64_t>(actions[t])] += sign;
      apply(item, actions[t], n, reader.history);
    }
  }
  // The oracle's prefix and the best parse are walked side by side when
  // there are threads for both.
  void update(GlobalSentence& s, const PerceptronWeights& weights, size_t goldLength,
              const std::vector<int>& predicted, std::vector<std::pair<uint64_t, double>>& delta) {
    for (Reader& reader : readers_) reader.delta.clear();
    const size_t second = readers_.size() > 1 ? 1 : 0;
    workers_.run([&](int part) {
      if (part == 0) collect(readers_[0], s, weights, s.gold, goldLength, 1.0);
      if (static_cast<size_t>(part) == second) collect(readers_[second], s, weights, predicted, predicted.size(), -1.0);
    });
    if (second != 0)
      for (const auto& d : readers_[second].delta) readers_[0].delta[d.first] += d.second;
    for (const auto& d : readers_[0].delta)
      if (d.second != 0.0) delta.push_back(d);
    std::sort(delta.begin(), delta.end());
  }

  bool inverse_;
  const std::vector<std::string>& labels_;
  StepWorkers workers_;
  std::vector<Reader> readers_;  // one per part of a step
  std::vector<std::vector<GlobalCandidate>> itemBest_;  // per item of the beam
  std::vector<GlobalItem> beam_, nextBeam_;  // kept, with their buffers, from sentence to sentence
  std::vector<GlobalCandidate> candidates_;
};

}  // namespace

bool trainGlobalParser(const std::string& templatePath, const std::string& inputPath, bool inverse,
                       const GlobalTrainingOptions& options, ME_Model& model, ParserSampleCounts& counts) {
  counts = ParserSampleCounts();
  SampleCollection collection;
  if (!openCollection(templatePath, inputPath, inverse, collection)) return false;
  std::vector<GlobalSentence> sentences;
  std::vector<std::string> labels;
  std::map<std::string, int> labelIds;
  std::unordered_map<std::string, int> seen;
  GlobalTrainer trainer(collection, inverse, labels, 1);  // reads the treebank
  const bool ok = forEachTrainingSentence(inputPath, inverse, counts, [&](TokenTable& rows, int firstLine,
                                                                          const std::vector<_dppair>&,
                                                                          std::vector<std::string>& actions) {
    GlobalSentence s;
    s.rows = rows;
    predicateInfoOf(s.rows, collection.predicateInfo, s.argumentLists, s.predicateRows);
    GlobalItem item = trainer.start(s);
    if (!trainer.columnsFit(s, item)) {
      reportColumns(inputPath, firstLine, rows, templatePath, collection.templates);
      return false;
    }
    const int n = static_cast<int>(rows.size());
    for (const std::string& action : actions) {
      if (item.ended) break;
      auto found = labelIds.find(action);
      if (found == labelIds.end()) {
        found = labelIds.emplace(action, static_cast<int>(labels.size())).first;
        labels.push_back(action);
      }
      for (const std::string& name : trainer.featureNames(s, item)) ++seen[name];
      s.gold.push_back(found->second);
      trainer.apply(item, found->second, n);
      ++counts.samples;
    }
    sentences.push_back(std::move(s));
    return true;
  });
  if (!ok) return false;
  if (labels.size() > 255) {
    std::fprintf(stderr, "Error: %s yields %zu actions; a model holds at most 255.\n", inputPath.c_str(),
                 labels.size());
    return false;
  }
  PerceptronWeights weights;
  for (const auto& entry : seen)
    if (entry.second >= options.cutoff) weights.addFeature(entry.first);
  seen = std::unordered_map<std::string, int>();

  // Sentences go in batches: each is parsed with the weights as they were
  // at the start of its batch, and the updates are made in sentence order.
  GlobalTrainer training(collection, inverse, labels, std::max(1, options.threads));
  const size_t batch = static_cast<size_t>(std::max(1, options.batch));
  std::vector<std::vector<std::pair<uint64_t, double>>> deltas(batch);
  std::vector<size_t> order(sentences.size());
  std::iota(order.begin(), order.end(), 0);
  std::mt19937 rng(options.seed);
  double step = 1.0;
  long done = 0;
  for (int epoch = 1; epoch <= options.epochs; ++epoch) {
    std::shuffle(order.begin(), order.end(), rng);
    long updates = 0;
    for (size_t first = 0; first < order.size(); first += batch) {
      const size_t count = std::min(batch, order.size() - first);
      for (size_t k = 0; k < count; ++k) training.train(sentences[order[first + k]], weights, options.width, deltas[k]);
      for (size_t k = 0; k < count; ++k) {
        if (!deltas[k].empty()) ++updates;
        for (const auto& d : deltas[k])
          weights.update(static_cast<int>(d.first >> 8), static_cast<int>(d.first & 0xff), d.second, step);
        step += 1.0;
      }
      done += static_cast<long>(count);
      if (options.onProgress && (first / batch) % 8 == 0) options.onProgress(done);
    }
    if (options.onEpoch) options.onEpoch(epoch, updates);
  }
  for (const std::string& label : labels) model.labels.Put(label);
  model.label_count = model.labels.Size();
  weights.averagedInto(model, step, options.minWeight);
  model.init_feature2mef();
  return true;
}

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

  if (options.global) {
    if (!trainGlobalParser(options.templatePath, projectivePath, options.inverse, options.globalTraining, model,
                           report.counts))
      return false;
    if (report.counts.samples == 0) return noActions(treebankPath);
    report.collectSeconds = secondsSince(start);
    if (options.onSamples) options.onSamples(model, report);
    report.seconds = secondsSince(start);
    return true;
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
