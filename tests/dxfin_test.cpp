// DXFIN: a DXF file merged into the open drawing, through acedCommand as a program calls it and
// typed as a user does; and the merge behind it, all or nothing.
#include <algorithm>
#include <optional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dxf/dxf.h"
#include "dxf/dxfin.h"
#include "host/annotations.h"
#include "host/curves.h"
#include "host/entities.h"
#include "host_fixture.h"
#include "dxf_fixture.h"
#include "test_files.h"

using kv::test::addLinetype;

namespace {

struct LayerLook {
  AcCmColor color;
  bool off = false, frozen = false, locked = false;
  std::string linetype = "Continuous";
  bool operator==(const LayerLook&) const = default;
};

AcDbObjectId addLayer(AcDbDatabase& db, const char* name, const LayerLook& look) {
  AcDbLayerTable* table = nullptr;
  EXPECT_EQ(db.getLayerTable(table, AcDb::kForWrite), Acad::eOk);
  auto* rec = new AcDbLayerTableRecord;
  rec->setName(name);
  rec->setColor(look.color);
  rec->setIsOff(look.off);
  rec->setIsFrozen(look.frozen);
  rec->setIsLocked(look.locked);
  AcDbLinetypeTable* linetypes = nullptr;
  AcDbObjectId lt;
  EXPECT_EQ(db.getLinetypeTable(linetypes), Acad::eOk);
  EXPECT_EQ(linetypes->getAt(look.linetype.c_str(), lt), Acad::eOk) << look.linetype;
  linetypes->close();
  rec->setLinetypeObjectId(lt);
  AcDbObjectId id;
  EXPECT_EQ(table->add(id, rec), Acad::eOk);
  rec->close();
  table->close();
  return id;
}

AcDbObjectId addBlock(AcDbDatabase& db, const char* name) {
  AcDbBlockTable* table = nullptr;
  EXPECT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
  auto* rec = new AcDbBlockTableRecord;
  rec->setName(name);
  AcDbObjectId id;
  EXPECT_EQ(table->add(id, rec), Acad::eOk);
  rec->close();
  table->close();
  return id;
}

// Appends entity to owner (model space when null) on a layer and, when named, a linetype,
// set while the new entity is open from its append.
AcDbObjectId put(AcDbDatabase& db, AcDbEntity* entity, const char* layer, const char* linetype = nullptr,
                 AcDbObjectId owner = AcDbObjectId()) {
  AcDbBlockTableRecord* space = nullptr;
  EXPECT_EQ(acdbOpenObject(space, owner.isNull() ? db.modelSpaceId() : owner, AcDb::kForWrite), Acad::eOk);
  AcDbObjectId id;
  EXPECT_EQ(space->appendAcDbEntity(id, entity), Acad::eOk);
  space->close();
  EXPECT_EQ(entity->setLayer(layer), Acad::eOk) << layer;
  if (linetype) {
    AcDbLinetypeTable* table = nullptr;
    AcDbObjectId lt;
    EXPECT_EQ(db.getLinetypeTable(table), Acad::eOk);
    EXPECT_EQ(table->getAt(linetype, lt), Acad::eOk) << linetype;
    table->close();
    EXPECT_EQ(entity->setLinetype(lt), Acad::eOk);
  }
  entity->close();
  return id;
}

AcDbPolyFaceMesh* pyramid() {
  auto* mesh = new AcDbPolyFaceMesh;
  for (AcGePoint3d p : {AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0), AcGePoint3d(1, 2, 0), AcGePoint3d(1, 1, 3)}) {
    auto* v = new AcDbPolyFaceMeshVertex(p);
    EXPECT_EQ(mesh->appendVertex(v), Acad::eOk);
    v->close();
  }
  for (auto r : {std::vector<Adesk::Int16>{1, 2, 3, 0}, {1, 2, 4, 0}, {2, 3, 4, 0}, {3, 1, 4, 0}}) {
    auto* f = new AcDbFaceRecord(r[0], r[1], r[2], r[3]);
    EXPECT_EQ(mesh->appendFaceRecord(f), Acad::eOk);
    f->close();
  }
  return mesh;
}

// What a user sees of a drawing: each live entity of a block (its class, layer, linetype and
// extents, by block name) and each live layer and linetype record with its properties.
struct Look {
  std::map<std::string, std::vector<std::string>> blocks;
  std::map<std::string, LayerLook> layers;
  std::map<std::string, std::string> linetypes;
  std::set<std::uint64_t> handles;  // of every live entity
  bool operator==(const Look&) const = default;
};

