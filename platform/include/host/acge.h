// The host's geometry values: points, vectors, 4x4 transforms, the global tolerance, and the
// line segments and circular arcs that curves hand out for their pieces.
#pragma once

#include "core/export.h"

class KV_PLATFORM_API AcGeTol {
public:
  AcGeTol() = default;
  double equalPoint() const { return point_; }
  double equalVector() const { return vector_; }
  void setEqualPoint(double tol) { point_ = tol; }
  void setEqualVector(double tol) { vector_ = tol; }

private:
  double point_ = 1e-10;
  double vector_ = 1e-12;
};

struct KV_PLATFORM_API AcGeContext {
  static AcGeTol gTol;  // the tolerance every comparison uses unless given one
};

class AcGeMatrix3d;
class AcGePoint3d;

// Plane values, in an entity's own coordinate system (a polyline's vertices, a hatch's boundary).
class KV_PLATFORM_API AcGeVector2d {
public:
  AcGeVector2d() = default;
  AcGeVector2d(double xx, double yy) : x(xx), y(yy) {}

  static const AcGeVector2d kXAxis, kYAxis;

  double length() const;
  AcGeVector2d& normalize();
  double dotProduct(const AcGeVector2d& v) const { return x * v.x + y * v.y; }
  // The z of the cross product: positive when v lies counter-clockwise of this.
  double crossProduct(const AcGeVector2d& v) const { return x * v.y - y * v.x; }
  // The direction's angle from the x axis, counter-clockwise, in [0, 2pi).
  double angle() const;
  AcGeVector2d operator+(const AcGeVector2d& v) const { return {x + v.x, y + v.y}; }
  AcGeVector2d operator-(const AcGeVector2d& v) const { return {x - v.x, y - v.y}; }
  AcGeVector2d operator-() const { return {-x, -y}; }
  AcGeVector2d operator*(double s) const { return {x * s, y * s}; }
  bool isEqualTo(const AcGeVector2d& v, const AcGeTol& tol = AcGeContext::gTol) const;

  double x = 0, y = 0;
};

class KV_PLATFORM_API AcGePoint2d {
public:
  AcGePoint2d() = default;
  AcGePoint2d(double xx, double yy) : x(xx), y(yy) {}

  static const AcGePoint2d kOrigin;

  double distanceTo(const AcGePoint2d& p) const;
  bool isEqualTo(const AcGePoint2d& p, const AcGeTol& tol = AcGeContext::gTol) const;
  AcGeVector2d asVector() const { return {x, y}; }
  AcGePoint2d operator+(const AcGeVector2d& v) const { return {x + v.x, y + v.y}; }
  AcGePoint2d operator-(const AcGeVector2d& v) const { return {x - v.x, y - v.y}; }
  AcGeVector2d operator-(const AcGePoint2d& p) const { return {x - p.x, y - p.y}; }
  bool operator==(const AcGePoint2d& p) const { return isEqualTo(p); }
  bool operator!=(const AcGePoint2d& p) const { return !isEqualTo(p); }

  double x = 0, y = 0;
};

class KV_PLATFORM_API AcGeVector3d {
public:
  AcGeVector3d() = default;
  AcGeVector3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}

  static const AcGeVector3d kIdentity;  // zero vector
  static const AcGeVector3d kXAxis, kYAxis, kZAxis;

  double length() const;
  double lengthSqrd() const { return x * x + y * y + z * z; }
  bool isZeroLength(const AcGeTol& tol = AcGeContext::gTol) const;
  // A zero-length vector stays as it is.
  AcGeVector3d& normalize(const AcGeTol& tol = AcGeContext::gTol);
  AcGeVector3d normal(const AcGeTol& tol = AcGeContext::gTol) const;
  double dotProduct(const AcGeVector3d& v) const { return x * v.x + y * v.y + z * v.z; }
  AcGeVector3d crossProduct(const AcGeVector3d& v) const;
  // Angle in [0, pi]; 0 when either vector has zero length.
  double angleTo(const AcGeVector3d& v) const;
  // Angle in [0, 2 pi), turning counter-clockwise about reference from this vector to v.
  double angleTo(const AcGeVector3d& v, const AcGeVector3d& reference) const;
  bool isEqualTo(const AcGeVector3d& v, const AcGeTol& tol = AcGeContext::gTol) const;
  AcGeVector3d& transformBy(const AcGeMatrix3d& m);

  AcGeVector3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
  AcGeVector3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
  AcGeVector3d operator-() const { return {-x, -y, -z}; }
  AcGeVector3d operator*(double s) const { return {x * s, y * s, z * s}; }
  AcGeVector3d& operator+=(const AcGeVector3d& v) { x += v.x; y += v.y; z += v.z; return *this; }
  AcGeVector3d& operator-=(const AcGeVector3d& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
  AcGeVector3d& operator*=(double s) { x *= s; y *= s; z *= s; return *this; }
  bool operator==(const AcGeVector3d& v) const { return isEqualTo(v); }
  bool operator!=(const AcGeVector3d& v) const { return !isEqualTo(v); }
  double operator[](unsigned i) const { return i == 0 ? x : i == 1 ? y : z; }
  double& operator[](unsigned i) { return i == 0 ? x : i == 1 ? y : z; }

  double x = 0, y = 0, z = 0;
};

