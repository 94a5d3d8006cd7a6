// Platform only: the arithmetic behind the host's curves. NURBS evaluation, lengths by
// adaptive Gauss-Kronrod integration, tight boxes and cubic interpolation of fit points.
#pragma once

#include <functional>
#include <vector>

#include "host/acdb.h"

namespace kv::curve {

constexpr double kTwoPi = 6.28318530717958647692;

// x reduced to [0, 2 pi).
double wrapAngle(double x);

// The integral of f over [a, b], to about 1e-13 of its size; f must be smooth inside.
double integrate(const std::function<double(double)>& f, double a, double b);

// The arc of a polyline segment from (x0, y0) to (x1, y1) in its plane, for a bulge of
// tan(included angle / 4), counter-clockwise when positive; the bulge must not be 0.
struct BulgeArc {
  double cx = 0, cy = 0, radius = 0;
  double start = 0, sweep = 0;  // the angle at the first point, in (-pi, pi]; the signed sweep
};
BulgeArc bulgeArc(double x0, double y0, double x1, double y1, double bulge);

struct Nurbs {
  int degree = 0;
  std::vector<AcGePoint3d> points;
  std::vector<double> knots;    // points + degree + 1
  std::vector<double> weights;  // empty: every weight 1
};

// The same data where it lives, for reading.
struct NurbsView {
  int degree;
  const std::vector<AcGePoint3d>& points;
  const std::vector<double>& knots;
  const std::vector<double>& weights;
};
inline NurbsView view(const Nurbs& n) { return {n.degree, n.points, n.knots, n.weights}; }

// Degree 1 to 25, at least degree + 1 points, the knot count, knots not decreasing with a
// non-empty domain, positive weights (one per point, or none) and only finite numbers.
bool isValid(const NurbsView& n);
inline double startParam(const NurbsView& n) { return n.knots[size_t(n.degree)]; }
inline double endParam(const NurbsView& n) { return n.knots[n.points.size()]; }

// The point at u (inside the domain) and, when asked, the first derivative there.
AcGePoint3d pointAt(const NurbsView& n, double u, AcGeVector3d* derivative = nullptr);
// The length of the curve from u0 to u1 (u0 <= u1, both inside the domain).
double length(const NurbsView& n, double u0, double u1);
// A box that holds the whole curve and exceeds its true box by at most a part in 10^9 of its
// size (for positive weights, where the control points' hull holds the curve).
AcDbExtents extents(const NurbsView& n);

// The clamped cubic through fit points, parametrised by chord length, with the given tangent
// at an end (a zero vector: no bending there instead). False for fewer than two points or two
// equal neighbours.
bool interpolate(const std::vector<AcGePoint3d>& fit, const AcGeVector3d& startTangent,
                 const AcGeVector3d& endTangent, Nurbs& out);

}  // namespace kv::curve
