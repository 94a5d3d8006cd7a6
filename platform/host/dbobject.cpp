// Objects, entities and the open/close protocol.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>

#include "host/acdb.h"
#include "host/access.h"
#include "core/faults.h"
#include "host/kept.h"
#include "host/stub.h"

const AcDbObjectId AcDbObjectId::kNull;

std::string AcDbHandle::text() const {
  char buf[20];
  snprintf(buf, sizeof buf, "%" PRIX64, value_);
  return buf;
}

bool AcDbObjectId::isErased() const { return stub_ && stub_->erased; }
AcDbHandle AcDbObjectId::handle() const { return AcDbHandle(stub_ ? stub_->handle : 0); }
AcDbDatabase* AcDbObjectId::database() const { return stub_ ? stub_->db : nullptr; }

bool AcDbObjectId::operator<(const AcDbObjectId& id) const {
  return std::less<const AcDbStub*>()(stub_, id.stub_);
}

// ---------------------------------------------------------------------------------------------

AcDbExtents::AcDbExtents() {
  const double big = std::numeric_limits<double>::max();
  min_ = AcGePoint3d(big, big, big);
  max_ = AcGePoint3d(-big, -big, -big);
}

Acad::ErrorStatus AcDbExtents::set(const AcGePoint3d& min, const AcGePoint3d& max) {
  if (min.x > max.x || min.y > max.y || min.z > max.z) return Acad::eInvalidExtents;
  min_ = min;
  max_ = max;
  return Acad::eOk;
}

void AcDbExtents::addPoint(const AcGePoint3d& p) {
  for (unsigned i = 0; i < 3; ++i) {
    min_[i] = std::min(min_[i], p[i]);
    max_[i] = std::max(max_[i], p[i]);
  }
}

void AcDbExtents::addExt(const AcDbExtents& other) {
  if (other.isEmpty()) return;
  addPoint(other.min_);
  addPoint(other.max_);
}

void AcDbExtents::transformBy(const AcGeMatrix3d& m) {
  if (isEmpty()) return;
  AcDbExtents out;
  for (int corner = 0; corner < 8; ++corner) {
    AcGePoint3d p((corner & 1) ? max_.x : min_.x, (corner & 2) ? max_.y : min_.y, (corner & 4) ? max_.z : min_.z);
    out.addPoint(m * p);
  }
  *this = out;
}

// ---------------------------------------------------------------------------------------------

Acad::ErrorStatus AcCmColor::setColorMethod(Method method) {
  if (method < kByLayer || method > kNone) return Acad::eInvalidInput;
  method_ = method;
  if (method == kByLayer) index_ = kACIbyLayer;
  if (method == kByBlock) index_ = kACIbyBlock;
  return Acad::eOk;
}

Acad::ErrorStatus AcCmColor::setByLayer() { return setColorMethod(kByLayer); }
Acad::ErrorStatus AcCmColor::setByBlock() { return setColorMethod(kByBlock); }
Acad::ErrorStatus AcCmColor::setForeground() { return setColorMethod(kForeground); }
Acad::ErrorStatus AcCmColor::setNone() { return setColorMethod(kNone); }

Acad::ErrorStatus AcCmColor::setColorIndex(Adesk::UInt16 index) {
  if (index == kACIbyLayer) return setByLayer();
  if (index == kACIbyBlock) return setByBlock();
  if (index > 255) return Acad::eInvalidInput;
  method_ = kByACI;
  index_ = index;
  return Acad::eOk;
}

Adesk::UInt16 AcCmColor::colorIndex() const {
  switch (method_) {
    case kByLayer: return kACIbyLayer;
    case kByBlock: return kACIbyBlock;
    case kByACI: return index_;
    case kByColor: return Adesk::UInt16(kvRgbToNearestAci(rgb_[0], rgb_[1], rgb_[2]));
    case kForeground: return kACIforeground;
    default: return kACIbyLayer;
  }
}

Acad::ErrorStatus AcCmColor::setRGB(Adesk::UInt8 red, Adesk::UInt8 green, Adesk::UInt8 blue) {
  method_ = kByColor;
  rgb_[0] = red;
  rgb_[1] = green;
  rgb_[2] = blue;
  return Acad::eOk;
}

