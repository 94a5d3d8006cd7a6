// Reading and saving whole drawings of mixed kinds. The drawings repeat the entities of
// bench/data/mixed.dxf (made by its make_mixed.py) under fresh handles, so every size holds the
// same mix. `drawing_bench --make FILE N` writes one such drawing of N entities and ends, for
// timing whole programs on it.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dxf/dxf.h"

namespace {

struct Pair {
  std::string code, value;
};

std::vector<Pair> readPairs(const std::string& path) {
  std::ifstream in(path);
  std::vector<Pair> pairs;
  Pair p;
  while (std::getline(in, p.code) && std::getline(in, p.value)) {
    if (!p.code.empty() && p.code.back() == '\r') p.code.pop_back();
    if (!p.value.empty() && p.value.back() == '\r') p.value.pop_back();
    pairs.push_back(p);
  }
  return pairs;
}

int code(const Pair& p) { return std::atoi(p.code.c_str()); }
bool is(const Pair& p, int c, const char* value) { return code(p) == c && p.value == value; }

// An entity with the sub-entities that follow it (a polyline's vertices up to SEQEND).
using Unit = std::vector<Pair>;

std::vector<Unit> units(const std::vector<Pair>& pairs, size_t begin, size_t end) {
  std::vector<Unit> out;
  for (size_t i = begin; i < end; ++i) {
    bool sub = code(pairs[i]) == 0 && (pairs[i].value == "VERTEX" || pairs[i].value == "SEQEND" ||
                                       pairs[i].value == "ATTRIB");
    if (code(pairs[i]) == 0 && !sub) out.emplace_back();
    out.back().push_back(pairs[i]);
  }
  return out;
}

void put(std::FILE* f, const Pair& p) { std::fprintf(f, "%s\n%s\n", p.code.c_str(), p.value.c_str()); }

// Writes unit under fresh handles; owners inside the unit follow their entity's new handle.
void putUnit(std::FILE* f, const Unit& unit, std::uint64_t& next) {
  std::map<std::string, std::string> renamed;
  char hex[32];
  for (const Pair& p : unit) {
    if (code(p) == 5) {
      std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(next++));
      renamed[p.value] = hex;
      std::fprintf(f, "%s\n%s\n", p.code.c_str(), hex);
    } else if (code(p) == 330 && renamed.count(p.value)) {
      std::fprintf(f, "%s\n%s\n", p.code.c_str(), renamed[p.value].c_str());
    } else {
      put(f, p);
    }
  }
}

bool makeMixedDrawing(const std::string& path, long count) {
  std::vector<Pair> pairs = readPairs(KV_BENCH_DATA "/mixed.dxf");
  size_t begin = 0, end = 0;
  for (size_t i = 1; i < pairs.size(); ++i) {
    if (is(pairs[i], 2, "ENTITIES") && is(pairs[i - 1], 0, "SECTION")) begin = i + 1;
    if (begin && !end && i > begin && is(pairs[i], 0, "ENDSEC")) end = i;
  }
  std::vector<Unit> kinds = units(pairs, begin, end);
  if (kinds.empty()) return false;
  std::uint64_t seed = 0;
  for (size_t i = 0; i + 1 < pairs.size(); ++i)
    if (is(pairs[i], 9, "$HANDSEED")) seed = std::strtoull(pairs[i + 1].value.c_str(), nullptr, 16);
  std::uint64_t next = seed, last = seed + std::uint64_t(count) * 8;
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return false;
  for (size_t i = 0; i < begin; ++i) {
    if (i > 0 && is(pairs[i - 1], 9, "$HANDSEED")) std::fprintf(f, "%s\n%llX\n", pairs[i].code.c_str(),
                                                                static_cast<unsigned long long>(last));
    else put(f, pairs[i]);
  }
  for (long n = 0; n < count; ++n) putUnit(f, kinds[size_t(n) % kinds.size()], next);
  for (size_t i = end; i < pairs.size(); ++i) put(f, pairs[i]);
  return std::fclose(f) == 0 && next < last;
}

// One drawing per size for the whole run, in the temporary folder.
const std::string& drawingOf(long count) {
  static std::map<long, std::string> made;
  std::string& path = made[count];
  if (path.empty()) {
    path = (std::filesystem::temp_directory_path() / ("kv_mixed_" + std::to_string(count) + ".dxf")).string();
    if (!makeMixedDrawing(path, count)) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  }
  return path;
}

void reportPeak(benchmark::State& state, const std::string& path) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024;
  state.counters["file_MB"] = double(std::filesystem::file_size(path)) / (1024 * 1024);
}

void ReadDrawing(benchmark::State& state) {
  const std::string& path = drawingOf(long(state.range(0)));
  for (auto _ : state) {
    std::unique_ptr<AcDbDatabase> db;
    std::string error;
    if (kv::dxf::readDrawing(path, db, error) != Acad::eOk) state.SkipWithError(error.c_str());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  reportPeak(state, path);
}
BENCHMARK(ReadDrawing)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void ReadAndSaveDrawing(benchmark::State& state) {
  const std::string& path = drawingOf(long(state.range(0)));
  std::string out = path + ".saved.dxf";
  for (auto _ : state) {
    std::unique_ptr<AcDbDatabase> db;
    std::string error;
    if (kv::dxf::readDrawing(path, db, error) != Acad::eOk ||
        kv::dxf::writeDrawing(*db, out, &error) != Acad::eOk)
      state.SkipWithError(error.c_str());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  reportPeak(state, path);
  std::filesystem::remove(out);
}
BENCHMARK(ReadAndSaveDrawing)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--make") == 0) return makeMixedDrawing(argv[2], std::atol(argv[3])) ? 0 : 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
