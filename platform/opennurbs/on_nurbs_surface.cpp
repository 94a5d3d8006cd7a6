#include <cmath>
#include <limits>

#include "opennurbs/nurbs_basis.h"
#include "opennurbs/on_objects.h"

namespace {

bool finite(const ON_4dPoint& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::isfinite(p.w);
}

// Partial (k, l) of a table that holds every k + l <= n, row k of n + 1.
struct Partials {
  explicit Partials(int n) : order(n + 1), at(size_t(order * order), ON_4dPoint(0, 0, 0, 0)) {}
  ON_4dPoint& operator()(int k, int l) { return at[size_t(k * order + l)]; }
  int order;
  std::vector<ON_4dPoint> at;
};

// The rational quotient rule for surfaces: Euclidean partials from homogeneous ones.
void rationalPartials(Partials& h, int n, Partials& out) {
  using kv::nurbs::binomial;
  const double w = h(0, 0).w;
  for (int k = 0; k <= n; ++k)
    for (int l = 0; l <= n - k; ++l) {
      ON_4dPoint v = h(k, l);
      for (int i = 0; i <= k; ++i)
        for (int j = 0; j <= l; ++j) {
          if (i == 0 && j == 0) continue;
          const double c = binomial(k, i) * binomial(l, j) * h(i, j).w;
          const ON_4dPoint& s = out(k - i, l - j);
          v.x -= c * s.x;
          v.y -= c * s.y;
          v.z -= c * s.z;
        }
      out(k, l) = ON_4dPoint(v.x / w, v.y / w, v.z / w, 0);
    }
}

}  // namespace

bool ON_NurbsSurface::Create(int dimension, bool isRational, int orderU, int orderV, int cvCountU, int cvCountV) {
  if (dimension != 3 || orderU < 2 || orderV < 2 || cvCountU < orderU || cvCountV < orderV) return false;
  order_[0] = orderU;
  order_[1] = orderV;
  cvCount_[0] = cvCountU;
  cvCount_[1] = cvCountV;
  rational_ = isRational;
  for (int d = 0; d < 2; ++d) knots_[d].assign(size_t(KnotCount(d)), 0.0);
  cv_.assign(size_t(cvCountU) * size_t(cvCountV), ON_4dPoint(0, 0, 0, 1));
  return true;
}

bool ON_NurbsSurface::IsValid(ON_TextLog*) const {
  for (int d = 0; d < 2; ++d)
    if (!kv::nurbs::knotsValid(knots_[d], order_[d], cvCount_[d])) return false;
  if (cv_.size() != size_t(cvCount_[0]) * size_t(cvCount_[1])) return false;
  for (const ON_4dPoint& p : cv_)
    if (!finite(p) || (rational_ ? !(p.w > 0) : p.w != 1.0)) return false;
  return true;
}

bool ON_NurbsSurface::Transform(const ON_Xform& xform) {
  return kv::nurbs::transformHomogeneous(cv_, rational_, xform);
}

int ON_NurbsSurface::KnotCount(int dir) const {
  const int d = dir != 0;
  return order_[d] > 1 ? kv::nurbs::knotCount(order_[d], cvCount_[d]) : 0;
}

double ON_NurbsSurface::Knot(int dir, int i) const {
  const std::vector<double>& k = knots_[dir != 0];
  assert(i >= 0 && i < int(k.size()));
  return k[size_t(i)];
}

bool ON_NurbsSurface::SetKnot(int dir, int i, double value) {
  std::vector<double>& k = knots_[dir != 0];
  assert(i >= 0 && i < int(k.size()));
  if (!std::isfinite(value)) return false;
  k[size_t(i)] = value;
  return true;
}

ON_Interval ON_NurbsSurface::Domain(int dir) const {
  const int d = dir != 0;
  if (order_[d] < 2 || int(knots_[d].size()) != KnotCount(d)) return ON_Interval();
  return ON_Interval(knots_[d][size_t(order_[d] - 2)], knots_[d][size_t(cvCount_[d] - 1)]);
}

