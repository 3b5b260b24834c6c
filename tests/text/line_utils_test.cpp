#include "text/line_utils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> fieldsOf(std::string line) {
  std::vector<std::string> f;
  readLine2VectorString(line, f);
  return f;
}

TEST(ReadLine2VectorString, SplitsOnBlanksAndTabsOnly) {
  EXPECT_EQ(fieldsOf("\ta  b "), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(fieldsOf("   ").empty());
  EXPECT_TRUE(fieldsOf("").empty());
  EXPECT_EQ(fieldsOf("x\r"), (std::vector<std::string>{"x\r"}));
  EXPECT_EQ(fieldsOf("\xa3\xac w"), (std::vector<std::string>{"\xa3\xac", "w"}));
}

struct CutCase {
  const char* line;
  int b, c;
  const char* want;
};

TEST(CutSeginLine, WalkRules) {
  const CutCase cases[] = {
      {"a b  c", 2, 2, "b"},     {"a b  c", 2, 3, "b  c"}, {"a b  c", 1, 5, "a b  c"},
      {"a b  c", 4, 4, ""},      {"a b  c", 1, 1, "a"},    {" a b", 1, 1, ""},
      {" a b", 2, 2, "a"},       {"a b c", 0, 1, "a b"},   {"a\tb", 2, 2, "b"},
      {"", 1, 1, ""},            {"a b ", 3, 3, ""},
  };
  for (const auto& k : cases) {
    std::string line = k.line, field = "junk";
    cutSeginLine(line, k.b, k.c, field);
    EXPECT_EQ(field, k.want) << "line '" << k.line << "' " << k.b << ".." << k.c;
  }
}

TEST(CutSeginLineInv, CountsFromTheEnd) {
  const CutCase cases[] = {
      {"w1 w2 w3", 1, 1, "w3"}, {"w1 w2 w3", 1, 2, "w2 w3"}, {"w1 w2 w3", 2, 3, "w1 w2"},
      {"a b c  ", 1, 1, "c"},   {"a b c  ", 2, 3, "a b"},     {"a b", 1, 5, "a b"},
      {"a b", 4, 4, ""},
  };
  for (const auto& k : cases) {
    std::string line = k.line, field = "junk";
    cutSeginLineInv(line, k.b, k.c, field);
    EXPECT_EQ(field, k.want) << "line '" << k.line << "' " << k.b << ".." << k.c;
  }
}

TEST(ByteClasses, AsciiOnly) {
  EXPECT_EQ(isDigital('-'), 1);
  EXPECT_EQ(isDigital('7'), 1);
  EXPECT_EQ(isDigital('+'), -1);
  EXPECT_EQ(isDigital('.'), -1);
  std::string empty, word = "abC", mixed = "a1", gbk = "\xc1\xc2";
  EXPECT_EQ(isLetter(empty), 1);
  EXPECT_EQ(isNonLetter(empty), 1);
  EXPECT_EQ(isLetter(word), 1);
  EXPECT_EQ(isLetter(mixed), -1);
  EXPECT_EQ(isNonLetter(mixed), -1);
  EXPECT_EQ(isNonLetter(gbk), 1);
  EXPECT_EQ(isLetter('\xc1'), -1);
  EXPECT_EQ(lowcaseIt("HeLLo"), "hello");
  EXPECT_EQ(lowcaseIt("\xc1"), "\xc1");
  EXPECT_EQ(lowcaseIt("\xb0\x41"), "\xb0\x61");  // trail byte in 'A'..'Z' is lowered too
  int count = 5;
  twoC(0, count);
  EXPECT_EQ(count, 6);
  twoC(3, count);
  EXPECT_EQ(count, 0);
}

TEST(CheckFile, ProbesAndReports) {
  std::string path = testing::TempDir() + "korvane_probe.txt";
  std::FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  testing::internal::CaptureStderr();
  EXPECT_EQ(checkFile(const_cast<char*>(path.c_str())), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  std::string missing = testing::TempDir() + "korvane_no_such_file";
  testing::internal::CaptureStderr();
  EXPECT_EQ(checkFile(const_cast<char*>(missing.c_str())), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: open file " + missing + ".\n");
}

TEST(ReadLineWhole, LongLinesAndMissingFinalNewline) {
  std::string path = testing::TempDir() + "korvane_lines.txt";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::string longLine(100000, 'x');
  std::fprintf(f, "%s\n\nlast\r", longLine.c_str());
  std::fclose(f);
  f = std::fopen(path.c_str(), "rb");
  std::string line;
  ASSERT_TRUE(readLineWhole(f, line));
  EXPECT_EQ(line, longLine);
  ASSERT_TRUE(readLineWhole(f, line));
  EXPECT_EQ(line, "");
  ASSERT_TRUE(readLineWhole(f, line));
  EXPECT_EQ(line, "last\r");
  EXPECT_FALSE(readLineWhole(f, line));
  std::fclose(f);
}

}  // namespace
