#include "dxf/dxf_entities.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "host/annotations.h"
#include "host/curves.h"
#include "host/entities.h"
#include "host/polylines.h"
#include "host/ocs.h"
#include "host/access.h"
#include "host/kept.h"
#include "modeler/occ_shape.h"
#include "modeler/sat_acis.h"
#include "core/numbers.h"

namespace kv::dxf {

void applyColorIndex(AcCmColor& color, std::int64_t index) {
  index = std::llabs(index);
  if (index == 0) color.setByBlock();
  else if (index <= 255) color.setColorIndex(Adesk::UInt16(index));
  else color.setByLayer();  // 256, and values past the palette that some writers use for "by entity"
}

void applyTrueColor(AcCmColor& color, std::int64_t packed) {
  color.setRGB(Adesk::UInt8(packed >> 16 & 0xFF), Adesk::UInt8(packed >> 8 & 0xFF), Adesk::UInt8(packed & 0xFF));
}

std::int64_t packTrueColor(const AcCmColor& color) {
  return std::int64_t(color.red()) << 16 | std::int64_t(color.green()) << 8 | color.blue();
}

// ---------------------------------------------------------------------------------------------

bool EntityIn::takeCommon(const Tag& tag) {
  if (inXdata_ || isXdata(tag.code)) {
    inXdata_ = true;  // extended data runs to the entity's end
    keep(tag);
    return true;
  }
  if (tag.code == 102) {
    std::string_view v = kv::trimBlanks(tag.value);
    inGroup_ = !v.empty() && v[0] == '{';
    keep(tag);
    return true;
  }
  if (inGroup_) {
    keep(tag);
    return true;
  }
  if (tag.code == 100) return takeMarker(tag);
  if (ownSubclass_) return false;
  if (record_) {
    if (sawSubclass_ || (tag.code != 5 && tag.code != 105 && tag.code != 330)) return false;
    return takeProperty(tag);
  }
  if (takeProperty(tag)) return true;
  // AcDbEntity's other properties (lineweight, linetype scale, transparency, ...) are kept;
  // in a file without markers (R12) every code but the common ones is the entity's own.
  if (!sawSubclass_) return false;
  keep(tag);
  return true;
}

bool EntityIn::takeMarker(const Tag& tag) {
  std::string_view name = kv::trimBlanks(tag.value);
  // Pairs after the entity's own subclass marker are its own, even where codes repeat
  // common ones.
  ownSubclass_ = !record_ && name != "AcDbEntity";
  sawSubclass_ = true;
  common_.kept.subclass(name, keepAll_);
  return true;
}

bool EntityIn::number(const Tag& tag, std::int64_t& n, const char* what) {
  if (kv::toNumber(tag.value, n)) return true;
  // An entity kept whole keeps such a value as it stands.
  if (keepAll_) keep(tag);
  else fail(tag, std::string(what) + " is not a number");
  return false;
}

bool EntityIn::takeProperty(const Tag& tag) {
  std::int64_t n = 0;
  switch (tag.code) {
    case 5:
    case 105:
      if (common_.handle) return false;
      common_.handle = parseHandle(tag.value);
      return common_.handle != 0;
    case 330:
      if (sawSubclass_ || sawOwner_) return false;
      sawOwner_ = true;
      common_.owner = parseHandle(tag.value);
      common_.kept.ownerSlot();
      return true;
    case 8: {
      std::string_view v = kv::trimBlanks(tag.value);
      common_.layer = v.empty() ? "0" : std::string(v);
      return true;
    }
    case 6: common_.linetype = std::string(kv::trimBlanks(tag.value)); return true;
    case 62:
      if (!number(tag, n, "colour")) return true;
      common_.colorIndex = n;
      if (!trueColor_) applyColorIndex(common_.color, n);
      return true;
    case 420:
      if (!number(tag, n, "true colour")) return true;
      applyTrueColor(common_.color, n);
      common_.trueColor = packTrueColor(common_.color);
      trueColor_ = true;
      return true;
    case 67:
      if (number(tag, n, "paper-space flag")) common_.paperSpace = n == 1;
      return true;
    default: return false;
  }
}

bool EntityIn::next(Tag& tag) {
  while (tags_.next(tag)) {
    if (tag.code == 0) {
      tags_.unread();
      return false;
    }
    if (takeCommon(tag)) {
      if (!ok()) return false;
      continue;
    }
    return true;
  }
  if (ok()) tags_.fail(tags_.line(), "file ends inside an entity");
  return false;
}

bool EntityIn::real(const Tag& tag, double& value) {
  return kv::toNumber(tag.value, value) || fail(tag, "group " + std::to_string(tag.code) + " is not a number");
}

bool EntityIn::integer(const Tag& tag, std::int64_t& value) {
  return kv::toNumber(tag.value, value) || fail(tag, "group " + std::to_string(tag.code) + " is not an integer");
}

bool EntityIn::coordinate(const Tag& tag, int base, AcGePoint3d& p) {
  int axis = (tag.code - base) / 10;
  if (tag.code < base || (tag.code - base) % 10 != 0 || axis > 2) return false;
  double v = 0;
  if (real(tag, v)) p[unsigned(axis)] = v;
  return true;
}

// ---------------------------------------------------------------------------------------------

void EntityOut::common(std::string_view dxfName, const AcDbEntity& entity) {
  end();
  kept_ = kv::HostAccess::kept(entity);
  out_.start(dxfName, entity.handle().value(), entity.ownerId().handle().value(), kept_);
  properties(entity);
}

// The entity's own sub-entities come before those kept with it: end() writes these.
void EntityOut::sub(const char* dxfName, std::uint64_t handle, const AcDbEntity& owner, const AcDbEntity* self) {
  const kv::KeptData* own = self ? kv::HostAccess::kept(*self) : nullptr;
  out_.start(dxfName, handle, owner.handle().value(), own);
  properties(own ? *self : owner);
}

void EntityOut::end() {
  out_.end();
  if (kept_) writeVerbatim(tags_, kept_->extra);
  kept_ = nullptr;
}

int colorIndexOf(const AcCmColor& color, const kv::KeptData* kept) {
  if (color.isByColor() && kept && kept->trueColor == packTrueColor(color)) return kept->colorIndex;
  return color.colorIndex();
}

namespace {

// A record's name, or the file's spelling of it where that names the same record.
std::string_view spelt(const CString& name, const std::string& asRead) {
  if (!asRead.empty() && strcasecmp(asRead.c_str(), name.GetString()) == 0) return asRead;
  return name.GetString();
}

}  // namespace

std::uint64_t EntityOut::seqendHandle(const AcDbEntity& owner) {
  const kv::KeptData* kept = kv::HostAccess::kept(owner);
  return kept && kept->seqend ? kept->seqend : freshHandle();
}

void EntityOut::properties(const AcDbEntity& entity) {
  out_.subclass("AcDbEntity");
  if (paperSpace_) tags_.integer(67, 1);
  const kv::KeptData* kept = kv::HostAccess::kept(entity);
  const kv::KeptData::Spelling* spelling = kept ? kept->spelling.get() : nullptr;
  static const std::string none;
  CString layer = entity.layer();
  tags_.str(8, layer.IsEmpty() ? "0" : spelt(layer, spelling ? spelling->layer : none));
  CString linetype = entity.linetype();
  if (!linetype.IsEmpty() && strcasecmp(linetype.GetString(), "ByLayer") != 0)
    tags_.str(6, spelt(linetype, spelling ? spelling->linetype : none));
  AcCmColor color = entity.color();
  if (!color.isByLayer()) tags_.integer(62, colorIndexOf(color, kept));
  if (color.isByColor() && !out_.r12()) tags_.integer(420, packTrueColor(color));
}

// ---------------------------------------------------------------------------------------------
// The codecs. Points of lines, points and 3D faces are in world coordinates, so an extrusion
// (210) or thickness (39) does not move them; the host's line, point and face have neither.

namespace {

std::unique_ptr<AcDbEntity> readLine(EntityIn& in) {
  AcGePoint3d start, end;
  Tag t;
  while (in.next(t)) {
    if (in.coordinate(t, 10, start) || in.coordinate(t, 11, end)) {
      if (!in.ok()) return nullptr;
    } else {
      in.keep(t);  // thickness and extrusion among them: the host's line has neither
    }
  }
  if (!in.ok()) return nullptr;
  return std::make_unique<AcDbLine>(start, end);
}

void writeLine(EntityOut& out, const AcDbEntity& entity) {
  const auto& line = static_cast<const AcDbLine&>(entity);
  out.common(AcDbLine::desc()->dxfName(), line);
  out.subclass("AcDbLine");
  out.tags().point(10, line.startPoint());
  out.tags().point(11, line.endPoint());
}

std::unique_ptr<AcDbEntity> readPoint(EntityIn& in) {
  AcGePoint3d position;
  Tag t;
  while (in.next(t)) {
    if (!in.coordinate(t, 10, position)) in.keep(t);
    else if (!in.ok()) return nullptr;
  }
  if (!in.ok()) return nullptr;
  return std::make_unique<AcDbPoint>(position);
}

void writePoint(EntityOut& out, const AcDbEntity& entity) {
  const auto& point = static_cast<const AcDbPoint&>(entity);
  out.common(AcDbPoint::desc()->dxfName(), point);
  out.subclass("AcDbPoint");
  out.tags().point(10, point.position());
}

// Corners by group code, whatever their order in the file (some writers put 13 first). A
// fourth corner the file leaves out repeats the third: a triangle. Bit k of seen: corner k given.
bool readCorners(EntityIn& in, const Tag& t, AcGePoint3d (&p)[4], unsigned& seen) {
  for (int k = 0; k < 4; ++k)
    if (in.coordinate(t, 10 + k, p[k])) {
      seen |= 1u << k;
      return true;
    }
  return false;
}

std::unique_ptr<AcDbEntity> readFace(EntityIn& in) {
  AcGePoint3d p[4];
  unsigned seen = 0;
  std::int64_t invisible = 0;
  Tag t;
  while (in.next(t)) {
    if (readCorners(in, t, p, seen)) {
      if (!in.ok()) return nullptr;
    } else if (t.code != 70) {
      in.keep(t);
    } else if (!in.integer(t, invisible)) {
      return nullptr;
    }
  }
  if (!in.ok()) return nullptr;
  if (!(seen & 8)) p[3] = p[2];
  // Bit k of 70 hides the edge that starts at corner k.
  return std::make_unique<AcDbFace>(p[0], p[1], p[2], p[3], !(invisible & 1), !(invisible & 2), !(invisible & 4),
                                    !(invisible & 8));
}

void writeFace(EntityOut& out, const AcDbEntity& entity) {
  const auto& face = static_cast<const AcDbFace&>(entity);
  out.common(AcDbFace::desc()->dxfName(), face);
  out.subclass("AcDbFace");
  int invisible = 0;
  for (Adesk::UInt16 k = 0; k < 4; ++k) {
    AcGePoint3d p;
    face.getVertexAt(k, p);
    out.tags().point(10 + k, p);
    bool visible = true;
    face.isEdgeVisibleAt(k, visible);
    if (!visible) invisible |= 1 << k;
  }
  out.tags().integer(70, invisible);
}

// A solid's corners are in world coordinates in the host, in its object coordinate system in
// the file.
using kv::Ocs;

// The host keeps a solid's corners in world coordinates, the file in its object coordinates.
std::unique_ptr<AcDbEntity> readSolid(EntityIn& in) {
  AcGePoint3d p[4];
  unsigned seen = 0;
  double thickness = 0;
  AcGePoint3d extrusion(0, 0, 1);
  Tag t;
  Tag extrusionTag;
  while (in.next(t)) {
    if (readCorners(in, t, p, seen)) {
      if (!in.ok()) return nullptr;
    } else if (in.coordinate(t, 210, extrusion)) {
      if (!in.ok()) return nullptr;
      extrusionTag = t;
    } else if (t.code != 39) {
      in.keep(t);
    } else if (!in.real(t, thickness)) {
      return nullptr;
    }
  }
  if (!in.ok()) return nullptr;
  if (!(seen & 8)) p[3] = p[2];
  AcGeVector3d normal = extrusion.asVector();
  if (normal.isZeroLength()) {
    in.fail(extrusionTag, "extrusion direction has no length");
    return nullptr;
  }
  auto solid = std::make_unique<AcDbSolid>();
  solid->setNormal(normal);
  // The corners go through the normal the host keeps, so writing them back finds the same axes.
  Ocs ocs(solid->normal());
  for (Adesk::UInt16 k = 0; k < 4; ++k) solid->setPointAt(k, ocs.toWorld(p[k]));
  solid->setThickness(thickness);
  return solid;
}

void writeSolid(EntityOut& out, const AcDbEntity& entity) {
  const auto& solid = static_cast<const AcDbSolid&>(entity);
  out.common(AcDbSolid::desc()->dxfName(), solid);
  out.subclass("AcDbTrace");
  Ocs ocs(solid.normal());
  for (Adesk::UInt16 k = 0; k < 4; ++k) {
    AcGePoint3d p;
    solid.getPointAt(k, p);
    out.tags().point(10 + k, ocs.fromWorld(p));
  }
  if (solid.thickness() != 0) out.tags().real(39, solid.thickness());
  if (!ocs.identity) out.tags().point(210, AcGePoint3d(ocs.z.x, ocs.z.y, ocs.z.z));
}

// ACIS data of 3DSOLID, BODY and REGION (R2000 to R2010): each SAT line in a group 1, each
// printable character c stored as 159 - c, so the rule is its own inverse. 'A' becomes a caret,
// DXF's escape character, so it is stored as "^ ".
constexpr char kCaret = '^';

std::string decodeSatLine(std::string_view stored) {
  std::string out;
  out.reserve(stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    auto c = static_cast<unsigned char>(stored[i]);
    if (c == kCaret && i + 1 < stored.size() && stored[i + 1] == ' ') ++i;
    // Anything else outside the printable range is passed on for the SAT reader to judge.
    out += c > 0x20 && c < 0x7F ? char(159 - c) : char(c);
  }
  return out;
}

std::string encodeSatLine(std::string_view line) {
  std::string out;
  out.reserve(line.size() + 8);
  for (char ch : line) {
    auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F) {
      out += ch;
      continue;
    }
    out += char(159 - c);
    if (out.back() == kCaret) out += ' ';
  }
  return out;
}

// One group value holds at most this much; the rest of a line follows in group 3 values.
constexpr size_t kGroupLength = 255;

// The SAT text of a modeller entity's groups 1 and 3, and those groups as read.
struct SatIn {
  std::string text, stored;
  bool lines = false, elsewhere = false;
};

void takeSat(EntityIn& in, const Tag& t, SatIn& sat) {
  if (t.code == 1 || (t.code == 3 && sat.lines)) {
    if (t.code == 1 && sat.lines) sat.text += '\n';
    sat.text += decodeSatLine(t.value);
    packPair(sat.stored, t.code, t.value);
    sat.lines = true;
  } else if (t.code != 70) {  // the format's version, always 1
    // R2013+: a GUID naming SAB data in the ACDSDATA section
    sat.elsewhere = sat.elsewhere || t.code == 290 || t.code == 2;
    in.keep(t);
  }
}

template <class T>
std::unique_ptr<AcDbEntity> readModeler(EntityIn& in) {
  SatIn sat;
  Tag t;
  while (in.next(t)) takeSat(in, t, sat);
  if (!in.ok()) return nullptr;
  auto entity = std::make_unique<T>();
  if (!sat.lines) {
    if (!sat.elsewhere) return entity;
    in.markUnsupported("its ACIS data is binary (SAB) outside the entity, which is not read");
    return nullptr;
  }
  // Hosts write the last record without an end marker: the entity's end is the data's end.
  if (sat.text.find("End-of-A") == std::string::npos && sat.text.find("Begin-of-ACIS-History") == std::string::npos)
    sat.text += "\nEnd-of-ACIS-data\n";
  // Every body of the data goes into this one entity, whatever kind each would be alone.
  int bodies = 0;
  std::string why;
  if (kv::modeler::satInTextInto(std::move(sat.text), *entity, bodies, &why) != Acad::eOk) {
    in.markUnsupported("ACIS data not understood: " + why);
    return nullptr;
  }
  if (bodies == 0) {
    in.markUnsupported("ACIS data holds no body");
    return nullptr;
  }
  // Until its shape changes, the entity writes its data as read, attributes and all.
  kv::modeler::Body& body = kv::modeler::BodyAccess::body(*entity);
  body.asRead = std::move(sat.stored);
  body.shapeAsRead = body.shape;
  return entity;
}

void writeSatLines(TagWriter& w, std::string_view text) {
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string stored = encodeSatLine(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    int code = 1;
    std::string_view piece(stored);
    do {
      size_t take = std::min(piece.size(), kGroupLength);
      // A caret and its space stay in one value, or the caret would escape the next character.
      if (take < piece.size() && piece[take - 1] == kCaret) --take;
      w.str(code, piece.substr(0, take));
      piece.remove_prefix(take);
      code = 3;
    } while (!piece.empty());
  }
}

void writeModeler(EntityOut& out, const AcDbEntity& entity) {
  const auto& modeler = static_cast<const AcDbModelerEntity&>(entity);
  const kv::modeler::Body& body = kv::modeler::BodyAccess::body(modeler);
  bool asRead = !body.asRead.empty() && body.shape.IsEqual(body.shapeAsRead);
  std::string text;
  if (!asRead && !modeler.isNull()) {
    AcDbVoidPtrArray one;
    one.append(const_cast<AcDbEntity*>(&entity));
    if (kv::modeler::satOutText(one, text) != Acad::eOk) return;
  }
  out.common(entity.isA()->dxfName(), entity);
  out.subclass("AcDbModelerGeometry");
  out.tags().integer(70, 1);
  if (asRead) writeVerbatim(out.tags(), body.asRead);
  else writeSatLines(out.tags(), text);
  // AC1018 has no AcDb3dSolid subclass (history handle); one read from a later file is kept.
}

void writeKept(EntityOut& out, const AcDbEntity& entity) {
  out.common(static_cast<const kv::KeptEntity&>(entity).dxfName(), entity);
}

// POLYLINE comes first of its family: its reader serves every class that is written as one.
const EntityCodec kCodecs[] = {
    {&AcDbLine::desc, readLine, writeLine},
    {&AcDbPoint::desc, readPoint, writePoint},
    {&AcDbFace::desc, readFace, writeFace},
    {&AcDbSolid::desc, readSolid, writeSolid},
    {&AcDbPolyFaceMesh::desc, readPolyline, writePolyFaceMesh},
    {&AcDbPolygonMesh::desc, readPolyline, writePolygonMesh},
    {&AcDb3dPolyline::desc, readPolyline, write3dPolyline},
    {&AcDb2dPolyline::desc, readPolyline, write2dPolyline},
    {&AcDbPolyline::desc, readLwPolyline, writeLwPolyline},
    {&AcDbRay::desc, readRay, writeRay},
    {&AcDbXline::desc, readXline, writeXline},
    {&AcDbCircle::desc, readCircle, writeCircle},
    {&AcDbArc::desc, readArc, writeArc},
    {&AcDbEllipse::desc, readEllipse, writeEllipse},
    {&AcDbSpline::desc, readSpline, writeSpline},
    {&AcDb3dSolid::desc, readModeler<AcDb3dSolid>, writeModeler},
    {&AcDbBody::desc, readModeler<AcDbBody>, writeModeler},
    {&AcDbRegion::desc, readModeler<AcDbRegion>, writeModeler},
    {&AcDbText::desc, readText, writeText},
    {&AcDbHatch::desc, readHatch, writeHatch},
    {&AcDbMline::desc, readMline, writeMline},
    {&AcDbBlockReference::desc, readInsert, writeInsert},
    {&kv::KeptEntity::desc, nullptr, writeKept},  // read by readKept, never by name
};

}  // namespace

const EntityCodec* codecForDxfName(std::string_view name) {
  for (const EntityCodec& c : kCodecs)
    if (c.read && name == c.desc()->dxfName()) return &c;
  return nullptr;
}

std::unique_ptr<AcDbEntity> readKept(EntityIn& in, std::string dxfName) {
  in.keepAll();
  Tag t;
  while (in.next(t)) in.keep(t);
  if (!in.ok()) return nullptr;
  return std::make_unique<kv::KeptEntity>(std::move(dxfName));
}

const EntityCodec* codecForClass(const AcRxClass* cls) {
  for (; cls; cls = cls->myParent())
    for (const EntityCodec& c : kCodecs)
      if (c.desc() == cls) return &c;
  return nullptr;
}

}  // namespace kv::dxf
