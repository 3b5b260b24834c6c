#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "feature_test_util.h"
#include "features/chinese_lexicon.h"
#include "features/lexicons.h"
#include "features/pos_lexicon.h"
#include "features/word_list.h"
#include "features/wordnet_lexicon.h"
#include "templates/template_reader.h"
#include "test_files.h"
#include "text/gbk.h"

using namespace ktest;

namespace {

// One template of one item written in template text, e.g. "x.suffix3[0,0]".
_ftnind itemTemplate(const std::string& text) {
  _ft parsed;
  std::string t = text;
  parseTemplateLine(t, parsed);
  return tpl("U", {parsed});
}

std::string valueAt(const std::vector<std::string>& sentence, const std::string& itemText, int position) {
  Call call;
  call.rows = words(sentence);
  _ftnind t = itemTemplate(itemText);
  return call.run(t, position);
}

TEST(SpellingFunctions, StepNamesReachTheirCodesWithTheLengthAsArgument) {
  const struct {
    const char* text;
    int code, argument;
  } cases[] = {{"x.prefix3[0,0]", 200, 3},     {"x.SUFFIX4[0,0]", 201, 4},   {"x.shape[0,0]", 202, 0},
               {"x.shortshape[0,0]", 203, 0}, {"x.hyphenfirst[0,0]", 204, 0}, {"x.hyphenlast[0,0]", 205, 0},
               {"x.capstart[0,0]", 206, 0},   {"x.charflags[0,0]", 207, 0}, {"x.wordnet[0,0]", 210, 0},
               {"x.wordnetbase[0,0]", 211, 0}, {"x.poslex[0,0]", 217, 0}, {"x.chnprefix2[0,0]", 220, 2}, {"x.chnsuffix2[0,0]", 221, 2}};
  for (const auto& c : cases) {
    const _ftnind t = itemTemplate(c.text);
    ASSERT_EQ(t.items[0].steps.size(), 1u) << c.text;
    EXPECT_EQ(t.items[0].valueFunction, c.code) << c.text;
    EXPECT_EQ(t.items[0].steps[0].argument, c.argument) << c.text;
  }
}

TEST(SpellingFunctions, ValuesOfWordsAndOfRowsOutsideTheSentence) {
  const std::vector<std::string> s = {"The", "well-known", "IBM", "Running", "12-34", "caf\xC3\xA9", "3.5", ",",
                                      "-ly", "a-b-c", "McDonald's", "I"};
  const struct {
    const char* item;
    int position;
    const char* value;
  } cases[] = {
      {"x.prefix3[0,0]", 3, "run"},       {"x.prefix[0,0]", 3, "r"},         {"x.suffix2[0,0]", 3, "ng"},
      {"x.suffix4[0,0]", 0, "_"},         {"x.suffix3[0,0]", 0, "the"},      {"x.suffix3[-1,0]", 0, "-"},
      {"x.prefix2[1,0]", 11, "-"},        {"x.shape[0,0]", 3, "Xxxxx"},      {"x.shape[0,0]", 4, "dd-dd"},
      {"x.shape[0,0]", 5, "xxxuu"},       {"x.shortshape[0,0]", 3, "Xx"},    {"x.shortshape[0,0]", 4, "d-d"},
      {"x.shortshape[0,0]", 1, "x-x"},    {"x.hyphenfirst[0,0]", 1, "well"}, {"x.hyphenlast[0,0]", 1, "known"},
      {"x.hyphenfirst[0,0]", 9, "a"},     {"x.hyphenlast[0,0]", 9, "c"},     {"x.hyphenlast[0,0]", 8, "_"},
      {"x.hyphenfirst[0,0]", 2, "_"},     {"x.capstart[0,0]", 0, "S+X"},     {"x.capstart[0,0]", 2, "I+A"},
      {"x.capstart[0,0]", 11, "I+X"},     {"x.capstart[0,0]", 1, "I+x"},     {"x.capstart[0,0]", 4, "I+d"},
      {"x.capstart[0,0]", 7, "I+p"},      {"x.charflags[0,0]", 10, "up"},    {"x.charflags[0,0]", 6, "d."},
      {"x.charflags[0,0]", 4, "d-"},      {"x.charflags[0,0]", 5, "e"},      {"x.charflags[0,0]", 0, "0"},
      {"x.capstart[-1,0]", 0, "-"},
  };
  for (const auto& c : cases) EXPECT_EQ(valueAt(s, c.item, c.position), c.value) << c.item << " at " << c.position;
}

TEST(SpellingFunctions, GbkPrefixesAndSuffixesCountCharacters) {
  // Three GBK characters, then a word of one.
  const std::vector<std::string> s = {"\xD6\xD0\xB9\xFA\xC8\xCB", "\xB5\xC4"};
  EXPECT_EQ(valueAt(s, "x.chnprefix2[0,0]", 0), "\xD6\xD0\xB9\xFA");
  EXPECT_EQ(valueAt(s, "x.chnsuffix2[0,0]", 0), "\xB9\xFA\xC8\xCB");
  EXPECT_EQ(valueAt(s, "x.chnsuffix[0,0]", 0), "\xC8\xCB");
  EXPECT_EQ(valueAt(s, "x.chnsuffix2[0,0]", 1), "_");
  EXPECT_EQ(valueAt(s, "x.chnprefix2[1,0]", 1), "-");
}

// A WordNet database of a few entries in the layout of the real one.
std::string tinyWordNet() {
  const std::string dir = testing::TempDir() + "wordnet";
  mkdir(dir.c_str(), 0755);
  const std::string licence = "  1 This software and database is being provided to you\n";
  writeFile(dir + "/index.noun", licence + "glass n 1 1 @ 1 0 00000001\nmouse n 1 1 @ 1 0 00000002\n"
                                           "run n 1 1 @ 1 0 00000003\nwoman n 1 1 @ 1 0 00000004\n");
  writeFile(dir + "/index.verb", licence + "run v 1 1 @ 1 0 00000005\nmake v 1 1 @ 1 0 00000006\n"
                                           "tie v 1 1 @ 1 0 00000007\n");
  writeFile(dir + "/index.adj", licence + "good a 1 1 & 1 0 00000008\nlarge a 1 1 & 1 0 00000009\n");
  writeFile(dir + "/index.adv", licence + "well r 1 1 & 1 0 00000010\n");
  writeFile(dir + "/noun.exc", "mice mouse\n");
  writeFile(dir + "/verb.exc", "made make\n");
  writeFile(dir + "/adj.exc", "better good\nafter after\n");
  writeFile(dir + "/adv.exc", "better well\n");
  return dir;
}

TEST(SpellingFunctions, WordNetCategoriesOfFormsAndOfTheirBases) {
  // Before any lexicon is loaded the functions give "?" (the commands refuse
  // such a set before tagging).
  if (activeWordNet() == nullptr) {
    EXPECT_EQ(valueAt({"run"}, "x.wordnet[0,0]", 0), "?");
  }

  testing::internal::CaptureStderr();
  EXPECT_FALSE(loadWordNet(testing::TempDir() + "no-such-folder"));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Error: WordNet lexicon: cannot open"), std::string::npos);

  ASSERT_TRUE(loadWordNet(tinyWordNet()));
  ASSERT_NE(activeWordNet(), nullptr);
  EXPECT_EQ(activeWordNet()->lemmaCount(), 9u);  // the licence lines are no lemmas
  const std::vector<std::string> s = {"Run", "runs", "mice", "better", "making", "made", "women",
                                      "larger", "tied", "glass", "after", "the"};
  const struct {
    int position;
    const char* forms;
    const char* bases;
  } cases[] = {{0, "nv", "0"}, {1, "0", "nv"}, {2, "0", "n"}, {3, "0", "ar"}, {4, "0", "v"}, {5, "0", "v"},
               {6, "0", "n"},  {7, "0", "a"},  {8, "0", "v"}, {9, "n", "0"},  {10, "0", "0"}, {11, "0", "0"}};
  for (const auto& c : cases) {
    EXPECT_EQ(valueAt(s, "x.wordnet[0,0]", c.position), c.forms) << s[c.position];
    EXPECT_EQ(valueAt(s, "x.wordnetbase[0,0]", c.position), c.bases) << s[c.position];
  }
  EXPECT_EQ(valueAt(s, "x.wordnet[-1,0]", 0), "-");
}

TEST(SpellingFunctions, LexiconNamesAndTheLexiconATemplateSetNeeds) {
  EXPECT_TRUE(loadLexicon(""));
  EXPECT_TRUE(loadLexicon("none"));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(loadLexicon("framenet"));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Error: unknown lexicon 'framenet'"), std::string::npos);

  std::vector<_ftnind> plain = {itemTemplate("x.suffix3[0,0]"), itemTemplate("x.lowcase[0,0]")};
  EXPECT_EQ(lexiconOfTemplates(plain), "");
  EXPECT_TRUE(loadTemplateLexicons(plain, "plain.template"));
  std::vector<_ftnind> lexical = plain;
  lexical.push_back(itemTemplate("x.wordnetbase[1,0]"));
  EXPECT_EQ(lexiconOfTemplates(lexical), "wordnet");
  std::vector<_ftnind> both = lexical;
  both.push_back(itemTemplate("x.zhlexhead[0,0]"));
  EXPECT_EQ(lexiconOfTemplates(both), "wordnet,jieba");
  EXPECT_EQ(lexiconOfTemplates({itemTemplate("x.zhlex[-1,0]")}), "jieba");
  both.push_back(itemTemplate("x.wordlist[1,0]"));
  EXPECT_EQ(lexiconOfTemplates(both), "wordnet,jieba,words");
  both.push_back(itemTemplate("x.poslex[0,0]"));
  EXPECT_EQ(lexiconOfTemplates(both), "wordnet,jieba,words,poslex");

  // The Chinese word list where there is none, alone and after WordNet.
  setenv("KORVANE_ZH_LEXICON", (testing::TempDir() + "no-such-list.txt").c_str(), 1);
  for (const char* names : {"jieba", "none, Jieba"}) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loadLexicon(names)) << names;
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Error: Chinese lexicon: cannot open"), std::string::npos);
  }
  unsetenv("KORVANE_ZH_LEXICON");

  // WordNet where there is none: the set is refused, naming its file.
  setenv("WNSEARCHDIR", (testing::TempDir() + "no-such-folder").c_str(), 1);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(loadTemplateLexicons(lexical, "lexical.template"));
  const std::string err = testing::internal::GetCapturedStderr();
  unsetenv("WNSEARCHDIR");
  EXPECT_NE(err.find("Error: template file lexical.template needs the wordnet lexicon."), std::string::npos) << err;
}

