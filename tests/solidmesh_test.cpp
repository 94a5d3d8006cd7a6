// Solids and bodies faceted by the host through the temporary STL file.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "convert/meshread.h"
#include "convert/solidmesh.h"
#include "dbutil/errortext.h"
#include "dbutil/sysvar.h"
#include "host_fixture.h"
#include "test_files.h"
#include "modeler/solids.h"

namespace fs = std::filesystem;

class SolidMesh : public HostTest {
protected:
  fs::path stlFile() const { return temp_ / "ORVTemp.stl"; }
  double facetres() {
    double v = -1;
    GetSysVarReal("FACETRES", v);
    return v;
  }
  // A box of the given size whose minimum corner is at `low`, appended to model space.
  AcDbObjectId box(AcGeVector3d size, AcGePoint3d low) {
    auto* solid = new AcDb3dSolid;
    EXPECT_EQ(solid->createBox(size.x, size.y, size.z), Acad::eOk);
    AcGePoint3d centre = low + size * 0.5;
    solid->transformBy(AcGeMatrix3d::translation(centre.asVector()));
    return append(solid);
  }
  int liveEntities() {
    AcDbBlockTableRecord* space = nullptr;
    acdbOpenObject(space, db().modelSpaceId(), AcDb::kForRead);
    int n = 0;
    for (const AcDbObjectId& id : space->entityIds()) n += !id.isErased();
    space->close();
    return n;
  }
  static void bounds(const ON_Mesh& m, ON_3dPoint& lo, ON_3dPoint& hi) {
    lo = ON_3dPoint(1e300, 1e300, 1e300);
    hi = ON_3dPoint(-1e300, -1e300, -1e300);
    for (const ON_3fPoint& p : m.m_V)
      for (int i = 0; i < 3; ++i) {
        lo[i] = std::min(lo[i], double(p[i]));
        hi[i] = std::max(hi[i], double(p[i]));
      }
  }

  ScratchFolder scratch_;
  fs::path temp_ = scratch_.path();
  ScopedEnv tempVariable_{"temp", temp_.c_str()};
};

TEST_F(SolidMesh, ShiftedSolidComesBackWhereItWas) {
  AcDbObjectId id = box(AcGeVector3d(10, 4, 2), AcGePoint3d(-5, 2, -1));
  const double res = 2.0;
  ON_Mesh mesh;
  AcDb3dSolid* solid = nullptr;
  ASSERT_EQ(acdbOpenObject(solid, id, AcDb::kForRead), Acad::eOk);
  kv::fault::disarmAll();
  EXPECT_EQ(StlMeshFromSolid(solid, mesh, &res), 1);
  solid->close();
  // The moved copy went into model space for the export and was erased again.
  EXPECT_EQ(kv::fault::calls(kv::fault::Call::appendAcDbEntity), 1);
  EXPECT_EQ(liveEntities(), 1);
  ON_3dPoint lo, hi;
  bounds(mesh, lo, hi);
  EXPECT_NEAR(lo.x, -5, 1e-5);
  EXPECT_NEAR(lo.y, 2, 1e-5);
  EXPECT_NEAR(lo.z, -1, 1e-5);
  EXPECT_NEAR(hi.x, 5, 1e-5);
  EXPECT_EQ(mesh.VertexCount(), 8);  // a box: corners shared
  EXPECT_EQ(mesh.FaceCount(), 12);
  EXPECT_FALSE(fs::exists(stlFile()));  // deleted after the read
  EXPECT_EQ(facetres(), 0.5);           // restored
}

TEST_F(SolidMesh, SolidAtZeroIsExportedItself) {
  AcDbObjectId id = box(AcGeVector3d(1, 1, 1), AcGePoint3d(0, 0, 0));
  AcDb3dSolid* solid = nullptr;
  ASSERT_EQ(acdbOpenObject(solid, id, AcDb::kForRead), Acad::eOk);
  ON_Mesh mesh;
  kv::fault::disarmAll();
  EXPECT_EQ(StlMeshFromSolid(solid, mesh, nullptr), 1);
  solid->close();
  using kv::fault::Call;
  EXPECT_EQ(kv::fault::calls(Call::clone), 0);
  EXPECT_EQ(kv::fault::calls(Call::appendAcDbEntity), 0);
  // With no resolution, FACETRES is neither read nor set.
  EXPECT_EQ(kv::fault::calls(Call::acedGetVar), 0);
  EXPECT_EQ(kv::fault::calls(Call::acedSetVar), 0);
  EXPECT_EQ(mesh.FaceCount(), 12);
}

