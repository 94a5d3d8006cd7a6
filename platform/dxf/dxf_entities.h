// Entities in DXF: one codec (a read and a write function) per entity type, found by DXF name
// when reading and by run-time class when writing. A new entity type is one codec more in
// dxf_entities.cpp; the section readers and writers do not change. Whatever a codec does not
// model it keeps (EntityIn::keep), and EntityOut writes it back in its place: so nothing of an
// entity is lost, whichever of its data the host holds.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dxf/dxf_kept.h"
#include "dxf/dxf_tags.h"
#include "host/acdb.h"
#include "host/ocs.h"

namespace kv::dxf {

// What every entity carries in DXF beside its own data. Names stay names until the drawing's
// tables exist; the reader resolves them when it hands entities to the database.
struct EntityCommon {
  std::string layer = "0";
  std::string linetype;  // empty: by layer
  AcCmColor color;       // by layer unless 62/420 say otherwise
  bool paperSpace = false;
  std::int64_t colorIndex = 0, trueColor = -1;  // 62 and 420 as read; -1 for no 420
  std::uint64_t handle = 0;  // 5; 0 when the file gives none
  std::uint64_t owner = 0;   // 330; 0 when the file gives none (R12)
  long line = 0;             // where the entity starts, for messages
  // Pairs the codec does not model, each with the subclass marker it stood under, in file
  // order: written back in the same place.
  KeptPairs kept;
  // Sub-entities that followed the entity and that its codec did not read, as read.
  std::string tail;
  // A block reference's block by name (2), resolved once every block is known; the reader
  // then hands the block's record to link.
  std::string blockName;
  void (*linkBlock)(AcDbEntity& entity, AcDbObjectId record) = nullptr;
  // Which of the codec's optional values the file gave (bits of the codec's own), and the bits
  // of its flags the model does not hold.
  std::uint8_t given = 0;
  std::int64_t flags = 0;
  // Objects the entity brings into the drawing with it (its vertices), each with what the file
  // gave it of its own: handle, layer, linetype, colour and kept pairs; the SEQEND that closed
  // them.
  std::vector<std::pair<const AcDbObject*, std::unique_ptr<EntityCommon>>> subs;
  std::uint64_t seqend = 0;
};

// Reading one entity. The entity's "0 NAME" pair has been read.
class EntityIn {
public:
  // A table record is read the same way, with only its handle (5 or 105), owner, 102 groups,
  // markers and extended data taken in passing.
  enum class Kind { kEntity, kRecord };
  EntityIn(TagReader& tags, EntityCommon& common, Kind kind = Kind::kEntity)
      : tags_(tags), common_(common), record_(kind == Kind::kRecord) {}

  // The entity's next own pair. Common pairs (handle, owner, layer, linetype, colour,
  // paper-space flag) are taken in passing; subclass markers, 102 groups (reactors, extension
  // dictionary), the other properties of AcDbEntity (lineweight, linetype scale, transparency,
  // ...) and extended data are kept in passing.
  // False at the entity's end, with the following "0" pair left unread, or on an error.
  bool next(Tag& tag);
  // Numbers of the entity's own pairs; on a bad value the error is recorded and false returned.
  bool real(const Tag& tag, double& value);
  bool integer(const Tag& tag, std::int64_t& value);
  // Takes x, y or z of p from a pair coded base, base + 10 or base + 20. True when the pair
  // was one of them (check ok() for a bad number).
  bool coordinate(const Tag& tag, int base, AcGePoint3d& p);
  // Every own pair a codec does not model goes here, so that a save writes it back.
  void keep(const Tag& tag) { common_.kept.add(tag.code, tag.value); }
  // Keeps every marker too, and common values that are not numbers: for an entity kept whole.
  void keepAll() { keepAll_ = true; }
  bool ok() const { return tags_.ok(); }
  // A value the codec cannot take: the entity is then kept as read, with message in the
  // read report, and the rest of the drawing is read.
  bool fail(const Tag& tag, const std::string& message) { return tags_.fail(tag.line, message); }
  // For entities followed by entities of their own (POLYLINE, VERTEX ..., SEQEND).
  TagReader& tags() { return tags_; }
  const EntityCommon& common() const { return common_; }
  // A sub-entity the codec read (a vertex) keeps its handle, properties and pairs as the file
  // gave them; and the SEQEND its handle.
  void keepSub(const AcDbObject& object, EntityCommon&& own) {
    common_.subs.emplace_back(&object, std::make_unique<EntityCommon>(std::move(own)));
  }
  void keepSeqend(std::uint64_t handle) { common_.seqend = handle; }
  // Optional values the file gave, for the writer to give them back the same way.
  void given(std::uint8_t bits) { common_.given |= bits; }
  void keepFlags(std::int64_t bits) { common_.flags = bits; }
  // A block reference names its block; link gets the block's record once the drawing has it.
  void linkBlock(std::string name, void (*link)(AcDbEntity&, AcDbObjectId)) {
    common_.blockName = std::move(name);
    common_.linkBlock = link;
  }
  // A codec that read the whole entity (with its sub-entities) but has no host type for this
  // variant (a 2D polyline) says so and returns null: the reader keeps the entity as read.
  // why, when given, says what kept it out, for the read report.
  void markUnsupported(std::string why = {}) {
    unsupported_ = true;
    why_ = std::move(why);
  }
  bool unsupported() const { return unsupported_; }
  const std::string& why() const { return why_; }

private:
  bool takeCommon(const Tag& tag);
  bool takeMarker(const Tag& tag);
  bool takeProperty(const Tag& tag);
  bool number(const Tag& tag, std::int64_t& n, const char* what);

