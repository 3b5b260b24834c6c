#include "parsing/dependency_info.h"

#include <climits>
#include <cstdlib>

namespace {

const std::string kNoRelation = "_";

_dppair arcFromColumns(const std::vector<std::string>& row, size_t headColumn) {
  _dppair arc;
  arc.head = headColumn < row.size() ? headFromColumn(row[headColumn]) : -1;
  arc.dprel = headColumn + 1 < row.size() ? row[headColumn + 1] : kNoRelation;
  return arc;
}

}  // namespace

int headFromColumn(const std::string& text) {
  long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) value = INT_MAX;
  if (value < static_cast<long>(INT_MIN) + 1) value = static_cast<long>(INT_MIN) + 1;
  return static_cast<int>(value - 1);
}

void loadExtraDPInfo(TokenTable& rows, int infoKind, std::vector<_dppair>& extraArcs,
                     std::vector<std::vector<_dppair>>& argumentLists, std::vector<int>& predicateRows) {
  if (infoKind == 1 || infoKind == 3) {
    extraArcs.resize(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) extraArcs[i] = arcFromColumns(rows[i], 8);
  }
  if (infoKind == 2 || infoKind == 3) {
    predicateRows.clear();
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].size() >= 11 && rows[i][10] != "_") predicateRows.push_back(static_cast<int>(i));
    const size_t predicates = predicateRows.size();
    if (predicates > 0 && rows[0].size() >= 13 + predicates) {
      argumentLists.resize(predicates);
      for (size_t j = 0; j < predicates; ++j) {
        argumentLists[j].resize(rows.size());
        for (size_t d = 0; d < rows.size(); ++d) argumentLists[j][d] = arcFromColumns(rows[d], 12 + 2 * j);
      }
    } else {
      argumentLists.clear();
    }
  }
}

void loadExtraDPInfo(TokenTable& rows, std::vector<_dppair>& extraArcs,
                     std::vector<std::vector<_dppair>>& argumentLists, std::vector<int>& predicateRows) {
  loadExtraDPInfo(rows, 3, extraArcs, argumentLists, predicateRows);
}
