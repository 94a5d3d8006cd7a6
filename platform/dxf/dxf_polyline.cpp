// POLYLINE with its VERTEX entities and SEQEND: polyface meshes, polygon meshes, 3D polylines.
#include <string>
#include <vector>

#include "dxf/dxf_entities.h"
#include "host/entities.h"
#include "core/numbers.h"

namespace kv::dxf {
namespace {

// POLYLINE flags (70).
constexpr int kClosed = 1;  // closed in M for a polygon mesh
constexpr int k3dPolyline = 8;
constexpr int kPolygonMesh = 16;
constexpr int kClosedN = 32;
constexpr int kPolyFaceMesh = 64;

// VERTEX flags (70).
constexpr int kFitVertex = 8;  // made by a spline fit; the host makes its own
constexpr int kVertex3d = 32;
constexpr int kVertexMesh = 64;
constexpr int kVertexPolyFace = 128;

struct VertexIn {
  AcGePoint3d p;
  std::int64_t flags = 0;
  std::int64_t index[4] = {0, 0, 0, 0};
  long line = 0;
  std::uint64_t handle = 0;
};

// Reads the VERTEX entities after a POLYLINE header up to and including SEQEND (whose handle
// goes to seqend).
bool readVertices(TagReader& tags, long polyline, std::vector<VertexIn>& out, std::uint64_t& seqend) {
  const std::string where = "POLYLINE of line " + std::to_string(polyline);
  Tag t;
  for (;;) {
    if (!tags.next(t)) return tags.ok() && tags.fail(tags.line(), "file ends inside the " + where);
    std::string_view kind = kv::trimBlanks(t.value);
    if (t.code != 0 || (kind != "VERTEX" && kind != "SEQEND"))
      return tags.fail(t.line, "the " + where + " ends without SEQEND");
    EntityCommon common;
    common.line = t.line;
    EntityIn in(tags, common);
    VertexIn v;
    v.line = t.line;
    Tag e;
    while (in.next(e)) {
      if (kind == "SEQEND") continue;
      if (in.coordinate(e, 10, v.p)) {
        if (!in.ok()) return false;
      } else if (e.code == 70) {
        if (!in.integer(e, v.flags)) return false;
      } else if (e.code >= 71 && e.code <= 74) {
        if (!in.integer(e, v.index[e.code - 71])) return false;
      }
    }
    if (!in.ok()) return false;
    v.handle = common.handle;
    if (kind == "SEQEND") {
      seqend = common.handle;
      return true;
    }
    out.push_back(v);
  }
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

// The items a mesh or polyline made keep the handles their VERTEX entities had: the host holds
// a polyface mesh's corners before its face records, and no vertices of a spline fit.
std::unique_ptr<AcDbEntity> keepHandles(EntityIn& in, std::unique_ptr<AcDbEntity> made, const std::vector<VertexIn>& items,
                                        bool polyface) {
  const auto* owner = AcDbVertexOwner::cast(made.get());
  if (!owner) return made;
  std::vector<std::uint64_t> handles;
  for (bool faces : {false, true})
    for (const VertexIn& v : items) {
      bool face = (v.flags & (kVertexMesh | kVertexPolyFace)) == kVertexPolyFace;
      if (polyface ? face == faces : !faces && !(v.flags & kFitVertex)) handles.push_back(v.handle);
    }
  for (size_t i = 0; i < handles.size() && i < owner->items().size(); ++i) in.keepHandle(*owner->items()[i], handles[i]);
  return made;
}

}  // namespace

std::unique_ptr<AcDbEntity> readPolyline(EntityIn& in) {
  std::int64_t flags = 0, m = 0, n = 0, type = 0;
  Tag t;
  while (in.next(t)) {
    bool ok = true;
    switch (t.code) {
      case 70: ok = in.integer(t, flags); break;
      case 71: ok = in.integer(t, m); break;
      case 72: ok = in.integer(t, n); break;
      case 75: ok = in.integer(t, type); break;
      default: break;  // 66, the dummy point, widths, smoothing densities
    }
    if (!ok) return nullptr;
  }
  if (!in.ok()) return nullptr;
  std::vector<VertexIn> items;
  std::uint64_t seqend = 0;
  if (!readVertices(in.tags(), in.common().line, items, seqend)) return nullptr;
  in.keepSeqend(seqend);
  TagReader& tags = in.tags();
  long line = in.common().line;

  if (flags & kPolyFaceMesh) return keepHandles(in, buildPolyFaceMesh(tags, line, items), items, true);
  if (flags & kPolygonMesh) return keepHandles(in, buildPolygonMesh(tags, line, flags, m, n, type, items), items, false);
  if (flags & k3dPolyline) {
    AcDb::Poly3dType kind = AcDb::k3dSimplePoly;
    if (type == 5) kind = AcDb::k3dQuadSplinePoly;
    if (type == 6) kind = AcDb::k3dCubicSplinePoly;
    auto polyline = std::make_unique<AcDb3dPolyline>(kind, AcGePoint3dArray(), (flags & kClosed) != 0);
    for (const VertexIn& v : items) {
      if (v.flags & kFitVertex) continue;
      auto* vertex = new AcDb3dPolylineVertex(v.p);
      if (Acad::ErrorStatus es = polyline->appendVertex(vertex)) {
        delete vertex;
        return refuse(tags, v.line, "the 3D polyline refused a vertex", es);
      }
      vertex->close();
    }
    return keepHandles(in, std::move(polyline), items, false);
  }
  in.markUnsupported();  // a 2D polyline: read whole, left out
  return nullptr;
}

// ---------------------------------------------------------------------------------------------

namespace {

void header(EntityOut& out, const AcDbEntity& polyline, const char* subclass, int flags) {
  out.common("POLYLINE", polyline);
  TagWriter& w = out.tags();
  out.subclass(subclass);
  w.integer(66, 1);
  w.point(10, AcGePoint3d());
  w.integer(70, flags);
}

void vertex(EntityOut& out, const AcDbEntity& owner, const AcDbVertex& v, const char* subclass, int flags) {
  out.sub("VERTEX", v.handle().value(), owner);
  TagWriter& w = out.tags();
  out.subclass("AcDbVertex");
  out.subclass(subclass);
  w.point(10, v.position());
  w.integer(70, flags);
}

void seqend(EntityOut& out, const AcDbEntity& owner) { out.sub("SEQEND", out.seqendHandle(owner), owner); }

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
    if (const auto* v = AcDbVertex::cast(item)) {
      vertex(out, mesh, *v, "AcDbPolyFaceMeshVertex", kVertexPolyFace | kVertexMesh);
    } else if (const auto* f = AcDbFaceRecord::cast(item)) {
      // A face record has no AcDbVertex data in the file: its marker follows AcDbEntity.
      out.sub("VERTEX", f->handle().value(), mesh);
      TagWriter& w = out.tags();
      out.subclass("AcDbFaceRecord");
      w.point(10, AcGePoint3d());
      w.integer(70, kVertexPolyFace);
      for (Adesk::UInt16 k = 0; k < 4; ++k) {
        Adesk::Int16 index = 0;
        f->getVertexAt(k, index);
        if (index != 0 || k < 3) w.integer(71 + k, index);
      }
    }
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

void write3dPolyline(EntityOut& out, const AcDbEntity& entity) {
  const auto& polyline = static_cast<const AcDb3dPolyline&>(entity);
  header(out, polyline, "AcDb3dPolyline", k3dPolyline | (polyline.isClosed() ? kClosed : 0));
  // The vertices are the spline's frame; no fitted vertices are written, so no flag 4.
  if (polyline.polyType() == AcDb::k3dQuadSplinePoly) out.tags().integer(75, 5);
  if (polyline.polyType() == AcDb::k3dCubicSplinePoly) out.tags().integer(75, 6);
  for (const AcDbEntity* item : polyline.items())
    if (const auto* v = AcDbVertex::cast(item); v && !item->isErased())
      vertex(out, polyline, *v, "AcDb3dPolylineVertex", kVertex3d);
  seqend(out, polyline);
}

}  // namespace kv::dxf
