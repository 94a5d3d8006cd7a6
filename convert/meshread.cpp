#include "meshread.h"

#include <vector>

#include "convert/solidmesh.h"
#include "modeler/solids.h"
#include "dbutil/errortext.h"
#include "dbutil/layer.h"
#include "dbutil/select.h"
#include "orvgeo/orvgeo.h"

namespace {

ON_3dPoint toOn(const AcGePoint3d& p) { return ON_3dPoint(p.x, p.y, p.z); }

// The facet classes the picking and selection offer.
CStringArray facetClasses() {
  CStringArray names;
  names.Add("AcDbFace");
  names.Add("AcDbPolyFaceMesh");
  names.Add("AcDbPolygonMesh");
  return names;
}

// Reads the vertex-based entity's current item as T: opened by id when the entity is in a
// drawing, taken as it is when the entity holds its items itself.
template <class T, class Read>
bool readItem(const AcDbObjectIterator& it, Read read) {
  AcDbObjectId id = it.objectId();
  if (id.isNull()) {
    const T* item = T::cast(it.entity());
    if (!item) return false;
    read(*item);
    return true;
  }
  T* item = nullptr;
  if (acdbOpenAcDbObject(item, id, AcDb::kForRead) != Acad::eOk) return false;
  read(*item);
  item->close();
  return true;
}

// The last steps of both mesh readers: cull, compact, check, hand over.
BOOL finish(ON_Mesh& local, ON_Mesh& mesh) {
  local.CullUnusedVertices();
  local.CullDegenerateFaces();
  local.Compact();
  if (!local.IsValid()) {
    ConvertErrorText = "Invalid mesh";
    return FALSE;
  }
  mesh = std::move(local);
  return TRUE;
}

BOOL invalid() {
  ConvertErrorText = "Invalid mesh";
  return FALSE;
}

}  // namespace

BOOL MeshFromEntityId(const AcDbObjectId& id, ON_Mesh& mesh, const double* facetres) {
  AcDbEntity* entity = nullptr;
  if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) {
    SolidErrorText = "Unable to read object";
    return FALSE;
  }
  BOOL ok = MeshFromEntity(entity, mesh, facetres);
  entity->close();
  return ok;
}

BOOL MeshFromEntity(AcDbEntity* entity, ON_Mesh& mesh, const double* facetres) {
  auto is = [entity](const char* className) { return IsEntityOfClass(entity, className); };
  if (is("AcDbFace")) return MeshFromFace(static_cast<AcDbFace*>(entity), mesh);
  if (is("AcDbPolyFaceMesh")) return MeshFromPolyFaceMesh(static_cast<AcDbPolyFaceMesh*>(entity), mesh);
  if (is("AcDbPolygonMesh")) return MeshFromPolygonMesh(static_cast<AcDbPolygonMesh*>(entity), mesh);
  if (is("AcDb3dSolid")) return StlMeshFromSolid(static_cast<AcDb3dSolid*>(entity), mesh, facetres);
  if (is("AcDbBody")) return MeshFromBody(static_cast<AcDbBody*>(entity), mesh, facetres);
  SolidErrorText = "Entity is not a 3D Face, PolyFace Mesh, Polygon Mesh, Body or 3D Solid";
  return FALSE;
}

BOOL MeshFromFacetEntity(AcDbEntity* entity, ON_Mesh& mesh) {
  auto is = [entity](const char* className) { return IsEntityOfClass(entity, className); };
  if (is("AcDbFace")) return MeshFromFace(static_cast<AcDbFace*>(entity), mesh);
  if (is("AcDbSolid")) return MeshFrom2dSolid(static_cast<AcDbSolid*>(entity), mesh);
  if (is("AcDbPolyFaceMesh")) return MeshFromPolyFaceMesh(static_cast<AcDbPolyFaceMesh*>(entity), mesh);
  if (is("AcDbPolygonMesh")) return MeshFromPolygonMesh(static_cast<AcDbPolygonMesh*>(entity), mesh);
  ConvertErrorText = "Entity is not a 3D Face, 2D Solid, PolyFace Mesh or Polygon Mesh";
  return FALSE;
}

BOOL MeshFromFace(AcDbFace* face, ON_Mesh& mesh) {
  AcGePoint3d c[4];
  for (Adesk::UInt16 k = 0; k < 4; ++k) face->getVertexAt(k, c[k]);
  ON_Mesh local;
  if (c[2] == c[3]) ORVMesh::AddTriangle(local, toOn(c[0]), toOn(c[1]), toOn(c[2]));
  else ORVMesh::AddQuad(local, toOn(c[0]), toOn(c[1]), toOn(c[2]), toOn(c[3]));
  mesh = std::move(local);
  return TRUE;
}

BOOL MeshFrom2dSolid(AcDbSolid* solid, ON_Mesh& mesh) {
  AcGePoint3d c[4];
  for (Adesk::UInt16 k = 0; k < 4; ++k) solid->getPointAt(k, c[k]);
  ON_Mesh local;
  // A 2D solid's corners run in a bow tie: 0, 1, 3, 2 goes round its outline.
  if (c[2] == c[3]) ORVMesh::AddTriangle(local, toOn(c[0]), toOn(c[1]), toOn(c[2]));
  else ORVMesh::AddQuad(local, toOn(c[0]), toOn(c[1]), toOn(c[3]), toOn(c[2]));
  mesh = std::move(local);
  return TRUE;
}

