// Training questions: the transition oracle rebuilds gold roles, and the
// samples a driver's training produces carry the features the same driver
// builds when it labels with a model trained on them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "roles/role_labeller.h"
#include "roles/role_tasks.h"
#include "roles/role_training.h"
#include "test_files.h"

namespace {

const std::string kFixture = std::string(KORVANE_SOURCE_DIR) + "/tests/roles/fixtures/roles.conllu";
const std::string kTemplate = std::string(KORVANE_SOURCE_DIR) + "/models/srl.template";

// Replays the oracle on every sentence of `path`; the sentences it cannot
// rebuild.
long unreachedSentences(const std::string& path, long& sentences) {
  SrlModel m;
  m.templates.resize(1);
  m.templates[0].name = "U01";
  m.templateOrder = {0};
  SrlSentence state;
  long unreached = 0;
  sentences = 0;
  std::string error;
  auto replay = [&](conllu::Sentence& s, roles::RoleAnnotation& a, std::string&) {
    ++sentences;
    roles::driverRows(s, a.predicates, state.rows);
    roles::GoldRoles gold{a.predicates, a.roles};
    bool reached = false;
    EXPECT_TRUE(roles::goldQuestions(m, roles::Driver::kNivre, state, gold,
                                     [](const std::string&, const ME_Sample&) {}, reached));
    if (!reached) ++unreached;
    return true;
  };
  EXPECT_TRUE(roles::forEachAnnotated(path, "", replay, error)) << error;
  return unreached;
}

TEST(SrlQuestionsTest, TransitionOracleRebuildsEveryGoldSentence) {
  long sentences = 0;
  EXPECT_EQ(unreachedSentences(kFixture, sentences), 0);
  EXPECT_EQ(sentences, 6);
  const std::string data = std::string(KORVANE_DATA_DIR) + "/en_ewt-up-dev.conllu";
  if (readFile(data).empty()) GTEST_SKIP() << "no " << data;
  EXPECT_EQ(unreachedSentences(data, sentences), 0);
  EXPECT_EQ(sentences, 2002);
}

TEST(SrlQuestionsTest, OracleActions) {
  // Rows 0 and 1 are A0 and A1 left of the predicate at 2; row 4 is A2.
  const std::vector<std::string> roles = {"A0", "A1", "_", "_", "A2"};
  EXPECT_EQ(roles::nivreOracleAction(roles, 2, {}, 0), "0");
  EXPECT_EQ(roles::nivreOracleAction(roles, 2, {0, 1}, 2), "2:A1");
  EXPECT_EQ(roles::nivreOracleAction(roles, 2, {}, 2), "5");
  EXPECT_EQ(roles::nivreOracleAction(roles, 2, {2}, 3), "4");
  EXPECT_EQ(roles::nivreOracleAction(roles, 2, {2}, 4), "3:A2");
  EXPECT_EQ(roles::nivreOracleAction({"_", "_", "A1", "A2"}, 0, {0, 2}, 3), "1");
}

// Per driver: the training samples, then the features the labeller builds
// with the model trained on them; the model must give back the gold roles
// for the states to match.
TEST(SrlQuestionsTest, TrainingFeaturesEqualLabellingFeatures) {
  const std::string prop = testing::TempDir() + "roles_q.propbank", nom = testing::TempDir() + "roles_q.nombank";
  std::string propText, nomText, error;
  roles::BankCounts counts;
  ASSERT_TRUE(roles::buildSenseBanks(kFixture, "", propText, nomText, counts, error)) << error;
  writeFile(prop, propText);
  writeFile(nom, nomText);
  for (roles::Driver driver : {roles::Driver::kMulti, roles::Driver::kXue, roles::Driver::kNivre,
                               roles::Driver::kAllPair, roles::Driver::kXueExt}) {
    SCOPED_TRACE(roles::driverName(driver));
    roles::TrainSettings settings;
    settings.trainPath = kFixture;
    settings.templatePath = kTemplate;
    settings.propbank = prop;
    settings.nombank = nom;
    settings.driver = driver;
    settings.cutoff = 1;
    settings.options.strength = 0.01;
    settings.quiet = true;
    ME_Model model;
    roles::TrainCounts trained;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(roles::trainRoleModel(settings, model, trained, error)) << error;
    // The samples again, in order, for comparison.
    ME_Model samples;
    ASSERT_TRUE(roles::collectRoleSamples(settings, samples, trained, error)) << error;
    const std::string modelPath = testing::TempDir() + "roles_q.model";
    ASSERT_TRUE(model.save_to_fileV2(modelPath));

    roles::RoleLabeller labeller;
    ASSERT_TRUE(labeller.load({modelPath, kTemplate, prop, nom}, driver, error)) << error;
    testing::internal::GetCapturedStderr();
    std::vector<std::vector<std::string>> asked;
    SrlModel& m = labeller.srlModel();
    m.choose = [&m, &asked](SrlSentence& s, int, std::string& label) {
      m.model.classify(s.sample);
      label = s.sample.label_str;
      asked.push_back(s.sample.feature_strs);
    };
    long sentences = 0;
    auto label = [&](conllu::Sentence& s, roles::RoleAnnotation& gold, std::string& err) {
      ++sentences;
      if (roles::findsPredicates(driver)) {
        // Found predicates carry at least one role.
        roles::RoleAnnotation kept;
        for (size_t j = 0; j < gold.predicates.size(); ++j) {
          bool any = false;
          for (const std::string& r : gold.roles[j]) any = any || r != "_";
          if (!any) continue;
          kept.predicates.push_back(gold.predicates[j]);
          kept.roles.push_back(gold.roles[j]);
        }
        gold = kept;
      }
      if (!labeller.label(s, "fixture", err)) return false;
      roles::RoleAnnotation found;
      EXPECT_TRUE(roles::readRoleColumns(s, "out", found, err));
      EXPECT_EQ(found.predicates, gold.predicates) << s.firstLine;
      EXPECT_EQ(found.roles, gold.roles) << s.firstLine;
      return true;
    };
    ASSERT_TRUE(roles::forEachAnnotated(kFixture, "", label, error)) << error;
    std::vector<std::string> names(static_cast<size_t>(samples.feature_names.count));
    for (const auto& entry : samples.feature_names.ids) names[static_cast<size_t>(entry.second)] = entry.first;
    ASSERT_EQ(asked.size(), samples.training_samples.size());
    for (size_t i = 0; i < asked.size(); ++i) {
      std::vector<std::string> trainedFeatures;
      for (int id : samples.training_samples[i].feature_ids) trainedFeatures.push_back(names[static_cast<size_t>(id)]);
      ASSERT_EQ(asked[i], trainedFeatures) << "question " << i;
    }
  }
}

}  // namespace

