// Texts, multilines and block references. Hatches are in hatch.cpp.
#include "host/annotations.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "core/faults.h"
#include "host/access.h"
#include "host/curve_math.h"
#include "host/ocs.h"
#include "host/stub.h"

KV_RX_DEFINE_MEMBERS(AcDbText, AcDbEntity, "TEXT")
KV_RX_DEFINE_MEMBERS(AcDbMline, AcDbEntity, "MLINE")
KV_RX_DEFINE_MEMBERS(AcDbBlockReference, AcDbEntity, "INSERT")

namespace {

using kv::curve::kTwoPi;

// An angle in [0, 2pi).
double normalAngle(double a) {
  a = std::fmod(a, kTwoPi);
  return a < 0 ? a + kTwoPi : a;
}

// The direction at angle in the plane of normal, from the plane's x axis.
AcGeVector3d directionInPlane(const AcGeVector3d& normal, double angle) {
  kv::Ocs ocs(normal);
  return ocs.x * std::cos(angle) + ocs.y * std::sin(angle);
}

// The angle a direction in the plane of normal makes with the plane's x axis.
double angleInPlane(const AcGeVector3d& normal, const AcGeVector3d& dir) {
  kv::Ocs ocs(normal);
  return normalAngle(std::atan2(dir.dotProduct(ocs.y), dir.dotProduct(ocs.x)));
}

}  // namespace

// ---------------------------------------------------------------------------------------------

AcDbText::AcDbText(const AcGePoint3d& position, const char* text, AcDbObjectId, double height, double rotation) {
  d_.position = position;
  d_.alignment = position;
  d_.text = text ? text : "";
  d_.height = height;
  d_.rotation = rotation;
}

#define KV_TEXT_SETTER(Method, Type, Field)  \
  Acad::ErrorStatus AcDbText::Method(Type value) { \
    if (Acad::ErrorStatus es = checkWrite()) return es; \
    d_.Field = value;                          \
    return Acad::eOk;                          \
  }

KV_TEXT_SETTER(setPosition, const AcGePoint3d&, position)
KV_TEXT_SETTER(setAlignmentPoint, const AcGePoint3d&, alignment)
KV_TEXT_SETTER(setRotation, double, rotation)
KV_TEXT_SETTER(setHorizontalMode, AcDb::TextHorzMode, horizontal)
KV_TEXT_SETTER(setVerticalMode, AcDb::TextVertMode, vertical)
KV_TEXT_SETTER(setThickness, double, thickness)

bool AcDbText::isDefaultAlignment() const {
  return d_.horizontal == AcDb::kTextLeft && d_.vertical == AcDb::kTextBase;
}

Acad::ErrorStatus AcDbText::setHeight(double height) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!(height > 0) || !std::isfinite(height)) return Acad::eInvalidInput;
  d_.height = height;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setWidthFactor(double factor) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!(factor > 0) || !std::isfinite(factor)) return Acad::eInvalidInput;
  d_.widthFactor = factor;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setOblique(double angle) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!(std::fabs(angle) <= 85 * std::numbers::pi / 180)) return Acad::eInvalidInput;
  d_.oblique = angle;
  return Acad::eOk;
}

char* AcDbText::textString() const {
  auto* copy = new char[d_.text.size() + 1];
  std::memcpy(copy, d_.text.c_str(), d_.text.size() + 1);
  return copy;
}

