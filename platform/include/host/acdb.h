// The host's drawing database: ids, objects with their open/close protocol, entities,
// symbol tables and the database itself.
//
// The open protocol, as the host answers it:
// - an object is opened through its id; several readers or one writer at a time;
//   a writer refuses readers (eWasOpenForWrite) and readers refuse a writer (eWasOpenForRead);
//   notify opens are always granted;
// - an erased object is refused (eWasErased) unless the caller asks for erased objects;
// - an entity on a locked layer is refused a write open and an upgrade (eOnLockedLayer); a new
//   entity appended to such a layer is not opened, and stays open for write until its close();
// - every open is matched by one close(); close() of an object that never entered a
//   database deletes it, as the host releases such objects;
// - setters answer eNotOpenForWrite on an object that is not open for write.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/acarray.h"
#include "host/acge.h"
#include "host/acrx.h"
#include "host/acstatus.h"
#include "win/cstring.h"

namespace AcDb {
enum OpenMode { kNotOpen = -1, kForRead = 0, kForWrite = 1, kForNotify = 2 };
}

namespace Adesk {
typedef std::uint8_t UInt8;
typedef std::int16_t Int16;
typedef std::uint16_t UInt16;
typedef std::int32_t Int32;
typedef std::uint32_t UInt32;
typedef std::uint64_t UInt64;
typedef bool Boolean;
const bool kFalse = false;
const bool kTrue = true;
}  // namespace Adesk

class AcDbDatabase;
class AcDbObject;
struct AcDbStub;

namespace kv {
// The platform's way to the members below that a module must not touch (host/access.h).
struct HostAccess;
// What a drawing file held beyond the host's model, carried to be written back (host/kept.h).
struct KeptData;
struct KeptDrawing;
}  // namespace kv

class KV_PLATFORM_API AcDbHandle {
public:
  AcDbHandle() = default;
  explicit AcDbHandle(std::uint64_t value) : value_(value) {}
  bool isNull() const { return value_ == 0; }
  std::uint64_t value() const { return value_; }
  // Upper-case hexadecimal, as DXF writes it; "0" for the null handle.
  std::string text() const;
  bool operator==(const AcDbHandle& h) const { return value_ == h.value_; }
  bool operator<(const AcDbHandle& h) const { return value_ < h.value_; }

private:
  std::uint64_t value_ = 0;
};

class KV_PLATFORM_API AcDbObjectId {
public:
  AcDbObjectId() = default;
  static const AcDbObjectId kNull;

  bool isNull() const { return stub_ == nullptr; }
  bool isValid() const { return stub_ != nullptr; }
  bool isErased() const;
  AcDbHandle handle() const;
  AcDbDatabase* database() const;

  bool operator==(const AcDbObjectId& id) const { return stub_ == id.stub_; }
  bool operator!=(const AcDbObjectId& id) const { return stub_ != id.stub_; }
  bool operator<(const AcDbObjectId& id) const;

private:
  friend struct kv::HostAccess;
  explicit AcDbObjectId(AcDbStub* stub) : stub_(stub) {}
  AcDbStub* stub_ = nullptr;
};

typedef AcArray<AcDbObjectId> AcDbObjectIdArray;
typedef AcArray<void*> AcDbVoidPtrArray;
typedef AcArray<AcGePoint3d> AcGePoint3dArray;
typedef AcArray<double> AcGeDoubleArray;

class KV_PLATFORM_API AcDbExtents {
public:
  AcDbExtents();  // empty: min above max
  AcDbExtents(const AcGePoint3d& min, const AcGePoint3d& max) : min_(min), max_(max) {}
  const AcGePoint3d& minPoint() const { return min_; }
  const AcGePoint3d& maxPoint() const { return max_; }
  Acad::ErrorStatus set(const AcGePoint3d& min, const AcGePoint3d& max);  // eInvalidExtents when min > max
  void addPoint(const AcGePoint3d& p);
  void addExt(const AcDbExtents& other);
  bool isEmpty() const { return min_.x > max_.x; }
  void transformBy(const AcGeMatrix3d& m);

private:
  AcGePoint3d min_, max_;
};

