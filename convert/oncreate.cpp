#include "oncreate.h"

#include "convert/entgeom.h"
#include "dbutil/append.h"
#include "dbutil/errortext.h"
#include "orvgeo/orvgeo.h"

namespace {

const char kSplineFailure[] = "Enable to create Spline";

// The append's status is not the creator's answer. An entity the drawing refused never
// entered a database, so its close releases it.
void appendAndClose(AcDbEntity* entity, const CString& layer, const AcCmColor& color) {
  AppendEntityWithLayerAndColor(entity, layer, color);
  entity->close();
}

int vertexCount(const AcDb3dPolyline& polyline) {
  int count = 0;
  AcDbObjectIterator* it = polyline.vertexIterator();
  for (; !it->done(); it->step()) ++count;
  delete it;
  return count;
}

// The setter leaves out the last point of a polyline that repeats its first.
int wantedVertexCount(const ON_Polyline& polyline) {
  return polyline.PointCount() - (polyline.IsClosed(0.0) ? 1 : 0);
}

// The location of a topology vertex: its first mesh vertex, widened.
ON_3dPoint topologyPoint(const ON_Mesh& mesh, const ON_MeshTopology& topology, int topv) {
  return ON_3dPoint(mesh.m_V[topology.m_topv[topv].m_vi[0]]);
}

// A curve of another class is read through its NURBS form, never as a NURBS curve itself.
BOOL addSplineFromCurve(const ON_Curve& curve, const CString& layer, const AcCmColor& color) {
  ON_NurbsCurve form;
  const auto* nurbs = dynamic_cast<const ON_NurbsCurve*>(&curve);
  if (!nurbs) {
    if (!curve.GetNurbForm(form)) {
      ConvertErrorText = kSplineFailure;
      return FALSE;
    }
    nurbs = &form;
  }
  auto* spline = new AcDbSpline;
  if (!SetSplineFromNurbsCurve(*nurbs, spline)) {
    spline->close();
    return FALSE;
  }
  appendAndClose(spline, layer, color);
  return TRUE;
}

}  // namespace

BOOL AddPointFromOnPoint(const ON_3dPoint& point, const CString& layer, const AcCmColor& color) {
  appendAndClose(new AcDbPoint(GePointFromOnPoint(point)), layer, color);
  return TRUE;
}

BOOL AddLineFromOnLine(const ON_Line& line, const CString& layer, const AcCmColor& color) {
  appendAndClose(new AcDbLine(GePointFromOnPoint(line.from), GePointFromOnPoint(line.to)), layer, color);
  return TRUE;
}

BOOL AddLineFromOnPoints(const ON_3dPoint& from, const ON_3dPoint& to, const CString& layer, const AcCmColor& color) {
  return AddLineFromOnLine(ON_Line(from, to), layer, color);
}

BOOL AddCircleFromOnCircle(const ON_Circle& circle, const CString& layer, const AcCmColor& color) {
  auto* entity = new AcDbCircle;
  SetCircleFromOnCircle(circle, entity);
  appendAndClose(entity, layer, color);
  return TRUE;
}

BOOL AddArcFromOnArc(const ON_Arc& arc, const CString& layer, const AcCmColor& color) {
  if (arc.IsCircle()) return AddCircleFromOnCircle(arc, layer, color);
  auto* entity = new AcDbArc;
  SetArcFromOnArc(arc, entity);
  appendAndClose(entity, layer, color);
  return TRUE;
}

BOOL Add3dPolylineFromOnPolyline(const ON_Polyline& polyline, const CString& layer, const AcCmColor& color) {
  auto* entity = new AcDb3dPolyline;
  Set3dPolylineFromOnPolyline(polyline, entity);
  // A vertex the host refused would leave another curve, and a polyline of no vertex is
  // nothing a user could see or pick: either stays out.
  const int count = vertexCount(*entity);
  if (count > 0 && count == wantedVertexCount(polyline)) AppendEntityWithLayerAndColor(entity, layer, color);
  entity->close();
  return TRUE;
}

BOOL AddSplineFromFitPoints(const ON_SimpleArray<ON_3dPoint>& points, const CString& layer, const AcCmColor& color) {
  AcGePoint3dArray fit;
  for (const ON_3dPoint& p : points) fit.append(GePointFromOnPoint(p));
  auto* spline = new AcDbSpline(fit, 4, 0.0);
  // Points the host cannot fit leave a null spline, which stays out of the drawing.
  if (spline->isNull()) spline->close();
  else appendAndClose(spline, layer, color);
  return TRUE;
}

BOOL AddVertexPointsFromMesh(const ON_Mesh& mesh, const CString& layer, const AcCmColor& color) {
  const ON_MeshTopology& topology = mesh.Topology();
  for (int i = 0; i < topology.TopVertexCount(); ++i) AddPointFromOnPoint(topology.TopVertexPoint(i), layer, color);
  return TRUE;
}

