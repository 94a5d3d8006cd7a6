// DXF reading and writing of drawings: round trips, the structure full readers need, outside
// files, hostile input, safe saving, and an independent reader (ezdxf) on both sides.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <numbers>
#include <random>
#include <set>
#include <sstream>

#include <BRepGProp.hxx>
#include <GProp_GProps.hxx>
#include <TopExp_Explorer.hxx>

#include "dxf/dxf.h"
#include "host/entities.h"
#include "host/polylines.h"
#include "modeler/occ_shape.h"
#include "modeler/sat_acis.h"
#include "modeler/solids.h"
#include "testing/faults.h"
#include "host/host.h"
#include "host/kept.h"
#include "testing/recording_ui.h"

namespace fs = std::filesystem;
using kv::dxf::readDrawing;
using kv::dxf::writeDrawing;

#include "dxf_fixture.h"
#include "test_files.h"
#include "testing/colors.h"

using kv::test::addLinetype;
using kv::test::Pair;
using kv::test::pairsOf;

namespace {

using kv::indexColor;
using kv::trueColor;

AcDbObjectId addLayer(AcDbDatabase& db, const char* name, const AcCmColor& color, bool off = false,
                      bool frozen = false, bool locked = false, AcDbObjectId linetype = AcDbObjectId()) {
  AcDbLayerTable* table = nullptr;
  EXPECT_EQ(db.getLayerTable(table, AcDb::kForWrite), Acad::eOk);
  auto* rec = new AcDbLayerTableRecord;
  rec->setName(name);
  rec->setColor(color);
  rec->setIsOff(off);
  rec->setIsFrozen(frozen);
  rec->setIsLocked(locked);
  rec->setLinetypeObjectId(linetype.isNull() ? db.continuousLinetype() : linetype);
  AcDbObjectId id;
  EXPECT_EQ(table->add(id, rec), Acad::eOk);
  rec->close();
  table->close();
  return id;
}

AcDbObjectId append(AcDbDatabase& db, AcDbEntity* e, AcDbObjectId layer, const AcCmColor& color,
                    AcDbObjectId linetype = AcDbObjectId(), AcDbObjectId space = AcDbObjectId()) {
  AcDbBlockTableRecord* ms = nullptr;
  EXPECT_EQ(acdbOpenObject(ms, space.isNull() ? db.modelSpaceId() : space, AcDb::kForWrite), Acad::eOk);
  AcDbObjectId id;
  EXPECT_EQ(ms->appendAcDbEntity(id, e), Acad::eOk);
  e->setLayer(layer);
  e->setColor(color);
  if (!linetype.isNull()) e->setLinetype(linetype);
  e->close();
  ms->close();
  return id;
}

struct LayerState {
  AcCmColor color;
  bool off, frozen, locked;
  std::string linetype;
};

LayerState layerState(AcDbDatabase& db, const char* name) {
  AcDbLayerTable* table = nullptr;
  EXPECT_EQ(db.getLayerTable(table), Acad::eOk);
  AcDbLayerTableRecord* rec = nullptr;
  Acad::ErrorStatus es = table->getAt(name, rec, AcDb::kForRead);
  table->close();
  EXPECT_EQ(es, Acad::eOk) << "layer " << name;
  if (es != Acad::eOk) return {};
  LayerState s{rec->color(), rec->isOff(), rec->isFrozen(), rec->isLocked(), ""};
  AcDbLinetypeTableRecord* lt = nullptr;
  if (acdbOpenObject(lt, rec->linetypeObjectId(), AcDb::kForRead) == Acad::eOk) {
    s.linetype = lt->getName();
    lt->close();
  }
  rec->close();
  return s;
}

// The live entities of a block record, in order.
std::vector<AcDbObjectId> entitiesOf(AcDbDatabase&, AcDbObjectId record) {
  AcDbBlockTableRecord* space = nullptr;
  EXPECT_EQ(acdbOpenObject(space, record, AcDb::kForRead), Acad::eOk);
  std::vector<AcDbObjectId> ids;
  if (!space) return ids;
  for (AcDbObjectId id : space->entityIds())
    if (!id.isErased()) ids.push_back(id);
  space->close();
  return ids;
}

std::vector<AcDbObjectId> modelEntities(AcDbDatabase& db) { return entitiesOf(db, db.modelSpaceId()); }

AcDbObjectId blockNamed(AcDbDatabase& db, const char* name) {
  AcDbBlockTable* table = nullptr;
  AcDbObjectId id;
  EXPECT_EQ(db.getBlockTable(table), Acad::eOk);
  if (!table) return id;
  table->getAt(name, id);
  table->close();
  return id;
}

// The DXF name of a kept entity, or "" for one the host models.
std::string keptName(AcDbObjectId id) {
  AcDbEntity* e = nullptr;
  EXPECT_EQ(acdbOpenObject(e, id, AcDb::kForRead), Acad::eOk);
  if (!e) return "?";
  const auto* kept = kv::KeptEntity::cast(e);
  std::string name = kept ? kept->dxfName() : "";
  e->close();
  return name;
}

// The host class of an entity.
std::string className(AcDbObjectId id) {
  AcDbEntity* e = nullptr;
  EXPECT_EQ(acdbOpenObject(e, id, AcDb::kForRead), Acad::eOk);
  if (!e) return "?";
  std::string name = e->isA()->name();
  e->close();
  return name;
}

// Exact comparison: a round trip must give back the very same doubles.
void expectSamePoint(const AcGePoint3d& a, const AcGePoint3d& b) {
  EXPECT_EQ(a.x, b.x);
  EXPECT_EQ(a.y, b.y);
  EXPECT_EQ(a.z, b.z);
}

std::vector<std::vector<std::string>> records(const std::string& text) {
  std::vector<std::vector<std::string>> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::istringstream f(line);
    std::string field;
    while (std::getline(f, field, '\t')) fields.push_back(field);
    out.push_back(fields);
  }
  return out;
}

class dxf : public ::testing::Test {
protected:
  void SetUp() override { kv::fault::disarmAll(); }
  void TearDown() override { kv::fault::disarmAll(); }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  AcDbDatabase& db() { return host_.database(); }

  // A drawing that uses every property the writer writes, with doubles that print badly.
  void buildDrawing() {
    dashed_ = addLinetype(db(), "DASHED", "Dashed __ __ __");
    red_ = addLayer(db(), "Red", indexColor(1));
    tc_ = addLayer(db(), "True colour", trueColor(12, 34, 56), true);
    stopped_ = addLayer(db(), "Stopped", indexColor(140), false, true, true, dashed_);
    line_ = append(db(), new AcDbLine(AcGePoint3d(0.1, 1.0 / 3.0, -1e-300), AcGePoint3d(123456789.123456789, -2.5e10, 5e-324)),
                   red_, AcCmColor());
    append(db(), new AcDbLine(AcGePoint3d(1, 2, 3), AcGePoint3d(4, 5, 6)), tc_, trueColor(255, 128, 1), dashed_);
    AcCmColor byBlock;
    byBlock.setByBlock();
    append(db(), new AcDbPoint(AcGePoint3d(-0.0, 6.02214076e23, 1.7976931348623157e308)), stopped_, byBlock);
    append(db(), new AcDbPoint(AcGePoint3d(9, 8, 7)), db().layerZero(), indexColor(5), db().byBlockLinetype());
    ASSERT_EQ(db().setClayer(tc_), Acad::eOk);
  }

  // One entity of every face and vertex-based kind, with values that print badly, invisible
  // edges, negative face indices and every closed flag.
  void buildMeshes() {
    using P = AcGePoint3d;
    red_ = addLayer(db(), "Red", indexColor(1));
    append(db(), new AcDbFace(P(0.1, 1.0 / 3.0, -1e-300), P(1e10, 2, 3), P(4, 5.5, 6), P(-7, 8, 5e-324), true, false,
                              true, false),
           red_, trueColor(1, 2, 3));
    append(db(), new AcDbFace(P(1, 2, 3), P(4, 5, 6), P(7, 8, 9.25), false, true, false, true), db().layerZero(),
           indexColor(4));
    auto* solid = new AcDbSolid(P(0.1, 0.2, 5), P(1.1, 0.2, 5), P(0.1, 1.2, 5), P(1.1, 1.2 + 1e-12, 5));
    EXPECT_EQ(solid->setThickness(2.5), Acad::eOk);
    append(db(), solid, red_, AcCmColor());
    auto* flipped = new AcDbSolid(P(1.5, 2, -3), P(2.5, 2, -3), P(1.5, 3.7, -3));
    EXPECT_EQ(flipped->setNormal(AcGeVector3d(0, 0, -1)), Acad::eOk);
    EXPECT_EQ(flipped->setThickness(-0.75), Acad::eOk);
    append(db(), flipped, db().layerZero(), indexColor(2));

    auto* pf = new AcDbPolyFaceMesh;
    for (P p : {P(0, 0, 0), P(1, 0, 0.1), P(1, 1, 1.0 / 3.0), P(0, 1, 0), P(2, 0.5, -1e-7)}) {
      auto* v = new AcDbPolyFaceMeshVertex(p);
      EXPECT_EQ(pf->appendVertex(v), Acad::eOk);
      v->close();
    }
    for (auto f : {std::array<Adesk::Int16, 4>{1, 2, -3, 4}, {-1, 4, 5, 0}, {2, -5, 3, -1}}) {
      auto* r = new AcDbFaceRecord(f[0], f[1], f[2], f[3]);
      EXPECT_EQ(pf->appendFaceRecord(r), Acad::eOk);
      r->close();
    }
    append(db(), pf, red_, indexColor(3));

    AcGePoint3dArray grid, square, path;
    for (int m = 0; m < 3; ++m)
      for (int n = 0; n < 4; ++n) grid.append(P(m * 0.7, n / 3.0, m * n * 0.1));
    for (P p : {P(0, 0, 0), P(1, 0, 0), P(0, 1, 0), P(1, 1, 1)}) square.append(p);
    for (P p : {P(0.5, 0.25, 0.125), P(1, 2, 3), P(-4, 5e-5, 6e6)}) path.append(p);
    append(db(), new AcDbPolygonMesh(AcDb::kCubicSurfaceMesh, 3, 4, grid, false, true), db().layerZero(),
           AcCmColor());
    append(db(), new AcDbPolygonMesh(AcDb::kSimpleMesh, 2, 2, square, true, false), red_, AcCmColor());
    append(db(), new AcDb3dPolyline(AcDb::k3dSimplePoly, path, true), red_, AcCmColor());
    append(db(), new AcDb3dPolyline(AcDb::k3dQuadSplinePoly, path, false), db().layerZero(), indexColor(6));
  }

  kv::RecordingUI ui_;
  kv::Host host_{ui_};
  ScratchFolder scratch_;
  std::string dir_ = scratch_.path().string();
  AcDbObjectId dashed_, red_, tc_, stopped_, line_;
};

// ---------------------------------------------------------------------------------------------
// Round trips

