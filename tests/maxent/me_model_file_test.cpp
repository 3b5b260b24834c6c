#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <list>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "maxent/me_model.h"
#include "test_files.h"

namespace {

using Triple = std::tuple<std::string, std::string, double>;

std::string tempPath(const std::string& name) { return testing::TempDir() + "me_file_" + name; }

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::set<Triple> triplesOf(ME_Model& m) {
  std::list<std::pair<std::pair<std::string, std::string>, double>> features;
  m.get_features(features);
  std::set<Triple> out;
  for (const auto& f : features) out.emplace(f.first.first, f.first.second, f.second);
  return out;
}

// Loads from an in-memory table; rows in the given order.
void fill(ME_Model& m, const std::vector<Triple>& rows) {
  std::vector<ME_Model_Data> table;
  for (const auto& r : rows) table.push_back({std::get<0>(r).c_str(), std::get<1>(r).c_str(), std::get<2>(r)});
  table.push_back({"///", nullptr, 0.0});
  ASSERT_TRUE(m.load_from_array(table.data()));
}

bool loadQuiet(ME_Model& m, const std::string& path, std::string* err = nullptr) {
  testing::internal::CaptureStderr();
  const bool ok = m.load_from_fileV2(path);
  const std::string text = testing::internal::GetCapturedStderr();
  if (err) *err = text;
  return ok;
}

const std::vector<Triple> kExampleRows = {
    {"NN", "U01:a", 0.5}, {"NNS", "U01:a", -1.25}, {"NNS", "U01:b", 2.0}, {"NN", "U02:a", 0.125}};
const char kExampleFile[] = "\nU01\na NN 0.500000 NNS -1.250000\nb NNS 2.000000\n\nU02\na NN 0.125000";

TEST(ModelFileV2, WritesTheSevenLineExampleAndReadsItBack) {
  ME_Model m;
  fill(m, kExampleRows);
  const std::string path = tempPath("example.model");
  ASSERT_TRUE(m.save_to_fileV2(path));
  EXPECT_EQ(readFile(path), kExampleFile);

  ME_Model back;
  std::string err;
  ASSERT_TRUE(loadQuiet(back, path, &err));
  EXPECT_EQ(err, "Loading model done.\n");
  EXPECT_EQ(back.label_count, 2);
  EXPECT_EQ(back.labels.names, (std::vector<std::string>{"NN", "NNS"}));
  EXPECT_EQ(back.feature_names.count, 3);
  EXPECT_EQ(back.feature_names.Id("U01:a"), 0);
  EXPECT_EQ(back.feature_names.Id("U01:b"), 1);
  EXPECT_EQ(back.feature_names.Id("U02:a"), 2);
  EXPECT_EQ(triplesOf(back), triplesOf(m));
  // Feature indices follow the order of the pairs in the file.
  ASSERT_EQ(back.weights, (std::vector<double>{0.5, -1.25, 2.0, 0.125}));
  EXPECT_EQ(back.feature_bag.keys[1].body(), ME_Model::ME_Feature(1, 0).body());

  // Saving the reloaded model gives the same bytes again.
  const std::string again = tempPath("example2.model");
  ASSERT_TRUE(back.save_to_fileV2(again));
  EXPECT_EQ(readFile(again), kExampleFile);
}

TEST(ModelFileV2, RoundTripRoundsToSixDecimalsThenSinglePrecision) {
  ME_Model m;
  fill(m, {{"A", "P:x", 1.23456789},
           {"B", "P:x", -0.0000004},
           {"B", "P:y:z", 12345.6789},
           {"A", "Q:\xb5\xc4", 3e-7},
           {"C", "Q:w\r", -2.5}});
  const std::string path = tempPath("round.model");
  ASSERT_TRUE(m.save_to_fileV2(path));
  ME_Model back;
  ASSERT_TRUE(loadQuiet(back, path));
  std::set<Triple> want;
  for (const auto& t : triplesOf(m)) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", std::get<2>(t));
    float f = 0;
    std::sscanf(text, "%f", &f);
    want.emplace(std::get<0>(t), std::get<1>(t), static_cast<double>(f));
  }
  EXPECT_EQ(triplesOf(back), want);
  EXPECT_EQ(back.weights[back.feature_bag.Id(ME_Model::ME_Feature(back.labels.Id("B"), back.feature_names.Id("P:x")))],
            0.0);
  EXPECT_EQ(back.feature_names.Id("P:y:z") >= 0, true);
}

