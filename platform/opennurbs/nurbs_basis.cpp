#include "opennurbs/nurbs_basis.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace kv::nurbs {

bool knotsValid(const std::vector<double>& knots, int order, int cvCount) {
  if (order < 2 || cvCount < order || int(knots.size()) != knotCount(order, cvCount)) return false;
  const int degree = order - 1;
  for (size_t i = 0; i < knots.size(); ++i) {
    if (!std::isfinite(knots[i])) return false;
    if (i > 0 && knots[i] < knots[i - 1]) return false;
    if (i + size_t(degree) < knots.size() && !(knots[i] < knots[i + size_t(degree)])) return false;
  }
  return knots[size_t(degree - 1)] < knots[size_t(cvCount - 1)];
}

int multiplicity(const std::vector<double>& knots, double value) {
  auto range = std::equal_range(knots.begin(), knots.end(), value);
  return int(range.second - range.first);
}

namespace {

// The knots a span's basis functions read, in order, and the span of some length.
bool spanUsable(const std::vector<double>& knots, int degree, int span) {
  for (int i = span - degree + 1; i < span + degree; ++i)
    if (knots[size_t(i)] < knots[size_t(i - 1)]) return false;
  return knots[size_t(span - 1)] < knots[size_t(span)];
}

}  // namespace

int findSpan(const std::vector<double>& knots, int order, int cvCount, double t, int side) {
  const int degree = order - 1;
  if (int(knots.size()) != knotCount(order, cvCount) || cvCount < order || order < 2) return -1;
  const double lo = knots[size_t(degree - 1)], hi = knots[size_t(cvCount - 1)];
  if (!(lo <= t && t <= hi)) return -1;
  // The domain's knots are knots[degree - 1 .. cvCount - 1]; span s ends at knots[s].
  auto first = knots.begin() + (degree - 1), last = knots.begin() + cvCount;
  int span;
  if (side < 0 && t > lo) {
    span = int(std::lower_bound(first, last, t) - knots.begin());
  } else if (side >= 0 && t < hi) {
    span = int(std::upper_bound(first, last, t) - knots.begin());
  } else if (t == lo) {
    span = int(std::upper_bound(first, last, lo) - knots.begin());
  } else {
    span = int(std::lower_bound(first, last, hi) - knots.begin());
  }
  if (span < degree || span > cvCount - 1) return -1;
  return spanUsable(knots, degree, span) ? span : -1;
}

void basisDerivatives(const std::vector<double>& knots, int order, int span, double t, int derCount,
                      std::vector<double>& ders) {
  const int p = order - 1;
  auto u = [&knots](int i) { return knots[size_t(i - 1)]; };
  // ndu holds the basis functions (upper triangle) and the knot differences (lower).
  const size_t n = static_cast<size_t>(order);
  std::vector<double> ndu(n * n), left(n), right(n);
  auto at = [order](int r, int c) { return size_t(r * order + c); };
  ndu[0] = 1.0;
  for (int j = 1; j <= p; ++j) {
    left[size_t(j)] = t - u(span + 1 - j);
    right[size_t(j)] = u(span + j) - t;
    double saved = 0.0;
    for (int r = 0; r < j; ++r) {
      ndu[at(j, r)] = right[size_t(r + 1)] + left[size_t(j - r)];
      double temp = ndu[at(r, j - 1)] / ndu[at(j, r)];
      ndu[at(r, j)] = saved + right[size_t(r + 1)] * temp;
      saved = left[size_t(j - r)] * temp;
    }
    ndu[at(j, j)] = saved;
  }
  ders.assign(size_t((derCount + 1) * order), 0.0);
  for (int j = 0; j <= p; ++j) ders[size_t(j)] = ndu[at(j, p)];
  const int top = std::min(derCount, p);
  std::vector<double> a(size_t(2 * order));
  for (int r = 0; r <= p; ++r) {
    double* a1 = a.data();
    double* a2 = a.data() + order;
    a1[0] = 1.0;
    for (int k = 1; k <= top; ++k) {
      double d = 0.0;
      const int rk = r - k, pk = p - k;
      if (r >= k) {
        a2[0] = a1[0] / ndu[at(pk + 1, rk)];
        d = a2[0] * ndu[at(rk, pk)];
      }
      const int j1 = rk >= -1 ? 1 : -rk;
      const int j2 = r - 1 <= pk ? k - 1 : p - r;
      for (int j = j1; j <= j2; ++j) {
        a2[j] = (a1[j] - a1[j - 1]) / ndu[at(pk + 1, rk + j)];
        d += a2[j] * ndu[at(rk + j, pk)];
      }
      if (r <= pk) {
        a2[k] = -a1[k - 1] / ndu[at(pk + 1, r)];
        d += a2[k] * ndu[at(r, pk)];
      }
      ders[size_t(k * order + r)] = d;
      std::swap(a1, a2);
    }
  }
  double factor = p;
  for (int k = 1; k <= top; ++k) {
    for (int j = 0; j <= p; ++j) ders[size_t(k * order + j)] *= factor;
    factor *= p - k;
  }
}

double binomial(int n, int k) {
  double b = 1.0;
  for (int i = 1; i <= k; ++i) b = b * (n - k + i) / i;
  return b;
}

void rationalQuotient(const std::vector<ON_4dPoint>& h, int derCount, double* v) {
  const double w = h[0].w;
  for (int k = 0; k <= derCount; ++k) {
    double x = h[size_t(k)].x, y = h[size_t(k)].y, z = h[size_t(k)].z;
    for (int i = 1; i <= k; ++i) {
      const double c = binomial(k, i) * h[size_t(i)].w;
      const double* prev = v + 3 * (k - i);
      x -= c * prev[0];
      y -= c * prev[1];
      z -= c * prev[2];
    }
    v[3 * k] = x / w;
    v[3 * k + 1] = y / w;
    v[3 * k + 2] = z / w;
  }
}

