// Hatches: loops, patterns, transforms, extents and explode.
#include <strings.h>

#include <cmath>
#include <numbers>

#include "core/faults.h"
#include "host/annotations.h"
#include "host/hatch_pattern.h"
#include "host/ocs.h"

KV_RX_DEFINE_MEMBERS(AcDbHatch, AcDbEntity, "HATCH")

namespace {

AcGeVector2d turned(const AcGeVector2d& v, double angle) {
  double c = std::cos(angle), s = std::sin(angle);
  return {c * v.x - s * v.y, s * v.x + c * v.y};
}

AcGePoint2d turned(const AcGePoint2d& p, double angle) {
  AcGeVector2d v = turned(p.asVector(), angle);
  return {v.x, v.y};
}

// The concrete edge behind a caller's pointer, by the edge type the caller gives with it.
const AcGeCurve2d* edgeOf(void* ptr, int type) {
  switch (type) {
    case AcDbHatch::kLine: return static_cast<const AcGeLineSeg2d*>(ptr);
    case AcDbHatch::kCirArc: return static_cast<const AcGeCircArc2d*>(ptr);
    case AcDbHatch::kEllArc: return static_cast<const AcGeEllipArc2d*>(ptr);
    case AcDbHatch::kSpline: return static_cast<const AcGeNurbCurve2d*>(ptr);
    default: return nullptr;
  }
}

void* pointerTo(AcGeCurve2d* edge, int type) {
  switch (type) {
    case AcDbHatch::kLine: return dynamic_cast<AcGeLineSeg2d*>(edge);
    case AcDbHatch::kCirArc: return dynamic_cast<AcGeCircArc2d*>(edge);
    case AcDbHatch::kEllArc: return dynamic_cast<AcGeEllipArc2d*>(edge);
    case AcDbHatch::kSpline: return dynamic_cast<AcGeNurbCurve2d*>(edge);
    default: return nullptr;
  }
}

AcDbHatch::Loop copyOf(const AcDbHatch::Loop& loop) {
  AcDbHatch::Loop out;
  out.type = loop.type;
  out.vertices = loop.vertices;
  out.bulges = loop.bulges;
  out.closed = loop.closed;
  for (const auto& edge : loop.edges) out.edges.emplace_back(edge->copy());
  out.edgeTypes = loop.edgeTypes;
  out.sourceHandles = loop.sourceHandles;
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

#define KV_HATCH_SETTER(Method, Type, Field)       \
  Acad::ErrorStatus AcDbHatch::Method(Type value) { \
    if (Acad::ErrorStatus es = checkWrite()) return es; \
    d_.Field = value;                               \
    return Acad::eOk;                               \
  }

KV_HATCH_SETTER(setElevation, double, elevation)
KV_HATCH_SETTER(setAssociative, bool, associative)
KV_HATCH_SETTER(setHatchStyle, HatchStyle, style)

Acad::ErrorStatus AcDbHatch::setNormal(const AcGeVector3d& normal) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (normal.isZeroLength()) return Acad::eInvalidNormal;
  d_.normal = normal.normal();
  return Acad::eOk;
}

Adesk::Int32 AcDbHatch::loopTypeAt(int index) const {
  return index >= 0 && index < numLoops() ? d_.loops[size_t(index)].type : 0;
}

Acad::ErrorStatus AcDbHatch::getLoopAt(int index, Adesk::Int32& loopType, AcGeVoidPointerArray& edgePtrs,
                                       AcGeIntArray& edgeTypes) const {
  if (index < 0 || index >= numLoops()) return Acad::eInvalidIndex;
  const Loop& loop = d_.loops[size_t(index)];
  if (loop.isPolyline()) return Acad::eNotApplicable;
  loopType = loop.type;
  for (size_t i = 0; i < loop.edges.size(); ++i) {
    edgePtrs.append(pointerTo(loop.edges[i].get(), loop.edgeTypes[i]));
    edgeTypes.append(loop.edgeTypes[i]);
  }
  return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::getLoopAt(int index, Adesk::Int32& loopType, AcGePoint2dArray& vertices,
                                       AcGeDoubleArray& bulges) const {
  if (index < 0 || index >= numLoops()) return Acad::eInvalidIndex;
  const Loop& loop = d_.loops[size_t(index)];
  if (!loop.isPolyline()) return Acad::eNotApplicable;
  loopType = loop.type;
  vertices.append(loop.vertices);
  bulges.append(loop.bulges);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::appendLoop(Adesk::Int32 loopType, const AcGeVoidPointerArray& edgePtrs,
                                        const AcGeIntArray& edgeTypes) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if ((loopType & kPolyline) || edgePtrs.length() != edgeTypes.length()) return Acad::eInvalidInput;
  Loop loop;
  loop.type = loopType;
  for (int i = 0; i < edgePtrs.length(); ++i) {
    const AcGeCurve2d* edge = edgePtrs[i] ? edgeOf(edgePtrs[i], edgeTypes[i]) : nullptr;
    if (!edge) return Acad::eInvalidInput;
    loop.edges.emplace_back(edge->copy());
    loop.edgeTypes.push_back(edgeTypes[i]);
  }
  d_.loops.push_back(std::move(loop));
  return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::appendLoop(Adesk::Int32 loopType, const AcGePoint2dArray& vertices,
                                        const AcGeDoubleArray& bulges) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (vertices.length() < 2 || (!bulges.isEmpty() && bulges.length() != vertices.length()))
    return Acad::eInvalidInput;
  Loop loop;
  loop.type = loopType | kPolyline;
  loop.vertices = vertices;
  loop.bulges = bulges.isEmpty() ? AcGeDoubleArray().setLogicalLength(vertices.length()) : bulges;
  d_.loops.push_back(std::move(loop));
  return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::removeLoopAt(int index) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (index < 0 || index >= numLoops()) return Acad::eInvalidIndex;
  d_.loops.erase(d_.loops.begin() + index);
  return Acad::eOk;
}

// ---------------------------------------------------------------------------------------------

void AcDbHatch::makeUserLines() {
  d_.lines.clear();
  for (int k = 0; k < (d_.patternDouble ? 2 : 1); ++k) {
    double angle = d_.patternAngle + k * std::numbers::pi / 2;
    d_.lines.push_back({angle, AcGePoint2d(), turned(AcGeVector2d(0, d_.patternSpace), angle), {}});
  }
}

Acad::ErrorStatus AcDbHatch::setPattern(HatchPatternType type, const char* name) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!name || type < kUserDefined || type > kCustomDefined) return Acad::eInvalidInput;
  d_.patternType = type;
  d_.patternName = name;
  d_.solidFill = type == kPreDefined && strcasecmp(name, "SOLID") == 0;
  if (d_.solidFill) d_.lines.clear();
  else if (type == kUserDefined) makeUserLines();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::setPatternAngle(double angle) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!std::isfinite(angle)) return Acad::eInvalidInput;
  double turn = angle - d_.patternAngle;
  for (PatternLine& line : d_.lines) {
    line.angle += turn;
    line.base = turned(line.base, turn);
    line.offset = turned(line.offset, turn);
  }
  d_.patternAngle = angle;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::setPatternScale(double scale) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!(scale > 0) || !std::isfinite(scale)) return Acad::eInvalidInput;
  if (d_.patternType != kUserDefined && d_.patternScale > 0) {
    double factor = scale / d_.patternScale;
    for (PatternLine& line : d_.lines) {
      line.base = AcGePoint2d(line.base.x * factor, line.base.y * factor);
      line.offset = line.offset * factor;
      for (double& dash : line.dashes) dash *= factor;
    }
  }
  d_.patternScale = scale;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::setPatternSpace(double space) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!(space > 0) || !std::isfinite(space)) return Acad::eInvalidInput;
  d_.patternSpace = space;
  if (d_.patternType == kUserDefined) makeUserLines();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::setPatternDouble(bool on) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  d_.patternDouble = on;
  if (d_.patternType == kUserDefined) makeUserLines();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::getPatternDefinitionAt(int index, double& angle, double& baseX, double& baseY,
                                                    double& offsetX, double& offsetY, AcGeDoubleArray& dashes) const {
  if (index < 0 || index >= numPatternDefinitions()) return Acad::eInvalidIndex;
  const PatternLine& line = d_.lines[size_t(index)];
  angle = line.angle;
  baseX = line.base.x;
  baseY = line.base.y;
  offsetX = line.offset.x;
  offsetY = line.offset.y;
  for (double dash : line.dashes) dashes.append(dash);
  return Acad::eOk;
}

