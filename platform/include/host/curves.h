// The host's arc, as far as the polylines need it: what their explode makes of arc segments.
#pragma once

#include "host/acdb.h"

// An arc of a circle in the plane of its normal: from the start angle counter-clockwise about
// the normal to the end angle, both measured in the plane's system (the arbitrary-axis rule of
// AcGeMatrix3d::planeToWorld). The centre is in world coordinates. Parameter: the angle.
class KV_PLATFORM_API AcDbArc : public AcDbCurve {
public:
  KV_RX_DECLARE_MEMBERS(AcDbArc)
  AcDbArc() = default;
  AcDbArc(const AcGePoint3d& center, const AcGeVector3d& normal, double radius, double startAngle, double endAngle);
  AcGePoint3d center() const { return center_; }
  AcGeVector3d normal() const { return normal_; }
  double radius() const { return radius_; }
  double startAngle() const { return start_; }
  double endAngle() const { return end_; }

  Acad::ErrorStatus getStartParam(double& param) const override;
  Acad::ErrorStatus getEndParam(double& param) const override;
  Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& point) const override;
  Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;

protected:
  AcRxObject* subClone() const override;

private:
  AcGePoint3d center_;
  AcGeVector3d normal_ = AcGeVector3d::kZAxis;
  double radius_ = 0, start_ = 0, end_ = 0;
};
