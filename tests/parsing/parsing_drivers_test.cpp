#include "parsing/parsing_drivers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "templates/template_reader.h"
#include "test_files.h"

namespace {

std::string tempPath(const std::string& name) { return testing::TempDir() + "parsing_drivers_" + name; }

// Features name the state: the token below the stack top, the stack top and
// the next input ("_X0" where the stack has no such entry).
const char kStateTemplate[] = "U01:%S-1[0,0]%S0[0,0]%x[0,0]\n";

typedef int (*Driver)(char*, char*, char*, char*);

struct DriverRun {
  int result;
  std::string output;
  std::string messages;
};

DriverRun runDriver(Driver driver, const std::string& name, const std::string& model, const std::string& input,
                    const std::string& templates = kStateTemplate) {
  const std::string t = tempPath(name + ".tpl"), m = tempPath(name + ".model"), in = tempPath(name + ".in"),
                    out = tempPath(name + ".out");
  writeFile(t, templates);
  writeFile(m, model);
  writeFile(in, input);
  std::remove(out.c_str());
  DriverRun r;
  testing::internal::CaptureStderr();
  r.result = driver(const_cast<char*>(t.c_str()), const_cast<char*>(m.c_str()), const_cast<char*>(in.c_str()),
                    const_cast<char*>(out.c_str()));
  r.messages = testing::internal::GetCapturedStderr();
  r.output = readFile(out);
  return r;
}

const char kThreeWords[] = "He x\neats x\nfish x\n\n";

TEST(ParsingDrivers, LeftToRightAppliesThePredictedActions) {
  // The first state predicts a left arc, the empty stack a shift, then a right arc.
  const std::string model =
      "\nU01\n_X0/He/eats 2:SBJ 10.000000\n_X0/_X0/eats 0 10.000000\n_X0/eats/fish 3:OBJ 10.000000\nzz 1 1.000000";
  const DriverRun r = runDriver(ME_TestPNivre2Ext, "ltr", model, kThreeWords);
  EXPECT_EQ(r.result, 1) << r.messages;
  EXPECT_EQ(r.output, "He x 2 SBJ\neats x 0 ROOT\nfish x 2 OBJ\n\n");
  EXPECT_NE(r.messages.find("#TagNum=4\n"), std::string::npos);
  EXPECT_NE(r.messages.find("#line=4\r"), std::string::npos) << r.messages;
  EXPECT_FALSE(_trainFlag);
}

TEST(ParsingDrivers, ArcOnEmptyStackIsReplacedByTheBestShift) {
  // Without a known feature the uniform choice is label 0, a left arc; on the
  // empty stack the shift takes its place.
  const std::string model = "\nU01\n_X0/He/eats 2:SBJ 10.000000\n_X0/eats/fish 3:OBJ 10.000000\nzz 0 1.000000";
  const DriverRun r = runDriver(ME_TestPNivre2Ext, "replace", model, kThreeWords);
  EXPECT_EQ(r.result, 1) << r.messages;
  EXPECT_EQ(r.output, "He x 2 SBJ\neats x 0 ROOT\nfish x 2 OBJ\n\n");
}

TEST(ParsingDrivers, ActionsThatChangeNothingStillEnd) {
  struct Case {
    const char* name;
    const char* model;
    const char* output;
  };
  const Case cases[] = {
      // A reduce is the best label everywhere, also on the empty stack.
      {"reduce", "\nU01\nzz 1 1.000000 0 1.000000", "He x 0 ROOT\neats x 0 ROOT\nfish x 0 ROOT\n\n"},
      // Every label is an arc action: nothing may follow the first left arc.
      {"arcs only", "\nU01\nzz 2:A 1.000000 3:B 1.000000", "He x 2 A\neats x 0 ROOT\nfish x 0 ROOT\n\n"},
      // No label names an action at all.
      {"no action", "\nU01\nzz X 1.000000 9:Y 1.000000", "He x 0 ROOT\neats x 0 ROOT\nfish x 0 ROOT\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (Driver driver : {ME_TestPNivre2Ext, ME_TestPNivre2ExtInverse}) {
      const DriverRun r = runDriver(driver, "stall", c.model, kThreeWords);
      EXPECT_EQ(r.result, 1) << r.messages;
      if (driver == ME_TestPNivre2Ext) {
        EXPECT_EQ(r.output, c.output);
      }
    }
  }
}

TEST(ParsingDrivers, RightToLeftStartsWithTheLastToken) {
  // Two rows: the stack is [1] and the next input 0; one right arc ends the parse.
  const DriverRun r = runDriver(ME_TestPNivre2ExtInverse, "rtl", "\nU01\n_X0/b/a 3:R 10.000000\nzz 0 1.000000",
                                "a x\nb x\n\n");
  EXPECT_EQ(r.result, 1) << r.messages;
  EXPECT_EQ(r.output, "a x 2 R\nb x 0 ROOT\n\n");
  EXPECT_NE(r.messages.find("#line=3\r"), std::string::npos);
}

TEST(ParsingDrivers, OneRowSentencesAreRoots) {
  for (Driver driver : {ME_TestPNivre2Ext, ME_TestPNivre2ExtInverse, ME_TestPNivre2ExtV2}) {
    const DriverRun r = runDriver(driver, "single", "\nU01\nzz 2:A 1.000000", "only  one\tword\n\n\nnext\n\n");
    EXPECT_EQ(r.result, 1) << r.messages;
    EXPECT_EQ(r.output, "only one word 0 ROOT\n\nnext 0 ROOT\n\n");
  }
}

TEST(ParsingDrivers, LongLinesAreKeptWhole) {
  const std::string word(70000, 'w');
  const DriverRun r = runDriver(ME_TestPNivre2Ext, "long", "\nU01\nzz 0 1.000000", word + "\t" + word + "\n\n");
  EXPECT_EQ(r.output, word + " " + word + " 0 ROOT\n\n");
}

TEST(ParsingDrivers, LastSentenceWithoutEmptyLineIsNotWritten) {
  const DriverRun r = runDriver(ME_TestPNivre2Ext, "tail", "\nU01\nzz 0 1.000000", "a\n\nb\n \t \nc\nd");
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.output, "a 0 ROOT\n\nb 0 ROOT\n\n");
  EXPECT_NE(r.messages.find("line 5: the last sentence"), std::string::npos) << r.messages;
}

