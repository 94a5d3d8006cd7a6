// The edges of the modeller's faces as the host's curves, in world coordinates, each running
// the way its edge runs.
#include <BRepAdaptor_Curve.hxx>
#include <BRep_Tool.hxx>
#include <ElCLib.hxx>
#include <GeomConvert.hxx>
#include <Geom_BSplineCurve.hxx>
#include <Geom_TrimmedCurve.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <TopLoc_Location.hxx>
#include <gp_Circ.hxx>
#include <gp_Elips.hxx>
#include <gp_Lin.hxx>

#include <cmath>
#include <utility>

#include "host/curve_math.h"
#include "host/curves.h"
#include "host/ocs.h"
#include "modeler/occ_shape.h"

namespace {

AcGePoint3d toPoint(const gp_Pnt& p) { return AcGePoint3d(p.X(), p.Y(), p.Z()); }
AcGeVector3d toVector(const gp_Dir& d) { return AcGeVector3d(d.X(), d.Y(), d.Z()); }

// Where the edge lies on its curve; a reversed edge runs from last to first.
struct Span {
  double first, last;
  bool reversed;
  bool whole() const { return last - first >= kv::curve::kTwoPi - 1e-9; }
};

AcDbCurve* lineOf(const BRepAdaptor_Curve& c, const Span& s) {
  gp_Pnt a = c.Value(s.first), b = c.Value(s.last);
  if (s.reversed) std::swap(a, b);
  return new AcDbLine(toPoint(a), toPoint(b));
}

// The host measures an arc's angles from the arbitrary axis of its normal, the modeller from
// the circle's own x direction; a reversed edge is the arc about the opposite normal.
AcDbCurve* circleOf(const gp_Circ& circ, const Span& s) {
  AcGePoint3d center = toPoint(circ.Location());
  AcGeVector3d normal = toVector(circ.Axis().Direction());
  if (s.whole()) return new AcDbCircle(center, s.reversed ? -normal : normal, circ.Radius());
  gp_Pnt from = ElCLib::Value(s.reversed ? s.last : s.first, circ);
  if (s.reversed) normal = -normal;
  kv::Ocs ocs(normal);
  AcGeVector3d v = toPoint(from) - center;
  double start = std::atan2(v.dotProduct(ocs.y), v.dotProduct(ocs.x));
  return new AcDbArc(center, normal, circ.Radius(), start, start + (s.last - s.first));
}

// The modeller's ellipse parameter is the host's. Reversed, the normal and so the minor axis
// turn over, and the parameter t becomes -t.
AcDbCurve* ellipseOf(const gp_Elips& e, const Span& s) {
  const gp_Ax2& axes = e.Position();
  AcGeVector3d normal = toVector(axes.Direction());
  AcGeVector3d major = toVector(axes.XDirection()) * e.MajorRadius();
  double ratio = e.MinorRadius() / e.MajorRadius();
  auto* ellipse = new AcDbEllipse(toPoint(axes.Location()), s.reversed ? -normal : normal, major, ratio);
  if (!s.whole()) {
    ellipse->setStartParam(s.reversed ? -s.last : s.first);
    ellipse->setEndParam(s.reversed ? -s.first : s.last);
  }
  return ellipse;
}

// Any other curve through its B-spline form, cut to the edge.
AcDbCurve* splineOf(const TopoDS_Edge& edge, const Span& s) {
  TopLoc_Location location;
  double first = 0, last = 0;
  Handle(Geom_Curve) curve = BRep_Tool::Curve(edge, location, first, last);
  if (curve.IsNull()) return nullptr;
  if (!location.IsIdentity()) curve = Handle(Geom_Curve)::DownCast(curve->Transformed(location.Transformation()));
  Handle(Geom_BSplineCurve) bs = GeomConvert::CurveToBSplineCurve(new Geom_TrimmedCurve(curve, s.first, s.last));
  if (bs.IsNull()) return nullptr;
  if (bs->IsPeriodic()) bs->SetNotPeriodic();
  if (s.reversed) bs->Reverse();
  AcGePoint3dArray points;
  AcGeDoubleArray knots, weights;
  for (int i = 1; i <= bs->NbPoles(); ++i) {
    points.append(toPoint(bs->Pole(i)));
    weights.append(bs->Weight(i));
  }
  TColStd_Array1OfReal flat(1, bs->NbPoles() + bs->Degree() + 1);
  bs->KnotSequence(flat);
  for (int i = flat.Lower(); i <= flat.Upper(); ++i) knots.append(flat(i));
  auto* spline = new AcDbSpline(bs->Degree(), bs->IsRational(), bs->IsClosed(), false, points, knots, weights);
  if (spline->isNull()) {
    delete spline;
    return nullptr;
  }
  return spline;
}

}  // namespace

namespace kv::modeler {

AcDbCurve* curveOfEdge(const TopoDS_Edge& edge) {
  BRepAdaptor_Curve c(edge);
  Span s{c.FirstParameter(), c.LastParameter(), edge.Orientation() == TopAbs_REVERSED};
  switch (c.GetType()) {
    case GeomAbs_Line: return lineOf(c, s);
    case GeomAbs_Circle: return circleOf(c.Circle(), s);
    case GeomAbs_Ellipse: return ellipseOf(c.Ellipse(), s);
    default: return splineOf(edge, s);
  }
}

}  // namespace kv::modeler
