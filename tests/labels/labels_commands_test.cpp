#include "labels/labels_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"

namespace {

struct KitRun {
  int status;
  std::string err;
};

KitRun run(int (*command)(int, char**), std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  testing::internal::CaptureStderr();
  const int status = command(static_cast<int>(argv.size()), argv.data());
  return {status, testing::internal::GetCapturedStderr()};
}

TEST(KitBuildDict, WritesTheDictionary) {
  std::string train = writeTemp("kit.crf", "1 a X\n2 b Y\n");
  std::string dict = tempPath("kit.dict");
  KitRun r = run(kitBuildDict, {"build-dict", train, dict});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readAll(dict), "1 X\n2 Y\n");
  r = run(kitBuildDict, {"build-dict", "--column", "2", train, dict});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readAll(dict), "a X\nb Y\n");
  r = run(kitBuildDict, {"build-dict", train, dict, "--column=2"});
  EXPECT_EQ(r.status, 0);
}

TEST(KitBuildDict, MisuseAndFailure) {
  std::string train = writeTemp("kit2.crf", "a X\n");
  std::string dict = tempPath("kit2.dict");
  const std::vector<std::vector<std::string>> misuse = {
      {"build-dict"},
      {"build-dict", train},
      {"build-dict", train, dict, "extra"},
      {"build-dict", train, dict, "--column"},
      {"build-dict", train, dict, "--column", "0"},
      {"build-dict", train, dict, "--column", "2x"},
      {"build-dict", train, dict, "--bogus"},
  };
  for (const auto& args : misuse) {
    KitRun r = run(kitBuildDict, args);
    EXPECT_EQ(r.status, 2) << args.size();
    EXPECT_NE(r.err.find("Usage: korvane-kit build-dict TRAIN DICT [--column N]"), std::string::npos);
    EXPECT_NE(r.err.find("(default 1)"), std::string::npos);
  }
  std::string missing = tempPath("kit_missing.crf");
  std::remove(missing.c_str());
  KitRun r = run(kitBuildDict, {"build-dict", missing, dict});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: open file " + missing + ".\n");
}

TEST(KitBuildLegal, WritesAndReportsMisuseAndFailure) {
  std::string train = writeTemp("kit3.crf", "a X\nb Y\n");
  std::string out = tempPath("kit3.legal");
  KitRun r = run(kitBuildLegal, {"build-legal", train, out});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readAll(out), "S: X\nE: Y\nT: X Y\n");

  r = run(kitBuildLegal, {"build-legal", train});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Usage: korvane-kit build-legal TRAIN OUT"), std::string::npos);

  std::string unwritable = tempPath("no_such_dir/x.legal");
  r = run(kitBuildLegal, {"build-legal", train, unwritable});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: cannot create " + unwritable + ".\n");
}

}  // namespace
