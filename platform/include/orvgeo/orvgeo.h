// The maker's geometry services: faces appended to a mesh with their corner points.
#pragma once

#include <limits>

#include "opennurbs/opennurbs.h"

class KV_PLATFORM_API ORVMesh {
public:
  // Appends one triangle (the third index repeated) or one quadrilateral, corners in the given
  // order, keeping the faces already there. A corner exactly equal to a vertex already in the
  // mesh reuses that vertex, so shared grids stay shared. 1 on success.
  static int AddTriangle(ON_Mesh& mesh, const ON_3dPoint& a, const ON_3dPoint& b, const ON_3dPoint& c);
  static int AddQuad(ON_Mesh& mesh, const ON_3dPoint& a, const ON_3dPoint& b, const ON_3dPoint& c,
                     const ON_3dPoint& d);
};

// Bilinear surfaces over given corners: degree 1 in u and v, 2 x 2 control points (the corners
// themselves, not rational), knots {0, 1} in each direction, so the domain is [0, 1] x [0, 1].
// 1 when the surface was built, 0 (surface untouched) for corners that are not finite.
class KV_PLATFORM_API ORVNurbsSurface {
public:
  // Corners (u, v) = (0, 0) a, (1, 0) b, and c along the whole edge v = 1.
  static int CreateTriangle(ON_NurbsSurface& surface, const ON_3dPoint& a, const ON_3dPoint& b,
                            const ON_3dPoint& c);
  // Corners in loop order: (0, 0) a, (1, 0) b, (1, 1) c, (0, 1) d.
  static int CreateQuad(ON_NurbsSurface& surface, const ON_3dPoint& a, const ON_3dPoint& b, const ON_3dPoint& c,
                        const ON_3dPoint& d);
};

// What shape a curve has, whatever its class. Each answers 1 and fills the value when the
// curve is that shape within its tolerance, else 0 with the value untouched. The tolerance is
// kTolerance times the curve's size (the diagonal of the box around it), or kRounding times its
// largest coordinate when that is more: a small curve far from the origin is known no better
// than its coordinates. The curve is evaluated densely (several points in every span of its
// NURBS form, more where its parameter runs fast), so a deviation is seen wherever it is larger
// than the tolerance. A null or invalid curve, one of no size, one reaching a value that is not
// finite, or one whose pieces do not meet is no shape.
class KV_PLATFORM_API ORVCurve {
public:
  // Some million units of rounding for a curve near the origin, far below anything drawn.
  static constexpr double kTolerance = 1e-9;
  static constexpr double kRounding = 64 * std::numeric_limits<double>::epsilon();

  // A straight segment running one way (a curve doubling back is not one); the line runs from
  // the curve's start to its end.
  static int IsLine(const ON_Curve* curve, ON_Line& line);
  // A whole circle traced once in one direction: closed, planar, every point at the radius.
  // The circle's plane has its x axis towards the curve's start point and its normal such that
  // the circle turns as the curve does.
  static int IsCircle(const ON_Curve* curve, ON_Circle& circle);
  // A circular arc traced in one direction, a whole circle included. The circle as IsCircle
  // fills it; the angle interval runs from 0 (the start) to the end, in (0, 2 pi]. A circle
  // too large to hold the curve, its centre and radius so large that their rounding reaches a
  // sixteenth of the tolerance (near the origin, some 280 000 times the curve's size), is no
  // circle and no arc: such a curve is only slightly bent.
  static int IsArc(const ON_Curve* curve, ON_Arc& arc);
  // Straight between its corners: a degree-1 NURBS curve, a polyline curve, a line, or a
  // polycurve of such, or any curve whose pieces are straight. The polyline holds the corners
  // in order: the ends, every joint (a degree-1 curve's control points, a polycurve's segment
  // ends, a knot of full multiplicity) and every kink, points closer than the tolerance to the
  // one before left out.
  static int IsPolyline(const ON_Curve* curve, ON_Polyline& polyline);
};
