#include "decoding/block_viterbi.h"

#include <limits>

// The decoders compare against n * (M + 1), M the largest entry: with an
// infinite entry that is infinite, otherwise it exceeds every finite sum of
// entries. Either way "below it" means "finite", which is what is tested
// here. Completions are built from the last token back; an entry keeps the
// first continuation of least completion, as the decoders do, and entries
// without a finite completion keep continuation 0, as their back pointers do.
namespace {

// Fills work.completion and work.next for the matrix. The last token's
// entries complete with their own cost, or, before a following piece, with
// the sum of it and that piece's least completion.
void completions(const CostBlocks& m, const BlockViterbiPiece& piece, BlockViterbiWork& work) {
  const double inf = std::numeric_limits<double>::infinity();
  const int n = static_cast<int>(m.candidates.size());
  work.completion.assign(m.costs.size(), inf);
  work.next.assign(m.costs.size(), 0);
  double* completion = work.completion.data();
  int* next = work.next.data();

  {
    const int C = m.candidates[n - 1];
    for (int h = 0; h < m.histories[n - 1]; ++h) {
      const int at = m.at[n - 1][h];
      if (at < 0) continue;
      for (int c = 0; c < C; ++c) {
        if (piece.last) {
          completion[at + c] = m.costs[at + c];
          continue;
        }
        const double sum = m.costs[at + c] + piece.nextCost;
        if (sum < inf) {
          completion[at + c] = sum;
          next[at + c] = piece.nextEntry;
        }
      }
    }
  }
  for (int k = n - 2; k >= 0; --k) {
    const int C = m.candidates[k], nextC = m.candidates[k + 1], nextH = m.histories[k + 1];
    const std::vector<int>& nextAt = m.at[k + 1];
    // The second-order decoder treats the first token apart: it keeps the
    // continuation of least sum with the token's own cost, not of least
    // completion.
    const bool bySum = m.labelOrder == 2 && k == 0 && piece.first;
    work.kept.assign(nextH, -2);  // -2 not yet known, -1 no finite completion
    work.keptCost.resize(nextH);
    for (int h = 0; h < m.histories[k]; ++h) {
      const int at = m.at[k][h];
      if (at < 0) continue;
      // Entry h * C + c continues into history (h * C + c) mod nextH, which
      // is nextBase + c but for label order 0 (always history 0).
      const int nextBase = static_cast<int>((static_cast<long long>(h) * C) % nextH);
      for (int c = 0; c < C; ++c) {
        const int hn = m.labelOrder == 0 ? 0 : nextBase + c;
        const int block = nextAt[hn];
        const double cost = m.costs[at + c];
        if (bySum) {
          if (block < 0) continue;
          int best = -1;
          double bestSum = inf;
          for (int c2 = 0; c2 < nextC; ++c2) {
            const double sum = cost + completion[block + c2];
            if (sum < bestSum) {
              bestSum = sum;
              best = hn * nextC + c2;
            }
          }
          if (best >= 0) {
            completion[at + c] = bestSum;
            next[at + c] = best;
          }
          continue;
        }
        int& kept = work.kept[hn];
        if (kept == -2) {
          kept = -1;
          double keptCost = inf;
          if (block >= 0) {
            for (int c2 = 0; c2 < nextC; ++c2) {
              if (completion[block + c2] < keptCost) {
                keptCost = completion[block + c2];
                kept = hn * nextC + c2;
              }
            }
          }
          work.keptCost[hn] = keptCost;
        }
        if (kept < 0) continue;
        const double sum = cost + work.keptCost[hn];
        if (sum < inf) {
          completion[at + c] = sum;
          next[at + c] = kept;
        }
      }
    }
  }

}

// The entry of token 0 (its one history) of least completion, the first
// of equals; 0 and infinity when none is finite.
int firstOfLeast(const CostBlocks& m, const BlockViterbiWork& work, double& best) {
  int start = 0;
  best = std::numeric_limits<double>::infinity();
  const int at = m.at[0][0];
  if (at >= 0) {
    for (int c = 0; c < m.candidates[0]; ++c) {
      if (work.completion[at + c] < best) {
        best = work.completion[at + c];
        start = c;
      }
    }
  }
  return start;
}

void followPath(const CostBlocks& m, int start, std::vector<int>& path, const BlockViterbiWork& work) {
  const int n = static_cast<int>(m.candidates.size());
  const int* next = work.next.data();
  path.assign(n, 0);
  long long entry = start;
  for (int k = 0; k < n; ++k) {
    const int C = m.candidates[k];
    path[k] = static_cast<int>(entry % C);
    if (k + 1 == n) break;
    const int at = m.at[k][static_cast<int>(entry / C)];
    entry = at < 0 ? 0 : next[at + entry % C];
  }
}

}  // namespace