// ---------------------------------------------------------------------------------------------

namespace {

// A uniform transform seen from the hatch's plane: from its old coordinates to the new plane's.
struct PlaneMap {
  PlaneMap(const AcGeMatrix3d& xform, const AcGeVector3d& normal, double elevation)
      : m(xform), from(normal), to((xform * normal).normal()), z(elevation), scale((xform * normal).length()),
        mirrors(xform.det() < 0) {}
  AcGePoint2d point(const AcGePoint2d& p) const {
    AcGePoint3d o = to.fromWorld(m * from.toWorld(AcGePoint3d(p.x, p.y, z)));
    return {o.x, o.y};
  }
  AcGeVector2d vector(const AcGeVector2d& v) const {
    AcGeVector3d o = to.fromWorld(m * from.toWorld(AcGeVector3d(v.x, v.y, 0)));
    return {o.x, o.y};
  }
  double elevation() const { return to.fromWorld(m * from.toWorld(AcGePoint3d(0, 0, z))).z; }

  const AcGeMatrix3d& m;
  kv::Ocs from, to;
  double z, scale;
  bool mirrors;  // the plane's turning sense reverses against the new normal
};

AcGeCurve2d* mappedArc(const PlaneMap& map, const AcGeCircArc2d& arc) {
  AcGeVector2d ref = arc.refVec();
  AcGeVector2d perp = arc.isClockWise() ? AcGeVector2d(ref.y, -ref.x) : AcGeVector2d(-ref.y, ref.x);
  AcGeVector2d newRef = map.vector(ref), newPerp = map.vector(perp);
  return new AcGeCircArc2d(map.point(arc.center()), arc.radius() * map.scale, arc.startAng(), arc.endAng(),
                           newRef, newRef.crossProduct(newPerp) < 0);
}

AcGeCurve2d* mappedSpline(const PlaneMap& map, const AcGeNurbCurve2d& spline) {
  int degree = 0;
  bool rational = false, periodic = false;
  AcGeDoubleArray knots, weights;
  AcGePoint2dArray points, fit;
  spline.getDefinitionData(degree, rational, periodic, knots, points, weights);
  for (int i = 0; i < points.length(); ++i) points[i] = map.point(points[i]);
  auto* out = new AcGeNurbCurve2d(degree, knots, points, weights, periodic);
  if (spline.hasFitData()) {
    for (int i = 0; i < spline.numFitPoints(); ++i) fit.append(map.point(spline.fitPointAt(i)));
    auto tangent = [&](const std::optional<AcGeVector2d>& t) {
      return t ? std::optional<AcGeVector2d>(map.vector(*t)) : std::nullopt;
    };
    out->setFitData(fit, tangent(spline.startTangent()), tangent(spline.endTangent()));
  }
  return out;
}

AcGeCurve2d* mappedEdge(const PlaneMap& map, const AcGeCurve2d& edge) {
  if (auto* arc = dynamic_cast<const AcGeCircArc2d*>(&edge)) return mappedArc(map, *arc);
  if (auto* ell = dynamic_cast<const AcGeEllipArc2d*>(&edge))
    return new AcGeEllipArc2d(map.point(ell->center()), map.vector(ell->majorAxis()), map.vector(ell->minorAxis()),
                              ell->majorRadius() * map.scale, ell->minorRadius() * map.scale, ell->startAng(),
                              ell->endAng());
  if (auto* spline = dynamic_cast<const AcGeNurbCurve2d*>(&edge)) return mappedSpline(map, *spline);
  return new AcGeLineSeg2d(map.point(edge.startPoint()), map.point(edge.endPoint()));
}

void mapLoop(const PlaneMap& map, AcDbHatch::Loop& loop) {
  for (int i = 0; i < loop.vertices.length(); ++i) loop.vertices[i] = map.point(loop.vertices[i]);
  if (map.mirrors)
    for (int i = 0; i < loop.bulges.length(); ++i) loop.bulges[i] = -loop.bulges[i];
  for (auto& edge : loop.edges) edge.reset(mappedEdge(map, *edge));
}

void mapPatternLine(const PlaneMap& map, AcDbHatch::PatternLine& line) {
  line.angle = map.vector(AcGeVector2d(std::cos(line.angle), std::sin(line.angle))).angle();
  // The base point is a point of the pattern, which moves with the plane; the offset a step.
  line.base = map.point(line.base);
  line.offset = map.vector(line.offset);
  for (double& dash : line.dashes) dash *= map.scale;
}

}  // namespace