// An entity's colour: a colour method and, by method, an index or red, green and blue.
class KV_PLATFORM_API AcCmEntityColor {
public:
  enum Method : std::uint8_t {
    kByLayer = 0xC0,
    kByBlock = 0xC1,
    kByColor = 0xC2,
    kByACI = 0xC3,
    kByPen = 0xC4,
    kForeground = 0xC5,
    kLayerOff = 0xC6,
    kLayerFrozen = 0xC7,
    kNone = 0xC8,
  };
  enum ACIcolorMethod : std::int16_t { kACIbyBlock = 0, kACIRed = 1, kACIYellow = 2, kACIGreen = 3,
    kACICyan = 4, kACIBlue = 5, kACIMagenta = 6, kACIforeground = 7, kACIbyLayer = 256 };
};

class KV_PLATFORM_API AcCmColor : public AcCmEntityColor {
public:
  // A default colour follows its layer, as a new entity's colour does.
  AcCmColor() = default;

  Method colorMethod() const { return method_; }
  Acad::ErrorStatus setColorMethod(Method method);
  bool isByLayer() const { return method_ == kByLayer; }
  bool isByBlock() const { return method_ == kByBlock; }
  bool isByColor() const { return method_ == kByColor; }
  bool isByACI() const { return method_ == kByACI; }
  bool isForeground() const { return method_ == kForeground; }
  bool isNone() const { return method_ == kNone; }
  Acad::ErrorStatus setByLayer();
  Acad::ErrorStatus setByBlock();
  Acad::ErrorStatus setForeground();
  Acad::ErrorStatus setNone();

  // 1 to 255 set an index colour; 0 is by block, 256 by layer; any other index is refused.
  Acad::ErrorStatus setColorIndex(Adesk::UInt16 index);
  // The index: by block 0, by layer 256, an index colour its index, a true colour the
  // index of the nearest palette colour.
  Adesk::UInt16 colorIndex() const;
  Acad::ErrorStatus setRGB(Adesk::UInt8 red, Adesk::UInt8 green, Adesk::UInt8 blue);
  // The components of a true colour or of an index colour's palette entry; 0 otherwise.
  Adesk::UInt8 red() const;
  Adesk::UInt8 green() const;
  Adesk::UInt8 blue() const;

  bool operator==(const AcCmColor& c) const;
  bool operator!=(const AcCmColor& c) const { return !(*this == c); }

private:
  Method method_ = kByLayer;
  Adesk::UInt16 index_ = kACIbyLayer;
  Adesk::UInt8 rgb_[3] = {0, 0, 0};
};

// The palette of colour indexes 1 to 255: packed red | green << 8 | blue << 16; 0 outside it.
KV_PLATFORM_API std::uint32_t kvAciToRgb(int index);
KV_PLATFORM_API int kvRgbToNearestAci(Adesk::UInt8 red, Adesk::UInt8 green, Adesk::UInt8 blue);

class KV_PLATFORM_API AcDbObject : public AcRxObject {
public:
  KV_RX_DECLARE_MEMBERS(AcDbObject)
  AcDbObject() = default;
  AcDbObject(const AcDbObject&) = delete;
  AcDbObject& operator=(const AcDbObject&) = delete;
  ~AcDbObject() override;

  AcDbObjectId objectId() const;
  AcDbObjectId ownerId() const { return owner_; }
  Acad::ErrorStatus setOwnerId(AcDbObjectId owner);
  AcDbDatabase* database() const;
  AcDbHandle handle() const;
  bool isErased() const;
  bool isNewObject() const { return stub_ == nullptr; }

  // A non-database object counts as open for write until its close() deletes it.
  bool isReadEnabled() const;
  bool isWriteEnabled() const;
  bool isNotifyEnabled() const { return notifiers_ > 0; }
  int readers() const { return readers_; }

  // erase(true) erases, erase(false) unerases; the object must be open for write.
  Acad::ErrorStatus erase(bool erasing = true);
  Acad::ErrorStatus close();
  Acad::ErrorStatus upgradeOpen();
  Acad::ErrorStatus downgradeOpen();

protected:
  friend class AcDbDatabase;
  // Called once the object has entered db, still open for write: objects that own others
  // bring them into the database here.
  virtual void subEnterDatabase(AcDbDatabase*) {}
  // Called after the object was erased or unerased: owned objects follow.
  virtual void subErase(bool) {}

  // Each subclass answers eNotOpenForWrite from its setters through this check.
  Acad::ErrorStatus checkWrite() const { return isWriteEnabled() ? Acad::eOk : Acad::eNotOpenForWrite; }

private:
  friend struct kv::HostAccess;
  // The open protocol behind acdbOpenObject.
  Acad::ErrorStatus openAs(AcDb::OpenMode mode);
  void attach(AcDbStub* stub) { stub_ = stub; writer_ = true; }

