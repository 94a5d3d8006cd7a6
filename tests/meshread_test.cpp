// Meshes read from 3D faces, 2D solids, polyface meshes and polygon meshes.
#include <string>

#include "convert/meshread.h"
#include "dbutil/errortext.h"
#include "host_fixture.h"

// A class derived from a listed one must not pass for it.
class KvDerivedFace : public AcDbFace {
public:
  KV_RX_DECLARE_MEMBERS(KvDerivedFace)
  using AcDbFace::AcDbFace;
};
KV_RX_DEFINE_MEMBERS(KvDerivedFace, AcDbFace, "3DFACE")

class MeshRead : public HostTest {
protected:
  AcDbObjectId polyface(const std::vector<AcGePoint3d>& pts, const std::vector<std::array<short, 4>>& faces) {
    auto* pf = new AcDbPolyFaceMesh;
    for (const AcGePoint3d& p : pts) {
      auto* v = new AcDbPolyFaceMeshVertex(p);
      EXPECT_EQ(pf->appendVertex(v), Acad::eOk);
      v->close();
    }
    for (const auto& f : faces) {
      auto* r = new AcDbFaceRecord(f[0], f[1], f[2], f[3]);
      EXPECT_EQ(pf->appendFaceRecord(r), Acad::eOk);
      r->close();
    }
    return append(pf);
  }
  AcDbObjectId grid(int m, int n, bool mClosed, bool nClosed) {
    AcGePoint3dArray pts;
    for (int k = 0; k < m; ++k)
      for (int j = 0; j < n; ++j) pts.append(AcGePoint3d(j, k, k * j));
    return append(new AcDbPolygonMesh(AcDb::kSimpleMesh, short(m), short(n), pts, mClosed, nClosed));
  }
  BOOL read(AcDbObjectId id, ON_Mesh& mesh) { return MeshFromEntityId(id, mesh, nullptr); }
  static std::string handle(AcDbObjectId id) { return id.handle().text(); }
};

TEST_F(MeshRead, FaceIsATriangleOnlyWhenItsLastCornersMeet) {
  ON_Mesh mesh;
  AcGePoint3d a(0, 0, 0), b(1, 0, 0), c(1, 1, 0), d(0, 1, 0);
  ASSERT_TRUE(read(append(new AcDbFace(a, b, c, c)), mesh));
  ASSERT_EQ(mesh.FaceCount(), 1);
  EXPECT_TRUE(mesh.m_F[0].IsTriangle());
  EXPECT_EQ(mesh.VertexCount(), 3);
  // Other coincident corners still make a quad: only the third and fourth are compared.
  ASSERT_TRUE(read(append(new AcDbFace(a, a, c, d)), mesh));
  ASSERT_EQ(mesh.FaceCount(), 1);
  EXPECT_TRUE(mesh.m_F[0].IsQuad());
  EXPECT_EQ(ON_3dPoint(mesh.m_V[mesh.m_F[0].vi[3]]), ON_3dPoint(0, 1, 0));
}

TEST_F(MeshRead, SolidGoesRoundItsOutline) {
  AcDbSolid solid(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0), AcGePoint3d(0, 3, 0), AcGePoint3d(2, 3, 0));
  ON_Mesh mesh;
  ASSERT_TRUE(MeshFromFacetEntity(&solid, mesh));
  ASSERT_EQ(mesh.FaceCount(), 1);
  const int* vi = mesh.m_F[0].vi;
  EXPECT_EQ(ON_3dPoint(mesh.m_V[vi[2]]), ON_3dPoint(2, 3, 0));  // corner 3 before corner 2
  EXPECT_EQ(ON_3dPoint(mesh.m_V[vi[3]]), ON_3dPoint(0, 3, 0));
  // The dispatcher of the command does not take 2D solids.
  EXPECT_FALSE(MeshFromEntity(&solid, mesh, nullptr));
  EXPECT_EQ(GetSolidErrorText(), "Entity is not a 3D Face, PolyFace Mesh, Polygon Mesh, Body or 3D Solid");
}

