#include "roles/roles_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/globals.h"
#include "roles_test_util.h"
#include "test_command.h"

namespace {

using namespace roles_test;

using KitResult = CommandOutcome;

KitResult kit(std::vector<std::string> args) {
  args.insert(args.begin(), "srl");
  return runCommand(kitSrl, args);
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
      {{}, "expected DRIVER TEMPLATE MODEL INPUT OUTPUT, got 0 arguments"},
      {{"multi", t, m, "in"}, "expected DRIVER TEMPLATE MODEL INPUT OUTPUT, got 4 arguments"},
      {{"frobnicate", t, m, "in", "out"}, "unknown driver frobnicate"},
      {{"--finish", "1", "multi", t, m, "in", "out"}, "--finish applies to the nivre driver only"},
      {{"--finish=3", "nivre", t, m, "in", "out"}, "--finish takes 0, 1 or 2, not 3"},
      {{"--candidates", "some", "xueext", t, m, "in", "out"}, "--candidates takes all or nv, not some"},
      {{"--candidates=nv", "allpair", t, m, "in", "out"}, "--candidates applies to the xueext driver only"},
      {{"multi", t, m, "in", "out", "--propbank"}, "missing value after --propbank"},
      {{"--verbose", "multi", t, m, "in", "out"}, "unknown option --verbose"},
  };
  for (const Case& c : cases) {
    KitResult r = kit(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_NE(r.err.find("Error: " + c.message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Usage: korvane-kit srl"), std::string::npos);
  }
  KitResult help = kit({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: korvane-kit srl"), std::string::npos);
}

TEST(KitSrl, RunsTheChosenDriver) {
  std::string in = tempPath("kit.in"), out = tempPath("kit.out");
  writeFile(in, kInput);
  KitResult r = kit({"multi", fixture("args.tmpl"), fixture("args.model"), in, out});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(out),
            "1 the the DT DT the the DT 2 NMOD _ _  -1023 A2\n"
            "2 man man NN NN man man NN 3 SBJ _ _  -1023 _\n"
            "3 gave give VBD VBD gave give VBD 0 ROOT give _  -1023 _\n"
            "4 Mary mary NNP NNP Mary mary NNP 3 OBJ _ _  -1023 A1\n\n");

  // xueext with nouns and verbs only: the determiner is off gave's way.
  r = kit({"--candidates", "nv", "xueext", fixture("args.tmpl"), fixture("args.model"), in, out});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(out),
            "1 the the DT DT the the DT 2 NMOD _ _ __  -1 _\n"
            "2 man man NN NN man man NN 3 SBJ _ _ __  -1 _\n"
            "3 gave give VBD VBD gave give VBD 0 ROOT give _ give  -1 _\n"
            "4 Mary mary NNP NNP Mary mary NNP 3 OBJ _ _ __  3 A1\n\n");

  r = kit({"--finish=1", "nivre", fixture("nivre.tmpl"), fixture("nivre.model"), in, out});
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST(KitSrl, UnusableFilesFailWithStatusOne) {
  std::string in = tempPath("kit_fail.in"), out = tempPath("kit_fail.out");
  writeFile(in, kInput);
  std::string missing = tempPath("kit_no_such_file");
  KitResult r = kit({"class", fixture("args.tmpl"), missing, in, out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: open file " + missing), std::string::npos) << r.err;
  r = kit({"--nombank", missing, "multi", fixture("args.tmpl"), fixture("args.model"), in, out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: open file " + missing + " for reading"), std::string::npos) << r.err;
}

TEST(KitSrl, LoadsThePredicateDictionaries) {
  std::string bank = tempPath("kit.propbank");
  writeFile(bank, "give s01:0:1=x0x_R1=x1x0R_\n");
  std::string in = tempPath("kit_dict.in"), out = tempPath("kit_dict.out");
  writeFile(in, kInput);
  KitResult r = kit({"multi", "--propbank", bank, fixture("args.tmpl"), fixture("args.model"), in, out});
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(_dicProp.count("give"), 1u);
  EXPECT_EQ(_dicProp["give"].size(), 1u);
  _dicProp.clear();
}

}  // namespace
