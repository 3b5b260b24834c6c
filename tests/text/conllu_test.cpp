#include "text/conllu.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_files.h"
#include "text/utf8.h"

namespace {

struct ReadResult {
  std::vector<conllu::ReadStatus> statuses;
  std::vector<conllu::Sentence> sentences;
  std::vector<std::string> errors;
};

ReadResult readAll(const std::string& text) {
  std::FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  if (text.empty()) f = std::tmpfile();
  ReadResult r;
  conllu::Reader reader(f, "in.conllu");
  for (;;) {
    conllu::Sentence s;
    conllu::ReadStatus st = reader.next(s);
    if (st == conllu::ReadStatus::kEnd) break;
    r.statuses.push_back(st);
    r.sentences.push_back(s);
    r.errors.push_back(reader.error());
    if (st == conllu::ReadStatus::kFailed) break;
  }
  std::fclose(f);
  return r;
}

std::string row(const std::string& id, const std::string& form, const std::string& head) {
  return id + "\t" + form + "\t_\t_\t_\t_\t" + head + "\t_\t_\t_\n";
}

TEST(Conllu, KeepsCommentsRangesEmptyNodesAndExtraColumnsInPlace) {
  const std::string text = "# sent_id = 1\n# text = I'm here\n1-2\tI'm\t_\t_\t_\t_\t_\t_\t_\t_\n" +
                           row("1", "I", "3") + row("2", "'m", "3") + "2.1\tbe\t_\t_\t_\t_\t_\t_\t_\t_\n" +
                           "3\there\t_\t_\t_\t_\t0\t_\t_\t_\tbe.01\tV\n\n";
  ReadResult r = readAll(text);
  ASSERT_EQ(r.statuses.size(), 1u);
  EXPECT_EQ(r.statuses[0], conllu::ReadStatus::kSentence) << r.errors[0];
  const conllu::Sentence& s = r.sentences[0];
  EXPECT_EQ(s.comments.size(), 2u);
  ASSERT_EQ(s.words.size(), 3u);
  EXPECT_EQ(s.words[2].cols.size(), 12u);
  EXPECT_EQ(s.head(0), 3);
  EXPECT_EQ(s.head(2), 0);
  EXPECT_EQ(s.words[1].line, 5);
  std::string out;
  conllu::write(s, out);
  EXPECT_EQ(out, text);
}

TEST(Conllu, LineEndsByteOrderMarkAndBlankRuns) {
  ReadResult r = readAll("\xEF\xBB\xBF" "# c\r\r\n" + row("1", "a", "0") + "\r\n \t\n\n" + row("1", "b", "_"));
  ASSERT_EQ(r.statuses.size(), 2u);
  EXPECT_EQ(r.sentences[0].comments[0], "# c");
  EXPECT_EQ(r.sentences[0].words[0].cols[conllu::kMisc], "_");
  EXPECT_EQ(r.sentences[1].words[0].cols[conllu::kForm], "b");
  EXPECT_EQ(r.sentences[1].head(0), -1);
  EXPECT_EQ(r.sentences[1].firstLine, 6);
}

TEST(Conllu, BadSentencesAreReportedWithTheirLineAndReadingGoesOn) {
  struct Case {
    std::string bad;
    std::string message;
  } cases[] = {
      {row("1", "a", "0") + row("3", "b", "1"), "line 2: word id '3' where 2 was expected"},
      {row("1", "a", "0") + row("2", "b", "7"), "line 2: head '7' outside the sentence of 2 words"},
      {row("1", "a", "0") + row("2", "b", "-1"), "line 2: head '-1' outside"},
      {"1\ta\t_\t0\n", "line 1: expected at least 10 tab-separated columns, found 4"},
      {row("1", "a\xC3(", "0"), "line 1: invalid UTF-8 at byte 4"},
      {row("1", std::string("a\0b", 3), "0"), "line 1: NUL byte"},
      {row("1", "a", "0") + "# late\n", "line 2: comment line inside a sentence"},
      {"x-2\ta\t_\t_\t_\t_\t_\t_\t_\t_\n" + row("1", "a", "0"), "line 1: bad word id 'x-2'"},
  };
  for (const Case& c : cases) {
    ReadResult r = readAll(c.bad + "\n" + row("1", "ok", "0"));
    ASSERT_EQ(r.statuses.size(), 2u) << c.message;
    EXPECT_EQ(r.statuses[0], conllu::ReadStatus::kBadSentence) << c.message;
    EXPECT_EQ(r.errors[0].rfind("Error: in.conllu ", 0), 0u) << r.errors[0];
    EXPECT_NE(r.errors[0].find(c.message), std::string::npos) << r.errors[0];
    EXPECT_EQ(r.statuses[1], conllu::ReadStatus::kSentence) << c.message;
  }
  EXPECT_TRUE(readAll("").statuses.empty());
  EXPECT_TRUE(readAll("\n\n  \n").statuses.empty());
}

TEST(Conllu, RealRoleFileReadsBackByteForByte) {
  const std::string path = std::string(KORVANE_DATA_DIR) + "/en_ewt-up-dev.conllu";
  const std::string text = readFile(path);
  if (text.empty()) GTEST_SKIP() << "no data at " << path;
  ReadResult r = readAll(text);
  std::string out;
  size_t words = 0, texts = 0;
  for (size_t at = text.find("\n# text = "); at != std::string::npos; at = text.find("\n# text = ", at + 1)) ++texts;
  for (size_t i = 0; i < r.sentences.size(); ++i) {
    ASSERT_EQ(r.statuses[i], conllu::ReadStatus::kSentence) << r.errors[i];
    words += r.sentences[i].words.size();
    conllu::write(r.sentences[i], out);
  }
  EXPECT_EQ(r.sentences.size(), texts);
  EXPECT_GT(words, 25000u);
  EXPECT_EQ(out, text);
}

TEST(Utf8, AcceptsWellFormedAndPointsAtTheFirstBadSequence) {
  struct Case {
    std::string text;
    bool ok;
    size_t bad;
  } cases[] = {
      {"plain", true, 0},
      {"\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80", true, 0},
      {"ab\x80", false, 2},
      {"\xC0\xAF", false, 0},           // overlong '/'
      {"x\xE0\x80\xAF", false, 1},      // overlong, three bytes
      {"\xED\xA0\x80", false, 0},       // surrogate
      {"\xF4\x90\x80\x80", false, 0},   // above U+10FFFF
      {"\xE4\xB8", false, 0},           // cut short
      {"\xE4\xB8" "a", false, 0},
  };
  for (const Case& c : cases) {
    size_t bad = 99;
    EXPECT_EQ(isValidUtf8(c.text, &bad), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_EQ(bad, c.bad) << c.text;
    }
  }
}

}  // namespace