class KV_PLATFORM_API AcGePoint3d {
public:
  AcGePoint3d() = default;
  AcGePoint3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}

  static const AcGePoint3d kOrigin;

  double distanceTo(const AcGePoint3d& p) const;
  // Equal when closer than the tolerance's equalPoint.
  bool isEqualTo(const AcGePoint3d& p, const AcGeTol& tol = AcGeContext::gTol) const;
  AcGePoint3d& transformBy(const AcGeMatrix3d& m);
  AcGeVector3d asVector() const { return {x, y, z}; }

  AcGePoint3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
  AcGePoint3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
  AcGeVector3d operator-(const AcGePoint3d& p) const { return {x - p.x, y - p.y, z - p.z}; }
  AcGePoint3d& operator+=(const AcGeVector3d& v) { x += v.x; y += v.y; z += v.z; return *this; }
  AcGePoint3d& operator-=(const AcGeVector3d& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
  bool operator==(const AcGePoint3d& p) const { return isEqualTo(p); }
  bool operator!=(const AcGePoint3d& p) const { return !isEqualTo(p); }
  double operator[](unsigned i) const { return i == 0 ? x : i == 1 ? y : z; }
  double& operator[](unsigned i) { return i == 0 ? x : i == 1 ? y : z; }

  double x = 0, y = 0, z = 0;
};

// Scale factors along x, y and z; a negative one mirrors.
class KV_PLATFORM_API AcGeScale3d {
public:
  AcGeScale3d() = default;
  explicit AcGeScale3d(double factor) : sx(factor), sy(factor), sz(factor) {}
  AcGeScale3d(double x, double y, double z) : sx(x), sy(y), sz(z) {}
  bool isEqualTo(const AcGeScale3d& s, const AcGeTol& tol = AcGeContext::gTol) const;
  bool operator==(const AcGeScale3d& s) const { return isEqualTo(s); }
  double operator[](unsigned i) const { return i == 0 ? sx : i == 1 ? sy : sz; }

  double sx = 1, sy = 1, sz = 1;
};

KV_PLATFORM_API AcGeVector3d operator*(const AcGeMatrix3d& m, const AcGeVector3d& v);
KV_PLATFORM_API AcGePoint3d operator*(const AcGeMatrix3d& m, const AcGePoint3d& p);

// Row-major 4x4 affine transform; points are columns: p' = M p.
class KV_PLATFORM_API AcGeMatrix3d {
public:
  AcGeMatrix3d();  // identity

  static const AcGeMatrix3d kIdentity;

  AcGeMatrix3d& setToIdentity();
  AcGeMatrix3d& setToTranslation(const AcGeVector3d& v);
  AcGeMatrix3d& setToScaling(double scale, const AcGePoint3d& center = AcGePoint3d::kOrigin);
  AcGeMatrix3d& setToRotation(double angle, const AcGeVector3d& axis,
                              const AcGePoint3d& center = AcGePoint3d::kOrigin);
  static AcGeMatrix3d translation(const AcGeVector3d& v);
  static AcGeMatrix3d scaling(double scale, const AcGePoint3d& center = AcGePoint3d::kOrigin);
  static AcGeMatrix3d rotation(double angle, const AcGeVector3d& axis,
                               const AcGePoint3d& center = AcGePoint3d::kOrigin);
  // The plane of a normal, its axes by the arbitrary-axis rule: x is (0, 1, 0) x normal when
  // both |normal.x| and |normal.y| are below 1/64, else (0, 0, 1) x normal; y is normal x x.
  // planeToWorld takes coordinates in that plane's system to world ones; along Z both are the
  // identity, exactly. A zero normal counts as Z.
  static AcGeMatrix3d planeToWorld(const AcGeVector3d& normal);
  static AcGeMatrix3d worldToPlane(const AcGeVector3d& normal);