TEST_F(dxf, LayersEntitiesAndCurrentLayerRoundTripExactly) {
  buildDrawing();
  ASSERT_EQ(writeDrawing(db(), path("a.dxf")), Acad::eOk);
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  kv::dxf::ReadReport report;
  ASSERT_EQ(readDrawing(path("a.dxf"), back, error, &report), Acad::eOk) << error;
  ASSERT_TRUE(back);
  EXPECT_EQ(report.version, "AC1018");
  EXPECT_EQ(report.entitiesRead, 4);
  EXPECT_TRUE(report.unsupported.empty());

  for (const char* name : {"0", "Red", "True colour", "Stopped"}) {
    LayerState want = layerState(db(), name), got = layerState(*back, name);
    EXPECT_TRUE(got.color == want.color) << name;
    EXPECT_EQ(got.off, want.off) << name;
    EXPECT_EQ(got.frozen, want.frozen) << name;
    EXPECT_EQ(got.locked, want.locked) << name;
    EXPECT_EQ(got.linetype, want.linetype) << name;
  }
  EXPECT_TRUE(layerState(*back, "True colour").color.isByColor());
  EXPECT_TRUE(layerState(*back, "True colour").off);
  EXPECT_EQ(layerState(*back, "Stopped").linetype, "DASHED");

  AcDbLinetypeTable* lts = nullptr;
  ASSERT_EQ(back->getLinetypeTable(lts), Acad::eOk);
  AcDbLinetypeTableRecord* dashed = nullptr;
  ASSERT_EQ(lts->getAt("DASHED", dashed, AcDb::kForRead), Acad::eOk);
  lts->close();
  EXPECT_STREQ(dashed->comments(), "Dashed __ __ __");
  dashed->close();

  AcDbLayerTableRecord* cl = nullptr;
  ASSERT_EQ(acdbOpenObject(cl, back->clayer(), AcDb::kForRead), Acad::eOk);
  EXPECT_STREQ(cl->getName(), "True colour");
  cl->close();

  std::vector<AcDbObjectId> want = modelEntities(db()), got = modelEntities(*back);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    AcDbEntity *a = nullptr, *b = nullptr;
    ASSERT_EQ(acdbOpenObject(a, want[i], AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(acdbOpenObject(b, got[i], AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(a->isA(), b->isA()) << i;
    EXPECT_TRUE(a->color() == b->color()) << i;
    EXPECT_EQ(a->layer(), b->layer()) << i;
    EXPECT_EQ(a->linetype(), b->linetype()) << i;
    if (auto* la = AcDbLine::cast(a); la && AcDbLine::cast(b)) {
      expectSamePoint(la->startPoint(), AcDbLine::cast(b)->startPoint());
      expectSamePoint(la->endPoint(), AcDbLine::cast(b)->endPoint());
    }
    if (auto* pa = AcDbPoint::cast(a); pa && AcDbPoint::cast(b)) {
      expectSamePoint(pa->position(), AcDbPoint::cast(b)->position());
      EXPECT_EQ(std::signbit(pa->position().x), std::signbit(AcDbPoint::cast(b)->position().x));
    }
    a->close();
    b->close();
  }
}

TEST_F(dxf, ErasedObjectsAreNotWritten) {
  buildDrawing();
  AcDbObjectId gone = addLayer(db(), "Gone", indexColor(3));
  AcDbLine* line = nullptr;
  ASSERT_EQ(acdbOpenObject(line, line_, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(line->erase(), Acad::eOk);
  line->close();
  AcDbLayerTableRecord* layer = nullptr;
  ASSERT_EQ(acdbOpenObject(layer, gone, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(layer->erase(), Acad::eOk);
  layer->close();
  ASSERT_EQ(writeDrawing(db(), path("e.dxf")), Acad::eOk);

  std::set<std::string> handles;
  for (const Pair& p : pairsOf(readFile(path("e.dxf"))))
    if (p.code == 5) handles.insert(p.value);
  EXPECT_FALSE(handles.count(line_.handle().text()));
  EXPECT_FALSE(handles.count(gone.handle().text()));
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  ASSERT_EQ(readDrawing(path("e.dxf"), back, error), Acad::eOk) << error;
  EXPECT_EQ(modelEntities(*back).size(), 3u);
  AcDbLayerTable* table = nullptr;
  ASSERT_EQ(back->getLayerTable(table), Acad::eOk);
  EXPECT_FALSE(table->has("Gone"));
  table->close();
}

// ---------------------------------------------------------------------------------------------
// Structure a full reader needs, checked on the raw pairs

TEST_F(dxf, WrittenFileHasTheStructureFullReadersNeed) {
  buildDrawing();
  append(db(), new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)), red_, AcCmColor(), AcDbObjectId(),
         db().paperSpaceId());
  ASSERT_EQ(writeDrawing(db(), path("s.dxf")), Acad::eOk);
  std::vector<Pair> pairs = pairsOf(readFile(path("s.dxf")));
  ASSERT_GT(pairs.size(), 10u);
  EXPECT_EQ(pairs.back().code, 0);
  EXPECT_EQ(pairs.back().value, "EOF");

  std::vector<std::string> sections;
  std::map<std::uint64_t, std::string> kinds;  // handle -> object type
  std::uint64_t seed = 0;
  std::string type, var, table;
  std::set<std::string> entries;  // "TABLE/name"
  std::vector<std::pair<std::string, std::uint64_t>> owners;  // object type, owner handle
  for (size_t i = 0; i < pairs.size(); ++i) {
    const Pair& p = pairs[i];
    if (p.code == 0) type = p.value;
    if (p.code == 0 && p.value == "SECTION") sections.push_back(pairs[i + 1].value);
    if (p.code == 0 && p.value == "TABLE") table = pairs[i + 1].value;
    if (p.code == 9) var = p.value;
    if (p.code == 5 && var == "$HANDSEED" && sections.size() == 1) seed = std::stoull(p.value, nullptr, 16);
    if ((p.code == 5 || p.code == 105) && sections.size() > 1) {
      std::uint64_t h = std::stoull(p.value, nullptr, 16);
      EXPECT_NE(h, 0u);
      EXPECT_TRUE(kinds.emplace(h, type).second) << "duplicate handle " << p.value;
      // The owner follows the handle directly.
      ASSERT_EQ(pairs[i + 1].code, 330) << type << " " << p.value;
      owners.emplace_back(type, std::stoull(pairs[i + 1].value, nullptr, 16));
    }
    if (p.code == 2 && i > 0 && pairs[i - 1].code == 100 && pairs[i - 1].value.find("TableRecord") != std::string::npos)
      entries.insert(table + "/" + p.value);
  }
  EXPECT_EQ(sections, (std::vector<std::string>{"HEADER", "CLASSES", "TABLES", "BLOCKS", "ENTITIES", "OBJECTS"}));
  // Each table ends before the next begins, and its count (70) is the number of its records.
  std::vector<std::string> tables;
  std::map<std::string, std::pair<int, int>> counts;  // table -> {70, records}
  std::string open;
  for (size_t i = 1; i + 1 < pairs.size(); ++i) {
    const Pair& p = pairs[i];
    if (p.code == 0 && (p.value == "TABLE" || p.value == "ENDSEC")) {
      EXPECT_EQ(open, "") << "no ENDTAB before " << p.value;
    }
    if (p.code == 0 && p.value == "TABLE") {
      open = pairs[i + 1].value;
      tables.push_back(open);
      counts[open] = {-1, 0};
    } else if (p.code == 0 && p.value == "ENDTAB") {
      open.clear();
    } else if (!open.empty() && p.code == 0 && p.value == open) {
      ++counts[open].second;
    } else if (!open.empty() && p.code == 70 && pairs[i - 1].value == "AcDbSymbolTable") {
      counts[open].first = std::stoi(p.value);
    }
  }
  EXPECT_EQ(tables, (std::vector<std::string>{"VPORT", "LTYPE", "LAYER", "STYLE", "VIEW", "UCS", "APPID", "DIMSTYLE",
                                              "BLOCK_RECORD"}));
  for (const auto& [name, count] : counts) EXPECT_EQ(count.first, count.second) << name;
  for (const auto& [h, kind] : kinds) EXPECT_LT(h, seed) << kind;
  for (const char* e : {"VPORT/*Active", "LTYPE/ByBlock", "LTYPE/ByLayer", "LTYPE/Continuous", "LAYER/0",
                        "STYLE/Standard", "APPID/ACAD", "DIMSTYLE/Standard", "BLOCK_RECORD/*Model_Space",
                        "BLOCK_RECORD/*Paper_Space"})
    EXPECT_TRUE(entries.count(e)) << e;
  int roots = 0;
  for (const auto& [kind, owner] : owners) {
    if (owner == 0) {
      EXPECT_TRUE(kind == "TABLE" || kind == "DICTIONARY") << kind;
      roots += kind == "DICTIONARY";
      continue;
    }
    ASSERT_TRUE(kinds.count(owner)) << kind << " owned by unknown " << std::hex << owner;
    const std::string& ownerKind = kinds[owner];
    if (kind == "LINE" || kind == "POINT" || kind == "BLOCK" || kind == "ENDBLK") {
      EXPECT_EQ(ownerKind, "BLOCK_RECORD") << kind;
    } else if (kind == "LAYER" || kind == "LTYPE" || kind == "BLOCK_RECORD" || kind == "VPORT") {
      EXPECT_EQ(ownerKind, "TABLE") << kind;
    }
  }
  EXPECT_EQ(roots, 1);
  // Handles of database objects are the database's own.
  EXPECT_EQ(kinds[line_.handle().value()], "LINE");
  EXPECT_EQ(kinds[red_.handle().value()], "LAYER");
}

// ---------------------------------------------------------------------------------------------
// Outside files

TEST_F(dxf, ReadsEveryOutsideFileWithItsLayers) {
  fs::path folder = fs::path(KV_SHARED_DIR) / "testdata" / "dxf";
  KV_SKIP_UNLESS(fs::is_directory(folder), "the outside DXF files at " << folder);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".dxf") continue;
    ++files;
    std::string file = entry.path().string();
    // Layer names straight from the file's LAYER table.
    std::vector<Pair> pairs = pairsOf(readFile(file));
    std::set<std::string> layers;
    for (size_t i = 0; i + 1 < pairs.size(); ++i)
      if (pairs[i].code == 0 && pairs[i].value == "LAYER")
        for (size_t j = i + 1; j < pairs.size() && pairs[j].code != 0; ++j)
          if (pairs[j].code == 2) layers.insert(pairs[j].value);

    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    kv::dxf::ReadReport report;
    ASSERT_EQ(readDrawing(file, back, error, &report), Acad::eOk) << file << ": " << error;
    ASSERT_TRUE(back);
    AcDbLayerTable* table = nullptr;
    ASSERT_EQ(back->getLayerTable(table), Acad::eOk);
    for (const std::string& name : layers) EXPECT_TRUE(table->has(name.c_str())) << file << ": " << name;
    table->close();
    int kept = 0;
    for (const auto& [kind, n] : report.unsupported) kept += n;
    EXPECT_GT(kept + report.entitiesRead, 0) << file;
    // Every entity read is in a block record, modelled or kept.
    int all = 0;
    AcDbBlockTable* blocks = nullptr;
    ASSERT_EQ(back->getBlockTable(blocks), Acad::eOk);
    for (AcDbObjectId record : blocks->recordIds()) all += int(entitiesOf(*back, record).size());
    blocks->close();
    EXPECT_EQ(all, kept + report.entitiesRead) << file;
    EXPECT_TRUE(report.notes.empty()) << file << ": " << report.notes.front();
  }
  EXPECT_GT(files, 0);
}

// ---------------------------------------------------------------------------------------------
// Hostile input

TEST_F(dxf, EveryTruncatedPrefixIsRefusedWithALine) {
  buildDrawing();
  ASSERT_EQ(writeDrawing(db(), path("full.dxf")), Acad::eOk);
  const std::string full = readFile(path("full.dxf"));
  const size_t complete = full.rfind("EOF") + 3;  // from here on only the last line end is missing
  for (size_t n = 0; n <= full.size(); n += (n < 600 || n + 600 > full.size()) ? 1 : 7) {
    writeFile(path("cut.dxf"), full.substr(0, n));
    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    Acad::ErrorStatus es = readDrawing(path("cut.dxf"), back, error);
    if (n >= complete) {
      EXPECT_EQ(es, Acad::eOk) << n << ": " << error;
    } else {
      ASSERT_EQ(es, Acad::eBadDxfFile) << "prefix of " << n << " bytes";
      EXPECT_FALSE(back) << n;
      EXPECT_EQ(error.rfind("line ", 0), 0u) << n << ": " << error;
    }
  }
}

TEST_F(dxf, MalformedFilesGiveStatusAndLine) {
  const std::string head = "0\nSECTION\n2\nENTITIES\n";
  struct Case {
    const char* name;
    std::string text;
    Acad::ErrorStatus status;
    const char* message;  // part of the error text
  };
  const Case cases[] = {
      {"odd pairs", head + "0\nLINE\n10\n", Acad::eBadDxfFile, "line 7:"},
      {"code not a number", head + "0\nLINE\nten\n1.0\n", Acad::eBadDxfFile, "line 7: group code is not a number"},
      {"code out of range", head + "0\nLINE\n5000\n1.0\n", Acad::eBadDxfFile, "line 7: group code 5000 is out of range"},
      // 1071 is the last group code DXF has; a negative code is none.
      {"code past the last", head + "0\nLINE\n1072\n1.0\n", Acad::eBadDxfFile, "line 7: group code 1072 is out of range"},
      {"negative code", head + "0\nLINE\n-1\n1.0\n", Acad::eBadDxfFile, "line 7: group code -1 is out of range"},
      {"no EOF", head + "0\nENDSEC\n", Acad::eBadDxfFile, "without EOF"},
      {"no ENDSEC", head + "0\nLINE\n0\nEOF\n", Acad::eBadDxfFile, "line"},
      {"not a section", "0\nLINE\n0\nEOF\n", Acad::eBadDxfFile, "line 1:"},
      {"newer version", "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1032\n0\nENDSEC\n0\nEOF\n", Acad::eBadDxfFile,
       "line 7: DXF version AC1032"},
      {"binary", std::string("AutoCAD Binary DXF\r\n\x1a\0", 22) + "\x00\x00", Acad::eBadDxfFile, "binary"},
      {"endless line", "0\n" + std::string(200000, 'A'), Acad::eBadDxfFile, "line 2: line is too long"},
      {"empty", "", Acad::eBadDxfFile, "without EOF"},
  };
  for (const Case& c : cases) {
    writeFile(path("bad.dxf"), c.text);
    auto sentinel = std::make_unique<AcDbDatabase>(false);
    AcDbDatabase* before = sentinel.get();
    std::string error;
    EXPECT_EQ(readDrawing(path("bad.dxf"), sentinel, error), c.status) << c.name;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << c.name;
    EXPECT_EQ(sentinel.get(), before) << c.name << ": the database must stay as it was";
  }
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  EXPECT_EQ(readDrawing(path("missing.dxf"), back, error), Acad::eFileNotFound);
  EXPECT_NE(error.find("missing.dxf"), std::string::npos);
}

// A refused file gives this status and error, and leaves the caller's database as it was.
void expectRefused(const std::string& file, Acad::ErrorStatus status, const std::string& message,
                   const std::string& what) {
  auto sentinel = std::make_unique<AcDbDatabase>(false);
  AcDbDatabase* before = sentinel.get();
  std::string error;
  EXPECT_EQ(readDrawing(file, sentinel, error), status) << what;
  EXPECT_EQ(error, message) << what;
  EXPECT_EQ(sentinel.get(), before) << what;
}

const std::string kLayerTable = "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n";  // entries from line 9
const std::string kTablesEnd = "0\nENDTAB\n0\nENDSEC\n0\nEOF\n";
const std::string kEntities = "0\nSECTION\n2\nENTITIES\n";  // entities from line 5
const std::string kEntitiesEnd = "0\nENDSEC\n0\nEOF\n";

TEST_F(dxf, FlagsThatAreNotNumbersGiveTheirLine) {
  struct Case {
    const char* name;
    std::string text;
    const char* error;
  };
  const Case cases[] = {
      {"layer flags", kLayerTable + "0\nLAYER\n2\nWalls\n70\nfrozen\n" + kTablesEnd,
       "line 13: group 70 is not an integer"},
      {"layer flags past 64 bits", kLayerTable + "0\nLAYER\n70\n99999999999999999999\n2\nWalls\n" + kTablesEnd,
       "line 11: group 70 is not an integer"},
  };
  for (const Case& c : cases) {
    writeFile(path("bad.dxf"), c.text);
    expectRefused(path("bad.dxf"), Acad::eBadDxfFile, c.error, c.name);
  }
  // A table's own count is not used, so a bad one costs nothing.
  writeFile(path("count.dxf"), "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\nmany\n0\nLAYER\n2\nWalls\n70\n4\n" +
                                   kTablesEnd);
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  ASSERT_EQ(readDrawing(path("count.dxf"), back, error), Acad::eOk) << error;
  EXPECT_TRUE(layerState(*back, "Walls").locked);
}

TEST_F(dxf, NamesTheHostCannotTakeAreTheFilesFault) {
  struct Case {
    const char* name;
    std::string text;
    std::string error;
  };
  const std::string longName(256, 'n');
  const Case cases[] = {
      {"layer entry", kLayerTable + "0\nLAYER\n2\nA<B\n70\n0\n" + kTablesEnd,
       "line 9: the drawing refused the name 'A<B' (status 32)"},
      {"layer's linetype", kLayerTable + "0\nLAYER\n2\nWalls\n6\nx=y\n" + kTablesEnd,
       "line 9: the drawing refused the name 'x=y' (status 32)"},
      {"linetype entry", "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLTYPE\n0\nLTYPE\n2\nDa|sh\n" + kTablesEnd,
       "line 9: the drawing refused the name 'Da|sh' (status 32)"},
      {"block name", "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nDo|or\n0\nENDBLK\n0\nENDSEC\n0\nEOF\n",
       "line 5: the drawing refused the name 'Do|or' (status 32)"},
      {"name past 255 characters", kLayerTable + "0\nLAYER\n2\n" + longName + "\n" + kTablesEnd,
       "line 9: the drawing refused the name '" + longName + "' (status 32)"},
  };
  for (const Case& c : cases) {
    writeFile(path("bad.dxf"), c.text);
    expectRefused(path("bad.dxf"), Acad::eBadDxfFile, c.error, c.name);
  }
}

// An entity whose values its reader cannot take is kept whole, as read, with a note naming its
// line and the reason; one on a layer or linetype whose name the host cannot take is left out
// with a note naming its handle. The rest of the drawing is read.
TEST_F(dxf, EntitiesTheHostCannotTakeAreKeptOrLeftOutWithANote) {
  struct Case {
    const char* name;
    std::string entity;  // from line 5
    const char* kept;    // the kept entity's DXF name, or null for one left out
    std::string note;
    Pair odd{0, ""};  // the pair it could not take
  };
  const std::string longName(256, 'n');
  const Case cases[] = {
      {"bad coordinate", "0\nLINE\n8\n0\n10\n1.5x\n", "LINE", "line 5: LINE kept as read: line 9: group 10 is not a number",
       {10, "1.5x"}},
      {"bad colour", "0\nPOINT\n62\nred\n10\n1\n", "POINT", "line 5: POINT kept as read: line 7: colour is not a number",
       {62, "red"}},
      {"face edge flags", "0\n3DFACE\n8\n0\n70\n1.5\n", "3DFACE", "line 5: 3DFACE kept as read: line 9: group 70 is not an integer",
       {70, "1.5"}},
      {"polyline flags", "0\nPOLYLINE\n70\n\n0\nVERTEX\n10\n1\n0\nSEQEND\n", "POLYLINE",
       "line 5: POLYLINE kept as read: line 7: group 70 is not an integer", {70, ""}},
      {"entity's layer", "0\nPOINT\n5\n2A\n8\nWall*s\n", nullptr,
       "line 5: POINT 2A left out: the drawing refused the name 'Wall*s' (status 32)"},
      {"entity's linetype", "0\nCIRCLE\n6\nDash?\n", nullptr,
       "line 5: CIRCLE 0 left out: the drawing refused the name 'Dash?' (status 32)"},
      {"name past 255 characters", "0\nPOINT\n8\n" + longName + "\n", nullptr,
       "line 5: POINT 0 left out: the drawing refused the name '" + longName + "' (status 32)"},
  };
  const std::string after = "0\nLINE\n10\n1\n11\n2\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(path("odd.dxf"), kEntities + c.entity + after + kEntitiesEnd);
    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    kv::dxf::ReadReport report;
    ASSERT_EQ(readDrawing(path("odd.dxf"), back, error, &report), Acad::eOk) << error;
    EXPECT_EQ(report.notes, std::vector<std::string>{c.note});
    EXPECT_EQ(report.entitiesRead, 1);  // the line after it
    std::vector<AcDbObjectId> ids = modelEntities(*back);
    ASSERT_EQ(ids.size(), c.kept ? 2u : 1u);
    EXPECT_EQ(report.skipped, c.kept ? 0 : 1);
    if (!c.kept) continue;
    EXPECT_EQ(keptName(ids[0]), c.kept);
    EXPECT_EQ(report.unsupported, (std::map<std::string, int>{{c.kept, 1}}));
    // Written back as read: the value it could not take is there again, once.
    ASSERT_EQ(writeDrawing(*back, path("saved.dxf")), Acad::eOk);
    std::vector<Pair> pairs = pairsOf(readFile(path("saved.dxf")));
    int found = 0;
    for (size_t i = 0; i < pairs.size(); ++i)
      if (pairs[i].code == c.odd.code && pairs[i].value == c.odd.value) ++found;
    EXPECT_EQ(found, 1) << c.odd.value;
  }
}

TEST_F(dxf, RandomBytesGiveAStatus) {
  std::mt19937 rng(20240611);
  buildDrawing();
  ASSERT_EQ(writeDrawing(db(), path("good.dxf")), Acad::eOk);
  const std::string good = readFile(path("good.dxf"));
  for (int round = 0; round < 200; ++round) {
    std::string text;
    if (round % 2 == 0) {
      text.resize(rng() % 5000);
      for (char& c : text) c = char(rng());
    } else {
      // A sound file with a few bytes broken keeps the reader deep in its states.
      text = good;
      for (int k = 0; k < 4; ++k) text[rng() % text.size()] = char(rng());
    }
    writeFile(path("noise.dxf"), text);
    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    Acad::ErrorStatus es = readDrawing(path("noise.dxf"), back, error);
    if (es != Acad::eOk) {
      EXPECT_FALSE(back);
      EXPECT_FALSE(error.empty()) << round;
    }
  }
}

TEST_F(dxf, ToleratesR12StyleCrlfAndBlanks) {
  // No HEADER, CRLF line ends, blanks around codes and values, a comment, entities on a layer
  // the table lacks, a paper-space entity, a circle and a 2D polyline with its vertices.
  std::string text =
      "999\nwritten by hand\n"
      "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLTYPE\n  0\nLTYPE\n  2\nDOTS\n  3\nDots . . .\n  0\nENDTAB\n"
      "  0\nTABLE\n  2\nLAYER\n 70\n     1\n"
      "  0\nLAYER\n  2\nWalls\n 70\n     4\n 62\n    -3\n  6\nCONTINUOUS\n  0\nENDTAB\n  0\nENDSEC\n"
      "  0\nSECTION\n  2\nENTITIES\n"
      "  0\nLINE\n  8\nWalls\n 10\n 1.5\n 20\n-2\n 30\n0.0\n 11\n  1.0E+2\n 21\n +3\n 31\n0\n"
      "  0\nPOINT\n  8\nNew layer\n 62\n1\n 10\n4\n 20\n5\n 30\n6\n"
      "  0\nPOINT\n 67\n1\n  8\nWalls\n 10\n0\n 20\n0\n 30\n0\n"
      "  0\nCIRCLE\n  8\n0\n 10\n0\n 20\n0\n 30\n0\n 40\n1\n"
      "  0\nPOLYLINE\n  8\n0\n 66\n1\n 70\n1\n"
      "  0\nVERTEX\n  8\n0\n 10\n0\n 20\n0\n 30\n0\n  0\nVERTEX\n  8\n0\n 10\n1\n 20\n0\n 30\n0\n"
      "  0\nSEQEND\n  8\n0\n"
      "  0\nENDSEC\n  0\nEOF\n";
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  writeFile(path("r12.dxf"), crlf);
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  kv::dxf::ReadReport report;
  ASSERT_EQ(readDrawing(path("r12.dxf"), back, error, &report), Acad::eOk) << error;
  EXPECT_EQ(report.version, "AC1009");
  EXPECT_EQ(report.entitiesRead, 5);  // four in model space, one in paper space
  EXPECT_EQ(entitiesOf(*back, back->paperSpaceId()).size(), 1u);
  EXPECT_TRUE(report.unsupported.empty());
  LayerState walls = layerState(*back, "Walls");
  EXPECT_TRUE(walls.color == indexColor(3));
  EXPECT_TRUE(walls.off);
  EXPECT_TRUE(walls.locked);
  EXPECT_FALSE(walls.frozen);
  EXPECT_EQ(layerState(*back, "New layer").color.colorIndex(), 7);  // created as the host creates layers
  AcDbLinetypeTable* linetypes = nullptr;
  ASSERT_EQ(back->getLinetypeTable(linetypes), Acad::eOk);
  AcDbLinetypeTableRecord* dots = nullptr;
  ASSERT_EQ(linetypes->getAt("DOTS", dots, AcDb::kForRead), Acad::eOk);
  linetypes->close();
  EXPECT_STREQ(dots->comments(), "Dots . . .");  // a description is kept as written, less its line end
  dots->close();

  std::vector<AcDbObjectId> ids = modelEntities(*back);
  ASSERT_EQ(ids.size(), 4u);
  EXPECT_EQ(className(ids[2]), "AcDbCircle");
  EXPECT_EQ(className(ids[3]), "AcDb2dPolyline");
  AcDbLine* line = nullptr;
  ASSERT_EQ(acdbOpenObject(line, ids[0], AcDb::kForRead), Acad::eOk);
  expectSamePoint(line->startPoint(), AcGePoint3d(1.5, -2, 0));
  expectSamePoint(line->endPoint(), AcGePoint3d(100, 3, 0));
  EXPECT_EQ(line->layer(), "Walls");
  EXPECT_TRUE(line->color().isByLayer());
  line->close();
  AcDbPoint* point = nullptr;
  ASSERT_EQ(acdbOpenObject(point, ids[1], AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(point->layer(), "New layer");
  EXPECT_TRUE(point->color() == indexColor(1));
  point->close();
}

TEST_F(dxf, OwnersDecideModelSpace) {
  // R2000 style: an entity owned by paper space's record and one inside the model-space block
  // definition; a 102 group's 330 is a reactor, not the owner.
  std::string text =
      "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nBLOCK_RECORD\n5\n1\n330\n0\n100\nAcDbSymbolTable\n"
      "0\nBLOCK_RECORD\n5\n1F\n330\n1\n100\nAcDbSymbolTableRecord\n100\nAcDbBlockTableRecord\n2\n*Model_Space\n"
      "0\nBLOCK_RECORD\n5\n2A\n330\n1\n100\nAcDbSymbolTableRecord\n100\nAcDbBlockTableRecord\n2\n*Paper_Space\n"
      "0\nENDTAB\n0\nENDSEC\n"
      "0\nSECTION\n2\nBLOCKS\n"
      "0\nBLOCK\n5\n20\n330\n1F\n100\nAcDbEntity\n8\n0\n100\nAcDbBlockBegin\n2\n*Model_Space\n"
      "0\nPOINT\n5\n30\n330\n1F\n100\nAcDbEntity\n8\n0\n100\nAcDbPoint\n10\n1\n20\n1\n30\n1\n"
      "0\nENDBLK\n5\n21\n330\n1F\n100\nAcDbEntity\n8\n0\n100\nAcDbBlockEnd\n"
      "0\nBLOCK\n5\n22\n330\n40\n100\nAcDbEntity\n8\n0\n100\nAcDbBlockBegin\n2\nDOOR\n"
      "0\nLINE\n5\n31\n330\n40\n100\nAcDbEntity\n8\n0\n100\nAcDbLine\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n"
      "0\nENDBLK\n5\n23\n330\n40\n100\nAcDbEntity\n8\n0\n100\nAcDbBlockEnd\n"
      "0\nENDSEC\n"
      "0\nSECTION\n2\nENTITIES\n"
      "0\nLINE\n5\n32\n330\n2A\n100\nAcDbEntity\n8\n0\n100\nAcDbLine\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n"
      "0\nLINE\n5\n33\n102\n{ACAD_REACTORS\n330\n2A\n102\n}\n330\n1F\n100\nAcDbEntity\n8\n0\n62\n4\n100\nAcDbLine\n"
      "10\n2\n20\n2\n30\n2\n11\n3\n21\n3\n31\n3\n"
      "0\nENDSEC\n0\nEOF\n";
  writeFile(path("own.dxf"), text);
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  kv::dxf::ReadReport report;
  ASSERT_EQ(readDrawing(path("own.dxf"), back, error, &report), Acad::eOk) << error;
  EXPECT_EQ(report.entitiesRead, 4);
  EXPECT_EQ(entitiesOf(*back, back->paperSpaceId()).size(), 1u);
  EXPECT_EQ(entitiesOf(*back, blockNamed(*back, "DOOR")).size(), 1u);
  std::vector<AcDbObjectId> ids = modelEntities(*back);
  ASSERT_EQ(ids.size(), 2u);
  AcDbPoint* point = nullptr;
  ASSERT_EQ(acdbOpenObject(point, ids[0], AcDb::kForRead), Acad::eOk);  // from the *Model_Space block
  expectSamePoint(point->position(), AcGePoint3d(1, 1, 1));
  point->close();
  AcDbLine* line = nullptr;
  ASSERT_EQ(acdbOpenObject(line, ids[1], AcDb::kForRead), Acad::eOk);
  expectSamePoint(line->startPoint(), AcGePoint3d(2, 2, 2));
  EXPECT_TRUE(line->color() == indexColor(4));
  line->close();
}

// ---------------------------------------------------------------------------------------------
// Saving safely

TEST_F(dxf, FailedSaveLeavesNoPartialFile) {
  buildDrawing();
  // Neither a folder nor a path through missing folders takes a file.
  fs::create_directory(path("taken.dxf"));
  EXPECT_EQ(writeDrawing(db(), path("taken.dxf")), Acad::eFileAccessErr);
  EXPECT_EQ(writeDrawing(db(), path("no/such/folder/x.dxf")), Acad::eFileAccessErr);
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(dir_)) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"taken.dxf"});

  // An old file survives a refused save whole, and the user learns why.
  ASSERT_EQ(writeDrawing(db(), path("old.dxf")), Acad::eOk);
  const std::string old = readFile(path("old.dxf"));
  using kv::fault::Call;
  const std::pair<Call, const char*> refusals[] = {{Call::fileOpen, "Permission denied"},
                                                   {Call::fileWrite, "No space left on device"},
                                                   {Call::fileSync, "Input/output error"},
                                                   {Call::fileRename, "Permission denied"}};
  for (const auto& [call, reason] : refusals) {
    kv::fault::disarmAll();
    kv::fault::arm(call, 1);
    std::string error;
    EXPECT_EQ(writeDrawing(db(), path("old.dxf"), &error), Acad::eFileAccessErr) << kv::fault::name(call);
    EXPECT_EQ(kv::fault::fired(call), 1);
    EXPECT_EQ(error, reason);
    EXPECT_EQ(readFile(path("old.dxf")), old);
    left.clear();
    for (const auto& e : fs::directory_iterator(dir_)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"old.dxf", "taken.dxf"})) << kv::fault::name(call);
  }
  kv::fault::disarmAll();
  // Windows separators are taken as well.
  std::string windows = dir_ + "\\win.dxf";
  EXPECT_EQ(writeDrawing(db(), windows), Acad::eOk);
  EXPECT_TRUE(fs::exists(path("win.dxf")));
}