TEST(ModelFileV2, LabelIdsFollowFirstOccurrenceInTheFile) {
  ME_Model m;
  fill(m, {{"X", "U02:a", 1.0}, {"Y", "U01:a", 2.0}});
  const std::string path = tempPath("order.model");
  ASSERT_TRUE(m.save_to_fileV2(path));
  EXPECT_EQ(readFile(path), "\nU01\na Y 2.000000\n\nU02\na X 1.000000");
  ME_Model back;
  ASSERT_TRUE(loadQuiet(back, path));
  EXPECT_EQ(back.labels.names, (std::vector<std::string>{"Y", "X"}));
}

struct ReadCase {
  const char* what;
  const char* bytes;
  std::vector<Triple> want;
};

TEST(ModelFileV2, ReaderLayoutRules) {
  const ReadCase cases[] = {
      {"no leading empty line", "a L 1\nb L 2", {{"L", ":a", 1}, {"L", ":b", 2}}},
      {"two empty lines make an empty prefix", "\n\nv L 1", {{"L", ":v", 1}}},
      {"repeated prefix block", "\nP\na L 1\n\nQ\na L 2\n\nP\nb L 3",
       {{"L", "P:a", 1}, {"L", "Q:a", 2}, {"L", "P:b", 3}}},
      {"carriage return in prefix and weight", "\nP\r\na L 1.5\r\n",
       {{"L", "P\r:a", 1.5}}},
      {"value-only line adds nothing", "\nP\nlonely\na L 1", {{"L", "P:a", 1}}},
      {"empty file", "", {}},
      {"file ends after an empty line", "\nP\na L 1\n\n", {{"L", "P:a", 1}}},
      {"tabs and runs of blanks separate", "\nP\na\tL  1 \t M\t-2", {{"L", "P:a", 1}, {"M", "P:a", -2}}},
      {"bytes after the number are accepted", "\nP\na L 0.25xyz", {{"L", "P:a", 0.25}}},
  };
  for (const auto& c : cases) {
    const std::string path = tempPath("layout.model");
    writeFile(path, c.bytes);
    ME_Model m;
    ASSERT_TRUE(loadQuiet(m, path)) << c.what;
    EXPECT_EQ(triplesOf(m), std::set<Triple>(c.want.begin(), c.want.end())) << c.what;
    EXPECT_EQ(m.label_count, static_cast<int>(m.labels.names.size())) << c.what;
  }
}

struct BadCase {
  const char* what;
  std::string bytes;
  const char* message;  // expected after "Error: <path> line "
};

std::string manyLabels(int n) {
  std::string s = "\nP\na";
  for (int i = 0; i < n; ++i) s += " L" + std::to_string(i) + " 1";
  return s;
}

TEST(ModelFileV2, RejectsDamagedFilesAndKeepsTheModel) {
  const BadCase cases[] = {
      {"label without weight", "\nP\na L 1 M", "3: label \"M\" has no weight.\n"},
      {"unreadable weight", "\nP\na L 1\nb L x1", "4: the weight \"x1\" of label \"L\" is not a number.\n"},
      {"infinite weight", "\nP\na L 1e39", "3: the weight \"1e39\" of label \"L\" is not a finite number.\n"},
      {"nan weight", "\nP\na L nan", "3: the weight \"nan\" of label \"L\" is not a finite number.\n"},
      {"blank line", "\nP\na L 1\n \t\nb L 2", "4: the line holds only blanks and tabs.\n"},
      {"257th label", manyLabels(257),
       "3: label \"L256\" is one more than the 256 labels a model can hold.\n"},
  };
  for (const auto& c : cases) {
    const std::string path = tempPath("bad.model");
    writeFile(path, c.bytes);
    ME_Model m;
    fill(m, kExampleRows);
    const auto before = triplesOf(m);
    std::string err;
    EXPECT_FALSE(loadQuiet(m, path, &err)) << c.what;
    EXPECT_EQ(err, "Loading model Error: " + path + " line " + c.message) << c.what;
    EXPECT_EQ(triplesOf(m), before) << c.what;
    EXPECT_EQ(m.label_count, 2) << c.what;
    std::vector<double> probs;
    ME_Sample s;
    s.feature_strs = {"U01:b"};
    EXPECT_EQ(m.classify2(s, probs), 1) << c.what;  // the row tables still fit the model
  }
}

TEST(ModelFileV2, AcceptsExactly256Labels) {
  const std::string path = tempPath("256.model");
  writeFile(path, manyLabels(256));
  ME_Model m;
  ASSERT_TRUE(loadQuiet(m, path));
  EXPECT_EQ(m.label_count, 256);
  EXPECT_EQ(m.row_offsets[1] - m.row_offsets[0], 256);
}

