#include "app/tagging_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_files.h"

namespace {

typedef std::vector<std::vector<std::string>> Sequences;

std::string tempPath(const std::string& name) { return testing::TempDir() + "tagging_run_" + name; }

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

struct LoopResult {
  std::string output;
  Sequences sequences;
  int lines = 0;
  std::string err;
};

// Runs the line loop over input with a labeler that records every sequence
// and tags row r of it "t<r>".
LoopResult runLoop(const std::string& input, bool english) {
  LoopResult r;
  const std::string inPath = tempPath("loop_in.txt");
  const std::string outPath = tempPath("loop_out.txt");
  writeFile(inPath, input);
  std::FILE* in = std::fopen(inPath.c_str(), "rb");
  std::FILE* out = std::fopen(outPath.c_str(), "wb");
  EXPECT_TRUE(in != nullptr && out != nullptr);
  SequenceLabeler label = [&r](TokenTable& seq, std::vector<std::string>& tags) {
    std::vector<std::string> words;
    tags.clear();
    for (size_t i = 0; i < seq.size(); ++i) {
      EXPECT_EQ(seq[i].size(), 1u);
      words.push_back(seq[i][0]);
      tags.push_back("t" + std::to_string(i));
    }
    r.sequences.push_back(words);
  };
  testing::internal::CaptureStderr();
  r.lines = tagLineStream(in, out, english, label);
  r.err = testing::internal::GetCapturedStderr();
  std::fclose(in);
  std::fclose(out);
  r.output = readFile(outPath);
  return r;
}

TEST(ChineseCutMarks, TheNineMarksAsWholeWords) {
  const char* cuts[] = {"!", "?", ";", ",", "\xa3\xbf", "\xa3\xa1", "\xa3\xac", "\xa1\xa3", "\xa3\xbb"};
  for (const char* c : cuts) EXPECT_TRUE(isChineseCutMark(c)) << c;
  const char* notCuts[] = {".", ":", "", "!!", "a,", "\xa3\xac\xa3\xac", "\xa3", "\xa1\xa3x", "\xa3\xae",
                           "\xa1\xa1", "\xbf\xa3"};
  for (const char* c : notCuts) EXPECT_FALSE(isChineseCutMark(c)) << c;
}

TEST(TagLineStream, ChineseLinesAreCutAfterEveryMark) {
  struct Case {
    std::string line;
    Sequences want;
  };
  const std::string comma = "\xa3\xac", stop = "\xa1\xa3";
  const Case cases[] = {
      {"A " + comma + " B", {{"A", comma}, {"B"}}},
      {"A " + stop + " " + stop + " B", {{"A", stop}, {stop}, {"B"}}},
      {"A B " + stop, {{"A", "B", stop}}},  // no empty sequence after a final mark
      {"! a ? b ; c , d", {{"!"}, {"a", "?"}, {"b", ";"}, {"c", ","}, {"d"}}},
      {"x \xa3\xbf y \xa3\xa1 z \xa3\xbb w", {{"x", "\xa3\xbf"}, {"y", "\xa3\xa1"}, {"z", "\xa3\xbb"}, {"w"}}},
      {"a . b a, " + comma + comma, {{"a", ".", "b", "a,", comma + comma}}},
  };
  for (const auto& c : cases) {
    LoopResult r = runLoop(c.line + "\n", false);
    EXPECT_EQ(r.sequences, c.want) << c.line;
  }
}

TEST(TagLineStream, EnglishLinesAreNeverCut) {
  LoopResult r = runLoop("a , b .\nx ! y \xa3\xac z\n", true);
  EXPECT_EQ(r.sequences, (Sequences{{"a", ",", "b", "."}, {"x", "!", "y", "\xa3\xac", "z"}}));
  EXPECT_EQ(r.output, "a/t0 ,/t1 b/t2 ./t3 x/t0 !/t1 y/t2 \xa3\xac/t3 z/t4 ");
}

TEST(TagLineStream, OutputIsOneLineOfPairs) {
  for (bool english : {true, false}) {
    LoopResult r = runLoop("a b\nc\n", english);
    EXPECT_EQ(r.output, "a/t0 b/t1 c/t0 ");
    EXPECT_EQ(r.lines, 2);
  }
}

TEST(TagLineStream, EmptyAndBlankLinesWriteNothingButCount) {
  LoopResult r = runLoop("\n \t \na\n\n", true);
  EXPECT_EQ(r.lines, 4);
  EXPECT_EQ(r.sequences, (Sequences{{"a"}}));
  EXPECT_EQ(r.output, "a/t0 ");
  EXPECT_EQ(r.err, "");
}

TEST(TagLineStream, CarriageReturnStaysInTheLastWordAndLastLineNeedsNoLineFeed) {
  LoopResult r = runLoop("a b\r\nc", false);
  EXPECT_EQ(r.lines, 2);
  EXPECT_EQ(r.output, "a/t0 b\r/t1 c/t0 ");
}

TEST(TagLineStream, LongLinesAreReadWhole) {
  const std::string longWord(100000, 'w');
  LoopResult r = runLoop("x " + longWord + " y\nz\n", true);
  ASSERT_EQ(r.sequences.size(), 2u);
  EXPECT_EQ(r.sequences[0], (std::vector<std::string>{"x", longWord, "y"}));
  EXPECT_EQ(r.output, "x/t0 " + longWord + "/t1 y/t2 z/t0 ");
}

TEST(TagLineStream, WordsWithNulBytesAreWrittenWhole) {
  const std::string word("a\0b", 3);
  LoopResult r = runLoop(word + " c\n", true);
  EXPECT_EQ(r.output, word + "/t0 c/t1 ");
}

TEST(TagLineStream, ProgressAfterEvery6000thNonEmptyLine) {
  std::string input;
  for (int i = 1; i <= 12000; ++i) input += "w\n";
  LoopResult r = runLoop(input, false);
  EXPECT_EQ(r.lines, 12000);
  EXPECT_EQ(r.err, "#line=6000,#seq=0\r#line=12000,#seq=0\r");

  std::string withEmpty;
  for (int i = 1; i <= 12000; ++i) withEmpty += (i == 6000 ? "\n" : "w\n");
  r = runLoop(withEmpty, true);
  EXPECT_EQ(r.lines, 12000);
  EXPECT_EQ(r.err, "#line=12000,#seq=0\r");
}

// ---- The run driver with real files. ----

const char kModel[] =
    "\nU02\nthe DT 2.000000\ndog NN 2.000000\nbarks VB 2.000000\n"
    "\nB1\nDT NN 1.000000";
const char kDict[] = "the DT\ndog NN\nbarks VB\n";

struct DriverFiles {
  std::string input = tempPath("in.txt");
  std::string model = tempPath("m.model");
  std::string dict = tempPath("m.dict");
  std::string output = tempPath("out.txt");
  DriverFiles() {
    writeFile(input, "the dog barks\n\nthe dog\n");
    writeFile(model, kModel);
    writeFile(dict, kDict);
    std::remove(output.c_str());
  }
};

struct DriverResult {
  int status;
  std::string err;
};

DriverResult runDriver(std::string input, std::string model, std::string output, std::string dict,
                       std::string legal = "NULL") {
  std::string ignored = "NULL";
  const int savedLang = _lang;
  _lang = 36;
  testing::internal::CaptureStderr();
  int status = ME_TestLabel6(&ignored[0], &model[0], &input[0], &output[0], &legal[0], &dict[0], 1);
  std::string err = testing::internal::GetCapturedStderr();
  _lang = savedLang;
  return {status, err};
}

TEST(MeTestLabel6, TagsTheInput) {
  DriverFiles f;
  DriverResult r = runDriver(f.input, f.model, f.output, f.dict);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(readFile(f.output), "the/DT dog/NN barks/VB the/DT dog/NN ");
  EXPECT_NE(r.err.find("#TagNum=3\n"), std::string::npos) << r.err;
  ASSERT_GE(r.err.size(), 8u);
  EXPECT_EQ(r.err.substr(r.err.size() - 8), "#line=3\r") << r.err;
}

// One input line of 10 MB (long words among ordinary ones, one of them a
// million bytes) is read and tagged whole: every word comes out with its tag.
TEST(MeTestLabel6, TenMegabyteLineIsTaggedWhole) {
  DriverFiles f;
  std::string line;
  line.reserve((10u << 20) + 4096);
  line += "the dog barks " + std::string(1000000, 'q') + " ";
  size_t words = 4;
  for (int i = 0; line.size() < (10u << 20); ++i) {
    line += "the dog barks " + std::string(1000, static_cast<char>('a' + i % 26)) + " ";
    words += 4;
  }
  line += "dog\n";
  ++words;
  writeFile(f.input, line);
  DriverResult r = runDriver(f.input, f.model, f.output, f.dict);
  EXPECT_EQ(r.status, 1) << r.err.substr(0, 200);
  const std::string out = readFile(f.output);
  std::remove(f.input.c_str());
  std::remove(f.output.c_str());
  size_t pairs = 0;
  for (char c : out) pairs += c == '/';
  EXPECT_EQ(pairs, words);
  EXPECT_EQ(out.substr(0, 23), "the/DT dog/NN barks/VB ");
  EXPECT_EQ(out.find(std::string(1000000, 'q') + "/"), 23u);
  ASSERT_GE(out.size(), 16u);
  EXPECT_EQ(out.substr(out.size() - 7), "dog/NN ");
}

// The run on worker threads writes the file and the messages (progress
// after every 6000th line that is not empty) of the single-threaded run and
// of the reference path, byte for byte.
TEST(MeTestLabel6, SameOutputAndMessagesOnAnyNumberOfThreads) {
  DriverFiles f;
  std::string input;
  for (int i = 1; i <= 12001; ++i) {
    if (i == 6000 || i % 997 == 0) input += "\n";           // empty: no progress message for line 6000
    else if (i % 5 == 0) input += " \t \n";                // blank: counts as not empty
    else if (i % 3 == 0) input += "the dog barks the dog\n";
    else input += "dog the barks\n";
  }
  input += "the dog";  // no final line feed
  writeFile(f.input, input);
  struct Setting {
    const char* reference;
    const char* threads;
  };
  std::string firstOut, firstErr;
  for (const Setting& s : {Setting{"1", nullptr}, Setting{nullptr, "1"}, Setting{nullptr, "2"},
                           Setting{nullptr, "3"}, Setting{nullptr, nullptr}, Setting{nullptr, "many"}}) {
    if (s.reference) setenv("KORVANE_REFERENCE_PATH", s.reference, 1);
    else unsetenv("KORVANE_REFERENCE_PATH");
    if (s.threads) setenv("KORVANE_THREADS", s.threads, 1);
    else unsetenv("KORVANE_THREADS");
    DriverResult r = runDriver(f.input, f.model, f.output, f.dict);
    const std::string what = std::string("threads ") + (s.threads ? s.threads : "default");
    EXPECT_EQ(r.status, 1) << what;
    const std::string out = readFile(f.output);
    if (firstOut.empty()) {
      firstOut = out;
      firstErr = r.err;
      EXPECT_NE(r.err.find("#line=12000,#seq=0\r#line=12002\r"), std::string::npos) << r.err;
      EXPECT_EQ(r.err.find("#line=6000,"), std::string::npos) << r.err;
      EXPECT_EQ(out.substr(out.size() - 14), "the/DT dog/NN ");
    } else {
      EXPECT_EQ(out, firstOut) << what;
      EXPECT_EQ(r.err, firstErr) << what;
    }
  }
  unsetenv("KORVANE_REFERENCE_PATH");
  unsetenv("KORVANE_THREADS");
}

TEST(MeTestLabel6, FailuresReturnTheirCodesWithExactMessages) {
  DriverFiles f;
  const std::string missing = tempPath("missing.txt");
  const std::string noDir = tempPath("no_such_dir/out.txt");
  // A directory passes the open probe but does not load as a model.
  const std::string modelDir = tempPath("model_dir");
  mkdir(modelDir.c_str(), 0755);
  struct Case {
    std::string input, model, output, dict;
    int status;
    std::string message;
    bool outputCreated;
  };
  const Case cases[] = {
      {missing, f.model, f.output, f.dict, -1, "Error: open file " + missing + ".\n", false},
      {f.input, missing, f.output, f.dict, -1, "Error: open file " + missing + ".\n", false},
      {missing, missing, f.output, f.dict, -1,
       "Error: open file " + missing + ".\nError: open file " + missing + ".\n", false},
      {f.input, f.model, noDir, f.dict, -1,
       "Error: open " + noDir + " for writing.\nMake it sure that the destination folder exists\n", false},
      {f.input, modelDir, f.output, f.dict, -2, "Error: model file " + modelDir + " missing.\n", true},
      {f.input, f.model, f.output, "NULL", -3, "Error: dictionary file NULL missing.\n", true},
      {f.input, f.model, f.output, missing, -3,
       "Error: open file " + missing + ".\nError: dictionary file " + missing + " missing.\n", true},
  };
  for (const auto& c : cases) {
    std::remove(f.output.c_str());
    DriverResult r = runDriver(c.input, c.model, c.output, c.dict);
    EXPECT_EQ(r.status, c.status) << c.message;
    // The model loader's own progress text may come before the driver's message.
    ASSERT_GE(r.err.size(), c.message.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - c.message.size()), c.message);
    EXPECT_EQ(exists(f.output), c.outputCreated) << c.message;
    if (c.outputCreated) {
      EXPECT_EQ(readFile(f.output), "");
    }
  }
}

