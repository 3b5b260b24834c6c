// Runs the real korvane executable on the hand-written fixtures (see
// fixtures/README.md for why each expected tag is what the model implies).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "options/param.h"

namespace {

namespace fs = std::filesystem;

const std::string kBinary = std::string(KORVANE_BINARY_DIR) + "/src/app/korvane";
const std::string kFixtures = std::string(KORVANE_SOURCE_DIR) + "/tests/app/fixtures/";

// GBK words of the Chinese fixture.
const std::string WO = "\xce\xd2", AI = "\xb0\xae", BEIJING = "\xb1\xb1\xbe\xa9", COMMA = "\xa3\xac",
                  HUI = "\xbb\xe1", TIANANMEN = "\xcc\xec\xb0\xb2\xc3\xc5", STOP = "\xa1\xa3";

const std::string kEnglishTagged =
    "The/DT cat/NN sat/VB run/NN run/VB The/DT run/NN dog/NN run/VB Rex/NN sat/VB ";

const std::string kChineseTagged = WO + "/PN " + AI + "/VV " + BEIJING + "/NR " + COMMA + "/PU " +  // line 1, cut
                                   HUI + "/VV " + AI + "/VV " + TIANANMEN + "/NR " + STOP + "/PU " +  // after ，
                                   WO + "/PN " + HUI + "/VV " +                                       // line 2
                                   HUI + "/VV " + COMMA + "/PU " + HUI + "/VV ";                      // line 4

const std::string kTiming = "\n[0-9]+ms [0-9]+s\n\n";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

struct RunResult {
  int status = -1;
  std::string out, err;
};

class KorvaneE2E : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kBinary)) << kBinary;
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(testing::TempDir()) / (std::string("korvane_e2e_") + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void copyFixtures(const std::vector<std::string>& names) {
    for (const auto& n : names) fs::copy_file(kFixtures + n, dir_ / n);
  }
  void copyAll() {
    copyFixtures({"english.model", "english.dict", "english.txt", "chinese.model", "chinese.dict", "chinese.txt"});
  }

  // Runs korvane with args in the working directory.
  RunResult run(const std::vector<std::string>& args) {
    std::string cmd = "cd " + quote(dir_.string()) + " && " + quote(kBinary);
    for (const auto& a : args) cmd += " " + quote(a);
    cmd += " >" + quote((dir_ / ".stdout").string()) + " 2>" + quote((dir_ / ".stderr").string());
    RunResult r;
    const int raw = std::system(cmd.c_str());
    if (raw != -1 && WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
    r.out = readFile(dir_ / ".stdout");
    r.err = readFile(dir_ / ".stderr");
    fs::remove(dir_ / ".stdout");
    fs::remove(dir_ / ".stderr");
    return r;
  }

  fs::path dir_;
};

std::string banner() { return std::string(CRFPP::programBanner()) + "\n"; }

TEST_F(KorvaneE2E, TagsEnglish) {
  copyAll();
  RunResult r = run({"-l", "English", "-o", "out.txt", "english.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(dir_ / "out.txt"), kEnglishTagged);
  EXPECT_EQ(r.out, banner());
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("Language: english\nLoading model done\\.\n#TagNum=3\n#line=7\r" + kTiming)))
      << r.err;
}

TEST_F(KorvaneE2E, TagsChineseByDefaultIntoAFileNamedNULL) {
  copyAll();
  RunResult r = run({"chinese.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(dir_ / "NULL"), kChineseTagged);
  EXPECT_EQ(r.out, banner());
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("Language: chinese\nLoading model done\\.\n#TagNum=5\n#line=4\r" + kTiming)))
      << r.err;
}

TEST_F(KorvaneE2E, LanguageValueIsCaseInsensitive) {
  copyAll();
  const std::vector<std::vector<std::string>> cases = {
      {"-l", "ENGLISH", "english.txt"}, {"--language=English", "english.txt"}, {"-lenglish", "english.txt"},
      {"english.txt", "--language", "eNgLiSh", "ignored.txt"}};
  for (const auto& args : cases) {
    RunResult r = run(args);
    EXPECT_EQ(r.status, 0) << args[0];
    EXPECT_EQ(r.err.rfind("Language: english\n", 0), 0u) << r.err;
    EXPECT_EQ(readFile(dir_ / "NULL"), kEnglishTagged) << args[0];
  }
  RunResult r = run({"-l", "CHINESE", "chinese.txt"});
  EXPECT_EQ(r.err.rfind("Language: chinese\n", 0), 0u) << r.err;
  EXPECT_EQ(readFile(dir_ / "NULL"), kChineseTagged);
}

TEST_F(KorvaneE2E, HelpText) {
  const std::string help = std::string(CRFPP::programBanner()) + "\nUsage: " + kBinary +
                           " [options] files\n"
                           " -h, --help             show this help and exit\n"
                           " -l, --language=MODEL   Choose the language for PoS tagging\n"
                           " -o, --outputfile=FILE  output file for decoding\n"
                           "\n";
  for (const auto& args : std::vector<std::vector<std::string>>{{"-h"}, {"--help"}, {}, {"-o", "x"}}) {
    RunResult r = run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, help);
    EXPECT_EQ(r.err, "");
  }
  EXPECT_FALSE(fs::exists(dir_ / "x"));
}

