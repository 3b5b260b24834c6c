// One sentence in memory and the dependency arc record shared by the
// feature generator, the parser and the role labellers.
#ifndef KORVANE_FEATURES_TOKEN_TABLE_H
#define KORVANE_FEATURES_TOKEN_TABLE_H

#include <cstdint>
#include <string>
#include <vector>

// Rows in sentence order; each row a list of column strings, column 0 the word.
// Rows may differ in width.
typedef std::vector<std::vector<std::string>> TokenTable;

struct _dppair {
  int32_t head = -1;        // row of the head, -1 for none
  std::string dprel = "_";  // relation or role label, "_" for none
};

#endif
