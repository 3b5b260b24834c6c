#include "parsing/parser_training.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "parsing/oracle.h"
#include "templates/template_reader.h"
#include "test_files.h"
#include "test_command.h"

namespace {

// Per test, as CTest may run the tests of this file side by side.
std::string tempPath(const std::string& name) {
  return testing::TempDir() + "parser_training_" + testing::UnitTest::GetInstance()->current_test_info()->name() +
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
    return runCommand(kitTrainParser, {"train-parser", "-t", templatePath, "-d", direction, "-c", "1", "-p", "l2",
                                       "--strength=0.01", "-i", "300", "-j", "1", treebankPath, model});
  }
  std::string templatePath, treebankPath;
};

TEST_F(ParserTraining, OneSamplePerOracleActionInBothDirections) {
  for (bool inverse : {false, true}) {
    SCOPED_TRACE(inverse ? "right to left" : "left to right");
    ME_Model model;
    ParserSampleCounts counts;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(collectParserSamples(templatePath, treebankPath, inverse, model, counts));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(counts.sentences, 3);
    EXPECT_EQ(counts.underivable, 0);
    ASSERT_EQ(static_cast<long>(model.training_samples.size()), counts.samples);
    // The first sentence alone: "the dog barks ." has the actions below.
    std::vector<_dppair> gold(4);
    gold[0] = {1, "det"};
    gold[1] = {2, "nsubj"};
    gold[2] = {-1, "root"};
    gold[3] = {2, "punct"};
    std::vector<std::string> actions;
    ASSERT_TRUE(inverse ? nivreOracleActionsInverse(gold, actions) : nivreOracleActions(gold, actions));
    ASSERT_GE(model.training_samples.size(), actions.size());
    for (size_t i = 0; i < actions.size(); ++i)
      EXPECT_EQ(model.labels.names[model.training_samples[i].label_id], actions[i]) << i;
    // The first state's features: the stack top and the next input, label templates left out.
    const std::vector<std::string> first = {inverse ? "U01:." : "U01:the", inverse ? "U02:barks" : "U02:dog"};
    const ME_Model::Sample& s = model.training_samples[0];
    ASSERT_EQ(s.feature_ids.size(), 6u);
    for (size_t k = 0; k < first.size(); ++k) EXPECT_EQ(model.feature_names.ids.at(first[k]), s.feature_ids[k]);
  }
}

// The shipped template file: every line a known feature template that the
// treebank layout can feed.
TEST_F(ParserTraining, ShippedTemplateFitsTheTreebankLayout) {
  std::string path = std::string(KORVANE_SOURCE_DIR) + "/models/parser.template";
  std::vector<_ftnind> templates;
  std::vector<int> order;
  int labelOrder = 0;
  testing::internal::CaptureStderr();
  const int count = readTemplateFile3(&path[0], templates, order, labelOrder);
  testing::internal::GetCapturedStderr();
  ASSERT_GT(count, 30);
  for (const _ftnind& t : templates) {
    SCOPED_TRACE(t.name);
    EXPECT_EQ(t.name[0], 'U');
    for (const _ft& item : t.items) {
      EXPECT_TRUE(item.type == 2 || item.type == 4);
      EXPECT_LT(item.column, 8);  // never the gold tree
      for (const _subft& step : item.steps) EXPECT_GE(step.code, 100);
    }
  }
  ME_Model model;
  ParserSampleCounts counts;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(collectParserSamples(path, treebankPath, false, model, counts));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.find("Unknown function"), std::string::npos) << err;
  for (const ME_Model::Sample& s : model.training_samples) EXPECT_EQ(s.feature_ids.size(), static_cast<size_t>(count));
}

TEST_F(ParserTraining, NonProjectiveTreesAreCountedAndLeftOut) {
  // Token 4 hangs from token 1 across the root: the oracle cannot build it.
  const std::string path = tempPath("nonprojective.conll");
  writeFile(path, row(1, "a", "X", "X", 2, "a") + row(2, "b", "X", "X", 0, "root") + row(3, "c", "X", "X", 2, "c") +
                      row(4, "d", "X", "X", 1, "d") + "\n" + row(1, "e", "X", "X", 0, "root") + "\n");
  ME_Model model;
  ParserSampleCounts counts;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(collectParserSamples(templatePath, path, false, model, counts));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(counts.sentences, 2);
  EXPECT_EQ(counts.underivable, 1);
  EXPECT_EQ(counts.samples, 0);  // the one-token sentence needs no action
}

TEST_F(ParserTraining, TemplateReadingTheLastColumnIsRefused) {
  const std::string path = tempPath("wide.template");
  writeFile(path, "U01:%x[0,10]\n");
  ME_Model model;
  ParserSampleCounts counts;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(collectParserSamples(path, treebankPath, false, model, counts));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Error: " + treebankPath + " line 1: the rows have 11 columns, but template file " + path +
                     " reads column 10"),
            std::string::npos)
      << err;
}

