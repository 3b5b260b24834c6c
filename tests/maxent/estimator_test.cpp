#include "maxent/estimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

ME_Sample sample(const std::string& label, std::vector<std::string> features,
                 std::vector<std::pair<std::string, double>> valued = {}) {
  ME_Sample s;
  s.label_str = label;
  s.feature_strs = std::move(features);
  s.valued_feature_strs = std::move(valued);
  return s;
}

void makeBag(ME_Model& m, int cutoff = 0) {
  m.filter_file_name = "NULL";
  m.make_feature_bag(cutoff);
}

ME_TrainOptions quiet(ME_Penalty penalty, double strength) {
  ME_TrainOptions o;
  o.penalty = penalty;
  o.strength = strength;
  o.progress = nullptr;
  return o;
}

// Random instances with repeated, valued and weighted features.
void randomProblem(ME_Model& m, unsigned seed) {
  std::mt19937 rng(seed);
  const char* labels[] = {"A", "B", "C"};
  for (int i = 0; i < 40; ++i) {
    std::vector<std::string> f;
    const int k = 1 + static_cast<int>(rng() % 4);
    for (int j = 0; j < k; ++j) f.push_back("f" + std::to_string(rng() % 7));
    std::vector<std::pair<std::string, double>> v;
    if (rng() % 3 == 0) v.emplace_back("r" + std::to_string(rng() % 2), (rng() % 100) / 25.0 - 2.0);
    m.add_training_sample(sample(labels[rng() % 3], f, v));
  }
  makeBag(m);
  for (size_t i = 0; i < m.training_samples.size(); i += 5) m.training_samples[i].frequency = 3;
}

void checkGradient(const ME_Model& m, const ME_TrainOptions& o, std::vector<double> w) {
  std::vector<double> g, unused;
  const double f = ME_trainObjective(m, o, w, g);
  ASSERT_TRUE(std::isfinite(f));
  ASSERT_EQ(g.size(), w.size());
  const double h = 1e-6;
  for (size_t i = 0; i < w.size(); ++i) {
    std::vector<double> up = w, down = w;
    up[i] += h;
    down[i] -= h;
    const double numeric = (ME_trainObjective(m, o, up, unused) - ME_trainObjective(m, o, down, unused)) / (2 * h);
    EXPECT_NEAR(g[i], numeric, 1e-5 * std::max(1.0, std::fabs(numeric))) << "weight " << i;
  }
}

TEST(TrainObjective, GradientMatchesFiniteDifferences) {
  ME_Model m;
  randomProblem(m, 7);
  ASSERT_GT(m.feature_bag.Size(), 10);
  std::mt19937 rng(3);
  std::vector<double> w(m.feature_bag.Size());
  for (double& x : w) x = (static_cast<int>(rng() % 2001) - 1000) / 500.0;  // nonzero almost surely
  for (int k = 0; k < 3; ++k)
    if (w[k] == 0.0) w[k] = 0.3;
  checkGradient(m, quiet(ME_Penalty::kNone, 0.0), w);
  checkGradient(m, quiet(ME_Penalty::kL2, 0.7), w);
  checkGradient(m, quiet(ME_Penalty::kL1, 0.4), w);

  // Two threads add up to the same objective and gradient.
  ME_TrainOptions one = quiet(ME_Penalty::kL2, 0.7), two = one;
  one.threads = 1;
  two.threads = 2;
  std::vector<double> g1, g2;
  EXPECT_NEAR(ME_trainObjective(m, one, w, g1), ME_trainObjective(m, two, w, g2), 1e-9);
  for (size_t i = 0; i < g1.size(); ++i) EXPECT_NEAR(g1[i], g2[i], 1e-9);
}

// Many labels: rows long enough to be scored densely beside short ones,
// label counts that are not a multiple of the block, and scores far enough
// apart that some probabilities vanish.
TEST(TrainObjective, GradientWithManyLabelsAndFarApartScores) {
  for (int labelCount : {9, 17}) {
    ME_Model m;
    std::mt19937 rng(labelCount);
    for (int i = 0; i < 120; ++i) {
      std::vector<std::string> f = {"bias", "w" + std::to_string(rng() % 30), "s" + std::to_string(rng() % 3)};
      m.add_training_sample(sample("L" + std::to_string(rng() % labelCount), f));
    }
    makeBag(m);
    std::vector<double> w(m.feature_bag.Size());
    for (double& x : w) x = (static_cast<int>(rng() % 2001) - 1000) / 400.0;
    checkGradient(m, quiet(ME_Penalty::kL2, 0.5), w);
    for (size_t i = 0; i < w.size(); i += 3) w[i] *= 20.0;
    checkGradient(m, quiet(ME_Penalty::kNone, 0.0), w);
    // Scores thousands apart: exponentials underflow, nothing turns NaN.
    for (size_t i = 0; i < w.size(); i += 3) w[i] *= 100.0;
    std::vector<double> g;
    EXPECT_TRUE(std::isfinite(ME_trainObjective(m, quiet(ME_Penalty::kNone, 0.0), w, g)));
    for (double x : g) EXPECT_TRUE(std::isfinite(x));
  }
}

