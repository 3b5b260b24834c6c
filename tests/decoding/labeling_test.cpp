#include "decoding/labeling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "templates/builtin_templates.h"
#include "templates/template_reader.h"
#include "template_sets.h"

namespace {

typedef std::vector<std::string> Tags;

TemplateSet english() { return englishTemplates(); }
TemplateSet chinese() { return chineseTemplates(); }
TemplateSet fromText(const std::string& text) { return templatesFromText(text); }

// A model over `labels` (in id order) with the given (label, feature, weight) rows.
struct Weight {
  const char* label;
  const char* feature;
  double value;
};

void loadModel(ME_Model& model, const Tags& labels, const std::vector<Weight>& weights) {
  std::vector<ME_Model_Data> rows;
  for (const std::string& l : labels) rows.push_back({l.c_str(), "never-generated", 0.0});
  for (const Weight& w : weights) rows.push_back({w.label, w.feature, w.value});
  rows.push_back({"///", nullptr, 0.0});
  ASSERT_TRUE(model.load_from_array(rows.data()));
  ASSERT_EQ(model.num_classes(), static_cast<int>(labels.size()));
}

TokenTable sentenceOf(const Tags& words) {
  TokenTable t;
  for (const std::string& w : words) t.push_back({w});
  return t;
}

// The dictionary: word -> tags, in the order given.
struct Dictionary {
  CMiniStringBag words;
  std::vector<CMiniStringBag> tags;
  void add(const std::string& word, const Tags& wordTags) {
    const int id = words.Put(word);
    if (id >= static_cast<int>(tags.size())) tags.resize(id + 1);
    for (const std::string& t : wordTags) tags[id].Put(t);
  }
};

struct Labelled {
  int result = 0;
  Tags outTags;
  LabelTrace trace;
};

Labelled label(TokenTable sentence, Tags tagList, TemplateSet& set, ME_Model& model, Dictionary* dict = nullptr,
          std::vector<CMiniStringBag> legal = {}, int labelOrder = -100) {
  Dictionary none;
  Dictionary& d = dict ? *dict : none;
  Labelled r;
  r.result = labelSeqItTraced(sentence, tagList, r.outTags, labelOrder == -100 ? set.labelOrder : labelOrder,
                              d.words, 1, d.tags, legal, set.templates, set.order, model, &r.trace);
  return r;
}

const LabelTraceEntry* find(const LabelTrace& trace, int position, const Tags& history) {
  for (const LabelTraceEntry& e : trace.classifications)
    if (e.position == position && e.history == history) return &e;
  return nullptr;
}

class LabelingTest : public testing::Test {
 protected:
  void SetUp() override {
    loadModel(model3, {"t0", "t1", "t2"},
              {{"t0", "U02:The", 6}, {"t1", "U02:cat", 6}, {"t2", "U02:sat", 6}, {"t1", "B1:t0", 1}});
  }
  ME_Model model3;
  const Tags tags3 = {"t0", "t1", "t2"};
};

// The worked example: at cat, for the assumed tag t of The.
TEST_F(LabelingTest, WorkedExampleFeaturesAndTags) {
  TemplateSet set = english();
  Labelled r = label(sentenceOf({"The", "cat", "sat"}), tags3, set, model3);
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(r.outTags, (Tags{"t0", "t1", "t2"}));
  EXPECT_EQ(r.trace.decoder, "viterbiDecoderB2Fast2Limit");
  for (const std::string& t : tags3) {
    const LabelTraceEntry* e = find(r.trace, 1, {t, "_B-1"});
    ASSERT_NE(e, nullptr) << t;
    // In template order: the one-label templates A01 and B1 before A02 and B2.
    const Tags expected = {"U01:The",  "U02:cat",     "U03:sat",     "U04:_E-1",     "U07:cat/sat",
                           "U09:The/sat", "U20:-",     "U21:the",     "U23:sat",      "U27:cat/sat",
                           "U28:sat/-",   "U29:the/sat", "U45:-/m+ch", "U47:m+n/m+n", "U63:m+n",
                           "A01:cat//" + t, "B1:" + t,  "A02:cat//_B-1", "B2:_B-1/" + t};
    EXPECT_EQ(e->features, expected);
  }
}

// The built-in English set at the first, a middle and the last token.
TEST_F(LabelingTest, EnglishFeatureStringsFollowTheTemplateTable) {
  TemplateSet set = english();
  Dictionary dict;  // one tag per word keeps the histories few
  const Tags words = {"Mr.", "Smith", "RUNS", ",", "x"};
  const Tags gold = {"t0", "t1", "t2", "t0", "t1"};
  for (size_t i = 0; i < words.size(); ++i) dict.add(words[i], {gold[i]});
  Labelled r = label(sentenceOf(words), tags3, set, model3, &dict);
  ASSERT_EQ(r.result, 1);
  struct Case {
    int position;
    Tags history;
    Tags features;
  };
  const Case cases[] = {
      {0,
       {"_B-1", "_B-2"},
       {"U01:_B-1", "U02:Mr.", "U03:Smith", "U04:RUNS", "U07:Mr./Smith", "U09:_B-1/Smith", "U20:-", "U21:-",
        "U23:smith", "U27:mr./smith", "U28:smith/runs", "U29:-/smith", "U45:-/-", "U47:m+ch/m+ch", "U63:m+n",
        "A01:Mr.//_B-1", "B1:_B-1", "A02:Mr.//_B-2", "B2:_B-2/_B-1"}},
      {1,
       {"t0", "_B-1"},
       {"U01:Mr.", "U02:Smith", "U03:RUNS", "U04:,", "U07:Smith/RUNS", "U09:Mr./RUNS", "U20:-", "U21:mr.",
        "U23:runs", "U27:smith/runs", "U28:runs/,", "U29:mr./runs", "U45:-/m+ch", "U47:m+ch/m+ca", "U63:m+n",
        "A01:Smith//t0", "B1:t0", "A02:Smith//_B-1", "B2:_B-1/t0"}},
      {2,
       {"t1", "t0"},
       {"U01:Smith", "U02:RUNS", "U03:,", "U04:x", "U07:RUNS/,", "U09:Smith/,", "U20:mr.", "U21:smith", "U23:,",
        "U27:runs/,", "U28:,/x", "U29:smith/,", "U45:m+ch/m+ch", "U47:m+ca/s+n", "U63:s+c", "A01:RUNS//t1",
        "B1:t1", "A02:RUNS//t0", "B2:t0/t1"}},
      {4,
       {"t0", "t2"},
       {"U01:,", "U02:x", "U03:_E-1", "U04:_E-2", "U07:x/_E-1", "U09:,/_E-1", "U20:runs", "U21:,", "U23:-",
        "U27:x/-", "U28:-/-", "U29:,/-", "U45:m+ca/s+n", "U47:s+n/-", "U63:-", "A01:x//t0", "B1:t0",
        "A02:x//t2", "B2:t2/t0"}},
  };
  for (const Case& c : cases) {
    const LabelTraceEntry* e = find(r.trace, c.position, c.history);
    ASSERT_NE(e, nullptr) << "position " << c.position;
    EXPECT_EQ(e->features, c.features) << "position " << c.position;
  }
}

// The built-in Chinese set on GBK words: 中国 人民 好 a.
TEST_F(LabelingTest, ChineseFeatureStringsFollowTheTemplateTable) {
  TemplateSet set = chinese();
  const std::string zhongguo = "\xd6\xd0\xb9\xfa", renmin = "\xc8\xcb\xc3\xf1", hao = "\xba\xc3";
  Labelled r = label(sentenceOf({zhongguo, renmin, hao, "a"}), tags3, set, model3);
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(r.trace.decoder, "viterbiDecoderB1Fast");
  const LabelTraceEntry* first = find(r.trace, 0, {"_B-1"});
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->features.back(), "B1:_B-1");
  EXPECT_EQ(first->features[0], "U00:_B-2");

