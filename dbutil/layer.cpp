#include "layer.h"

#include "dbutil/color.h"
#include "win/crt.h"

namespace {

AcDbDatabase* workingDb() { return acdbHostApplicationServices()->workingDatabase(); }

Acad::ErrorStatus openLayerTable(AcDbLayerTable*& table, AcDb::OpenMode mode) {
  table = nullptr;
  AcDbDatabase* db = workingDb();
  if (!db) return Acad::eNoDatabase;
  return db->getLayerTable(table, mode);
}

// Opens the entity for read, hands it to read, closes it: the close's status on success.
template <class Read>
Acad::ErrorStatus readEntity(const AcDbObjectId& id, Read read) {
  AcDbEntity* ent = nullptr;
  if (Acad::ErrorStatus es = acdbOpenAcDbEntity(ent, id, AcDb::kForRead)) return es;
  read(*ent);
  return ent->close();
}

// The by-value form of a status-form getter: a default value on failure.
template <class T>
T byValue(Acad::ErrorStatus (*get)(const AcDbObjectId&, T&), const AcDbObjectId& id) {
  T value{};
  get(id, value);
  return value;
}

// Adds a new record to the layer table; the record is closed whatever the add answered.
Acad::ErrorStatus addLayer(AcDbLayerTableRecord* record, AcDbObjectId& layerId) {
  AcDbLayerTable* table = nullptr;
  if (Acad::ErrorStatus es = openLayerTable(table, AcDb::kForWrite)) {
    record->close();
    return es;
  }
  Acad::ErrorStatus es = table->add(layerId, record);
  record->close();
  table->close();
  return es;
}

}  // namespace

Acad::ErrorStatus GetOrCreateLayer(const CString& name, BOOL create, AcDbObjectId& layerId) {
  AcDbLayerTable* table = nullptr;
  if (Acad::ErrorStatus es = openLayerTable(table, AcDb::kForWrite)) return es;
  AcDbObjectId found;
  Acad::ErrorStatus lookup = table->getAt(name, found, false);
  table->close();
  if (lookup == Acad::eOk) {
    layerId = found;
    return Acad::eOk;
  }
  if (!create) return Acad::eNullObjectId;
  auto* record = new AcDbLayerTableRecord;
  record->setName(name);
  return addLayer(record, layerId);
}

AcDbObjectId GetOrCreateLayer(const CString& name, BOOL create) {
  AcDbObjectId id;
  GetOrCreateLayer(name, create, id);
  return id;
}

Acad::ErrorStatus GetLayerColorIndex(const CString& layer, int& aci) {
  AcDbLayerTable* table = nullptr;
  if (Acad::ErrorStatus es = openLayerTable(table, AcDb::kForRead)) return es;
  AcDbLayerTableRecord* record = nullptr;
  Acad::ErrorStatus es = table->getAt(layer, record, AcDb::kForRead, false);
  if (es == Acad::eOk) {
    aci = record->color().colorIndex();
    record->close();
  }
  table->close();
  return es;
}

int GetLayerColorIndex(const CString& layer) {
  int aci = 7;
  GetLayerColorIndex(layer, aci);
  return aci;
}

Acad::ErrorStatus CreateLayer(const CString& name, AcDbObjectId& layerId, unsigned long rgb, BOOL frozen, BOOL locked,
                              BOOL off) {
  if (GetOrCreateLayer(name, FALSE, layerId) == Acad::eOk) return Acad::eOk;
  auto* record = new AcDbLayerTableRecord;
  record->setName(name);
  record->setColor(ColorFromRgb(rgb));
  record->setIsFrozen(frozen != 0);
  record->setIsLocked(locked != 0);
  record->setIsOff(off != 0);
  return addLayer(record, layerId);
}

Acad::ErrorStatus CreateLayer(const CString& name, unsigned long rgb, BOOL frozen, BOOL locked, BOOL off) {
  AcDbObjectId id;
  return CreateLayer(name, id, rgb, frozen, locked, off);
}

