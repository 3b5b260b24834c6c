// The korvane-kit dispatcher.
#ifndef KORVANE_APP_KIT_COMMANDS_H
#define KORVANE_APP_KIT_COMMANDS_H

// argv[1] names the subcommand; it receives argv + 1. Exit status: 0 success,
// 1 failure, 2 misuse (an unknown or missing subcommand included).
int kitMain(int argc, char** argv);

#endif