void blockViterbi(const CostBlocks& m, std::vector<int>& path, BlockViterbiWork& work) {
  const BlockViterbiPiece whole;
  completions(m, whole, work);
  // Token 0 has the one history of the boundary tags.
  double best;
  followPath(m, firstOfLeast(m, work, best), path, work);
}

bool blockViterbiPiece(const CostBlocks& m, BlockViterbiPiece& piece, std::vector<int>& path,
                       BlockViterbiWork& work) {
  completions(m, piece, work);
  double best;
  const int start = firstOfLeast(m, work, best);
  if (!(best < std::numeric_limits<double>::infinity())) return false;
  if (!piece.first) {
    piece.firstCost = best;
    piece.firstEntry = start;
  }
  followPath(m, start, path, work);
  return true;
}

bool streamingViterbi(int labelOrder, const std::vector<int>& candidates, const std::vector<int>& histories,
                      BlockViterbiPiece& piece, const std::function<void(int, int, double*)>& fill,
                      std::vector<int>& path, StreamingViterbiWork& work) {
  const double inf = std::numeric_limits<double>::infinity();
  const int L = labelOrder;
  const int n = static_cast<int>(candidates.size());
  work.keptAt.assign(static_cast<size_t>(n), 0);
  work.kept.clear();
  for (int k = 0; k + 1 < n; ++k) {
    work.keptAt[k] = work.kept.size();
    work.kept.resize(work.kept.size() + static_cast<size_t>(histories[k + 1]), -1);
  }
  for (int k = n - 1; k >= 0; --k) {
    const int C = candidates[k], H = histories[k];
    work.row.resize(static_cast<size_t>(C));
    work.here.assign(static_cast<size_t>(H) * C, inf);
    const bool bySum = L == 2 && k == 0 && piece.first && n > 1;
    int nextC = 0, nextH = 1;
    if (k + 1 < n) {
      nextC = candidates[k + 1];
      nextH = histories[k + 1];
      // The entry of least completion per history of the next token, the first of equals.
      int* kept = work.kept.data() + work.keptAt[k];
      for (int hn = 0; hn < nextH; ++hn) {
        double least = inf;
        for (int c2 = 0; c2 < nextC; ++c2) {
          const double v = work.after[static_cast<size_t>(hn) * nextC + c2];
          if (v < least) {
            least = v;
            kept[hn] = hn * nextC + c2;
          }
        }
      }
    }
    if (bySum) work.firstNext.assign(static_cast<size_t>(C), 0);
    for (int h = 0; h < H; ++h) {
      fill(k, h, work.row.data());
      const int nextBase = k + 1 < n ? static_cast<int>((static_cast<long long>(h) * C) % nextH) : 0;
      for (int c = 0; c < C; ++c) {
        const double cost = work.row[c];
        double& completion = work.here[static_cast<size_t>(h) * C + c];
        if (k + 1 == n) {
          if (piece.last)
            completion = cost;
          else if (cost + piece.nextCost < inf)
            completion = cost + piece.nextCost;
          continue;
        }
        const int hn = L == 0 ? 0 : nextBase + c;
        if (bySum) {
          double bestSum = inf;
          for (int c2 = 0; c2 < nextC; ++c2) {
            const double sum = cost + work.after[static_cast<size_t>(hn) * nextC + c2];
            if (sum < bestSum) {
              bestSum = sum;
              work.firstNext[c] = hn * nextC + c2;
            }
          }
          completion = bestSum;
          continue;
        }
        const int keptEntry = work.kept[work.keptAt[k] + hn];
        if (keptEntry < 0) continue;
        const double sum = cost + work.after[keptEntry];
        if (sum < inf) completion = sum;
      }
    }
    work.here.swap(work.after);
  }
  // The range's first token has one history.
  int start = 0;
  double best = inf;
  for (int c = 0; c < candidates[0]; ++c) {
    if (work.after[c] < best) {
      best = work.after[c];
      start = c;
    }
  }
  if (!(best < inf)) return false;
  if (!piece.first) {
    piece.firstCost = best;
    piece.firstEntry = start;
  }
  path.assign(static_cast<size_t>(n), 0);
  long long entry = start;
  for (int k = 0; k < n; ++k) {
    const int C = candidates[k];
    const int c = static_cast<int>(entry % C);
    path[k] = c;
    if (k + 1 == n) break;
    if (L == 2 && k == 0 && piece.first) {
      entry = work.firstNext[c];
      continue;
    }
    const int h = static_cast<int>(entry / C);
    const int hn = L == 0 ? 0 : static_cast<int>((static_cast<long long>(h) * C) % histories[k + 1]) + c;
    entry = work.kept[work.keptAt[k] + hn];
  }
  return true;
}
