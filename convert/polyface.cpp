#include "polyface.h"

#include "dbutil/append.h"
#include "dbutil/errortext.h"
#include "host/aced.h"

namespace {

constexpr int kHostLimit = 32767;

// Indexes outside the vertex list would be read, or written as face records, unchecked.
bool indexesInRange(const ON_Mesh& mesh) {
  const int n = mesh.VertexCount();
  for (const ON_MeshFace& f : mesh.m_F)
    for (int k : f.vi)
      if (k < 0 || k >= n) return false;
  return true;
}

void showLimitBox(int vertices, int faces) {
  CString text;
  text.Format(
      "The mesh contains %d vertices and %d faces.\n\nAutoCAD does not allow a PolyFace Mesh to contain more than "
      "32,767 vertices and/or faces. Due to this AutoCAD limitation the mesh will be created as a set of 3D Faces "
      "and not a single PolyFace Mesh.",
      vertices, faces);
  MessageBoxA(adsw_acadMainWnd(), text, "AutoCAD limitation", MB_ICONINFORMATION);
}

bool refusedForLimit(Acad::ErrorStatus es) {
  return es == Acad::eInvalidFaceVertexIndex || es == Acad::eInvalidMeshVertexIndex;
}

BOOL facesFromMesh(const ON_Mesh& mesh, const CString& layer, const AcCmColor& color, AcDbObjectIdArray& added) {
  if (!indexesInRange(mesh)) {
    ConvertErrorText = "Invalid mesh";
    return FALSE;
  }
  for (int j = 0; j < mesh.FaceCount(); ++j) {
    auto* face = new AcDbFace;
    for (Adesk::UInt16 k = 0; k < 4; ++k) {
      const ON_3fPoint& p = mesh.m_V[mesh.m_F[j].vi[k]];
      face->setVertexAt(k, AcGePoint3d(p.x, p.y, p.z));
    }
    AcDbObjectId id;
    Acad::ErrorStatus es = AppendEntityWithLayerAndColor(face, layer, color, id, nullptr);
    face->close();
    if (es != Acad::eOk) {
      ConvertErrorText = ErrorStatusText(es);
      // A half-written mesh beside its kept source would be worse than none.
      EraseEntities(added);
      return FALSE;
    }
    added.append(id);
  }
  return TRUE;
}

}  // namespace

BOOL FillPolyFaceMesh(const ON_Mesh& mesh, AcDbPolyFaceMesh* polyface, Acad::ErrorStatus* status) {
  auto refuse = [&](Acad::ErrorStatus es) {
    *status = es;
    ConvertErrorText = ErrorStatusText(es);
    return FALSE;
  };
  for (int i = 0; i < mesh.VertexCount(); ++i) {
    if (Acad::ErrorStatus es = AppendPolyFaceVertex(polyface, AcGePoint3d(mesh.m_V[i].x, mesh.m_V[i].y, mesh.m_V[i].z)))
      return refuse(es);
  }
  for (int j = 0; j < mesh.FaceCount(); ++j) {
    const int* vi = mesh.m_F[j].vi;
    // Past the host's limit an index no longer fits a face record: refuse as the host does.
    for (int k = 0; k < 4; ++k)
      if (vi[k] < 0 || vi[k] >= kHostLimit) return refuse(Acad::eInvalidFaceVertexIndex);
    short d = vi[2] == vi[3] ? 0 : short(vi[3] + 1);
    if (Acad::ErrorStatus es = AppendPolyFaceRecord(polyface, short(vi[0] + 1), short(vi[1] + 1), short(vi[2] + 1), d))
      return refuse(es);
  }
  *status = Acad::eOk;
  return TRUE;
}

BOOL FillPolyFaceMesh(const ON_Mesh& mesh, AcDbPolyFaceMesh* polyface) {
  Acad::ErrorStatus status = Acad::eOk;
  return FillPolyFaceMesh(mesh, polyface, &status);
}

BOOL PolyFaceMeshFromMesh(const ON_Mesh& mesh, BOOL warn, const CString& layer, const AcCmColor& color) {
  AcDbObjectIdArray added;
  return PolyFaceMeshFromMesh(mesh, warn, layer, color, added);
}

BOOL PolyFaceMeshFromMesh(const ON_Mesh& mesh, BOOL warn, const CString& layer, const AcCmColor& color,
                          AcDbObjectIdArray& added) {
  const int vertices = mesh.VertexCount(), faces = mesh.FaceCount();
  if (!indexesInRange(mesh)) {
    ConvertErrorText = "Invalid mesh";
    return FALSE;
  }
  Acad::ErrorStatus status = Acad::eOk;
  if (vertices > kHostLimit || faces > kHostLimit) {
    // The host would refuse it; no face record may carry an index past 16 bits.
    status = vertices > kHostLimit ? Acad::eInvalidMeshVertexIndex : Acad::eInvalidFaceVertexIndex;
    ConvertErrorText = ErrorStatusText(status);
  } else {
    auto* polyface = new AcDbPolyFaceMesh;
    FillPolyFaceMesh(mesh, polyface, &status);
    if (status == Acad::eOk) {
      AcDbObjectId id;
      Acad::ErrorStatus es = AppendEntityWithLayerAndColor(polyface, layer, color, id, nullptr);
      polyface->close();  // in the drawing, or released when it never got there
      if (es != Acad::eOk) {
        ConvertErrorText = ErrorStatusText(es);
        return FALSE;
      }
      added.append(id);
      return TRUE;
    }
    polyface->close();
  }
  if (!refusedForLimit(status)) return FALSE;
  if (warn) showLimitBox(vertices, faces);
  AcDbObjectIdArray faceIds;
  if (!facesFromMesh(mesh, layer, color, faceIds)) return FALSE;
  for (const AcDbObjectId& id : faceIds) added.append(id);
  return TRUE;
}

BOOL FacesFromMesh(const ON_Mesh& mesh, const CString& layer, const AcCmColor& color) {
  AcDbObjectIdArray added;
  return facesFromMesh(mesh, layer, color, added);
}

BOOL FacesFromMeshes(const ON_ClassArray<ON_Mesh>& meshes, const CString& layer, const AcCmColor& color) {
  BOOL all = TRUE;
  for (const ON_Mesh& mesh : meshes)
    if (!FacesFromMesh(mesh, layer, color)) all = FALSE;
  return all;
}

BOOL PolyFaceMeshesFromMeshes(const ON_ClassArray<ON_Mesh>& meshes, BOOL warn, const CString& layer,
                              const AcCmColor& color) {
  BOOL all = TRUE;
  for (const ON_Mesh& mesh : meshes)
    if (!PolyFaceMeshFromMesh(mesh, warn, layer, color)) all = FALSE;
  return all;
}
