// Plain geometric values of the vocabulary: intervals, lines, planes, circles, arcs, ellipses
// and polylines. Conventions:
// - Angles are in radians; an arc runs counter-clockwise about its plane's z axis from the
//   plane's x axis at m_angle[0] to m_angle[1].
// - A plane made from a point and a normal chooses its x axis by the drawing's arbitrary-axis
//   rule (the host's own choice for a circle), so a circle made that way starts where the
//   host's circle of the same centre and normal starts.
#pragma once

#include <cstring>

#include "opennurbs/on_base.h"

class ON_NurbsCurve;

inline constexpr double ON_PI = 3.141592653589793238462643;
// The vocabulary's zero tolerance for lengths that must not vanish.
inline constexpr double ON_ZERO_TOLERANCE = 2.3283064365386963e-10;  // 2^-32

class KV_PLATFORM_API ON_Interval {
public:
  ON_Interval() = default;
  ON_Interval(double t0, double t1) : m_t{t0, t1} {}
  double operator[](int i) const { return m_t[i != 0]; }
  double& operator[](int i) { return m_t[i != 0]; }
  double Min() const { return m_t[0] < m_t[1] ? m_t[0] : m_t[1]; }
  double Max() const { return m_t[0] < m_t[1] ? m_t[1] : m_t[0]; }
  double Length() const { return m_t[1] - m_t[0]; }  // signed
  bool IsIncreasing() const { return m_t[0] < m_t[1]; }
  // m_t[0] + s (m_t[1] - m_t[0]) (exact at s = 0 and 1), and its inverse (0 for an interval
  // of no length).
  double ParameterAt(double s) const;
  double NormalizedParameterAt(double t) const;
  bool Includes(double t) const { return Min() <= t && t <= Max(); }
  bool operator==(const ON_Interval& o) const { return m_t[0] == o.m_t[0] && m_t[1] == o.m_t[1]; }

  double m_t[2] = {0, 0};
};

class KV_PLATFORM_API ON_4dPoint {
public:
  ON_4dPoint() = default;
  ON_4dPoint(double xx, double yy, double zz, double ww) : x(xx), y(yy), z(zz), w(ww) {}
  double x = 0, y = 0, z = 0, w = 1;
};

class KV_PLATFORM_API ON_Line {
public:
  ON_Line() = default;
  ON_Line(const ON_3dPoint& start, const ON_3dPoint& end) : from(start), to(end) {}
  ON_3dVector Direction() const { return to - from; }
  ON_3dVector Tangent() const;  // unit direction; zero for a line of no length
  double Length() const { return from.DistanceTo(to); }
  ON_3dPoint PointAt(double t) const;  // (1 - t) from + t to
  bool IsValid() const { return from.IsValid() && to.IsValid() && from != to; }

  ON_3dPoint from, to;
};

class KV_PLATFORM_API ON_Plane {
public:
  ON_Plane() = default;  // the world x-y plane
  // The x axis by the arbitrary-axis rule; an invalid plane (zero axes) for a zero normal.
  ON_Plane(const ON_3dPoint& origin, const ON_3dVector& normal);
  // x along xDirection, y the part of yDirection square to it; invalid when they are parallel.
  ON_Plane(const ON_3dPoint& origin, const ON_3dVector& xDirection, const ON_3dVector& yDirection);
  bool CreateFromNormal(const ON_3dPoint& origin, const ON_3dVector& normal);
  bool CreateFromFrame(const ON_3dPoint& origin, const ON_3dVector& xDirection, const ON_3dVector& yDirection);

  static const ON_Plane World_xy;

  bool IsValid() const;  // finite, unit and square axes, right-handed
  const ON_3dPoint& Origin() const { return origin; }
  const ON_3dVector& Normal() const { return zaxis; }
  ON_3dPoint PointAt(double u, double v) const { return origin + xaxis * u + yaxis * v; }
  // The plane coordinates of p's projection onto the plane.
  bool ClosestPointTo(const ON_3dPoint& p, double* u, double* v) const;

  ON_3dPoint origin;
  ON_3dVector xaxis{1, 0, 0}, yaxis{0, 1, 0}, zaxis{0, 0, 1};
};

class KV_PLATFORM_API ON_Circle {
public:
  ON_Circle() = default;  // radius 1 in the world x-y plane
  ON_Circle(const ON_Plane& plane, double radius);  // centred on the plane's origin
  ON_Circle(const ON_3dPoint& center, double radius);  // parallel to the world x-y plane
  ON_Circle(const ON_Plane& plane, const ON_3dPoint& center, double radius);
  bool Create(const ON_Plane& plane, const ON_3dPoint& center, double radius);

