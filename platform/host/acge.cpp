#include "host/acge.h"

#include <algorithm>
#include <cmath>
#include <numbers>

AcGeTol AcGeContext::gTol;

const AcGeVector3d AcGeVector3d::kIdentity(0, 0, 0);
const AcGeVector3d AcGeVector3d::kXAxis(1, 0, 0);
const AcGeVector3d AcGeVector3d::kYAxis(0, 1, 0);
const AcGeVector3d AcGeVector3d::kZAxis(0, 0, 1);
const AcGePoint3d AcGePoint3d::kOrigin(0, 0, 0);
const AcGeMatrix3d AcGeMatrix3d::kIdentity;

double AcGeVector3d::length() const { return std::sqrt(lengthSqrd()); }

bool AcGeVector3d::isZeroLength(const AcGeTol& tol) const { return length() <= tol.equalVector(); }

AcGeVector3d& AcGeVector3d::normalize(const AcGeTol& tol) {
  double len = length();
  if (len > tol.equalVector()) *this *= 1.0 / len;
  return *this;
}

AcGeVector3d AcGeVector3d::normal(const AcGeTol& tol) const {
  AcGeVector3d v(*this);
  return v.normalize(tol);
}

AcGeVector3d AcGeVector3d::crossProduct(const AcGeVector3d& v) const {
  return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x};
}

double AcGeVector3d::angleTo(const AcGeVector3d& v) const {
  double a = length(), b = v.length();
  if (a == 0 || b == 0) return 0;
  // atan2 of |a x b| and a.b keeps precision near 0 and pi, where acos does not.
  return std::atan2(crossProduct(v).length(), dotProduct(v));
}

double AcGeVector3d::angleTo(const AcGeVector3d& v, const AcGeVector3d& reference) const {
  double angle = angleTo(v);
  // Past pi when the turn from this to v runs clockwise about the reference.
  if (crossProduct(v).dotProduct(reference) < 0) angle = 2 * std::numbers::pi - angle;
  return angle < 2 * std::numbers::pi ? angle : 0.0;
}

bool AcGeVector3d::isEqualTo(const AcGeVector3d& v, const AcGeTol& tol) const {
  return (*this - v).length() <= tol.equalVector();
}

AcGeVector3d& AcGeVector3d::transformBy(const AcGeMatrix3d& m) { return *this = m * *this; }



double AcGePoint3d::distanceTo(const AcGePoint3d& p) const { return (*this - p).length(); }

bool AcGePoint3d::isEqualTo(const AcGePoint3d& p, const AcGeTol& tol) const {
  return distanceTo(p) <= tol.equalPoint();
}

AcGePoint3d& AcGePoint3d::transformBy(const AcGeMatrix3d& m) { return *this = m * *this; }

AcGeVector3d operator*(const AcGeMatrix3d& m, const AcGeVector3d& v) {
  const auto& e = m.entry;
  return {e[0][0] * v.x + e[0][1] * v.y + e[0][2] * v.z,
          e[1][0] * v.x + e[1][1] * v.y + e[1][2] * v.z,
          e[2][0] * v.x + e[2][1] * v.y + e[2][2] * v.z};
}

AcGePoint3d operator*(const AcGeMatrix3d& m, const AcGePoint3d& p) {
  const auto& e = m.entry;
  double x = e[0][0] * p.x + e[0][1] * p.y + e[0][2] * p.z + e[0][3];
  double y = e[1][0] * p.x + e[1][1] * p.y + e[1][2] * p.z + e[1][3];
  double z = e[2][0] * p.x + e[2][1] * p.y + e[2][2] * p.z + e[2][3];
  double w = e[3][0] * p.x + e[3][1] * p.y + e[3][2] * p.z + e[3][3];
  if (w != 1.0 && w != 0.0) return {x / w, y / w, z / w};
  return {x, y, z};
}

AcGeMatrix3d::AcGeMatrix3d() { setToIdentity(); }

AcGeMatrix3d& AcGeMatrix3d::setToIdentity() {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) entry[r][c] = r == c ? 1.0 : 0.0;
  return *this;
}

AcGeMatrix3d& AcGeMatrix3d::setToTranslation(const AcGeVector3d& v) {
  setToIdentity();
  entry[0][3] = v.x;
  entry[1][3] = v.y;
  entry[2][3] = v.z;
  return *this;
}

AcGeMatrix3d& AcGeMatrix3d::setToScaling(double s, const AcGePoint3d& c) {
  setToIdentity();
  for (int i = 0; i < 3; ++i) {
    entry[i][i] = s;
    entry[i][3] = c[unsigned(i)] * (1 - s);
  }
  return *this;
}

