// Appending with layer and colour, polyface records, polygon grids and erasing.
#include <tuple>

#include "dbutil/append.h"
#include "dbutil/color.h"
#include "dbutil/layer.h"
#include "host_fixture.h"

class Append : public HostTest {};

TEST_F(Append, EmptyLayerKeepsTheEntitysOwnLayer) {
  GetOrCreateLayer("Own", TRUE);
  auto* line = new AcDbLine;
  ASSERT_EQ(line->setLayer("Own"), Acad::eOk);
  AcCmColor color;
  color.setColorIndex(4);
  AcDbObjectId id;
  ASSERT_EQ(AppendEntityWithLayerAndColor(line, "", color, id, nullptr), Acad::eOk);
  line->close();
  EXPECT_EQ(GetEntityLayerName(id), "Own");
  EXPECT_EQ(GetEntityColor(id).colorIndex(), 4);
}

TEST_F(Append, MissingLayerIsCreated) {
  auto* line = new AcDbLine;
  AcDbObjectId id;
  ASSERT_EQ(AppendEntityWithLayerAndRgb(line, "Fresh", 0x0000FFul, id, nullptr), Acad::eOk);
  line->close();
  EXPECT_EQ(GetEntityLayerName(id), "Fresh");
  EXPECT_EQ(GetLayerColorIndex("Fresh"), 7);  // only its name: the host's default colour
  EXPECT_EQ(GetEntityColor(id).red(), 255);
}

TEST_F(Append, LayerThatCannotBeMadeStopsTheAppend) {
  auto* line = new AcDbLine;
  EXPECT_EQ(AppendEntityWithLayerAndColor(line, "no*way", AcCmColor()), Acad::eInvalidSymbolTableName);
  EXPECT_TRUE(line->isNewObject());
  line->close();
  kv::fault::arm(kv::fault::Call::symbolTableAdd, 1);
  line = new AcDbLine;
  EXPECT_EQ(AppendEntityWithLayerAndColor(line, "Blocked", AcCmColor()), Acad::eOutOfMemory);
  EXPECT_TRUE(line->isNewObject());
  line->close();
  EXPECT_TRUE(GetOrCreateLayer("Blocked", FALSE).isNull());
}

TEST_F(Append, ModelSpaceOpenFailureIsReturned) {
  AcDbBlockTableRecord* space = nullptr;
  ASSERT_EQ(acdbOpenObject(space, db().modelSpaceId(), AcDb::kForRead), Acad::eOk);
  auto* line = new AcDbLine;
  EXPECT_EQ(AppendEntity(line), Acad::eWasOpenForRead);
  line->close();
  // With an owner the caller holds open, that owner is used and stays open.
  ASSERT_EQ(space->upgradeOpen(), Acad::eOk);
  line = new AcDbLine;
  AcDbObjectId id;
  EXPECT_EQ(AppendEntity(line, id, space), Acad::eOk);
  line->close();
  EXPECT_TRUE(space->isWriteEnabled());
  space->close();
  EXPECT_EQ(GetEntityBlockId(id), db().modelSpaceId());
}

TEST_F(Append, PolyFaceRecordsRefusedWithTheHostsStatus) {
  auto* mesh = new AcDbPolyFaceMesh;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(AppendPolyFaceVertex(mesh, AcGePoint3d(i, i * i, 0)), Acad::eOk);
  EXPECT_EQ(AppendPolyFaceRecord(mesh, 1, 2, 3, 0), Acad::eOk);
  EXPECT_EQ(AppendPolyFaceRecord(mesh, 1, 2, 4, 0), Acad::eInvalidFaceVertexIndex);
  EXPECT_EQ(mesh->numFaces(), 1);
  mesh->close();
}

class PolygonGrid : public HostTest {
protected:
  // The face records FillPolyFaceFromPolygonMesh makes for an M x N grid.
  std::vector<std::tuple<int, int, int, int>> records(int m, int n, bool mClosed, bool nClosed) {
    AcGePoint3dArray pts;
    for (int i = 0; i < m * n; ++i) pts.append(AcGePoint3d(i % n, i / n, 0));
    auto* grid = new AcDbPolygonMesh(AcDb::kSimpleMesh, short(m), short(n), pts, mClosed, nClosed);
    AcDbObjectId id = append(grid);
    AcDbPolygonMesh* source = nullptr;
    EXPECT_EQ(acdbOpenObject(source, id, AcDb::kForRead), Acad::eOk);
    AcDbPolyFaceMesh target;
    EXPECT_TRUE(FillPolyFaceFromPolygonMesh(source, &target));
    source->close();
    EXPECT_EQ(target.numVertices(), m * n);
    std::vector<std::tuple<int, int, int, int>> out;
    for (const AcDbEntity* item : target.items()) {
      const AcDbFaceRecord* f = AcDbFaceRecord::cast(item);
      if (!f) continue;
      Adesk::Int16 v[4];
      for (Adesk::UInt16 c = 0; c < 4; ++c) f->getVertexAt(c, v[c]);
      out.emplace_back(v[0], v[1], v[2], v[3]);
    }
    return out;
  }
  using R = std::tuple<int, int, int, int>;
};