TEST_F(dxf, SavedFileGetsTheUmaskModeOrKeepsTheOldOne) {
  buildDrawing();
  const mode_t mask = umask(022);
  ASSERT_EQ(writeDrawing(db(), path("a.dxf")), Acad::eOk);
  EXPECT_EQ(fs::status(path("a.dxf")).permissions(), fs::perms(0644));
  umask(077);
  ASSERT_EQ(writeDrawing(db(), path("b.dxf")), Acad::eOk);
  EXPECT_EQ(fs::status(path("b.dxf")).permissions(), fs::perms(0600));
  // Saving over a file keeps its bits, whatever the umask says.
  for (auto mode : {fs::perms(0640), fs::perms(0604), fs::perms(0666)}) {
    fs::permissions(path("a.dxf"), mode);
    ASSERT_EQ(writeDrawing(db(), path("a.dxf")), Acad::eOk);
    EXPECT_EQ(fs::status(path("a.dxf")).permissions(), mode);
  }
  umask(mask);
}

TEST_F(dxf, SaveThroughASymlinkReplacesItsTarget) {
  buildDrawing();
  ASSERT_EQ(writeDrawing(db(), path("direct.dxf")), Acad::eOk);
  fs::create_directory(path("real"));
  writeFile(path("real/drawing.dxf"), "old");
  fs::create_symlink("real/drawing.dxf", path("link.dxf"));
  ASSERT_EQ(writeDrawing(db(), path("link.dxf")), Acad::eOk);
  EXPECT_TRUE(fs::is_symlink(path("link.dxf")));
  EXPECT_EQ(fs::read_symlink(path("link.dxf")), "real/drawing.dxf");
  EXPECT_TRUE(readFile(path("real/drawing.dxf")) == readFile(path("direct.dxf")));
  EXPECT_EQ(namesIn(path("real")), std::vector<std::string>{"drawing.dxf"});
  EXPECT_EQ(namesIn(dir_), (std::vector<std::string>{"direct.dxf", "link.dxf", "real"}));
}

