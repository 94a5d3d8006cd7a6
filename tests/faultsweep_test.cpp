// Both conversion commands with every host call they make failing in turn, once and from then
// on: whatever fails, each source is replaced by its whole mesh or kept as it was, nothing else
// in the drawing moves, FACETRES comes back, no temporary file is left where a read succeeded,
// and the printed summary tells what the drawing shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "host_fixture.h"
#include "app/kavlorapp.h"
#include "dbutil/layer.h"
#include "host/acdb.h"
#include "host/aced.h"
#include "host/entities.h"
#include "testing/faults.h"
#include "host/host.h"
#include "testing/recording_ui.h"
#include "modeler/solids.h"
#include "orvgui/orvgui.h"
#include "test_files.h"

namespace fs = std::filesystem;

namespace {

// A run that still fires a fault past this many host calls is stuck in a loop.
constexpr int kMaxCalls = 2000;
constexpr double kHostFacetres = 0.5;     // a new drawing's FACETRES
constexpr double kExportFacetres = 0.01;  // Resolution 0's

// What a user can see of one entity.
struct EntityView {
  std::string cls, layer, linetype;
  int colorMethod = 0, colorIndex = 0, red = 0, green = 0, blue = 0;
  std::vector<double> extents;
  int items = 0;  // vertices and face records of a vertex-based entity
  int vertices = -1, faces = -1;  // of a polyface mesh
  bool operator==(const EntityView&) const = default;
};

struct LayerView {
  std::string name;
  bool erased = false, frozen = false, locked = false, off = false;
  int colorMethod = 0, colorIndex = 0;
  std::uint64_t linetype = 0;
  bool operator==(const LayerView&) const = default;
};

struct Snapshot {
  std::map<std::uint64_t, EntityView> live;  // model space, by handle
  std::vector<LayerView> layers;
  std::uint64_t clayer = 0;
};

// Vertex and face counts of one mesh, and where it lies.
struct Counts {
  int vertices = 0, faces = 0;
  std::vector<double> extents;
  bool operator==(const Counts& o) const {
    if (vertices != o.vertices || faces != o.faces || extents.size() != o.extents.size()) return false;
    for (size_t i = 0; i < extents.size(); ++i)
      if (std::abs(extents[i] - o.extents[i]) > 1e-6) return false;
    return true;
  }
};
Counts countsOf(const EntityView& v) { return Counts{v.vertices, v.faces, v.extents}; }

// One fresh host and its user interface; the host goes first.
struct World {
  kv::RecordingUI ui;
  kv::Host host{ui};
};

struct Outcome {
  bool summary = false;  // "Successfully converted ..." was printed
  int converted = 0, failed = 0;
  std::string printed;
};

Outcome readSummary(const std::string& printed) {
  Outcome o;
  o.printed = printed;
  size_t at = printed.find("\nSuccessfully converted ");
  if (at == std::string::npos) return o;
  o.summary = std::sscanf(printed.c_str() + at, "\nSuccessfully converted %d solids", &o.converted) == 1;
  size_t more = printed.find(". ", at + 1);
  if (more != std::string::npos) std::sscanf(printed.c_str() + more, ". %d objects could not be converted", &o.failed);
  return o;
}

double facetres() {
  resbuf rb{};
  rb.restype = RTREAL;
  EXPECT_EQ(acedGetVar("FACETRES", &rb), RTNORM);
  return rb.resval.rreal;
}

using kv::fault::Call;

std::string describe(const std::vector<kv::fault::LoggedCall>& log, int n) {
  if (n < 1 || n > int(log.size())) return "(no call)";
  return "call " + std::to_string(n) + " " + kv::fault::name(log[size_t(n) - 1].call);
}

class FaultSweep : public ::testing::Test {
protected:
  FaultSweep() { kv::fault::disarmAll(); }
  ~FaultSweep() override {
    end();
    kv::fault::disarmAll();
  }