BOOL MeshFromPolyFaceMesh(AcDbPolyFaceMesh* polyface, ON_Mesh& mesh) {
  const int nF = polyface->numFaces(), nV = polyface->numVertices();
  ON_Mesh local(nF, nV, false, false);
  AcDbObjectIterator* it = polyface->vertexIterator();
  int p = 0, f = 0;
  bool ok = true;
  for (; ok && !it->done(); it->step(), ++p) {
    if (p < nV) {
      ok = readItem<AcDbPolyFaceMeshVertex>(*it, [&](const AcDbPolyFaceMeshVertex& v) {
        AcGePoint3d q = v.position();
        local.SetVertex(p, ON_3dPoint(q.x, q.y, q.z));
      });
      continue;
    }
    ok = readItem<AcDbFaceRecord>(*it, [&](const AcDbFaceRecord& r) {
      Adesk::Int16 v[4];
      for (Adesk::UInt16 k = 0; k < 4; ++k) r.getVertexAt(k, v[k]);
      auto index = [](Adesk::Int16 x) { return (x < 0 ? -int(x) : int(x)) - 1; };
      if (v[3] == 0) local.SetTriangle(f, index(v[0]), index(v[1]), index(v[2]));
      else local.SetQuad(f, index(v[0]), index(v[1]), index(v[2]), index(v[3]));
      ++f;
    });
  }
  delete it;
  // An item that could not be read would shift every later index.
  if (!ok) return invalid();
  return finish(local, mesh);
}

BOOL MeshFromPolygonMesh(AcDbPolygonMesh* polygon, ON_Mesh& mesh) {
  const int m = polygon->mSize(), n = polygon->nSize();
  const bool closedM = polygon->isMClosed(), closedN = polygon->isNClosed();
  if (m < 1 || n < 1) return invalid();
  ON_Mesh local;
  std::vector<ON_3dPoint> grid;
  grid.reserve(size_t(m) * size_t(n));
  AcDbObjectIterator* it = polygon->vertexIterator();
  bool ok = true;
  for (; ok && !it->done(); it->step()) {
    if (grid.size() == size_t(m) * size_t(n)) {
      ok = false;  // more vertices than the grid has slots
      break;
    }
    ok = readItem<AcDbPolygonMeshVertex>(*it, [&](const AcDbPolygonMeshVertex& v) { grid.push_back(toOn(v.position())); });
  }
  delete it;
  if (!ok || grid.size() != size_t(m) * size_t(n)) return invalid();

  auto P = [&](int k, int j) -> const ON_3dPoint& { return grid[size_t(k) * size_t(n) + size_t(j)]; };
  for (int k = 0; k < m; ++k) {
    for (int j = 0; j < n; ++j) {
      if (k < m - 1 && j < n - 1) ORVMesh::AddQuad(local, P(k, j), P(k, j + 1), P(k + 1, j + 1), P(k + 1, j));
      else if (k < m - 1 && j == n - 1 && closedN) ORVMesh::AddQuad(local, P(k, n - 1), P(k, 0), P(k + 1, 0), P(k + 1, n - 1));
      else if (k == m - 1 && j < n - 1 && closedM) ORVMesh::AddQuad(local, P(m - 1, j), P(m - 1, j + 1), P(0, j + 1), P(0, j));
    }
  }
  if (closedM && closedN) ORVMesh::AddQuad(local, P(0, n - 1), P(m - 1, n - 1), P(m - 1, 0), P(0, 0));
  std::vector<ON_3dPoint>().swap(grid);
  return finish(local, mesh);
}

BOOL MeshFromPickedObject(const CString& prompt, BOOL highlight, ON_Mesh& mesh, AcDbObjectId& id) {
  if (!PickObjectOfClasses(prompt, highlight, facetClasses(), id)) {
    ConvertErrorText = GetLastErrorText();
    return FALSE;
  }
  AcDbEntity* entity = nullptr;
  if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) {
    ConvertErrorText = "Unable to read object";
    return FALSE;
  }
  BOOL ok = MeshFromFacetEntity(entity, mesh);
  entity->close();
  return ok;
}

BOOL MeshFromPickedObject(const CString& prompt, BOOL highlight, ON_Mesh& mesh) {
  AcDbObjectId id;
  return MeshFromPickedObject(prompt, highlight, mesh, id);
}

BOOL MeshesFromSelection(const CString& prompt, BOOL highlight, ON_ClassArray<ON_Mesh>& meshes,
                         AcDbObjectIdArray& ids) {
  if (!SelectObjectsOfClasses(prompt, highlight, facetClasses(), ids)) {
    ConvertErrorText = GetLastErrorText();
    return FALSE;
  }
  meshes.Empty();
  ON_Mesh local;
  for (const AcDbObjectId& id : ids) {
    AcDbEntity* entity = nullptr;
    // An entity that cannot be read gives no mesh, like one that gives an invalid mesh.
    if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) continue;
    if (MeshFromFacetEntity(entity, local)) meshes.Append(local);
    entity->close();
  }
  if (meshes.Count() == 0) {
    ConvertErrorText = "Meshes not selected";
    return FALSE;
  }
  return TRUE;
}

BOOL MeshesFromSelection(const CString& prompt, BOOL highlight, ON_ClassArray<ON_Mesh>& meshes) {
  AcDbObjectIdArray ids(8);
  return MeshesFromSelection(prompt, highlight, meshes, ids);
}