// The item's value at every position of s, against expected.
void expectValues(const std::vector<std::string>& s, const std::string& item, const std::vector<std::string>& expected) {
  for (size_t i = 0; i < s.size(); ++i) EXPECT_EQ(valueAt(s, item, static_cast<int>(i)), expected[i]) << s[i];
}

// load refuses every path with "Error: <what>: ..." naming the path (and
// the Debian package that holds the real file).
void expectRefused(bool (*load)(const std::string&), const std::vector<std::string>& paths, const std::string& what,
                   const std::string& package) {
  for (const std::string& path : paths) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(load(path));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Error: " + what + ": "), std::string::npos) << err;
    EXPECT_NE(err.find(path), std::string::npos) << err;
    EXPECT_NE(err.find(package), std::string::npos) << err;
  }
}

TEST(SpellingFunctions, EnglishWordListTellsCapitalisedFromSmallEntries) {
  const std::string dir = testing::TempDir();
  writeFile(dir + "words.txt", "Paris\nparis\nApple\napple\nBrown\nbrown's\nNASA\nrun\r\n\n\xC3\x89tienne\n'tis\n");
  ASSERT_TRUE(loadWordList(dir + "words.txt"));
  ASSERT_NE(activeWordList(), nullptr);
  EXPECT_EQ(activeWordList()->size(), 8u);  // a first byte that is no letter says nothing of case
  const std::vector<std::string> s = {"Paris", "PARIS", "apple", "Brown", "brown", "NASA", "nasa", "run", "Run", "zzz", "'tis"};
  expectValues(s, "x.wordlist[0,0]", {"Cl", "Cl", "Cl", "C", "C", "C", "0", "l", "l", "0", "0"});
  EXPECT_EQ(valueAt(s, "x.wordlist[1,0]", 10), "-");

  writeFile(dir + "no-words.txt", "\n123\n");
  expectRefused(loadWordList, {dir + "no-words.txt", dir + "no-such-words.txt"}, "word list", "wamerican");
}

