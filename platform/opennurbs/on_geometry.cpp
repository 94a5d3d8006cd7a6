#include "opennurbs/on_geometry.h"

#include <cmath>

#include "opennurbs/arc_form.h"
#include "opennurbs/on_curve.h"

namespace {

// Scaled by the reciprocal of the length, as the host unitises: a plane made here from a
// host normal gets the axes the host itself gets, to the bit.
bool unitise(ON_3dVector& v) {
  const double len = v.Length();
  if (!(len > 0) || !std::isfinite(len)) return false;
  v = v * (1.0 / len);
  return true;
}

bool finite(const ON_3dVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

void makeInvalid(ON_Plane& plane) { plane.xaxis = plane.yaxis = plane.zaxis = ON_3dVector(0, 0, 0); }

}  // namespace

double ON_Interval::ParameterAt(double s) const { return (1 - s) * m_t[0] + s * m_t[1]; }

double ON_Interval::NormalizedParameterAt(double t) const {
  const double len = m_t[1] - m_t[0];
  return len != 0 ? (t - m_t[0]) / len : 0.0;
}

ON_3dVector ON_Line::Tangent() const {
  ON_3dVector d = Direction();
  return unitise(d) ? d : ON_3dVector(0, 0, 0);
}

ON_3dPoint ON_Line::PointAt(double t) const {
  return {(1 - t) * from.x + t * to.x, (1 - t) * from.y + t * to.y, (1 - t) * from.z + t * to.z};
}

const ON_Plane ON_Plane::World_xy;

ON_Plane::ON_Plane(const ON_3dPoint& o, const ON_3dVector& normal) { CreateFromNormal(o, normal); }

ON_Plane::ON_Plane(const ON_3dPoint& o, const ON_3dVector& xDirection, const ON_3dVector& yDirection) {
  CreateFromFrame(o, xDirection, yDirection);
}

bool ON_Plane::CreateFromNormal(const ON_3dPoint& o, const ON_3dVector& normal) {
  origin = o;
  zaxis = normal;
  if (!unitise(zaxis)) {
    makeInvalid(*this);
    return false;
  }
  constexpr double kNear = 1.0 / 64;
  const ON_3dVector w = std::fabs(zaxis.x) < kNear && std::fabs(zaxis.y) < kNear ? ON_3dVector(0, 1, 0)
                                                                                   : ON_3dVector(0, 0, 1);
  xaxis = ON_CrossProduct(w, zaxis);
  unitise(xaxis);
  yaxis = ON_CrossProduct(zaxis, xaxis);
  unitise(yaxis);
  return IsValid();
}

bool ON_Plane::CreateFromFrame(const ON_3dPoint& o, const ON_3dVector& xDirection, const ON_3dVector& yDirection) {
  origin = o;
  xaxis = xDirection;
  yaxis = yDirection;
  bool ok = unitise(xaxis) && finite(yaxis);
  if (ok) {
    const double size = yaxis.Length();
    yaxis = yaxis - xaxis * ON_DotProduct(yaxis, xaxis);
    // What is left of a y nearly along x is rounding, not a direction.
    ok = yaxis.Length() > ON_ZERO_TOLERANCE * size && unitise(yaxis);
  }
  if (ok) {
    zaxis = ON_CrossProduct(xaxis, yaxis);
    ok = unitise(zaxis) && IsValid();
  }
  if (!ok) makeInvalid(*this);
  return ok;
}

bool ON_Plane::IsValid() const {
  if (!origin.IsValid() || !finite(xaxis) || !finite(yaxis) || !finite(zaxis)) return false;
  const double tol = ON_ZERO_TOLERANCE;
  for (const ON_3dVector* axis : {&xaxis, &yaxis, &zaxis})
    if (std::fabs(axis->Length() - 1.0) > tol) return false;
  if (std::fabs(ON_DotProduct(xaxis, yaxis)) > tol || std::fabs(ON_DotProduct(yaxis, zaxis)) > tol ||
      std::fabs(ON_DotProduct(zaxis, xaxis)) > tol)
    return false;
  return ON_DotProduct(ON_CrossProduct(xaxis, yaxis), zaxis) > 0;
}

bool ON_Plane::ClosestPointTo(const ON_3dPoint& p, double* u, double* v) const {
  if (!IsValid()) return false;
  const ON_3dVector d = p - origin;
  if (u) *u = ON_DotProduct(d, xaxis);
  if (v) *v = ON_DotProduct(d, yaxis);
  return true;
}

ON_Circle::ON_Circle(const ON_Plane& p, double r) : plane(p), radius(r) {}

ON_Circle::ON_Circle(const ON_3dPoint& center, double r) : radius(r) { plane.origin = center; }

ON_Circle::ON_Circle(const ON_Plane& p, const ON_3dPoint& center, double r) { Create(p, center, r); }

bool ON_Circle::Create(const ON_Plane& p, const ON_3dPoint& center, double r) {
  plane = p;
  plane.origin = center;
  radius = r;
  return IsValid();
}

ON_3dPoint ON_Circle::PointAt(double angle) const {
  return plane.origin + plane.xaxis * (radius * std::cos(angle)) + plane.yaxis * (radius * std::sin(angle));
}

ON_3dVector ON_Circle::TangentAt(double angle) const {
  return plane.xaxis * -std::sin(angle) + plane.yaxis * std::cos(angle);
}

bool ON_Circle::ClosestPointTo(const ON_3dPoint& p, double* angle) const {
  double u = 0, v = 0;
  if (!plane.ClosestPointTo(p, &u, &v) || (u == 0 && v == 0)) return false;
  double a = std::atan2(v, u);
  if (a < 0) a += 2 * ON_PI;
  // A tiny negative angle comes back as a whole turn; the interval is half-open.
  if (a >= 2 * ON_PI) a = 0;
  if (angle) *angle = a;
  return true;
}

bool ON_Circle::Transform(const ON_Xform& xform) {
  const auto& m = xform.m_xform;
  if (m[3][0] != 0 || m[3][1] != 0 || m[3][2] != 0 || m[3][3] != 1) return false;
  const ON_3dVector x = xform * plane.xaxis, y = xform * plane.yaxis;
  const double sx = x.Length(), sy = y.Length();
  // The plane's image must stay a circle's: square axes of one length.
  const double tol = 1e-12 * (sx + sy);
  if (!(sx > 0) || std::fabs(sx - sy) > tol || std::fabs(ON_DotProduct(x, y)) > tol * sx) return false;
  ON_Circle moved;
  if (!moved.plane.CreateFromFrame(xform * plane.origin, x, y)) return false;
  moved.radius = radius * sx;
  if (!moved.IsValid()) return false;
  *this = moved;
  return true;
}

int ON_Circle::GetNurbForm(ON_NurbsCurve& curve) const {
  if (!IsValid()) return 0;
  kv::ArcFrame frame{plane.origin, plane.xaxis * radius, plane.yaxis * radius};
  return kv::arcNurbForm(frame, ON_Interval(0, 2 * ON_PI), true, curve) ? 3 : 0;
}

ON_Arc::ON_Arc(const ON_Circle& circle, double angleRadians) { Create(circle, ON_Interval(0, angleRadians)); }

ON_Arc::ON_Arc(const ON_Circle& circle, const ON_Interval& angles) { Create(circle, angles); }

bool ON_Arc::Create(const ON_Circle& circle, const ON_Interval& angles) {
  static_cast<ON_Circle&>(*this) = circle;
  m_angle = angles;
  return IsValid();
}

bool ON_Arc::IsValid() const {
  if (!ON_Circle::IsValid() || !std::isfinite(m_angle[0]) || !std::isfinite(m_angle[1])) return false;
  return m_angle.IsIncreasing() && m_angle.Length() <= 2 * ON_PI + ON_ZERO_TOLERANCE;
}

bool ON_Arc::IsCircle() const { return std::fabs(m_angle.Length() - 2 * ON_PI) <= ON_ZERO_TOLERANCE; }

bool ON_Arc::SetAngleIntervalRadians(const ON_Interval& angles) {
  if (!std::isfinite(angles[0]) || !std::isfinite(angles[1]) || !angles.IsIncreasing() ||
      angles.Length() > 2 * ON_PI + ON_ZERO_TOLERANCE)
    return false;
  m_angle = angles;
  return true;
}

int ON_Arc::GetNurbForm(ON_NurbsCurve& curve) const {
  if (!IsValid()) return 0;
  kv::ArcFrame frame{plane.origin, plane.xaxis * radius, plane.yaxis * radius};
  return kv::arcNurbForm(frame, m_angle, IsCircle(), curve) ? 3 : 0;
}

ON_Ellipse::ON_Ellipse(const ON_Plane& p, double radius0, double radius1) { Create(p, radius0, radius1); }

bool ON_Ellipse::Create(const ON_Plane& p, double radius0, double radius1) {
  plane = p;
  radius[0] = radius0;
  radius[1] = radius1;
  return IsValid();
}

bool ON_Ellipse::IsValid() const {
  for (double r : radius)
    if (!(r > 0) || !std::isfinite(r)) return false;
  return plane.IsValid();
}

ON_3dPoint ON_Ellipse::PointAt(double t) const {
  return plane.origin + plane.xaxis * (radius[0] * std::cos(t)) + plane.yaxis * (radius[1] * std::sin(t));
}

int ON_Ellipse::GetNurbForm(ON_NurbsCurve& curve) const {
  if (!IsValid()) return 0;
  kv::ArcFrame frame{plane.origin, plane.xaxis * radius[0], plane.yaxis * radius[1]};
  return kv::arcNurbForm(frame, ON_Interval(0, 2 * ON_PI), true, curve) ? 3 : 0;
}

bool ON_Polyline::IsClosed(double tolerance) const {
  if (Count() < 4) return false;
  const ON_3dPoint &first = (*this)[0], &last = (*this)[Count() - 1];
  return tolerance > 0 ? first.DistanceTo(last) <= tolerance : first == last;
}

double ON_Polyline::Length() const {
  double sum = 0;
  for (int i = 1; i < Count(); ++i) sum += (*this)[i].DistanceTo((*this)[i - 1]);
  return sum;
}
