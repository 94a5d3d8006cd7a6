// Meshes into solids, checked with Open CASCADE: closed solids of the mesh's own volume, faces
// on one plane merged; open meshes give bodies.
#include <cmath>
#include <filesystem>
#include <string>

#include <BRepCheck_Analyzer.hxx>
#include <BRepGProp.hxx>
#include <BRep_Tool.hxx>
#include <GProp_GProps.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopoDS.hxx>

#include "convert/meshread.h"
#include "convert/satsolid.h"
#include "convert/solidmesh.h"
#include "dbutil/errortext.h"
#include "host_fixture.h"
#include "modeler/occ_shape.h"
#include "solid_shapes.h"
#include "test_files.h"

namespace fs = std::filesystem;

namespace {

double volume(const AcDbModelerEntity& e) {
  GProp_GProps props;
  BRepGProp::VolumeProperties(kv::modeler::shapeOf(e), props);
  return props.Mass();
}

int count(const TopoDS_Shape& shape, TopAbs_ShapeEnum kind) {
  int n = 0;
  for (TopExp_Explorer it(shape, kind); it.More(); it.Next()) ++n;
  return n;
}

// One valid solid, every edge of which bounds exactly two faces.
::testing::AssertionResult isClosedSolid(const AcDbModelerEntity& e) {
  const TopoDS_Shape& shape = kv::modeler::shapeOf(e);
  if (shape.IsNull()) return ::testing::AssertionFailure() << "no shape";
  if (count(shape, TopAbs_SOLID) != 1) return ::testing::AssertionFailure() << count(shape, TopAbs_SOLID) << " solids";
  if (!BRepCheck_Analyzer(shape).IsValid()) return ::testing::AssertionFailure() << "invalid shape";
  TopTools_IndexedDataMapOfShapeListOfShape faces;
  TopExp::MapShapesAndAncestors(shape, TopAbs_EDGE, TopAbs_FACE, faces);
  for (int i = 1; i <= faces.Extent(); ++i) {
    if (BRep_Tool::Degenerated(TopoDS::Edge(faces.FindKey(i)))) continue;
    if (faces(i).Extent() != 2) return ::testing::AssertionFailure() << "an edge of " << faces(i).Extent() << " faces";
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult sameVolume(double got, double expected) {
  if (std::fabs(got - expected) <= 1e-9 * std::fabs(expected)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "volume " << got << ", mesh " << expected << ", relative error "
                                       << std::fabs(got - expected) / std::fabs(expected);
}

}  // namespace

class SatSolidOcc : public HostTest {
protected:
  ScratchFolder scratch_;
  ScopedEnv tempVariable_{"temp", scratch_.path().c_str()};
};

TEST_F(SatSolidOcc, BoxMeshBecomesAClosedSolidOfSixFaces) {
  ON_Mesh mesh = boxTriangles(3, 0.75, 5);
  ASSERT_TRUE(mesh.Translate(ON_3dVector(-1, 0.5, 2)));
  ASSERT_DOUBLE_EQ(signedVolume(mesh), 3 * 0.75 * 5);
  auto* solid = new AcDb3dSolid;
  ASSERT_EQ(SatSolidFromMesh(mesh, solid), 1);
  EXPECT_TRUE(isClosedSolid(*solid));
  EXPECT_TRUE(sameVolume(volume(*solid), signedVolume(mesh)));
  EXPECT_EQ(count(kv::modeler::shapeOf(*solid), TopAbs_FACE), 6);  // the triangles of each side merged
  solid->close();
}

TEST_F(SatSolidOcc, FacetedSphereBecomesAClosedSolidOfItsVolume) {
  ON_Mesh mesh = sphereMesh(10, 100, 51);
  ASSERT_TRUE(mesh.Translate(ON_3dVector(1, -2, 3)));
  ASSERT_EQ(mesh.FaceCount(), 10000);
  ASSERT_TRUE(shapes::isClosed(mesh));
  auto* solid = new AcDb3dSolid;
  ASSERT_EQ(SatSolidFromMesh(mesh, solid), 1);
  EXPECT_TRUE(isClosedSolid(*solid));
  EXPECT_TRUE(sameVolume(volume(*solid), signedVolume(mesh)));
  solid->close();
}

TEST_F(SatSolidOcc, MeshEntitiesBecomeSolidsOfTheirMeshesVolumes) {
  AcDbPolygonMesh* torus = shapes::newTorusGrid(AcGePoint3d(1, 2, 3), 4, 1, 24, 12);
  ON_Mesh read;
  ASSERT_EQ(MeshFromPolygonMesh(torus, read), TRUE);
  ASSERT_TRUE(shapes::isClosed(read));
  ASSERT_GT(signedVolume(read), 0);
  auto* solid = new AcDb3dSolid;
  ASSERT_EQ(SatSolidFromPolygonMesh(torus, solid), 1);
  EXPECT_TRUE(isClosedSolid(*solid));
  EXPECT_TRUE(sameVolume(volume(*solid), signedVolume(read)));

  const ON_Mesh ball = sphereMesh(2, 16, 9);
  AcDbPolyFaceMesh* polyface = shapes::newPolyFace(ball);
  ASSERT_EQ(SatSolidFromPolyFaceMesh(polyface, solid), 1);
  EXPECT_TRUE(isClosedSolid(*solid));
  EXPECT_TRUE(sameVolume(volume(*solid), signedVolume(ball)));
  for (AcDbEntity* e : std::vector<AcDbEntity*>{torus, polyface, solid}) e->close();
}

TEST_F(SatSolidOcc, OpenMeshGivesABodyWithoutSolid) {
  AcDbVoidPtrArray entities;
  ASSERT_EQ(SatEntitiesFromMesh(shapes::tentMesh(), entities, 1), 1);
  ASSERT_EQ(entities.length(), 1);
  auto* body = static_cast<AcDbEntity*>(entities[0]);
  EXPECT_STREQ(body->isA()->name(), "AcDbBody");
  const TopoDS_Shape& shape = kv::modeler::shapeOf(*AcDbModelerEntity::cast(body));
  EXPECT_EQ(count(shape, TopAbs_SOLID), 0);
  EXPECT_EQ(count(shape, TopAbs_FACE), 2);
  body->close();
}

// Every closed solid of the outside SAT files, faceted by the host, comes back from its mesh as a
// closed solid of the mesh's volume.
TEST_F(SatSolidOcc, MeshesOfTheSampleSolidsComeBackAsClosedSolids) {
  const fs::path folder = fs::path(KV_SHARED_DIR) / "testdata" / "sat";
  KV_SKIP_UNLESS(fs::is_directory(folder), folder.string());
  int closed = 0, open = 0;
  for (const std::string& name : namesIn(folder.string())) {
    AcDbVoidPtrArray read;
    if (AcDbBody::acisIn((folder / name).c_str(), read) != Acad::eOk) continue;
    for (int i = 0; i < read.length(); ++i) {
      auto* entity = static_cast<AcDbEntity*>(read[i]);
      auto* source = AcDb3dSolid::cast(entity);
      if (source) {
        SCOPED_TRACE(name + " solid " + std::to_string(i));
        ON_Mesh mesh;
        ASSERT_EQ(StlMeshFromSolid(source, mesh, nullptr), 1) << GetSolidErrorText().GetString();
        auto* solid = new AcDb3dSolid;
        EXPECT_EQ(SatSolidFromMesh(mesh, solid), 1) << GetSolidErrorText().GetString();
        if (shapes::isClosed(mesh)) {
          EXPECT_TRUE(isClosedSolid(*solid));
          EXPECT_TRUE(sameVolume(volume(*solid), signedVolume(mesh)));
          ++closed;
        } else {
          // Facets with gaps between them: the body of a sheet, not a solid.
          EXPECT_EQ(count(kv::modeler::shapeOf(*solid), TopAbs_SOLID), 0);
          ++open;
        }
        solid->close();
      }
      entity->close();
    }
  }
  // 22 solids of 14 files facet without gaps, one with some (the faceting's own matter).
  EXPECT_EQ(closed, 22);
  EXPECT_EQ(open, 1);
  EXPECT_TRUE(fs::is_empty(scratch_.path()));
}
