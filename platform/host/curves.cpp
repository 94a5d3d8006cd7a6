// Rays, construction lines, circles, arcs, ellipses and splines.
#include "host/curves.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

#include "host/curve_math.h"
#include "host/curves_access.h"
#include "host/ocs.h"

KV_RX_DEFINE_MEMBERS(AcDbUnboundedLine, AcDbCurve, nullptr)
KV_RX_DEFINE_MEMBERS(AcDbRay, AcDbUnboundedLine, "RAY")
KV_RX_DEFINE_MEMBERS(AcDbXline, AcDbUnboundedLine, "XLINE")
KV_RX_DEFINE_MEMBERS(AcDbCircularCurve, AcDbCurve, nullptr)
KV_RX_DEFINE_MEMBERS(AcDbCircle, AcDbCircularCurve, "CIRCLE")
KV_RX_DEFINE_MEMBERS(AcDbArc, AcDbCircularCurve, "ARC")
KV_RX_DEFINE_MEMBERS(AcDbEllipse, AcDbCurve, "ELLIPSE")
KV_RX_DEFINE_MEMBERS(AcDbSpline, AcDbCurve, "SPLINE")

using kv::curve::kTwoPi;
using kv::curve::wrapAngle;

namespace {

constexpr double kPi = kTwoPi / 2;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

bool finite(const AcGePoint3d& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }
bool finite(const AcGeVector3d& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

bool isAffine(const AcGeMatrix3d& m) { return m(3, 0) == 0 && m(3, 1) == 0 && m(3, 2) == 0 && m(3, 3) == 1; }
// Rigid motions and uniform scales, mirrors included.
bool isSimilarity(const AcGeMatrix3d& m) { return isAffine(m) && m.isUniScaledOrtho(); }

// v with unit length; a vector already of unit length to rounding stays exactly as it is, so
// that a direction read back from a file is the one written.
AcGeVector3d unitOf(const AcGeVector3d& v) {
  double length = v.length();
  return std::fabs(length - 1) <= 4e-16 ? v : v * (1 / length);
}

// The image of a plane's normal under a similarity: a mirror turns the plane over.
AcGeVector3d movedNormal(const AcGeMatrix3d& m, const AcGeVector3d& normal) {
  AcGeVector3d n = (m * normal).normal();
  return m.det() < 0 ? -n : n;
}

// A parameter of a bounded curve: inside [lo, hi], where a rounding's width outside an end
// counts as that end.
bool takeParam(double& x, double lo, double hi) {
  double slack = 1e-12 * std::max({1.0, std::fabs(lo), std::fabs(hi)});
  if (!(x >= lo - slack && x <= hi + slack)) return false;
  x = std::clamp(x, lo, hi);
  return true;
}

// The box of c + cos(t) u + sin(t) v for t from start over span (at most a turn): its ends and
// every extreme of a coordinate that falls inside.
AcDbExtents conicBox(const AcGePoint3d& c, const AcGeVector3d& u, const AcGeVector3d& v, double start, double span) {
  auto at = [&](double t) { return c + u * std::cos(t) + v * std::sin(t); };
  AcDbExtents box;
  box.addPoint(at(start));
  box.addPoint(at(start + span));
  for (unsigned i = 0; i < 3; ++i) {
    if (u[i] == 0 && v[i] == 0) continue;
    double t = std::atan2(v[i], u[i]);
    for (double extreme : {t, t + kPi})
      if (wrapAngle(extreme - start) <= span) box.addPoint(at(extreme));
  }
  return box;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Rays and construction lines

Acad::ErrorStatus AcDbUnboundedLine::setBasePoint(const AcGePoint3d& p) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  base_ = p;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbUnboundedLine::setUnitDir(const AcGeVector3d& direction) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!finite(direction) || direction.isZeroLength()) return Acad::eInvalidInput;
  dir_ = unitOf(direction);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbUnboundedLine::getPointAtParam(double param, AcGePoint3d& point) const {
  if (!std::isfinite(param) || param < lowest()) return Acad::eInvalidInput;
  point = base_ + dir_ * param;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbUnboundedLine::subTransformBy(const AcGeMatrix3d& xform) {
  if (!isAffine(xform)) return Acad::eCannotScaleNonUniformly;
  AcGeVector3d dir = xform * dir_;
  if (dir.isZeroLength()) return Acad::eDegenerateGeometry;
  base_.transformBy(xform);
  dir_ = dir.normal();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbUnboundedLine::subGetGeomExtents(AcDbExtents&) const { return Acad::eInvalidExtents; }

void AcDbUnboundedLine::copyLineTo(AcDbUnboundedLine& other) const {
  copyPropertiesTo(other);
  other.base_ = base_;
  other.dir_ = dir_;
}

Acad::ErrorStatus AcDbRay::getStartParam(double& param) const {
  param = 0;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbRay::getEndParam(double& param) const {
  param = kInfinity;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbRay::getEndPoint(AcGePoint3d&) const { return Acad::eNotApplicable; }

Acad::ErrorStatus AcDbRay::getDistAtParam(double param, double& dist) const {
  if (!std::isfinite(param) || param < 0) return Acad::eInvalidInput;
  dist = param;
  return Acad::eOk;
}

AcRxObject* AcDbRay::subClone() const {
  auto* copy = new AcDbRay;
  copyLineTo(*copy);
  return copy;
}

double AcDbXline::lowest() const { return -kInfinity; }

Acad::ErrorStatus AcDbXline::getStartParam(double& param) const {
  param = -kInfinity;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbXline::getEndParam(double& param) const {
  param = kInfinity;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbXline::getStartPoint(AcGePoint3d&) const { return Acad::eNotApplicable; }
Acad::ErrorStatus AcDbXline::getEndPoint(AcGePoint3d&) const { return Acad::eNotApplicable; }
Acad::ErrorStatus AcDbXline::getDistAtParam(double, double&) const { return Acad::eNotApplicable; }

AcRxObject* AcDbXline::subClone() const {
  auto* copy = new AcDbXline;
  copyLineTo(*copy);
  return copy;
}

// ---------------------------------------------------------------------------------------------
// Circles and arcs

AcDbCircularCurve::AcDbCircularCurve(const AcGePoint3d& center, const AcGeVector3d& normal, double radius)
    : center_(center) {
  if (std::isfinite(radius) && radius >= 0) radius_ = radius;
  if (finite(normal) && !normal.isZeroLength()) normal_ = unitOf(normal);
}

Acad::ErrorStatus AcDbCircularCurve::setCenter(const AcGePoint3d& center) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  center_ = center;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbCircularCurve::setRadius(double radius) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!std::isfinite(radius) || radius < 0) return Acad::eInvalidInput;
  radius_ = radius;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbCircularCurve::setNormal(const AcGeVector3d& normal) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!finite(normal) || normal.isZeroLength()) return Acad::eInvalidNormal;
  normal_ = unitOf(normal);
  return Acad::eOk;
}

AcGePoint3d AcDbCircularCurve::pointAt(double angle) const {
  kv::Ocs ocs(normal_);
  return center_ + (ocs.x * std::cos(angle) + ocs.y * std::sin(angle)) * radius_;
}

double AcDbCircularCurve::angleOf(const AcGeVector3d& v) const {
  kv::Ocs ocs(normal_);
  return wrapAngle(std::atan2(v.dotProduct(ocs.y), v.dotProduct(ocs.x)));
}

Acad::ErrorStatus AcDbCircularCurve::moveBy(const AcGeMatrix3d& xform, double* angle) {
  if (!isSimilarity(xform)) return Acad::eCannotScaleNonUniformly;
  kv::Ocs ocs(normal_);
  AcGeVector3d toPoint = ocs.x;
  if (angle) toPoint = ocs.x * std::cos(*angle) + ocs.y * std::sin(*angle);
  toPoint = xform * toPoint;
  radius_ *= (xform * ocs.x).length();
  center_.transformBy(xform);
  normal_ = movedNormal(xform, normal_);
  if (angle) *angle = angleOf(toPoint);
  return Acad::eOk;
}

void AcDbCircularCurve::copyCircleTo(AcDbCircularCurve& other) const {
  copyPropertiesTo(other);
  other.center_ = center_;
  other.radius_ = radius_;
  other.normal_ = normal_;
}

AcDbCircle::AcDbCircle(const AcGePoint3d& center, const AcGeVector3d& normal, double radius)
    : AcDbCircularCurve(center, normal, radius) {}

Acad::ErrorStatus AcDbCircle::getStartParam(double& param) const {
  param = 0;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbCircle::getEndParam(double& param) const {
  param = kTwoPi;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbCircle::getPointAtParam(double param, AcGePoint3d& point) const {
  if (!takeParam(param, 0, kTwoPi)) return Acad::eInvalidInput;
  point = pointAt(param);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbCircle::getDistAtParam(double param, double& dist) const {
  if (!takeParam(param, 0, kTwoPi)) return Acad::eInvalidInput;
  dist = radius() * param;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbCircle::subTransformBy(const AcGeMatrix3d& xform) { return moveBy(xform, nullptr); }

Acad::ErrorStatus AcDbCircle::subGetGeomExtents(AcDbExtents& extents) const {
  kv::Ocs ocs(normal());
  extents = conicBox(center(), ocs.x * radius(), ocs.y * radius(), 0, kTwoPi);
  return Acad::eOk;
}

AcRxObject* AcDbCircle::subClone() const {
  auto* copy = new AcDbCircle;
  copyCircleTo(*copy);
  return copy;
}

AcDbArc::AcDbArc(const AcGePoint3d& center, double radius, double startAngle, double endAngle)
    : AcDbArc(center, AcGeVector3d::kZAxis, radius, startAngle, endAngle) {}

AcDbArc::AcDbArc(const AcGePoint3d& center, const AcGeVector3d& normal, double radius, double startAngle,
                 double endAngle)
    : AcDbCircularCurve(center, normal, radius) {
  if (std::isfinite(startAngle)) start_ = wrapAngle(startAngle);
  if (std::isfinite(endAngle)) end_ = wrapAngle(endAngle);
}

Acad::ErrorStatus AcDbArc::setStartAngle(double angle) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!std::isfinite(angle)) return Acad::eInvalidInput;
  start_ = wrapAngle(angle);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::setEndAngle(double angle) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!std::isfinite(angle)) return Acad::eInvalidInput;
  end_ = wrapAngle(angle);
  return Acad::eOk;
}

double AcDbArc::sweep() const {
  double end = 0;
  getEndParam(end);
  return end - start_;
}

Acad::ErrorStatus AcDbArc::getStartParam(double& param) const {
  param = start_;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::getEndParam(double& param) const {
  param = end_ >= start_ ? end_ : end_ + kTwoPi;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::getPointAtParam(double param, AcGePoint3d& point) const {
  if (!takeParam(param, start_, start_ + sweep())) return Acad::eInvalidInput;
  point = pointAt(param);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::getDistAtParam(double param, double& dist) const {
  if (!takeParam(param, start_, start_ + sweep())) return Acad::eInvalidInput;
  dist = radius() * (param - start_);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::subTransformBy(const AcGeMatrix3d& xform) {
  // The sweep is carried over whole, so that rounding never turns an arc into its complement.
  double sw = sweep(), start = start_;
  if (Acad::ErrorStatus es = moveBy(xform, &start)) return es;
  start_ = start;
  end_ = wrapAngle(start + sw);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::subGetGeomExtents(AcDbExtents& extents) const {
  kv::Ocs ocs(normal());
  extents = conicBox(center(), ocs.x * radius(), ocs.y * radius(), start_, sweep());
  return Acad::eOk;
}

AcRxObject* AcDbArc::subClone() const {
  auto* copy = new AcDbArc;
  copyCircleTo(*copy);
  copy->start_ = start_;
  copy->end_ = end_;
  return copy;
}

// ---------------------------------------------------------------------------------------------
// Ellipses

namespace {

// a, written as whole turns plus a part of a turn, mapped through f on the part.
template <class F>
double perTurn(double a, F f) {
  double turns = std::floor(a / kTwoPi);
  double part = f(a - turns * kTwoPi);
  if (part < 0) part += kTwoPi;
  return part + turns * kTwoPi;
}

// The length of c + cos(t) u + sin(t) v (u and v perpendicular) from t0 to t1. The speed is
// smooth everywhere, but sharpest at the ends of the major axis: the quarters end there.
double ellipseLength(double a, double b, double t0, double t1) {
  auto speed = [a, b](double t) { return std::hypot(a * std::sin(t), b * std::cos(t)); };
  double sum = 0, quarter = kPi / 2;
  for (double t = t0; t < t1;) {
    double next = std::min(t1, (std::floor(t / quarter) + 1) * quarter);
    if (next <= t) next = std::min(t1, next + quarter);  // rounding at a quarter
    sum += kv::curve::integrate(speed, t, next);
    t = next;
  }
  return sum;
}

constexpr double kFullTurnSlack = 1e-12;

}  // namespace

AcDbEllipse::AcDbEllipse(const AcGePoint3d& center, const AcGeVector3d& unitNormal, const AcGeVector3d& majorAxis,
                         double radiusRatio, double startAngle, double endAngle) {
  set(center, unitNormal, majorAxis, radiusRatio, startAngle, endAngle);
}

Acad::ErrorStatus AcDbEllipse::set(const AcGePoint3d& center, const AcGeVector3d& unitNormal,
                                   const AcGeVector3d& majorAxis, double radiusRatio, double startAngle,
                                   double endAngle) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!finite(center) || !finite(unitNormal) || !finite(majorAxis) || !std::isfinite(startAngle) ||
      !std::isfinite(endAngle))
    return Acad::eInvalidInput;
  if (unitNormal.isZeroLength() || majorAxis.isZeroLength()) return Acad::eInvalidInput;
  AcGeVector3d n = unitOf(unitNormal);
  if (std::fabs(n.dotProduct(majorAxis.normal())) > 1e-9) return Acad::eInvalidInput;
  if (!(radiusRatio > 0 && radiusRatio <= 1)) return Acad::eInvalidInput;
  center_ = center;
  normal_ = n;
  major_ = majorAxis;
  ratio_ = radiusRatio;
  start_ = wrapAngle(paramAtAngle(startAngle));
  placeEnd(paramAtAngle(endAngle));
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEllipse::setCenter(const AcGePoint3d& center) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  center_ = center;
  return Acad::eOk;
}

AcGeVector3d AcDbEllipse::minorAxis() const { return normal_.crossProduct(major_) * ratio_; }

Acad::ErrorStatus AcDbEllipse::setRadiusRatio(double ratio) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!(ratio > 0 && ratio <= 1)) return Acad::eInvalidInput;
  ratio_ = ratio;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEllipse::setStartAngle(double angle) {
  if (!std::isfinite(angle)) return Acad::eInvalidInput;
  return setStartParam(paramAtAngle(angle));
}

Acad::ErrorStatus AcDbEllipse::setEndAngle(double angle) {
  if (!std::isfinite(angle)) return Acad::eInvalidInput;
  return setEndParam(paramAtAngle(angle));
}

Acad::ErrorStatus AcDbEllipse::setStartParam(double param) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!std::isfinite(param)) return Acad::eInvalidInput;
  double end = end_;
  start_ = wrapAngle(param);
  placeEnd(end);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEllipse::setEndParam(double param) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!std::isfinite(param)) return Acad::eInvalidInput;
  placeEnd(param);
  return Acad::eOk;
}

void AcDbEllipse::placeEnd(double param) {
  double span = wrapAngle(param - start_);
  if (span <= kFullTurnSlack || span >= kTwoPi - kFullTurnSlack) span = kTwoPi;
  end_ = start_ + span;
}

double AcDbEllipse::paramAtAngle(double angle) const {
  double ratio = ratio_;
  return perTurn(angle, [ratio](double a) { return std::atan2(std::sin(a), ratio * std::cos(a)); });
}

double AcDbEllipse::angleAtParam(double param) const {
  double ratio = ratio_;
  return perTurn(param, [ratio](double t) { return std::atan2(ratio * std::sin(t), std::cos(t)); });
}

double AcDbEllipse::endAngle() const {
  double angle = angleAtParam(end_);
  return angle > kTwoPi ? angle - kTwoPi : angle;
}

bool AcDbEllipse::isClosed() const { return end_ - start_ >= kTwoPi - kFullTurnSlack; }

Acad::ErrorStatus AcDbEllipse::getStartParam(double& param) const {
  param = start_;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEllipse::getEndParam(double& param) const {
  param = end_;
  return Acad::eOk;
}

AcGePoint3d AcDbEllipse::pointAt(double param) const {
  return center_ + major_ * std::cos(param) + minorAxis() * std::sin(param);
}

Acad::ErrorStatus AcDbEllipse::getPointAtParam(double param, AcGePoint3d& point) const {
  if (!takeParam(param, start_, end_)) return Acad::eInvalidInput;
  point = pointAt(param);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEllipse::getDistAtParam(double param, double& dist) const {
  if (!takeParam(param, start_, end_)) return Acad::eInvalidInput;
  double a = major_.length();
  dist = ellipseLength(a, a * ratio_, start_, param);
  return Acad::eOk;
}

// A similarity maps the point at t to the point at t of the image: the parameters stay.
Acad::ErrorStatus AcDbEllipse::subTransformBy(const AcGeMatrix3d& xform) {
  if (!isSimilarity(xform)) return Acad::eCannotScaleNonUniformly;
  center_.transformBy(xform);
  major_ = xform * major_;
  normal_ = movedNormal(xform, normal_);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEllipse::subGetGeomExtents(AcDbExtents& extents) const {
  extents = conicBox(center_, major_, minorAxis(), start_, end_ - start_);
  return Acad::eOk;
}

AcRxObject* AcDbEllipse::subClone() const {
  auto* copy = new AcDbEllipse;
  copyPropertiesTo(*copy);
  copy->center_ = center_;
  copy->normal_ = normal_;
  copy->major_ = major_;
  copy->ratio_ = ratio_;
  copy->start_ = start_;
  copy->end_ = end_;
  return copy;
}

// ---------------------------------------------------------------------------------------------
// Splines

AcDbSpline::AcDbSpline(const AcGePoint3dArray& fitPoints, int order, double fitTolerance) {
  if (order == 4) fitThrough(fitPoints, AcGeVector3d(), AcGeVector3d(), fitTolerance);
}

AcDbSpline::AcDbSpline(const AcGePoint3dArray& fitPoints, const AcGeVector3d& startTangent,
                       const AcGeVector3d& endTangent, int order, double fitTolerance) {
  if (order == 4) fitThrough(fitPoints, startTangent, endTangent, fitTolerance);
}

AcDbSpline::AcDbSpline(int degree, bool rational, bool closed, bool periodic, const AcGePoint3dArray& controlPoints,
                       const AcGeDoubleArray& knots, const AcGeDoubleArray& weights, double controlPtTol,
                       double knotTol) {
  setNurbsData(degree, rational, closed, periodic, controlPoints, knots, weights, controlPtTol, knotTol);
}

bool AcDbSpline::fitThrough(const AcGePoint3dArray& fitPoints, const AcGeVector3d& startTangent,
                            const AcGeVector3d& endTangent, double fitTolerance) {
  if (!std::isfinite(fitTolerance) || fitTolerance < 0 || !finite(startTangent) || !finite(endTangent)) return false;
  std::vector<AcGePoint3d> fit(fitPoints.begin(), fitPoints.end());
  kv::curve::Nurbs n;
  if (!kv::curve::interpolate(fit, startTangent, endTangent, n)) return false;
  degree_ = n.degree;
  rational_ = closed_ = periodic_ = false;
  ctrl_ = std::move(n.points);
  knots_ = std::move(n.knots);
  weights_.clear();
  kv::SplineAccess::setFitData(*this, std::move(fit), startTangent, endTangent, fitTolerance);
  return true;
}

Acad::ErrorStatus AcDbSpline::getControlPointAt(int index, AcGePoint3d& point) const {
  if (index < 0 || index >= numControlPoints()) return Acad::eInvalidIndex;
  point = ctrl_[size_t(index)];
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSpline::getNurbsData(int& degree, Adesk::Boolean& rational, Adesk::Boolean& closed,
                                           Adesk::Boolean& periodic, AcGePoint3dArray& controlPoints,
                                           AcGeDoubleArray& knots, AcGeDoubleArray& weights, double& controlPtTol,
                                           double& knotTol) const {
  if (isNull()) return Acad::eDegenerateGeometry;
  degree = degree_;
  rational = rational_;
  closed = closed_;
  periodic = periodic_;
  controlPoints.removeAll();
  for (const AcGePoint3d& p : ctrl_) controlPoints.append(p);
  knots.removeAll();
  for (double k : knots_) knots.append(k);
  weights.removeAll();
  for (double w : weights_) weights.append(w);
  controlPtTol = ctrlTol_;
  knotTol = knotTol_;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSpline::setNurbsData(int degree, bool rational, bool closed, bool periodic,
                                           const AcGePoint3dArray& controlPoints, const AcGeDoubleArray& knots,
                                           const AcGeDoubleArray& weights, double controlPtTol, double knotTol) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  kv::curve::Nurbs n;
  n.degree = degree;
  n.points.assign(controlPoints.begin(), controlPoints.end());
  n.knots.assign(knots.begin(), knots.end());
  if (rational) n.weights.assign(weights.begin(), weights.end());
  if (!kv::curve::isValid(kv::curve::view(n)) || (rational && n.weights.size() != n.points.size()))
    return Acad::eInvalidInput;
  if (!std::isfinite(controlPtTol) || !std::isfinite(knotTol) || controlPtTol < 0 || knotTol < 0)
    return Acad::eInvalidInput;
  degree_ = degree;
  rational_ = rational;
  closed_ = closed;
  periodic_ = periodic;
  ctrl_ = std::move(n.points);
  knots_ = std::move(n.knots);
  weights_ = std::move(n.weights);
  ctrlTol_ = controlPtTol;
  knotTol_ = knotTol;
  kv::SplineAccess::setFitData(*this, {}, AcGeVector3d(), AcGeVector3d(), 0);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSpline::getFitPointAt(int index, AcGePoint3d& point) const {
  if (index < 0 || index >= numFitPoints()) return Acad::eInvalidIndex;
  point = fit_[size_t(index)];
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSpline::getFitData(AcGePoint3dArray& fitPoints, int& degree, double& fitTolerance,
                                         Adesk::Boolean& tangentsExist, AcGeVector3d& startTangent,
                                         AcGeVector3d& endTangent) const {
  if (!hasFitData()) return Acad::eNotApplicable;
  fitPoints.removeAll();
  for (const AcGePoint3d& p : fit_) fitPoints.append(p);
  degree = degree_;
  fitTolerance = fitTol_;
  tangentsExist = !startTangent_.isZeroLength() || !endTangent_.isZeroLength();
  startTangent = startTangent_;
  endTangent = endTangent_;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSpline::setFitData(const AcGePoint3dArray& fitPoints, int degree, double fitTolerance,
                                         const AcGeVector3d& startTangent, const AcGeVector3d& endTangent) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (degree != 3 || !fitThrough(fitPoints, startTangent, endTangent, fitTolerance)) return Acad::eInvalidInput;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSpline::purgeFitData() {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  kv::SplineAccess::setFitData(*this, {}, AcGeVector3d(), AcGeVector3d(), 0);
  return Acad::eOk;
}

bool AcDbSpline::isClosed() const {
  if (isNull()) return false;
  auto n = kv::SplineAccess::nurbs(*this);
  AcGePoint3d start = kv::curve::pointAt(n, kv::curve::startParam(n));
  return closed_ || start.isEqualTo(kv::curve::pointAt(n, kv::curve::endParam(n)));
}

Acad::ErrorStatus AcDbSpline::getStartParam(double& param) const {
  if (isNull()) return Acad::eDegenerateGeometry;
  param = kv::curve::startParam(kv::SplineAccess::nurbs(*this));
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSpline::getEndParam(double& param) const {
  if (isNull()) return Acad::eDegenerateGeometry;
  param = kv::curve::endParam(kv::SplineAccess::nurbs(*this));
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSpline::getPointAtParam(double param, AcGePoint3d& point) const {
  if (isNull()) return Acad::eDegenerateGeometry;
  auto n = kv::SplineAccess::nurbs(*this);
  if (!takeParam(param, kv::curve::startParam(n), kv::curve::endParam(n))) return Acad::eInvalidInput;
  point = kv::curve::pointAt(n, param);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSpline::getDistAtParam(double param, double& dist) const {
  if (isNull()) return Acad::eDegenerateGeometry;
  auto n = kv::SplineAccess::nurbs(*this);
  double start = kv::curve::startParam(n);
  if (!takeParam(param, start, kv::curve::endParam(n))) return Acad::eInvalidInput;
  dist = kv::curve::length(n, start, param);
  return Acad::eOk;
}

// Affine maps keep a NURBS curve a NURBS curve over the moved control points.
Acad::ErrorStatus AcDbSpline::subTransformBy(const AcGeMatrix3d& xform) {
  if (!isAffine(xform)) return Acad::eCannotScaleNonUniformly;
  for (AcGePoint3d& p : ctrl_) p.transformBy(xform);
  for (AcGePoint3d& p : fit_) p.transformBy(xform);
  startTangent_ = xform * startTangent_;
  endTangent_ = xform * endTangent_;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSpline::subGetGeomExtents(AcDbExtents& extents) const {
  if (isNull()) return Acad::eNullExtents;
  extents = kv::curve::extents(kv::SplineAccess::nurbs(*this));
  return Acad::eOk;
}

AcRxObject* AcDbSpline::subClone() const {
  auto* copy = new AcDbSpline;
  copyPropertiesTo(*copy);
  copy->degree_ = degree_;
  copy->rational_ = rational_;
  copy->closed_ = closed_;
  copy->periodic_ = periodic_;
  copy->ctrl_ = ctrl_;
  copy->knots_ = knots_;
  copy->weights_ = weights_;
  copy->ctrlTol_ = ctrlTol_;
  copy->knotTol_ = knotTol_;
  kv::SplineAccess::setFitData(*copy, fit_, startTangent_, endTangent_, fitTol_);
  return copy;
}
