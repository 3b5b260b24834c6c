// Records of the predicate dictionaries: senses of a predicate lemma with
// their roles and example argument patterns.
#ifndef KORVANE_FEATURES_BANK_TYPES_H
#define KORVANE_FEATURES_BANK_TYPES_H

#include <string>
#include <vector>

struct _bankExample {
  std::string label;               // one character; "_" when the example has no argument
  std::vector<std::string> left;   // argument numbers left of the predicate, nearest first
  std::vector<std::string> right;  // argument numbers right of the predicate, nearest first
};

struct _bankSense {
  std::string name;
  std::vector<std::string> roles;
  std::vector<_bankExample> examples;
};

#endif