Acad::ErrorStatus AcDbText::setTextString(const char* text) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!text) return Acad::eInvalidInput;
  d_.text = text;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::setNormal(const AcGeVector3d& normal) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (normal.isZeroLength()) return Acad::eInvalidNormal;
  d_.normal = normal.normal();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::subTransformBy(const AcGeMatrix3d& xform) {
  if (!xform.isUniScaledOrtho()) return Acad::eCannotScaleNonUniformly;
  AcGeVector3d normal = xform * d_.normal;
  double scale = normal.length();
  AcGeVector3d dir = xform * directionInPlane(d_.normal, d_.rotation);
  d_.normal = normal.normal();
  // A mirror keeps the text readable: it runs along the mirrored direction, upright.
  d_.rotation = angleInPlane(d_.normal, dir);
  d_.position.transformBy(xform);
  d_.alignment.transformBy(xform);
  d_.height *= scale;
  d_.thickness *= scale;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbText::subGetGeomExtents(AcDbExtents& extents) const {
  long characters = 0;
  for (unsigned char c : d_.text)
    if ((c & 0xC0) != 0x80) ++characters;  // UTF-8: count the first byte of each character
  AcGeVector3d along = directionInPlane(d_.normal, d_.rotation);
  AcGeVector3d up = d_.normal.crossProduct(along);
  double width = double(characters) * d_.height * d_.widthFactor;
  AcDbExtents box;
  for (double x : {0.0, width})
    for (double y : {0.0, d_.height})
      for (double z : {0.0, d_.thickness}) box.addPoint(d_.position + along * x + up * y + d_.normal * z);
  extents = box;
  return Acad::eOk;
}

AcRxObject* AcDbText::subClone() const {
  auto* copy = new AcDbText;
  copy->d_ = d_;
  copyPropertiesTo(*copy);
  return copy;
}

// ---------------------------------------------------------------------------------------------
// Multilines: the geometry of each vertex follows the host's rules. The miter at an inner
// vertex halves the angle between the segments; at an open end it stands square on the
// segment; an element at offset o lies (o + shift) scale / sin(angle between segment and
// miter) along the miter, where the justification's shift puts the top element (kTop) or the
// bottom one (kBottom) on the path.

namespace {

double justificationShift(const AcDbMline::Data& d) {
  if (d.elementOffsets.empty()) return 0;
  auto [lo, hi] = std::minmax_element(d.elementOffsets.begin(), d.elementOffsets.end());
  if (d.justification == Mline::kTop) return -*hi;
  if (d.justification == Mline::kBottom) return -*lo;
  return 0;
}

// The segment directions: from each vertex to the next (the last one, to the first of a
// closed multiline, or repeating the one before).
std::vector<AcGeVector3d> segmentDirections(const AcDbMline::Data& d) {
  size_t n = d.vertices.size();
  std::vector<AcGeVector3d> dirs(n);
  for (size_t i = 0; i + 1 < n; ++i) dirs[i] = (d.vertices[i + 1].point - d.vertices[i].point).normal();
  if (n >= 2) dirs[n - 1] = d.closed ? (d.vertices[0].point - d.vertices[n - 1].point).normal() : dirs[n - 2];
  if (n == 1) dirs[0] = directionInPlane(d.normal, 0);
  return dirs;
}

AcGeVector3d miterBetween(const AcGeVector3d& normal, const AcGeVector3d& before, const AcGeVector3d& after) {
  AcGeVector3d half = before + after;
  if (half.isZeroLength(AcGeTol())) half = after;  // the path turns straight back
  return normal.crossProduct(half).normal();
}

void placeElements(AcDbMline::Data& d, AcDbMline::Vertex& v) {
  double sine = v.direction.crossProduct(v.miter).length();
  double stretch = sine > 1e-12 ? d.scale / sine : d.scale;
  double shift = justificationShift(d);
  v.params.clear();
  for (double offset : d.elementOffsets) v.params.push_back({(offset + shift) * stretch, 0.0});
  v.fills.assign(d.elementOffsets.size(), {});
}

}  // namespace

Acad::ErrorStatus AcDbMline::recompute() {
  size_t n = d_.vertices.size();
  std::vector<AcGeVector3d> dirs = segmentDirections(d_);
  for (size_t i = 0; i < n; ++i) {
    Vertex& v = d_.vertices[i];
    v.direction = dirs[i];
    bool end = !d_.closed && (i == 0 || i + 1 == n);
    const AcGeVector3d& before = i > 0 ? dirs[i - 1] : dirs[n - 1];
    v.miter = end ? d_.normal.crossProduct(dirs[i]).normal() : miterBetween(d_.normal, before, dirs[i]);
    placeElements(d_, v);
  }
  return Acad::eOk;
}

Acad::ErrorStatus AcDbMline::setJustification(Mline::MlineJustification justification) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  d_.justification = justification;
  return recompute();
}

Acad::ErrorStatus AcDbMline::setScale(double scale) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (scale == 0 || !std::isfinite(scale)) return Acad::eInvalidInput;
  d_.scale = scale;
  return recompute();
}

