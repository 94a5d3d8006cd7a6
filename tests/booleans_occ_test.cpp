// Volumes of the solid Booleans against closed forms: boxes, cylinders and solids made of meshes.
#include <cmath>
#include <numbers>

#include <BRepGProp.hxx>
#include <GProp_GProps.hxx>

#include "convert/booleans.h"
#include "convert/meshread.h"
#include "dbutil/errortext.h"
#include "host_fixture.h"
#include "modeler/occ_shape.h"
#include "solid_shapes.h"
#include "test_files.h"

using std::numbers::pi;

namespace {

double volume(const AcDbModelerEntity& e) {
  GProp_GProps props;
  BRepGProp::VolumeProperties(kv::modeler::shapeOf(e), props);
  return props.Mass();
}

}  // namespace

class BooleansOcc : public HostTest {
protected:
  static AcDbObjectIdArray list(std::initializer_list<AcDbObjectId> ids) {
    AcDbObjectIdArray out;
    for (const AcDbObjectId& id : ids) out.append(id);
    return out;
  }
  // The three Booleans of the lists into fresh solids: union, intersection, difference.
  void combine(const AcDbObjectIdArray& solids, const AcDbObjectIdArray& tools, double& unite, double& intersect,
               double& subtract) {
    AcDbObjectIdArray all = solids;
    all.append(tools);
    auto run = [](auto op) {
      auto* result = new AcDb3dSolid;
      EXPECT_TRUE(op(result)) << GetSolidErrorText().GetString();
      double v = volume(*result);
      result->close();
      return v;
    };
    unite = run([&](AcDb3dSolid* r) { return UniteSolids(all, r); });
    intersect = run([&](AcDb3dSolid* r) { return IntersectSolids(all, r); });
    subtract = run([&](AcDb3dSolid* r) { return SubtractSolids(solids, tools, r); });
  }

  ScratchFolder scratch_;
  ScopedEnv tempVariable_{"temp", scratch_.path().c_str()};
};

TEST_F(BooleansOcc, OverlappingBoxes) {
  const AcDbObjectId a = append(shapes::newBox(AcGeVector3d(2, 2, 2), AcGePoint3d(0, 0, 0)));
  const AcDbObjectId b = append(shapes::newBox(AcGeVector3d(2, 2, 2), AcGePoint3d(1, 1, 1)));
  double u, i, s;
  combine(list({a}), list({b}), u, i, s);
  EXPECT_NEAR(u, 15, 1e-9);
  EXPECT_NEAR(i, 1, 1e-9);
  EXPECT_NEAR(s, 7, 1e-9);
  // A bar through both: it meets a in 0.5, b in 2, the two together in 0.25.
  const AcDbObjectId c = append(shapes::newBox(AcGeVector3d(4, 1, 1), AcGePoint3d(-1, 1.5, 1.5)));
  combine(list({a, b}), list({c}), u, i, s);
  EXPECT_NEAR(u, 8 + 8 + 4 - 1 - 0.5 - 2 + 0.25, 1e-9);
  EXPECT_NEAR(i, 0.25, 1e-9);
  EXPECT_NEAR(s, 15 - (0.5 + 2 - 0.25), 1e-9);
}

TEST_F(BooleansOcc, CrossingCylindersGiveTheSteinmetzSolid) {
  const double r = 1, length = 6;
  const AcDbObjectId z = append(shapes::newCylinder(r, length, AcGePoint3d(0, 0, 0)));
  AcDb3dSolid* x = shapes::newCylinder(r, length, AcGePoint3d(0, 0, 0));
  ASSERT_EQ(x->transformBy(AcGeMatrix3d::rotation(pi / 2, AcGeVector3d(0, 1, 0), AcGePoint3d(0, 0, 0))), Acad::eOk);
  const AcDbObjectId xid = append(x);
  const double cylinder = pi * r * r * length, both = 16.0 / 3 * r * r * r;
  double u, i, s;
  combine(list({z}), list({xid}), u, i, s);
  EXPECT_NEAR(u, 2 * cylinder - both, 1e-6);
  EXPECT_NEAR(i, both, 1e-6);
  EXPECT_NEAR(s, cylinder - both, 1e-6);
}

TEST_F(BooleansOcc, SolidsMadeOfMeshesCombineByTheirMeshesVolumes) {
  // A polyface cube against a modeller box.
  const AcDbObjectId cube = append(shapes::newPolyFace(boxMesh(2, 2, 2)));
  const AcDbObjectId box = append(shapes::newBox(AcGeVector3d(2, 2, 2), AcGePoint3d(1, 1, 1)));
  double u, i, s;
  combine(list({cube}), list({box}), u, i, s);
  EXPECT_NEAR(u, 15, 1e-9);
  EXPECT_NEAR(i, 1, 1e-9);
  EXPECT_NEAR(s, 7, 1e-9);

  // A polygon-mesh torus, symmetric about x = 0, against the box holding its half x > 0.
  AcDbPolygonMesh* grid = shapes::newTorusGrid(AcGePoint3d(0, 0, 10), 4, 1, 24, 12);
  ON_Mesh mesh;
  ASSERT_TRUE(MeshFromPolygonMesh(grid, mesh));
  const double torus = signedVolume(mesh);
  const AcDbObjectId ring = append(grid);
  const AcDbObjectId half = append(shapes::newBox(AcGeVector3d(10, 20, 10), AcGePoint3d(0, -10, 5)));
  combine(list({ring}), list({half}), u, i, s);
  EXPECT_NEAR(u, 10 * 20 * 10 + torus / 2, 1e-9 * torus);
  EXPECT_NEAR(i, torus / 2, 1e-9 * torus);
  EXPECT_NEAR(s, torus / 2, 1e-9 * torus);
}

TEST_F(BooleansOcc, DisjointSolidsHaveNoCommonIntersection) {
  const AcDbObjectId a = append(shapes::newCylinder(1, 2, AcGePoint3d(0, 0, 0)));
  const AcDbObjectId b = append(shapes::newPolyFace(boxMesh(1, 1, 1, ON_3dPoint(3, 3, 3))));
  auto* result = new AcDb3dSolid;
  EXPECT_FALSE(IntersectSolids(list({a, b}), result));
  EXPECT_EQ(GetSolidErrorText(), "Objects do not have a common intersection");
  EXPECT_TRUE(result->isNull());
  // The union keeps both, apart.
  EXPECT_TRUE(UniteSolids(list({a, b}), result));
  EXPECT_NEAR(volume(*result), 2 * pi + 1, 1e-6);
  result->close();
}