TEST_F(MeshRead, PolyfaceDropsVisibilityUnusedVerticesAndDegenerateFaces) {
  std::vector<AcGePoint3d> pts = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {5, 5, 5}, {1, 1, 0}};
  AcDbObjectId id = polyface(pts, {{1, -2, 3, 0}, {-1, 3, 4, 0}, {3, 6, 4, 0}, {1, 2, 3, 4}});
  ON_Mesh mesh;
  ASSERT_TRUE(read(id, mesh));
  EXPECT_EQ(mesh.VertexCount(), 4);  // vertex 5 unused; vertex 6 only in a face that folds flat
  ASSERT_EQ(mesh.FaceCount(), 3);
  EXPECT_TRUE(mesh.m_F[0].IsTriangle());
  EXPECT_EQ(mesh.m_F[1].vi[0], 0);  // -1 is vertex 1, as 1 is
  EXPECT_TRUE(mesh.m_F[2].IsQuad());
}

TEST_F(MeshRead, PolyfaceWithoutFacesIsInvalidAndLeavesTheMesh) {
  ON_Mesh mesh;
  ASSERT_TRUE(read(polyface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 3, 0}}), mesh));
  AcDbObjectId bare = polyface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {});
  EXPECT_FALSE(read(bare, mesh));
  EXPECT_EQ(GetConvertErrorText(), "Invalid mesh");
  EXPECT_EQ(mesh.FaceCount(), 1);  // the earlier mesh is untouched
}

TEST_F(MeshRead, PolygonGridsGiveTheirCells) {
  struct Case {
    bool mClosed, nClosed;
    int quads;
  };
  for (Case c : {Case{false, false, 6}, Case{false, true, 8}, Case{true, false, 9}, Case{true, true, 12}}) {
    ON_Mesh mesh;
    ASSERT_TRUE(read(grid(3, 4, c.mClosed, c.nClosed), mesh));
    EXPECT_EQ(mesh.FaceCount(), c.quads) << c.mClosed << c.nClosed;
    EXPECT_EQ(mesh.VertexCount(), 12);  // the grid stays shared
    for (const ON_MeshFace& f : mesh.m_F) EXPECT_TRUE(f.IsQuad());
  }
  ON_Mesh mesh;
  ASSERT_TRUE(read(grid(3, 4, true, true), mesh));
  const int* corner = mesh.m_F[11].vi;  // P(0,3), P(2,3), P(2,0), P(0,0)
  EXPECT_EQ(ON_3dPoint(mesh.m_V[corner[0]]), ON_3dPoint(3, 0, 0));
  EXPECT_EQ(ON_3dPoint(mesh.m_V[corner[1]]), ON_3dPoint(3, 2, 6));
  EXPECT_EQ(ON_3dPoint(mesh.m_V[corner[3]]), ON_3dPoint(0, 0, 0));
}

TEST_F(MeshRead, PolygonWithTooFewVerticesIsInvalid) {
  AcGePoint3dArray pts;
  for (int i = 0; i < 5; ++i) pts.append(AcGePoint3d(i, i % 2, 0));
  AcDbObjectId id = append(new AcDbPolygonMesh(AcDb::kSimpleMesh, 2, 3, pts));
  ON_Mesh mesh;
  EXPECT_FALSE(read(id, mesh));
  EXPECT_EQ(GetConvertErrorText(), "Invalid mesh");
}

TEST_F(MeshRead, DerivedClassesAndUnreadableIdsAreRefused) {
  AcDbObjectId derived = append(new KvDerivedFace(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0)));
  ON_Mesh mesh;
  EXPECT_FALSE(read(derived, mesh));
  EXPECT_EQ(GetSolidErrorText(), "Entity is not a 3D Face, PolyFace Mesh, Polygon Mesh, Body or 3D Solid");
  AcDbEntity* e = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(e, derived, AcDb::kForRead), Acad::eOk);
  EXPECT_FALSE(MeshFromFacetEntity(e, mesh));
  EXPECT_EQ(GetConvertErrorText(), "Entity is not a 3D Face, 2D Solid, PolyFace Mesh or Polygon Mesh");
  e->close();
  EXPECT_FALSE(read(addLine(), mesh));
  EXPECT_FALSE(read(AcDbObjectId(), mesh));
  EXPECT_EQ(GetSolidErrorText(), "Unable to read object");
}

