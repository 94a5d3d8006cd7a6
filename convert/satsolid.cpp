#include "satsolid.h"

#include <cstdlib>

#include "convert/meshread.h"
#include "dbutil/errortext.h"
#include "dbutil/layer.h"
#include "kolib/koacis.h"
#include "win/crt.h"

namespace {

constexpr const char* kNoTemporaryFile = "Unable to write temporary file";
constexpr const char* kNoCopy = "Error processing solid";

// A name no file has yet, in the folder "temp" names; empty when none can be made.
CString temporaryPath() {
  char* name = _tempnam(getenv("temp"), "ORV");
  if (!name) return CString();
  CString path(name);
  free(name);
  return path;
}

// Writes the SAT file with write(path), imports it into entities and deletes it, whatever the
// import answered. A writer that fails leaves no file, so nothing is imported or deleted.
template <class Write>
BOOL importThroughSat(Write write, AcDbVoidPtrArray& entities) {
  CString path = temporaryPath();
  if (path.IsEmpty()) {
    SolidErrorText = kNoTemporaryFile;
    return FALSE;
  }
  if (!write(path)) {
    CString why = KOACISMesh::GetError();
    SolidErrorText = why.IsEmpty() ? CString(kNoTemporaryFile) : why;
    return FALSE;
  }
  Acad::ErrorStatus es = AcDbBody::acisIn(path, entities);
  _unlink(path);
  if (es != Acad::eOk) {
    SolidErrorText = ErrorStatusText(es);
    return FALSE;
  }
  return TRUE;
}

// Entities of an import list are in no drawing: closing them releases them.
void releaseAll(AcDbVoidPtrArray& entities) {
  for (void* entity : entities) static_cast<AcDbEntity*>(entity)->close();
  entities.removeAll();
}

// Hands source's modeller data to target through a copy of source, as the host's objects give
// their bodies; setBody copies, so the copy goes at once.
BOOL copyBodyByClone(const AcDbModelerEntity& source, AcDb3dSolid* target) {
  auto* copy = AcDbModelerEntity::cast(source.clone());
  if (!copy) {
    SolidErrorText = kNoCopy;
    return FALSE;
  }
  // A refused setBody would leave the target's old data standing in for the source's.
  Acad::ErrorStatus es = target->setBody(copy->body());
  copy->close();
  if (es != Acad::eOk) {
    SolidErrorText = ErrorStatusText(es);
    return FALSE;
  }
  return TRUE;
}

// The first imported entity's data into solid; every imported entity is released.
BOOL takeFirstBody(AcDbVoidPtrArray& imported, AcDb3dSolid* solid) {
  AcDbEntity* first = imported.isEmpty() ? nullptr : static_cast<AcDbEntity*>(imported.first());
  if (!first || !(IsEntityOfClass(first, "AcDb3dSolid") || IsEntityOfClass(first, "AcDbBody"))) {
    releaseAll(imported);
    SolidErrorText = "Mesh does not describe a solid object";
    return FALSE;
  }
  Acad::ErrorStatus es = solid->setBody(static_cast<AcDbModelerEntity*>(first)->body());
  releaseAll(imported);
  if (es != Acad::eOk) {
    SolidErrorText = ErrorStatusText(es);
    return FALSE;
  }
  return TRUE;
}

// Of the mesh entities, through the mesh they hold; the reader's reason when it fails.
template <class Read>
BOOL readMesh(Read read, ON_Mesh& mesh) {
  if (read(mesh)) return TRUE;
  SolidErrorText = GetConvertErrorText();
  return FALSE;
}

BOOL solidFromOpenEntity(AcDbEntity* entity, AcDb3dSolid* solid) {
  auto is = [entity](const char* className) { return IsEntityOfClass(entity, className); };
  if (is("AcDbPolyFaceMesh") || is("AcDbPolygonMesh")) {
    ON_Mesh local;
    if (!readMesh([entity](ON_Mesh& m) { return MeshFromFacetEntity(entity, m); }, local)) return FALSE;
    return SatSolidFromMesh(local, solid);
  }
  if (is("AcDb3dSolid") || is("AcDbBody")) return copyBodyByClone(*static_cast<AcDbModelerEntity*>(entity), solid);
  SolidErrorText = "Object is not a mesh or solid";
  return FALSE;
}

}  // namespace

