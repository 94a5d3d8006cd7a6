// Fault injection: armed host calls answer failures at the chosen call and only there.
#include "host_fixture.h"

class Faults : public HostTest {};

TEST_F(Faults, NthCallFailsOnceWithTheArmedStatus) {
  AcDbObjectId id = addLine();
  kv::fault::arm(kv::fault::Call::acdbOpenObject, 2, Acad::eOutOfMemory);
  AcDbEntity* ent = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOk);
  ent->close();
  EXPECT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOutOfMemory);
  EXPECT_EQ(ent, nullptr);
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOk);
  ent->close();
  EXPECT_EQ(kv::fault::fired(), 1);
  EXPECT_EQ(kv::fault::fired(kv::fault::Call::acdbOpenObject), 1);
  EXPECT_EQ(kv::fault::fired(kv::fault::Call::appendAcDbEntity), 0);
}

TEST_F(Faults, PersistentFaultKeepsFiring) {
  kv::fault::arm(kv::fault::Call::acedSetVar, 1, kv::fault::kNatural, true);
  resbuf rb{};
  rb.restype = RTREAL;
  rb.resval.rreal = 1.0;
  EXPECT_EQ(acedSetVar("FACETRES", &rb), RTERROR);
  EXPECT_EQ(acedSetVar("FACETRES", &rb), RTERROR);
  EXPECT_EQ(kv::fault::fired(kv::fault::Call::acedSetVar), 2);
  kv::fault::disarmAll();
  EXPECT_EQ(acedSetVar("FACETRES", &rb), RTNORM);
}

TEST_F(Faults, FailedAppendLeavesTheEntityOutsideTheDrawing) {
  kv::fault::arm(kv::fault::Call::appendAcDbEntity, 1);
  AcDbBlockTableRecord* space = nullptr;
  ASSERT_EQ(acdbOpenObject(space, db().modelSpaceId(), AcDb::kForWrite), Acad::eOk);
  auto* line = new AcDbLine;
  AcDbObjectId id;
  EXPECT_NE(space->appendAcDbEntity(id, line), Acad::eOk);
  EXPECT_TRUE(line->isNewObject());
  EXPECT_TRUE(space->entityIds().empty());
  space->close();
  line->close();  // still ours: released here
}

TEST_F(Faults, AnyCallCountsEveryArmableCall) {
  AcDbObjectId id = addLine();
  // Sweep: fail the n-th armable call of "open for write, erase" until a run fires nothing.
  int runs = 0;
  for (int n = 1; n < 10; ++n) {
    kv::fault::disarmAll();
    kv::fault::armAny(n);
    AcDbEntity* ent = nullptr;
    Acad::ErrorStatus es = acdbOpenAcDbEntity(ent, id, AcDb::kForWrite);
    if (es == Acad::eOk) {
      es = ent->erase();
      ent->close();
    }
    int firedNow = kv::fault::fired();
    kv::fault::disarmAll();
    ++runs;
    EXPECT_EQ(id.isErased(), es == Acad::eOk);
    EXPECT_EQ(firedNow == 0, es == Acad::eOk) << "run " << n;
    if (firedNow == 0) break;
  }
  EXPECT_EQ(runs, 3);  // the open failed, the erase failed, then a clean run
  EXPECT_TRUE(id.isErased());
}

TEST_F(Faults, CloneAndTransformCanBeMadeToFail) {
  AcDbLine line(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
  kv::fault::arm(kv::fault::Call::clone, 1);
  EXPECT_EQ(line.clone(), nullptr);
  AcRxObject* copy = line.clone();
  ASSERT_NE(copy, nullptr);
  delete copy;
  kv::fault::arm(kv::fault::Call::transformBy, 1, Acad::eCannotScaleNonUniformly);
  EXPECT_EQ(line.transformBy(AcGeMatrix3d::translation(AcGeVector3d(1, 0, 0))), Acad::eCannotScaleNonUniformly);
  EXPECT_EQ(line.startPoint(), AcGePoint3d(0, 0, 0));
}

TEST_F(Faults, WatchSeesTheStateEachCallFindsUntilDisarmed) {
  std::vector<double> seen;
  kv::fault::watch(kv::fault::Call::acedSetVar, [&] { seen.push_back(host_.sysvars().find("FACETRES")->real); });
  resbuf rb{};
  rb.restype = RTREAL;
  for (double f : {2.0, 3.0}) {
    rb.resval.rreal = f;
    EXPECT_EQ(acedSetVar("FACETRES", &rb), RTNORM);
  }
  EXPECT_EQ(seen, (std::vector<double>{0.5, 2.0}));  // each before its call
  kv::fault::disarmAll();
  EXPECT_EQ(acedSetVar("FACETRES", &rb), RTNORM);
  EXPECT_EQ(seen.size(), 2u);
}
