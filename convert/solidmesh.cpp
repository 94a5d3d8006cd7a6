#include "solidmesh.h"

#include <cstdlib>

#include "convert/polyface.h"
#include "dbutil/append.h"
#include "dbutil/errortext.h"
#include "dbutil/sysvar.h"
#include "kolib/kostl.h"
#include "modeler/solids.h"
#include "win/crt.h"

namespace {

// Sets FACETRES for one export and puts the old value back however the export ends.
class FacetresScope {
public:
  explicit FacetresScope(const double* facetres) : active_(facetres != nullptr) {
    if (!active_) return;
    // An unreadable FACETRES is not written back: there is nothing sound to restore.
    restore_ = GetSysVarReal("FACETRES", saved_) != 0;
    SetSysVarReal("FACETRES", *facetres);
  }
  ~FacetresScope() {
    if (active_ && restore_) SetSysVarReal("FACETRES", saved_);
  }
  FacetresScope(const FacetresScope&) = delete;
  FacetresScope& operator=(const FacetresScope&) = delete;

private:
  bool active_;
  bool restore_ = false;
  double saved_ = 0;
};

// Exports a copy moved by offset: appended to model space for the export, erased after it.
Acad::ErrorStatus exportMovedCopy(const AcDb3dSolid* solid, const AcGeVector3d& offset, const CString& path,
                                  bool& copied) {
  AcGeMatrix3d move;
  move.setToTranslation(offset);
  auto* copy = AcDb3dSolid::cast(solid->clone());
  copied = copy != nullptr;
  if (!copy) return Acad::eOutOfMemory;
  copy->transformBy(move);
  AcDbObjectId id;
  bool inDrawing = AppendEntity(copy, id) == Acad::eOk;
  Acad::ErrorStatus es = copy->stlOut(path, false);
  // In the drawing close() only ends the open; outside it, close() releases the copy.
  copy->close();
  if (inDrawing) EraseEntity(id);
  return es;
}

// Fills a temporary solid with a copy of the body's modeller data; null when there is none.
AcDb3dSolid* solidFromBody(const AcDbBody* body, bool& copied) {
  auto* copy = AcDbBody::cast(body->clone());
  copied = copy != nullptr;
  if (!copy) return nullptr;
  auto* solid = new AcDb3dSolid;
  solid->setBody(copy->body());  // copies: the body's copy can go at once
  copy->close();
  if (solid->isNull()) {
    solid->close();
    return nullptr;
  }
  return solid;
}

}  // namespace

BOOL StlMeshFromSolid(AcDb3dSolid* solid, ON_Mesh& mesh, const double* facetres) {
  AcDbExtents extents;
  if (Acad::ErrorStatus es = solid->getGeomExtents(extents)) {
    SolidErrorText = ErrorStatusText(es);
    return FALSE;
  }
  bool shift = false;
  AcGeVector3d offset;
  for (unsigned axis = 0; axis < 3; ++axis) {
    if (extents.minPoint()[axis] < 0.0) {
      shift = true;
      offset[axis] = -extents.minPoint()[axis];
    }
  }

  Acad::ErrorStatus exported = Acad::eOk;
  CString path;
  {
    FacetresScope scope(facetres);
    const char* temp = getenv("temp");
    if (!temp) {
      SolidErrorText = "Unable to write temporary file";
      return FALSE;
    }
    path.Format("%s\\ORVTemp.stl", temp);
    if (!shift) {
      exported = solid->stlOut(path, false);
    } else {
      bool copied = false;
      exported = exportMovedCopy(solid, offset, path, copied);
      if (!copied) {
        SolidErrorText = "Error processing solid";
        return FALSE;
      }
    }
  }
  if (exported != Acad::eOk) {
    SolidErrorText = "Unable to write temporary file";
    return FALSE;
  }
  if (!KOSTL::STLToMesh(path, mesh)) {
    SolidErrorText = CString(KOSTL::GetError());
    return FALSE;
  }
  _unlink(path);
  if (shift) mesh.Translate(ON_3dVector(-offset.x, -offset.y, -offset.z));
  return 1;
}

BOOL MeshFromBody(AcDbBody* body, ON_Mesh& mesh, const double* facetres) {
  bool copied = false;
  AcDb3dSolid* solid = solidFromBody(body, copied);
  if (!copied) {
    SolidErrorText = "Error processing solid";
    return FALSE;
  }
  if (!solid) return FALSE;
  BOOL ok = StlMeshFromSolid(solid, mesh, facetres);
  solid->close();
  return ok;
}

BOOL PolyFaceFromSolid(AcDb3dSolid* solid, AcDbPolyFaceMesh* polyface, const double* facetres) {
  ON_Mesh local;
  if (StlMeshFromSolid(solid, local, facetres) != 1) return FALSE;
  if (FillPolyFaceMesh(local, polyface)) return 1;
  SolidErrorText = GetConvertErrorText();
  return FALSE;
}

BOOL PolyFaceFromBody(AcDbBody* body, AcDbPolyFaceMesh* polyface, const double* facetres) {
  bool copied = false;
  AcDb3dSolid* solid = solidFromBody(body, copied);
  if (!copied) {
    SolidErrorText = "Error processing solid";
    return FALSE;
  }
  if (!solid) return FALSE;
  BOOL ok = PolyFaceFromSolid(solid, polyface, facetres);
  solid->close();
  return ok;
}
