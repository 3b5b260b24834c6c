#include "features/role_functions.h"

#include <cstdio>
#include <vector>

namespace {

enum RoleCode {
  kPredPath = 280,
  kPredPathPos = 281,
  kPredRelation = 282,
  kPredPathLen = 283,
  kPredVoice = 284,
  kPredDistance = 285,
  kPredFrame = 286,
  kCaseMarker = 287,
};

const std::string kNoValue = "_";

int treeHead(const FeatureCallContext& c, int row) {
  const _dppair* a = arcAt(c.extraArcs, row);
  return a == nullptr ? -1 : a->head;
}

const std::string& treeRelation(const FeatureCallContext& c, int row) {
  const _dppair* a = arcAt(c.extraArcs, row);
  return a == nullptr ? FeatureCallContext::noLabel() : a->dprel;
}

// The row and its ancestors, nearest first, up to a head outside the
// sentence or a row met before.
void ancestors(const FeatureCallContext& c, int row, std::vector<int>& chain) {
  chain.clear();
  std::vector<char> seen(static_cast<size_t>(c.n), 0);
  for (int g = row; c.inside(g) && !seen[static_cast<size_t>(g)]; g = treeHead(c, g)) {
    seen[static_cast<size_t>(g)] = 1;
    chain.push_back(g);
  }
}

// Steps up from `row` and down to `pred` through their lowest shared
// ancestor; false when they share none.
bool treePath(const FeatureCallContext& c, int row, int pred, std::vector<int>& up, std::vector<int>& down) {
  std::vector<int> fromRow, fromPred;
  ancestors(c, row, fromRow);
  ancestors(c, pred, fromPred);
  std::vector<int> depthInPred(static_cast<size_t>(c.n), -1);
  for (size_t i = 0; i < fromPred.size(); ++i) depthInPred[static_cast<size_t>(fromPred[i])] = static_cast<int>(i);
  for (size_t i = 0; i < fromRow.size(); ++i) {
    const int d = depthInPred[static_cast<size_t>(fromRow[i])];
    if (d < 0) continue;
    up.assign(fromRow.begin(), fromRow.begin() + static_cast<long>(i));  // rows left on the way up
    down.assign(fromPred.begin(), fromPred.begin() + d);               // rows entered on the way down
    return true;
  }
  return false;
}

// A dependent whose relation names a passive or whose lemma is a passive
// auxiliary.
bool passiveMarked(const FeatureCallContext& c, int head) {
  for (int i = 0; i < c.n; ++i) {
    if (treeHead(c, i) != head) continue;
    if (treeRelation(c, i).find("pass") != std::string::npos) return true;
    const std::string& lemma = c.text(i, 6);
    if (lemma == "be" || lemma == "get") return true;
  }
  return false;
}

bool isMarkerRelation(const std::string& rel) {
  for (const char* m : {"case", "mark"}) {
    const std::string name = m;
    if (rel.compare(0, name.size(), name) == 0 && (rel.size() == name.size() || rel[name.size()] == ':'))
      return true;
  }
  return false;
}

const std::string& cellOrNone(const FeatureCallContext& c, int row, int column) {
  const std::string* s = c.cell(row, column);
  return s != nullptr ? *s : kNoValue;
}

}  // namespace

bool isRoleFunctionCode(int code) { return code >= kPredPath && code <= kCaseMarker; }

void roleFunctionValue(const FeatureCallContext& c, const _ft& item, int row, std::string& value) {
  value = kNoValue;
  const size_t k = c.argumentLists.size();
  if (k >= c.predicateRows.size()) return;
  const int p = c.predicateRows[k];
  if (!c.inside(p)) return;
  const int code = item.valueFunction;
  if (code == kPredVoice) {
    const std::string& tag = c.text(p, 7);
    if (tag.empty() || tag[0] != 'V')
      value = "-";
    else if (tag == "VBN" && passiveMarked(c, p))
      value = "passive";
    else
      value = "active";
    return;
  }
  if (code == kPredFrame) {
    value = "|";
    for (int i = 0; i < c.n; ++i) {
      if (i == p) {
        value += "|V";
      } else if (treeHead(c, i) == p) {
        value += '|';
        value += treeRelation(c, i);
      }
    }
    return;
  }
  if (!c.inside(row)) return;
  switch (code) {
    case kPredPath:
    case kPredPathPos:
    case kPredRelation:
    case kPredPathLen: {
      std::vector<int> up, down;
      if (!treePath(c, row, p, up, down)) {
        value = "-";
        return;
      }
      if (code == kPredPathLen) {
        char buf[48];
        std::snprintf(buf, sizeof buf, "u%zud%zu", up.size(), down.size());
        value = buf;
      } else if (code == kPredRelation) {
        const size_t u = up.size(), d = down.size();
        if (u == 0 && d == 0) value = "self";
        else if (d == 0) value = u == 1 ? "child" : u == 2 ? "grandchild" : "descendant";
        else if (u == 0) value = d == 1 ? "parent" : "ancestor";
        else if (u == 1 && d == 1) value = "sibling";
        else value = "other";
      } else if (code == kPredPath) {
        if (up.empty() && down.empty()) {
          value = "=";
          return;
        }
        value.clear();
        for (int r : up) {
          value += treeRelation(c, r);
          value += '<';
        }
        for (size_t i = down.size(); i-- > 0;) {
          value += treeRelation(c, down[i]);
          value += '>';
        }
      } else {
        value = cellOrNone(c, row, item.column);
        for (size_t i = 0; i < up.size(); ++i) {
          value += '<';
          value += cellOrNone(c, treeHead(c, up[i]), item.column);
        }
        for (size_t i = down.size(); i-- > 0;) {
          value += '>';
          value += cellOrNone(c, down[i], item.column);
        }
      }
      return;
    }
    case kPredDistance: {
      const long long d = static_cast<long long>(row) - p;
      const long long a = d < 0 ? -d : d;
      if (a <= 5) {
        char buf[24];
        std::snprintf(buf, sizeof buf, "%lld", d);
        value = buf;
      } else {
        value = d < 0 ? "-" : "+";
        value += a <= 10 ? "far" : "vfar";
      }
      return;
    }
    case kCaseMarker:
      value = "-";
      for (int i = 0; i < c.n; ++i) {
        if (treeHead(c, i) == row && isMarkerRelation(treeRelation(c, i))) {
          value = cellOrNone(c, i, item.column);
          return;
        }
      }
      return;
    default:
      return;
  }
}
