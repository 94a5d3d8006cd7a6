// Meshes written as polyface meshes, or as 3D faces when the host refuses them.
#include <string>

#include "convert/polyface.h"
#include "dbutil/errortext.h"
#include "host_fixture.h"

namespace {

ON_Mesh twoTriangles() {
  ON_Mesh m;
  m.SetVertex(0, ON_3dPoint(0, 0, 0));
  m.SetVertex(1, ON_3dPoint(1, 0, 0));
  m.SetVertex(2, ON_3dPoint(1, 1, 0));
  m.SetVertex(3, ON_3dPoint(0, 1, 0.5));
  m.SetTriangle(0, 0, 1, 2);
  m.SetTriangle(1, 0, 2, 3);
  return m;
}

// n vertices on a line and `faces` triangles over the first three.
ON_Mesh oversized(int n, int faces) {
  ON_Mesh m;
  for (int i = 0; i < n; ++i) m.SetVertex(i, ON_3dPoint(i, i % 7, 0));
  for (int f = 0; f < faces; ++f) m.SetTriangle(f, 0, 1, 2);
  return m;
}

}  // namespace

class PolyFaceWriter : public HostTest {
protected:
  // Live entities of model space by class name.
  std::vector<AcDbObjectId> live(const char* className) {
    std::vector<AcDbObjectId> out;
    AcDbBlockTableRecord* space = nullptr;
    EXPECT_EQ(acdbOpenObject(space, db().modelSpaceId(), AcDb::kForRead), Acad::eOk);
    for (const AcDbObjectId& id : space->entityIds()) {
      if (id.isErased()) continue;
      AcDbEntity* e = nullptr;
      acdbOpenAcDbEntity(e, id, AcDb::kForRead);
      if (std::string(e->isA()->name()) == className) out.push_back(id);
      e->close();
    }
    space->close();
    return out;
  }
  // Face records of a polyface mesh in the drawing, as four numbers each.
  std::vector<std::array<int, 4>> records(AcDbObjectId id, int* vertices = nullptr) {
    AcDbPolyFaceMesh* pf = nullptr;
    EXPECT_EQ(acdbOpenObject(pf, id, AcDb::kForRead), Acad::eOk);
    std::vector<std::array<int, 4>> out;
    for (const AcDbEntity* item : pf->items())
      if (auto* r = AcDbFaceRecord::cast(item)) {
        std::array<int, 4> v{};
        for (Adesk::UInt16 k = 0; k < 4; ++k) {
          Adesk::Int16 x;
          r->getVertexAt(k, x);
          v[k] = x;
        }
        out.push_back(v);
      }
    if (vertices) *vertices = pf->numVertices();
    pf->close();
    return out;
  }
  AcCmColor red() {
    AcCmColor c;
    c.setColorIndex(1);
    return c;
  }
};

TEST_F(PolyFaceWriter, TrianglesAndQuadsBecomeFaceRecords) {
  ON_Mesh m = twoTriangles();
  m.SetQuad(2, 0, 1, 2, 3);
  ASSERT_TRUE(PolyFaceMeshFromMesh(m, TRUE, "Meshes", red()));
  auto meshes = live("AcDbPolyFaceMesh");
  ASSERT_EQ(meshes.size(), 1u);
  int vertices = 0;
  auto recs = records(meshes[0], &vertices);
  EXPECT_EQ(vertices, 4);
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[0], (std::array<int, 4>{1, 2, 3, 0}));
  EXPECT_EQ(recs[1], (std::array<int, 4>{1, 3, 4, 0}));
  EXPECT_EQ(recs[2], (std::array<int, 4>{1, 2, 3, 4}));
  AcDbEntity* e = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(e, meshes[0], AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(e->layer(), "Meshes");
  EXPECT_EQ(e->colorIndex(), 1);
  e->close();
  EXPECT_TRUE(ui_.boxes().empty());
}

TEST_F(PolyFaceWriter, EmptyMeshIsAnEmptyPolyfaceMesh) {
  ASSERT_TRUE(PolyFaceMeshFromMesh(ON_Mesh(), FALSE, "", AcCmColor()));
  auto meshes = live("AcDbPolyFaceMesh");
  ASSERT_EQ(meshes.size(), 1u);
  int vertices = -1;
  EXPECT_TRUE(records(meshes[0], &vertices).empty());
  EXPECT_EQ(vertices, 0);
}

