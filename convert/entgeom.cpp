#include "entgeom.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace {

constexpr double kTurn = 2 * ON_PI;
// The drawing's arbitrary-axis rule: normals this close to Z take their x axis from Y.
constexpr double kArbitraryAxisLimit = 1.0 / 64;

ON_Circle circleAbout(const AcGePoint3d& center, const AcGeVector3d& normal, double radius) {
  return ON_Circle(ON_Plane(OnPointFromGePoint(center), OnVectorFromGeVector(normal)), radius);
}

// The part of the circle from the point at start, sweep radians counter-clockwise about its
// normal. The sweep comes from the entity's own angles, so an arc of no length stays one
// rather than turning into a whole circle.
ON_ArcCurve arcFrom(const ON_Circle& circle, const AcGePoint3d& start, double sweep) {
  double angle = 0;
  circle.ClosestPointTo(OnPointFromGePoint(start), &angle);
  return ON_ArcCurve(ON_Arc(circle, ON_Interval(angle, angle + sweep)));
}

// An elliptical arc from parameter t0 to t1 (t0 < t1, less than a turn apart). The ellipse is
// the unit circle under an affine map, which a rational curve follows exactly, so the unit
// arc over the same parameters maps onto it, on whichever side of the ellipse's seam it lies.
void ellipticArcForm(const ON_Ellipse& ellipse, double t0, double t1, ON_NurbsCurve& form) {
  ON_Arc unit(ON_Circle(), ON_Interval(t0, t1));
  if (unit.GetNurbForm(form) == 0) return;
  const ON_Plane& p = ellipse.plane;
  const ON_3dVector x = p.xaxis * ellipse.radius[0], y = p.yaxis * ellipse.radius[1];
  const ON_3dVector columns[4] = {x, y, p.zaxis, p.origin - ON_3dPoint()};
  ON_Xform map;
  for (int j = 0; j < 4; ++j) {
    map.m_xform[0][j] = columns[j].x;
    map.m_xform[1][j] = columns[j].y;
    map.m_xform[2][j] = columns[j].z;
  }
  form.Transform(map);
}

// Knots 1 to n - 2 of the host's full vector, as far as the curve has room.
void copyInnerKnots(const AcGeDoubleArray& knots, ON_NurbsCurve& curve) {
  const int count = std::min(knots.length() - 2, curve.KnotCount());
  for (int i = 0; i < count; ++i) curve.SetKnot(i, knots[i + 1]);
}

void copyWeights(const AcGeDoubleArray& weights, ON_NurbsCurve& curve) {
  curve.MakeRational();
  const int count = std::min(weights.length(), curve.CVCount());
  for (int i = 0; i < count; ++i) curve.SetWeight(i, weights[i]);
}

ON_PolylineCurve polylineCurve(ON_3dPointArray& points, bool closed) {
  if (closed && points.Count() > 0) {
    const ON_3dPoint first = points[0];
    points.Append(first);
  }
  return ON_PolylineCurve(points);
}

// Calls visit with each vertex that opens for read as a Vertex, then closes it. A vertex that
// does not open is skipped: reading it would read nothing the drawing holds.
template <class Vertex, class Visit>
void forEachVertex(const AcDbVertexOwner& owner, Visit visit) {
  std::unique_ptr<AcDbObjectIterator> it(owner.vertexIterator());
  for (; it && !it->done(); it->step()) {
    Vertex* vertex = nullptr;
    if (acdbOpenAcDbObject(vertex, it->objectId(), AcDb::kForRead) != Acad::eOk) continue;
    visit(*vertex);
    vertex->close();
  }
}

// A polycurve refuses a segment of an empty domain; it is then still ours.
void appendSegment(ON_PolyCurve& curve, ON_Curve* segment) {
  if (!curve.Append(segment)) delete segment;
}

AcGeVector3d unitOf(AcGeVector3d v) { return v.normalize(AcGeContext::gTol); }

AcGeVector3d referenceDirection(const AcGeVector3d& normal) {
  const bool nearZ = std::fabs(normal.x) < kArbitraryAxisLimit && std::fabs(normal.y) < kArbitraryAxisLimit;
  const AcGeVector3d axis = nearZ ? AcGeVector3d::kYAxis : AcGeVector3d::kZAxis;
  return unitOf(axis.crossProduct(normal));
}

}  // namespace

AcGePoint3d GePointFromOnPoint(const ON_3dPoint& point) { return AcGePoint3d(point.x, point.y, point.z); }

AcGeVector3d GeVectorFromOnVector(const ON_3dVector& vector) { return AcGeVector3d(vector.x, vector.y, vector.z); }

AcGeMatrix3d GeMatrixFromXform(const ON_Xform& xform) {
  AcGeMatrix3d matrix;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) matrix.entry[i][j] = xform.m_xform[i][j];
  return matrix;
}

