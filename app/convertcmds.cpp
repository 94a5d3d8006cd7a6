// The conversion commands.
#include "app/commands.h"
#include "convert/meshread.h"
#include "convert/polyface.h"
#include "convert/solidmesh.h"
#include "dbutil/append.h"
#include "dbutil/errortext.h"
#include "dbutil/layer.h"
#include "dbutil/select.h"
#include "dbutil/sysvar.h"
#include "host/aced.h"
#include "modeler/solids.h"
#include "orvgui/orvgui.h"

double ToleranceFromResolution(int resolution) { return double(resolution) * 0.01 * 9.99 + 0.01; }

namespace {

// The settings of one run, read afresh at its start.
struct RunSettings {
  ORVRegistry store;
  int resolution;
  int warning;
  double tolerance;

  RunSettings() {
    store.SetKey(KAVLOR_REGISTRY_KEY, 1);
    resolution = store.ReadInt("Resolution", kDefaultResolution);
    warning = store.ReadBool("Warning", kDefaultWarning);
    tolerance = ToleranceFromResolution(resolution);
  }
};

void printSummary(int converted, int failed) {
  acutPrintf("\nSuccessfully converted %d solids", converted);
  if (failed > 0) acutPrintf(". %d objects could not be converted\n", failed);
  acutPrintf("\n");
}

// The entities a SAT import hands over: in no drawing, owned by the command to its end.
struct ImportedEntities {
  AcDbVoidPtrArray items;
  ~ImportedEntities() {
    for (void* item : items) static_cast<AcDbEntity*>(item)->close();  // outside a drawing: released
  }
};

// A source the host will not open for write (one on a locked layer) cannot be erased, and its
// mesh would land on the same layer, where it could not be taken out again either: such a
// source is kept and counted before anything is written.
bool sourceCanBeErased(const AcDbObjectId& id) {
  AcDbEntity* entity = nullptr;
  if (acdbOpenAcDbEntity(entity, id, AcDb::kForWrite) != Acad::eOk) return false;
  entity->close();
  return true;
}

}  // namespace

void ConvertSolidCommand() { ConvertSelectedSolids(); }
void ConvertSolidFileCommand() { ConvertSatFile(); }

void ConvertSelectedSolids() {
  RunSettings settings;
  AcDbObjectIdArray ids;
  if (!SelectObjects("", TRUE, ids)) {
    acutPrintf("Failure [%s]\n", GetLastErrorText().GetString());
    return;
  }
  ON_Mesh mesh;
  CString layer;
  AcCmColor color;
  int converted = 0, failed = 0;
  for (int i = 0; i < ids.length(); ++i) {
    if (!MeshFromEntityId(ids[i], mesh, &settings.tolerance)) {
      ++failed;
      continue;
    }
    // Without its own layer and colour the mesh would take the last object's, or the current.
    if (GetEntityLayerAndColor(ids[i], layer, color) != Acad::eOk) {
      ++failed;
      continue;
    }
    if (!sourceCanBeErased(ids[i])) {
      ++failed;
      continue;
    }
    AcDbObjectIdArray added;
    if (!PolyFaceMeshFromMesh(mesh, settings.warning, layer, color, added)) {
      ++failed;
      continue;
    }
    // A source the host will not erase stays; its mesh beside it would be a second copy.
    if (!EraseEntity(ids[i])) {
      EraseEntities(added);
      ++failed;
      continue;
    }
    ++converted;
  }
  printSummary(converted, failed);
}

void ConvertSatFile() {
  RunSettings settings;
  CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, "ACIS SAT Files (*.sat)|*.sat||",
                     nullptr, 76);
  if (dialog.DoModal() == IDCANCEL) return;
  CString path = dialog.GetPathName();

  ImportedEntities imported;
  Acad::ErrorStatus es = AcDbBody::acisIn(path, imported.items);
  if (es != Acad::eOk) {
    acutPrintf("Failure [%s]\n", ErrorStatusText(es).GetString());
    return;
  }
  CString layer;
  GetSysVarString("CLAYER", layer);
  AcCmColor color;
  ON_Mesh mesh;
  int converted = 0, failed = 0;
  for (void* item : imported.items) {
    auto* entity = static_cast<AcDbEntity*>(item);
    const void* body = nullptr;
    if (IsEntityOfClass(entity, "AcDb3dSolid")) body = static_cast<AcDb3dSolid*>(entity)->body();
    else if (IsEntityOfClass(entity, "AcDbBody")) body = static_cast<AcDbBody*>(entity)->body();
    else {
      ++failed;
      continue;
    }
    auto* solid = new AcDb3dSolid;
    solid->setBody(body);
    if (StlMeshFromSolid(solid, mesh, &settings.tolerance) != 1) ++failed;
    else if (PolyFaceMeshFromMesh(mesh, settings.warning, layer, color)) ++converted;
    else ++failed;
    solid->close();  // never in a drawing: released
  }
  printSummary(converted, failed);
}
