// Writing meshes into the drawing, and reading a large polygon grid back.
#include <benchmark/benchmark.h>

#include "convert/meshread.h"
#include "convert/polyface.h"
#include "host/host.h"
#include "testing/recording_ui.h"

namespace {

// A square grid of about n vertices, two triangles per cell.
ON_Mesh gridMesh(int n) {
  int side = 2;
  while ((side + 1) * (side + 1) <= n) ++side;
  ON_Mesh m;
  for (int r = 0; r < side; ++r)
    for (int c = 0; c < side; ++c) m.SetVertex(r * side + c, ON_3dPoint(c, r, (r * c) % 5));
  for (int r = 0; r + 1 < side; ++r)
    for (int c = 0; c + 1 < side; ++c) {
      int a = r * side + c;
      m.SetTriangle(m.FaceCount(), a, a + 1, a + side + 1);
      m.SetTriangle(m.FaceCount(), a, a + side + 1, a + side);
    }
  return m;
}

// Times only the write: each iteration gets a fresh drawing, made and destroyed off the clock.
void writeIntoFreshDrawings(benchmark::State& state, const ON_Mesh& mesh) {
  for (auto _ : state) {
    state.PauseTiming();
    kv::RecordingUI ui;
    auto host = std::make_unique<kv::Host>(ui);
    state.ResumeTiming();
    if (!PolyFaceMeshFromMesh(mesh, FALSE, "Bench", AcCmColor())) state.SkipWithError("write failed");
    state.PauseTiming();
    host.reset();
    state.ResumeTiming();
  }
}

void PolyFaceMeshWrite(benchmark::State& state) {
  ON_Mesh mesh = gridMesh(int(state.range(0)));
  // Keep under the host's face limit so this measures the polyface road.
  while (mesh.FaceCount() > 32767) mesh.m_F.Remove(mesh.FaceCount() - 1);
  writeIntoFreshDrawings(state, mesh);
  state.counters["vertices/s"] = benchmark::Counter(double(mesh.VertexCount()) * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["faces/s"] = benchmark::Counter(double(mesh.FaceCount()) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(PolyFaceMeshWrite)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond);

void FaceRoadWrite(benchmark::State& state) {
  ON_Mesh mesh = gridMesh(51000);  // about 100,000 triangles: past the polyface limit
  writeIntoFreshDrawings(state, mesh);
  state.counters["faces"] = double(mesh.FaceCount());
  state.counters["faces/s"] = benchmark::Counter(double(mesh.FaceCount()) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(FaceRoadWrite)->Unit(benchmark::kMillisecond);

// Shared corners must keep the grid read linear: 250,000 vertices.
void PolygonGridRead(benchmark::State& state) {
  kv::RecordingUI ui;
  kv::Host host(ui);
  const int side = int(state.range(0));
  AcGePoint3dArray pts;
  for (int r = 0; r < side; ++r)
    for (int c = 0; c < side; ++c) pts.append(AcGePoint3d(c, r, 0));
  AcDbPolygonMesh grid(AcDb::kSimpleMesh, short(side), short(side), pts);
  ON_Mesh mesh;
  for (auto _ : state)
    if (!MeshFromPolygonMesh(&grid, mesh)) state.SkipWithError("read failed");
  state.counters["vertices/s"] = benchmark::Counter(double(side) * side * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(PolygonGridRead)->Arg(100)->Arg(250)->Arg(500)->Unit(benchmark::kMillisecond);

}  // namespace
