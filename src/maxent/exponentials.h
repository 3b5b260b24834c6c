// The exponential step of classification.
#ifndef KORVANE_MAXENT_EXPONENTIALS_H
#define KORVANE_MAXENT_EXPONENTIALS_H

#include <cmath>
#include <limits>

// No prior: every entry keeps its exponential (a product with 1.0 is exact).
struct NoPrior {
  double operator()(int) const { return 1.0; }
};

// Unnormalised probabilities of one score vector, scaled by prior(j), into
// probs[0..n); returns their sum. Every classifier goes through this one
// function so that the fast tagging path reproduces the model's probabilities
// bit for bit: the 700 shift, the summation order (last label first) and the
// fall-backs for underflow and non-finite scores must not change.
template <class Prior>
double exponentiateScores(const double* score, int n, Prior prior, double* probs) {
  double m = score[0];
  for (int j = 1; j < n; ++j)
    if (score[j] > m) m = score[j];
  const double shift = m - 700 > 0 ? m - 700 : 0;
  double sum = 0.0;
  for (int j = n - 1; j >= 0; --j) {
    const double e = std::exp(score[j] - shift) * prior(j);
    probs[j] = e;
    sum += e;
  }
  if (!(sum > 0.0) || !std::isfinite(sum)) {
    // Every exponential underflowed (or a score is not finite): measure from
    // the greatest score instead; NaN scores count as impossible.
    double top = -std::numeric_limits<double>::infinity();
    for (int j = 0; j < n; ++j)
      if (score[j] > top) top = score[j];
    sum = 0.0;
    for (int j = n - 1; j >= 0; --j) {
      double e;
      if (std::isnan(score[j]) || top == -std::numeric_limits<double>::infinity()) {
        e = 0.0;
      } else if (std::isinf(top)) {
        e = score[j] == top ? 1.0 : 0.0;
      } else {
        e = std::exp(score[j] - top);
      }
      e *= prior(j);
      probs[j] = e;
      sum += e;
    }
    if (!(sum > 0.0) || !std::isfinite(sum)) {
      for (int j = 0; j < n; ++j) probs[j] = 1.0;
      sum = n;
    }
  }
  return sum;
}

#endif
