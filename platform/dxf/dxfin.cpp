// DXFIN, the host's command that reads a DXF file into the open drawing, and the merge behind it.
#include "dxf/dxfin.h"

#include <strings.h>

#include <cassert>
#include <cstring>
#include <memory>
#include <set>
#include <string_view>

#include "core/numbers.h"
#include "core/ui.h"
#include "dxf/dxf.h"
#include "dxf/dxf_kept.h"
#include "dxf/dxf_tags.h"
#include "host/access.h"
#include "host/aced.h"
#include "host/annotations.h"
#include "host/host.h"
#include "host/kept.h"

namespace kv::dxf {

namespace {

// Codes whose value is the handle of another object.
bool isPointer(int code) {
  return (code >= 320 && code <= 369) || (code >= 390 && code <= 399) || code == 480 || code == 481 || code == 1005;
}

// Reactors name the objects that watch this one; none of them comes along.
bool opensReactors(int code, std::string_view value) {
  return code == 102 && kv::trimBlanks(value) == "{ACAD_REACTORS";
}

// Calls f(code, value, handle) for each pair of packed outside reactor groups; handle is the
// value read as a handle for a pointer or a sub-entity's own handle (after a 0 pair), else 0.
template <class F>
void eachPair(std::string_view packed, F f) {
  PackedReader r(packed);
  int code = 0;
  std::string_view value;
  bool reactors = false, started = false;
  while (r.next(code, value)) {
    if (reactors || opensReactors(code, value)) {
      reactors = !(code == 102 && kv::trimBlanks(value) == "}");
      continue;
    }
    if (code == 0) started = true;
    bool handle = isPointer(code) || (started && (code == 5 || code == 105));
    f(code, value, handle ? parseHandle(value) : std::uint64_t(0));
  }
}

std::set<std::uint64_t> subEntityHandles(std::string_view extra) {
  std::set<std::uint64_t> out;
  eachPair(extra, [&](int code, std::string_view, std::uint64_t h) {
    if (h && (code == 5 || code == 105)) out.insert(h);
  });
  return out;
}

// packed without reactor groups, each handle in it through to.
std::string translated(std::string_view packed, const std::map<std::uint64_t, std::uint64_t>& to) {
  std::string out;
  eachPair(packed, [&](int code, std::string_view value, std::uint64_t h) {
    auto it = h ? to.find(h) : to.end();
    packPair(out, code, it == to.end() ? value : std::string_view(AcDbHandle(it->second).text()));
  });
  return out;
}

bool isAnonymous(const std::string& name) {
  return name.size() > 1 && name[0] == '*' && strcasecmp(name.c_str(), ACDB_MODEL_SPACE) != 0 &&
         strncasecmp(name.c_str(), ACDB_PAPER_SPACE, strlen(ACDB_PAPER_SPACE)) != 0;
}

}  // namespace

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
  const bool anonymous = isAnonymous(name);
  AcDbObjectId id;
  if (!anonymous) id = existing<AcDbBlockTable, AcDbBlockTableRecord>(target_.blockTableId(), name.c_str());
  if (!id.isNull() || status_ != Acad::eOk) {
    if (!id.isNull()) mapped_[sourceBlock] = id;
    return id;
  }
  const std::string newName = anonymous ? freshAnonymousName(name) : name;
  if (status_ != Acad::eOk) return AcDbObjectId();
  auto* made = make<AcDbBlockTable, AcDbBlockTableRecord>(target_.blockTableId(), newName.c_str(), id);
  if (!made) return AcDbObjectId();
  // Known before its entities come, so that one of them naming the block finds it.
  mapped_[sourceBlock] = id;
  for (AcDbObjectId e : entities)
    if (!e.isErased() && entity(e, *made) != Acad::eOk) return AcDbObjectId();
  return id;
}

// The kind of an anonymous name (*U, *D, ...) with the lowest number the target lacks.
std::string DrawingImport::freshAnonymousName(const std::string& name) {
  size_t kind = 1;
  while (kind < name.size() && !(name[kind] >= '0' && name[kind] <= '9')) ++kind;
  for (long n = 1;; ++n) {
    std::string candidate = name.substr(0, kind) + std::to_string(n);
    AcDbObjectId held = existing<AcDbBlockTable, AcDbBlockTableRecord>(target_.blockTableId(), candidate.c_str());
    if (held.isNull() || status_ != Acad::eOk) return candidate;
  }
}

// The source's layer, linetype or block of a handle; null for any other object.
static AcDbObjectId sourceRecord(AcDbDatabase& source, std::uint64_t handle) {
  AcDbObjectId id;
  if (source.getAcDbObjectId(id, false, AcDbHandle(handle)) != Acad::eOk || id.isErased()) return AcDbObjectId();
  const AcDbObject* object = HostAccess::stub(id)->object;
  bool record = AcDbLayerTableRecord::cast(object) || AcDbLinetypeTableRecord::cast(object) ||
                AcDbBlockTableRecord::cast(object);
  return record ? id : AcDbObjectId();
}

// True when an entity's kept pairs point at an object of the source that does not come along.
bool DrawingImport::pointsOutside(const AcDbEntity& original) {
  const KeptData* kept = HostAccess::kept(original);
  if (!kept) return false;
  std::set<std::uint64_t> own = subEntityHandles(kept->extra);
  own.insert(original.handle().value());
  bool outside = false;
  auto check = [&](int code, std::string_view, std::uint64_t h) {
    if (h && isPointer(code) && !own.count(h) && sourceRecord(source_, h).isNull()) outside = true;
  };
  eachPair(kept->pairs, check);
  eachPair(kept->extra, check);
  return outside;
}