TEST_F(dxf, SaveWritesOverNothingButAWritableRegularFile) {
  buildDrawing();
  std::vector<std::string> targets = makeNotRegularFiles(dir_);
  fs::create_symlink("pipe", path("pipe.dxf"));
  targets.push_back(path("pipe.dxf"));
  const std::vector<std::string> names = namesIn(dir_);
  for (const std::string& target : targets) {
    const std::string before = nodeState(target);
    std::string error;
    EXPECT_EQ(writeDrawing(db(), target, &error), Acad::eFileAccessErr) << target;
    EXPECT_EQ(error, "not a regular file") << target;
    EXPECT_EQ(nodeState(target), before) << target;
  }
  EXPECT_EQ(readFile(path("folder/inside")), "kept");
  EXPECT_EQ(namesIn(dir_), names);

  // The permission bits refuse even root, who passes every other check.
  writeFile(path("read-only.dxf"), "old");
  fs::permissions(path("read-only.dxf"), fs::perms(0444));
  std::string error;
  EXPECT_EQ(writeDrawing(db(), path("read-only.dxf"), &error), Acad::eFileAccessErr);
  EXPECT_EQ(error, "Permission denied");
  EXPECT_EQ(readFile(path("read-only.dxf")), "old");
  EXPECT_EQ(fs::status(path("read-only.dxf")).permissions(), fs::perms(0444));
  EXPECT_EQ(namesIn(dir_).size(), names.size() + 1);
}

TEST_F(dxf, RefusedAppendAbortsTheReadAndKeepsTheOldDatabase) {
  buildDrawing();
  ASSERT_EQ(writeDrawing(db(), path("a.dxf")), Acad::eOk);
  kv::fault::arm(kv::fault::Call::appendAcDbEntity, 2);
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  EXPECT_EQ(readDrawing(path("a.dxf"), back, error), Acad::eDxfReadAborted);
  EXPECT_FALSE(back);
  EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
}

// ---------------------------------------------------------------------------------------------
// An independent reader and writer

TEST_F(dxf, EzdxfReadsOurFileWithoutAuditComplaints) {
  KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
  buildDrawing();
  append(db(), new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)), red_, AcCmColor(), AcDbObjectId(),
         db().paperSpaceId());
  ASSERT_EQ(writeDrawing(db(), path("ours.dxf")), Acad::eOk);
  int status = 0;
  std::string out = runProcess("/usr/bin/python3 " KV_SOURCE_DIR "/tests/interop/ezdxf_read.py " + path("ours.dxf") + " 2>&1", status);
  ASSERT_EQ(status, 0) << out;

  std::map<std::string, std::vector<std::string>> layers;
  std::vector<std::vector<std::string>> entities;
  for (auto& r : records(out)) {
    if (r[0] == "version") {
      EXPECT_EQ(r[1], "AC1018");
    }
    if (r[0] == "audit") {
      EXPECT_EQ(r[1], "0") << out;
      EXPECT_EQ(r[2], "0") << out;
    }
    if (r[0] == "layer") layers[r[1]] = r;
    if (r[0] == "LINE" || r[0] == "POINT" || r[0] == "other") entities.push_back(r);
  }
  ASSERT_EQ(layers.count("True colour"), 1u) << out;
  // (12, 34, 56) is nearest to ACI 149 (19, 33, 38), at 49 + 1 + 324 = 374 against 389 for 139
  // (19, 38, 38); the layer is off, so the index is negative.
  EXPECT_EQ(layers["True colour"][2], "-149");
  EXPECT_EQ(layers["True colour"][3], std::to_string(12 << 16 | 34 << 8 | 56));
  EXPECT_EQ(layers["Stopped"], (std::vector<std::string>{"layer", "Stopped", "140", "-", "1", "1", "DASHED"}));
  EXPECT_EQ(layers["Red"], (std::vector<std::string>{"layer", "Red", "1", "-", "0", "0", "Continuous"}));

  ASSERT_EQ(entities.size(), 4u) << out;  // model space only
  EXPECT_EQ(entities[0][0], "LINE");
  EXPECT_EQ(entities[0][1], "Red");
  EXPECT_EQ(entities[0][2], "256");
  EXPECT_EQ(std::stod(entities[0][5]), 0.1);
  EXPECT_EQ(std::stod(entities[0][6]), 1.0 / 3.0);
  EXPECT_EQ(std::stod(entities[0][8]), 123456789.123456789);
  EXPECT_EQ(entities[1][2], "30");  // (255, 128, 1) is 1 away from ACI 30 (255, 128, 0)
  EXPECT_EQ(entities[1][3], std::to_string(255 << 16 | 128 << 8 | 1));
  EXPECT_EQ(entities[1][4], "DASHED");
  EXPECT_EQ(entities[2][0], "POINT");
  EXPECT_EQ(entities[2][2], "0");  // by block
  EXPECT_EQ(std::stod(entities[2][7]), 1.7976931348623157e308);
  EXPECT_EQ(entities[3][4], "ByBlock");
}

TEST_F(dxf, ReadsWhatEzdxfWrites) {
  KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
  int status = 0;
  std::string out =
      runProcess("/usr/bin/python3 " KV_SOURCE_DIR "/tests/interop/ezdxf_write.py " + path("theirs.dxf") + " 2>&1", status);
  ASSERT_EQ(status, 0) << out;
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  kv::dxf::ReadReport report;
  ASSERT_EQ(readDrawing(path("theirs.dxf"), back, error, &report), Acad::eOk) << error;
  EXPECT_EQ(report.version, "AC1024");
  EXPECT_EQ(report.entitiesRead, 5);  // two lines, a point and a circle in model space, a line in paper space
  EXPECT_EQ(entitiesOf(*back, back->paperSpaceId()).size(), 1u);
  EXPECT_TRUE(report.unsupported.empty());

  EXPECT_TRUE(layerState(*back, "TC").color == trueColor(0x12, 0x34, 0x56));
  LayerState hidden = layerState(*back, "Hidden");
  EXPECT_TRUE(hidden.off);
  EXPECT_TRUE(hidden.color == indexColor(3));
  LayerState stopped = layerState(*back, "Stopped");
  EXPECT_TRUE(stopped.frozen && stopped.locked);
  EXPECT_EQ(stopped.linetype, "DASHED");
  layerState(*back, "Ghost");  // made for the entity that names it
  AcDbLayerTableRecord* cl = nullptr;
  ASSERT_EQ(acdbOpenObject(cl, back->clayer(), AcDb::kForRead), Acad::eOk);
  EXPECT_STREQ(cl->getName(), "TC");
  cl->close();

  std::vector<AcDbObjectId> ids = modelEntities(*back);
  ASSERT_EQ(ids.size(), 4u);
  EXPECT_EQ(className(ids[3]), "AcDbCircle");
  AcDbLine* line = nullptr;
  ASSERT_EQ(acdbOpenObject(line, ids[0], AcDb::kForRead), Acad::eOk);
  expectSamePoint(line->startPoint(), AcGePoint3d(0.1, 0.2, 0.3));
  expectSamePoint(line->endPoint(), AcGePoint3d(1e-300, -2.5e10, 1.0 / 3.0));
  EXPECT_TRUE(line->color() == trueColor(0xFF, 0x80, 0x00));
  EXPECT_EQ(line->layer(), "TC");
  line->close();
  AcDbPoint* point = nullptr;
  ASSERT_EQ(acdbOpenObject(point, ids[1], AcDb::kForRead), Acad::eOk);
  expectSamePoint(point->position(), AcGePoint3d(7, 8, 9));
  EXPECT_TRUE(point->color() == indexColor(5));
  EXPECT_EQ(point->linetype(), "DASHED");
  point->close();
}

// ---------------------------------------------------------------------------------------------
// Faces, solids and vertex-based entities