Acad::ErrorStatus AcDbHatch::subTransformBy(const AcGeMatrix3d& xform) {
  if (!xform.isUniScaledOrtho()) return Acad::eCannotScaleNonUniformly;
  PlaneMap map(xform, d_.normal, d_.elevation);
  for (Loop& loop : d_.loops) mapLoop(map, loop);
  for (PatternLine& line : d_.lines) mapPatternLine(map, line);
  d_.patternAngle = map.vector(AcGeVector2d(std::cos(d_.patternAngle), std::sin(d_.patternAngle))).angle();
  d_.patternScale *= map.scale;
  d_.patternSpace *= map.scale;
  d_.elevation = map.elevation();
  d_.normal = map.to.z;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::subGetGeomExtents(AcDbExtents& extents) const {
  kv::Ocs ocs(d_.normal);
  AcDbExtents box;
  for (const AcGePoint2d& p : kv::hatch::outline(kv::hatch::boundaryOf(d_.loops)))
    box.addPoint(ocs.toWorld(AcGePoint3d(p.x, p.y, d_.elevation)));
  if (box.isEmpty()) return Acad::eInvalidExtents;
  extents = box;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbHatch::subExplode(AcDbVoidPtrArray& entitySet) const {
  if (int st = kv::fault::check(kv::fault::Call::explode, Acad::eNotApplicable)) return Acad::ErrorStatus(st);
  if (d_.solidFill) return Acad::eNotApplicable;
  std::vector<kv::hatch::Segment> pieces;
  kv::hatch::Boundary boundary = kv::hatch::boundaryOf(d_.loops, d_.style);
  if (Acad::ErrorStatus es = kv::hatch::patternPieces(boundary, d_.lines, kMaxExplodeLines, pieces)) return es;
  kv::Ocs ocs(d_.normal);
  for (const kv::hatch::Segment& s : pieces) {
    auto* line = new AcDbLine(ocs.toWorld(AcGePoint3d(s.a.x, s.a.y, d_.elevation)),
                              ocs.toWorld(AcGePoint3d(s.b.x, s.b.y, d_.elevation)));
    copyPropertiesTo(*line);
    entitySet.append(line);
  }
  return Acad::eOk;
}

AcRxObject* AcDbHatch::subClone() const {
  auto* copy = new AcDbHatch;
  Data& d = copy->d_;
  d.elevation = d_.elevation;
  d.normal = d_.normal;
  d.patternType = d_.patternType;
  d.patternName = d_.patternName;
  d.patternAngle = d_.patternAngle;
  d.patternScale = d_.patternScale;
  d.patternSpace = d_.patternSpace;
  d.patternDouble = d_.patternDouble;
  d.solidFill = d_.solidFill;
  d.associative = d_.associative;
  d.style = d_.style;
  for (const Loop& loop : d_.loops) d.loops.push_back(copyOf(loop));
  d.lines = d_.lines;
  copyPropertiesTo(*copy);
  return copy;
}
