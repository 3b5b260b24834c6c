#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/commands/commands.h"
#include "decoding/labeling.h"
#include "decoding/tag_stream.h"
#include "decoding/line_sequences.h"
#include "labels/tag_dictionary.h"
#include "templates/builtin_templates.h"
#include "text/line_utils.h"
#include "test_files.h"
#include "test_command.h"

namespace {

typedef std::vector<std::string> Tags;

std::string temp(const std::string& name) { return testing::TempDir() + "decoding_commands_test_" + name; }


int run(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) {
  args.insert(args.begin(), "korvane-kit");
  const CommandOutcome o = runCommand(kitMain, args);
  if (out != nullptr) *out = o.out;
  if (err != nullptr) *err = o.err;
  return o.status;
}

const char* const kWords[] = {"The", "cat", "sat", "on", "the", "mat", ",", ".", "\xd6\xd0\xb9\xfa", "\xa3\xac",
                              "\xa1\xa3", "!", "x", "Dog", "runs", "1999"};
const Tags kTags = {"DT", "NN", "VB", ",", "IN"};

// A small model and dictionary for both template sets, written as files.
class TagCommandTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::vector<std::string> names;
    std::vector<ME_Model_Data> rows;
    std::mt19937 rng(11);
    std::normal_distribution<double> weight(0.0, 1.5);
    for (const std::string& t : kTags) rows.push_back({t.c_str(), "U02:never", 0.0});
    for (const char* w : kWords)
      for (const char* prefix : {"U02:", "U01:", "U03:", "U21:", "U06:"}) names.push_back(prefix + std::string(w));
    for (const std::string& a : kTags) {
      names.push_back("B1:" + a);
      for (const std::string& b : kTags) names.push_back("B2:" + a + "/" + b);
    }
    for (const std::string& n : names)
      for (const std::string& t : kTags) rows.push_back({t.c_str(), n.c_str(), weight(rng)});
    rows.push_back({"///", nullptr, 0.0});
    ME_Model model;
    ASSERT_TRUE(model.load_from_array(rows.data()));
    ASSERT_TRUE(model.save_to_fileV2(temp("tag.model")));
    writeFile(temp("tag.dict"), "The DT\ncat NN VB\nsat VB\non IN\n, ,\n");
  }

  // korvane's output for one line, from the reference labelling.
  static std::string reference(const std::string& line, bool english) {
    static ME_Model model;
    static bool loaded = false;
    if (!loaded) {
      testing::internal::CaptureStderr();
      loaded = model.load_from_fileV2(temp("tag.model"));
      testing::internal::GetCapturedStderr();
    }
    CMiniStringBag words;
    std::vector<CMiniStringBag> wordTags, legal;
    std::string dict = temp("tag.dict");
    LoadCliqueLabelDict(&dict[0], words, wordTags);
    Tags tagList;
    for (int i = 0; i < model.num_classes(); ++i) tagList.push_back(model.get_class_label(i));
    std::vector<_ftnind> templates;
    std::vector<int> order;
    int labelOrder = 0;
    if (english) getTemplateEnglishPoS(templates, order, labelOrder);
    else getTemplateChinesePoS(templates, order, labelOrder);
    std::string copy = line, out;
    Tags fields, tags;
    std::vector<TokenTable> sequences;
    readLine2VectorString(copy, fields);
    splitIntoSequences(fields, english, sequences);
    for (TokenTable& seq : sequences) {
      labelSeqIt(seq, tagList, tags, labelOrder, words, 1, wordTags, legal, templates, order, model);
      for (size_t i = 0; i < seq.size(); ++i) out += seq[i][0] + "/" + tags[i] + " ";
    }
    return out + "\n";
  }

  static std::string randomText(unsigned seed, int lines) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> length(0, 9);
    std::uniform_int_distribution<size_t> word(0, sizeof kWords / sizeof *kWords - 1);
    std::string text;
    for (int i = 0; i < lines; ++i) {
      const int n = length(rng);
      for (int j = 0; j < n; ++j) text += std::string(j ? (j % 3 ? " " : "\t ") : "") + kWords[word(rng)];
      text += '\n';
    }
    return text;
  }
};

