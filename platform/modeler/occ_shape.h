// Platform only: the modeller data behind AcDb3dSolid, AcDbBody and AcDbRegion as an Open
// CASCADE shape. The module never includes this header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <TopoDS_Edge.hxx>
#include <TopoDS_Shape.hxx>

#include "modeler/solids.h"

namespace kv::modeler {

struct Body {
  // Marks a pointer that body() handed out, so that setBody() can refuse anything else.
  static constexpr std::uint32_t kTag = 0x4B56424Fu;
  std::uint32_t tag = kTag;
  TopoDS_Shape shape;  // null, a solid or compound of solids, a shell, or faces
  // The ACIS data of the file the shape was read from (the DXF reader's packed pairs), written
  // back as read while shape is still shapeAsRead: any change of the shape makes a new one.
  // Copies never take it.
  std::string asRead;
  TopoDS_Shape shapeAsRead;
};

// The shape a modeller entity holds, for the platform and its tests.
struct BodyAccess {
  static Body& body(AcDbModelerEntity& entity) { return entity.data(); }
  static const Body& body(const AcDbModelerEntity& entity) { return entity.data(); }
  static TopoDS_Shape& shape(AcDbModelerEntity& entity) { return entity.data().shape; }
  static const TopoDS_Shape& shape(const AcDbModelerEntity& entity) { return entity.data().shape; }
};
inline TopoDS_Shape& shapeOf(AcDbModelerEntity& entity) { return BodyAccess::shape(entity); }
inline const TopoDS_Shape& shapeOf(const AcDbModelerEntity& entity) { return BodyAccess::shape(entity); }

// The mesher's tolerances for a shape at a FACETRES value; see stl_out.cpp for the mapping.
struct FacetTolerances {
  double linear;   // model units
  double angular;  // radians
};
KV_PLATFORM_API FacetTolerances facetTolerances(const TopoDS_Shape& shape, double facetres);

// A new curve in no drawing for the edge (a line, arc, circle, ellipse or, for any other
// geometry, a spline), running the way the edge runs; null for an edge without a 3D curve.
// May throw Standard_Failure.
AcDbCurve* curveOfEdge(const TopoDS_Edge& edge);

// A copy of a shape whose faces are planes bounded by straight edges (a mesh made a solid),
// sharing no topology or geometry with its source, made far faster than the modeller's general
// copy; null for any other shape (placed parts, other surfaces or curves, stored 2D curves or
// facets), which the general copy takes.
TopoDS_Shape copyPolyhedron(const TopoDS_Shape& shape);

// The shape itself when `shapes` holds one, else a compound of them all, in order.
TopoDS_Shape oneShape(const std::vector<TopoDS_Shape>& shapes);

}  // namespace kv::modeler