TEST(ParsingDrivers, ProgressLineCountsEmptyLines) {
  std::string input;
  for (int i = 0; i < 3000; ++i) input += "w\n\n";  // line 6000 is the empty line after a row
  DriverRun r = runDriver(ME_TestPNivre2Ext, "progress", "\nU01\nzz 0 1.000000", input);
  EXPECT_NE(r.messages.find("#line=6000,#seq=2999\r"), std::string::npos);
  r = runDriver(ME_TestPNivre2ExtV2, "progress", "\nU01\nzz 0 1.000000", input);
  EXPECT_NE(r.messages.find("#line=6000,#seq=2999,#mulroot=0,#mulrootcounter=0\r"), std::string::npos);
  EXPECT_NE(r.messages.find("#line=6000,#seq=3000,#mulroot=0,#mulrootcounter=0\n"), std::string::npos);
  r = runDriver(ME_TestPNivre2Ext, "progress", "\nU01\nzz 0 1.000000", "\n" + input);
  EXPECT_EQ(r.messages.find("#line=6000,"), std::string::npos);
}

TEST(ParsingDrivers, NarrowRowsAndFarColumnsAreSafe) {
  // Navigation steps make the left-to-right drivers read the predicate columns
  // too; the rows hold far fewer columns than the templates and the readers address.
  const std::string templates =
      "U01:%S-1[0,0]%S0[0,0]%x[0,0]\nU02:%x[0,12]%S0.head[0,9]\nU03:%x.dprel[1,3]\nU04:%x-1:1[0,14]\n";
  const std::string input = "a\nb p\nc d e f g h i j k l m\n\n";
  for (Driver driver : {ME_TestPNivre2Ext, ME_TestPNivre2ExtInverse, ME_TestPNivre2ExtV2}) {
    const DriverRun r = runDriver(driver, "narrow", "\nU01\nzz 0 1.000000 2:A 0.500000 3:B 0.500000", input, templates);
    EXPECT_EQ(r.result, 1) << r.messages;
    EXPECT_EQ(r.output.substr(0, 2), "a ");
    EXPECT_EQ(r.output.back(), '\n');
  }
}

