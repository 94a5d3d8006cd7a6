#include <algorithm>
#include <cmath>

#include "opennurbs/curve_values.h"
#include "opennurbs/nurbs_basis.h"
#include "opennurbs/on_curve.h"

using kv::nurbs::Strip;
using kv::nurbs::stripOf;

namespace {

bool finite(const ON_4dPoint& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::isfinite(p.w);
}

bool same(const ON_4dPoint& a, const ON_4dPoint& b) { return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w; }

}  // namespace

namespace kv::nurbs {

Strip stripOf(const ON_NurbsCurve& c) {
  Strip s;
  s.order = c.Order();
  s.knots.assign(c.Knots(), c.Knots() + c.KnotCount());
  s.cv.resize(size_t(c.CVCount()));
  for (int i = 0; i < c.CVCount(); ++i) c.GetCV(i, s.cv[size_t(i)]);
  return s;
}

void assign(ON_NurbsCurve& c, const Strip& s, bool rational) {
  c.Create(3, rational, s.order, s.cvCount());
  for (int i = 0; i < s.cvCount(); ++i) c.SetCV(i, s.cv[size_t(i)]);
  for (size_t i = 0; i < s.knots.size(); ++i) c.SetKnot(int(i), s.knots[i]);
}

}  // namespace kv::nurbs

bool ON_NurbsCurve::Create(int dimension, bool isRational, int order, int cvCount) {
  if (dimension != 3 || order < 2 || cvCount < order) return false;
  order_ = order;
  cvCount_ = cvCount;
  rational_ = isRational;
  knots_.assign(size_t(kv::nurbs::knotCount(order, cvCount)), 0.0);
  cv_.assign(size_t(cvCount), ON_4dPoint(0, 0, 0, 1));
  return true;
}

bool ON_NurbsCurve::CreateClampedUniformNurbs(int dimension, int order, int pointCount, const ON_3dPoint* points,
                                              double knotDelta) {
  if (!points || !(knotDelta > 0) || !std::isfinite(knotDelta)) return false;
  if (!Create(dimension, false, order, pointCount)) return false;
  for (int i = 0; i < pointCount; ++i) SetCV(i, points[i]);
  const int spans = pointCount - order + 1;
  for (int i = 0; i < KnotCount(); ++i) knots_[size_t(i)] = std::clamp(i - (order - 2), 0, spans) * knotDelta;
  return true;
}

bool ON_NurbsCurve::IsValid(ON_TextLog*) const {
  if (!kv::nurbs::knotsValid(knots_, order_, cvCount_) || int(cv_.size()) != cvCount_) return false;
  for (const ON_4dPoint& p : cv_) {
    if (!finite(p)) return false;
    if (rational_ ? !(p.w > 0) : p.w != 1.0) return false;
  }
  return true;
}

bool ON_NurbsCurve::Transform(const ON_Xform& xform) {
  return kv::nurbs::transformHomogeneous(cv_, rational_, xform);
}

ON_Interval ON_NurbsCurve::Domain() const {
  if (order_ < 2 || int(knots_.size()) != KnotCount()) return ON_Interval();
  return ON_Interval(knots_[size_t(order_ - 2)], knots_[size_t(cvCount_ - 1)]);
}

bool ON_NurbsCurve::SetDomain(double t0, double t1) {
  if (!kv::curve::usable(ON_Interval(t0, t1)) || !kv::nurbs::knotsValid(knots_, order_, cvCount_)) return false;
  const ON_Interval from = Domain(), to(t0, t1);
  for (double& k : knots_) k = to.ParameterAt((k - from[0]) / from.Length());
  return true;
}

bool ON_NurbsCurve::Evaluate(double t, int derCount, double* v, int side) const {
  if (derCount < 0 || !v || int(cv_.size()) != cvCount_) return false;
  const int s = span(t, side);
  if (s < 0) return false;
  std::vector<double> ders;
  kv::nurbs::basisDerivatives(knots_, order_, s, t, derCount, ders);
  std::vector<ON_4dPoint> h(size_t(derCount + 1), ON_4dPoint(0, 0, 0, 0));
  for (int k = 0; k <= derCount; ++k) {
    ON_4dPoint& sum = h[size_t(k)];
    for (int j = 0; j < order_; ++j) {
      const double n = ders[size_t(k * order_ + j)];
      const ON_4dPoint& p = cv_[size_t(s - order_ + 1 + j)];
      sum.x += n * p.x;
      sum.y += n * p.y;
      sum.z += n * p.z;
      sum.w += n * p.w;
    }
  }
  if (rational_) {
    if (!(h[0].w != 0)) return false;
    kv::nurbs::rationalQuotient(h, derCount, v);
    return true;
  }
  for (int k = 0; k <= derCount; ++k) {
    const ON_4dPoint& d = h[size_t(k)];
    kv::curve::put(v + 3 * k, ON_3dPoint(d.x, d.y, d.z));
  }
  return true;
}

int ON_NurbsCurve::GetNurbForm(ON_NurbsCurve& nurbs) const {
  if (!IsValid()) return 0;
  nurbs = *this;
  return 1;
}

bool ON_NurbsCurve::Trim(const ON_Interval& interval) {
  if (!IsValid() || !kv::curve::within(Domain(), interval)) return false;
  Strip s = stripOf(*this);
  s.raiseMultiplicity(interval[0], Degree());
  s.raiseMultiplicity(interval[1], Degree());
  s.keep(interval[0], interval[1]);
  kv::nurbs::assign(*this, s, rational_);
  return true;
}