  TagReader& tags_;
  EntityCommon& common_;
  bool record_;
  bool keepAll_ = false;
  bool inGroup_ = false;  // inside a 102 {...} group, whose 330s are reactors, not the owner
  bool inXdata_ = false;  // extended data runs to the entity's end
  bool sawSubclass_ = false;
  bool ownSubclass_ = false;
  bool sawOwner_ = false;
  bool trueColor_ = false;
  bool unsupported_ = false;
  std::string why_;
};

// Writing one entity, with handles for pieces that have no object of their own (SEQEND).
// Whatever a codec writes, the entity's kept pairs go back where they were read.
class EntityOut {
public:
  // R12 writes no owners, subclass markers nor true colours.
  // Without handles, none are written (an R12 file that had none).
  EntityOut(TagWriter& tags, std::uint64_t& nextHandle, bool paperSpace, bool r12 = false, bool handles = true)
      : tags_(tags), next_(nextHandle), paperSpace_(paperSpace), out_(tags, r12, handles) {}
  ~EntityOut() { end(); }
  EntityOut(const EntityOut&) = delete;
  EntityOut& operator=(const EntityOut&) = delete;

  // 0 name, 5 handle, 330 owner, AcDbEntity with 67, 8 layer, 6 linetype (unless by layer),
  // 62 colour (unless by layer) and 420 for a true colour; ends the entity before.
  void common(std::string_view dxfName, const AcDbEntity& entity);
  // A sub-entity (VERTEX, SEQEND) under handle, owned by owner. One read from a file (self,
  // with kept data) carries its own layer, linetype, colour and kept pairs, as read; any other
  // carries owner's, as the host keeps the vertices it makes on their polyline's properties.
  // The entity's kept pairs go before its first sub-entity.
  void sub(const char* dxfName, std::uint64_t handle, const AcDbEntity& owner, const AcDbEntity* self = nullptr);
  // Opens a subclass ("100 name"); codecs write every marker through it, so that pairs kept
  // under the previous one go back where they were read.
  void subclass(const char* name) { out_.subclass(name); }
  // Ends the entity: what is kept of it and not written yet, then the sub-entities kept with
  // it. The writer calls it after each codec.
  void end();
  TagWriter& tags() { return tags_; }
  bool r12() const { return out_.r12(); }
  std::uint64_t freshHandle() { return next_++; }
  // The handle of the SEQEND after owner's vertices: the one it was read with, else a fresh one.
  std::uint64_t seqendHandle(const AcDbEntity& owner);
  // A codec that cannot write the entity as it stands says why, writing nothing: the save is
  // then refused rather than the entity lost. The first refusal is the one kept.
  void refuse(Acad::ErrorStatus es, std::string why) {
    if (refused_ != Acad::eOk) return;
    refused_ = es;
    why_ = std::move(why);
  }
  Acad::ErrorStatus refused() const { return refused_; }
  const std::string& why() const { return why_; }

private:
  void properties(const AcDbEntity& entity);

