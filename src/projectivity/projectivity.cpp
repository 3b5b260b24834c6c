#include "projectivity/projectivity.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

inline bool inside(long row, size_t size) { return row >= 0 && static_cast<size_t>(row) < size; }

inline bool isNeighbourArc(long token, long head) { return std::labs(head - token) == 1; }

// Whether token j (with head hj) crosses the span [lo, hi].
inline bool crosses(long j, long hj, long lo, long hi) {
  if (j > lo && j < hi) return hj < lo || hj > hi;
  if (hj > lo && hj < hi) return j < lo || j > hi;
  return false;
}

// The arc of token i with head h runs across the whole sentence of n tokens.
inline bool isWholeSentenceArc(long i, long h, long n) { return (i == 0 && h == n - 1) || (i == n - 1 && h == 0); }

// Far end of a whole-sentence arc: the other of the two sentence ends.
inline long farEndOf(long i, long n) { return i == 0 ? n - 1 : 0; }

bool hasSlash(const std::string& label) { return label.find('|') != std::string::npos; }

void putPair(CMiniStringBag& bag, long a, long b) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%ld %ld", a, b);
  bag.Put(buf);
}

void putToken(CMiniStringBag& bag, long a) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%ld", a);
  bag.Put(buf);
}

struct LiftCandidate {
  int token;
  int newHead;
  long distance;
};

// Index of the first candidate with the smallest distance below limit, -1 when none.
int bestCandidate(const std::vector<LiftCandidate>& candidates, long limit) {
  int best = -1;
  for (size_t c = 0; c < candidates.size(); ++c) {
    if (candidates[c].distance >= limit) continue;
    if (best < 0 || candidates[c].distance < candidates[static_cast<size_t>(best)].distance)
      best = static_cast<int>(c);
  }
  return best;
}

// Shared checks on a token before any lift: no '|' on it or on its head, and
// a head inside the sentence that itself has a head. Gives h and g.
bool liftable(const std::vector<_dppair>& tree, int e, int& h, int& g) {
  if (!inside(e, tree.size()) || hasSlash(tree[e].dprel)) return false;
  h = tree[e].head;
  if (!inside(h, tree.size()) || hasSlash(tree[h].dprel)) return false;
  g = tree[h].head;
  return g != -1;
}

// Token ids of the crossing-token bag in the order of their decimal texts.
std::vector<int> tokensInTextOrder(const CMiniStringBag& tokens) {
  std::vector<int> out;
  out.reserve(tokens.idByString.size());
  for (const auto& entry : tokens.idByString) out.push_back(std::atoi(entry.first.c_str()));
  return out;
}

// Distinct crossing pairs that have token e as a member, together with e's
// whole-sentence entry: exactly the part of collectNonProjective's count that
// depends on e's head. Moving e's head (to another token) changes the count by
// the difference of this number before and after, so a trial lift is counted
// in O(n) instead of O(n^2). marks is scratch of at least tree.size() entries.
long pairsWithToken(const std::vector<_dppair>& tree, long e, std::vector<long>& marks, long& stamp) {
  const long n = static_cast<long>(tree.size());
  ++stamp;
  long count = 0;
  const long he = tree[e].head;
  if (he != -1 && !isNeighbourArc(e, he)) {
    if (isWholeSentenceArc(e, he, n) && tree[farEndOf(e, n)].head != -1) {
      ++count;
    } else {
      const long lo = e < he ? e : he, hi = e < he ? he : e;
      for (long j = 0; j < n; ++j) {
        if (!crosses(j, tree[j].head, lo, hi) || marks[j] == stamp) continue;
        marks[j] = stamp;
        ++count;
      }
    }
  }
  for (long i = 0; i < n; ++i) {
    const long h = tree[i].head;
    if (i == e || h == -1 || isNeighbourArc(i, h)) continue;
    if (isWholeSentenceArc(i, h, n) && tree[farEndOf(i, n)].head != -1) continue;
    const long lo = i < h ? i : h, hi = i < h ? h : i;
    if (!crosses(e, he, lo, hi) || marks[i] == stamp) continue;
    marks[i] = stamp;
    ++count;
  }
  return count;
}

