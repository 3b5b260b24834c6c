#include "features/tree_functions.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "features/parser_functions.h"
#include "features/predicate_dictionary.h"
#include "templates/parser_step_codes.h"
#include "text/line_utils.h"

namespace {

enum StepCode { kCurRoot = 24, kMostHeaded = 25, kA0 = 26, kA2 = 28 };

// curroot gives up after this many head look-ups.
const int kCurRootLookups = 514;

void appendInt(long long v, std::string& out) { out += std::to_string(v); }

inline bool startsWith(const std::string& s, const char* prefix) {
  size_t i = 0;
  for (; prefix[i] != '\0'; ++i)
    if (i >= s.size() || s[i] != prefix[i]) return false;
  return true;
}

inline bool endsWith(const std::string& s, const char* suffix) {
  const size_t m = std::char_traits<char>::length(suffix);
  return s.size() >= m && s.compare(s.size() - m, m, suffix) == 0;
}

// One element of a "|" sequence; a missing cell stands as "_".
void appendSeqCell(const FeatureCallContext& c, long long r, long long col, std::string& out) {
  out += '|';
  const std::string* s = c.cell(r, col);
  out += s != nullptr ? *s : "_";
}

// Column value of a row that may lack the column; missing gives "_".
void assignCell(const FeatureCallContext& c, long long r, long long col, std::string& value) {
  const std::string* s = c.cell(r, col);
  value = s != nullptr ? *s : "_";
}

// Rows on the head chain from node upwards, node first, stopping at a
// negative head. A row past the end of the selected arc list still counts
// (its head reads as -1, so the chain ends with it). A chain that comes back
// to one of its rows stops there.
void headChain(const FeatureCallContext& c, int node, std::vector<int>& chain) {
  chain.clear();
  const int size = c.selectedSize();
  std::vector<char> seen(static_cast<size_t>(size), 0);
  long long g = node;
  while (g >= 0) {
    if (g < size) {
      if (seen[static_cast<size_t>(g)]) break;
      seen[static_cast<size_t>(g)] = 1;
    }
    chain.push_back(static_cast<int>(g));
    g = c.headAt(g);
  }
}

// Rounds of "replace the set by the rows whose head is in it" until the set
// is empty; a row enters the set at most once, so cycles end.
int subtreeRounds(const FeatureCallContext& c, int node) {
  const int n = c.n;
  std::vector<char> visited(static_cast<size_t>(n), 0);
  std::vector<char> inSet(static_cast<size_t>(n), 0);
  std::vector<int> set;
  std::vector<int> next;
  bool firstRound = true;  // compares heads with node itself, which may lie outside the sentence (e.g. -1)
  if (c.inside(node)) {
    inSet[static_cast<size_t>(node)] = 1;
    visited[static_cast<size_t>(node)] = 1;
    set.push_back(node);
  }
  int rounds = 0;
  for (;;) {
    next.clear();
    for (int j = 0; j < n; ++j) {
      if (visited[static_cast<size_t>(j)]) continue;
      const int h = c.headAt(j);
      const bool headInSet = firstRound ? h == node : (h >= 0 && h < n && inSet[static_cast<size_t>(h)]);
      if (headInSet) next.push_back(j);
    }
    ++rounds;
    for (int r : set) inSet[static_cast<size_t>(r)] = 0;
    firstRound = false;
    if (next.empty()) break;
    for (int r : next) {
      inSet[static_cast<size_t>(r)] = 1;
      visited[static_cast<size_t>(r)] = 1;
    }
    set.swap(next);
  }
  return rounds;
}

// Every row's descendants are counted by a walk down the child lists in
// which a row is visited once per walk (the same count as level by level in a
// forest, and finite with cycles).
void mostHeaded(const FeatureCallContext& c, int& node) {
  const int n = c.n;
  std::vector<std::vector<int>> children(static_cast<size_t>(n));
  for (int j = 0; j < n && j < c.selectedSize(); ++j) {
    const int h = c.headAt(j);
    if (h >= 0 && h < n) children[static_cast<size_t>(h)].push_back(j);
  }
  std::vector<int> stamp(static_cast<size_t>(n), -1);
  std::vector<int> todo;
  long long best = -1;
  int bestRow = node;
  for (int r = 0; r < n; ++r) {
    long long count = 0;
    stamp[static_cast<size_t>(r)] = r;
    todo.assign(1, r);
    while (!todo.empty()) {
      const int x = todo.back();
      todo.pop_back();
      for (int child : children[static_cast<size_t>(x)]) {
        if (stamp[static_cast<size_t>(child)] == r) continue;
        stamp[static_cast<size_t>(child)] = r;
        ++count;
        todo.push_back(child);
      }
    }
    const long long dist = std::llabs(static_cast<long long>(r) - node);
    const long long bestDist = std::llabs(static_cast<long long>(bestRow) - node);
    if (count > best || (count == best && dist < bestDist)) {
      best = count;
      bestRow = r;
    }
  }
  node = bestRow;  // an empty sentence leaves the node where it is
}

// Children of node: rows i below the size of the default arc list whose head
// in the selected list is node, whichever list that is; entries the selected
// list lacks read as head -1, so they are children of node -1.
template <typename Fn>
void forEachChild(const FeatureCallContext& c, int node, Fn fn) {
  const long long size = static_cast<long long>(c.arcs.size());
  for (long long i = 0; i < size; ++i)
    if (c.headAt(i) == node) fn(i);
}

bool isVbTag(const std::string& tag) {
  return tag.size() >= 2 && (tag[0] == 'v' || tag[0] == 'V') && (tag[1] == 'b' || tag[1] == 'B');
}

// The current predicate row, when argumentLists does not already cover
// every predicate.
bool currentPredicate(const FeatureCallContext& c, int& p) {
  const size_t k = c.argumentLists.size();
  if (k >= c.predicateRows.size()) return false;
  p = c.predicateRows[k];
  return true;
}

bool lowerIsOneOf(const std::string* s, std::initializer_list<const char*> words) {
  if (s == nullptr) return false;
  const std::string lower = lowcaseIt(*s);
  for (const char* w : words)
    if (lower == w) return true;
  return false;
}

int headIn(const std::vector<_dppair>& list, long long i) {
  const _dppair* a = arcAt(list, i);
  return a != nullptr ? a->head : -1;
}

}  // namespace

