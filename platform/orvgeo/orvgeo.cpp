#include "orvgeo/orvgeo.h"

#include <cmath>

#include "opennurbs/point_index.h"

namespace {

// Faces are appended one call at a time, so the welding table of the mesh last appended to
// is kept between calls. The mesh is only read, never told: another mesh, or a vertex list
// that moved or shrank since, starts the table afresh from m_V. Vertices edited in place
// are not found at their new place, but every hit is checked against m_V, so an index
// answered always holds the corner.
struct Welding {
  const ON_Mesh* mesh = nullptr;
  const ON_3fPoint* vertices = nullptr;  // m_V's storage at the last call
  int indexed = 0;                       // m_V[0 .. indexed) have been offered to the table
  kv::PointIndex index;
};

thread_local Welding welding;

bool hasNaN(const ON_3fPoint& p) { return std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z); }

// The table for mesh, holding every vertex of it; the first at a location answers for it.
kv::PointIndex& tableFor(const ON_Mesh& mesh) {
  Welding& w = welding;
  const int count = mesh.m_V.Count();
  if (w.mesh != &mesh || w.vertices != mesh.m_V.Array() || w.indexed > count) {
    w.index = kv::PointIndex(size_t(count));
    w.mesh = &mesh;
    w.vertices = mesh.m_V.Array();
    w.indexed = 0;
  }
  for (; w.indexed < count; ++w.indexed) {
    const ON_3fPoint& p = mesh.m_V[w.indexed];
    if (hasNaN(p)) continue;  // NaN is at no location
    std::uint32_t key[3];
    kv::pointKey(p, key);
    w.index.findOrAdd(key, kv::PointIndex::hash(key), std::uint32_t(w.indexed));
  }
  return w.index;
}

// The index of the vertex exactly at corner (-0 equals 0), appended when the mesh has none.
int weld(ON_Mesh& mesh, const ON_3dPoint& corner) {
  const ON_3fPoint p(corner);
  kv::PointIndex& table = tableFor(mesh);
  const int fresh = mesh.m_V.Count();
  if (!hasNaN(p)) {
    std::uint32_t key[3], held[3];
    kv::pointKey(p, key);
    std::uint64_t h = kv::PointIndex::hash(key);
    auto index = int(table.findOrAdd(key, h, std::uint32_t(fresh)));
    if (index != fresh) {
      kv::pointKey(mesh.m_V[index], held);
      if (held[0] == key[0] && held[1] == key[1] && held[2] == key[2]) return index;
      table.assign(key, h, std::uint32_t(fresh));  // that vertex was moved behind our back
    }
  }
  mesh.SetVertex(fresh, ON_3dPoint(p));
  welding.vertices = mesh.m_V.Array();
  welding.indexed = mesh.m_V.Count();
  return fresh;
}

}  // namespace

int ORVMesh::AddTriangle(ON_Mesh& mesh, const ON_3dPoint& a, const ON_3dPoint& b, const ON_3dPoint& c) {
  int ia = weld(mesh, a);
  int ib = weld(mesh, b);
  int ic = weld(mesh, c);
  return mesh.SetTriangle(mesh.FaceCount(), ia, ib, ic) ? 1 : 0;
}

int ORVMesh::AddQuad(ON_Mesh& mesh, const ON_3dPoint& a, const ON_3dPoint& b, const ON_3dPoint& c,
                     const ON_3dPoint& d) {
  int ia = weld(mesh, a);
  int ib = weld(mesh, b);
  int ic = weld(mesh, c);
  int id = weld(mesh, d);
  return mesh.SetQuad(mesh.FaceCount(), ia, ib, ic, id) ? 1 : 0;
}
