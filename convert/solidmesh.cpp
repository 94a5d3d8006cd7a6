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
    // An unreadable FACETRES is left alone: a value set over it could never be put back.
    restore_ = GetSysVarReal("FACETRES", saved_) != 0;
    if (restore_) SetSysVarReal("FACETRES", *facetres);
  }
  ~FacetresScope() {
    // A FACETRES left at the export's value would facet every later solid of the session at
    // it: a refused write gets a second try.
    if (active_ && restore_ && !SetSysVarReal("FACETRES", saved_)) SetSysVarReal("FACETRES", saved_);
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
  // A copy that did not move would come back displaced by the offset: as good as none.
  if (copy && copy->transformBy(move) != Acad::eOk) {
    copy->close();  // outside the drawing: released
    copy = nullptr;
  }
  copied = copy != nullptr;
  if (!copy) return Acad::eOutOfMemory;
  AcDbObjectId id;
  bool inDrawing = AppendEntity(copy, id) == Acad::eOk;
  Acad::ErrorStatus es = copy->stlOut(path, false);
  // Erased while still open from its append: on a locked layer (the source's, or the current
  // one) the host would not open it again to erase it.
  bool gone = !inDrawing || copy->erase() == Acad::eOk;
  // In the drawing close() only ends the open; outside it, close() releases the copy.
  copy->close();
  // The copy must not outlive the export in the drawing: a refused erase gets a second try.
  if (!gone && !EraseEntity(id)) EraseEntity(id);
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

namespace {

// Runs convert on a temporary solid holding a copy of the body's data; it never enters the
// drawing and is released before returning.
template <class Convert>
BOOL throughTemporarySolid(AcDbBody* body, Convert convert) {
  bool copied = false;
  AcDb3dSolid* solid = solidFromBody(body, copied);
  if (!copied) {
    SolidErrorText = "Error processing solid";
    return FALSE;
  }
  if (!solid) return FALSE;
  BOOL ok = convert(solid);
  solid->close();
  return ok;
}

}  // namespace

BOOL MeshFromBody(AcDbBody* body, ON_Mesh& mesh, const double* facetres) {
  return throughTemporarySolid(body, [&](AcDb3dSolid* solid) { return StlMeshFromSolid(solid, mesh, facetres); });
}

BOOL PolyFaceFromSolid(AcDb3dSolid* solid, AcDbPolyFaceMesh* polyface, const double* facetres) {
  ON_Mesh local;
  if (StlMeshFromSolid(solid, local, facetres) != 1) return FALSE;
  if (FillPolyFaceMesh(local, polyface)) return 1;
  SolidErrorText = GetConvertErrorText();
  return FALSE;
}

BOOL PolyFaceFromBody(AcDbBody* body, AcDbPolyFaceMesh* polyface, const double* facetres) {
  return throughTemporarySolid(body,
                               [&](AcDb3dSolid* solid) { return PolyFaceFromSolid(solid, polyface, facetres); });
}