TEST(TrainObjective, GradientWithAReferencePrior) {
  std::vector<ME_Model_Data> rows = {{"B", "f1", 0.8}, {"A", "f2", -0.5}, {"D", "f1", 0.2}, {"///", nullptr, 0}};
  ME_Model ref;
  ASSERT_TRUE(ref.load_from_array(rows.data()));
  ME_Model m;
  m.reference_model = &ref;
  randomProblem(m, 11);
  std::vector<double> w(m.feature_bag.Size(), 0.25);
  checkGradient(m, quiet(ME_Penalty::kL2, 0.3), w);
}

TEST(TrainWeights, FindsTheMaximumLikelihoodProportions) {
  // One feature seen with A three times and with B once: p(A) = 3/4 at the optimum.
  ME_Model m;
  for (const char* l : {"A", "A", "B", "A"}) m.add_training_sample(sample(l, {"bias"}));
  makeBag(m);
  ME_TrainReport report;
  ASSERT_TRUE(ME_trainWeights(m, quiet(ME_Penalty::kNone, 0.0), &report)) << report.message;
  ME_Sample s = sample("", {"bias"});
  const std::vector<double> p = m.classify(s);
  EXPECT_NEAR(p[0], 0.75, 1e-4);
  EXPECT_NEAR(report.log_likelihood, 3 * std::log(0.75) + std::log(0.25), 1e-6);
}

TEST(TrainWeights, SeparableProblemGivesTheRightClassifier) {
  for (ME_Penalty penalty : {ME_Penalty::kL2, ME_Penalty::kL1}) {
    ME_Model m;
    for (int i = 0; i < 10; ++i) {
      m.add_training_sample(sample("A", {"x", "bias"}));
      m.add_training_sample(sample("B", {"y", "bias"}));
      m.add_training_sample(sample("C", {"z", "bias"}));
    }
    makeBag(m);
    ME_TrainReport report;
    ASSERT_TRUE(ME_trainWeights(m, quiet(penalty, 0.1), &report)) << report.message;
    EXPECT_GT(report.iterations, 0);
    for (const auto& c : {std::make_pair("x", "A"), std::make_pair("y", "B"), std::make_pair("z", "C")}) {
      ME_Sample s = sample("", {c.first, "bias"});
      const std::vector<double> p = m.classify(s);
      EXPECT_EQ(s.label_str, c.second);
      EXPECT_GT(p[m.get_class_id(c.second)], 0.9);
    }
    if (penalty == ME_Penalty::kL1) {
      // A feature that says nothing about the label gets no weight at all.
      const int bias = m.feature_names.Id("bias");
      for (int l = 0; l < 3; ++l)
        EXPECT_EQ(m.weights[m.feature_bag.Id(ME_Model::ME_Feature(l, bias))], 0.0);
    }
  }
}

TEST(TrainWeights, ProgressCallbackCanStopAndHeldOutKeepsTheBestWeights) {
  ME_Model m;
  randomProblem(m, 5);
  ME_TrainOptions o = quiet(ME_Penalty::kNone, 0.0);
  int calls = 0;
  o.progress = [&](const ME_TrainProgress& p) {
    ++calls;
    EXPECT_EQ(p.iteration, calls);
    EXPECT_FALSE(p.heldout_measured);
    return p.iteration < 2;
  };
  ME_TrainReport report;
  ASSERT_TRUE(ME_trainWeights(m, o, &report));
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(report.stopped_early);
  EXPECT_EQ(report.iterations, 2);
  EXPECT_EQ(report.message, "stopped by the progress callback");

  // The iteration limit names itself.
  ME_Model limited;
  randomProblem(limited, 5);
  ME_TrainOptions one = quiet(ME_Penalty::kNone, 0.0);
  one.max_iterations = 1;
  ASSERT_TRUE(ME_trainWeights(limited, one, &report));
  EXPECT_EQ(report.message, "iteration limit: 1 iterations");

  // Held-out instances that contradict the training data: the held-out
  // likelihood gets worse as training goes on, so training stops early.
  ME_Model h;
  for (int i = 0; i < 6; ++i) {
    h.add_training_sample(sample("A", {"x"}));
    h.add_training_sample(sample(i < 4 ? "B" : "A", {"y"}));
  }
  makeBag(h);
  ME_Model::Sample a, b;
  a.label_id = 1;
  a.feature_ids = {h.feature_names.Id("x")};
  b.label_id = 0;
  b.feature_ids = {h.feature_names.Id("y")};
  h.heldout_samples = {a, b};
  ME_TrainOptions ho = quiet(ME_Penalty::kNone, 0.0);
  ho.heldout_patience = 2;
  double best = -1e300;
  ho.progress = [&](const ME_TrainProgress& p) {
    EXPECT_TRUE(p.heldout_measured);
    best = std::max(best, p.heldout_log_likelihood);
    return true;
  };
  ASSERT_TRUE(ME_trainWeights(h, ho, &report));
  EXPECT_TRUE(report.stopped_early);
  EXPECT_EQ(report.message.rfind("held-out patience: no held-out gain in 2 iterations; the weights of iteration ", 0),
            0u)
      << report.message;
  EXPECT_NEAR(h.heldout_likelihood(), best, 1e-12);
}

