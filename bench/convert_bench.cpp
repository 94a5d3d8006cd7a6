// The whole KVConvertSolid command on 100 solids, against the floor of this design: the host's
// own faceting and STL writing of the same solids at the same FACETRES.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/commands.h"
#include "app/kavlorapp.h"
#include "host/aced.h"
#include "host/host.h"
#include "testing/recording_ui.h"
#include "modeler/solids.h"
#include "orvgui/orvgui.h"

namespace fs = std::filesystem;

namespace {

// A private temp folder and settings store: Resolution 50 and Warning off.
struct Environment {
  fs::path base;
  Environment() {
    base = fs::temp_directory_path() / ("kv-convert-bench-" + std::to_string(::getpid()));
    fs::create_directories(base / "temp");
    fs::create_directories(base / "config");
    setenv("temp", (base / "temp").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (base / "config").c_str(), 1);
    ORVRegistry reg;
    reg.SetKey(KAVLOR_REGISTRY_KEY, 1);
    reg.WriteInt("Resolution", 50);
    reg.WriteBool("Warning", 0);
  }
  ~Environment() { fs::remove_all(base); }
};

// The samples' kinds in turn: box, cylinder, sphere, torus, box with a hole; every other one
// reaching below zero.
AcDb3dSolid* sampleSolid(int i) {
  auto* s = new AcDb3dSolid;
  switch (i % 5) {
    case 0: s->createBox(2, 3, 4); break;
    case 1: s->createFrustum(4, 1, 1, 1); break;
    case 2: s->createSphere(1.5); break;
    case 3: s->createTorus(3, 0.75); break;
    default: {
      s->createBox(4, 4, 2);
      AcDb3dSolid hole;
      hole.createFrustum(3, 1, 1, 1);
      s->booleanOper(AcDb::kBoolSubtract, &hole);
    }
  }
  double offset = (i % 2) ? -20.0 : 20.0;
  s->transformBy(AcGeMatrix3d::translation(AcGeVector3d(offset + i, offset, 10)));
  return s;
}

void fillDrawing(AcDbDatabase& db, int n) {
  AcDbBlockTableRecord* space = nullptr;
  acdbOpenObject(space, db.modelSpaceId(), AcDb::kForWrite);
  for (int i = 0; i < n; ++i) {
    AcDb3dSolid* s = sampleSolid(i);
    space->appendAcDbEntity(s);
    s->close();
  }
  space->close();
}

struct NoInput : kv::CommandInput {
  bool next(const char*, std::string&) override { return false; }
};

void ConvertSolidCommand100(benchmark::State& state) {
  Environment env;
  for (auto _ : state) {
    state.PauseTiming();
    kv::RecordingUI ui;
    auto host = std::make_unique<kv::Host>(ui);
    acrxEntryPoint(AcRx::kInitAppMsg, &theApp);
    fillDrawing(host->database(), 100);
    ui.answer("ALL");
    ui.answer("");
    NoInput none;
    state.ResumeTiming();
    host->runCommand("KVConvertSolid", none);
    state.PauseTiming();
    if (ui.printed().find("Successfully converted 100 solids\n") == std::string::npos)
      state.SkipWithError("not every solid was converted");
    acrxEntryPoint(AcRx::kUnloadAppMsg, &theApp);
    host.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(ConvertSolidCommand100)->Unit(benchmark::kMillisecond)->MinTime(3);

// The floor: FACETRES set, each solid faceted and written as STL by the host, nothing else.
void HostStlFloor100(benchmark::State& state) {
  Environment env;
  for (auto _ : state) {
    state.PauseTiming();
    kv::RecordingUI ui;
    auto host = std::make_unique<kv::Host>(ui);
    std::vector<AcDb3dSolid*> solids;
    for (int i = 0; i < 100; ++i) solids.push_back(sampleSolid(i));
    resbuf rb{};
    rb.restype = RTREAL;
    rb.resval.rreal = ToleranceFromResolution(50);
    std::string path = (env.base / "temp" / "floor.stl").string();
    state.ResumeTiming();
    acedSetVar("FACETRES", &rb);
    for (AcDb3dSolid* s : solids) s->stlOut(path.c_str(), false);
    state.PauseTiming();
    for (AcDb3dSolid* s : solids) s->close();
    host.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(HostStlFloor100)->Unit(benchmark::kMillisecond)->MinTime(3);

// One solid past the polyface limit, written as 3D faces.
void FaceRoadSolid(benchmark::State& state) {
  Environment env;
  ORVRegistry reg;
  reg.SetKey(KAVLOR_REGISTRY_KEY, 1);
  reg.WriteInt("Resolution", 100);
  int64_t faces = 0;
  for (auto _ : state) {
    state.PauseTiming();
    kv::RecordingUI ui;
    auto host = std::make_unique<kv::Host>(ui);
    acrxEntryPoint(AcRx::kInitAppMsg, &theApp);
    AcDbBlockTableRecord* space = nullptr;
    acdbOpenObject(space, host->database().modelSpaceId(), AcDb::kForWrite);
    // Many small tori: a mesh well past 32,767 faces at the finest resolution.
    auto* big = new AcDb3dSolid;
    big->createTorus(3, 1);
    for (int i = 1; i < 4; ++i) {
      AcDb3dSolid ring;
      ring.createTorus(3, 1);
      ring.transformBy(AcGeMatrix3d::translation(AcGeVector3d(10.0 * i, 0, 0)));
      big->booleanOper(AcDb::kBoolUnite, &ring);
    }
    space->appendAcDbEntity(big);
    big->close();
    space->close();
    ui.answer("ALL");
    ui.answer("");
    NoInput none;
    state.ResumeTiming();
    host->runCommand("KVConvertSolid", none);
    state.PauseTiming();
    faces = 0;
    AcDbBlockTableRecord* ms = nullptr;
    acdbOpenObject(ms, host->database().modelSpaceId(), AcDb::kForRead);
    for (const AcDbObjectId& id : ms->entityIds()) faces += !id.isErased();
    ms->close();
    acrxEntryPoint(AcRx::kUnloadAppMsg, &theApp);
    host.reset();
    state.ResumeTiming();
  }
  state.counters["faces"] = double(faces);
  state.counters["faces/s"] = benchmark::Counter(double(faces) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(FaceRoadSolid)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace
