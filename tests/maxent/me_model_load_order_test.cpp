// The version-2 reader gives ids and weights by first occurrence whatever the
// order of the file's lines, and reads every weight as "%f" reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "maxent/me_model.h"

namespace {

struct Pair {
  std::string label, prefix, value, weight;
};

std::string path(const std::string& name) { return testing::TempDir() + "me_load_order_" + name; }

// Writes the pairs one feature line each, a block per pair.
void writePairs(const std::string& file, const std::vector<Pair>& pairs) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  for (const Pair& p : pairs) out << "\n" << p.prefix << "\n" << p.value << " " << p.label << " " << p.weight << "\n";
}

float scanned(const std::string& token) {
  float f = 0;
  EXPECT_EQ(std::sscanf(token.c_str(), "%f", &f), 1) << token;
  return f;
}

// Ids by first occurrence, keys consistent with the index, each weight the
// one "%f" reads (the later one for a repeated pair).
void expectLoadedAsListed(const std::vector<Pair>& pairs, const std::string& what) {
  writePairs(path("model"), pairs);
  ME_Model m;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(m.load_from_fileV2(path("model"))) << what;
  testing::internal::GetCapturedStderr();
  std::map<std::string, int> labels, names;
  std::map<std::pair<int, int>, double> weights;
  for (const Pair& p : pairs) {
    const int l = labels.emplace(p.label, static_cast<int>(labels.size())).first->second;
    const int n = names.emplace(p.prefix + ":" + p.value, static_cast<int>(names.size())).first->second;
    weights[{l, n}] = static_cast<double>(scanned(p.weight));
  }
  ASSERT_EQ(m.labels.names.size(), labels.size()) << what;
  for (const auto& l : labels) EXPECT_EQ(m.labels.Id(l.first), l.second) << what << " " << l.first;
  ASSERT_EQ(m.feature_names.count, static_cast<int>(names.size())) << what;
  for (const auto& n : names) EXPECT_EQ(m.feature_names.Id(n.first), n.second) << what << " " << n.first;
  ASSERT_EQ(m.feature_bag.keys.size(), weights.size()) << what;
  ASSERT_EQ(m.weights.size(), weights.size()) << what;
  for (size_t i = 0; i < m.feature_bag.keys.size(); ++i) {
    const ME_Model::ME_Feature key = m.feature_bag.keys[i];
    EXPECT_EQ(m.feature_bag.Id(key), static_cast<int>(i)) << what;
    auto w = weights.find({key.label(), key.feature()});
    ASSERT_NE(w, weights.end()) << what;
    EXPECT_EQ(m.weights[i], w->second) << what;
  }
}

TEST(ModelLoadOrder, AscendingDescendingShuffledAndRepeated) {
  std::vector<Pair> pairs;
  const char* labels[] = {"NN", "VB", "DT", "JJ"};
  for (int i = 0; i < 300; ++i)
    pairs.push_back({labels[i % 4], "U0" + std::to_string(i % 5), "w" + std::to_string(i / 3),
                     std::to_string((i % 17) - 8) + "." + std::to_string(100000 + i)});
  std::vector<Pair> sorted = pairs;
  std::sort(sorted.begin(), sorted.end(), [](const Pair& a, const Pair& b) {
    return std::tie(a.prefix, a.value, a.label) < std::tie(b.prefix, b.value, b.label);
  });
  expectLoadedAsListed(sorted, "ascending");
  std::vector<Pair> descending(sorted.rbegin(), sorted.rend());
  expectLoadedAsListed(descending, "descending");
  std::mt19937 rng(4);
  std::vector<Pair> shuffled = sorted;
  std::shuffle(shuffled.begin(), shuffled.end(), rng);
  for (int i = 0; i < 40; ++i) {  // repeats, some with another weight
    Pair again = shuffled[i * 7 % shuffled.size()];
    if (i % 2) again.weight = "9.500000";
    shuffled.insert(shuffled.begin() + (i * 13 % shuffled.size()), again);
  }
  expectLoadedAsListed(shuffled, "shuffled with repeats");
}

