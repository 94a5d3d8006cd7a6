// Layer lookup and creation, and the entity property getters.
#include "dbutil/layer.h"
#include "host_fixture.h"

// Its own class name differs from its parent's: an exact test must tell them apart.
class KvDerivedLine : public AcDbLine {
public:
  KV_RX_DECLARE_MEMBERS(KvDerivedLine)
  using AcDbLine::AcDbLine;
};
KV_RX_DEFINE_MEMBERS(KvDerivedLine, AcDbLine, "LINE")

class Layers : public HostTest {
protected:
  int layerCount() {
    AcDbLayerTable* table = nullptr;
    db().getLayerTable(table, AcDb::kForRead);
    int n = int(table->recordIds().size());
    table->close();
    return n;
  }
};

TEST_F(Layers, GetOrCreateFindsMakesOrRefuses) {
  AcDbObjectId id;
  EXPECT_EQ(GetOrCreateLayer("0", TRUE, id), Acad::eOk);
  EXPECT_EQ(id, db().layerZero());
  EXPECT_EQ(layerCount(), 1);

  AcDbObjectId untouched = db().layerZero();
  EXPECT_EQ(GetOrCreateLayer("Walls", FALSE, untouched), Acad::eNullObjectId);
  EXPECT_EQ(untouched, db().layerZero());
  EXPECT_TRUE(GetOrCreateLayer("Walls", FALSE).isNull());

  AcDbObjectId walls;
  ASSERT_EQ(GetOrCreateLayer("Walls", TRUE, walls), Acad::eOk);
  EXPECT_FALSE(walls.isNull());
  EXPECT_EQ(GetOrCreateLayer("WALLS", TRUE), walls);  // the host's names ignore case
  EXPECT_EQ(layerCount(), 2);
  EXPECT_EQ(GetLayerColorIndex("Walls"), 7);  // a new layer carries the host's defaults

  // A name the host cannot take is refused with its status, and nothing is left open.
  EXPECT_EQ(GetOrCreateLayer("bad|name", TRUE, id), Acad::eInvalidSymbolTableName);
  AcDbLayerTable* table = nullptr;
  EXPECT_EQ(db().getLayerTable(table, AcDb::kForWrite), Acad::eOk);
  table->close();
}