std::string entityText(const AcDbEntity& e) {
  AcDbExtents box;
  std::string text = std::string(e.isA()->name()) + " on " + e.layer().GetString() + " as " + e.linetype().GetString();
  if (e.getGeomExtents(box) == Acad::eOk) {
    char buf[160];
    snprintf(buf, sizeof buf, " [%g %g %g / %g %g %g]", box.minPoint().x, box.minPoint().y, box.minPoint().z,
             box.maxPoint().x, box.maxPoint().y, box.maxPoint().z);
    text += buf;
  }
  return text;
}

template <class Table>
std::vector<AcDbObjectId> liveRecords(AcDbObjectId tableId) {
  Table* table = nullptr;
  std::vector<AcDbObjectId> out;
  EXPECT_EQ(acdbOpenObject(table, tableId, AcDb::kForRead), Acad::eOk);
  for (AcDbObjectId id : table->recordIds())
    if (!id.isErased()) out.push_back(id);
  table->close();
  return out;
}

Look lookOf(AcDbDatabase& db) {
  Look look;
  for (AcDbObjectId id : liveRecords<AcDbBlockTable>(db.blockTableId())) {
    AcDbBlockTableRecord* block = nullptr;
    EXPECT_EQ(acdbOpenObject(block, id, AcDb::kForRead), Acad::eOk);
    std::vector<std::string>& texts = look.blocks[block->getName()];
    for (AcDbObjectId e : block->entityIds()) {
      AcDbEntity* ent = nullptr;
      if (e.isErased() || acdbOpenAcDbEntity(ent, e, AcDb::kForRead) != Acad::eOk) continue;
      texts.push_back(entityText(*ent));
      look.handles.insert(e.handle().value());
      ent->close();
    }
    block->close();
  }
  for (AcDbObjectId id : liveRecords<AcDbLayerTable>(db.layerTableId())) {
    AcDbLayerTableRecord* rec = nullptr;
    EXPECT_EQ(acdbOpenObject(rec, id, AcDb::kForRead), Acad::eOk);
    LayerLook l{rec->color(), rec->isOff(), rec->isFrozen(), rec->isLocked(), ""};
    AcDbLinetypeTableRecord* lt = nullptr;
    if (acdbOpenObject(lt, rec->linetypeObjectId(), AcDb::kForRead) == Acad::eOk) {
      l.linetype = lt->getName();
      lt->close();
    }
    look.layers[rec->getName()] = l;
    rec->close();
  }
  for (AcDbObjectId id : liveRecords<AcDbLinetypeTable>(db.linetypeTableId())) {
    AcDbLinetypeTableRecord* rec = nullptr;
    EXPECT_EQ(acdbOpenObject(rec, id, AcDb::kForRead), Acad::eOk);
    look.linetypes[rec->getName()] = rec->comments();
    rec->close();
  }
  return look;
}

AcCmColor aci(int index) {
  AcCmColor c;
  c.setColorIndex(Adesk::UInt16(index));
  return c;
}

AcCmColor rgb(int r, int g, int b) {
  AcCmColor c;
  c.setRGB(Adesk::UInt8(r), Adesk::UInt8(g), Adesk::UInt8(b));
  return c;
}

class Dxfin : public HostTest {
protected:
  // The file's drawing: a line on "Walls", a frozen point and a pyramid on "Doors" (with its own
  // dashed linetype), the pyramid drawn in "Center".
  void drawFile() {
    addLinetype(source_, "Dashed", "Dashed __ __");
    addLinetype(source_, "Center", "Center of the file");
    addLayer(source_, "Walls", LayerLook{aci(1), false, false, false, "Dashed"});
    addLayer(source_, "Doors", LayerLook{rgb(10, 20, 30), true, true, false, "Dashed"});
    put(source_, new AcDbLine(AcGePoint3d(1, 2, 3), AcGePoint3d(4, 5, 6)), "Walls");
    put(source_, new AcDbPoint(AcGePoint3d(7, 8, 9)), "Doors");
    put(source_, pyramid(), "Doors", "Center");
  }
  // The drawing it goes into: a locked blue "Walls", a "Center" of its own and a line.
  static void drawTarget(AcDbDatabase& target) {
    addLinetype(target, "Center", "Center of the drawing");
    addLayer(target, "Walls", LayerLook{aci(5), false, false, true});
    put(target, new AcDbLine(AcGePoint3d(-1, -1, 0), AcGePoint3d(0, 0, 0)), "Walls");
  }
  void drawBoth() {
    drawFile();
    drawTarget(db());
  }
  // The file's drawing written where DXFIN reads it.
  std::string sourceFile() {
    const std::string file = (dir_ / "in.dxf").string();
    EXPECT_EQ(kv::dxf::writeDrawing(source_, file), Acad::eOk);
    return file;
  }
  // One merge of a block and of model space into target.
  Acad::ErrorStatus mergeAll(AcDbDatabase& target, AcDbObjectId block, std::string& error) {
    kv::dxf::DrawingImport merge(source_, target);
    merge.block(block);
    AcDbBlockTableRecord* from = nullptr;
    if (Acad::ErrorStatus es = acdbOpenObject(from, source_.modelSpaceId(), AcDb::kForRead)) return es;
    std::vector<AcDbObjectId> ids = from->entityIds();
    from->close();
    AcDbBlockTableRecord* space = nullptr;
    if (Acad::ErrorStatus es = acdbOpenObject(space, target.modelSpaceId(), AcDb::kForWrite)) return es;
    for (AcDbObjectId id : ids)
      if (merge.entity(id, *space) != Acad::eOk) break;
    space->close();
    Acad::ErrorStatus es = merge.finish();
    error = merge.error();
    return es;
  }

