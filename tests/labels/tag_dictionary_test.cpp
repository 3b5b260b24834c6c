#include "labels/tag_dictionary.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "test_files.h"

namespace {

typedef std::vector<std::string> Strings;

struct LoadedDict {
  CMiniStringBag words;
  std::vector<CMiniStringBag> tags;
};

LoadedDict loadDict(const std::string& path) {
  LoadedDict d;
  std::string p = path;
  LoadCliqueLabelDict(&p[0], d.words, d.tags);
  return d;
}

struct LoadCase {
  const char* what;
  const char* content;
  Strings words;
  std::vector<Strings> tags;
};

TEST(LoadCliqueLabelDict, LineRules) {
  const LoadCase cases[] = {
      {"empty line ends the file", "w1 A\nw2 B C\n\nw3 D\n", {"w1", "w2"}, {{"A"}, {"B", "C"}}},
      {"repeated tag kept once", "w A B A\n", {"w"}, {{"A", "B"}}},
      {"word without tags", "only\n", {"only"}, {{}}},
      {"same tags, separate bags", "a X\nb X\n", {"a", "b"}, {{"X"}, {"X"}}},
      {"blank-only line skipped", "a X\n \t \nb Y\n", {"a", "b"}, {{"X"}, {"Y"}}},
      {"repeated word adds a bag", "a X\na Y\n", {"a"}, {{"X"}, {"Y"}}},
      {"runs of blanks and tabs", "\ta\tX  Y \n", {"a"}, {{"X", "Y"}}},
      {"last line without line feed", "a X\nb", {"a", "b"}, {{"X"}, {}}},
      {"carriage return stays", "a X\r\n", {"a"}, {{"X\r"}}},
      {"empty file", "", {}, {}},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    LoadedDict d = loadDict(writeTemp("load.dict", c.content));
    EXPECT_EQ(d.words.strings, c.words);
    EXPECT_EQ(d.words.count, static_cast<int>(c.words.size()));
    ASSERT_EQ(d.tags.size(), c.tags.size());
    for (size_t k = 0; k < c.tags.size(); ++k) {
      EXPECT_EQ(d.tags[k].strings, c.tags[k]);
      EXPECT_EQ(d.tags[k].count, static_cast<int>(c.tags[k].size()));
    }
  }
}

TEST(LoadCliqueLabelDict, ReloadReplacesAndMissingFileEmpties) {
  std::string path = writeTemp("reload.dict", "a X\n");
  CMiniStringBag words;
  std::vector<CMiniStringBag> tags;
  LoadCliqueLabelDict(&path[0], words, tags);
  LoadCliqueLabelDict(&path[0], words, tags);
  EXPECT_EQ(words.count, 1);
  EXPECT_EQ(tags.size(), 1u);

  std::string missing = tempPath("no_such.dict");
  std::remove(missing.c_str());
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  LoadCliqueLabelDict(&missing[0], words, tags);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(words.count, 0);
  EXPECT_TRUE(words.strings.empty());
  EXPECT_TRUE(words.idByString.empty());
  EXPECT_TRUE(tags.empty());
}

struct ColumnCase {
  int column;
  std::vector<Strings> blocks;
};

TEST(Load2DimDataFromCRF, GroupsOneFieldBySentence) {
  // Leading empty lines, three empty lines between sentences, no final line feed.
  std::string path = writeTemp("two.crf", "\n\na x NN\nb\ty  VB\n\n\n\nc z JJ");
  const ColumnCase cases[] = {
      {-1, {{"NN", "VB"}, {"JJ"}}}, {1, {{"a", "b"}, {"c"}}},     {-2, {{"x", "y"}, {"z"}}},
      {0, {{"", ""}, {""}}},        {4, {{"", ""}, {""}}},        {-4, {{"", ""}, {""}}},
      {INT32_MIN, {{"", ""}, {""}}},
  };
  for (const ColumnCase& c : cases) {
    SCOPED_TRACE(c.column);
    std::vector<Strings> blocks{{"stale"}};
    EXPECT_TRUE(Load2DimDataFromCRF(&path[0], c.column, blocks));
    EXPECT_EQ(blocks, c.blocks);
  }
}

TEST(Load2DimDataFromCRF, MissingFileGivesNoBlocks) {
  std::string missing = tempPath("no_such.crf");
  std::remove(missing.c_str());
  std::vector<Strings> blocks{{"stale"}};
  EXPECT_FALSE(Load2DimDataFromCRF(&missing[0], -1, blocks));
  EXPECT_TRUE(blocks.empty());
}

std::string buildDict(const std::string& train, const std::string& dict, int column, bool& ok) {
  std::string t = train, d = dict;
  testing::internal::CaptureStderr();
  ok = buildCliqueLabelDict(&t[0], &d[0], column);
  return testing::internal::GetCapturedStderr();
}

TEST(BuildCliqueLabelDict, WritesWordsAndTagsInOrderOfFirstSight) {
  std::string train = writeTemp("first.crf", "The DT\ncat NN\n\nthe DT\ncat VB\ncat NN\nThe NNP\n");
  std::string dict = tempPath("first.dict");
  bool ok = false;
  EXPECT_EQ(buildDict(train, dict, 1, ok), "item counter=3\n");
  EXPECT_TRUE(ok);
  EXPECT_EQ(readAll(dict), "The DT NNP\ncat NN VB\nthe DT\n");
}

TEST(BuildCliqueLabelDict, WordColumnAndLeftOutEmptyWords) {
  // Column 2 is the word; the second line has no second field, and a line
  // starting with a blank has an empty first field.
  std::string train = writeTemp("col.crf", "1 The x DT\n2\n3 cat y NN\n\n4 dog z NN\n");
  std::string dict = tempPath("col.dict");
  bool ok = false;
  EXPECT_EQ(buildDict(train, dict, 2, ok), "item counter=3\n");
  EXPECT_TRUE(ok);
  EXPECT_EQ(readAll(dict), "The DT\ncat NN\ndog NN\n");

  train = writeTemp("blank_word.crf", "a X\n  Y\nb Z\n");
  EXPECT_EQ(buildDict(train, dict, 1, ok), "item counter=2\n");
  EXPECT_EQ(readAll(dict), "a X\nb Z\n");
  LoadedDict d = loadDict(dict);
  EXPECT_EQ(d.words.strings, (Strings{"a", "b"}));
  ASSERT_EQ(d.tags.size(), 2u);
  EXPECT_EQ(d.tags[1].strings, Strings{"Z"});
}

TEST(BuildCliqueLabelDict, FailuresNameTheFileAndWriteNothing) {
  std::string missing = tempPath("no_such_train.crf");
  std::remove(missing.c_str());
  std::string dict = tempPath("never.dict");
  std::remove(dict.c_str());
  bool ok = true;
  EXPECT_EQ(buildDict(missing, dict, 1, ok), "Error: open file " + missing + ".\n");
  EXPECT_FALSE(ok);
  EXPECT_FALSE(fileExists(dict));

  std::string train = writeTemp("ok.crf", "a X\n");
  std::string unwritable = tempPath("no_such_dir/out.dict");
  ok = true;
  EXPECT_EQ(buildDict(train, unwritable, 1, ok), "Error: cannot create " + unwritable + ".\n");
  EXPECT_FALSE(ok);
}

// Reads the real training file independently and checks that the dictionary
// written and read back knows every (word, tag) pair, in order of first sight.
void checkRoundTrip(const std::string& name) {
  const std::string train = std::string(KORVANE_DATA_DIR) + "/" + name;
  if (!fileExists(train)) GTEST_SKIP() << train << " not found";
  const std::string dict = tempPath(name + ".dict");
  bool ok = false;
  buildDict(train, dict, 1, ok);
  ASSERT_TRUE(ok);
  LoadedDict d = loadDict(dict);
  ASSERT_EQ(static_cast<size_t>(d.words.count), d.tags.size());

  std::ifstream in(train, std::ios::binary);
  std::string line;
  std::map<std::string, Strings> seen;
  Strings order;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string word, tag, last;
    if (!(fields >> word)) continue;
    last = word;
    while (fields >> tag) last = tag;
    Strings& tags = seen[word];
    if (tags.empty()) order.push_back(word);
    bool known = false;
    for (const std::string& t : tags) known = known || t == last;
    if (!known) tags.push_back(last);
  }
  ASSERT_EQ(d.words.strings, order);
  for (size_t id = 0; id < order.size(); ++id) ASSERT_EQ(d.tags[id].strings, seen[order[id]]) << order[id];
}

TEST(BuildCliqueLabelDict, RoundTripEnglishTrainingData) { checkRoundTrip("en_ewt-train.tsv"); }
TEST(BuildCliqueLabelDict, RoundTripChineseTrainingData) { checkRoundTrip("zh_gsdsimp-train.tsv"); }

}  // namespace
