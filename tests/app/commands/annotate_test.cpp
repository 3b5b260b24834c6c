#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "kit_test_util.h"
#include "maxent/me_model.h"
#include "roles/role_training.h"
#include "test_files.h"
#include "text/gbk.h"

namespace {

std::string temp(const std::string& name) { return testing::TempDir() + "annotate_test_" + name; }
const std::string kModels = std::string(KORVANE_SOURCE_DIR) + "/models/";
const std::string kData = KORVANE_DATA_DIR;

bool haveData(const std::string& file) { return !readFile(kData + "/" + file).empty(); }

TEST(KitAnnotate, ParagraphToConllu) {
  writeFile(temp("in.txt"), "The children were playing in the garden. She didn't see them!\n\nDr. Smith paid $5.99.\n");
  CommandOutcome r = runKit({"annotate", "--quiet", "--threads", "2", "-o", temp("out.conllu"), temp("in.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string out = readFile(temp("out.conllu"));
  for (const char* piece : {
           "# newpar\n# sent_id = 1\n# text = The children were playing in the garden.\n",
           "2\tchildren\tchild\tNOUN\tNNS\t_\t4\tnsubj\t_\t_\n",
           "4\tplaying\tplay\tVERB\tVBG\t_\t0\troot\t_\t_\n",
           "7\tgarden\tgarden\tNOUN\tNN\t_\t4\tobl\t_\tSpaceAfter=No\n8\t.\t.\tPUNCT\t.\t_\t4\tpunct\t_\t_\n",
           "# sent_id = 2\n# text = She didn't see them!\n",
           "2\tdid\tdo\tAUX\tVBD\t_\t4\taux\t_\tSpaceAfter=No\n3\tn't\tnot\tPART\tRB\t_\t4\tadvmod\t_\t_\n",
           "# newpar\n# sent_id = 3\n# text = Dr. Smith paid $5.99.\n",
           "4\t$\t$\tSYM\t$\t_\t3\tobj\t_\tSpaceAfter=No\n5\t5.99\t5.99\tNUM\tCD\t_\t4\tnummod\t_\tSpaceAfter=No\n",
       })
    EXPECT_NE(out.find(piece), std::string::npos) << piece << "\n" << out;

  // The globally trained parser and the ensemble find the same trees here.
  for (const char* parser : {"global", "vote"}) {
    r = runKit({"annotate", "--quiet", "--parser", parser, temp("in.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* piece : {"2\tchildren\tchild\tNOUN\tNNS\t_\t4\tnsubj\t_\t_\n",
                              "4\tplaying\tplay\tVERB\tVBG\t_\t0\troot\t_\t_\n",
                              "5\t5.99\t5.99\tNUM\tCD\t_\t4\tnummod\t_\tSpaceAfter=No\n"})
      EXPECT_NE(r.out.find(piece), std::string::npos) << parser << ": " << piece << "\n" << r.out;
  }

  // Tags only: no tree; standard input and output.
  r = runKit({"annotate", "--quiet", "--steps", "tag", "--lines", "sentences", temp("in.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("2\tchildren\tchild\tNOUN\tNNS\t_\t_\t_\t_\t_\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("# text = The children were playing in the garden. She didn't see them!\n"),
            std::string::npos);
}

TEST(KitAnnotate, RefusesMisuseAndReportsBadInput) {
  writeFile(temp("bad.txt"), "fine\nnot \xFF utf-8\n");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;  // a piece of standard error
  } cases[] = {
      {{"annotate", "--steps", "parse", temp("bad.txt")}, 2, "--steps takes tag, tag,parse or tag,parse,roles, not 'parse'"},
      {{"annotate", "--input", "xml", temp("bad.txt")}, 2, "--input"},
      {{"annotate", "--parser", "fast", temp("bad.txt")}, 2, "--parser takes greedy, global or vote, not 'fast'"},
      {{"annotate", "--steps", "tag,parse,roles", "--models", std::string(KORVANE_SOURCE_DIR) + "/tests", temp("bad.txt")},
       1, "Error: "},
      {{"annotate", "--models", temp("nowhere"), temp("bad.txt")}, 1, "Error: "},
      {{"annotate", "--quiet", "--steps", "tag", temp("bad.txt")}, 1,
       "Error: " + temp("bad.txt") + " line 2: invalid UTF-8 at byte 5; line skipped\n"},
      {{"build-lemmatizer", temp("missing.conll"), temp("x.data")}, 1, "Error: "},
      {{"evaluate-conllu", temp("bad.txt"), temp("bad.txt")}, 1, "Error: " + temp("bad.txt") + " line 1:"},
  };
  for (const auto& c : cases) {
    const CommandOutcome r = runKit(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[1] << "\n" << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
  // What could be read was written.
  const CommandOutcome r = runKit({"annotate", "--quiet", "--steps", "tag", temp("bad.txt")});
  EXPECT_NE(r.out.find("1\tfine\tfine\t"), std::string::npos) << r.out;
}

TEST(KitAnnotate, BuildersReproduceTheShippedListsAndScorerScores) {
  if (!haveData("en_ewt-train.conll") || !haveData("en_ewt-up-dev.conllu")) GTEST_SKIP() << "no treebank data";
  const std::string train = kData + "/en_ewt-train.conll";
  ASSERT_EQ(runKit({"build-tokenizer", train, temp("tokenizer.data")}).status, 0);
  EXPECT_TRUE(readFile(temp("tokenizer.data")) == readFile(kModels + "english-tokenizer.data"));
  ASSERT_EQ(runKit({"build-lemmatizer", train, temp("lemmatizer.data")}).status, 0);
  EXPECT_TRUE(readFile(temp("lemmatizer.data")) == readFile(kModels + "english-lemmatizer.data"));

  const std::string gold = kData + "/en_ewt-up-dev.conllu";
  const CommandOutcome r = runKit({"evaluate-conllu", gold, gold});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Tokens     |    100.00 |    100.00 |    100.00 |\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("LAS        |    100.00 |    100.00 |    100.00 |    100.00\n"), std::string::npos) << r.out;
}

// The roles step with a tiny role model that finds its predicates, trained on
// the role tests' fixture, beside links to the shipped models.
TEST(KitAnnotate, RolesStepAddsSensesAndRoleColumns) {
  const std::string dir = temp("models");
  ASSERT_EQ(::system(("mkdir -p '" + dir + "'").c_str()), 0);
  for (const char* name : {"english-tokenizer.data", "english-lemmatizer.data", "english-plus.model",
                           "english-plus.manifest", "english-plus.template", "english-plus.dict", "english.dict", "english-parser.model",
                           "english-parser.manifest", "parser-rich.template", "srl.template"})
    ASSERT_EQ(::symlink((kModels + name).c_str(), (dir + "/" + name).c_str()) == 0 || errno == EEXIST, true) << name;
  roles::TrainSettings settings;
  settings.trainPath = std::string(KORVANE_SOURCE_DIR) + "/tests/roles/fixtures/roles.conllu";
  settings.templatePath = kModels + "srl.template";
  settings.driver = roles::Driver::kAllPair;
  settings.cutoff = 1;
  settings.options.max_iterations = 50;
  settings.quiet = true;
  ME_Model model;
  roles::TrainCounts counts;
  std::string error;
  ASSERT_TRUE(roles::trainRoleModel(settings, model, counts, error)) << error;
  ASSERT_TRUE(model.save_to_fileV2(dir + "/english-srl-find.model"));
  writeFile(dir + "/english-srl-find.manifest", "kind = srl\ntemplate = srl.template\ndriver = allpair\n");

  writeFile(temp("roles.txt"), "They apologized yesterday.\nThe service was slow and they apologized.\n");
  const CommandOutcome r =
      runKit({"annotate", "--quiet", "--steps", "tag,parse,roles", "--models", dir, temp("roles.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  // Every row gains the sense column; each predicate found adds a role column.
  size_t rows = 0;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    ++rows;
    EXPECT_GE(std::count(line.begin(), line.end(), '\t'), 10) << line;
  }
  EXPECT_EQ(rows, 12u) << r.out;
  EXPECT_NE(r.out.find("\tV"), std::string::npos) << r.out;
}

TEST(KitTag, Utf8TextIsTaggedThroughGbkAndCharactersGbkLacksAreReported) {
  GbkConverter gbk;
  ASSERT_TRUE(gbk.ok());
  const std::string line1 = "\xE4\xB8\xAD\xE5\x9B\xBD \xE7\xBB\x8F\xE6\xB5\x8E \xE5\x8F\x91\xE5\xB1\x95 \xE3\x80\x82";
  const std::string line3 = "\xE6\x88\x91\xE4\xBB\xAC \xE5\x8E\xBB";
  writeFile(temp("zh.txt"), line1 + "\n\xE5\xA5\xBD \xF0\x9F\x98\x80\n" + line3 + "\n");
  std::string g1, g3, fault;
  ASSERT_TRUE(gbk.toGbk(line1, g1, fault));
  ASSERT_TRUE(gbk.toGbk(line3, g3, fault));
  writeFile(temp("zh.gbk"), g1 + "\n" + g3 + "\n");
  const std::vector<std::string> model = {"--language", "chinese", "--model", kModels + "chinese.model", "--dict",
                                          kModels + "chinese.dict", "--threads"};
  for (const char* threads : {"1", "2"}) {
    std::vector<std::string> args = {"tag"};
    args.insert(args.end(), model.begin(), model.end());
    args.push_back(threads);
    std::vector<std::string> utf8 = args;
    utf8.insert(utf8.end(), {"--encoding", "utf-8", temp("zh.txt")});
    args.push_back(temp("zh.gbk"));
    const CommandOutcome viaGbk = runKit(args), viaUtf8 = runKit(utf8);
    ASSERT_EQ(viaGbk.status, 0) << viaGbk.err;
    EXPECT_EQ(viaUtf8.status, 1);
    EXPECT_NE(viaUtf8.err.find("Error: " + temp("zh.txt") +
                               " line 2: character U+1F600 at byte 5 has no GBK form; line left empty\n"),
              std::string::npos)
        << viaUtf8.err;
    const size_t cut = viaGbk.out.find('\n');
    std::string o1, o3;
    ASSERT_TRUE(gbk.fromGbk(viaGbk.out.substr(0, cut), o1, fault));
    ASSERT_TRUE(gbk.fromGbk(viaGbk.out.substr(cut + 1, viaGbk.out.size() - cut - 2), o3, fault));
    EXPECT_EQ(viaUtf8.out, o1 + "\n\n" + o3 + "\n");
    EXPECT_NE(o1.find("\xE4\xB8\xAD\xE5\x9B\xBD/"), std::string::npos);
  }
}

}  // namespace