TEST_F(ParserTraining, TrainedModelsParseTheirTrainingSentencesWithEveryDriver) {
  const std::string ltrModel = tempPath("ltr.model"), rtlModel = tempPath("rtl.model");
  CommandRun r = train(ltrModel, "ltr");
  ASSERT_EQ(r.status, 0) << r.err;
  r = train(rtlModel, "rtl");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string parsed = tempPath("parsed.out");
  struct Case {
    const char* driver;
    const std::string& model;
  } cases[] = {{"ltr", ltrModel}, {"rtl", rtlModel}, {"repair", ltrModel}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.driver);
    r = runCommand(kitEvaluateParser,
                   {"evaluate-parser", "-m", c.model, "-t", templatePath, "-d", c.driver, "-o", parsed, treebankPath});
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
}

TEST_F(ParserTraining, LiftedLabelsAreDecodedBeforeScoring) {
  // Gold: token 1 (a) hangs from token 4 (d) across the root, a
  // non-projective arc. The training copy lifts it to token 2 and marks it as
  // projectivize does: a's label a|d names the marker |d that token 4
  // carries, its own relation, so decoder 2 finds the head back.
  const std::string gold = row(1, "a", "X", "X", 4, "a") + row(2, "b", "X", "X", 0, "root") +
                           row(3, "c", "X", "X", 2, "c") + row(4, "d", "X", "X", 2, "d") + "\n";
  const std::string lifted = row(1, "a", "X", "X", 2, "a|d") + row(2, "b", "X", "X", 0, "root") +
                             row(3, "c", "X", "X", 2, "c") + row(4, "d", "X", "X", 2, "|d") + "\n";
  const std::string goldPath = tempPath("lift-gold.conll"), trainPath = tempPath("lift-train.conll"),
                    model = tempPath("lift.model");
  writeFile(goldPath, gold);
  writeFile(trainPath, lifted);
  CommandRun r = runCommand(kitTrainParser, {"train-parser", "-t", templatePath, "-c", "1", "-s", "0.01", "-j", "1",
                                             trainPath, model});
  ASSERT_EQ(r.status, 0) << r.err;
  r = runCommand(kitEvaluateParser, {"evaluate-parser", "-m", model, "-t", templatePath, goldPath});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("lifted labels: 2 predicted, decoded with pseudoProjectiveHeadDecoder2 (1 lifted arcs put "
                       "back)\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("non-projective gold arcs: 1, with the right head: 1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("punctuation included: UAS 100.00%  LAS 100.00%\n"), std::string::npos) << r.out;
}

