// Small chores the vocabulary's curves share: writing evaluation results and checking domains.
#pragma once

#include <cmath>

#include "opennurbs/on_geometry.h"

namespace kv::curve {

inline void put(double* v, const ON_3dPoint& p) {
  v[0] = p.x;
  v[1] = p.y;
  v[2] = p.z;
}

inline void put(double* v, const ON_3dVector& d) {
  v[0] = d.x;
  v[1] = d.y;
  v[2] = d.z;
}

// Derivatives from order `from` to derCount are zero.
inline void zero(double* v, int from, int derCount) {
  for (int k = from; k <= derCount; ++k) v[3 * k] = v[3 * k + 1] = v[3 * k + 2] = 0.0;
}

// Finite and increasing.
inline bool usable(const ON_Interval& d) { return std::isfinite(d[0]) && std::isfinite(d[1]) && d[0] < d[1]; }

// An increasing sub-interval inside the domain's closure.
inline bool within(const ON_Interval& domain, const ON_Interval& sub) {
  return usable(sub) && domain[0] <= sub[0] && sub[1] <= domain[1];
}

}  // namespace kv::curve