  TagWriter& tags_;
  std::uint64_t& next_;
  bool paperSpace_;
  ObjectOut out_;
  const KeptData* kept_ = nullptr;  // of the entity being written
  Acad::ErrorStatus refused_ = Acad::eOk;
  std::string why_;
};

// Null when the entity could not be read (the reader's error says why).
using EntityReadFn = std::unique_ptr<AcDbEntity> (*)(EntityIn& in);
using EntityWriteFn = void (*)(EntityOut& out, const AcDbEntity& entity);

struct EntityCodec {
  AcRxClass* (*desc)();  // the class; its dxfName() is the name in the file
  EntityReadFn read;
  EntityWriteFn write;
};

// The codecs of POLYLINE (dxf_polyline.cpp): one reader for the family, which tells polyface
// meshes, polygon meshes, 3D and 2D polylines apart by the flags in 70, and a writer per class.
std::unique_ptr<AcDbEntity> readPolyline(EntityIn& in);
void writePolyFaceMesh(EntityOut& out, const AcDbEntity& entity);
void writePolygonMesh(EntityOut& out, const AcDbEntity& entity);
void write3dPolyline(EntityOut& out, const AcDbEntity& entity);
void write2dPolyline(EntityOut& out, const AcDbEntity& entity);
// The codec of LWPOLYLINE (dxf_lwpolyline.cpp).
std::unique_ptr<AcDbEntity> readLwPolyline(EntityIn& in);
void writeLwPolyline(EntityOut& out, const AcDbEntity& entity);

// The codecs of TEXT, HATCH, MLINE and INSERT (dxf_annotations.cpp). INSERT names its block
// in common().blockName; ATTRIB entities after an INSERT whose 66 flag is set, with their
// SEQEND, are kept with it as they stand.
std::unique_ptr<AcDbEntity> readText(EntityIn& in);
void writeText(EntityOut& out, const AcDbEntity& entity);
std::unique_ptr<AcDbEntity> readHatch(EntityIn& in);
void writeHatch(EntityOut& out, const AcDbEntity& entity);
std::unique_ptr<AcDbEntity> readMline(EntityIn& in);
void writeMline(EntityOut& out, const AcDbEntity& entity);
std::unique_ptr<AcDbEntity> readInsert(EntityIn& in);
void writeInsert(EntityOut& out, const AcDbEntity& entity);

// The codecs of the curves (dxf_curves.cpp): RAY, XLINE, CIRCLE, ARC, ELLIPSE and SPLINE.
std::unique_ptr<AcDbEntity> readRay(EntityIn& in);
void writeRay(EntityOut& out, const AcDbEntity& entity);
std::unique_ptr<AcDbEntity> readXline(EntityIn& in);
void writeXline(EntityOut& out, const AcDbEntity& entity);
std::unique_ptr<AcDbEntity> readCircle(EntityIn& in);
void writeCircle(EntityOut& out, const AcDbEntity& entity);
std::unique_ptr<AcDbEntity> readArc(EntityIn& in);
void writeArc(EntityOut& out, const AcDbEntity& entity);
std::unique_ptr<AcDbEntity> readEllipse(EntityIn& in);
void writeEllipse(EntityOut& out, const AcDbEntity& entity);
std::unique_ptr<AcDbEntity> readSpline(EntityIn& in);
void writeSpline(EntityOut& out, const AcDbEntity& entity);

// Null when no codec reads that name.
const EntityCodec* codecForDxfName(std::string_view name);
// Entities of kinds no codec reads, and those a codec could not read: kept whole as a
// kv::KeptEntity, only layer, linetype, colour, handle, owner and paper space modelled.
std::unique_ptr<AcDbEntity> readKept(EntityIn& in, std::string dxfName);
// The codec of the class or of its nearest parent that has one; null for none.
const EntityCodec* codecForClass(const AcRxClass* cls);

// Angles: degrees in files, radians in the host.
inline double radiansOf(double degrees) { return degrees * (std::numbers::pi / 180); }

// The shortest decimal near approx that forward() takes back to target exactly, so that a
// value read from a file is written as the file had it; approx itself when none does.
template <class Forward>
double shortestInverse(double target, double approx, Forward forward) {
  double scale = 1;
  for (int digits = 0; digits <= 15; ++digits, scale *= 10) {
    double candidate = std::round(approx * scale) / scale;
    if (forward(candidate) == target) return candidate;
  }
  return approx;
}

// Degrees for the file: an angle read as 30 degrees is written as 30, not 29.999999999999996.
inline double degreesOf(double radians) {
  return shortestInverse(radians, radians * (180 / std::numbers::pi), radiansOf);
}

// Colour pairs: 62 index (0 by block, 256 by layer; the sign is the layer-off mark) and 420
// packed 0x00RRGGBB, which wins over 62.
void applyColorIndex(AcCmColor& color, std::int64_t index);
void applyTrueColor(AcCmColor& color, std::int64_t packed);
std::int64_t packTrueColor(const AcCmColor& color);
// The index written for a colour: for a true colour still the one read, the index read with it.
int colorIndexOf(const AcCmColor& color, const KeptData* kept);

}  // namespace kv::dxf