static Adesk::UInt8 component(AcCmColor::Method method, const Adesk::UInt8* rgb, Adesk::UInt16 index, int which) {
  if (method == AcCmColor::kByColor) return rgb[which];
  if (method == AcCmColor::kByACI) return Adesk::UInt8(kvAciToRgb(index) >> (8 * which));
  return 0;
}

Adesk::UInt8 AcCmColor::red() const { return component(method_, rgb_, index_, 0); }
Adesk::UInt8 AcCmColor::green() const { return component(method_, rgb_, index_, 1); }
Adesk::UInt8 AcCmColor::blue() const { return component(method_, rgb_, index_, 2); }

bool AcCmColor::operator==(const AcCmColor& c) const {
  if (method_ != c.method_) return false;
  if (method_ == kByACI) return index_ == c.index_;
  if (method_ == kByColor) return std::equal(rgb_, rgb_ + 3, c.rgb_);
  return true;
}

// ---------------------------------------------------------------------------------------------

AcRxClass* AcDbObject::desc() {
  static AcRxClass cls("AcDbObject", AcRxObject::desc());
  return &cls;
}

AcDbObject::~AcDbObject() { delete kept_; }

Acad::ErrorStatus AcDbObject::setOwnerId(AcDbObjectId owner) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  owner_ = owner;
  return Acad::eOk;
}

AcDbObjectId AcDbObject::objectId() const { return kv::HostAccess::idOf(stub_); }
AcDbDatabase* AcDbObject::database() const { return stub_ ? stub_->db : nullptr; }
AcDbHandle AcDbObject::handle() const { return AcDbHandle(stub_ ? stub_->handle : 0); }
bool AcDbObject::isErased() const { return stub_ && stub_->erased; }
bool AcDbObject::isReadEnabled() const { return !stub_ || readers_ > 0 || writer_ || notifiers_ > 0; }
bool AcDbObject::isWriteEnabled() const { return !stub_ || writer_; }

Acad::ErrorStatus AcDbObject::openAs(AcDb::OpenMode mode) {
  // The host caps concurrent readers of one object.
  constexpr int kMaxReaders = 255;
  switch (mode) {
    case AcDb::kForRead:
      if (writer_) return Acad::eWasOpenForWrite;
      if (readers_ >= kMaxReaders) return Acad::eAtMaxReaders;
      ++readers_;
      return Acad::eOk;
    case AcDb::kForWrite:
      if (writer_) return Acad::eWasOpenForWrite;
      if (readers_ > 0) return Acad::eWasOpenForRead;
      writer_ = true;
      return Acad::eOk;
    case AcDb::kForNotify:
      ++notifiers_;
      return Acad::eOk;
    default:
      return Acad::eInvalidOpenState;
  }
}

Acad::ErrorStatus AcDbObject::close() {
  if (!stub_) {
    if (!container_) delete this;
    return Acad::eOk;
  }
  if (writer_) writer_ = false;
  else if (notifiers_ > 0) --notifiers_;
  else if (readers_ > 0) --readers_;
  else return Acad::eNotOpenForRead;
  return Acad::eOk;
}

// The host keeps the entities of a locked layer from every write open; a new entity is not
// opened, so appending to a locked layer (and setting the layer of what was just appended) goes on.
static bool onLockedLayer(const AcDbObject& object) {
  const AcDbEntity* entity = AcDbEntity::cast(&object);
  if (!entity) return false;
  AcDbStub* stub = kv::HostAccess::stub(entity->layerId());
  const AcDbLayerTableRecord* layer = stub && !stub->erased ? AcDbLayerTableRecord::cast(stub->object) : nullptr;
  return layer && layer->isLocked();
}