TEST(ModelFileV2, RepeatedPairKeepsLaterWeightAndOthersAligned) {
  const std::string path = tempPath("repeat.model");
  writeFile(path, "\nP\na L 1 M 2\nb L 3\na L 4\nc M 5");
  ME_Model m;
  std::string err;
  ASSERT_TRUE(loadQuiet(m, path, &err));
  EXPECT_EQ(err, "Loading model Warning: " + path +
                     " line 5: the pair (L, P:a) was given before; the later weight is kept.\ndone.\n");
  EXPECT_EQ(triplesOf(m), (std::set<Triple>{{"L", "P:a", 4}, {"M", "P:a", 2}, {"L", "P:b", 3}, {"M", "P:c", 5}}));
  EXPECT_EQ(m.weights.size(), m.feature_bag.keys.size());

  // Repeated within the line that brings a new name.
  writeFile(path, "\nP\na L 1 M 2 L 6\nb M 3");
  ME_Model r;
  ASSERT_TRUE(loadQuiet(r, path, &err));
  EXPECT_EQ(err, "Loading model Warning: " + path +
                     " line 3: the pair (L, P:a) was given before; the later weight is kept.\ndone.\n");
  EXPECT_EQ(triplesOf(r), (std::set<Triple>{{"L", "P:a", 6}, {"M", "P:a", 2}, {"M", "P:b", 3}}));
  EXPECT_EQ(r.feature_bag.Id(ME_Model::ME_Feature(0, 0)), 0);
  EXPECT_EQ(r.feature_bag.Id(ME_Model::ME_Feature(1, 1)), 2);
  EXPECT_EQ(r.feature_bag.Put(ME_Model::ME_Feature(1, 1)), 2);
  EXPECT_EQ(r.feature_bag.Put(ME_Model::ME_Feature(0, 1)), 3);
}

TEST(ModelFileV2, UnopenableFileKeepsTheModel) {
  ME_Model m;
  fill(m, kExampleRows);
  const std::string path = tempPath("missing/none.model");
  std::string err;
  EXPECT_FALSE(loadQuiet(m, path, &err));
  EXPECT_EQ(err, "Loading model Error: cannot open " + path + "!\n");
  EXPECT_EQ(m.label_count, 2);
  EXPECT_EQ(m.weights.size(), 4u);
}

TEST(ModelFileV2, UnreadableFileIsAFailureNotAnEmptyModel) {
  // A directory opens for reading on Linux but cannot be read.
  const std::string dir = tempPath("a_directory");
  ::mkdir(dir.c_str(), 0755);
  ME_Model m;
  fill(m, kExampleRows);
  std::string err;
  EXPECT_FALSE(loadQuiet(m, dir, &err));
  EXPECT_EQ(err, "Loading model Error: cannot read " + dir + "!\n");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(m.load_from_file(dir));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Loading model " + dir + " Error: cannot read " + dir + "!\n");
  EXPECT_EQ(m.label_count, 2);
  EXPECT_EQ(m.weights.size(), 4u);
}

TEST(ModelFileV2, LoadingReplacesTablesButNotSamples) {
  ME_Model m;
  fill(m, kExampleRows);
  m.training_samples.resize(3);
  const std::string path = tempPath("replace.model");
  writeFile(path, "\nZ\nq K 1");
  ASSERT_TRUE(loadQuiet(m, path));
  EXPECT_EQ(triplesOf(m), (std::set<Triple>{{"K", "Z:q", 1}}));
  EXPECT_EQ(m.feature_names.count, 1);
  EXPECT_EQ(m.training_samples.size(), 3u);
}

struct SaveRefusal {
  const char* what;
  std::vector<Triple> rows;
  const char* message;  // after "Error: <path>: "
};

TEST(ModelFileV2, WriterRefusesNamesThatCannotReadBackAndWritesNothing) {
  const SaveRefusal cases[] = {
      {"no colon", {{"L", "P:a", 1}, {"L", "plain", 1}},
       "the feature name \"plain\" has no ':' after its first byte; nothing written.\n"},
      {"colon only first", {{"L", ":a", 1}}, "the feature name \":a\" has no ':' after its first byte; nothing written.\n"},
      {"empty value", {{"L", "P:", 1}}, "the feature name \"P:\" would not read back; nothing written.\n"},
      {"blank in value", {{"L", "P:a b", 1}}, "the feature name \"P:a b\" would not read back; nothing written.\n"},
      {"blank in label", {{"A B", "P:a", 1}}, "the label \"A B\" would not read back; nothing written.\n"},
      {"empty label", {{"", "P:a", 1}}, "the label \"\" would not read back; nothing written.\n"},
  };
  for (const auto& c : cases) {
    ME_Model m;
    fill(m, c.rows);
    const std::string path = tempPath("refused.model");
    writeFile(path, "old contents");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(m.save_to_fileV2(path)) << c.what;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: " + path + ": " + c.message) << c.what;
    EXPECT_EQ(readFile(path), "old contents") << c.what;
  }
}