TEST_F(MeshRead, OneMeshServesManyEntities) {
  ON_Mesh mesh;
  ASSERT_TRUE(read(grid(3, 4, true, true), mesh));
  ASSERT_TRUE(read(append(new AcDbFace(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0))), mesh));
  EXPECT_EQ(mesh.FaceCount(), 1);
  EXPECT_EQ(mesh.VertexCount(), 3);
}

TEST_F(MeshRead, SelectionKeepsEveryIdButOnlyGoodMeshes) {
  AcDbObjectId face = append(new AcDbFace(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0)));
  AcDbObjectId bare = polyface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {});
  AcDbObjectId net = grid(2, 2, false, false);
  addLine();
  ui_.answer("ALL");
  ui_.answer("");
  ON_ClassArray<ON_Mesh> meshes;
  meshes.Append(ON_Mesh());
  AcDbObjectIdArray ids;
  ASSERT_TRUE(MeshesFromSelection("", FALSE, meshes, ids));
  ASSERT_EQ(ids.length(), 3);  // the line was filtered out
  EXPECT_EQ(ids[1], bare);
  ASSERT_EQ(meshes.Count(), 2);
  EXPECT_EQ(meshes[1].FaceCount(), 1);
  EXPECT_NE(ui_.printed().find("1 object(s) were filtered out"), std::string::npos);
  (void)face;
  (void)net;

  ui_.answer("*Cancel*");
  EXPECT_FALSE(MeshesFromSelection("", FALSE, meshes));
  EXPECT_EQ(GetConvertErrorText(), "No entities selected");
  EXPECT_EQ(meshes.Count(), 2);

  ui_.answer(handle(bare));
  ui_.answer("");
  EXPECT_FALSE(MeshesFromSelection("", FALSE, meshes));
  EXPECT_EQ(GetConvertErrorText(), "Meshes not selected");
}

TEST_F(MeshRead, PickedObjectIsRead) {
  AcDbObjectId net = grid(2, 3, false, false);
  ui_.answer(addLine().handle().text());
  ui_.answer(handle(net));
  ON_Mesh mesh;
  AcDbObjectId id;
  ASSERT_TRUE(MeshFromPickedObject("", TRUE, mesh, id));
  EXPECT_EQ(id, net);
  EXPECT_EQ(mesh.FaceCount(), 2);
  ui_.answer("*Cancel*");
  EXPECT_FALSE(MeshFromPickedObject("", TRUE, mesh));
  EXPECT_EQ(GetConvertErrorText(), "Object selection cancelled");
}

TEST_F(MeshRead, SuccessLeavesTheLastFailuresTexts) {
  ON_Mesh mesh;
  ASSERT_FALSE(read(AcDbObjectId(), mesh));
  ASSERT_EQ(GetSolidErrorText(), "Unable to read object");
  ASSERT_FALSE(read(polyface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {}), mesh));
  ASSERT_EQ(GetConvertErrorText(), "Invalid mesh");

  AcDbObjectId face = append(new AcDbFace(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0)));
  AcDbObjectId pf = polyface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 3, 0}});
  AcDbObjectId net = grid(2, 2, false, false);
  for (AcDbObjectId id : {face, pf, net}) {
    ASSERT_TRUE(read(id, mesh));
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(MeshFromFacetEntity(e, mesh));
    e->close();
  }
  ui_.answer(handle(net));
  ASSERT_TRUE(MeshFromPickedObject("", FALSE, mesh));
  ui_.answer("ALL");
  ui_.answer("");
  ON_ClassArray<ON_Mesh> meshes;
  ASSERT_TRUE(MeshesFromSelection("", FALSE, meshes));
  EXPECT_EQ(GetSolidErrorText(), "Unable to read object");
  EXPECT_EQ(GetConvertErrorText(), "Invalid mesh");
}
