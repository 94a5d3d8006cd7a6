// The maker's geometry services: faces appended to a mesh with their corner points.
#pragma once

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

// Bilinear surfaces over given corners. 1 when the surface was built, 0 (surface untouched)
// for corners that are not finite.
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
// curve is that shape within kTolerance relative to the curve's size, else 0 with the value
// untouched.
class KV_PLATFORM_API ORVCurve {
public:
  static constexpr double kTolerance = 1e-9;

  // A straight segment; the line runs from the curve's start to its end.
  static int IsLine(const ON_Curve* curve, ON_Line& line);
  // A whole circle; the circle's plane starts at the curve's start point and turns as the curve does.
  static int IsCircle(const ON_Curve* curve, ON_Circle& circle);
  // A circular arc (a whole circle included), from the curve's start to its end.
  static int IsArc(const ON_Curve* curve, ON_Arc& arc);
  // Straight between its corners: a degree-1 NURBS curve, a polyline curve, a line, or a
  // polycurve of such. The polyline holds the corners in order, the ends included.
  static int IsPolyline(const ON_Curve* curve, ON_Polyline& polyline);
};
