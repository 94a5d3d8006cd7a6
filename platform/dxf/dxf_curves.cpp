// RAY, XLINE, CIRCLE, ARC, ELLIPSE and SPLINE. Rays, construction lines, ellipses and splines
// are in world coordinates in the file; a circle's or arc's centre is in the object coordinate
// system of its extrusion (210), and an arc's angles (50, 51, in degrees) are measured in it.
// The host's curves have no thickness (39): it is kept with the other pairs not modelled.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstdio>
#include <vector>

#include "core/numbers.h"
#include "dxf/dxf_entities.h"
#include "host/access.h"
#include "host/curves.h"
#include "host/curves_access.h"

namespace kv::dxf {

namespace {


AcGePoint3d asPoint(const AcGeVector3d& v) { return AcGePoint3d(v.x, v.y, v.z); }

// A pair of a point list (10 x, 20 y, 30 z of each control point): x opens the next point.
// True when the pair was one of them; a y or z before any x fails the read.
bool listCoordinate(EntityIn& in, const Tag& t, int base, std::vector<AcGePoint3d>& list) {
  if (t.code != base && t.code != base + 10 && t.code != base + 20) return false;
  if (t.code == base) list.emplace_back();
  if (list.empty()) return !in.fail(t, "group " + std::to_string(t.code) + " comes before its x");
  in.coordinate(t, base, list.back());
  return true;
}

bool listReal(EntityIn& in, const Tag& t, std::vector<double>& list) {
  double v = 0;
  if (in.real(t, v)) list.push_back(v);
  return in.ok();
}

// ---------------------------------------------------------------------------------------------
// RAY and XLINE

template <class T>
std::unique_ptr<AcDbEntity> readUnbounded(EntityIn& in) {
  AcGePoint3d base, direction(1, 0, 0);
  Tag t;
  while (in.next(t)) {
    if (!in.coordinate(t, 10, base) && !in.coordinate(t, 11, direction)) in.keep(t);
    if (!in.ok()) return nullptr;
  }
  if (!in.ok()) return nullptr;
  auto line = std::make_unique<T>();
  line->setBasePoint(base);
  if (line->setUnitDir(direction.asVector()) != Acad::eOk) {
    in.markUnsupported("its direction has no length");
    return nullptr;
  }
  return line;
}

void writeUnbounded(EntityOut& out, const AcDbEntity& entity, const char* subclass) {
  const auto& line = static_cast<const AcDbUnboundedLine&>(entity);
  out.common(entity.isA()->dxfName(), entity);
  out.subclass(subclass);
  out.tags().point(10, line.basePoint());
  out.tags().point(11, asPoint(line.unitDir()));
}

// ---------------------------------------------------------------------------------------------
// CIRCLE and ARC

struct Circular {
  AcGePoint3d center;  // object coordinates
  double radius = 0;
  AcGePoint3d extrusion{0, 0, 1};
  double start = 0, end = 0;  // degrees
};

bool readCircular(EntityIn& in, Circular& c, bool arc) {
  Tag t;
  while (in.next(t)) {
    if (in.coordinate(t, 10, c.center) || in.coordinate(t, 210, c.extrusion)) {
    } else if (t.code == 40) {
      in.real(t, c.radius);
    } else if (arc && t.code == 50) {
      in.real(t, c.start);
    } else if (arc && t.code == 51) {
      in.real(t, c.end);
    } else {
      in.keep(t);
    }
    if (!in.ok()) return false;
  }
  return in.ok();
}

// The plane and size every circle and arc share; false (and the entity marked) when the host
// refuses them.
bool placeCircular(EntityIn& in, const Circular& c, AcDbCircularCurve& curve) {
  if (curve.setNormal(c.extrusion.asVector()) != Acad::eOk) {
    in.markUnsupported("its extrusion direction has no length");
    return false;
  }
  if (curve.setRadius(c.radius) != Acad::eOk) {
    in.markUnsupported("its radius is negative");
    return false;
  }
  // The centre goes through the normal the host keeps, so writing it back finds the same axes.
  curve.setCenter(Ocs(curve.normal()).toWorld(c.center));
  return true;
}

void writeCircular(EntityOut& out, const AcDbCircularCurve& curve) {
  out.common(curve.isA()->dxfName(), curve);
  out.subclass("AcDbCircle");
  Ocs ocs(curve.normal());
  out.tags().point(10, ocs.fromWorld(curve.center()));
  out.tags().real(40, curve.radius());
  out.tags().point(210, asPoint(curve.normal()));
}

// ---------------------------------------------------------------------------------------------
// ELLIPSE

struct EllipseData {
  AcGePoint3d center, major, extrusion{0, 0, 1};
  double ratio = 1, start = 0, end = 2 * std::numbers::pi;
};

bool readEllipseData(EntityIn& in, EllipseData& e) {
  Tag t;
  while (in.next(t)) {
    if (in.coordinate(t, 10, e.center) || in.coordinate(t, 11, e.major) || in.coordinate(t, 210, e.extrusion)) {
    } else if (t.code == 40) {
      in.real(t, e.ratio);
    } else if (t.code == 41) {
      in.real(t, e.start);
    } else if (t.code == 42) {
      in.real(t, e.end);
    } else {
      in.keep(t);
    }
    if (!in.ok()) return false;
  }
  return in.ok();
}

// ---------------------------------------------------------------------------------------------
// SPLINE

struct SplineData {
  std::int64_t flags = 0, degree = 3;
  std::vector<double> knots, weights;
  std::vector<AcGePoint3d> control, fit, startTangent, endTangent;
  double knotTol = 1e-7, controlTol = 1e-7, fitTol = 1e-10;  // the defaults of the format
  std::vector<Tag> fitOnly;  // 12, 13 and 44: fit data, kept when the spline has no fit points
};

enum SplineFlag { kClosed = 1, kPeriodic = 2, kRational = 4, kPlanar = 8, kLinear = 16 };
constexpr std::int64_t kModelledFlags = kClosed | kPeriodic | kRational | kPlanar | kLinear;

// What a file gave of a spline's optional data (EntityCommon::given); kPlanar and kLinear as
// the file set them; kRead on every spline read, which tells it from the host's own.
enum SplineGiven : std::uint8_t { kFitOnly = 1, kKnotTolGiven = 2, kControlTolGiven = 4, kRead = 32 };

bool readSplinePair(EntityIn& in, const Tag& t, SplineData& s) {
  switch (t.code) {
    case 70: return in.integer(t, s.flags);
    case 71: return in.integer(t, s.degree);
    case 72: case 73: case 74: return true;  // counts, which the lists give
    case 40: return listReal(in, t, s.knots);
    case 41: return listReal(in, t, s.weights);
    case 42: in.given(kKnotTolGiven); return in.real(t, s.knotTol);
    case 43: in.given(kControlTolGiven); return in.real(t, s.controlTol);
    case 44: s.fitOnly.push_back(t); return in.real(t, s.fitTol);
    default: break;
  }
  if (listCoordinate(in, t, 10, s.control) || listCoordinate(in, t, 11, s.fit)) return in.ok();
  if (listCoordinate(in, t, 12, s.startTangent) || listCoordinate(in, t, 13, s.endTangent)) {
    s.fitOnly.push_back(t);
    return in.ok();
  }
  in.keep(t);
  return true;
}

AcGeVector3d tangentOf(const std::vector<AcGePoint3d>& given) {
  return given.empty() ? AcGeVector3d() : given.back().asVector();
}

// Weights of 1 make no rational curve; other weights do, whatever the flag says.
bool rationalOf(SplineData& s) {
  bool rational = (s.flags & kRational) != 0;
  for (double w : s.weights) rational = rational || w != 1;
  if (rational && s.weights.empty()) s.weights.assign(s.control.size(), 1.0);
  return rational;
}

std::unique_ptr<AcDbSpline> splineFromControl(EntityIn& in, SplineData& s) {
  bool rational = rationalOf(s);
  AcGePoint3dArray points;
  AcGeDoubleArray knots, weights;
  for (const AcGePoint3d& p : s.control) points.append(p);
  for (double k : s.knots) knots.append(k);
  for (double w : s.weights) weights.append(w);
  auto spline = std::make_unique<AcDbSpline>();
  bool closed = (s.flags & kClosed) != 0, periodic = (s.flags & kPeriodic) != 0;
  if (s.degree < 1 || s.degree > 25 ||
      spline->setNurbsData(int(s.degree), rational, closed, periodic, points, knots, weights, s.controlTol,
                           s.knotTol) != Acad::eOk) {
    in.markUnsupported("its NURBS data is not a curve: degree " + std::to_string(s.degree) + ", " +
                       std::to_string(s.control.size()) + " control points, " + std::to_string(s.knots.size()) +
                       " knots, " + std::to_string(s.weights.size()) + " weights");
    return nullptr;
  }
  if (!s.fit.empty())
    SplineAccess::setFitData(*spline, s.fit, tangentOf(s.startTangent), tangentOf(s.endTangent), s.fitTol);
  return spline;
}

// Without control points the host remakes the curve from the fit points; it fits open cubics.
std::unique_ptr<AcDbSpline> splineFromFit(EntityIn& in, const SplineData& s) {
  if (s.degree != 3 || (s.flags & (kClosed | kPeriodic)) || !s.knots.empty()) {
    in.markUnsupported("only open cubics are made from fit points alone");
    return nullptr;
  }
  AcGePoint3dArray points;
  for (const AcGePoint3d& p : s.fit) points.append(p);
  auto spline = std::make_unique<AcDbSpline>();
  if (spline->setFitData(points, 3, s.fitTol, tangentOf(s.startTangent), tangentOf(s.endTangent)) != Acad::eOk) {
    in.markUnsupported("no cubic passes through its fit points");
    return nullptr;
  }
  SplineAccess::setTolerances(*spline, s.controlTol, s.knotTol);
  return spline;
}

// Bits 8 (planar) and 16 (linear, with planar) follow from the control points.
int shapeFlags(const AcGePoint3dArray& points) {
  AcDbExtents box;
  for (const AcGePoint3d& p : points) box.addPoint(p);
  double tol = 1e-10 * std::max(1.0, box.minPoint().distanceTo(box.maxPoint()));
  const AcGePoint3d& origin = points.first();
  AcGeVector3d along;
  for (const AcGePoint3d& p : points)
    if ((p - origin).length() > along.length()) along = p - origin;
  if (along.length() <= tol) return kPlanar | kLinear;
  AcGeVector3d unit = along.normal(), across;
  for (const AcGePoint3d& p : points) {
    AcGeVector3d off = (p - origin) - unit * (p - origin).dotProduct(unit);
    if (off.length() > across.length()) across = off;
  }
  if (across.length() <= tol) return kPlanar | kLinear;
  AcGeVector3d normal = unit.crossProduct(across.normal());
  for (const AcGePoint3d& p : points)
    if (std::fabs((p - origin).dotProduct(normal)) > tol) return 0;
  return kPlanar;
}

void writeFitData(EntityOut& out, const AcDbSpline& spline) {
  AcGePoint3dArray fit;
  int degree = 0;
  double fitTol = 0;
  Adesk::Boolean tangents = false;
  AcGeVector3d start, end;
  if (spline.getFitData(fit, degree, fitTol, tangents, start, end) != Acad::eOk) return;
  out.tags().real(44, fitTol);
  if (!start.isZeroLength()) out.tags().point(12, asPoint(start));
  if (!end.isZeroLength()) out.tags().point(13, asPoint(end));
}

void writeFitPoints(EntityOut& out, const AcDbSpline& spline) {
  for (int i = 0; i < spline.numFitPoints(); ++i) {
    AcGePoint3d p;
    spline.getFitPointAt(i, p);
    out.tags().point(11, p);
  }
}

}  // namespace

std::unique_ptr<AcDbEntity> readRay(EntityIn& in) { return readUnbounded<AcDbRay>(in); }
void writeRay(EntityOut& out, const AcDbEntity& entity) { writeUnbounded(out, entity, "AcDbRay"); }
std::unique_ptr<AcDbEntity> readXline(EntityIn& in) { return readUnbounded<AcDbXline>(in); }
void writeXline(EntityOut& out, const AcDbEntity& entity) { writeUnbounded(out, entity, "AcDbXline"); }

std::unique_ptr<AcDbEntity> readCircle(EntityIn& in) {
  Circular c;
  if (!readCircular(in, c, false)) return nullptr;
  auto circle = std::make_unique<AcDbCircle>();
  return placeCircular(in, c, *circle) ? std::move(circle) : nullptr;
}

void writeCircle(EntityOut& out, const AcDbEntity& entity) {
  writeCircular(out, static_cast<const AcDbCircle&>(entity));
}

std::unique_ptr<AcDbEntity> readArc(EntityIn& in) {
  Circular c;
  if (!readCircular(in, c, true)) return nullptr;
  auto arc = std::make_unique<AcDbArc>();
  if (!placeCircular(in, c, *arc)) return nullptr;
  if (arc->setStartAngle(radiansOf(c.start)) != Acad::eOk || arc->setEndAngle(radiansOf(c.end)) != Acad::eOk) {
    in.markUnsupported("its angles are not finite");
    return nullptr;
  }
  return arc;
}

void writeArc(EntityOut& out, const AcDbEntity& entity) {
  const auto& arc = static_cast<const AcDbArc&>(entity);
  writeCircular(out, arc);
  out.subclass("AcDbArc");
  out.tags().real(50, degreesOf(arc.startAngle()));
  out.tags().real(51, degreesOf(arc.endAngle()));
}

std::unique_ptr<AcDbEntity> readEllipse(EntityIn& in) {
  EllipseData e;
  if (!readEllipseData(in, e)) return nullptr;
  // Writers that compute the ratio of a circle may land a rounding above 1.
  if (e.ratio > 1 && e.ratio <= 1 + 1e-12) e.ratio = 1;
  auto ellipse = std::make_unique<AcDbEllipse>();
  if (ellipse->set(e.center, e.extrusion.asVector(), e.major.asVector(), e.ratio) != Acad::eOk ||
      ellipse->setStartParam(e.start) != Acad::eOk || ellipse->setEndParam(e.end) != Acad::eOk) {
    in.markUnsupported("its axes, ratio or parameters make no ellipse");
    return nullptr;
  }
  return ellipse;
}

// The end parameter goes back within a turn, as hosts write it, but a whole ellipse ends a full
// turn after its start.
void writeEllipse(EntityOut& out, const AcDbEntity& entity) {
  const auto& ellipse = static_cast<const AcDbEllipse&>(entity);
  double start = 0, end = 0;
  ellipse.getStartParam(start);
  ellipse.getEndParam(end);
  if (!ellipse.isClosed() && end > 2 * std::numbers::pi) end -= 2 * std::numbers::pi;
  out.common(AcDbEllipse::desc()->dxfName(), ellipse);
  out.subclass("AcDbEllipse");
  out.tags().point(10, ellipse.center());
  out.tags().point(11, asPoint(ellipse.majorAxis()));
  out.tags().point(210, asPoint(ellipse.normal()));
  out.tags().real(40, ellipse.radiusRatio());
  out.tags().real(41, start);
  out.tags().real(42, end);
}

std::unique_ptr<AcDbEntity> readSpline(EntityIn& in) {
  SplineData s;
  Tag t;
  while (in.next(t))
    if (!readSplinePair(in, t, s)) return nullptr;
  if (!in.ok()) return nullptr;
  if (s.control.empty() && s.fit.empty()) {
    in.markUnsupported("it has neither control points nor fit points");
    return nullptr;
  }
  std::unique_ptr<AcDbSpline> spline = s.control.empty() ? splineFromFit(in, s) : splineFromControl(in, s);
  if (spline && s.fit.empty())
    for (const Tag& kept : s.fitOnly) in.keep(kept);
  in.keepFlags(s.flags & ~kModelledFlags);
  in.given(std::uint8_t(kRead | (s.control.empty() ? kFitOnly : 0) | (s.flags & (kPlanar | kLinear))));
  return spline;
}

// A null spline draws nothing and has nothing to write.
void writeSpline(EntityOut& out, const AcDbEntity& entity) {
  const auto& spline = static_cast<const AcDbSpline&>(entity);
  int degree = 0;
  Adesk::Boolean rational = false, closed = false, periodic = false;
  AcGePoint3dArray points;
  AcGeDoubleArray knots, weights;
  double controlTol = 0, knotTol = 0;
  if (spline.getNurbsData(degree, rational, closed, periodic, points, knots, weights, controlTol, knotTol) !=
      Acad::eOk)
    return;
  // A spline the file gave by fit points alone goes back so while it has them; the values
  // the file left out stay out. The host's own splines give everything.
  const kv::KeptData* kept = kv::HostAccess::kept(spline);
  const std::uint8_t given = kept ? kept->given : std::uint8_t(kKnotTolGiven | kControlTolGiven);
  const bool fitOnly = (given & kFitOnly) && spline.hasFitData();
  out.common(AcDbSpline::desc()->dxfName(), spline);
  out.subclass("AcDbSpline");
  int shape = fitOnly ? given & (kPlanar | kLinear) : shapeFlags(points);
  std::int64_t flags = (closed ? kClosed : 0) | (periodic ? kPeriodic : 0) | (rational ? kRational : 0) | shape;
  out.tags().integer(70, flags | (kept ? kept->flags : 0));
  out.tags().integer(71, degree);
  out.tags().integer(72, fitOnly ? 0 : knots.length());
  out.tags().integer(73, fitOnly ? 0 : points.length());
  out.tags().integer(74, spline.numFitPoints());
  if (given & kKnotTolGiven) out.tags().real(42, knotTol);
  if (given & kControlTolGiven) out.tags().real(43, controlTol);
  writeFitData(out, spline);
  if (!fitOnly) {
    for (double k : knots) out.tags().real(40, k);
    for (double w : weights) out.tags().real(41, w);
    for (const AcGePoint3d& p : points) out.tags().point(10, p);
  }
  writeFitPoints(out, spline);
}

}  // namespace kv::dxf
