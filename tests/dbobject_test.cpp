// The open/close protocol, erasing, symbol tables and entity properties of the host.
#include <cmath>
#include <vector>

#include "host_fixture.h"

using Acad::ErrorStatus;

class OpenProtocol : public HostTest {};

TEST_F(OpenProtocol, ManyReadersOrOneWriter) {
  AcDbObjectId id = addLine();
  AcDbEntity *a = nullptr, *b = nullptr, *w = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(a, id, AcDb::kForRead), Acad::eOk);
  ASSERT_EQ(acdbOpenAcDbEntity(b, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(a, b);  // one object, two opens
  EXPECT_EQ(acdbOpenAcDbEntity(w, id, AcDb::kForWrite), Acad::eWasOpenForRead);
  EXPECT_EQ(w, nullptr);
  EXPECT_EQ(a->close(), Acad::eOk);
  EXPECT_EQ(acdbOpenAcDbEntity(w, id, AcDb::kForWrite), Acad::eWasOpenForRead);
  EXPECT_EQ(b->close(), Acad::eOk);
  ASSERT_EQ(acdbOpenAcDbEntity(w, id, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(acdbOpenAcDbEntity(a, id, AcDb::kForRead), Acad::eWasOpenForWrite);
  EXPECT_EQ(acdbOpenAcDbEntity(b, id, AcDb::kForWrite), Acad::eWasOpenForWrite);
  AcDbObject* notify = nullptr;
  EXPECT_EQ(acdbOpenObject(notify, id, AcDb::kForNotify), Acad::eOk);
  EXPECT_TRUE(notify->isNotifyEnabled());
  EXPECT_EQ(w->close(), Acad::eOk);
  EXPECT_EQ(notify->close(), Acad::eOk);
  // Every open was matched: a further close is refused, not counted.
  EXPECT_EQ(w->close(), Acad::eNotOpenForRead);
}

// The host lets 255 readers hold one object at a time.
TEST_F(OpenProtocol, ReadersStopAtTheHostsLimit) {
  constexpr int kMaxReaders = 255;
  AcDbObjectId id = addLine();
  std::vector<AcDbEntity*> readers;
  for (int i = 0; i < kMaxReaders; ++i) {
    AcDbEntity* ent = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOk) << "reader " << i + 1;
    readers.push_back(ent);
  }
  AcDbEntity* refused = reinterpret_cast<AcDbEntity*>(0x1);
  EXPECT_EQ(acdbOpenAcDbEntity(refused, id, AcDb::kForRead), Acad::eAtMaxReaders);
  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(readers[0]->readers(), kMaxReaders);  // the refusal was not counted
  EXPECT_EQ(acdbOpenAcDbEntity(refused, id, AcDb::kForWrite), Acad::eWasOpenForRead);

  ASSERT_EQ(readers.back()->close(), Acad::eOk);
  readers.pop_back();
  AcDbEntity* again = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(again, id, AcDb::kForRead), Acad::eOk);
  readers.push_back(again);
  EXPECT_EQ(acdbOpenAcDbEntity(refused, id, AcDb::kForRead), Acad::eAtMaxReaders);

  for (AcDbEntity* ent : readers) EXPECT_EQ(ent->close(), Acad::eOk);
  EXPECT_EQ(readers[0]->readers(), 0);
  AcDbEntity* writer = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(writer, id, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(writer->close(), Acad::eOk);
}

TEST_F(OpenProtocol, UpgradeNeedsASingleReader) {
  AcDbObjectId id = addLine();
  AcDbEntity *a = nullptr, *b = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(a, id, AcDb::kForRead), Acad::eOk);
  ASSERT_EQ(acdbOpenAcDbEntity(b, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(a->upgradeOpen(), Acad::eHadMultipleReaders);
  b->close();
  EXPECT_EQ(a->upgradeOpen(), Acad::eOk);
  EXPECT_TRUE(a->isWriteEnabled());
  EXPECT_EQ(a->downgradeOpen(), Acad::eOk);
  EXPECT_FALSE(a->isWriteEnabled());
  EXPECT_TRUE(a->isReadEnabled());
  a->close();
}

TEST_F(OpenProtocol, NullAndErasedIdsAreRefused) {
  AcDbEntity* ent = reinterpret_cast<AcDbEntity*>(0x1);
  EXPECT_EQ(acdbOpenAcDbEntity(ent, AcDbObjectId(), AcDb::kForRead), Acad::eNullObjectId);
  EXPECT_EQ(ent, nullptr);

  AcDbObjectId id = addLine();
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(ent->erase(), Acad::eOk);
  EXPECT_EQ(ent->erase(), Acad::eWasErased);
  ent->close();
  EXPECT_TRUE(id.isErased());
  EXPECT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eWasErased);
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite, true), Acad::eOk);
  EXPECT_EQ(ent->erase(false), Acad::eOk);
  ent->close();
  EXPECT_FALSE(id.isErased());
  EXPECT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOk);
  ent->close();
}

