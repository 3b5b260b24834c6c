#include "options/param.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using CRFPP::Option;
using CRFPP::Param;

// The tagger's table.
const Option kOptions[] = {
    {"help", 'h', nullptr, nullptr, "show this help and exit"},
    {"language", 'l', "Chinese", "MODEL", "Choose the language for PoS tagging"},
    {"outputfile", 'o', "NULL", "FILE", "output file for decoding"},
    {nullptr, 0, nullptr, nullptr, nullptr}};

bool parse(Param& p, std::vector<const char*> args) {
  args.insert(args.begin(), "prog");
  return p.open(static_cast<int>(args.size()), args.data(), kOptions);
}

std::string writeFile(const std::string& name, const std::string& text) {
  std::string path = testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TEST(ParamOpen, ValueFormsAllStoreTheValue) {
  const std::vector<std::vector<const char*>> forms = {
      {"--outputfile=out.txt"}, {"--outputfile", "out.txt"}, {"-o", "out.txt"}, {"-oout.txt"}};
  for (const auto& f : forms) {
    Param p;
    EXPECT_TRUE(parse(p, f)) << f[0];
    EXPECT_EQ(p.get<std::string>("outputfile"), "out.txt") << f[0];
    EXPECT_TRUE(p.rest_args().empty()) << f[0];
    EXPECT_EQ(p.what(), "");
  }
}

TEST(ParamOpen, DefaultsAndRestArguments) {
  Param p;
  EXPECT_TRUE(parse(p, {"in1", "-l", "English", "-", "in2"}));
  EXPECT_EQ(p.command_name(), "prog");
  EXPECT_EQ(p.get<std::string>("language"), "English");
  EXPECT_EQ(p.get<std::string>("outputfile"), "NULL");
  EXPECT_EQ(p.get<std::string>("help"), "");
  EXPECT_FALSE(p.get<bool>("help"));
  EXPECT_EQ(p.rest_args(), (std::vector<std::string>{"in1", "in2"}));
}

TEST(ParamOpen, ValueIsNextArgumentWhateverItLooksLike) {
  Param p;
  EXPECT_TRUE(parse(p, {"-o", "-l"}));
  EXPECT_EQ(p.get<std::string>("outputfile"), "-l");
  EXPECT_EQ(p.get<std::string>("language"), "Chinese");
}

TEST(ParamOpen, SyntaxErrorsStopWithExactMessages) {
  struct Case {
    std::vector<const char*> args;
    const char* message;
  };
  const Case cases[] = {
      {{"-o"}, "`-o` requres an argument"},
      {{"--outputfile"}, "`--outputfile` requres an argument"},
      {{"--outputfile="}, "`--outputfile=` requres an argument"},
      {{"--help=1"}, "`--help=1` dosen't allow an argument"},
      {{"-hx"}, "`-hx` dosen't allow an argument"},
      {{"-hl"}, "`-hl` dosen't allow an argument"},
      {{"--lang"}, "unrecognized option `--lang`"},
      {{"--language-x=1"}, "unrecognized option `--language-x=1`"},
      {{"-x"}, "unrecognized option `-x`"},
  };
  for (const auto& c : cases) {
    Param p;
    EXPECT_FALSE(parse(p, c.args)) << c.message;
    EXPECT_EQ(p.what(), c.message);
  }
}

TEST(ParamOpen, ValuesBeforeAnErrorStayAndLaterArgumentsAreNotRead) {
  Param p;
  EXPECT_FALSE(parse(p, {"a", "-o", "x", "--bad", "b", "-l", "English"}));
  EXPECT_EQ(p.get<std::string>("outputfile"), "x");
  EXPECT_EQ(p.get<std::string>("language"), "Chinese");
  EXPECT_EQ(p.rest_args(), (std::vector<std::string>{"a"}));
}

TEST(ParamOpen, ErrorTextAccumulatesAcrossCalls) {
  Param p;
  EXPECT_FALSE(parse(p, {"-x"}));
  EXPECT_FALSE(parse(p, {"-o"}));
  EXPECT_EQ(p.what(), "unrecognized option `-x``-o` requres an argument");
}

TEST(ParamOpen, DoubleDashEndsParsingAndDropsTheRest) {
  for (const char* dd : {"--", "--=x"}) {
    Param p;
    EXPECT_TRUE(parse(p, {"file1", dd, "file2", "-x", "-o", "y"})) << dd;
    EXPECT_EQ(p.rest_args(), (std::vector<std::string>{"file1"}));
    EXPECT_EQ(p.get<std::string>("outputfile"), "NULL");
  }
}

TEST(ParamOpen, FlagStoresOneAndHelpVersionPrintsHelp) {
  Param p;
  EXPECT_TRUE(parse(p, {"--help"}));
  EXPECT_EQ(p.get<std::string>("help"), "1");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(p.help_version());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), p.help());

  Param q;
  EXPECT_TRUE(parse(q, {"x"}));
  testing::internal::CaptureStdout();
  EXPECT_TRUE(q.help_version());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(ParamOpen, VersionFlagPrintsVersionText) {
  const Option withVersion[] = {{"version", 'v', nullptr, nullptr, "show the version and exit"},
                                {nullptr, 0, nullptr, nullptr, nullptr}};
  const char* argv[] = {"prog", "-v"};
  Param p;
  EXPECT_TRUE(p.open(2, argv, withVersion));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(p.help_version());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "1 of 0.44\n");
}

