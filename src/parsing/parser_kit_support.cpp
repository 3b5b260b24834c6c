#include "parsing/parser_kit_support.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "text/line_utils.h"

namespace {

int misuse(const char* usage, const std::string& message) {
  std::fprintf(stderr, "Error: %s.\n", message.c_str());
  std::fputs(usage, stderr);
  return 2;
}

}  // namespace

int readParserKitArgs(int argc, char** argv, const std::vector<ParserKitOption>& options, const char* usage,
                      size_t minFiles, size_t maxFiles, std::map<std::string, std::string>& values,
                      std::vector<std::string>& files) {
  values.clear();
  files.clear();
  for (const ParserKitOption& o : options)
    if (o.defaultValue != nullptr) values[o.longName] = o.defaultValue;
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (onlyFiles || a.size() < 2 || a[0] != '-') {
      files.push_back(a);
      continue;
    }
    if (a == "--") {
      onlyFiles = true;
      continue;
    }
    if (a == "-h" || a == "--help") {
      std::fputs(usage, stdout);
      return 0;
    }
    const ParserKitOption* found = nullptr;
    std::string value;
    bool inlineValue = false;
    for (const ParserKitOption& o : options) {
      const size_t longLength = std::strlen(o.longName);
      if (a == o.shortName || a == o.longName) {
        found = &o;
      } else if (a.compare(0, longLength, o.longName) == 0 && a.size() > longLength && a[longLength] == '=') {
        found = &o;
        value = a.substr(longLength + 1);
        inlineValue = true;
      }
      if (found != nullptr) break;
    }
    if (found == nullptr) return misuse(usage, "unknown option " + a);
    if (!inlineValue) {
      if (i + 1 >= argc) return misuse(usage, "missing value of " + a);
      value = argv[++i];
    }
    values[found->longName] = value;
  }
  if (files.size() < minFiles || files.size() > maxFiles) {
    const std::string wanted =
        minFiles == maxFiles ? std::to_string(minFiles) : std::to_string(minFiles) + " to " + std::to_string(maxFiles);
    return misuse(usage, "expected " + wanted + " file argument" + (maxFiles == 1 ? "" : "s") + ", got " +
                             std::to_string(files.size()));
  }
  return -1;
}

bool parserKitInt(const std::map<std::string, std::string>& values, const char* longName, long lo, long hi,
                  int& out) {
  const auto it = values.find(longName);
  if (it == values.end()) return true;
  const char* text = it->second.c_str();
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || errno != 0 || v < lo || v > hi) {
    std::fprintf(stderr, "Error: %s takes a whole number from %ld to %ld, not '%s'.\n", longName, lo, hi, text);
    return false;
  }
  out = static_cast<int>(v);
  return true;
}

bool parserKitDouble(const std::map<std::string, std::string>& values, const char* longName, double lo, double hi,
                     double& out) {
  const auto it = values.find(longName);
  if (it == values.end()) return true;
  const char* text = it->second.c_str();
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text, &end);
  if (*text == '\0' || *end != '\0' || errno != 0 || !std::isfinite(v) || v < lo || v > hi) {
    std::fprintf(stderr, "Error: %s takes a number from %g to %g, not '%s'.\n", longName, lo, hi, text);
    return false;
  }
  out = v;
  return true;
}

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