TEST_F(OpenProtocol, TypedOpenRefusesAnotherClass) {
  AcDbObjectId id = addLine();
  AcDbPoint* point = nullptr;
  EXPECT_EQ(acdbOpenObject(point, id, AcDb::kForRead), Acad::eNotThatKindOfClass);
  EXPECT_EQ(point, nullptr);
  // The refused open left nothing open behind it.
  AcDbEntity* ent = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOk);
  ent->close();
  AcDbLine* line = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(line, id, AcDb::kForRead), Acad::eOk);
  EXPECT_STREQ(line->isA()->name(), "AcDbLine");
  line->close();
}

TEST_F(OpenProtocol, WritesNeedAWriteOpen) {
  AcDbObjectId id = addLine();
  AcDbLine* line = nullptr;
  ASSERT_EQ(acdbOpenObject(line, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(line->setStartPoint(AcGePoint3d(5, 5, 5)), Acad::eNotOpenForWrite);
  EXPECT_EQ(line->setColorIndex(1), Acad::eNotOpenForWrite);
  EXPECT_EQ(line->erase(), Acad::eNotOpenForWrite);
  EXPECT_EQ(line->transformBy(AcGeMatrix3d::translation(AcGeVector3d(1, 0, 0))), Acad::eNotOpenForWrite);
  EXPECT_EQ(line->startPoint(), AcGePoint3d(0, 0, 0));
  line->close();
}

// An object outside any database is released by its close(); ASan sees a leak otherwise,
// and a double free if a database-resident object were deleted by close().
TEST_F(OpenProtocol, CloseReleasesOnlyObjectsOutsideADatabase) {
  auto* loose = new AcDbLine;
  EXPECT_TRUE(loose->isWriteEnabled());
  EXPECT_EQ(loose->erase(), Acad::eNotInDatabase);
  EXPECT_EQ(loose->close(), Acad::eOk);

  AcDbObjectId id = addLine();
  AcDbEntity* ent = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOk);
  ent->close();
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOk);
  ent->close();
}

TEST_F(OpenProtocol, CloneIsANewObjectWithTheSameProperties) {
  AcDbObjectId id = addLine(3);
  AcDbLine* line = nullptr;
  ASSERT_EQ(acdbOpenObject(line, id, AcDb::kForWrite), Acad::eOk);
  line->setColorIndex(4);
  auto* copy = AcDbLine::cast(line->clone());
  line->close();
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->isNewObject());
  EXPECT_EQ(copy->startPoint(), AcGePoint3d(3, 0, 0));
  EXPECT_EQ(copy->colorIndex(), 4);
  EXPECT_EQ(copy->layerId(), db().layerZero());
  copy->close();
}

class Tables : public HostTest {};