  const LabelTraceEntry* e = find(r.trace, 1, {"t2"});
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->features,
            (Tags{"U00:_B-1", "U01:" + zhongguo, "U02:" + renmin, "U03:" + hao, "U04:a", "U05:_B-1/" + zhongguo,
                  "U06:" + zhongguo + "/" + renmin, "U07:" + renmin + "/" + hao, "U08:" + hao + "/a",
                  "U09:" + zhongguo + "/" + hao, "U11:\xc8\xcb", "U12:\xc3\xf1", "U13:2", "B1:t2"}));

  e = find(r.trace, 3, {"t0"});
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->features, (Tags{"U00:" + renmin, "U01:" + hao, "U02:a", "U03:_E-1", "U04:_E-2",
                               "U05:" + renmin + "/" + hao, "U06:" + hao + "/a", "U07:a/_E-1", "U08:_E-1/_E-2",
                               "U09:" + hao + "/_E-1", "U11:a", "U12:a", "U13:1", "B1:t0"}));
}

// Rows follow the history combinations (farthest slowest), and within one the
// candidates in tag-list order; each token is classified once per history.
TEST(Labeling, ScoreMatrixOrderAndClassificationCounts) {
  const Tags tags = {"a", "b", "c", "d"};
  std::vector<Weight> weights;
  std::vector<std::string> names;  // keep the strings alive for the table
  for (const std::string& t1 : tags)
    for (const std::string& t2 : tags) names.push_back("B2:" + t2 + "/" + t1);
  for (const std::string& t : tags) names.push_back("B1:" + t);
  for (size_t i = 0; i < names.size(); ++i)
    weights.push_back({tags[i % tags.size()].c_str(), names[i].c_str(), 0.1 * static_cast<double>(i % 7) + 0.05});
  ME_Model model;
  loadModel(model, tags, weights);

  TemplateSet set = english();
  Dictionary dict;
  dict.add("w0", {"d", "b"});  // candidates come out in tag-list order: b, d
  dict.add("w1", {"a", "c", "d"});
  dict.add("w2", {"c"});
  dict.add("w3", {"b", "a"});
  Labelled r = label(sentenceOf({"w0", "w1", "w2", "w3"}), tags, set, model, &dict);
  ASSERT_EQ(r.result, 1);
  ASSERT_EQ(r.trace.candidates.size(), 6u);
  EXPECT_EQ(r.trace.candidates[0], Tags{"_B-2"});
  EXPECT_EQ(r.trace.candidates[1], Tags{"_B-1"});
  EXPECT_EQ(r.trace.candidates[2], (Tags{"b", "d"}));
  EXPECT_EQ(r.trace.candidates[3], (Tags{"a", "c", "d"}));
  EXPECT_EQ(r.trace.candidates[5], (Tags{"a", "b"}));

  // Histories per token: 1, |C0|, |C0||C1|, |C1||C2|, with slot 1 (two back) varying slowest.
  std::vector<std::vector<Tags>> histories(4);
  for (const LabelTraceEntry& e : r.trace.classifications) histories[e.position].push_back(e.history);
  EXPECT_EQ(histories[0], (std::vector<Tags>{{"_B-1", "_B-2"}}));
  EXPECT_EQ(histories[1], (std::vector<Tags>{{"b", "_B-1"}, {"d", "_B-1"}}));
  EXPECT_EQ(histories[2],
            (std::vector<Tags>{{"a", "b"}, {"c", "b"}, {"d", "b"}, {"a", "d"}, {"c", "d"}, {"d", "d"}}));
  EXPECT_EQ(histories[3], (std::vector<Tags>{{"c", "a"}, {"c", "c"}, {"c", "d"}}));

  // Each classification contributes its candidates' probabilities, as costs.
  ASSERT_EQ(r.trace.costs.size(), 4u);
  std::vector<std::vector<double>> expected(4);
  for (const LabelTraceEntry& e : r.trace.classifications) {
    ME_Sample s;
    s.feature_strs = e.features;
    std::vector<double> probs = model.classify(s);
    for (size_t i = 0; i < tags.size(); ++i)
      for (const std::string& c : r.trace.candidates[e.position + 2])
        if (c == tags[i]) expected[e.position].push_back(-std::log(probs[i]));
  }
  for (int k = 0; k < 4; ++k) {
    ASSERT_EQ(r.trace.costs[k].size(), expected[k].size()) << k;
    for (size_t i = 0; i < expected[k].size(); ++i) EXPECT_DOUBLE_EQ(r.trace.costs[k][i], expected[k][i]);
  }
  // Distinct histories really give distinct rows here, so the order above is observable.
  EXPECT_NE(r.trace.costs[2][0], r.trace.costs[2][1]);
}

