// POLYLINE with its VERTEX entities and SEQEND: polyface meshes, polygon meshes, 3D polylines
// and 2D polylines. The POLYLINE's pairs that its kind does not model are kept with it; each
// VERTEX's own properties and pairs go with the vertex the host makes of it.
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "dxf/dxf_entities.h"
#include "host/access.h"
#include "host/polylines.h"
#include "core/numbers.h"

namespace kv::dxf {
namespace {

// POLYLINE flags (70).
constexpr int kClosed = 1;  // closed in M for a polygon mesh
constexpr int kCurveFit = 2;
constexpr int kSplineFit = 4;
constexpr int k3dPolyline = 8;
constexpr int kPolygonMesh = 16;
constexpr int kClosedN = 32;
constexpr int kPolyFaceMesh = 64;
constexpr int kPlinegen = 128;

// The widths a 2D vertex gave of its own (EntityCommon::given).
constexpr std::uint8_t kOwnStartWidth = 1;
constexpr std::uint8_t kOwnEndWidth = 2;

// VERTEX flags (70).
constexpr int kCurveFitVertex = 1;
constexpr int kTangentUsed = 2;
constexpr int kFitVertex = 8;    // made by a spline fit
constexpr int kFrameVertex = 16;  // a spline's control point
constexpr int kVertex3d = 32;
constexpr int kVertexMesh = 64;
constexpr int kVertexPolyFace = 128;

// DXF gives angles in degrees, the host in radians.

// The curve type of a spline fit (75).
constexpr int kQuadratic = 5;
constexpr int kCubic = 6;

enum class Kind { polyFace, polygonMesh, polyline3d, polyline2d };

Kind kindOf(std::int64_t flags) {
  if (flags & kPolyFaceMesh) return Kind::polyFace;
  if (flags & kPolygonMesh) return Kind::polygonMesh;
  return flags & k3dPolyline ? Kind::polyline3d : Kind::polyline2d;
}

// The POLYLINE's own pairs. Which of them a kind models is known only once 70 is read, so
// those that depend on it wait in pending.
struct HeaderIn {
  std::int64_t flags = 0, m = 0, n = 0, type = 0;
  double elevation = 0, thickness = 0, startWidth = 0, endWidth = 0;
  AcGePoint3d normal = AcGePoint3d(0, 0, 1);
  Tag normalTag;
  std::vector<Tag> pending;
  long line = 0;
};

bool modelledInHeader(Kind kind, int code) {
  switch (kind) {
    case Kind::polyFace: return code == 71 || code == 72;
    case Kind::polygonMesh: return code == 71 || code == 72 || code == 75;
    case Kind::polyline3d: return code == 75;
    case Kind::polyline2d:
      return code == 39 || code == 40 || code == 41 || code == 75 || code == 210 || code == 220 || code == 230;
  }
  return false;
}

bool modelledInVertex(Kind kind, int code) {
  if (code == 10 || code == 20 || code == 30 || code == 70) return true;
  if (kind == Kind::polyFace) return code >= 71 && code <= 74;
  if (kind == Kind::polyline2d) return code == 40 || code == 41 || code == 42 || code == 50 || code == 91;
  return false;
}

// One header pair; false on a bad number.
bool headerPair(EntityIn& in, const Tag& t, HeaderIn& h) {
  switch (t.code) {
    case 66: case 10: case 20: return true;  // the follow flag and the dummy point's x and y
    case 30: return in.real(t, h.elevation);
    case 70: return in.integer(t, h.flags);
    case 39: case 40: case 41: case 71: case 72: case 73: case 74: case 75: case 210: case 220: case 230: break;
    default: in.keep(t); return true;
  }
  h.pending.push_back(t);
  if (t.code == 39) return in.real(t, h.thickness);
  if (t.code == 40) return in.real(t, h.startWidth);
  if (t.code == 41) return in.real(t, h.endWidth);
  if (t.code == 71) return in.integer(t, h.m);
  if (t.code == 72) return in.integer(t, h.n);
  if (t.code == 75) return in.integer(t, h.type);
  if (in.coordinate(t, 210, h.normal)) {
    h.normalTag = t;
    return in.ok();
  }
  return true;  // 73 and 74, the smooth surface densities, wait for their kind
}

struct VertexIn {
  AcGePoint3d p;
  std::int64_t flags = 0;
  std::int64_t index[4] = {0, 0, 0, 0};
  double bulge = 0, startWidth = 0, endWidth = 0, tangent = 0;  // tangent in degrees, as in the file
  std::int64_t id = 0;
  long line = 0;
  // The vertex's own properties and the pairs it does not model.
  EntityCommon common;
};

bool vertexPair(EntityIn& in, const Tag& t, VertexIn& v) {
  if (in.coordinate(t, 10, v.p)) return in.ok();
  switch (t.code) {
    case 70: return in.integer(t, v.flags);
    case 71: case 72: case 73: case 74: return in.integer(t, v.index[t.code - 71]);
    case 40: v.common.given |= kOwnStartWidth; return in.real(t, v.startWidth);
    case 41: v.common.given |= kOwnEndWidth; return in.real(t, v.endWidth);
    case 42: return in.real(t, v.bulge);
    case 50: return in.real(t, v.tangent);
    case 91: return in.integer(t, v.id);
    default: return true;
  }
}

// Reads one VERTEX (or SEQEND, whose pairs are only kept) after its "0" pair.
bool readVertex(TagReader& tags, Kind kind, bool seqend, VertexIn& v) {
  EntityIn in(tags, v.common);
  Tag e;
  while (in.next(e)) {
    if (seqend || !modelledInVertex(kind, e.code)) in.keep(e);
    else if (!vertexPair(in, e, v)) return false;
  }
  return in.ok();
}

// Reads the VERTEX entities after a POLYLINE header up to and including SEQEND (whose handle
// goes to seqend).
bool readVertices(TagReader& tags, long polyline, Kind kind, std::vector<VertexIn>& out, std::uint64_t& seqend) {
  const std::string where = "POLYLINE of line " + std::to_string(polyline);
  Tag t;
  for (;;) {
    if (!tags.next(t)) return tags.ok() && tags.fail(tags.line(), "file ends inside the " + where);
    std::string_view name = kv::trimBlanks(t.value);
    if (t.code != 0 || (name != "VERTEX" && name != "SEQEND"))
      return tags.fail(t.line, "the " + where + " ends without SEQEND");
    VertexIn v;
    v.line = v.common.line = t.line;
    if (!readVertex(tags, kind, name == "SEQEND", v)) return false;
    if (name == "SEQEND") {
      seqend = v.common.handle;
      return true;
    }
    out.push_back(std::move(v));
  }
}

// The items a mesh or polyline made keep what their VERTEX entities had of their own: the
// host holds a polyface mesh's corners before its face records, and no vertices of a polygon
// mesh's spline fit.
std::unique_ptr<AcDbEntity> keepOwn(EntityIn& in, std::unique_ptr<AcDbEntity> made, std::vector<VertexIn>& items,
                                    Kind kind) {
  const auto* owner = AcDbVertexOwner::cast(made.get());
  if (!owner) return made;
  std::vector<VertexIn*> held;
  for (bool faces : {false, true})
    for (VertexIn& v : items) {
      bool face = (v.flags & (kVertexMesh | kVertexPolyFace)) == kVertexPolyFace;
      if (kind == Kind::polyFace ? face == faces : !faces && (kind != Kind::polygonMesh || !(v.flags & kFitVertex)))
        held.push_back(&v);
    }
  for (size_t i = 0; i < held.size() && i < owner->items().size(); ++i)
    in.keepSub(*owner->items()[i], std::move(held[i]->common));
  return made;
}

// A refusal of the host's, with its status, as the reason the file cannot be read.
std::unique_ptr<AcDbEntity> refuse(TagReader& tags, long line, const std::string& what, Acad::ErrorStatus es) {
  tags.fail(line, what + " (status " + std::to_string(int(es)) + ")");
  return nullptr;
}

std::unique_ptr<AcDbEntity> buildPolyFaceMesh(TagReader& tags, long line, const std::vector<VertexIn>& items) {
  // Readers must not trust 71/72 nor the order of the items: each VERTEX says by its flags
  // whether it is a corner or a face record.
  std::vector<const VertexIn*> corners, faces;
  for (const VertexIn& v : items)
    ((v.flags & (kVertexMesh | kVertexPolyFace)) == kVertexPolyFace ? faces : corners).push_back(&v);
  if (corners.size() > size_t(AcDbPolyFaceMesh::kMaxCount))
    return refuse(tags, line, "polyface mesh has " + std::to_string(corners.size()) + " vertices, more than 32767",
                  Acad::eInvalidMeshVertexIndex);
  if (faces.size() > size_t(AcDbPolyFaceMesh::kMaxCount))
    return refuse(tags, line, "polyface mesh has " + std::to_string(faces.size()) + " faces, more than 32767",
                  Acad::eInvalidFaceVertexIndex);
  auto mesh = std::make_unique<AcDbPolyFaceMesh>();
  for (const VertexIn* v : corners) {
    auto* vertex = new AcDbPolyFaceMeshVertex(v->p);
    if (Acad::ErrorStatus es = mesh->appendVertex(vertex)) {
      delete vertex;
      return refuse(tags, v->line, "the polyface mesh refused a vertex", es);
    }
    vertex->close();
  }
  for (const VertexIn* f : faces) {
    Adesk::Int16 index[4];
    for (int k = 0; k < 4; ++k) {
      if (f->index[k] < -AcDbPolyFaceMesh::kMaxCount || f->index[k] > AcDbPolyFaceMesh::kMaxCount)
        return refuse(tags, f->line, "face record names vertex " + std::to_string(f->index[k]),
                      Acad::eInvalidFaceVertexIndex);
      index[k] = Adesk::Int16(f->index[k]);
    }
    auto* face = new AcDbFaceRecord(index[0], index[1], index[2], index[3]);
    if (Acad::ErrorStatus es = mesh->appendFaceRecord(face)) {
      delete face;
      std::string named;
      for (int k = 0; k < 4; ++k) named += (k ? " " : "") + std::to_string(index[k]);
      return refuse(tags, f->line,
                    "face record " + named + " names a vertex the mesh's " + std::to_string(corners.size()) +
                        " vertices lack",
                    es);
    }
    face->close();
  }
  return mesh;
}

AcDb::PolyMeshType meshType(std::int64_t code) {
  switch (code) {
    case AcDb::kQuadSurfaceMesh: return AcDb::kQuadSurfaceMesh;
    case AcDb::kCubicSurfaceMesh: return AcDb::kCubicSurfaceMesh;
    case AcDb::kBezierSurfaceMesh: return AcDb::kBezierSurfaceMesh;
    default: return AcDb::kSimpleMesh;
  }
}

std::unique_ptr<AcDbEntity> buildPolygonMesh(TagReader& tags, long line, std::int64_t flags, std::int64_t m,
                                             std::int64_t n, std::int64_t type, const std::vector<VertexIn>& items) {
  if (m < 0 || n < 0 || m > 32767 || n > 32767) {
    tags.fail(line, "polygon mesh size " + std::to_string(m) + " x " + std::to_string(n) + " is out of range");
    return nullptr;
  }
  auto mesh = std::make_unique<AcDbPolygonMesh>(meshType(type), Adesk::Int16(m), Adesk::Int16(n), AcGePoint3dArray(),
                                                (flags & kClosed) != 0, (flags & kClosedN) != 0);
  size_t count = 0;
  for (const VertexIn& v : items) {
    if (v.flags & kFitVertex) continue;
    auto* vertex = new AcDbPolygonMeshVertex(v.p);
    if (Acad::ErrorStatus es = mesh->appendVertex(vertex)) {
      delete vertex;
      return refuse(tags, v.line, "the polygon mesh refused a vertex", es);
    }
    vertex->close();
    ++count;
  }
  // Unlike a polyface mesh's counts, M and N shape the grid: a grid with holes is no mesh.
  if (count != size_t(m * n)) {
    tags.fail(line, "polygon mesh of " + std::to_string(m) + " x " + std::to_string(n) + " vertices holds " +
                        std::to_string(count));
    return nullptr;
  }
  return mesh;
}


AcDb::Poly2dType poly2dType(std::int64_t flags, std::int64_t type) {
  if (flags & kSplineFit) return type == kQuadratic ? AcDb::k2dQuadSplinePoly : AcDb::k2dCubicSplinePoly;
  return flags & kCurveFit ? AcDb::k2dFitCurvePoly : AcDb::k2dSimplePoly;
}

AcDb::Vertex2dType vertex2dType(std::int64_t flags) {
  if (flags & kFrameVertex) return AcDb::k2dSplineCtlVertex;
  if (flags & kFitVertex) return AcDb::k2dSplineFitVertex;
  return flags & kCurveFitVertex ? AcDb::k2dCurveFitVertex : AcDb::k2dVertex;
}

AcDb2dVertex* new2dVertex(const VertexIn& v, const HeaderIn& h) {
  // A vertex without widths of its own takes the polyline's defaults.
  auto* vertex = new AcDb2dVertex(v.p, v.bulge, v.common.given & kOwnStartWidth ? v.startWidth : h.startWidth,
                                  v.common.given & kOwnEndWidth ? v.endWidth : h.endWidth, radiansOf(v.tangent),
                                  Adesk::Int32(v.id));
  kv::HostAccess::setVertexType(*vertex, vertex2dType(v.flags));
  if (v.flags & kTangentUsed) vertex->useTangent();
  return vertex;
}

std::unique_ptr<AcDbEntity> build2dPolyline(TagReader& tags, const HeaderIn& h, const std::vector<VertexIn>& items) {
  AcGeVector3d normal = h.normal.asVector();
  if (normal.isZeroLength()) {
    tags.fail(h.normalTag.line, "extrusion direction has no length");
    return nullptr;
  }
  auto polyline = std::make_unique<AcDb2dPolyline>();
  polyline->setPolyType(poly2dType(h.flags, h.type));
  polyline->setNormal(normal);
  polyline->setElevation(h.elevation);
  polyline->setThickness(h.thickness);
  polyline->setDefaultStartWidth(h.startWidth);
  polyline->setDefaultEndWidth(h.endWidth);
  if (h.flags & kClosed) polyline->makeClosed();
  if (h.flags & kPlinegen) polyline->setLinetypeGenerationOn();
  for (const VertexIn& v : items) {
    AcDb2dVertex* vertex = new2dVertex(v, h);
    if (Acad::ErrorStatus es = polyline->appendVertex(vertex)) {
      delete vertex;
      return refuse(tags, v.line, "the 2D polyline refused a vertex", es);
    }
    vertex->close();
  }
  return polyline;
}

AcDb::Vertex3dType vertex3dType(std::int64_t flags) {
  if (flags & kFrameVertex) return AcDb::k3dControlVertex;
  return flags & kFitVertex ? AcDb::k3dFitVertex : AcDb::k3dSimpleVertex;
}

std::unique_ptr<AcDbEntity> build3dPolyline(TagReader& tags, const HeaderIn& h, const std::vector<VertexIn>& items) {
  AcDb::Poly3dType kind = AcDb::k3dSimplePoly;
  if (h.type == kQuadratic) kind = AcDb::k3dQuadSplinePoly;
  if (h.type == kCubic) kind = AcDb::k3dCubicSplinePoly;
  auto polyline = std::make_unique<AcDb3dPolyline>(kind, AcGePoint3dArray(), (h.flags & kClosed) != 0);
  for (const VertexIn& v : items) {
    auto* vertex = new AcDb3dPolylineVertex(v.p);
    kv::HostAccess::setVertexType(*vertex, vertex3dType(v.flags));
    if (Acad::ErrorStatus es = polyline->appendVertex(vertex)) {
      delete vertex;
      return refuse(tags, v.line, "the 3D polyline refused a vertex", es);
    }
    vertex->close();
  }
  return polyline;
}

}  // namespace

std::unique_ptr<AcDbEntity> readPolyline(EntityIn& in) {
  HeaderIn h;
  h.line = in.common().line;
  Tag t;
  while (in.next(t))
    if (!headerPair(in, t, h)) return nullptr;
  if (!in.ok()) return nullptr;
  const Kind kind = kindOf(h.flags);
  for (const Tag& p : h.pending)
    if (!modelledInHeader(kind, p.code)) in.keep(p);
  std::vector<VertexIn> items;
  std::uint64_t seqend = 0;
  if (!readVertices(in.tags(), h.line, kind, items, seqend)) return nullptr;
  in.keepSeqend(seqend);
  TagReader& tags = in.tags();
  std::unique_ptr<AcDbEntity> made;
  switch (kind) {
    case Kind::polyFace: made = buildPolyFaceMesh(tags, h.line, items); break;
    case Kind::polygonMesh: made = buildPolygonMesh(tags, h.line, h.flags, h.m, h.n, h.type, items); break;
    case Kind::polyline3d: made = build3dPolyline(tags, h, items); break;
    case Kind::polyline2d: made = build2dPolyline(tags, h, items); break;
  }
  return keepOwn(in, std::move(made), items, kind);
}

// ---------------------------------------------------------------------------------------------

namespace {

void header(EntityOut& out, const AcDbEntity& polyline, const char* subclass, int flags, double elevation = 0) {
  out.common("POLYLINE", polyline);
  out.subclass(subclass);
  TagWriter& w = out.tags();
  w.integer(66, 1);
  w.point(10, AcGePoint3d(0, 0, elevation));
  w.integer(70, flags);
}

void vertex(EntityOut& out, const AcDbEntity& owner, const AcDbVertex& v, const char* subclass, int flags) {
  out.sub("VERTEX", v.handle().value(), owner, &v);
  out.subclass("AcDbVertex");
  out.subclass(subclass);
  out.tags().point(10, v.position());
  out.tags().integer(70, flags);
}

void seqend(EntityOut& out, const AcDbEntity& owner) { out.sub("SEQEND", out.seqendHandle(owner), owner); }

void faceRecord(EntityOut& out, const AcDbEntity& mesh, const AcDbFaceRecord& f) {
  // A face record has no AcDbVertex data in the file: its marker follows AcDbEntity.
  out.sub("VERTEX", f.handle().value(), mesh, &f);
  out.subclass("AcDbFaceRecord");
  TagWriter& w = out.tags();
  w.point(10, AcGePoint3d());
  w.integer(70, kVertexPolyFace);
  // The first 0 ends the record; the slots after it stay out, as the host leaves them.
  for (Adesk::UInt16 k = 0; k < 4; ++k) {
    Adesk::Int16 index = 0;
    f.getVertexAt(k, index);
    if (index == 0 && k > 0) break;
    w.integer(71 + k, index);
  }
}

}  // namespace

void writePolyFaceMesh(EntityOut& out, const AcDbEntity& entity) {
  const auto& mesh = static_cast<const AcDbPolyFaceMesh&>(entity);
  int vertices = 0, faces = 0;
  for (const AcDbEntity* item : mesh.items()) {
    if (item->isErased()) continue;
    if (AcDbFaceRecord::cast(item)) ++faces;
    else if (AcDbVertex::cast(item)) ++vertices;
  }
  header(out, mesh, "AcDbPolyFaceMesh", kPolyFaceMesh);
  out.tags().integer(71, vertices);
  out.tags().integer(72, faces);
  for (const AcDbEntity* item : mesh.items()) {
    if (item->isErased()) continue;
    if (const auto* v = AcDbVertex::cast(item)) vertex(out, mesh, *v, "AcDbPolyFaceMeshVertex", kVertexPolyFace | kVertexMesh);
    else if (const auto* f = AcDbFaceRecord::cast(item)) faceRecord(out, mesh, *f);
  }
  seqend(out, mesh);
}

void writePolygonMesh(EntityOut& out, const AcDbEntity& entity) {
  const auto& mesh = static_cast<const AcDbPolygonMesh&>(entity);
  header(out, mesh, "AcDbPolygonMesh",
         kPolygonMesh | (mesh.isMClosed() ? kClosed : 0) | (mesh.isNClosed() ? kClosedN : 0));
  out.tags().integer(71, mesh.mSize());
  out.tags().integer(72, mesh.nSize());
  out.tags().integer(75, mesh.polyMeshType());
  for (const AcDbEntity* item : mesh.items())
    if (const auto* v = AcDbVertex::cast(item); v && !item->isErased())
      vertex(out, mesh, *v, "AcDbPolygonMeshVertex", kVertexMesh);
  seqend(out, mesh);
}

namespace {

int vertex3dFlags(const AcDb3dPolylineVertex& v) {
  switch (v.vertexType()) {
    case AcDb::k3dControlVertex: return kVertex3d | kFrameVertex;
    case AcDb::k3dFitVertex: return kVertex3d | kFitVertex;
    default: return kVertex3d;
  }
}

int vertex2dFlags(const AcDb2dVertex& v) {
  int flags = v.isTangentUsed() ? kTangentUsed : 0;
  switch (v.vertexType()) {
    case AcDb::k2dSplineCtlVertex: return flags | kFrameVertex;
    case AcDb::k2dSplineFitVertex: return flags | kFitVertex;
    case AcDb::k2dCurveFitVertex: return flags | kCurveFitVertex;
    default: return flags;
  }
}

}  // namespace

void write3dPolyline(EntityOut& out, const AcDbEntity& entity) {
  const auto& polyline = static_cast<const AcDb3dPolyline&>(entity);
  std::vector<const AcDb3dPolylineVertex*> vertices;
  bool fitted = false;
  for (const AcDbEntity* item : polyline.items())
    if (const auto* v = AcDb3dPolylineVertex::cast(item); v && !item->isErased()) {
      vertices.push_back(v);
      fitted = fitted || v->vertexType() == AcDb::k3dFitVertex;
    }
  header(out, polyline, "AcDb3dPolyline",
         k3dPolyline | (polyline.isClosed() ? kClosed : 0) | (fitted ? kSplineFit : 0));
  int type = 0;
  if (polyline.polyType() == AcDb::k3dQuadSplinePoly) type = kQuadratic;
  if (polyline.polyType() == AcDb::k3dCubicSplinePoly) type = kCubic;
  out.tags().integer(75, type);
  for (const AcDb3dPolylineVertex* v : vertices) vertex(out, polyline, *v, "AcDb3dPolylineVertex", vertex3dFlags(*v));
  seqend(out, polyline);
}

namespace {

int poly2dFlags(const AcDb2dPolyline& polyline) {
  int flags = (polyline.isClosed() ? kClosed : 0) | (polyline.isLinetypeGenerationOn() ? kPlinegen : 0);
  switch (polyline.polyType()) {
    case AcDb::k2dFitCurvePoly: return flags | kCurveFit;
    case AcDb::k2dQuadSplinePoly: case AcDb::k2dCubicSplinePoly: return flags | kSplineFit;
    default: return flags;
  }
}

int poly2dCurveType(const AcDb2dPolyline& polyline) {
  if (polyline.polyType() == AcDb::k2dQuadSplinePoly) return kQuadratic;
  return polyline.polyType() == AcDb::k2dCubicSplinePoly ? kCubic : 0;
}

void vertex2d(EntityOut& out, const AcDb2dPolyline& polyline, const AcDb2dVertex& v) {
  out.sub("VERTEX", v.handle().value(), polyline, &v);
  out.subclass("AcDbVertex");
  out.subclass("AcDb2dVertex");
  TagWriter& w = out.tags();
  w.point(10, v.position());
  // A vertex of the host's own gives its widths always: some readers take a vertex without
  // widths to have none rather than the defaults. One read from a file gives those it gave,
  // and any that now differ from the defaults.
  const kv::KeptData* kept = kv::HostAccess::kept(v);
  if (!kept || kept->given & kOwnStartWidth || v.startWidth() != polyline.defaultStartWidth())
    w.real(40, v.startWidth());
  if (!kept || kept->given & kOwnEndWidth || v.endWidth() != polyline.defaultEndWidth()) w.real(41, v.endWidth());
  if (v.bulge() != 0) w.real(42, v.bulge());
  w.integer(70, vertex2dFlags(v));
  if (v.isTangentUsed() || v.tangent() != 0) w.real(50, degreesOf(v.tangent()));
  if (v.vertexIdentifier() != 0) w.integer(91, v.vertexIdentifier());
}

}  // namespace

void write2dPolyline(EntityOut& out, const AcDbEntity& entity) {
  const auto& polyline = static_cast<const AcDb2dPolyline&>(entity);
  header(out, polyline, "AcDb2dPolyline", poly2dFlags(polyline), polyline.elevation());
  TagWriter& w = out.tags();
  w.real(39, polyline.thickness());
  w.real(40, polyline.defaultStartWidth());
  w.real(41, polyline.defaultEndWidth());
  w.integer(75, poly2dCurveType(polyline));
  AcGeVector3d n = polyline.normal();
  w.point(210, AcGePoint3d(n.x, n.y, n.z));
  for (const AcDbEntity* item : polyline.items())
    if (const auto* v = AcDb2dVertex::cast(item); v && !item->isErased()) vertex2d(out, polyline, *v);
  seqend(out, polyline);
}

}  // namespace kv::dxf
