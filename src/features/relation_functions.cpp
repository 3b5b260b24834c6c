#include "features/relation_functions.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "features/predicate_dictionary.h"
#include "features/feature_generator.h"
#include "text/line_utils.h"

namespace {

// What every relation function sees: the first two reached rows and item
// values (-1 / absent for a template with fewer non-label items).
struct Relation {
  FeatureCallContext& c;
  const _ftnind& tmpl;
  int r0, r1, lo, hi;
  const std::string* s0;
  const std::string* s1;
  const std::string& name;
  std::string& out;

  const _ft* firstItem() const { return tmpl.items.empty() ? nullptr : &tmpl.items[0]; }
  bool bothInside() const { return c.inside(r0) && c.inside(r1); }
};

inline bool startsWith(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// Parameter of a prefix entry written right after the prefix and one more
// character ("existdplabelex_a0" gives "a0").
std::string parameterAfter(const std::string& name, const char* prefix) {
  const size_t from = std::char_traits<char>::length(prefix) + 1;
  return from < name.size() ? lowcaseIt(name.substr(from)) : std::string();
}

void appendInt(long long v, std::string& out) { out += std::to_string(v); }

bool anyArcLabelled(const std::vector<_dppair>& list, const std::string& param) {
  for (const _dppair& a : list)
    if (lowcaseIt(a.dprel) == param) return true;
  return false;
}

// --- family a ---------------------------------------------------------------

// Split-word group of a row by column 4 ("_" continues the part before it).
// False when the row has no group.
bool hyphenGroup(const FeatureCallContext& c, int x, long long& start, long long& end) {
  const bool continues = c.text(x, 4) == "_";
  const bool has = continues || (x < c.n - 1 && c.text(x + 1, 4) == "_");
  start = x;
  while (start >= 0 && c.text(start, 4) == "_") --start;
  end = x;
  while (end < c.n && c.text(end, 4) == "_") ++end;
  --end;
  return has && start >= 0;
}

void hyphenRel(Relation& R) {
  R.out = "-";
  if (!R.bothInside()) return;
  long long st0, en0, st1, en1;
  const bool g0 = hyphenGroup(R.c, R.r0, st0, en0);
  const bool g1 = hyphenGroup(R.c, R.r1, st1, en1);
  if (!g0 && !g1)
    R.out = "00";
  else if (!g1)
    R.out = "10";
  else if (!g0)
    R.out = "01";
  else
    R.out = (st0 == st1 && en0 == en1) ? "in" : "2in";
}

void comaRel(Relation& R) {
  R.out = "-";
  if (!R.bothInside()) return;
  auto comma = [&](long long r) { return R.c.text(r, 6) == ","; };
  const bool loComma = comma(R.lo), hiComma = comma(R.hi);
  R.out = loComma ? (hiComma ? "impossible" : "x1") : (hiComma ? "x2" : "fair");
  for (long long r = static_cast<long long>(R.lo) + 1; r < R.hi; ++r)
    if (comma(r)) {
      R.out += "_ex";
      break;
    }
}

void posSeq(Relation& R) {
  R.out = "-";
  if (!R.bothInside()) return;
  std::string seq = "|";
  for (long long r = R.lo; r <= R.hi; ++r) {
    seq += '|';
    const std::string* s = R.c.cell(r, 7);
    seq += s != nullptr ? *s : "_";
  }
  R.out = seq;
}

void curPredExArcs(Relation& R) {
  // The parameter starts two characters after the prefix and stops before
  // the name's last character ("curpredex_[a0]" gives "a0").
  const size_t from = std::char_traits<char>::length("curpredex") + 2;
  const std::string param =
      (from + 1 < R.name.size()) ? lowcaseIt(R.name.substr(from, R.name.size() - 1 - from)) : std::string();
  const _ft* first = R.firstItem();
  if (first == nullptr) {
    R.out = "_1";
    return;
  }
  long long found = -1;
  for (size_t i = 0; i < R.c.arcs.size(); ++i)
    if (lowcaseIt(R.c.arcs[i].dprel) == param) {
      found = static_cast<long long>(i);
      break;
    }
  const std::string* s = R.c.cell(addRows(found, first->offset), first->column);
  R.out = s != nullptr ? *s : "_1";
}

// Labels along the head chain of the default arc list; a row already on the
// chain ends it, so cyclic lists terminate.
void deepestPath(Relation& R) {
  R.out = "0-";
  if (R.r0 < 0) return;
  std::vector<char> seen(R.c.arcs.size(), 0);
  long long g = R.r0;
  while (g >= 0 && g < static_cast<long long>(R.c.arcs.size()) && !seen[static_cast<size_t>(g)]) {
    seen[static_cast<size_t>(g)] = 1;
    R.out += '-';
    R.out += R.c.arcs[static_cast<size_t>(g)].dprel;
    g = R.c.arcs[static_cast<size_t>(g)].head;
  }
}

void dicScore(Relation& R, bool pair) {
  R.out = "-";
  if (R.s0 == nullptr || (pair && R.s1 == nullptr)) return;
  const std::string key = *R.s0 + " " + (pair ? *R.s1 : std::string("__"));
  const auto found = _dic.find(key);
  if (found == _dic.end()) return;
  char mode[] = "inverse";
  R.out.clear();
  appendInt(discreteLog3(std::strtod(found->second.c_str(), nullptr), mode), R.out);
}

bool familyA(Relation& R) {
  const std::string& name = R.name;
  if (name == "hyphenrel") {
    hyphenRel(R);
  } else if (name == "comarel") {
    comaRel(R);
  } else if (name == "verbrelationright" || name == "verbrelationleft") {
    R.out = "-";  // no verb position is known to compare with
  } else if (name == "posseq") {
    posSeq(R);
  } else if (name == "isequal") {
    R.out = (R.s0 != nullptr && R.s1 != nullptr && *R.s0 == *R.s1) ? "+" : "-";
  } else if (name == "distance") {
    R.out = "-";
    if (R.bothInside()) {
      R.out.clear();
      appendInt(static_cast<long long>(R.r0) - R.r1, R.out);
    }
  } else if (startsWith(name, "curpredex")) {
    curPredExArcs(R);
  } else if (startsWith(name, "curexist")) {
    R.out = anyArcLabelled(R.c.arcs, parameterAfter(name, "curexist")) ? "+" : "-";
  } else if (startsWith(name, "existdplabelex")) {
    R.out = anyArcLabelled(R.c.arcs, parameterAfter(name, "existdplabelex")) ? "1" : "0";
  } else if (startsWith(name, "existchildlabelex")) {
    const std::string param = parameterAfter(name, "existchildlabelex");
    R.out = "0";
    for (const _dppair& a : R.c.arcs)
      if (a.head == R.r0 && lowcaseIt(a.dprel) == param) R.out = "1";
  } else if (name == "deepestpath") {
    deepestPath(R);
  } else if (name == "rootscore") {
    dicScore(R, false);
  } else if (name == "pairscore") {
    dicScore(R, true);
  } else {
    return false;
  }
  return true;
}

// --- family b ---------------------------------------------------------------

void predicateColumn(Relation& R, long long k) {
  const _ft* first = R.firstItem();
  const std::string* s = nullptr;
  if (first != nullptr && k >= 0 && k < static_cast<long long>(R.c.predicateRows.size()))
    s = R.c.cell(addRows(R.c.predicateRows[static_cast<size_t>(k)], first->offset), first->column);
  R.out = s != nullptr ? *s : "-";
}

void existCross(Relation& R) {
  R.out = "-";
  if (!R.c.inside(R.lo) || !R.c.inside(R.hi)) return;
  const long long lo = R.lo, hi = R.hi;
  const size_t lists = std::min(R.c.argumentLists.size(), R.c.predicateRows.size());
  for (size_t k = 0; k < lists; ++k) {
    const long long p = R.c.predicateRows[k];
    const std::vector<_dppair>& list = R.c.argumentLists[k];
    for (size_t idx = 0; idx < list.size(); ++idx) {
      if (list[idx].dprel == "_") continue;
      const long long i = static_cast<long long>(idx);
      const bool pOutside = p < lo || p > hi;
      const bool iOutside = i < lo || i > hi;
      if ((pOutside && lo < i && i < hi) || (iOutside && lo < p && p < hi)) {
        R.out = "+";
        return;
      }
    }
  }
}

// existdp and its labelled forms; the last argument list that links the two
// rows decides. accept() filters the labels that count.
template <typename Accept, typename Forward, typename Backward>
void existDp(Relation& R, Accept accept, Forward forward, Backward backward) {
  R.out = "0";
  if (!R.bothInside()) return;
  const size_t lists = std::min(R.c.argumentLists.size(), R.c.predicateRows.size());
  for (size_t k = 0; k < lists; ++k) {
    const std::vector<_dppair>& list = R.c.argumentLists[k];
    const int p = R.c.predicateRows[k];
    const _dppair* e0 = arcAt(list, R.r0);
    const _dppair* e1 = arcAt(list, R.r1);
    if (e0 != nullptr && e0->dprel != "_" && accept(e0->dprel) && p == R.r1)
      R.out = forward(e0->dprel);
    else if (e1 != nullptr && e1->dprel != "_" && accept(e1->dprel) && p == R.r0)
      R.out = backward(e1->dprel);
  }
}

bool familyB(Relation& R) {
  const std::string& name = R.name;
  auto any = [](const std::string&) { return true; };
  if (name == "curpred") {
    predicateColumn(R, static_cast<long long>(R.c.argumentLists.size()));
  } else if (name == "curpredex") {
    const _ft* first = R.firstItem();
    predicateColumn(R, first != nullptr ? static_cast<long long>(first->arcSource) - 1 : -1);
  } else if (name == "existcross") {
    existCross(R);
  } else if (name == "existdp") {
    existDp(
        R, any, [](const std::string&) { return std::string("1"); },
        [](const std::string&) { return std::string("-1"); });
  } else if (name == "existdplabel") {
    existDp(
        R, any, [](const std::string& l) { return l; }, [](const std::string& l) { return "-" + l; });
  } else if (startsWith(name, "existdplabelex")) {
    const std::string param = parameterAfter(name, "existdplabelex");
    auto accept = [&param](const std::string& l) {
      return lowcaseIt(l) == param || (startsWith(l, "S-") && lowcaseIt(l.substr(2)) == param);
    };
    existDp(
        R, accept, [](const std::string&) { return std::string("1"); },
        [](const std::string&) { return std::string("-1"); });
  } else {
    return false;
  }
  return true;
}

// --- family c ---------------------------------------------------------------

// Values comparing two paths of rows from their last elements: the shared
// tail, then what each path has before it. Nothing fills the paths yet, so
// every call sees two empty paths.
struct PathPair {
  const std::vector<int>& a;
  const std::vector<int>& b;
  size_t shared = 0;
  PathPair(const std::vector<int>& pa, const std::vector<int>& pb) : a(pa), b(pb) {
    while (shared < a.size() && shared < b.size() && a[a.size() - 1 - shared] == b[b.size() - 1 - shared])
      ++shared;
  }
  size_t ownA() const { return a.size() - shared; }
  size_t ownB() const { return b.size() - shared; }
};

std::string tagOf(const FeatureCallContext& c, int r) {
  const std::string* s = c.cell(r, 7);
  return s != nullptr ? *s : "_";
}

std::string extraLabelOf(const FeatureCallContext& c, int r) {
  const _dppair* a = arcAt(c.extraArcs, r);
  return a != nullptr ? a->dprel : "_";
}

void isActiveExtra(Relation& R) {
  R.out = "_";
  const std::string* tag = R.c.cell(R.r0, 7);
  if (tag == nullptr || tag->empty() || (*tag)[0] != 'V') return;
  R.out = "-";
  const _dppair* a = arcAt(R.c.extraArcs, R.r0);
  const int h = a != nullptr ? a->head : -1;
  if (h >= 0 && R.c.text(h, 6) == "be") {
    const std::string& form = R.c.text(R.r0, 5);
    const bool ing = form.size() >= 3 && form.compare(form.size() - 3, 3, "ing") == 0;
    R.out = (form.size() <= 2 || !ing) ? "+" : "-";
  }
}

bool familyC(Relation& R) {
  static const std::vector<int> kNoPath;
  if (pathRelationValue(R.c, R.name, R.r0, R.r1, kNoPath, kNoPath, R.out)) return true;
  if (startsWith(R.name, "existdplabelex")) {
    R.out = anyArcLabelled(R.c.extraArcs, parameterAfter(R.name, "existdplabelex")) ? "1" : "0";
    return true;
  }
  if (R.name == "isactive") {
    isActiveExtra(R);
    return true;
  }
  return false;
}

}  // namespace

bool pathRelationValue(FeatureCallContext& c, const std::string& name, int r0, int r1,
                       const std::vector<int>& pathA, const std::vector<int>& pathB, std::string& out) {
  const bool rootPath = name == "rootpath";
  const char* startValue = name == "dpdistance" ? "-" : "0";
  static const char* const kEntries[] = {"dpposseq",
                                         "dpdistance",
                                         "existdp",
                                         "existdplabel",
                                         "matchpathdprel",
                                         "matchpathpos",
                                         "firstdistinctpathdprel",
                                         "firstdistinctpathpos",
                                         "seconddistinctpathdprel",
                                         "seconddistinctpathpos",
                                         "rootpath"};
  if (std::find_if(std::begin(kEntries), std::end(kEntries), [&](const char* e) { return name == e; }) ==
      std::end(kEntries))
    return false;

  out = startValue;
  if (!c.inside(r0) || (!rootPath && !c.inside(r1))) return true;

  const PathPair pp(pathA, pathB);
  std::string v;
  if (name == "dpposseq" || name == "existdplabel") {
    const bool pos = name == "dpposseq";
    for (size_t i = 0; i < pp.ownB(); ++i) v += "+" + (pos ? tagOf(c, pathB[i]) : extraLabelOf(c, pathB[i]));
    for (size_t i = 0; i < pp.ownA(); ++i) v += "-" + (pos ? tagOf(c, pathA[i]) : extraLabelOf(c, pathA[i]));
  } else if (name == "dpdistance") {
    appendInt(static_cast<long long>(pathB.size()) - static_cast<long long>(pathA.size()), v);
  } else if (name == "existdp") {
    const long long da = static_cast<long long>(pp.ownA()), db = static_cast<long long>(pp.ownB());
    const char* kind = da == 0 ? "descendant" : db == 0 ? "ancestor" : da == db ? "sibling" : da > db ? "nephew" : "uncle";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s-%lld", kind, da == 0 ? db : db == 0 ? da : std::llabs(da - db));
    v = buf;
  } else if (rootPath) {
    for (int r : pathA) v += "-" + extraLabelOf(c, r);
  } else {
    // "|" sequences: the shared tail, or one path's own part.
    const bool pos = name.size() >= 3 && name.compare(name.size() - 3, 3, "pos") == 0;
    std::vector<int> part;
    if (startsWith(name, "matchpath"))
      part.assign(pathA.end() - static_cast<long>(pp.shared), pathA.end());
    else if (startsWith(name, "firstdistinctpath"))
      part.assign(pathA.begin(), pathA.begin() + static_cast<long>(pp.ownA()));
    else
      part.assign(pathB.begin(), pathB.begin() + static_cast<long>(pp.ownB()));
    v = "|";
    for (int r : part) v += "|" + (pos ? tagOf(c, r) : extraLabelOf(c, r));
  }
  out = v;
  return true;
}

void relationFunction(FeatureCallContext& c, const _ftnind& tmpl, const std::vector<int>& itemRows,
                      const std::vector<std::string>& itemValues, std::string& out) {
  const std::string& relation = tmpl.relation;
  if (relation.empty()) return;
  const char family = relation[0];
  if (family != 'a' && family != 'b' && family != 'c') return;
  const std::string name = relation.size() > 2 ? lowcaseIt(relation.substr(2)) : std::string();

  const int r0 = itemRows.size() > 0 ? itemRows[0] : -1;
  const int r1 = itemRows.size() > 1 ? itemRows[1] : -1;
  // Work on a copy so that an unknown name leaves out as the caller had it.
  std::string result = out;
  Relation R{c,
             tmpl,
             r0,
             r1,
             std::min(r0, r1),
             std::max(r0, r1),
             itemValues.size() > 0 ? &itemValues[0] : nullptr,
             itemValues.size() > 1 ? &itemValues[1] : nullptr,
             name,
             result};
  bool known;
  if (family == 'a')
    known = familyA(R);
  else if (family == 'b')
    known = familyB(R);
  else
    known = familyC(R);
  if (!known) {
    std::fprintf(stderr, family == 'b' ? "Unknown function:%s\n" : "Unknown function:c_%s\n", name.c_str());
    return;
  }
  out.swap(result);
}