TEST_F(ParserTraining, FailedTrainingLeavesTheModelFileAlone) {
  const std::string model = tempPath("kept.model"), wide = tempPath("wide2.template");
  writeFile(model, "old model\n");
  writeFile(wide, "U01:%x[0,10]\n");
  CommandRun r = runCommand(kitTrainParser, {"train-parser", "-t", wide, treebankPath, model});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(readFile(model), "old model\n");
  r = runCommand(kitTrainParser, {"train-parser", "-t", templatePath, tempPath("missing.conll"), model});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: open file " + tempPath("missing.conll") + " for reading.\n"), std::string::npos);
  EXPECT_EQ(readFile(model), "old model\n");
  // A destination that cannot be written is found before the training.
  r = runCommand(kitTrainParser, {"train-parser", "-t", templatePath, treebankPath, tempPath("no/such/dir/m.model")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: open " + tempPath("no/such/dir/m.model") + " for writing.\n"), std::string::npos);
  EXPECT_EQ(r.err.find("samples="), std::string::npos) << r.err;
}

TEST_F(ParserTraining, MisuseGivesTheUsage) {
  struct Case {
    const char* name;
    int (*command)(int, char**);
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {"unknown option", kitTrainParser, {"train-parser", "-x", "a", "b"}, "Error: unknown option -x.\n"},
      {"one file", kitTrainParser, {"train-parser", "a"}, "Error: expected 2 file arguments, got 1.\n"},
      {"bad penalty", kitTrainParser, {"train-parser", "-p", "l3", "a", "b"}, "Error: --penalty takes l2, l1 or none"},
      {"bad cutoff", kitTrainParser, {"train-parser", "-c", "2x", "a", "b"}, "Error: --cutoff takes a whole number"},
      {"bad direction", kitTrainParser, {"train-parser", "--direction=up", "a", "b"}, "Error: --direction takes"},
      {"missing value", kitTrainParser, {"train-parser", "a", "b", "-s"}, "Error: missing value of -s.\n"},
      {"no model", kitEvaluateParser, {"evaluate-parser", "gold"}, "Error: no model file given (-m).\n"},
      {"bad driver", kitEvaluateParser, {"evaluate-parser", "-m", "m", "-d", "up", "g"}, "Error: --driver takes"},
      {"bad lifting", kitEvaluateParser, {"evaluate-parser", "-m", "m", "-e", "4", "g"}, "Error: --lifting takes"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<char*> argv;
    for (std::string& a : c.args) argv.push_back(&a[0]);
    testing::internal::CaptureStderr();
    EXPECT_EQ(c.command(static_cast<int>(argv.size()), argv.data()), 2);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_NE(err.find("Usage: korvane-kit "), std::string::npos) << err;
  }
  const CommandRun help = runCommand(kitTrainParser, {"train-parser", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: korvane-kit train-parser [options] TRAIN MODEL\n", 0), 0u) << help.out;
}

TEST_F(ParserTraining, EvaluationFailures) {
  const std::string model = tempPath("eval.model");
  ASSERT_EQ(train(model, "ltr").status, 0);
  const std::string narrow = tempPath("narrow.conll");
  writeFile(narrow, "1 the DT 2\n2 dog NN 0\n\n");
  CommandRun r = runCommand(kitEvaluateParser, {"evaluate-parser", "-m", model, "-t", templatePath, narrow});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: " + narrow + " line 1: a token row needs at least 10 columns"), std::string::npos)
      << r.err;
  r = runCommand(kitEvaluateParser, {"evaluate-parser", "-m", tempPath("none.model"), "-t", templatePath, narrow});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: open file " + tempPath("none.model") + " for reading.\n"), std::string::npos);
  // The parsed output must not replace the gold file.
  r = runCommand(kitEvaluateParser,
                 {"evaluate-parser", "-m", model, "-t", templatePath, "-o", treebankPath, treebankPath});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(readFile(treebankPath), smallTreebank());
}

}  // namespace

namespace {

// (first feature, label) of every collected sample, in order.
std::vector<std::pair<std::string, std::string>> samplesOf(const ME_Model& model) {
  std::vector<std::string> names(static_cast<size_t>(model.feature_names.count));
  for (const auto& named : model.feature_names.ids) names[static_cast<size_t>(named.second)] = named.first;
  std::vector<std::pair<std::string, std::string>> out;
  for (const ME_Model::Sample& s : model.training_samples)
    out.emplace_back(s.feature_ids.empty() ? "" : names[static_cast<size_t>(s.feature_ids[0])],
                     model.labels.names[static_cast<size_t>(s.label_id)]);
  return out;
}

}  // namespace

TEST_F(ParserTraining, DynamicOracleLabelsTheStatesAfterAMistake) {
  // a <- b -> c, b the root. The explorer shifts where the left arc a <- b is
  // due; in the state it reaches (a and b on the stack, c next) a's arc is
  // lost, and the dynamic oracle teaches the right arc b -> c that keeps the
  // rest. The static oracle never sees that state.
  const std::string bank = tempPath("mistake.conll"), tpl = tempPath("mistake.template");
  writeFile(bank, row(1, "a", "X", "X", 2, "det") + row(2, "b", "X", "X", 0, "root") +
                      row(3, "c", "X", "X", 2, "obj") + "\n");
  writeFile(tpl, "U01:%S-1[0,1]%S0[0,1]%x[0,1]\n");
  const std::vector<ME_Model_Data> rows = {{"0", "U01:_X0/a/b", 5.0},
                                           {"2:det", "U01:never", 0.1},
                                           {"3:obj", "U01:never", 0.1},
                                           {"1", "U01:never", 0.1},
                                           {"///", nullptr, 0.0}};
  ME_Model explorer;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(explorer.load_from_array(rows.data()));
  ME_Model dynamic, fixed;
  ParserSampleCounts counts;
  DynamicOracleOptions options;
  options.explore = 0.0;
  ASSERT_TRUE(collectDynamicParserSamples(tpl, bank, false, explorer, options, dynamic, counts));
  ASSERT_TRUE(collectParserSamples(tpl, bank, false, fixed, counts));
  testing::internal::GetCapturedStderr();
  const std::vector<std::pair<std::string, std::string>> afterMistake = {{"U01:_X0/a/b", "2:det"},
                                                                         {"U01:a/b/c", "3:obj"}};
  const std::vector<std::pair<std::string, std::string>> gold = {
      {"U01:_X0/a/b", "2:det"}, {"U01:_X0/_X0/b", "0"}, {"U01:_X0/b/c", "3:obj"}};
  EXPECT_EQ(samplesOf(dynamic), afterMistake);
  EXPECT_EQ(samplesOf(fixed), gold);
}
