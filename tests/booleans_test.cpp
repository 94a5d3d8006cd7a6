// Union, intersection and subtraction of the solids, bodies and meshes named by ids.
#include <filesystem>
#include <vector>

#include "convert/booleans.h"
#include "dbutil/errortext.h"
#include "host_fixture.h"
#include "solid_shapes.h"
#include "test_files.h"

namespace fs = std::filesystem;
using kv::fault::Call;
using shapes::expectExtents;

class Booleans : public HostTest {
protected:
  AcDbObjectId box(const AcGeVector3d& size, const AcGePoint3d& low) { return append(shapes::newBox(size, low)); }
  static AcDbObjectIdArray list(std::initializer_list<AcDbObjectId> ids) {
    AcDbObjectIdArray out;
    for (const AcDbObjectId& id : ids) out.append(id);
    return out;
  }
  // A result the caller owns, holding a sphere: what a refused call must leave standing.
  static AcDb3dSolid* sphereResult() {
    auto* solid = new AcDb3dSolid;
    EXPECT_EQ(solid->createSphere(5), Acad::eOk);
    return solid;
  }
  // The listed entities are where they were, and closed.
  static void expectUntouched(const AcDbObjectId& id, const std::vector<double>& extents) {
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    expectExtents(*e, extents);
    e->close();
  }

  ScratchFolder scratch_;
  ScopedEnv tempVariable_{"temp", scratch_.path().c_str()};
  const std::vector<double> sphere5_{-5, -5, -5, 5, 5, 5};
};

TEST_F(Booleans, EmptyListsAreRefusedBeforeAnythingIsRead) {
  const AcDbObjectId a = box(AcGeVector3d(2, 2, 2), AcGePoint3d(0, 0, 0));
  AcDb3dSolid* result = sphereResult();
  const AcDbObjectIdArray none;
  kv::fault::disarmAll();  // counts from here
  for (int op = 0; op < 4; ++op) {
    SetSolidErrorText("");
    BOOL ok = op == 0   ? UniteSolids(none, result)
              : op == 1 ? IntersectSolids(none, result)
              : op == 2 ? SubtractSolids(none, list({a}), result)
                        : SubtractSolids(list({a}), none, result);
    EXPECT_FALSE(ok) << op;
    EXPECT_FALSE(GetSolidErrorText().IsEmpty()) << op;
    expectExtents(*result, sphere5_);
  }
  EXPECT_EQ(kv::fault::calls(Call::acdbOpenObject), 0);
  EXPECT_EQ(kv::fault::calls(Call::booleanOper), 0);
  result->close();
}

TEST_F(Booleans, OneIdGivesThatObjectsSolidWithoutABoolean) {
  const AcDbObjectId a = box(AcGeVector3d(1, 2, 3), AcGePoint3d(0, 0, 0));
  AcDb3dSolid* result = sphereResult();
  EXPECT_TRUE(UniteSolids(list({a}), result));
  expectExtents(*result, {0, 0, 0, 1, 2, 3});
  AcDb3dSolid* other = sphereResult();
  EXPECT_TRUE(IntersectSolids(list({a}), other));
  expectExtents(*other, {0, 0, 0, 1, 2, 3});
  EXPECT_EQ(kv::fault::calls(Call::booleanOper), 0);
  expectUntouched(a, {0, 0, 0, 1, 2, 3});
  result->close();
  other->close();
}

TEST_F(Booleans, EachKindCombinesAsItsNameSays) {
  const AcDbObjectId a = box(AcGeVector3d(2, 2, 2), AcGePoint3d(0, 0, 0));
  const AcDbObjectId b = box(AcGeVector3d(2, 4, 4), AcGePoint3d(1, -1, -1));
  auto* result = new AcDb3dSolid;
  ASSERT_TRUE(UniteSolids(list({a, b}), result));
  expectExtents(*result, {0, -1, -1, 3, 3, 3});
  ASSERT_TRUE(IntersectSolids(list({a, b}), result));
  expectExtents(*result, {1, 0, 0, 2, 2, 2});

  // One solid, one tool: exactly one Boolean, the subtraction.
  kv::fault::disarmAll();
  ASSERT_TRUE(SubtractSolids(list({a}), list({b}), result));
  expectExtents(*result, {0, 0, 0, 1, 2, 2});
  EXPECT_EQ(kv::fault::calls(Call::booleanOper), 1);

  // The union of the solids minus the union of the tools.
  const AcDbObjectId c = box(AcGeVector3d(1, 2, 2), AcGePoint3d(-1, 0, 0));
  const AcDbObjectId d = box(AcGeVector3d(1, 4, 4), AcGePoint3d(-2, -1, -1));
  ASSERT_TRUE(SubtractSolids(list({a, c}), list({b, d}), result));
  expectExtents(*result, {-1, 0, 0, 1, 2, 2});
  for (const AcDbObjectId& id : {a, b})
    expectUntouched(id, id == a ? std::vector<double>{0, 0, 0, 2, 2, 2} : std::vector<double>{1, -1, -1, 3, 3, 3});
  result->close();
}

