#include "host/acgecurve2d.h"

#include <cmath>

AcGeLineSeg2d& AcGeLineSeg2d::set(const AcGePoint2d& start, const AcGePoint2d& end) {
  start_ = start;
  end_ = end;
  return *this;
}

// Weighted so that 0 and 1 answer the end points exactly: adjoining edges then meet exactly.
AcGePoint2d AcGeLineSeg2d::evalPoint(double param) const {
  return AcGePoint2d((1 - param) * start_.x + param * end_.x, (1 - param) * start_.y + param * end_.y);
}

// ---------------------------------------------------------------------------------------------

AcGeCircArc2d::AcGeCircArc2d(const AcGePoint2d& center, double radius, double startAng, double endAng,
                             const AcGeVector2d& refVec, bool isClockWise)
    : center_(center), radius_(radius), start_(startAng), end_(endAng), ref_(refVec), clockwise_(isClockWise) {
  ref_.normalize();
}

AcGePoint2d AcGeCircArc2d::evalPoint(double angle) const {
  AcGeVector2d perp = clockwise_ ? AcGeVector2d(ref_.y, -ref_.x) : AcGeVector2d(-ref_.y, ref_.x);
  return center_ + (ref_ * std::cos(angle) + perp * std::sin(angle)) * radius_;
}

// ---------------------------------------------------------------------------------------------

AcGeEllipArc2d::AcGeEllipArc2d(const AcGePoint2d& center, const AcGeVector2d& majorAxis, const AcGeVector2d& minorAxis,
                               double majorRadius, double minorRadius, double startAng, double endAng)
    : center_(center), major_(majorAxis), minor_(minorAxis), majorRadius_(majorRadius), minorRadius_(minorRadius),
      start_(startAng), end_(endAng) {
  major_.normalize();
  minor_.normalize();
}

AcGePoint2d AcGeEllipArc2d::evalPoint(double angle) const {
  return center_ + major_ * (majorRadius_ * std::cos(angle)) + minor_ * (minorRadius_ * std::sin(angle));
}

// ---------------------------------------------------------------------------------------------

AcGeNurbCurve2d::AcGeNurbCurve2d(int degree, const AcGeDoubleArray& knots, const AcGePoint2dArray& controlPoints,
                                 const AcGeDoubleArray& weights, bool isPeriodic)
    : degree_(degree), periodic_(isPeriodic), knots_(knots), controlPoints_(controlPoints), weights_(weights) {}

void AcGeNurbCurve2d::getDefinitionData(int& degree, bool& rational, bool& periodic, AcGeDoubleArray& knots,
                                        AcGePoint2dArray& controlPoints, AcGeDoubleArray& weights) const {
  degree = degree_;
  rational = isRational();
  periodic = periodic_;
  knots = knots_;
  controlPoints = controlPoints_;
  weights = weights_;
}

void AcGeNurbCurve2d::setFitData(const AcGePoint2dArray& fitPoints, const std::optional<AcGeVector2d>& startTangent,
                                 const std::optional<AcGeVector2d>& endTangent) {
  hasFit_ = true;
  fitPoints_ = fitPoints;
  startTangent_ = startTangent;
  endTangent_ = endTangent;
}

bool AcGeNurbCurve2d::isWellFormed() const {
  int n = controlPoints_.length();
  if (degree_ < 1 || n < degree_ + 1 || knots_.length() != n + degree_ + 1) return false;
  if (!weights_.isEmpty() && weights_.length() != n) return false;
  for (int i = 1; i < knots_.length(); ++i)
    if (!(knots_[i] >= knots_[i - 1])) return false;
  return true;
}

double AcGeNurbCurve2d::startParam() const { return isWellFormed() ? knots_[degree_] : 0; }
double AcGeNurbCurve2d::endParam() const { return isWellFormed() ? knots_[controlPoints_.length()] : 0; }

AcGePoint2d AcGeNurbCurve2d::evalPoint(double param) const {
  if (!isWellFormed()) return controlPoints_.isEmpty() ? AcGePoint2d() : controlPoints_[0];
  int n = controlPoints_.length();
  double t = std::fmin(std::fmax(param, startParam()), endParam());
  // The span holding t: the last knot index k (degree <= k < n) with knot[k] <= t.
  int k = degree_;
  while (k + 1 < n && knots_[k + 1] <= t) ++k;
  // Homogeneous de Boor: points carry x*w, y*w and w.
  std::vector<double> x(size_t(degree_ + 1)), y(x.size()), w(x.size());
  for (int j = 0; j <= degree_; ++j) {
    int i = k - degree_ + j;
    double wi = weights_.isEmpty() ? 1.0 : weights_[i];
    x[size_t(j)] = controlPoints_[i].x * wi;
    y[size_t(j)] = controlPoints_[i].y * wi;
    w[size_t(j)] = wi;
  }
  for (int r = 1; r <= degree_; ++r)
    for (int j = degree_; j >= r; --j) {
      int i = k - degree_ + j;
      double span = knots_[i + degree_ - r + 1] - knots_[i];
      double a = span > 0 ? (t - knots_[i]) / span : 0;
      size_t u = size_t(j), v = size_t(j - 1);
      x[u] = (1 - a) * x[v] + a * x[u];
      y[u] = (1 - a) * y[v] + a * y[u];
      w[u] = (1 - a) * w[v] + a * w[u];
    }
  size_t d = size_t(degree_);
  return w[d] != 0 ? AcGePoint2d(x[d] / w[d], y[d] / w[d]) : AcGePoint2d(x[d], y[d]);
}