TEST_F(Tables, NewDrawingHasTheHostsStandardRecords) {
  AcDbBlockTable* blocks = nullptr;
  ASSERT_EQ(db().getBlockTable(blocks), Acad::eOk);
  AcDbObjectId ms, ps;
  EXPECT_EQ(blocks->getAt("*Model_Space", ms), Acad::eOk);
  EXPECT_EQ(blocks->getAt("*PAPER_SPACE", ps), Acad::eOk);  // names ignore case
  EXPECT_EQ(ms, db().modelSpaceId());
  EXPECT_NE(ms, ps);
  blocks->close();

  AcDbLayerTable* layers = nullptr;
  ASSERT_EQ(db().getLayerTable(layers), Acad::eOk);
  AcDbLayerTableRecord* zero = nullptr;
  ASSERT_EQ(layers->getAt("0", zero, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(zero->color().colorIndex(), 7);
  zero->close();
  layers->close();

  AcDbLinetypeTable* linetypes = nullptr;
  ASSERT_EQ(db().getLinetypeTable(linetypes), Acad::eOk);
  for (const char* name : {"ByBlock", "ByLayer", "Continuous"}) EXPECT_TRUE(linetypes->has(name)) << name;
  linetypes->close();
}

TEST_F(Tables, AddRefusesBadAndDuplicateNames) {
  AcDbLayerTable* layers = nullptr;
  ASSERT_EQ(db().getLayerTable(layers, AcDb::kForRead), Acad::eOk);
  auto* rec = new AcDbLayerTableRecord;
  EXPECT_EQ(rec->setName("Walls"), Acad::eOk);
  EXPECT_EQ(layers->add(rec), Acad::eNotOpenForWrite);
  ASSERT_EQ(layers->upgradeOpen(), Acad::eOk);
  AcDbObjectId walls;
  ASSERT_EQ(layers->add(walls, rec), Acad::eOk);
  rec->close();

  auto* dup = new AcDbLayerTableRecord;
  dup->setName("WALLS");
  EXPECT_EQ(layers->add(dup), Acad::eDuplicateRecordName);
  EXPECT_EQ(dup->setName("a<b"), Acad::eInvalidSymbolTableName);
  EXPECT_EQ(dup->setName(""), Acad::eInvalidSymbolTableName);
  dup->close();  // never added: released

  // Renaming a record onto another record's name is refused too.
  AcDbLayerTableRecord* w = nullptr;
  ASSERT_EQ(acdbOpenObject(w, walls, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(w->setName("0"), Acad::eDuplicateRecordName);
  EXPECT_EQ(w->setName("Doors"), Acad::eOk);
  w->close();
  EXPECT_TRUE(layers->has("doors"));
  EXPECT_FALSE(layers->has("Walls"));
  layers->close();
}

TEST_F(Tables, ErasedRecordsAreFoundOnlyWhenAskedFor) {
  AcDbLayerTable* layers = nullptr;
  ASSERT_EQ(db().getLayerTable(layers, AcDb::kForWrite), Acad::eOk);
  auto* rec = new AcDbLayerTableRecord;
  rec->setName("Old");
  AcDbObjectId old;
  ASSERT_EQ(layers->add(old, rec), Acad::eOk);
  EXPECT_EQ(rec->erase(), Acad::eOk);
  rec->close();
  AcDbObjectId found;
  EXPECT_EQ(layers->getAt("Old", found), Acad::eKeyNotFound);
  EXPECT_EQ(layers->getAt("Old", found, true), Acad::eOk);
  EXPECT_EQ(found, old);
  AcDbLayerTableRecord* opened = nullptr;
  EXPECT_EQ(layers->getAt("Old", opened, AcDb::kForRead), Acad::eKeyNotFound);
  layers->close();
}

class Entities : public HostTest {};

TEST_F(Entities, AppendGivesCurrentLayerAndByLayerLinetype) {
  AcDbObjectId id = addLine();
  AcDbEntity* ent = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(ent->blockId(), db().modelSpaceId());
  EXPECT_EQ(ent->layer(), "0");
  EXPECT_EQ(ent->linetype(), "ByLayer");
  EXPECT_TRUE(ent->color().isByLayer());
  EXPECT_EQ(ent->colorIndex(), 256);
  EXPECT_FALSE(id.handle().isNull());
  ent->close();
}

TEST_F(Entities, AppendRefusesAnEntityAlreadyInTheDrawing) {
  AcDbObjectId id = addLine();
  AcDbBlockTableRecord* space = nullptr;
  ASSERT_EQ(acdbOpenObject(space, db().modelSpaceId(), AcDb::kForWrite), Acad::eOk);
  AcDbEntity* ent = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(space->appendAcDbEntity(ent), Acad::eAlreadyInDb);
  EXPECT_EQ(space->appendAcDbEntity(nullptr), Acad::eNullEntityPointer);
  ent->close();
  space->close();
  ASSERT_EQ(acdbOpenObject(space, db().modelSpaceId(), AcDb::kForRead), Acad::eOk);
  auto* line = new AcDbLine;
  EXPECT_EQ(space->appendAcDbEntity(line), Acad::eNotOpenForWrite);
  line->close();
  space->close();
}

TEST_F(Entities, LayerMustBeALiveLayerOfTheDrawing) {
  AcDbObjectId id = addLine();
  AcDbEntity* ent = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(ent->setLayer("NoSuchLayer"), Acad::eKeyNotFound);
  EXPECT_EQ(ent->setLayer(db().modelSpaceId()), Acad::eWrongObjectType);
  EXPECT_EQ(ent->setLayer(AcDbObjectId()), Acad::eInvalidInput);
  EXPECT_EQ(ent->setLayer("0"), Acad::eOk);
  EXPECT_EQ(ent->layerId(), db().layerZero());
  ent->close();
}

TEST_F(Entities, ColorsKeepTheirMethod) {
  AcCmColor c;
  EXPECT_TRUE(c.isByLayer());
  EXPECT_EQ(c.setColorIndex(0), Acad::eOk);
  EXPECT_TRUE(c.isByBlock());
  EXPECT_EQ(c.setColorIndex(256), Acad::eOk);
  EXPECT_TRUE(c.isByLayer());
  EXPECT_EQ(c.setColorIndex(257), Acad::eInvalidInput);
  EXPECT_EQ(c.setColorIndex(1), Acad::eOk);
  EXPECT_TRUE(c.isByACI());
  EXPECT_EQ(c.red(), 255);
  EXPECT_EQ(c.green(), 0);
  c.setRGB(10, 20, 30);
  EXPECT_TRUE(c.isByColor());
  EXPECT_EQ(c.blue(), 30);
  AcCmColor red;
  red.setRGB(254, 1, 0);
  EXPECT_EQ(red.colorIndex(), 1);  // nearest palette colour
  // The palette's hue rule, at the rows a CAD user sees most.
  EXPECT_EQ(kvAciToRgb(11), 255u | 128u << 8 | 128u << 16);
  EXPECT_EQ(kvAciToRgb(133), 83u | 166u << 8 | 166u << 16);
  EXPECT_EQ(kvAciToRgb(247), 77u | 38u << 8 | 48u << 16);
  EXPECT_EQ(kvAciToRgb(0), 0u);
  EXPECT_EQ(kvAciToRgb(256), 0u);
}

TEST_F(Entities, TransformAndExtents) {
  AcDbObjectId id = append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 4, 6)));
  AcDbEntity* ent = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(ent->transformBy(AcGeMatrix3d::translation(AcGeVector3d(-1, -1, -1))), Acad::eOk);
  AcDbExtents ext;
  ASSERT_EQ(ent->getGeomExtents(ext), Acad::eOk);
  EXPECT_EQ(ext.minPoint(), AcGePoint3d(-1, -1, -1));
  EXPECT_EQ(ext.maxPoint(), AcGePoint3d(1, 3, 5));
  EXPECT_EQ(ent->highlight(), Acad::eOk);
  EXPECT_TRUE(AcDbEntity::cast(ent)->isHighlighted());
  ent->close();
}

TEST_F(Entities, EntDelTogglesErasure) {
  AcDbObjectId id = addLine();
  ads_name name;
  ASSERT_EQ(acdbGetAdsName(name, id), Acad::eOk);
  AcDbObjectId back;
  ASSERT_EQ(acdbGetObjectId(back, name), Acad::eOk);
  EXPECT_EQ(back, id);
  EXPECT_EQ(acdbEntDel(name), RTNORM);
  EXPECT_TRUE(id.isErased());
  EXPECT_EQ(acdbEntDel(name), RTNORM);
  EXPECT_FALSE(id.isErased());
  // An entity open elsewhere cannot be erased.
  AcDbEntity* ent = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(acdbEntDel(name), RTERROR);
  ent->close();
  EXPECT_FALSE(id.isErased());
  EXPECT_EQ(acdbGetAdsName(name, AcDbObjectId()), Acad::eNullObjectId);
}

TEST(Geometry, MatrixInverseAndRotation) {
  AcGeMatrix3d m = AcGeMatrix3d::rotation(M_PI / 2, AcGeVector3d::kZAxis, AcGePoint3d(1, 0, 0)) *
                   AcGeMatrix3d::translation(AcGeVector3d(0, 2, 0));
  AcGePoint3d p = m * AcGePoint3d(1, 0, 0);  // to (1,2,0), then a quarter turn about (1,0,0)
  EXPECT_TRUE(p.isEqualTo(AcGePoint3d(-1, 0, 0), AcGeTol())) << p.x << "," << p.y;
  AcGePoint3d q = m.inverse() * p;
  EXPECT_NEAR(q.x, 1, 1e-12);
  EXPECT_NEAR(q.y, 0, 1e-12);
  AcGeMatrix3d singular = AcGeMatrix3d::scaling(0);
  EXPECT_FALSE(singular.invert());
  EXPECT_NEAR(AcGeVector3d(1, 0, 0).angleTo(AcGeVector3d(0, 0, -3)), M_PI / 2, 1e-15);
  EXPECT_TRUE(AcGeMatrix3d::rotation(0.3, AcGeVector3d(1, 1, 0)).isUniScaledOrtho());
}