  AcDbDatabase source_;
  ScratchFolder dir_;
};

TEST_F(Dxfin, BlocksComeOnceWithTheirEntitiesAndANameHeldKeepsTheDrawingsOwn) {
  addLayer(source_, "Steel", LayerLook{aci(8), false, false, false});
  AcDbObjectId bolt = addBlock(source_, "Bolt");
  put(source_, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 0, 5)), "Steel", nullptr, bolt);
  put(source_, new AcDbPoint(AcGePoint3d(0, 0, 6)), "0", nullptr, bolt);
  AcDbObjectId nut = addBlock(source_, "Nut");
  put(source_, new AcDbPoint(AcGePoint3d(1, 1, 1)), "Steel", nullptr, nut);
  AcDbObjectId ownNut = addBlock(db(), "NUT");
  put(db(), new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0)), "0", nullptr, ownNut);
  const Look before = lookOf(db()), file = lookOf(source_);

  kv::dxf::DrawingImport merge(source_, db());
  AcDbObjectId copied = merge.block(bolt);
  ASSERT_FALSE(copied.isNull()) << merge.error();
  EXPECT_EQ(copied.database(), &db());
  EXPECT_EQ(merge.block(bolt), copied);  // asked again, the same copy
  EXPECT_EQ(merge.block(nut), ownNut);
  ASSERT_EQ(merge.finish(), Acad::eOk);

  const Look after = lookOf(db());
  EXPECT_EQ(after.blocks.at("Bolt"), file.blocks.at("Bolt"));
  EXPECT_EQ(after.blocks.at("NUT"), before.blocks.at("NUT"));
  EXPECT_EQ(after.blocks.count("Nut"), 0u);  // names compare without case: "NUT" stands for it
  EXPECT_EQ(after.layers.at("Steel"), file.layers.at("Steel"));
  EXPECT_EQ(after.blocks.size(), before.blocks.size() + 1);
  EXPECT_TRUE(after.blocks.at(ACDB_MODEL_SPACE).empty());
}

// Every host call a merge makes, failing in turn (a merge left unfinished included): a failed
// merge leaves no live trace in the drawing, a finished one is whole.
TEST_F(Dxfin, MergeIsAllOrNothingWhateverCallFails) {
  drawFile();
  AcDbObjectId bolt = addBlock(source_, "Bolt");
  put(source_, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 0, 5)), "Doors", "Dashed", bolt);
  Look whole;
  {
    AcDbDatabase probe;
    drawTarget(probe);
    std::string error;
    ASSERT_EQ(mergeAll(probe, bolt, error), Acad::eOk) << error;
    whole = lookOf(probe);
    ASSERT_EQ(whole.blocks.at("Bolt").size(), 1u);
    ASSERT_EQ(whole.blocks.at(ACDB_MODEL_SPACE).size(), 4u);
  }
  int failed = 0;
  for (int n = 1; n < 500; ++n) {
    AcDbDatabase target;
    drawTarget(target);
    const Look before = lookOf(target);
    kv::fault::disarmAll();
    kv::fault::armAny(n);
    std::string error;
    Acad::ErrorStatus es = mergeAll(target, bolt, error);
    const bool fired = kv::fault::fired() > 0;
    kv::fault::disarmAll();
    Look now = lookOf(target);
    if (es != Acad::eOk) {
      ++failed;
      EXPECT_TRUE(fired) << "call " << n;
      EXPECT_EQ(now, before) << "call " << n << ": " << error;
    } else {
      std::set<std::uint64_t> old = before.handles;
      EXPECT_TRUE(std::includes(now.handles.begin(), now.handles.end(), old.begin(), old.end())) << "call " << n;
      now.handles = whole.handles;
      EXPECT_EQ(now, whole) << "call " << n;
    }
    if (!fired) break;
  }
  // Opens, table additions, clones and appends were all refused in turn.
  EXPECT_GT(failed, 10);
}