// Work spent by one lifting call, in elementary crossing tests. A full recount
// formats and files every pair as text, which costs about this many tests a pair.
constexpr long long kRecountWeight = 30;

struct LiftWork {
  explicit LiftWork(long long limit) : limit(limit) {}
  long long limit;
  long long spent = 0;
  bool exhausted = false;
  bool add(long long steps) {
    spent += steps;
    if (spent > limit) exhausted = true;
    return !exhausted;
  }
};

}  // namespace

int checkProjective(std::vector<_dppair>& tree) {
  const long n = static_cast<long>(tree.size());
  for (long i = 0; i < n; ++i) {
    const long h = tree[i].head;
    if (h == -1 || isNeighbourArc(i, h)) continue;
    if (isWholeSentenceArc(i, h, n) && tree[farEndOf(i, n)].head != -1) return static_cast<int>(i);
    const long lo = i < h ? i : h, hi = i < h ? h : i;
    for (long j = 0; j < n; ++j)
      if (crosses(j, tree[j].head, lo, hi)) return static_cast<int>(j);
  }
  return -1;
}

int checkProjective(std::vector<int>& heads, int first, int last) {
  const long n = static_cast<long>(heads.size());
  const long from = first < 0 ? 0 : first;
  const long to = last >= n ? n - 1 : last;
  for (long i = from; i <= to; ++i) {
    const long h = heads[i];
    if (h == -1 || isNeighbourArc(i, h) || isWholeSentenceArc(i, h, n)) continue;
    const long lo = i < h ? i : h, hi = i < h ? h : i;
    for (long j = 0; j < n; ++j)
      if (crosses(j, heads[j], lo, hi)) return static_cast<int>(j);
  }
  return -1;
}

int collectNonProjective(std::vector<_dppair>& tree, CMiniStringBag& crossingPairs, CMiniStringBag& crossingTokens) {
  crossingPairs = CMiniStringBag();
  crossingTokens = CMiniStringBag();
  const long n = static_cast<long>(tree.size());
  for (long i = 0; i < n; ++i) {
    const long h = tree[i].head;
    if (h == -1 || isNeighbourArc(i, h)) continue;
    if (isWholeSentenceArc(i, h, n) && tree[farEndOf(i, n)].head != -1) {
      putPair(crossingPairs, -1, i);
      putToken(crossingTokens, i);
      continue;
    }
    const long lo = i < h ? i : h, hi = i < h ? h : i;
    for (long j = 0; j < n; ++j) {
      if (!crosses(j, tree[j].head, lo, hi)) continue;
      const long a = i < j ? i : j, b = i < j ? j : i;
      putPair(crossingPairs, a, b);
      if (tree[a].head != -1) putToken(crossingTokens, a);
      if (tree[b].head != -1) putToken(crossingTokens, b);
    }
  }
  return crossingPairs.count;
}

int checkAcyclic(std::vector<_dppair>& tree, int token) {
  if (!inside(token, tree.size())) return -1;
  long current = token;
  // A chain longer than the sentence has entered a cycle that avoids the token.
  for (size_t steps = 0; steps <= tree.size(); ++steps) {
    current = tree[current].head;
    if (current == token) return 1;
    if (!inside(current, tree.size())) return -1;
  }
  return 1;
}

int checkSlash(std::string& label) { return hasSlash(label) ? 1 : -1; }

void liftHead2(std::vector<_dppair>& tree, int token) {
  if (!inside(token, tree.size())) return;
  const int h = tree[token].head;
  if (inside(h, tree.size())) tree[token].head = tree[h].head;
}

void liftHead3(std::vector<_dppair>& tree, int token, int newHead) {
  if (!inside(token, tree.size())) return;
  if (tree[token].head >= 0) tree[token].head = newHead;
}

int pseudoProjectiveHead2(std::vector<_dppair>& tree) { return pseudoProjectiveHead2(tree, kLiftWorkLimit, nullptr); }

