#include "tools/model_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "test_files.h"

namespace {

std::string tempPath(const std::string& name) { return testing::TempDir() + "model_files_" + name; }

TEST(ModelManifest, ReadsKeysCommentsAndPaths) {
  const std::string path = tempPath("m.manifest");
  writeFile(path,
            "\xEF\xBB\xBF# a comment\r\n\r\nkind = tagger\r\n  template=sub/x.template  \r\n"
            "dictionary = /abs/x.dict\nscores = a = b\nunknown_key = kept\n");
  ModelManifest m;
  ASSERT_TRUE(readManifest(path, m));
  EXPECT_EQ(m.value("kind"), "tagger");
  EXPECT_EQ(m.value("scores"), "a = b");
  EXPECT_EQ(m.value("unknown_key"), "kept");
  EXPECT_EQ(m.value("absent"), "");
  EXPECT_EQ(m.file("template"), testing::TempDir() + "sub/x.template");
  EXPECT_EQ(m.file("dictionary"), "/abs/x.dict");
  EXPECT_FALSE(m.has("# a comment"));
}

TEST(ModelManifest, BadLinesNameTheFileAndLine) {
  struct Case {
    std::string text, message;
  } cases[] = {
      {"kind = tagger\njust words\n", "line 2: expected \"key = value\"."},
      {"kind = tagger\n= value\n", "line 2: expected \"key = value\"."},
      {"kind = tag\x01ger\n", "line 1: not a text line."},
      {std::string("kind = a\0b\n", 11), "line 1: not a text line."},
  };
  const std::string path = tempPath("bad.manifest");
  for (const Case& c : cases) {
    writeFile(path, c.text);
    ModelManifest m;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(readManifest(path, m));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: " + path + " " + c.message + "\n");
    EXPECT_TRUE(m.values.empty());
  }
}

TEST(ModelManifest, BesideTheModel) {
  EXPECT_EQ(manifestPathFor("models/english.model"), "models/english.manifest");
  EXPECT_EQ(manifestPathFor("a.b/model"), "a.b/model.manifest");
  EXPECT_EQ(manifestPathFor("dir/.hidden"), "dir/.hidden.manifest");
  ModelManifest m;
  EXPECT_TRUE(readManifestFor(tempPath("none.model"), m));
  EXPECT_TRUE(m.path.empty());
}

// Every shipped model says what it is, and the files it names are shipped too.
TEST(ModelManifest, ShippedModels) {
  for (const char* name : {"english", "english-plus", "chinese", "english-parser", "english-parser-rtl",
                           "english-parser-global"}) {
    SCOPED_TRACE(name);
    const std::string model = findShippedFile(std::string(name) + ".model");
    ASSERT_FALSE(model.empty());
    ModelManifest m;
    ASSERT_TRUE(readManifestFor(model, m));
    ASSERT_FALSE(m.path.empty());
    EXPECT_TRUE(m.value("kind") == "tagger" || m.value("kind") == "parser");
    for (const char* key : {"language", "template", "licence", "scores", "data"}) EXPECT_TRUE(m.has(key)) << key;
    EXPECT_FALSE(readFile(m.file("template")).empty());
    if (m.value("kind") == "tagger") {
      EXPECT_FALSE(readFile(m.file("dictionary")).empty());
    } else {
      EXPECT_TRUE(m.value("direction") == "ltr" || m.value("direction") == "rtl");
    }
  }
}

TEST(ShippedFiles, TheEnvironmentComesFirst) {
  const std::string folder = testing::TempDir();
  writeFile(folder + "english.model", "not the shipped one");
  setenv("KORVANE_MODELS", folder.c_str(), 1);
  EXPECT_EQ(findShippedFile("english.model"), folder + "/english.model");
  unsetenv("KORVANE_MODELS");
  EXPECT_EQ(findShippedFile("english.model"), std::string(KORVANE_SOURCE_DIR) + "/models/english.model");
  EXPECT_EQ(findShippedFile("no-such.model"), "");
}

}  // namespace
