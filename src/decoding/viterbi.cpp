#include "decoding/viterbi.h"

#include <cstddef>
#include <cstdio>

#include "labels/legal_transitions.h"

namespace {

typedef std::vector<std::vector<double>> Matrix;
typedef std::vector<std::vector<std::string>> CandidateLists;

// n * (M + 1) with M the largest entry (at least 0): above every real path
// cost. With an infinite entry it is infinite itself, which keeps such entries
// out of every path since nothing is strictly below it.
double infiniteCostOf(const Matrix& m) {
  double largest = 0.0;
  for (const std::vector<double>& row : m)
    for (double x : row)
      if (x > largest) largest = x;
  return static_cast<double>(m.size()) * (largest + 1.0);
}

// The matrix must have rows, the L boundary lists one entry each, every token
// list at least one entry and row k exactly |C(k-L)| * ... * |C(k)| entries.
bool fitsCandidates(const Matrix& m, const CandidateLists& cands, size_t order, const char* decoder) {
  bool ok = !m.empty() && cands.size() == m.size() + order;
  for (size_t b = 0; ok && b < order; ++b) ok = cands[b].size() == 1;
  for (size_t k = 0; ok && k < m.size(); ++k) {
    size_t width = 1;
    for (size_t j = k; j <= k + order; ++j) width *= cands[j].size();
    ok = !cands[k + order].empty() && m[k].size() == width;
  }
  if (!ok) fprintf(stderr, "Error: %s: score matrix does not fit the candidate lists.\n", decoder);
  return ok;
}

class Legality {
 public:
  explicit Legality(std::vector<CMiniStringBag>& table) : table_(table) {}
  bool active() const { return !table_.empty(); }
  bool canStart(std::string& tag) { return IsLegalSequence(tag, none_, table_); }
  bool canEnd(std::string& tag) { return IsLegalSequence(none_, tag, table_); }
  bool canFollow(std::string& a, std::string& b) { return IsLegalSequence(a, b, table_); }

 private:
  std::vector<CMiniStringBag>& table_;
  std::string none_;  // the sequence boundary; IsLegalSequence takes it by reference
};

// Completion costs of the last row: its own costs, or infinite for entries
// whose tag may not end a sentence.
void lastRowCosts(Matrix& m, std::vector<std::string>& lastCands, double infinite, Legality& legal,
                  std::vector<double>& bestNext) {
  const std::vector<double>& last = m.back();
  const size_t width = lastCands.size();
  bestNext.assign(last.begin(), last.end());
  if (!legal.active()) return;
  for (size_t i = 0; i < last.size(); ++i)
    if (!legal.canEnd(lastCands[i % width])) bestNext[i] = infinite;
}

// First entry of row 0 strictly cheapest and below infinite among those whose
// tag may start a sentence; entry 0 when there is none.
int chooseStart(const std::vector<double>& completion, std::vector<std::string>& firstCands, double infinite,
                Legality& legal) {
  const size_t width = firstCands.size();
  int chosen = 0;
  double best = infinite;
  for (size_t i = 0; i < completion.size(); ++i) {
    if (!(completion[i] < best)) continue;
    if (legal.active() && !legal.canStart(firstCands[i % width])) continue;
    best = completion[i];
    chosen = static_cast<int>(i);
  }
  return chosen;
}

void followPath(const std::vector<std::vector<int>>& backPointers, int start, std::vector<int>& path) {
  path.assign(backPointers.size(), 0);
  path[0] = start;
  for (size_t k = 0; k + 1 < backPointers.size(); ++k) path[k + 1] = backPointers[k][path[k]];
}

void pathTags(const std::vector<int>& path, CandidateLists& cands, size_t order, std::vector<std::string>& outTags) {
  outTags.resize(path.size());
  for (size_t k = 0; k < path.size(); ++k) {
    const std::vector<std::string>& c = cands[k + order];
    outTags[k] = c[static_cast<size_t>(path[k]) % c.size()];
  }
}

void zeroBackPointers(const Matrix& m, std::vector<std::vector<int>>& backPointers) {
  backPointers.resize(m.size());
  for (size_t k = 0; k < m.size(); ++k) backPointers[k].assign(m[k].size(), 0);
}

}  // namespace