// ---------------------------------------------------------------------------------------------
// The command

// The model space a DXFIN of the file's drawing must give: the drawing's entities, then the
// file's, as many times as it was read.
std::vector<std::string> merged(const Look& drawing, const Look& file, int times) {
  std::vector<std::string> out = drawing.blocks.at(ACDB_MODEL_SPACE);
  for (int i = 0; i < times; ++i)
    for (const std::string& e : file.blocks.at(ACDB_MODEL_SPACE)) out.push_back(e);
  return out;
}

TEST_F(Dxfin, ProgramsReadAFileThroughAcedCommand) {
  drawBoth();
  const std::string file = sourceFile();
  const Look before = lookOf(db()), fileLook = lookOf(source_);
  EXPECT_EQ(acedCommand(RTSTR, "_dxfin", RTSTR, file.c_str(), RTNONE), RTNORM) << ui_.printed();
  EXPECT_TRUE(ui_.fileDialogs().empty());  // a program names its file: no dialog
  EXPECT_TRUE(ui_.printed().empty()) << ui_.printed();
  const Look once = lookOf(db());
  // The drawing's own line first, then the file's entities in the file's order and places.
  EXPECT_EQ(once.blocks.at(ACDB_MODEL_SPACE), merged(before, fileLook, 1));
  // Records of a name the drawing holds stay its own; the others come with the file's look.
  EXPECT_EQ(once.layers.at("Walls"), before.layers.at("Walls"));
  EXPECT_EQ(once.layers.at("Doors"), fileLook.layers.at("Doors"));
  EXPECT_EQ(once.linetypes.at("Center"), "Center of the drawing");
  EXPECT_EQ(once.linetypes.at("Dashed"), "Dashed __ __");
  EXPECT_EQ(once.layers.size(), before.layers.size() + 1);
  // Each copy is a new object of the drawing; the old ones keep their handles.
  EXPECT_EQ(once.handles.size(), before.handles.size() + 3);
  EXPECT_TRUE(std::includes(once.handles.begin(), once.handles.end(), before.handles.begin(), before.handles.end()));
  // The mesh came whole, its vertices and faces on the drawing's records.
  AcDbBlockTableRecord* space = nullptr;
  ASSERT_EQ(acdbOpenObject(space, db().modelSpaceId(), AcDb::kForRead), Acad::eOk);
  AcDbObjectId meshId = space->entityIds().back();
  space->close();
  AcDbPolyFaceMesh* mesh = nullptr;
  ASSERT_EQ(acdbOpenObject(mesh, meshId, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(mesh->numVertices(), 4);
  EXPECT_EQ(mesh->numFaces(), 4);
  EXPECT_EQ(mesh->layerId().database(), &db());
  EXPECT_EQ(mesh->linetypeId().database(), &db());
  mesh->close();

  // Read again: the entities come again, the records do not.
  EXPECT_EQ(acedCommand(RTSTR, "_DXFIN", RTSTR, file.c_str(), RTNONE), RTNORM);
  const Look twice = lookOf(db());
  EXPECT_EQ(twice.blocks.at(ACDB_MODEL_SPACE), merged(before, fileLook, 2));
  EXPECT_EQ(twice.layers, once.layers);
  EXPECT_EQ(twice.linetypes, once.linetypes);
}

TEST_F(Dxfin, FileThatCannotBeReadOrMergedIsAnErrorAndChangesNothing) {
  drawFile();
  drawTarget(db());
  const std::string file = sourceFile();
  const Look before = lookOf(db());
  auto dxfin = [&](const std::string& path) {
    ui_.clear();
    return acedCommand(RTSTR, "_dxfin", RTSTR, path.c_str(), RTNONE);
  };
  const std::string missing = (dir_ / "none.dxf").string();
  EXPECT_EQ(dxfin(missing), RTERROR);
  EXPECT_EQ(ui_.printed(), "DXFIN: cannot open " + missing + ": No such file or directory\n");
  EXPECT_EQ(dxfin(dir_.path().string()), RTERROR);
  EXPECT_NE(ui_.printed().find("Is a directory"), std::string::npos) << ui_.printed();
  writeFile(dir_ / "cut.dxf", readFile(file).substr(0, readFile(file).size() / 2));
  EXPECT_EQ(dxfin((dir_ / "cut.dxf").string()), RTERROR);
  EXPECT_EQ(ui_.printed().rfind("DXFIN: line ", 0), 0u) << ui_.printed();
  // Read whole but refused half way into the drawing: what came in goes out again.
  kv::fault::arm(kv::fault::Call::clone, 2);
  EXPECT_EQ(dxfin(file), RTERROR);
  EXPECT_EQ(kv::fault::fired(kv::fault::Call::clone), 1);
  EXPECT_EQ(ui_.printed().rfind("DXFIN: " + file + ": cannot copy ", 0), 0u) << ui_.printed();
  kv::fault::disarmAll();
  EXPECT_EQ(lookOf(db()), before);
  // No file named: the program's list runs out and the command is cancelled.
  EXPECT_EQ(acedCommand(RTSTR, "_dxfin", RTNONE), RTCAN);
  EXPECT_EQ(lookOf(db()), before);
}

TEST_F(Dxfin, TypedCommandAsksThroughTheFileDialogAndNamesWhatItDidNotRead) {
  struct NoAnswers : kv::CommandInput {
    bool next(const char*, std::string&) override { return false; }
  } typed;
  ui_.answerFile(std::nullopt);
  EXPECT_EQ(host_.runCommand("DXFIN", typed), RTNORM);  // cancelled: nothing to do
  ASSERT_EQ(ui_.fileDialogs().size(), 1u);
  EXPECT_TRUE(ui_.fileDialogs()[0].open);
  EXPECT_EQ(ui_.fileDialogs()[0].defaultExt, "dxf");
  ASSERT_EQ(ui_.fileDialogs()[0].filters.size(), 1u);
  EXPECT_EQ(ui_.fileDialogs()[0].filters[0].second, "*.dxf");
  EXPECT_TRUE(lookOf(db()).blocks.at(ACDB_MODEL_SPACE).empty());

  writeFile(dir_ / "r12.dxf",
            "0\nSECTION\n2\nENTITIES\n"
            "0\nLINE\n8\nNEW\n10\n0\n20\n0\n30\n0\n11\n4\n21\n3\n31\n0\n"
            "0\nKVNOSUCHTYPE\n8\n0\n"
            "0\nENDSEC\n0\nEOF\n");
  ui_.answerFile((dir_ / "r12.dxf").string());
  EXPECT_EQ(host_.runCommand("DXFIN", typed), RTNORM) << ui_.printed();
  // A kind the host does not model comes in as read.
  EXPECT_EQ(lookOf(db()).blocks.at(ACDB_MODEL_SPACE),
            (std::vector<std::string>{"AcDbLine on NEW as ByLayer [0 0 0 / 4 3 0]", "KeptEntity on 0 as ByLayer"}));
  EXPECT_TRUE(ui_.printed().empty()) << ui_.printed();

  // One that points at an object of the file that does not come along is named, not copied.
  writeFile(dir_ / "linked.dxf",
            "0\nSECTION\n2\nENTITIES\n"
            "0\nKVLINKED\n5\n30\n102\n{ACAD_XDICTIONARY\n360\n31\n102\n}\n8\n0\n"
            "0\nPOINT\n5\n32\n8\n0\n10\n1\n20\n1\n30\n1\n"
            "0\nENDSEC\n0\nEOF\n");
  ui_.answerFile((dir_ / "linked.dxf").string());
  EXPECT_EQ(host_.runCommand("DXFIN", typed), RTNORM) << ui_.printed();
  EXPECT_EQ(lookOf(db()).blocks.at(ACDB_MODEL_SPACE).size(), 3u);
  EXPECT_EQ(lookOf(db()).blocks.at(ACDB_MODEL_SPACE).back(), "AcDbPoint on 0 as ByLayer [1 1 1 / 1 1 1]");
  EXPECT_EQ(ui_.printed(), "DXFIN: not read: 1 KVLINKED\n");
}

// ---------------------------------------------------------------------------------------------
// Blocks behind references, and entities kept as read

// The block a reference of db names, by name; empty when it names none of db's.
std::string blockNameOf(AcDbDatabase& db, AcDbObjectId reference) {
  AcDbBlockReference* ref = nullptr;
  EXPECT_EQ(acdbOpenObject(ref, reference, AcDb::kForRead), Acad::eOk);
  if (!ref) return "";
  AcDbObjectId block = ref->blockTableRecord();
  ref->close();
  AcDbBlockTableRecord* rec = nullptr;
  if (block.database() != &db || acdbOpenObject(rec, block, AcDb::kForRead) != Acad::eOk) return "";
  std::string name = rec->getName();
  rec->close();
  return name;
}

std::vector<AcDbObjectId> modelSpaceIds(AcDbDatabase& db) {
  AcDbBlockTableRecord* space = nullptr;
  EXPECT_EQ(acdbOpenObject(space, db.modelSpaceId(), AcDb::kForRead), Acad::eOk);
  std::vector<AcDbObjectId> ids = space->entityIds();
  space->close();
  return ids;
}

class DxfinBlocks : public Dxfin {
protected:
  // The file: "Frame" holding a line and a reference to "Head" (a point), "Bolt" (a circle
  // radius 1) and the anonymous "*U3" (a line); model space references each of the three.
  static void drawBlocks(AcDbDatabase& file) {
    AcDbObjectId head = addBlock(file, "Head");
    put(file, new AcDbPoint(AcGePoint3d(0, 0, 9)), "0", nullptr, head);
    AcDbObjectId frame = addBlock(file, "Frame");
    put(file, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(3, 0, 0)), "0", nullptr, frame);
    put(file, new AcDbBlockReference(AcGePoint3d(1, 1, 0), head), "0", nullptr, frame);
    AcDbObjectId bolt = addBlock(file, "Bolt");
    put(file, new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1), "0", nullptr, bolt);
    AcDbObjectId anonymous = addBlock(file, "*U3");
    put(file, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 7, 0)), "0", nullptr, anonymous);
    for (AcDbObjectId b : {frame, bolt, anonymous}) put(file, new AcDbBlockReference(AcGePoint3d(5, 5, 0), b), "0");
  }
  // The drawing: its own "BOLT" (a point) and "*U3" (a point).
  static void drawOwnBlocks(AcDbDatabase& target) {
    put(target, new AcDbPoint(AcGePoint3d(4, 4, 4)), "0", nullptr, addBlock(target, "BOLT"));
    put(target, new AcDbPoint(AcGePoint3d(3, 3, 3)), "0", nullptr, addBlock(target, "*U3"));
  }
};