std::string num(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

void addPoint(std::vector<std::string>& fields, const AcGePoint3d& p) {
  for (unsigned k = 0; k < 3; ++k) fields.push_back(num(p[k]));
}

std::string joined(const std::vector<std::string>& fields) {
  std::string out;
  for (const std::string& f : fields) out += (out.empty() ? "" : "\t") + f;
  return out;
}

// Model space's faces, solids and vertex-based entities in the records ezdxf_read.py prints.
std::vector<std::string> faceListing(AcDbDatabase& db) {
  std::vector<std::string> out;
  for (AcDbObjectId id : modelEntities(db)) {
    AcDbEntity* e = nullptr;
    EXPECT_EQ(acdbOpenObject(e, id, AcDb::kForRead), Acad::eOk);
    if (!e) continue;
    std::vector<std::string> f{"", e->layer().GetString(), std::to_string(e->color().colorIndex())};
    if (auto* face = AcDbFace::cast(e)) {
      f[0] = "3DFACE";
      int invisible = 0;
      for (Adesk::UInt16 k = 0; k < 4; ++k) {
        bool visible = true;
        face->isEdgeVisibleAt(k, visible);
        invisible |= visible ? 0 : 1 << k;
      }
      f.push_back(std::to_string(invisible));
      for (Adesk::UInt16 k = 0; k < 4; ++k) {
        AcGePoint3d p;
        face->getVertexAt(k, p);
        addPoint(f, p);
      }
    } else if (auto* solid = AcDbSolid::cast(e)) {
      f[0] = "SOLID";
      f.push_back(num(solid->thickness()));
      addPoint(f, AcGePoint3d() + solid->normal());
      for (Adesk::UInt16 k = 0; k < 4; ++k) {
        AcGePoint3d p;
        solid->getPointAt(k, p);
        addPoint(f, p);
      }
    } else if (auto* owner = AcDbVertexOwner::cast(e); owner && !AcDb2dPolyline::cast(e)) {
      if (auto* pf = AcDbPolyFaceMesh::cast(e)) {
        f[0] = "POLYFACE";
        f.push_back(std::to_string(pf->numVertices()));
        f.push_back(std::to_string(pf->numFaces()));
      } else if (auto* pm = AcDbPolygonMesh::cast(e)) {
        f[0] = "POLYMESH";
        for (int v : {int(pm->mSize()), int(pm->nSize()), int(pm->isMClosed()), int(pm->isNClosed()),
                      int(pm->polyMeshType())})
          f.push_back(std::to_string(v));
      } else if (auto* pl = AcDb3dPolyline::cast(e)) {
        f[0] = "POLYLINE3D";
        f.push_back(std::to_string(int(pl->isClosed())));
      }
      out.push_back(joined(f));
      for (const AcDbEntity* item : owner->items()) {
        std::vector<std::string> g;
        if (auto* v = AcDbVertex::cast(item)) {
          g.push_back("vertex");
          addPoint(g, v->position());
        } else if (auto* r = AcDbFaceRecord::cast(item)) {
          g.push_back("face");
          for (Adesk::UInt16 k = 0; k < 4; ++k) {
            Adesk::Int16 index = 0;
            r->getVertexAt(k, index);
            g.push_back(std::to_string(index));
          }
        }
        out.push_back(joined(g));
      }
      e->close();
      continue;
    }
    e->close();
    if (!f[0].empty()) out.push_back(joined(f));
  }
  return out;
}

// Listings agree field by field; numbers as doubles, exactly unless solidTolerance lets the
// corners of a SOLID (which pass through its coordinate system) differ by that much.
void expectSameListing(const std::vector<std::string>& want, const std::vector<std::string>& got,
                       double solidTolerance = 0) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    auto a = records(want[i]), b = records(got[i]);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    ASSERT_EQ(a[0].size(), b[0].size()) << want[i] << " | " << got[i];
    for (size_t k = 0; k < a[0].size(); ++k) {
      char *endA = nullptr, *endB = nullptr;
      double x = std::strtod(a[0][k].c_str(), &endA), y = std::strtod(b[0][k].c_str(), &endB);
      bool numeric = k > 0 && *endA == 0 && *endB == 0 && !a[0][k].empty();
      if (!numeric || a[0][0] != "SOLID" || solidTolerance == 0) {
        if (numeric) EXPECT_EQ(x, y) << want[i] << " | " << got[i] << " field " << k;
        else EXPECT_EQ(a[0][k], b[0][k]) << want[i] << " | " << got[i];
      } else {
        EXPECT_NEAR(x, y, solidTolerance * std::max(1.0, std::abs(x))) << want[i] << " | " << got[i];
      }
    }
  }
}

std::vector<std::string> listingOf(const std::string& text) {
  std::vector<std::string> out;
  static const std::set<std::string> kinds{"3DFACE", "SOLID", "POLYFACE", "POLYMESH", "POLYLINE3D", "vertex", "face"};
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    if (kinds.count(line.substr(0, line.find('\t')))) out.push_back(line);
  return out;
}