TEST(MeTestLabel6, MissingLegalFileIsReportedAndIgnored) {
  DriverFiles f;
  const std::string missing = tempPath("missing.legal");
  DriverResult r = runDriver(f.input, f.model, f.output, f.dict, missing);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: open file " + missing + ".\n"), std::string::npos);
  EXPECT_EQ(readFile(f.output), "the/DT dog/NN barks/VB the/DT dog/NN ");
}

TEST(MeTestLabel6, ModelWithoutLabelsIsRefused) {
  DriverFiles f;
  writeFile(f.model, "");
  DriverResult r = runDriver(f.input, f.model, f.output, f.dict);
  EXPECT_EQ(r.status, -2);
  EXPECT_NE(r.err.find("Error: model file " + f.model + " has no labels.\n"), std::string::npos) << r.err;
}

TEST(MeTestLabel6, RefusesToOverwriteItsOwnInputs) {
  DriverFiles f;
  const std::string inputBytes = readFile(f.input);
  const std::string link = tempPath("in_link.txt");
  std::remove(link.c_str());
  ASSERT_EQ(symlink(f.input.c_str(), link.c_str()), 0);
  const std::string dotted = testing::TempDir() + "./tagging_run_in.txt";
  const std::string same[] = {f.input, dotted, link};
  for (const auto& out : same) {
    DriverResult r = runDriver(f.input, f.model, out, f.dict);
    EXPECT_EQ(r.status, -1) << out;
    EXPECT_EQ(r.err, "Error: output file " + out + " is the same file as " + f.input +
                         "; refusing to overwrite it.\n");
    EXPECT_EQ(readFile(f.input), inputBytes);
  }
  // The model and the dictionary are protected the same way.
  for (const auto& used : {f.model, f.dict}) {
    const std::string bytes = readFile(used);
    DriverResult r = runDriver(f.input, f.model, used, f.dict);
    EXPECT_EQ(r.status, -1) << used;
    EXPECT_EQ(readFile(used), bytes);
  }
  std::remove(link.c_str());
}

