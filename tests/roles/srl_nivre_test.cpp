#include "roles/srl_nivre.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "roles_test_util.h"

namespace {

using namespace roles_test;

std::string arcsText(const std::vector<_dppair>& arcs) {
  std::string text;
  for (const _dppair& a : arcs) text += std::to_string(a.head) + ":" + a.dprel + " ";
  return text;
}

TEST(ClassDPNivreSRL, AppliesEachActionOrRefusesWithoutChange) {
  struct Case {
    const char* action;
    std::vector<int> stack;
    int next;
    int result;
    std::vector<int> stackAfter;
    int nextAfter;
    const char* arcsAfter;  // heads and roles of the four rows
  };
  const char* untouched = "-1024:_ -1024:_ -1024:_ -1024:_ ";
  const Case cases[] = {
      {"0", {}, 0, 1, {0}, 1, untouched},
      {"1", {0, 2}, 3, 1, {0}, 3, untouched},
      {"2:A0", {0}, 1, 0, {}, 1, "1:A0 -1024:_ -1024:_ -1024:_ "},
      {"3:A1", {1}, 2, 2, {1, 2}, 3, "-1024:_ -1024:_ 1:A1 -1024:_ "},
      {"4:A1", {1}, 2, 1, {1}, 3, "-1024:_ -1024:_ -2:_ -1024:_ "},
      {"5", {}, 1, 1, {1}, 2, "-1024:_ -1:ROOT -1024:_ -1024:_ "},
      {"6:AM", {0}, 1, 2, {0, 1}, 2, "-1024:_ -1:AM -1024:_ -1024:_ "},
      {"7:AM", {0, 1}, 2, 1, {0}, 2, "-1024:_ -1:AM -1024:_ -1024:_ "},
      {"3:", {1}, 2, 2, {1, 2}, 3, "-1024:_ -1024:_ 1:_ -1024:_ "},
      // Labels naming no action change nothing.
      {"9", {0}, 1, 1, {0}, 1, untouched},
      {"", {0}, 1, 1, {0}, 1, untouched},
      // Actions whose state is missing change nothing either.
      {"1", {}, 1, -1, {}, 1, untouched},
      {"2:A0", {}, 1, -1, {}, 1, untouched},
      {"3:A1", {}, 1, -1, {}, 1, untouched},
      {"7:AM", {}, 1, -1, {}, 1, untouched},
      {"4", {0}, 4, -1, {0}, 4, untouched},
      {"2:A0", {7}, 1, -1, {7}, 1, untouched},
  };
  for (const Case& c : cases) {
    std::vector<_dppair> arcs(4);
    for (_dppair& a : arcs) a.head = -1024;
    std::vector<int> stack = c.stack;
    int next = c.next;
    EXPECT_EQ(classDPNivreSRL(c.action, arcs, stack, next), c.result) << c.action;
    EXPECT_EQ(stack, c.stackAfter) << c.action;
    EXPECT_EQ(next, c.nextAfter) << c.action;
    EXPECT_EQ(arcsText(arcs), c.arcsAfter) << c.action;
  }
}

const std::string kN =
    "1 John john NNP NNP John john NNP 2 SBJ _ _\n"
    "2 gave give VBD VBD gave give VBD 0 ROOT give _\n"
    "3 Mary mary NNP NNP Mary mary NNP 2 OBJ _ _\n"
    "4 books book NNS NNS books book NNS 2 OBJ _ _\n";

std::string withPairs(const std::vector<std::string>& pairs) {
  const char* rows[] = {
      "1 John john NNP NNP John john NNP 2 SBJ _ _",
      "2 gave give VBD VBD gave give VBD 0 ROOT give _",
      "3 Mary mary NNP NNP Mary mary NNP 2 OBJ _ _",
      "4 books book NNS NNS books book NNS 2 OBJ _ _",
  };
  std::string text;
  for (size_t i = 0; i < pairs.size(); ++i) text += std::string(rows[i]) + pairs[i] + "\n";
  return text + "\n";
}

Driver nivre(int finishMode) {
  return [finishMode](char* t, char* m, char* i, char* o) { return ME_TestSRLMultiNivre(t, m, i, o, finishMode); };
}

std::string runInlineModel(const std::string& name, const std::string& model, int finishMode,
                           const std::string& input) {
  std::string modelPath = tempPath(name + ".model");
  writeFile(modelPath, model);
  return runDriver(nivre(finishMode), fixture("nivre.tmpl"), modelPath, name, input);
}

TEST(SrlNivre, FinishModesDecideTheRowsNoActionReached) {
  // books is the one row left: mode 0 gives it no role, mode 1 makes it the
  // root, mode 2 keeps labelling until the input ends and leaves it unset.
  const std::string input = kN + "\n";
  EXPECT_EQ(runDriver(nivre(0), fixture("nivre.tmpl"), fixture("nivre.model"), "nivre0", input),
            withPairs({"  2 A0", "  0 ROOT", "  2 A1", "  -1 _"}));
  EXPECT_EQ(runDriver(nivre(1), fixture("nivre.tmpl"), fixture("nivre.model"), "nivre1", input),
            withPairs({"  2 A0", "  0 ROOT", "  2 A1", "  0 ROOT"}));
  EXPECT_EQ(runDriver(nivre(2), fixture("nivre.tmpl"), fixture("nivre.model"), "nivre2", input),
            withPairs({"  2 A0", "  0 ROOT", "  2 A1", "  -1023 _"}));
}

TEST(SrlNivre, StackActionOnEmptyStackIsReplacedByTheBestApplicableLabel) {
  // On the empty stack the model prefers 2:A0, then 1, then 7:AM; none can
  // apply, so the shift follows and Bob then attaches to ran.
  const std::string model =
      "\nU01\n__order__ 0 0.0 2:A0 0.0 7:AM 0.0 1 0.0\nBob 2:A0 5.0\n"
      "\nU02\nBob 2:A0 5.0 7:AM 3.0 1 4.0";
  EXPECT_EQ(runInlineModel("replace", model, 0,
                           "1 Bob bob NNP NNP Bob bob NNP 2 SBJ _ _\n2 ran run VBD VBD ran run VBD 0 ROOT run _\n\n"),
            "1 Bob bob NNP NNP Bob bob NNP 2 SBJ _ _  2 A0\n2 ran run VBD VBD ran run VBD 0 ROOT run _  -1 _\n\n");
}

TEST(SrlNivre, LabelNamingNoActionIsReplacedSoTheRunEnds) {
  // The model always prefers "9", which changes nothing; the shifts run the
  // input out.
  const std::string model = "\nU01\n__order__ 9 0.0 0 0.0";
  EXPECT_EQ(runInlineModel("noop0", model, 0, kN + "\n"), withPairs({"  -1 _", "  -1 _", "  -1 _", "  -1 _"}));
  EXPECT_EQ(runInlineModel("noop2", model, 2, kN + "\n"),
            withPairs({"  -1023 _", "  -1023 _", "  -1023 _", "  -1023 _"}));
}

TEST(SrlNivre, NoApplicableLabelEndsThePredicate) {
  // Every label needs a stack top or names no action, and the stack starts empty.
  const std::string model = "\nU01\n__order__ 2:A0 0.0 1 0.0 3:A1 0.0 x 0.0";
  EXPECT_EQ(runInlineModel("dead", model, 0, kN + "\n"), withPairs({"  -1 _", "  -1 _", "  -1 _", "  -1 _"}));
}

TEST(SrlNivre, OneRowSentenceKeepsItsRowAndGetsFinished) {
  const std::string input = "1 Go go VB VB Go go VB 0 ROOT go _\n\n";
  const std::string row = "1 Go go VB VB Go go VB 0 ROOT go _";
  EXPECT_EQ(runDriver(nivre(0), fixture("nivre.tmpl"), fixture("nivre.model"), "one0", input), row + "  -1 _\n\n");
  EXPECT_EQ(runDriver(nivre(1), fixture("nivre.tmpl"), fixture("nivre.model"), "one1", input), row + "  0 ROOT\n\n");
  EXPECT_EQ(runDriver(nivre(2), fixture("nivre.tmpl"), fixture("nivre.model"), "one2", input),
            row + "  -1023 _\n\n");
}

TEST(SrlNivre, SeveralPredicatesAndSentencesWithoutPredicates) {
  // books as a second predicate: the same actions apply, so the same list.
  std::string two = kN;
  two.replace(two.rfind("_ _\n"), 4, "book _\n");
  std::string none = "1 a a DT DT a a DT 0 ROOT _ _\n2 b b NN NN b b NN 1 X _ _\n";
  std::string out = runDriver(nivre(0), fixture("nivre.tmpl"), fixture("nivre.model"), "several",
                              two + "\n" + none);
  EXPECT_EQ(out,
            "1 John john NNP NNP John john NNP 2 SBJ _ _  2 A0  2 A0\n"
            "2 gave give VBD VBD gave give VBD 0 ROOT give _  0 ROOT  0 ROOT\n"
            "3 Mary mary NNP NNP Mary mary NNP 2 OBJ _ _  2 A1  2 A1\n"
            "4 books book NNS NNS books book NNS 2 OBJ book _  -1 _  -1 _\n\n"
            "1 a a DT DT a a DT 0 ROOT _ _\n2 b b NN NN b b NN 1 X _ _\n\n");
}

TEST(SrlNivre, MissingInputFails) {
  std::string t = fixture("nivre.tmpl"), m = fixture("nivre.model");
  std::string in = tempPath("nivre_missing.in"), out = tempPath("nivre_missing.out");
  std::remove(in.c_str());
  testing::internal::CaptureStderr();
  EXPECT_EQ(ME_TestSRLMultiNivre(&t[0], &m[0], &in[0], &out[0], 0), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Error: open file " + in), std::string::npos);
}

}  // namespace
