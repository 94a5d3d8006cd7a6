// Layer states as the host keeps them: a frozen layer offers its entities to no selection and
// cannot be made current; a locked layer keeps its entities from every write open, so the
// conversion command keeps such a source and counts it as not converted.
#include <filesystem>
#include <string>

#include "app/commands.h"
#include "dbutil/layer.h"
#include "dxf/dxf.h"
#include "host/entities.h"
#include "host_fixture.h"
#include "modeler/solids.h"
#include "test_files.h"

namespace {

class LayerStates : public HostTest {
protected:
  // A layer of its own with the given flags, made through the host's table.
  AcDbObjectId layer(const char* name, bool frozen, bool locked, bool off = false) {
    AcDbLayerTable* table = nullptr;
    EXPECT_EQ(db().getLayerTable(table, AcDb::kForWrite), Acad::eOk);
    auto* rec = new AcDbLayerTableRecord;
    rec->setName(name);
    rec->setIsFrozen(frozen);
    rec->setIsLocked(locked);
    rec->setIsOff(off);
    AcDbObjectId id;
    EXPECT_EQ(table->add(id, rec), Acad::eOk);
    rec->close();
    table->close();
    return id;
  }
  // A line appended on a layer: the layer is set while the new entity is open from its append.
  AcDbObjectId lineOn(AcDbObjectId layerId, double x = 0) {
    AcDbBlockTableRecord* space = nullptr;
    EXPECT_EQ(acdbOpenObject(space, db().modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    auto* line = new AcDbLine(AcGePoint3d(x, 0, 0), AcGePoint3d(x + 1, 1, 0));
    AcDbObjectId id;
    EXPECT_EQ(space->appendAcDbEntity(id, line), Acad::eOk);
    EXPECT_EQ(line->setLayer(layerId), Acad::eOk);
    EXPECT_EQ(line->close(), Acad::eOk);
    space->close();
    return id;
  }
  void setLocked(AcDbObjectId layerId, bool on) {
    AcDbLayerTableRecord* rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, layerId, AcDb::kForWrite), Acad::eOk);
    rec->setIsLocked(on);
    rec->close();
  }
  // The members of a selection set made with mode and the queued answers.
  std::vector<AcDbObjectId> selected(const char* mode) {
    ads_name ss;
    std::vector<AcDbObjectId> out;
    if (acedSSGet(mode, nullptr, nullptr, nullptr, ss) != RTNORM) return out;
    std::int32_t n = 0;
    acedSSLength(ss, &n);
    for (std::int32_t i = 0; i < n; ++i) {
      ads_name e;
      AcDbObjectId id;
      if (acedSSName(ss, i, e) == RTNORM && acdbGetObjectId(id, e) == Acad::eOk) out.push_back(id);
    }
    acedSSFree(ss);
    return out;
  }
  std::string clayerName() {
    resbuf rb{};
    EXPECT_EQ(acedGetVar("CLAYER", &rb), RTNORM);
    std::string name = rb.resval.rstring ? rb.resval.rstring : "";
    free(rb.resval.rstring);
    return name;
  }
};

TEST_F(LayerStates, FrozenLayersOfferNothingToAnySelection) {
  AcDbObjectId shown = lineOn(layer("Shown", false, false));
  AcDbObjectId dark = lineOn(layer("Dark", false, false, true));  // off, not frozen
  AcDbObjectId frozenLayer = layer("Frozen", true, false);
  AcDbObjectId frozen = lineOn(frozenLayer);
  using Ids = std::vector<AcDbObjectId>;

  // ALL, typed or asked for by mode, takes layers that are off but not frozen ones.
  EXPECT_EQ(selected("A"), (Ids{shown, dark}));
  ui_.answer("ALL");
  ui_.answer("");
  EXPECT_EQ(selected(nullptr), (Ids{shown, dark}));
  EXPECT_NE(ui_.transcript().find("ALL\n2 found\n"), std::string::npos) << ui_.transcript();

  // LAST is the last entity that can be seen; a pick (a handle) of a frozen entity finds nothing.
  ui_.answer("LAST");
  ui_.answer(frozen.handle().text());
  ui_.answer("");
  ui_.clear();
  EXPECT_EQ(selected(nullptr), (Ids{dark}));
  EXPECT_NE(ui_.printed().find("*Invalid selection*"), std::string::npos) << ui_.printed();
  ads_name picked;
  ads_point at;
  ui_.answer(frozen.handle().text());
  EXPECT_EQ(acedEntSel("Select object: ", picked, at), RTERROR);

  // A drawing of frozen entities only is empty to ALL; thawed, the layer offers its entity again.
  for (AcDbObjectId id : {shown, dark}) {
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    e->erase();
    e->close();
  }
  ads_name none;
  EXPECT_EQ(acedSSGet("A", nullptr, nullptr, nullptr, none), RTERROR);
  AcDbLayerTableRecord* rec = nullptr;
  ASSERT_EQ(acdbOpenObject(rec, frozenLayer, AcDb::kForWrite), Acad::eOk);
  rec->setIsFrozen(false);
  rec->close();
  EXPECT_EQ(selected("A"), (Ids{frozen}));
}

TEST_F(LayerStates, LockedLayerRefusesWriteOpensButNotNewEntities) {
  AcDbObjectId locked = layer("Locked", false, true);
  // A new entity goes onto a locked layer: it is appended, not opened.
  AcDbObjectId line = lineOn(locked);
  ASSERT_FALSE(line.isNull());

  AcDbEntity* e = nullptr;
  EXPECT_EQ(acdbOpenAcDbEntity(e, line, AcDb::kForWrite), Acad::eOnLockedLayer);
  EXPECT_EQ(e, nullptr);
  AcDbObject* o = nullptr;
  EXPECT_EQ(acdbOpenObject(o, line, AcDb::kForWrite), Acad::eOnLockedLayer);
  EXPECT_EQ(o, nullptr);
  // Reading goes on; an upgrade to write is refused and leaves the read open.
  ASSERT_EQ(acdbOpenAcDbEntity(e, line, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(e->upgradeOpen(), Acad::eOnLockedLayer);
  EXPECT_TRUE(e->isReadEnabled());
  EXPECT_FALSE(e->isWriteEnabled());
  EXPECT_EQ(e->close(), Acad::eOk);
  // Erasing through the editor opens for write, so the host refuses it too.
  ads_name name;
  ASSERT_EQ(acdbGetAdsName(name, line), Acad::eOk);
  EXPECT_EQ(acdbEntDel(name), RTERROR);
  EXPECT_FALSE(line.isErased());
  // The layer's own record is no entity: it stays open to write, and unlocked the entity is too.
  setLocked(locked, false);
  ASSERT_EQ(acdbOpenAcDbEntity(e, line, AcDb::kForWrite), Acad::eOk);
  e->close();
  ASSERT_EQ(acdbOpenAcDbEntity(e, line, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(e->upgradeOpen(), Acad::eOk);
  e->close();
  EXPECT_EQ(acdbEntDel(name), RTNORM);
  EXPECT_TRUE(line.isErased());
}

TEST_F(LayerStates, FrozenLayerCannotBeMadeCurrent) {
  AcDbObjectId frozen = layer("Frozen", true, false);
  AcDbObjectId open = layer("Open", false, true);  // locked layers may be current
  EXPECT_EQ(db().setClayer(frozen), Acad::eInvalidLayer);
  EXPECT_EQ(db().clayer(), db().layerZero());

  resbuf value{};
  value.restype = RTSTR;
  std::string text = "frozen";
  value.resval.rstring = text.data();
  EXPECT_EQ(acedSetVar("CLAYER", &value), RTERROR);
  EXPECT_EQ(clayerName(), "0");

  struct Answers : kv::CommandInput {
    std::vector<std::string> items;
    bool next(const char*, std::string& answer) override {
      if (items.empty()) return false;
      answer = items.front();
      items.erase(items.begin());
      return true;
    }
  };
  Answers frozenAnswer;
  frozenAnswer.items = {"CLAYER", "Frozen"};
  EXPECT_EQ(host_.runCommand("SETVAR", frozenAnswer), RTERROR);
  EXPECT_NE(ui_.printed().find("Cannot make a frozen layer current.\n"), std::string::npos) << ui_.printed();
  // A layer the drawing lacks keeps the general notice.
  Answers missing;
  missing.items = {"CLAYER", "Nowhere"};
  EXPECT_EQ(host_.runCommand("SETVAR", missing), RTERROR);
  EXPECT_NE(ui_.printed().find("Cannot set CLAYER to that value.\n"), std::string::npos) << ui_.printed();

  Answers openAnswer;
  openAnswer.items = {"CLAYER", "open"};
  EXPECT_EQ(host_.runCommand("SETVAR", openAnswer), RTNORM);
  EXPECT_EQ(db().clayer(), open);
  // Thawed, the layer can be made current.
  AcDbLayerTableRecord* rec = nullptr;
  ASSERT_EQ(acdbOpenObject(rec, frozen, AcDb::kForWrite), Acad::eOk);
  rec->setIsFrozen(false);
  rec->close();
  EXPECT_EQ(db().setClayer(frozen), Acad::eOk);
  EXPECT_EQ(clayerName(), "Frozen");
}

// A drawing is a file's state, not a user's act: a reader puts entities on locked and frozen
// layers and keeps a frozen current layer.
TEST_F(LayerStates, ReadDrawingKeepsEntitiesOnLockedLayersAndAFrozenCurrentLayer) {
  ScratchFolder dir;
  AcDbObjectId locked = layer("Locked", false, true);
  AcDbObjectId frozen = layer("Frozen", false, false);
  lineOn(locked, 0);
  lineOn(frozen, 5);
  ASSERT_EQ(db().setClayer(frozen), Acad::eOk);
  AcDbLayerTableRecord* rec = nullptr;
  ASSERT_EQ(acdbOpenObject(rec, frozen, AcDb::kForWrite), Acad::eOk);
  rec->setIsFrozen(true);  // the current layer frozen afterwards, as a file may hold it
  rec->close();
  const std::string file = (dir / "states.dxf").string();
  ASSERT_EQ(kv::dxf::writeDrawing(db(), file), Acad::eOk);

  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  ASSERT_EQ(kv::dxf::readDrawing(file, back, error), Acad::eOk) << error;
  AcDbBlockTableRecord* space = nullptr;
  ASSERT_EQ(acdbOpenObject(space, back->modelSpaceId(), AcDb::kForRead), Acad::eOk);
  std::vector<std::string> layers;
  for (AcDbObjectId id : space->entityIds()) {
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForRead), Acad::eOk);
    layers.push_back(e->layer().GetString());
    e->close();
  }
  space->close();
  EXPECT_EQ(layers, (std::vector<std::string>{"Locked", "Frozen"}));
  ASSERT_EQ(acdbOpenObject(rec, back->clayer(), AcDb::kForRead), Acad::eOk);
  EXPECT_STREQ(rec->getName(), "Frozen");
  EXPECT_TRUE(rec->isFrozen());
  rec->close();
}

// KVConvertSolid on ALL, as a user runs it on a drawing with frozen and locked layers.
class ConvertOnLayerStates : public LayerStates {
protected:
  AcDbObjectId boxOn(AcDbObjectId layerId, double x) {
    auto* solid = new AcDb3dSolid;
    EXPECT_EQ(solid->createBox(1, 1, 1), Acad::eOk);
    solid->transformBy(AcGeMatrix3d::translation(AcGeVector3d(x, 5, 5)));
    EXPECT_EQ(solid->setLayer(layerId), Acad::eOk);
    return append(solid);
  }
  // Class and layer of each live entity of model space.
  std::vector<std::string> drawing() {
    std::vector<std::string> out;
    AcDbBlockTableRecord* space = nullptr;
    EXPECT_EQ(acdbOpenObject(space, db().modelSpaceId(), AcDb::kForRead), Acad::eOk);
    for (AcDbObjectId id : space->entityIds()) {
      if (id.isErased()) continue;
      AcDbEntity* e = nullptr;
      EXPECT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForRead), Acad::eOk);
      out.push_back(std::string(e->isA()->name()) + " on " + e->layer().GetString());
      e->close();
    }
    space->close();
    return out;
  }
  ScratchFolder base_;
  ScopedEnv temp_{"temp", base_.folder("temp").c_str()};
  ScopedEnv config_{"XDG_CONFIG_HOME", base_.folder("config").c_str()};
};

TEST_F(ConvertOnLayerStates, AllSkipsFrozenSourcesAndKeepsLockedOnesAsNotConverted) {
  AcDbObjectId plain = boxOn(layer("Plain", false, false), 0);
  AcDbObjectId frozen = boxOn(layer("Frozen", true, false), 3);
  // Reaching below zero, it is faceted through a moved copy, which must not stay behind either.
  AcDbObjectId locked = boxOn(layer("Locked", false, true), -6);
  ui_.answer("ALL");
  ui_.answer("");
  ConvertSelectedSolids();
  EXPECT_NE(ui_.transcript().find("ALL\n2 found\n"), std::string::npos) << ui_.transcript();
  EXPECT_NE(ui_.printed().find("\nSuccessfully converted 1 solids. 1 objects could not be converted\n\n"),
            std::string::npos)
      << ui_.printed();
  EXPECT_TRUE(plain.isErased());
  EXPECT_FALSE(frozen.isErased());
  EXPECT_FALSE(locked.isErased());
  // No mesh lands on the locked layer beside its source, where it could not be taken out.
  EXPECT_EQ(drawing(), (std::vector<std::string>{"AcDb3dSolid on Frozen", "AcDb3dSolid on Locked",
                                                 "AcDbPolyFaceMesh on Plain"}));
  EXPECT_TRUE(std::filesystem::is_empty(base_ / "temp"));  // no STL file left behind
}

TEST_F(ConvertOnLayerStates, SatFileGoesOntoALockedCurrentLayerWithoutLeavingACopy) {
  AcDb3dSolid torus;
  ASSERT_EQ(torus.createTorus(3, 1), Acad::eOk);  // reaches below zero: exported through a moved copy
  AcDbVoidPtrArray out;
  out.append(&torus);
  const std::string sat = (base_ / "torus.sat").string();
  ASSERT_EQ(AcDbBody::acisOut(sat.c_str(), out), Acad::eOk);
  ASSERT_EQ(db().setClayer(layer("Locked", false, true)), Acad::eOk);
  ui_.answerFile(sat);
  ConvertSatFile();
  EXPECT_EQ(ui_.printed(), "\nSuccessfully converted 1 solids\n");
  EXPECT_EQ(drawing(), std::vector<std::string>{"AcDbPolyFaceMesh on Locked"});
}

}  // namespace