  AcDbStub* stub_ = nullptr;
  // The entity that holds this one while neither is in a database (a vertex of a new mesh);
  // close() then leaves it to its holder.
  AcDbObject* container_ = nullptr;
  AcDbObjectId owner_;
  int readers_ = 0;
  bool writer_ = false;
  int notifiers_ = 0;
  kv::KeptData* kept_ = nullptr;  // owned; null for an object no file gave more than the model holds
};

class AcDbLayerTableRecord;
class AcDbBlockTableRecord;

// Highlighting addresses an entity or a part of it; the null path means the whole entity.
struct KV_PLATFORM_API AcDbSubentId {
  int type = 0;
  std::intptr_t index = 0;
};

class KV_PLATFORM_API AcDbFullSubentPath {
public:
  AcDbFullSubentPath() = default;
  AcDbFullSubentPath(const AcDbObjectIdArray& ids, const AcDbSubentId& sub) : ids_(ids), sub_(sub) {}
  AcDbFullSubentPath(AcDbObjectId id, const AcDbSubentId& sub) : sub_(sub) { ids_.append(id); }
  const AcDbObjectIdArray& objectIds() const { return ids_; }
  const AcDbSubentId& subentId() const { return sub_; }

private:
  AcDbObjectIdArray ids_;
  AcDbSubentId sub_;
};

class KV_PLATFORM_API AcDbEntity : public AcDbObject {
public:
  KV_RX_DECLARE_MEMBERS(AcDbEntity)
  AcDbEntity();

  AcDbObjectId blockId() const { return ownerId(); }

  AcCmColor color() const { return color_; }
  // doSubents is taken for the host's signature; entities here have no coloured parts.
  Acad::ErrorStatus setColor(const AcCmColor& color, bool doSubents = true);
  Adesk::UInt16 colorIndex() const { return color_.colorIndex(); }
  Acad::ErrorStatus setColorIndex(Adesk::UInt16 index, bool doSubents = true);

  // The layer's name; the host answers no text for an entity without a layer.
  CString layer() const;
  AcDbObjectId layerId() const { return layer_; }
  // The layer must be a layer record of the entity's database (or of the working database
  // while the entity is in none).
  Acad::ErrorStatus setLayer(AcDbObjectId layer, bool doSubents = true);
  Acad::ErrorStatus setLayer(const char* name, bool doSubents = true);
  CString linetype() const;
  AcDbObjectId linetypeId() const { return linetype_; }
  Acad::ErrorStatus setLinetype(AcDbObjectId linetype, bool doSubents = true);

  // The host draws highlights; here each entity keeps whether it is highlighted.
  Acad::ErrorStatus highlight(const AcDbFullSubentPath& path = AcDbFullSubentPath(), bool highlightAll = false) const;
  Acad::ErrorStatus unhighlight(const AcDbFullSubentPath& path = AcDbFullSubentPath(), bool highlightAll = false) const;
  bool isHighlighted() const { return highlighted_; }

  // eNotApplicable for an entity without geometry.
  Acad::ErrorStatus transformBy(const AcGeMatrix3d& xform);
  Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const;
  // Appends new entities, in no database and with this entity's properties, that together
  // draw this one; the entity itself is left as it is. The caller owns what was appended, also
  // on failure. eNotApplicable for a kind that does not explode.
  Acad::ErrorStatus explode(AcDbVoidPtrArray& entitySet) const;

protected:
  // Copies the common properties into a clone.
  void copyPropertiesTo(AcDbEntity& other) const;

  virtual Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform);
  virtual Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const;
  virtual Acad::ErrorStatus subExplode(AcDbVoidPtrArray& entitySet) const;
  // After a colour, layer or linetype change: with doSubents, entities made of parts (a
  // polyline's vertices) pass it on to them.
  virtual void subPropertiesChanged(bool /*doSubents*/) {}

private:
  friend struct kv::HostAccess;
  // Sets the layer and linetype of a new entity before it enters a database.
  void setDefaults(AcDbDatabase* db);

  AcCmColor color_;
  AcDbObjectId layer_;
  AcDbObjectId linetype_;
  mutable bool highlighted_ = false;
};

