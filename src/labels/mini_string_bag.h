// A set of strings numbered 0, 1, 2, ... in order of first addition.
#ifndef KORVANE_LABELS_MINI_STRING_BAG_H
#define KORVANE_LABELS_MINI_STRING_BAG_H

#include <map>
#include <string>
#include <vector>

class CMiniStringBag {
 public:
  CMiniStringBag() = default;
  CMiniStringBag(const CMiniStringBag&) = default;
  CMiniStringBag& operator=(const CMiniStringBag&) = default;
  virtual ~CMiniStringBag() = default;

  // Existing id of s, or the next id for a new string.
  int Put(const std::string& s);

  int count = 0;
  std::map<std::string, int> idByString;
  std::vector<std::string> strings;
};

#endif