int viterbiDecoderB0Limit2(Matrix& scoreMatrix, CandidateLists& candidates, std::vector<CMiniStringBag>& legalTable,
                           std::vector<std::string>& outTags) {
  if (!fitsCandidates(scoreMatrix, candidates, 0, "viterbiDecoderB0Limit2")) {
    outTags.clear();
    return -1;
  }
  Legality legal(legalTable);
  const size_t n = scoreMatrix.size();
  const double infinite = infiniteCostOf(scoreMatrix);
  std::vector<std::vector<int>> backPointers;
  zeroBackPointers(scoreMatrix, backPointers);
  std::vector<double> bestNext, cur;
  lastRowCosts(scoreMatrix, candidates[n - 1], infinite, legal, bestNext);

  for (size_t k = n - 1; k-- > 0;) {
    const std::vector<double>& row = scoreMatrix[k];
    std::vector<std::string>& here = candidates[k];
    std::vector<std::string>& next = candidates[k + 1];
    cur.assign(row.size(), infinite);
    for (size_t i = 0; i < row.size(); ++i) {
      int kept = -1;
      double keptCost = infinite;
      for (size_t j = 0; j < bestNext.size(); ++j) {
        if (!(bestNext[j] < keptCost)) continue;
        if (legal.active() && !legal.canFollow(here[i], next[j])) continue;
        kept = static_cast<int>(j);
        keptCost = bestNext[j];
      }
      if (kept < 0) continue;
      const double sum = row[i] + keptCost;
      if (sum < cur[i]) {
        cur[i] = sum;
        backPointers[k][i] = kept;
      }
    }
    bestNext.swap(cur);
  }

  std::vector<int> path;
  followPath(backPointers, chooseStart(bestNext, candidates[0], infinite, legal), path);
  pathTags(path, candidates, 0, outTags);
  return 1;
}

int viterbiDecoderB1LimitPath3(Matrix& scoreMatrix, CandidateLists& candidates,
                               std::vector<CMiniStringBag>& legalTable, std::vector<std::string>& outTags) {
  if (!fitsCandidates(scoreMatrix, candidates, 1, "viterbiDecoderB1LimitPath3")) {
    outTags.clear();
    return -1;
  }
  Legality legal(legalTable);
  const size_t n = scoreMatrix.size();
  const double infinite = infiniteCostOf(scoreMatrix);
  std::vector<std::vector<int>> backPointers;
  zeroBackPointers(scoreMatrix, backPointers);
  std::vector<double> bestNext, cur;
  lastRowCosts(scoreMatrix, candidates[n], infinite, legal, bestNext);

  for (size_t k = n - 1; k-- > 0;) {
    const std::vector<double>& row = scoreMatrix[k];
    std::vector<std::string>& here = candidates[k + 1];
    std::vector<std::string>& next = candidates[k + 2];
    const size_t hereCount = here.size(), nextCount = next.size();
    cur.assign(row.size(), infinite);
    for (size_t c = 0; c < hereCount; ++c) {
      // The cheapest continuation depends on c only, not on the history of c.
      int kept = -1;
      double keptCost = infinite;
      for (size_t c2 = 0; c2 < nextCount; ++c2) {
        const size_t j = c * nextCount + c2;
        if (!(bestNext[j] < keptCost)) continue;
        if (legal.active() && !legal.canFollow(here[c], next[c2])) continue;
        kept = static_cast<int>(j);
        keptCost = bestNext[j];
      }
      if (kept < 0) continue;
      for (size_t i = c; i < row.size(); i += hereCount) {
        const double sum = row[i] + keptCost;
        if (sum < cur[i]) {
          cur[i] = sum;
          backPointers[k][i] = kept;
        }
      }
    }
    bestNext.swap(cur);
  }

  std::vector<int> path;
  followPath(backPointers, chooseStart(bestNext, candidates[1], infinite, legal), path);
  pathTags(path, candidates, 1, outTags);
  return 1;
}