TEST_F(dxf, FacesSolidsAndVertexEntitiesRoundTripExactly) {
  buildMeshes();
  ASSERT_EQ(writeDrawing(db(), path("m.dxf")), Acad::eOk);
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  kv::dxf::ReadReport report;
  ASSERT_EQ(readDrawing(path("m.dxf"), back, error, &report), Acad::eOk) << error;
  EXPECT_EQ(report.entitiesRead, 9);
  EXPECT_TRUE(report.unsupported.empty());
  std::vector<std::string> want = faceListing(db());
  ASSERT_EQ(want.size(), 9u + 8 + 12 + 4 + 3 + 3);  // heads, then the items of the five owners
  expectSameListing(want, faceListing(*back));

  // What the listing leaves out: classes, linetypes, spline kinds, zero signs.
  std::vector<AcDbObjectId> a = modelEntities(db()), b = modelEntities(*back);
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    AcDbEntity *x = nullptr, *y = nullptr;
    ASSERT_EQ(acdbOpenObject(x, a[i], AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(acdbOpenObject(y, b[i], AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(x->isA(), y->isA()) << i;
    EXPECT_TRUE(x->color() == y->color()) << i;
    auto *p = AcDb3dPolyline::cast(x), *q = AcDb3dPolyline::cast(y);
    if (p && q) {
      EXPECT_EQ(p->polyType(), q->polyType()) << i;
    }
    auto *s = AcDbSolid::cast(x), *t = AcDbSolid::cast(y);
    if (s && t) {
      EXPECT_EQ(std::signbit(s->normal().x), std::signbit(t->normal().x)) << i;
    }
    x->close();
    y->close();
  }
}

TEST_F(dxf, TiltedSolidKeepsItsWorldCornersWithinRounding) {
  auto* solid = new AcDbSolid(AcGePoint3d(1, 2, 3), AcGePoint3d(4, -5, 6), AcGePoint3d(7, 8, -9));
  ASSERT_EQ(solid->setNormal(AcGeVector3d(0.6, -0.48, 0.64)), Acad::eOk);
  append(db(), solid, db().layerZero(), AcCmColor());
  ASSERT_EQ(writeDrawing(db(), path("t.dxf")), Acad::eOk);
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  ASSERT_EQ(readDrawing(path("t.dxf"), back, error), Acad::eOk) << error;
  expectSameListing(faceListing(db()), faceListing(*back), 1e-14);
  // The file holds the corners in the solid's own system. By the arbitrary-axis rule the normal
  // N = (0.6, -0.48, 0.64) is not near the world Z axis, so X = Wz x N = (0.48, 0.6, 0) / r and
  // Y = N x X = (-0.384, 0.3072, 0.5904) / r with r = sqrt(0.5904); the corner (1, 2, 3) is then
  // (1.68 / r, 2.0016 / r, 1.56).
  std::vector<Pair> pairs = pairsOf(readFile(path("t.dxf")));
  auto it = std::find_if(pairs.begin(), pairs.end(), [](const Pair& p) { return p.value == "AcDbTrace"; });
  ASSERT_NE(it, pairs.end());
  std::map<int, double> stored;
  for (++it; it != pairs.end() && it->code != 0; ++it) stored[it->code] = std::stod(it->value);
  EXPECT_NEAR(stored[10], 2.1864326664404845, 1e-14);
  EXPECT_NEAR(stored[20], 2.6049783483019486, 1e-14);
  EXPECT_NEAR(stored[30], 1.56, 1e-14);
  EXPECT_NEAR(stored[11], -1.4055638569974547, 1e-14);  // (4, -5, 6)
  EXPECT_NEAR(stored[21], 0.6122011466033355, 1e-14);
  EXPECT_NEAR(stored[31], 8.64, 1e-14);
  EXPECT_DOUBLE_EQ(stored[210], 0.6);
  EXPECT_DOUBLE_EQ(stored[220], -0.48);
  EXPECT_DOUBLE_EQ(stored[230], 0.64);
}

TEST_F(dxf, TrueColoursAreStoredAsGroup420BesideTheNearestIndex) {
  buildDrawing();
  ASSERT_EQ(writeDrawing(db(), path("c.dxf")), Acad::eOk);
  // The groups of each LAYER entry and entity, by the name or layer it carries.
  std::map<std::string, std::map<int, std::string>> layers, lines;
  std::vector<Pair> pairs = pairsOf(readFile(path("c.dxf")));
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (pairs[i].code != 0 || (pairs[i].value != "LAYER" && pairs[i].value != "LINE")) continue;
    std::map<int, std::string> groups;
    for (size_t j = i + 1; j < pairs.size() && pairs[j].code != 0; ++j) groups[pairs[j].code] = pairs[j].value;
    (pairs[i].value == "LAYER" ? layers[groups[2]] : lines[groups[8]]) = groups;
  }
  // 0x0C2238 = 795192; (12, 34, 56) is nearest to ACI 149 (19, 33, 38), and the layer is off.
  EXPECT_EQ(layers["True colour"][420], "795192");
  EXPECT_EQ(layers["True colour"][62], "-149");
  EXPECT_EQ(layers["Red"].count(420), 0u);
  EXPECT_EQ(layers["Red"][62], "1");
  // 0xFF8001 = 16744449, 1 away from ACI 30 (255, 128, 0).
  EXPECT_EQ(lines["True colour"][420], "16744449");
  EXPECT_EQ(lines["True colour"][62], "30");

  // Read: 420 holds 0x00RRGGBB and wins over 62, whichever comes first.
  std::string text = "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n"
                     "  0\nLAYER\n  2\nTC\n 70\n0\n 62\n5\n420\n1193046\n  6\nContinuous\n"
                     "  0\nLAYER\n  2\nFirst\n 70\n0\n420\n16711935\n 62\n-3\n  6\nContinuous\n"
                     "  0\nENDTAB\n  0\nENDSEC\n  0\nEOF\n";
  writeFile(path("tc.dxf"), text);
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  ASSERT_EQ(readDrawing(path("tc.dxf"), back, error), Acad::eOk) << error;
  AcCmColor tc = layerState(*back, "TC").color;
  EXPECT_TRUE(tc.isByColor());
  EXPECT_EQ(tc.red(), 0x12);
  EXPECT_EQ(tc.green(), 0x34);
  EXPECT_EQ(tc.blue(), 0x56);
  LayerState first = layerState(*back, "First");
  EXPECT_TRUE(first.color.isByColor());
  EXPECT_EQ(first.color.red(), 255);
  EXPECT_EQ(first.color.green(), 0);
  EXPECT_EQ(first.color.blue(), 255);
  EXPECT_TRUE(first.off);
}

TEST_F(dxf, WrittenPolylinesHaveTheStructureReadersNeed) {
  buildMeshes();
  ASSERT_EQ(writeDrawing(db(), path("s.dxf")), Acad::eOk);
  std::vector<Pair> pairs = pairsOf(readFile(path("s.dxf")));
  std::set<std::string> handles;
  int polylines = 0;
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (pairs[i].code != 0 || pairs[i].value != "POLYLINE") continue;
    ++polylines;
    std::string own = pairs[i + 1].value;
    std::map<int, std::string> head;
    std::vector<std::string> markers;
    size_t j = i + 1;
    for (; pairs[j].code != 0; ++j) {
      if (pairs[j].code == 100) markers.push_back(pairs[j].value);
      else head[pairs[j].code] = pairs[j].value;
    }
    EXPECT_EQ(markers.size(), 2u);
    EXPECT_EQ(head[66], "1");
    for (int code : {10, 20, 30}) EXPECT_EQ(std::stod(head.at(code)), 0.0) << code;  // the dummy point
    int flags = std::stoi(head[70]);
    // VERTEX ... SEQEND, each owned by the polyline under a handle of its own.
    int corners = 0, faces = 0;
    bool faceSeen = false;
    for (;;) {
      ASSERT_EQ(pairs[j].code, 0);
      std::string kind = pairs[j].value;
      ASSERT_TRUE(kind == "VERTEX" || kind == "SEQEND") << kind;
      EXPECT_EQ(pairs[j + 1].code, 5);
      EXPECT_TRUE(handles.insert(pairs[j + 1].value).second) << "duplicate handle " << pairs[j + 1].value;
      EXPECT_EQ(pairs[j + 2].code, 330);
      EXPECT_EQ(pairs[j + 2].value, own);
      std::vector<std::string> vm;
      std::map<int, int> v;
      for (++j; pairs[j].code != 0; ++j) {
        if (pairs[j].code == 100) vm.push_back(pairs[j].value);
        if (pairs[j].code >= 70 && pairs[j].code <= 74) v[pairs[j].code] = std::stoi(pairs[j].value);
      }
      if (kind == "SEQEND") break;
      if (v[70] == 128) {
        EXPECT_EQ(vm, (std::vector<std::string>{"AcDbEntity", "AcDbFaceRecord"}));
        faceSeen = true;
        ++faces;
        for (int code = 71; code <= 74; ++code) EXPECT_LE(std::abs(v[code]), std::stoi(head[71]));
      } else {
        EXPECT_FALSE(faceSeen) << "coordinates after a face record";
        ++corners;
        ASSERT_EQ(vm.size(), 3u);
        EXPECT_EQ(vm[1], "AcDbVertex");
        EXPECT_EQ(v[70], flags & 64 ? 192 : flags & 16 ? 64 : 32);
        EXPECT_EQ(vm[2], flags & 64 ? "AcDbPolyFaceMeshVertex" : flags & 16 ? "AcDbPolygonMeshVertex"
                                                                            : "AcDb3dPolylineVertex");
      }
    }
    if (flags & 64) {
      EXPECT_EQ(markers[1], "AcDbPolyFaceMesh");
      EXPECT_EQ(std::stoi(head[71]), corners);
      EXPECT_EQ(std::stoi(head[72]), faces);
    } else if (flags & 16) {
      EXPECT_EQ(markers[1], "AcDbPolygonMesh");
      EXPECT_EQ(std::stoi(head[71]) * std::stoi(head[72]), corners);
    } else {
      EXPECT_EQ(markers[1], "AcDb3dPolyline");
    }
  }
  EXPECT_EQ(polylines, 5);
}

TEST_F(dxf, ReadsR12PolylinesFacesAndSolidsWhateverTheirOrder) {
  // No markers, no handles; a polyface whose counts lie and whose face record comes before its
  // last vertex; corners in reverse group order; a SOLID without its fourth corner; a
  // smoothed polygon mesh whose fitted vertices are left out; a 2D polyline.
  std::string v = "0\nVERTEX\n8\n0\n";
  std::string text =
      "0\nSECTION\n2\nENTITIES\n"
      "0\nPOLYLINE\n8\nM\n62\n5\n66\n1\n10\n0\n20\n0\n30\n0\n70\n64\n71\n9\n72\n9\n" +
      v + "10\n0\n20\n0\n30\n0\n70\n192\n" + v + "10\n1\n20\n0\n30\n0\n70\n192\n" + v +
      "10\n0\n20\n0\n30\n0\n70\n128\n71\n1\n72\n-2\n73\n3\n" + v + "10\n1\n20\n1\n30\n0.5\n70\n192\n" +
      "0\nSEQEND\n8\nM\n"
      "0\nPOLYLINE\n8\n0\n66\n1\n70\n53\n71\n2\n72\n2\n75\n6\n" + v + "10\n0\n20\n0\n30\n0\n70\n64\n" + v +
      "10\n0.5\n20\n0.5\n30\n0\n70\n72\n" + v + "10\n1\n20\n0\n30\n0\n70\n64\n" + v + "10\n0\n20\n1\n30\n0\n70\n64\n" +
      v + "10\n1\n20\n1\n30\n2\n70\n64\n0\nSEQEND\n"
      "0\nPOLYLINE\n8\n0\n70\n9\n" + v + "10\n1\n20\n2\n30\n3\n70\n32\n" + v + "10\n4\n20\n5\n30\n6\n70\n32\n0\nSEQEND\n"
      "0\nPOLYLINE\n8\n0\n70\n1\n" + v + "10\n1\n20\n2\n30\n0\n" + v + "10\n4\n20\n5\n30\n0\n0\nSEQEND\n"
      "0\n3DFACE\n8\n0\n70\n10\n13\n0.0\n23\n-2.1\n33\n0.05\n12\n0.556461\n22\n-2.028444\n32\n0.05\n"
      "11\n0.5375\n21\n-2.028444\n31\n-0.120818\n10\n0.5375\n20\n-2.028444\n30\n-0.120818\n"
      "0\nSOLID\n8\n0\n39\n1.5\n10\n0\n20\n0\n30\n2\n11\n1\n21\n0\n31\n2\n12\n0\n22\n1\n32\n2\n"
      "0\nENDSEC\n0\nEOF\n";
  writeFile(path("r12m.dxf"), text);
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  kv::dxf::ReadReport report;
  ASSERT_EQ(readDrawing(path("r12m.dxf"), back, error, &report), Acad::eOk) << error;
  EXPECT_EQ(report.entitiesRead, 6);
  EXPECT_TRUE(report.unsupported.empty());
  expectSameListing(faceListing(*back), {
                                            "POLYFACE\tM\t5\t3\t1",
                                            "vertex\t0\t0\t0",
                                            "vertex\t1\t0\t0",
                                            "vertex\t1\t1\t0.5",
                                            "face\t1\t-2\t3\t0",
                                            "POLYMESH\t0\t256\t2\t2\t1\t1\t6",
                                            "vertex\t0\t0\t0",
                                            "vertex\t1\t0\t0",
                                            "vertex\t0\t1\t0",
                                            "vertex\t1\t1\t2",
                                            "POLYLINE3D\t0\t256\t1",
                                            "vertex\t1\t2\t3",
                                            "vertex\t4\t5\t6",
                                            "3DFACE\t0\t256\t10\t0.5375\t-2.028444\t-0.120818\t0.5375\t-2.028444\t"
                                            "-0.120818\t0.556461\t-2.028444\t0.05\t0\t-2.1\t0.05",
                                            "SOLID\t0\t256\t1.5\t0\t0\t1\t0\t0\t2\t1\t0\t2\t0\t1\t2\t0\t1\t2",
                                        });
}

// A polyline the host cannot hold is kept as read, with the host's reason in its note; the file
// is refused only where it ends among the vertices.
TEST_F(dxf, PolylinesTheHostCannotHoldAreKeptAsRead) {
  const std::string head = "0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n8\n0\n70\n64\n";  // POLYLINE on line 5
  const std::string tail = "0\nSEQEND\n0\nENDSEC\n0\nEOF\n";
  auto vertex = [](int x) { return "0\nVERTEX\n10\n" + std::to_string(x) + "\n20\n0\n30\n0\n70\n192\n"; };
  auto face = [](int a, int b, int c, int d) {
    return "0\nVERTEX\n70\n128\n71\n" + std::to_string(a) + "\n72\n" + std::to_string(b) + "\n73\n" +
           std::to_string(c) + "\n74\n" + std::to_string(d) + "\n";
  };
  const std::string three = vertex(0) + vertex(1) + vertex(2);  // VERTEX entities on lines 11, 21, 31
  std::string many;
  for (int i = 0; i <= AcDbPolyFaceMesh::kMaxCount; ++i) many += vertex(i);
  std::string manyFaces;
  for (int i = 0; i <= AcDbPolyFaceMesh::kMaxCount; ++i) manyFaces += face(1, 2, -3, 0);
  struct Case {
    const char* name;
    std::string text;
    const char* message;
  };
  const Case cases[] = {
      {"index past the vertices", head + three + face(1, 2, -4, 0) + tail, "line 41: face record 1 2 -4 0 names a vertex"},
      {"a vertex after index 0", head + three + face(1, 0, 2, 0) + tail, "(status 55)"},
      {"index past 16 bits", head + three + face(1, 2, 40000, 0) + tail, "line 41: face record names vertex 40000 (status 55)"},
      {"32,768 vertices", head + many + tail, "line 5: polyface mesh has 32768 vertices, more than 32767 (status 56)"},
      {"32,768 faces", head + three + manyFaces + tail, "line 5: polyface mesh has 32768 faces, more than 32767 (status 55)"},
      {"no SEQEND before ENDSEC", head + three + "0\nENDSEC\n0\nEOF\n",
       "line 41: the POLYLINE of line 5 ends without SEQEND"},
      {"no SEQEND before an entity", head + three + "0\nLINE\n0\nENDSEC\n0\nEOF\n", "without SEQEND"},
      {"grid with a hole", "0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n8\n0\n70\n16\n71\n2\n72\n2\n" + three + tail,
       "line 5: polygon mesh of 2 x 2 vertices holds 3"},
      {"bad vertex flag", head + "0\nVERTEX\n70\nx\n" + tail, "line 13: group 70 is not an integer"},
      {"flat solid", "0\nSECTION\n2\nENTITIES\n0\nSOLID\n210\n0\n220\n0\n230\n0\n0\nENDSEC\n0\nEOF\n",
       "line 11: extrusion direction has no length"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(path("bad.dxf"), c.text);
    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    kv::dxf::ReadReport report;
    ASSERT_EQ(readDrawing(path("bad.dxf"), back, error, &report), Acad::eOk) << error;
    ASSERT_EQ(report.notes.size(), 1u);
    EXPECT_NE(report.notes[0].find(c.message), std::string::npos) << report.notes[0];
    EXPECT_EQ(report.notes[0].rfind("line 5: ", 0), 0u) << report.notes[0];
    std::vector<AcDbObjectId> ids = modelEntities(*back);
    ASSERT_FALSE(ids.empty());
    EXPECT_FALSE(keptName(ids[0]).empty());
    // Saved, it is the same entity again, vertices and all.
    ASSERT_EQ(writeDrawing(*back, path("saved.dxf")), Acad::eOk);
    std::vector<Pair> in = pairsOf(c.text), out = pairsOf(readFile(path("saved.dxf")));
    auto vertices = [](const std::vector<Pair>& pairs) {
      return std::count_if(pairs.begin(), pairs.end(), [](const Pair& p) { return p.code == 0 && p.value == "VERTEX"; });
    };
    EXPECT_EQ(vertices(out), vertices(in));
    std::unique_ptr<AcDbDatabase> again;
    kv::dxf::ReadReport second;
    ASSERT_EQ(readDrawing(path("saved.dxf"), again, error, &second), Acad::eOk) << error;
    EXPECT_EQ(second.unsupported, report.unsupported);
  }
  writeFile(path("cut.dxf"), head + three);
  std::unique_ptr<AcDbDatabase> cut;
  std::string why;
  EXPECT_EQ(readDrawing(path("cut.dxf"), cut, why), Acad::eBadDxfFile);
  EXPECT_NE(why.find("line 41: file ends inside"), std::string::npos) << why;
  // At the limit the host holds the mesh whole.
  std::string limit;
  for (int i = 0; i < AcDbPolyFaceMesh::kMaxCount; ++i) limit += vertex(i);
  writeFile(path("limit.dxf"), head + limit + face(32767, -1, 2, 0) + tail);
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  ASSERT_EQ(readDrawing(path("limit.dxf"), back, error), Acad::eOk) << error;
  AcDbPolyFaceMesh* mesh = nullptr;
  ASSERT_EQ(acdbOpenObject(mesh, modelEntities(*back).at(0), AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(mesh->numVertices(), 32767);
  EXPECT_EQ(mesh->numFaces(), 1);
  mesh->close();
}

TEST_F(dxf, TruncatedOrDamagedMeshFilesGiveAStatus) {
  buildMeshes();
  ASSERT_EQ(writeDrawing(db(), path("full.dxf")), Acad::eOk);
  const std::string full = readFile(path("full.dxf"));
  const size_t from = full.find("ENTITIES"), to = full.find("OBJECTS");
  ASSERT_LT(from, to);
  for (size_t n = from; n < to; n += 3) {
    writeFile(path("cut.dxf"), full.substr(0, n));
    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    ASSERT_EQ(readDrawing(path("cut.dxf"), back, error), Acad::eBadDxfFile) << n;
    EXPECT_EQ(error.rfind("line ", 0), 0u) << n << ": " << error;
  }
  std::mt19937 rng(7);
  const std::string_view alphabet = "-0123456789\n.eE xVERTEXSEQEND";  // bytes that keep a file nearly sound
  for (int round = 0; round < 300; ++round) {
    std::string text = full;
    for (int k = 0; k < 3; ++k) text[from + rng() % (to - from)] = alphabet[rng() % alphabet.size()];
    writeFile(path("noise.dxf"), text);
    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    if (readDrawing(path("noise.dxf"), back, error) != Acad::eOk) {
      EXPECT_FALSE(back);
      EXPECT_FALSE(error.empty()) << round;
    }
  }
}

TEST_F(dxf, CountsFacesSolidsAndMeshesOfOutsideFiles) {
  fs::path folder = fs::path(KV_SHARED_DIR) / "testdata" / "dxf";
  KV_SKIP_UNLESS(fs::is_directory(folder), "the outside DXF files at " << folder);
  // Counted once with ezdxf 0.18.1 (model space only).
  struct Expect {
    const char* file;
    int polyfaces, polyfaceVertices, polyfaceFaces, invisibleEdges, faces3d, solids, polylines3d;
  };
  const Expect files[] = {
      {"acadsharp_sample_AC1018_ascii.dxf", 1, 5, 2, 2, 1, 1, 1},
      {"assimp_PinkEggFromLW.dxf", 0, 0, 0, 0, 288, 0, 0},
      {"assimp_issue_2229_turbocad.dxf", 4, 768, 1290, 300, 0, 0, 0},
      {"ezdxf_3dsolids.dxf", 0, 0, 0, 0, 0, 0, 0},
      {"ezdxf_torus_r2000.dxf", 0, 0, 0, 0, 0, 0, 0},
  };
  for (const Expect& x : files) {
    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    ASSERT_EQ(readDrawing((folder / x.file).string(), back, error), Acad::eOk) << x.file << ": " << error;
    Expect got{x.file, 0, 0, 0, 0, 0, 0, 0};
    for (AcDbObjectId id : modelEntities(*back)) {
      AcDbEntity* e = nullptr;
      ASSERT_EQ(acdbOpenObject(e, id, AcDb::kForRead), Acad::eOk);
      got.faces3d += AcDbFace::cast(e) != nullptr;
      got.solids += AcDbSolid::cast(e) != nullptr;
      got.polylines3d += AcDb3dPolyline::cast(e) != nullptr;
      if (auto* pf = AcDbPolyFaceMesh::cast(e)) {
        ++got.polyfaces;
        got.polyfaceVertices += pf->numVertices();
        got.polyfaceFaces += pf->numFaces();
        for (const AcDbEntity* item : pf->items())
          for (Adesk::UInt16 k = 0; k < 4; ++k)
            if (auto* r = AcDbFaceRecord::cast(item)) {
              bool visible = true;
              r->isEdgeVisibleAt(k, visible);
              got.invisibleEdges += !visible;
            }
      }
      e->close();
    }
    EXPECT_EQ(got.polyfaces, x.polyfaces) << x.file;
    EXPECT_EQ(got.polyfaceVertices, x.polyfaceVertices) << x.file;
    EXPECT_EQ(got.polyfaceFaces, x.polyfaceFaces) << x.file;
    EXPECT_EQ(got.invisibleEdges, x.invisibleEdges) << x.file;
    EXPECT_EQ(got.faces3d, x.faces3d) << x.file;
    EXPECT_EQ(got.solids, x.solids) << x.file;
    EXPECT_EQ(got.polylines3d, x.polylines3d) << x.file;
  }
  // The egg's corners come as 13, 12, 11, 10; corner i is still group 10 + i.
  std::unique_ptr<AcDbDatabase> egg;
  std::string error;
  ASSERT_EQ(readDrawing((folder / "assimp_PinkEggFromLW.dxf").string(), egg, error), Acad::eOk) << error;
  std::vector<std::string> listing = faceListing(*egg);
  ASSERT_FALSE(listing.empty());
  expectSameListing({"3DFACE\t0\t256\t0\t0.5375\t-2.028444\t-0.120818\t0.5375\t-2.028444\t-0.120818\t0.556461\t"
                     "-2.028444\t0.05\t0\t-2.1\t0.05"},
                    {listing[0]});
}

TEST_F(dxf, EzdxfReadsOurFacesSolidsAndMeshes) {
  KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
  buildMeshes();
  auto* tilted = new AcDbSolid(AcGePoint3d(1, 2, 3), AcGePoint3d(4, -5, 6), AcGePoint3d(7, 8, -9));
  ASSERT_EQ(tilted->setNormal(AcGeVector3d(0.6, -0.48, 0.64)), Acad::eOk);
  append(db(), tilted, db().layerZero(), AcCmColor());
  ASSERT_EQ(writeDrawing(db(), path("ours.dxf")), Acad::eOk);
  int status = 0;
  std::string out = runProcess("/usr/bin/python3 " KV_SOURCE_DIR "/tests/interop/ezdxf_read.py " + path("ours.dxf") + " 2>&1", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("audit\t0\t0"), std::string::npos) << out;
  // ezdxf's own arbitrary-axis rule turns the tilted solid's corners back into ours.
  std::vector<std::string> theirs = listingOf(out);
  expectSameListing(faceListing(db()), theirs, 1e-14);
  // The first face's (1, 2, 3) is nearest to ACI 178 (0, 0, 38), at 1 + 4 + 1225 = 1230
  // against 1290 for 168 (0, 10, 38).
  ASSERT_FALSE(theirs.empty());
  EXPECT_EQ(records(theirs[0])[0][2], "178") << theirs[0];
}

TEST_F(dxf, ReadsFacesSolidsAndMeshesEzdxfWrites) {
  KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
  int status = 0;
  std::string out = runProcess(
      "/usr/bin/python3 " KV_SOURCE_DIR "/tests/interop/ezdxf_write.py " + path("theirs.dxf") + " meshes 2>&1", status);
  ASSERT_EQ(status, 0) << out;
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  kv::dxf::ReadReport report;
  ASSERT_EQ(readDrawing(path("theirs.dxf"), back, error, &report), Acad::eOk) << error;
  EXPECT_EQ(report.entitiesRead, 8);
  EXPECT_TRUE(report.unsupported.empty());
  std::vector<std::string> theirs = listingOf(out);
  ASSERT_EQ(theirs.size(), 7u + 7 + 12 + 3);
  expectSameListing(theirs, faceListing(*back), 1e-14);
}

// ---------------------------------------------------------------------------------------------
// Solids, bodies and regions with their ACIS data

struct Measure {
  std::string cls, layer;
  double volume = 0, area = 0;
};

std::vector<Measure> measureModelers(AcDbDatabase& db) {
  std::vector<Measure> out;
  for (AcDbObjectId id : modelEntities(db)) {
    AcDbEntity* e = nullptr;
    EXPECT_EQ(acdbOpenObject(e, id, AcDb::kForRead), Acad::eOk);
    if (!e) continue;
    if (const auto* m = AcDbModelerEntity::cast(e)) {
      Measure x{e->isA()->name(), e->layer().GetString()};
      if (!m->isNull()) {
        GProp_GProps v, a;
        BRepGProp::VolumeProperties(kv::modeler::shapeOf(*m), v, 1e-9);
        BRepGProp::SurfaceProperties(kv::modeler::shapeOf(*m), a, 1e-9);
        x.volume = v.Mass();
        x.area = a.Mass();
      }
      out.push_back(x);
    }
    e->close();
  }
  return out;
}

void expectSameMeasures(const std::vector<Measure>& a, const std::vector<Measure>& b, const std::string& what) {
  ASSERT_EQ(a.size(), b.size()) << what;
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].cls, b[i].cls) << what << " #" << i;
    EXPECT_EQ(a[i].layer, b[i].layer) << what << " #" << i;
    EXPECT_NEAR(a[i].volume, b[i].volume, 1e-6 * std::max(1.0, std::abs(a[i].volume))) << what << " #" << i;
    EXPECT_NEAR(a[i].area, b[i].area, 1e-6 * std::max(1.0, a[i].area)) << what << " #" << i;
  }
}

TEST_F(dxf, SolidsOfOutsideFilesAreReadAndSurviveAWriteAndRead) {
  fs::path folder = fs::path(KV_SHARED_DIR) / "testdata" / "dxf";
  KV_SKIP_UNLESS(fs::is_directory(folder), "the outside DXF files at " << folder);
  struct Expect {
    const char* file;
    std::vector<std::string> classes;
    int otherSpace;  // at least this many in other blocks
  };
  const Expect files[] = {
      // The fifth solid, a cone, stands in a block definition.
      {"ezdxf_3dsolids.dxf", {"AcDb3dSolid", "AcDb3dSolid", "AcDb3dSolid", "AcDb3dSolid"}, 1},
      {"ezdxf_torus_r2000.dxf", {"AcDb3dSolid"}, 0},
      // SAT 20800 from a CAD host, without the end marker.
      {"acadsharp_sample_AC1018_ascii.dxf", {"AcDb3dSolid", "AcDbRegion", "AcDb3dSolid"}, 1},
  };
  for (const Expect& x : files) {
    SCOPED_TRACE(x.file);
    std::unique_ptr<AcDbDatabase> first;
    std::string error;
    kv::dxf::ReadReport report;
    ASSERT_EQ(readDrawing((folder / x.file).string(), first, error, &report), Acad::eOk) << error;
    EXPECT_EQ(report.unsupported.count("3DSOLID") + report.unsupported.count("REGION") +
                  report.unsupported.count("BODY"),
              0u);
    EXPECT_TRUE(report.notes.empty()) << report.notes.front();
    int outside = 0;
    AcDbBlockTable* blocks = nullptr;
    ASSERT_EQ(first->getBlockTable(blocks), Acad::eOk);
    for (AcDbObjectId record : blocks->recordIds())
      if (record != first->modelSpaceId())
        for (AcDbObjectId id : entitiesOf(*first, record)) outside += keptName(id).empty();
    blocks->close();
    EXPECT_GE(outside, x.otherSpace);
    std::vector<Measure> before = measureModelers(*first);
    ASSERT_EQ(before.size(), x.classes.size());
    for (size_t i = 0; i < before.size(); ++i) {
      EXPECT_EQ(before[i].cls, x.classes[i]) << i;
      if (before[i].cls == "AcDb3dSolid") {
        EXPECT_GT(before[i].volume, 0) << i;
      }
      EXPECT_GT(before[i].area, 0) << i;
    }
    ASSERT_EQ(writeDrawing(*first, path("again.dxf")), Acad::eOk);
    std::unique_ptr<AcDbDatabase> second;
    ASSERT_EQ(readDrawing(path("again.dxf"), second, error), Acad::eOk) << error;
    expectSameMeasures(before, measureModelers(*second), x.file);
  }

  // The torus file's own SAT holds a torus-surface of radii 32 and 10 about Z and a transform
  // that moves it by (128, 135, 0): volume 2 pi^2 R r^2, area 4 pi^2 R r, and a box of
  // 128 +- 42, 135 +- 42, 0 +- 10.
  std::unique_ptr<AcDbDatabase> torus;
  std::string error;
  ASSERT_EQ(readDrawing((folder / "ezdxf_torus_r2000.dxf").string(), torus, error), Acad::eOk) << error;
  std::vector<Measure> m = measureModelers(*torus);
  ASSERT_EQ(m.size(), 1u);
  const double pi2 = std::numbers::pi * std::numbers::pi;
  EXPECT_NEAR(m[0].volume, 6400 * pi2, 1e-6 * 6400 * pi2);
  EXPECT_NEAR(m[0].area, 1280 * pi2, 1e-6 * 1280 * pi2);
  AcDbEntity* e = nullptr;
  ASSERT_EQ(acdbOpenObject(e, modelEntities(*torus).at(0), AcDb::kForRead), Acad::eOk);
  AcDbExtents box;
  EXPECT_EQ(e->getGeomExtents(box), Acad::eOk);
  e->close();
  const AcGePoint3d lo(86, 93, -10), hi(170, 177, 10);
  for (unsigned k = 0; k < 3; ++k) {
    EXPECT_NEAR(box.minPoint()[k], lo[k], 1e-6) << k;
    EXPECT_NEAR(box.maxPoint()[k], hi[k], 1e-6) << k;
  }
}

// A box with a hole on a layer in a true colour, a body (the box's shell), a region (a face of
// the box) and a null solid.
void buildModelers(AcDbDatabase& db, AcDbObjectId layer) {
  auto* holed = new AcDb3dSolid;
  ASSERT_EQ(holed->createBox(4, 4, 2), Acad::eOk);
  AcDb3dSolid drill;
  ASSERT_EQ(drill.createFrustum(3, 1, 1, 1), Acad::eOk);
  ASSERT_EQ(holed->booleanOper(AcDb::kBoolSubtract, &drill), Acad::eOk);
  holed->transformBy(AcGeMatrix3d::translation(AcGeVector3d(-5, 1, -3)));
  append(db, holed, layer, trueColor(10, 200, 30));
  AcDb3dSolid box;
  ASSERT_EQ(box.createBox(1, 2, 3), Acad::eOk);
  auto* body = new AcDbBody;
  ASSERT_EQ(body->setBody(box.body()), Acad::eOk);
  append(db, body, db.layerZero(), indexColor(4));
  AcDbVoidPtrArray pieces;
  ASSERT_EQ(box.explode(pieces), Acad::eOk);
  ASSERT_FALSE(pieces.isEmpty());
  for (int i = 0; i < pieces.length(); ++i) {
    auto* piece = static_cast<AcDbEntity*>(pieces[i]);
    if (i == 0) append(db, piece, layer, AcCmColor());
    else delete piece;
  }
  append(db, new AcDb3dSolid, db.layerZero(), AcCmColor());
}

std::string decodeStored(const std::string& stored) {
  std::string out;
  for (size_t i = 0; i < stored.size(); ++i) {
    auto c = static_cast<unsigned char>(stored[i]);
    if (c == '^' && i + 1 < stored.size() && stored[i + 1] == ' ') ++i;
    out += c > 32 && c < 127 ? char(159 - c) : char(c);
  }
  return out;
}

TEST_F(dxf, SolidsBodiesAndRegionsRoundTripWithTheirGroups) {
  AcDbObjectId layer = addLayer(db(), "Parts", indexColor(2));
  buildModelers(db(), layer);
  std::vector<Measure> before = measureModelers(db());
  ASSERT_EQ(writeDrawing(db(), path("m.dxf")), Acad::eOk);

  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  kv::dxf::ReadReport report;
  ASSERT_EQ(readDrawing(path("m.dxf"), back, error, &report), Acad::eOk) << error;
  EXPECT_TRUE(report.unsupported.empty());
  expectSameMeasures(before, measureModelers(*back), "round trip");
  std::vector<AcDbObjectId> ids = modelEntities(*back);
  ASSERT_EQ(ids.size(), 4u);
  AcDbEntity* e = nullptr;
  ASSERT_EQ(acdbOpenObject(e, ids[0], AcDb::kForRead), Acad::eOk);
  EXPECT_TRUE(e->color().isByColor());
  EXPECT_EQ(e->color().red(), 10);
  EXPECT_EQ(e->color().green(), 200);
  EXPECT_EQ(e->color().blue(), 30);
  e->close();
  ASSERT_EQ(acdbOpenObject(e, ids[3], AcDb::kForRead), Acad::eOk);
  EXPECT_TRUE(AcDb3dSolid::cast(e) && AcDb3dSolid::cast(e)->isNull());
  e->close();

  // The groups as R2004 writes them: no AcDb3dSolid subclass, version 1, SAT 7.0 encoded.
  std::vector<Pair> pairs = pairsOf(readFile(path("m.dxf")));
  std::vector<std::string> names;
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (pairs[i].code != 0 || (pairs[i].value != "3DSOLID" && pairs[i].value != "BODY" && pairs[i].value != "REGION"))
      continue;
    names.push_back(pairs[i].value);
    std::vector<Pair> own;
    for (size_t j = i + 1; j < pairs.size() && pairs[j].code != 0; ++j) own.push_back(pairs[j]);
    auto marker = std::find_if(own.begin(), own.end(), [](const Pair& p) { return p.value == "AcDbModelerGeometry"; });
    ASSERT_NE(marker, own.end());
    ASSERT_LT(marker + 1, own.end());
    EXPECT_EQ(marker[1].code, 70);
    EXPECT_EQ(std::stoi(marker[1].value), 1);
    std::string sat;
    std::vector<std::string> stored;
    for (const Pair& p : own) {
      EXPECT_NE(p.value, "AcDb3dSolid");
      EXPECT_LE(p.value.size(), 255u);
      if (p.code == 1) {
        sat += decodeStored(p.value) + "\n";
        stored.push_back(p.value);
      }
    }
    if (names.size() == 4) {
      EXPECT_TRUE(sat.empty());  // the null solid
    } else {
      // The stored text itself, each character c as 159 - c and 'A' as "^ ": "700 0 1 0",
      // "11 ACIS 7.0 NT" inside the second line, and "End-of-ACIS-data".
      ASSERT_GE(stored.size(), 4u);
      EXPECT_EQ(stored[0], "hoo o n o");
      EXPECT_NE(stored[1].find("nn ^ \\VL hqo QK "), std::string::npos) << stored[1];
      EXPECT_EQ(stored.back(), "Z1;r09r^ \\VLr;>+>");
      EXPECT_EQ(sat.rfind("700 0 1 0\n", 0), 0u) << sat.substr(0, 40);
      EXPECT_NE(sat.find("ACIS 7.0 NT"), std::string::npos);  // 'A' stored as "^ "
      EXPECT_NE(sat.find("End-of-ACIS-data\n"), std::string::npos);
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"3DSOLID", "BODY", "REGION", "3DSOLID"}));
}

