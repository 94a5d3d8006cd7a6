// The host's face and vertex-based entities: 3D faces, 2D solids, polyface meshes, polygon
// meshes and 3D polylines (the 2D and lightweight polylines are in host/polylines.h).
//
// A vertex-based entity owns its vertices (and a polyface mesh its face records). While the
// entity is in no database it holds them itself: an appended vertex then belongs to it, and
// the vertex's close() leaves it alone. When the entity is appended to a drawing its vertices
// enter the drawing with it, in order, each with its own handle.
//
// The host's limits of a polyface mesh, never truncated:
// - a vertex past the 32,767th, or a vertex after the first face record: refused with
//   eInvalidMeshVertexIndex (56) and eVertexAfterFace (54);
// - a face record past the 32,767th, one naming vertex 0 first or a vertex after a 0, or one
//   naming a vertex the mesh does not have (in absolute value): refused with
//   eInvalidFaceVertexIndex (55). Records of one or two vertices (0 after them) are taken:
//   the host writes them.
#pragma once

#include <vector>

#include "host/acdb.h"

namespace AcDb {
enum PolyMeshType { kSimpleMesh = 0, kQuadSurfaceMesh = 5, kCubicSurfaceMesh = 6, kBezierSurfaceMesh = 8 };
enum Poly3dType { k3dSimplePoly = 0, k3dQuadSplinePoly = 1, k3dCubicSplinePoly = 2 };
// A 3D polyline's vertex: one of its own, a spline's frame (control) point, or a point of the
// fitted spline.
enum Vertex3dType { k3dSimpleVertex = 0, k3dControlVertex = 1, k3dFitVertex = 2 };
}  // namespace AcDb

class AcDbVertex;

// Walks the items of a vertex-based entity in order. Made by vertexIterator(); the caller
// deletes it. Stepping skips erased items unless asked not to.
class KV_PLATFORM_API AcDbObjectIterator {
public:
  explicit AcDbObjectIterator(std::vector<AcDbEntity*> items) : items_(std::move(items)) { skipErased(); }
  bool done() const { return pos_ >= items_.size(); }
  void start(bool atEnd = false);
  void step(bool backwards = false, bool skipErasedItems = true);
  // The current item: its id (null while its entity is in no database) and the object itself.
  AcDbObjectId objectId() const;
  AcDbEntity* entity() const;

private:
  void skipErased();
  std::vector<AcDbEntity*> items_;
  size_t pos_ = 0;
};

// Common ground of the vertex-based entities: the ordered items they own. Meshes are plain
// entities and polylines are curves, so this is no class of the run-time tree but a part that
// each of them holds beside its entity; cast finds it whatever the entity's class.
class KV_PLATFORM_API AcDbVertexOwner {
public:
  AcDbVertexOwner(const AcDbVertexOwner&) = delete;
  AcDbVertexOwner& operator=(const AcDbVertexOwner&) = delete;
  virtual ~AcDbVertexOwner();
  static AcDbVertexOwner* cast(AcRxObject* obj) { return dynamic_cast<AcDbVertexOwner*>(obj); }
  static const AcDbVertexOwner* cast(const AcRxObject* obj) { return dynamic_cast<const AcDbVertexOwner*>(obj); }

  AcDbObjectIterator* vertexIterator() const;
  // Items in order, erased ones included.
  const std::vector<AcDbEntity*>& items() const { return items_; }

protected:
  explicit AcDbVertexOwner(AcDbEntity& self) : self_(self) {}
  // The owner must be open for write; the item must be new and belong to no other entity.
  Acad::ErrorStatus appendItem(AcDbEntity* item);
  // The geometry of every live item that has a position.
  virtual bool itemPosition(const AcDbEntity* item, AcGePoint3d& p) const;
  Acad::ErrorStatus transformItems(const AcGeMatrix3d& xform);
  Acad::ErrorStatus itemExtents(AcDbExtents& extents) const;
  void itemsEnterDatabase(AcDbDatabase* db);
  void eraseItems(bool erasing);
  void passPropertiesOn(bool doSubents);
  // The owner's properties and copies of its live items, for a clone.
  void copyItemsTo(AcDbVertexOwner& other) const;
  // A vertex's place, which moves with its owner even while the vertex is open elsewhere.
  static AcGePoint3d& positionOf(AcDbVertex& vertex);

private:
  AcDbEntity& self_;
  std::vector<AcDbEntity*> items_;
};

// An entity (Base AcDbEntity) or a curve (Base AcDbCurve) that owns vertices: the entity's
// hooks reach its items.
template <class Base>
class AcDbVertexOwnerOf : public Base, public AcDbVertexOwner {
protected:
  AcDbVertexOwnerOf() : AcDbVertexOwner(static_cast<AcDbEntity&>(*this)) {}
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override { return transformItems(xform); }
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override { return itemExtents(extents); }
  void subEnterDatabase(AcDbDatabase* db) override { itemsEnterDatabase(db); }
  void subErase(bool erasing) override { eraseItems(erasing); }
  void subPropertiesChanged(bool doSubents) override { passPropertiesOn(doSubents); }
};

