#include "templates/template_types.h"

#include <ostream>

bool operator==(const _subft& a, const _subft& b) { return a.code == b.code && a.argument == b.argument; }
bool operator!=(const _subft& a, const _subft& b) { return !(a == b); }

bool operator==(const _ft& a, const _ft& b) {
  if (a.type != b.type || a.index != b.index || a.arcSource != b.arcSource || a.column != b.column ||
      a.offset != b.offset || a.valueFunction != b.valueFunction || a.steps != b.steps)
    return false;
  for (int i = 0; i < 7; ++i)
    if (a.reserved[i] != b.reserved[i]) return false;
  return true;
}
bool operator!=(const _ft& a, const _ft& b) { return !(a == b); }

bool operator==(const _ftnind& a, const _ftnind& b) {
  return a.name == b.name && a.relation == b.relation && a.items == b.items && a.minLabelOffset == b.minLabelOffset;
}
bool operator!=(const _ftnind& a, const _ftnind& b) { return !(a == b); }

std::ostream& operator<<(std::ostream& os, const _subft& s) {
  return os << "{" << s.code << "," << s.argument << "}";
}

std::ostream& operator<<(std::ostream& os, const _ft& item) {
  os << "{type " << item.type << " index " << item.index << " arcSource " << item.arcSource << " column "
     << item.column << " offset " << item.offset << " valueFunction " << item.valueFunction << " steps [";
  for (const _subft& s : item.steps) os << s;
  os << "] reserved";
  for (int32_t r : item.reserved) os << " " << r;
  return os << "}";
}

std::ostream& operator<<(std::ostream& os, const _ftnind& t) {
  os << t.name << " (relation " << t.relation << ", minLabelOffset " << t.minLabelOffset << "):";
  for (const _ft& item : t.items) os << " " << item;
  return os;
}
