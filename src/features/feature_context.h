// Inputs of one FeatureLocGenP2Multi call as seen by its value and relation
// functions, with bounds-checked readers. Internal to the feature library.
#ifndef KORVANE_FEATURES_FEATURE_CONTEXT_H
#define KORVANE_FEATURES_FEATURE_CONTEXT_H

#include <climits>
#include <string>
#include <vector>

#include "features/token_table.h"
#include "templates/template_types.h"

struct FeatureCallContext {
  TokenTable& rows;
  int n;  // number of rows
  std::vector<int>& stack;
  int position;
  std::vector<_dppair>& arcs;
  std::vector<std::vector<_dppair>>& argumentLists;
  std::vector<int>& predicateRows;
  std::vector<_dppair>& extraArcs;
  // The arc list the current item's arcSource selected (headList/dprelList);
  // null when none is selected, which reads as an empty list.
  const std::vector<_dppair>* selected = nullptr;

  bool inside(long long r) const { return r >= 0 && r < n; }

  // Cell (r, c), or null when the row lies outside the sentence or lacks the column.
  const std::string* cell(long long r, long long c) const {
    if (!inside(r) || c < 0) return nullptr;
    const std::vector<std::string>& row = rows[static_cast<size_t>(r)];
    if (c >= static_cast<long long>(row.size())) return nullptr;
    return &row[static_cast<size_t>(c)];
  }
  // Cell text for tests on annotation columns: a missing cell reads as empty.
  const std::string& text(long long r, long long c) const {
    const std::string* s = cell(r, c);
    return s != nullptr ? *s : emptyText();
  }

  int selectedSize() const { return selected == nullptr ? 0 : static_cast<int>(selected->size()); }
  // headList[i]; -1 (no head) for an index outside the selected list.
  int headAt(long long i) const {
    if (selected == nullptr || i < 0 || i >= static_cast<long long>(selected->size())) return -1;
    return (*selected)[static_cast<size_t>(i)].head;
  }
  // dprelList[i]; "_" (no label) for an index outside the selected list.
  const std::string& dprelAt(long long i) const {
    if (selected == nullptr || i < 0 || i >= static_cast<long long>(selected->size())) return noLabel();
    return (*selected)[static_cast<size_t>(i)].dprel;
  }

  static const std::string& emptyText() {
    static const std::string empty;
    return empty;
  }
  static const std::string& noLabel() {
    static const std::string label = "_";
    return label;
  }
};

// Entry i of an arc list, or null when i lies outside it.
inline const _dppair* arcAt(const std::vector<_dppair>& list, long long i) {
  if (i < 0 || i >= static_cast<long long>(list.size())) return nullptr;
  return &list[static_cast<size_t>(i)];
}

// a + b clamped to the int range: rows far outside the sentence stay outside
// without overflowing.
inline int addRows(long long a, long long b) {
  long long s = a + b;
  if (s > INT_MAX) return INT_MAX;
  if (s < INT_MIN) return INT_MIN;
  return static_cast<int>(s);
}

// The boundary token of a row outside the sentence ("_B-1", "_E-1", ...),
// appended to out; nothing for a row inside.
void appendBoundaryToken(int n, int row, std::string& out);

// line2hanzi over a read-only string.
void splitHanzi(const std::string& s, std::vector<std::string>& chars);

#endif
