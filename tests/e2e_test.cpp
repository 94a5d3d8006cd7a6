// The whole road of the README's main command: kvhost with Kavlor.arx runs the sample scripts
// on the sample SAT file and drawing, and the saved drawings are checked against the sources:
// sources gone, a polyface mesh for each on its layer in its colour, closed solids giving closed
// meshes of the solid's volume within the faceting tolerance, files that ezdxf reads. Also: the
// committed samples are what their generator makes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <BRepGProp.hxx>
#include <GProp_GProps.hxx>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "dxf/dxf.h"
#include "host/entities.h"
#include "host/host.h"
#include "testing/recording_ui.h"
#include "modeler/occ_shape.h"
#include "modeler/sat_acis.h"
#include "modeler/solids.h"

namespace fs = std::filesystem;

#include "test_files.h"

namespace {

const std::string kRoot = KV_SOURCE_DIR;

// The FACETRES the commands use at the default Resolution of 50.
constexpr double kFacetres = 50 * 0.01 * 9.99 + 0.01;

struct Source {
  std::string cls, layer;
  AcCmColor color;
  AcDbExtents box;
  bool closed = false;  // its mesh must be closed
  double volume = 0;    // of a closed source
  double slack = 0;     // how far the faceted volume may stray
};

void measure(const AcDbModelerEntity& m, Source& s) {
  GProp_GProps v, a;
  BRepGProp::VolumeProperties(m.data().shape, v, 1e-9);
  BRepGProp::SurfaceProperties(m.data().shape, a, 1e-9);
  s.volume = v.Mass();
  s.closed = s.volume > 0;
  // Each facet lies within the chordal tolerance of its surface, so the volume between them
  // is at most that tolerance times the area.
  s.slack = a.Mass() * kv::modeler::facetTolerances(m.data().shape, kFacetres).linear + 1e-9;
}

struct Mesh {
  std::vector<AcGePoint3d> vertices;
  std::vector<std::vector<int>> faces;  // 0-based
};

Mesh meshOf(const AcDbPolyFaceMesh& pf) {
  Mesh m;
  for (const AcDbEntity* item : pf.items()) {
    if (const auto* v = AcDbPolyFaceMeshVertex::cast(item)) m.vertices.push_back(v->position());
    if (const auto* r = AcDbFaceRecord::cast(item)) {
      std::vector<int> f;
      for (Adesk::UInt16 k = 0; k < 4; ++k) {
        Adesk::Int16 i = 0;
        r->getVertexAt(k, i);
        if (i != 0) f.push_back(std::abs(i) - 1);
      }
      m.faces.push_back(f);
    }
  }
  return m;
}

// Every edge, with vertices taken by position, shared by exactly two faces.
bool isClosed(const Mesh& m) {
  std::map<std::tuple<double, double, double>, int> ids;
  auto id = [&](int i) {
    const AcGePoint3d& p = m.vertices[size_t(i)];
    return ids.emplace(std::make_tuple(p.x, p.y, p.z), int(ids.size())).first->second;
  };
  std::map<std::pair<int, int>, int> edges;
  for (const auto& f : m.faces)
    for (size_t k = 0; k < f.size(); ++k) {
      int a = id(f[k]), b = id(f[(k + 1) % f.size()]);
      if (a != b) ++edges[{std::min(a, b), std::max(a, b)}];
    }
  if (edges.empty()) return false;
  for (const auto& [edge, n] : edges)
    if (n != 2) return false;
  return true;
}

double volumeOf(const Mesh& m) {
  double six = 0;
  for (const auto& f : m.faces)
    for (size_t k = 1; k + 1 < f.size(); ++k) {
      AcGeVector3d a = m.vertices[size_t(f[0])].asVector(), b = m.vertices[size_t(f[k])].asVector(),
                   c = m.vertices[size_t(f[k + 1])].asVector();
      six += a.dotProduct(b.crossProduct(c));
    }
  return std::abs(six) / 6;
}

std::vector<AcDbEntity*> openModel(AcDbDatabase& db) {
  std::vector<AcDbEntity*> out;
  AcDbBlockTableRecord* ms = nullptr;
  EXPECT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForRead), Acad::eOk);
  if (!ms) return out;
  for (AcDbObjectId id : ms->entityIds()) {
    AcDbEntity* e = nullptr;
    if (!id.isErased() && acdbOpenAcDbEntity(e, id, AcDb::kForRead) == Acad::eOk) out.push_back(e);
  }
  ms->close();
  return out;
}

