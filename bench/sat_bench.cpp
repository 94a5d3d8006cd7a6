// SAT reading and writing of one solid of about 1,000 faces: a plate pierced by 31 x 32 round
// holes (6 planar faces and 992 cylinders with their seams, circles and lines). Reading
// builds, repairs and closes every face; writing walks the topology and prints the records.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <BRepAlgoAPI_Cut.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRep_Builder.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS_Compound.hxx>
#include <benchmark/benchmark.h>

#include "host/host.h"
#include "testing/recording_ui.h"
#include "modeler/occ_shape.h"
#include "modeler/solids.h"

namespace fs = std::filesystem;

namespace {

struct Corpus {
  fs::path dir;
  std::string file;
  kv::RecordingUI ui;
  std::unique_ptr<kv::Host> host;
  AcDb3dSolid plate;
  int faces = 0;
  std::size_t bytes = 0;

  Corpus() {
    char pattern[] = "/tmp/kvsatbenchXXXXXX";
    dir = mkdtemp(pattern);
    file = (dir / "plate.sat").string();
    host = std::make_unique<kv::Host>(ui);
    TopoDS_Compound holes;
    BRep_Builder builder;
    builder.MakeCompound(holes);
    for (int i = 0; i < 31; ++i)
      for (int j = 0; j < 32; ++j)
        builder.Add(holes, BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(2 + 3 * i, 2 + 3 * j, -1), gp::DZ()), 1, 4).Shape());
    kv::modeler::shapeOf(plate) = BRepAlgoAPI_Cut(BRepPrimAPI_MakeBox(95, 98, 2).Shape(), holes).Shape();
    for (TopExp_Explorer x(kv::modeler::shapeOf(plate), TopAbs_FACE); x.More(); x.Next()) ++faces;
    AcDbVoidPtrArray in;
    in.append(static_cast<AcDbEntity*>(&plate));
    if (AcDbBody::acisOut(file.c_str(), in) != Acad::eOk) std::abort();
    bytes = fs::file_size(file);
  }
  ~Corpus() { fs::remove_all(dir); }
};

Corpus& corpus() {
  static Corpus c;
  return c;
}

void BM_SatRead(benchmark::State& state) {
  Corpus& c = corpus();
  for (auto _ : state) {
    AcDbVoidPtrArray out;
    if (AcDbBody::acisIn(c.file.c_str(), out) != Acad::eOk || out.length() != 1) state.SkipWithError("read failed");
    for (int i = 0; i < out.length(); ++i) delete static_cast<AcDbEntity*>(out[i]);
  }
  state.counters["faces"] = c.faces;
  state.counters["bytes"] = double(c.bytes);
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(c.bytes));
}
BENCHMARK(BM_SatRead)->Unit(benchmark::kMillisecond);

void BM_SatWrite(benchmark::State& state) {
  Corpus& c = corpus();
  AcDbVoidPtrArray in;
  in.append(static_cast<AcDbEntity*>(&c.plate));
  std::string out = (c.dir / "out.sat").string();
  for (auto _ : state) {
    if (AcDbBody::acisOut(out.c_str(), in) != Acad::eOk) state.SkipWithError("write failed");
  }
  state.counters["faces"] = c.faces;
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(c.bytes));
}
BENCHMARK(BM_SatWrite)->Unit(benchmark::kMillisecond);

}  // namespace