TEST(ParamOpen, NoArgumentsAtAll) {
  Param p;
  EXPECT_TRUE(p.open(0, nullptr, kOptions));
  EXPECT_EQ(p.command_name(), "unknown");
  EXPECT_EQ(p.help(), "");
  EXPECT_EQ(p.get<std::string>("language"), "");  // no defaults either
}

TEST(InitParam, TaggerHelpTextAlignsDescriptionsAtColumn24) {
  std::string help, version;
  CRFPP::init_param(&help, &version, "korvane", kOptions);
  const std::string want = std::string(CRFPP::programBanner()) +
                           "\n"
                           "Usage: korvane [options] files\n"
                           " -h, --help             show this help and exit\n"
                           " -l, --language=MODEL   Choose the language for PoS tagging\n"
                           " -o, --outputfile=FILE  output file for decoding\n"
                           "\n";
  EXPECT_EQ(help, want);
  EXPECT_EQ(version, "1 of 0.44\n");
  // The banner is two lines.
  std::string banner = CRFPP::programBanner();
  EXPECT_EQ(std::count(banner.begin(), banner.end(), '\n'), 2);
  EXPECT_EQ(banner.rfind("Korvane, a part-of-speech tagger for Chinese and English\nVersion 1.00, 2008.06.01, ", 0),
            0u);
}

TEST(InitParam, WidthFollowsTheLongestRow) {
  const Option t[] = {{"a", 'a', nullptr, nullptr, "x"},
                      {"longer", 'b', nullptr, "N", "y"},
                      {nullptr, 0, nullptr, nullptr, nullptr}};
  std::string help, version;
  CRFPP::init_param(&help, &version, "p", t);
  // W = 6+1+1+1 = 9: "a" gets 9, "longer=N" gets 2 blanks.
  EXPECT_NE(help.find("\n -a, --a         x\n -b, --longer=N  y\n\n"), std::string::npos) << help;
}

TEST(ParamOpenLine, SplitsAtWhiteSpace) {
  Param p;
  EXPECT_TRUE(p.open(" in1\t-o\vout \r\n-lEnglish\f in2 ", kOptions));
  EXPECT_EQ(p.command_name(), "1");
  EXPECT_EQ(p.get<std::string>("outputfile"), "out");
  EXPECT_EQ(p.get<std::string>("language"), "English");
  EXPECT_EQ(p.rest_args(), (std::vector<std::string>{"in1", "in2"}));
  Param q;
  EXPECT_TRUE(q.open("", kOptions));
  EXPECT_TRUE(q.rest_args().empty());
  EXPECT_EQ(q.get<std::string>("outputfile"), "NULL");
}