class KV_PLATFORM_API AcDbPoint : public AcDbEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbPoint)
  AcDbPoint() = default;
  explicit AcDbPoint(const AcGePoint3d& position) : position_(position) {}
  AcGePoint3d position() const { return position_; }
  Acad::ErrorStatus setPosition(const AcGePoint3d& position);

protected:
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  AcRxObject* subClone() const override;

private:
  AcGePoint3d position_;
};

// A curve answers by parameter, in the host's parametrisation of its kind: a line by the
// distance from its start, a circle or arc by the angle in radians, a polyline by vertex index
// plus the fraction of the segment. Statuses: eInvalidInput for a parameter outside the curve,
// eNotApplicable for what the kind does not answer (the distance along an infinite line).
class KV_PLATFORM_API AcDbCurve : public AcDbEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbCurve)
  virtual bool isClosed() const { return false; }
  virtual Acad::ErrorStatus getStartParam(double& param) const = 0;
  virtual Acad::ErrorStatus getEndParam(double& param) const = 0;
  virtual Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& point) const = 0;
  // The length of the curve from its start up to param.
  virtual Acad::ErrorStatus getDistAtParam(double param, double& dist) const = 0;
  // The points at the start and end parameters.
  virtual Acad::ErrorStatus getStartPoint(AcGePoint3d& point) const;
  virtual Acad::ErrorStatus getEndPoint(AcGePoint3d& point) const;
};

class KV_PLATFORM_API AcDbLine : public AcDbCurve {
public:
  KV_RX_DECLARE_MEMBERS(AcDbLine)
  AcDbLine() = default;
  AcDbLine(const AcGePoint3d& start, const AcGePoint3d& end) : start_(start), end_(end) {}
  AcGePoint3d startPoint() const { return start_; }
  AcGePoint3d endPoint() const { return end_; }
  Acad::ErrorStatus setStartPoint(const AcGePoint3d& p);
  Acad::ErrorStatus setEndPoint(const AcGePoint3d& p);

  Acad::ErrorStatus getStartParam(double& param) const override;
  Acad::ErrorStatus getEndParam(double& param) const override;
  Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& point) const override;
  Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;

protected:
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  AcRxObject* subClone() const override;

private:
  AcGePoint3d start_, end_;
};

// ---------------------------------------------------------------------------------------------
// Symbol tables. Names compare without regard to case, as the host's do.

class KV_PLATFORM_API AcDbSymbolTableRecord : public AcDbObject {
public:
  KV_RX_DECLARE_MEMBERS(AcDbSymbolTableRecord)
  Acad::ErrorStatus getName(CString& name) const;
  const char* getName() const { return name_.GetString(); }
  // A name the host cannot take (empty, too long, or with one of <>/\":;?*|,=`) gives
  // eInvalidSymbolTableName; a name another record of the table holds, eDuplicateRecordName.
  Acad::ErrorStatus setName(const char* name);

private:
  CString name_;
};

class KV_PLATFORM_API AcDbSymbolTable : public AcDbObject {
public:
  KV_RX_DECLARE_MEMBERS(AcDbSymbolTable)
  bool has(const char* name) const;
  bool has(AcDbObjectId id) const;
  // eKeyNotFound when no record (or only an erased one, unless asked for) has the name.
  Acad::ErrorStatus getAt(const char* name, AcDbObjectId& id, bool getErased = false) const;
  Acad::ErrorStatus getAt(const char* name, AcDbSymbolTableRecord*& record, AcDb::OpenMode mode,
                          bool openErased = false) const;
  // The table must be open for write and the record must carry a valid, unused name.
  // On success the record belongs to the database, open for write: the caller closes it.
  Acad::ErrorStatus add(AcDbObjectId& id, AcDbSymbolTableRecord* record);
  Acad::ErrorStatus add(AcDbSymbolTableRecord* record);
  // Record ids in the order they were added, erased ones included.
  const std::vector<AcDbObjectId>& recordIds() const { return records_; }

protected:
  virtual bool accepts(const AcDbSymbolTableRecord* record) const = 0;

private:
  friend class AcDbSymbolTableRecord;
  std::vector<AcDbObjectId> records_;
};

