// Conversion between UTF-8 and GBK, the encoding the Chinese models use,
// through the C library's iconv.
#ifndef KORVANE_TEXT_GBK_H
#define KORVANE_TEXT_GBK_H

#include <cstddef>
#include <cstdint>
#include <string>

// One per thread (iconv keeps state per descriptor).
class GbkConverter {
 public:
  GbkConverter();
  ~GbkConverter();
  GbkConverter(const GbkConverter&) = delete;
  GbkConverter& operator=(const GbkConverter&) = delete;

  // False when the C library offers no GBK conversion.
  bool ok() const { return toGbk_ != nullptr && fromGbk_ != nullptr; }

  // UTF-8 to GBK. False when the text is not UTF-8 or holds a character GBK
  // cannot hold; `fault` then says which and where ("character U+20AC at
  // byte 5 has no GBK form", "invalid UTF-8 at byte 3"). Nothing is dropped:
  // on false `out` is incomplete and must not be used.
  bool toGbk(const std::string& text, std::string& out, std::string& fault);
  // GBK to UTF-8; false (with `fault`) for bytes that are not GBK.
  bool fromGbk(const std::string& text, std::string& out, std::string& fault);

 private:
  void* toGbk_;
  void* fromGbk_;
};

#endif
