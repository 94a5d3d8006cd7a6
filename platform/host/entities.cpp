// Faces, 2D solids and the vertex-based entities.
#include "host/entities.h"
#include "host/access.h"

#include "core/faults.h"
#include "host/stub.h"

KV_RX_DEFINE_MEMBERS(AcDbVertex, AcDbEntity, "VERTEX")
KV_RX_DEFINE_MEMBERS(AcDbPolyFaceMeshVertex, AcDbVertex, "VERTEX")
KV_RX_DEFINE_MEMBERS(AcDbPolygonMeshVertex, AcDbVertex, "VERTEX")
KV_RX_DEFINE_MEMBERS(AcDb3dPolylineVertex, AcDbVertex, "VERTEX")
KV_RX_DEFINE_MEMBERS(AcDbFaceRecord, AcDbEntity, "VERTEX")
KV_RX_DEFINE_MEMBERS(AcDbPolyFaceMesh, AcDbEntity, "POLYLINE")
KV_RX_DEFINE_MEMBERS(AcDbPolygonMesh, AcDbEntity, "POLYLINE")
KV_RX_DEFINE_MEMBERS(AcDb3dPolyline, AcDbCurve, "POLYLINE")
KV_RX_DEFINE_MEMBERS(AcDbFace, AcDbEntity, "3DFACE")
KV_RX_DEFINE_MEMBERS(AcDbSolid, AcDbEntity, "SOLID")