BOOL SatSolidFromMesh(const ON_Mesh& mesh, AcDb3dSolid* solid) {
  AcDbVoidPtrArray imported;
  auto write = [&mesh](const CString& path) { return KOACISMesh::MeshToSAT(mesh, path, 1) != 0; };
  if (!importThroughSat(write, imported)) {
    releaseAll(imported);
    return FALSE;
  }
  if (!takeFirstBody(imported, solid)) return FALSE;
  if (Acad::ErrorStatus es = solid->cleanBody()) {
    SolidErrorText = ErrorStatusText(es);
    return FALSE;
  }
  return 1;
}

BOOL SatSolidFromPolyFaceMesh(AcDbPolyFaceMesh* polyface, AcDb3dSolid* solid) {
  ON_Mesh local;
  if (!readMesh([polyface](ON_Mesh& m) { return MeshFromPolyFaceMesh(polyface, m); }, local)) return FALSE;
  return SatSolidFromMesh(local, solid);
}

BOOL SatSolidFromPolygonMesh(AcDbPolygonMesh* polygon, AcDb3dSolid* solid) {
  ON_Mesh local;
  if (!readMesh([polygon](ON_Mesh& m) { return MeshFromPolygonMesh(polygon, m); }, local)) return FALSE;
  return SatSolidFromMesh(local, solid);
}

BOOL SolidFromEntityId(const AcDbObjectId& id, AcDb3dSolid* solid) {
  AcDbEntity* entity = nullptr;
  if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) {
    SolidErrorText = "Unable to read object";
    return FALSE;
  }
  BOOL ok = solidFromOpenEntity(entity, solid);
  entity->close();
  return ok;
}

BOOL SolidsFromEntityIds(const AcDbObjectIdArray& ids, AcDbVoidPtrArray& solids) {
  solids.removeAll();
  for (const AcDbObjectId& id : ids) {
    auto* solid = new AcDb3dSolid;
    if (SolidFromEntityId(id, solid)) {
      auto* kept = AcDb3dSolid::cast(solid->clone());
      if (kept) solids.append(static_cast<AcDbEntity*>(kept));
      else SolidErrorText = kNoCopy;
    }
    solid->close();  // in no drawing: released
  }
  if (solids.isEmpty()) {
    SolidErrorText = "Unable to solidify objects";
    return FALSE;
  }
  return 1;
}

BOOL SatEntitiesFromMesh(const ON_Mesh& mesh, AcDbVoidPtrArray& entities, int option) {
  auto write = [&mesh, option](const CString& path) { return KOACISMesh::MeshToSAT(mesh, path, option) != 0; };
  return importThroughSat(write, entities) ? 1 : 0;
}

BOOL SatEntitiesFromMeshes(const ON_ClassArray<ON_Mesh>& meshes, AcDbVoidPtrArray& entities, int option1,
                           int option2) {
  auto write = [&meshes, option1, option2](const CString& path) {
    return KOACISMesh::MeshToSAT(meshes, path, option1, option2) != 0;
  };
  return importThroughSat(write, entities) ? 1 : 0;
}

BOOL SatEntitiesFromPolyFaceMesh(AcDbPolyFaceMesh* polyface, AcDbVoidPtrArray& entities) {
  ON_Mesh local;
  if (!readMesh([polyface](ON_Mesh& m) { return MeshFromPolyFaceMesh(polyface, m); }, local)) return FALSE;
  return SatEntitiesFromMesh(local, entities, 1);
}

BOOL SatEntitiesFromPolygonMesh(AcDbPolygonMesh* polygon, AcDbVoidPtrArray& entities) {
  ON_Mesh local;
  if (!readMesh([polygon](ON_Mesh& m) { return MeshFromPolygonMesh(polygon, m); }, local)) return FALSE;
  return SatEntitiesFromMesh(local, entities, 1);
}

BOOL MeshesFromEntityIds(const AcDbObjectIdArray& ids, ON_ClassArray<ON_Mesh>& meshes, const double* facetres) {
  meshes.Destroy();
  ON_Mesh local;
  for (const AcDbObjectId& id : ids)
    if (MeshFromEntityId(id, local, facetres)) meshes.Append(local);
  return 1;
}

BOOL SolidFromBody(AcDbBody* body, AcDb3dSolid* solid) {
  if (!copyBodyByClone(*body, solid)) return FALSE;
  return solid->isNull() ? FALSE : 1;
}