TEST_F(LabelingTest, DecoderChoice) {
  const std::string obs = "U02:%x[0,0]\n";
  std::vector<CMiniStringBag> legal(4);
  for (const std::string& t : tags3) {
    legal[0].Put(t);
    legal[1].Put(t);
    for (const std::string& u : tags3) legal[2].Put(t + " " + u);
  }
  Dictionary dict;
  dict.add("unrelated", {"t1"});
  struct Case {
    std::string templates;
    bool withDict, withLegal;
    std::string decoder;
  };
  const Case cases[] = {
      {obs, false, false, "viterbiDecoderB0Limit2"},
      {obs + "B1\n", false, false, "viterbiDecoderB1Fast"},
      {obs + "B1\n", true, false, "viterbiDecoderB1LimitPath3"},
      {obs + "B1\n", false, true, "viterbiDecoderB1LimitPath3"},
      {obs + "B2\n", false, false, "viterbiDecoderB2Fast2Limit"},
  };
  for (const Case& c : cases) {
    TemplateSet set = fromText(c.templates);
    Labelled r = label(sentenceOf({"The", "cat", "sat"}), tags3, set, model3, c.withDict ? &dict : nullptr,
                  c.withLegal ? legal : std::vector<CMiniStringBag>());
    ASSERT_EQ(r.result, 1) << c.decoder;
    EXPECT_EQ(r.trace.decoder, c.decoder);
    EXPECT_EQ(r.outTags, (Tags{"t0", "t1", "t2"})) << c.decoder;
  }
}

