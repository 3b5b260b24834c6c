#include "decoding/label_training.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "decoding/labeling.h"
#include "templates/builtin_templates.h"

namespace {

typedef std::vector<std::string> Tags;

struct Collected {
  int result = 0;
  std::string err;
  std::vector<ME_Sample> samples;
};

std::string writeFile(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

Collected collect(const std::string& templatePath, const std::string& trainPath, bool strict = false) {
  Collected c;
  testing::internal::CaptureStderr();
  c.result = FeatureGenLabelTrainSamples(const_cast<char*>(templatePath.c_str()),
                                         const_cast<char*>(trainPath.c_str()), strict,
                                         [&c](const ME_Sample& s) { c.samples.push_back(s); });
  c.err = testing::internal::GetCapturedStderr();
  return c;
}

Tags labelsOf(const std::vector<ME_Sample>& samples) {
  Tags out;
  for (const ME_Sample& s : samples) out.push_back(s.label_str);
  return out;
}

// Ends with the final progress line.
bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// ---------------------------------------------------------------- agreement with tagging

typedef std::vector<std::pair<std::string, std::string>> TaggedSentence;  // (word, gold tag)

std::string columnFile(const std::vector<TaggedSentence>& sentences) {
  std::string text;
  for (const TaggedSentence& s : sentences) {
    for (const auto& wt : s) text += wt.first + "\t" + wt.second + "\n";
    text += "\n";
  }
  return text;
}

// Tags every sentence with the built-in set and checks, token by token, that the
// classification whose history holds the gold tags used exactly the features
// of the training sample read with the shipped template file.
void expectTrainingMatchesTagging(const std::vector<TaggedSentence>& sentences, const std::string& templateFile,
                                  bool englishSet) {
  const std::string templatePath = std::string(KORVANE_SOURCE_DIR) + "/models/" + templateFile;
  if (!std::ifstream(templatePath)) GTEST_SKIP() << templatePath << " is absent";
  const std::string trainPath = writeFile("agreement.tsv", columnFile(sentences));
  Collected train = collect(templatePath, trainPath);
  ASSERT_EQ(train.result, 1);

  std::vector<_ftnind> templates;
  std::vector<int> order;
  int labelOrder = 0;
  if (englishSet)
    getTemplateEnglishPoS(templates, order, labelOrder);
  else
    getTemplateChinesePoS(templates, order, labelOrder);

  // Candidates: the gold tags each word has in these sentences.
  std::set<std::string> tagSet;
  CMiniStringBag words;
  std::vector<CMiniStringBag> wordTags;
  for (const TaggedSentence& s : sentences) {
    for (const auto& wt : s) {
      tagSet.insert(wt.second);
      const int id = words.Put(wt.first);
      if (id >= static_cast<int>(wordTags.size())) wordTags.resize(id + 1);
      wordTags[id].Put(wt.second);
    }
  }
  Tags tagList(tagSet.begin(), tagSet.end());
  std::vector<ME_Model_Data> rows;
  for (const std::string& t : tagList) rows.push_back({t.c_str(), "unused", 0.0});
  rows.push_back({"///", nullptr, 0.0});
  ME_Model model;
  ASSERT_TRUE(model.load_from_array(rows.data()));

  size_t sampleIndex = 0, compared = 0;
  std::vector<CMiniStringBag> noLegal;
  for (const TaggedSentence& s : sentences) {
    TokenTable sentence;
    for (const auto& wt : s) sentence.push_back({wt.first});
    Tags out;
    LabelTrace trace;
    ASSERT_EQ(labelSeqItTraced(sentence, tagList, out, labelOrder, words, 1, wordTags, noLegal, templates, order,
                               model, &trace),
              1);
    for (int k = 0; k < static_cast<int>(s.size()); ++k, ++sampleIndex) {
      Tags history(labelOrder);
      for (int slot = 0; slot < labelOrder; ++slot) {
        const int q = k - slot - 1;
        history[slot] = q < 0 ? "_B" + std::to_string(q) : s[q].second;
      }
      const LabelTraceEntry* found = nullptr;
      for (const LabelTraceEntry& e : trace.classifications)
        if (e.position == k && e.history == history) found = &e;
      ASSERT_NE(found, nullptr) << s[k].first;
      ASSERT_LT(sampleIndex, train.samples.size());
      EXPECT_EQ(train.samples[sampleIndex].label_str, s[k].second);
      EXPECT_EQ(train.samples[sampleIndex].feature_strs, found->features) << "token " << k << " " << s[k].first;
      ++compared;
    }
  }
  EXPECT_EQ(train.samples.size(), compared);
}

TEST(LabelTraining, EnglishTrainingFeaturesEqualTaggingFeaturesOfGoldHistory) {
  const std::vector<TaggedSentence> sentences = {
      {{"The", "DT"}, {"cat", "NN"}, {"sat", "VBD"}},
      {{"Mr.", "NNP"}, {"Smith", "NNP"}, {"RUNS", "VBZ"}, {",", ","}, {"x", "SYM"}, {"3.5", "CD"}, {"!", "."}},
      {{"Hi", "UH"}},
      {{"a", "DT"}, {"cat", "VB"}},
  };
  expectTrainingMatchesTagging(sentences, "english.template", true);
}

TEST(LabelTraining, ChineseTrainingFeaturesEqualTaggingFeaturesOfGoldHistory) {
  const std::vector<TaggedSentence> sentences = {
      {{"\xd6\xd0\xb9\xfa", "NR"}, {"\xc8\xcb\xc3\xf1", "NN"}, {"\xba\xc3", "VA"}, {"\xa1\xa3", "PU"}},
      {{"a\xba\xc3", "NN"}},
      {{"\xc8\xcb", "NN"}, {"AB", "NN"}, {"\xd6\xd0", "NR"}},
  };
  expectTrainingMatchesTagging(sentences, "chinese.template", false);
}

// The first sentences of the shipped corpora, read as they are.
std::vector<TaggedSentence> firstSentences(const std::string& file, size_t count) {
  std::vector<TaggedSentence> out;
  std::ifstream in(std::string(KORVANE_DATA_DIR) + "/" + file);
  std::string line;
  TaggedSentence cur;
  while (out.size() < count && std::getline(in, line)) {
    if (line.empty()) {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
      continue;
    }
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    cur.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return out;
}

TEST(LabelTraining, CorpusTrainingFeaturesEqualTaggingFeaturesOfGoldHistory) {
  const std::vector<TaggedSentence> english = firstSentences("en_ewt-train.tsv", 25);
  const std::vector<TaggedSentence> chinese = firstSentences("zh_gsdsimp-train.tsv", 10);
  if (english.empty() || chinese.empty()) GTEST_SKIP() << "corpus files are absent";
  expectTrainingMatchesTagging(english, "english.template", true);
  expectTrainingMatchesTagging(chinese, "chinese.template", false);
}

// ---------------------------------------------------------------- reading the training file

class LabelTrainingFiles : public testing::Test {
 protected:
  void SetUp() override {
    templatePath = writeFile("train.template", "U02:%x[0,0]\nA01:%x[0,0]%y[-1,0]\nB1\nB2\nZ9:%x[0,0]\n");
  }
  std::string templatePath;
};

TEST_F(LabelTrainingFiles, SamplesPerTokenWithTemplateKinds) {
  Collected c = collect(templatePath, writeFile("kinds.tsv", "w0 T0\nw1 T1\n\n"));
  ASSERT_EQ(c.result, 1);
  ASSERT_EQ(c.samples.size(), 2u);
  // Template order: no-label templates, then one-label, then two-label ones; Z9 adds nothing.
  EXPECT_EQ(c.samples[0].feature_strs, (Tags{"U02:w0", "A01:w0//_B-1", "B1:_B-1", "B2:_B-2/_B-1"}));
  EXPECT_EQ(c.samples[1].feature_strs, (Tags{"U02:w1", "A01:w1//T0", "B1:T0", "B2:_B-1/T0"}));
  EXPECT_EQ(labelsOf(c.samples), (Tags{"T0", "T1"}));
}

TEST_F(LabelTrainingFiles, SentenceBoundaries) {
  struct Case {
    const char* name;
    std::string text;
    Tags labels;
    std::string finalLine;
  };
  const Case cases[] = {
      {"unterminated last sentence", "a X\nb Y\n\nc Z", {"X", "Y"}, "#line=4,#seq=1\n"},
      {"runs of empty lines", "\n\na X\n\n\n\nb Y\n\n\n", {"X", "Y"}, "#line=9,#seq=2\n"},
      {"blank-only line ends a sentence", "a X\n \t \nb Y\n\n", {"X", "Y"}, "#line=4,#seq=2\n"},
      {"empty file", "", {}, "#line=0,#seq=0\n"},
      // Rows are expected to share one width; a shorter row gives its own last field.
      {"ragged rows", "a X\nb extra Y\n\n", {"X", "Y"}, "#line=3,#seq=1\n"},
  };
  for (const Case& k : cases) {
    Collected c = collect(templatePath, writeFile("bounds.tsv", k.text));
    EXPECT_EQ(c.result, 1) << k.name;
    EXPECT_EQ(labelsOf(c.samples), k.labels) << k.name;
    EXPECT_TRUE(endsWith(c.err, k.finalLine)) << k.name << ": " << c.err;
  }
}

TEST_F(LabelTrainingFiles, UnopenableTrainingFileReadsAsEmpty) {
  Collected c = collect(templatePath, testing::TempDir() + "no/such/file.tsv");
  EXPECT_EQ(c.result, 1);
  EXPECT_TRUE(c.samples.empty());
  EXPECT_TRUE(endsWith(c.err, "#line=0,#seq=0\n")) << c.err;
}

TEST_F(LabelTrainingFiles, LongLinesAreReadWhole) {
  const std::string word(100000, 'q');
  Collected c = collect(templatePath, writeFile("long.tsv", word + " X\n\n"));
  ASSERT_EQ(c.samples.size(), 1u);
  EXPECT_EQ(c.samples[0].feature_strs[0], "U02:" + word);
  EXPECT_EQ(c.samples[0].label_str, "X");
}

TEST_F(LabelTrainingFiles, ProgressLineEvery24000Lines) {
  std::string text;
  for (int i = 0; i < 12000; ++i) text += "w T\n\n";
  Collected c = collect(writeFile("none.template", "U02:%x[0,0]\n"), writeFile("many.tsv", text));
  EXPECT_NE(c.err.find("#line=24000,#seq=11999\r"), std::string::npos);
  EXPECT_TRUE(endsWith(c.err, "#line=24000,#seq=12000\n"));
}

// The strict check stops at the first sentence whose last column an item would
// reach; the samples of the sentences before it stay in the model.
TEST_F(LabelTrainingFiles, StrictColumnCheck) {
  const std::string tmpl = writeFile("col1.template", "U10:%x[0,1]\n");
  const std::string train = writeFile("cols.tsv", "a p X\nb q Y\n\nc Z\n\nd W\n\n");
  ME_Model model;
  testing::internal::CaptureStderr();
  EXPECT_EQ(FeatureGenLabelTrain(const_cast<char*>(tmpl.c_str()), const_cast<char*>(train.c_str()), model, true),
            -1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Error: x pointer in template file is longer than column number of crf file.\n"),
            std::string::npos);
  EXPECT_EQ(err.find("#line="), std::string::npos);
  EXPECT_EQ(model.training_samples.size(), 2u);

  Collected loose = collect(tmpl, train, false);
  EXPECT_EQ(loose.result, 1);
  EXPECT_EQ(loose.samples.size(), 4u);
}

TEST_F(LabelTrainingFiles, DuplicateTemplateNamesUseNoTemplate) {
  Collected c = collect(writeFile("dup.template", "U02:%x[0,0]\nU02:%x[1,0]\n"), writeFile("d.tsv", "a X\n\n"));
  EXPECT_EQ(c.result, 1);
  ASSERT_EQ(c.samples.size(), 1u);
  EXPECT_EQ(c.samples[0].label_str, "X");
  EXPECT_TRUE(c.samples[0].feature_strs.empty());
}

TEST_F(LabelTrainingFiles, ModelReceivesTheSamples) {
  ME_Model model;
  const std::string train = writeFile("m.tsv", "a X\nb Y\n\nc X\n\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(FeatureGenLabelTrain(const_cast<char*>(templatePath.c_str()), const_cast<char*>(train.c_str()), model,
                                 true),
            1);
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(model.training_samples.size(), 3u);
  EXPECT_EQ(model.labels.names, (Tags{"X", "Y"}));
  EXPECT_EQ(model.training_samples[1].label_id, 1);
  EXPECT_EQ(model.feature_names.Id("B1:X"), model.training_samples[1].feature_ids[2]);
}

TEST(FeatureTransGenTrain, LabelPartFromGoldTags) {
  TokenTable sentence = {{"a", "t0"}, {"b", "t1"}, {"c", "t2"}};
  std::vector<_ft> items(4);
  items[0].type = 0, items[0].offset = -2;
  items[1].type = 4, items[1].offset = 0;  // a token item: counted, contributes nothing
  items[2].type = 0, items[2].offset = -1;
  items[3].type = 0, items[3].offset = 1;
  std::string e = "stale";
  EXPECT_EQ(FeatureTransGenTrain(sentence, items, 3, 0, e), 4);
  EXPECT_EQ(e, "_B-2/_B-1/t1");
  FeatureTransGenTrain(sentence, items, 3, 2, e);
  EXPECT_EQ(e, "t0/t1/_E-1");

  std::vector<_ft> led(2);  // A01: a token item first, so the label part starts with "/"
  led[0].type = 4;
  led[1].type = 0, led[1].offset = -1;
  FeatureTransGenTrain(sentence, led, 3, 1, e);
  EXPECT_EQ(e, "/t0");
  std::vector<_ft> none;
  EXPECT_EQ(FeatureTransGenTrain(sentence, none, 3, 1, e), 0);
  EXPECT_EQ(e, "");
}

}  // namespace
