// Helpers shared by parser training and evaluation: file probes, temporary
// files and sentence reading.
#ifndef KORVANE_PARSING_PARSER_KIT_SUPPORT_H
#define KORVANE_PARSING_PARSER_KIT_SUPPORT_H

#include <cstdio>
#include <string>
#include <vector>

#include "features/token_table.h"

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
