// Faces, solids and the vertex-based entities of the host, with the polyface limits.
#include "host/entities.h"
#include "host_fixture.h"

class PolyFace : public HostTest {
protected:
  static Acad::ErrorStatus addVertex(AcDbPolyFaceMesh& mesh, double x) {
    auto* v = new AcDbPolyFaceMeshVertex(AcGePoint3d(x, 0, 0));
    Acad::ErrorStatus es = mesh.appendVertex(v);
    v->close();  // held by the mesh when taken, released when refused
    return es;
  }
  static Acad::ErrorStatus addFace(AcDbPolyFaceMesh& mesh, short a, short b, short c, short d) {
    auto* f = new AcDbFaceRecord(a, b, c, d);
    Acad::ErrorStatus es = mesh.appendFaceRecord(f);
    f->close();
    return es;
  }
};

TEST_F(PolyFace, RefusesBadFaceRecords) {
  auto* mesh = new AcDbPolyFaceMesh;
  for (int i = 0; i < 4; ++i) ASSERT_EQ(addVertex(*mesh, i), Acad::eOk);
  EXPECT_EQ(addFace(*mesh, 1, 2, 3, 0), Acad::eOk);    // a triangle
  EXPECT_EQ(addFace(*mesh, -1, 2, -3, 4), Acad::eOk);  // hidden edges
  EXPECT_EQ(addFace(*mesh, 1, 2, 5, 0), Acad::eInvalidFaceVertexIndex);
  EXPECT_EQ(addFace(*mesh, 1, -5, 2, 0), Acad::eInvalidFaceVertexIndex);
  EXPECT_EQ(addFace(*mesh, 1, 0, 2, 0), Acad::eInvalidFaceVertexIndex);
  EXPECT_EQ(addVertex(*mesh, 9), Acad::eVertexAfterFace);
  EXPECT_EQ(mesh->numVertices(), 4);
  EXPECT_EQ(mesh->numFaces(), 2);
  mesh->close();  // never entered the drawing: released with its vertices
}

TEST_F(PolyFace, HostLimitIs32767VerticesAndFaces) {
  AcDbPolyFaceMesh mesh;
  for (int i = 0; i < AcDbPolyFaceMesh::kMaxCount; ++i) ASSERT_EQ(addVertex(mesh, i), Acad::eOk) << i;
  EXPECT_EQ(addVertex(mesh, -1), Acad::eInvalidMeshVertexIndex);
  EXPECT_EQ(mesh.numVertices(), 32767);
  EXPECT_EQ(addFace(mesh, 32767, 32766, 1, 0), Acad::eOk);
  for (int i = 1; i < AcDbPolyFaceMesh::kMaxCount; ++i) ASSERT_EQ(addFace(mesh, 1, 2, 3, 0), Acad::eOk) << i;
  EXPECT_EQ(addFace(mesh, 1, 2, 3, 0), Acad::eInvalidFaceVertexIndex);
  EXPECT_EQ(mesh.numFaces(), 32767);
}