int pseudoProjectiveHead2(std::vector<_dppair>& tree, long long workLimit, bool* exhausted) {
  CMiniStringBag pairs, tokens;
  const long long n = static_cast<long long>(tree.size());
  LiftWork work(workLimit);
  if (exhausted != nullptr) *exhausted = false;
  int d = collectNonProjective(tree, pairs, tokens);
  std::vector<_dppair> copy;
  std::vector<LiftCandidate> candidates;
  std::vector<long> marks(tree.size(), 0);
  long stamp = 0;
  while (pairs.count > 0) {
    candidates.clear();
    copy = tree;  // trial heads are set on the copy and restored after each count
    for (int e : tokensInTextOrder(tokens)) {
      int h = -1, g = -1;
      if (!liftable(tree, e, h, g)) continue;
      if (!work.add(4 * n)) break;
      copy[e].head = g;
      const bool cyclic = checkAcyclic(copy, e) == 1;
      const long count =
          cyclic ? d : d - pairsWithToken(tree, e, marks, stamp) + pairsWithToken(copy, e, marks, stamp);
      copy[e].head = h;
      if (cyclic) continue;
      if (count == 0) {
        liftHead2(tree, e);
        return 1;
      }
      if (count < d) candidates.push_back({e, g, std::labs(static_cast<long>(e) - h)});
    }
    if (work.exhausted) break;
    const int best = bestCandidate(candidates, 1024);
    if (best < 0) return -1;
    liftHead2(tree, candidates[static_cast<size_t>(best)].token);
    d = collectNonProjective(tree, pairs, tokens);
    if (!work.add(kRecountWeight * n * n)) break;
  }
  if (work.exhausted) {
    if (exhausted != nullptr) *exhausted = true;
    return -1;
  }
  return 1;
}

int pseudoProjectiveHead3(std::vector<_dppair>& tree) { return pseudoProjectiveHead3(tree, kLiftWorkLimit, nullptr); }

int pseudoProjectiveHead3(std::vector<_dppair>& tree, long long workLimit, bool* exhausted) {
  CMiniStringBag pairs, tokens;
  const int n = static_cast<int>(tree.size());
  const long long nn = static_cast<long long>(n);
  LiftWork work(workLimit);
  if (exhausted != nullptr) *exhausted = false;
  int d = collectNonProjective(tree, pairs, tokens);
  std::vector<_dppair> copy;
  std::vector<LiftCandidate> candidates;
  std::vector<long> marks(tree.size(), 0);
  long stamp = 0;
  while (pairs.count > 0) {
    candidates.clear();
    copy = tree;  // trial heads are set on the copy and restored after each count
    for (int e : tokensInTextOrder(tokens)) {
      int h = -1, g = -1;
      if (!liftable(tree, e, h, g)) continue;
      const long before = pairsWithToken(tree, e, marks, stamp);
      for (int i = 0; i < n && !work.exhausted; ++i) {
        if (i == e) continue;
        if (!work.add(3 * nn)) break;
        copy[e].head = i;
        const bool cyclic = checkAcyclic(copy, e) == 1;
        const long count = cyclic ? d : d - before + pairsWithToken(copy, e, marks, stamp);
        copy[e].head = h;
        if (cyclic) continue;
        if (count == 0) {
          liftHead3(tree, e, i);
          return 1;
        }
        if (count < d) candidates.push_back({e, i, std::labs(static_cast<long>(i) - h)});
      }
      if (work.exhausted) break;
    }
    if (work.exhausted) break;
    const int best = bestCandidate(candidates, LONG_MAX);
    if (best < 0) return -1;
    liftHead3(tree, candidates[static_cast<size_t>(best)].token, candidates[static_cast<size_t>(best)].newHead);
    d = collectNonProjective(tree, pairs, tokens);
    if (!work.add(kRecountWeight * nn * nn)) break;
  }
  if (work.exhausted) {
    if (exhausted != nullptr) *exhausted = true;
    return -1;
  }
  return 1;
}