TEST_F(DxfinBlocks, ReferencesComeWithTheirBlocksAndAnonymousOnesAreNeverMerged) {
  drawBlocks(source_);
  drawOwnBlocks(db());
  const Look before = lookOf(db()), file = lookOf(source_);
  int count = 0;
  std::string error;
  ASSERT_EQ(kv::dxf::importModelSpace(source_, db(), count, error), Acad::eOk) << error;
  EXPECT_EQ(count, 3 + 4);  // block entities count too: Frame's two, Head's and the anonymous one's
  const std::vector<AcDbObjectId> refs = modelSpaceIds(db());
  ASSERT_EQ(refs.size(), 3u);
  const Look after = lookOf(db());
  // A new block, with its nested one, as the file drew them.
  EXPECT_EQ(blockNameOf(db(), refs[0]), "Frame");
  EXPECT_EQ(after.blocks.at("Frame"), file.blocks.at("Frame"));
  EXPECT_EQ(after.blocks.at("Head"), file.blocks.at("Head"));
  AcDbBlockTableRecord* frame = nullptr;
  AcDbBlockTable* table = nullptr;
  ASSERT_EQ(db().getBlockTable(table), Acad::eOk);
  AcDbObjectId frameId;
  EXPECT_EQ(table->getAt("Frame", frameId), Acad::eOk);
  table->close();
  ASSERT_EQ(acdbOpenObject(frame, frameId, AcDb::kForRead), Acad::eOk);
  AcDbObjectId nested = frame->entityIds().back();
  frame->close();
  EXPECT_EQ(blockNameOf(db(), nested), "Head");
  // A name the drawing holds: its own block, unchanged.
  EXPECT_EQ(blockNameOf(db(), refs[1]), "BOLT");
  EXPECT_EQ(after.blocks.at("BOLT"), before.blocks.at("BOLT"));
  EXPECT_EQ(after.blocks.count("Bolt"), 0u);
  // An anonymous block: a new one of its kind, the drawing's own left alone.
  const std::string fresh = blockNameOf(db(), refs[2]);
  EXPECT_EQ(fresh.rfind("*U", 0), 0u) << fresh;
  EXPECT_NE(fresh, "*U3");
  EXPECT_EQ(after.blocks.at(fresh), file.blocks.at("*U3"));
  EXPECT_EQ(after.blocks.at("*U3"), before.blocks.at("*U3"));
  EXPECT_EQ(after.blocks.size(), before.blocks.size() + 3);
  // Every copy is a new object of the drawing.
  EXPECT_EQ(after.handles.size(), before.handles.size() + 3 + 2 + 1 + 1);

  // A second import makes another anonymous block, and nothing else new.
  ASSERT_EQ(kv::dxf::importModelSpace(source_, db(), count, error), Acad::eOk) << error;
  const std::vector<AcDbObjectId> again = modelSpaceIds(db());
  ASSERT_EQ(again.size(), 6u);
  const std::string second = blockNameOf(db(), again[5]);
  EXPECT_NE(second, fresh);
  EXPECT_NE(second, "*U3");
  EXPECT_EQ(blockNameOf(db(), again[3]), "Frame");
  EXPECT_EQ(lookOf(db()).blocks.size(), before.blocks.size() + 4);
}