TEST_F(Booleans, DisjointIntersectionLeavesNothing) {
  const AcDbObjectId a = box(AcGeVector3d(1, 1, 1), AcGePoint3d(0, 0, 0));
  const AcDbObjectId b = box(AcGeVector3d(1, 1, 1), AcGePoint3d(5, 0, 0));
  const AcDbObjectId c = box(AcGeVector3d(1, 1, 1), AcGePoint3d(0, 0, 0));
  AcDb3dSolid* result = sphereResult();
  SetSolidErrorText("");
  EXPECT_FALSE(IntersectSolids(list({a, b, c}), result));
  EXPECT_EQ(GetSolidErrorText(), "Objects do not have a common intersection");
  EXPECT_TRUE(result->isNull());
  result->close();
}

TEST_F(Booleans, FailingObjectStopsTheListAndKeepsWhatCameBefore) {
  const AcDbObjectId a = box(AcGeVector3d(1, 1, 1), AcGePoint3d(0, 0, 0));
  const AcDbObjectId b = box(AcGeVector3d(1, 1, 1), AcGePoint3d(1, 0, 0));
  const AcDbObjectId line = addLine();
  const AcDbObjectId mesh = append(shapes::newPolyFace(boxMesh(1, 1, 1, ON_3dPoint(0, 0, 5))));
  auto* result = new AcDb3dSolid;
  EXPECT_FALSE(UniteSolids(list({a, b, line, mesh}), result));
  EXPECT_EQ(GetSolidErrorText(), "Object is not a mesh or solid");
  expectExtents(*result, {0, 0, 0, 2, 1, 1});
  EXPECT_EQ(kv::fault::calls(Call::acisIn), 0);  // the mesh after the line was never made a solid

  // A tool that fails: the result holds the union of the solids.
  EXPECT_FALSE(SubtractSolids(list({a, b}), list({line}), result));
  EXPECT_EQ(GetSolidErrorText(), "Object is not a mesh or solid");
  expectExtents(*result, {0, 0, 0, 2, 1, 1});
  EXPECT_FALSE(SubtractSolids(list({line, a}), list({b}), result));
  EXPECT_EQ(GetSolidErrorText(), "Object is not a mesh or solid");
  expectUntouched(a, {0, 0, 0, 1, 1, 1});
  expectUntouched(b, {1, 0, 0, 2, 1, 1});
  result->close();
}

TEST_F(Booleans, RefusedBooleanGivesItsStatusText) {
  const AcDbObjectId a = box(AcGeVector3d(1, 1, 1), AcGePoint3d(0, 0, 0));
  const AcDbObjectId b = box(AcGeVector3d(1, 1, 1), AcGePoint3d(0.5, 0, 0));
  const CString refused = ErrorStatusText(Acad::eGeneralModelingFailure);
  ASSERT_FALSE(refused.IsEmpty());
  auto* result = new AcDb3dSolid;
  for (int op = 0; op < 3; ++op) {
    kv::fault::arm(Call::booleanOper, 1);
    SetSolidErrorText("");
    BOOL ok = op == 0 ? UniteSolids(list({a, b}), result)
              : op == 1 ? IntersectSolids(list({a, b}), result)
                        : SubtractSolids(list({a}), list({b}), result);
    EXPECT_FALSE(ok) << op;
    EXPECT_EQ(GetSolidErrorText(), refused) << op;
    expectExtents(*result, {0, 0, 0, 1, 1, 1});  // the first object's solid
  }
  result->close();
}

TEST_F(Booleans, MeshesTakePartAsTheSolidsTheyMake) {
  const AcDbObjectId a = box(AcGeVector3d(1, 1, 1), AcGePoint3d(0, 0, 0));
  const AcDbObjectId faces = append(shapes::newPolyFace(boxMesh(2.5, 0.5, 0.5, ON_3dPoint(0.5, 0.5, 0.5))));
  const AcDbObjectId torus = append(shapes::newTorusGrid(AcGePoint3d(0, 0, 10), 4, 1, 12, 8));
  auto* result = new AcDb3dSolid;
  ASSERT_TRUE(UniteSolids(list({a, faces, torus}), result));
  expectExtents(*result, {-5, -5, 0, 5, 5, 11});
  ASSERT_TRUE(SubtractSolids(list({faces}), list({a}), result));
  expectExtents(*result, {1, 0.5, 0.5, 3, 1, 1});
  EXPECT_TRUE(fs::is_empty(scratch_.path()));  // no temporary file left
  result->close();
}
