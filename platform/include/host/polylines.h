// The host's planar polylines: the lightweight polyline (AcDbPolyline), which holds its
// vertices itself, and the 2D polyline (AcDb2dPolyline), which owns AcDb2dVertex objects as a
// 3D polyline owns its vertices.
//
// Both lie in the plane of their normal at their elevation. Their 2D points are in that plane's
// object coordinate system (OCS, the arbitrary-axis rule of AcGeMatrix3d::planeToWorld), as the
// host keeps them; the answers that are points in space (getPointAt with a 3D point, the curve
// interface, segments, extents, explode) are in world coordinates.
//
// A segment runs from vertex i to vertex i + 1 (from the last to the first when closed). Its
// bulge, the tangent of a quarter of its included angle, makes it an arc: positive
// counter-clockwise about the normal, negative clockwise, 1 a half circle; a bulge of no more
// than 1e-10 in size leaves it straight. Curve parameter: the vertex index plus the fraction of
// the segment, by length on a straight segment and by angle on an arc; the end parameter is the
// number of segments (n - 1 open, n closed).
#pragma once

#include <vector>

#include "host/entities.h"

namespace AcDb {
enum Poly2dType { k2dSimplePoly = 0, k2dFitCurvePoly = 1, k2dQuadSplinePoly = 2, k2dCubicSplinePoly = 3 };
// A 2D polyline's vertex: one of its own, a spline's frame (control) point, a point of the
// fitted spline, or a vertex a curve fit added.
enum Vertex2dType { k2dVertex = 0, k2dSplineCtlVertex = 1, k2dSplineFitVertex = 2, k2dCurveFitVertex = 3 };
}  // namespace AcDb

class KV_PLATFORM_API AcDbPolyline : public AcDbCurve {
public:
  KV_RX_DECLARE_MEMBERS(AcDbPolyline)
  enum SegType { kLine = 0, kArc = 1, kCoincident = 2, kPoint = 3, kEmpty = 4 };

  AcDbPolyline() = default;
  // Room for that many vertices; the polyline still has none.
  explicit AcDbPolyline(unsigned int numVerts);

  unsigned int numVerts() const { return unsigned(vertices_.size()); }
  // Inserts before index (numVerts() appends). A negative width takes the polyline's constant
  // width, or 0 when it has none. eInvalidIndex past the end.
  Acad::ErrorStatus addVertexAt(unsigned int index, const AcGePoint2d& point, double bulge = 0,
                                double startWidth = -1, double endWidth = -1);
  Acad::ErrorStatus removeVertexAt(unsigned int index);
  // Getters and setters of a vertex answer eInvalidIndex for an index past the last vertex,
  // leaving the out-parameters as they were.
  Acad::ErrorStatus getPointAt(unsigned int index, AcGePoint2d& point) const;  // OCS
  Acad::ErrorStatus getPointAt(unsigned int index, AcGePoint3d& point) const;  // world
  Acad::ErrorStatus setPointAt(unsigned int index, const AcGePoint2d& point);
  Acad::ErrorStatus getBulgeAt(unsigned int index, double& bulge) const;
  Acad::ErrorStatus setBulgeAt(unsigned int index, double bulge);
  Acad::ErrorStatus getWidthsAt(unsigned int index, double& startWidth, double& endWidth) const;
  Acad::ErrorStatus setWidthsAt(unsigned int index, double startWidth, double endWidth);
  Acad::ErrorStatus getVertexIdentifierAt(unsigned int index, Adesk::Int32& id) const;
  Acad::ErrorStatus setVertexIdentifierAt(unsigned int index, Adesk::Int32 id);
  // eOk with the width when every vertex starts and ends with the same width (0 for none);
  // eNotApplicable otherwise. The setter gives every vertex that width.
  Acad::ErrorStatus getConstantWidth(double& width) const;
  Acad::ErrorStatus setConstantWidth(double width);
  bool isOnlyLines() const;

  // kEmpty past the last segment (the last vertex of an open polyline, or any index of an empty
  // one), kPoint for a polyline of one vertex, kCoincident when the segment's ends are one point.
  SegType segType(unsigned int index) const;
  // World coordinates. eInvalidIndex where no segment starts; eNotApplicable for a segment of
  // the other kind (a coincident segment is a line of no length).
  Acad::ErrorStatus getLineSegAt(unsigned int index, AcGeLineSeg3d& segment) const;
  // The arc runs counter-clockwise about its normal from its start (vertex index) to its end:
  // the normal is the polyline's for a positive bulge and the opposite for a negative one; the
  // reference vector points at the start, so startAng is 0 and endAng the included angle.
  Acad::ErrorStatus getArcSegAt(unsigned int index, AcGeCircArc3d& arc) const;

  double elevation() const { return elevation_; }
  Acad::ErrorStatus setElevation(double elevation);
  double thickness() const { return thickness_; }
  Acad::ErrorStatus setThickness(double thickness);
  AcGeVector3d normal() const { return normal_; }
  // eInvalidNormal for a vector of no length; kept unit.
  Acad::ErrorStatus setNormal(const AcGeVector3d& normal);
  // The closed flag: a closed polyline has a segment from its last vertex to its first.
  bool isClosed() const override { return closed_; }
  Acad::ErrorStatus setClosed(bool closed);
  // Linetype generation: the pattern runs on over the vertices instead of restarting at each.
  bool hasPlinegen() const { return plinegen_; }
  Acad::ErrorStatus setPlinegen(bool on);

  // eDegenerateGeometry for a polyline without vertices; eInvalidInput outside the parameters.
  Acad::ErrorStatus getStartParam(double& param) const override;
  Acad::ErrorStatus getEndParam(double& param) const override;
  Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& point) const override;
  Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;