TEST_F(LabelingTest, OneTokenFirstOrderSentence) {
  TemplateSet set = chinese();
  Labelled r = label(sentenceOf({"sat"}), tags3, set, model3);
  ASSERT_EQ(r.result, 1);
  ASSERT_EQ(r.trace.costs.size(), 1u);
  EXPECT_EQ(r.trace.costs[0].size(), 3u);
  EXPECT_EQ(r.trace.classifications.size(), 1u);
  EXPECT_EQ(r.outTags, Tags{"t2"});
}

// A dictionary word whose tags the model does not know would have no candidate
// and could not be decoded: it gets the whole tag list, like an unknown word.
TEST_F(LabelingTest, CandidatesFromDictionaryWithFallbackToWholeTagList) {
  Dictionary dict;
  dict.add("The", {"t2", "t0"});
  dict.add("cat", {"XX", "YY"});
  for (int order = 0; order <= 2; ++order) {
    TemplateSet set = fromText(order == 0 ? "U02:%x[0,0]\n" : "U02:%x[0,0]\nB" + std::to_string(order) + "\n");
    Labelled r = label(sentenceOf({"The", "cat", "sat"}), tags3, set, model3, &dict);
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.trace.candidates[order], (Tags{"t0", "t2"}));
    EXPECT_EQ(r.trace.candidates[order + 1], tags3);  // no known tag
    EXPECT_EQ(r.trace.candidates[order + 2], tags3);  // not in the dictionary
    EXPECT_EQ(r.outTags, (Tags{"t0", "t1", "t2"})) << "order " << order;
  }
}

