#include "kit_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string tempPath(const std::string& name) { return testing::TempDir() + "parsing_commands_" + name; }

using Outcome = CommandOutcome;

Outcome kit(std::vector<std::string> args) { return runKit(args); }

class KitParse : public testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(templates, std::ios::binary) << "U01:%S0[0,0]%x[0,0]\n";
    // Left to right the first state is (a, b), right to left (b, a).
    std::ofstream(model, std::ios::binary) << "\nU01\na/b 3:R 10.000000\nb/a 2:L 10.000000\nzz 0 1.000000";
    std::ofstream(input, std::ios::binary) << "a\nb\n\n";
  }
  std::string read() {
    std::ifstream in(output, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  const std::string templates = tempPath("tpl"), model = tempPath("model"), input = tempPath("in"),
                    output = tempPath("out");
};

TEST_F(KitParse, EachDriver) {
  struct Case {
    std::vector<std::string> driverArgs;
    const char* want;
  };
  const Case cases[] = {
      {{}, "a 0 ROOT\nb 1 R\n\n"},
      {{"--driver", "ltr"}, "a 0 ROOT\nb 1 R\n\n"},
      {{"--driver=repair"}, "a 0 ROOT\nb 1 R\n\n"},
      {{"--driver", "rtl"}, "a 0 ROOT\nb 1 L\n\n"},
      {{"--driver", "beam"}, "a 0 ROOT\nb 1 R\n\n"},
      {{"--driver", "beam-rtl", "--beam-width", "2"}, "a 0 ROOT\nb 1 L\n\n"},
      {{"--driver", "global"}, "a 0 ROOT\nb 1 R\n\n"},
      {{"--driver", "global-rtl"}, "a 0 ROOT\nb 1 L\n\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"parse", "-m", model, "--template", templates};
    args.insert(args.end(), c.driverArgs.begin(), c.driverArgs.end());
    args.push_back(input);
    args.push_back(output);
    const Outcome o = kit(args);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(read(), c.want);
  }
}

// Without -m the shipped parser is used: the right-to-left one when the
// driver reads right to left, the globally trained one for the global
// driver, so that no driver warns about its model.
TEST_F(KitParse, ShippedModelFollowsTheDriversDirection) {
  const std::string folder = testing::TempDir() + "parsing_commands_models";
  ASSERT_EQ(system(("rm -rf '" + folder + "' && mkdir '" + folder + "'").c_str()), 0);
  for (const std::string kind : {"", "-rtl", "-global"}) {
    const std::string name = folder + "/english-parser" + kind;
    std::ofstream(name + ".model", std::ios::binary) << "\nU01\na/b 3:R 10.000000\nb/a 2:L 10.000000\nzz 0 1.000000";
    const char* direction = kind == "-rtl" ? "rtl" : "ltr";
    std::ofstream(name + ".manifest", std::ios::binary)
        << "kind = parser\ndirection = " << direction << "\ndriver = " << (kind == "-global" ? "global" : direction)
        << "\noracle = " << (kind == "-global" ? "global" : "static") << "\n";
  }
  setenv("KORVANE_MODELS", folder.c_str(), 1);
  struct Case {
    std::vector<std::string> driverArgs;
    const char* model;
    const char* want;
  };
  const Case cases[] = {
      {{}, "/english-parser.model", "a 0 ROOT\nb 1 R\n\n"},
      {{"--driver", "rtl"}, "/english-parser-rtl.model", "a 0 ROOT\nb 1 L\n\n"},
      {{"--driver", "beam-rtl"}, "/english-parser-rtl.model", "a 0 ROOT\nb 1 L\n\n"},
      {{"--driver", "beam"}, "/english-parser.model", "a 0 ROOT\nb 1 R\n\n"},
      {{"--driver", "global"}, "/english-parser-global.model", "a 0 ROOT\nb 1 R\n\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"parse", "-v", "-t", templates};
    args.insert(args.end(), c.driverArgs.begin(), c.driverArgs.end());
    args.push_back(input);
    args.push_back(output);
    const Outcome o = kit(args);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.err.find("model " + folder + c.model + ","), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("Warning"), std::string::npos) << o.err;
    EXPECT_EQ(read(), c.want);
  }
  // A driver that does not suit the model's training is warned about.
  const Outcome o = kit({"parse", "-t", templates, "-m", folder + "/english-parser-global.model", "--driver", "beam",
                         input, output});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.err.find("Warning: the beam driver reads action probabilities, but " + folder +
                       "/english-parser-global.model was trained as a whole for the global drivers"),
            std::string::npos)
      << o.err;
  unsetenv("KORVANE_MODELS");
}

// A CoNLL-U input comes back as CoNLL-U: HEAD, DEPREL and DEPS of the words
// replaced, the comment, the range, the empty node and the other columns as
// they were; a malformed sentence is reported, left out, and fails the run.
TEST_F(KitParse, ConlluInputComesBackAsConllu) {
  std::ofstream(templates, std::ios::binary) << "U01:%S0[0,1]%x[0,1]\n";
  const std::string conllu = tempPath("in.conllu");
  std::ofstream(conllu, std::ios::binary) << "# sent_id = 1\n1-2\tab\t_\t_\t_\t_\t_\t_\t_\t_\n"
                                          << "1\ta\ta\tX\tX\t_\t_\t_\t_\t_\n1.1\tz\tz\tX\tX\t_\t_\t_\t1:x\t_\n"
                                          << "2\tb\tb\tX\tX\tF=1\t_\t_\t_\tSpaceAfter=No\n\n";
  Outcome o = kit({"parse", "-m", model, "-t", templates, conllu, output});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(read(), "# sent_id = 1\n1-2\tab\t_\t_\t_\t_\t_\t_\t_\t_\n1\ta\ta\tX\tX\t_\t0\troot\t_\t_\n"
                    "1.1\tz\tz\tX\tX\t_\t_\t_\t1:x\t_\n2\tb\tb\tX\tX\tF=1\t1\tR\t_\tSpaceAfter=No\n\n");
  std::ofstream(conllu, std::ios::app | std::ios::binary) << "1\tb\n\n1\ta\ta\tX\tX\t_\t_\t_\t_\t_\n\n";
  o = kit({"parse", "-m", model, "-t", templates, conllu, output});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("line 7: expected at least 10 tab-separated columns, found 2; sentence left out."),
            std::string::npos)
      << o.err;
  EXPECT_NE(o.err.find("Error: 1 malformed sentence of " + conllu + " left out."), std::string::npos) << o.err;
  EXPECT_NE(read().find("\n1\ta\ta\tX\tX\t_\t0\troot\t_\t_\n\n"), std::string::npos) << read();
}