TEST(TrainWeights, RefusesBadOptionsAndUnknownLabels) {
  ME_Model m;
  randomProblem(m, 1);
  m.weights.assign(m.weights.size(), 0.5);
  ME_TrainOptions bad = quiet(ME_Penalty::kL2, -1.0);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ME_trainWeights(m, bad));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: invalid training options.\n");
  m.training_samples[0].label_id = 9;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ME_trainWeights(m, quiet(ME_Penalty::kL2, 1.0)));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: a training instance has a label the model does not know.\n");
  for (double w : m.weights) EXPECT_EQ(w, 0.5);
}

TEST(TrainWeights, EmptyBagAndDefaultProgressLine) {
  ME_Model empty;
  EXPECT_TRUE(ME_trainWeights(empty, quiet(ME_Penalty::kL2, 1.0)));
  EXPECT_TRUE(empty.weights.empty());

  ME_TrainProgress p;
  p.iteration = 3;
  p.objective = 1.5;
  p.log_likelihood = -1.25;
  p.gradient_norm = 0.5;
  p.active_features = 7;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(ME_printTrainProgress(p));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "iteration 3: objective 1.500000, log-likelihood -1.250000, |gradient| 0.5, active 7\n");
}

// ------------------------------------------------------------ real data

struct Token {
  std::string word, tag;
};

std::vector<std::vector<Token>> readTsv(const std::string& path, size_t maxSentences) {
  std::vector<std::vector<Token>> out(1);
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line) && out.size() <= maxSentences) {
    if (line.empty()) {
      if (!out.back().empty()) out.emplace_back();
      continue;
    }
    const size_t tab = line.find('\t');
    out.back().push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  if (out.back().empty()) out.pop_back();
  if (out.size() > maxSentences) out.resize(maxSentences);
  return out;
}

std::vector<std::string> featuresAt(const std::vector<Token>& s, size_t i) {
  auto word = [&](long k) -> std::string {
    if (k < 0) return "_B";
    if (k >= static_cast<long>(s.size())) return "_E";
    return s[k].word;
  };
  const std::string& w = s[i].word;
  std::vector<std::string> f = {"W:" + w, "P:" + word(static_cast<long>(i) - 1), "N:" + word(static_cast<long>(i) + 1),
                                "S1:" + w.substr(w.size() > 1 ? w.size() - 1 : 0),
                                "S3:" + w.substr(w.size() > 3 ? w.size() - 3 : 0), "bias"};
  if (!w.empty() && std::isupper(static_cast<unsigned char>(w[0]))) f.push_back("CAP");
  if (w.find_first_of("0123456789") != std::string::npos) f.push_back("DIGIT");
  return f;
}

TEST(TrainWeights, TagsEnglishFromASmallTrainingSet) {
  const std::string train = std::string(KORVANE_DATA_DIR) + "/en_ewt-train.tsv";
  const std::string dev = std::string(KORVANE_DATA_DIR) + "/en_ewt-dev.tsv";
  if (!std::ifstream(train) || !std::ifstream(dev)) GTEST_SKIP() << "no English data";
  ME_Model m;
  for (const auto& s : readTsv(train, 1500))
    for (size_t i = 0; i < s.size(); ++i) m.add_training_sample(sample(s[i].tag, featuresAt(s, i)));
  makeBag(m, 1);
  ME_TrainOptions o = quiet(ME_Penalty::kL2, 1.0);
  o.max_iterations = 150;
  ME_TrainReport report;
  ASSERT_TRUE(ME_trainWeights(m, o, &report)) << report.message;
  size_t right = 0, all = 0;
  for (const auto& s : readTsv(dev, 400)) {
    for (size_t i = 0; i < s.size(); ++i) {
      ME_Sample x = sample("", featuresAt(s, i));
      m.classify(x);
      right += x.label_str == s[i].tag;
      ++all;
    }
  }
  EXPECT_GT(static_cast<double>(right) / all, 0.85) << right << "/" << all;
}

}  // namespace