TEST(RootRepair, HeadsComeFromTheFinalStackAndItsBottomBecomesRoot) {
  // Parse: left arc a<-b, shift b, reduce b, shift c: the final stack is [c] and
  // b has no head. Its only candidate is c; the reduce predicted there is no left
  // arc, so the best left-arc label gives b its head. c has no candidate and
  // becomes the root as the bottom of the final stack.
  const std::string model =
      "\nU01\n_X0/a/b 2:SBJ 10.000000\n_X0/_X0/b 0 10.000000\n_X0/b/c 1 10.000000\n_X0/_X0/c 0 10.000000";
  const DriverRun r = runDriver(ME_TestPNivre2ExtV2, "repair", model, "a\nb\nc\n\n");
  EXPECT_EQ(r.result, 1) << r.messages;
  EXPECT_EQ(r.output, "a 2 SBJ\nb 3 SBJ\nc 0 ROOT\n\n");
  EXPECT_NE(r.messages.find("#line=4,#seq=1,#mulroot=1,#mulrootcounter=1\n"), std::string::npos) << r.messages;
}

TEST(RootRepair, PredictedArcsWinOverTheBestOfTheirKind) {
  // Final stack [a, b, c], all shifted. b: at (stack [b], next c) the predicted
  // left arc L goes to list A and wins. c: its candidate b would close the cycle
  // b -> c -> b, so a, whose best right arc R comes from list B, is taken.
  const std::string model =
      "\nU01\n_X0/a/b 0 10.000000\na/b/c 0 10.000000\n_X0/b/c 2:L 10.000000 3:R 9.900000\nzz 1 1.000000";
  const DriverRun r = runDriver(ME_TestPNivre2ExtV2, "lists", model, "a\nb\nc\n\n");
  EXPECT_EQ(r.result, 1) << r.messages;
  EXPECT_EQ(r.output, "a 0 ROOT\nb 3 L\nc 1 R\n\n");
  EXPECT_NE(r.messages.find("#mulroot=1,#mulrootcounter=2\n"), std::string::npos) << r.messages;
}

TEST(RootRepair, CandidatesThatCloseACycleAreSkipped) {
  // Only arc labels: left arc He<-eats, then nothing applies and the final stack is
  // empty, so every token is a candidate. eats takes fish (list A); fish's candidates
  // He and eats both lead back to fish, so fish keeps no head and is written as a root.
  const DriverRun r = runDriver(ME_TestPNivre2ExtV2, "cycle", "\nU01\nzz 2:A 1.000000 3:B 1.000000", kThreeWords);
  EXPECT_EQ(r.result, 1) << r.messages;
  EXPECT_EQ(r.output, "He x 2 A\neats x 3 A\nfish x 0 ROOT\n\n");
}

TEST(RootRepair, NoArcLabelsLeaveUnattachedTokensAsRoots) {
  const DriverRun r = runDriver(ME_TestPNivre2ExtV2, "noarcs", "\nU01\nzz 1 1.000000 0 1.000000", kThreeWords);
  EXPECT_EQ(r.result, 1) << r.messages;
  EXPECT_EQ(r.output, "He x 0 ROOT\neats x 0 ROOT\nfish x 0 ROOT\n\n");
  EXPECT_NE(r.messages.find("#mulroot=1,#mulrootcounter=2\n"), std::string::npos) << r.messages;
}