  // A fresh host with the module loaded and the lowest Resolution stored, the temp folder empty.
  void begin() {
    end();
    world_.emplace();
    ASSERT_EQ(acrxEntryPoint(AcRx::kInitAppMsg, &theApp), AcRx::kRetOK);
    fs::remove_all(base_ / "config" / "kavlor");
    if (storeSettings_) {
      ORVRegistry reg;
      reg.SetKey(KAVLOR_REGISTRY_KEY, 1);
      reg.WriteInt("Resolution", 0);  // FACETRES 0.01: few facets, a quick sweep
      reg.WriteBool("Warning", 1);
    }
    for (const auto& entry : fs::directory_iterator(base_ / "temp")) fs::remove_all(entry.path());
  }
  void end() {
    if (!world_) return;
    kv::fault::disarmAll();
    acrxEntryPoint(AcRx::kUnloadAppMsg, &theApp);
    world_.reset();
  }
  AcDbDatabase& db() { return world_->host.database(); }

  AcDbObjectId append(AcDbEntity* entity, const char* layer, int aci) {
    GetOrCreateLayer(layer, TRUE);
    EXPECT_EQ(entity->setLayer(layer), Acad::eOk);
    EXPECT_EQ(entity->setColorIndex(Adesk::UInt16(aci)), Acad::eOk);
    return appendToModelSpace(db(), entity);
  }
  static AcDb3dSolid* solid(bool sphere, double size, AcGeVector3d at) {
    auto* s = new AcDb3dSolid;
    EXPECT_EQ(sphere ? s->createSphere(size) : s->createBox(size, size * 2, size * 3), Acad::eOk);
    s->transformBy(AcGeMatrix3d::translation(at));
    return s;
  }