Acad::ErrorStatus AcDbObject::upgradeOpen() {
  if (writer_) return Acad::eWasOpenForWrite;
  if (readers_ == 0) return Acad::eNotOpenForRead;
  if (readers_ > 1) return Acad::eHadMultipleReaders;
  if (onLockedLayer(*this)) return Acad::eOnLockedLayer;
  readers_ = 0;
  writer_ = true;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::downgradeOpen() {
  if (!writer_) return Acad::eWasNotOpenForWrite;
  writer_ = false;
  readers_ = 1;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::erase(bool erasing) {
  if (int st = kv::fault::check(kv::fault::Call::erase, Acad::eCannotBeErasedByCaller)) return Acad::ErrorStatus(st);
  if (!stub_) return Acad::eNotInDatabase;
  if (!writer_) return Acad::eNotOpenForWrite;
  if (erasing && stub_->erased) return Acad::eWasErased;
  stub_->erased = erasing;
  subErase(erasing);
  return Acad::eOk;
}

// ---------------------------------------------------------------------------------------------

Acad::ErrorStatus acdbOpenObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased) {
  obj = nullptr;
  if (int st = kv::fault::check(kv::fault::Call::acdbOpenObject, Acad::eWasOpenForWrite)) return Acad::ErrorStatus(st);
  AcDbStub* stub = kv::HostAccess::stub(id);
  if (!stub) return Acad::eNullObjectId;
  if (!stub->object) return Acad::ePermanentlyErased;
  if (stub->erased && !openErased) return Acad::eWasErased;
  if (mode == AcDb::kForWrite && onLockedLayer(*stub->object)) return Acad::eOnLockedLayer;
  if (Acad::ErrorStatus es = kv::HostAccess::openAs(*stub->object, mode)) return es;
  obj = stub->object;
  return Acad::eOk;
}

Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& obj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased) {
  return acdbOpenObject(obj, id, mode, openErased);
}

Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& ent, AcDbObjectId id, AcDb::OpenMode mode, bool openErased) {
  return acdbOpenObject(ent, id, mode, openErased);
}

// ---------------------------------------------------------------------------------------------

KV_RX_DEFINE_MEMBERS(AcDbEntity, AcDbObject, nullptr)

AcDbEntity::AcDbEntity() = default;

Acad::ErrorStatus AcDbEntity::setColor(const AcCmColor& color, bool doSubents) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  color_ = color;
  subPropertiesChanged(doSubents);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setColorIndex(Adesk::UInt16 index, bool doSubents) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  AcCmColor c;
  if (Acad::ErrorStatus es = c.setColorIndex(index)) return es;
  color_ = c;
  subPropertiesChanged(doSubents);
  return Acad::eOk;
}

static CString recordName(AcDbObjectId id) {
  AcDbStub* stub = kv::HostAccess::stub(id);
  if (!stub || !stub->object) return CString();
  const AcDbSymbolTableRecord* rec = AcDbSymbolTableRecord::cast(stub->object);
  return rec ? CString(rec->getName()) : CString();
}

CString AcDbEntity::layer() const { return recordName(layer_); }
CString AcDbEntity::linetype() const { return recordName(linetype_); }

// The database whose records an entity may refer to.
static AcDbDatabase* homeDatabase(const AcDbEntity& e) {
  return e.database() ? e.database() : acdbHostApplicationServices()->workingDatabase();
}

Acad::ErrorStatus AcDbEntity::setLayer(AcDbObjectId layer, bool doSubents) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  AcDbStub* stub = kv::HostAccess::stub(layer);
  if (!stub || !stub->object || stub->erased) return Acad::eInvalidInput;
  if (!AcDbLayerTableRecord::cast(stub->object)) return Acad::eWrongObjectType;
  if (stub->db != homeDatabase(*this)) return Acad::eWrongDatabase;
  layer_ = layer;
  subPropertiesChanged(doSubents);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::setLayer(const char* name, bool doSubents) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  AcDbDatabase* db = homeDatabase(*this);
  if (!db) return Acad::eNoDatabase;
  AcDbLayerTable* table = nullptr;
  if (Acad::ErrorStatus es = db->getLayerTable(table, AcDb::kForRead)) return es;
  AcDbObjectId id;
  Acad::ErrorStatus es = table->getAt(name, id);
  table->close();
  if (es != Acad::eOk) return es;
  return setLayer(id, doSubents);
}

