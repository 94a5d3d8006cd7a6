// The host's face and vertex-based entities: 3D faces, 2D solids, polyface meshes, polygon
// meshes and 3D polylines.
//
// A vertex-based entity owns its vertices (and a polyface mesh its face records). While the
// entity is in no database it holds them itself: an appended vertex then belongs to it, and
// the vertex's close() leaves it alone. When the entity is appended to a drawing its vertices
// enter the drawing with it, in order, each with its own handle.
//
// The host's limits of a polyface mesh, never truncated:
// - a vertex past the 32,767th, or a vertex after the first face record: refused with
//   eInvalidMeshVertexIndex (56) and eVertexAfterFace (54);
// - a face record past the 32,767th, or one naming vertex 0 in its first three places or a
//   vertex the mesh does not have (in absolute value): refused with eInvalidFaceVertexIndex (55).
#pragma once

#include <vector>

#include "host/acdb.h"

namespace AcDb {
enum PolyMeshType { kSimpleMesh = 0, kQuadSurfaceMesh = 5, kCubicSurfaceMesh = 6, kBezierSurfaceMesh = 8 };
enum Poly3dType { k3dSimplePoly = 0, k3dQuadSplinePoly = 1, k3dCubicSplinePoly = 2 };
}  // namespace AcDb

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

// Common ground of the vertex-based entities: the ordered items they own.
class KV_PLATFORM_API AcDbVertexOwner : public AcDbEntity {
public:
  KV_RX_DECLARE_MEMBERS(AcDbVertexOwner)
  ~AcDbVertexOwner() override;
  AcDbObjectIterator* vertexIterator() const;
  // Items in order, erased ones included.
  const std::vector<AcDbEntity*>& items() const { return items_; }

protected:
  // The owner must be open for write; the item must be new and belong to no other entity.
  Acad::ErrorStatus appendItem(AcDbEntity* item);
  // The geometry of every live item that has a position.
  virtual bool itemPosition(const AcDbEntity* item, AcGePoint3d& p) const;
  Acad::ErrorStatus subTransformBy(const AcGeMatrix3d& xform) override;
  Acad::ErrorStatus subGetGeomExtents(AcDbExtents& extents) const override;
  void subEnterDatabase(AcDbDatabase* db) override;
  void subErase(bool erasing) override;
  void subPropertiesChanged(bool doSubents) override;
  void copyItemsTo(AcDbVertexOwner& other) const;

private:
  std::vector<AcDbEntity*> items_;
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

protected:
  AcRxObject* subClone() const override;
};

// Four 1-based vertex numbers; a negative number hides the edge that starts at that corner,
// 0 in the fourth place makes a triangle.
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

class KV_PLATFORM_API AcDbPolyFaceMesh : public AcDbVertexOwner {
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

private:
  int vertices_ = 0, faces_ = 0;
};

class KV_PLATFORM_API AcDbPolygonMesh : public AcDbVertexOwner {
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

private:
  AcDb::PolyMeshType type_ = AcDb::kSimpleMesh;
  Adesk::Int16 m_ = 0, n_ = 0;
  bool mClosed_ = false, nClosed_ = false;
};

class KV_PLATFORM_API AcDb3dPolyline : public AcDbVertexOwner {
public:
  KV_RX_DECLARE_MEMBERS(AcDb3dPolyline)
  AcDb3dPolyline() = default;
  AcDb3dPolyline(AcDb::Poly3dType type, const AcGePoint3dArray& vertices, bool closed = false);
  AcDb::Poly3dType polyType() const { return type_; }
  bool isClosed() const { return closed_; }
  Acad::ErrorStatus makeClosed();
  Acad::ErrorStatus makeOpen();
  Acad::ErrorStatus appendVertex(AcDb3dPolylineVertex* vertex);

protected:
  AcRxObject* subClone() const override;

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