TEST(ModelLoadOrder, WeightsReadAsPercentF) {
  std::vector<Pair> pairs;
  const char* weights[] = {"0.500000", "-1.250000", "-0.000000", "0.0000001", "123456789.123456", "1e-3",
                           ".5",       "5.",        "+2.5",      "0x1p-3",    "3.4028234e38",     "1.5\r",
                           "7",        "-.25",      "00012.5",   "1.000000000000000000000000001",
                           // around the exact division's limits (2^24 as digits, ten fraction digits)
                           "16.777216", "16.777217", "-16.777217", "167772.16", "0.0000000001", "0.00000000001",
                           "0.1", "0.7", "-0.300000", "12345678.5", "0000000000000000000001.5",
                           "340282346638528859811704183484516925440.0", "0.000000000000000000000000000000000000000000001",
                           "123456789012345678901234567890.123456789"};
  int i = 0;
  for (const char* w : weights) pairs.push_back({"L", "P", "v" + std::to_string(i++), w});
  expectLoadedAsListed(pairs, "weight forms");
}

TEST(ModelLoadOrder, RandomDecimalsReadAsPercentF) {
  std::mt19937_64 rng(9);
  std::vector<Pair> pairs;
  char buf[64];
  for (int i = 0; i < 4000; ++i) {
    const double v = std::ldexp(static_cast<double>(rng() >> 11), -53) * std::pow(10.0, static_cast<int>(rng() % 10) - 3);
    std::snprintf(buf, sizeof buf, i % 3 == 0 ? "%.9f" : "%f", rng() % 2 ? v : -v);
    pairs.push_back({"L" + std::to_string(i % 3), "P", "v" + std::to_string(i), buf});
  }
  expectLoadedAsListed(pairs, "random decimals");
}

// Every shipped model: ids by first occurrence and every weight bit for bit
// what "%f" reads, against a plain reading of the file.
TEST(ModelLoadOrder, ShippedModelsLoadExactly) {
  std::vector<std::string> files;
  const std::string dir = std::string(KORVANE_SOURCE_DIR) + "/models";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error))
    if (entry.path().extension() == ".model") files.push_back(entry.path().string());
  if (files.empty()) GTEST_SKIP() << "no shipped model found";
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::unordered_map<std::string, int> labels, names;
    std::vector<std::pair<uint32_t, float>> pairs;  // (key, weight) in file order
    std::string line, prefix, name;
    std::vector<std::string> t;
    while (std::getline(in, line)) {
      if (line.empty()) {
        if (!std::getline(in, prefix)) break;
        continue;
      }
      ME_Model::readLine2VectorString(line, t);
      ASSERT_EQ(t.size() % 2, 1u) << file;
      name = prefix + ":" + t[0];
      int n = -1;  // a name gets its id after its line's first label
      for (size_t i = 1; i + 1 < t.size(); i += 2) {
        const int l = labels.try_emplace(t[i], static_cast<int>(labels.size())).first->second;
        if (n < 0) n = names.try_emplace(name, static_cast<int>(names.size())).first->second;
        pairs.emplace_back(ME_Model::ME_Feature(l, n).body(), scanned(t[i + 1]));
      }
    }
    ME_Model m;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(m.load_from_fileV2(file)) << file;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Loading model done.\n") << file;
    ASSERT_EQ(m.labels.names.size(), labels.size()) << file;
    for (const auto& l : labels) ASSERT_EQ(m.labels.Id(l.first), l.second) << file << " " << l.first;
    ASSERT_EQ(m.feature_names.count, static_cast<int>(names.size())) << file;
    for (const auto& n : names) ASSERT_EQ(m.feature_names.Id(n.first), n.second) << file << " " << n.first;
    // The shipped files repeat no pair: feature indices follow the file.
    ASSERT_EQ(m.weights.size(), pairs.size()) << file;
    for (size_t i = 0; i < pairs.size(); ++i) {
      ASSERT_EQ(m.feature_bag.keys[i].body(), pairs[i].first) << file << " pair " << i;
      const float loaded = static_cast<float>(m.weights[i]);
      ASSERT_EQ(static_cast<double>(loaded), m.weights[i]) << file;  // a widened float
      ASSERT_EQ(std::memcmp(&loaded, &pairs[i].second, sizeof loaded), 0) << file << " weight " << i;
    }
  }
}

}  // namespace