TEST_F(KorvaneE2E, UnknownLanguageExits255WithoutBanner) {
  copyAll();
  RunResult r = run({"-l", "Klingon", "english.txt"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error: unknown language klingon\n");
  EXPECT_FALSE(fs::exists(dir_ / "NULL"));
}

TEST_F(KorvaneE2E, FailedRunsExitWithOne) {
  copyFixtures({"english.model", "english.txt"});  // no dictionary
  struct Case {
    std::vector<std::string> args;
    std::string errPattern;  // the part between the language line and the timing line
  };
  const Case cases[] = {
      {{"-l", "english", "nope.txt"}, "Error: open file nope\\.txt\\.\n"},
      {{"english.txt"}, "Error: open file chinese\\.model\\.\n"},
      {{"-l", "english", "-o", "no/such/dir/out.txt", "english.txt"},
       "Error: open no/such/dir/out\\.txt for writing\\.\nMake it sure that the destination folder exists\n"},
      {{"-l", "english", "english.txt"},
       "Loading model done\\.\nError: open file english\\.dict\\.\nError: dictionary file english\\.dict "
       "missing\\.\n"},
      {{"-l", "english", "-o", "./english.txt", "english.txt"},
       "Error: output file \\./english\\.txt is the same file as english\\.txt; refusing to overwrite it\\.\n"},
  };
  const std::string input = readFile(dir_ / "english.txt");
  for (const auto& c : cases) {
    RunResult r = run(c.args);
    EXPECT_EQ(r.status, 1) << c.errPattern;
    EXPECT_EQ(r.out, banner());
    EXPECT_TRUE(std::regex_match(r.err, std::regex("Language: [a-z]+\n" + c.errPattern + kTiming))) << r.err;
  }
  EXPECT_EQ(readFile(dir_ / "english.txt"), input);
  // The missing dictionary was found after the output had been created.
  EXPECT_TRUE(fs::exists(dir_ / "NULL"));
  EXPECT_EQ(readFile(dir_ / "NULL"), "");
}

TEST_F(KorvaneE2E, ModelThatDoesNotLoadExitsWithOne) {
  copyFixtures({"english.dict", "english.txt"});
  fs::create_directory(dir_ / "english.model");  // opens, but cannot be read
  RunResult r = run({"-l", "english", "-o", "out.txt", "english.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("Language: english\nLoading model (.|\n)*Error: model file english\\.model missing\\.\n" +
                        kTiming)))
      << r.err;
  EXPECT_EQ(readFile(dir_ / "out.txt"), "");
}

}  // namespace