// A positioned vertex of any vertex-based entity.
class KV_PLATFORM_API AcDbVertex : public AcDbEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbVertex)
  AcGePoint3d position() const { return position_; }
  Acad::ErrorStatus setPosition(const AcGePoint3d& p);

protected:
  friend class AcDbVertexOwner;
  AcDbVertex() = default;
  explicit AcDbVertex(const AcGePoint3d& p) : position_(p) {}
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;

private:
  AcGePoint3d position_;
};

class KV_PLATFORM_API AcDbPolyFaceMeshVertex : public AcDbVertex {
public:
  KV_RX_DECLARE_MEMBERS(AcDbPolyFaceMeshVertex)
  AcDbPolyFaceMeshVertex() = default;
  explicit AcDbPolyFaceMeshVertex(const AcGePoint3d& p) : AcDbVertex(p) {}

protected:
  AcRxObject* subClone() const override;
};

class KV_PLATFORM_API AcDbPolygonMeshVertex : public AcDbVertex {
public:
  KV_RX_DECLARE_MEMBERS(AcDbPolygonMeshVertex)
  AcDbPolygonMeshVertex() = default;
  explicit AcDbPolygonMeshVertex(const AcGePoint3d& p) : AcDbVertex(p) {}

protected:
  AcRxObject* subClone() const override;
};

class KV_PLATFORM_API AcDb3dPolylineVertex : public AcDbVertex {
public:
  KV_RX_DECLARE_MEMBERS(AcDb3dPolylineVertex)
  AcDb3dPolylineVertex() = default;
  explicit AcDb3dPolylineVertex(const AcGePoint3d& p) : AcDbVertex(p) {}
  // Set by the host where it makes the vertex (a spline fit, a drawing read).
  AcDb::Vertex3dType vertexType() const { return type_; }

protected:
  AcRxObject* subClone() const override;

private:
  friend struct kv::HostAccess;
  AcDb::Vertex3dType type_ = AcDb::k3dSimpleVertex;
};

// Four 1-based vertex numbers; a negative number hides the edge that starts at that corner.
// 0 ends the record: in the fourth place it makes a triangle; the host also keeps records of
// one or two vertices.
class KV_PLATFORM_API AcDbFaceRecord : public AcDbEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbFaceRecord)
  AcDbFaceRecord() = default;
  AcDbFaceRecord(Adesk::Int16 a, Adesk::Int16 b, Adesk::Int16 c, Adesk::Int16 d) : v_{a, b, c, d} {}
  // eInvalidIndex for a corner outside 0 to 3.
  Acad::ErrorStatus getVertexAt(Adesk::UInt16 corner, Adesk::Int16& index) const;
  Acad::ErrorStatus setVertexAt(Adesk::UInt16 corner, Adesk::Int16 index);
  Acad::ErrorStatus isEdgeVisibleAt(Adesk::UInt16 corner, bool& visible) const;
  Acad::ErrorStatus makeEdgeVisibleAt(Adesk::UInt16 corner);
  Acad::ErrorStatus makeEdgeInvisibleAt(Adesk::UInt16 corner);

protected:
  AcRxObject* subClone() const override;
  // A face record has no geometry of its own: it moves with its vertices.
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d&) override { return Acad::eOk; }

private:
  Adesk::Int16 v_[4] = {0, 0, 0, 0};
};

class KV_PLATFORM_API AcDbPolyFaceMesh : public AcDbVertexOwnerOf<AcDbEntity> {
public:
  KV_RX_DECLARE_MEMBERS(AcDbPolyFaceMesh)
  static constexpr int kMaxCount = 32767;

  AcDbPolyFaceMesh() = default;
  Adesk::Int16 numVertices() const { return Adesk::Int16(vertices_); }
  Adesk::Int16 numFaces() const { return Adesk::Int16(faces_); }
  // On success the mesh owns the item; the caller still closes it.
  Acad::ErrorStatus appendVertex(AcDbPolyFaceMeshVertex* vertex);
  Acad::ErrorStatus appendFaceRecord(AcDbFaceRecord* face);

protected:
  AcRxObject* subClone() const override;
  // One 3D face per face record of three or four vertices, its hidden edges kept; a record of
  // two vertices gives a line, of one a point, as the host explodes them.
  Acad::ErrorStatus subExplode(AcDbVoidPtrArray& entitySet) const override;

private:
  int vertices_ = 0, faces_ = 0;
};

class KV_PLATFORM_API AcDbPolygonMesh : public AcDbVertexOwnerOf<AcDbEntity> {
public:
  KV_RX_DECLARE_MEMBERS(AcDbPolygonMesh)
  AcDbPolygonMesh() = default;
  // The vertices fill the grid row after row: M rows of N vertices.
  AcDbPolygonMesh(AcDb::PolyMeshType type, Adesk::Int16 mSize, Adesk::Int16 nSize, const AcGePoint3dArray& vertices,
                  bool mClosed = false, bool nClosed = false);