bool isTreeValueCode(int code) { return code == 100 || (code >= 102 && code <= 145 && code != 132); }

bool applyNavigationStep(FeatureCallContext& c, const _subft& step, int& node, bool& outOfRange) {
  switch (step.code) {
    case kCurRoot: {
      // A chain that comes back to the start stops there (the start is then
      // the last row seen); other cycles end at the look-up bound.
      long long last = -1;
      long long g = node;
      for (int lookups = 0; lookups < kCurRootLookups && g >= 0; ++lookups) {
        g = c.headAt(g);
        if (g < 0) break;
        last = g;
        if (g == node) break;
      }
      node = static_cast<int>(last);
      return true;
    }
    case kMostHeaded:
      mostHeaded(c, node);
      return true;
    case kA0:
    case kA0 + 1:
    case kA2: {
      // The label is read at the entry past the last row, which only a list
      // with one extra entry has; otherwise the test fails.
      const char* wanted = step.code == kA0 ? "a0" : (step.code == kA0 + 1 ? "a1" : "a2");
      const bool match = c.n < c.selectedSize() && lowcaseIt(c.dprelAt(c.n)) == wanted;
      if (!match) {
        node = -1;
        outOfRange = true;
      }
      return true;
    }
    default:
      if (isParserNavigationCode(step.code)) return applyParserStep(c, step, node, outOfRange);
      return false;
  }
}

