#include "annotate/annotator.h"
#include "annotate/treebank.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_files.h"

namespace {

using annotate::Annotator;
using annotate::InputKind;
using annotate::Options;
using annotate::RawLines;

annotate::ModelFiles shippedFiles() {
  const std::string m = std::string(KORVANE_SOURCE_DIR) + "/models/";
  annotate::ModelFiles f;
  f.tokenLists = m + "english-tokenizer.data";
  f.lemmas = m + "english-lemmatizer.data";
  f.taggerModel = m + "english-plus.model";
  f.taggerDict = m + "english-plus.dict";
  f.taggerTemplate = m + "english-plus.template";
  f.parserModel = m + "english-parser.model";
  f.parserTemplate = m + "parser-rich.template";
  return f;
}

struct Outcome {
  int status;
  std::string out, err;
};

Outcome annotateBytes(const Annotator& a, const std::string& input) {
  const std::string inPath = testing::TempDir() + "input.txt", outPath = testing::TempDir() + "output.conllu";
  writeFile(inPath, input);
  std::FILE* in = std::fopen(inPath.c_str(), "rb");
  std::FILE* out = std::fopen(outPath.c_str(), "wb");
  testing::internal::CaptureStderr();
  Outcome r;
  r.status = a.run(in, "input.txt", out, "output.conllu");
  r.err = testing::internal::GetCapturedStderr();
  std::fclose(in);
  std::fclose(out);
  r.out = readFile(outPath);
  return r;
}

// Tokens only: the tests of the streaming and the input kinds need no models.
Annotator& tokenizer(InputKind kind, RawLines lines, int threads) {
  static Annotator a;
  Options o;
  o.input = kind;
  o.lines = lines;
  o.tag = o.parse = false;
  o.threads = threads;
  o.progress = false;
  std::string error;
  EXPECT_TRUE(a.load(shippedFiles(), o, error)) << error;
  return a;
}

std::string row(int id, const char* form, const char* misc = "_") {
  return std::to_string(id) + "\t" + form + "\t_\t_\t_\t_\t_\t_\t_\t" + misc + "\n";
}

TEST(Annotator, RawTextBecomesSentencesWithTheTextsOwnCharacters) {
  Outcome r = annotateBytes(tokenizer(InputKind::kRaw, RawLines::kParagraphs, 1),
                        "I can\xE2\x80\x99t go!It's late!\n\n  Fine  \n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "# newpar\n# sent_id = 1\n# text = I can\xE2\x80\x99t go!\n" + row(1, "I") +
                       row(2, "ca", "SpaceAfter=No") + row(3, "n\xE2\x80\x99t") + row(4, "go", "SpaceAfter=No") +
                       row(5, "!", "SpaceAfter=No") + "\n# sent_id = 2\n# text = It's late!\n" +
                       row(1, "It", "SpaceAfter=No") + row(2, "'s") + row(3, "late", "SpaceAfter=No") + row(4, "!") +
                       "\n# newpar\n# sent_id = 3\n# text = Fine\n" + row(1, "Fine") + "\n");
}

TEST(Annotator, InputKindsAndLineLayouts) {
  const struct {
    InputKind kind;
    RawLines lines;
    const char* input;
    const char* texts;  // the "# text" lines, joined by '|'
  } cases[] = {
      {InputKind::kRaw, RawLines::kSentences, "One. Two.\nThree etc.\n", "One. Two.|Three etc."},
      {InputKind::kRaw, RawLines::kParagraphs, "One. Two.\nThree\n", "One.|Two.|Three"},
      {InputKind::kRaw, RawLines::kWrapped, "It was\nlate. We\n\nwent home\n", "It was late.|We|went home"},
      {InputKind::kTokens, RawLines::kParagraphs, "a  b\tc\n\nd's\n", "a b c|d's"},
      {InputKind::kConllu, RawLines::kParagraphs, "# text = x y\n1\tx\t_\t_\t_\t_\t_\t_\t_\t_\n2\ty\t_\t_\t_\t_\t_\t_\t_\t_\n",
       "x y"},
  };
  for (const auto& c : cases) {
    Outcome r = annotateBytes(tokenizer(c.kind, c.lines, 1), c.input);
    EXPECT_EQ(r.status, 0) << r.err;
    std::string texts;
    for (size_t at = r.out.find("# text = "); at != std::string::npos; at = r.out.find("# text = ", at + 1))
      texts += (texts.empty() ? "" : "|") + r.out.substr(at + 9, r.out.find('\n', at) - at - 9);
    EXPECT_EQ(texts, c.texts) << c.input;
  }
  // A sentence's last abbreviation gives its period to the sentence.
  Outcome r = annotateBytes(tokenizer(InputKind::kRaw, RawLines::kSentences, 1), "Three etc.\n");
  EXPECT_NE(r.out.find(row(2, "etc", "SpaceAfter=No") + row(3, ".")), std::string::npos) << r.out;
}

TEST(Annotator, BadInputIsReportedWithItsLineAndTheRestIsWritten) {
  const std::string longLine(annotate::kMaxLineBytes + 1, 'a');
  const struct {
    InputKind kind;
    std::string input;
    int status;
    std::vector<std::string> messages;  // each must appear on stderr
    int sentences;                      // written
  } cases[] = {
      {InputKind::kRaw, "ok\nbad \xC3\x28 byte\nfine\n", 1, {"Error: input.txt line 2: invalid UTF-8 at byte 5; line skipped"}, 2},
      {InputKind::kRaw, std::string("ok\nnul\0byte\n", 12), 1, {"Error: input.txt line 2: NUL byte in the line; line skipped"}, 1},
      {InputKind::kRaw, "first\n" + longLine + "\nlast\n", 1,
       {"Error: input.txt line 2: a line of 1048577 bytes is longer than the 1048576 bytes a line may have; line skipped"}, 2},
      {InputKind::kRaw, "", 1, {"Error: input.txt holds no text to annotate"}, 0},
      {InputKind::kRaw, "\n  \n", 1, {"Error: input.txt holds no text to annotate"}, 0},
      {InputKind::kTokens, "\xEF\xBB\xBFsome tokens\r\n", 0, {}, 1},
      {InputKind::kConllu, row(1, "a") + "\n" + row(2, "b") + "\n" + row(1, "c") + "\n", 1,
       {"Error: input.txt line 3: word id '2' where 1 was expected; sentence skipped"}, 2},
      {InputKind::kConllu, row(1, "a") + "2\tb\t_\t_\t_\t_\t9\t_\t_\t_\n\n" + row(1, "c"), 1,
       {"Error: input.txt line 2: head '9' outside the sentence of 2 words; sentence skipped"}, 1},
  };
  for (const auto& c : cases) {
    Outcome r = annotateBytes(tokenizer(c.kind, RawLines::kParagraphs, 1), c.input);
    EXPECT_EQ(r.status, c.status) << c.input.substr(0, 40);
    for (const std::string& m : c.messages) EXPECT_NE(r.err.find(m + "\n"), std::string::npos) << r.err;
    int sentences = 0;
    for (size_t at = r.out.find("\n\n"); at != std::string::npos; at = r.out.find("\n\n", at + 2)) ++sentences;
    EXPECT_EQ(sentences, c.sentences) << c.input.substr(0, 40) << "\n" << r.out;
  }
}

TEST(Annotator, LongSentencesAreCutWithAWarning) {
  std::string words;
  for (size_t i = 0; i < annotate::kMaxSentenceTokens + 3; ++i) words += "w ";
  Outcome r = annotateBytes(tokenizer(InputKind::kRaw, RawLines::kSentences, 1), words + "\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("Warning: input.txt line 1: a sentence of 503 tokens was cut into sentences of at most 500 tokens"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("# sent_id = 2\n# text = w w w\n"), std::string::npos);
}

TEST(Annotator, ThreadsKeepTheInputOrder) {
  std::string input;
  for (int i = 0; i < 700; ++i) input += "Line " + std::to_string(i) + " is here. And " + std::to_string(i) + "!\n";
  const std::string one = annotateBytes(tokenizer(InputKind::kRaw, RawLines::kParagraphs, 1), input).out;
  const Outcome three = annotateBytes(tokenizer(InputKind::kRaw, RawLines::kParagraphs, 3), input);
  EXPECT_EQ(three.status, 0);
  EXPECT_EQ(three.out, one);
  EXPECT_NE(one.find("# sent_id = 1400\n# text = And 699!\n"), std::string::npos);
}

TEST(Annotator, ShippedModelsTagLemmatizeAndParse) {
  Annotator a;
  Options o;
  o.lines = RawLines::kSentences;
  o.threads = 2;
  o.progress = false;
  std::string error;
  ASSERT_TRUE(a.load(shippedFiles(), o, error)) << error;
  Outcome r = annotateBytes(a, "The children were playing in the garden.\nShe didn't see them.\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("2\tchildren\tchild\tNOUN\tNNS\t_\t4\tnsubj\t_\t_\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("3\twere\tbe\tAUX\tVBD\t_\t4\taux\t_\t_\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("4\tplaying\tplay\tVERB\tVBG\t_\t0\troot\t_\t_\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("3\tn't\tnot\tPART\tRB\t_\t4\tadvmod\t_\t_\n"), std::string::npos) << r.out;
}

}  // namespace

namespace {

TEST(Treebank, ReadsConlluAndTheDependencyLayoutAlike) {
  const std::string path = testing::TempDir() + "bank.conllu";
  writeFile(path, "# sent_id = 1\n1-2\tdon't\t_\t_\t_\t_\t_\t_\t_\t_\n1\tdo\tdo\tAUX\tVBP\t_\t0\troot\t_\t_\n"
                  "2\tn't\tnot\tPART\tRB\t_\t1\tadvmod\t_\t_\n2.1\tx\tx\tX\tX\t_\t_\t_\t_\t_\n\n"
                  "1\tGo\tgo\tVERB\tVB\tGo\tgo\tVB\t0\troot\t_\n");
  std::vector<std::vector<lemmatize::Example>> sentences;
  std::string error;
  ASSERT_TRUE(annotate::readTreebank(path, sentences, error)) << error;
  ASSERT_EQ(sentences.size(), 2u);
  ASSERT_EQ(sentences[0].size(), 2u);
  EXPECT_EQ(sentences[0][1].form, "n't");
  EXPECT_EQ(sentences[0][1].lemma, "not");
  EXPECT_EQ(sentences[0][1].upos, "PART");
  EXPECT_EQ(sentences[0][1].xpos, "RB");
  EXPECT_EQ(sentences[1][0].xpos, "VB");

  writeFile(path, "1\tGo\tgo\tVERB\tVB\n1\tshort\n");
  EXPECT_FALSE(annotate::readTreebank(path, sentences, error));
  EXPECT_EQ(error, "Error: " + path + " line 2: expected at least 5 tab-separated columns");
}

}  // namespace