// The pairs of a DXF text, and of its entities by handle.
using Pair = std::pair<int, std::string>;

std::vector<Pair> pairsOf(const std::string& text) {
  std::vector<Pair> out;
  std::istringstream in(text);
  std::string code, value;
  while (std::getline(in, code) && std::getline(in, value)) out.emplace_back(std::stoi(code), value);
  return out;
}

// Each object of the text (from a 0 pair to the next), by its handle.
std::map<std::string, std::vector<Pair>> objectsOf(const std::vector<Pair>& pairs) {
  std::map<std::string, std::vector<Pair>> out;
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (pairs[i].first != 0) continue;
    std::vector<Pair> object{pairs[i]};
    for (size_t j = i + 1; j < pairs.size() && pairs[j].first != 0; ++j) object.push_back(pairs[j]);
    for (const Pair& p : object)
      if (p.first == 5 || p.first == 105) {
        EXPECT_EQ(out.count(p.second), 0u) << "handle " << p.second << " given twice";
        out[p.second] = object;
        break;
      }
  }
  return out;
}

std::string valueOf(const std::vector<Pair>& object, int code) {
  for (const Pair& p : object)
    if (p.first == code) return p.second;
  return "";
}

// A file of an MTEXT that watches an object of the file, and of an unknown entity with
// sub-entities (each naming it their owner), whose handles the drawing may hold already.
const char* const kKeptFile =
    "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1018\n9\n$HANDSEED\n5\n90\n0\nENDSEC\n"
    "0\nSECTION\n2\nENTITIES\n"
    "0\nMTEXT\n5\n2\n102\n{ACAD_REACTORS\n330\n70\n102\n}\n330\n1F\n100\nAcDbEntity\n8\n0\n"
    "100\nAcDbMText\n10\n1\n20\n2\n30\n0\n40\n2.5\n1\nKept {\\fArial;words}\n"
    "0\nKVCHAIN\n5\n3\n330\n1F\n100\nAcDbEntity\n8\n0\n100\nKvChain\n90\n7\n"
    "0\nVERTEX\n5\n4\n330\n3\n100\nAcDbEntity\n8\n0\n10\n1\n20\n1\n30\n0\n"
    "0\nSEQEND\n5\n5\n330\n3\n100\nAcDbEntity\n8\n0\n"
    "0\nENDSEC\n0\nEOF\n";