TEST(ParsingDrivers, FailuresReturnMinusOneWithAMessage) {
  const std::string model = "\nU01\nzz 0 1.000000";
  const std::string t = tempPath("f.tpl"), m = tempPath("f.model"), in = tempPath("f.in"), out = tempPath("f.out");
  writeFile(t, kStateTemplate);
  writeFile(m, model);
  writeFile(in, kThreeWords);
  const std::string emptyModel = tempPath("empty.model"), dupTemplates = tempPath("dup.tpl");
  writeFile(emptyModel, "");
  writeFile(dupTemplates, "U01:%x[0,0]\nU01:%x[1,0]\n");
  const std::string dir = tempPath("adir");
  mkdir(dir.c_str(), 0755);
  struct Case {
    std::string templates, model, input, output;
    const char* message;
  };
  const Case cases[] = {
      {"/nonexistent/t", m, in, out, "Error: open file /nonexistent/t.\n"},
      {t, m, "/nonexistent/in", out, "Error: open file /nonexistent/in.\n"},
      {t, "/nonexistent/m", in, out, "Error: open file /nonexistent/m.\n"},
      {t, emptyModel, in, out, "holds no labels"},
      {dupTemplates, m, in, out, "names a template twice"},
      {t, m, in, "/nonexistent/dir/out", "Error: open /nonexistent/dir/out for writing.\n"},
      // A directory passes the probe but cannot be read.
      {t, m, dir, out, "Error: read "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    for (Driver driver : {ME_TestPNivre2Ext, ME_TestPNivre2ExtInverse, ME_TestPNivre2ExtV2}) {
      testing::internal::CaptureStderr();
      const int result = driver(const_cast<char*>(c.templates.c_str()), const_cast<char*>(c.model.c_str()),
                                const_cast<char*>(c.input.c_str()), const_cast<char*>(c.output.c_str()));
      const std::string messages = testing::internal::GetCapturedStderr();
      EXPECT_EQ(result, -1);
      EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
    }
  }
}

TEST(ApplicableAction, KeepsWhatCanChangeTheStateElseTheBestThatCan) {
  const std::vector<std::string> tags = {"2:A", "1", "0", "3:B", "0x", "Q"};
  const std::vector<double> probs = {0.4, 0.3, 0.1, 0.05, 0.1, 0.05};
  EXPECT_EQ(applicableAction("2:A", probs, tags, false), "2:A");
  EXPECT_EQ(applicableAction("1", probs, tags, false), "1");
  EXPECT_EQ(applicableAction("2:A", probs, tags, true), "0");  // ties: the first wins
  EXPECT_EQ(applicableAction("1", probs, tags, true), "0");
  EXPECT_EQ(applicableAction("Q", probs, tags, false), "2:A");
  EXPECT_EQ(applicableAction("", probs, tags, true), "0");
  const std::vector<std::string> arcsOnly = {"2:A", "3:B"};
  EXPECT_EQ(applicableAction("2:A", {0.5, 0.5}, arcsOnly, true), "");
  EXPECT_EQ(applicableAction("2:A", {}, {}, true), "");
}

class SampleGeneration : public testing::Test {
 protected:
  void SetUp() override {
    const std::string t = tempPath("gen.tpl");
    writeFile(t, std::string(kStateTemplate) + "B\n");
    int labelOrder = 0;
    testing::internal::CaptureStderr();
    const int count = readTemplateFile3(const_cast<char*>(t.c_str()), templates, order, labelOrder);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(count, 2);
    rows = {{"a", "x"}, {"b", "x"}, {"c", "x"}};
    arcs.assign(3, _dppair{kNoHeadYet, "_x"});
  }
  std::vector<_ftnind> templates;
  std::vector<int> order;
  TokenTable rows;
  std::vector<_dppair> arcs;
  std::vector<int> stack;
  std::vector<std::vector<_dppair>> arguments;
  std::vector<int> predicates;
  std::vector<_hisstruc> history;
  ME_Sample sample;
  ME_Model model;
};

TEST_F(SampleGeneration, AddsOneInstanceAndAppliesTheAction) {
  stack = {0};
  int next = 1;
  std::string action = "2:SBJ";
  testing::internal::CaptureStderr();
  EXPECT_EQ(NivreSampleGenExt(action, sample, model, templates, order, rows, stack, next, arcs, arguments,
                              predicates, history),
            1);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(sample.label_str, "2:SBJ");
  EXPECT_EQ(sample.feature_strs, std::vector<std::string>{"U01:_X0/a/b"});  // only U templates
  ASSERT_EQ(model.training_samples.size(), 1u);
  EXPECT_EQ(arcs[0].head, 1);
  EXPECT_TRUE(stack.empty());
  ASSERT_EQ(history.size(), 1u);

  action = "0";
  EXPECT_EQ(NivreSampleGenExt(action, sample, model, templates, order, rows, stack, next, arcs, arguments,
                              predicates, history),
            1);
  EXPECT_EQ(sample.feature_strs, std::vector<std::string>{"U01:_X0/_X0/b"});
  EXPECT_EQ(stack, std::vector<int>{1});
  EXPECT_EQ(next, 2);
  EXPECT_EQ(model.training_samples.size(), 2u);
}

TEST_F(SampleGeneration, RightToLeftMovesTheInputDown) {
  stack = {2};
  int next = 1;
  std::string action = "3:R";
  EXPECT_EQ(NivreSampleGenExtInverse(action, sample, model, templates, order, rows, stack, next, arcs, arguments,
                                     predicates, history),
            1);
  EXPECT_EQ(sample.feature_strs, std::vector<std::string>{"U01:_X0/c/b"});
  EXPECT_EQ(arcs[1].head, 2);
  EXPECT_EQ(stack, (std::vector<int>{2, 1}));
  EXPECT_EQ(next, 0);
}

TEST_F(SampleGeneration, ColumnCheckAlwaysApplies) {
  _trainFlag = false;
  rows = {{"a"}, {"b"}, {"c"}};  // column 0 is the last column: out of range
  stack = {0};
  int next = 1;
  std::string action = "0";
  testing::internal::CaptureStderr();
  EXPECT_EQ(NivreSampleGenExt(action, sample, model, templates, order, rows, stack, next, arcs, arguments,
                              predicates, history),
            -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: x pointer in template file is longer than column number of crf file.\n");
  EXPECT_TRUE(model.training_samples.empty());
  EXPECT_EQ(next, 1);
  TokenTable none;
  testing::internal::CaptureStderr();
  EXPECT_EQ(NivreSampleGenExtInverse(action, sample, model, templates, order, none, stack, next, arcs, arguments,
                                     predicates, history),
            -1);
  testing::internal::GetCapturedStderr();
}

}  // namespace

TEST(BeamSearch, AWiderBeamFindsTheMoreProbableParse) {
  // The first step prefers a right arc a->b (0.39) to a shift (0.32), but
  // after the arc nothing is likely (0.25 each), while after the shift a left
  // arc b<-c and then a right arc a->c are near certain (0.98 each): the
  // shift's sequence is the more probable one, which only a beam of two finds.
  // Summed raw scores (the global driver) rank the arc's sequence first:
  // after the arc every action scores 10, 1 + 10 against 0.8 + 5 + 5.
  const std::string templates = "U01:%S-1[0,0]%S0[0,0]%x[0,0]\nU02:%S-1[0,0]%S0.dprel[0,0]%x[0,0]\n";
  const std::string model =
      "\nU01\n_X0/a/b 3:R 1.000000 0 0.800000\n_X0/a/c 3:R 5.000000\nzz 1 0.000001 2:L 0.000001\n"
      "\nU02\na/R/c 0 10.000000 1 10.000000 2:L 10.000000 3:R 10.000000\na/_x/c 2:L 5.000000\n";
  struct Case {
    const char* driver;
    int width;
    const char* output;
  } cases[] = {{"beam", 1, "a 0 ROOT\nb 1 R\n"},
               {"beam", 2, "a 0 ROOT\nb 3 L\nc 1 R\n\n"},
               {"beam", 8, "a 0 ROOT\nb 3 L\nc 1 R\n\n"},
               {"global", 2, "a 0 ROOT\nb 1 R\nc 2 R\n\n"}};
  for (const Case& c : cases) {
    const std::string t = tempPath("beam.tpl"), m = tempPath("beam.model"), in = tempPath("beam.in"),
                      out = tempPath("beam.out");
    writeFile(t, templates);
    writeFile(m, model);
    writeFile(in, "a\nb\nc\n\n");
    testing::internal::CaptureStderr();
    const int result = parseDependencyFile(const_cast<char*>(t.c_str()), const_cast<char*>(m.c_str()),
                                           const_cast<char*>(in.c_str()), const_cast<char*>(out.c_str()), c.driver,
                                           c.width, 1);
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 1) << messages;
    EXPECT_EQ(readFile(out).substr(0, std::string(c.output).size()), c.output) << c.driver << " " << c.width;
  }
  // The in-memory parser with the beam driver finds it as well.
  {
    const std::string t = tempPath("beam.tpl"), m = tempPath("beam.model");
    SentenceParser parser;
    std::string error;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(parser.load(t, m, "beam", error)) << error;
    testing::internal::GetCapturedStderr();
    TokenTable rows = {{"a"}, {"b"}, {"c"}};
    std::vector<_dppair> arcs;
    ASSERT_TRUE(parser.parse(rows, arcs));
    ASSERT_EQ(arcs.size(), 3u);
    EXPECT_EQ(arcs[1].head, 2);
    EXPECT_EQ(arcs[2].head, 0);
    EXPECT_FALSE(parser.load(t, m, "sideways", error));
  }
  // The greedy driver takes the arc too.
  const DriverRun greedy = runDriver(ME_TestPNivre2Ext, "beam-greedy", model, "a\nb\nc\n\n", templates);
  EXPECT_EQ(greedy.output.substr(0, 15), "a 0 ROOT\nb 1 R\n");
}