  // Box, sphere reaching below zero, body, polyface mesh and polygon mesh, each on its own layer
  // in its own colour, and a line that is not selected.
  void drawSources() {
    sources_.clear();
    sources_.push_back(append(solid(false, 1, AcGeVector3d(5, 5, 5)), "Box", 1));
    sources_.push_back(append(solid(true, 1, AcGeVector3d(0.5, 3, 3)), "Ball", 3));
    AcDb3dSolid cylinder;
    EXPECT_EQ(cylinder.createFrustum(2, 1, 1, 1), Acad::eOk);
    cylinder.transformBy(AcGeMatrix3d::translation(AcGeVector3d(10, 10, 10)));
    auto* body = new AcDbBody;
    EXPECT_EQ(body->setBody(cylinder.body()), Acad::eOk);
    sources_.push_back(append(body, "Body", 5));

    auto* pyramid = new AcDbPolyFaceMesh;
    const AcGePoint3d corners[5] = {{0, 0, 20}, {2, 0, 20}, {2, 2, 20}, {0, 2, 20}, {1, 1, 22}};
    for (const AcGePoint3d& p : corners) {
      auto* v = new AcDbPolyFaceMeshVertex(p);
      EXPECT_EQ(pyramid->appendVertex(v), Acad::eOk);
      v->close();
    }
    const Adesk::Int16 records[5][4] = {{1, 2, 5, 0}, {2, 3, 5, 0}, {3, 4, 5, 0}, {4, 1, 5, 0}, {1, 4, 3, 2}};
    for (const auto& r : records) {
      auto* f = new AcDbFaceRecord(r[0], r[1], r[2], r[3]);
      EXPECT_EQ(pyramid->appendFaceRecord(f), Acad::eOk);
      f->close();
    }
    sources_.push_back(append(pyramid, "Faces", 6));

    AcGePoint3dArray grid;
    for (int k = 0; k < 3; ++k)
      for (int j = 0; j < 4; ++j) grid.append(AcGePoint3d(30 + j, 30 + k, (j + k) % 2));
    sources_.push_back(append(new AcDbPolygonMesh(AcDb::kSimpleMesh, 3, 4, grid), "Grid", 4));

    bystander_ = append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 1)), "Aside", 2);
  }

  // Three solids (one reaching below zero) in a SAT file, and a current layer of their own.
  void drawForFile() {
    if (!fs::exists(sat())) {
      AcDb3dSolid* box = solid(false, 1, AcGeVector3d(2, 2, 2));
      AcDb3dSolid* ball = solid(true, 1, AcGeVector3d(0, 0, 0));
      AcDb3dSolid cylinder;
      EXPECT_EQ(cylinder.createFrustum(1, 0.5, 0.5, 0.5), Acad::eOk);
      cylinder.transformBy(AcGeMatrix3d::translation(AcGeVector3d(5, 5, 5)));
      AcDbVoidPtrArray out;
      out.append(box);
      out.append(ball);
      out.append(&cylinder);
      EXPECT_EQ(AcDbBody::acisOut(sat().c_str(), out), Acad::eOk);
      box->close();
      ball->close();
    }
    GetOrCreateLayer("Imported", TRUE);
    resbuf rb{};
    rb.restype = RTSTR;
    char name[] = "Imported";
    rb.resval.rstring = name;
    EXPECT_EQ(acedSetVar("CLAYER", &rb), RTNORM);
    bystander_ = append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 1)), "Aside", 2);
  }
  fs::path sat() const { return base_ / "three.sat"; }

  Snapshot snapshot() {
    Snapshot s;
    AcDbBlockTableRecord* space = nullptr;
    EXPECT_EQ(acdbOpenObject(space, db().modelSpaceId(), AcDb::kForRead), Acad::eOk);
    if (!space) return s;
    for (const AcDbObjectId& id : space->entityIds()) {
      if (id.isErased()) continue;
      AcDbEntity* e = nullptr;
      EXPECT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForRead), Acad::eOk) << "left open: " << id.handle().text();
      if (!e) continue;
      EntityView v;
      v.cls = e->isA()->name();
      v.layer = e->layer().GetString();
      v.linetype = e->linetype().GetString();
      AcCmColor c = e->color();
      v.colorMethod = c.colorMethod();
      v.colorIndex = c.colorIndex();
      v.red = c.red();
      v.green = c.green();
      v.blue = c.blue();
      AcDbExtents ext;
      if (e->getGeomExtents(ext) == Acad::eOk)
        v.extents = {ext.minPoint().x, ext.minPoint().y, ext.minPoint().z,
                     ext.maxPoint().x, ext.maxPoint().y, ext.maxPoint().z};
      if (const auto* owner = AcDbVertexOwner::cast(e)) v.items = int(owner->items().size());
      if (const auto* pf = AcDbPolyFaceMesh::cast(e)) {
        v.vertices = pf->numVertices();
        v.faces = pf->numFaces();
      }
      e->close();
      s.live[id.handle().value()] = v;
    }
    space->close();
    AcDbLayerTable* table = nullptr;
    EXPECT_EQ(db().getLayerTable(table, AcDb::kForRead), Acad::eOk);
    if (!table) return s;
    for (const AcDbObjectId& id : table->recordIds()) {
      AcDbLayerTableRecord* r = nullptr;
      EXPECT_EQ(acdbOpenObject(r, id, AcDb::kForRead, true), Acad::eOk);
      if (!r) continue;
      s.layers.push_back(LayerView{r->getName(), r->isErased(), r->isFrozen(), r->isLocked(), r->isOff(),
                                   r->color().colorMethod(), r->color().colorIndex(),
                                   r->linetypeObjectId().handle().value()});
      r->close();
    }
    table->close();
    s.clayer = db().clayer().handle().value();
    return s;
  }

  // Every object of the drawing can be opened for write: no open was left unclosed.
  void expectAllClosed() {
    for (std::uint64_t h = 1; h < db().handseed().value(); ++h) {
      AcDbObjectId id;
      if (db().getAcDbObjectId(id, false, AcDbHandle(h)) != Acad::eOk) continue;
      AcDbObject* obj = nullptr;
      Acad::ErrorStatus es = acdbOpenObject(obj, id, AcDb::kForWrite, true);
      if (es == Acad::ePermanentlyErased) continue;
      EXPECT_EQ(es, Acad::eOk) << "handle " << AcDbHandle(h).text() << " still open";
      if (obj) obj->close();
    }
  }

  // Which files the temp folder holds.
  std::vector<std::string> tempFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(base_ / "temp")) names.push_back(entry.path().filename().string());
    return names;
  }

  // Runs the command with the n-th host call failing (n = 0: none); what it printed.
  // With a call named, only that call's n-th call fails.
  Outcome run(const char* command, int n, bool persistent, int status = kv::fault::kNatural,
              std::optional<Call> call = std::nullopt) {
    kv::fault::disarmAll();
    if (n > 0 && call) kv::fault::arm(*call, n, status, persistent);
    else if (n > 0) kv::fault::armAny(n, status, persistent);
    struct NoInput : kv::CommandInput {
      bool next(const char*, std::string&) override { return false; }
    } none;
    int answer = world_->host.runCommand(command, none);
    fired_ = kv::fault::fired();
    log_ = kv::fault::callLog();
    kv::fault::disarmAll();
    EXPECT_EQ(answer, RTNORM);  // the command ran to its end
    return readSummary(world_->ui.printed());
  }
  bool firedOn(Call call) const {
    return std::any_of(log_.begin(), log_.end(), [&](const kv::fault::LoggedCall& c) { return c.fired && c.call == call; });
  }
  static bool isFileCall(Call call) {
    return call == Call::fileOpen || call == Call::fileRead || call == Call::fileWrite || call == Call::fileSync ||
           call == Call::fileRename;
  }
  // The first fault struck a file call of the module's settings, read before any solid is
  // exported or read: the run goes on at the default settings.
  bool settingsUnread() const {
    for (const kv::fault::LoggedCall& c : log_) {
      if (c.call == Call::stlOut || c.call == Call::acisIn) return false;
      if (c.fired) return isFileCall(c.call);
    }
    return false;
  }
  // The temporary STL file was written but could not be read back whole.
  bool stlReadFailed() const {
    bool written = false;
    for (const kv::fault::LoggedCall& c : log_) {
      if (c.call == Call::stlOut) written = !c.fired;
      else if (written && c.fired && (c.call == Call::STLToMesh || isFileCall(c.call))) return true;
    }
    return false;
  }
  // The mesh of one source or solid is one of those a run can make: at the stored settings, at
  // the host's own FACETRES when FACETRES was refused, at the defaults when the settings were
  // unread.
  bool isWhole(const Counts& got, const Counts& ref, const Counts& refHost, const Counts& refDefaults) const {
    return got == ref || (facetresRefused() && got == refHost) || (settingsUnread() && got == refDefaults);
  }
  // A refused FACETRES write or read exports at the host's own FACETRES.
  bool facetresRefused() const { return firedOn(Call::acedGetVar) || firedOn(Call::acedSetVar); }

  // FACETRES, bystanders, layers and the temporary folder after one run.
  void checkCommon(const Snapshot& before, const Snapshot& after, bool persistent) {
    double f = facetres();
    // From-then-on faults refuse the restoring write itself: then nothing could restore it.
    if (persistent && firedOn(Call::acedSetVar) && f != kHostFacetres) EXPECT_EQ(f, kExportFacetres);
    else EXPECT_EQ(f, kHostFacetres);
    EXPECT_EQ(after.layers, before.layers);  // the meshes go on layers that exist already
    EXPECT_EQ(after.clayer, before.clayer);
    std::uint64_t aside = bystander_.handle().value();
    auto now = after.live.find(aside);
    EXPECT_TRUE(now != after.live.end() && now->second == before.live.at(aside)) << "the line changed";
    // The temporary STL file stays only after a failed read, or when the host refused to delete it.
    for (const std::string& name : tempFiles()) {
      EXPECT_EQ(name, "ORVTemp.stl");
      EXPECT_TRUE(stlReadFailed() || firedOn(Call::unlink)) << name << " left behind";
    }
    expectAllClosed();
  }

  // The copy of a shifted solid, moved into the positive range for its export.
  static bool isMovedCopy(const EntityView& v) {
    return v.cls == "AcDb3dSolid" && v.extents.size() == 6 && v.extents[0] >= 0 && v.extents[1] >= 0 &&
           v.extents[2] >= 0;
  }

  // The meshes a run added to model space, by handle.
  static std::map<std::uint64_t, EntityView> added(const Snapshot& before, const Snapshot& after) {
    std::map<std::uint64_t, EntityView> out;
    for (const auto& [h, v] : after.live)
      if (!before.live.count(h)) out[h] = v;
    return out;
  }

  // KVConvertSolid with the n-th call failing; the mesh counts of each source it replaced.
  std::map<std::string, Counts> convertSelected(int n, bool persistent, const std::map<std::string, Counts>* ref,
                                                const std::map<std::string, Counts>* refHost,
                                                const std::map<std::string, Counts>* refDefaults) {
    begin();
    drawSources();
    for (const AcDbObjectId& id : sources_) world_->ui.answer(id.handle().text());
    world_->ui.answer("");
    Snapshot before = snapshot();
    Outcome out = run("KVConvertSolid", n, persistent);
    SCOPED_TRACE(describe(log_, n) + (persistent ? " and on" : " once") + "\n" + out.printed);
    Snapshot after = snapshot();
    checkCommon(before, after, persistent);

    // From-then-on faults refuse the command's own clean-up too; what it could not take back
    // stays, one thing at most, since nothing succeeds after the first refusal: a moved copy
    // of a shifted solid, or a complete mesh beside the source it failed to replace.
    auto news = added(before, after);
    int leftovers = 0;
    std::erase_if(news, [&](const auto& entry) {
      bool copy = isMovedCopy(entry.second);
      leftovers += copy;
      return copy;
    });
    std::map<std::string, Counts> meshes;
    int replaced = 0, kept = 0, matched = 0;
    for (const AcDbObjectId& id : sources_) {
      const EntityView& was = before.live.at(id.handle().value());
      auto now = after.live.find(id.handle().value());
      const bool erased = now == after.live.end();
      if (!erased) {
        EXPECT_EQ(now->second, was) << was.cls << " kept but changed";
        ++kept;
      } else {
        ++replaced;
      }
      // Its one polyface mesh, on its layer in its colour.
      int found = 0;
      for (const auto& [h, v] : news) {
        if (v.layer != was.layer) continue;
        ++found;
        EXPECT_EQ(v.cls, "AcDbPolyFaceMesh");
        EXPECT_EQ(v.colorMethod, was.colorMethod);
        EXPECT_EQ(v.colorIndex, was.colorIndex);
        EXPECT_EQ(v.items, v.vertices + v.faces);
        const Counts got = countsOf(v);
        if (erased) meshes[was.layer] = got;
        if (!ref) continue;
        const bool whole = isWhole(got, ref->at(was.layer), refHost->at(was.layer), refDefaults->at(was.layer));
        EXPECT_TRUE(whole) << was.cls << " mesh of " << got.vertices << " vertices, " << got.faces
                           << " faces from x " << (got.extents.empty() ? 0 : got.extents[0]);
      }
      matched += found;
      if (erased) {
        EXPECT_EQ(found, 1) << was.cls << " erased with " << found << " meshes";
      } else {
        EXPECT_LE(found, 1) << was.cls << " kept with " << found << " meshes";
        leftovers += found;
      }
    }
    EXPECT_EQ(int(news.size()), matched) << "new entities that are no source's mesh";
    EXPECT_LE(leftovers, persistent ? 1 : 0) << "left beside the sources";
    if (out.printed.rfind("Failure [No entities selected]", 0) == 0) {
      EXPECT_TRUE(firedOn(Call::acedSSGet));  // only a refused selection ends the command unheard
      EXPECT_FALSE(out.summary);
      EXPECT_EQ(kept, int(sources_.size()));
    } else {
      EXPECT_TRUE(out.summary);
      EXPECT_EQ(out.converted, replaced);
      EXPECT_EQ(out.failed, kept);
    }
    return meshes;
  }

  // KVConvertSolidFile with the n-th call failing; the mesh counts it added, in drawing order.
  std::vector<Counts> convertFile(int n, bool persistent, const std::vector<Counts>* ref,
                                  const std::vector<Counts>* refHost, const std::vector<Counts>* refDefaults) {
    begin();
    drawForFile();
    world_->ui.answerFile(sat().string());
    Snapshot before = snapshot();
    Outcome out = run("KVConvertSolidFile", n, persistent);
    SCOPED_TRACE(describe(log_, n) + (persistent ? " and on" : " once") + "\n" + out.printed);
    Snapshot after = snapshot();
    checkCommon(before, after, persistent);

    std::vector<Counts> meshes;
    int leftovers = 0;
    for (const auto& [h, v] : added(before, after)) {
      if (isMovedCopy(v)) {  // its erasure refused from then on, as for KVConvertSolid
        ++leftovers;
        continue;
      }
      EXPECT_EQ(v.cls, "AcDbPolyFaceMesh");
      EXPECT_EQ(v.layer, "Imported");
      EXPECT_EQ(v.colorMethod, AcCmEntityColor::kByLayer);
      EXPECT_EQ(v.items, v.vertices + v.faces);
      meshes.push_back(countsOf(v));
    }
    EXPECT_LE(leftovers, persistent ? 1 : 0) << "moved copies left";
    // The live entities before are all still there, unchanged.
    for (const auto& [h, v] : before.live) {
      auto now = after.live.find(h);
      EXPECT_TRUE(now != after.live.end() && now->second == v) << v.cls << " " << h << " gone or changed";
    }
    if (ref) {
      // Each mesh is the whole mesh of a different solid of the file.
      std::vector<int> order(ref->size());
      for (size_t i = 0; i < order.size(); ++i) order[i] = int(i);
      bool matched = false;
      do {
        bool all = true;
        for (size_t k = 0; k < meshes.size() && all; ++k) {
          const size_t solidIndex = size_t(order[k]);
          all = isWhole(meshes[k], (*ref)[solidIndex], (*refHost)[solidIndex], (*refDefaults)[solidIndex]);
        }
        matched = matched || all;
      } while (!matched && std::next_permutation(order.begin(), order.end()));
      EXPECT_TRUE(matched) << meshes.size() << " meshes not those of the file's solids";
    }
    if (out.printed.rfind("Failure [", 0) == 0) {
      EXPECT_TRUE(meshes.empty());  // the file could not be read: nothing tried
      EXPECT_FALSE(out.summary);
    } else {
      EXPECT_TRUE(out.summary);
      EXPECT_EQ(out.converted, int(meshes.size()));
      EXPECT_EQ(out.failed, 3 - int(meshes.size()));
    }
    return meshes;
  }

  // For the note: how many calls a sweep made fail, and of which names.
  void report(const char* name, int calls, const std::vector<kv::fault::LoggedCall>& log) {
    RecordProperty(name, calls);
    std::map<std::string, int> byName;
    for (const kv::fault::LoggedCall& c : log) ++byName[kv::fault::name(c.call)];
    std::printf("%s: %d host calls (", name, calls);
    for (const auto& [call, count] : byName) std::printf(" %s %d", call.c_str(), count);
    std::printf(" )\n");
  }

  // The module's temporary folder and settings store, private to the test.
  ScratchFolder base_;
  ScopedEnv temp_{"temp", base_.folder("temp").c_str()};
  ScopedEnv config_{"XDG_CONFIG_HOME", base_.folder("config").c_str()};
  std::optional<World> world_;
  std::vector<AcDbObjectId> sources_;
  AcDbObjectId bystander_;
  int fired_ = 0;
  std::vector<kv::fault::LoggedCall> log_;
  bool storeSettings_ = true;  // begin() stores Resolution 0; without, the defaults apply
};

