#include "text/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>

#include "text/utf8.h"

namespace {

iconv_t handle(void* h) { return static_cast<iconv_t>(h); }

// Converts all of `text`; false with the offset of the first byte that could
// not be converted.
bool convert(void* h, const std::string& text, std::string& out, size_t& badOffset) {
  out.clear();
  iconv(handle(h), nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  char* in = const_cast<char*>(text.data());
  size_t left = text.size();
  char buffer[4096];
  while (left > 0) {
    char* to = buffer;
    size_t room = sizeof buffer;
    const size_t r = iconv(handle(h), &in, &left, &to, &room);
    out.append(buffer, static_cast<size_t>(to - buffer));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      badOffset = static_cast<size_t>(in - text.data());
      return false;
    }
  }
  char* to = buffer;
  size_t room = sizeof buffer;
  iconv(handle(h), nullptr, nullptr, &to, &room);
  out.append(buffer, static_cast<size_t>(to - buffer));
  return true;
}

}  // namespace

GbkConverter::GbkConverter() : toGbk_(nullptr), fromGbk_(nullptr) {
  iconv_t a = iconv_open("GBK", "UTF-8");
  iconv_t b = iconv_open("UTF-8", "GBK");
  if (a != reinterpret_cast<iconv_t>(-1)) toGbk_ = a;
  if (b != reinterpret_cast<iconv_t>(-1)) fromGbk_ = b;
}

GbkConverter::~GbkConverter() {
  if (toGbk_) iconv_close(handle(toGbk_));
  if (fromGbk_) iconv_close(handle(fromGbk_));
}

bool GbkConverter::toGbk(const std::string& text, std::string& out, std::string& fault) {
  size_t bad = 0;
  if (!isValidUtf8(text, &bad)) {
    fault = "invalid UTF-8 at byte " + std::to_string(bad + 1);
    return false;
  }
  if (!ok()) {
    fault = "the C library offers no GBK conversion";
    return false;
  }
  if (convert(toGbk_, text, out, bad)) return true;
  size_t length = 1;
  const uint32_t cp = decodeUtf8(text.data(), text.size(), bad, &length);
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
  fault = std::string("character ") + code + " at byte " + std::to_string(bad + 1) + " has no GBK form";
  return false;
}

bool GbkConverter::fromGbk(const std::string& text, std::string& out, std::string& fault) {
  if (!ok()) {
    fault = "the C library offers no GBK conversion";
    return false;
  }
  size_t bad = 0;
  if (convert(fromGbk_, text, out, bad)) return true;
  fault = "byte " + std::to_string(bad + 1) + " is not GBK";
  return false;
}