TEST(ParamOpenLine, LongLinesAndManyWordsAreTakenWhole) {
  // Past any fixed work buffer: a 20000-byte value and 200 words.
  std::string big(20000, 'v');
  std::string line;
  for (int i = 0; i < 200; ++i) line += "w" + std::to_string(i) + " ";
  line += "-o " + big + " last";
  Param p;
  EXPECT_TRUE(p.open(line.c_str(), kOptions));
  EXPECT_EQ(p.get<std::string>("outputfile"), big);
  ASSERT_EQ(p.rest_args().size(), 201u);
  EXPECT_EQ(p.rest_args()[199], "w199");
  EXPECT_EQ(p.rest_args()[200], "last");
}

TEST(ParamLoad, KeyAndValueTrimmingAndEarlierValuesWin) {
  std::string path = writeFile("param_load.conf",
                               "# comment\n"
                               ";other comment\n"
                               "\n"
                               "  depth = 3 \n"
                               "outputfile=from-file\n"
                               "name\t=\t a b\r\n"
                               "depth=4\n"
                               "empty =\n"
                               "last = no newline");
  Param p;
  EXPECT_TRUE(parse(p, {"-o", "cmdline"}));
  EXPECT_TRUE(p.load(path.c_str()));
  EXPECT_EQ(p.get<std::string>("  depth"), "3 ");
  EXPECT_EQ(p.get<std::string>("depth"), "4");
  EXPECT_EQ(p.get<std::string>("outputfile"), "cmdline");
  EXPECT_EQ(p.get<std::string>("name"), "a b\r");
  EXPECT_EQ(p.get<std::string>("empty"), "");
  EXPECT_EQ(p.get<std::string>("last"), "no newline");
  EXPECT_EQ(p.what(), "");

  std::ostringstream dump;
  p.dump_config(&dump);
  EXPECT_EQ(dump.str(),
            "  depth: 3 \n"
            "depth: 4\n"
            "empty: \n"
            "language: Chinese\n"
            "last: no newline\n"
            "name: a b\r\n"
            "outputfile: cmdline\n");
}

TEST(ParamLoad, Errors) {
  Param p;
  std::string missing = testing::TempDir() + "no_such_param.conf";
  EXPECT_FALSE(p.load(missing.c_str()));
  EXPECT_EQ(p.what(), "param(70) [ifs] no such file or directory: " + missing);

  std::string path = writeFile("param_bad.conf", "a = 1\nno equals here\nb = 2\n");
  Param q;
  EXPECT_FALSE(q.load(path.c_str()));
  EXPECT_EQ(q.what(), "param(78) [pos != std::string::npos] format error: no equals here");
  EXPECT_EQ(q.get<std::string>("a"), "1");
  EXPECT_EQ(q.get<std::string>("b"), "");
}

TEST(Param, SetGetAndClear) {
  Param p;
  EXPECT_TRUE(parse(p, {"in"}));
  p.set("k", std::string("v1"), false);
  p.set("k", std::string("v2"), false);
  EXPECT_EQ(p.get<std::string>("k"), "v1");
  p.set("k", std::string(" v 3 "), true);
  EXPECT_EQ(p.get<std::string>("k"), " v 3 ");
  p.clear();
  EXPECT_EQ(p.get<std::string>("k"), "");
  EXPECT_TRUE(p.rest_args().empty());
  EXPECT_EQ(p.command_name(), "prog");
  EXPECT_FALSE(p.help().empty());
}

TEST(LexicalCast, BooleanAcceptsOnlyZeroOrOneWithWhiteSpace) {
  struct Case {
    const char* text;
    bool want;
  };
  const Case cases[] = {{"1", true},     {" 1 ", true},  {"\t1\n", true}, {"0", false},
                        {"true", false}, {"yes", false}, {"2", false},    {"1x", false},
                        {"", false},     {"1 1", false}, {" ", false},    {"-1", false}};
  for (const auto& c : cases) {
    EXPECT_EQ((CRFPP::lexical_cast<bool, std::string>(c.text)), c.want) << "'" << c.text << "'";
  }
}

TEST(LexicalCast, TextFromInt) {
  EXPECT_EQ((CRFPP::lexical_cast<std::string, int>(1)), "1");
  EXPECT_EQ((CRFPP::lexical_cast<std::string, int>(-42)), "-42");
}

}  // namespace