TEST(MeTestLabel6, UnreadableInputOrUnwritableOutputFails) {
  DriverFiles f;
  // A directory passes the open probe but cannot be read.
  const std::string dir = tempPath("input_dir");
  mkdir(dir.c_str(), 0755);
  DriverResult r = runDriver(dir, f.model, f.output, f.dict);
  EXPECT_EQ(r.status, -1);
  EXPECT_NE(r.err.find("Error: read " + dir + " failed.\n"), std::string::npos) << r.err;

  if (exists("/dev/full")) {
    r = runDriver(f.input, f.model, "/dev/full", f.dict);
    EXPECT_EQ(r.status, -1);
    EXPECT_NE(r.err.find("Error: write /dev/full failed.\n"), std::string::npos) << r.err;
  }
}

TEST(ShowTagSet, CopiesTheLabelsInIdOrder) {
  const std::string model = tempPath("tags.model");
  writeFile(model, "\nU02\nx B 1.000000 A 1.000000\ny C 1.000000");
  ME_Model m;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(m.load_from_fileV2(model));
  testing::internal::GetCapturedStderr();
  std::vector<std::string> tags = {"old"};
  testing::internal::CaptureStderr();
  EXPECT_EQ(showTagSet(m, tags), 3);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "#TagNum=3\n");
  EXPECT_EQ(tags, (std::vector<std::string>{"B", "A", "C"}));
}