Acad::ErrorStatus AcDbEntity::setLinetype(AcDbObjectId linetype, bool doSubents) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  AcDbStub* stub = kv::HostAccess::stub(linetype);
  if (!stub || !stub->object || stub->erased) return Acad::eInvalidInput;
  if (!AcDbLinetypeTableRecord::cast(stub->object)) return Acad::eWrongObjectType;
  if (stub->db != homeDatabase(*this)) return Acad::eWrongDatabase;
  linetype_ = linetype;
  subPropertiesChanged(doSubents);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::highlight(const AcDbFullSubentPath&, bool) const {
  highlighted_ = true;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::unhighlight(const AcDbFullSubentPath&, bool) const {
  highlighted_ = false;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbEntity::transformBy(const AcGeMatrix3d& xform) {
  if (int st = kv::fault::check(kv::fault::Call::transformBy, Acad::eCannotScaleNonUniformly)) return Acad::ErrorStatus(st);
  if (Acad::ErrorStatus es = checkWrite()) return es;
  return subTransformBy(xform);
}

Acad::ErrorStatus AcDbEntity::getGeomExtents(AcDbExtents& extents) const {
  if (!isReadEnabled()) return Acad::eNotOpenForRead;
  return subGetGeomExtents(extents);
}

Acad::ErrorStatus AcDbEntity::explode(AcDbVoidPtrArray& entitySet) const {
  if (!isReadEnabled()) return Acad::eNotOpenForRead;
  return subExplode(entitySet);
}

Acad::ErrorStatus AcDbEntity::subTransformBy(const AcGeMatrix3d&) { return Acad::eNotApplicable; }
Acad::ErrorStatus AcDbEntity::subExplode(AcDbVoidPtrArray&) const { return Acad::eNotApplicable; }
Acad::ErrorStatus AcDbEntity::subGetGeomExtents(AcDbExtents&) const { return Acad::eNotApplicable; }

void AcDbEntity::copyPropertiesTo(AcDbEntity& other) const {
  other.color_ = color_;
  other.layer_ = layer_;
  other.linetype_ = linetype_;
}

void AcDbEntity::setDefaults(AcDbDatabase* db) {
  if (!db) return;
  if (layer_.isNull()) layer_ = db->clayer().isNull() ? db->layerZero() : db->clayer();
  if (linetype_.isNull()) linetype_ = db->byLayerLinetype();
}

// ---------------------------------------------------------------------------------------------

KV_RX_DEFINE_MEMBERS(AcDbPoint, AcDbEntity, "POINT")

Acad::ErrorStatus AcDbPoint::setPosition(const AcGePoint3d& position) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  position_ = position;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPoint::subTransformBy(const AcGeMatrix3d& xform) {
  position_.transformBy(xform);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPoint::subGetGeomExtents(AcDbExtents& extents) const {
  extents = AcDbExtents(position_, position_);
  return Acad::eOk;
}

AcRxObject* AcDbPoint::subClone() const {
  auto* copy = new AcDbPoint(position_);
  copyPropertiesTo(*copy);
  return copy;
}

KV_RX_DEFINE_MEMBERS(AcDbCurve, AcDbEntity, nullptr)

Acad::ErrorStatus AcDbCurve::getStartPoint(AcGePoint3d& point) const {
  double param = 0;
  Acad::ErrorStatus es = getStartParam(param);
  return es == Acad::eOk ? getPointAtParam(param, point) : es;
}

Acad::ErrorStatus AcDbCurve::getEndPoint(AcGePoint3d& point) const {
  double param = 0;
  Acad::ErrorStatus es = getEndParam(param);
  return es == Acad::eOk ? getPointAtParam(param, point) : es;
}

KV_RX_DEFINE_MEMBERS(AcDbLine, AcDbCurve, "LINE")

Acad::ErrorStatus AcDbLine::getStartParam(double& param) const {
  param = 0;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::getEndParam(double& param) const {
  param = start_.distanceTo(end_);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::getPointAtParam(double param, AcGePoint3d& point) const {
  double length = start_.distanceTo(end_);
  if (!(param >= 0 && param <= length)) return Acad::eInvalidInput;
  point = length == 0 ? start_ : start_ + (end_ - start_) * (param / length);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::getDistAtParam(double param, double& dist) const {
  if (!(param >= 0 && param <= start_.distanceTo(end_))) return Acad::eInvalidInput;
  dist = param;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::setStartPoint(const AcGePoint3d& p) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  start_ = p;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::setEndPoint(const AcGePoint3d& p) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  end_ = p;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::subTransformBy(const AcGeMatrix3d& xform) {
  start_.transformBy(xform);
  end_.transformBy(xform);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbLine::subGetGeomExtents(AcDbExtents& extents) const {
  extents = AcDbExtents();
  extents.addPoint(start_);
  extents.addPoint(end_);
  return Acad::eOk;
}

AcRxObject* AcDbLine::subClone() const {
  auto* copy = new AcDbLine(start_, end_);
  copyPropertiesTo(*copy);
  return copy;
}
