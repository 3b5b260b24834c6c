#include "parsing/parser_kit_support.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "text/line_utils.h"

bool parserKitReadable(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "Error: open file %s for reading.\n", path.c_str());
    return false;
  }
  std::fclose(f);
  return true;
}

ParserKitTempFile::ParserKitTempFile(const char* stem) {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
  pattern += "/";
  pattern += stem;
  pattern += ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    std::fprintf(stderr, "Error: cannot create a temporary file %s: %s.\n", pattern.c_str(), std::strerror(errno));
    return;
  }
  ::close(fd);
  path_ = name.data();
}

ParserKitTempFile::~ParserKitTempFile() {
  if (!path_.empty()) std::remove(path_.c_str());
}

bool SentenceReader::next(TokenTable& rows, int& firstLine) {
  rows.clear();
  while (readLineWhole(in_, line_)) {
    ++lines_;
    readLine2VectorString(line_, fields_);
    if (!fields_.empty()) {
      if (rows.empty()) firstLine = lines_;
      rows.push_back(fields_);
    } else if (!rows.empty()) {
      return true;
    }
  }
  droppedLast_ = !rows.empty();
  rows.clear();
  return false;
}
