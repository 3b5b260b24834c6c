#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "features/predicate_dictionary.h"
#include "kit_test_util.h"
#include "test_files.h"

namespace {

using KitResult = CommandOutcome;

KitResult kit(std::vector<std::string> args) {
  args.insert(args.begin(), "sense");
  return runKit(args);
}

std::string tempPath(const std::string& name) { return testing::TempDir() + "sense_kit_" + name; }

const std::string kInput =
    "1 John x x x x John NNP __ 2 A0 0 _\n"
    "2 gave x x x x give VBD give 0 _ 0 _\n"
    "3 gift x x x x gift NN gift 2 A1 0 _\n"
    "\n";

TEST(KitSense, MisuseGivesUsageAndStatusTwo) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{}, "missing INPUT"},
      {{"a", "b", "c"}, "unexpected argument 'c'"},
      {{"--propbank"}, "option --propbank needs a value"},
      {{"-x", "a", "b"}, "unknown option -x"},
  };
  for (const Case& c : cases) {
    KitResult r = kit(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(r.err, kitUsageError("sense", c.message));
  }
}

TEST(KitSense, DeterminesSensesFromTheLoadedDictionaries) {
  std::string prop = tempPath("prop"), nom = tempPath("nom"), dict = tempPath("dict");
  // give shows A0 to its left and A1 to its right; gift has no arguments.
  writeFile(prop, "give s01:0=x_x1Rs02:0:1=x_x0R1\n");
  writeFile(nom, "gift s01:1=x1x_R_s03:0=x_x_R_\n");
  writeFile(dict, "a b 0.5\n");
  std::string in = tempPath("in"), out = tempPath("out");
  writeFile(in, kInput);
  KitResult r = kit({"--propbank", prop, "--nombank=" + nom, "--map", dict, in, out});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(out),
            "1 John x x x x John NNP __ 2 A0 0 _ _\n"
            "2 gave x x x x give VBD give 0 _ 0 _ 02\n"
            "3 gift x x x x gift NN gift 2 A1 0 _ 03\n"
            "\n");
  EXPECT_EQ(_dic.count("a b"), 1u);

  // Without dictionaries every predicate gets the default sense.
  r = kit({in, out});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(_dicProp.empty() && _dicNom.empty() && _dic.empty());
  EXPECT_NE(readFile(out).find("gift NN gift 2 A1 0 _ 01\n"), std::string::npos);
}

TEST(KitSense, UnusableFilesFailWithStatusOne) {
  std::string missing = tempPath("no_such_file");
  std::remove(missing.c_str());
  std::string in = tempPath("in2"), out = tempPath("out2");
  writeFile(in, kInput);
  KitResult r = kit({missing, out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: cannot read " + missing), std::string::npos) << r.err;
  r = kit({"--nombank", missing, in, out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: cannot read " + missing), std::string::npos) << r.err;
}

}  // namespace