// An ensemble: both members attach b to a, the left-to-right one as R, the
// right-to-left one as L; the relation with more weight wins. Each member
// reads the template its manifest names.
TEST_F(KitParse, VoteDriverCombinesItsMembers) {
  std::ofstream(model + ".manifest", std::ios::binary) << "kind = parser\ntemplate = " << templates << "\n";
  const std::string ensemble = tempPath("vote.ensemble");
  for (const char* weights : {"1 2", "2 1"}) {
    std::istringstream w(weights);
    std::string ltr, rtl;
    w >> ltr >> rtl;
    std::ofstream(ensemble, std::ios::binary) << "# two readings\n" << model << " ltr " << ltr << "\n"
                                              << model << " beam-rtl " << rtl << "\n";
    const Outcome o = kit({"parse", "--driver", "vote", "-m", ensemble, input, output});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(read(), ltr == "2" ? "a 0 ROOT\nb 1 R\n\n" : "a 0 ROOT\nb 1 L\n\n") << weights;
  }
  std::ofstream(ensemble, std::ios::binary) << model << " sideways 1\n";
  const Outcome o = kit({"parse", "--driver", "vote", "-m", ensemble, input, output});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Error: " + ensemble + " line 1: unknown driver.\n");
}

TEST_F(KitParse, MisuseAndFailure) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{"parse", "-m", std::string(KORVANE_SOURCE_DIR) + "/models/english.model", input, output}, 1,
       "Error: " + std::string(KORVANE_SOURCE_DIR) + "/models/english.model is a tagger model (" +
           std::string(KORVANE_SOURCE_DIR) + "/models/english.manifest); parse needs a parser model."},
      {{"parse", "-m", model, "-t", templates, input}, 2, "missing OUTPUT"},
      {{"parse", "-m", model, "-t", templates, "--driver", "up", input, output}, 2,
       "--driver takes ltr, rtl, repair, beam, beam-rtl, global, global-rtl or vote, not 'up'"},
      {{"parse", "-m", model, "-t", templates, input, output, "--driver"}, 2, "option --driver needs a value"},
      {{"parse", "--bogus", "-m", model, "-t", templates, input, output}, 2, "unknown option --bogus"},
      {{"parse", "-m", "/nonexistent/m", "-t", templates, input, output}, 1,
       "Error: cannot read /nonexistent/m: No such file or directory."},
      {{"parse", "-m", model, "-t", templates, input, "/nonexistent/dir/o"}, 1,
       "Error: cannot write /nonexistent/dir/o: the folder /nonexistent/dir does not exist."},
  };
  for (const Case& c : cases) {
    const Outcome o = kit(c.args);
    EXPECT_EQ(o.status, c.status) << c.message;
    EXPECT_EQ(o.err, c.status == 2 ? kitUsageError("parse", c.message) : c.message + std::string("\n"));
  }
}

}  // namespace