// SAT text as DXF stores it, one group 1 per line: each printable c as 159 - c, and the caret
// that 'A' becomes followed by a space.
std::string storedSatLines(const std::string& sat) {
  std::string out, line;
  std::istringstream lines(sat);
  while (std::getline(lines, line)) {
    out += "1\n";
    for (char ch : line) {
      auto c = static_cast<unsigned char>(ch);
      out += c > 32 && c < 127 ? char(159 - c) : ch;
      if (out.back() == '^') out += ' ';
    }
    out += "\n";
  }
  return out;
}

// How many solids each modeller entity of model space holds.
std::vector<int> solidsPerEntity(AcDbDatabase& db) {
  std::vector<int> out;
  for (AcDbObjectId id : modelEntities(db)) {
    AcDbEntity* e = nullptr;
    EXPECT_EQ(acdbOpenObject(e, id, AcDb::kForRead), Acad::eOk);
    if (!e) continue;
    if (const auto* m = AcDbModelerEntity::cast(e)) {
      int n = 0;
      for (TopExp_Explorer x(kv::modeler::shapeOf(*m), TopAbs_SOLID); x.More(); x.Next()) ++n;
      out.push_back(n);
    }
    e->close();
  }
  return out;
}

// A 3DSOLID's ACIS data may hold several bodies, or a body several lumps: the entity holds them
// all, also once written and read again. The solids are whole spheres and tori (faces without
// loops), so their measures are known: a unit sphere and a torus of radii 3 and 1 as two
// bodies; a sphere of radius 2 and a torus of radii 4 and 1 as two lumps of one body.
TEST_F(dxf, SolidOfSeveralBodiesOrLumpsIsOneEntityHoldingThemAll) {
  const std::string head = "8 somebody 11 ACIS 7.0 NT 24 Thu Jan 16 12:00:00 2025\n1 9.9999999999999995e-007 1e-010\n";
  const std::string twoBodies =
      "700 0 2 0\n" + head +
      "-0 body $-1 -1 $-1 $2 $-1 $-1 #\n"
      "-1 body $-1 -1 $-1 $3 $-1 $-1 #\n"
      "-2 lump $-1 -1 $-1 $-1 $4 $0 #\n"
      "-3 lump $-1 -1 $-1 $-1 $5 $1 #\n"
      "-4 shell $-1 -1 $-1 $-1 $-1 $6 $-1 $2 #\n"
      "-5 shell $-1 -1 $-1 $-1 $-1 $7 $-1 $3 #\n"
      "-6 face $-1 -1 $-1 $-1 $-1 $4 $-1 $8 forward single #\n"
      "-7 face $-1 -1 $-1 $-1 $-1 $5 $-1 $9 forward single #\n"
      "-8 sphere-surface $-1 -1 $-1 0 0 0 1 1 0 0 0 0 1 forward_v I I I I #\n"
      "-9 torus-surface $-1 -1 $-1 10 0 0 0 0 1 3 1 1 0 0 forward_v I I I I #\n"
      "End-of-ACIS-data\n";
  const std::string twoLumps =
      "700 0 1 0\n" + head +
      "-0 body $-1 -1 $-1 $1 $-1 $-1 #\n"
      "-1 lump $-1 -1 $-1 $2 $3 $0 #\n"
      "-2 lump $-1 -1 $-1 $-1 $4 $0 #\n"
      "-3 shell $-1 -1 $-1 $-1 $-1 $5 $-1 $1 #\n"
      "-4 shell $-1 -1 $-1 $-1 $-1 $6 $-1 $2 #\n"
      "-5 face $-1 -1 $-1 $-1 $-1 $3 $-1 $7 forward single #\n"
      "-6 face $-1 -1 $-1 $-1 $-1 $4 $-1 $8 forward single #\n"
      "-7 sphere-surface $-1 -1 $-1 0 0 20 2 1 0 0 0 0 1 forward_v I I I I #\n"
      "-8 torus-surface $-1 -1 $-1 0 0 -20 0 0 1 4 1 1 0 0 forward_v I I I I #\n"
      "End-of-ACIS-data\n";
  const std::string solid = "0\n3DSOLID\n8\n0\n100\nAcDbEntity\n100\nAcDbModelerGeometry\n70\n1\n";
  writeFile(path("several.dxf"), "0\nSECTION\n2\nENTITIES\n" + solid + storedSatLines(twoBodies) + solid +
                                     storedSatLines(twoLumps) + "0\nENDSEC\n0\nEOF\n");

  const double pi = std::numbers::pi;
  const double volumes[2] = {4 * pi / 3 + 2 * pi * pi * 3, 32 * pi / 3 + 2 * pi * pi * 4};
  const double areas[2] = {4 * pi + 4 * pi * pi * 3, 16 * pi + 4 * pi * pi * 4};
  auto expectBoth = [&](AcDbDatabase& db, const std::string& what) {
    std::vector<Measure> m = measureModelers(db);
    ASSERT_EQ(m.size(), 2u) << what;
    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(m[i].cls, "AcDb3dSolid") << what << " #" << i;
      EXPECT_NEAR(m[i].volume, volumes[i], 1e-6 * volumes[i]) << what << " #" << i;
      EXPECT_NEAR(m[i].area, areas[i], 1e-6 * areas[i]) << what << " #" << i;
    }
    EXPECT_EQ(solidsPerEntity(db), (std::vector<int>{2, 2})) << what;
  };
  std::unique_ptr<AcDbDatabase> first, second;
  std::string error;
  kv::dxf::ReadReport report;
  ASSERT_EQ(readDrawing(path("several.dxf"), first, error, &report), Acad::eOk) << error;
  EXPECT_EQ(report.entitiesRead, 2);
  EXPECT_TRUE(report.unsupported.empty());
  EXPECT_TRUE(report.notes.empty()) << report.notes.front();
  expectBoth(*first, "read");
  ASSERT_EQ(writeDrawing(*first, path("again.dxf")), Acad::eOk);
  kv::dxf::ReadReport again;
  ASSERT_EQ(readDrawing(path("again.dxf"), second, error, &again), Acad::eOk) << error;
  EXPECT_EQ(again.entitiesRead, 2);
  EXPECT_TRUE(again.unsupported.empty());
  expectBoth(*second, "written and read again");
}