// Line by line what korvane writes, for both languages; blank lines stay.
TEST_F(TagCommandTest, SameTagsAsTheTaggerLineByLine) {
  const std::string text = "The cat sat on the mat .\n\n \t \nDog runs , x \xa3\xac cat\n\xa1\xa3\ncat ! sat ,\n" +
                           randomText(3, 40) + "last line without a line feed";
  writeFile(temp("in.txt"), text);
  for (const char* language : {"english", "Chinese"}) {
    const bool english = std::string(language) == "english";
    std::string expected;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) expected += reference(line, english);
    for (const char* threads : {"1", "3"}) {
      std::string out, err;
      EXPECT_EQ(run({"tag", "--language", language, "--model", temp("tag.model"), "--dict", temp("tag.dict"),
                     "--threads", threads, temp("in.txt")},
                    &out, &err),
                0)
          << err;
      EXPECT_EQ(out, expected) << language << " threads " << threads;
    }
  }
}

// Many batches over several threads come out in input order, equal to one thread.
TEST_F(TagCommandTest, ThreadsKeepTheOrder) {
  std::string text = randomText(5, 3000);
  // Numbered lines make a reordering visible even between equal lines.
  std::string numbered;
  std::istringstream lines(text);
  int i = 0;
  for (std::string line; std::getline(lines, line); ++i) numbered += "n" + std::to_string(i) + " " + line + "\n";
  writeFile(temp("many.txt"), numbered);
  std::string one, four;
  ASSERT_EQ(run({"tag", "--language=english", "--model=" + temp("tag.model"), "--dict=" + temp("tag.dict"),
                 "--threads=1", temp("many.txt")},
                &one),
            0);
  ASSERT_EQ(run({"tag", "--language=english", "--model=" + temp("tag.model"), "--dict=" + temp("tag.dict"),
                 "--threads=4", temp("many.txt")},
                &four),
            0);
  EXPECT_EQ(one, four);
  std::istringstream outLines(four);
  int n = 0;
  for (std::string line; std::getline(outLines, line); ++n)
    ASSERT_EQ(line.rfind("n" + std::to_string(n) + "/", 0), 0u) << line;
  EXPECT_EQ(n, 3000);
}

TEST_F(TagCommandTest, ReadsStandardInput) {
  writeFile(temp("stdin.txt"), "The cat\n\nsat\n");
  const std::string expected = reference("The cat", true) + "\n" + reference("sat", true);
  for (const char* input : {"", "-"}) {
    ASSERT_NE(std::freopen(temp("stdin.txt").c_str(), "rb", stdin), nullptr);
    std::vector<std::string> args = {"tag", "-", "--language", "english", "--model", temp("tag.model"),
                                     "--dict", temp("tag.dict"), "--threads", "2"};
    if (*input == '\0') args.erase(args.begin() + 1);
    std::string out;
    EXPECT_EQ(run(args, &out), 0);
    EXPECT_EQ(out, expected) << "input \"" << input << "\"";
  }
}

// Text from other systems: CR LF line ends and a leading byte-order mark
// change nothing, on one thread and on several.
TEST_F(TagCommandTest, CarriageReturnsAndByteOrderMarkAreDropped) {
  writeFile(temp("lf.txt"), "The cat sat\n\nDog runs , x\n");
  writeFile(temp("crlf.txt"), "\xEF\xBB\xBFThe cat sat\r\n\r\nDog runs , x\r\n");
  for (const char* threads : {"1", "3"}) {
    std::string lf, crlf;
    const std::vector<std::string> common = {"tag", "-m", temp("tag.model"), "-D", temp("tag.dict"), "-j", threads};
    std::vector<std::string> a = common, b = common;
    a.push_back(temp("lf.txt"));
    b.push_back(temp("crlf.txt"));
    ASSERT_EQ(run(a, &lf), 0);
    ASSERT_EQ(run(b, &crlf), 0);
    EXPECT_EQ(crlf, lf) << threads;
    EXPECT_EQ(lf.substr(0, 4), "The/");
  }
}

