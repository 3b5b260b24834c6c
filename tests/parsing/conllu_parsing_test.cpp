#include "parsing/conllu_parsing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "test_files.h"

namespace {

std::string tempPath(const std::string& name) { return testing::TempDir() + "conllu_parsing_" + name; }

const char kConllu[] =
    "# sent_id = 1\n"
    "# text = Don't go.\n"
    "1-2\tDon't\t_\t_\t_\t_\t_\t_\t_\t_\n"
    "1\tDo\tdo\tAUX\tVBP\t_\t3\taux\t_\t_\tX\n"
    "2\tn't\tnot\tPART\tRB\t_\t3\tadvmod\t_\t_\tY\n"
    "2.1\tgone\tgo\tVERB\tVBN\t_\t_\t_\t3:dep\t_\n"
    "3\tgo\tgo\tVERB\tVB\t_\t0\troot\t_\tSpaceAfter=No\tZ\n"
    "4\t.\t.\tPUNCT\t.\t_\t3\tpunct\t3:punct\t_\tW\n"
    "\n";

TEST(ConlluParsing, RecognisesCoNLLUButNotTheDriversLayout) {
  struct Case {
    const char* text;
    bool conllu;
  } cases[] = {
      {kConllu, true},
      {"1\ta\ta\tX\tX\t_\t0\troot\t_\t_\n\n", true},  // DEPS "_" where the drivers hold a head
      {"1\ta\ta\tX\tX\ta\ta\tX\t0\troot\t_\n\n", false},
      {"1 a a X X a a X 0 root _\n\n", false},
      {"", false},
  };
  for (const Case& c : cases) {
    const std::string path = tempPath("probe");
    writeFile(path, c.text);
    EXPECT_EQ(looksLikeConllu(path), c.conllu) << c.text;
  }
}

// Converted to the drivers' layout and back: only HEAD, DEPREL and DEPS of
// the words change; comments, the range, the empty node and the extra column
// stay; marked lifted arcs are put back.
TEST(ConlluParsing, ParseGoesBackIntoTheSentence) {
  const std::string in = tempPath("in.conllu"), columns = tempPath("columns"), parsed = tempPath("parsed"),
                    out = tempPath("out.conllu");
  writeFile(in, kConllu + std::string("1\tbad\n\n"));
  ConlluCounts counts;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(conlluToParserColumns(in, columns, counts));
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_EQ(counts.sentences, 1);
  EXPECT_EQ(counts.skipped, 1);
  EXPECT_NE(messages.find("line 10: expected at least 10 tab-separated columns"), std::string::npos) << messages;
  EXPECT_EQ(readFile(columns),
            "1\tDo\tdo\tAUX\tVBP\tDo\tdo\tVBP\t3\taux\t_\n2\tn't\tnot\tPART\tRB\tn't\tnot\tRB\t3\tadvmod\t_\n"
            "3\tgo\tgo\tVERB\tVB\tgo\tgo\tVB\t0\troot\t_\n4\t.\t.\tPUNCT\t.\t.\t.\t.\t3\tpunct\t_\n\n");
  // A parse as the drivers write it: token 1 lifted to 3, its head 4 marked.
  writeFile(parsed, "1 Do x x x x x x 3 aux 3 aux|punct\n2 n't x x x x x x 3 advmod 3 advmod\n"
                    "3 go x x x x x x 0 root 0 ROOT\n4 . x x x x x x 3 punct 3 |punct\n\n");
  std::FILE* f = std::fopen(out.c_str(), "wb");
  ASSERT_TRUE(mergeParseIntoConllu(in, parsed, f, out, 3, counts));
  std::fclose(f);
  EXPECT_EQ(counts.sentences, 1);
  EXPECT_EQ(readFile(out),
            "# sent_id = 1\n# text = Don't go.\n1-2\tDon't\t_\t_\t_\t_\t_\t_\t_\t_\n"
            "1\tDo\tdo\tAUX\tVBP\t_\t4\taux\t_\t_\tX\n2\tn't\tnot\tPART\tRB\t_\t3\tadvmod\t_\t_\tY\n"
            "2.1\tgone\tgo\tVERB\tVBN\t_\t_\t_\t3:dep\t_\n3\tgo\tgo\tVERB\tVB\t_\t0\troot\t_\tSpaceAfter=No\tZ\n"
            "4\t.\t.\tPUNCT\t.\t_\t3\tpunct\t_\t_\tW\n\n");
}

}  // namespace
