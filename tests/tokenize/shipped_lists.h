// The token lists shipped in models/, loaded once for the tests.
#ifndef KORVANE_TESTS_TOKENIZE_SHIPPED_LISTS_H
#define KORVANE_TESTS_TOKENIZE_SHIPPED_LISTS_H

#include <gtest/gtest.h>

#include <string>

#include "tokenize/token_lists.h"

inline const tokenize::TokenLists& shippedLists() {
  static const tokenize::TokenLists lists = [] {
    tokenize::TokenLists l;
    std::string error;
    EXPECT_TRUE(l.load(std::string(KORVANE_SOURCE_DIR) + "/models/english-tokenizer.data", error)) << error;
    return l;
  }();
  return lists;
}

#endif
