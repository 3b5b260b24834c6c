#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <list>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "maxent/me_model.h"
#include "test_files.h"

namespace {

using Triple = std::tuple<std::string, std::string, double>;
using FeatureList = std::list<std::pair<std::pair<std::string, std::string>, double>>;

std::string tempPath(const std::string& name) { return testing::TempDir() + "me_train_" + name; }

ME_Sample sample(const std::string& label, std::vector<std::string> features,
                 std::vector<std::pair<std::string, double>> valued = {}) {
  ME_Sample s;
  s.label_str = label;
  s.feature_strs = std::move(features);
  s.valued_feature_strs = std::move(valued);
  return s;
}

std::vector<Triple> listOf(ME_Model& m) {
  FeatureList f;
  m.get_features(f);
  std::vector<Triple> out;
  for (const auto& e : f) out.emplace_back(e.first.first, e.first.second, e.second);
  return out;
}

std::set<std::string> pairsOf(ME_Model& m) {
  std::set<std::string> out;
  for (const auto& t : listOf(m)) out.insert(std::get<0>(t) + " " + std::get<1>(t));
  return out;
}

int quietBag(ME_Model& m, int cutoff, std::string* err = nullptr) {
  testing::internal::CaptureStderr();
  const int r = m.make_feature_bag(cutoff);
  const std::string text = testing::internal::GetCapturedStderr();
  if (err) *err = text;
  return r;
}

TEST(AddTrainingSample, NumbersLabelsAndFeaturesByFirstSight) {
  ME_Model m;
  m.add_training_sample(sample("NN", {"a", "b"}));
  m.add_training_sample(sample("VB", {"b", "c", "c"}, {{"r", 0.5}}));
  m.add_training_sample(sample("NN", {"d"}));
  ASSERT_EQ(m.training_samples.size(), 3u);
  EXPECT_EQ(m.training_samples[2].label_id, 0);
  EXPECT_EQ(m.training_samples[1].label_id, 1);
  EXPECT_EQ(m.training_samples[1].feature_ids, (std::vector<int>{1, 2, 2}));
  EXPECT_EQ(m.training_samples[1].valued_feature_ids, (std::vector<std::pair<int, double>>{{3, 0.5}}));
  EXPECT_EQ(m.training_samples[2].feature_ids, (std::vector<int>{4}));
  for (const auto& s : m.training_samples) EXPECT_EQ(s.frequency, 1);
  EXPECT_EQ(m.label_count, 0);
  EXPECT_EQ(m.feature_bag.Size(), 0);
}

TEST(AddTrainingSample, StoresTheReferenceDistributionByTheReferenceIds) {
  std::vector<ME_Model_Data> rows = {{"X", "a", 1.0}, {"Y", "a", 0.0}, {"///", nullptr, 0}};
  ME_Model ref;
  ASSERT_TRUE(ref.load_from_array(rows.data()));
  ME_Model m;
  m.reference_model = &ref;
  m.add_training_sample(sample("Y", {"a"}));
  const auto& dist = m.training_samples[0].reference_dist;
  ASSERT_EQ(dist.size(), 2u);
  EXPECT_NEAR(dist[0], std::exp(1.0) / (std::exp(1.0) + 1), 1e-12);
}

TEST(AddTrainingSampleDeathTest, StopsTheProcessAtThe257thLabel) {
  ME_Model m;
  for (int i = 0; i < 256; ++i) m.add_training_sample(sample("L" + std::to_string(i), {"f"}));
  EXPECT_EQ(m.labels.Size(), 256);
  EXPECT_EXIT(m.add_training_sample(sample("L256", {"f"})), testing::ExitedWithCode(1),
              "^Error: too many types of labels.\n$");
}

class MakeFeatureBag : public testing::Test {
 protected:
  void SetUp() override {
    // (A, x) twice, (B, x) once, (A, r) valued twice, (B, y) three times
    m.add_training_sample(sample("A", {"x"}, {{"r", 1.0}}));
    m.add_training_sample(sample("A", {"x", "z", "z"}, {{"r", 2.0}}));
    m.add_training_sample(sample("B", {"x", "y", "y", "y"}));
    m.filter_file_name = "NULL";
  }
  ME_Model m;
};

TEST_F(MakeFeatureBag, CutoffKeepsIndicatorsAtTheCountAndValuedPairsAboveIt) {
  EXPECT_EQ(quietBag(m, 2), 4);
  // (A, z) is counted twice within one instance.
  EXPECT_EQ(pairsOf(m), (std::set<std::string>{"A x", "A z", "B y"}));
  EXPECT_EQ(m.label_count, 2);
  EXPECT_EQ(m.weights, std::vector<double>(3, 0.0));
}

TEST_F(MakeFeatureBag, WithoutCutoffEveryPairSurvivesInFirstSeenOrder) {
  for (int cutoff : {0, -1}) {
    ME_Model fresh;
    for (const auto& s : {sample("A", {"x"}, {{"r", 1.0}}), sample("B", {"x", "y"})}) fresh.add_training_sample(s);
    fresh.filter_file_name = "NULL";
    EXPECT_EQ(quietBag(fresh, cutoff), 2);
    ASSERT_EQ(fresh.feature_bag.Size(), 4);
    EXPECT_EQ(fresh.feature_bag.keys[1].body(), ME_Model::ME_Feature(0, 1).body());  // (A, r)
    EXPECT_EQ(fresh.feature_bag.keys[2].body(), ME_Model::ME_Feature(1, 0).body());  // (B, x)
  }
  ME_Model empty;
  empty.filter_file_name = "NULL";
  EXPECT_EQ(quietBag(empty, 1), 0);
}

TEST_F(MakeFeatureBag, RebuildsTheRowTablesSoTheModelClassifies) {
  quietBag(m, 0);
  m.weights[m.feature_bag.Id(ME_Model::ME_Feature(1, m.feature_names.Id("y")))] = 2.0;
  ME_Sample s = sample("", {"y"});
  const std::vector<double> p = m.classify(s);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(s.label_str, "B");
}

TEST_F(MakeFeatureBag, KeysAlreadyThereKeepTheirWeights) {
  std::vector<ME_Model_Data> rows = {{"B", "y", 7.0}, {"///", nullptr, 0}};
  ME_Model loaded;
  ASSERT_TRUE(loaded.load_from_array(rows.data()));
  loaded.add_training_sample(sample("A", {"y", "q"}));
  loaded.filter_file_name = "NULL";
  quietBag(loaded, 0);
  EXPECT_EQ(listOf(loaded), (std::vector<Triple>{{"A", "q", 0.0}, {"B", "y", 7.0}, {"A", "y", 0.0}}));
}

TEST_F(MakeFeatureBag, UnsetFilterNameKeepsNothingAndSaysSo) {
  m.filter_file_name.clear();
  std::string err;
  quietBag(m, 0, &err);
  EXPECT_EQ(err,
            "Warning: cannot open the feature filter list \"\"; no feature passes it.\n"
            "\n#filter=0\n");
  EXPECT_EQ(m.feature_bag.Size(), 0);
  EXPECT_TRUE(m.weights.empty());
}

TEST(FilterFeatureList, KeepsListedNamesInNameAndLabelOrder) {
  const std::string list = tempPath("filter.txt");
  writeFile(list, "12 U01:a 3\n\nx U01:b\nU01:c\n1 2 U01:d 4\n");
  ME_Model m;
  m.add_training_sample(sample("B", {"U01:b", "U02:z"}));
  m.add_training_sample(sample("A", {"U01:c", "U01:a", "U01:b", "U01:d"}));
  m.filter_file_name = list;
  std::string err;
  quietBag(m, 0, &err);
  EXPECT_EQ(err, "\n#filter=4\n");
  // "1 2 U01:d 4" names "2 U01:d", which is no feature.
  EXPECT_EQ(listOf(m), (std::vector<Triple>{{"A", "U01:a", 0}, {"B", "U01:b", 0}, {"A", "U01:b", 0}, {"A", "U01:c", 0}}));
  EXPECT_EQ(m.feature_bag.keys[0].body(), ME_Model::ME_Feature(1, m.feature_names.Id("U01:a")).body());
  EXPECT_EQ(m.feature_bag.keys[1].body(), ME_Model::ME_Feature(0, m.feature_names.Id("U01:b")).body());
  EXPECT_EQ(m.weights.size(), 4u);
}

TEST(FilterFeatureList, WeightsFollowTheirFeatures) {
  std::vector<ME_Model_Data> rows = {{"A", "p", 1.0}, {"A", "q", 2.0}, {"B", "p", 3.0}, {"///", nullptr, 0}};
  ME_Model m;
  ASSERT_TRUE(m.load_from_array(rows.data()));
  const std::string list = tempPath("filter_pq.txt");
  writeFile(list, "0 q 0\n0 p 0\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(m.filterFeatureList(list), 1);
  testing::internal::GetCapturedStderr();
  m.init_feature2mef();
  EXPECT_EQ(listOf(m), (std::vector<Triple>{{"A", "p", 1.0}, {"B", "p", 3.0}, {"A", "q", 2.0}}));
  EXPECT_EQ(m.weights, (std::vector<double>{1.0, 3.0, 2.0}));
  EXPECT_EQ(m.filterFeatureList("NULL"), 0);
}

TEST(HeldoutLikelihood, MeanLogProbabilityAndErrorRate) {
  std::vector<ME_Model_Data> rows = {{"A", "x", 1.0}, {"B", "y", 1.0}, {"///", nullptr, 0}};
  ME_Model m;
  ASSERT_TRUE(m.load_from_array(rows.data()));
  ME_Model::Sample right, wrong;
  right.label_id = 0;
  right.feature_ids = {0};
  wrong.label_id = 0;
  wrong.feature_ids = {1};
  m.heldout_samples = {right, wrong};
  const double pHigh = std::exp(1.0) / (std::exp(1.0) + 1);
  EXPECT_NEAR(m.heldout_likelihood(), (std::log(pHigh) + std::log(1 - pHigh)) / 2, 1e-12);
  EXPECT_DOUBLE_EQ(m.heldout_error, 0.5);

  m.heldout_samples.clear();
  m.heldout_error = 0.7;
  EXPECT_EQ(m.heldout_likelihood(), 0.0);
  EXPECT_EQ(m.heldout_error, 0.0);
}

TEST(CompareFeatures, ComparesOnlyTheIndicatorIds) {
  ME_Model m;
  ME_Model::Sample a, b;
  a.feature_ids = {1, 2};
  b.feature_ids = {1, 2};
  b.label_id = 5;
  b.valued_feature_ids = {{3, 1.0}};
  EXPECT_EQ(m.compareFeatures(a, b), 1);
  b.feature_ids = {2, 1};
  EXPECT_EQ(m.compareFeatures(a, b), -1);
  b.feature_ids = {1};
  EXPECT_EQ(m.compareFeatures(a, b), -1);
}

TEST(GetFeatures, GroupsByNameInByteOrderThenByLabelId) {
  std::vector<ME_Model_Data> rows = {{"B", "b", 1}, {"A", "\xb0", 2}, {"A", "b", 3}, {"B", "a", 4}, {"///", nullptr, 0}};
  ME_Model m;
  ASSERT_TRUE(m.load_from_array(rows.data()));
  FeatureList out = {{{"stale", "stale"}, 0}};
  m.get_features(out);
  const std::vector<Triple> want = {{"B", "a", 4}, {"B", "b", 1}, {"A", "b", 3}, {"A", "\xb0", 2}};
  EXPECT_EQ(listOf(m), want);
  EXPECT_EQ(out.size(), 4u);
}

// ------------------------------------------------------------ older format

bool loadOld(ME_Model& m, const std::string& path, std::string* err = nullptr) {
  testing::internal::CaptureStderr();
  const bool ok = m.load_from_file(path);
  const std::string text = testing::internal::GetCapturedStderr();
  if (err) *err = text;
  return ok;
}

TEST(OlderModelFile, ReadsTriplesLineByLine) {
  const std::string path = tempPath("old.model");
  const std::string longName = "U01:" + std::string(3000, 'w');
  writeFile(path, "NN U01:a 0.5 extra tokens\n\nNNS\tU01:a  -1.25\r\n \t\nNNS U01:b 2\nNN " + longName +
                      " 0.1\nNN U02:a 0.125");
  ME_Model m;
  std::string err;
  ASSERT_TRUE(loadOld(m, path, &err));
  EXPECT_EQ(err, "Loading model " + path + " done.\n");
  EXPECT_EQ(m.label_count, 2);
  EXPECT_EQ(listOf(m), (std::vector<Triple>{{"NN", "U01:a", 0.5},
                                            {"NNS", "U01:a", -1.25},
                                            {"NNS", "U01:b", 2},
                                            {"NN", longName, 0.1f},
                                            {"NN", "U02:a", 0.125}}));
  ME_Sample s;
  s.feature_strs = {"U01:b"};
  m.classify(s);
  EXPECT_EQ(s.label_str, "NNS");
}

TEST(OlderModelFile, RejectsDamagedLinesAndKeepsTheModel) {
  std::string labels;
  for (int i = 0; i < 257; ++i) labels += "L" + std::to_string(i) + " f 1\n";
  const std::pair<std::string, std::string> cases[] = {
      {"NN U01:a 0.5\nNN U01:b\n", "2: a line needs a label, a feature name and a weight.\n"},
      {"NN U01:a zero\n", "1: the weight \"zero\" is not a number.\n"},
      {"NN U01:a inf\n", "1: the weight \"inf\" is not a finite number.\n"},
      {labels, "257: label \"L256\" is one more than the 256 labels a model can hold.\n"},
  };
  for (const auto& c : cases) {
    const std::string path = tempPath("old_bad.model");
    writeFile(path, c.first);
    std::vector<ME_Model_Data> rows = {{"K", "k", 1.0}, {"///", nullptr, 0}};
    ME_Model m;
    ASSERT_TRUE(m.load_from_array(rows.data()));
    std::string err;
    EXPECT_FALSE(loadOld(m, path, &err));
    EXPECT_EQ(err, "Loading model " + path + " Error: " + path + " line " + c.second);
    EXPECT_EQ(listOf(m), (std::vector<Triple>{{"K", "k", 1.0}}));
  }
}

TEST(OlderModelFile, RepeatedPairAndMissingFile) {
  const std::string path = tempPath("old_repeat.model");
  writeFile(path, "A f 1\nB f 2\nA f 3\n");
  ME_Model m;
  std::string err;
  ASSERT_TRUE(loadOld(m, path, &err));
  EXPECT_EQ(err, "Loading model " + path + " Warning: " + path +
                     " line 3: the pair (A, f) was given before; the later weight is kept.\ndone.\n");
  EXPECT_EQ(listOf(m), (std::vector<Triple>{{"A", "f", 3}, {"B", "f", 2}}));

  const std::string missing = tempPath("old_missing.model");
  EXPECT_FALSE(loadOld(m, missing, &err));
  EXPECT_EQ(err, "Loading model " + missing + " Error: cannot open " + missing + "!\n");
  EXPECT_EQ(m.label_count, 2);
}

// ------------------------------------------------------------ weight table

TEST(LoadFromArray, DefinesTheWholeModelEvenOnAUsedOne) {
  std::vector<ME_Model_Data> first = {{"A", "x", 1.0}, {"B", "y", 2.0}, {"///", nullptr, 0}};
  std::vector<ME_Model_Data> second = {{"C", "z", 0.1}, {"C", "z", 0.3}, {"///", "ignored", 9}};
  ME_Model m;
  ASSERT_TRUE(m.load_from_array(first.data()));
  testing::internal::CaptureStderr();
  ASSERT_TRUE(m.load_from_array(second.data()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Warning: weight table row 1: the pair (C, z) was given before; the later weight is kept.\n");
  EXPECT_EQ(listOf(m), (std::vector<Triple>{{"C", "z", 0.3}}));  // double, not rounded
  EXPECT_EQ(m.label_count, 1);
  EXPECT_EQ(m.feature_names.count, 1);
}

TEST(LoadFromArray, RejectsTablesItCannotHoldAndKeepsTheModel) {
  std::vector<std::string> names;
  for (int i = 0; i < 257; ++i) names.push_back("L" + std::to_string(i));
  std::vector<ME_Model_Data> tooMany;
  for (const auto& n : names) tooMany.push_back({n.c_str(), "f", 1.0});
  tooMany.push_back({"///", nullptr, 0});
  std::vector<ME_Model_Data> noName = {{"A", nullptr, 1.0}, {"///", nullptr, 0}};
  std::vector<ME_Model_Data> nan = {{"A", "f", std::nan("")}, {"///", nullptr, 0}};
  const std::pair<const ME_Model_Data*, std::string> cases[] = {
      {nullptr, "Error: no weight table.\n"},
      {tooMany.data(), "Error: weight table row 256: label \"L256\" is one more than the 256 labels a model can hold.\n"},
      {noName.data(), "Error: weight table row 0 has no feature name.\n"},
      {nan.data(), "Error: weight table row 0: the weight is not a finite number.\n"},
  };
  for (const auto& c : cases) {
    std::vector<ME_Model_Data> rows = {{"K", "k", 1.0}, {"///", nullptr, 0}};
    ME_Model m;
    ASSERT_TRUE(m.load_from_array(rows.data()));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(m.load_from_array(c.first));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.second);
    EXPECT_EQ(listOf(m), (std::vector<Triple>{{"K", "k", 1.0}}));
  }
}

}  // namespace
