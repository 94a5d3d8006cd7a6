// SAT files in and out of modeller entities; see sat_acis.h.
#include "modeler/sat_acis.h"

#include <cerrno>
#include <vector>

#include <Standard_Failure.hxx>

#include "core/faults.h"
#include "core/files.h"
#include "modeler/occ_shape.h"
#include "modeler/sat_model.h"
#include "modeler/sat_reader.h"
#include "modeler/sat_writer.h"

namespace kv::modeler {

Acad::ErrorStatus satIn(const char* fileName, AcDbVoidPtrArray& entities, std::string* why) {
  if (int st = kv::fault::check(kv::fault::Call::acisIn, Acad::eCannotRestoreFromAcisFile)) return Acad::ErrorStatus(st);
  if (!fileName) return Acad::eInvalidInput;
  std::string text;
  if (int e = file::readWhole(fileName, text, sat::kMaxText)) {
    if (e == EFBIG) {
      if (why) *why = "file too large";
      return Acad::eCannotRestoreFromAcisFile;
    }
    if (why) *why = file::describe(e);
    return Acad::eFileNotFound;
  }
  return satInText(std::move(text), entities, why);
}

namespace {

Acad::ErrorStatus readText(std::string text, std::vector<sat::ReadBody>& bodies, std::string* why) {
  std::string error = "text too large";
  if (text.size() > sat::kMaxText || !sat::read(std::move(text), bodies, error)) {
    if (why) *why = error;
    return Acad::eCannotRestoreFromAcisFile;
  }
  return Acad::eOk;
}

}  // namespace

Acad::ErrorStatus satInText(std::string text, AcDbVoidPtrArray& entities, std::string* why) {
  std::vector<sat::ReadBody> bodies;
  if (Acad::ErrorStatus es = readText(std::move(text), bodies, why)) return es;
  std::vector<AcDbModelerEntity*> made;
  for (const sat::ReadBody& b : bodies) {
    AcDbModelerEntity* e = nullptr;
    if (b.kind == sat::BodyKind::Solid) e = new AcDb3dSolid;
    else if (b.kind == sat::BodyKind::Region) e = new AcDbRegion;
    else e = new AcDbBody;
    shapeOf(*e) = b.shape;
    made.push_back(e);
  }
  for (AcDbModelerEntity* e : made) entities.append(static_cast<AcDbEntity*>(e));
  return Acad::eOk;
}

Acad::ErrorStatus satInTextInto(std::string text, AcDbModelerEntity& entity, int& bodies, std::string* why) {
  std::vector<sat::ReadBody> read;
  if (Acad::ErrorStatus es = readText(std::move(text), read, why)) return es;
  bodies = int(read.size());
  if (read.empty()) return Acad::eOk;
  std::vector<TopoDS_Shape> shapes;
  for (const sat::ReadBody& b : read) shapes.push_back(b.shape);
  shapeOf(entity) = oneShape(shapes);
  return Acad::eOk;
}

Acad::ErrorStatus satOut(const char* fileName, const AcDbVoidPtrArray& entities) {
  if (int st = kv::fault::check(kv::fault::Call::acisOut, Acad::eFileAccessErr)) return Acad::ErrorStatus(st);
  if (!fileName) return Acad::eInvalidInput;
  std::string text;
  if (Acad::ErrorStatus es = satOutText(entities, text)) return es;
  return file::replace(fileName, text) == 0 ? Acad::eOk : Acad::eFileAccessErr;
}

Acad::ErrorStatus satOutText(const AcDbVoidPtrArray& entities, std::string& out) {
  std::vector<sat::WriteBody> bodies;
  for (int i = 0; i < entities.length(); ++i) {
    const auto* entity = static_cast<const AcDbEntity*>(entities[i]);
    const AcDbModelerEntity* m = AcDbModelerEntity::cast(entity);
    if (!m || m->isNull()) return Acad::eInvalidInput;
    sat::WriteBody b;
    b.shape = shapeOf(*m);
    b.kind = AcDb3dSolid::cast(entity) ? sat::BodyKind::Solid
             : AcDbRegion::cast(entity) ? sat::BodyKind::Region
                                        : sat::BodyKind::Body;
    bodies.push_back(b);
  }
  std::string text, error;
  if (!sat::write(bodies, text, error)) return Acad::eGeneralModelingFailure;
  out = std::move(text);
  return Acad::eOk;
}

}  // namespace kv::modeler

Acad::ErrorStatus AcDbBody::acisIn(const char* fileName, AcDbVoidPtrArray& entities) {
  return kv::modeler::satIn(fileName, entities);
}

Acad::ErrorStatus AcDbBody::acisOut(const char* fileName, const AcDbVoidPtrArray& entities) {
  return kv::modeler::satOut(fileName, entities);
}