// Typed lookups for each table.
#define KV_SYMBOL_TABLE(Table, Record)                                                            \
  class KV_PLATFORM_API Table : public AcDbSymbolTable {                                        \
  public:                                                                                        \
    KV_RX_DECLARE_MEMBERS(Table)                                                                 \
    using AcDbSymbolTable::add;                                                                  \
    using AcDbSymbolTable::getAt;                                                                \
    Acad::ErrorStatus getAt(const char* name, Record*& record, AcDb::OpenMode mode,              \
                            bool openErased = false) const;                                      \
    Acad::ErrorStatus add(AcDbObjectId& id, Record* record) {                                    \
      return AcDbSymbolTable::add(id, static_cast<AcDbSymbolTableRecord*>(record));            \
    }                                                                                            \
    Acad::ErrorStatus add(Record* record) {                                                      \
      return AcDbSymbolTable::add(static_cast<AcDbSymbolTableRecord*>(record));                \
    }                                                                                            \
                                                                                                 \
  protected:                                                                                     \
    bool accepts(const AcDbSymbolTableRecord* record) const override;                           \
  };

class KV_PLATFORM_API AcDbBlockTableRecord : public AcDbSymbolTableRecord {
public:
  KV_RX_DECLARE_MEMBERS(AcDbBlockTableRecord)
  // The record must be in a database and open for write; the entity must be new.
  // On success the entity belongs to the database, open for write: the caller closes it.
  Acad::ErrorStatus appendAcDbEntity(AcDbObjectId& id, AcDbEntity* entity);
  Acad::ErrorStatus appendAcDbEntity(AcDbEntity* entity);
  // Entity ids in drawing order, erased ones included.
  const std::vector<AcDbObjectId>& entityIds() const { return entities_; }
  bool isLayout() const;
  // The block's base point in its own coordinates: where a reference's position puts it.
  AcGePoint3d origin() const { return origin_; }
  Acad::ErrorStatus setOrigin(const AcGePoint3d& p) {
    if (Acad::ErrorStatus es = checkWrite()) return es;
    origin_ = p;
    return Acad::eOk;
  }

private:
  std::vector<AcDbObjectId> entities_;
  AcGePoint3d origin_;
};

class KV_PLATFORM_API AcDbLayerTableRecord : public AcDbSymbolTableRecord {
public:
  KV_RX_DECLARE_MEMBERS(AcDbLayerTableRecord)
  AcDbLayerTableRecord();
  AcCmColor color() const { return color_; }
  Acad::ErrorStatus setColor(const AcCmColor& color);
  bool isFrozen() const { return frozen_; }
  bool isLocked() const { return locked_; }
  bool isOff() const { return off_; }
  Acad::ErrorStatus setIsFrozen(bool on);
  Acad::ErrorStatus setIsLocked(bool on);
  Acad::ErrorStatus setIsOff(bool on);
  AcDbObjectId linetypeObjectId() const { return linetype_; }
  Acad::ErrorStatus setLinetypeObjectId(AcDbObjectId id);

private:
  AcCmColor color_;
  bool frozen_ = false, locked_ = false, off_ = false;
  AcDbObjectId linetype_;
};

class KV_PLATFORM_API AcDbLinetypeTableRecord : public AcDbSymbolTableRecord {
public:
  KV_RX_DECLARE_MEMBERS(AcDbLinetypeTableRecord)
  const char* comments() const { return comments_.GetString(); }
  Acad::ErrorStatus setComments(const char* text);

private:
  CString comments_;
};

KV_SYMBOL_TABLE(AcDbBlockTable, AcDbBlockTableRecord)
KV_SYMBOL_TABLE(AcDbLayerTable, AcDbLayerTableRecord)
KV_SYMBOL_TABLE(AcDbLinetypeTable, AcDbLinetypeTableRecord)

#define ACDB_MODEL_SPACE "*Model_Space"
#define ACDB_PAPER_SPACE "*Paper_Space"

// ---------------------------------------------------------------------------------------------

class KV_PLATFORM_API AcDbDatabase : public AcRxObject {
public:
  // A new drawing holds the block table with model and paper space, the layer table with
  // layer "0" and the linetype table with ByBlock, ByLayer and Continuous. With
  // buildDefaultDrawing false the database is empty, to be filled by a reader.
  explicit AcDbDatabase(bool buildDefaultDrawing = true, bool noDocument = false);
  ~AcDbDatabase() override;
  AcDbDatabase(const AcDbDatabase&) = delete;
  AcDbDatabase& operator=(const AcDbDatabase&) = delete;