TEST(SpellingFunctions, PartOfSpeechLexiconGivesTheLikelyTagsOfAWord) {
  const std::string dir = testing::TempDir();
  // log P(word | tag); each tag's rarest word was seen once, so nn was seen
  // 100 times, vb 10 and nnp 50: "run" is nn 10 times, vb 5, nnp once.
  std::string lexicon =
      "MNCL\n"
      "(\"aardvark\" ((nn -4.60517) ) () )\n"
      "(\"frob\" ((vb -2.302585) ) () )\r\n"
      "(\"zygmunt\" ((nnp -3.912023) ) () )\n"
      "(\"run\" ((nn -2.302585) (nnp -3.912023) (vb -0.693147) ) () )\n"
      "(\"surrounded\" ((1 -4.727) (vbn 0.000) ) () )\n"  // a number for a tag is skipped
      "(\"broken\" ((nn x) ) () )\n"
      "(\"spread\" (";
  // Eleven readings of a tag each, none a tenth: the first likeliest.
  for (char c = 'k'; c >= 'a'; --c) lexicon += std::string("(t") + c + " 0.0) ";
  lexicon += ") () )\n";
  writeFile(dir + "poslex.txt", lexicon);
  ASSERT_TRUE(loadPosLexicon(dir + "poslex.txt"));
  ASSERT_NE(activePosLexicon(), nullptr);
  EXPECT_EQ(activePosLexicon()->size(), 6u);
  const std::vector<std::string> s = {"Run", "RUN", "zygmunt", "surrounded", "broken", "spread", "apple"};
  expectValues(s, "x.poslex[0,0]", {"nn|vb", "nn|vb", "nnp", "vbn", "0", "ta", "0"});
  EXPECT_EQ(valueAt(s, "x.poslex[1,0]", 6), "-");

  writeFile(dir + "no-entries.txt", "MNCL\n(broken\n");
  expectRefused(loadPosLexicon, {dir + "no-entries.txt", dir + "no-such-poslex.txt"}, "part-of-speech lexicon",
                "festlex-poslex");
}

