#include "app/command_line.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "commands/kit_test_util.h"

namespace {

// Every command: --help and --version on stdout with status 0, an unknown
// option and a missing argument as one-line usage errors with status 2.
TEST(KitCommandLine, EveryCommandHelpsReportsItsVersionAndRefusesMisuse) {
  ASSERT_GE(kitCommands().size(), 13u);
  for (const KitCommand& c : kitCommands()) {
    SCOPED_TRACE(c.name);
    const std::string name = c.name;
    CommandOutcome r = runKit({name, "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Usage: korvane-kit " + name + " [options]", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\nOptions:\n"), std::string::npos);
    EXPECT_NE(r.out.find("  -h, --help              show this help and exit\n"), std::string::npos) << r.out;
    EXPECT_EQ(runKit({name, "-h"}).out, r.out);
    const std::string usage = r.out.substr(0, r.out.find('\n'));

    r = runKit({name, "--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kitVersionLine(name) + "\n");

    r = runKit({name, "--no-such-option"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, kitUsageError(name, "unknown option --no-such-option"));
    EXPECT_EQ(r.out, "");

    // The first required argument of the usage line, else an option without its value.
    std::smatch first;
    if (std::regex_search(usage, first, std::regex(R"(\[options\](?: \[[A-Z]+\])* ([A-Z]+))"))) {
      r = runKit({name});
      EXPECT_EQ(r.err, kitUsageError(name, "missing " + first[1].str()));
    } else {
      r = runKit({name, "--output"});
      EXPECT_EQ(r.err, kitUsageError(name, "option --output needs a value"));
    }
    EXPECT_EQ(r.status, 2);
  }
  CommandOutcome r = runKit({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kitVersionLine("") + "\n");
  r = runKit({"--help"});
  EXPECT_EQ(r.status, 0);
  for (const KitCommand& c : kitCommands()) EXPECT_NE(r.out.find(std::string("\n  ") + c.name + " "), std::string::npos);
}

// One spelling for one meaning: across all commands a long option keeps its
// short letter and a short letter its long option.
TEST(KitCommandLine, OptionSpellingsAgreeAcrossCommands) {
  std::map<std::string, std::string> shortOfLong, longOfShort;
  const std::regex row(R"(^  (?:-(.), |    )--([a-z][a-z-]*))");
  for (const KitCommand& c : kitCommands()) {
    std::istringstream help(runKit({c.name, "--help"}).out);
    for (std::string line; std::getline(help, line);) {
      std::smatch m;
      if (!std::regex_search(line, m, row)) continue;
      const std::string shortName = m[1].str(), longName = m[2].str();
      auto known = shortOfLong.emplace(longName, shortName);
      EXPECT_EQ(known.first->second, shortName) << c.name << ": --" << longName;
      if (!shortName.empty()) {
        auto letter = longOfShort.emplace(shortName, longName);
        EXPECT_EQ(letter.first->second, longName) << c.name << ": -" << shortName;
      }
    }
  }
  EXPECT_EQ(shortOfLong["model"], "m");
  EXPECT_EQ(shortOfLong["dict"], "D");
}

// The conventions of the parser itself, on a small command.
TEST(KitCommandLine, GnuConventions) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string model, input, output;
    int threads;
    bool quiet;
    std::string error;
  };
  const Case cases[] = {
      {{"--model=m", "in", "out"}, -1, "m", "in", "out", 2, false, ""},
      {{"--model", "m", "in"}, -1, "m", "in", "-", 2, false, ""},
      {{"-m", "m", "in"}, -1, "m", "in", "-", 2, false, ""},
      {{"-mm", "in"}, -1, "m", "in", "-", 2, false, ""},
      {{"in", "-m", "a", "--model", "b"}, -1, "b", "in", "-", 2, false, ""},  // the last one wins
      {{"-q", "-j3", "-", "-"}, -1, "", "-", "-", 3, true, ""},
      {{"--", "-m", "-x"}, -1, "", "-m", "-x", 2, false, ""},
      {{"--threads=0", "in"}, 2, "", "", "-", 2, false, "--threads takes a whole number from 1 to 8, not '0'"},
      {{"--threads", "x", "in"}, 2, "", "", "-", 2, false, "--threads takes a whole number from 1 to 8, not 'x'"},
      {{"--mod", "m", "in"}, 2, "", "", "-", 2, false, "unknown option --mod"},
      {{"in", "-m"}, 2, "", "", "-", 2, false, "option --model needs a value"},
      {{}, 2, "", "", "-", 2, false, "missing INPUT"},
      {{"a", "b", "c"}, 2, "", "", "-", 2, false, "unexpected argument 'c'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error.empty() ? c.args.front() : c.error);
    std::string model, input, output = "-";
    int threads = 2;
    CommandLine cl("demo", "A command for the test.");
    cl.option(kitopt::kModel, model, "model");
    cl.option(kitopt::kThreads, threads, "threads", 1, 8);
    cl.positional("INPUT", input, "input");
    cl.optionalPositional("OUTPUT", output, "output");
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "demo");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    testing::internal::CaptureStderr();
    const int status = cl.parse(static_cast<int>(argv.size()), argv.data());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, c.status);
    if (c.status == 2) {
      EXPECT_EQ(err, kitUsageError("demo", c.error));
      continue;
    }
    EXPECT_EQ(err, "");
    EXPECT_EQ(model, c.model);
    EXPECT_EQ(input, c.input);
    EXPECT_EQ(output, c.output);
    EXPECT_EQ(threads, c.threads);
    EXPECT_EQ(cl.quiet(), c.quiet);
    EXPECT_EQ(cl.given(kitopt::kModel), !c.model.empty());
  }
}

}  // namespace