void closeAll(std::vector<AcDbEntity*>& entities) {
  for (AcDbEntity* e : entities) e->close();
  entities.clear();
}

std::vector<Source> drawingSources(const std::string& file) {
  std::unique_ptr<AcDbDatabase> db;
  std::string error;
  EXPECT_EQ(kv::dxf::readDrawing(file, db, error), Acad::eOk) << error;
  std::vector<Source> out;
  if (!db) return out;
  std::vector<AcDbEntity*> entities = openModel(*db);
  for (AcDbEntity* e : entities) {
    Source s;
    s.cls = e->isA()->name();
    s.layer = e->layer().GetString();
    s.color = e->color();
    e->getGeomExtents(s.box);
    if (const auto* m = AcDbModelerEntity::cast(e)) measure(*m, s);
    if (const auto* pf = AcDbPolyFaceMesh::cast(e)) {
      Mesh mesh = meshOf(*pf);
      s.closed = isClosed(mesh);
      s.volume = volumeOf(mesh);
      s.slack = 1e-9;
    }
    out.push_back(s);
  }
  closeAll(entities);
  return out;
}

std::vector<Source> satSources(const std::string& file, const std::string& layer) {
  AcDbVoidPtrArray items;
  EXPECT_EQ(kv::modeler::satIn(file.c_str(), items), Acad::eOk);
  std::vector<Source> out;
  for (void* item : items) {
    auto* e = static_cast<AcDbEntity*>(item);
    Source s;
    s.cls = e->isA()->name();
    s.layer = layer;
    e->getGeomExtents(s.box);
    measure(*AcDbModelerEntity::cast(e), s);
    out.push_back(s);
    delete e;
  }
  return out;
}

bool sameColor(const AcCmColor& a, const AcCmColor& b) {
  return a.isByLayer() == b.isByLayer() && a.isByBlock() == b.isByBlock() && a.colorIndex() == b.colorIndex() &&
         a.red() == b.red() && a.green() == b.green() && a.blue() == b.blue();
}

class e2e : public ::testing::Test {
protected:
  void SetUp() override { fs::create_directories(dir_ / "settings"); }

  // Runs kvhost from the repository's root, as scripts/run.sh does, with a private settings store.
  std::string kvhost(const std::string& script, const std::string& saved, const std::string& drawing, int& status) {
    std::string command = "cd '" + kRoot + "' && XDG_CONFIG_HOME='" + (dir_ / "settings").string() + "' TMPDIR='" +
                          dir_.string() + "' '" KV_BIN_DIR "/kvhost' -s " + script + " -o '" + saved + "' " +
                          drawing + " 2>&1";
    return runProcess(command, status);
  }

  // The saved drawing holds one polyface mesh per source, in order, and nothing else.
  void expectMeshesOf(const std::vector<Source>& sources, const std::string& saved) {
    std::unique_ptr<AcDbDatabase> db;
    std::string error;
    ASSERT_EQ(kv::dxf::readDrawing(saved, db, error), Acad::eOk) << error;
    std::vector<AcDbEntity*> entities = openModel(*db);
    ASSERT_EQ(entities.size(), sources.size());
    for (size_t i = 0; i < sources.size(); ++i) {
      const Source& s = sources[i];
      SCOPED_TRACE("source " + std::to_string(i) + ", " + s.cls + " on " + s.layer);
      const auto* pf = AcDbPolyFaceMesh::cast(entities[i]);
      ASSERT_NE(pf, nullptr) << entities[i]->isA()->name();
      EXPECT_EQ(std::string(entities[i]->layer().GetString()), s.layer);
      EXPECT_TRUE(sameColor(entities[i]->color(), s.color));
      AcDbExtents box;
      ASSERT_EQ(entities[i]->getGeomExtents(box), Acad::eOk);
      double reach = (s.box.maxPoint() - s.box.minPoint()).length();
      EXPECT_LT((box.minPoint() - s.box.minPoint()).length(), 0.05 * reach);
      EXPECT_LT((box.maxPoint() - s.box.maxPoint()).length(), 0.05 * reach);
      Mesh mesh = meshOf(*pf);
      ASSERT_FALSE(mesh.faces.empty());
      if (s.closed) {
        EXPECT_TRUE(isClosed(mesh));
        EXPECT_NEAR(volumeOf(mesh), s.volume, s.slack);
      }
    }
    closeAll(entities);
  }