TEST_F(SolidMesh, FailedCopyAndExportRestoreFacetres) {
  AcDbObjectId id = box(AcGeVector3d(1, 1, 1), AcGePoint3d(-1, 0, 0));
  AcDb3dSolid* solid = nullptr;
  ASSERT_EQ(acdbOpenObject(solid, id, AcDb::kForRead), Acad::eOk);
  const double res = 7;
  ON_Mesh mesh;
  kv::fault::arm(kv::fault::Call::clone, 1);
  EXPECT_EQ(StlMeshFromSolid(solid, mesh, &res), 0);
  EXPECT_EQ(GetSolidErrorText(), "Error processing solid");
  EXPECT_EQ(facetres(), 0.5);
  EXPECT_FALSE(fs::exists(stlFile()));

  kv::fault::arm(kv::fault::Call::stlOut, 1);
  EXPECT_EQ(StlMeshFromSolid(solid, mesh, &res), 0);
  EXPECT_EQ(GetSolidErrorText(), "Unable to write temporary file");
  EXPECT_EQ(facetres(), 0.5);
  solid->close();
  EXPECT_EQ(liveEntities(), 1);  // the moved copy is gone again
}

TEST_F(SolidMesh, FacetresComesBackWhateverTheHostRefuses) {
  AcDbObjectId id = box(AcGeVector3d(1, 1, 1), AcGePoint3d(0, 0, 0));
  AcDb3dSolid* solid = nullptr;
  ASSERT_EQ(acdbOpenObject(solid, id, AcDb::kForRead), Acad::eOk);
  const double res = 0.01;
  ON_Mesh mesh;
  // Unreadable: left alone, the export runs at the host's value.
  kv::fault::disarmAll();
  kv::fault::arm(kv::fault::Call::acedGetVar, 1);
  EXPECT_EQ(StlMeshFromSolid(solid, mesh, &res), 1);
  EXPECT_EQ(kv::fault::calls(kv::fault::Call::acedSetVar), 0);
  EXPECT_EQ(facetres(), 0.5);
  // The restoring write refused once: the second try puts it back.
  kv::fault::disarmAll();
  kv::fault::arm(kv::fault::Call::acedSetVar, 2);
  EXPECT_EQ(StlMeshFromSolid(solid, mesh, &res), 1);
  EXPECT_EQ(kv::fault::fired(kv::fault::Call::acedSetVar), 1);
  EXPECT_EQ(facetres(), 0.5);
  solid->close();
}

TEST_F(SolidMesh, MovedCopyNeverStaysNorMisplacesTheMesh) {
  AcDbObjectId id = box(AcGeVector3d(1, 1, 1), AcGePoint3d(-3, 0, 0));
  AcDb3dSolid* solid = nullptr;
  ASSERT_EQ(acdbOpenObject(solid, id, AcDb::kForRead), Acad::eOk);
  ON_Mesh mesh;
  // A copy the host would not move would be exported where the solid is, then moved back.
  kv::fault::disarmAll();
  kv::fault::arm(kv::fault::Call::transformBy, 1);
  EXPECT_EQ(StlMeshFromSolid(solid, mesh, nullptr), 0);
  EXPECT_EQ(GetSolidErrorText(), "Error processing solid");
  EXPECT_EQ(mesh.VertexCount(), 0);
  EXPECT_EQ(kv::fault::calls(kv::fault::Call::appendAcDbEntity), 0);
  // The copy's erasure refused once: tried again through the editor, the copy is gone.
  kv::fault::disarmAll();
  kv::fault::arm(kv::fault::Call::erase, 1);
  EXPECT_EQ(StlMeshFromSolid(solid, mesh, nullptr), 1);
  EXPECT_EQ(kv::fault::fired(), 1);
  EXPECT_EQ(kv::fault::calls(kv::fault::Call::acdbEntDel), 1);
  solid->close();
  EXPECT_EQ(liveEntities(), 1);
  ON_3dPoint lo, hi;
  bounds(mesh, lo, hi);
  EXPECT_NEAR(lo.x, -3, 1e-5);
}

TEST_F(SolidMesh, FailedReadLeavesTheFileAndTheReadersText) {
  AcDbObjectId id = box(AcGeVector3d(1, 1, 1), AcGePoint3d(0, 0, 0));
  AcDb3dSolid* solid = nullptr;
  ASSERT_EQ(acdbOpenObject(solid, id, AcDb::kForRead), Acad::eOk);
  ON_Mesh mesh;
  kv::fault::arm(kv::fault::Call::STLToMesh, 1);
  EXPECT_EQ(StlMeshFromSolid(solid, mesh, nullptr), 0);
  solid->close();
  EXPECT_EQ(GetSolidErrorText().Find("Cannot open STL file"), 0) << GetSolidErrorText().GetString();
  EXPECT_TRUE(fs::exists(stlFile()));  // kept for a look at what went wrong
}

