// The host's curves beside the line: rays, construction lines, circles, arcs, ellipses and
// splines, each answering the curve interface of AcDbCurve in the host's parametrisation.
//
// Common rules:
// - setters need the entity open for write (eNotOpenForWrite) and leave it unchanged when they
//   refuse a value;
// - a parameter outside the curve answers eInvalidInput and leaves the out-parameter alone;
// - circles, arcs and ellipses move by rigid motions and uniform scales, mirrors included; any
//   other transform answers eCannotScaleNonUniformly and changes nothing. Rays, construction
//   lines and splines take every affine transform;
// - none of these kinds explodes: explode answers eNotApplicable, as the host's does.
#pragma once

#include "host/acdb.h"

namespace kv {
// The platform's way to spline data that the file reader restores as it was written.
struct SplineAccess;
}  // namespace kv

// Common ground of the ray and the construction line: a base point and a unit direction. Not
// a host class: each of them reports its own class.
class KV_PLATFORM_API AcDbUnboundedLine : public AcDbCurve {
public:
  KV_RX_DECLARE_MEMBERS(AcDbUnboundedLine)
  AcGePoint3d basePoint() const { return base_; }
  Acad::ErrorStatus setBasePoint(const AcGePoint3d& p);
  AcGeVector3d unitDir() const { return dir_; }
  // Stored with unit length; a zero vector answers eInvalidInput.
  Acad::ErrorStatus setUnitDir(const AcGeVector3d& direction);

  // The parameter is the signed distance from the base point along the direction.
  Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& point) const override;

protected:
  AcDbUnboundedLine() = default;
  // A transform that collapses the direction answers eDegenerateGeometry.
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  // No box holds an unbounded line: eInvalidExtents, so that it never stretches a drawing's
  // extents to infinity.
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  void copyLineTo(AcDbUnboundedLine& other) const;
  // Parameters the line runs over.
  virtual double lowest() const = 0;

private:
  AcGePoint3d base_;
  AcGeVector3d dir_ = AcGeVector3d::kXAxis;
};

// A half-line from its base point: parameters 0 to +infinity. It has a start point and no end
// point (getEndPoint answers eNotApplicable); the distance at a parameter is the parameter.
class KV_PLATFORM_API AcDbRay : public AcDbUnboundedLine {
public:
  KV_RX_DECLARE_MEMBERS(AcDbRay)
  AcDbRay() = default;
  Acad::ErrorStatus getStartParam(double& param) const override;
  Acad::ErrorStatus getEndParam(double& param) const override;
  Acad::ErrorStatus getEndPoint(AcGePoint3d& point) const override;
  Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;

protected:
  double lowest() const override { return 0; }
  AcRxObject* subClone() const override;
};

// A line without ends through its base point: parameters -infinity to +infinity. It has no
// start or end point and no distance from its start (eNotApplicable).
class KV_PLATFORM_API AcDbXline : public AcDbUnboundedLine {
public:
  KV_RX_DECLARE_MEMBERS(AcDbXline)
  AcDbXline() = default;
  Acad::ErrorStatus getStartParam(double& param) const override;
  Acad::ErrorStatus getEndParam(double& param) const override;
  Acad::ErrorStatus getStartPoint(AcGePoint3d& point) const override;
  Acad::ErrorStatus getEndPoint(AcGePoint3d& point) const override;
  Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;

protected:
  double lowest() const override;
  AcRxObject* subClone() const override;
};

// Common ground of the circle and the arc: centre (world coordinates), radius and unit normal.
// Angles run counter-clockwise about the normal from the x axis of the normal's object
// coordinate system (the arbitrary-axis rule). Not a host class.
class KV_PLATFORM_API AcDbCircularCurve : public AcDbCurve {
public:
  KV_RX_DECLARE_MEMBERS(AcDbCircularCurve)
  AcGePoint3d center() const { return center_; }
  Acad::ErrorStatus setCenter(const AcGePoint3d& center);
  double radius() const { return radius_; }
  // eInvalidInput for a negative or non-finite radius.
  Acad::ErrorStatus setRadius(double radius);
  AcGeVector3d normal() const { return normal_; }
  // Stored with unit length; a zero vector answers eInvalidNormal.
  Acad::ErrorStatus setNormal(const AcGeVector3d& normal);

protected:
  AcDbCircularCurve() = default;
  AcDbCircularCurve(const AcGePoint3d& center, const AcGeVector3d& normal, double radius);
  // The point at an angle.
  AcGePoint3d pointAt(double angle) const;
  // The angle of the direction v about the normal, in [0, 2 pi).
  double angleOf(const AcGeVector3d& v) const;
  // Moves centre, radius and normal; *angle, when given, becomes the angle of the same point
  // after the move.
  Acad::ErrorStatus moveBy(const AcGeMatrix3d& xform, double* angle);
  void copyCircleTo(AcDbCircularCurve& other) const;

private:
  AcGePoint3d center_;
  double radius_ = 0;
  AcGeVector3d normal_ = AcGeVector3d::kZAxis;
};