  bool IsValid() const { return plane.IsValid() && radius > 0 && std::isfinite(radius); }
  ON_3dPoint Center() const { return plane.origin; }
  ON_3dVector Normal() const { return plane.zaxis; }
  double Radius() const { return radius; }
  double Circumference() const { return 2 * ON_PI * radius; }
  ON_3dPoint PointAt(double angle) const;
  ON_3dVector TangentAt(double angle) const;  // unit
  // The angle in [0, 2 pi) of p's projection seen from the centre; false at the centre.
  bool ClosestPointTo(const ON_3dPoint& p, double* angle) const;
  // Maps the circle by an affine transform that keeps it a circle (a similarity on its
  // plane); false, and unchanged, for any other.
  bool Transform(const ON_Xform& xform);
  // The rational quadratic form: 9 control points, knots 0, 0, pi/2, pi/2, ..., 2 pi, 2 pi,
  // parameter equal to the angle at every quarter. 3 (its order) when the circle is valid.
  int GetNurbForm(ON_NurbsCurve& curve) const;

  ON_Plane plane;
  double radius = 1;
};

class KV_PLATFORM_API ON_Arc : public ON_Circle {
public:
  ON_Arc() : m_angle(0, 2 * ON_PI) {}  // the default circle, whole
  ON_Arc(const ON_Circle& circle, double angleRadians);  // from angle 0
  ON_Arc(const ON_Circle& circle, const ON_Interval& angleIntervalRadians);
  bool Create(const ON_Circle& circle, const ON_Interval& angleIntervalRadians);

  // An increasing interval of at most one turn on a valid circle.
  bool IsValid() const;
  // The sweep reaches a whole turn (within the vocabulary's zero tolerance).
  bool IsCircle() const;
  double AngleRadians() const { return m_angle.Length(); }
  ON_Interval DomainRadians() const { return m_angle; }
  bool SetAngleIntervalRadians(const ON_Interval& angles);
  ON_3dPoint StartPoint() const { return PointAt(m_angle[0]); }
  ON_3dPoint MidPoint() const { return PointAt(0.5 * (m_angle[0] + m_angle[1])); }
  ON_3dPoint EndPoint() const { return PointAt(m_angle[1]); }
  double Length() const { return radius * AngleRadians(); }
  // Rational quadratic, one span per quarter turn or less, parameter equal to the angle at
  // every span end. 3 when the arc is valid, else 0 and the curve untouched.
  int GetNurbForm(ON_NurbsCurve& curve) const;

  ON_Interval m_angle;
};

class KV_PLATFORM_API ON_Ellipse {
public:
  ON_Ellipse() = default;
  ON_Ellipse(const ON_Plane& plane, double radius0, double radius1);
  bool Create(const ON_Plane& plane, double radius0, double radius1);

  bool IsValid() const;
  ON_3dPoint Center() const { return plane.origin; }
  // centre + cos(t) radius[0] x axis + sin(t) radius[1] y axis.
  ON_3dPoint PointAt(double t) const;
  // The circle's form (see ON_Circle) stretched by the two radii: the parameter is t at
  // every quarter. 3 when the ellipse is valid, else 0 and the curve untouched.
  int GetNurbForm(ON_NurbsCurve& curve) const;

  ON_Plane plane;
  double radius[2] = {1, 1};
};

class KV_PLATFORM_API ON_3dPointArray : public ON_SimpleArray<ON_3dPoint> {
public:
  using ON_SimpleArray<ON_3dPoint>::ON_SimpleArray;
};

class KV_PLATFORM_API ON_Polyline : public ON_3dPointArray {
public:
  ON_Polyline() = default;
  ON_Polyline(const ON_3dPointArray& points) : ON_3dPointArray(points) {}
  int PointCount() const { return Count(); }
  int SegmentCount() const { return Count() > 1 ? Count() - 1 : 0; }
  // At least four points, the last within tolerance of the first (equal when it is 0).
  bool IsClosed(double tolerance = 0.0) const;
  double Length() const;
};

// A 128-bit id, compared byte for byte.
struct KV_PLATFORM_API ON_UUID {
  unsigned int Data1 = 0;
  unsigned short Data2 = 0, Data3 = 0;
  unsigned char Data4[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  bool operator==(const ON_UUID& o) const {
    return Data1 == o.Data1 && Data2 == o.Data2 && Data3 == o.Data3 && std::memcmp(Data4, o.Data4, 8) == 0;
  }
  bool operator!=(const ON_UUID& o) const { return !(*this == o); }
};
inline constexpr ON_UUID ON_nil_uuid{};