TEST_F(TagCommandTest, EmptyInputGivesNoOutput) {
  writeFile(temp("empty.txt"), "");
  for (const char* threads : {"1", "2"}) {
    std::string out;
    EXPECT_EQ(run({"tag", "--model", temp("tag.model"), "--dict", temp("tag.dict"), "--threads", threads,
                   temp("empty.txt")},
                  &out),
              0);
    EXPECT_EQ(out, "");
  }
}

TEST_F(TagCommandTest, Misuse) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"tag", "--threads", "0"}, "--threads takes a whole number from 1 to 256, not '0'"},
      {{"tag", "--threads", "2x"}, "--threads takes a whole number from 1 to 256, not '2x'"},
      {{"tag", "--language", "french"}, "--language takes english or chinese, not 'french'"},
      {{"tag", "a.txt", "b.txt"}, "unexpected argument 'b.txt'"},
  };
  for (const Case& c : cases) {
    std::string err;
    EXPECT_EQ(run(c.args, nullptr, &err), 2) << c.message;
    EXPECT_EQ(err, std::string("korvane-kit tag: error: ") + c.message +
                       "\nTry 'korvane-kit tag --help' for more information.\n");
  }
}

TEST_F(TagCommandTest, MissingFilesFailNamingThem) {
  writeFile(temp("in2.txt"), "The cat\n");
  struct Case {
    std::string model, dict, input, named;
  } cases[] = {
      {temp("absent.model"), temp("tag.dict"), temp("in2.txt"), "absent.model"},
      {temp("tag.model"), temp("absent.dict"), temp("in2.txt"), "absent.dict"},
      {temp("tag.model"), temp("tag.dict"), temp("absent.txt"), "absent.txt"},
  };
  for (const Case& c : cases) {
    std::string out, err;
    EXPECT_EQ(run({"tag", "--model", c.model, "--dict", c.dict, c.input}, &out, &err), 1) << c.named;
    EXPECT_NE(err.find("Error: "), std::string::npos) << err;
    EXPECT_NE(err.find(c.named), std::string::npos) << err;
    EXPECT_EQ(out, "");
  }
}

// A write error is reported, not taken for success, with one thread and with several.
TEST_F(TagCommandTest, WriteFailureIsAnError) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (full == nullptr) GTEST_SKIP() << "/dev/full is absent";
  std::fclose(full);
  writeFile(temp("w.txt"), randomText(9, 2000));
  ME_Model model;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(model.load_from_fileV2(temp("tag.model")));
  testing::internal::GetCapturedStderr();
  CMiniStringBag words;
  std::vector<CMiniStringBag> wordTags, legal;
  Tags tagList;
  for (int i = 0; i < model.num_classes(); ++i) tagList.push_back(model.get_class_label(i));
  std::vector<_ftnind> templates;
  std::vector<int> order;
  int labelOrder = 0;
  getTemplateEnglishPoS(templates, order, labelOrder);
  FastLabeler labeler(model, templates, order, labelOrder, tagList, words, wordTags, legal);
  for (int threads : {1, 3}) {
    std::FILE* in = std::fopen(temp("w.txt").c_str(), "rb");
    std::FILE* out = std::fopen("/dev/full", "wb");
    ASSERT_NE(in, nullptr);
    ASSERT_NE(out, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(tagStream(in, "w.txt", out, labeler, true, threads), -1) << threads;
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Error: write"), std::string::npos);
    std::fclose(in);
    std::fclose(out);
  }
}

}  // namespace