TEST_F(SolidMesh, MissingTempFolderVariableFails) {
  AcDbObjectId id = box(AcGeVector3d(1, 1, 1), AcGePoint3d(0, 0, 0));
  tempVariable_.set(nullptr);
  AcDb3dSolid* solid = nullptr;
  ASSERT_EQ(acdbOpenObject(solid, id, AcDb::kForRead), Acad::eOk);
  ON_Mesh mesh;
  const double res = 3;
  EXPECT_EQ(StlMeshFromSolid(solid, mesh, &res), 0);
  EXPECT_EQ(GetSolidErrorText(), "Unable to write temporary file");
  EXPECT_EQ(facetres(), 0.5);
  solid->close();
}

TEST_F(SolidMesh, NullSolidReportsItsExtentsStatus) {
  AcDb3dSolid empty;
  ON_Mesh mesh;
  EXPECT_EQ(StlMeshFromSolid(&empty, mesh, nullptr), 0);
  EXPECT_EQ(GetSolidErrorText(), "Null Extents");
}

TEST_F(SolidMesh, BodiesGoThroughATemporarySolid) {
  AcDb3dSolid sphere;
  ASSERT_EQ(sphere.createSphere(2), Acad::eOk);
  auto* body = new AcDbBody;
  ASSERT_EQ(body->setBody(sphere.body()), Acad::eOk);
  AcDbObjectId id = append(body);
  ON_Mesh mesh;
  ASSERT_TRUE(MeshFromEntityId(id, mesh, nullptr));  // the dispatcher's body branch
  ON_3dPoint lo, hi;
  bounds(mesh, lo, hi);
  EXPECT_NEAR(lo.x, -2, 0.05);
  EXPECT_NEAR(hi.z, 2, 0.05);
  EXPECT_EQ(liveEntities(), 1);  // the temporary solid never entered the drawing

  // A body with no modeller data leaves the text alone.
  SetSolidErrorText("before");
  AcDbBody emptyBody;
  EXPECT_FALSE(MeshFromBody(&emptyBody, mesh, nullptr));
  EXPECT_EQ(GetSolidErrorText(), "before");
  kv::fault::arm(kv::fault::Call::clone, 1);
  EXPECT_FALSE(MeshFromBody(&emptyBody, mesh, nullptr));
  EXPECT_EQ(GetSolidErrorText(), "Error processing solid");
}

TEST_F(SolidMesh, PolyfaceFormsFillTheCallersMesh) {
  AcDb3dSolid solid;
  ASSERT_EQ(solid.createBox(2, 2, 2), Acad::eOk);  // centred: reaches below zero
  AcDbPolyFaceMesh pf;
  ASSERT_EQ(PolyFaceFromSolid(&solid, &pf, nullptr), 1);
  EXPECT_EQ(pf.numVertices(), 8);
  EXPECT_EQ(pf.numFaces(), 12);

  AcDbBody body;
  ASSERT_EQ(body.setBody(solid.body()), Acad::eOk);
  AcDbPolyFaceMesh pf2;
  kv::fault::arm(kv::fault::Call::appendFaceRecord, 3, Acad::eOutOfMemory);
  EXPECT_EQ(PolyFaceFromBody(&body, &pf2, nullptr), 0);
  EXPECT_EQ(GetSolidErrorText(), "Out Of Memory");
  EXPECT_EQ(pf2.numFaces(), 2);  // what went in stays
}

TEST_F(SolidMesh, SuccessLeavesTheLastFailuresText) {
  AcDb3dSolid empty;
  ON_Mesh mesh;
  ASSERT_EQ(StlMeshFromSolid(&empty, mesh, nullptr), 0);
  ASSERT_EQ(GetSolidErrorText(), "Null Extents");

  AcDb3dSolid solid;
  ASSERT_EQ(solid.createBox(2, 2, 2), Acad::eOk);  // centred: the moved copy's road too
  const double res = 1;
  ASSERT_EQ(StlMeshFromSolid(&solid, mesh, &res), 1);
  AcDbBody body;
  ASSERT_EQ(body.setBody(solid.body()), Acad::eOk);
  ASSERT_TRUE(MeshFromBody(&body, mesh, nullptr));
  AcDbPolyFaceMesh pf, pf2;
  ASSERT_EQ(PolyFaceFromSolid(&solid, &pf, nullptr), 1);
  ASSERT_EQ(PolyFaceFromBody(&body, &pf2, nullptr), 1);
  ASSERT_TRUE(MeshFromEntityId(box(AcGeVector3d(1, 1, 1), AcGePoint3d(0, 0, 0)), mesh, &res));
  EXPECT_EQ(GetSolidErrorText(), "Null Extents");
}