Acad::ErrorStatus AcDbMline::setNormal(const AcGeVector3d& normal) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (normal.isZeroLength()) return Acad::eInvalidNormal;
  d_.normal = normal.normal();
  return recompute();
}

Acad::ErrorStatus AcDbMline::appendSeg(const AcGePoint3d& point) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  Vertex v;
  v.point = point;
  d_.vertices.push_back(v);
  return recompute();
}

Acad::ErrorStatus AcDbMline::removeLastSeg(AcGePoint3d& lastPoint) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (d_.vertices.empty()) return Acad::eInvalidIndex;
  lastPoint = d_.vertices.back().point;
  d_.vertices.pop_back();
  return recompute();
}

Acad::ErrorStatus AcDbMline::moveVertexAt(int index, const AcGePoint3d& point) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (index < 0 || index >= numVertices()) return Acad::eInvalidIndex;
  d_.vertices[size_t(index)].point = point;
  return recompute();
}

Acad::ErrorStatus AcDbMline::setClosedMline(bool closed) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  d_.closed = closed;
  return recompute();
}

// The host's multiline takes these without the open check; so does the stand-in.
void AcDbMline::setSupressStartCaps(bool on) { d_.suppressStartCaps = on; }
void AcDbMline::setSupressEndCaps(bool on) { d_.suppressEndCaps = on; }

AcGePoint3d AcDbMline::vertexAt(int index) const {
  return index >= 0 && index < numVertices() ? d_.vertices[size_t(index)].point : AcGePoint3d();
}

AcGeVector3d AcDbMline::axisAt(int index) const {
  return index >= 0 && index < numVertices() ? d_.vertices[size_t(index)].direction : AcGeVector3d();
}

AcGeVector3d AcDbMline::miterAt(int index) const {
  return index >= 0 && index < numVertices() ? d_.vertices[size_t(index)].miter : AcGeVector3d();
}

Acad::ErrorStatus AcDbMline::getParametersAt(int index, AcGeVoidPointerArray& params) const {
  if (index < 0 || index >= numVertices()) return Acad::eInvalidIndex;
  for (const std::vector<double>& element : d_.vertices[size_t(index)].params) {
    auto* list = new AcGeDoubleArray;
    for (double p : element) list->append(p);
    params.append(list);
  }
  return Acad::eOk;
}

Acad::ErrorStatus AcDbMline::setParametersAt(int index, const AcGeVoidPointerArray& params) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (index < 0 || index >= numVertices()) return Acad::eInvalidIndex;
  Vertex& v = d_.vertices[size_t(index)];
  if (size_t(params.length()) != v.params.size()) return Acad::eInvalidInput;
  for (int e = 0; e < params.length(); ++e) {
    const auto* list = static_cast<const AcGeDoubleArray*>(params[e]);
    if (!list) return Acad::eInvalidInput;
  }
  for (int e = 0; e < params.length(); ++e) {
    const auto* list = static_cast<const AcGeDoubleArray*>(params[e]);
    v.params[size_t(e)].assign(list->begin(), list->end());
  }
  return Acad::eOk;
}

Acad::ErrorStatus AcDbMline::subTransformBy(const AcGeMatrix3d& xform) {
  if (!xform.isUniScaledOrtho()) return Acad::eCannotScaleNonUniformly;
  AcGeVector3d normal = xform * d_.normal;
  double scale = normal.length();
  d_.normal = normal.normal();
  d_.scale *= scale;
  for (Vertex& v : d_.vertices) {
    v.point.transformBy(xform);
    v.direction = (xform * v.direction).normal();
    v.miter = (xform * v.miter).normal();
    // Distances along the miter and the segment grow with the drawing.
    for (auto& element : v.params)
      for (double& p : element) p *= scale;
    for (auto& element : v.fills)
      for (double& p : element) p *= scale;
  }
  return Acad::eOk;
}