protected:
  // eCannotScaleNonUniformly for a transform that does not keep shapes (arcs would not stay
  // arcs); a mirror turns the bulges round.
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  // Lines and arcs (on the polyline's normal) in world coordinates; segments of no length give
  // nothing, and widths are not carried.
  Acad::ErrorStatus subExplode(AcDbVoidPtrArray& entitySet) const override;
  AcRxObject* subClone() const override;

private:
  struct Vertex {
    AcGePoint2d point;
    double bulge = 0, startWidth = 0, endWidth = 0;
    Adesk::Int32 id = 0;
  };
  std::vector<Vertex> vertices_;
  double elevation_ = 0, thickness_ = 0;
  AcGeVector3d normal_ = AcGeVector3d::kZAxis;
  bool closed_ = false, plinegen_ = false;
};

// A vertex of a 2D polyline: its position in the polyline's OCS (x and y; the curve takes the
// polyline's elevation), the bulge and widths of the segment it starts, and the curve-fit
// tangent.
class KV_PLATFORM_API AcDb2dVertex : public AcDbVertex {
public:
  KV_RX_DECLARE_MEMBERS(AcDb2dVertex)
  AcDb2dVertex() = default;
  explicit AcDb2dVertex(const AcGePoint3d& position, double bulge = 0, double startWidth = 0, double endWidth = 0,
                        double tangent = 0, Adesk::Int32 vertexIdentifier = 0);

  // Set by the host where it makes the vertex (a fit, a drawing read).
  AcDb::Vertex2dType vertexType() const { return type_; }
  double bulge() const { return bulge_; }
  Acad::ErrorStatus setBulge(double bulge);
  double startWidth() const { return startWidth_; }
  Acad::ErrorStatus setStartWidth(double width);
  double endWidth() const { return endWidth_; }
  Acad::ErrorStatus setEndWidth(double width);
  // The curve-fit tangent direction, in radians; only used while isTangentUsed.
  double tangent() const { return tangent_; }
  Acad::ErrorStatus setTangent(double tangent);
  bool isTangentUsed() const { return tangentUsed_; }
  Acad::ErrorStatus useTangent();
  Acad::ErrorStatus ignoreTangent();
  Adesk::Int32 vertexIdentifier() const { return id_; }
  Acad::ErrorStatus setVertexIdentifier(Adesk::Int32 id);

protected:
  AcRxObject* subClone() const override;

private:
  friend struct kv::HostAccess;
  friend class AcDb2dPolyline;  // a transform of the polyline reaches its vertices
  AcDb::Vertex2dType type_ = AcDb::k2dVertex;
  double bulge_ = 0, startWidth_ = 0, endWidth_ = 0, tangent_ = 0;
  bool tangentUsed_ = false;
  Adesk::Int32 id_ = 0;
};

// A 2D polyline. A spline-fit one keeps its frame (control vertices) and the fitted vertices;
// the curve runs through all vertices but the frame, or through the frame while no fitted
// vertex is there. Erased vertices are not part of the curve.
class KV_PLATFORM_API AcDb2dPolyline : public AcDbVertexOwnerOf<AcDbCurve> {
public:
  KV_RX_DECLARE_MEMBERS(AcDb2dPolyline)
  AcDb2dPolyline() = default;
  // The vertices' x and y, with bulges[i] (when given) on vertex i.
  AcDb2dPolyline(AcDb::Poly2dType type, const AcGePoint3dArray& vertices, double elevation = 0, bool closed = false,
                 double defStartWidth = 0, double defEndWidth = 0, const AcGeDoubleArray* bulges = nullptr);

  AcDb::Poly2dType polyType() const { return type_; }
  Acad::ErrorStatus setPolyType(AcDb::Poly2dType type);
  double elevation() const { return elevation_; }
  Acad::ErrorStatus setElevation(double elevation);
  double thickness() const { return thickness_; }
  Acad::ErrorStatus setThickness(double thickness);
  AcGeVector3d normal() const { return normal_; }
  Acad::ErrorStatus setNormal(const AcGeVector3d& normal);  // eInvalidNormal for no length
  double defaultStartWidth() const { return startWidth_; }
  Acad::ErrorStatus setDefaultStartWidth(double width);
  double defaultEndWidth() const { return endWidth_; }
  Acad::ErrorStatus setDefaultEndWidth(double width);
  bool isClosed() const override { return closed_; }
  Acad::ErrorStatus makeClosed();
  Acad::ErrorStatus makeOpen();
  bool isLinetypeGenerationOn() const { return plinegen_; }
  Acad::ErrorStatus setLinetypeGenerationOn();
  Acad::ErrorStatus setLinetypeGenerationOff();
  // On success the polyline owns the vertex; the caller still closes it.
  Acad::ErrorStatus appendVertex(AcDb2dVertex* vertex);
  // The vertex's place in world coordinates, at the polyline's elevation.
  AcGePoint3d vertexPosition(const AcDb2dVertex& vertex) const;

  Acad::ErrorStatus getStartParam(double& param) const override;
  Acad::ErrorStatus getEndParam(double& param) const override;
  Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& point) const override;
  Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;

protected:
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;  // as AcDbPolyline's
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  Acad::ErrorStatus subExplode(AcDbVoidPtrArray& entitySet) const override;  // as AcDbPolyline's
  AcRxObject* subClone() const override;

private:
  AcDb::Poly2dType type_ = AcDb::k2dSimplePoly;
  double elevation_ = 0, thickness_ = 0, startWidth_ = 0, endWidth_ = 0;
  AcGeVector3d normal_ = AcGeVector3d::kZAxis;
  bool closed_ = false, plinegen_ = false;
};
