#include "kit_test_util.h"

#include <gtest/gtest.h>

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
       "--driver takes ltr, rtl or repair, not 'up'"},
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