TEST(ModelFileV2, WriterRefusesNonFiniteWeights) {
  ME_Model m;
  fill(m, kExampleRows);
  m.weights[2] = std::numeric_limits<double>::quiet_NaN();
  const std::string path = tempPath("nan.model");
  std::remove(path.c_str());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(m.save_to_fileV2(path));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: " + path + ": the weight of (NNS, U01:b) is not a finite number; nothing written.\n");
  EXPECT_FALSE(exists(path));
}

TEST(ModelFileV2, WriterNamesAnUnwritablePathAndLeavesNoTemporary) {
  ME_Model m;
  fill(m, kExampleRows);
  const std::string path = tempPath("no_such_dir/x.model");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(m.save_to_fileV2(path));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: cannot open " + path + "!\n");

  // A successful save leaves only the model file beside it.
  const std::string dir = tempPath("savedir");
  ::mkdir(dir.c_str(), 0755);
  ASSERT_TRUE(m.save_to_fileV2(dir + "/m.model"));
  std::string listing;
  FILE* p = ::popen(("ls -A " + dir).c_str(), "r");
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) listing += buf;
  ::pclose(p);
  EXPECT_EQ(listing, "m.model\n");
}

TEST(ModelFileV2, SavesAnEmptyModelAsAnEmptyFile) {
  ME_Model m;
  const std::string path = tempPath("empty.model");
  ASSERT_TRUE(m.save_to_fileV2(path));
  EXPECT_EQ(readFile(path), "");
  ME_Model back;
  ASSERT_TRUE(loadQuiet(back, path));
  EXPECT_EQ(back.label_count, 0);
  EXPECT_EQ(back.row_offsets, std::vector<int>{0});
}

TEST(RowTables, GroupFeaturesByNameInLabelOrder) {
  ME_Model m;
  fill(m, {{"B", "n:1", 1}, {"A", "n:2", 2}, {"A", "n:1", 3}, {"C", "n:3", 4}});
  // names n:1=0, n:2=1, n:3=2; labels B=0, A=1, C=2
  EXPECT_EQ(m.row_offsets, (std::vector<int>{0, 2, 3, 4}));
  EXPECT_EQ(m.row_entries, (std::vector<int>{0, 2, 1, 3}));
  // A label at or past label_count has no place in the rows.
  m.label_count = 2;
  m.init_feature2mef();
  EXPECT_EQ(m.row_offsets, (std::vector<int>{0, 2, 3, 3}));
  EXPECT_EQ(m.row_entries, (std::vector<int>{0, 2, 1}));
}

TEST(Tokenizer, SplitsAtBlanksAndTabsOnly) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {}},
      {" \t ", {}},
      {"  a\tb  c ", {"a", "b", "c"}},
      {"x\r", {"x\r"}},
      {"a\fb\vc", {"a\fb\vc"}},
  };
  for (const auto& c : cases) {
    std::string line = c.first;
    std::vector<std::string> tokens = {"stale"};
    ME_Model::readLine2VectorString(line, tokens);
    EXPECT_EQ(tokens, c.second) << c.first;
  }
}