// A whole circle: parameters 0 to 2 pi, the angle; closed.
class KV_PLATFORM_API AcDbCircle : public AcDbCircularCurve {
public:
  KV_RX_DECLARE_MEMBERS(AcDbCircle)
  AcDbCircle() = default;
  AcDbCircle(const AcGePoint3d& center, const AcGeVector3d& normal, double radius);

  bool isClosed() const override { return true; }
  Acad::ErrorStatus getStartParam(double& param) const override;
  Acad::ErrorStatus getEndParam(double& param) const override;
  Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& point) const override;
  Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;

protected:
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  AcRxObject* subClone() const override;
};

// An arc from its start angle counter-clockwise to its end angle. Angles are kept in [0, 2 pi);
// the parameters run from the start angle to the end angle, 2 pi added to the end angle when
// it is below the start: an arc from 350 to 10 degrees spans 20 degrees. Equal angles give an
// arc of no length.
class KV_PLATFORM_API AcDbArc : public AcDbCircularCurve {
public:
  KV_RX_DECLARE_MEMBERS(AcDbArc)
  AcDbArc() = default;
  // Normal (0, 0, 1).
  AcDbArc(const AcGePoint3d& center, double radius, double startAngle, double endAngle);
  AcDbArc(const AcGePoint3d& center, const AcGeVector3d& normal, double radius, double startAngle, double endAngle);

  double startAngle() const { return start_; }
  double endAngle() const { return end_; }
  // eInvalidInput for a non-finite angle.
  Acad::ErrorStatus setStartAngle(double angle);
  Acad::ErrorStatus setEndAngle(double angle);

  Acad::ErrorStatus getStartParam(double& param) const override;
  Acad::ErrorStatus getEndParam(double& param) const override;
  Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& point) const override;
  Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;

protected:
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  AcRxObject* subClone() const override;

private:
  double sweep() const;
  double start_ = 0, end_ = 0;
};

// An ellipse or elliptical arc: centre, unit normal, major axis (a vector from the centre to
// the end of the major axis) and the ratio of minor to major radius (0 < ratio <= 1). The minor
// axis is normal x major axis x ratio.
//
// Parameters are the host's ellipse parameter t, the point being
//   centre + cos(t) majorAxis + sin(t) minorAxis;
// angles are the geometric angles of those points from the major axis, counter-clockwise
// about the normal (paramAtAngle and angleAtParam convert; both keep whole turns). The start
// parameter is kept in [0, 2 pi) and the end one above it by at most 2 pi: equal values make
// the whole ellipse, which is closed.
class KV_PLATFORM_API AcDbEllipse : public AcDbCurve {
public:
  KV_RX_DECLARE_MEMBERS(AcDbEllipse)
  // A whole unit circle about the origin in the XY plane.
  AcDbEllipse() = default;
  // Values that set() refuses leave the default ellipse.
  AcDbEllipse(const AcGePoint3d& center, const AcGeVector3d& unitNormal, const AcGeVector3d& majorAxis,
              double radiusRatio, double startAngle = 0.0, double endAngle = 6.28318530717958647692);

  // eInvalidInput for a zero major axis or normal, a normal not perpendicular to the major
  // axis, a ratio outside (0, 1] or a non-finite value.
  Acad::ErrorStatus set(const AcGePoint3d& center, const AcGeVector3d& unitNormal, const AcGeVector3d& majorAxis,
                        double radiusRatio, double startAngle = 0.0, double endAngle = 6.28318530717958647692);
  AcGePoint3d center() const { return center_; }
  Acad::ErrorStatus setCenter(const AcGePoint3d& center);
  AcGeVector3d normal() const { return normal_; }
  AcGeVector3d majorAxis() const { return major_; }
  AcGeVector3d minorAxis() const;
  double radiusRatio() const { return ratio_; }
  // The parameters stay; eInvalidInput outside (0, 1].
  Acad::ErrorStatus setRadiusRatio(double ratio);
  // In [0, 2 pi); the end angle in (0, 2 pi], below the start angle when the arc passes the
  // major axis, 2 pi when the whole ellipse starts at 0.
  double startAngle() const { return angleAtParam(start_); }
  double endAngle() const;
  Acad::ErrorStatus setStartAngle(double angle);
  Acad::ErrorStatus setEndAngle(double angle);
  Acad::ErrorStatus setStartParam(double param);
  Acad::ErrorStatus setEndParam(double param);
  double paramAtAngle(double angle) const;
  double angleAtParam(double param) const;

  bool isClosed() const override;
  Acad::ErrorStatus getStartParam(double& param) const override;
  Acad::ErrorStatus getEndParam(double& param) const override;
  Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& point) const override;
  Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;

protected:
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  AcRxObject* subClone() const override;

private:
  AcGePoint3d pointAt(double param) const;
  void placeEnd(double param);
  AcGePoint3d center_;
  AcGeVector3d normal_ = AcGeVector3d::kZAxis;
  AcGeVector3d major_ = AcGeVector3d::kXAxis;
  double ratio_ = 1;
  double start_ = 0, end_ = 6.28318530717958647692;
};

