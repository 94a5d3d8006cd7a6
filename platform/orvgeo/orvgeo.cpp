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