TEST_F(FaultSweep, ConvertSolidReplacesOrKeepsEachSource) {
  storeSettings_ = false;
  const auto refDefaults = convertSelected(0, false, nullptr, nullptr, nullptr);
  storeSettings_ = true;
  const auto ref = convertSelected(0, false, nullptr, nullptr, nullptr);
  ASSERT_EQ(ref.size(), 5u) << "an undisturbed run converts every source";
  ASSERT_EQ(refDefaults.size(), 5u);
  ASSERT_EQ(fired_, 0);
  const int calls = int(log_.size());
  const std::vector<kv::fault::LoggedCall> undisturbed = log_;
  // Every FACETRES write refused: the solids are faceted at the host's own FACETRES.
  begin();
  const auto refHost = [&] {
    drawSources();
    for (const AcDbObjectId& id : sources_) world_->ui.answer(id.handle().text());
    world_->ui.answer("");
    Snapshot before = snapshot();
    run("KVConvertSolid", 1, true, kv::fault::kNatural, Call::acedSetVar);
    Snapshot after = snapshot();
    std::map<std::string, Counts> counts;
    for (const auto& [h, v] : added(before, after)) counts[v.layer] = countsOf(v);
    return counts;
  }();
  ASSERT_EQ(refHost.size(), 5u);

  for (bool persistent : {false, true}) {
    int n = 1;
    for (; n <= kMaxCalls; ++n) {
      convertSelected(n, persistent, &ref, &refHost, &refDefaults);
      if (fired_ == 0) break;
      if (HasFatalFailure()) return;
    }
    ASSERT_LE(n, kMaxCalls) << "faults still firing past " << kMaxCalls << " calls";
    EXPECT_EQ(n - 1, calls);  // every call of an undisturbed run was made to fail
    report(persistent ? "ConvertSolidCallsFromThenOn" : "ConvertSolidCallsOnce", n - 1, undisturbed);
  }
}

