// Running korvane-kit commands in the test process.
#ifndef KORVANE_TESTS_APP_COMMANDS_KIT_TEST_UTIL_H
#define KORVANE_TESTS_APP_COMMANDS_KIT_TEST_UTIL_H

#include <string>
#include <vector>

#include "app/commands/commands.h"
#include "test_command.h"

// `args` start with the command's name.
inline CommandOutcome runKit(std::vector<std::string> args) {
  args.insert(args.begin(), "korvane-kit");
  return runCommand(kitMain, args);
}

// What a usage error of `command` prints on stderr.
inline std::string kitUsageError(const std::string& command, const std::string& message) {
  return "korvane-kit " + command + ": error: " + message + "\nTry 'korvane-kit " + command +
         " --help' for more information.\n";
}

#endif