TEST_F(Layers, CreateLayerKeepsAnExistingLayer) {
  AcDbObjectId red;
  ASSERT_EQ(CreateLayer("Red", red, 255, FALSE, TRUE, FALSE), Acad::eOk);
  AcDbLayerTableRecord* rec = nullptr;
  ASSERT_EQ(acdbOpenObject(rec, red, AcDb::kForRead), Acad::eOk);
  EXPECT_TRUE(rec->color().isByColor());
  EXPECT_EQ(rec->color().red(), 255);
  EXPECT_EQ(rec->color().green(), 0);
  EXPECT_TRUE(rec->isLocked());
  EXPECT_FALSE(rec->isFrozen());
  rec->close();
  EXPECT_EQ(GetLayerColorIndex("Red"), 1);

  AcDbObjectId again;
  EXPECT_EQ(CreateLayer("Red", again, 0x00FF00, TRUE, FALSE, TRUE), Acad::eOk);
  EXPECT_EQ(again, red);
  ASSERT_EQ(acdbOpenObject(rec, red, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(rec->color().red(), 255);
  EXPECT_TRUE(rec->isLocked());
  EXPECT_FALSE(rec->isOff());
  rec->close();
}

TEST_F(Layers, ColorIndexOfAMissingLayerLeavesTheValue) {
  int aci = 99;
  EXPECT_EQ(GetLayerColorIndex("Nowhere", aci), Acad::eKeyNotFound);
  EXPECT_EQ(aci, 99);
  AcDbLayerTable* table = nullptr;
  ASSERT_EQ(db().getLayerTable(table, AcDb::kForWrite), Acad::eOk);  // nothing left open
  table->close();
}

class EntityProperties : public HostTest {};

TEST_F(EntityProperties, GettersReadOneOpen) {
  AcDbObjectId id = addLine();
  EXPECT_EQ(GetEntityLayerName(id), "0");
  EXPECT_EQ(GetEntityLayerId(id), db().layerZero());
  EXPECT_EQ(GetEntityLinetypeName(id), "ByLayer");
  EXPECT_EQ(GetEntityLinetypeId(id), db().byLayerLinetype());
  EXPECT_EQ(GetEntityBlockId(id), db().modelSpaceId());
  EXPECT_EQ(GetEntityBlockName(id), "*Model_Space");
  EXPECT_EQ(GetEntityClassName(id), "AcDbLine");
  CString layer;
  AcCmColor color;
  color.setColorIndex(2);
  ASSERT_EQ(GetEntityLayerAndColor(id, layer, color), Acad::eOk);
  EXPECT_EQ(layer, "0");
  EXPECT_TRUE(color.isByLayer());
}

TEST_F(EntityProperties, FailedOpensLeaveOutParametersAlone) {
  AcDbObjectId id = addLine();
  AcDbEntity* ent = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOk);
  CString layer = "kept";
  AcDbObjectId kept = db().paperSpaceId();
  EXPECT_EQ(GetEntityLayerName(id, layer), Acad::eWasOpenForWrite);
  EXPECT_EQ(GetEntityBlockId(id, kept), Acad::eWasOpenForWrite);
  EXPECT_EQ(layer, "kept");
  EXPECT_EQ(kept, db().paperSpaceId());
  EXPECT_TRUE(GetEntityLayerName(id).IsEmpty());
  EXPECT_TRUE(GetEntityLayerId(id).isNull());
  EXPECT_TRUE(GetEntityClassName(id).IsEmpty());
  ent->close();
  // A block table record is no entity: the entity getters fail at the open.
  EXPECT_NE(GetEntityLayerName(db().modelSpaceId(), layer), Acad::eOk);
  EXPECT_EQ(layer, "kept");
}

TEST_F(EntityProperties, BlockNameOnlyForBlockRecords) {
  CString name = "kept";
  EXPECT_EQ(GetBlockName(addLine(), name), Acad::eNotThatKindOfClass);
  EXPECT_EQ(name, "kept");
  EXPECT_EQ(GetBlockName(db().modelSpaceId()), "*Model_Space");
  EXPECT_EQ(GetBlockName(db().paperSpaceId()), "*Paper_Space");
}

TEST_F(EntityProperties, ClassTestIsExact) {
  AcDbObjectId line = addLine();
  AcDbObjectId derived = append(new KvDerivedLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
  AcDbEntity* ent = nullptr;
  ASSERT_EQ(acdbOpenAcDbEntity(ent, line, AcDb::kForRead), Acad::eOk);
  EXPECT_TRUE(IsEntityOfClass(ent, "AcDbLine"));
  for (const char* other : {"AcDbEntity", "acdbline", "ACDBLINE", "AcDbLin", "AcDbLine ", ""})
    EXPECT_FALSE(IsEntityOfClass(ent, other)) << other;
  ent->close();
  ASSERT_EQ(acdbOpenAcDbEntity(ent, derived, AcDb::kForRead), Acad::eOk);
  ASSERT_TRUE(ent->isKindOf(AcDbLine::desc()));
  EXPECT_FALSE(IsEntityOfClass(ent, "AcDbLine"));
  EXPECT_TRUE(IsEntityOfClass(ent, "KvDerivedLine"));
  ent->close();

  EXPECT_TRUE(IsEntityOfClass(line, "AcDbLine"));
  EXPECT_FALSE(IsEntityOfClass(derived, "AcDbLine"));
  EXPECT_FALSE(IsEntityOfClass(line, "AcDbline"));
  // An entity that cannot be opened has no class name but the empty one.
  ASSERT_EQ(acdbOpenAcDbEntity(ent, line, AcDb::kForWrite), Acad::eOk);
  EXPECT_FALSE(IsEntityOfClass(line, "AcDbLine"));
  EXPECT_TRUE(IsEntityOfClass(line, ""));
  ent->close();
}
