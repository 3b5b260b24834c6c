#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "kit_test_util.h"
#include "test_files.h"

namespace {

// Per test, as CTest may run the tests of this file side by side.
std::string tempPath(const std::string& name) {
  return testing::TempDir() + "train_parser_kit_" + testing::UnitTest::GetInstance()->current_test_info()->name() +
         "_" + name;
}

// Rows in the treebank layout: id form lemma coarse-tag tag form lemma tag head relation predicate.
std::string row(int id, const char* form, const char* coarse, const char* tag, int head, const char* relation) {
  std::ostringstream s;
  s << id << '\t' << form << '\t' << form << '\t' << coarse << '\t' << tag << '\t' << form << '\t' << form << '\t'
    << tag << '\t' << head << '\t' << relation << "\t_\n";
  return s.str();
}

// Three small projective sentences, five punctuation tokens among 17.
std::string smallTreebank() {
  return row(1, "the", "DET", "DT", 2, "det") + row(2, "dog", "NOUN", "NN", 3, "nsubj") +
         row(3, "barks", "VERB", "VBZ", 0, "root") + row(4, ".", "PUNCT", ".", 3, "punct") + "\n" +
         row(1, "a", "DET", "DT", 2, "det") + row(2, "cat", "NOUN", "NN", 3, "nsubj") +
         row(3, "sees", "VERB", "VBZ", 0, "root") + row(4, "the", "DET", "DT", 6, "det") +
         row(5, "big", "ADJ", "JJ", 6, "amod") + row(6, "bird", "NOUN", "NN", 3, "obj") +
         row(7, ",", "PUNCT", ",", 3, "punct") + row(8, "sadly", "ADV", "RB", 3, "advmod") +
         row(9, ".", "PUNCT", ".", 3, "punct") + "\n" + row(1, "(", "PUNCT", "-LRB-", 2, "punct") +
         row(2, "birds", "NOUN", "NNS", 3, "nsubj") + row(3, "sing", "VERB", "VBP", 0, "root") +
         row(4, ")", "PUNCT", "-RRB-", 3, "punct") + "\n\n";
}

const char kSmallTemplate[] =
    "# test templates\n"
    "U01:%s0[0,1]\n"
    "U02:%x[0,1]\n"
    "U03:%s0[0,1]%x[0,1]\n"
    "U04:%s-1[0,4]%s0[0,1]%x[0,1]%x[1,1]\n"
    "U05:%s0.dprelofchild[0,0]%x.dprelofchild[0,0]\n"
    "U06:%s0[0,0]%x[0,0]|a_distance\n"
    "B\n";

using CommandRun = CommandOutcome;

class ParserTraining : public testing::Test {
 protected:
  void SetUp() override {
    templatePath = tempPath("small.template");
    treebankPath = tempPath("small.conll");
    writeFile(templatePath, kSmallTemplate);
    writeFile(treebankPath, smallTreebank());
  }
  CommandRun train(const std::string& model, const std::string& direction) {
    return runKit({"train-parser", "-t", templatePath, "--direction", direction, "-c", "1", "-p", "l2",
                                       "--strength=0.01", "-i", "300", "-j", "1", treebankPath, model});
  }
  std::string templatePath, treebankPath;
};

TEST_F(ParserTraining, TrainedModelsParseTheirTrainingSentencesWithEveryDriver) {
  const std::string ltrModel = tempPath("ltr.model"), rtlModel = tempPath("rtl.model");
  CommandRun r = train(ltrModel, "ltr");
  ASSERT_EQ(r.status, 0) << r.err;
  r = train(rtlModel, "rtl");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string globalModel = tempPath("global.model");
  r = runKit({"train-parser", "-t", templatePath, "-c", "1", "--oracle", "global", "--epochs", "30", "--batch", "1", "-b", "4", "--min-weight", "0",
              treebankPath, globalModel});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string parsed = tempPath("parsed.out");
  struct Case {
    const char* driver;
    const std::string& model;
  } cases[] = {{"ltr", ltrModel}, {"rtl", rtlModel}, {"repair", ltrModel}, {"global", globalModel}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.driver);
    r = runKit({"evaluate-parser", "-m", c.model, "-t", templatePath, "--driver", c.driver, "-o", parsed, treebankPath});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(std::string("driver ") + c.driver + ": 3 sentences, 17 tokens, 5 punctuation (column 3)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("lifted labels: none predicted, nothing decoded\n"), std::string::npos) << r.out;
    // Roots are named ROOT by the parser and root in the gold file: both count as right.
    EXPECT_NE(r.out.find("punctuation included: UAS 100.00%  LAS 100.00%\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("punctuation excluded: UAS 100.00%  LAS 100.00%\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" sentences/s ("), std::string::npos) << r.out;
    EXPECT_NE(readFile(parsed).find("barks barks VBZ 0 root _ 0 ROOT\n"), std::string::npos);
  }
  // The same trees as CoNLL-U, with a comment and a range: the same scores,
  // and the kept parse is CoNLL-U.
  std::string conllu = "# newdoc\n", line;
  std::istringstream rows(smallTreebank());
  while (std::getline(rows, line)) {
    std::vector<std::string> c;
    std::istringstream fields(line);
    for (std::string f; std::getline(fields, f, '\t');) c.push_back(f);
    if (c.size() < 10) {
      if (conllu.compare(conllu.size() - 2, 2, "\n\n") != 0) conllu += "\n";
      continue;
    }
    if (c[0] == "1" && c[1] == "a") conllu += "1-2\tacat\t_\t_\t_\t_\t_\t_\t_\t_\n";
    conllu += c[0] + "\t" + c[1] + "\t" + c[2] + "\t" + c[3] + "\t" + c[4] + "\t_\t" + c[8] + "\t" + c[9] + "\t_\t_\n";
  }
  const std::string conlluPath = tempPath("small.conllu");
  writeFile(conlluPath, conllu);
  r = runKit({"evaluate-parser", "-m", ltrModel, "-t", templatePath, "-o", parsed, conlluPath});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("driver ltr: 3 sentences, 17 tokens, 5 punctuation (column 3)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("punctuation included: UAS 100.00%  LAS 100.00%\n"), std::string::npos) << r.out;
  EXPECT_EQ(readFile(parsed), conllu);
}

TEST_F(ParserTraining, MarkedLiftedArcsComeBackAsNonProjectiveArcs) {
  // Token 1 (a) hangs from token 4 (d) across the root, a non-projective
  // arc; training lifts it to token 2. Marked (a|d on a, |d on d), the model
  // learns where it came from and the decoder puts the arc back; unmarked,
  // the lifted arc is what the parse gives.
  const std::string gold = row(1, "a", "X", "X", 4, "a") + row(2, "b", "X", "X", 0, "root") +
                           row(3, "c", "X", "X", 2, "c") + row(4, "d", "X", "X", 2, "d") + "\n";
  const std::string goldPath = tempPath("lift-gold.conll"), model = tempPath("lift.model");
  writeFile(goldPath, gold);
  struct Case {
    const char* mark;
    const char* lifted;
    const char* nonProjective;
    const char* scores;
  } cases[] = {
      {"0", "lifted labels: none predicted", "non-projective gold arcs: 1, with the right head: 0",
       "punctuation included: UAS 75.00%  LAS 75.00%"},
      {"1", "lifted labels: 2 predicted, decoded with pseudoProjectiveHeadDecoder2 (1 lifted arcs put back)",
       "non-projective gold arcs: 1, with the right head: 1", "punctuation included: UAS 100.00%  LAS 100.00%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mark);
    CommandRun r = runKit({"train-parser", "-t", templatePath, "-c", "1", "-s", "0.01", "-j", "1", "--mark-lifted",
                           c.mark, goldPath, model});
    ASSERT_EQ(r.status, 0) << r.err;
    r = runKit({"evaluate-parser", "-m", model, "-t", templatePath, goldPath});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line : {c.lifted, c.nonProjective, c.scores})
      EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
  }
}

TEST_F(ParserTraining, FailedTrainingLeavesTheModelFileAlone) {
  const std::string model = tempPath("kept.model"), wide = tempPath("wide2.template");
  writeFile(model, "old model\n");
  writeFile(wide, "U01:%x[0,10]\n");
  CommandRun r = runKit({"train-parser", "-t", wide, treebankPath, model});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(readFile(model), "old model\n");
  r = runKit({"train-parser", "-t", templatePath, tempPath("missing.conll"), model});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: cannot read " + tempPath("missing.conll") + ": No such file or directory.\n"),
            std::string::npos);
  EXPECT_EQ(readFile(model), "old model\n");
  // A destination that cannot be written is found before the training.
  r = runKit({"train-parser", "-t", templatePath, treebankPath, tempPath("no/such/dir/m.model")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: cannot write " + tempPath("no/such/dir/m.model") + ": the folder"), std::string::npos);
  EXPECT_EQ(r.err.find("samples="), std::string::npos) << r.err;
}

TEST_F(ParserTraining, MisuseGivesTheUsage) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"train-parser", "-x", "a", "b"}, "unknown option -x"},
      {{"train-parser", "a"}, "missing MODEL"},
      {{"train-parser", "-p", "l3", "a", "b"}, "--penalty takes l2, l1 or none, not 'l3'"},
      {{"train-parser", "-c", "2x", "a", "b"}, "--cutoff takes a whole number from 0 to 1000000, not '2x'"},
      {{"train-parser", "--direction=up", "a", "b"}, "--direction takes ltr or rtl, not 'up'"},
      {{"train-parser", "a", "b", "-s"}, "option --strength needs a value"},
      {{"evaluate-parser", "-m", "m", "--driver", "up", "g"}, "--driver takes ltr, rtl, repair, beam, beam-rtl, global, global-rtl or vote, not 'up'"},
      {{"train-parser", "--oracle", "local", "a", "b"}, "--oracle takes static, dynamic or global, not 'local'"},
      {{"train-parser", "--epochs", "0", "a", "b"}, "--epochs takes a whole number from 1 to 10000, not '0'"},
      {{"evaluate-parser", "-m", "m", "--lifting", "4", "g"}, "--lifting takes 2 or 3, not '4'"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.message);
    const CommandRun r = runKit(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, kitUsageError(c.args[0], c.message));
  }
}

TEST_F(ParserTraining, EvaluationFailures) {
  const std::string model = tempPath("eval.model");
  ASSERT_EQ(train(model, "ltr").status, 0);
  const std::string narrow = tempPath("narrow.conll");
  writeFile(narrow, "1 the DT 2\n2 dog NN 0\n\n");
  CommandRun r = runKit({"evaluate-parser", "-m", model, "-t", templatePath, narrow});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: " + narrow + " line 1: a token row needs at least 10 columns"), std::string::npos)
      << r.err;
  r = runKit({"evaluate-parser", "-m", tempPath("none.model"), "-t", templatePath, narrow});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: cannot read " + tempPath("none.model") + ": No such file or directory.\n"),
            std::string::npos);
  // The parsed output must not replace the gold file.
  r = runKit({"evaluate-parser", "-m", model, "-t", templatePath, "-o", treebankPath, treebankPath});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: output file " + treebankPath + " is the same file as " + treebankPath +
                       "; refusing to overwrite it.\n");
  EXPECT_EQ(readFile(treebankPath), smallTreebank());
}

}  // namespace