  AcDb::PolyMeshType polyMeshType() const { return type_; }
  Adesk::Int16 mSize() const { return m_; }
  Adesk::Int16 nSize() const { return n_; }
  Acad::ErrorStatus setMSize(Adesk::Int16 m);
  Acad::ErrorStatus setNSize(Adesk::Int16 n);
  bool isMClosed() const { return mClosed_; }
  bool isNClosed() const { return nClosed_; }
  Acad::ErrorStatus makeMClosed();
  Acad::ErrorStatus makeMOpen();
  Acad::ErrorStatus makeNClosed();
  Acad::ErrorStatus makeNOpen();
  Acad::ErrorStatus appendVertex(AcDbPolygonMeshVertex* vertex);

protected:
  AcRxObject* subClone() const override;
  // One 3D face per cell of the grid, with the cells that close it in M and N; a grid without
  // M x N vertices answers eDegenerateGeometry.
  Acad::ErrorStatus subExplode(AcDbVoidPtrArray& entitySet) const override;

private:
  AcDb::PolyMeshType type_ = AcDb::kSimpleMesh;
  Adesk::Int16 m_ = 0, n_ = 0;
  bool mClosed_ = false, nClosed_ = false;
};

// A curve through its vertices, straight between them. A spline-fit polyline keeps its frame
// (control vertices) and the fitted vertices; the curve runs through the fitted ones, or
// through the frame while it has none. Parameter: vertex index plus the fraction of the segment.
class KV_PLATFORM_API AcDb3dPolyline : public AcDbVertexOwnerOf<AcDbCurve> {
public:
  KV_RX_DECLARE_MEMBERS(AcDb3dPolyline)
  AcDb3dPolyline() = default;
  AcDb3dPolyline(AcDb::Poly3dType type, const AcGePoint3dArray& vertices, bool closed = false);
  AcDb::Poly3dType polyType() const { return type_; }
  bool isClosed() const override { return closed_; }
  Acad::ErrorStatus makeClosed();
  Acad::ErrorStatus makeOpen();
  Acad::ErrorStatus appendVertex(AcDb3dPolylineVertex* vertex);

  Acad::ErrorStatus getStartParam(double& param) const override;
  Acad::ErrorStatus getEndParam(double& param) const override;
  Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& point) const override;
  Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;

protected:
  AcRxObject* subClone() const override;
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  // Lines between the vertices the curve runs through; segments of no length give none.
  Acad::ErrorStatus subExplode(AcDbVoidPtrArray& entitySet) const override;

private:
  AcDb::Poly3dType type_ = AcDb::k3dSimplePoly;
  bool closed_ = false;
};

// A 3D face: four corners (a triangle repeats its third) and which of its edges are visible.
class KV_PLATFORM_API AcDbFace : public AcDbEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbFace)
  AcDbFace() = default;
  AcDbFace(const AcGePoint3d& p0, const AcGePoint3d& p1, const AcGePoint3d& p2, const AcGePoint3d& p3,
           bool e0visible = true, bool e1visible = true, bool e2visible = true, bool e3visible = true);
  // A triangle: the fourth corner repeats the third.
  AcDbFace(const AcGePoint3d& p0, const AcGePoint3d& p1, const AcGePoint3d& p2, bool e0visible = true,
           bool e1visible = true, bool e2visible = true, bool e3visible = true);
  // eInvalidIndex for a corner or edge outside 0 to 3.
  Acad::ErrorStatus getVertexAt(Adesk::UInt16 corner, AcGePoint3d& p) const;
  Acad::ErrorStatus setVertexAt(Adesk::UInt16 corner, const AcGePoint3d& p);
  Acad::ErrorStatus isEdgeVisibleAt(Adesk::UInt16 edge, bool& visible) const;
  Acad::ErrorStatus makeEdgeVisibleAt(Adesk::UInt16 edge);
  Acad::ErrorStatus makeEdgeInvisibleAt(Adesk::UInt16 edge);

protected:
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  AcRxObject* subClone() const override;

private:
  AcGePoint3d p_[4];
  bool visible_[4] = {true, true, true, true};
};

// A 2D solid: four corners in the host's bow-tie order, a thickness and a normal.
class KV_PLATFORM_API AcDbSolid : public AcDbEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbSolid)
  AcDbSolid() = default;
  AcDbSolid(const AcGePoint3d& p0, const AcGePoint3d& p1, const AcGePoint3d& p2, const AcGePoint3d& p3);
  AcDbSolid(const AcGePoint3d& p0, const AcGePoint3d& p1, const AcGePoint3d& p2);
  Acad::ErrorStatus getPointAt(Adesk::UInt16 corner, AcGePoint3d& p) const;
  Acad::ErrorStatus setPointAt(Adesk::UInt16 corner, const AcGePoint3d& p);
  double thickness() const { return thickness_; }
  Acad::ErrorStatus setThickness(double t);
  AcGeVector3d normal() const { return normal_; }
  Acad::ErrorStatus setNormal(const AcGeVector3d& n);

protected:
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  AcRxObject* subClone() const override;

private:
  AcGePoint3d p_[4];
  double thickness_ = 0;
  AcGeVector3d normal_ = AcGeVector3d::kZAxis;
};