  Acad::ErrorStatus getBlockTable(AcDbBlockTable*& table, AcDb::OpenMode mode = AcDb::kForRead);
  Acad::ErrorStatus getLayerTable(AcDbLayerTable*& table, AcDb::OpenMode mode = AcDb::kForRead);
  Acad::ErrorStatus getLinetypeTable(AcDbLinetypeTable*& table, AcDb::OpenMode mode = AcDb::kForRead);
  AcDbObjectId blockTableId() const { return blockTable_; }
  AcDbObjectId layerTableId() const { return layerTable_; }
  AcDbObjectId linetypeTableId() const { return linetypeTable_; }
  AcDbObjectId modelSpaceId() const { return modelSpace_; }
  AcDbObjectId paperSpaceId() const { return paperSpace_; }
  AcDbObjectId layerZero() const { return layerZero_; }
  AcDbObjectId byLayerLinetype() const { return byLayer_; }
  AcDbObjectId byBlockLinetype() const { return byBlock_; }
  AcDbObjectId continuousLinetype() const { return continuous_; }
  AcDbObjectId clayer() const { return clayer_; }
  // eInvalidInput for what is not a live layer of this drawing; eInvalidLayer for a frozen
  // layer, which the host never makes current.
  Acad::ErrorStatus setClayer(AcDbObjectId layer);

  // The object becomes database-resident, open for write, with a new handle.
  Acad::ErrorStatus addAcDbObject(AcDbObjectId& id, AcDbObject* object);
  // eInvalidInput for the null handle; eUnknownHandle when no object has it.
  Acad::ErrorStatus getAcDbObjectId(AcDbObjectId& id, bool createIfNotFound, const AcDbHandle& handle);
  // Reserves handles up to seed, so that a reader can keep a file's own handles.
  AcDbHandle handseed() const { return AcDbHandle(nextHandle_); }
  Acad::ErrorStatus addAcDbObjectWithHandle(AcDbObjectId& id, AcDbObject* object, const AcDbHandle& handle);
  int objectCount() const { return int(stubs_.size()); }

private:
  friend struct AcDbStub;
  friend struct kv::HostAccess;

  Acad::ErrorStatus add(AcDbObjectId& id, AcDbObject* object, std::uint64_t handle);
  void findWellKnown();

  std::vector<std::unique_ptr<AcDbStub>> stubs_;
  std::map<std::uint64_t, AcDbStub*> byHandle_;
  std::uint64_t nextHandle_ = 1;
  AcDbObjectId blockTable_, layerTable_, linetypeTable_;
  AcDbObjectId modelSpace_, paperSpace_, layerZero_, byLayer_, byBlock_, continuous_, clayer_;
  // The handle the next object added takes when it is free: a reader keeping a file's handles.
  std::uint64_t wanted_ = 0;
  kv::KeptDrawing* kept_ = nullptr;  // owned; null for a drawing no file gave
};

// The host's application services: the working database.
class KV_PLATFORM_API AcDbHostApplicationServices {
public:
  AcDbDatabase* workingDatabase() const;
  void setWorkingDatabase(AcDbDatabase* db);
};
KV_PLATFORM_API AcDbHostApplicationServices* acdbHostApplicationServices();

// Opens the object of id. Statuses: eNullObjectId, eWasErased (unless openErased),
// eWasOpenForWrite, eWasOpenForRead, eAtMaxReaders, and eNotThatKindOfClass from the typed forms.
// On failure obj is set to null.
KV_PLATFORM_API Acad::ErrorStatus acdbOpenObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode,
                                                 bool openErased = false);
KV_PLATFORM_API Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode,
                                                     bool openErased = false);
KV_PLATFORM_API Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& ent, AcDbObjectId id, AcDb::OpenMode mode,
                                                     bool openErased = false);

template <class T>
Acad::ErrorStatus acdbOpenObject(T*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased = false) {
  obj = nullptr;
  AcDbObject* any = nullptr;
  Acad::ErrorStatus es = acdbOpenObject(any, id, mode, openErased);
  if (es != Acad::eOk) return es;
  obj = T::cast(any);
  if (!obj) {
    any->close();
    return Acad::eNotThatKindOfClass;
  }
  return Acad::eOk;
}

template <class T>
Acad::ErrorStatus acdbOpenAcDbObject(T*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased = false) {
  return acdbOpenObject(obj, id, mode, openErased);
}