namespace {

// The element lines of the segment from vertex a to vertex b: from a's miter point along a's
// direction to b's miter point, cut into dashes by a's parameters past the first.
void segmentLines(const AcDbMline::Vertex& a, const AcDbMline::Vertex& b, size_t element,
                  std::vector<std::pair<AcGePoint3d, AcGePoint3d>>& out) {
  if (element >= a.params.size() || element >= b.params.size()) return;
  const std::vector<double>& pa = a.params[element];
  const std::vector<double>& pb = b.params[element];
  AcGePoint3d start = a.point + a.miter * (pa.empty() ? 0 : pa[0]);
  AcGePoint3d end = b.point + b.miter * (pb.empty() ? 0 : pb[0]);
  double length = std::max(0.0, (end - start).dotProduct(a.direction));
  auto along = [&](double t) { return start + a.direction * std::clamp(t, 0.0, length); };
  size_t i = 1;
  for (; i + 1 < pa.size(); i += 2) out.emplace_back(along(pa[i]), along(pa[i + 1]));
  if (i < pa.size()) out.emplace_back(along(pa[i]), end);
  if (pa.size() <= 1) out.emplace_back(start, end);
}

std::vector<std::pair<AcGePoint3d, AcGePoint3d>> mlineLines(const AcDbMline::Data& d) {
  std::vector<std::pair<AcGePoint3d, AcGePoint3d>> lines;
  size_t n = d.vertices.size();
  size_t segments = n < 2 ? 0 : d.closed ? n : n - 1;
  for (size_t s = 0; s < segments; ++s) {
    const AcDbMline::Vertex& a = d.vertices[s];
    const AcDbMline::Vertex& b = d.vertices[(s + 1) % n];
    for (size_t e = 0; e < a.params.size(); ++e) segmentLines(a, b, e, lines);
  }
  return lines;
}

}  // namespace

Acad::ErrorStatus AcDbMline::subGetGeomExtents(AcDbExtents& extents) const {
  AcDbExtents box;
  for (const Vertex& v : d_.vertices) box.addPoint(v.point);
  for (const auto& [a, b] : mlineLines(d_)) {
    box.addPoint(a);
    box.addPoint(b);
  }
  if (box.isEmpty()) return Acad::eInvalidExtents;
  extents = box;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbMline::subExplode(AcDbVoidPtrArray& entitySet) const {
  if (int st = kv::fault::check(kv::fault::Call::explode, Acad::eNotApplicable)) return Acad::ErrorStatus(st);
  for (const auto& [a, b] : mlineLines(d_)) {
    auto* line = new AcDbLine(a, b);
    copyPropertiesTo(*line);
    entitySet.append(line);
  }
  return Acad::eOk;
}

AcRxObject* AcDbMline::subClone() const {
  auto* copy = new AcDbMline;
  copy->d_ = d_;
  copyPropertiesTo(*copy);
  return copy;
}

// ---------------------------------------------------------------------------------------------

namespace {

const AcDbBlockTableRecord* liveBlock(AcDbObjectId id) {
  AcDbStub* s = kv::HostAccess::stub(id);
  return s && s->object && !s->erased ? AcDbBlockTableRecord::cast(s->object) : nullptr;
}

const AcDbEntity* liveEntity(AcDbObjectId id) {
  AcDbStub* s = kv::HostAccess::stub(id);
  return s && s->object && !s->erased ? AcDbEntity::cast(s->object) : nullptr;
}

// A block that holds a reference to itself, directly or further down, must not send extents
// round for ever: past this depth, references count as empty.
constexpr int kMaxNesting = 32;
thread_local int nesting = 0;

}  // namespace

AcDbBlockReference::AcDbBlockReference(const AcGePoint3d& position, AcDbObjectId blockTableRecord)
    : block_(blockTableRecord), position_(position) {}

Acad::ErrorStatus AcDbBlockReference::setBlockTableRecord(AcDbObjectId id) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (!liveBlock(id)) return Acad::eInvalidInput;
  block_ = id;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::setPosition(const AcGePoint3d& p) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  position_ = p;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::setScaleFactors(const AcGeScale3d& scale) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (scale.sx == 0 || scale.sy == 0 || scale.sz == 0) return Acad::eInvalidInput;
  scale_ = scale;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::setRotation(double angle) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  rotation_ = angle;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::setNormal(const AcGeVector3d& normal) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (normal.isZeroLength()) return Acad::eInvalidNormal;
  normal_ = normal.normal();
  return Acad::eOk;
}

