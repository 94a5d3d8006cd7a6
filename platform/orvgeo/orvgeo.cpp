#include "orvgeo/orvgeo.h"

#include "opennurbs/mesh_access.h"
#include "opennurbs/point_index.h"

namespace {

// The index of the vertex exactly at corner (-0 equals 0), appended when the mesh has none.
int weld(ON_Mesh& mesh, const ON_3dPoint& corner) {
  const ON_3fPoint p(corner);
  const int fresh = mesh.m_V.Count();
  if (kv::hasLocation(p)) {
    kv::PointIndex& table = kv::MeshAccess::welding(mesh);
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
  kv::MeshAccess::appendWelded(mesh, p);
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

namespace {

// Degree 1 in both directions over [0, 1] x [0, 1]: each corner is a control point, so the
// surface passes through it exactly. Built aside and handed over only when whole.
int bilinear(ON_NurbsSurface& surface, const ON_3dPoint& p00, const ON_3dPoint& p10, const ON_3dPoint& p11,
             const ON_3dPoint& p01) {
  if (!p00.IsValid() || !p10.IsValid() || !p11.IsValid() || !p01.IsValid()) return 0;
  ON_NurbsSurface made;
  bool ok = made.Create(3, false, 2, 2, 2, 2);
  for (int dir = 0; dir < 2; ++dir) ok = ok && made.SetKnot(dir, 0, 0.0) && made.SetKnot(dir, 1, 1.0);
  ok = ok && made.SetCV(0, 0, p00) && made.SetCV(1, 0, p10) && made.SetCV(1, 1, p11) && made.SetCV(0, 1, p01);
  if (!ok) return 0;
  surface = made;
  return 1;
}

}  // namespace

int ORVNurbsSurface::CreateTriangle(ON_NurbsSurface& surface, const ON_3dPoint& a, const ON_3dPoint& b,
                                    const ON_3dPoint& c) {
  return bilinear(surface, a, b, c, c);
}

int ORVNurbsSurface::CreateQuad(ON_NurbsSurface& surface, const ON_3dPoint& a, const ON_3dPoint& b,
                                const ON_3dPoint& c, const ON_3dPoint& d) {
  return bilinear(surface, a, b, c, d);
}