  AcGeVector3d translation() const { return {entry[0][3], entry[1][3], entry[2][3]}; }
  double det() const;
  bool isUniScaledOrtho(const AcGeTol& tol = AcGeContext::gTol) const;
  bool isEqualTo(const AcGeMatrix3d& m, const AcGeTol& tol = AcGeContext::gTol) const;
  // The product this * m: m is applied first.
  AcGeMatrix3d operator*(const AcGeMatrix3d& m) const;
  AcGeMatrix3d& preMultBy(const AcGeMatrix3d& left);
  AcGeMatrix3d& postMultBy(const AcGeMatrix3d& right);
  // A singular matrix is left unchanged and reported by the return value.
  bool invert();
  AcGeMatrix3d inverse() const;

  double operator()(unsigned row, unsigned col) const { return entry[row][col]; }
  double& operator()(unsigned row, unsigned col) { return entry[row][col]; }

  double entry[4][4];
};

// A straight segment; its parameter runs from 0 at the start to 1 at the end.
class KV_PLATFORM_API AcGeLineSeg3d {
public:
  AcGeLineSeg3d() = default;  // from the origin to (1, 0, 0)
  AcGeLineSeg3d(const AcGePoint3d& start, const AcGePoint3d& end) : start_(start), end_(end) {}
  AcGeLineSeg3d& set(const AcGePoint3d& start, const AcGePoint3d& end);
  AcGePoint3d startPoint() const { return start_; }
  AcGePoint3d endPoint() const { return end_; }
  AcGePoint3d midPoint() const { return evalPoint(0.5); }
  // The unit direction from start to end; zero for a segment of no length.
  AcGeVector3d direction() const;
  double length() const { return start_.distanceTo(end_); }
  double length(double fromParam, double toParam) const;
  AcGePoint3d evalPoint(double param) const;
  AcGeLineSeg3d& transformBy(const AcGeMatrix3d& xform);

private:
  AcGePoint3d start_;
  AcGePoint3d end_ = AcGePoint3d(1, 0, 0);
};

// A circular arc: the points centre + radius (cos a * refVec + sin a * (normal x refVec)) for
// the angles a from startAng to endAng, counter-clockwise about the normal. The parameter is
// that angle. The normal and the reference vector are kept unit and at right angles.
class KV_PLATFORM_API AcGeCircArc3d {
public:
  AcGeCircArc3d() = default;  // the unit circle about Z
  // A whole circle, its reference vector by the arbitrary-axis rule of the normal.
  AcGeCircArc3d(const AcGePoint3d& center, const AcGeVector3d& normal, double radius);
  AcGeCircArc3d(const AcGePoint3d& center, const AcGeVector3d& normal, const AcGeVector3d& refVec, double radius,
                double startAngle, double endAngle);
  AcGeCircArc3d& set(const AcGePoint3d& center, const AcGeVector3d& normal, const AcGeVector3d& refVec,
                     double radius, double startAngle, double endAngle);

  AcGePoint3d center() const { return center_; }
  AcGeVector3d normal() const { return normal_; }
  AcGeVector3d refVec() const { return ref_; }
  double radius() const { return radius_; }
  double startAng() const { return start_; }
  double endAng() const { return end_; }
  AcGePoint3d startPoint() const { return evalPoint(start_); }
  AcGePoint3d endPoint() const { return evalPoint(end_); }
  AcGePoint3d evalPoint(double angle) const;
  // radius * |toParam - fromParam|: exact, as angles are the parameter.
  double length(double fromParam, double toParam) const;
  bool isClosed() const;

private:
  AcGePoint3d center_;
  AcGeVector3d normal_ = AcGeVector3d(0, 0, 1);
  AcGeVector3d ref_ = AcGeVector3d(1, 0, 0);
  double radius_ = 1;
  double start_ = 0;
  double end_ = 6.283185307179586;
};
