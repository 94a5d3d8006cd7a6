// ACISIN, the host's command that reads a SAT file into the drawing. It comes with the
// modeller, which the host itself does not include.
#include "core/ui.h"
#include "host/aced.h"
#include "host/host.h"
#include "modeler/solids.h"

namespace kv::modeler {
namespace {

// Asks for a SAT file through the file dialog and appends its bodies to model space. RTNORM
// when done or cancelled, RTERROR (with the status printed) when the file or the drawing
// refused.
int acisin(Host& host, CommandInput&) {
  FileRequest request;
  request.filters = {{"ACIS (*.sat)", "*.sat"}};
  request.defaultExt = "sat";
  std::string path;
  // Cancel ends the command quietly, as the host's dialog does; an input that ran out still
  // fails the script, which the command loop sees for itself.
  if (!host.userInterface().fileDialog(request, path)) return RTNORM;
  AcDbVoidPtrArray made;
  Acad::ErrorStatus es = AcDbBody::acisIn(path.c_str(), made);
  std::vector<AcDbEntity*> appended;
  if (es == Acad::eOk) {
    AcDbBlockTableRecord* space = nullptr;
    es = acdbOpenObject(space, host.database().modelSpaceId(), AcDb::kForWrite);
    for (int i = 0; es == Acad::eOk && i < made.length(); ++i) {
      auto* e = static_cast<AcDbEntity*>(made[i]);
      es = space->appendAcDbEntity(e);
      if (es != Acad::eOk) break;
      appended.push_back(e);
      made[i] = nullptr;
    }
    if (space) space->close();
  }
  for (int i = 0; i < made.length(); ++i) delete static_cast<AcDbEntity*>(made[i]);
  for (AcDbEntity* e : appended) {
    if (es != Acad::eOk) e->erase();
    e->close();
  }
  if (es == Acad::eOk) return RTNORM;
  const char* text = es == Acad::eFileNotFound                ? "File Not Found"
                     : es == Acad::eCannotRestoreFromAcisFile ? "Cannot Restore From Acis File"
                                                              : nullptr;
  std::string notice = "ACISIN: " + path + ": " + (text ? std::string(text) + " (" : "error status (") +
                       std::to_string(int(es)) + ")\n";
  host.userInterface().print(notice.c_str());
  return RTERROR;
}

const bool kRegistered = registerBuiltin("ACISIN", acisin);

}  // namespace
}  // namespace kv::modeler