TEST(CheckFile, ProbesForReading) {
  const std::string path = tempPath("probe.txt");
  writeFile(path, "x");
  EXPECT_EQ(checkFile(path.c_str()), 1);
  const std::string missing = tempPath("probe_missing.txt");
  testing::internal::CaptureStderr();
  EXPECT_EQ(checkFile(missing.c_str()), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: open file " + missing + " for reading.\n");
}

TEST(FeatureBag, PutKeepsOneIndexPerKey) {
  ME_Model::ME_FeatureBag bag;
  EXPECT_EQ(bag.Put(ME_Model::ME_Feature(3, 7)), 0);
  EXPECT_EQ(bag.Put(ME_Model::ME_Feature(0, 1)), 1);
  EXPECT_EQ(bag.Put(ME_Model::ME_Feature(3, 7)), 0);
  EXPECT_EQ(bag.Id(ME_Model::ME_Feature(3, 7 + 256)), -1);
  EXPECT_EQ(bag.keys[0].body(), 3u + 7u * 256u);
  EXPECT_EQ(bag.keys[0].label(), 3);
  EXPECT_EQ(bag.keys[0].feature(), 7);

  // Keys appended without indexing are found, indexed or not.
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(bag.Append(ME_Model::ME_Feature(i % 256, 100 + i)), 2 + i);
  EXPECT_EQ(bag.Id(ME_Model::ME_Feature(999 % 256, 1099)), 1001);
  EXPECT_EQ(bag.Id(ME_Model::ME_Feature(0, 1)), 1);
  EXPECT_EQ(bag.Put(ME_Model::ME_Feature(5, 105)), 7);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(bag.Id(ME_Model::ME_Feature(i % 256, 100 + i)), 2 + i);
  EXPECT_EQ(bag.Put(ME_Model::ME_Feature(1, 1)), 1002);
  ME_Model::ME_FeatureBag moved(std::move(bag));
  EXPECT_EQ(moved.Id(ME_Model::ME_Feature(1, 1)), 1002);
  bag = ME_Model::ME_FeatureBag();
  EXPECT_EQ(bag.Put(ME_Model::ME_Feature(1, 1)), 0);
}

// The name table's hash index must agree with its ordered map whatever the
// order of puts, through growth, copies, moves and clearing.
TEST(FeatureNameTable, IndexAgreesWithTheMapThroughGrowthCopiesAndMoves) {
  ME_Model::FeatureNameTable t;
  std::vector<std::string> names;
  for (int i = 0; i < 5000; ++i) names.push_back("U" + std::to_string(i % 97) + ":" + std::string(i % 23, 'x') +
                                                 std::to_string(i * 7919 % 5000));
  for (size_t i = 0; i < names.size(); ++i) {
    const int before = t.count;
    const int id = t.Put(names[i]);
    EXPECT_EQ(id, t.ids.at(names[i]));
    EXPECT_EQ(t.count, before + (id == before ? 1 : 0));
  }
  EXPECT_EQ(static_cast<size_t>(t.count), t.ids.size());
  EXPECT_EQ(t.Id(std::string("U1:")), t.ids.count("U1:") ? t.ids.at("U1:") : -1);
  EXPECT_EQ(t.Id(std::string("absent")), -1);
  EXPECT_EQ(t.Id("U1:x", 3), t.ids.count("U1:") ? t.ids.at("U1:") : -1);  // by length, not up to a NUL

  ME_Model::FeatureNameTable copy(t);
  ME_Model::FeatureNameTable assigned;
  assigned.Put("other");
  assigned = t;
  ME_Model::FeatureNameTable moved(std::move(copy));
  for (const auto& e : t.ids) {
    EXPECT_EQ(assigned.Id(e.first), e.second);
    EXPECT_EQ(moved.Id(e.first), e.second);
  }
  EXPECT_EQ(moved.Put("new name"), t.count);
  EXPECT_EQ(assigned.Id(std::string("new name")), -1);

  // Names in ascending order go to the end of the map; one out of order
  // still finds its place.
  ME_Model::FeatureNameTable sorted;
  EXPECT_EQ(sorted.PutAfterLast("a:1"), 0);
  EXPECT_EQ(sorted.PutAfterLast("a:2"), 1);
  EXPECT_EQ(sorted.PutAfterLast("a:1"), 0);
  EXPECT_EQ(sorted.PutAfterLast("a:0"), 2);
  EXPECT_EQ(sorted.Id(std::string("a:0")), 2);
  EXPECT_EQ(sorted.ids.begin()->first, "a:0");
  // Appended names are found before and after they are indexed; names by id.
  EXPECT_EQ(sorted.PutAfterLast("b"), 3);
  EXPECT_EQ(sorted.Id(std::string("b")), 3);
  sorted.IndexPending();
  EXPECT_EQ(sorted.Id(std::string("b")), 3);
  ASSERT_NE(sorted.NameOf(2), nullptr);
  EXPECT_EQ(*sorted.NameOf(2), "a:0");
  EXPECT_EQ(sorted.NameOf(4), nullptr);
  ME_Model::FeatureNameTable sortedCopy(sorted);
  ASSERT_NE(sortedCopy.NameOf(3), nullptr);
  EXPECT_EQ(*sortedCopy.NameOf(3), "b");
  for (int id = 0; id < t.count; ++id) {
    ASSERT_NE(assigned.NameOf(id), nullptr);
    EXPECT_EQ(t.ids.at(*assigned.NameOf(id)), id);
  }

  t.Clear();
  EXPECT_EQ(t.Id(names[0]), -1);
  EXPECT_EQ(t.Put(names[1]), 0);
}

}  // namespace