void treeValueFunction(FeatureCallContext& c, const _ft& item, int start, int node, std::string& value) {
  const int n = c.n;
  const int row = addRows(node, item.offset);
  value.clear();
  switch (item.valueFunction) {
    case 100:  // isargument
      for (const std::vector<_dppair>& list : c.argumentLists) {
        const _dppair* a = arcAt(list, node);
        if (a != nullptr && a->dprel != "_") {
          value = a->dprel;
          return;
        }
      }
      value = "-";
      return;
    case 102:  // dprel
      if (c.inside(node))
        value = c.dprelAt(node);
      else if (node < 0)
        value = "_Br" + std::to_string(node);
      else
        value = "_Er-" + std::to_string(static_cast<long long>(node) - n + 1);
      return;
    case 103:  // dir
      value = start > node ? "1" : (start == node ? "0" : "2");
      return;
    case 104: {  // curpred
      int p;
      if (!currentPredicate(c, p)) {
        value = "_";
        return;
      }
      const int r = addRows(p, item.offset);
      if (c.inside(r))
        assignCell(c, r, 10, value);
      else
        appendBoundaryToken(n, r, value);
      return;
    }
    case 105:    // preddir
    case 106:    // iscurpred
    case 121: {  // iscurstart
      if (!c.inside(row)) {
        appendBoundaryToken(n, row, value);
        return;
      }
      int p;
      const bool have = currentPredicate(c, p);
      if (item.valueFunction == 105) {
        if (!have)
          value = "_";
        else
          value = p < row ? "1" : (p == row ? "0" : "-1");
      } else if (have && p == row) {
        assignCell(c, p, item.valueFunction == 106 ? 10 : item.column, value);
      } else {
        value = "_";
      }
      return;
    }
    case 107: {  // curpredturn: arcSource is a 1-based predicate number here
      const long long k = static_cast<long long>(item.arcSource) - 1;
      const std::string* s = nullptr;
      if (k >= 0 && k < static_cast<long long>(c.predicateRows.size()))
        s = c.cell(addRows(c.predicateRows[static_cast<size_t>(k)], item.offset), item.column);
      value = s != nullptr ? *s : "_1";
      return;
    }
    case 108: {  // curpredline
      int p;
      const std::string* s = currentPredicate(c, p) ? c.cell(addRows(p, item.offset), item.column) : nullptr;
      value = s != nullptr ? *s : "_1";
      return;
    }
    case 109: {  // numberofchildren
      long long count = 0;
      forEachChild(c, node, [&](long long) { ++count; });
      appendInt(count, value);
      return;
    }
    case 110:  // posseqofchildren
      value = "|";
      forEachChild(c, node, [&](long long i) { appendSeqCell(c, i, 7, value); });
      return;
    case 126:  // dprelseqofchildren
      value = "|";
      forEachChild(c, node, [&](long long i) { value += '|' + c.dprelAt(i); });
      return;
    case 144:    // posseqofchildrenrel
    case 145: {  // dprelseqofchildrenrel
      value = "|";
      if (!c.inside(node)) return;
      const bool pos = item.valueFunction == 144;
      auto add = [&](long long i) {
        if (pos)
          appendSeqCell(c, i, 7, value);
        else
          value += '|' + c.dprelAt(i);
      };
      forEachChild(c, node, [&](long long i) {
        if (i < node) add(i);
      });
      add(node);
      forEachChild(c, node, [&](long long i) {
        if (i >= node) add(i);
      });
      return;
    }
    case 111:    // isfirstverb
    case 112: {  // islastverb
      long long found = -1;
      if (item.valueFunction == 111) {
        for (long long r = 0; r < n && found < 0; ++r)
          if (isVbTag(c.text(r, 7))) found = r;
      } else {
        for (long long r = n - 1; r >= 0 && found < 0; --r)
          if (isVbTag(c.text(r, 7))) found = r;
      }
      value = (found >= 0 && found == node) ? "+" : "-";
      return;
    }
    case 113:
      value = node == 0 ? "+" : "-";
      return;
    case 114:
      value = static_cast<long long>(node) == static_cast<long long>(n) - 1 ? "+" : "-";
      return;
    case 115:
      value = static_cast<long long>(node) == static_cast<long long>(start) - 1 ? "+" : "-";
      return;
    case 116:
      value = static_cast<long long>(node) == static_cast<long long>(start) + 1 ? "+" : "-";
      return;
    case 117:    // curhighestlevel
    case 118:    // curhighestpath
    case 134: {  // curhighestpathpos
      std::vector<int> chain;
      headChain(c, node, chain);
      if (item.valueFunction == 117) {
        appendInt(static_cast<long long>(chain.size()), value);
        return;
      }
      value = "|";
      for (int g : chain) {
        if (item.valueFunction == 118)
          value += '|' + c.dprelAt(g);
        else
          appendSeqCell(c, g, 7, value);
      }
      return;
    }
    case 119:  // curlowestlevel
      appendInt(subtreeRounds(c, node) - 1, value);
      return;
    case 120: {  // isinstack
      for (int s : c.stack)
        if (s == node) {
          value = "stack";
          return;
        }
      value = (c.position <= node && node < n) ? "input" : "handled";
      return;
    }
    case 122: {  // isvorn
      const std::string& tag = c.text(node, 7);
      value = (tag.size() >= 2 && (startsWith(tag, "NN") || startsWith(tag, "VB"))) ? "+" : "-";
      return;
    }
    case 123: {  // isdeterminedtarget
      value = "-";
      if (node >= 0 && static_cast<size_t>(node) < c.argumentLists.size())
        for (const _dppair& a : c.argumentLists[static_cast<size_t>(node)])
          if (a.dprel != "_") value = "+";
      return;
    }
    case 124: {  // iscurtargetfound
      value = "-";
      for (int i = 0; i < c.selectedSize(); ++i)
        if (c.dprelAt(i) != "_") value = "+";
      return;
    }
    case 125:  // isstartlabeled
      value = c.dprelAt(static_cast<long long>(c.argumentLists.size())) != "_" ? "+" : "-";
      return;
    case 127:
    case 128:
    case 129:
    case 130:
    case 131: {  // recommenda0 .. recommenda3, recommendit
      std::vector<std::string> labels;
      for (int i = 0; i < c.selectedSize(); ++i) labels.push_back(c.dprelAt(i));
      std::vector<std::string> recs;
      int p;
      if (currentPredicate(c, p)) recommendSearch(node, p, labels, c.rows, recs);
      if (item.valueFunction == 131) {
        value = recs.size() == 1 ? recs[0] : "-";
        return;
      }
      const std::string wanted(1, static_cast<char>('0' + (item.valueFunction - 127)));
      value = "-";
      for (const std::string& r : recs)
        if (r == wanted) value = "+";
      return;
    }
    case 133: {  // isactive
      const std::string* tag = c.cell(node, 7);
      if (tag == nullptr || !startsWith(*tag, "V")) {
        value = "_";
        return;
      }
      const int h = c.headAt(node);
      if (h >= 0 && c.text(h, 6) == "be") {
        const std::string& form = c.text(node, 5);
        value = (form.size() <= 2 || !endsWith(form, "ing")) ? "+" : "-";
      } else {
        value = "-";
      }
      return;
    }
    case 135: {  // srlbaseneg
      value = "-";
      int p;
      if (!c.inside(node) || !lowerIsOneOf(c.cell(node, item.column), {"not", "n't", "no"}) ||
          !currentPredicate(c, p))
        return;
      // Missing entries read as head -1: a negation and a predicate that both
      // lack one share that head.
      const int h = headIn(c.extraArcs, p);
      if (h == node || headIn(c.extraArcs, node) == h) value = "+";
      return;
    }
    case 136: {  // srlbasemod
      value = "-";
      int p;
      if (!c.inside(node) || c.text(node, 7) != "MD" || !currentPredicate(c, p) || !startsWith(c.text(p, 7), "V"))
        return;
      const int h = headIn(c.extraArcs, p);
      if (h == node || (h >= 0 && headIn(c.extraArcs, h) == node)) value = "+";
      return;
    }
    case 137: {  // srlbasea
      const _dppair* a = arcAt(c.extraArcs, node);
      value = (c.inside(node) && a != nullptr && (a->dprel == "SBJ" || a->dprel == "OBJ") &&
               startsWith(c.text(node, 7), "N"))
                  ? "+"
                  : "-";
      return;
    }
    case 138: {  // srlbasera
      int p;
      value = (c.inside(node) && currentPredicate(c, p) && row < p &&
               lowerIsOneOf(c.cell(node, item.column), {"that", "which", "who"}))
                  ? "+"
                  : "-";
      return;
    }
    case 139: {  // iscoma
      const std::string* s = c.cell(row, item.column);
      value = (s != nullptr && *s == ",") ? "+" : "-";
      return;
    }
    case 140: {  // existmd
      value = "-";
      for (int r = 0; r < n; ++r)
        if (c.text(r, 7) == "MD") value = "+";
      return;
    }
    case 141:  // ismd
      value = c.text(row, 7) == "MD" ? "+" : "-";
      return;
    case 142: {  // existverbinthisshortsentence
      value = "-";
      if (!c.inside(node)) return;
      auto letterLemma = [&](long long r) {
        const std::string& lemma = c.text(r, 6);
        return !lemma.empty() && isLetter(lemma[0]) > 0;
      };
      long long first = node;
      while (first - 1 >= 0 && letterLemma(first - 1)) --first;
      long long end = node;
      while (end < n && letterLemma(end)) ++end;
      for (long long r = first; r < end; ++r)
        if (startsWith(c.text(r, 7), "V")) value = "+";
      return;
    }
    case 143: {  // isverbnoun
      if (!c.inside(row)) {
        value = "-";
        return;
      }
      const std::string& tag = c.text(row, 7);
      value = startsWith(tag, "N") ? "N" : (startsWith(tag, "V") ? "V" : "-");
      return;
    }
    default:
      value = "_";
      return;
  }
}
