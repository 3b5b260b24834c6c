#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "kit_test_util.h"
#include "test_files.h"

namespace {

std::string tempPath(const std::string& name) { return testing::TempDir() + "labels_kit_" + name; }

TEST(KitBuildDict, WritesTheDictionary) {
  const std::string train = tempPath("kit.crf"), dict = tempPath("kit.dict");
  writeFile(train, "1 a X\n2 b Y\n");
  CommandOutcome r = runKit({"build-dict", train, dict});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(dict), "1 X\n2 Y\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"build-dict", "--column", "2", train, dict},
        std::vector<std::string>{"build-dict", train, dict, "--column=2"}}) {
    r = runKit(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dict), "a X\nb Y\n");
  }
}

TEST(KitBuildDict, MisuseAndFailure) {
  const std::string train = tempPath("kit2.crf"), dict = tempPath("kit2.dict");
  writeFile(train, "a X\n");
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } misuse[] = {
      {{"build-dict", train}, "missing DICT"},
      {{"build-dict", train, dict, "extra"}, "unexpected argument 'extra'"},
      {{"build-dict", train, dict, "--column", "0"}, "--column takes a whole number from 1 to 2147483647, not '0'"},
  };
  for (const Case& c : misuse) {
    const CommandOutcome r = runKit(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, kitUsageError("build-dict", c.message));
  }
  const std::string missing = tempPath("kit_missing.crf");
  std::remove(missing.c_str());
  const CommandOutcome r = runKit({"build-dict", missing, dict});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: cannot read " + missing + ": No such file or directory.\n");
}

TEST(KitBuildLegal, WritesAndFails) {
  const std::string train = tempPath("kit3.crf"), out = tempPath("kit3.legal");
  writeFile(train, "a X\nb Y\n");
  CommandOutcome r = runKit({"build-legal", train, out});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readFile(out), "S: X\nE: Y\nT: X Y\n");

  const std::string unwritable = tempPath("no_such_dir/x.legal");
  r = runKit({"build-legal", train, unwritable});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: cannot write " + unwritable + ": the folder " + tempPath("no_such_dir") +
                       " does not exist.\n");
}

}  // namespace
