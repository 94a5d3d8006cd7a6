// Closed meshes into solids, two roads, on spheres of 10,000, 100,000 and 1,000,000 triangles
// (bands of latitude; a few pairs of their triangles lie on one plane):
// - ours, as the module's SatSolidFromMesh takes it: a temporary name, the maker's writer
//   (KOACISMesh::MeshToSAT), the host's import (AcDbBody::acisIn), the file deleted, the body
//   handed to a solid (setBody), and then cleanBody; "NoClean" stops before cleanBody;
// - Open CASCADE's sewing, which is how other tools make a solid of a mesh: each triangle a
//   face, BRepBuilderAPI_Sewing, then a solid of the sewn shell. A million triangles sew for
//   far longer than a benchmark can repeat, so it stops at 100,000.
// The writer alone is timed too. Each size runs a few times; compare the medians. The result's
// release is not timed.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakePolygon.hxx>
#include <BRepBuilderAPI_MakeSolid.hxx>
#include <BRepBuilderAPI_Sewing.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Shell.hxx>
#include <TopoDS_Solid.hxx>
#include <benchmark/benchmark.h>

#include "kolib/koacis.h"
#include "modeler/occ_shape.h"
#include "modeler/solids.h"
#include "tests/test_meshes.h"
#include "win/crt.h"

namespace fs = std::filesystem;

namespace {

// 2 * around * (bands - 1) triangles.
const ON_Mesh& sphere(int triangles) {
  static std::map<int, ON_Mesh> made;
  auto it = made.find(triangles);
  if (it != made.end()) return it->second;
  int around = triangles == 10000 ? 100 : triangles == 100000 ? 250 : 1000;
  int bands = triangles / (2 * around) + 1;
  return made.emplace(triangles, sphereMesh(100, around, bands)).first->second;
}

struct Folder {
  fs::path path;
  Folder() {
    char pattern[] = "/tmp/kvsatsolidbenchXXXXXX";
    path = mkdtemp(pattern);
  }
  ~Folder() { fs::remove_all(path); }
};

const Folder& folder() {
  static Folder f;
  return f;
}

int faceCount(const TopoDS_Shape& s) {
  int n = 0;
  for (TopExp_Explorer x(s, TopAbs_FACE); x.More(); x.Next()) ++n;
  return n;
}

// Our road into `target`; false when a step refused.
bool satRoad(const ON_Mesh& mesh, AcDb3dSolid& target, bool clean) {
  std::unique_ptr<char, decltype(&std::free)> path(_tempnam(folder().path.c_str(), "ORV"), &std::free);
  if (!path || !KOACISMesh::MeshToSAT(mesh, path.get(), KOACIS_WELD)) return false;
  AcDbVoidPtrArray made;
  Acad::ErrorStatus es = AcDbBody::acisIn(path.get(), made);
  _unlink(path.get());
  bool done = es == Acad::eOk && made.length() == 1 && AcDb3dSolid::cast(static_cast<AcDbEntity*>(made[0]));
  if (done) target.setBody(AcDb3dSolid::cast(static_cast<AcDbEntity*>(made[0]))->body());
  for (int i = 0; i < made.length(); ++i) delete static_cast<AcDbEntity*>(made[i]);
  return done && (!clean || target.cleanBody() == Acad::eOk);
}

void runSatRoad(benchmark::State& state, bool clean) {
  const ON_Mesh& mesh = sphere(int(state.range(0)));
  int faces = 0;
  for (auto _ : state) {
    auto target = std::make_unique<AcDb3dSolid>();
    if (!satRoad(mesh, *target, clean)) state.SkipWithError("our road failed");
    state.PauseTiming();
    faces = faceCount(kv::modeler::shapeOf(*target));
    target.reset();
    state.ResumeTiming();
  }
  state.counters["triangles"] = mesh.FaceCount();
  state.counters["faces"] = faces;
}

void BM_SatRoad(benchmark::State& state) { runSatRoad(state, true); }
void BM_SatRoadNoClean(benchmark::State& state) { runSatRoad(state, false); }

// Each triangle a face, sewn, and the one shell made a solid.
void BM_SewingRoad(benchmark::State& state) {
  const ON_Mesh& mesh = sphere(int(state.range(0)));
  auto point = [&](int i) { return gp_Pnt(mesh.m_V[i].x, mesh.m_V[i].y, mesh.m_V[i].z); };
  int faces = 0;
  for (auto _ : state) {
    auto sewing = std::make_unique<BRepBuilderAPI_Sewing>(1e-6);
    for (const ON_MeshFace& f : mesh.m_F) {
      BRepBuilderAPI_MakePolygon outline(point(f.vi[0]), point(f.vi[1]), point(f.vi[2]), Standard_True);
      sewing->Add(BRepBuilderAPI_MakeFace(outline.Wire(), Standard_True).Face());
    }
    sewing->Perform();
    TopExp_Explorer shell(sewing->SewedShape(), TopAbs_SHELL);
    if (!shell.More()) state.SkipWithError("sewing gave no shell");
    BRepBuilderAPI_MakeSolid solid(TopoDS::Shell(shell.Current()));
    if (!solid.IsDone()) state.SkipWithError("no solid");
    state.PauseTiming();
    faces = faceCount(solid.Solid());
    sewing.reset();
    state.ResumeTiming();
  }
  state.counters["triangles"] = mesh.FaceCount();
  state.counters["faces"] = faces;
}

void BM_MeshToSat(benchmark::State& state) {
  const ON_Mesh& mesh = sphere(int(state.range(0)));
  std::string path = (folder().path / "writer.sat").string();
  for (auto _ : state)
    if (!KOACISMesh::MeshToSAT(mesh, path.c_str(), KOACIS_WELD)) state.SkipWithError("writer failed");
  state.counters["triangles"] = mesh.FaceCount();
  state.counters["bytes"] = double(fs::file_size(path));
}

// One timed run per repetition: a single run of the largest takes many seconds.
void sizes(benchmark::internal::Benchmark* b, bool million) {
  b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
  b->Arg(10000)->Arg(100000);
  if (million) b->Arg(1000000);
}

BENCHMARK(BM_MeshToSat)->Apply([](benchmark::internal::Benchmark* b) { sizes(b, true); });
BENCHMARK(BM_SatRoadNoClean)->Apply([](benchmark::internal::Benchmark* b) { sizes(b, true); });
BENCHMARK(BM_SatRoad)->Apply([](benchmark::internal::Benchmark* b) { sizes(b, true); });
BENCHMARK(BM_SewingRoad)->Apply([](benchmark::internal::Benchmark* b) { sizes(b, false); });

}  // namespace