TEST(ParseDependencyFile, ThreadsWriteTheSameFileInInputOrder) {
  const std::string t = tempPath("threads.tpl"), m = tempPath("threads.model"), in = tempPath("threads.in");
  writeFile(t, kStateTemplate);
  writeFile(m, "\nU01\n_X0/a/b 3:R 2.000000 0 1.000000\na/b/c 1 3.000000\n_X0/a/c 3:L 1.000000\nzz 2:S 0.5");
  std::string input;
  const char* sentences[] = {"a\nb\nc\n\n", "a\n\n", "b\na\n\n", "a\nb\n\n", "c\nb\na\nb\n\n"};
  for (int i = 0; i < 700; ++i) input += sentences[i % 5];
  writeFile(in, input + "a\nb");  // the last sentence lacks its empty line
  for (const char* driver : {"ltr", "rtl", "repair", "beam", "global"}) {
    std::string outputs[2], messages[2];
    for (int k = 0; k < 2; ++k) {
      const std::string out = tempPath(std::string("threads.out") + std::to_string(k));
      testing::internal::CaptureStderr();
      EXPECT_EQ(parseDependencyFile(const_cast<char*>(t.c_str()), const_cast<char*>(m.c_str()),
                                    const_cast<char*>(in.c_str()), const_cast<char*>(out.c_str()), driver, 2,
                                    k == 0 ? 1 : 3),
                1);
      messages[k] = testing::internal::GetCapturedStderr();
      outputs[k] = readFile(out);
    }
    EXPECT_EQ(outputs[0], outputs[1]) << driver;
    EXPECT_GT(outputs[0].size(), 5000u);
    for (const std::string& m : messages)
      EXPECT_NE(m.find("line 2381: the last sentence has no empty line"), std::string::npos) << m;
  }
}
