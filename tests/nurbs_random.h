// Random NURBS data for the vocabulary's tests: knot vectors clamped or not at either end,
// with knots held up to degree times, rational or not.
#pragma once

#include <algorithm>
#include <random>
#include <vector>

#include "opennurbs/opennurbs.h"

namespace kvtest {

struct KnotShape {
  bool clampStart = true, clampEnd = true;
};

// order + cvCount - 2 knots; each end held degree times when clamped, fewer otherwise; inner
// values mostly single, now and then repeated up to the degree.
inline std::vector<double> randomKnots(std::mt19937& rng, int degree, int cvCount, KnotShape shape) {
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, std::max(lo, hi))(rng); };
  const int total = cvCount + degree - 1;
  const int first = shape.clampStart ? degree : pick(1, degree - 1);
  const int last = shape.clampEnd ? degree : pick(1, degree - 1);
  std::vector<int> groups{first};
  for (int left = total - first - last; left > 0;) {
    const int m = pick(0, 3) == 0 ? pick(1, std::min(degree, left)) : 1;
    groups.push_back(m);
    left -= m;
  }
  groups.push_back(last);
  std::vector<double> knots;
  double value = std::uniform_real_distribution<double>(-2, 2)(rng);
  for (int m : groups) {
    knots.insert(knots.end(), size_t(m), value);
    value += std::uniform_real_distribution<double>(0.2, 1.5)(rng);
  }
  return knots;
}

inline ON_4dPoint randomCV(std::mt19937& rng, bool rational) {
  std::uniform_real_distribution<double> coordinate(-5, 5), weight(0.3, 3);
  const double w = rational ? weight(rng) : 1.0;
  return {coordinate(rng) * w, coordinate(rng) * w, coordinate(rng) * w, w};
}

// A valid curve of the given degree; the knot shape and the rational flag as asked.
inline ON_NurbsCurve randomCurve(std::mt19937& rng, int degree, bool rational, KnotShape shape) {
  for (;;) {
    const int cvCount = degree + 1 + std::uniform_int_distribution<int>(0, 7)(rng);
    ON_NurbsCurve c;
    c.Create(3, rational, degree + 1, cvCount);
    const std::vector<double> knots = randomKnots(rng, degree, cvCount, shape);
    for (int i = 0; i < c.KnotCount(); ++i) c.SetKnot(i, knots[size_t(i)]);
    for (int i = 0; i < cvCount; ++i) c.SetCV(i, randomCV(rng, rational));
    if (c.IsValid()) return c;
  }
}

inline ON_NurbsSurface randomSurface(std::mt19937& rng, const int degree[2], bool rational, KnotShape shape) {
  for (;;) {
    int count[2];
    for (int d = 0; d < 2; ++d) count[d] = degree[d] + 1 + std::uniform_int_distribution<int>(0, 4)(rng);
    ON_NurbsSurface s;
    s.Create(3, rational, degree[0] + 1, degree[1] + 1, count[0], count[1]);
    for (int d = 0; d < 2; ++d) {
      const std::vector<double> knots = randomKnots(rng, degree[d], count[d], shape);
      for (int i = 0; i < s.KnotCount(d); ++i) s.SetKnot(d, i, knots[size_t(i)]);
    }
    for (int i = 0; i < count[0]; ++i)
      for (int j = 0; j < count[1]; ++j) s.SetCV(i, j, randomCV(rng, rational));
    if (s.IsValid()) return s;
  }
}

// Inner knot values and the domain's ends, each once, in order.
inline std::vector<double> breaks(const double* knots, int knotCount, const ON_Interval& domain) {
  std::vector<double> out;
  for (int i = 0; i < knotCount; ++i)
    if (domain.Includes(knots[i]) && (out.empty() || out.back() != knots[i])) out.push_back(knots[i]);
  return out;
}

}  // namespace kvtest
