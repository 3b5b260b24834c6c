#include "decoding/fast_labeling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "decoding/labeling.h"
#include "decoding/line_sequences.h"
#include "features/lexicons.h"
#include "features/wordnet_lexicon.h"
#include "labels/tag_dictionary.h"
#include "templates/builtin_templates.h"
#include "templates/template_reader.h"
#include "text/line_utils.h"
#include "template_sets.h"

namespace {

typedef std::vector<std::string> Tags;

TemplateSet english() { return englishTemplates(); }
TemplateSet chinese() { return chineseTemplates(); }
TemplateSet fromText(const std::string& text) { return templatesFromText(text); }

struct Dictionary {
  CMiniStringBag words;
  std::vector<CMiniStringBag> tags;
  void add(const std::string& word, const Tags& wordTags) {
    const int id = words.Put(word);
    if (id >= static_cast<int>(tags.size())) tags.resize(id + 1);
    for (const std::string& t : wordTags) tags[id].Put(t);
  }
};

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Labels the sentence with labelSeqIt and with the fast labeler, once
// computing every cost and once skipping those that cannot matter, and
// expects the same result and tags; every cost of the full matrix and every
// finite cost of the skipping one must be labelSeqIt's, bit for bit.
void expectSameLabelling(TokenTable sentence, Tags& tagList, TemplateSet& set, ME_Model& model, Dictionary& dict,
                         std::vector<CMiniStringBag>& legal, FastLabeler& fast, const std::string& what) {
  Tags refTags = {"untouched"};
  LabelTrace trace;
  TokenTable copy = sentence;
  const int refResult = labelSeqItTraced(copy, tagList, refTags, set.labelOrder, dict.words, 1, dict.tags, legal,
                                         set.templates, set.order, model, &trace);
  for (bool skipping : {false, true}) {
    const std::string how = what + (skipping ? " (skipping)" : " (every cost)");
    Tags fastTags = {"untouched"};
    fast.setSkipping(skipping);
    fast.setPieces(std::numeric_limits<int>::max());  // the whole matrix at once
    const int fastResult = fast.label(sentence, fastTags);
    fast.setSkipping(true);
    fast.setPieces(1);
    ASSERT_EQ(fastResult, refResult) << how;
    ASSERT_EQ(fastTags, refTags) << how;
    if (refResult != 1) continue;
    const std::vector<std::vector<double>>& costs = fast.lastCosts();
    ASSERT_GE(costs.size(), trace.costs.size()) << how;
    for (size_t k = 0; k < trace.costs.size(); ++k) {
      ASSERT_EQ(costs[k].size(), trace.costs[k].size()) << how << " token " << k;
      for (size_t i = 0; i < trace.costs[k].size(); ++i) {
        if (skipping && std::isinf(costs[k][i])) continue;
        ASSERT_TRUE(sameBits(costs[k][i], trace.costs[k][i]))
            << how << " token " << k << " entry " << i << ": " << costs[k][i] << " vs " << trace.costs[k][i];
      }
    }
  }
  // In pieces as short as the sentence allows (the default): the same tags.
  Tags pieceTags = {"untouched"};
  const int pieceResult = fast.label(sentence, pieceTags);
  ASSERT_EQ(pieceResult, refResult) << what << " (in pieces)";
  ASSERT_EQ(pieceTags, refTags) << what << " (in pieces)";
  // Every range streamed, the sentence whole and in pieces: the same tags.
  fast.setStreamingFrom(1);
  for (int pieces : {std::numeric_limits<int>::max(), 1}) {
    Tags streamTags = {"untouched"};
    fast.setPieces(pieces);
    const int streamResult = fast.label(sentence, streamTags);
    ASSERT_EQ(streamResult, refResult) << what << " (streamed, pieces from " << pieces << ")";
    ASSERT_EQ(streamTags, refTags) << what << " (streamed, pieces from " << pieces << ")";
  }
  fast.setPieces(1);
  fast.setStreamingFrom(FastLabeler::kStreamingFrom);
}

// ---------------------------------------------------------------- random worlds

const char* const kEnglishWords[] = {
    "The",  "the", "cat",   "sat", "on",   "mat", "Mr.",  "Smith", "RUNS", "runs", ",",    ".",  "U.S.",
    "1999", "3.5", "don't", "a",   "A",    "--",  "(",    ")",     "I",    "x",    "ABC",  "aB", "e-mail",
    "of",   "to",  "and",   "is",  "was",  "New", "York", "'s",    "?",    "!",    "2nd",  "%",  "Obama"};

std::string gbkChar(std::mt19937& rng) {
  std::uniform_int_distribution<int> lead(0x81, 0xFE), trail(0x40, 0xFE);
  std::string s;
  s += static_cast<char>(lead(rng));
  s += static_cast<char>(trail(rng));
  return s;
}

const char* const kChineseMarks[] = {"\xa3\xac", "\xa1\xa3", "\xa3\xbf", ",", "!"};

std::string randomWord(std::mt19937& rng) {
  std::uniform_int_distribution<int> kind(0, 9);
  switch (kind(rng)) {
    case 0:
    case 1:
    case 2:
    case 3: {
      std::uniform_int_distribution<size_t> pick(0, sizeof kEnglishWords / sizeof *kEnglishWords - 1);
      return kEnglishWords[pick(rng)];
    }
    case 4:
    case 5: {  // GBK words of one to three characters, sometimes with a letter
      std::uniform_int_distribution<int> len(1, 3);
      std::string s;
      for (int i = len(rng); i > 0; --i) s += gbkChar(rng);
      if (kind(rng) == 0) s += 'a';
      return s;
    }
    case 6: {
      std::uniform_int_distribution<size_t> pick(0, sizeof kChineseMarks / sizeof *kChineseMarks - 1);
      return kChineseMarks[pick(rng)];
    }
    case 7: {  // digits
      std::uniform_int_distribution<int> num(0, 100000);
      return std::to_string(num(rng));
    }
    default: {  // printable bytes and a lone lead byte now and then
      std::uniform_int_distribution<int> len(1, 6), byte(0x21, 0x7e);
      std::string s;
      for (int i = len(rng); i > 0; --i) s += static_cast<char>(byte(rng));
      if (kind(rng) == 0) s += '\xb0';
      return s;
    }
  }
}

struct World {
  Tags vocabulary;
  Tags tags;
};

World makeWorld(std::mt19937& rng, int tagCount) {
  World w;
  for (int i = 0; i < 40; ++i) w.vocabulary.push_back(randomWord(rng));
  for (int i = 0; i < tagCount; ++i) w.tags.push_back(i % 3 == 0 ? "N" + std::to_string(i) : "V" + std::to_string(i));
  return w;
}

TokenTable randomSentence(std::mt19937& rng, const World& w, int maxLength) {
  std::uniform_int_distribution<int> len(1, maxLength), fresh(0, 6);
  std::uniform_int_distribution<size_t> pick(0, w.vocabulary.size() - 1);
  TokenTable t;
  for (int i = len(rng); i > 0; --i) t.push_back({fresh(rng) == 0 ? randomWord(rng) : w.vocabulary[pick(rng)]});
  return t;
}

// Every vocabulary word with a probability; one to three tags each, now and
// then a tag the model lacks or only such tags.
Dictionary randomDictionary(std::mt19937& rng, const World& w) {
  Dictionary d;
  std::uniform_int_distribution<int> coin(0, 9), count(1, 3);
  std::uniform_int_distribution<size_t> tag(0, w.tags.size() - 1);
  for (const std::string& word : w.vocabulary) {
    if (coin(rng) < 4) continue;
    Tags wordTags;
    if (coin(rng) == 0) wordTags.push_back("NOT-A-TAG");
    if (coin(rng) != 0)
      for (int i = count(rng); i > 0; --i) wordTags.push_back(w.tags[tag(rng)]);
    d.add(word, wordTags);
  }
  return d;
}

// The feature strings the templates produce on these sentences, as the
// reference path builds them (with a model that knows no feature).
std::set<std::string> harvestFeatures(std::mt19937& rng, const World& w, TemplateSet& set) {
  ME_Model blank;
  std::vector<ME_Model_Data> rows;
  for (const std::string& t : w.tags) rows.push_back({t.c_str(), "never", 0.0});
  rows.push_back({"///", nullptr, 0.0});
  EXPECT_TRUE(blank.load_from_array(rows.data()));
  // Two tags per word keeps the histories few.
  Dictionary d;
  std::uniform_int_distribution<size_t> tag(0, w.tags.size() - 1);
  for (const std::string& word : w.vocabulary) d.add(word, {w.tags[tag(rng)], w.tags[tag(rng)]});
  std::set<std::string> features;
  Tags tagList = w.tags, out;
  std::vector<CMiniStringBag> legal;
  for (int i = 0; i < 30; ++i) {
    TokenTable s = randomSentence(rng, w, 8);
    for (auto& row : s)
      if (d.words.idByString.count(row[0]) == 0) row[0] = w.vocabulary[0];
    LabelTrace trace;
    labelSeqItTraced(s, tagList, out, set.labelOrder, d.words, 1, d.tags, legal, set.templates, set.order, blank,
                     &trace);
    for (const LabelTraceEntry& e : trace.classifications) features.insert(e.features.begin(), e.features.end());
  }
  return features;
}

// kCoarse draws weights from -1, 0 and 1, so that equal costs and ties
// between paths are common.
enum class Weights { kOrdinary, kHuge, kUnderflow, kCoarse };

// Model over w.tags (ids in that order): about half the harvested features,
// each with weights for a random subset of the labels.
void randomModel(std::mt19937& rng, const World& w, const std::set<std::string>& features, Weights kind,
                 ME_Model& model) {
  std::vector<ME_Model_Data> rows;
  for (const std::string& t : w.tags) rows.push_back({t.c_str(), "never", 0.0});
  std::uniform_int_distribution<int> coin(0, 99);
  std::normal_distribution<double> normal(0.0, 2.0);
  std::uniform_real_distribution<double> huge(700.0, 1500.0);
  for (const std::string& f : features) {
    if (coin(rng) < 45) continue;
    for (const std::string& t : w.tags) {
      if (coin(rng) < 40) continue;
      double v = normal(rng);
      const int c = coin(rng);
      if (kind == Weights::kHuge && c < 10) v = c < 5 ? huge(rng) : -huge(rng);
      if (kind == Weights::kUnderflow) v = -huge(rng);
      if (kind == Weights::kCoarse) v = static_cast<double>(c % 3) - 1.0;
      if (c == 99) v = 0.0;
      if (c == 98) v = 1e-9 * v;
      rows.push_back({t.c_str(), f.c_str(), v});
    }
  }
  rows.push_back({"///", nullptr, 0.0});
  testing::internal::CaptureStderr();
  ASSERT_TRUE(model.load_from_array(rows.data()));
  testing::internal::GetCapturedStderr();
}

struct RandomCase {
  const char* name;
  TemplateSet (*templates)();
  bool dictionary;
  int tagCount;
  Weights weights;
  int sentences;
  int maxLength;
  bool legal = false;
};

// Start, end and transition sets with most of the tags and pairs.
std::vector<CMiniStringBag> randomLegalTable(std::mt19937& rng, const World& w) {
  std::vector<CMiniStringBag> table(4);
  std::uniform_int_distribution<int> coin(0, 9);
  for (const std::string& a : w.tags) {
    if (coin(rng) < 7) table[0].Put(a);
    if (coin(rng) < 7) table[1].Put(a);
    for (const std::string& b : w.tags)
      if (coin(rng) < 7) table[2].Put(a + " " + b);
  }
  return table;
}

void PrintTo(const RandomCase& c, std::ostream* os) { *os << c.name; }

TemplateSet labelItemsAroundFocus() {
  // Label items at and after the focus, a template without label items in
  // the label part's place, and a token item after a label item.
  return fromText("U02:%x[0,0]\nU13:%x.chncharlen[0,0]\nA05:%x[0,0]%y[-1,0]%y[0,0]\nA06:%y[-1,0]%y[1,0]\n"
                  "A07:%y[-2,0]%x[-1,0]\nB2\n");
}
TemplateSet spellingAroundFocus() {
  // Features of one row's word at and around the focus (the labeler keeps
  // them per word), capitalisation by place (the first row differs), two
  // functions of one row in one template, and templates over two rows.
  return fromText("U01:%x.capstart[0,0]\nU02:%x.capstart[-1,0]\nU03:%x.suffix2[1,0]%x.shape[1,0]\n"
                  "U04:%x[0,0]%x[1,0]\nU05:%x.prefix3[-2,0]\nU06:%x.hyphenlast[2,0]\nU07:%x.lowcase[0,0]\n"
                  "A01:%x[0,0]%y[-1,0]\nB2\n");
}
TemplateSet orderZero() { return fromText("U02:%x[0,0]\nU03:%x.lowcase[1,0]\n"); }

class FastLabelingIdentity : public testing::TestWithParam<RandomCase> {};

TEST_P(FastLabelingIdentity, SameTagsAndCostsAsTheReference) {
  const RandomCase& c = GetParam();
  for (unsigned seed = 1; seed <= 3; ++seed) {
    std::mt19937 rng(seed * 7919 + c.tagCount);
    World w = makeWorld(rng, c.tagCount);
    TemplateSet set = c.templates();
    const std::set<std::string> features = harvestFeatures(rng, w, set);
    ASSERT_FALSE(features.empty());
    ME_Model model;
    randomModel(rng, w, features, c.weights, model);
    if (HasFatalFailure()) return;
    Dictionary dict = c.dictionary ? randomDictionary(rng, w) : Dictionary();
    Tags tagList = w.tags;
    std::vector<CMiniStringBag> legal = c.legal ? randomLegalTable(rng, w) : std::vector<CMiniStringBag>();
    FastLabeler fast(model, set.templates, set.order, set.labelOrder, tagList, dict.words, dict.tags, legal);
    ASSERT_TRUE(fast.supported());
    for (int i = 0; i < c.sentences; ++i) {
      TokenTable s = randomSentence(rng, w, i % 5 == 0 ? 1 : c.maxLength);
      if (c.legal) testing::internal::CaptureStderr();  // decoders report sentences they cannot decode
      expectSameLabelling(s, tagList, set, model, dict, legal, fast,
                          std::string(c.name) + " seed " + std::to_string(seed) + " sentence " + std::to_string(i));
      if (c.legal) testing::internal::GetCapturedStderr();
      if (HasFatalFailure()) return;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    RandomModels, FastLabelingIdentity,
    testing::Values(RandomCase{"EnglishWithDictionary", english, true, 7, Weights::kOrdinary, 25, 7},
                    RandomCase{"EnglishWithoutDictionary", english, false, 4, Weights::kOrdinary, 10, 5},
                    RandomCase{"EnglishHugeWeights", english, true, 6, Weights::kHuge, 15, 6},
                    RandomCase{"EnglishUnderflow", english, true, 5, Weights::kUnderflow, 10, 5},
                    RandomCase{"EnglishManyTags", english, true, 50, Weights::kOrdinary, 4, 4},
                    RandomCase{"EnglishTies", english, true, 6, Weights::kCoarse, 25, 7},
                    RandomCase{"EnglishLongSentences", english, true, 6, Weights::kOrdinary, 8, 60},
                    RandomCase{"EnglishLongSentencesWithTies", english, true, 4, Weights::kCoarse, 8, 60},
                    // Every token has every tag: the threshold comes from a beam of paths.
                    RandomCase{"LongRunsOfUnknownWords", english, false, 10, Weights::kOrdinary, 6, 60},
                    RandomCase{"LongRunsOfUnknownWordsWithTies", english, false, 9, Weights::kCoarse, 6, 60},
                    RandomCase{"ChineseLongSentences", chinese, true, 6, Weights::kOrdinary, 8, 60},
                    RandomCase{"ChineseTies", chinese, true, 6, Weights::kCoarse, 25, 7},
                    RandomCase{"ChineseTiesWithoutDictionary", chinese, false, 5, Weights::kCoarse, 25, 7},
                    RandomCase{"ChineseWithDictionary", chinese, true, 9, Weights::kOrdinary, 30, 9},
                    RandomCase{"ChineseWithoutDictionary", chinese, false, 9, Weights::kOrdinary, 30, 9},
                    RandomCase{"ChineseHugeWeights", chinese, false, 5, Weights::kHuge, 20, 6},
                    RandomCase{"ChineseUnderflow", chinese, true, 5, Weights::kUnderflow, 20, 6},
                    RandomCase{"LabelItemsAroundFocus", labelItemsAroundFocus, true, 5, Weights::kOrdinary, 20, 6},
                    RandomCase{"OrderZero", orderZero, true, 5, Weights::kOrdinary, 20, 6},
                    RandomCase{"SpellingAroundFocus", spellingAroundFocus, true, 5, Weights::kOrdinary, 25, 7},
                    RandomCase{"EnglishLegalTable", english, true, 5, Weights::kOrdinary, 15, 6, true},
                    RandomCase{"ChineseLegalTable", chinese, false, 5, Weights::kOrdinary, 15, 6, true},
                    RandomCase{"OrderZeroLegalTable", orderZero, true, 5, Weights::kOrdinary, 15, 6, true}),
    [](const testing::TestParamInfo<RandomCase>& info) { return std::string(info.param.name); });

// A word store that starts afresh every few words, also within a sentence.
TEST(FastLabelingWordStore, SmallLimitTagsLikeTheReference) {
  std::mt19937 rng(4242);
  World w = makeWorld(rng, 5);
  TemplateSet set = spellingAroundFocus();
  const std::set<std::string> features = harvestFeatures(rng, w, set);
  ME_Model model;
  randomModel(rng, w, features, Weights::kOrdinary, model);
  if (testing::Test::HasFatalFailure()) return;
  Dictionary dict = randomDictionary(rng, w);
  Tags tagList = w.tags;
  std::vector<CMiniStringBag> legal;
  for (size_t limit : {1, 3}) {
    FastLabeler fast(model, set.templates, set.order, set.labelOrder, tagList, dict.words, dict.tags, legal);
    fast.setWordCacheLimit(limit);
    for (int i = 0; i < 15; ++i) {
      expectSameLabelling(randomSentence(rng, w, 12), tagList, set, model, dict, legal, fast,
                          "limit " + std::to_string(limit) + " sentence " + std::to_string(i));
      if (testing::Test::HasFatalFailure()) return;
    }
  }
}

// ---------------------------------------------------------------- special inputs

class FastLabelingTest : public testing::Test {
 protected:
  void SetUp() override {
    std::vector<ME_Model_Data> rows = {{"t0", "U02:The", 6}, {"t1", "U02:cat", 6}, {"t2", "U02:sat", 6},
                                       {"t1", "B1:t0", 1},   {"t2", "B2:t0/t1", 2}, {"t0", "A01:sat//t1", -1},
                                       {"///", nullptr, 0}};
    ASSERT_TRUE(model.load_from_array(rows.data()));
  }
  ME_Model model;
  Tags tags = {"t0", "t1", "t2"};
  Dictionary dict;
  std::vector<CMiniStringBag> legal;
};

TEST_F(FastLabelingTest, WorkedExample) {
  TemplateSet set = english();
  FastLabeler fast(model, set.templates, set.order, set.labelOrder, tags, dict.words, dict.tags, legal);
  TokenTable s = {{"The"}, {"cat"}, {"sat"}};
  Tags out;
  EXPECT_EQ(fast.label(s, out), 1);
  EXPECT_EQ(out, (Tags{"t0", "t1", "t2"}));
  expectSameLabelling(s, tags, set, model, dict, legal, fast, "worked example");
}

TEST_F(FastLabelingTest, EmptySentenceLeavesTheTagsAlone) {
  TemplateSet set = english();
  FastLabeler fast(model, set.templates, set.order, set.labelOrder, tags, dict.words, dict.tags, legal);
  TokenTable empty;
  Tags out = {"kept"};
  EXPECT_EQ(fast.label(empty, out), -1);
  EXPECT_EQ(out, Tags{"kept"});
}

// The reference's failures, with their one empty tag per token.
TEST_F(FastLabelingTest, FailsWhereTheReferenceFails) {
  TemplateSet set = english();
  Tags none;
  struct Case {
    int labelOrder;
    Tags* tagList;
  } cases[] = {{3, &tags}, {-1, &tags}, {2, &none}};
  for (const Case& c : cases) {
    FastLabeler fast(model, set.templates, set.order, c.labelOrder, *c.tagList, dict.words, dict.tags, legal);
    TokenTable s = {{"The"}, {"cat"}};
    Tags out;
    testing::internal::CaptureStderr();
    EXPECT_EQ(fast.label(s, out), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("Error: ", 0), 0u) << err;
    EXPECT_EQ(out, (Tags{"", ""}));
  }
}

// A tag list the model cannot score gives infinite costs everywhere, as in
// the reference; and a tag list in another order than the model's ids.
TEST_F(FastLabelingTest, TagListsOtherThanTheModelsLabels) {
  TemplateSet set = english();
  ME_Model empty;
  Tags foreign = {"x", "y"};
  FastLabeler onEmpty(empty, set.templates, set.order, set.labelOrder, foreign, dict.words, dict.tags, legal);
  TokenTable s = {{"The"}, {"cat"}, {"sat"}};
  expectSameLabelling(s, foreign, set, empty, dict, legal, onEmpty, "empty model");

  Tags shuffled = {"t2", "zz", "t0", "t1"};
  dict.add("cat", {"t1", "zz"});
  FastLabeler fast(model, set.templates, set.order, set.labelOrder, shuffled, dict.words, dict.tags, legal);
  expectSameLabelling(s, shuffled, set, model, dict, legal, fast, "shuffled tag list");
}

// With a legal table every cost is computed and labelSeqIt's decoders
// decide, restrictions included.
TEST_F(FastLabelingTest, LegalTableRestrictsLikeTheReference) {
  std::vector<CMiniStringBag> table(4);
  table[0].Put("t1");
  table[0].Put("t2");
  table[1].Put("t0");
  table[2].Put("t1 t0");
  table[2].Put("t2 t2");
  table[2].Put("t2 t0");
  for (TemplateSet set : {english(), chinese(), fromText("U02:%x[0,0]\n")}) {
    FastLabeler fast(model, set.templates, set.order, set.labelOrder, tags, dict.words, dict.tags, table);
    EXPECT_TRUE(fast.supported());
    for (TokenTable s : {TokenTable{{"The"}, {"cat"}, {"sat"}}, TokenTable{{"cat"}}, TokenTable{{"a"}, {"b"}}}) {
      testing::internal::CaptureStderr();
      expectSameLabelling(s, tags, set, model, dict, table, fast, "legal table");
      testing::internal::GetCapturedStderr();
    }
  }
}

// With a confident model most histories after unknown words cannot matter
// and are not classified; the tags stay the reference's.
TEST_F(FastLabelingTest, SkipsClassificationsThatCannotMatter) {
  TemplateSet set = english();
  std::vector<std::string> names;
  std::vector<ME_Model_Data> rows;
  Tags many;
  for (int i = 0; i < 20; ++i) many.push_back("T" + std::to_string(i));
  for (const std::string& t : many) rows.push_back({t.c_str(), "never", 0.0});
  const Tags words = {"alpha", "beta", "gamma", "delta", "epsilon"};
  for (size_t i = 0; i < words.size(); ++i) names.push_back("U02:" + words[i]);
  for (size_t i = 0; i < words.size(); ++i) rows.push_back({many[i].c_str(), names[i].c_str(), 12.0});
  rows.push_back({"///", nullptr, 0.0});
  ME_Model confident;
  ASSERT_TRUE(confident.load_from_array(rows.data()));
  FastLabeler fast(confident, set.templates, set.order, set.labelOrder, many, dict.words, dict.tags, legal);
  TokenTable s;
  for (const std::string& w : words) s.push_back({w});
  Tags out;
  ASSERT_EQ(fast.label(s, out), 1);
  EXPECT_EQ(out, (Tags{"T0", "T1", "T2", "T3", "T4"}));
  const size_t histories = 1 + 20 + 3 * 20 * 20;
  EXPECT_LT(fast.lastClassifications(), histories / 10);
  fast.setSkipping(false);
  ASSERT_EQ(fast.label(s, out), 1);
  EXPECT_EQ(fast.lastClassifications(), histories);
  expectSameLabelling(s, many, set, confident, dict, legal, fast, "confident model");
}

// Copies share the tables and tag alike.
TEST_F(FastLabelingTest, CopiesTagAlike) {
  TemplateSet set = english();
  FastLabeler fast(model, set.templates, set.order, set.labelOrder, tags, dict.words, dict.tags, legal);
  FastLabeler copy(fast);
  EXPECT_EQ(&copy.weights(), &fast.weights());
  TokenTable s = {{"sat"}, {"The"}, {"cat"}, {"sat"}};
  Tags a, b;
  fast.label(s, a);
  copy.label(s, b);
  EXPECT_EQ(a, b);
}

TEST_F(FastLabelingTest, ReferenceModelIsNotSupported) {
  ME_Model withPrior;
  std::vector<ME_Model_Data> rows = {{"t0", "U02:The", 1}, {"///", nullptr, 0}};
  ASSERT_TRUE(withPrior.load_from_array(rows.data()));
  withPrior.reference_model = &model;
  TemplateSet set = english();
  FastLabeler fast(withPrior, set.templates, set.order, set.labelOrder, tags, dict.words, dict.tags, legal);
  EXPECT_FALSE(fast.supported());
  TokenTable s = {{"The"}};
  Tags out;
  testing::internal::CaptureStderr();
  EXPECT_EQ(fast.label(s, out), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Error: "), std::string::npos);
  EXPECT_EQ(out, Tags{""});
}

// ---------------------------------------------------------------- weight index

TEST(FastWeightIndex, FindsEveryScoredNameAndNothingElse) {
  ME_Model model;
  std::vector<std::string> names;
  for (int i = 0; i < 3000; ++i) names.push_back("U0" + std::to_string(i % 7) + ":w" + std::to_string(i * 31));
  std::vector<ME_Model_Data> rows;
  for (size_t i = 0; i < names.size(); ++i) rows.push_back({i % 2 ? "a" : "b", names[i].c_str(), 0.5});
  rows.push_back({"a", "", 1.0});
  rows.push_back({"b", "A01:x//\xb0", 2.0});
  rows.push_back({"///", nullptr, 0});
  ASSERT_TRUE(model.load_from_array(rows.data()));
  FastWeightIndex index(model);
  EXPECT_EQ(index.labelCount(), 2);
  EXPECT_EQ(index.runCount(), names.size() + 2);
  std::set<int> runs;
  for (const std::string& n : names) {
    const int r = index.find(n);
    ASSERT_GE(r, 0) << n;
    runs.insert(r);
  }
  EXPECT_EQ(runs.size(), names.size());
  EXPECT_GE(index.find(""), 0);
  EXPECT_GE(index.find(std::string("A01:x//\xb0")), 0);
  for (const char* absent : {"U00", "U00:w", "U00:w0 ", "A01:x//", "B1:a"}) EXPECT_EQ(index.find(absent), -1) << absent;

  // The batched lookup agrees with the single one, over more than one chunk.
  std::vector<std::string> mixed;
  for (size_t i = 0; i < 100; ++i) mixed.push_back(i % 3 ? names[i * 17] : "U0" + std::to_string(i) + ":nothing");
  mixed.push_back("");
  std::vector<int> runsFound(mixed.size(), -7);
  index.findMany(mixed.data(), mixed.size(), runsFound.data());
  for (size_t i = 0; i < mixed.size(); ++i) EXPECT_EQ(runsFound[i], index.find(mixed[i])) << mixed[i];
}

// Entries come highest label first; names without a scored pair have no run.
TEST(FastWeightIndex, RunsInClassificationOrder) {
  ME_Model model;
  std::vector<ME_Model_Data> rows = {{"a", "f", 1}, {"b", "g", 2}, {"c", "f", 3}, {"b", "f", 4}, {"///", nullptr, 0}};
  ASSERT_TRUE(model.load_from_array(rows.data()));
  FastWeightIndex index(model);
  const int r = index.find("f");
  ASSERT_GE(r, 0);
  std::vector<std::pair<int, double>> entries;
  const FastWeightIndex::Run run = index.run(r);
  for (uint32_t j = 0; j < run.size; ++j) entries.emplace_back(run.labels[j], run.weights[j]);
  EXPECT_EQ(entries, (std::vector<std::pair<int, double>>{{2, 3}, {1, 4}, {0, 1}}));
  double score[3] = {0, 0, 0};
  index.addRun(index.find("g"), score);
  EXPECT_EQ(score[1], 2);
}

// The exponentials and their sum are classification's, including the
// shift of very large scores and the fallback when all underflow.
TEST(FastExponentials, MatchClassification) {
  const std::vector<std::vector<double>> cases = {
      {0, 0, 0}, {1000, 999}, {-800, -900, -1000}, {1.5, -2.25, 3.125, 0}, {-1e308, -1e308}, {5}};
  for (const std::vector<double>& scores : cases) {
    ME_Model model;
    std::vector<std::string> labels, names;
    for (size_t i = 0; i < scores.size(); ++i) labels.push_back("l" + std::to_string(i));
    std::vector<ME_Model_Data> rows;
    for (size_t i = 0; i < scores.size(); ++i) rows.push_back({labels[i].c_str(), "f", scores[i]});
    rows.push_back({"///", nullptr, 0});
    ASSERT_TRUE(model.load_from_array(rows.data()));
    ME_Sample sample;
    sample.feature_strs = {"f"};
    const std::vector<double> expected = model.classify(sample);
    std::vector<double> exps(scores.size());
    const double sum = fastExponentials(scores.data(), static_cast<int>(scores.size()), exps.data());
    for (size_t i = 0; i < scores.size(); ++i) EXPECT_TRUE(sameBits(exps[i] / sum, expected[i])) << i;
  }
}

// ---------------------------------------------------------------- shipped models

struct Shipped {
  ME_Model model;
  Dictionary dict;
  TemplateSet set;
  Tags tagList;
};

// Loads models/<name>.model and <name>.dict, or <language>.dict when the
// model has no dictionary of its own (or those in $KORVANE_MODEL_DIR), with
// the language's built-in templates or, for a name other than the language,
// <name>.template and the lexicon it reads; false (test skipped) when absent.
bool loadShipped(const std::string& language, Shipped& s, const std::string& name = "") {
  const char* other = std::getenv("KORVANE_MODEL_DIR");
  const std::string dir = other != nullptr ? std::string(other) + "/" : std::string(KORVANE_SOURCE_DIR) + "/models/";
  const std::string modelName = name.empty() ? language : name;
  std::string dict = dir + modelName + ".dict";
  if (!std::ifstream(dict)) dict = dir + language + ".dict";
  const std::string model = dir + modelName + ".model";
  const std::string templateFile = dir + modelName + ".template";
  if (!std::ifstream(model) || !std::ifstream(dict)) return false;
  if (!name.empty() && !std::ifstream(templateFile)) return false;
  testing::internal::CaptureStderr();
  const bool loaded = s.model.load_from_fileV2(model);
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(loaded);
  LoadCliqueLabelDict(const_cast<char*>(dict.c_str()), s.dict.words, s.dict.tags);
  for (int i = 0; i < s.model.num_classes(); ++i) s.tagList.push_back(s.model.get_class_label(i));
  if (!name.empty()) {
    testing::internal::CaptureStderr();
    EXPECT_GT(readTemplateFile3(const_cast<char*>(templateFile.c_str()), s.set.templates, s.set.order,
                                s.set.labelOrder),
              0);
    const bool lexicon = loadTemplateLexicons(s.set.templates, templateFile);
    testing::internal::GetCapturedStderr();
    if (!lexicon) return false;
  } else {
    s.set = language == "english" ? english() : chinese();
  }
  return loaded;
}

// The whole file with KORVANE_FULL_IDENTITY=1, otherwise its first lines.
size_t identityLineLimit() {
  const char* full = std::getenv("KORVANE_FULL_IDENTITY");
  return full != nullptr && std::strcmp(full, "1") == 0 ? static_cast<size_t>(-1) : 80;
}

void checkDataFile(const std::string& language, const std::string& dataFile, const std::string& name = "") {
  const std::string path = std::string(KORVANE_DATA_DIR) + "/" + dataFile;
  std::ifstream probe(path);
  if (!probe) GTEST_SKIP() << path << " is absent";
  Shipped s;
  if (!loadShipped(language, s, name)) GTEST_SKIP() << "a shipped model, dictionary, template or lexicon is absent";
  std::vector<CMiniStringBag> legal;
  FastLabeler fast(s.model, s.set.templates, s.set.order, s.set.labelOrder, s.tagList, s.dict.words, s.dict.tags,
                   legal);
  std::FILE* in = std::fopen(path.c_str(), "rb");
  ASSERT_NE(in, nullptr);
  std::string line;
  Tags words;
  std::vector<TokenTable> sequences;
  const size_t limit = identityLineLimit();
  size_t lines = 0, tokens = 0;
  while (lines < limit && readLineWhole(in, line)) {
    ++lines;
    readLine2VectorString(line, words);
    splitIntoSequences(words, language == "english", sequences);
    for (TokenTable& seq : sequences) {
      tokens += seq.size();
      expectSameLabelling(seq, s.tagList, s.set, s.model, s.dict, legal, fast,
                          dataFile + " line " + std::to_string(lines));
      if (testing::Test::HasFatalFailure()) break;
    }
    if (testing::Test::HasFatalFailure()) break;
  }
  std::fclose(in);
  testing::Test::RecordProperty("tokens", static_cast<int>(tokens));
}

TEST(FastLabelingShippedModels, EnglishDevelopmentText) { checkDataFile("english", "en_ewt-dev.txt"); }
TEST(FastLabelingShippedModels, ChineseTrainingText) { checkDataFile("chinese", "zh_gsdsimp-train.txt"); }
TEST(FastLabelingShippedModels, EnglishPlusDevelopmentText) {
  checkDataFile("english", "en_ewt-dev.txt", "english-plus");
}
TEST(FastLabelingShippedModels, ChinesePlusTrainingText) {
  checkDataFile("chinese", "zh_gsdsimp-train.txt", "chinese-plus");
}

}  // namespace