int viterbiDecoderB2Fast2Limit(Matrix& scoreMatrix, CandidateLists& candidates,
                               std::vector<CMiniStringBag>& legalTable, std::vector<std::string>& outTags) {
  if (!fitsCandidates(scoreMatrix, candidates, 2, "viterbiDecoderB2Fast2Limit")) {
    outTags.clear();
    return -1;
  }
  Legality legal(legalTable);
  const size_t n = scoreMatrix.size();
  const double infinite = infiniteCostOf(scoreMatrix);
  std::vector<std::vector<int>> backPointers;
  zeroBackPointers(scoreMatrix, backPointers);
  std::vector<double> bestNext, cur;
  lastRowCosts(scoreMatrix, candidates[n + 1], infinite, legal, bestNext);

  // Interior rows: C(r) = candidates[r + 2].
  for (size_t r = n - 1; r-- > 1;) {
    const std::vector<double>& row = scoreMatrix[r];
    const size_t farCount = candidates[r].size();
    const size_t prevCount = candidates[r + 1].size();
    std::vector<std::string>& here = candidates[r + 2];
    std::vector<std::string>& next = candidates[r + 3];
    const size_t hereCount = here.size(), nextCount = next.size();
    cur.assign(row.size(), infinite);
    for (size_t a = 0; a < prevCount; ++a) {
      for (size_t b = 0; b < hereCount; ++b) {
        int kept = -1;
        double keptCost = infinite;
        const size_t first = (a * hereCount + b) * nextCount;
        for (size_t j = first; j < first + nextCount && j < bestNext.size(); ++j) {
          if (bestNext[j] < keptCost) {
            kept = static_cast<int>(j);
            keptCost = bestNext[j];
          }
        }
        if (kept < 0) continue;
        if (legal.active() && !legal.canFollow(here[b], next[static_cast<size_t>(kept) % nextCount])) continue;
        for (size_t p2 = 0; p2 < farCount; ++p2) {
          const size_t i = (p2 * prevCount + a) * hereCount + b;
          const double sum = row[i] + keptCost;
          if (sum < cur[i]) {
            cur[i] = sum;
            backPointers[r][i] = kept;
          }
        }
      }
    }
    bestNext.swap(cur);
  }

  if (n >= 2) {
    const std::vector<double>& row = scoreMatrix[0];
    std::vector<std::string>& here = candidates[2];
    std::vector<std::string>& next = candidates[3];
    const size_t nextCount = next.size();
    cur.assign(row.size(), infinite);
    for (size_t i = 0; i < row.size(); ++i) {
      for (size_t c2 = 0; c2 < nextCount; ++c2) {
        if (legal.active() && !legal.canFollow(here[i], next[c2])) continue;
        const size_t j = i * nextCount + c2;
        const double sum = row[i] + bestNext[j];
        if (sum < cur[i]) {
          cur[i] = sum;
          backPointers[0][i] = static_cast<int>(j);
        }
      }
    }
    bestNext.swap(cur);
  }

  std::vector<int> path;
  followPath(backPointers, chooseStart(bestNext, candidates[2], infinite, legal), path);
  pathTags(path, candidates, 2, outTags);
  return 1;
}

int viterbiDecoderB1Fast(Matrix& scoreMatrix, int tagCount, std::vector<int>& outTagIds) {
  outTagIds.clear();
  const size_t n = scoreMatrix.size();
  const size_t t = tagCount > 0 ? static_cast<size_t>(tagCount) : 0;
  bool ok = n > 0 && t > 0;
  for (size_t k = 0; ok && k < n; ++k) ok = scoreMatrix[k].size() == (k == 0 ? t : t * t);
  if (!ok) {
    fprintf(stderr, "Error: viterbiDecoderB1Fast: score matrix does not fit %d tags.\n", tagCount);
    return -1;
  }
  const double infinite = infiniteCostOf(scoreMatrix);
  std::vector<std::vector<int>> backPointers;
  zeroBackPointers(scoreMatrix, backPointers);
  std::vector<double> bestNext(scoreMatrix.back()), cur;

  for (size_t k = n - 1; k-- > 0;) {
    const std::vector<double>& row = scoreMatrix[k];
    cur.assign(row.size(), infinite);
    for (size_t c = 0; c < t; ++c) {
      size_t kept = c * t;
      for (size_t j = kept + 1; j < c * t + t; ++j)
        if (bestNext[j] < bestNext[kept]) kept = j;
      for (size_t i = c; i < row.size(); i += t) {
        const double sum = row[i] + bestNext[kept];
        if (sum < cur[i]) {
          cur[i] = sum;
          backPointers[k][i] = static_cast<int>(kept);
        }
      }
    }
    bestNext.swap(cur);
  }

  int start = 0;
  double best = infinite;
  for (size_t i = 0; i < bestNext.size(); ++i) {
    if (bestNext[i] < best) {
      best = bestNext[i];
      start = static_cast<int>(i);
    }
  }
  followPath(backPointers, start, outTagIds);
  for (int& id : outTagIds) id %= tagCount;
  return 1;
}