bool ON_NurbsCurve::SetStartPoint(const ON_3dPoint& p) {
  if (!IsValid() || !p.IsValid()) return false;
  if (!IsClamped() && !Trim(Domain())) return false;
  return SetCV(0, p);
}

bool ON_NurbsCurve::SetEndPoint(const ON_3dPoint& p) {
  if (!IsValid() || !p.IsValid()) return false;
  if (!IsClamped() && !Trim(Domain())) return false;
  return SetCV(cvCount_ - 1, p);
}

double ON_NurbsCurve::Knot(int i) const {
  assert(i >= 0 && i < int(knots_.size()));
  return knots_[size_t(i)];
}

bool ON_NurbsCurve::SetKnot(int i, double value) {
  assert(i >= 0 && i < int(knots_.size()));
  if (!std::isfinite(value)) return false;
  knots_[size_t(i)] = value;
  return true;
}

bool ON_NurbsCurve::GetCV(int i, ON_3dPoint& point) const {
  assert(i >= 0 && i < cvCount_);
  const ON_4dPoint& p = cv_[size_t(i)];
  if (!(p.w != 0)) return false;
  point = rational_ ? ON_3dPoint(p.x / p.w, p.y / p.w, p.z / p.w) : ON_3dPoint(p.x, p.y, p.z);
  return true;
}

bool ON_NurbsCurve::GetCV(int i, ON_4dPoint& point) const {
  assert(i >= 0 && i < cvCount_);
  point = cv_[size_t(i)];
  return true;
}

bool ON_NurbsCurve::SetCV(int i, const ON_3dPoint& point) {
  assert(i >= 0 && i < cvCount_);
  if (!point.IsValid()) return false;
  const double w = cv_[size_t(i)].w;
  cv_[size_t(i)] = ON_4dPoint(point.x * w, point.y * w, point.z * w, w);
  return true;
}

bool ON_NurbsCurve::SetCV(int i, const ON_4dPoint& point) {
  assert(i >= 0 && i < cvCount_);
  if (!finite(point) || !(point.w > 0)) return false;
  if (point.w != 1.0) rational_ = true;
  cv_[size_t(i)] = point;
  return true;
}

double ON_NurbsCurve::Weight(int i) const {
  assert(i >= 0 && i < cvCount_);
  return rational_ ? cv_[size_t(i)].w : 1.0;
}

bool ON_NurbsCurve::SetWeight(int i, double weight) {
  assert(i >= 0 && i < cvCount_);
  ON_3dPoint p;
  if (!(weight > 0) || !std::isfinite(weight) || !GetCV(i, p)) return false;
  rational_ = true;
  cv_[size_t(i)] = ON_4dPoint(p.x * weight, p.y * weight, p.z * weight, weight);
  return true;
}

bool ON_NurbsCurve::MakeRational() {
  if (order_ < 2) return false;
  rational_ = true;
  return true;
}

bool ON_NurbsCurve::MakeNonRational() {
  if (!rational_ || cv_.empty()) {
    rational_ = false;
    return order_ >= 2;
  }
  const double w = cv_[0].w;
  for (const ON_4dPoint& p : cv_)
    if (p.w != w || !(w > 0)) return false;
  for (ON_4dPoint& p : cv_) p = ON_4dPoint(p.x / w, p.y / w, p.z / w, 1.0);
  rational_ = false;
  return true;
}

bool ON_NurbsCurve::IsClamped() const {
  if (order_ < 2 || int(knots_.size()) != KnotCount()) return false;
  const size_t degree = size_t(order_ - 1), last = knots_.size() - 1;
  return knots_[0] == knots_[degree - 1] && knots_[last] == knots_[last + 1 - degree];
}

bool ON_NurbsCurve::IsPeriodic() const {
  if (!IsValid() || IsClamped()) return false;
  const int p = Degree(), n = cvCount_, shift = n - p;
  for (int i = 0; i < p; ++i)
    if (!same(cv_[size_t(i)], cv_[size_t(i + shift)])) return false;
  const double size = std::max({Domain().Length(), std::fabs(knots_.front()), std::fabs(knots_.back())});
  const double tol = 1e-12 * size;
  for (int i = 0; i + 1 < 2 * p - 1; ++i) {
    const double head = knots_[size_t(i + 1)] - knots_[size_t(i)];
    const double tail = knots_[size_t(i + 1 + shift)] - knots_[size_t(i + shift)];
    if (std::fabs(head - tail) > tol) return false;
  }
  return true;
}

bool ON_NurbsCurve::IsClosed() const {
  if (IsPeriodic()) return true;
  if (!IsValid()) return false;
  if (!IsClamped()) return ON_Curve::IsClosed();
  ON_3dPoint first, last, other;
  GetCV(0, first);
  GetCV(cvCount_ - 1, last);
  if (first != last) return false;
  for (int i = 1; i + 1 < cvCount_; ++i)
    if (GetCV(i, other) && other != first) return true;
  return false;
}

bool ON_NurbsCurve::InsertKnot(double knot, int multiplicity) {
  if (!IsValid() || multiplicity < 1 || multiplicity > Degree() || !Domain().Includes(knot)) return false;
  Strip s = stripOf(*this);
  s.raiseMultiplicity(knot, multiplicity);
  kv::nurbs::assign(*this, s, rational_);
  return true;
}

int ON_NurbsCurve::span(double t, int side) const {
  return kv::nurbs::findSpan(knots_, order_, cvCount_, t, side);
}
