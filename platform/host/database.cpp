// Symbol tables, the database and the working database.
#include <cstring>
#include <strings.h>

#include "host/acdb.h"
#include "host/access.h"
#include "core/faults.h"
#include "host/kept.h"
#include "host/stub.h"

KV_RX_DEFINE_MEMBERS(AcDbSymbolTableRecord, AcDbObject, nullptr)
KV_RX_DEFINE_MEMBERS(AcDbSymbolTable, AcDbObject, nullptr)
KV_RX_DEFINE_MEMBERS(AcDbBlockTableRecord, AcDbSymbolTableRecord, "BLOCK_RECORD")
KV_RX_DEFINE_MEMBERS(AcDbLayerTableRecord, AcDbSymbolTableRecord, "LAYER")
KV_RX_DEFINE_MEMBERS(AcDbLinetypeTableRecord, AcDbSymbolTableRecord, "LTYPE")
KV_RX_DEFINE_MEMBERS(AcDbBlockTable, AcDbSymbolTable, "TABLE")
KV_RX_DEFINE_MEMBERS(AcDbLayerTable, AcDbSymbolTable, "TABLE")
KV_RX_DEFINE_MEMBERS(AcDbLinetypeTable, AcDbSymbolTable, "TABLE")

namespace {

// The host's rule for symbol names: at most 255 characters, none of <>/\":;?*|,=` and no
// control characters. A leading '*' is the host's own mark for model and paper space.
bool validSymbolName(const char* name) {
  if (!name || !*name) return false;
  size_t n = strlen(name);
  if (n > 255) return false;
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 32) return false;
    if (c == '*' && i == 0) continue;
    if (strchr("<>/\\\":;?*|,=`", c)) return false;
  }
  return true;
}

AcDbObject* live(AcDbObjectId id, bool allowErased) {
  AcDbStub* s = kv::HostAccess::stub(id);
  if (!s || !s->object || (s->erased && !allowErased)) return nullptr;
  return s->object;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbSymbolTableRecord::getName(CString& name) const {
  if (!isReadEnabled()) return Acad::eNotOpenForRead;
  name = name_;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTableRecord::setName(const char* name) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!validSymbolName(name)) return Acad::eInvalidSymbolTableName;
  // A record already in a table must not take a name another record of it holds.
  if (const AcDbSymbolTable* table = AcDbSymbolTable::cast(live(ownerId(), false))) {
    AcDbObjectId other;
    if (table->getAt(name, other) == Acad::eOk && other != objectId()) return Acad::eDuplicateRecordName;
  }
  name_ = name;
  return Acad::eOk;
}

bool AcDbSymbolTable::has(const char* name) const {
  AcDbObjectId id;
  return getAt(name, id) == Acad::eOk;
}

bool AcDbSymbolTable::has(AcDbObjectId id) const {
  return live(id, false) && std::find(records_.begin(), records_.end(), id) != records_.end();
}

Acad::ErrorStatus AcDbSymbolTable::getAt(const char* name, AcDbObjectId& id, bool getErased) const {
  if (!name) return Acad::eInvalidInput;
  // A live record wins over an erased one of the same name.
  AcDbObjectId erased;
  for (const AcDbObjectId& rid : records_) {
    const AcDbSymbolTableRecord* rec = AcDbSymbolTableRecord::cast(live(rid, true));
    if (!rec || strcasecmp(rec->getName(), name) != 0) continue;
    if (!rid.isErased()) {
      id = rid;
      return Acad::eOk;
    }
    if (erased.isNull()) erased = rid;
  }
  if (getErased && !erased.isNull()) {
    id = erased;
    return Acad::eOk;
  }
  return Acad::eKeyNotFound;
}

Acad::ErrorStatus AcDbSymbolTable::getAt(const char* name, AcDbSymbolTableRecord*& record, AcDb::OpenMode mode,
                                         bool openErased) const {
  record = nullptr;
  AcDbObjectId id;
  if (Acad::ErrorStatus es = getAt(name, id, openErased)) return es;
  return acdbOpenObject(record, id, mode, openErased);
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbObjectId& id, AcDbSymbolTableRecord* record) {
  if (!record) return Acad::eNullObjectPointer;
  if (int st = kv::fault::check(kv::fault::Call::symbolTableAdd, Acad::eOutOfMemory)) return Acad::ErrorStatus(st);
  if (!database()) return Acad::eNoDatabase;
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!accepts(record)) return Acad::eWrongObjectType;
  if (!record->isNewObject()) return Acad::eAlreadyInDb;
  if (!validSymbolName(record->getName())) return Acad::eInvalidSymbolTableName;
  if (has(record->getName())) return Acad::eDuplicateRecordName;
  if (Acad::ErrorStatus es = database()->addAcDbObject(id, record)) return es;
  record->setOwnerId(objectId());
  records_.push_back(id);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbSymbolTableRecord* record) {
  AcDbObjectId id;
  return add(id, record);
}

