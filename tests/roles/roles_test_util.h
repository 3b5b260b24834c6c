// File helpers of the role-labelling tests.
#ifndef KORVANE_TESTS_ROLES_ROLES_TEST_UTIL_H
#define KORVANE_TESTS_ROLES_ROLES_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace roles_test {

inline std::string fixture(const std::string& name) {
  return std::string(KORVANE_SOURCE_DIR) + "/tests/roles/fixtures/" + name;
}

inline std::string tempPath(const std::string& name) { return testing::TempDir() + "roles_" + name; }

inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
}

inline std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

using Driver = std::function<int(char*, char*, char*, char*)>;

// Runs `driver` on `input` (written to a temporary file); the output text, or
// "<result N>" when the driver does not return 1. stderr is discarded.
inline std::string runDriver(const Driver& driver, std::string templatePath, std::string modelPath,
                             const std::string& name, const std::string& input) {
  std::string in = tempPath(name + ".in"), out = tempPath(name + ".out");
  writeFile(in, input);
  std::remove(out.c_str());
  testing::internal::CaptureStderr();
  const int result = driver(&templatePath[0], &modelPath[0], &in[0], &out[0]);
  testing::internal::GetCapturedStderr();
  if (result != 1) return "<result " + std::to_string(result) + ">";
  return readFile(out);
}

}  // namespace roles_test

#endif
