#include <gtest/gtest.h>

#include <string>

#include "kit_test_util.h"
#include "test_files.h"

namespace {

std::string tempPath(const std::string& name) { return testing::TempDir() + "tools_kit_" + name; }

TEST(KitUpdateModel, ConvertsAndFails) {
  const std::string oldPath = tempPath("kit.old"), newPath = tempPath("kit.new");
  writeFile(oldPath, "NN U01:a 0.5\n");
  CommandOutcome r = runKit({"update-model", oldPath, newPath});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(readFile(newPath), "\nU01\na NN 0.5");

  const std::string bad = tempPath("kit_bad.old");
  writeFile(bad, "NN U01:a\n");
  writeFile(newPath, "kept");
  r = runKit({"update-model", bad, newPath});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error: "), std::string::npos);
  EXPECT_EQ(readFile(newPath), "kept");
}

}  // namespace
