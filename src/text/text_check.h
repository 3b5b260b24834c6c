// Whether a file is text, before a reader that takes any bytes makes
// something of it.
#ifndef KORVANE_TEXT_TEXT_CHECK_H
#define KORVANE_TEXT_TEXT_CHECK_H

#include <string>

// False after "Error: FILE line N: byte 0xHH is not text." (the first control
// byte other than tab, carriage return and line feed, a NUL byte included),
// or "Error: cannot read FILE." The bytes themselves are never printed.
bool checkTextFile(const std::string& path);

// The text with every byte outside printable ASCII written as \xHH, for
// messages that quote what a file holds.
std::string printableText(const std::string& text);

#endif
