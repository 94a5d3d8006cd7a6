// DXFIN, the host's command that reads a DXF file into the open drawing, and the merge behind it.
#include "dxf/dxfin.h"

#include <memory>

#include "core/ui.h"
#include "dxf/dxf.h"
#include "host/aced.h"
#include "host/host.h"

namespace kv::dxf {

DrawingImport::~DrawingImport() {
  if (finished_) return;
  fail(Acad::eInvalidInput, "the import was not finished");
  finish();
}

bool DrawingImport::fail(Acad::ErrorStatus es, const std::string& what) {
  if (status_ == Acad::eOk) {
    status_ = es;
    error_ = what + " (status " + std::to_string(int(es)) + ")";
  }
  return false;
}

Acad::ErrorStatus DrawingImport::finish() {
  finished_ = true;
  // Newest first: entities go before the records they stand on.
  for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
    if (status_ != Acad::eOk) (*it)->erase();
    (*it)->close();
  }
  made_.clear();
  return status_;
}

template <class Table, class Record>
AcDbObjectId DrawingImport::existing(AcDbObjectId tableId, const char* name) {
  AcDbObjectId id;
  Table* table = nullptr;
  if (Acad::ErrorStatus es = acdbOpenObject(table, tableId, AcDb::kForRead)) {
    fail(es, "cannot open a table of the drawing");
    return id;
  }
  table->getAt(name, id);
  table->close();
  return id;
}

// A new record of the target, added to its table and left open for write; null on failure.
template <class Table, class Record>
Record* DrawingImport::make(AcDbObjectId tableId, const char* name, AcDbObjectId& id) {
  Table* table = nullptr;
  if (Acad::ErrorStatus es = acdbOpenObject(table, tableId, AcDb::kForWrite)) {
    fail(es, "cannot open a table of the drawing");
    return nullptr;
  }
  auto* record = new Record;
  Acad::ErrorStatus es = record->setName(name);
  if (es == Acad::eOk) es = table->add(id, record);
  table->close();
  if (es != Acad::eOk) {
    delete record;
    fail(es, std::string("the drawing refused the name '") + name + "'");
    return nullptr;
  }
  made_.push_back(record);
  return record;
}

AcDbObjectId DrawingImport::linetype(AcDbObjectId sourceLinetype) {
  if (auto it = mapped_.find(sourceLinetype); it != mapped_.end()) return it->second;
  AcDbLinetypeTableRecord* from = nullptr;
  if (Acad::ErrorStatus es = acdbOpenObject(from, sourceLinetype, AcDb::kForRead)) {
    fail(es, "cannot open a linetype of the file");
    return AcDbObjectId();
  }
  const std::string name = from->getName(), comments = from->comments();
  from->close();
  AcDbObjectId id = existing<AcDbLinetypeTable, AcDbLinetypeTableRecord>(target_.linetypeTableId(), name.c_str());
  if (id.isNull() && status_ == Acad::eOk) {
    if (auto* made = make<AcDbLinetypeTable, AcDbLinetypeTableRecord>(target_.linetypeTableId(), name.c_str(), id))
      made->setComments(comments.c_str());
  }
  if (status_ != Acad::eOk) return AcDbObjectId();
  mapped_[sourceLinetype] = id;
  return id;
}

// What a new layer takes over from the file's.
struct LayerLook {
  std::string name;
  AcCmColor color;
  bool off, frozen, locked;
  AcDbObjectId linetype;
};

AcDbObjectId DrawingImport::layer(AcDbObjectId sourceLayer) {
  if (auto it = mapped_.find(sourceLayer); it != mapped_.end()) return it->second;
  AcDbLayerTableRecord* from = nullptr;
  if (Acad::ErrorStatus es = acdbOpenObject(from, sourceLayer, AcDb::kForRead)) {
    fail(es, "cannot open a layer of the file");
    return AcDbObjectId();
  }
  LayerLook look{from->getName(), from->color(), from->isOff(), from->isFrozen(), from->isLocked(),
                 from->linetypeObjectId()};
  from->close();
  AcDbObjectId id = existing<AcDbLayerTable, AcDbLayerTableRecord>(target_.layerTableId(), look.name.c_str());
  if (id.isNull() && status_ == Acad::eOk) {
    AcDbObjectId lt = look.linetype.isNull() ? AcDbObjectId() : linetype(look.linetype);
    AcDbLayerTableRecord* made = nullptr;
    if (status_ == Acad::eOk) made = make<AcDbLayerTable, AcDbLayerTableRecord>(target_.layerTableId(), look.name.c_str(), id);
    if (made) {
      made->setColor(look.color);
      made->setIsOff(look.off);
      made->setIsFrozen(look.frozen);
      made->setIsLocked(look.locked);
      if (!lt.isNull()) made->setLinetypeObjectId(lt);
    }
  }
  if (status_ != Acad::eOk) return AcDbObjectId();
  mapped_[sourceLayer] = id;
  return id;
}

