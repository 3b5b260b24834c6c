#include "text/conllu_eval.h"

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

namespace {

std::string temp(const std::string& name) { return testing::TempDir() + name; }

std::string row(int id, const char* form, const char* lemma, const char* xpos, int head, const char* rel) {
  return std::to_string(id) + "\t" + form + "\t" + lemma + "\tX\t" + xpos + "\t_\t" + std::to_string(head) + "\t" +
         rel + "\t_\t_\n";
}

TEST(ConlluEval, AlignsTokensOnCharactersAndScoresOnlyMatchedOnes) {
  // Gold: "I can't go." / "Bye" ; the system joins "ca n't" and merges the sentences.
  writeFile(temp("gold.conllu"), "# text = I can't go.\n" + row(1, "I", "I", "PRP", 4, "nsubj") +
                               row(2, "ca", "can", "MD", 4, "aux") + row(3, "n't", "not", "RB", 4, "advmod") +
                               row(4, "go", "go", "VB", 0, "root") + row(5, ".", ".", ".", 4, "punct") + "\n" +
                               row(1, "Bye", "bye", "UH", 0, "root") + "\n");
  writeFile(temp("system.conllu"), row(1, "I", "I", "PRP", 3, "nsubj:pass") + row(2, "can't", "can't", "MD", 3, "aux") +
                                 row(3, "go", "go", "VBP", 0, "root") + row(4, ".", ".", ".", 3, "punct") +
                                 row(5, "Bye", "by", "UH", 3, "discourse") + "\n");
  conllu::Scores s;
  std::string error;
  ASSERT_TRUE(conllu::evaluate(temp("gold.conllu"), temp("system.conllu"), s, error)) << error;
  EXPECT_EQ(s.tokens.gold, 6);
  EXPECT_EQ(s.tokens.system, 5);
  EXPECT_EQ(s.tokens.correct, 4);  // I go . Bye
  EXPECT_EQ(s.sentences.correct, 0);
  EXPECT_EQ(s.xpos.correct, 3);    // I . Bye
  EXPECT_EQ(s.lemmas.correct, 3);  // I go .
  EXPECT_EQ(s.uas.correct, 3);     // I->go, go root, .->go ; Bye is a root in gold
  EXPECT_EQ(s.las.correct, 3);     // relations compare on their universal part
  EXPECT_NEAR(s.tokens.f1(), 8.0 / 11.0, 1e-12);
  EXPECT_NE(conllu::formatScores(s).find("Tokens     |     80.00 |     66.67 |     72.73 |"), std::string::npos)
      << conllu::formatScores(s);
}

TEST(ConlluEval, RefusesFilesWhoseCharactersDifferOrThatAreMalformed) {
  writeFile(temp("gold.conllu"), row(1, "one", "one", "CD", 0, "root") + "\n");
  writeFile(temp("other.conllu"), row(1, "two", "two", "CD", 0, "root") + "\n");
  writeFile(temp("bad.conllu"), row(1, "one", "one", "CD", 7, "root") + "\n");
  conllu::Scores s;
  std::string error;
  EXPECT_FALSE(conllu::evaluate(temp("gold.conllu"), temp("other.conllu"), s, error));
  EXPECT_EQ(error.rfind("Error: the forms of " + temp("other.conllu") + " and " + temp("gold.conllu") + " differ after 0 characters", 0), 0u) << error;
  EXPECT_FALSE(conllu::evaluate(temp("gold.conllu"), temp("bad.conllu"), s, error));
  EXPECT_EQ(error.rfind("Error: " + temp("bad.conllu") + " line 1:", 0), 0u) << error;
  EXPECT_FALSE(conllu::evaluate(temp("gold.conllu"), temp("missing.conllu"), s, error));
  EXPECT_EQ(error, "Error: cannot open " + temp("missing.conllu"));
}

}  // namespace