namespace {

bool itemErased(const AcDbEntity* item) { return item->isErased(); }

Acad::ErrorStatus cornerIndex(Adesk::UInt16 corner) { return corner < 4 ? Acad::eOk : Acad::eInvalidIndex; }

// A piece of an exploded entity: in no database, drawn with its source's properties.
void addPiece(const AcDbEntity& source, AcDbEntity* piece, AcDbVoidPtrArray& entitySet) {
  kv::HostAccess::copyProperties(source, *piece);
  entitySet.append(piece);
}

// What a face record draws over the mesh's corners: a point, a line, a triangle or a
// quadrilateral; null for a record that names a corner the mesh lacks.
AcDbEntity* pieceOfFace(const AcDbFaceRecord& face, const std::vector<AcGePoint3d>& corners) {
  AcGePoint3d p[4];
  bool visible[4] = {true, true, true, true};
  int n = 0;
  for (Adesk::UInt16 k = 0; k < 4; ++k) {
    Adesk::Int16 v = 0;
    face.getVertexAt(k, v);
    if (v == 0) break;
    size_t index = size_t(v < 0 ? -int(v) : int(v)) - 1;
    if (index >= corners.size()) return nullptr;
    p[n] = corners[index];
    visible[n++] = v > 0;
  }
  switch (n) {
    case 1: return new AcDbPoint(p[0]);
    case 2: return new AcDbLine(p[0], p[1]);
    // A triangle's closing edge starts at its third corner, which the face repeats.
    case 3: return new AcDbFace(p[0], p[1], p[2], visible[0], visible[1], visible[2], visible[2]);
    case 4: return new AcDbFace(p[0], p[1], p[2], p[3], visible[0], visible[1], visible[2], visible[3]);
    default: return nullptr;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------

void AcDbObjectIterator::skipErased() {
  while (pos_ < items_.size() && itemErased(items_[pos_])) ++pos_;
}

void AcDbObjectIterator::start(bool atEnd) {
  if (atEnd) {
    pos_ = items_.size();
    while (pos_ > 0 && itemErased(items_[pos_ - 1])) --pos_;
    pos_ = pos_ == 0 ? items_.size() : pos_ - 1;
    return;
  }
  pos_ = 0;
  skipErased();
}

void AcDbObjectIterator::step(bool backwards, bool skipErasedItems) {
  if (done()) return;
  if (backwards) {
    // Past the first item the iterator is done.
    do {
      if (pos_ == 0) {
        pos_ = items_.size();
        return;
      }
      --pos_;
    } while (skipErasedItems && itemErased(items_[pos_]));
    return;
  }
  ++pos_;
  if (skipErasedItems) skipErased();
}

AcDbObjectId AcDbObjectIterator::objectId() const { return done() ? AcDbObjectId() : items_[pos_]->objectId(); }
AcDbEntity* AcDbObjectIterator::entity() const { return done() ? nullptr : items_[pos_]; }

// ---------------------------------------------------------------------------------------------

AcDbVertexOwner::~AcDbVertexOwner() {
  // In a database the items are the database's; outside one they are ours.
  if (self_.isNewObject())
    for (AcDbEntity* item : items_) delete item;
}

AcDbObjectIterator* AcDbVertexOwner::vertexIterator() const { return new AcDbObjectIterator(items_); }

Acad::ErrorStatus AcDbVertexOwner::appendItem(AcDbEntity* item) {
  if (!item) return Acad::eNullEntityPointer;
  if (!self_.isWriteEnabled()) return Acad::eNotOpenForWrite;
  if (!item->isNewObject() || kv::HostAccess::container(*item)) return Acad::eAlreadyInDb;
  if (AcDbDatabase* db = self_.database()) {
    kv::HostAccess::copyProperties(self_, *item);
    AcDbObjectId id;
    if (Acad::ErrorStatus es = db->addAcDbObject(id, item)) return es;
    item->setOwnerId(self_.objectId());
    // The caller's close() ends the write open that the database granted.
  } else {
    kv::HostAccess::setContainer(*item, &self_);
  }
  items_.push_back(item);
  return Acad::eOk;
}

void AcDbVertexOwner::itemsEnterDatabase(AcDbDatabase* db) {
  for (AcDbEntity* item : items_) {
    kv::HostAccess::copyProperties(self_, *item);
    kv::HostAccess::setContainer(*item, nullptr);
    AcDbObjectId id;
    db->addAcDbObject(id, item);
    item->setOwnerId(self_.objectId());
    item->close();
  }
}

void AcDbVertexOwner::eraseItems(bool erasing) {
  for (AcDbEntity* item : items_)
    if (AcDbStub* s = kv::HostAccess::stub(item->objectId())) s->erased = erasing;
}

void AcDbVertexOwner::passPropertiesOn(bool doSubents) {
  if (doSubents)
    for (AcDbEntity* item : items_) kv::HostAccess::copyProperties(self_, *item);
}

bool AcDbVertexOwner::itemPosition(const AcDbEntity* item, AcGePoint3d& p) const {
  const AcDbVertex* v = AcDbVertex::cast(item);
  if (!v || item->isErased()) return false;
  p = v->position();
  return true;
}

AcGePoint3d& AcDbVertexOwner::positionOf(AcDbVertex& vertex) { return vertex.position_; }

Acad::ErrorStatus AcDbVertexOwner::transformItems(const AcGeMatrix3d& xform) {
  // Vertices in a database may be open elsewhere; their positions move with their owner all the same.
  for (AcDbEntity* item : items_)
    if (auto* v = AcDbVertex::cast(item)) v->position_.transformBy(xform);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbVertexOwner::itemExtents(AcDbExtents& extents) const {
  AcDbExtents box;
  AcGePoint3d p;
  for (const AcDbEntity* item : items_)
    if (itemPosition(item, p)) box.addPoint(p);
  if (box.isEmpty()) return Acad::eInvalidExtents;
  extents = box;
  return Acad::eOk;
}

void AcDbVertexOwner::copyItemsTo(AcDbVertexOwner& other) const {
  kv::HostAccess::copyProperties(self_, other.self_);
  for (const AcDbEntity* item : items_) {
    if (item->isErased()) continue;
    auto* copy = static_cast<AcDbEntity*>(kv::HostAccess::copy(*item));
    if (!copy) continue;
    kv::HostAccess::setContainer(*copy, &other.self_);
    other.items_.push_back(copy);
  }
}

// ---------------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbVertex::setPosition(const AcGePoint3d& p) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  position_ = p;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbVertex::subTransformBy(const AcGeMatrix3d& xform) {
  position_.transformBy(xform);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbVertex::subGetGeomExtents(AcDbExtents& extents) const {
  extents = AcDbExtents(position_, position_);
  return Acad::eOk;
}

template <class V>
static AcRxObject* cloneVertex(const V& v) {
  auto* copy = new V(v.position());
  kv::HostAccess::copyProperties(v, *copy);
  return copy;
}

AcRxObject* AcDbPolyFaceMeshVertex::subClone() const { return cloneVertex(*this); }
AcRxObject* AcDbPolygonMeshVertex::subClone() const { return cloneVertex(*this); }
AcRxObject* AcDb3dPolylineVertex::subClone() const {
  auto* copy = static_cast<AcDb3dPolylineVertex*>(cloneVertex(*this));
  copy->type_ = type_;
  return copy;
}

// ---------------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbFaceRecord::getVertexAt(Adesk::UInt16 corner, Adesk::Int16& index) const {
  if (Acad::ErrorStatus es = cornerIndex(corner)) return es;
  index = v_[corner];
  return Acad::eOk;
}

Acad::ErrorStatus AcDbFaceRecord::setVertexAt(Adesk::UInt16 corner, Adesk::Int16 index) {
  if (Acad::ErrorStatus es = cornerIndex(corner)) return es;
  if (Acad::ErrorStatus es = checkWrite()) return es;
  v_[corner] = index;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbFaceRecord::isEdgeVisibleAt(Adesk::UInt16 corner, bool& visible) const {
  if (Acad::ErrorStatus es = cornerIndex(corner)) return es;
  visible = v_[corner] >= 0;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbFaceRecord::makeEdgeVisibleAt(Adesk::UInt16 corner) {
  if (Acad::ErrorStatus es = cornerIndex(corner)) return es;
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (v_[corner] < 0) v_[corner] = Adesk::Int16(-v_[corner]);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbFaceRecord::makeEdgeInvisibleAt(Adesk::UInt16 corner) {
  if (Acad::ErrorStatus es = cornerIndex(corner)) return es;
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (v_[corner] > 0) v_[corner] = Adesk::Int16(-v_[corner]);
  return Acad::eOk;
}

AcRxObject* AcDbFaceRecord::subClone() const {
  auto* copy = new AcDbFaceRecord(v_[0], v_[1], v_[2], v_[3]);
  copyPropertiesTo(*copy);
  return copy;
}

// ---------------------------------------------------------------------------------------------

Acad::ErrorStatus AcDbPolyFaceMesh::appendVertex(AcDbPolyFaceMeshVertex* vertex) {
  if (!vertex) return Acad::eNullEntityPointer;
  if (int st = kv::fault::check(kv::fault::Call::appendVertex, Acad::eOutOfMemory)) return Acad::ErrorStatus(st);
  if (faces_ > 0) return Acad::eVertexAfterFace;
  if (vertices_ >= kMaxCount) return Acad::eInvalidMeshVertexIndex;
  if (Acad::ErrorStatus es = appendItem(vertex)) return es;
  ++vertices_;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolyFaceMesh::appendFaceRecord(AcDbFaceRecord* face) {
  if (!face) return Acad::eNullEntityPointer;
  if (int st = kv::fault::check(kv::fault::Call::appendFaceRecord, Acad::eOutOfMemory)) return Acad::ErrorStatus(st);
  if (faces_ >= kMaxCount) return Acad::eInvalidFaceVertexIndex;
  bool ended = false;  // a 0 was seen: only zeros may follow
  for (Adesk::UInt16 corner = 0; corner < 4; ++corner) {
    Adesk::Int16 v = 0;
    face->getVertexAt(corner, v);
    int index = v < 0 ? -int(v) : int(v);
    if ((index == 0 && corner == 0) || (index != 0 && ended) || index > vertices_)
      return Acad::eInvalidFaceVertexIndex;
    ended = ended || index == 0;
  }
  if (Acad::ErrorStatus es = appendItem(face)) return es;
  ++faces_;
  return Acad::eOk;
}

AcRxObject* AcDbPolyFaceMesh::subClone() const {
  auto* copy = new AcDbPolyFaceMesh;
  copyItemsTo(*copy);
  for (const AcDbEntity* item : copy->items()) {
    if (AcDbFaceRecord::cast(item)) ++copy->faces_;
    else ++copy->vertices_;
  }
  return copy;
}

Acad::ErrorStatus AcDbPolyFaceMesh::subExplode(AcDbVoidPtrArray& entitySet) const {
  // Face records number the vertices in the order they were appended, erased ones included.
  std::vector<AcGePoint3d> corners;
  for (const AcDbEntity* item : items())
    if (const auto* v = AcDbPolyFaceMeshVertex::cast(item)) corners.push_back(v->position());
  for (const AcDbEntity* item : items()) {
    const auto* face = AcDbFaceRecord::cast(item);
    if (!face || face->isErased()) continue;
    if (AcDbEntity* piece = pieceOfFace(*face, corners)) addPiece(*this, piece, entitySet);
  }
  return Acad::eOk;
}

// ---------------------------------------------------------------------------------------------

AcDbPolygonMesh::AcDbPolygonMesh(AcDb::PolyMeshType type, Adesk::Int16 mSize, Adesk::Int16 nSize,
                                 const AcGePoint3dArray& vertices, bool mClosed, bool nClosed)
    : type_(type), m_(mSize), n_(nSize), mClosed_(mClosed), nClosed_(nClosed) {
  for (const AcGePoint3d& p : vertices) appendVertex(new AcDbPolygonMeshVertex(p));
}

Acad::ErrorStatus AcDbPolygonMesh::setMSize(Adesk::Int16 m) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (m < 0) return Acad::eNegativeValueNotAllowed;
  m_ = m;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbPolygonMesh::setNSize(Adesk::Int16 n) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (n < 0) return Acad::eNegativeValueNotAllowed;
  n_ = n;
  return Acad::eOk;
}

#define KV_FLAG_SETTER(Class, Method, Flag, Value) \
  Acad::ErrorStatus Class::Method() {              \
    if (Acad::ErrorStatus es = checkWrite()) return es; \
    Flag = Value;                                  \
    return Acad::eOk;                              \
  }

KV_FLAG_SETTER(AcDbPolygonMesh, makeMClosed, mClosed_, true)
KV_FLAG_SETTER(AcDbPolygonMesh, makeMOpen, mClosed_, false)
KV_FLAG_SETTER(AcDbPolygonMesh, makeNClosed, nClosed_, true)
KV_FLAG_SETTER(AcDbPolygonMesh, makeNOpen, nClosed_, false)
KV_FLAG_SETTER(AcDb3dPolyline, makeClosed, closed_, true)
KV_FLAG_SETTER(AcDb3dPolyline, makeOpen, closed_, false)

Acad::ErrorStatus AcDbPolygonMesh::appendVertex(AcDbPolygonMeshVertex* vertex) { return appendItem(vertex); }

AcRxObject* AcDbPolygonMesh::subClone() const {
  auto* copy = new AcDbPolygonMesh;
  copy->type_ = type_;
  copy->m_ = m_;
  copy->n_ = n_;
  copy->mClosed_ = mClosed_;
  copy->nClosed_ = nClosed_;
  copyItemsTo(*copy);
  return copy;
}

Acad::ErrorStatus AcDbPolygonMesh::subExplode(AcDbVoidPtrArray& entitySet) const {
  std::vector<AcGePoint3d> grid;
  for (const AcDbEntity* item : items())
    if (const auto* v = AcDbPolygonMeshVertex::cast(item); v && !item->isErased()) grid.push_back(v->position());
  const size_t m = size_t(m_ > 0 ? m_ : 0), n = size_t(n_ > 0 ? n_ : 0);
  if (m == 0 || n == 0 || grid.size() != m * n) return Acad::eDegenerateGeometry;
  // Row k and column j wrap round where the mesh is closed.
  auto at = [&](size_t k, size_t j) { return grid[(k % m) * n + j % n]; };
  const size_t rows = mClosed_ ? m : m - 1, columns = nClosed_ ? n : n - 1;
  for (size_t k = 0; k < rows; ++k)
    for (size_t j = 0; j < columns; ++j)
      addPiece(*this, new AcDbFace(at(k, j), at(k, j + 1), at(k + 1, j + 1), at(k + 1, j)), entitySet);
  return Acad::eOk;
}

AcDb3dPolyline::AcDb3dPolyline(AcDb::Poly3dType type, const AcGePoint3dArray& vertices, bool closed)
    : type_(type), closed_(closed) {
  // Built whole: only the appends a caller makes can be refused.
  for (const AcGePoint3d& p : vertices) appendItem(new AcDb3dPolylineVertex(p));
}

Acad::ErrorStatus AcDb3dPolyline::appendVertex(AcDb3dPolylineVertex* vertex) {
  if (!vertex) return Acad::eNullEntityPointer;
  if (int st = kv::fault::check(kv::fault::Call::appendVertex, Acad::eOutOfMemory)) return Acad::ErrorStatus(st);
  return appendItem(vertex);
}

AcRxObject* AcDb3dPolyline::subClone() const {
  auto* copy = new AcDb3dPolyline;
  copy->type_ = type_;
  copy->closed_ = closed_;
  copyItemsTo(*copy);
  return copy;
}

// ---------------------------------------------------------------------------------------------

AcDbFace::AcDbFace(const AcGePoint3d& p0, const AcGePoint3d& p1, const AcGePoint3d& p2, const AcGePoint3d& p3,
                   bool e0, bool e1, bool e2, bool e3)
    : p_{p0, p1, p2, p3}, visible_{e0, e1, e2, e3} {}

AcDbFace::AcDbFace(const AcGePoint3d& p0, const AcGePoint3d& p1, const AcGePoint3d& p2, bool e0, bool e1, bool e2,
                   bool e3)
    : AcDbFace(p0, p1, p2, p2, e0, e1, e2, e3) {}

Acad::ErrorStatus AcDbFace::getVertexAt(Adesk::UInt16 corner, AcGePoint3d& p) const {
  if (Acad::ErrorStatus es = cornerIndex(corner)) return es;
  p = p_[corner];
  return Acad::eOk;
}

Acad::ErrorStatus AcDbFace::setVertexAt(Adesk::UInt16 corner, const AcGePoint3d& p) {
  if (Acad::ErrorStatus es = cornerIndex(corner)) return es;
  if (Acad::ErrorStatus es = checkWrite()) return es;
  p_[corner] = p;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbFace::isEdgeVisibleAt(Adesk::UInt16 edge, bool& visible) const {
  if (Acad::ErrorStatus es = cornerIndex(edge)) return es;
  visible = visible_[edge];
  return Acad::eOk;
}

Acad::ErrorStatus AcDbFace::makeEdgeVisibleAt(Adesk::UInt16 edge) {
  if (Acad::ErrorStatus es = cornerIndex(edge)) return es;
  if (Acad::ErrorStatus es = checkWrite()) return es;
  visible_[edge] = true;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbFace::makeEdgeInvisibleAt(Adesk::UInt16 edge) {
  if (Acad::ErrorStatus es = cornerIndex(edge)) return es;
  if (Acad::ErrorStatus es = checkWrite()) return es;
  visible_[edge] = false;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbFace::subTransformBy(const AcGeMatrix3d& xform) {
  for (AcGePoint3d& p : p_) p.transformBy(xform);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbFace::subGetGeomExtents(AcDbExtents& extents) const {
  extents = AcDbExtents();
  for (const AcGePoint3d& p : p_) extents.addPoint(p);
  return Acad::eOk;
}

AcRxObject* AcDbFace::subClone() const {
  auto* copy = new AcDbFace(p_[0], p_[1], p_[2], p_[3], visible_[0], visible_[1], visible_[2], visible_[3]);
  copyPropertiesTo(*copy);
  return copy;
}

// ---------------------------------------------------------------------------------------------

AcDbSolid::AcDbSolid(const AcGePoint3d& p0, const AcGePoint3d& p1, const AcGePoint3d& p2, const AcGePoint3d& p3)
    : p_{p0, p1, p2, p3} {}

AcDbSolid::AcDbSolid(const AcGePoint3d& p0, const AcGePoint3d& p1, const AcGePoint3d& p2) : p_{p0, p1, p2, p2} {}

Acad::ErrorStatus AcDbSolid::getPointAt(Adesk::UInt16 corner, AcGePoint3d& p) const {
  if (Acad::ErrorStatus es = cornerIndex(corner)) return es;
  p = p_[corner];
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSolid::setPointAt(Adesk::UInt16 corner, const AcGePoint3d& p) {
  if (Acad::ErrorStatus es = cornerIndex(corner)) return es;
  if (Acad::ErrorStatus es = checkWrite()) return es;
  p_[corner] = p;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSolid::setThickness(double t) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  thickness_ = t;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSolid::setNormal(const AcGeVector3d& n) {
  if (Acad::ErrorStatus es = checkWrite()) return es;
  if (n.isZeroLength()) return Acad::eInvalidNormal;
  normal_ = n.normal();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSolid::subTransformBy(const AcGeMatrix3d& xform) {
  for (AcGePoint3d& p : p_) p.transformBy(xform);
  AcGeVector3d n = xform * normal_;
  if (!n.isZeroLength()) normal_ = n.normal();
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSolid::subGetGeomExtents(AcDbExtents& extents) const {
  extents = AcDbExtents();
  for (const AcGePoint3d& p : p_) {
    extents.addPoint(p);
    if (thickness_ != 0) extents.addPoint(p + normal_ * thickness_);
  }
  return Acad::eOk;
}

AcRxObject* AcDbSolid::subClone() const {
  auto* copy = new AcDbSolid(p_[0], p_[1], p_[2], p_[3]);
  copy->thickness_ = thickness_;
  copy->normal_ = normal_;
  copyPropertiesTo(*copy);
  return copy;
}
