#include "host/curves.h"

#include <cmath>
#include <numbers>

KV_RX_DEFINE_MEMBERS(AcDbArc, AcDbCurve, "ARC")

AcDbArc::AcDbArc(const AcGePoint3d& center, const AcGeVector3d& normal, double radius, double startAngle,
                 double endAngle)
    : center_(center), normal_(normal.normal()), radius_(radius), start_(startAngle), end_(endAngle) {}

Acad::ErrorStatus AcDbArc::getStartParam(double& param) const {
  param = start_;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::getEndParam(double& param) const {
  // Counter-clockwise from the start: the end parameter lies within one turn above it.
  param = start_ + std::fmod(std::fmod(end_ - start_, 2 * std::numbers::pi) + 2 * std::numbers::pi,
                             2 * std::numbers::pi);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::getPointAtParam(double param, AcGePoint3d& point) const {
  double end = 0;
  getEndParam(end);
  if (!(param >= start_ && param <= end)) return Acad::eInvalidInput;
  AcGePoint3d local(radius_ * std::cos(param), radius_ * std::sin(param), 0);
  point = center_ + (AcGeMatrix3d::planeToWorld(normal_) * local).asVector();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbArc::getDistAtParam(double param, double& dist) const {
  double end = 0;
  getEndParam(end);
  if (!(param >= start_ && param <= end)) return Acad::eInvalidInput;
  dist = radius_ * (param - start_);
  return Acad::eOk;
}

AcRxObject* AcDbArc::subClone() const {
  auto* copy = new AcDbArc(center_, normal_, radius_, start_, end_);
  copyPropertiesTo(*copy);
  return copy;
}
