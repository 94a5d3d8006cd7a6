// Curves made of pieces over increasing breakpoints (polylines, polycurves): which piece a
// parameter falls in, by the evaluation side rule.
#pragma once

#include <algorithm>
#include <cassert>
#include <cmath>

#include "opennurbs/on_base.h"

namespace kv {

// Piece i covers [b[i], b[i + 1]]; at an inner breakpoint side < 0 takes the piece below,
// else the piece above. -1 outside [b[0], b[count - 1]] (count >= 2).
inline int pieceAt(const ON_SimpleArray<double>& b, double t, int side) {
  const int count = b.Count();
  assert(count >= 2);
  if (!(b[0] <= t && t <= b[count - 1])) return -1;
  const double* first = b.Array() + 1;
  const double* last = b.Array() + count - 1;
  const double* hit = side < 0 ? std::lower_bound(first, last, t) : std::upper_bound(first, last, t);
  return int(hit - first);
}

// Strictly increasing finite breakpoints, at least two.
inline bool breakpointsValid(const ON_SimpleArray<double>& b) {
  if (b.Count() < 2) return false;
  for (int i = 0; i < b.Count(); ++i)
    if (!std::isfinite(b[i]) || (i > 0 && !(b[i - 1] < b[i]))) return false;
  return true;
}

// The breakpoints mapped affinely onto [t0, t1], the ends exactly.
inline void rescale(ON_SimpleArray<double>& b, double t0, double t1) {
  const double a = b[0], len = b[b.Count() - 1] - a;
  for (double& t : b) {
    const double s = (t - a) / len;
    t = (1 - s) * t0 + s * t1;
  }
  b[0] = t0;
  b[b.Count() - 1] = t1;
}

}  // namespace kv
