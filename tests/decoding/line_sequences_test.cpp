#include "decoding/line_sequences.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Tags;

TEST(LineSequences, CutsLikeTheTagger) {
  struct Case {
    Tags words;
    bool english;
    std::vector<Tags> sequences;
  } cases[] = {
      {{"a", ",", "b", "."}, true, {{"a", ",", "b", "."}}},
      {{"A", "\xa3\xac", "B"}, false, {{"A", "\xa3\xac"}, {"B"}}},
      {{"A", "\xa1\xa3", "\xa1\xa3", "B"}, false, {{"A", "\xa1\xa3"}, {"\xa1\xa3"}, {"B"}}},
      {{"a", "b", "?"}, false, {{"a", "b", "?"}}},
      {{"a.", "x,", "."}, false, {{"a.", "x,", "."}}},
      {{}, false, {}},
      {{}, true, {}},
  };
  std::vector<TokenTable> sequences(5);  // reused: stale rows must go
  for (Case& c : cases) {
    splitIntoSequences(c.words, c.english, sequences);
    std::vector<Tags> got;
    for (const TokenTable& t : sequences) {
      got.emplace_back();
      for (const auto& row : t) got.back().push_back(row.at(0));
    }
    EXPECT_EQ(got, c.sequences);
  }
  for (const char* mark : {"!", "?", ";", ",", "\xa3\xbf", "\xa3\xa1", "\xa3\xac", "\xa1\xa3", "\xa3\xbb"})
    EXPECT_TRUE(isChineseCutMark(mark)) << mark;
  for (const char* other : {".", "", ",,", "\xa3", "\xa3\xac\xa3\xac", "\xa1\xa1", "a"})
    EXPECT_FALSE(isChineseCutMark(other)) << other;
}

}  // namespace
