// korvane-kit subcommands of the decoding folder.
// Exit status: 0 success, 1 failure (message on stderr), 2 misuse (usage on stderr).
#ifndef KORVANE_DECODING_DECODING_COMMANDS_H
#define KORVANE_DECODING_DECODING_COMMANDS_H

#include <cstdio>
#include <string>

#include "decoding/fast_labeling.h"

// tag [--language english|chinese] [--model F] [--dict F] [--threads N] [INPUT]
// Tags INPUT (standard input when absent or "-") with the tagger's model,
// dictionary and templates, and writes one line per input line to standard
// output: the line's "word/tag " pairs, then a line feed. Lines are tagged by
// N threads (default: the number of cores) and written in input order.
int kitTag(int argc, char** argv);

// The stream behind kitTag: reads `in` to its end, tags every line with a
// copy of `labeler` per thread and writes the lines in order to `out`.
// english: whole lines are sequences; otherwise lines are cut after the cut
// marks as the tagger cuts them. At most a few batches of lines per thread
// are held at a time. Returns the number of lines, or -1 when reading or
// writing failed (message on stderr naming inName or "standard output").
long tagStream(std::FILE* in, const char* inName, std::FILE* out, const FastLabeler& labeler, bool english,
               int threads);

// One input line's output line (without its line feed) into `out`.
void tagOneLine(FastLabeler& labeler, bool english, std::string& line, std::string& out);

#endif
