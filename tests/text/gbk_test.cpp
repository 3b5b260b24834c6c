#include "text/gbk.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(GbkConverter, RoundTripsChineseAndReportsWhatGbkCannotHold) {
  GbkConverter c;
  ASSERT_TRUE(c.ok());
  const struct {
    const char* utf8;
    const char* gbk;  // nullptr: refused
    const char* fault;
  } cases[] = {
      {"\xE4\xB8\xAD\xE6\x96\x87 abc", "\xD6\xD0\xCE\xC4 abc", ""},                  // 中文
      {"\xEF\xBC\x8C\xE3\x80\x82", "\xA3\xAC\xA1\xA3", ""},                          // ，。
      {"", "", ""},
      {"a \xF0\x9F\x98\x80", nullptr, "character U+1F600 at byte 3 has no GBK form"},  // emoji
      {"\xE4\xB8\xAD\xE0\xB8\x81", nullptr, "character U+0E01 at byte 4 has no GBK form"},  // Thai
      {"ab\xC3", nullptr, "invalid UTF-8 at byte 3"},
  };
  for (const auto& k : cases) {
    std::string gbk, fault;
    const bool ok = c.toGbk(k.utf8, gbk, fault);
    EXPECT_EQ(ok, k.gbk != nullptr) << k.utf8;
    if (!ok) {
      EXPECT_EQ(fault, k.fault);
      continue;
    }
    EXPECT_EQ(gbk, k.gbk);
    std::string back;
    ASSERT_TRUE(c.fromGbk(gbk, back, fault)) << fault;
    EXPECT_EQ(back, k.utf8);
  }
  std::string out, fault;
  EXPECT_FALSE(c.fromGbk("ok\xFF", out, fault));
  EXPECT_EQ(fault, "byte 3 is not GBK");
}

}  // namespace
