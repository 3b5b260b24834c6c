// UTF-8 checks for the readers of UTF-8 text.
#ifndef KORVANE_TEXT_UTF8_H
#define KORVANE_TEXT_UTF8_H

#include <cstddef>
#include <cstdint>
#include <string>

// True when text[begin, end) is well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF). On false, *badOffset (when given) is the
// offset of the first byte of the first bad sequence.
bool isValidUtf8(const char* text, size_t size, size_t* badOffset = nullptr);
inline bool isValidUtf8(const std::string& text, size_t* badOffset = nullptr) {
  return isValidUtf8(text.data(), text.size(), badOffset);
}

// The code point that starts at text[at] (at < size) in well-formed UTF-8;
// *length receives its byte count. A bad sequence reads as its first byte,
// one byte long, so that callers always move on.
uint32_t decodeUtf8(const char* text, size_t size, size_t at, size_t* length);

#endif