#define KV_DEFINE_TABLE(Table, Record)                                                         \
  Acad::ErrorStatus Table::getAt(const char* name, Record*& record, AcDb::OpenMode mode,       \
                                 bool openErased) const {                                      \
    record = nullptr;                                                                          \
    AcDbObjectId id;                                                                           \
    if (Acad::ErrorStatus es = AcDbSymbolTable::getAt(name, id, openErased)) return es;        \
    return acdbOpenObject(record, id, mode, openErased);                                       \
  }                                                                                            \
  bool Table::accepts(const AcDbSymbolTableRecord* record) const { return Record::cast(record) != nullptr; }

KV_DEFINE_TABLE(AcDbBlockTable, AcDbBlockTableRecord)
KV_DEFINE_TABLE(AcDbLayerTable, AcDbLayerTableRecord)
KV_DEFINE_TABLE(AcDbLinetypeTable, AcDbLinetypeTableRecord)

// ---------------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbObjectId& id, AcDbEntity* entity) {
  if (!entity) return Acad::eNullEntityPointer;
  if (int st = kv::fault::check(kv::fault::Call::appendAcDbEntity, Acad::eOutOfMemory)) return Acad::ErrorStatus(st);
  if (!database()) return Acad::eNoDatabase;
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!entity->isNewObject()) return Acad::eAlreadyInDb;
  kv::HostAccess::setDefaults(*entity, database());
  if (Acad::ErrorStatus es = database()->addAcDbObject(id, entity)) return es;
  entity->setOwnerId(objectId());
  entities_.push_back(id);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbEntity* entity) {
  AcDbObjectId id;
  return appendAcDbEntity(id, entity);
}

bool AcDbBlockTableRecord::isLayout() const {
  return strcasecmp(getName(), ACDB_MODEL_SPACE) == 0 || strncasecmp(getName(), ACDB_PAPER_SPACE, 12) == 0;
}

AcDbLayerTableRecord::AcDbLayerTableRecord() { color_.setColorIndex(7); }

Acad::ErrorStatus AcDbLayerTableRecord::setColor(const AcCmColor& color) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  // A layer's own colour is never by layer or by block.
  if (color.isByLayer() || color.isByBlock()) return Acad::eInvalidInput;
  color_ = color;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbLayerTableRecord::setIsFrozen(bool on) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  frozen_ = on;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbLayerTableRecord::setIsLocked(bool on) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  locked_ = on;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbLayerTableRecord::setIsOff(bool on) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  off_ = on;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbLayerTableRecord::setLinetypeObjectId(AcDbObjectId id) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!AcDbLinetypeTableRecord::cast(live(id, false))) return Acad::eInvalidInput;
  linetype_ = id;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbLinetypeTableRecord::setComments(const char* text) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  comments_ = text;
  return Acad::eOk;
}

// ---------------------------------------------------------------------------------------------

namespace {

template <class Table>
AcDbObjectId addTable(AcDbDatabase& db) {
  AcDbObjectId id;
  auto* table = new Table;
  db.addAcDbObject(id, table);
  table->close();
  return id;
}

template <class Record>
AcDbObjectId addRecord(AcDbObjectId tableId, const char* name) {
  AcDbSymbolTable* table = nullptr;
  acdbOpenObject(table, tableId, AcDb::kForWrite);
  auto* rec = new Record;
  rec->setName(name);
  AcDbObjectId id;
  table->add(id, rec);
  rec->close();
  table->close();
  return id;
}

// A new drawing's tables and records are the host's own making, not calls of a module: a
// fault armed for the module must not leave a drawing without them (its opens would answer
// null tables).
class FaultsOutOfReach {
public:
  FaultsOutOfReach() : saved_(kv::fault::gInjector.exchange(nullptr)) {}
  ~FaultsOutOfReach() { kv::fault::gInjector.store(saved_); }
  FaultsOutOfReach(const FaultsOutOfReach&) = delete;
  FaultsOutOfReach& operator=(const FaultsOutOfReach&) = delete;

private:
  kv::fault::Injector saved_;
};

}  // namespace

AcDbDatabase::AcDbDatabase(bool buildDefaultDrawing, bool) {
  if (!buildDefaultDrawing) return;
  FaultsOutOfReach unarmed;
  blockTable_ = addTable<AcDbBlockTable>(*this);
  layerTable_ = addTable<AcDbLayerTable>(*this);
  linetypeTable_ = addTable<AcDbLinetypeTable>(*this);
  byBlock_ = addRecord<AcDbLinetypeTableRecord>(linetypeTable_, "ByBlock");
  byLayer_ = addRecord<AcDbLinetypeTableRecord>(linetypeTable_, "ByLayer");
  continuous_ = addRecord<AcDbLinetypeTableRecord>(linetypeTable_, "Continuous");
  AcDbLinetypeTableRecord* cont = nullptr;
  if (acdbOpenObject(cont, continuous_, AcDb::kForWrite) == Acad::eOk) {
    cont->setComments("Solid line");
    cont->close();
  }
  layerZero_ = addRecord<AcDbLayerTableRecord>(layerTable_, "0");
  AcDbLayerTableRecord* zero = nullptr;
  if (acdbOpenObject(zero, layerZero_, AcDb::kForWrite) == Acad::eOk) {
    zero->setLinetypeObjectId(continuous_);
    zero->close();
  }
  clayer_ = layerZero_;
  modelSpace_ = addRecord<AcDbBlockTableRecord>(blockTable_, ACDB_MODEL_SPACE);
  paperSpace_ = addRecord<AcDbBlockTableRecord>(blockTable_, ACDB_PAPER_SPACE);
}

