#include "lemmatize/lemmatizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"

namespace {

using lemmatize::Lemmatizer;

std::string temp(const std::string& name) { return testing::TempDir() + name; }

const Lemmatizer& shipped() {
  static const Lemmatizer lemmatizer = [] {
    Lemmatizer l;
    std::string error;
    EXPECT_TRUE(l.load(std::string(KORVANE_SOURCE_DIR) + "/models/english-lemmatizer.data", error)) << error;
    return l;
  }();
  return lemmatizer;
}

TEST(Lemmatizer, ShippedTableGivesLemmasAndUniversalTags) {
  const struct {
    const char* form;
    const char* xpos;
    const char* lemma;
    const char* upos;
  } cases[] = {
      // seen words
      {"was", "VBD", "be", "AUX"},
      {"children", "NNS", "child", "NOUN"},
      {"n't", "RB", "not", "PART"},
      {"'s", "POS", "'s", "PART"},
      {"The", "DT", "the", "DET"},
      {"THE", "DT", "the", "DET"},
      {"Bush", "NNP", "Bush", "PROPN"},
      {"better", "JJR", "good", "ADJ"},
      // unseen words: endings learned under the tag, case as the tag's words
      {"blorfed", "VBD", "blorf", "VERB"},
      {"glimmies", "NNS", "glimmy", "NOUN"},
      {"Flurbing", "VBG", "flurb", "VERB"},
      {"Grammarians", "NNPS", "Grammarian", "PROPN"},
      {"Zorbitude", "NN", "zorbitude", "NOUN"},
      {"42,517", "CD", "42,517", "NUM"},
      {"quux", "NOSUCHTAG", "quux", "X"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shipped().lemma(c.form, c.xpos), c.lemma) << c.form << " " << c.xpos;
    EXPECT_EQ(shipped().upos(c.form, c.xpos), c.upos) << c.form << " " << c.xpos;
  }
}

TEST(Lemmatizer, RulesRoundTripAndFallBackToTheWord) {
  const struct {
    const char* form;
    const char* lemma;
  } cases[] = {{"ponies", "pony"}, {"Ran", "run"}, {"AP", "AP"}, {"The", "the"}, {"x", "x"}, {"geese", "goose"}};
  for (const auto& c : cases)
    EXPECT_EQ(lemmatize::applyRule(lemmatize::ruleFor(c.form, c.lemma), c.form), c.lemma) << c.form;
  // A rule whose ending the word lacks leaves the word as it is.
  EXPECT_EQ(lemmatize::applyRule(lemmatize::ruleFor("ponies", "pony"), "cats"), "cats");
}

TEST(Lemmatizer, LearnsSaveAndLoadGiveTheSameAnswers) {
  std::vector<lemmatize::Example> rows = {
      {"walked", "walk", "VERB", "VBD"}, {"talked", "talk", "VERB", "VBD"}, {"jumped", "jump", "VERB", "VBD"},
      {"went", "go", "VERB", "VBD"},     {"cities", "city", "NOUN", "NNS"}, {"ladies", "lady", "NOUN", "NNS"},
      {"dogs", "dog", "NOUN", "NNS"},    {"cats", "cat", "NOUN", "NNS"},    {"Dogs", "dog", "NOUN", "NNS"},
      {"Paris", "Paris", "PROPN", "NNP"}, {"that", "that", "SCONJ", "IN"}, {"that", "that", "SCONJ", "IN"},
      {"that", "that", "PRON", "WDT"},   {"of", "of", "ADP", "IN"},
  };
  Lemmatizer learned;
  learned.learn(rows);
  std::string error;
  ASSERT_TRUE(learned.save(temp("lemmas.data"), "the test", error)) << error;
  Lemmatizer loaded;
  ASSERT_TRUE(loaded.load(temp("lemmas.data"), error)) << error;
  for (const Lemmatizer* l : {&learned, &loaded}) {
    EXPECT_EQ(l->lemma("went", "VBD"), "go");
    EXPECT_EQ(l->lemma("parked", "VBD"), "park");
    EXPECT_EQ(l->lemma("puppies", "NNS"), "puppy");
    EXPECT_EQ(l->lemma("Cats", "NNS"), "cat");  // lower-case lemma like "Dogs" -> dog
    EXPECT_EQ(l->lemma("Rome", "NNP"), "Rome");
    EXPECT_EQ(l->upos("that", "IN"), "SCONJ");
    EXPECT_EQ(l->upos("than", "IN"), "SCONJ");  // the tag's most frequent universal tag
    EXPECT_EQ(l->upos("that", "WDT"), "PRON");
  }
  std::string a = readFile(temp("lemmas.data"));
  Lemmatizer again;
  again.learn(rows);
  ASSERT_TRUE(again.save(temp("lemmas2.data"), "the test", error));
  EXPECT_EQ(readFile(temp("lemmas2.data")), a);  // learning does not depend on hash order
}

TEST(Lemmatizer, RejectsBadFilesAndKeepsWhatItHad) {
  Lemmatizer l;
  l.learn({{"went", "go", "VERB", "VBD"}});
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"word\twent\tVBD\tgo\tVERB\t0\n", " line 1: not a lemma-table entry"},
      {"# c\nsuffix\tVBD\ted\ted\t\tsideways\t3\n", " line 2: not a lemma-table entry"},
      {"tag\tVBD\tVERB\t5\n", " line 1: not a lemma-table entry"},
      {"word\t\tVBD\tgo\tVERB\t1\n", " line 1: not a lemma-table entry"},
  };
  for (const auto& c : cases) {
    writeFile(temp("bad.data"), c.text);
    std::string error;
    EXPECT_FALSE(l.load(temp("bad.data"), error));
    EXPECT_EQ(error, "Error: " + temp("bad.data") + c.error);
    EXPECT_EQ(l.lemma("went", "VBD"), "go");
  }
  std::string error;
  EXPECT_FALSE(l.load(temp("missing.data"), error));
  EXPECT_EQ(error.rfind("Error: cannot open " + temp("missing.data"), 0), 0u);
}

}  // namespace