std::string gbkOf(const std::string& utf8) {
  GbkConverter c;
  std::string out, fault;
  EXPECT_TRUE(c.toGbk(utf8, out, fault)) << fault;
  return out;
}

TEST(SpellingFunctions, ChineseWordListTagsCountsAndListedParts) {
  const std::string dir = testing::TempDir();
  // A tab, a missing tag, a word GBK cannot hold and one that is no UTF-8
  // (both left out) are all read.
  writeFile(dir + "zh-words.txt",
            "\xE7\xAE\xA1\xE7\x90\x86 2500 vn\n"                        // 管理
            "\xE7\xAE\xA1\xE7\x90\x86\xE5\x91\x98 120\tn\n"         // 管理员
            "\xE5\x91\x98 7 ng\n"                                         // 员
            "\xE6\x95\xB0\xE6\x8D\xAE 9000 n\n"                        // 数据
            "\xF0\x9F\x98\x80 3 x\n"                                     // an emoji
            "\xE5\x91 3 x\n"                                               // cut short
            "\n"
            "AT&T 3\n");
  ASSERT_TRUE(loadChineseLexicon(dir + "zh-words.txt"));
  ASSERT_NE(activeChineseLexicon(), nullptr);
  EXPECT_EQ(activeChineseLexicon()->size(), 5u);
  // 数据管理员, 管理员, 员, 管理, AT&T, 数
  const std::vector<std::string> s = {gbkOf("\xE6\x95\xB0\xE6\x8D\xAE\xE7\xAE\xA1\xE7\x90\x86\xE5\x91\x98"),
                                      gbkOf("\xE7\xAE\xA1\xE7\x90\x86\xE5\x91\x98"),
                                      gbkOf("\xE5\x91\x98"),
                                      gbkOf("\xE7\xAE\xA1\xE7\x90\x86"),
                                      "AT&T",
                                      gbkOf("\xE6\x95\xB0")};
  const struct {
    int position;
    const char *tag, *count, *head, *first;
  } cases[] = {{0, "0", "0", "n", "n"},   {1, "n", "3", "ng", "vn"}, {2, "ng", "1", "_", "_"},
               {3, "vn", "4", "0", "0"},  {4, "_", "1", "0", "0"},   {5, "0", "0", "_", "_"}};
  for (const auto& c : cases) {
    EXPECT_EQ(valueAt(s, "x.zhlex[0,0]", c.position), c.tag) << c.position;
    EXPECT_EQ(valueAt(s, "x.zhlexcount[0,0]", c.position), c.count) << c.position;
    EXPECT_EQ(valueAt(s, "x.zhlexhead[0,0]", c.position), c.head) << c.position;
    EXPECT_EQ(valueAt(s, "x.zhlexfirst[0,0]", c.position), c.first) << c.position;
  }
  EXPECT_EQ(valueAt(s, "x.zhlex[1,0]", 5), "-");

  // Faults name the file and the line.
  const struct {
    const char* text;
    const char* message;
  } faults[] = {{"\xE5\x91\x98 7 ng\nword\n", "zh-bad.txt line 2: expected 'word count [tag]'"},
                {"word -3 n\n", "line 1: expected"},
                {"word 3 n extra\n", "line 1: expected"},
                {"\n\n", "no word in"}};
  for (const auto& f : faults) {
    writeFile(dir + "zh-bad.txt", f.text);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loadChineseLexicon(dir + "zh-bad.txt"));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(std::string("Error: Chinese lexicon: ")), std::string::npos) << err;
    EXPECT_NE(err.find(f.message), std::string::npos) << err;
  }
  testing::internal::CaptureStderr();
  EXPECT_FALSE(loadChineseLexicon(dir + "no-such-list.txt"));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot open"), std::string::npos);
}

}  // namespace