// ---- The command line, in process, up to the run. ----

struct MainResult {
  int status;
  std::string out, err;
};

MainResult runMain(std::vector<const char*> args) {
  args.insert(args.begin(), "korvane");
  std::vector<char*> argv;
  std::vector<std::string> storage(args.begin(), args.end());
  for (auto& s : storage) argv.push_back(&s[0]);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  int status = korvaneMain(static_cast<int>(argv.size()), argv.data());
  MainResult r{status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
  return r;
}

const char kHelp[] =
    "Usage: korvane [options] files\n"
    " -h, --help             show this help and exit\n"
    " -l, --language=MODEL   Choose the language for PoS tagging\n"
    " -o, --outputfile=FILE  output file for decoding\n"
    "\n";

TEST(KorvaneMain, HelpAndNoFilesPrintTheHelpText) {
  const std::string help = std::string(CRFPP::programBanner()) + "\n" + kHelp;
  const std::vector<std::vector<const char*>> cases = {{"-h"}, {"--help", "in.txt"}, {}, {"-l", "English"},
                                                       {"-x", "in.txt"}};
  for (const auto& c : cases) {
    MainResult r = runMain(c);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, help);
    EXPECT_EQ(r.err, "");
  }
}

TEST(KorvaneMain, UnknownLanguageStopsBeforeTheBanner) {
  MainResult r = runMain({"-l", "FrEnch", "in.txt"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error: unknown language french\n");
}

TEST(PrintUsage, BannerThenEmptyLine) {
  testing::internal::CaptureStdout();
  printUsage();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, std::string(CRFPP::programBanner()) + "\n");
  EXPECT_EQ(out.rfind("Korvane, a part-of-speech tagger for Chinese and English\nVersion 1.00, 2008.06.01, ", 0),
            0u);
}

}  // namespace