TEST_F(PolyFace, VerticesEnterTheDrawingWithTheirMesh) {
  auto* mesh = new AcDbPolyFaceMesh;
  for (int i = 0; i < 3; ++i) addVertex(*mesh, i);
  addFace(*mesh, 1, 2, 3, 0);
  mesh->setColorIndex(3);
  AcDbObjectId id = append(mesh);

  AcDbPolyFaceMesh* opened = nullptr;
  ASSERT_EQ(acdbOpenObject(opened, id, AcDb::kForRead), Acad::eOk);
  AcDbObjectIterator* it = opened->vertexIterator();
  int n = 0;
  for (; !it->done(); it->step(), ++n) {
    AcDbObjectId itemId = it->objectId();
    ASSERT_FALSE(itemId.isNull());
    AcDbEntity* item = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(item, itemId, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(item->ownerId(), id);
    EXPECT_EQ(item->colorIndex(), 3);
    EXPECT_STREQ(item->isA()->name(), n < 3 ? "AcDbPolyFaceMeshVertex" : "AcDbFaceRecord");
    item->close();
  }
  delete it;
  EXPECT_EQ(n, 4);
  opened->close();

  // Erasing the mesh erases its vertices; bringing it back brings them back.
  ads_name name;
  acdbGetAdsName(name, id);
  ASSERT_EQ(acdbEntDel(name), RTNORM);
  ASSERT_EQ(acdbOpenObject(opened, id, AcDb::kForRead, true), Acad::eOk);
  for (const AcDbEntity* item : opened->items()) EXPECT_TRUE(item->isErased());
  opened->close();
  ASSERT_EQ(acdbEntDel(name), RTNORM);
  ASSERT_EQ(acdbOpenObject(opened, id, AcDb::kForRead), Acad::eOk);
  for (const AcDbEntity* item : opened->items()) EXPECT_FALSE(item->isErased());
  opened->close();
}

TEST_F(PolyFace, PropertyChangesReachTheVerticesOnlyWhenAsked) {
  auto* mesh = new AcDbPolyFaceMesh;
  addVertex(*mesh, 0);
  AcDbObjectId id = append(mesh);
  AcDbLayerTable* layers = nullptr;
  ASSERT_EQ(db().getLayerTable(layers, AcDb::kForWrite), Acad::eOk);
  auto* rec = new AcDbLayerTableRecord;
  rec->setName("Parts");
  AcDbObjectId parts;
  ASSERT_EQ(layers->add(parts, rec), Acad::eOk);
  rec->close();
  layers->close();

  AcDbPolyFaceMesh* pf = nullptr;
  ASSERT_EQ(acdbOpenObject(pf, id, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(pf->setColorIndex(5, false), Acad::eOk);
  EXPECT_EQ(pf->items()[0]->colorIndex(), 256);
  ASSERT_EQ(pf->setLayer(parts, true), Acad::eOk);
  EXPECT_EQ(pf->items()[0]->layerId(), parts);
  EXPECT_EQ(pf->items()[0]->colorIndex(), 5);
  pf->close();
}

TEST_F(PolyFace, VertexAppendedToAMeshInTheDrawingGetsItsOwnHandle) {
  AcDbObjectId id = append(new AcDbPolyFaceMesh);
  AcDbPolyFaceMesh* mesh = nullptr;
  ASSERT_EQ(acdbOpenObject(mesh, id, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(addVertex(*mesh, 7), Acad::eOk);
  ASSERT_EQ(mesh->items().size(), 1u);
  EXPECT_FALSE(mesh->items()[0]->objectId().isNull());
  AcDbExtents ext;
  ASSERT_EQ(mesh->getGeomExtents(ext), Acad::eOk);
  EXPECT_EQ(ext.minPoint(), AcGePoint3d(7, 0, 0));
  mesh->close();
}

TEST_F(PolyFace, CloneCopiesVerticesAndFaces) {
  AcDbPolyFaceMesh mesh;
  for (int i = 0; i < 3; ++i) addVertex(mesh, i);
  addFace(mesh, 1, 2, -3, 0);
  auto* copy = AcDbPolyFaceMesh::cast(mesh.clone());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->numVertices(), 3);
  EXPECT_EQ(copy->numFaces(), 1);
  Adesk::Int16 v = 0;
  AcDbFaceRecord::cast(copy->items()[3])->getVertexAt(2, v);
  EXPECT_EQ(v, -3);
  ASSERT_EQ(copy->transformBy(AcGeMatrix3d::translation(AcGeVector3d(0, 5, 0))), Acad::eOk);
  EXPECT_EQ(AcDbVertex::cast(copy->items()[1])->position(), AcGePoint3d(1, 5, 0));
  EXPECT_EQ(AcDbVertex::cast(mesh.items()[1])->position(), AcGePoint3d(1, 0, 0));
  copy->close();
}

class Meshes : public HostTest {};

TEST_F(Meshes, PolygonMeshKeepsItsGrid) {
  AcGePoint3dArray pts;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) pts.append(AcGePoint3d(c, r, r * c));
  auto* grid = new AcDbPolygonMesh(AcDb::kSimpleMesh, 3, 4, pts, false, true);
  AcDbObjectId id = append(grid);
  AcDbPolygonMesh* mesh = nullptr;
  ASSERT_EQ(acdbOpenObject(mesh, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(mesh->mSize(), 3);
  EXPECT_EQ(mesh->nSize(), 4);
  EXPECT_FALSE(mesh->isMClosed());
  EXPECT_TRUE(mesh->isNClosed());
  AcDbObjectIterator* it = mesh->vertexIterator();
  int k = 0;
  for (; !it->done(); it->step(), ++k) {
    AcDbPolygonMeshVertex* v = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(v, it->objectId(), AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(v->position(), pts[k]);
    v->close();
  }
  delete it;
  EXPECT_EQ(k, 12);
  mesh->close();
}

TEST_F(Meshes, IteratorSkipsErasedItemsBothWays) {
  AcGePoint3dArray pts;
  for (int i = 0; i < 4; ++i) pts.append(AcGePoint3d(i, 0, 0));
  AcDbObjectId id = append(new AcDb3dPolyline(AcDb::k3dSimplePoly, pts, true));
  AcDb3dPolyline* pl = nullptr;
  ASSERT_EQ(acdbOpenObject(pl, id, AcDb::kForRead), Acad::eOk);
  EXPECT_TRUE(pl->isClosed());
  AcDbObjectId second = pl->items()[1]->objectId(), last = pl->items()[3]->objectId();
  pl->close();
  for (AcDbObjectId v : {second, last}) {
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, v, AcDb::kForWrite), Acad::eOk);
    e->erase();
    e->close();
  }
  ASSERT_EQ(acdbOpenObject(pl, id, AcDb::kForRead), Acad::eOk);
  AcDbObjectIterator* it = pl->vertexIterator();
  std::vector<double> xs;
  for (; !it->done(); it->step()) xs.push_back(AcDbVertex::cast(it->entity())->position().x);
  EXPECT_EQ(xs, (std::vector<double>{0, 2}));
  xs.clear();
  for (it->start(true); !it->done(); it->step(true)) xs.push_back(AcDbVertex::cast(it->entity())->position().x);
  EXPECT_EQ(xs, (std::vector<double>{2, 0}));
  delete it;
  pl->close();
}

TEST_F(Meshes, FaceAndSolidCorners) {
  AcDbFace tri(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0));
  AcGePoint3d p;
  ASSERT_EQ(tri.getVertexAt(3, p), Acad::eOk);
  EXPECT_EQ(p, AcGePoint3d(0, 1, 0));  // a triangle repeats its third corner
  EXPECT_EQ(tri.getVertexAt(4, p), Acad::eInvalidIndex);
  EXPECT_EQ(tri.makeEdgeInvisibleAt(1), Acad::eOk);
  bool visible = true;
  tri.isEdgeVisibleAt(1, visible);
  EXPECT_FALSE(visible);

  AcDbSolid solid(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0), AcGePoint3d(0, 3, 0), AcGePoint3d(2, 3, 0));
  solid.setThickness(4);
  AcDbExtents ext;
  ASSERT_EQ(solid.getGeomExtents(ext), Acad::eOk);
  EXPECT_EQ(ext.maxPoint(), AcGePoint3d(2, 3, 4));
  EXPECT_EQ(solid.getPointAt(2, p), Acad::eOk);
  EXPECT_EQ(p, AcGePoint3d(0, 3, 0));
  EXPECT_EQ(solid.setNormal(AcGeVector3d()), Acad::eInvalidNormal);
}
