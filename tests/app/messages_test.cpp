#include "app/messages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// What reaches standard error when the pieces are written through the filter.
std::string filtered(const std::vector<std::string>& pieces, bool quiet) {
  testing::internal::CaptureStderr();
  {
    MessageFilter filter;
    MessageFilter::setQuiet(quiet);
    for (const std::string& p : pieces) {
      std::fputs(p.c_str(), stderr);
      std::fflush(stderr);
    }
  }
  return testing::internal::GetCapturedStderr();
}

TEST(MessageFilter, EndsOpenLinesAndQuietensTheRest) {
  struct Case {
    std::vector<std::string> pieces;
    bool quiet;
    std::string seen;
  } cases[] = {
      {{"Loading model ", "Error: m line 1: bad.\n"}, false, "Loading model \nError: m line 1: bad.\n"},
      {{"#line=6000\r", "#line=12000\r", "done.\n"}, false, "#line=6000\r#line=12000\r\ndone.\n"},
      {{"#line=6000,#seq=1\r"}, false, "#line=6000,#seq=1\r\n"},
      {{"no line end"}, false, "no line end\n"},
      {{"a\n", "b\n"}, false, "a\nb\n"},
      {{"Loading model done.\n", "Warning: w.\n", "b=2\n", "#line=6000\r", "Loading model ", "Error: e.\n"}, true,
       "Warning: w.\nError: e.\n"},
      {{}, false, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(filtered(c.pieces, c.quiet), c.seen) << c.seen;
}

}  // namespace
