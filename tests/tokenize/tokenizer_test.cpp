#include "tokenize/english_tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shipped_lists.h"
#include "test_files.h"

namespace {

using tokenize::EnglishTokenizer;
using tokenize::Token;

std::string temp(const std::string& name) { return testing::TempDir() + name; }

std::string joined(const std::vector<std::string>& forms) {
  std::string s;
  for (const std::string& f : forms) s += (s.empty() ? "" : " ") + f;
  return s;
}

struct Case {
  const char* text;
  const char* tokens;  // blank-separated
};

TEST(EnglishTokenizer, FollowsTheTreebankConventions) {
  const Case cases[] = {
      // clitics, straight and curly apostrophes, upper case
      {"I can't believe it's $5.99!", "I ca n't believe it 's $ 5.99 !"},
      {"We'll see, they're sure I'd won't", "We 'll see , they 're sure I 'd wo n't"},
      {"It\xE2\x80\x99s John\xE2\x80\x99s DON'T", "It \xE2\x80\x99s John \xE2\x80\x99s DO N'T"},
      {"the students' books", "the students ' books"},
      // contractions without an apostrophe, learned from the treebank
      {"i dont know, im gonna go cannot", "i do nt know , i m gon na go can not"},
      // hyphens: split, except after prefixes and in telephone-like numbers
      {"a 15-year term, state-of-the-art", "a 15 - year term , state - of - the - art"},
      {"e-mail co-workers re-read non-human", "e-mail co-workers re-read non-human"},
      {"call 713-853-3989 or 3-5213 for pages 3-4", "call 713-853-3989 or 3-5213 for pages 3 - 4"},
      {"wait -- what", "wait -- what"},
      {"yes--no", "yes -- no"},
      // numbers, money, percentages, times, dates
      {"1,200 people paid 3.5% at 5:00 on 11/28/2000.", "1,200 people paid 3.5 % at 5:00 on 11/28/2000 ."},
      {"-5 and +1", "- 5 and +1"},
      // abbreviations and initials keep their period; others do not
      {"Dr. Smith and Mr. Jones of the U.S. met Jennifer M. Anderson", "Dr. Smith and Mr. Jones of the U.S. met Jennifer M. Anderson"},
      {"e.g. apples, i.e. fruit", "e.g. apples , i.e. fruit"},
      {"the end. Next", "the end . Next"},
      // URLs, addresses, emoticons, file names
      {"see http://www.example.com/a?b=c. or www.foo.org!", "see http://www.example.com/a?b=c . or www.foo.org !"},
      {"(mail carol.st.clair@enron.com)", "( mail carol.st.clair@enron.com )"},
      {"write to franz371...@gmail.com", "write to franz371...@gmail.com"},
      {"great :) see you :-), bye ;)", "great :) see you :-) , bye ;)"},
      {"open the .doc file", "open the .doc file"},
      // quotes, brackets and runs of marks
      {"\"Hello,\" she said (quietly).", "\" Hello , \" she said ( quietly ) ."},
      {"\xE2\x80\x9CReally?!\xE2\x80\x9D Wow... ok!!!", "\xE2\x80\x9C Really ?! \xE2\x80\x9D Wow ... ok !!!"},
      {"and/or b/w AT&T", "and / or b / w AT&T"},
      {"caf\xC3\xA9 na\xC3\xAFve \xE2\x80\x94 r\xC3\xA9sum\xC3\xA9", "caf\xC3\xA9 na\xC3\xAFve \xE2\x80\x94 r\xC3\xA9sum\xC3\xA9"},
      {"", ""},
      {" \t \xC2\xA0 ", ""},
  };
  EnglishTokenizer tokenizer(shippedLists());
  for (const Case& c : cases) EXPECT_EQ(joined(tokenizer.forms(c.text)), c.tokens) << "text: " << c.text;
}

TEST(EnglishTokenizer, TokensAreByteRangesOfTheTextWithSpaceAfter) {
  EnglishTokenizer tokenizer(shippedLists());
  const std::string text = "  Don't go,\tplease.  ";
  std::vector<Token> tokens;
  tokenizer.tokenize(text, tokens);
  ASSERT_EQ(tokens.size(), 6u);
  const std::vector<std::string> forms = {"Do", "n't", "go", ",", "please", "."};
  const std::vector<bool> space = {false, true, false, true, false, true};
  for (size_t i = 0; i < tokens.size(); ++i) {
    EXPECT_EQ(text.substr(tokens[i].begin, tokens[i].end - tokens[i].begin), forms[i]);
    EXPECT_EQ(tokens[i].spaceAfter, space[i]) << forms[i];
  }
  // A range of a longer text: the byte after the range decides the last token.
  tokens.clear();
  tokenizer.tokenize("one two.three", 0, 7, tokens);
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_FALSE(tokens[1].spaceAfter);
}

TEST(EnglishTokenizer, BytesThatDoNotDecodeStayInsideTokens) {
  EnglishTokenizer tokenizer(shippedLists());
  const std::string text = "ab\xFF" "cd \xC3 x";
  EXPECT_EQ(joined(tokenizer.forms(text)), "ab\xFF" "cd \xC3 x");
}

TEST(EnglishTokenizer, ContrivedChunksStayFastAndShallow) {
  EnglishTokenizer tokenizer(shippedLists());
  const struct {
    std::string unit;
    size_t tokensPerUnit;
  } cases[] = {{"(", 1}, {")", 1}, {"a-", 2}, {"1-", 2}, {"'s", 1}, {"x.'", 2}, {"\"a", 2}};
  for (const auto& c : cases) {
    std::string text;
    while (text.size() < 400000) text += c.unit;
    text += "z";
    std::vector<Token> tokens;
    tokenizer.tokenize(text, tokens);  // must neither overflow the stack nor take quadratic time
    EXPECT_GT(tokens.size(), 1u) << c.unit;
    size_t covered = 0;
    for (const Token& t : tokens) covered += t.end - t.begin;
    EXPECT_EQ(covered, text.size()) << c.unit;
  }
}

TEST(TokenLists, LearnsPrefixesWholeTokensJoinsAndSentenceEnds) {
  std::vector<std::vector<std::string>> sentences;
  for (int i = 0; i < 3; ++i) {
    sentences.push_back({"I", "sent", "an", "e-mail", "to", "Dr.", "Who", "."});
    sentences.push_back({"i", "do", "nt", "care", "about", "the", "15", "-", "year", "term", "!"});
    sentences.push_back({"We", "met", "at", "Yahoo!", "yesterday", "etc", "."});
  }
  const tokenize::TokenLists lists = tokenize::learnTokenLists(sentences);
  EXPECT_TRUE(lists.hyphenPrefixes.count("e"));
  EXPECT_FALSE(lists.hyphenPrefixes.count("15"));
  EXPECT_TRUE(lists.whole.count("dr."));
  EXPECT_TRUE(lists.whole.count("yahoo!"));
  ASSERT_TRUE(lists.joined.count("dont"));
  EXPECT_EQ(lists.joined.at("dont"), 2u);
  // "!" before a capital ended every sentence; "dr." never did.
  ASSERT_TRUE(lists.sentenceEnds.count("!\tU"));
  EXPECT_EQ(lists.sentenceEnds.at("!\tU"), std::make_pair(3, 3));
  ASSERT_TRUE(lists.sentenceEnds.count("dr.\tU"));
  EXPECT_EQ(lists.sentenceEnds.at("dr.\tU"), std::make_pair(0, 3));

  const std::string path = temp("lists.data");
  std::string error;
  ASSERT_TRUE(lists.save(path, "the test", error)) << error;
  tokenize::TokenLists back;
  ASSERT_TRUE(back.load(path, error)) << error;
  EXPECT_EQ(back.whole, lists.whole);
  EXPECT_EQ(back.hyphenPrefixes, lists.hyphenPrefixes);
  EXPECT_EQ(back.joined, lists.joined);
  EXPECT_EQ(back.sentenceEnds, lists.sentenceEnds);
  EnglishTokenizer tokenizer(back);
  EXPECT_EQ(joined(tokenizer.forms("an e-mail, dont!")), "an e-mail , do nt !");
}

TEST(TokenLists, RejectsBadFilesAndKeepsWhatItHad) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"whole\tx\nbogus\tline\n", " line 2: not a token-list entry"},
      {"join\tdont\t9\n", " line 1: not a token-list entry"},
      {"end\t.\tU\t5\t3\n", " line 1: not a token-list entry"},
      {"prefix\n", " line 1: not a token-list entry"},
  };
  for (const auto& c : cases) {
    writeFile(temp("bad.data"), c.text);
    tokenize::TokenLists lists;
    lists.whole.insert("kept");
    std::string error;
    EXPECT_FALSE(lists.load(temp("bad.data"), error));
    EXPECT_EQ(error, "Error: " + temp("bad.data") + c.error);
    EXPECT_TRUE(lists.whole.count("kept"));
  }
  tokenize::TokenLists lists;
  std::string error;
  EXPECT_FALSE(lists.load(temp("missing.data"), error));
  EXPECT_EQ(error.rfind("Error: cannot open " + temp("missing.data"), 0), 0u) << error;
}

}  // namespace
