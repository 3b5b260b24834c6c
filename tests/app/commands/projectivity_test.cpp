#include "kit_test_util.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string tempPath(const std::string& name) { return testing::TempDir() + "projectivity_commands_" + name; }

using Outcome = CommandOutcome;

Outcome run(std::vector<std::string> args) { return runKit(args); }

const char kTree[] =
    "1 a a X X a a X 3 x _\n2 b b X X b b X 3 x _\n3 c c X X c c X 0 root _\n4 d d X X d d X 1 x _\n\n";

TEST(KitProjectivize, ReportsCounts) {
  const std::string in = tempPath("in"), out = tempPath("out");
  std::ofstream(in, std::ios::binary) << kTree;
  const Outcome o = run({"projectivize", in, out});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("sentences: 1\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("non-projective: 1\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("written: 1\n"), std::string::npos) << o.out;
}

TEST(KitProjectivize, MisuseAndFailure) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {{"projectivize", "a"}, 2, "korvane-kit projectivize: error: missing OUTPUT"},
      {{"projectivize", "a", "b", "c"}, 2, "korvane-kit projectivize: error: unexpected argument 'c'"},
      {{"projectivize", "-x", "a", "b"}, 2, "korvane-kit projectivize: error: unknown option -x"},
      {{"projectivize", "/nonexistent/in", tempPath("x")}, 1, "Error: cannot read /nonexistent/in"},
  };
  for (const Case& c : cases) {
    const Outcome o = run(c.args);
    EXPECT_EQ(o.status, c.status);
    EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
  }
}

TEST(KitDeprojectivize, ChoosesTheEncoding) {
  const std::string in = tempPath("lifted"), out = tempPath("decoded");
  std::ofstream(in, std::ios::binary) << "1 a a X X a a X 3 r|m _\n2 b b X X b b X 3 |m _\n3 c c X X c c X 0 root _\n\n";
  for (const char* encoding : {"2", "3"}) {
    const Outcome o = run({"deprojectivize", "-e", encoding, in, out});
    EXPECT_EQ(o.status, 0) << o.err;
    std::ifstream result(out, std::ios::binary);
    std::stringstream s;
    s << result.rdbuf();
    EXPECT_EQ(s.str().substr(0, 24), "1 a a X X a a X 2 r _\n2 ");
  }
  EXPECT_EQ(run({"deprojectivize", "--lifting=3", in, out}).status, 0);

  struct Case {
    std::vector<std::string> args;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {{"deprojectivize", "-e", "4", in, out}, 2, "--lifting takes 2 or 3, not '4'"},
      {{"deprojectivize", in, out, "-e"}, 2, "option --lifting needs a value"},
      {{"deprojectivize", in}, 2, "missing OUTPUT"},
      {{"deprojectivize", in, "/nonexistent/dir/out"}, 1, "Error: cannot write /nonexistent/dir/out: the folder"},
  };
  for (const Case& c : cases) {
    const Outcome o = run(c.args);
    EXPECT_EQ(o.status, c.status);
    EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
  }
}

}  // namespace