AcDbObjectId DrawingImport::block(AcDbObjectId sourceBlock) {
  if (auto it = mapped_.find(sourceBlock); it != mapped_.end()) return it->second;
  AcDbBlockTableRecord* from = nullptr;
  if (Acad::ErrorStatus es = acdbOpenObject(from, sourceBlock, AcDb::kForRead)) {
    fail(es, "cannot open a block of the file");
    return AcDbObjectId();
  }
  const std::string name = from->getName();
  const std::vector<AcDbObjectId> entities = from->entityIds();
  from->close();
  AcDbObjectId id = existing<AcDbBlockTable, AcDbBlockTableRecord>(target_.blockTableId(), name.c_str());
  if (!id.isNull() || status_ != Acad::eOk) {
    if (!id.isNull()) mapped_[sourceBlock] = id;
    return id;
  }
  auto* made = make<AcDbBlockTable, AcDbBlockTableRecord>(target_.blockTableId(), name.c_str(), id);
  if (!made) return AcDbObjectId();
  // Known before its entities come, so that one of them naming the block finds it.
  mapped_[sourceBlock] = id;
  for (AcDbObjectId e : entities)
    if (!e.isErased() && entity(e, *made) != Acad::eOk) return AcDbObjectId();
  return id;
}

Acad::ErrorStatus DrawingImport::entity(AcDbObjectId sourceEntity, AcDbBlockTableRecord& owner) {
  if (status_ != Acad::eOk) return status_;
  AcDbEntity* original = nullptr;
  if (Acad::ErrorStatus es = acdbOpenAcDbEntity(original, sourceEntity, AcDb::kForRead)) {
    fail(es, "cannot open an entity of the file");
    return status_;
  }
  AcDbEntity* copy = AcDbEntity::cast(original->clone());
  if (!copy) fail(Acad::eNotApplicable, std::string("cannot copy ") + original->isA()->dxfName());
  else copyInto(copy, *original, owner);
  original->close();
  return status_;
}

// The copy enters the target first, then takes the target's layer and linetype, so that the
// target is the database those records are looked for in.
Acad::ErrorStatus DrawingImport::copyInto(AcDbEntity* copy, const AcDbEntity& original, AcDbBlockTableRecord& owner) {
  AcDbObjectId layerId = original.layerId().isNull() ? AcDbObjectId() : layer(original.layerId());
  AcDbObjectId linetypeId = original.linetypeId().isNull() ? AcDbObjectId() : linetype(original.linetypeId());
  if (status_ != Acad::eOk) {
    delete copy;
    return status_;
  }
  if (Acad::ErrorStatus es = owner.appendAcDbEntity(copy)) {
    delete copy;
    fail(es, "the drawing refused an entity");
    return status_;
  }
  made_.push_back(copy);
  Acad::ErrorStatus es = layerId.isNull() ? Acad::eOk : copy->setLayer(layerId);
  if (es == Acad::eOk && !linetypeId.isNull()) es = copy->setLinetype(linetypeId);
  if (es != Acad::eOk) fail(es, "an entity refused its layer or linetype");
  else ++copied_;
  return status_;
}

Acad::ErrorStatus importModelSpace(AcDbDatabase& source, AcDbDatabase& target, int& count, std::string& error) {
  AcDbBlockTableRecord* from = nullptr;
  if (Acad::ErrorStatus es = acdbOpenObject(from, source.modelSpaceId(), AcDb::kForRead)) {
    error = "cannot open the file's model space (status " + std::to_string(int(es)) + ")";
    return es;
  }
  const std::vector<AcDbObjectId> entities = from->entityIds();
  from->close();
  AcDbBlockTableRecord* space = nullptr;
  if (Acad::ErrorStatus es = acdbOpenObject(space, target.modelSpaceId(), AcDb::kForWrite)) {
    error = "cannot open model space (status " + std::to_string(int(es)) + ")";
    return es;
  }
  DrawingImport merge(source, target);
  for (AcDbObjectId id : entities)
    if (!id.isErased() && merge.entity(id, *space) != Acad::eOk) break;
  space->close();
  Acad::ErrorStatus es = merge.finish();
  if (es != Acad::eOk) error = merge.error();
  else count = merge.entitiesCopied();
  return es;
}

namespace {

// What the file held that the reader does not, so that the user knows it did not come in.
void noteNotRead(UserInterface& ui, const ReadReport& report) {
  std::string list;
  for (const auto& [type, n] : report.unsupported) list += ", " + std::to_string(n) + " " + type;
  if (report.skipped > 0) list += ", " + std::to_string(report.skipped) + " unreadable";
  if (!list.empty()) ui.print(("DXFIN: not read: " + list.substr(2) + "\n").c_str());
}

// A program (acedCommand) names the file on the command line; a user typing DXFIN gets the
// file dialog, as with FILEDIA 1. False when no name came.
bool askFile(Host& host, CommandInput& in, std::string& path) {
  if (in.fromProgram()) return in.next("Enter name of file to import: ", path) && !path.empty();
  FileRequest request;
  request.filters = {{"DXF (*.dxf)", "*.dxf"}};
  request.defaultExt = "dxf";
  return host.userInterface().fileDialog(request, path);
}

// RTNORM when the file came in whole (or the user cancelled the dialog), RTERROR with the reason
// printed when it could not be read or merged; the drawing is then as it was.
int dxfin(Host& host, CommandInput& in) {
  std::string path;
  if (!askFile(host, in, path)) return in.fromProgram() ? RTCAN : RTNORM;
  std::unique_ptr<AcDbDatabase> source;
  std::string error;
  ReadReport report;
  if (readDrawing(path, source, error, &report) != Acad::eOk) {
    host.userInterface().print(("DXFIN: " + error + "\n").c_str());
    return RTERROR;
  }
  int count = 0;
  if (importModelSpace(*source, host.database(), count, error) != Acad::eOk) {
    host.userInterface().print(("DXFIN: " + path + ": " + error + "\n").c_str());
    return RTERROR;
  }
  noteNotRead(host.userInterface(), report);
  return RTNORM;
}

const bool kRegistered = registerBuiltin("DXFIN", dxfin);

}  // namespace
}  // namespace kv::dxf