// Rewrites the stored SAT lines of the first 3DSOLID with edit(lines), keeping the rest.
std::string withSatLines(const std::string& file, const std::function<void(std::vector<Pair>&)>& edit) {
  std::vector<Pair> pairs = pairsOf(file);
  size_t start = 0;
  while (start < pairs.size() && !(pairs[start].code == 0 && pairs[start].value == "3DSOLID")) ++start;
  size_t first = start, last = start;
  for (size_t j = start + 1; j < pairs.size() && pairs[j].code != 0; ++j)
    if (pairs[j].code == 1 || pairs[j].code == 3) {
      if (first == start) first = j;
      last = j + 1;
    }
  std::vector<Pair> lines(pairs.begin() + long(first), pairs.begin() + long(last));
  edit(lines);
  std::string out;
  auto put = [&](const Pair& p) { out += std::to_string(p.code) + "\n" + p.value + "\n"; };
  for (size_t i = 0; i < first; ++i) put(pairs[i]);
  for (const Pair& p : lines) put(p);
  for (size_t i = last; i < pairs.size(); ++i) put(pairs[i]);
  return out;
}

TEST_F(dxf, SatLinesContinuedInGroup3ReadAsOneLine) {
  buildModelers(db(), db().layerZero());
  std::vector<Measure> before = measureModelers(db());
  ASSERT_EQ(writeDrawing(db(), path("m.dxf")), Acad::eOk);
  // Every line cut in pieces of 7, as long lines are, a caret and its space kept together.
  writeFile(path("cut.dxf"), withSatLines(readFile(path("m.dxf")), [](std::vector<Pair>& lines) {
         std::vector<Pair> out;
         for (const Pair& line : lines) {
           int code = 1;
           for (size_t at = 0; at < line.value.size();) {
             size_t take = std::min<size_t>(7, line.value.size() - at);
             if (at + take < line.value.size() && line.value[at + take - 1] == '^') ++take;
             out.push_back({code, line.value.substr(at, take)});
             at += take;
             code = 3;
           }
         }
         lines = out;
       }));
  std::unique_ptr<AcDbDatabase> back;
  std::string error;
  ASSERT_EQ(readDrawing(path("cut.dxf"), back, error), Acad::eOk) << error;
  expectSameMeasures(before, measureModelers(*back), "group 3");
}

TEST_F(dxf, DamagedAcisDataKeepsItsEntityAsRead) {
  buildModelers(db(), db().layerZero());
  append(db(), new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 1)), db().layerZero(), AcCmColor());
  ASSERT_EQ(writeDrawing(db(), path("m.dxf")), Acad::eOk);
  const std::string full = readFile(path("m.dxf"));
  size_t satLines = 0;
  withSatLines(full, [&](std::vector<Pair>& lines) { satLines = lines.size(); });
  ASSERT_GT(satLines, 20u);

  auto expectSkipped = [&](const std::string& text, const std::string& what) {
    writeFile(path("bad.dxf"), text);
    std::unique_ptr<AcDbDatabase> back;
    std::string error;
    kv::dxf::ReadReport report;
    ASSERT_EQ(readDrawing(path("bad.dxf"), back, error, &report), Acad::eOk) << what << ": " << error;
    EXPECT_EQ(report.entitiesRead, 4) << what;  // body, region, null solid, line
    EXPECT_EQ(report.unsupported, (std::map<std::string, int>{{"3DSOLID", 1}})) << what;
    ASSERT_EQ(report.notes.size(), 1u) << what;
    EXPECT_EQ(report.notes[0].rfind("line ", 0), 0u) << report.notes[0];
    EXPECT_NE(report.notes[0].find("3DSOLID kept as read: "), std::string::npos) << report.notes[0];
    // Saved, its data is the data read.
    ASSERT_EQ(writeDrawing(*back, path("saved.dxf")), Acad::eOk);
    std::vector<Pair> read, written;
    withSatLines(text, [&](std::vector<Pair>& lines) { read = lines; });
    withSatLines(readFile(path("saved.dxf")), [&](std::vector<Pair>& lines) { written = lines; });
    ASSERT_EQ(written.size(), read.size()) << what;
    for (size_t i = 0; i < read.size(); ++i) EXPECT_EQ(written[i].value, read[i].value) << what << " " << i;
  };
  // Cut short at every record past the header.
  for (size_t keep = 3; keep + 2 < satLines; keep += 3)
    expectSkipped(withSatLines(full, [&](std::vector<Pair>& lines) { lines.resize(keep); }),
                  "kept " + std::to_string(keep));
  // Garbled: a pointer field of a record made into a word, and the header made into noise.
  expectSkipped(withSatLines(full, [](std::vector<Pair>& lines) { lines[4].value = "hoo _ _ _ _ _ _ _ _"; }),
                "garbled record");
  expectSkipped(withSatLines(full, [](std::vector<Pair>& lines) { lines[0].value = "%%%"; }), "garbled header");
  // R2013 and later keep binary data elsewhere and leave a GUID in the entity.
  expectSkipped(withSatLines(full, [](std::vector<Pair>& lines) { lines = {{290, "1"}, {2, "{00000000-0000}"}}; }),
                "R2013 form");
}

TEST_F(dxf, EzdxfDecodesTheSatLinesWeWrite) {
  KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
  AcDbObjectId layer = addLayer(db(), "Parts", indexColor(2));
  buildModelers(db(), layer);
  ASSERT_EQ(writeDrawing(db(), path("m.dxf")), Acad::eOk);
  int status = 0;
  std::string out = runProcess("/usr/bin/python3 " KV_SOURCE_DIR "/tests/interop/ezdxf_acis.py " + path("m.dxf") + " 2>&1", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("audit\t0\t0"), std::string::npos) << out;

  std::vector<std::vector<std::string>> theirs;  // decoded lines per entity
  std::vector<std::string> kinds;
  for (auto& r : records(out)) {
    if (r[0] == "entity") {
      kinds.push_back(r[1] + "/" + r[2]);
      theirs.emplace_back();
    } else if (r[0] == "sat") {
      theirs.back().push_back(r.size() > 1 ? r[1] : "");
    }
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"3DSOLID/Parts", "BODY/0", "REGION/Parts", "3DSOLID/0"}));
  ASSERT_EQ(theirs.size(), 4u);
  // Ours, line by line, from the same entities; the header's second line holds the time.
  std::vector<AcDbObjectId> ids = modelEntities(db());
  for (size_t i = 0; i < 3; ++i) {
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenObject(e, ids[i], AcDb::kForRead), Acad::eOk);
    AcDbVoidPtrArray one;
    one.append(e);
    std::string sat;
    ASSERT_EQ(kv::modeler::satOutText(one, sat), Acad::eOk);
    e->close();
    std::vector<std::string> ours;
    std::istringstream lines(sat);
    for (std::string line; std::getline(lines, line);) ours.push_back(line);
    ASSERT_EQ(theirs[i].size(), ours.size()) << i;
    for (size_t k = 0; k < ours.size(); ++k)
      if (k != 1) {
        EXPECT_EQ(theirs[i][k], ours[k]) << i << ", line " << k;
      }
  }
  EXPECT_TRUE(theirs[3].empty());
}

}  // namespace
