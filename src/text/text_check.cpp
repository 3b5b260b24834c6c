#include "text/text_check.h"

#include <cstdio>

namespace {

bool isTextByte(unsigned char c) { return c >= 0x20 ? c != 0x7f : (c == '\t' || c == '\n' || c == '\r'); }

}  // namespace

bool checkTextFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "Error: cannot read %s.\n", path.c_str());
    return false;
  }
  char buffer[1 << 16];
  long line = 1;
  bool ok = true;
  size_t n;
  while (ok && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    for (size_t i = 0; i < n; ++i) {
      const unsigned char c = static_cast<unsigned char>(buffer[i]);
      if (c == '\n') {
        ++line;
      } else if (!isTextByte(c)) {
        std::fprintf(stderr, "Error: %s line %ld: byte 0x%02X is not text.\n", path.c_str(), line, c);
        ok = false;
        break;
      }
    }
  }
  if (ok && std::ferror(f) != 0) {
    std::fprintf(stderr, "Error: cannot read %s.\n", path.c_str());
    ok = false;
  }
  std::fclose(f);
  return ok;
}

std::string printableText(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}
