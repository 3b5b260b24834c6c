// Test entry point: every test process gets a temporary folder of its own, so
// tests that CTest runs side by side never share file names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

int main(int argc, char** argv) {
  std::string base = std::filesystem::temp_directory_path().string() + "/korvane-test-XXXXXX";
  char* made = ::mkdtemp(&base[0]);
  if (made != nullptr) ::setenv("TEST_TMPDIR", made, 1);
  testing::InitGoogleTest(&argc, argv);
  int status = RUN_ALL_TESTS();
  if (made != nullptr) {
    std::error_code ignored;
    std::filesystem::remove_all(made, ignored);
  }
  return status;
}