AcDbDatabase::~AcDbDatabase() {
  AcDbHostApplicationServices* services = acdbHostApplicationServices();
  if (services->workingDatabase() == this) services->setWorkingDatabase(nullptr);
  for (auto& stub : stubs_) {
    delete stub->object;
    stub->object = nullptr;
  }
  delete kept_;
}

Acad::ErrorStatus AcDbDatabase::getBlockTable(AcDbBlockTable*& table, AcDb::OpenMode mode) {
  return acdbOpenObject(table, blockTable_, mode);
}

Acad::ErrorStatus AcDbDatabase::getLayerTable(AcDbLayerTable*& table, AcDb::OpenMode mode) {
  return acdbOpenObject(table, layerTable_, mode);
}

Acad::ErrorStatus AcDbDatabase::getLinetypeTable(AcDbLinetypeTable*& table, AcDb::OpenMode mode) {
  return acdbOpenObject(table, linetypeTable_, mode);
}

Acad::ErrorStatus AcDbDatabase::setClayer(AcDbObjectId layer) {
  AcDbStub* s = kv::HostAccess::stub(layer);
  const AcDbLayerTableRecord* rec = s && s->db == this && !s->erased ? AcDbLayerTableRecord::cast(s->object) : nullptr;
  if (!rec) return Acad::eInvalidInput;
  if (rec->isFrozen()) return Acad::eInvalidLayer;
  clayer_ = layer;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::add(AcDbObjectId& id, AcDbObject* object, std::uint64_t handle) {
  if (!object) return Acad::eNullObjectPointer;
  if (!object->isNewObject()) return Acad::eAlreadyInDb;
  if (handle == 0) return Acad::eNullHandle;
  if (byHandle_.count(handle)) return Acad::eHandleInUse;
  auto stub = std::make_unique<AcDbStub>();
  stub->db = this;
  stub->handle = handle;
  stub->object = object;
  kv::HostAccess::attach(*object, stub.get());
  byHandle_[handle] = stub.get();
  id = kv::HostAccess::idOf(stub.get());
  stubs_.push_back(std::move(stub));
  if (handle >= nextHandle_) nextHandle_ = handle + 1;
  object->subEnterDatabase(this);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::addAcDbObject(AcDbObjectId& id, AcDbObject* object) {
  // A wish holds for one object only: those it brings in with it take fresh handles.
  std::uint64_t handle = wanted_ && !byHandle_.count(wanted_) ? wanted_ : nextHandle_;
  wanted_ = 0;
  return add(id, object, handle);
}

Acad::ErrorStatus AcDbDatabase::addAcDbObjectWithHandle(AcDbObjectId& id, AcDbObject* object, const AcDbHandle& handle) {
  return add(id, object, handle.value());
}

Acad::ErrorStatus AcDbDatabase::getAcDbObjectId(AcDbObjectId& id, bool, const AcDbHandle& handle) {
  if (handle.isNull()) return Acad::eInvalidInput;
  auto it = byHandle_.find(handle.value());
  if (it == byHandle_.end()) return Acad::eUnknownHandle;
  id = kv::HostAccess::idOf(it->second);
  return Acad::eOk;
}

void AcDbDatabase::findWellKnown() {
  auto find = [](AcDbObjectId tableId, const char* name) {
    AcDbObjectId id;
    if (const AcDbSymbolTable* t = AcDbSymbolTable::cast(live(tableId, false))) t->getAt(name, id);
    return id;
  };
  modelSpace_ = find(blockTable_, ACDB_MODEL_SPACE);
  paperSpace_ = find(blockTable_, ACDB_PAPER_SPACE);
  layerZero_ = find(layerTable_, "0");
  byLayer_ = find(linetypeTable_, "ByLayer");
  byBlock_ = find(linetypeTable_, "ByBlock");
  continuous_ = find(linetypeTable_, "Continuous");
  if (clayer_.isNull() || clayer_.database() != this) clayer_ = layerZero_;
}

// ---------------------------------------------------------------------------------------------

namespace {
AcDbDatabase* gWorkingDatabase = nullptr;
}

AcDbDatabase* AcDbHostApplicationServices::workingDatabase() const { return gWorkingDatabase; }
void AcDbHostApplicationServices::setWorkingDatabase(AcDbDatabase* db) { gWorkingDatabase = db; }

AcDbHostApplicationServices* acdbHostApplicationServices() {
  static AcDbHostApplicationServices services;
  return &services;
}
