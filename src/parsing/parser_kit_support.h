// Helpers shared by the parser training and evaluation commands: option
// reading, checked numbers, temporary files and sentence reading.
// Internal to korvane_parsing_train.
#ifndef KORVANE_PARSING_PARSER_KIT_SUPPORT_H
#define KORVANE_PARSING_PARSER_KIT_SUPPORT_H

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "features/token_table.h"

struct ParserKitOption {
  const char* shortName;     // "-c"
  const char* longName;      // "--cutoff"
  const char* defaultValue;  // nullptr: no default
};

// Reads argv[1..] ("-x VALUE", "--long VALUE", "--long=VALUE", -h/--help,
// the rest files). Returns -1 to go on; otherwise the exit status after
// printing: 0 for help (usage on stdout), 2 for misuse (message and usage on
// stderr). values holds every option, defaults filled in.
int readParserKitArgs(int argc, char** argv, const std::vector<ParserKitOption>& options, const char* usage,
                      size_t minFiles, size_t maxFiles, std::map<std::string, std::string>& values,
                      std::vector<std::string>& files);

// Whole-text numbers in [lo, hi]; false after "Error: ..." naming the option.
bool parserKitInt(const std::map<std::string, std::string>& values, const char* longName, long lo, long hi,
                  int& out);
bool parserKitDouble(const std::map<std::string, std::string>& values, const char* longName, double lo, double hi,
                     double& out);

// True when path opens for reading; otherwise prints "Error: open file %s for reading.\n".
bool parserKitReadable(const std::string& path);

// A fresh empty file in $TMPDIR (or /tmp), removed when the object goes.
class ParserKitTempFile {
 public:
  explicit ParserKitTempFile(const char* stem);
  ~ParserKitTempFile();
  ParserKitTempFile(const ParserKitTempFile&) = delete;
  ParserKitTempFile& operator=(const ParserKitTempFile&) = delete;
  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Reads sentences (rows up to an empty line; a line of blanks and tabs is
// empty). A last sentence without an empty line after it is not returned,
// as the drivers leave it out too.
class SentenceReader {
 public:
  explicit SentenceReader(std::FILE* in) : in_(in) {}
  // False at the end of the input. firstLine: line number of the first row.
  bool next(TokenTable& rows, int& firstLine);
  int lines() const { return lines_; }
  bool droppedLast() const { return droppedLast_; }

 private:
  std::FILE* in_;
  int lines_ = 0;
  bool droppedLast_ = false;
  std::string line_;
  std::vector<std::string> fields_;
};

#endif
