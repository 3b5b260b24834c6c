// Runs a command's entry point the way main would, both output streams captured.
#ifndef KORVANE_TESTS_TEST_COMMAND_H
#define KORVANE_TESTS_TEST_COMMAND_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct CommandOutcome {
  int status = 0;
  std::string out, err;
};

// `args` is the whole argument vector, the command's name first.
inline CommandOutcome runCommand(int (*command)(int, char**), std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  CommandOutcome o;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  o.status = command(static_cast<int>(args.size()), argv.data());
  o.err = testing::internal::GetCapturedStderr();
  o.out = testing::internal::GetCapturedStdout();
  return o;
}

#endif