TEST_F(FaultSweep, ConvertSolidFileAddsWholeMeshesOrNone) {
  storeSettings_ = false;
  const auto refDefaults = convertFile(0, false, nullptr, nullptr, nullptr);
  storeSettings_ = true;
  const auto ref = convertFile(0, false, nullptr, nullptr, nullptr);
  ASSERT_EQ(ref.size(), 3u) << "an undisturbed run converts every solid";
  ASSERT_EQ(refDefaults.size(), 3u);
  ASSERT_EQ(fired_, 0);
  const int calls = int(log_.size());
  const std::vector<kv::fault::LoggedCall> undisturbed = log_;
  // Every FACETRES write refused: the solids are faceted at the host's own FACETRES.
  begin();
  drawForFile();
  world_->ui.answerFile(sat().string());
  Snapshot before = snapshot();
  run("KVConvertSolidFile", 1, true, kv::fault::kNatural, Call::acedSetVar);
  std::vector<Counts> refHost;
  for (const auto& [h, v] : added(before, snapshot())) refHost.push_back(countsOf(v));
  ASSERT_EQ(refHost.size(), 3u);
  for (bool persistent : {false, true}) {
    int n = 1;
    for (; n <= kMaxCalls; ++n) {
      convertFile(n, persistent, &ref, &refHost, &refDefaults);
      if (fired_ == 0) break;
      if (HasFatalFailure()) return;
    }
    ASSERT_LE(n, kMaxCalls) << "faults still firing past " << kMaxCalls << " calls";
    EXPECT_EQ(n - 1, calls);
    report(persistent ? "ConvertSolidFileCallsFromThenOn" : "ConvertSolidFileCallsOnce", n - 1, undisturbed);
  }
}

}  // namespace