bool transformHomogeneous(std::vector<ON_4dPoint>& cv, bool& rational, const ON_Xform& xform) {
  const auto& m = xform.m_xform;
  std::vector<ON_4dPoint> moved(cv.size());
  for (size_t i = 0; i < cv.size(); ++i) {
    const ON_4dPoint& p = cv[i];
    double out[4];
    for (int r = 0; r < 4; ++r) out[r] = m[r][0] * p.x + m[r][1] * p.y + m[r][2] * p.z + m[r][3] * p.w;
    for (double x : out)
      if (!std::isfinite(x)) return false;
    if (!(out[3] > 0)) return false;
    moved[i] = ON_4dPoint(out[0], out[1], out[2], out[3]);
  }
  const bool alike = std::all_of(moved.begin(), moved.end(), [&](const ON_4dPoint& p) { return p.w == moved[0].w; });
  if (!rational && alike && !moved.empty() && moved[0].w != 1.0) {
    const double w = moved[0].w;
    for (ON_4dPoint& p : moved) p = ON_4dPoint(p.x / w, p.y / w, p.z / w, 1.0);
  }
  rational = rational || !alike;
  cv.swap(moved);
  return true;
}

void Strip::insertOnce(double value) {
  const int p = order - 1, n = cvCount();
  assert(value >= knots[size_t(p - 1)] && value <= knots[size_t(n - 1)]);
  const int s = multiplicity(knots, value);
  assert(s < p);
  // k: the last full-vector index whose knot is at most the value.
  const int k = int(std::upper_bound(knots.begin(), knots.end(), value) - knots.begin());
  std::vector<ON_4dPoint> q(size_t(n + 1));
  for (int i = 0; i <= n; ++i) {
    if (i <= k - p) {
      q[size_t(i)] = cv[size_t(i)];
    } else if (i > k - s) {
      q[size_t(i)] = cv[size_t(i - 1)];
    } else {
      const double lo = knots[size_t(i - 1)], hi = knots[size_t(i + p - 1)];
      const double alpha = (value - lo) / (hi - lo);
      const ON_4dPoint &a = cv[size_t(i)], &b = cv[size_t(i - 1)];
      q[size_t(i)] = ON_4dPoint(alpha * a.x + (1 - alpha) * b.x, alpha * a.y + (1 - alpha) * b.y,
                                alpha * a.z + (1 - alpha) * b.z, alpha * a.w + (1 - alpha) * b.w);
    }
  }
  cv.swap(q);
  knots.insert(knots.begin() + k, value);
}

void Strip::raiseMultiplicity(double value, int m) {
  assert(m <= order - 1);
  while (multiplicity(knots, value) < m) insertOnce(value);
}

void Strip::keep(double t0, double t1) {
  const int p = order - 1;
  const int a = int(std::lower_bound(knots.begin(), knots.end(), t0) - knots.begin());
  const int b = int(std::upper_bound(knots.begin(), knots.end(), t1) - knots.begin()) - 1;
  assert(a + p - 1 < int(knots.size()) && knots[size_t(a + p - 1)] == t0);
  assert(b - p + 1 >= 0 && knots[size_t(b - p + 1)] == t1);
  const int count = b - a - p + 2;
  std::vector<double> k(knots.begin() + a, knots.begin() + b + 1);
  std::vector<ON_4dPoint> c(cv.begin() + a, cv.begin() + a + count);
  knots.swap(k);
  cv.swap(c);
}

namespace {

// The control points of a Bezier span of degree p raised to degree q.
std::vector<ON_4dPoint> elevateBezier(const ON_4dPoint* b, int p, int q) {
  std::vector<ON_4dPoint> e(size_t(q + 1), ON_4dPoint(0, 0, 0, 0));
  for (int i = 0; i <= q; ++i) {
    ON_4dPoint& out = e[size_t(i)];
    for (int j = std::max(0, i - (q - p)); j <= std::min(p, i); ++j) {
      const double c = binomial(p, j) * binomial(q - p, i - j) / binomial(q, i);
      out.x += c * b[j].x;
      out.y += c * b[j].y;
      out.z += c * b[j].z;
      out.w += c * b[j].w;
    }
  }
  return e;
}

}  // namespace

void Strip::elevate(int degree) {
  const int p = order - 1;
  assert(degree >= p);
  if (degree == p) return;
  const double a = knots[size_t(p - 1)], b = knots[size_t(cvCount() - 1)];
  assert(knots.front() == a && knots.back() == b);
  std::vector<double> inner;
  for (double k : knots)
    if (a < k && k < b && (inner.empty() || inner.back() != k)) inner.push_back(k);
  for (double k : inner) raiseMultiplicity(k, p);
  std::vector<ON_4dPoint> points;
  std::vector<double> newKnots(size_t(degree), a);
  for (size_t s = 0; s <= inner.size(); ++s) {
    const std::vector<ON_4dPoint> e = elevateBezier(cv.data() + s * size_t(p), p, degree);
    points.insert(points.end(), e.begin() + (s == 0 ? 0 : 1), e.end());
    newKnots.insert(newKnots.end(), size_t(degree), s < inner.size() ? inner[s] : b);
  }
  order = degree + 1;
  cv.swap(points);
  knots.swap(newKnots);
}

}  // namespace kv::nurbs
