// What a korvane-kit command shows on standard error. While a command runs,
// everything written to standard error (by the command and by the library
// functions it calls, whose messages stay as they are) passes through one
// filter that:
//   - ends a line left open before the next message: after a progress
//     counter that ends in a carriage return ("#line=6000\r"), unless the next
//     one is a counter too, and before an "Error: " or "Warning: " that a
//     message left unfinished ("Loading model " then "Error: ...");
//   - ends the last line when the command is done;
//   - with --quiet, lets only the lines that start with "Error" or "Warning" pass.
// A progress line (ProgressLine) shows how a long job is going, on a
// terminal or with --progress, never with --quiet.
#ifndef KORVANE_APP_MESSAGES_H
#define KORVANE_APP_MESSAGES_H

#include <chrono>
#include <string>

class CommandLine;

// Routes standard error through the filter for its lifetime (one at a time).
class MessageFilter {
 public:
  MessageFilter();
  ~MessageFilter();
  MessageFilter(const MessageFilter&) = delete;
  MessageFilter& operator=(const MessageFilter&) = delete;

  // Set by the command line once it is read.
  static void setQuiet(bool quiet);
  // Whether the standard error the user sees is a terminal.
  static bool terminal();
};

// "\r<done> <unit>, <rate> <unit>/s, <elapsed> s" on standard error, at most
// twice a second and only after the job has run for two seconds; finish()
// ends the line. Shown when standard error is a terminal or --progress was
// given, and --quiet was not.
class ProgressLine {
 public:
  ProgressLine(const CommandLine& cl, std::string unit);
  ~ProgressLine() { finish(); }
  void update(long done);
  void finish();

 private:
  bool enabled_;
  bool shown_ = false;
  std::string unit_;
  std::chrono::steady_clock::time_point start_, last_;
};

#endif