AcGeMatrix3d AcDbBlockReference::blockTransform() const {
  const AcDbBlockTableRecord* block = liveBlock(block_);
  AcGePoint3d origin = block ? block->origin() : AcGePoint3d();
  AcGeMatrix3d scale;
  scale(0, 0) = scale_.sx;
  scale(1, 1) = scale_.sy;
  scale(2, 2) = scale_.sz;
  return AcGeMatrix3d::translation(position_.asVector()) * kv::Ocs(normal_).toWorldMatrix() *
         AcGeMatrix3d::rotation(rotation_, AcGeVector3d::kZAxis) * scale *
         AcGeMatrix3d::translation(-origin.asVector());
}

Acad::ErrorStatus AcDbBlockReference::subTransformBy(const AcGeMatrix3d& xform) {
  AcGeVector3d x = directionInPlane(normal_, rotation_);
  AcGeVector3d a = xform * (x * scale_.sx), b = xform * (normal_.crossProduct(x) * scale_.sy);
  AcGeVector3d c = xform * (normal_ * scale_.sz);
  if (a.isZeroLength() || b.isZeroLength() || c.isZeroLength()) return Acad::eCannotScaleNonUniformly;
  AcGeVector3d normal = c.normal() * (scale_.sz < 0 ? -1 : 1);
  AcGeVector3d xAxis = a.normal() * (scale_.sx < 0 ? -1 : 1);
  AcGeVector3d yAxis = normal.crossProduct(xAxis);
  double sy = b.dotProduct(yAxis);
  constexpr double kSquare = 1e-9;
  if (std::fabs(xAxis.dotProduct(normal)) > kSquare || (b - yAxis * sy).length() > kSquare * b.length())
    return Acad::eCannotScaleNonUniformly;
  scale_ = AcGeScale3d(a.dotProduct(xAxis), sy, c.dotProduct(normal));
  normal_ = normal;
  rotation_ = angleInPlane(normal, xAxis);
  position_.transformBy(xform);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::subGetGeomExtents(AcDbExtents& extents) const {
  const AcDbBlockTableRecord* block = liveBlock(block_);
  if (!block || nesting >= kMaxNesting) return Acad::eInvalidExtents;
  ++nesting;
  AcGeMatrix3d xform = blockTransform();
  AcDbExtents box;
  for (AcDbObjectId id : block->entityIds()) {
    const AcDbEntity* e = liveEntity(id);
    // A copy is readable whatever the entity's own open state, and out of reach of faults.
    std::unique_ptr<AcRxObject> copy(e ? kv::HostAccess::copy(*e) : nullptr);
    AcDbEntity* piece = AcDbEntity::cast(copy.get());
    AcDbExtents part;
    if (!piece || piece->getGeomExtents(part) != Acad::eOk) continue;
    part.transformBy(xform);
    box.addExt(part);
  }
  --nesting;
  if (box.isEmpty()) return Acad::eInvalidExtents;
  extents = box;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockReference::subExplode(AcDbVoidPtrArray& entitySet) const {
  if (int st = kv::fault::check(kv::fault::Call::explode, Acad::eNotApplicable)) return Acad::ErrorStatus(st);
  const AcDbBlockTableRecord* block = liveBlock(block_);
  if (!block) return Acad::eNullBlockName;
  AcGeMatrix3d xform = blockTransform();
  std::vector<std::unique_ptr<AcDbEntity>> pieces;
  for (AcDbObjectId id : block->entityIds()) {
    const AcDbEntity* e = liveEntity(id);
    if (!e) continue;
    std::unique_ptr<AcDbEntity> piece(AcDbEntity::cast(e->clone()));
    if (!piece) return Acad::eOutOfMemory;
    if (Acad::ErrorStatus es = piece->transformBy(xform)) return es;
    pieces.push_back(std::move(piece));
  }
  for (auto& piece : pieces) entitySet.append(piece.release());
  return Acad::eOk;
}

AcRxObject* AcDbBlockReference::subClone() const {
  auto* copy = new AcDbBlockReference(position_, block_);
  copy->scale_ = scale_;
  copy->rotation_ = rotation_;
  copy->normal_ = normal_;
  copyPropertiesTo(*copy);
  return copy;
}
