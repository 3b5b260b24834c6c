#include "labels/mini_string_bag.h"

#include <gtest/gtest.h>

TEST(CMiniStringBag, NumbersStringsInOrderOfFirstAddition) {
  CMiniStringBag bag;
  EXPECT_EQ(bag.count, 0);
  EXPECT_EQ(bag.Put("NN"), 0);
  EXPECT_EQ(bag.Put("VB"), 1);
  EXPECT_EQ(bag.Put("NN"), 0);  // repeat changes nothing
  EXPECT_EQ(bag.Put(""), 2);    // the empty string is an ordinary string
  EXPECT_EQ(bag.count, 3);
  EXPECT_EQ(bag.strings, (std::vector<std::string>{"NN", "VB", ""}));
  for (int id = 0; id < bag.count; ++id) EXPECT_EQ(bag.idByString.at(bag.strings[id]), id);
}

TEST(CMiniStringBag, CopiesAreIndependent) {
  CMiniStringBag a;
  a.Put("x");
  CMiniStringBag b = a;
  EXPECT_EQ(b.Put("y"), 1);
  EXPECT_EQ(a.count, 1);
  EXPECT_EQ(b.count, 2);
  EXPECT_EQ(a.idByString.count("y"), 0u);
}
