// Small builders for hand-made templates, sentences and arc lists.
#ifndef KORVANE_TESTS_FEATURES_FEATURE_TEST_UTIL_H
#define KORVANE_TESTS_FEATURES_FEATURE_TEST_UTIL_H

#include <string>
#include <utility>
#include <vector>

#include "features/feature_generator.h"
#include "features/token_table.h"
#include "templates/template_types.h"

namespace ktest {

// Token item ('X' unless told otherwise) at offset off.
inline _ft item(int off, int column = 0, int valueFunction = -1, std::vector<_subft> steps = {}, int type = 4,
                int index = 0, int arcSource = 0) {
  _ft f;
  f.type = type;
  f.index = index;
  f.arcSource = arcSource;
  f.column = column;
  f.offset = off;
  f.valueFunction = valueFunction;
  f.steps = std::move(steps);
  return f;
}

inline _ft w(int off) { return item(off); }

// Function item as the built-in sets write it: the code is both the value
// function and the single step.
inline _ft fn(int code, int off, int column = 0) { return item(off, column, code, {{code, 0}}); }

inline _ft y(int off) {
  _ft f;
  f.type = 0;
  f.offset = off;
  return f;
}

inline _ftnind tpl(const std::string& name, std::vector<_ft> items, const std::string& relation = "NULL") {
  _ftnind t;
  t.name = name;
  t.items = std::move(items);
  t.relation = relation;
  return t;
}

// Rows of one column each.
inline TokenTable words(const std::vector<std::string>& ws) {
  TokenTable rows;
  for (const std::string& s : ws) rows.push_back({s});
  return rows;
}

inline std::vector<_dppair> arcList(const std::vector<std::pair<int, std::string>>& entries) {
  std::vector<_dppair> list;
  for (const auto& e : entries) {
    _dppair p;
    p.head = e.first;
    p.dprel = e.second;
    list.push_back(p);
  }
  return list;
}

// Inputs of one generator call; members default to empty.
struct Call {
  TokenTable rows;
  std::vector<int> stack;
  std::vector<_dppair> arcs;
  std::vector<std::vector<_dppair>> argumentLists;
  std::vector<int> predicateRows;
  std::vector<_dppair> extraArcs;
  int result = 0;

  std::string run(_ftnind& t, int position, std::string out = "") {
    result = FeatureLocGenP2Multi(rows, t, stack, position, arcs, argumentLists, predicateRows, extraArcs, out);
    return out;
  }
  std::string run(_ftnind&& t, int position, std::string out = "") { return run(t, position, std::move(out)); }
};

}  // namespace ktest

#endif
