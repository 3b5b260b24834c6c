// CoNLL-U role columns: reading, spelling, driver rows and writing back.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "roles/role_columns.h"
#include "roles/role_tasks.h"
#include "test_files.h"
#include "text/conllu.h"

namespace {

const std::string kFixture = std::string(KORVANE_SOURCE_DIR) + "/tests/roles/fixtures/roles.conllu";

std::vector<conllu::Sentence> readAll(const std::string& text) {
  const std::string path = testing::TempDir() + "roles_columns.conllu";
  writeFile(path, text);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  conllu::Reader reader(f, "in.conllu");
  std::vector<conllu::Sentence> all;
  conllu::Sentence s;
  while (reader.next(s) == conllu::ReadStatus::kSentence) all.push_back(s);
  std::fclose(f);
  return all;
}

TEST(RoleColumnsTest, RoleSpellingBothWays) {
  const std::pair<const char*, const char*> pairs[] = {
      {"ARG0", "A0"},     {"ARGM-TMP", "AM-TMP"}, {"R-ARG1", "R-A1"}, {"C-ARGM-LOC", "C-AM-LOC"},
      {"C-V", "C-V"},     {"ARGA", "AA"},         {"R-ARGM-MNR", "R-AM-MNR"}};
  for (const auto& p : pairs) {
    EXPECT_EQ(roles::shortRole(p.first), p.second);
    if (std::string(p.first) != "ARGA") {
      EXPECT_EQ(roles::longRole(p.second), p.first);
    }
  }
}

TEST(RoleColumnsTest, RolesetSenses) {
  const struct {
    const char* roleset;
    bool ok;
    const char *lemma, *sense;
  } cases[] = {{"come.03", true, "come", "03"},        {"make.LV", true, "make", "LV"},
               {"look_forward.03", true, "look_forward", "03"}, {"image.101", true, "image", "101"},
               {"come", false, "", ""},                 {"come.", false, "", ""},
               {".01", false, "", ""},                  {"come.x1", false, "", ""},
               {"co,me.01", false, "", ""},             {"co me.01", false, "", ""}};
  for (const auto& c : cases) {
    std::string lemma, sense;
    EXPECT_EQ(roles::rolesetSense(c.roleset, lemma, sense), c.ok) << c.roleset;
    if (c.ok) {
      EXPECT_EQ(lemma + "|" + sense, std::string(c.lemma) + "|" + c.sense);
    }
  }
}

TEST(RoleColumnsTest, ReadsConvertsAndWritesBack) {
  const std::string text = readFile(kFixture);
  std::vector<conllu::Sentence> all = readAll(text);
  ASSERT_EQ(all.size(), 6u);
  std::string written, error;
  std::vector<size_t> predicates;
  for (conllu::Sentence& s : all) {
    roles::RoleAnnotation a;
    ASSERT_TRUE(roles::readRoleColumns(s, "in", a, error)) << error;
    predicates.push_back(a.predicates.size());
    if (!a.predicates.empty()) roles::writeRoleColumns(s, a.predicates, a.senses, a.roles, a.longSpelling);
    conllu::write(s, written);
  }
  EXPECT_EQ(predicates, (std::vector<size_t>{1, 2, 1, 0, 1, 0}));
  EXPECT_EQ(written, text);  // range line, comments and the empty columns in place

  roles::RoleAnnotation a;
  ASSERT_TRUE(roles::readRoleColumns(all[1], "in", a, error));
  EXPECT_EQ(a.senses, (std::vector<std::string>{"serve.02", "apologize.01"}));
  EXPECT_EQ(a.roles[1][5], "A0");
  EXPECT_EQ(a.roles[1][7], "AM-TMP");
  EXPECT_EQ(a.roles[0][1], "_");  // "V" is no role
  TokenTable rows;
  roles::driverRows(all[1], a.predicates, rows);
  EXPECT_EQ(rows[1], (std::vector<std::string>{"2", "service", "service", "NOUN", "NN", "service", "service", "NN",
                                               "4", "nsubj", "service"}));
  EXPECT_EQ(rows[0].back(), "_");
}

TEST(RoleColumnsTest, BadRoleColumnsAreRefusedWithTheirLine) {
  const std::string head = "1\ta\ta\tX\tNN\t_\t2\tdep\t_\t_\t";
  const struct {
    const char* name;
    std::string text;
    const char* message;
  } cases[] = {
      {"too many role columns", head + "_\tA0\tA1\n2\tb\tb\tX\tVB\t_\t0\troot\t_\t_\tb.01\tV\n",
       "in line 1: 2 role columns where the sentence has 1 predicate"},
      {"too few", head + "_\n2\tb\tb\tX\tVB\t_\t0\troot\t_\t_\tb.01\tV\n",
       "in line 1: 0 role columns where the sentence has 1 predicate"},
      {"column 11 missing on a row", head + "_\tA0\n2\tb\tb\tX\tVB\t_\t0\troot\t_\t_\n",
       "in line 2: no predicate column 11 where the sentence's first row has one"},
  };
  for (const auto& c : cases) {
    std::vector<conllu::Sentence> all = readAll(c.text);
    ASSERT_EQ(all.size(), 1u) << c.name;
    roles::RoleAnnotation a;
    std::string error;
    EXPECT_FALSE(roles::readRoleColumns(all[0], "in", a, error)) << c.name;
    EXPECT_EQ(error, std::string("Error: ") + c.message) << c.name;
  }
}

TEST(RoleColumnsTest, ScoresCountTriplesPairsPredicatesAndSenses) {
  roles::RoleAnnotation gold, found;
  gold.predicates = {1};
  gold.senses = {"go.01"};
  gold.roles = {{"A0", "_", "A1", "AM-TMP"}};
  found.predicates = {1, 3};
  found.senses = {"go.02", "x.01"};
  found.roles = {{"A0", "_", "A2", "_"}, {"A1", "_", "_", "_"}};
  roles::RoleScores s;
  s.add(gold, found);
  EXPECT_EQ(s.goldArguments, 3);
  EXPECT_EQ(s.foundArguments, 3);
  EXPECT_EQ(s.labelledCorrect, 1);
  EXPECT_EQ(s.unlabelledCorrect, 2);
  EXPECT_EQ(s.predicatesCorrect, 1);
  EXPECT_EQ(s.sensesCorrect, 0);
  const roles::Prf p = roles::prf(s.labelledCorrect, s.foundArguments, s.goldArguments);
  EXPECT_NEAR(p.f1, 1.0 / 3, 1e-12);
}

}  // namespace
