#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "maxent/me_model.h"

namespace {

using Triple = std::tuple<std::string, std::string, double>;

void fill(ME_Model& m, const std::vector<Triple>& rows) {
  std::vector<ME_Model_Data> table;
  for (const auto& r : rows) table.push_back({std::get<0>(r).c_str(), std::get<1>(r).c_str(), std::get<2>(r)});
  table.push_back({"///", nullptr, 0.0});
  ASSERT_TRUE(m.load_from_array(table.data()));
}

ME_Sample sampleOf(std::vector<std::string> features) {
  ME_Sample s;
  s.feature_strs = std::move(features);
  return s;
}

void expectDistribution(const std::vector<double>& p) {
  double sum = 0;
  for (double x : p) {
    EXPECT_FALSE(std::isnan(x));
    EXPECT_GE(x, 0.0);
    sum += x;
  }
  EXPECT_NEAR(sum, 1.0, 1e-12);
}

class Classify : public testing::Test {
 protected:
  void SetUp() override {
    // labels A=0, B=1, C=2
    fill(model, {{"A", "f:1", 1.0}, {"B", "f:1", 2.0}, {"C", "f:2", 0.5}, {"A", "f:3", 1.0}, {"B", "f:4", 1.0}});
  }
  ME_Model model;
};

TEST_F(Classify, ProbabilitiesFollowTheSummedWeights) {
  ME_Sample s = sampleOf({"f:1", "f:2", "unknown"});
  s.label_str = "gold";
  const std::vector<double> p = model.classify(s);
  const double z = std::exp(1.0) + std::exp(2.0) + std::exp(0.5);
  ASSERT_EQ(p.size(), 3u);
  EXPECT_NEAR(p[0], std::exp(1.0) / z, 1e-12);
  EXPECT_NEAR(p[1], std::exp(2.0) / z, 1e-12);
  EXPECT_NEAR(p[2], std::exp(0.5) / z, 1e-12);
  EXPECT_EQ(s.label_str, "B");
  EXPECT_EQ(s.feature_strs.size(), 3u);
}

TEST_F(Classify, UnknownFeaturesGiveTheUniformDistributionAndLabelZero) {
  ME_Sample s = sampleOf({"nothing", "known"});
  const std::vector<double> p = model.classify(s);
  for (double x : p) EXPECT_DOUBLE_EQ(x, 1.0 / 3);
  EXPECT_EQ(s.label_str, "A");
}

TEST_F(Classify, TiesGoToTheLowerIdAndRepeatsCountTwice) {
  ME_Sample tie = sampleOf({"f:3", "f:4"});  // A 1, B 1
  model.classify(tie);
  EXPECT_EQ(tie.label_str, "A");
  ME_Sample twice = sampleOf({"f:3", "f:3", "f:4"});  // A 2, B 1
  const std::vector<double> p = model.classify(twice);
  EXPECT_NEAR(p[0] / p[1], std::exp(1.0), 1e-9);
}

TEST_F(Classify, Classify2ResizesAndReturnsTheIdWithoutTouchingTheLabel) {
  for (size_t start : {0u, 2u, 7u}) {
    std::vector<double> probs(start, 9.0);
    ME_Sample s = sampleOf({"f:2"});
    s.label_str = "kept";
    EXPECT_EQ(model.classify2(s, probs), 2);
    EXPECT_EQ(probs.size(), 3u);
    expectDistribution(probs);
    EXPECT_EQ(s.label_str, "kept");
  }
}

TEST(ClassifyScores, LargeScoresDoNotOverflow) {
  ME_Model m;
  fill(m, {{"A", "f:x", 1000.0}, {"B", "f:x", 999.0}});
  ME_Sample s = sampleOf({"f:x"});
  const std::vector<double> p = m.classify(s);
  EXPECT_NEAR(p[0], 0.7310585786, 1e-9);
  EXPECT_NEAR(p[1], 0.2689414214, 1e-9);
}

TEST(ClassifyScores, ScoresThatAllUnderflowStillGiveTheRightDistribution) {
  ME_Model m;
  fill(m, {{"A", "f:x", -1000.0}, {"B", "f:x", -999.0}, {"C", "f:y", 0.0}});
  ME_Sample s = sampleOf({"f:x", "f:x"});  // A -2000, B -1998, C 0 -> C; fine without fallback
  std::vector<double> p = m.classify(s);
  expectDistribution(p);
  EXPECT_EQ(s.label_str, "C");

  ME_Model low;
  fill(low, {{"A", "f:x", -1000.0}, {"B", "f:x", -999.0}});
  ME_Sample t = sampleOf({"f:x"});
  p = low.classify(t);
  expectDistribution(p);
  EXPECT_NEAR(p[1], 0.7310585786, 1e-9);
  EXPECT_EQ(t.label_str, "B");
}

TEST(ClassifyScores, NonFiniteWeightsNeverYieldNaN) {
  struct Case {
    double a, b;
    int winner;
  } cases[] = {
      {std::numeric_limits<double>::infinity(), 1.0, 0},
      {std::numeric_limits<double>::quiet_NaN(), 1.0, 1},
      {-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), 0},
      {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const auto& c : cases) {
    ME_Model m;
    fill(m, {{"A", "f:x", 0.0}, {"B", "f:x", 0.0}});
    m.weights = {c.a, c.b};  // set behind the loaders' back
    ME_Sample s = sampleOf({"f:x"});
    const std::vector<double> p = m.classify(s);
    expectDistribution(p);
    EXPECT_EQ(m.get_class_id(s.label_str), c.winner) << c.a << " " << c.b;
  }
}

TEST(ClassifyScores, ModelWithoutLabelsGivesAnEmptyResult) {
  ME_Model m;
  ME_Sample s = sampleOf({"f:x"});
  s.label_str = "gold";
  EXPECT_TRUE(m.classify(s).empty());
  EXPECT_EQ(s.label_str, "");
  std::vector<double> probs(4, 1.0);
  EXPECT_EQ(m.classify2(s, probs), -1);
  EXPECT_TRUE(probs.empty());
  ME_Model::Sample id;
  EXPECT_EQ(m.classify(id, probs), -1);
}

TEST(ClassifyScores, NamesAddedAfterTheRowTablesCountAsUnknown) {
  ME_Model m;
  fill(m, {{"A", "f:x", 0.0}, {"B", "f:x", 3.0}});
  ME_Model::Sample s;
  s.feature_ids = {m.feature_names.Put("f:new"), 0};
  std::vector<double> probs(2);
  EXPECT_EQ(m.classify(s, probs), 1);
  expectDistribution(probs);
}

TEST(ClassifyScores, ValuedFeaturesScaleTheirWeights) {
  ME_Model m;
  fill(m, {{"A", "r:x", 1.0}, {"B", "r:x", -1.0}});
  ME_Sample s;
  s.valued_feature_strs = {{"r:x", 0.5}, {"r:unknown", 9.0}};
  const std::vector<double> p = m.classify(s);
  EXPECT_NEAR(p[0] / p[1], std::exp(1.0), 1e-12);
}

TEST(ReferenceModel, PriorIsMultipliedInAndMissingLabelsGetAFloor) {
  ME_Model ref;
  // reference labels: B=0, A=1; D only in the reference
  fill(ref, {{"B", "g:1", 0.0}, {"A", "g:1", 0.0}, {"D", "g:1", 0.0}});
  ME_Model m;
  fill(m, {{"A", "f:x", 0.0}, {"B", "f:x", 0.0}, {"C", "f:x", 0.0}});
  m.reference_model = &ref;

  ME_Sample s = sampleOf({"f:x", "g:1"});
  const std::vector<double> p = m.classify(s);
  // Reference gives 1/3 to each of its labels; C is missing there: 0.001.
  const double z = 1.0 / 3 + 1.0 / 3 + 0.001;
  EXPECT_NEAR(p[0], (1.0 / 3) / z, 1e-12);
  EXPECT_NEAR(p[1], (1.0 / 3) / z, 1e-12);
  EXPECT_NEAR(p[2], 0.001 / z, 1e-12);
  EXPECT_EQ(s.label_str, "A");

  ME_Model::Sample id;
  id.reference_dist = {0.0, 0.75, 0.25};  // by the reference's ids: B 0, A .75, D .25
  m.set_ref_dist(id);
  EXPECT_EQ(id.reference_dist, (std::vector<double>{0.75, 0.001, 0.001}));
}

}  // namespace
