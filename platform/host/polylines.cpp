// Lightweight, 2D and 3D polylines. One chain of segments answers the curve interface,
// extents and explode for all three; they differ only in where their vertices come from.
#include "host/polylines.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "host/access.h"
#include "host/curve_math.h"
#include "host/curves.h"

KV_RX_DEFINE_MEMBERS(AcDbPolyline, AcDbCurve, "LWPOLYLINE")
KV_RX_DEFINE_MEMBERS(AcDb2dVertex, AcDbVertex, "VERTEX")
KV_RX_DEFINE_MEMBERS(AcDb2dPolyline, AcDbCurve, "POLYLINE")

namespace {

using kv::curve::kTwoPi;
// Bulges no larger than this leave a segment straight: the radius would outgrow any drawing.
constexpr double kStraight = 1e-10;

// An arc segment in its plane: centre, radius, and the angle at its start with the signed
// sweep (counter-clockwise about the plane's normal when positive).
struct PlaneArc {
  AcGePoint3d center;
  double radius = 0, start = 0, sweep = 0;
};

// The vertices a polyline's curve runs through, in its plane's coordinates (world ones, with
// the identity, for a 3D polyline), with the bulge of the segment each one starts.
struct Chain {
  std::vector<AcGePoint3d> points;
  std::vector<double> bulges;
  bool closed = false;
  AcGeVector3d normal = AcGeVector3d::kZAxis;
  AcGeMatrix3d toWorld;
  bool identity = true;  // points are world points already, and pass untouched