TEST_F(PolygonGrid, OpenGridGivesOneRecordPerCell) {
  EXPECT_EQ(records(3, 4, false, false),
            (std::vector<R>{{1, 2, 6, 5}, {2, 3, 7, 6}, {3, 4, 8, 7}, {5, 6, 10, 9}, {6, 7, 11, 10}, {7, 8, 12, 11}}));
}

TEST_F(PolygonGrid, ClosedGridsAddTheJoiningCells) {
  auto nClosed = records(3, 4, false, true);
  EXPECT_EQ(nClosed.size(), 8u);
  EXPECT_NE(std::find(nClosed.begin(), nClosed.end(), R{4, 1, 5, 8}), nClosed.end());
  EXPECT_NE(std::find(nClosed.begin(), nClosed.end(), R{8, 5, 9, 12}), nClosed.end());

  auto mClosed = records(3, 4, true, false);
  EXPECT_EQ(mClosed.size(), 9u);
  for (R r : {R{9, 10, 2, 1}, R{10, 11, 3, 2}, R{11, 12, 4, 3}})
    EXPECT_NE(std::find(mClosed.begin(), mClosed.end(), r), mClosed.end());

  auto both = records(3, 4, true, true);
  EXPECT_EQ(both.size(), 12u);
  EXPECT_EQ(both.back(), (R{4, 12, 9, 1}));
}

TEST_F(PolygonGrid, IncompleteGridAppendsNoFaces) {
  AcGePoint3dArray pts;
  for (int i = 0; i < 5; ++i) pts.append(AcGePoint3d(i, 0, 0));
  AcDbPolygonMesh grid(AcDb::kSimpleMesh, 2, 3, pts);  // six vertices promised, five given
  AcDbPolyFaceMesh target;
  EXPECT_FALSE(FillPolyFaceFromPolygonMesh(&grid, &target));
  EXPECT_EQ(target.numFaces(), 0);
}

class Erase : public HostTest {};

TEST_F(Erase, EraseEntityAnswersWhatTheHostDid) {
  AcDbObjectId a = addLine(), b = addLine(1);
  EXPECT_TRUE(EraseEntity(a));
  EXPECT_TRUE(a.isErased());
  EXPECT_FALSE(EraseEntity(a));  // erasing twice must not bring it back
  EXPECT_TRUE(a.isErased());
  EXPECT_FALSE(EraseEntity(AcDbObjectId()));
  // Only RTNORM is an erasure, whatever else the host answers.
  for (int answer : {RTERROR, RTCAN, RTREJ, RTNONE}) {
    kv::fault::arm(kv::fault::Call::acdbEntDel, 1, answer);
    EXPECT_FALSE(EraseEntity(b)) << answer;
    EXPECT_FALSE(b.isErased());
  }

  kv::fault::arm(kv::fault::Call::acdbEntDel, 1, RTERROR, true);
  AcDbObjectIdArray ids;
  ids.append(b);
  EXPECT_TRUE(EraseEntities(ids));  // whatever the host answered
  EXPECT_FALSE(b.isErased());
  kv::fault::disarmAll();
  EXPECT_TRUE(EraseEntities(ids));
  EXPECT_TRUE(b.isErased());
}

TEST(IndexOfName, ExactFirstMatch) {
  CStringArray names;
  names.Add("AcDbFace");
  names.Add("AcDb3dSolid");
  names.Add("AcDbFace");
  EXPECT_EQ(IndexOfName(names, "AcDbFace"), 0);
  EXPECT_EQ(IndexOfName(names, "AcDb3dSolid"), 1);
  EXPECT_EQ(IndexOfName(names, "acdbface"), -1);
  EXPECT_EQ(IndexOfName(CStringArray(), "AcDbFace"), -1);
}