BOOL AddEdgeLinesFromMesh(const ON_Mesh& mesh, const CString& layer, const AcCmColor& color) {
  const ON_MeshTopology& topology = mesh.Topology();
  for (int e = 0; e < topology.TopEdgeCount(); ++e) {
    const int* ends = topology.m_tope[e].m_topvi;
    AddLineFromOnPoints(topologyPoint(mesh, topology, ends[0]), topologyPoint(mesh, topology, ends[1]), layer, color);
  }
  return TRUE;
}

BOOL AddEntityFromOnCurve(const ON_Curve* curve, const CString& layer, const AcCmColor& color) {
  if (!curve) {
    ConvertErrorText = kSplineFailure;
    return FALSE;
  }
  ON_Line line;
  ON_Circle circle;
  ON_Arc arc;
  ON_Polyline polyline;
  if (ORVCurve::IsLine(curve, line) == 1) return AddLineFromOnLine(line, layer, color);
  if (ORVCurve::IsCircle(curve, circle) == 1) return AddCircleFromOnCircle(circle, layer, color);
  if (ORVCurve::IsArc(curve, arc) == 1) return AddArcFromOnArc(arc, layer, color);
  if (ORVCurve::IsPolyline(curve, polyline) == 1) return Add3dPolylineFromOnPolyline(polyline, layer, color);
  return addSplineFromCurve(*curve, layer, color);
}

BOOL AddPointsFromOnPoints(const ON_SimpleArray<ON_3dPoint>& points, const CString& layer, const AcCmColor& color) {
  for (const ON_3dPoint& p : points) AddPointFromOnPoint(p, layer, color);
  return TRUE;
}

BOOL AddLinesFromOnLines(const ON_SimpleArray<ON_Line>& lines, const CString& layer, const AcCmColor& color) {
  for (const ON_Line& line : lines) AddLineFromOnLine(line, layer, color);
  return TRUE;
}

BOOL AddCirclesFromOnCircles(const ON_SimpleArray<ON_Circle>& circles, const CString& layer, const AcCmColor& color) {
  for (const ON_Circle& circle : circles) AddCircleFromOnCircle(circle, layer, color);
  return TRUE;
}

BOOL AddArcsFromOnArcs(const ON_SimpleArray<ON_Arc>& arcs, const CString& layer, const AcCmColor& color) {
  for (const ON_Arc& arc : arcs) AddArcFromOnArc(arc, layer, color);
  return TRUE;
}

BOOL Add3dPolylinesFromOnPolylines(const ON_ClassArray<ON_Polyline>& polylines, const CString& layer,
                                   const AcCmColor& color) {
  for (const ON_Polyline& polyline : polylines) Add3dPolylineFromOnPolyline(polyline, layer, color);
  return TRUE;
}

BOOL AddEntitiesFromOnCurves(const ON_ClassArray<ON_NurbsCurve>& curves, const CString& layer, const AcCmColor& color) {
  for (const ON_NurbsCurve& curve : curves) AddEntityFromOnCurve(&curve, layer, color);
  return TRUE;
}

BOOL AddVertexPointsFromMeshes(const ON_ClassArray<ON_Mesh>& meshes, const CString& layer, const AcCmColor& color) {
  for (const ON_Mesh& mesh : meshes) AddVertexPointsFromMesh(mesh, layer, color);
  return TRUE;
}

BOOL AddEdgeLinesFromMeshes(const ON_ClassArray<ON_Mesh>& meshes, const CString& layer, const AcCmColor& color) {
  for (const ON_Mesh& mesh : meshes) AddEdgeLinesFromMesh(mesh, layer, color);
  return TRUE;
}

BOOL SetSplineFromNurbsCurve(const ON_NurbsCurve& curve, AcDbSpline* spline) {
  AcGePoint3dArray points;
  AcGeDoubleArray weights, knots;
  for (int i = 0; i < curve.CVCount(); ++i) {
    ON_3dPoint p;
    curve.GetCV(i, p);
    points.append(GePointFromOnPoint(p));
    weights.append(curve.Weight(i));
  }
  // The host's vector repeats each end knot once more; a curve without knots has no ends.
  const int count = curve.KnotCount();
  if (count > 0) {
    knots.append(curve.Knot(0));
    for (int j = 0; j < count; ++j) knots.append(curve.Knot(j));
    knots.append(curve.Knot(count - 1));
  }
  // A refusal keeps what the spline held before: it then does not hold this curve.
  Acad::ErrorStatus es = spline->setNurbsData(curve.Degree(), curve.IsRational(), curve.IsClosed(),
                                              curve.IsPeriodic(), points, knots, weights, 0.0, 0.0);
  if (es != Acad::eOk || spline->isNull()) {
    ConvertErrorText = kSplineFailure;
    return FALSE;
  }
  return TRUE;
}
