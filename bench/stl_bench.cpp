// The STL reader against the floor of reading the file's bytes, on binary files of about 10k,
// 100k and 1M facets written by stlOut from solids of many curved faces. "peak/file" is the
// growth of the process's peak resident memory during one read, over the file's size (large
// blocks are kept out of malloc's reuse so that the baseline holds none of them).
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "host/host.h"
#include "testing/recording_ui.h"
#include "kolib/kostl.h"
#include "modeler/solids.h"

namespace fs = std::filesystem;

namespace {

// Resident memory: the peak since the last reset, and now, in bytes.
size_t residentKiB(const char* field) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  char line[256];
  size_t kib = 0;
  size_t n = std::strlen(field);
  while (f && std::fgets(line, sizeof line, f))
    if (std::strncmp(line, field, n) == 0) kib = std::strtoull(line + n + 1, nullptr, 10);
  if (f) std::fclose(f);
  return kib * 1024;
}

void resetPeak() {
  std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
  if (!f) return;
  std::fputs("5", f);
  std::fclose(f);
}

}  // namespace

namespace {

// Tori laid out on a grid and united into one solid of many lumps, written at a FACETRES that
// gives each torus some ten thousand facets: many faces of moderate size, as the mesher likes.
struct Corpus {
  fs::path dir;
  std::string files[3];

  Corpus() {
    char pattern[] = "/tmp/kvstlbenchXXXXXX";
    dir = mkdtemp(pattern);
    kv::RecordingUI ui;
    kv::Host host(ui);
    host.sysvars().find("FACETRES")->real = 10;
    const int tori[3] = {1, 10, 100};
    for (int k = 0; k < 3; ++k) {
      AcDb3dSolid all;
      for (int i = 0; i < tori[k]; ++i) {
        AcDb3dSolid torus;
        torus.createTorus(2, 0.5);
        torus.transformBy(AcGeMatrix3d::translation({6.0 * (i % 10), 6.0 * (i / 10), 0}));
        if (i == 0) all.setBody(torus.body());
        else all.booleanOper(AcDb::kBoolUnite, &torus);
      }
      files[k] = (dir / ("tori" + std::to_string(tori[k]) + ".stl")).string();
      if (all.stlOut(files[k].c_str(), false) != Acad::eOk) std::fprintf(stderr, "stlOut failed\n");
    }
  }
  ~Corpus() { fs::remove_all(dir); }
};

const Corpus& corpus() {
  // A fixed threshold: freed large blocks go back to the system instead of into malloc's pool.
  static int fixedThreshold = mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  static Corpus c;
  (void)fixedThreshold;
  return c;
}

size_t facetsOf(const std::string& file) { return (fs::file_size(file) - 84) / 50; }

void ReadBytes(benchmark::State& state) {
  const std::string& file = corpus().files[state.range(0)];
  size_t size = fs::file_size(file);
  for (auto _ : state) {
    int fd = ::open(file.c_str(), O_RDONLY);
    std::unique_ptr<char[]> buffer(new char[size]);
    size_t done = 0;
    while (done < size) {
      ssize_t n = ::read(fd, buffer.get() + done, size - done);
      if (n <= 0) break;
      done += size_t(n);
    }
    ::close(fd);
    benchmark::DoNotOptimize(buffer.get());
  }
  state.SetBytesProcessed(int64_t(state.iterations() * size));
  state.counters["facets"] = double(facetsOf(file));
}

void StlToMesh(benchmark::State& state) {
  const std::string& file = corpus().files[state.range(0)];
  size_t size = fs::file_size(file);
  ON_Mesh mesh;
  double peak = 0;
  for (auto _ : state) {
    mesh.Destroy();
    resetPeak();
    size_t base = residentKiB("VmRSS:");
    if (!KOSTL::STLToMesh(file.c_str(), mesh)) state.SkipWithError(KOSTL::GetError().GetString());
    peak = double(residentKiB("VmHWM:") - base);
  }
  state.SetBytesProcessed(int64_t(state.iterations() * size));
  state.counters["facets"] = double(facetsOf(file));
  state.counters["vertices"] = mesh.VertexCount();
  state.counters["peak/file"] = peak / double(size);
}

}  // namespace

BENCHMARK(ReadBytes)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(StlToMesh)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
