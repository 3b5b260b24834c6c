#include "tools/model_update.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "text/file_replace.h"
#include "text/line_utils.h"

namespace {

bool put(std::FILE* out, const std::string& s) {
  return s.empty() || std::fwrite(s.data(), 1, s.size(), out) == s.size();
}

// The older reader's rule: "%f" must read a finite number.
bool readableWeight(const std::string& text) {
  float f = 0.0f;
  return std::sscanf(text.c_str(), "%f", &f) == 1 && std::isfinite(f);
}

// Converts old into out; false after printing an "Error: ..." line.
bool convert(std::FILE* old, const char* oldPath, std::FILE* out, bool& ioOk) {
  std::string line, prevPrefix, prevValue, prefix, value;
  std::vector<std::string> fields;
  int lineNo = 0;
  while (readLineWhole(old, line)) {
    ++lineNo;
    readLine2VectorString(line, fields);
    // Blank lines (a lone carriage return included) carry nothing.
    if (fields.empty() || (fields.size() == 1 && fields[0] == "\r")) continue;
    if (fields.size() < 3) {
      std::fprintf(stderr, "Error: %s line %d: a line needs a label, a feature name and a weight.\n", oldPath, lineNo);
      return false;
    }
    const std::string& label = fields[0];
    const std::string& name = fields[1];
    const std::string& weight = fields[2];
    const size_t colon = name.find(':', 1);
    if (colon == std::string::npos) {
      std::fprintf(stderr, "Error: %s line %d: the feature name \"%s\" has no ':' after its first byte.\n", oldPath,
                   lineNo, name.c_str());
      return false;
    }
    if (colon + 1 == name.size()) {
      std::fprintf(stderr, "Error: %s line %d: the feature name \"%s\" has nothing after its ':'.\n", oldPath, lineNo,
                   name.c_str());
      return false;
    }
    if (!readableWeight(weight)) {
      std::fprintf(stderr, "Error: %s line %d: the weight \"%s\" is not a finite number.\n", oldPath, lineNo,
                   weight.c_str());
      return false;
    }
    prefix.assign(name, 0, colon);
    value.assign(name, colon + 1, std::string::npos);
    if (prefix != prevPrefix) {
      if (!prevPrefix.empty()) ioOk = ioOk && std::fputc('\n', out) != EOF;
      ioOk = ioOk && std::fputc('\n', out) != EOF && put(out, prefix) && std::fputc('\n', out) != EOF &&
             put(out, value);
    } else if (value != prevValue) {
      ioOk = ioOk && std::fputc('\n', out) != EOF && put(out, value);
    }
    ioOk = ioOk && std::fputc(' ', out) != EOF && put(out, label) && std::fputc(' ', out) != EOF && put(out, weight);
    prevPrefix = prefix;
    prevValue = value;
  }
  return true;
}

}  // namespace

bool modelUpdateV2Checked(const char* oldModelPath, const char* newModelPath) {
  std::FILE* old = std::fopen(oldModelPath, "r");
  if (old == nullptr) {
    std::fprintf(stderr, "Error: cannot open %s for reading.\n", oldModelPath);
    return false;
  }
  // Written aside and renamed over the target, so that a failed conversion
  // never leaves a partial model behind; through a symbolic link the file it
  // names is replaced, and a device or pipe is written in place.
  const ReplacementTarget target = replacementTarget(newModelPath);
  std::string tmpName;
  std::FILE* out = nullptr;
  if (target.direct) {
    out = std::fopen(newModelPath, "wb");
  } else {
    const int fd = createTempBeside(target.path, tmpName);
    if (fd >= 0) {
      out = ::fdopen(fd, "wb");
      if (out == nullptr) {
        ::close(fd);
        std::remove(tmpName.c_str());
      }
    }
  }
  if (out == nullptr) {
    std::fclose(old);
    std::fprintf(stderr, "Error: cannot open %s for writing.\n", newModelPath);
    return false;
  }

  bool ioOk = true;
  const bool converted = convert(old, oldModelPath, out, ioOk);
  const bool readOk = !std::ferror(old);
  std::fclose(old);
  if (std::fflush(out) != 0 || std::ferror(out)) ioOk = false;
  if (std::fclose(out) != 0) ioOk = false;
  if (converted && !readOk) {
    std::fprintf(stderr, "Error: cannot read %s.\n", oldModelPath);
  } else if (converted) {
    if (ioOk && (target.direct || std::rename(tmpName.c_str(), target.path.c_str()) == 0)) return true;
    std::fprintf(stderr, "Error: cannot write %s.\n", newModelPath);
  }
  if (!target.direct) std::remove(tmpName.c_str());
  return false;
}

void modelUpdateV2(char* oldModelPath, char* newModelPath) { modelUpdateV2Checked(oldModelPath, newModelPath); }
