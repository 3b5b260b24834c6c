#include "labels/mini_string_bag.h"

int CMiniStringBag::Put(const std::string& s) {
  auto found = idByString.find(s);
  if (found != idByString.end()) return found->second;
  const int id = static_cast<int>(strings.size());
  idByString.emplace(s, id);
  strings.push_back(s);
  ++count;
  return id;
}