Acad::ErrorStatus GetEntityLayerId(const AcDbObjectId& entity, AcDbObjectId& layerId) {
  return readEntity(entity, [&](const AcDbEntity& e) { layerId = e.layerId(); });
}
AcDbObjectId GetEntityLayerId(const AcDbObjectId& entity) { return byValue<AcDbObjectId>(GetEntityLayerId, entity); }

Acad::ErrorStatus GetEntityLinetypeId(const AcDbObjectId& entity, AcDbObjectId& linetypeId) {
  return readEntity(entity, [&](const AcDbEntity& e) { linetypeId = e.linetypeId(); });
}
AcDbObjectId GetEntityLinetypeId(const AcDbObjectId& entity) {
  return byValue<AcDbObjectId>(GetEntityLinetypeId, entity);
}

Acad::ErrorStatus GetEntityBlockId(const AcDbObjectId& entity, AcDbObjectId& blockId) {
  return readEntity(entity, [&](const AcDbEntity& e) { blockId = e.blockId(); });
}
AcDbObjectId GetEntityBlockId(const AcDbObjectId& entity) { return byValue<AcDbObjectId>(GetEntityBlockId, entity); }

Acad::ErrorStatus GetEntityLayerName(const AcDbObjectId& entity, CString& layer) {
  return readEntity(entity, [&](const AcDbEntity& e) { layer = e.layer(); });
}
CString GetEntityLayerName(const AcDbObjectId& entity) { return byValue<CString>(GetEntityLayerName, entity); }

Acad::ErrorStatus GetEntityLinetypeName(const AcDbObjectId& entity, CString& linetype) {
  return readEntity(entity, [&](const AcDbEntity& e) { linetype = e.linetype(); });
}
CString GetEntityLinetypeName(const AcDbObjectId& entity) { return byValue<CString>(GetEntityLinetypeName, entity); }

Acad::ErrorStatus GetEntityLayerAndColor(const AcDbObjectId& entity, CString& layer, AcCmColor& color) {
  return readEntity(entity, [&](const AcDbEntity& e) {
    layer = e.layer();
    color = e.color();
  });
}

Acad::ErrorStatus GetBlockName(const AcDbObjectId& blockRecordId, CString& name) {
  AcDbBlockTableRecord* record = nullptr;
  if (Acad::ErrorStatus es = acdbOpenAcDbObject(record, blockRecordId, AcDb::kForRead)) return es;
  CString copy;
  if (Acad::ErrorStatus es = record->getName(copy)) {
    record->close();
    return es;
  }
  name = copy;
  record->close();
  return Acad::eOk;
}
CString GetBlockName(const AcDbObjectId& blockRecordId) { return byValue<CString>(GetBlockName, blockRecordId); }

Acad::ErrorStatus GetEntityBlockName(const AcDbObjectId& entity, CString& name) {
  AcDbObjectId blockId;
  if (Acad::ErrorStatus es = GetEntityBlockId(entity, blockId)) return es;
  return GetBlockName(blockId, name);
}
CString GetEntityBlockName(const AcDbObjectId& entity) { return byValue<CString>(GetEntityBlockName, entity); }

CString GetEntityClassName(const AcDbObjectId& entity) {
  CString name;
  readEntity(entity, [&](const AcDbEntity& e) { name = e.isA()->name(); });
  return name;
}

bool IsClassName(const char* reported, const char* className) {
  auto bytes = [](const char* text) { return reinterpret_cast<const unsigned char*>(text); };
  return _mbscmp(bytes(reported), bytes(className)) == 0;
}

bool IsEntityOfClass(const AcDbEntity* entity, const char* className) {
  return IsClassName(entity->isA()->name(), className);
}

bool IsEntityOfClass(const AcDbObjectId& entity, const char* className) {
  return IsClassName(GetEntityClassName(entity), className);
}
