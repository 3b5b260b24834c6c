// In-memory feature templates: one template (_ftnind), its items (_ft) and
// the navigation steps of an item (_subft).
#ifndef KORVANE_TEMPLATES_TEMPLATE_TYPES_H
#define KORVANE_TEMPLATES_TEMPLATE_TYPES_H

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

struct _subft {
  int32_t code = -1;     // step or value-function code; -1 = unknown name
  int32_t argument = 0;  // trailing number of the step name, 0 when none
};

struct _ft {
  int32_t type = 0;         // 0 Y (label), 1 I, 2 S, 3 P, 4 X, -1 other
  int32_t index = 0;
  int32_t arcSource = 0;
  int32_t column = 0;
  int32_t offset = 0;
  int32_t valueFunction = -1;  // -1 = plain column text
  std::vector<_subft> steps;
  int32_t reserved[7] = {0, 0, -1, -1, -1, -1, -1};
};

struct _ftnind {
  std::string name;
  std::string relation = "NULL";
  std::vector<_ft> items;
  int32_t minLabelOffset = 0;
};

// Field-by-field equality (reserved included) and a readable dump, for tests
// and diagnostics.
bool operator==(const _subft& a, const _subft& b);
bool operator!=(const _subft& a, const _subft& b);
bool operator==(const _ft& a, const _ft& b);
bool operator!=(const _ft& a, const _ft& b);
bool operator==(const _ftnind& a, const _ftnind& b);
bool operator!=(const _ftnind& a, const _ftnind& b);
std::ostream& operator<<(std::ostream& os, const _subft& s);
std::ostream& operator<<(std::ostream& os, const _ft& item);
std::ostream& operator<<(std::ostream& os, const _ftnind& t);

#endif
