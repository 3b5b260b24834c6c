#include "text/utf8.h"

bool isValidUtf8(const char* text, size_t size, size_t* badOffset) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < size) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      if (b == 0xE0) lo = 0xA0;  // overlong
      if (b == 0xED) hi = 0x9F;  // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      if (b == 0xF0) lo = 0x90;  // overlong
      if (b == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
      if (badOffset) *badOffset = i;
      return false;
    }
    if (i + len > size || s[i + 1] < lo || s[i + 1] > hi) {
      if (badOffset) *badOffset = i;
      return false;
    }
    for (size_t k = 2; k < len; ++k) {
      if (s[i + k] < 0x80 || s[i + k] > 0xBF) {
        if (badOffset) *badOffset = i;
        return false;
      }
    }
    i += len;
  }
  return true;
}

uint32_t decodeUtf8(const char* text, size_t size, size_t at, size_t* length) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  const unsigned char b = s[at];
  *length = 1;
  size_t len = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
  if (len <= 1 || at + len > size || !isValidUtf8(text + at, len)) return b;
  uint32_t cp = b & (0xFF >> (len + 1));
  for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (s[at + k] & 0x3F);
  *length = len;
  return cp;
}