AcCmColor ColorFromAttributes(const ON_3dmObjectAttributes& attributes) {
  AcCmColor color;
  switch (attributes.ColorSource()) {
    case ON::color_from_layer:
    case ON::color_from_material:
      color.setColorMethod(AcCmEntityColor::kByLayer);
      break;
    case ON::color_from_object: {
      const std::uint32_t packed = attributes.m_color;
      color.setColorMethod(AcCmEntityColor::kByColor);
      color.setRGB(Adesk::UInt8(packed & 0xFF), Adesk::UInt8(packed >> 8 & 0xFF), Adesk::UInt8(packed >> 16 & 0xFF));
      break;
    }
    default:
      break;
  }
  return color;
}

ON_3dPoint OnPointFromGePoint(const AcGePoint3d& point) { return ON_3dPoint(point.x, point.y, point.z); }

ON_3dVector OnVectorFromGeVector(const AcGeVector3d& vector) { return ON_3dVector(vector.x, vector.y, vector.z); }

ON_Xform XformFromGeMatrix(const AcGeMatrix3d& matrix) {
  ON_Xform xform;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) xform.m_xform[i][j] = matrix.entry[i][j];
  return xform;
}

BOOL PointObjectFromPoint(AcDbPoint* point, ON_Point& object) {
  object = ON_Point(OnPointFromGePoint(point->position()));
  return TRUE;
}

BOOL LineCurveFromLine(AcDbLine* line, ON_LineCurve& curve) {
  curve = ON_LineCurve(OnPointFromGePoint(line->startPoint()), OnPointFromGePoint(line->endPoint()));
  return TRUE;
}

BOOL LineCurveFromRay(AcDbRay* ray, ON_LineCurve& curve) {
  const AcGePoint3d base = ray->basePoint();
  curve = ON_LineCurve(OnPointFromGePoint(base), OnPointFromGePoint(base + ray->unitDir()));
  return TRUE;
}

BOOL LineCurveFromXline(AcDbXline* xline, ON_LineCurve& curve) {
  const AcGePoint3d base = xline->basePoint();
  const AcGeVector3d dir = xline->unitDir();
  curve = ON_LineCurve(OnPointFromGePoint(base + dir), OnPointFromGePoint(base - dir));
  return TRUE;
}

BOOL ArcCurveFromCircle(AcDbCircle* circle, ON_ArcCurve& curve) {
  curve = ON_ArcCurve(circleAbout(circle->center(), circle->normal(), circle->radius()));
  return TRUE;
}

BOOL ArcCurveFromArc(AcDbArc* arc, ON_ArcCurve& curve) {
  double start = 0, end = 0;
  arc->getStartParam(start);
  arc->getEndParam(end);
  AcGePoint3d from;
  arc->getStartPoint(from);
  curve = arcFrom(circleAbout(arc->center(), arc->normal(), arc->radius()), from, end - start);
  return TRUE;
}

BOOL NurbsCurveFromEllipse(AcDbEllipse* ellipse, ON_NurbsCurve& curve) {
  const AcGeVector3d major = ellipse->majorAxis(), minor = ellipse->minorAxis();
  const ON_Plane plane(OnPointFromGePoint(ellipse->center()), OnVectorFromGeVector(major),
                       OnVectorFromGeVector(minor));
  const ON_Ellipse shape(plane, major.length(), minor.length());
  ON_NurbsCurve result;
  if (ellipse->isClosed()) {
    shape.GetNurbForm(result);
  } else {
    const double t0 = ellipse->paramAtAngle(ellipse->startAngle());
    double t1 = ellipse->paramAtAngle(ellipse->endAngle());
    // An arc across the major axis ends at a smaller parameter than it starts.
    if (t1 <= t0) t1 += kTurn;
    ellipticArcForm(shape, t0, t1, result);
  }
  curve = result;
  return TRUE;
}

BOOL NurbsCurveFromSpline(AcDbSpline* spline, ON_NurbsCurve& curve) {
  int degree = 0;
  Adesk::Boolean rational = false, closed = false, periodic = false;
  AcGePoint3dArray points;
  AcGeDoubleArray knots, weights;
  double pointTolerance = 0, knotTolerance = 0;
  if (spline->getNurbsData(degree, rational, closed, periodic, points, knots, weights, pointTolerance,
                           knotTolerance) != Acad::eOk)
    return NurbsCurveFromSplineData(0, false, AcGePoint3dArray(), AcGeDoubleArray(), AcGeDoubleArray(), curve);
  return NurbsCurveFromSplineData(degree, rational, points, knots, weights, curve);
}

