// The host's plane curves, as the edges of a hatch's boundary hold them: line segments,
// circular and elliptical arcs and NURBS curves, in the coordinates of the entity's plane.
#pragma once

#include <optional>
#include <vector>

#include "host/acarray.h"
#include "host/acge.h"

typedef AcArray<AcGePoint2d> AcGePoint2dArray;
typedef AcArray<double> AcGeDoubleArray;
typedef AcArray<int> AcGeIntArray;
typedef AcArray<void*> AcGeVoidPointerArray;

class KV_PLATFORM_API AcGeCurve2d {
public:
  virtual ~AcGeCurve2d() = default;
  // A new copy; the caller deletes it.
  virtual AcGeCurve2d* copy() const = 0;
  // The point at param, in the curve's own parametrisation (see each class).
  virtual AcGePoint2d evalPoint(double param) const = 0;
  virtual double startParam() const = 0;
  virtual double endParam() const = 0;
  AcGePoint2d startPoint() const { return evalPoint(startParam()); }
  AcGePoint2d endPoint() const { return evalPoint(endParam()); }
};

// Parameter 0 at the start, 1 at the end.
class KV_PLATFORM_API AcGeLineSeg2d : public AcGeCurve2d {
public:
  AcGeLineSeg2d() = default;
  AcGeLineSeg2d(const AcGePoint2d& start, const AcGePoint2d& end) : start_(start), end_(end) {}
  AcGeLineSeg2d& set(const AcGePoint2d& start, const AcGePoint2d& end);
  AcGeCurve2d* copy() const override { return new AcGeLineSeg2d(*this); }
  AcGePoint2d evalPoint(double param) const override;
  double startParam() const override { return 0; }
  double endParam() const override { return 1; }

private:
  AcGePoint2d start_, end_;
};

// Angles in radians from the reference direction, counter-clockwise, or clockwise for a
// clockwise arc; the arc runs from startAng up to endAng (startAng <= endAng). The parameter is
// the angle.
class KV_PLATFORM_API AcGeCircArc2d : public AcGeCurve2d {
public:
  AcGeCircArc2d() = default;
  AcGeCircArc2d(const AcGePoint2d& center, double radius, double startAng, double endAng,
                const AcGeVector2d& refVec = AcGeVector2d::kXAxis, bool isClockWise = false);
  AcGePoint2d center() const { return center_; }
  double radius() const { return radius_; }
  double startAng() const { return start_; }
  double endAng() const { return end_; }
  AcGeVector2d refVec() const { return ref_; }
  bool isClockWise() const { return clockwise_; }
  AcGeCurve2d* copy() const override { return new AcGeCircArc2d(*this); }
  AcGePoint2d evalPoint(double angle) const override;
  double startParam() const override { return start_; }
  double endParam() const override { return end_; }

private:
  AcGePoint2d center_;
  double radius_ = 1, start_ = 0, end_ = 0;
  AcGeVector2d ref_ = AcGeVector2d::kXAxis;
  bool clockwise_ = false;
};

// center + majorRadius cos(t) majorAxis + minorRadius sin(t) minorAxis for t from startAng to
// endAng: the parameter angle, not the angle a point makes with the major axis. The axes are
// unit vectors; the arc runs clockwise when the minor axis lies clockwise of the major one.
class KV_PLATFORM_API AcGeEllipArc2d : public AcGeCurve2d {
public:
  AcGeEllipArc2d() = default;
  AcGeEllipArc2d(const AcGePoint2d& center, const AcGeVector2d& majorAxis, const AcGeVector2d& minorAxis,
                 double majorRadius, double minorRadius, double startAng, double endAng);
  AcGePoint2d center() const { return center_; }
  AcGeVector2d majorAxis() const { return major_; }
  AcGeVector2d minorAxis() const { return minor_; }
  double majorRadius() const { return majorRadius_; }
  double minorRadius() const { return minorRadius_; }
  double startAng() const { return start_; }
  double endAng() const { return end_; }
  bool isClockWise() const { return major_.crossProduct(minor_) < 0; }
  AcGeCurve2d* copy() const override { return new AcGeEllipArc2d(*this); }
  AcGePoint2d evalPoint(double angle) const override;
  double startParam() const override { return start_; }
  double endParam() const override { return end_; }

private:
  AcGePoint2d center_;
  AcGeVector2d major_ = AcGeVector2d::kXAxis, minor_ = AcGeVector2d::kYAxis;
  double majorRadius_ = 1, minorRadius_ = 1, start_ = 0, end_ = 0;
};

// A NURBS curve: degree, knots (control points + degree + 1 of them), control points and, for a
// rational curve, one weight per control point (an empty list: all 1). The parameter runs over
// the knots from index degree to index numControlPoints. The knots are an AcGeDoubleArray here,
// where the host has its knot-vector class.
class KV_PLATFORM_API AcGeNurbCurve2d : public AcGeCurve2d {
public:
  AcGeNurbCurve2d() = default;
  AcGeNurbCurve2d(int degree, const AcGeDoubleArray& knots, const AcGePoint2dArray& controlPoints,
                  const AcGeDoubleArray& weights = AcGeDoubleArray(), bool isPeriodic = false);
  int degree() const { return degree_; }
  bool isRational() const { return !weights_.isEmpty(); }
  bool isPeriodic() const { return periodic_; }
  int numControlPoints() const { return controlPoints_.length(); }
  AcGePoint2d controlPointAt(int i) const { return controlPoints_[i]; }
  int numKnots() const { return knots_.length(); }
  double knotAt(int i) const { return knots_[i]; }
  int numWeights() const { return weights_.length(); }
  double weightAt(int i) const { return weights_[i]; }
  void getDefinitionData(int& degree, bool& rational, bool& periodic, AcGeDoubleArray& knots,
                         AcGePoint2dArray& controlPoints, AcGeDoubleArray& weights) const;

  // Fit data that a file may give beside the control points; the curve itself is the one its
  // control points define. Tangents are optional each.
  bool hasFitData() const { return hasFit_; }
  int numFitPoints() const { return fitPoints_.length(); }
  AcGePoint2d fitPointAt(int i) const { return fitPoints_[i]; }
  const std::optional<AcGeVector2d>& startTangent() const { return startTangent_; }
  const std::optional<AcGeVector2d>& endTangent() const { return endTangent_; }
  void setFitData(const AcGePoint2dArray& fitPoints, const std::optional<AcGeVector2d>& startTangent,
                  const std::optional<AcGeVector2d>& endTangent);

  AcGeCurve2d* copy() const override { return new AcGeNurbCurve2d(*this); }
  // De Boor's algorithm; a curve whose data do not fit (too few knots) answers its first
  // control point, or the origin.
  AcGePoint2d evalPoint(double param) const override;
  double startParam() const override;
  double endParam() const override;
  // The data are consistent: enough knots, non-decreasing, one weight per point if rational.
  bool isWellFormed() const;

private:
  int degree_ = 3;
  bool periodic_ = false;
  AcGeDoubleArray knots_;
  AcGePoint2dArray controlPoints_;
  AcGeDoubleArray weights_;
  bool hasFit_ = false;
  AcGePoint2dArray fitPoints_;
  std::optional<AcGeVector2d> startTangent_, endTangent_;
};
