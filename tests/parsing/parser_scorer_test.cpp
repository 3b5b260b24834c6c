// The parser's hash-indexed classification gives the model's own
// probabilities and choice, bit for bit.
#include "parsing/parser_scorer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

TEST(ParserScorer, SameProbabilitiesAndChoiceAsTheModel) {
  std::mt19937 rng(19);
  std::uniform_int_distribution<int> coin(0, 99);
  std::normal_distribution<double> normal(0.0, 3.0);
  for (int round = 0; round < 4; ++round) {
    std::vector<std::string> labels, features;
    for (int l = 0; l < 40; ++l) labels.push_back((l % 2 ? "2:r" : "3:r") + std::to_string(l));
    labels.push_back("0");
    labels.push_back("1");
    for (int f = 0; f < 300; ++f) features.push_back("U" + std::to_string(f % 7) + ":v" + std::to_string(f));
    std::vector<ME_Model_Data> rows;
    for (const std::string& l : labels) rows.push_back({l.c_str(), "never", 0.0});
    for (const std::string& f : features)
      for (const std::string& l : labels) {
        const int c = coin(rng);
        if (c < 85) continue;
        // Round 3 has scores far beyond what exp can hold.
        rows.push_back({l.c_str(), f.c_str(), round == 3 && c > 97 ? 800.0 * (c - 98.5) : normal(rng)});
      }
    rows.push_back({"///", nullptr, 0.0});
    ME_Model model;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(model.load_from_array(rows.data()));
    testing::internal::GetCapturedStderr();
    ParserScorer scorer(model);
    std::vector<double> fast;
    for (int s = 0; s < 300; ++s) {
      ME_Sample sample;
      const int size = coin(rng) % 60;
      for (int i = 0; i < size; ++i) {
        // Unknown names and repeats among them.
        const int c = coin(rng);
        sample.feature_strs.push_back(c < 10 ? "U9:unknown" + std::to_string(c) : features[rng() % features.size()]);
      }
      ME_Sample copy = sample;
      const std::vector<double> reference = model.classify(copy);
      const int chosen = scorer.classify(sample, fast);
      ASSERT_EQ(fast.size(), reference.size());
      for (size_t j = 0; j < fast.size(); ++j) ASSERT_EQ(fast[j], reference[j]) << round << " " << s << " " << j;
      EXPECT_EQ(sample.label_str, copy.label_str);
      EXPECT_EQ(chosen, model.get_class_id(copy.label_str));
    }
  }
}

}  // namespace

namespace {

// Raw scores are the sums of the weights of the sample's features, repeats
// counted twice and valued features times their value, on the hash-index
// path and on the model's own (a sample with valued features).
TEST(ParserScorer, RawScoresAreTheWeightSums) {
  const std::vector<ME_Model_Data> rows = {{"0", "U1:a", 1.5},  {"1", "U1:a", -2.0}, {"2:x", "U1:b", 0.25},
                                           {"0", "U2:c", 3.0},  {"2:x", "U2:c", 1.0}, {"1", "U2:d", 700.0},
                                           {"///", nullptr, 0.0}};
  ME_Model model;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(model.load_from_array(rows.data()));
  testing::internal::GetCapturedStderr();
  ParserScorer scorer(model);
  auto expected = [&](const std::vector<double>& byLabelOrder) {
    std::vector<double> out(static_cast<size_t>(model.num_classes()), 0.0);
    const char* names[] = {"0", "1", "2:x"};
    for (int i = 0; i < 3; ++i) out[static_cast<size_t>(model.get_class_id(names[i]))] = byLabelOrder[i];
    return out;
  };
  std::vector<double> scores;
  ME_Sample sample;
  sample.feature_strs = {"U1:a", "U2:c", "U1:a", "U9:unknown", "U2:d"};
  scorer.scores(sample, scores);
  EXPECT_EQ(scores, expected({6.0, 696.0, 1.0}));
  sample.valued_feature_strs = {{"U1:b", 4.0}};
  scorer.scores(sample, scores);
  EXPECT_EQ(scores, expected({6.0, 696.0, 2.0}));
}

}  // namespace