bool ON_NurbsSurface::GetCV(int i, int j, ON_3dPoint& point) const {
  assert(i >= 0 && i < cvCount_[0] && j >= 0 && j < cvCount_[1]);
  const ON_4dPoint& p = cv_[size_t(index(i, j))];
  if (!(p.w != 0)) return false;
  point = rational_ ? ON_3dPoint(p.x / p.w, p.y / p.w, p.z / p.w) : ON_3dPoint(p.x, p.y, p.z);
  return true;
}

bool ON_NurbsSurface::GetCV(int i, int j, ON_4dPoint& point) const {
  assert(i >= 0 && i < cvCount_[0] && j >= 0 && j < cvCount_[1]);
  point = cv_[size_t(index(i, j))];
  return true;
}

bool ON_NurbsSurface::SetCV(int i, int j, const ON_3dPoint& point) {
  assert(i >= 0 && i < cvCount_[0] && j >= 0 && j < cvCount_[1]);
  if (!point.IsValid()) return false;
  ON_4dPoint& p = cv_[size_t(index(i, j))];
  p = ON_4dPoint(point.x * p.w, point.y * p.w, point.z * p.w, p.w);
  return true;
}

bool ON_NurbsSurface::SetCV(int i, int j, const ON_4dPoint& point) {
  assert(i >= 0 && i < cvCount_[0] && j >= 0 && j < cvCount_[1]);
  if (!finite(point) || !(point.w > 0)) return false;
  if (point.w != 1.0) rational_ = true;
  cv_[size_t(index(i, j))] = point;
  return true;
}

double ON_NurbsSurface::Weight(int i, int j) const {
  assert(i >= 0 && i < cvCount_[0] && j >= 0 && j < cvCount_[1]);
  return rational_ ? cv_[size_t(index(i, j))].w : 1.0;
}

bool ON_NurbsSurface::SetWeight(int i, int j, double weight) {
  ON_3dPoint p;
  if (!(weight > 0) || !std::isfinite(weight) || !GetCV(i, j, p)) return false;
  rational_ = true;
  cv_[size_t(index(i, j))] = ON_4dPoint(p.x * weight, p.y * weight, p.z * weight, weight);
  return true;
}

bool ON_NurbsSurface::Evaluate(double s, double t, int derCount, double* v) const {
  if (derCount < 0 || !v || cv_.size() != size_t(cvCount_[0]) * size_t(cvCount_[1])) return false;
  const int su = kv::nurbs::findSpan(knots_[0], order_[0], cvCount_[0], s, 0);
  const int sv = kv::nurbs::findSpan(knots_[1], order_[1], cvCount_[1], t, 0);
  if (su < 0 || sv < 0) return false;
  std::vector<double> nu, nv;
  kv::nurbs::basisDerivatives(knots_[0], order_[0], su, s, derCount, nu);
  kv::nurbs::basisDerivatives(knots_[1], order_[1], sv, t, derCount, nv);
  Partials h(derCount);
  for (int k = 0; k <= derCount; ++k)
    for (int l = 0; l <= derCount - k; ++l) {
      ON_4dPoint& sum = h(k, l);
      for (int i = 0; i < order_[0]; ++i)
        for (int j = 0; j < order_[1]; ++j) {
          const double b = nu[size_t(k * order_[0] + i)] * nv[size_t(l * order_[1] + j)];
          const ON_4dPoint& p = cv_[size_t(index(su - order_[0] + 1 + i, sv - order_[1] + 1 + j))];
          sum.x += b * p.x;
          sum.y += b * p.y;
          sum.z += b * p.z;
          sum.w += b * p.w;
        }
    }
  Partials e(derCount);
  if (rational_) {
    if (!(h(0, 0).w != 0)) return false;
    rationalPartials(h, derCount, e);
  }
  const Partials& out = rational_ ? e : h;
  // Total order n at a time, from d^n/ds^n to d^n/dt^n.
  for (int n = 0, at = 0; n <= derCount; ++n)
    for (int l = 0; l <= n; ++l, ++at) {
      const ON_4dPoint& p = out.at[size_t((n - l) * out.order + l)];
      v[3 * at] = p.x;
      v[3 * at + 1] = p.y;
      v[3 * at + 2] = p.z;
    }
  return true;
}

ON_3dPoint ON_NurbsSurface::PointAt(double s, double t) const {
  double v[3];
  if (Evaluate(s, t, 0, v)) return {v[0], v[1], v[2]};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  return {nan, nan, nan};
}
