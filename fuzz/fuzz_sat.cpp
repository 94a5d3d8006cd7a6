// The SAT reader behind AcDbBody::acisIn on arbitrary text: a status, and on success one
// modeller entity per body with a shape in it. Solids then go on as KVConvertSolidFile takes
// them, faceted into STL, so that a shape the reader accepts but the modeller cannot mesh
// shows up here too.
#include "fuzz_input.h"
#include "host/host.h"
#include "testing/recording_ui.h"
#include "modeler/sat_acis.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kv::RecordingUI ui;
  static kv::Host host(ui);
  static kv::fuzz::TempFile file(".sat");
  static kv::fuzz::TempFile stl(".stl");
  AcDbVoidPtrArray entities;
  std::string why;
  Acad::ErrorStatus st = kv::modeler::satIn(file.write(data, size).c_str(), entities, &why);
  if (st != Acad::eOk) {
    kv::fuzz::require(st == Acad::eCannotRestoreFromAcisFile, "a bad file is eCannotRestoreFromAcisFile");
    kv::fuzz::require(entities.length() == 0, "a refused file appends nothing");
    kv::fuzz::require(!why.empty(), "a refusal gives a reason");
    return 0;
  }
  for (int i = 0; i < entities.length(); ++i) {
    auto* entity = static_cast<AcDbEntity*>(entities[i]);
    const AcDbModelerEntity* m = AcDbModelerEntity::cast(entity);
    kv::fuzz::require(m && !m->isNull(), "every entity read holds a shape");
    if (const AcDb3dSolid* solid = AcDb3dSolid::cast(entity)) {
      Acad::ErrorStatus out = solid->stlOut(stl.path().c_str(), false);
      kv::fuzz::require(out == Acad::eOk || out == Acad::eGeneralModelingFailure || out == Acad::eNullExtents,
                        "a solid read facets or says why not");
    }
    delete entity;
  }
  return 0;
}