  size_t segments() const { return points.size() < 2 ? 0 : closed ? points.size() : points.size() - 1; }
  const AcGePoint3d& start(size_t i) const { return points[i]; }
  const AcGePoint3d& end(size_t i) const { return points[(i + 1) % points.size()]; }
  bool coincident(size_t i) const { return start(i).isEqualTo(end(i)); }
  bool isArc(size_t i) const { return std::fabs(bulges[i]) > kStraight && !coincident(i); }
  AcGePoint3d world(const AcGePoint3d& p) const { return identity ? p : toWorld * p; }
};

Chain planarChain(const AcGeVector3d& normal, bool closed) {
  Chain c;
  c.closed = closed;
  c.normal = normal;
  c.toWorld = AcGeMatrix3d::planeToWorld(normal);
  c.identity = normal.x == 0 && normal.y == 0 && normal.z == 1;
  return c;
}

PlaneArc arcOf(const Chain& c, size_t i) {
  const AcGePoint3d &p0 = c.start(i), &p1 = c.end(i);
  kv::curve::BulgeArc b = kv::curve::bulgeArc(p0.x, p0.y, p1.x, p1.y, c.bulges[i]);
  return PlaneArc{AcGePoint3d(b.cx, b.cy, p0.z), b.radius, b.start, b.sweep};
}

AcGePoint3d pointOnArc(const PlaneArc& a, double angle) {
  return AcGePoint3d(a.center.x + a.radius * std::cos(angle), a.center.y + a.radius * std::sin(angle), a.center.z);
}

// The point at fraction f of segment i, in the plane; the ends exactly as the vertices.
AcGePoint3d pointOn(const Chain& c, size_t i, double f) {
  if (f == 0) return c.start(i);
  if (f == 1) return c.end(i);
  if (!c.isArc(i)) return c.start(i) + (c.end(i) - c.start(i)) * f;
  PlaneArc a = arcOf(c, i);
  return pointOnArc(a, a.start + f * a.sweep);
}

double lengthOf(const Chain& c, size_t i) {
  if (!c.isArc(i)) return c.start(i).distanceTo(c.end(i));
  PlaneArc a = arcOf(c, i);
  return a.radius * std::fabs(a.sweep);
}

// The segment and the fraction along it of a parameter; false outside the curve. The end
// parameter is the end of the last segment.
bool locate(const Chain& c, double param, size_t& i, double& f) {
  const size_t n = c.segments();
  if (!(param >= 0 && param <= double(n))) return false;
  i = std::min(size_t(param), n == 0 ? 0 : n - 1);
  f = param - double(i);
  return true;
}

Acad::ErrorStatus startParamOf(const Chain& c, double& param) {
  if (c.points.empty()) return Acad::eDegenerateGeometry;
  param = 0;
  return Acad::eOk;
}

Acad::ErrorStatus endParamOf(const Chain& c, double& param) {
  if (c.points.empty()) return Acad::eDegenerateGeometry;
  param = double(c.segments());
  return Acad::eOk;
}

Acad::ErrorStatus pointAtParam(const Chain& c, double param, AcGePoint3d& point) {
  if (c.points.empty()) return Acad::eDegenerateGeometry;
  size_t i = 0;
  double f = 0;
  if (!locate(c, param, i, f)) return Acad::eInvalidInput;
  point = c.world(c.segments() == 0 ? c.points[0] : pointOn(c, i, f));
  return Acad::eOk;
}

Acad::ErrorStatus distAtParam(const Chain& c, double param, double& dist) {
  if (c.points.empty()) return Acad::eDegenerateGeometry;
  size_t i = 0;
  double f = 0;
  if (!locate(c, param, i, f)) return Acad::eInvalidInput;
  double sum = 0;
  for (size_t k = 0; k < i; ++k) sum += lengthOf(c, k);
  // Arcs run at constant speed in their angle, so the fraction of the length is exact.
  if (c.segments() > 0 && f > 0) sum += f * lengthOf(c, i);
  dist = sum;
  return Acad::eOk;
}

bool angleWithin(double angle, const PlaneArc& a) {
  double d = a.sweep >= 0 ? angle - a.start : a.start - angle;
  d = std::fmod(std::fmod(d, kTwoPi) + kTwoPi, kTwoPi);
  return d <= std::fabs(a.sweep);
}

// Where an arc reaches furthest along each world axis, when that lies on the arc.
void addArcExtremes(const Chain& c, const PlaneArc& a, std::vector<AcGePoint3d>& out) {
  for (unsigned axis = 0; axis < 3; ++axis) {
    const double t = std::atan2(c.toWorld(axis, 1), c.toWorld(axis, 0));
    for (double angle : {t, t + std::numbers::pi})
      if (angleWithin(angle, a)) out.push_back(c.world(pointOnArc(a, angle)));
  }
}

Acad::ErrorStatus chainExtents(const Chain& c, double thickness, AcDbExtents& extents) {
  if (c.points.empty()) return Acad::eInvalidExtents;
  std::vector<AcGePoint3d> reach;
  for (const AcGePoint3d& p : c.points) reach.push_back(c.world(p));
  for (size_t i = 0; i < c.segments(); ++i)
    if (c.isArc(i)) addArcExtremes(c, arcOf(c, i), reach);
  AcDbExtents box;
  for (const AcGePoint3d& p : reach) {
    box.addPoint(p);
    if (thickness != 0) box.addPoint(p + c.normal * thickness);
  }
  extents = box;
  return Acad::eOk;
}

double turnAngle(double angle) {
  angle = std::fmod(angle, kTwoPi);
  return angle < 0 ? angle + kTwoPi : angle;
}

// An arc entity for an arc segment: counter-clockwise about the polyline's normal, so a
// clockwise segment runs from its end to its start. The plane's system is the arc's own.
AcDbEntity* arcPiece(const Chain& c, size_t i) {
  PlaneArc a = arcOf(c, i);
  double from = a.sweep > 0 ? a.start : a.start + a.sweep;
  double to = from + std::fabs(a.sweep);
  return new AcDbArc(c.world(a.center), c.normal, a.radius, turnAngle(from), turnAngle(to));
}

void explodeChain(const Chain& c, const AcDbEntity& source, AcDbVoidPtrArray& entitySet) {
  for (size_t i = 0; i < c.segments(); ++i) {
    if (c.coincident(i)) continue;
    AcDbEntity* piece = c.isArc(i) ? arcPiece(c, i) : new AcDbLine(c.world(c.start(i)), c.world(c.end(i)));
    kv::HostAccess::copyProperties(source, *piece);
    entitySet.append(piece);
  }
}

// A planar polyline under a transform that keeps shapes: the map from its old plane's
// coordinates to the new plane's, the new normal, the scale, and whether it mirrors (which
// turns arcs the other way round).
struct PlanarMove {
  AcGeMatrix3d points;
  AcGeVector3d normal;
  double scale = 1;
  bool mirrored = false;
};

Acad::ErrorStatus planarMove(const AcGeMatrix3d& xform, const AcGeVector3d& normal, PlanarMove& move) {
  if (!xform.isUniScaledOrtho() || xform(3, 0) != 0 || xform(3, 1) != 0 || xform(3, 2) != 0 || xform(3, 3) != 1)
    return Acad::eCannotScaleNonUniformly;
  AcGeVector3d n = xform * normal;
  move.scale = n.length();
  move.normal = n.normal();
  move.mirrored = xform.det() < 0;
  move.points = AcGeMatrix3d::worldToPlane(move.normal) * xform * AcGeMatrix3d::planeToWorld(normal);
  return Acad::eOk;
}

// The live vertices of a spline-fit polyline's curve: all but the frame, or the frame alone
// while no fitted vertex is there. isFit and isFrame tell the kinds of vertex V apart.
template <class V, class IsFit, class IsFrame>
std::vector<const V*> curveVertices(const AcDbVertexOwner& owner, IsFit isFit, IsFrame isFrame) {
  std::vector<const V*> all;
  bool fitted = false;
  for (const AcDbEntity* item : owner.items()) {
    const V* v = V::cast(item);
    if (!v || item->isErased()) continue;
    all.push_back(v);
    fitted = fitted || isFit(*v);
  }
  if (fitted) all.erase(std::remove_if(all.begin(), all.end(), [&](const V* v) { return isFrame(*v); }), all.end());
  return all;
}

Acad::ErrorStatus checkNormal(const AcGeVector3d& normal) {
  return normal.isZeroLength() ? Acad::eInvalidNormal : Acad::eOk;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The lightweight polyline

namespace {

Chain chainOf(const AcDbPolyline& pl) {
  Chain c = planarChain(pl.normal(), pl.isClosed());
  for (unsigned i = 0; i < pl.numVerts(); ++i) {
    AcGePoint2d p;
    double bulge = 0;
    pl.getPointAt(i, p);
    pl.getBulgeAt(i, bulge);
    c.points.emplace_back(p.x, p.y, pl.elevation());
    c.bulges.push_back(bulge);
  }
  return c;
}

}  // namespace

AcDbPolyline::AcDbPolyline(unsigned int numVerts) { vertices_.reserve(numVerts); }

Acad::ErrorStatus AcDbPolyline::addVertexAt(unsigned int index, const AcGePoint2d& point, double bulge,
                                            double startWidth, double endWidth) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (index > vertices_.size()) return Acad::eInvalidIndex;
  double constant = 0;
  if (getConstantWidth(constant) != Acad::eOk) constant = 0;
  Vertex v;
  v.point = point;
  v.bulge = bulge;
  v.startWidth = startWidth < 0 ? constant : startWidth;
  v.endWidth = endWidth < 0 ? constant : endWidth;
  vertices_.insert(vertices_.begin() + index, v);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::removeVertexAt(unsigned int index) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (index >= vertices_.size()) return Acad::eInvalidIndex;
  vertices_.erase(vertices_.begin() + index);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getPointAt(unsigned int index, AcGePoint2d& point) const {
  if (index >= vertices_.size()) return Acad::eInvalidIndex;
  point = vertices_[index].point;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getPointAt(unsigned int index, AcGePoint3d& point) const {
  if (index >= vertices_.size()) return Acad::eInvalidIndex;
  const AcGePoint2d& p = vertices_[index].point;
  point = AcGeMatrix3d::planeToWorld(normal_) * AcGePoint3d(p.x, p.y, elevation_);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setPointAt(unsigned int index, const AcGePoint2d& point) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (index >= vertices_.size()) return Acad::eInvalidIndex;
  vertices_[index].point = point;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getBulgeAt(unsigned int index, double& bulge) const {
  if (index >= vertices_.size()) return Acad::eInvalidIndex;
  bulge = vertices_[index].bulge;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setBulgeAt(unsigned int index, double bulge) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (index >= vertices_.size()) return Acad::eInvalidIndex;
  vertices_[index].bulge = bulge;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getWidthsAt(unsigned int index, double& startWidth, double& endWidth) const {
  if (index >= vertices_.size()) return Acad::eInvalidIndex;
  startWidth = vertices_[index].startWidth;
  endWidth = vertices_[index].endWidth;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setWidthsAt(unsigned int index, double startWidth, double endWidth) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (index >= vertices_.size()) return Acad::eInvalidIndex;
  vertices_[index].startWidth = startWidth;
  vertices_[index].endWidth = endWidth;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getVertexIdentifierAt(unsigned int index, Adesk::Int32& id) const {
  if (index >= vertices_.size()) return Acad::eInvalidIndex;
  id = vertices_[index].id;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setVertexIdentifierAt(unsigned int index, Adesk::Int32 id) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (index >= vertices_.size()) return Acad::eInvalidIndex;
  vertices_[index].id = id;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getConstantWidth(double& width) const {
  const double w = vertices_.empty() ? 0 : vertices_[0].startWidth;
  for (const Vertex& v : vertices_)
    if (v.startWidth != w || v.endWidth != w) return Acad::eNotApplicable;
  width = w;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::setConstantWidth(double width) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  for (Vertex& v : vertices_) v.startWidth = v.endWidth = width;
  return Acad::eOk;
}

bool AcDbPolyline::isOnlyLines() const {
  Chain c = chainOf(*this);
  for (size_t i = 0; i < c.segments(); ++i)
    if (c.isArc(i)) return false;
  return true;
}

AcDbPolyline::SegType AcDbPolyline::segType(unsigned int index) const {
  Chain c = chainOf(*this);
  if (c.points.size() == 1 && index == 0) return kPoint;
  if (index >= c.segments()) return kEmpty;
  if (c.coincident(index)) return kCoincident;
  return c.isArc(index) ? kArc : kLine;
}

Acad::ErrorStatus AcDbPolyline::getLineSegAt(unsigned int index, AcGeLineSeg3d& segment) const {
  Chain c = chainOf(*this);
  if (index >= c.segments()) return Acad::eInvalidIndex;
  if (c.isArc(index)) return Acad::eNotApplicable;
  segment.set(c.world(c.start(index)), c.world(c.end(index)));
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getArcSegAt(unsigned int index, AcGeCircArc3d& arc) const {
  Chain c = chainOf(*this);
  if (index >= c.segments()) return Acad::eInvalidIndex;
  if (!c.isArc(index)) return Acad::eNotApplicable;
  PlaneArc a = arcOf(c, index);
  AcGePoint3d center = c.world(a.center);
  AcGeVector3d normal = a.sweep > 0 ? normal_ : -normal_;
  arc.set(center, normal, c.world(c.start(index)) - center, a.radius, 0, std::fabs(a.sweep));
  return Acad::eOk;
}

#define KV_VALUE_SETTER(Class, Method, Type, Member) \
  Acad::ErrorStatus Class::Method(Type value) {      \
    if (Acad::ErrorStatus es = checkWrite()) return es; \
    Member = value;                                  \
    return Acad::eOk;                                \
  }

KV_VALUE_SETTER(AcDbPolyline, setElevation, double, elevation_)
KV_VALUE_SETTER(AcDbPolyline, setThickness, double, thickness_)
KV_VALUE_SETTER(AcDbPolyline, setClosed, bool, closed_)
KV_VALUE_SETTER(AcDbPolyline, setPlinegen, bool, plinegen_)

Acad::ErrorStatus AcDbPolyline::setNormal(const AcGeVector3d& normal) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (Acad::ErrorStatus es = checkNormal(normal)) return es;
  normal_ = normal.normal();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::getStartParam(double& param) const { return startParamOf(chainOf(*this), param); }
Acad::ErrorStatus AcDbPolyline::getEndParam(double& param) const { return endParamOf(chainOf(*this), param); }

Acad::ErrorStatus AcDbPolyline::getPointAtParam(double param, AcGePoint3d& point) const {
  return pointAtParam(chainOf(*this), param, point);
}

Acad::ErrorStatus AcDbPolyline::getDistAtParam(double param, double& dist) const {
  return distAtParam(chainOf(*this), param, dist);
}

Acad::ErrorStatus AcDbPolyline::subTransformBy(const AcGeMatrix3d& xform) {
  PlanarMove move;
  if (Acad::ErrorStatus es = planarMove(xform, normal_, move)) return es;
  for (Vertex& v : vertices_) {
    AcGePoint3d p = move.points * AcGePoint3d(v.point.x, v.point.y, elevation_);
    v.point = AcGePoint2d(p.x, p.y);
    v.bulge = move.mirrored ? -v.bulge : v.bulge;
    v.startWidth *= move.scale;
    v.endWidth *= move.scale;
  }
  elevation_ = (move.points * AcGePoint3d(0, 0, elevation_)).z;
  thickness_ *= move.scale;
  normal_ = move.normal;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyline::subGetGeomExtents(AcDbExtents& extents) const {
  return chainExtents(chainOf(*this), thickness_, extents);
}

Acad::ErrorStatus AcDbPolyline::subExplode(AcDbVoidPtrArray& entitySet) const {
  explodeChain(chainOf(*this), *this, entitySet);
  return Acad::eOk;
}

AcRxObject* AcDbPolyline::subClone() const {
  auto* copy = new AcDbPolyline;
  copy->vertices_ = vertices_;
  copy->elevation_ = elevation_;
  copy->thickness_ = thickness_;
  copy->normal_ = normal_;
  copy->closed_ = closed_;
  copy->plinegen_ = plinegen_;
  copyPropertiesTo(*copy);
  return copy;
}

// ---------------------------------------------------------------------------------------------
// The 2D polyline and its vertices

AcDb2dVertex::AcDb2dVertex(const AcGePoint3d& position, double bulge, double startWidth, double endWidth,
                           double tangent, Adesk::Int32 vertexIdentifier)
    : AcDbVertex(position),
      bulge_(bulge),
      startWidth_(startWidth),
      endWidth_(endWidth),
      tangent_(tangent),
      id_(vertexIdentifier) {}

KV_VALUE_SETTER(AcDb2dVertex, setBulge, double, bulge_)
KV_VALUE_SETTER(AcDb2dVertex, setStartWidth, double, startWidth_)
KV_VALUE_SETTER(AcDb2dVertex, setEndWidth, double, endWidth_)
KV_VALUE_SETTER(AcDb2dVertex, setTangent, double, tangent_)
KV_VALUE_SETTER(AcDb2dVertex, setVertexIdentifier, Adesk::Int32, id_)

Acad::ErrorStatus AcDb2dVertex::useTangent() {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  tangentUsed_ = true;
  return Acad::eOk;
}

Acad::ErrorStatus AcDb2dVertex::ignoreTangent() {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  tangentUsed_ = false;
  return Acad::eOk;
}

AcRxObject* AcDb2dVertex::subClone() const {
  auto* copy = new AcDb2dVertex(position(), bulge_, startWidth_, endWidth_, tangent_, id_);
  copy->type_ = type_;
  copy->tangentUsed_ = tangentUsed_;
  copyPropertiesTo(*copy);
  return copy;
}

namespace {

std::vector<const AcDb2dVertex*> curveVertices(const AcDb2dPolyline& pl) {
  return curveVertices<AcDb2dVertex>(
      pl, [](const AcDb2dVertex& v) { return v.vertexType() == AcDb::k2dSplineFitVertex; },
      [](const AcDb2dVertex& v) { return v.vertexType() == AcDb::k2dSplineCtlVertex; });
}

Chain chainOf(const AcDb2dPolyline& pl) {
  Chain c = planarChain(pl.normal(), pl.isClosed());
  for (const AcDb2dVertex* v : curveVertices(pl)) {
    c.points.emplace_back(v->position().x, v->position().y, pl.elevation());
    c.bulges.push_back(v->bulge());
  }
  return c;
}

}  // namespace

AcDb2dPolyline::AcDb2dPolyline(AcDb::Poly2dType type, const AcGePoint3dArray& vertices, double elevation, bool closed,
                               double defStartWidth, double defEndWidth, const AcGeDoubleArray* bulges)
    : type_(type), elevation_(elevation), startWidth_(defStartWidth), endWidth_(defEndWidth), closed_(closed) {
  for (int i = 0; i < vertices.length(); ++i) {
    double bulge = bulges && i < bulges->length() ? (*bulges)[i] : 0;
    const AcGePoint3d& p = vertices[i];
    appendVertex(new AcDb2dVertex(AcGePoint3d(p.x, p.y, elevation), bulge, defStartWidth, defEndWidth));
  }
}

KV_VALUE_SETTER(AcDb2dPolyline, setPolyType, AcDb::Poly2dType, type_)
KV_VALUE_SETTER(AcDb2dPolyline, setElevation, double, elevation_)
KV_VALUE_SETTER(AcDb2dPolyline, setThickness, double, thickness_)
KV_VALUE_SETTER(AcDb2dPolyline, setDefaultStartWidth, double, startWidth_)
KV_VALUE_SETTER(AcDb2dPolyline, setDefaultEndWidth, double, endWidth_)

#define KV_FLAG_SETTER(Class, Method, Flag, Value) \
  Acad::ErrorStatus Class::Method() {              \
    if (Acad::ErrorStatus es = checkWrite()) return es; \
    Flag = Value;                                  \
    return Acad::eOk;                              \
  }

KV_FLAG_SETTER(AcDb2dPolyline, makeClosed, closed_, true)
KV_FLAG_SETTER(AcDb2dPolyline, makeOpen, closed_, false)
KV_FLAG_SETTER(AcDb2dPolyline, setLinetypeGenerationOn, plinegen_, true)
KV_FLAG_SETTER(AcDb2dPolyline, setLinetypeGenerationOff, plinegen_, false)

Acad::ErrorStatus AcDb2dPolyline::setNormal(const AcGeVector3d& normal) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (Acad::ErrorStatus es = checkNormal(normal)) return es;
  normal_ = normal.normal();
  return Acad::eOk;
}

Acad::ErrorStatus AcDb2dPolyline::appendVertex(AcDb2dVertex* vertex) { return appendItem(vertex); }

AcGePoint3d AcDb2dPolyline::vertexPosition(const AcDb2dVertex& vertex) const {
  AcGePoint3d p = vertex.position();
  return AcGeMatrix3d::planeToWorld(normal_) * AcGePoint3d(p.x, p.y, elevation_);
}

Acad::ErrorStatus AcDb2dPolyline::getStartParam(double& param) const { return startParamOf(chainOf(*this), param); }
Acad::ErrorStatus AcDb2dPolyline::getEndParam(double& param) const { return endParamOf(chainOf(*this), param); }

Acad::ErrorStatus AcDb2dPolyline::getPointAtParam(double param, AcGePoint3d& point) const {
  return pointAtParam(chainOf(*this), param, point);
}

Acad::ErrorStatus AcDb2dPolyline::getDistAtParam(double param, double& dist) const {
  return distAtParam(chainOf(*this), param, dist);
}

Acad::ErrorStatus AcDb2dPolyline::subTransformBy(const AcGeMatrix3d& xform) {
  PlanarMove move;
  if (Acad::ErrorStatus es = planarMove(xform, normal_, move)) return es;
  const double elevation = (move.points * AcGePoint3d(0, 0, elevation_)).z;
  // Vertices in a database may be open elsewhere; they move with their polyline all the same.
  for (AcDbEntity* item : items()) {
    auto* v = AcDb2dVertex::cast(item);
    if (!v) continue;
    AcGePoint3d& p = positionOf(*v);
    AcGePoint3d q = move.points * AcGePoint3d(p.x, p.y, elevation_);
    p = AcGePoint3d(q.x, q.y, elevation);
    v->bulge_ = move.mirrored ? -v->bulge_ : v->bulge_;
    v->startWidth_ *= move.scale;
    v->endWidth_ *= move.scale;
  }
  elevation_ = elevation;
  thickness_ *= move.scale;
  startWidth_ *= move.scale;
  endWidth_ *= move.scale;
  normal_ = move.normal;
  return Acad::eOk;
}

Acad::ErrorStatus AcDb2dPolyline::subGetGeomExtents(AcDbExtents& extents) const {
  return chainExtents(chainOf(*this), thickness_, extents);
}

Acad::ErrorStatus AcDb2dPolyline::subExplode(AcDbVoidPtrArray& entitySet) const {
  explodeChain(chainOf(*this), *this, entitySet);
  return Acad::eOk;
}

AcRxObject* AcDb2dPolyline::subClone() const {
  auto* copy = new AcDb2dPolyline;
  copy->type_ = type_;
  copy->elevation_ = elevation_;
  copy->thickness_ = thickness_;
  copy->startWidth_ = startWidth_;
  copy->endWidth_ = endWidth_;
  copy->normal_ = normal_;
  copy->closed_ = closed_;
  copy->plinegen_ = plinegen_;
  copyItemsTo(*copy);
  return copy;
}

// ---------------------------------------------------------------------------------------------
// The 3D polyline as a curve

namespace {

Chain chainOf(const AcDb3dPolyline& pl) {
  Chain c;
  c.closed = pl.isClosed();
  auto vertices = curveVertices<AcDb3dPolylineVertex>(
      pl, [](const AcDb3dPolylineVertex& v) { return v.vertexType() == AcDb::k3dFitVertex; },
      [](const AcDb3dPolylineVertex& v) { return v.vertexType() == AcDb::k3dControlVertex; });
  for (const AcDb3dPolylineVertex* v : vertices) {
    c.points.push_back(v->position());
    c.bulges.push_back(0);
  }
  return c;
}

}  // namespace

Acad::ErrorStatus AcDb3dPolyline::getStartParam(double& param) const { return startParamOf(chainOf(*this), param); }
Acad::ErrorStatus AcDb3dPolyline::getEndParam(double& param) const { return endParamOf(chainOf(*this), param); }

Acad::ErrorStatus AcDb3dPolyline::getPointAtParam(double param, AcGePoint3d& point) const {
  return pointAtParam(chainOf(*this), param, point);
}

Acad::ErrorStatus AcDb3dPolyline::getDistAtParam(double param, double& dist) const {
  return distAtParam(chainOf(*this), param, dist);
}

Acad::ErrorStatus AcDb3dPolyline::subGetGeomExtents(AcDbExtents& extents) const {
  return chainExtents(chainOf(*this), 0, extents);
}

Acad::ErrorStatus AcDb3dPolyline::subExplode(AcDbVoidPtrArray& entitySet) const {
  explodeChain(chainOf(*this), *this, entitySet);
  return Acad::eOk;
}