BOOL NurbsCurveFromSplineData(int degree, bool rational, const AcGePoint3dArray& controlPoints,
                              const AcGeDoubleArray& knots, const AcGeDoubleArray& weights, ON_NurbsCurve& curve) {
  ON_3dPointArray points(controlPoints.length());
  for (int i = 0; i < controlPoints.length(); ++i) points.Append(OnPointFromGePoint(controlPoints[i]));
  ON_NurbsCurve result;
  // degree + 1 is the order; the bound also keeps it from overflowing.
  if (degree >= 1 && degree < points.Count() &&
      result.CreateClampedUniformNurbs(3, degree + 1, points.Count(), points.Array(), 1.0)) {
    copyInnerKnots(knots, result);
    if (rational) copyWeights(weights, result);
  }
  curve = result;
  return TRUE;
}

BOOL PolylineCurveFromPolyline(AcDbPolyline* polyline, ON_PolylineCurve& curve) {
  ON_3dPointArray points(int(polyline->numVerts()) + 1);
  for (unsigned i = 0; i < polyline->numVerts(); ++i) {
    AcGePoint3d p;
    polyline->getPointAt(i, p);
    points.Append(OnPointFromGePoint(p));
  }
  curve = polylineCurve(points, polyline->isClosed());
  return TRUE;
}

BOOL PolylineCurveFrom2dPolyline(AcDb2dPolyline* polyline, ON_PolylineCurve& curve) {
  ON_3dPointArray points;
  const double z = polyline->elevation();
  forEachVertex<AcDb2dVertex>(*polyline, [&](const AcDb2dVertex& v) {
    points.Append(ON_3dPoint(v.position().x, v.position().y, z));
  });
  curve = polylineCurve(points, polyline->isClosed());
  return TRUE;
}

BOOL PolylineCurveFrom3dPolyline(AcDb3dPolyline* polyline, ON_PolylineCurve& curve) {
  ON_3dPointArray points;
  forEachVertex<AcDb3dPolylineVertex>(*polyline, [&](const AcDb3dPolylineVertex& v) {
    points.Append(OnPointFromGePoint(v.position()));
  });
  curve = polylineCurve(points, polyline->isClosed());
  return TRUE;
}

BOOL PolyCurveFromPolyline(AcDbPolyline* polyline, ON_PolyCurve& curve) {
  for (unsigned i = 0; i < polyline->numVerts(); ++i) {
    const AcDbPolyline::SegType type = polyline->segType(i);
    if (type == AcDbPolyline::kLine) {
      AcGeLineSeg3d line;
      polyline->getLineSegAt(i, line);
      appendSegment(curve, new ON_LineCurve(OnPointFromGePoint(line.startPoint()), OnPointFromGePoint(line.endPoint())));
    } else if (type == AcDbPolyline::kArc) {
      AcGeCircArc3d arc;
      polyline->getArcSegAt(i, arc);
      const ON_Circle circle = circleAbout(arc.center(), arc.normal(), arc.radius());
      appendSegment(curve, new ON_ArcCurve(arcFrom(circle, arc.startPoint(), arc.endAng() - arc.startAng())));
    }
  }
  return TRUE;
}

BOOL SetPointFromPointObject(const ON_Point& object, AcDbPoint* point) {
  point->setPosition(GePointFromOnPoint(object.point));
  return TRUE;
}

BOOL SetLineFromOnLine(const ON_Line& line, AcDbLine* entity) {
  entity->setStartPoint(GePointFromOnPoint(line.from));
  entity->setEndPoint(GePointFromOnPoint(line.to));
  return TRUE;
}

BOOL SetCircleFromOnCircle(const ON_Circle& circle, AcDbCircle* entity) {
  entity->setCenter(GePointFromOnPoint(circle.Center()));
  entity->setRadius(circle.Radius());
  entity->setNormal(GeVectorFromOnVector(circle.Normal()));
  return TRUE;
}

BOOL SetArcFromOnArc(const ON_Arc& arc, AcDbArc* entity) {
  const AcGePoint3d center = GePointFromOnPoint(arc.Center());
  const AcGeVector3d normal = unitOf(GeVectorFromOnVector(arc.Normal()));
  const AcGeVector3d startDirection = unitOf(GePointFromOnPoint(arc.StartPoint()) - center);
  const double start = referenceDirection(normal).angleTo(startDirection, normal);
  entity->setCenter(center);
  entity->setNormal(normal);
  entity->setRadius(arc.Radius());
  entity->setStartAngle(start);
  entity->setEndAngle(start + arc.AngleRadians());
  return TRUE;
}

BOOL Set3dPolylineFromOnPolyline(const ON_Polyline& polyline, AcDb3dPolyline* entity) {
  const bool closed = polyline.IsClosed(0.0);
  const int count = closed ? polyline.Count() - 1 : polyline.Count();
  for (int i = 0; i < count; ++i) {
    auto* vertex = new AcDb3dPolylineVertex(GePointFromOnPoint(polyline[i]));
    entity->appendVertex(vertex);
    // Closing a vertex the polyline refused deletes it, as it belongs to no drawing.
    vertex->close();
  }
  if (closed) entity->makeClosed();
  return TRUE;
}