TEST_F(PolyFaceWriter, TooManyVerticesFallBackToFacesWithTheBox) {
  ON_Mesh m = oversized(32768, 2);
  ASSERT_TRUE(PolyFaceMeshFromMesh(m, TRUE, "Big", red()));
  EXPECT_TRUE(live("AcDbPolyFaceMesh").empty());
  auto faces = live("AcDbFace");
  ASSERT_EQ(faces.size(), 2u);
  ASSERT_EQ(ui_.boxes().size(), 1u);
  EXPECT_EQ(ui_.boxes()[0].caption, "AutoCAD limitation");
  EXPECT_EQ(ui_.boxes()[0].style, 0x40u);
  EXPECT_EQ(ui_.boxes()[0].text,
            "The mesh contains 32768 vertices and 2 faces.\n\nAutoCAD does not allow a PolyFace Mesh to contain more "
            "than 32,767 vertices and/or faces. Due to this AutoCAD limitation the mesh will be created as a set of 3D "
            "Faces and not a single PolyFace Mesh.");
  AcDbFace* face = nullptr;
  ASSERT_EQ(acdbOpenObject(face, faces[0], AcDb::kForRead), Acad::eOk);
  AcGePoint3d p;
  face->getVertexAt(3, p);
  EXPECT_EQ(p, AcGePoint3d(2, 2, 0));  // the triangle repeats its third corner
  EXPECT_EQ(face->layer(), "Big");
  face->close();
}

TEST_F(PolyFaceWriter, AtTheLimitItIsStillOnePolyfaceMesh) {
  ON_Mesh m = oversized(32767, 32767);
  m.SetTriangle(32766, 32766, 32765, 0);  // names the last vertex
  ASSERT_TRUE(PolyFaceMeshFromMesh(m, TRUE, "", AcCmColor()));
  EXPECT_TRUE(ui_.boxes().empty());
  EXPECT_TRUE(live("AcDbFace").empty());
  auto meshes = live("AcDbPolyFaceMesh");
  ASSERT_EQ(meshes.size(), 1u);
  int vertices = 0;
  auto recs = records(meshes[0], &vertices);
  EXPECT_EQ(vertices, 32767);
  ASSERT_EQ(recs.size(), 32767u);
  EXPECT_EQ(recs.back(), (std::array<int, 4>{32767, 32766, 1, 0}));
}

TEST_F(PolyFaceWriter, TooManyFacesFallBackWithoutTheBox) {
  ON_Mesh m = oversized(3, 32768);
  ASSERT_TRUE(PolyFaceMeshFromMesh(m, FALSE, "", AcCmColor()));
  EXPECT_TRUE(ui_.boxes().empty());
  EXPECT_TRUE(live("AcDbPolyFaceMesh").empty());
  EXPECT_EQ(live("AcDbFace").size(), 32768u);
}

TEST_F(PolyFaceWriter, HostRefusalDuringTheFillTakesTheFaceRoad) {
  // The host itself refuses a face record naming a vertex the mesh does not have.
  AcDbPolyFaceMesh pf;
  ON_Mesh m = twoTriangles();
  Acad::ErrorStatus status = Acad::eOk;
  kv::fault::arm(kv::fault::Call::appendFaceRecord, 2, Acad::eInvalidFaceVertexIndex);
  EXPECT_FALSE(FillPolyFaceMesh(m, &pf, &status));
  EXPECT_EQ(status, Acad::eInvalidFaceVertexIndex);
  EXPECT_EQ(GetConvertErrorText(), "Invalid Face Vertex Index");
  EXPECT_EQ(pf.numFaces(), 1);  // what went in before stays

  kv::fault::arm(kv::fault::Call::appendVertex, 3, Acad::eInvalidMeshVertexIndex);
  ASSERT_TRUE(PolyFaceMeshFromMesh(m, TRUE, "", AcCmColor()));
  EXPECT_EQ(ui_.boxes().size(), 1u);
  EXPECT_TRUE(live("AcDbPolyFaceMesh").empty());
  EXPECT_EQ(live("AcDbFace").size(), 2u);
}

TEST_F(PolyFaceWriter, OtherRefusalsWriteNothing) {
  kv::fault::arm(kv::fault::Call::appendVertex, 2, Acad::eOutOfMemory);
  EXPECT_FALSE(PolyFaceMeshFromMesh(twoTriangles(), TRUE, "", AcCmColor()));
  EXPECT_EQ(GetConvertErrorText(), "Out Of Memory");
  EXPECT_TRUE(ui_.boxes().empty());
  EXPECT_TRUE(live("AcDbFace").empty());

  kv::fault::arm(kv::fault::Call::appendAcDbEntity, 1, Acad::eWasOpenForRead);
  EXPECT_FALSE(PolyFaceMeshFromMesh(twoTriangles(), TRUE, "", AcCmColor()));
  EXPECT_EQ(GetConvertErrorText(), "Was Open For Read");
  EXPECT_TRUE(live("AcDbPolyFaceMesh").empty());
}