// A NURBS curve: degree, control points, knots (control points + degree + 1 values, not
// decreasing), weights when rational, the closed and periodic flags and two tolerances. A
// spline made from fit points also keeps them, with the fit tolerance and the end tangents,
// until its NURBS data is set directly.
//
// Parameters are the knot domain, knot[degree] to knot[control points]. A spline without
// data is null: it has no parameters, points or extents (eDegenerateGeometry, eNullExtents).
// isClosed: the closed flag, or start and end points that coincide.
class KV_PLATFORM_API AcDbSpline : public AcDbCurve {
public:
  KV_RX_DECLARE_MEMBERS(AcDbSpline)
  AcDbSpline() = default;
  // The cubic through every fit point, in order, with the tangent (any length; a zero vector:
  // none) at each end that has one and no bending at an end that has none. Parameters follow
  // the chord lengths between the points. Only order 4 is made; another order, fewer than
  // two points or two equal neighbours leave the spline null. The fit tolerance is kept; the
  // curve passes through the points whatever it is.
  explicit AcDbSpline(const AcGePoint3dArray& fitPoints, int order = 4, double fitTolerance = 0.0);
  AcDbSpline(const AcGePoint3dArray& fitPoints, const AcGeVector3d& startTangent, const AcGeVector3d& endTangent,
             int order = 4, double fitTolerance = 0.0);
  // As setNurbsData; data it refuses leave the spline null.
  AcDbSpline(int degree, bool rational, bool closed, bool periodic, const AcGePoint3dArray& controlPoints,
             const AcGeDoubleArray& knots, const AcGeDoubleArray& weights, double controlPtTol = 0.0,
             double knotTol = 0.0);

  bool isNull() const { return ctrl_.empty(); }
  int degree() const { return degree_; }
  bool isRational() const { return rational_; }
  bool isPeriodic() const { return periodic_; }
  int numControlPoints() const { return int(ctrl_.size()); }
  // eInvalidIndex outside 0 to numControlPoints() - 1.
  Acad::ErrorStatus getControlPointAt(int index, AcGePoint3d& point) const;

  // weights is left empty for a non-rational spline. eDegenerateGeometry for a null spline.
  Acad::ErrorStatus getNurbsData(int& degree, Adesk::Boolean& rational, Adesk::Boolean& closed,
                                 Adesk::Boolean& periodic, AcGePoint3dArray& controlPoints, AcGeDoubleArray& knots,
                                 AcGeDoubleArray& weights, double& controlPtTol, double& knotTol) const;
  // Replaces the curve and drops any fit data. Weights are read only when rational and must
  // then be positive, one per control point. eInvalidInput for a degree outside 1 to 25, fewer
  // control points than degree + 1, a knot count other than control points + degree + 1,
  // decreasing knots, an empty domain or non-finite values.
  Acad::ErrorStatus setNurbsData(int degree, bool rational, bool closed, bool periodic,
                                 const AcGePoint3dArray& controlPoints, const AcGeDoubleArray& knots,
                                 const AcGeDoubleArray& weights, double controlPtTol = 0.0, double knotTol = 0.0);

  bool hasFitData() const { return !fit_.empty(); }
  int numFitPoints() const { return int(fit_.size()); }
  Acad::ErrorStatus getFitPointAt(int index, AcGePoint3d& point) const;
  // eNotApplicable when the spline has no fit data. tangentsExist is true when either end has one.
  Acad::ErrorStatus getFitData(AcGePoint3dArray& fitPoints, int& degree, double& fitTolerance,
                               Adesk::Boolean& tangentsExist, AcGeVector3d& startTangent,
                               AcGeVector3d& endTangent) const;
  // Remakes the curve through the points as the fit-point constructor does; eInvalidInput for
  // a degree other than 3 and for points it cannot fit (spline unchanged).
  Acad::ErrorStatus setFitData(const AcGePoint3dArray& fitPoints, int degree, double fitTolerance,
                               const AcGeVector3d& startTangent, const AcGeVector3d& endTangent);
  Acad::ErrorStatus purgeFitData();

  bool isClosed() const override;
  Acad::ErrorStatus getStartParam(double& param) const override;
  Acad::ErrorStatus getEndParam(double& param) const override;
  Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& point) const override;
  Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;

protected:
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  // The true box of the curve, to a part in 10^9 of its size, never smaller than the curve.
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  AcRxObject* subClone() const override;

private:
  friend struct kv::SplineAccess;
  bool fitThrough(const AcGePoint3dArray& fitPoints, const AcGeVector3d& startTangent,
                  const AcGeVector3d& endTangent, double fitTolerance);

  int degree_ = 0;
  bool rational_ = false, closed_ = false, periodic_ = false;
  std::vector<AcGePoint3d> ctrl_;
  std::vector<double> knots_, weights_;  // weights_ empty unless rational
  double ctrlTol_ = 0, knotTol_ = 0;
  std::vector<AcGePoint3d> fit_;
  AcGeVector3d startTangent_, endTangent_;  // zero: none
  double fitTol_ = 0;
};