TEST_F(DxfinBlocks, KeptEntitiesComeWithTheirPairsUnderHandlesOfTheDrawing) {
  for (int i = 0; i < 6; ++i) put(db(), new AcDbPoint(AcGePoint3d(i, 0, 0)), "0");  // handles the file used
  writeFile(dir_ / "kept.dxf", kKeptFile);
  EXPECT_EQ(acedCommand(RTSTR, "_dxfin", RTSTR, (dir_ / "kept.dxf").string().c_str(), RTNONE), RTNORM)
      << ui_.printed();
  EXPECT_TRUE(ui_.printed().empty()) << ui_.printed();
  const std::vector<AcDbObjectId> ids = modelSpaceIds(db());
  ASSERT_EQ(ids.size(), 8u);
  std::string mtext = ids[6].handle().text(), chain = ids[7].handle().text();

  const std::string out = (dir_ / "out.dxf").string();
  ASSERT_EQ(kv::dxf::writeDrawing(db(), out), Acad::eOk);
  const std::map<std::string, std::vector<Pair>> objects = objectsOf(pairsOf(readFile(out)));
  ASSERT_EQ(objects.count(mtext), 1u);
  const std::vector<Pair>& m = objects.at(mtext);
  EXPECT_EQ(m[0].second, "MTEXT");
  EXPECT_EQ(valueOf(m, 1), "Kept {\\fArial;words}");
  EXPECT_EQ(valueOf(m, 40), "2.5");
  EXPECT_EQ(valueOf(m, 330), db().modelSpaceId().handle().text());  // no reactor of the file left
  ASSERT_EQ(objects.count(chain), 1u);
  EXPECT_EQ(objects.at(chain)[0].second, "KVCHAIN");
  EXPECT_EQ(valueOf(objects.at(chain), 90), "7");
  // Its sub-entities follow it under handles of their own, naming it their owner.
  int subs = 0;
  for (const auto& [handle, object] : objects)
    if (object[0].second == "VERTEX" || object[0].second == "SEQEND") {
      ++subs;
      EXPECT_EQ(valueOf(object, 330), chain) << handle;
    }
  EXPECT_EQ(subs, 2);

  // Read back: both kept again, their pairs whole.
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  kv::dxf::ReadReport report;
  ASSERT_EQ(kv::dxf::readDrawing(out, back, error, &report), Acad::eOk) << error;
  EXPECT_EQ(report.unsupported, (std::map<std::string, int>{{"KVCHAIN", 1}, {"MTEXT", 1}}));
  EXPECT_EQ(report.skipped, 0);
}