namespace {

// The labeller on sentences without role columns: senses from the predicate
// dictionaries (as rolesets of their own lemma), sentences without
// predicates untouched, role columns added in the long spelling.
TEST(RoleLabellerTest, LabelsMarkedPredicatesAndLeavesTheRest) {
  const std::string prop = testing::TempDir() + "roles_l.propbank", nom = testing::TempDir() + "roles_l.nombank";
  std::string propText, nomText, error;
  roles::BankCounts counts;
  ASSERT_TRUE(roles::buildSenseBanks(kFixture, "", propText, nomText, counts, error)) << error;
  writeFile(prop, propText);
  writeFile(nom, nomText);
  roles::TrainSettings settings;
  settings.trainPath = kFixture;
  settings.templatePath = kTemplate;
  settings.cutoff = 1;
  settings.options.strength = 0.01;
  settings.quiet = true;
  ME_Model model;
  roles::TrainCounts trained;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(roles::trainRoleModel(settings, model, trained, error)) << error;
  const std::string modelPath = testing::TempDir() + "roles_l.model";
  ASSERT_TRUE(model.save_to_fileV2(modelPath));
  roles::RoleLabeller labeller;
  ASSERT_TRUE(labeller.load({modelPath, kTemplate, prop, nom}, roles::Driver::kMulti, error)) << error;
  testing::internal::GetCapturedStderr();

  auto sentence = [](const std::vector<std::string>& lines) {
    conllu::Sentence s;
    for (const std::string& line : lines) {
      conllu::Word w;
      conllu::splitTabs(line, w.cols);
      s.words.push_back(w);
    }
    return s;
  };
  // The predicate mark's value is not used.
  conllu::Sentence s = sentence({"1\tThe\tthe\tDET\tDT\t_\t2\tdet\t_\t_\t_",
                                 "2\tservice\tservice\tNOUN\tNN\t_\t3\tnsubj\t_\t_\tY",
                                 "3\tcame\tcome\tVERB\tVBD\t_\t0\troot\t_\t_\tY"});
  ASSERT_TRUE(labeller.label(s, "in", error)) << error;
  EXPECT_EQ(s.words[1].cols[10], "serve.02");  // a roleset of another lemma
  EXPECT_EQ(s.words[2].cols[10], "come.01");   // a lemma the dictionaries do not know
  EXPECT_EQ(s.words[1].cols.size(), 13u);
  EXPECT_EQ(s.words[1].cols[11], "V");
  EXPECT_EQ(s.words[2].cols[12], "V");

  conllu::Sentence plain = sentence({"1\tHi\thi\tINTJ\tUH\t_\t0\troot\t_\t_"});
  const conllu::Sentence before = plain;
  ASSERT_TRUE(labeller.label(plain, "in", error));
  EXPECT_EQ(plain.words[0].cols, before.words[0].cols);

  conllu::Sentence bad = sentence({"1\tHi\thi\tINTJ\tUH\t_\t0\troot\t_\t_\thi.01\tV\tA0"});
  bad.words[0].line = 7;
  EXPECT_FALSE(labeller.label(bad, "in", error));
  EXPECT_EQ(error, "Error: in line 7: 2 role columns where the sentence has 1 predicate");
}

}  // namespace