namespace {

// key = value lines; '#' starts a comment line.
std::map<std::string, std::string> manifestOf(const std::string& path) {
  std::map<std::string, std::string> keys;
  std::istringstream in(readFile(path));
  std::string line;
  auto trim = [](std::string s) {
    const size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
  };
  while (std::getline(in, line)) {
    if (trim(line).empty() || trim(line)[0] == '#') continue;
    const size_t eq = line.find('=');
    if (eq != std::string::npos) keys[trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
  }
  return keys;
}

// A tagger's manifest names files that exist and the lexicon its template
// set reads, so that loading by manifest brings everything the model needs.
TEST(ShippedManifests, TaggerManifestsNameTheirFilesAndTheLexiconTheirTemplatesRead) {
  const std::string dir = std::string(KORVANE_SOURCE_DIR) + "/models/";
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".manifest") continue;
    const std::map<std::string, std::string> m = manifestOf(entry.path().string());
    if (m.count("kind") == 0 || m.at("kind") != "tagger") continue;
    const std::string name = entry.path().filename().string();
    ASSERT_TRUE(m.count("template") && m.count("dictionary")) << name;
    EXPECT_TRUE(std::ifstream(dir + m.at("dictionary"))) << name;
    std::vector<_ftnind> templates;
    std::vector<int> order;
    int labelOrder = 0;
    std::string path = dir + m.at("template");
    testing::internal::CaptureStderr();
    EXPECT_GT(readTemplateFile3(&path[0], templates, order, labelOrder), 0) << name;
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(m.count("lexicon") ? m.at("lexicon") : "", lexiconOfTemplates(templates)) << name;
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no tagger manifest in " << dir;
}

}  // namespace