// No tag is assumed for the focus token or a later one while tagging: a label
// item there gives an empty value inside the sentence and "_E-%d" past its end.
TEST_F(LabelingTest, LabelItemsAtOrAfterTheFocusToken) {
  TemplateSet set = fromText("A05:%x[0,0]%y[-1,0]%y[0,0]\nA06:%y[-1,0]%y[1,0]\n");
  ASSERT_EQ(set.labelOrder, 1);
  Dictionary dict;
  dict.add("The", {"t0"});
  dict.add("cat", {"t1"});
  Labelled r = label(sentenceOf({"The", "cat"}), tags3, set, model3, &dict);
  ASSERT_EQ(r.result, 1);
  const LabelTraceEntry* e = find(r.trace, 0, {"_B-1"});
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->features, (Tags{"A05:The//_B-1/", "A06:_B-1/"}));
  e = find(r.trace, 1, {"t0"});
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->features, (Tags{"A05:cat//t0/", "A06:t0/_E-1"}));
}

TEST_F(LabelingTest, EmptySentenceLeavesOutputAlone) {
  TemplateSet set = english();
  Tags out = {"kept"};
  Dictionary d;
  std::vector<CMiniStringBag> legal;
  TokenTable empty;
  Tags tags = tags3;
  EXPECT_EQ(labelSeqIt(empty, tags, out, 2, d.words, 1, d.tags, legal, set.templates, set.order, model3), -1);
  EXPECT_EQ(out, Tags{"kept"});
}

// No decoder exists for other orders: an error, one empty tag per token, no classification.
TEST_F(LabelingTest, UnsupportedLabelOrderIsAnError) {
  TemplateSet set = english();
  for (int order : {-1, 3, 7}) {
    testing::internal::CaptureStderr();
    Labelled r = label(sentenceOf({"The", "cat"}), tags3, set, model3, nullptr, {}, order);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(err.rfind("Error: ", 0), 0u) << err;
    EXPECT_EQ(r.outTags, (Tags{"", ""}));
    EXPECT_TRUE(r.trace.classifications.empty());
  }
}

TEST(Labeling, ModelWithoutLabelsDoesNotCrash) {
  ME_Model empty;
  TemplateSet set = english();
  Tags noTags;
  testing::internal::CaptureStderr();
  Labelled r = label(sentenceOf({"The", "cat"}), noTags, set, empty);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(err.rfind("Error: ", 0), 0u) << err;
  EXPECT_EQ(r.outTags, (Tags{"", ""}));

  // A tag list the model cannot score: every cost is infinite, still one tag per token.
  Tags tags = {"x", "y"};
  r = label(sentenceOf({"The", "cat", "sat"}), tags, set, empty);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.outTags, (Tags{"x", "x", "x"}));
}

TEST(MatchVector, KeepsTagListOrderAndClearsOnRequest) {
  Tags tagList = {"a", "b", "c", "d"};
  Tags cands = {"d", "b", "zz"};
  std::vector<double> probs = {0.1, 0.2, 0.3, 0.4};
  std::vector<double> out = {9};
  matchVector(probs, out, tagList, cands, false);
  EXPECT_EQ(out, (std::vector<double>{9, 0.2, 0.4}));
  matchVector(probs, out, tagList, cands, true);
  EXPECT_EQ(out, (std::vector<double>{0.2, 0.4}));
  Tags lookalike = {"b ", "B", "d"};
  matchVector(probs, out, tagList, lookalike, true);
  EXPECT_EQ(out, (std::vector<double>{0.4}));
  // A tag the probabilities do not reach counts as impossible.
  std::vector<double> shortProbs = {0.1};
  Tags ac = {"a", "c"};
  matchVector(shortProbs, out, tagList, ac, true);
  EXPECT_EQ(out, (std::vector<double>{0.1, 0.0}));
}

}  // namespace
