// SAT files in and out of modeller entities; see sat_acis.h.
#include "modeler/sat_acis.h"

#include <cstdio>
#include <memory>
#include <vector>

#include <Standard_Failure.hxx>

#include "host/faults.h"
#include "modeler/occ_shape.h"
#include "modeler/sat_model.h"
#include "modeler/sat_reader.h"
#include "modeler/sat_writer.h"
#include "win/crt.h"

namespace kv::modeler {

namespace {

// The whole file, or false when it cannot be opened. Files past the reader's limit are
// refused without reading them.
bool slurp(const std::string& path, std::string& text, bool& tooLarge) {
  tooLarge = false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> guard(f, &std::fclose);
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    if (size > 0 && std::size_t(size) > sat::kMaxText) {
      tooLarge = true;
      return true;
    }
    std::rewind(f);
  }
  char buf[1 << 16];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    text.append(buf, n);
    if (text.size() > sat::kMaxText) {
      tooLarge = true;
      return true;
    }
  }
  return !std::ferror(f);
}

}  // namespace

Acad::ErrorStatus satIn(const char* fileName, AcDbVoidPtrArray& entities, std::string* why) {
  if (int st = kv::fault::check("acisIn", Acad::eCannotRestoreFromAcisFile)) return Acad::ErrorStatus(st);
  if (!fileName) return Acad::eInvalidInput;
  std::string text;
  bool tooLarge = false;
  if (!slurp(kvNativePath(fileName), text, tooLarge)) return Acad::eFileNotFound;
  if (tooLarge) {
    if (why) *why = "file too large";
    return Acad::eCannotRestoreFromAcisFile;
  }
  return satInText(std::move(text), entities, why);
}

Acad::ErrorStatus satInText(std::string text, AcDbVoidPtrArray& entities, std::string* why) {
  std::string error = "text too large";
  std::vector<sat::ReadBody> bodies;
  if (text.size() > sat::kMaxText || !sat::read(std::move(text), bodies, error)) {
    if (why) *why = error;
    return Acad::eCannotRestoreFromAcisFile;
  }
  std::vector<AcDbModelerEntity*> made;
  for (const sat::ReadBody& b : bodies) {
    AcDbModelerEntity* e = nullptr;
    if (b.kind == sat::BodyKind::Solid) e = new AcDb3dSolid;
    else if (b.kind == sat::BodyKind::Region) e = new AcDbRegion;
    else e = new AcDbBody;
    e->data().shape = b.shape;
    made.push_back(e);
  }
  for (AcDbModelerEntity* e : made) entities.append(static_cast<AcDbEntity*>(e));
  return Acad::eOk;
}

Acad::ErrorStatus satOut(const char* fileName, const AcDbVoidPtrArray& entities) {
  if (int st = kv::fault::check("acisOut", Acad::eFileAccessErr)) return Acad::ErrorStatus(st);
  if (!fileName) return Acad::eInvalidInput;
  std::string text;
  if (Acad::ErrorStatus es = satOutText(entities, text)) return es;

  std::string path = kvNativePath(fileName);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return Acad::eFileAccessErr;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::remove(path.c_str());
    return Acad::eFileAccessErr;
  }
  return Acad::eOk;
}

Acad::ErrorStatus satOutText(const AcDbVoidPtrArray& entities, std::string& out) {
  std::vector<sat::WriteBody> bodies;
  for (int i = 0; i < entities.length(); ++i) {
    const auto* entity = static_cast<const AcDbEntity*>(entities[i]);
    const AcDbModelerEntity* m = AcDbModelerEntity::cast(entity);
    if (!m || m->isNull()) return Acad::eInvalidInput;
    sat::WriteBody b;
    b.shape = m->data().shape;
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
