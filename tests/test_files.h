// File helpers the tests share: whole files in and out, bytes unchanged.
#ifndef KORVANE_TESTS_TEST_FILES_H
#define KORVANE_TESTS_TEST_FILES_H

#include <fstream>
#include <sstream>
#include <string>

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The file's bytes; empty when it cannot be read.
inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

#endif
