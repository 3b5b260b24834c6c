#include "parsing/parser_training.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "parsing/oracle.h"
#include "parsing/parsing_drivers.h"
#include "templates/template_reader.h"
#include "test_files.h"

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

class ParserTraining : public testing::Test {
 protected:
  void SetUp() override {
    templatePath = tempPath("small.template");
    treebankPath = tempPath("small.conll");
    writeFile(templatePath, kSmallTemplate);
    writeFile(treebankPath, smallTreebank());
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
  for (bool global : {false, true}) {
    ME_Model model;
    ParserSampleCounts counts;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(global ? trainGlobalParser(path, treebankPath, false, GlobalTrainingOptions(), model, counts)
                        : collectParserSamples(path, treebankPath, false, model, counts));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Error: " + treebankPath + " line 1: the rows have 11 columns, but template file " + path +
                       " reads column 10"),
              std::string::npos)
        << err;
  }
}

TEST_F(ParserTraining, GlobalTrainingGivesTheSameModelOnAnyNumberOfThreads) {
  std::string files[2];
  for (int threads : {1, 3}) {
    GlobalTrainingOptions options;
    options.epochs = 5;
    options.cutoff = 1;
    options.minWeight = 0.0;  // a small treebank learns small weights
    options.batch = 2;
    options.threads = threads;
    ME_Model model;
    ParserSampleCounts counts;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(trainGlobalParser(templatePath, treebankPath, false, options, model, counts));
    const std::string path = tempPath(std::to_string(threads) + ".model");
    ASSERT_TRUE(model.save_to_fileV2(path));
    testing::internal::GetCapturedStderr();
    files[threads == 1 ? 0 : 1] = readFile(path);
  }
  EXPECT_GT(files[0].size(), 100u);
  EXPECT_EQ(files[0], files[1]);
}

TEST_F(ParserTraining, GlobalTrainingLearnsTheTreesInBothDirections) {
  // Thirty passes over three sentences, updating after each: the summing
  // beam then parses every training sentence back to its gold tree, right
  // to left as well.
  for (bool inverse : {false, true}) {
    SCOPED_TRACE(inverse ? "rtl" : "ltr");
    GlobalTrainingOptions options;
    options.width = 4;
    options.epochs = 30;
    options.cutoff = 1;
    options.minWeight = 0.0;  // a small treebank learns small weights
    options.batch = 1;
    std::vector<long> updates;
    options.onEpoch = [&updates](int, long count) { updates.push_back(count); };
    ME_Model model;
    ParserSampleCounts counts;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(trainGlobalParser(templatePath, treebankPath, inverse, options, model, counts));
    const std::string modelPath = tempPath(inverse ? "rtl.model" : "ltr.model");
    ASSERT_TRUE(model.save_to_fileV2(modelPath));
    SentenceParser parser;
    std::string error;
    ASSERT_TRUE(parser.load(templatePath, modelPath, inverse ? "global-rtl" : "global", error)) << error;
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(counts.sentences, 3);
    EXPECT_EQ(counts.samples, inverse ? 22 : 25);  // the oracle's actions up to where the drivers stop
    ASSERT_EQ(updates.size(), 30u);
    EXPECT_GT(updates.front(), 0);
    EXPECT_EQ(updates.back(), 0);

    std::istringstream bank(smallTreebank());
    std::string line;
    TokenTable rows;
    std::vector<int> heads;
    int parsed = 0;
    while (std::getline(bank, line)) {
      if (!line.empty()) {
        std::istringstream fields(line);
        std::vector<std::string> row;
        for (std::string f; fields >> f;) row.push_back(f);
        heads.push_back(std::stoi(row[8]) - 1);
        rows.push_back(row);
        continue;
      }
      if (rows.empty()) continue;
      std::vector<_dppair> arcs;
      ASSERT_TRUE(parser.parse(rows, arcs));
      for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(arcs[i].head, heads[i]) << parsed << " " << i;
      ++parsed;
      rows.clear();
      heads.clear();
    }
    EXPECT_EQ(parsed, 3);
  }
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
