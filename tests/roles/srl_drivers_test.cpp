#include "roles/srl_drivers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parsing/parsing_drivers.h"
#include "roles/srl_run.h"
#include "roles_test_util.h"
#include "templates/template_reader.h"

namespace {

using namespace roles_test;

// "John gave Mary old books": predicates gave (row 1) and books (row 4); the
// last four columns are the input's own role pairs.
const std::string kA[] = {
    "1 John john NNP NNP John john NNP 2 SBJ _ _ 2 A0 5 A0",
    "2 gave give VBD VBD gave give VBD 0 ROOT give give.01 0 _ 0 _",
    "3 Mary mary NNP NNP Mary mary NNP 2 OBJ _ _ 2 A1 0 _",
    "4 old old JJ JJ old old JJ 5 NMOD _ _ 0 _ 5 A2",
    "5 books book NNS NNS books book NNS 2 OBJ book book.01 2 A2 0 _",
};
// "the man gave Mary books", no predicate marked.
const std::string kB[] = {
    "1 the the DT DT the the DT 2 NMOD _ _",
    "2 man man NN NN man man NN 3 SBJ _ _",
    "3 gave give VBD VBD gave give VBD 0 ROOT _ _",
    "4 Mary mary NNP NNP Mary mary NNP 3 OBJ _ _",
    "5 books book NNS NNS books book NNS 3 OBJ _ _",
};

std::string sentence(const std::string (&rows)[5]) {
  std::string text;
  for (const std::string& r : rows) text += r + "\n";
  return text + "\n";
}

// The rows of `rows` each followed by its suffix, then the sentence's empty line.
std::string expected(const std::string (&rows)[5], const std::vector<std::string>& suffixes) {
  std::string text;
  for (size_t i = 0; i < suffixes.size(); ++i) text += rows[i] + suffixes[i] + "\n";
  return text + "\n";
}

std::string run(const Driver& driver, const std::string& name, const std::string& input) {
  return runDriver(driver, fixture("args.tmpl"), fixture("args.model"), name, input);
}

const Driver kMulti = [](char* t, char* m, char* i, char* o) { return ME_TestSRLMulti(t, m, i, o, 0); };
const Driver kXue = [](char* t, char* m, char* i, char* o) { return ME_TestSRLMultiXue(t, m, i, o, 0); };
const Driver kClass = [](char* t, char* m, char* i, char* o) { return ME_TestSRLMultiClass(t, m, i, o, 0); };
const Driver kAllPair = [](char* t, char* m, char* i, char* o) { return ME_TestSRLMultiAllPair(t, m, i, o); };
Driver xueExt(int mode) {
  return [mode](char* t, char* m, char* i, char* o) { return ME_TestSRLMultiXueExt(t, m, i, o, mode); };
}

TEST(SrlMulti, AsksEveryTokenForEveryPredicateAndLeavesHeadsUnset) {
  std::string out = run(kMulti, "multi", sentence(kA) + sentence(kB));
  EXPECT_EQ(out, expected(kA, {"  -1023 A0  -1023 A0", "  -1023 _  -1023 _", "  -1023 A1  -1023 _",
                               "  -1023 A2  -1023 A2", "  -1023 A2  -1023 _"}) +
                     // No predicate marked: the input columns only.
                     expected(kB, {"", "", "", "", ""}));
  EXPECT_FALSE(_trainFlag);
}

TEST(SrlXue, AsksOnlyAlongTheHeadChainAndItsDependents) {
  // For gave, old (a dependent of books) is never asked about; for books the
  // walk goes up through gave.
  EXPECT_EQ(run(kXue, "xue", sentence(kA)),
            expected(kA, {"  -1023 A0  -1023 A0", "  -1023 _  -1023 _", "  -1023 A1  -1023 _",
                          "  -1023 _  -1023 A2", "  -1023 A2  -1023 _"}));
}

TEST(SrlXue, HeadCycleAndHeadOutsideTheSentenceEndTheWalk) {
  // gave and John head each other; old's head 99 lies outside the sentence.
  const std::string input =
      "1 gave give VBD VBD gave give VBD 2 X give _\n"
      "2 John john NNP NNP John john NNP 1 X _ _\n"
      "3 old old JJ JJ old old JJ 99 X _ _\n\n";
  EXPECT_EQ(run(kXue, "xue_cycle", input),
            "1 gave give VBD VBD gave give VBD 2 X give _  -1023 _\n"
            "2 John john NNP NNP John john NNP 1 X _ _  -1023 A0\n"
            "3 old old JJ JJ old old JJ 99 X _ _  -1023 _\n\n");
  EXPECT_EQ(run(xueExt(0), "xueext_cycle", input),
            "1 gave give VBD VBD gave give VBD 2 X give _ give  -1 _  -1 _  -1 _\n"
            "2 John john NNP NNP John john NNP 1 X _ _ john  1 A0  2 A0  -1 _\n"
            "3 old old JJ JJ old old JJ 99 X _ _ old  -1 _  -1 _  3 A2\n\n");
}

TEST(SrlClass, LabelsOnlyTheMarkedArgumentsWithWholeLabels) {
  EXPECT_EQ(run(kClass, "class", sentence(kA)),
            expected(kA, {"  -1023 1:A0  -1023 1:A0", "  -1023 _  -1023 _", "  -1023 1:A1  -1023 _",
                          "  -1023 _  -1023 1:A2", "  -1023 1:A2  -1023 _"}));
}

TEST(SrlClass, ShortRowsReadMissingRoleCellsAsNone) {
  // Row 0 is wide enough for one pair (columns 11-12); row 1 stops early.
  const std::string input =
      "1 John john NNP NNP John john NNP 2 SBJ _ 2 A0\n"
      "2 gave give VBD VBD gave give VBD 0 ROOT give\n"
      "3 old\n\n";
  std::string in = tempPath("class_short.in"), out = tempPath("class_short.out");
  writeFile(in, input);
  std::string t = fixture("args.tmpl"), m = fixture("args.model");
  testing::internal::CaptureStderr();
  EXPECT_EQ(ME_TestSRLMultiClass(&t[0], &m[0], &in[0], &out[0], 0), 1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(readFile(out),
            "1 John john NNP NNP John john NNP 2 SBJ _ 2 A0  -1023 1:A0\n"
            "2 gave give VBD VBD gave give VBD 0 ROOT give  -1023 _\n"
            "3 old  -1023 _\n\n");
  EXPECT_NE(err.find("Warning: " + in + " line 2: 11 columns, 13 expected"), std::string::npos) << err;
}

TEST(SrlAllPair, OnlyRowsThatReceiveArgumentsBecomePredicates) {
  // In A, gave and books (nouns and verbs) find arguments; John, Mary and old
  // are no candidates. In B only gave (row 2) finds arguments.
  EXPECT_EQ(run(kAllPair, "allpair", sentence(kA) + sentence(kB)),
            expected(kA, {" __  2 A0  5 A0", " give  -1 _  -1 _", " __  2 A1  -1 _", " __  2 A2  5 A2",
                          " book  2 A2  -1 _"}) +
                expected(kB, {" __  3 A2", " __  -1 _", " give  -1 _", " __  3 A1", " __  3 A2"}));
}

TEST(SrlXueExt, AsksAlongTheWayUpAndHonoursTheCandidateMode) {
  // The determiner hangs below man and is not on gave's way; with every row a
  // candidate, Mary finds man (a dependent of her head gave) as A0.
  EXPECT_EQ(run(xueExt(1), "xueext_nv", sentence(kB)),
            expected(kB, {" __  -1 _", " __  -1 _", " give  -1 _", " __  3 A1", " __  3 A2"}));
  EXPECT_EQ(run(xueExt(0), "xueext_all", sentence(kB)),
            expected(kB, {" __  -1 _  -1 _", " __  -1 _  4 A0", " give  -1 _  -1 _", " mary  3 A1  -1 _",
                          " __  3 A2  -1 _"}));
}

TEST(SrlDrivers, OneRowSentenceKeepsItsRowWithANoArgumentPair) {
  const std::string input = "1 Go go VB VB Go go VB 0 ROOT go _\n\n";
  const std::string noPredicate = "1 Go go VB VB Go go VB 0 ROOT _ _\n\n";
  EXPECT_EQ(run(kMulti, "one_multi", input), "1 Go go VB VB Go go VB 0 ROOT go _  -1023 _\n\n");
  EXPECT_EQ(run(kXue, "one_xue", input), "1 Go go VB VB Go go VB 0 ROOT go _  -1023 _\n\n");
  EXPECT_EQ(run(kMulti, "one_multi_none", noPredicate), "1 Go go VB VB Go go VB 0 ROOT _ _\n\n");
  EXPECT_EQ(run(kAllPair, "one_allpair", input), "1 Go go VB VB Go go VB 0 ROOT go _ __\n\n");
  EXPECT_EQ(run(xueExt(0), "one_xueext", input), "1 Go go VB VB Go go VB 0 ROOT go _ __\n\n");
}

TEST(SrlDrivers, LastSentenceWithoutClosingEmptyLineIsLabelled) {
  std::string input = sentence(kB);
  input += "1 Go go VB VB Go go VB 0 ROOT go _\n2 John john NNP NNP John john NNP 1 SBJ _ _";
  std::string out = run(kMulti, "tail", input);
  EXPECT_EQ(out, expected(kB, {"", "", "", "", ""}) +
                     "1 Go go VB VB Go go VB 0 ROOT go _  -1023 _\n"
                     "2 John john NNP NNP John john NNP 1 SBJ _ _  -1023 A0\n\n");
}

TEST(SrlDrivers, LineOfOnlyBlanksAndTabsEndsASentence) {
  const std::string row = "1 Go go VB VB Go go VB 0 ROOT go _";
  EXPECT_EQ(run(kMulti, "blankline", row + "\n \t \n" + row + "\n\n"),
            row + "  -1023 _\n\n" + row + "  -1023 _\n\n");
}

// A model label of fewer than three characters names no role: the pair gets
// "_" rather than an empty cell, which would shift the output's columns.
TEST(SrlDrivers, LabelsTooShortToNameARoleGiveNoRole) {
  for (const std::string label : {"1:", "5"}) {
    const std::string model = tempPath("short_label.model");
    writeFile(model, "\nU01\n__order__ 0 0.000000 " + label + " 0.000000\nJohn " + label + " 2.000000\n");
    EXPECT_EQ(runDriver(kMulti, fixture("args.tmpl"), model, "short_label",
                        "1 Go go VB VB Go go VB 0 ROOT go _\n2 John john NNP NNP John john NNP 1 SBJ _ _\n\n"),
              "1 Go go VB VB Go go VB 0 ROOT go _  -1023 _\n2 John john NNP NNP John john NNP 1 SBJ _ _  -1023 _\n\n")
        << label;
  }
}

TEST(SrlDrivers, ShortRowsAreLabelledWithAWarning) {
  const std::string input = "1 John\n2 gave give VBD VBD gave give VBD 0 ROOT give\n3 x y\n\n";
  std::string in = tempPath("short.in"), out = tempPath("short.out");
  writeFile(in, input);
  std::string t = fixture("args.tmpl"), m = fixture("args.model");
  for (int mode = 0; mode < 2; ++mode) {
    testing::internal::CaptureStderr();
    const int result = mode == 0 ? ME_TestSRLMulti(&t[0], &m[0], &in[0], &out[0], 0)
                                 : ME_TestSRLMultiAllPair(&t[0], &m[0], &in[0], &out[0]);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 1);
    EXPECT_NE(err.find("Warning: " + in + " line 1: 2 columns, 11 expected"), std::string::npos) << err;
    if (mode == 0)
      EXPECT_EQ(readFile(out),
                "1 John  -1023 A0\n2 gave give VBD VBD gave give VBD 0 ROOT give  -1023 _\n3 x y  -1023 _\n\n");
    else
      EXPECT_EQ(readFile(out),
                "1 John __  2 A0\n2 gave give VBD VBD gave give VBD 0 ROOT give give  -1 _\n3 x y __  -1 _\n\n");
  }
}

TEST(SrlDrivers, LongLinesAreKeptWhole) {
  std::string word(300000, 'z');
  std::string input = "1 " + word + " a a a a a NN 0 ROOT _ _\n2 John john NNP NNP John john NNP 1 SBJ b _\n\n";
  EXPECT_EQ(run(kMulti, "long", input), "1 " + word +
                                            " a a a a a NN 0 ROOT _ _  -1023 _\n"
                                            "2 John john NNP NNP John john NNP 1 SBJ b _  -1023 A0\n\n");
}

TEST(SrlDrivers, ProgressLineAtEverySixThousandthLine) {
  // 3000 one-row sentences: the empty line closing the last one is line 6000.
  std::string input;
  for (int i = 0; i < 3000; ++i) input += "1 x x x x x x NN 0 ROOT _ _\n\n";
  std::string in = tempPath("progress.in"), out = tempPath("progress.out");
  writeFile(in, input);
  std::string t = fixture("args.tmpl"), m = fixture("args.model");
  testing::internal::CaptureStderr();
  EXPECT_EQ(ME_TestSRLMulti(&t[0], &m[0], &in[0], &out[0], 0), 1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("#line=6000,#seq=3000\r#line=6000\r"), std::string::npos) << err.substr(0, 200);
}

TEST(SrlDrivers, UnusableFilesFailWithAnError) {
  std::string t = fixture("args.tmpl"), m = fixture("args.model");
  std::string in = tempPath("errors.in"), out = tempPath("errors.out");
  writeFile(in, sentence(kA));
  std::string missing = tempPath("no_such_file");
  std::string badOut = tempPath("no_dir/out");
  std::string emptyModel = tempPath("empty.model");
  writeFile(emptyModel, "");
  std::string dupTemplates = tempPath("dup.tmpl");
  writeFile(dupTemplates, "U01:%x[0,0]\nU01:%x[1,0]\n");
  struct Case {
    std::string tmpl, model, input, output, message;
  };
  const Case cases[] = {
      {missing, m, in, out, "Error: open file " + missing},
      {t, missing, in, out, "Error: open file " + missing},
      {t, m, missing, out, "Error: open file " + missing},
      {t, m, in, badOut, "Error: open file " + badOut + " for writing"},
      {t, emptyModel, in, out, "Error: model file " + emptyModel + " holds no labels"},
      {dupTemplates, m, in, out, "Error: template file " + dupTemplates + " names two templates alike"},
  };
  for (const Case& c : cases) {
    Case k = c;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ME_TestSRLMulti(&k.tmpl[0], &k.model[0], &k.input[0], &k.output[0], 0), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
  }
}

TEST(AddFullFeatures, BuildsUFeaturesInTemplateOrder) {
  std::vector<_ftnind> templates;
  std::vector<int> order;
  int labelOrder = 0;
  std::string path = fixture("args.tmpl");
  testing::internal::CaptureStderr();
  ASSERT_EQ(readTemplateFile3(&path[0], templates, order, labelOrder), 3);
  testing::internal::GetCapturedStderr();
  TokenTable rows = {{"1", "John", "b"}, {"2", "gave", "d"}};
  std::vector<int> stack = {0};
  int position = 1;
  std::vector<_dppair> arcs(2), extraArcs(2);
  std::vector<std::vector<_dppair>> lists;
  std::vector<int> predicates = {1};
  ME_Sample sample;
  sample.feature_strs = {"stale"};
  ME_Model model;
  std::string text;
  const bool saved = _trainFlag;
  _trainFlag = false;
  EXPECT_EQ(AddFullFeatures(text, sample, model, templates, order, rows, stack, position, arcs, lists, predicates,
                            extraArcs),
            1);
  EXPECT_EQ(sample.feature_strs, (std::vector<std::string>{"U01:John", "U03:John/gave"}));

  // While training, a column that reaches the last column of row 0 is refused.
  TokenTable narrow = {{"1", "John"}, {"2", "gave"}};
  _trainFlag = true;
  testing::internal::CaptureStderr();
  EXPECT_EQ(AddFullFeatures(text, sample, model, templates, order, narrow, stack, position, arcs, lists, predicates,
                            extraArcs),
            -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: x pointer in template file is longer than column number of crf file.\n");
  EXPECT_EQ(AddFullFeatures(text, sample, model, templates, order, rows, stack, position, arcs, lists, predicates,
                            extraArcs),
            1);
  _trainFlag = saved;
}

TEST(RoleOfLabel, DropsTheTwoLeadingCharacters) {
  EXPECT_EQ(roleOfLabel("1:A0"), "A0");
  EXPECT_EQ(roleOfLabel("3:AM-TMP"), "AM-TMP");
  EXPECT_EQ(roleOfLabel("1:"), "_");
  EXPECT_EQ(roleOfLabel("5"), "_");
}

}  // namespace