TEST_F(PolyFaceWriter, FailedFaceRoadLeavesNoFacesBehind) {
  ON_Mesh m = oversized(32768, 5);
  kv::fault::arm(kv::fault::Call::appendAcDbEntity, 4, Acad::eOutOfMemory);
  EXPECT_FALSE(PolyFaceMeshFromMesh(m, FALSE, "", AcCmColor()));
  EXPECT_EQ(GetConvertErrorText(), "Out Of Memory");
  EXPECT_TRUE(live("AcDbFace").empty());
}

TEST_F(PolyFaceWriter, AddedIdsNameWhatWentIn) {
  AcDbObjectIdArray added;
  ASSERT_TRUE(PolyFaceMeshFromMesh(twoTriangles(), FALSE, "", AcCmColor(), added));
  ASSERT_EQ(added.length(), 1);
  EXPECT_EQ(added[0], live("AcDbPolyFaceMesh").at(0));
  // The face road names every face it wrote.
  kv::fault::arm(kv::fault::Call::appendVertex, 1, Acad::eInvalidMeshVertexIndex);
  ASSERT_TRUE(PolyFaceMeshFromMesh(twoTriangles(), FALSE, "", AcCmColor(), added));
  auto faces = live("AcDbFace");
  ASSERT_EQ(faces.size(), 2u);
  ASSERT_EQ(added.length(), 3);
  EXPECT_EQ(added[1], faces[0]);
  EXPECT_EQ(added[2], faces[1]);
  // A failure names nothing.
  kv::fault::arm(kv::fault::Call::appendAcDbEntity, 1);
  EXPECT_FALSE(PolyFaceMeshFromMesh(twoTriangles(), FALSE, "", AcCmColor(), added));
  kv::fault::arm(kv::fault::Call::appendVertex, 1, Acad::eInvalidMeshVertexIndex);
  kv::fault::arm(kv::fault::Call::appendAcDbEntity, 2);
  EXPECT_FALSE(PolyFaceMeshFromMesh(twoTriangles(), FALSE, "", AcCmColor(), added));
  EXPECT_EQ(added.length(), 3);
  EXPECT_EQ(live("AcDbFace").size(), 2u);
}

TEST_F(PolyFaceWriter, IndexesOutsideTheVerticesAreRefused) {
  ON_Mesh m = twoTriangles();
  m.m_F[1].vi[2] = 9;
  EXPECT_FALSE(PolyFaceMeshFromMesh(m, FALSE, "", AcCmColor()));
  EXPECT_EQ(GetConvertErrorText(), "Invalid mesh");
  EXPECT_FALSE(FacesFromMesh(m, "", AcCmColor()));
  EXPECT_TRUE(live("AcDbFace").empty());
  EXPECT_TRUE(live("AcDbPolyFaceMesh").empty());
}

TEST_F(PolyFaceWriter, SuccessLeavesTheLastFailuresText) {
  ON_Mesh bad = twoTriangles();
  bad.m_F[1].vi[2] = 9;
  ASSERT_FALSE(PolyFaceMeshFromMesh(bad, FALSE, "", AcCmColor()));
  ASSERT_EQ(GetConvertErrorText(), "Invalid mesh");

  ON_Mesh good = twoTriangles();
  ASSERT_TRUE(PolyFaceMeshFromMesh(good, TRUE, "", AcCmColor()));
  AcDbPolyFaceMesh pf;
  ASSERT_TRUE(FillPolyFaceMesh(good, &pf));
  ASSERT_TRUE(FacesFromMesh(good, "", AcCmColor()));
  ON_ClassArray<ON_Mesh> meshes;
  meshes.Append(good);
  ASSERT_TRUE(PolyFaceMeshesFromMeshes(meshes, TRUE, "", AcCmColor()));
  ASSERT_TRUE(FacesFromMeshes(meshes, "", AcCmColor()));
  EXPECT_EQ(GetConvertErrorText(), "Invalid mesh");
}

TEST_F(PolyFaceWriter, ArrayFormsWriteEveryElement) {
  ON_ClassArray<ON_Mesh> meshes;
  meshes.Append(twoTriangles());
  ON_Mesh bad = twoTriangles();
  bad.m_F[0].vi[0] = -1;
  meshes.Append(bad);
  meshes.Append(twoTriangles());
  EXPECT_FALSE(PolyFaceMeshesFromMeshes(meshes, FALSE, "", AcCmColor()));  // one failed
  EXPECT_EQ(live("AcDbPolyFaceMesh").size(), 2u);
  EXPECT_FALSE(FacesFromMeshes(meshes, "", AcCmColor()));
  EXPECT_EQ(live("AcDbFace").size(), 4u);
}
