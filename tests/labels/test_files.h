// Temporary files for the label tests.
#ifndef KORVANE_TESTS_LABELS_TEST_FILES_H
#define KORVANE_TESTS_LABELS_TEST_FILES_H

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

inline std::string tempPath(const std::string& name) { return testing::TempDir() + "korvane_labels_" + name; }

inline std::string writeTemp(const std::string& name, const std::string& content) {
  const std::string path = tempPath(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

inline std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline bool fileExists(const std::string& path) { return std::ifstream(path).good(); }

#endif