AcGeMatrix3d& AcGeMatrix3d::setToRotation(double angle, const AcGeVector3d& axis, const AcGePoint3d& c) {
  setToIdentity();
  AcGeVector3d u = axis.normal();
  if (u.isZeroLength()) return *this;
  double cs = std::cos(angle), sn = std::sin(angle), t = 1 - cs;
  double r[3][3] = {{t * u.x * u.x + cs, t * u.x * u.y - sn * u.z, t * u.x * u.z + sn * u.y},
                    {t * u.x * u.y + sn * u.z, t * u.y * u.y + cs, t * u.y * u.z - sn * u.x},
                    {t * u.x * u.z - sn * u.y, t * u.y * u.z + sn * u.x, t * u.z * u.z + cs}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) entry[i][j] = r[i][j];
    entry[i][3] = c[unsigned(i)] - (r[i][0] * c.x + r[i][1] * c.y + r[i][2] * c.z);
  }
  return *this;
}

AcGeMatrix3d AcGeMatrix3d::translation(const AcGeVector3d& v) { return AcGeMatrix3d().setToTranslation(v); }
AcGeMatrix3d AcGeMatrix3d::scaling(double s, const AcGePoint3d& c) { return AcGeMatrix3d().setToScaling(s, c); }
AcGeMatrix3d AcGeMatrix3d::rotation(double a, const AcGeVector3d& axis, const AcGePoint3d& c) {
  return AcGeMatrix3d().setToRotation(a, axis, c);
}

double AcGeMatrix3d::det() const {
  const auto& e = entry;
  return e[0][0] * (e[1][1] * e[2][2] - e[1][2] * e[2][1]) -
         e[0][1] * (e[1][0] * e[2][2] - e[1][2] * e[2][0]) +
         e[0][2] * (e[1][0] * e[2][1] - e[1][1] * e[2][0]);
}

bool AcGeMatrix3d::isUniScaledOrtho(const AcGeTol& tol) const {
  AcGeVector3d c0(entry[0][0], entry[1][0], entry[2][0]);
  AcGeVector3d c1(entry[0][1], entry[1][1], entry[2][1]);
  AcGeVector3d c2(entry[0][2], entry[1][2], entry[2][2]);
  double l = c0.length();
  if (l <= tol.equalVector()) return false;
  double eps = tol.equalVector() * std::max(1.0, l * l);
  return std::fabs(c1.length() - l) <= tol.equalVector() * std::max(1.0, l) &&
         std::fabs(c2.length() - l) <= tol.equalVector() * std::max(1.0, l) &&
         std::fabs(c0.dotProduct(c1)) <= eps && std::fabs(c0.dotProduct(c2)) <= eps &&
         std::fabs(c1.dotProduct(c2)) <= eps;
}

bool AcGeMatrix3d::isEqualTo(const AcGeMatrix3d& m, const AcGeTol& tol) const {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (std::fabs(entry[r][c] - m.entry[r][c]) > tol.equalVector()) return false;
  return true;
}

AcGeMatrix3d AcGeMatrix3d::operator*(const AcGeMatrix3d& m) const {
  AcGeMatrix3d out;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += entry[r][k] * m.entry[k][c];
      out.entry[r][c] = s;
    }
  return out;
}

AcGeMatrix3d& AcGeMatrix3d::preMultBy(const AcGeMatrix3d& left) { return *this = left * *this; }
AcGeMatrix3d& AcGeMatrix3d::postMultBy(const AcGeMatrix3d& right) { return *this = *this * right; }

bool AcGeMatrix3d::invert() {
  // Gauss-Jordan with partial pivoting on the full 4x4.
  double a[4][8];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 8; ++c) a[r][c] = c < 4 ? entry[r][c] : (c - 4 == r ? 1.0 : 0.0);
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    if (std::fabs(a[pivot][col]) < 1e-300) return false;
    if (pivot != col)
      for (int c = 0; c < 8; ++c) std::swap(a[pivot][c], a[col][c]);
    double inv = 1.0 / a[col][col];
    for (int c = 0; c < 8; ++c) a[col][c] *= inv;
    for (int r = 0; r < 4; ++r) {
      if (r == col || a[r][col] == 0) continue;
      double f = a[r][col];
      for (int c = 0; c < 8; ++c) a[r][c] -= f * a[col][c];
    }
  }
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) entry[r][c] = a[r][c + 4];
  return true;
}

AcGeMatrix3d AcGeMatrix3d::inverse() const {
  AcGeMatrix3d m(*this);
  m.invert();
  return m;
}

namespace {

// The x axis of a normal's plane by the arbitrary-axis rule.
AcGeVector3d arbitraryXAxis(const AcGeVector3d& normal) {
  constexpr double kNear = 1.0 / 64;
  const AcGeVector3d& w =
      std::fabs(normal.x) < kNear && std::fabs(normal.y) < kNear ? AcGeVector3d::kYAxis : AcGeVector3d::kZAxis;
  return w.crossProduct(normal).normal();
}

AcGeVector3d unitNormal(const AcGeVector3d& normal) {
  return normal.isZeroLength() ? AcGeVector3d::kZAxis : normal.normal();
}

}  // namespace

