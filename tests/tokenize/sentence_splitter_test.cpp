#include "tokenize/sentence_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shipped_lists.h"

namespace {

// Sentences joined by " | ", tokens by blanks.
std::string sentences(const std::string& text) {
  tokenize::EnglishTokenizer tokenizer(shippedLists());
  tokenize::SentenceSplitter splitter(shippedLists());
  std::vector<tokenize::Token> tokens;
  tokenizer.tokenize(text, tokens);
  const std::vector<size_t> ends = splitter.split(text, tokens);
  std::string out;
  size_t b = 0;
  for (size_t e : ends) {
    if (!out.empty()) out += " | ";
    for (size_t i = b; i < e; ++i)
      out += (i > b ? " " : "") + text.substr(tokens[i].begin, tokens[i].end - tokens[i].begin);
    b = e;
  }
  return out;
}

TEST(SentenceSplitter, CutsAfterSentenceMarksButNotAfterTitlesOrBeforeLowerCase) {
  const struct {
    const char* text;
    const char* sentences;
  } cases[] = {
      {"It rained. We stayed in! Did you? Yes.", "It rained . | We stayed in ! | Did you ? | Yes ."},
      {"Dr. Smith met Mr. Jones. They talked.", "Dr. Smith met Mr. Jones . | They talked ."},
      {"He said \"Go home.\" Then he left.", "He said \" Go home . \" | Then he left ."},
      {"(See the map.) It helps.", "( See the map . ) | It helps ."},
      // web text often starts sentences in lower case; "U.S." seldom ends one
      {"Wait... what is it? ok. fine", "Wait ... what is it ? | ok . | fine"},
      {"He lives in the U.S. He likes it.", "He lives in the U.S. He likes it ."},
      // abbreviations at the end of a sentence give it their period
      {"apples, pears, etc.", "apples , pears , etc ."},
      {"no marks at all", "no marks at all"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(sentences(c.text), c.sentences) << "text: " << c.text;
}

TEST(SentenceSplitter, DetachedPeriodKeepsTheTextsSpacing) {
  const std::string text = "Bring pears etc.";
  tokenize::EnglishTokenizer tokenizer(shippedLists());
  tokenize::SentenceSplitter splitter(shippedLists());
  std::vector<tokenize::Token> tokens;
  tokenizer.tokenize(text, tokens);
  const std::vector<size_t> ends = splitter.split(text, tokens);
  ASSERT_EQ(ends, (std::vector<size_t>{4}));
  EXPECT_EQ(text.substr(tokens[2].begin, tokens[2].end - tokens[2].begin), "etc");
  EXPECT_FALSE(tokens[2].spaceAfter);
  EXPECT_EQ(text.substr(tokens[3].begin, tokens[3].end - tokens[3].begin), ".");
  EXPECT_TRUE(tokens[3].spaceAfter);
}

}  // namespace