// The handle of the target's record for a source record's handle; 0 after a failure.
std::uint64_t DrawingImport::targetRecord(std::uint64_t sourceHandle) {
  AcDbObjectId from = sourceRecord(source_, sourceHandle), to;
  assert(!from.isNull() && "pointsOutside let only records through");
  const AcDbObject* object = HostAccess::stub(from)->object;
  if (AcDbLayerTableRecord::cast(object)) to = layer(from);
  else if (AcDbLinetypeTableRecord::cast(object)) to = linetype(from);
  else to = block(from);
  return to.isNull() ? 0 : to.handle().value();
}

// The copy's kept pairs made the target's: its own handle and its sub-entities' are new, and
// pointers name the target's records.
void DrawingImport::ownKeptData(AcDbEntity& copy, const AcDbEntity& original) {
  KeptData* data = HostAccess::kept(copy);
  if (!data) return;
  std::map<std::uint64_t, std::uint64_t> to{{original.handle().value(), copy.handle().value()}};
  auto fresh = [&] {
    std::uint64_t h = target_.handseed().value();
    HostAccess::setHandseed(target_, h + 1);
    return h;
  };
  for (std::uint64_t h : subEntityHandles(data->extra)) to[h] = fresh();
  auto record = [&](int code, std::string_view, std::uint64_t h) {
    if (h && isPointer(code) && !to.count(h) && status_ == Acad::eOk) to[h] = targetRecord(h);
  };
  eachPair(data->pairs, record);
  eachPair(data->extra, record);
  if (status_ != Acad::eOk) return;
  data->pairs = translated(data->pairs, to);
  data->extra = translated(data->extra, to);
  if (data->seqend) data->seqend = fresh();
  data->unhandled = false;  // a new object of the target, which gives it a handle
}

Acad::ErrorStatus DrawingImport::entity(AcDbObjectId sourceEntity, AcDbBlockTableRecord& owner) {
  if (status_ != Acad::eOk) return status_;
  AcDbEntity* original = nullptr;
  if (Acad::ErrorStatus es = acdbOpenAcDbEntity(original, sourceEntity, AcDb::kForRead)) {
    fail(es, "cannot open an entity of the file");
    return status_;
  }
  const auto* kept = KeptEntity::cast(original);
  const std::string name = kept ? kept->dxfName() : original->isA()->dxfName();
  const bool outside = pointsOutside(*original);
  if (kept && outside) {
    ++left_[name];
    original->close();
    return status_;
  }
  AcDbEntity* copy = AcDbEntity::cast(original->clone());
  if (!copy) fail(Acad::eNotApplicable, "cannot copy " + name);
  else if (copyInto(copy, *original, owner) == Acad::eOk) keepWithCopy(*copy, *original, outside, name);
  original->close();
  return status_;
}

// What the original kept beside its model goes with the copy, unless it points at objects
// that do not come along: then the modelled copy comes alone, and the loss is named.
void DrawingImport::keepWithCopy(AcDbEntity& copy, const AcDbEntity& original, bool outside, const std::string& name) {
  const KeptData* kept = HostAccess::kept(original);
  if (!kept) return;
  if (outside) {
    ++left_[name + " data"];
    return;
  }
  if (!HostAccess::kept(copy)) HostAccess::setKept(copy, copyOf(*kept));
  ownKeptData(copy, original);
}

// The copy enters the target first, then takes the target's layer and linetype, so that the
// target is the database those records are looked for in.
Acad::ErrorStatus DrawingImport::copyInto(AcDbEntity* copy, const AcDbEntity& original, AcDbBlockTableRecord& owner) {
  AcDbObjectId layerId = original.layerId().isNull() ? AcDbObjectId() : layer(original.layerId());
  AcDbObjectId linetypeId = original.linetypeId().isNull() ? AcDbObjectId() : linetype(original.linetypeId());
  const auto* reference = AcDbBlockReference::cast(&original);
  AcDbObjectId blockId;
  if (reference && !reference->blockTableRecord().isNull()) blockId = block(reference->blockTableRecord());
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
  if (es == Acad::eOk && !blockId.isNull()) es = AcDbBlockReference::cast(copy)->setBlockTableRecord(blockId);
  if (es != Acad::eOk) fail(es, "an entity refused its layer, linetype or block");
  else ++copied_;
  return status_;
}

Acad::ErrorStatus importModelSpace(AcDbDatabase& source, AcDbDatabase& target, int& count, std::string& error,
                                   std::map<std::string, int>* leftOut) {
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
  if (es == Acad::eOk && leftOut) *leftOut = merge.leftOut();
  return es;
}

namespace {

// What of the file did not come in, so that the user knows: model-space entities the merge
// could not copy, and entities the reader left out (wherever in the file they stood).
void noteNotRead(UserInterface& ui, const ReadReport& report, const std::map<std::string, int>& leftOut) {
  std::string list;
  for (const auto& [type, n] : leftOut) list += ", " + std::to_string(n) + " " + type;
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
  std::map<std::string, int> leftOut;
  if (importModelSpace(*source, host.database(), count, error, &leftOut) != Acad::eOk) {
    host.userInterface().print(("DXFIN: " + path + ": " + error + "\n").c_str());
    return RTERROR;
  }
  noteNotRead(host.userInterface(), report, leftOut);
  return RTNORM;
}

const bool kRegistered = registerBuiltin("DXFIN", dxfin);

}  // namespace
}  // namespace kv::dxf
