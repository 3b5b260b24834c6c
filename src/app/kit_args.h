// Argument handling shared by the korvane-kit subcommands: an option table
// read with CRFPP::Param, the usage text built from it, and checked numbers.
#ifndef KORVANE_APP_KIT_ARGS_H
#define KORVANE_APP_KIT_ARGS_H

#include <string>
#include <vector>

#include "options/param.h"

struct KitArgs {
  CRFPP::Param param;
  std::vector<std::string> files;  // the non-option arguments
};

// Parses argv (argv[0] = subcommand) against opts, whose table must include a
// "help" flag. Returns -1 to go on; otherwise the exit status to return: 0
// after printing the usage for --help, 2 after printing an error and the usage
// for bad options or a file count outside [minFiles, maxFiles].
int kitParseArgs(int argc, char** argv, const CRFPP::Option* opts, const char* synopsis, size_t minFiles,
                 size_t maxFiles, KitArgs& out);

// Prints "Usage: korvane-kit <synopsis>" and the option lines to stderr.
void kitUsage(const KitArgs& args, const char* synopsis);

// Whole-text conversions; false (after an "Error: ..." naming the option) when
// the text is not a number in [lo, hi].
bool kitInt(const KitArgs& args, const char* key, long lo, long hi, int& value);
bool kitDouble(const KitArgs& args, const char* key, double lo, double hi, double& value);

#endif