// Modelled entities bring what they kept beside the model; what points at objects of the file
// that do not come along stays behind, named.
TEST_F(DxfinBlocks, ModelledEntitiesBringTheirKeptDataOrNameWhatStayedBehind) {
  put(db(), new AcDbPoint(AcGePoint3d(0, 0, 0)), "0");
  writeFile(dir_ / "data.dxf",
            "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1018\n0\nENDSEC\n"
            "0\nSECTION\n2\nENTITIES\n"
            "0\nLINE\n5\n2\n102\n{ACAD_REACTORS\n330\n70\n102\n}\n330\n1F\n100\nAcDbEntity\n8\n0\n"
            "100\nAcDbLine\n39\n4.5\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n"
            "1001\nKVAPP\n1000\nnote of the file\n"
            "0\nPOINT\n5\n3\n102\n{ACAD_XDICTIONARY\n360\n71\n102\n}\n330\n1F\n100\nAcDbEntity\n8\n0\n"
            "100\nAcDbPoint\n10\n5\n20\n5\n30\n5\n"
            "0\nENDSEC\n0\nEOF\n");
  EXPECT_EQ(acedCommand(RTSTR, "_dxfin", RTSTR, (dir_ / "data.dxf").string().c_str(), RTNONE), RTNORM)
      << ui_.printed();
  EXPECT_EQ(ui_.printed(), "DXFIN: not read: 1 POINT data\n");
  const std::vector<AcDbObjectId> ids = modelSpaceIds(db());
  ASSERT_EQ(ids.size(), 3u);
  const std::string out = (dir_ / "out.dxf").string();
  ASSERT_EQ(kv::dxf::writeDrawing(db(), out), Acad::eOk);
  const std::map<std::string, std::vector<Pair>> objects = objectsOf(pairsOf(readFile(out)));
  const std::vector<Pair>& line = objects.at(ids[1].handle().text());
  EXPECT_EQ(line[0].second, "LINE");
  EXPECT_EQ(valueOf(line, 39), "4.5");
  EXPECT_EQ(valueOf(line, 1000), "note of the file");
  EXPECT_EQ(valueOf(line, 330), db().modelSpaceId().handle().text());
  const std::vector<Pair>& point = objects.at(ids[2].handle().text());
  EXPECT_EQ(point[0].second, "POINT");
  EXPECT_EQ(valueOf(point, 360), "");
  EXPECT_EQ(valueOf(point, 10), "5.0");
}

// Every host call a merge of references and kept entities makes, failing in turn.
TEST_F(DxfinBlocks, MergeOfBlocksAndKeptEntitiesIsAllOrNothing) {
  writeFile(dir_ / "kept.dxf", kKeptFile);
  std::unique_ptr<AcDbDatabase> file;
  std::string error;
  ASSERT_EQ(kv::dxf::readDrawing((dir_ / "kept.dxf").string(), file, error), Acad::eOk) << error;
  drawBlocks(*file);
  Look whole;
  {
    AcDbDatabase probe;
    drawOwnBlocks(probe);
    int count = 0;
    ASSERT_EQ(kv::dxf::importModelSpace(*file, probe, count, error), Acad::eOk) << error;
    ASSERT_EQ(count, 5 + 4);
    whole = lookOf(probe);
  }
  int failed = 0;
  for (int n = 1; n < 500; ++n) {
    AcDbDatabase target;
    drawOwnBlocks(target);
    const Look before = lookOf(target);
    kv::fault::disarmAll();
    kv::fault::armAny(n);
    int count = 0;
    Acad::ErrorStatus es = kv::dxf::importModelSpace(*file, target, count, error);
    const bool fired = kv::fault::fired() > 0;
    kv::fault::disarmAll();
    Look now = lookOf(target);
    if (es != Acad::eOk) {
      ++failed;
      EXPECT_TRUE(fired) << "call " << n;
      EXPECT_EQ(now, before) << "call " << n << ": " << error;
    } else {
      EXPECT_EQ(count, 5 + 4) << "call " << n;
      now.handles = whole.handles;
      EXPECT_EQ(now, whole) << "call " << n;
    }
    if (!fired) break;
  }
  EXPECT_GT(failed, 10);
}

}  // namespace