AcGeMatrix3d AcGeMatrix3d::planeToWorld(const AcGeVector3d& normal) {
  AcGeVector3d z = unitNormal(normal);
  AcGeVector3d x = arbitraryXAxis(z);
  AcGeVector3d y = z.crossProduct(x).normal();
  AcGeMatrix3d m;
  for (unsigned r = 0; r < 3; ++r) {
    m.entry[r][0] = x[r];
    m.entry[r][1] = y[r];
    m.entry[r][2] = z[r];
  }
  return m;
}

AcGeMatrix3d AcGeMatrix3d::worldToPlane(const AcGeVector3d& normal) {
  // The axes are orthonormal: the inverse is the transpose, without the rounding of an inversion.
  AcGeMatrix3d to = planeToWorld(normal), from;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) from.entry[r][c] = to.entry[c][r];
  return from;
}

// ---------------------------------------------------------------------------------------------

AcGeLineSeg3d& AcGeLineSeg3d::set(const AcGePoint3d& start, const AcGePoint3d& end) {
  start_ = start;
  end_ = end;
  return *this;
}

AcGeVector3d AcGeLineSeg3d::direction() const { return (end_ - start_).normal(); }

double AcGeLineSeg3d::length(double fromParam, double toParam) const { return std::fabs(toParam - fromParam) * length(); }

AcGePoint3d AcGeLineSeg3d::evalPoint(double param) const {
  if (param == 1) return end_;  // the end exactly, not through the rounding of the sum
  return start_ + (end_ - start_) * param;
}

AcGeLineSeg3d& AcGeLineSeg3d::transformBy(const AcGeMatrix3d& xform) {
  start_.transformBy(xform);
  end_.transformBy(xform);
  return *this;
}

AcGeCircArc3d::AcGeCircArc3d(const AcGePoint3d& center, const AcGeVector3d& normal, double radius) {
  AcGeVector3d n = unitNormal(normal);
  set(center, n, arbitraryXAxis(n), radius, 0, 2 * std::numbers::pi);
}

AcGeCircArc3d::AcGeCircArc3d(const AcGePoint3d& center, const AcGeVector3d& normal, const AcGeVector3d& refVec,
                             double radius, double startAngle, double endAngle) {
  set(center, normal, refVec, radius, startAngle, endAngle);
}

AcGeCircArc3d& AcGeCircArc3d::set(const AcGePoint3d& center, const AcGeVector3d& normal, const AcGeVector3d& refVec,
                                  double radius, double startAngle, double endAngle) {
  center_ = center;
  normal_ = unitNormal(normal);
  // Only the part of refVec in the arc's plane counts; none at all falls back to the rule.
  AcGeVector3d inPlane = refVec - normal_ * refVec.dotProduct(normal_);
  ref_ = inPlane.isZeroLength() ? arbitraryXAxis(normal_) : inPlane.normal();
  radius_ = radius;
  start_ = startAngle;
  end_ = endAngle;
  return *this;
}

AcGePoint3d AcGeCircArc3d::evalPoint(double angle) const {
  AcGeVector3d y = normal_.crossProduct(ref_);
  return center_ + (ref_ * std::cos(angle) + y * std::sin(angle)) * radius_;
}

double AcGeCircArc3d::length(double fromParam, double toParam) const { return radius_ * std::fabs(toParam - fromParam); }

bool AcGeCircArc3d::isClosed() const { return std::fabs(end_ - start_) >= 2 * std::numbers::pi; }
// ---------------------------------------------------------------------------------------------

const AcGeVector2d AcGeVector2d::kXAxis(1, 0);
const AcGeVector2d AcGeVector2d::kYAxis(0, 1);
const AcGePoint2d AcGePoint2d::kOrigin(0, 0);

double AcGeVector2d::length() const { return std::hypot(x, y); }

AcGeVector2d& AcGeVector2d::normalize() {
  double len = length();
  if (len > AcGeContext::gTol.equalVector()) {
    x /= len;
    y /= len;
  }
  return *this;
}

double AcGeVector2d::angle() const {
  double a = std::atan2(y, x);
  return a < 0 ? a + 2 * std::numbers::pi : a;
}

bool AcGeVector2d::isEqualTo(const AcGeVector2d& v, const AcGeTol& tol) const {
  return (*this - v).length() <= tol.equalVector();
}

double AcGePoint2d::distanceTo(const AcGePoint2d& p) const { return (*this - p).length(); }

bool AcGePoint2d::isEqualTo(const AcGePoint2d& p, const AcGeTol& tol) const {
  return distanceTo(p) <= tol.equalPoint();
}

bool AcGeScale3d::isEqualTo(const AcGeScale3d& s, const AcGeTol& tol) const {
  return std::fabs(sx - s.sx) <= tol.equalVector() && std::fabs(sy - s.sy) <= tol.equalVector() &&
         std::fabs(sz - s.sz) <= tol.equalVector();
}
