// The whole road of the README's main command: kvhost with Kavlor.arx runs the sample scripts
// on the sample SAT file and drawing, and the saved drawings are checked against the shapes the
// samples hold, written down by hand: sources gone, a polyface mesh for each on its layer in its
// colour, closed solids giving closed meshes of the solid's volume within what the faceting
// angle allows, files that ezdxf reads. Also: the committed samples hold those shapes and are
// what their generator makes.
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
#include <numbers>
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
#include "testing/colors.h"

namespace {

const std::string kRoot = KV_SOURCE_DIR;
constexpr double pi = std::numbers::pi;

// The commands facet at the default Resolution of 50, FACETRES 50 x 0.01 x 9.99 + 0.01 = 5.005,
// where the mesher lets a facet turn through at most a = 0.4 / 5.005^0.4 = 0.2100 radians of a
// curved face. A chord over an arc of angle a keeps sin(a) / a of the sector it cuts, so a face
// curved one way (cylinder, cone) strays from the volume it bounds by at most a^2 / 6 = 0.74%,
// one curved both ways (sphere, torus) by at most twice that; planar faces are exact, but for
// the single precision of the STL file.
constexpr double kOneWay = 0.0075, kTwoWay = 0.015, kPlanar = 1e-4;

struct Source {
  std::string cls, layer;
  AcCmColor color;
  AcGePoint3d lo, hi;  // extents
  double volume = 0;   // of a closed source; 0 for an open one
  double slack = 0;    // how far the faceted volume may stray
};

using P = AcGePoint3d;

// What samples/make_samples.cpp builds, worked out by hand: primitives centred at the origin,
// then moved. solids.sat's meshes land on the current layer 0.
std::vector<Source> satSamples() {
  const AcCmColor layer;
  return {
      {"AcDb3dSolid", "0", layer, P(-3, -2, -0.75), P(1, 1, 1.25), 24, kPlanar},                    // box 4 x 3 x 2
      {"AcDb3dSolid", "0", layer, P(5, -1, -1), P(7, 1, 3), 4 * pi, 4 * pi * kOneWay},              // cylinder r 1, h 4
      {"AcDb3dSolid", "0", layer, P(-7.5, 0.5, -2.5), P(-4.5, 3.5, 0.5), 4.5 * pi, 4.5 * pi * kTwoWay},  // sphere r 1.5
      {"AcDb3dSolid", "0", layer, P(-3.75, 5.25, -0.75), P(3.75, 12.75, 0.75), 3.375 * pi * pi,
       3.375 * pi * pi * kTwoWay},  // torus 3, 0.75: 2 pi^2 R r^2
      {"AcDb3dSolid", "0", layer, P(1, -9, -3), P(5, -5, -1), 32 - 2 * pi, 2 * pi * kOneWay},  // 4 x 4 x 2 less r 1
  };
}

std::vector<Source> drawingSamples() {
  const AcCmColor layer;
  return {
      {"AcDb3dSolid", "Solids", layer, P(-3.5, -3, -1.25), P(-0.5, -1, 0.25), 9, kPlanar},  // box 3 x 2 x 1.5
      {"AcDb3dSolid", "Solids", kv::indexColor(3), P(1.75, -1.25, -1.25), P(4.25, 1.25, 1.25), 125.0 / 48 * pi,
       125.0 / 48 * pi * kTwoWay},  // sphere r 1.25
      {"AcDb3dSolid", "Solids", kv::trueColor(250, 160, 20), P(-1.5, 3.5, 0), P(1.5, 6.5, 3), 2.25 * pi,
       2.25 * pi * kOneWay},  // cone r 1.5, h 3
      {"AcDb3dSolid", "0", kv::indexColor(6), P(-8, 2, -2), P(-4, 6, 0), 32 - 2.88 * pi, 2.88 * pi * kOneWay},  // less r 1.2
      {"AcDbBody", "Bodies", layer, P(5.5, -4, -2), P(8.5, -2, 0), 6, kPlanar},  // wedge 3 x 2 x 2
      {"AcDbBody", "Bodies", kv::trueColor(120, 200, 80), P(4.5, 1.5, -0.5), P(9.5, 6.5, 0.5), pi * pi,
       pi * pi * kTwoWay},  // torus 2, 0.5
      {"AcDbPolyFaceMesh", "Meshes", layer, P(-4, -7, -1), P(-2, -5, 2), 4, kPlanar},  // pyramid 2 x 2, h 3
      {"AcDbPolygonMesh", "Meshes", kv::trueColor(200, 40, 160), P(1, -8, -0.25), P(5, -3, 0.25), 0, 0},  // open wave
  };
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

// A source as the readers give it, for the check that the committed samples hold what
// make_samples.cpp builds.
struct Read {
  std::string cls, layer;
  AcCmColor color;
  AcDbExtents box;
  double volume = 0;  // 0 for an open mesh
};

void readEntity(AcDbEntity* e, Read& r) {
  r.cls = e->isA()->name();
  e->getGeomExtents(r.box);
  if (const auto* m = AcDbModelerEntity::cast(e)) {
    GProp_GProps v;
    BRepGProp::VolumeProperties(kv::modeler::shapeOf(*m), v, 1e-9);
    r.volume = v.Mass();
  }
  if (const auto* pf = AcDbPolyFaceMesh::cast(e)) {
    Mesh mesh = meshOf(*pf);
    if (isClosed(mesh)) r.volume = volumeOf(mesh);
  }
}

std::vector<Read> drawingSources(const std::string& file) {
  std::unique_ptr<AcDbDatabase> db;
  std::string error;
  EXPECT_EQ(kv::dxf::readDrawing(file, db, error), Acad::eOk) << error;
  std::vector<Read> out;
  if (!db) return out;
  std::vector<AcDbEntity*> entities = openModel(*db);
  for (AcDbEntity* e : entities) {
    Read r;
    readEntity(e, r);
    r.layer = e->layer().GetString();
    r.color = e->color();
    out.push_back(r);
  }
  closeAll(entities);
  return out;
}

std::vector<Read> satSources(const std::string& file) {
  AcDbVoidPtrArray items;
  EXPECT_EQ(kv::modeler::satIn(file.c_str(), items), Acad::eOk);
  std::vector<Read> out;
  for (void* item : items) {
    auto* e = static_cast<AcDbEntity*>(item);
    Read r;
    readEntity(e, r);
    r.layer = "0";
    out.push_back(r);
    delete e;
  }
  return out;
}

// The same method and, where the method has them, the same index or the same red, green, blue.
bool sameColor(const AcCmColor& a, const AcCmColor& b) {
  if (a.colorMethod() != b.colorMethod()) return false;
  if (a.isByACI()) return a.colorIndex() == b.colorIndex();
  if (a.isByColor()) return a.red() == b.red() && a.green() == b.green() && a.blue() == b.blue();
  return true;
}

double distance(const AcGePoint3d& a, const AcGePoint3d& b) { return (a - b).length(); }

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

  // The saved drawing holds one polyface mesh per source, in order, and nothing else. A mesh's
  // corners lie on its source's faces, so its box lies inside the source's, short of it by at
  // most the sagitta of a facet: the largest radius, 3.75, times 1 - cos(a / 2) = 0.0055.
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
      for (unsigned k = 0; k < 3; ++k) {
        EXPECT_GE(box.minPoint()[k], s.lo[k] - 1e-5) << k;
        EXPECT_LE(box.minPoint()[k], s.lo[k] + 0.021) << k;
        EXPECT_LE(box.maxPoint()[k], s.hi[k] + 1e-5) << k;
        EXPECT_GE(box.maxPoint()[k], s.hi[k] - 0.021) << k;
      }
      Mesh mesh = meshOf(*pf);
      ASSERT_FALSE(mesh.faces.empty());
      if (s.volume > 0) {
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
  std::string saved = (dir_ / "solids.dxf").string();
  int status = 0;
  std::string out = kvhost("samples/convert_file.scr", saved, "", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Successfully converted 5 solids\n"), std::string::npos) << out;
  expectMeshesOf(satSamples(), saved);
  expectEzdxfReads(saved, 5);
}

TEST_F(e2e, ConvertDrawingScriptReplacesEverySourceByItsMesh) {
  std::string saved = (dir_ / "drawing.dxf").string();
  int status = 0;
  std::string out = kvhost("samples/convert_drawing.scr", saved, "samples/drawing.dxf", status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Successfully converted 8 solids\n"), std::string::npos) << out;
  expectMeshesOf(drawingSamples(), saved);
  expectEzdxfReads(saved, 8);
}

// The committed samples read to the shapes written down above, and are what the generator
// makes today.
TEST_F(e2e, SamplesAreWhatTheGeneratorMakes) {
  auto expectShapes = [](const std::vector<Source>& want, const std::vector<Read>& got) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(got[i].cls, want[i].cls) << i;
      EXPECT_EQ(got[i].layer, want[i].layer) << i;
      EXPECT_TRUE(sameColor(got[i].color, want[i].color)) << i;
      EXPECT_NEAR(got[i].volume, want[i].volume, 1e-6 * std::max(1.0, want[i].volume)) << i;
      EXPECT_LT(distance(got[i].box.minPoint(), want[i].lo), 1e-6) << i;
      EXPECT_LT(distance(got[i].box.maxPoint(), want[i].hi), 1e-6) << i;
    }
  };
  expectShapes(satSamples(), satSources(kRoot + "/samples/solids.sat"));
  expectShapes(drawingSamples(), drawingSources(kRoot + "/samples/drawing.dxf"));

  int status = 0;
  std::string out = runProcess("'" KV_MAKE_SAMPLES "' '" + dir_.string() + "' 2>&1", status);
  ASSERT_EQ(status, 0) << out;
  expectShapes(satSamples(), satSources((dir_ / "solids.sat").string()));
  expectShapes(drawingSamples(), drawingSources((dir_ / "drawing.dxf").string()));
}

}  // namespace