  void expectEzdxfReads(const std::string& saved, size_t polyfaces) {
    KV_SKIP_UNLESS(ezdxfAvailable(), "Debian's python3-ezdxf");
    int status = 0;
    std::string out = runProcess("/usr/bin/python3 '" + kRoot + "/tests/interop/ezdxf_read.py' '" + saved + "' 2>&1", status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("audit\t0\t0\n"), std::string::npos) << out.substr(0, 400);
    size_t n = 0;
    for (size_t at = out.find("\nPOLYFACE\t"); at != std::string::npos; at = out.find("\nPOLYFACE\t", at + 1)) ++n;
    EXPECT_EQ(n, polyfaces);
  }

  kv::RecordingUI ui_;
  kv::Host host_{ui_};
  ScratchFolder scratch_;
  fs::path dir_ = scratch_.path();
};

TEST_F(e2e, ConvertFileScriptMeshesEverySolidOfTheSampleSatFile) {
  std::vector<Source> sources = satSources(kRoot + "/samples/solids.sat", "0");
  ASSERT_EQ(sources.size(), 5u);
  for (const Source& s : sources) ASSERT_TRUE(s.closed) << s.cls;
  std::string saved = (dir_ / "solids.dxf").string();
  int status = 0;
  std::string out = kvhost("samples/convert_file.scr", saved, "", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Successfully converted 5 solids\n"), std::string::npos) << out;
  expectMeshesOf(sources, saved);
  expectEzdxfReads(saved, 5);
}

TEST_F(e2e, ConvertDrawingScriptReplacesEverySourceByItsMesh) {
  std::vector<Source> sources = drawingSources(kRoot + "/samples/drawing.dxf");
  ASSERT_EQ(sources.size(), 8u);
  std::map<std::string, int> kinds;
  for (const Source& s : sources) ++kinds[s.cls];
  EXPECT_EQ(kinds, (std::map<std::string, int>{
                       {"AcDb3dSolid", 4}, {"AcDbBody", 2}, {"AcDbPolyFaceMesh", 1}, {"AcDbPolygonMesh", 1}}));
  std::string saved = (dir_ / "drawing.dxf").string();
  int status = 0;
  std::string out = kvhost("samples/convert_drawing.scr", saved, "samples/drawing.dxf", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Successfully converted 8 solids\n"), std::string::npos) << out;
  expectMeshesOf(sources, saved);
  expectEzdxfReads(saved, 8);
}

TEST_F(e2e, SamplesAreWhatTheGeneratorMakes) {
  int status = 0;
  std::string out = runProcess("'" KV_MAKE_SAMPLES "' '" + dir_.string() + "' 2>&1", status);
  ASSERT_EQ(status, 0) << out;
  auto expectSame = [](const std::vector<Source>& a, const std::vector<Source>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
      EXPECT_EQ(a[i].cls, b[i].cls) << i;
      EXPECT_EQ(a[i].layer, b[i].layer) << i;
      EXPECT_TRUE(sameColor(a[i].color, b[i].color)) << i;
      EXPECT_NEAR(a[i].volume, b[i].volume, 1e-9 * std::max(1.0, a[i].volume)) << i;
      EXPECT_LT((a[i].box.minPoint() - b[i].box.minPoint()).length(), 1e-9) << i;
      EXPECT_LT((a[i].box.maxPoint() - b[i].box.maxPoint()).length(), 1e-9) << i;
    }
  };
  std::vector<Source> committed = satSources(kRoot + "/samples/solids.sat", "0");
  expectSame(committed, satSources((dir_ / "solids.sat").string(), "0"));
  // Some reach below zero on an axis.
  int below = 0;
  for (const Source& s : committed)
    below += s.box.minPoint().x < 0 || s.box.minPoint().y < 0 || s.box.minPoint().z < 0;
  EXPECT_GE(below, 3);
  expectSame(drawingSources(kRoot + "/samples/drawing.dxf"), drawingSources((dir_ / "drawing.dxf").string()));
}

}  // namespace
