#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "features/predicate_dictionary.h"
#include "kit_test_util.h"
#include "roles_test_util.h"

namespace {

using namespace roles_test;

using KitResult = CommandOutcome;

KitResult kit(std::vector<std::string> args) {
  args.insert(args.begin(), "srl");
  return runKit(args);
}

// The driver and the files as options, the way the command takes them.
std::vector<std::string> srl(const char* driver, const std::string& templatePath, const std::string& model,
                             std::vector<std::string> rest) {
  std::vector<std::string> args = {"--driver", driver, "-t", templatePath, "-m", model};
  args.insert(args.end(), rest.begin(), rest.end());
  return args;
}

const std::string kInput =
    "1 the the DT DT the the DT 2 NMOD _ _\n"
    "2 man man NN NN man man NN 3 SBJ _ _\n"
    "3 gave give VBD VBD gave give VBD 0 ROOT give _\n"
    "4 Mary mary NNP NNP Mary mary NNP 3 OBJ _ _\n\n";

TEST(KitSrl, MisuseGivesUsageAndStatusTwo) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::string t = fixture("args.tmpl"), m = fixture("args.model");
  const Case cases[] = {
      {{}, "missing INPUT"},
      {{"--driver", "multi", "in", "out"}, "missing --model FILE"},
      {{"-m", m, "in", "out"}, "missing --driver NAME"},
      {{"--driver", "multi", "-t", t, "in", "out"}, "missing --model FILE"},
      {{"--driver", "multi", "-m", m, "in", "out"}, "missing --template FILE"},
      {srl("frobnicate", t, m, {"in", "out"}), "--driver takes multi, xue, class, allpair, xueext or nivre, not 'frobnicate'"},
      {srl("multi", t, m, {"--finish", "1", "in", "out"}), "--finish applies to the nivre driver only"},
      {srl("nivre", t, m, {"--finish=3", "in", "out"}), "--finish takes 0, 1 or 2, not '3'"},
      {srl("xueext", t, m, {"--candidates", "some", "in", "out"}), "--candidates takes all or nv, not 'some'"},
      {srl("allpair", t, m, {"--candidates=nv", "in", "out"}), "--candidates applies to the xueext driver only"},
      {srl("multi", t, m, {"in", "out", "--propbank"}), "option --propbank needs a value"},
      {srl("multi", t, m, {"--dict", "d", "in", "out"}), "unknown option --dict"},
  };
  for (const Case& c : cases) {
    KitResult r = kit(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(r.err, kitUsageError("srl", c.message));
  }
}

TEST(KitSrl, RunsTheChosenDriver) {
  std::string in = tempPath("kit.in"), out = tempPath("kit.out");
  writeFile(in, kInput);
  KitResult r = kit(srl("multi", fixture("args.tmpl"), fixture("args.model"), {in, out}));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(out),
            "1 the the DT DT the the DT 2 NMOD _ _  -1023 A2\n"
            "2 man man NN NN man man NN 3 SBJ _ _  -1023 _\n"
            "3 gave give VBD VBD gave give VBD 0 ROOT give _  -1023 _\n"
            "4 Mary mary NNP NNP Mary mary NNP 3 OBJ _ _  -1023 A1\n\n");

  // xueext with nouns and verbs only: the determiner is off gave's way.
  r = kit(srl("xueext", fixture("args.tmpl"), fixture("args.model"), {"--candidates", "nv", in, out}));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(out),
            "1 the the DT DT the the DT 2 NMOD _ _ __  -1 _\n"
            "2 man man NN NN man man NN 3 SBJ _ _ __  -1 _\n"
            "3 gave give VBD VBD gave give VBD 0 ROOT give _ give  -1 _\n"
            "4 Mary mary NNP NNP Mary mary NNP 3 OBJ _ _ __  3 A1\n\n");

  r = kit(srl("nivre", fixture("nivre.tmpl"), fixture("nivre.model"), {"--finish=1", in, out}));
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST(KitSrl, UnusableFilesFailWithStatusOne) {
  std::string in = tempPath("kit_fail.in"), out = tempPath("kit_fail.out");
  writeFile(in, kInput);
  std::string missing = tempPath("kit_no_such_file");
  KitResult r = kit(srl("class", fixture("args.tmpl"), missing, {in, out}));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: cannot read " + missing), std::string::npos) << r.err;
  r = kit(srl("multi", fixture("args.tmpl"), fixture("args.model"), {"--nombank", missing, in, out}));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: cannot read " + missing), std::string::npos) << r.err;
}

TEST(KitSrl, LoadsThePredicateDictionaries) {
  std::string bank = tempPath("kit.propbank");
  writeFile(bank, "give s01:0:1=x0x_R1=x1x0R_\n");
  std::string in = tempPath("kit_dict.in"), out = tempPath("kit_dict.out");
  writeFile(in, kInput);
  KitResult r = kit(srl("multi", fixture("args.tmpl"), fixture("args.model"), {"--propbank", bank, in, out}));
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(_dicProp.count("give"), 1u);
  EXPECT_EQ(_dicProp["give"].size(), 1u);
  _dicProp.clear();
}

}  // namespace
