// kvhost's memory over long scripts: the peak resident size of one run of N commands (SETVAR
// FACETRES with alternating values), without a module and with Kavlor.arx loaded. The long runs
// also report the growth per command over a run of the shortest length, which is what a
// command loop that keeps something per command would show.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr long kShortest = 2000;

// A script of n commands in a folder of its own, removed with it.
struct Script {
  explicit Script(long n) {
    std::string pattern = (fs::temp_directory_path() / "kv-memory-bench-XXXXXX").string();
    if (mkdtemp(pattern.data())) dir = pattern;
    file = dir / "long.scr";
    std::ofstream out(file);
    for (long i = 0; i < n; ++i) out << "SETVAR\nFACETRES\n" << (i % 2 ? "2" : "3") << "\n";
    ok = !dir.empty() && out.good();
  }
  ~Script() {
    std::error_code ec;
    if (!dir.empty()) fs::remove_all(dir, ec);
  }
  fs::path dir, file;
  bool ok = false;
};

// Runs kvhost on the script with its transcript thrown away: the peak resident size of that
// run in KiB, or -1 when kvhost could not start or did not end with status 0.
long peakKiB(const Script& script, bool module) {
  std::vector<std::string> args = {KV_BIN_DIR "/kvhost", "-s", script.file.string()};
  if (!module) args.push_back("--no-load");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss;
}

void KvhostScriptMemory(benchmark::State& state) {
  const long commands = state.range(0);
  const bool module = state.range(1) != 0;
  Script script(commands);
  if (!script.ok) {
    state.SkipWithError("cannot write the script");
    return;
  }
  long peak = 0;
  for (auto _ : state) {
    long kib = peakKiB(script, module);
    if (kib < 0) {
      state.SkipWithError("kvhost did not run the script to the end");
      break;
    }
    peak = std::max(peak, kib);
  }
  if (peak == 0) return;
  state.counters["peak_rss_KiB"] = double(peak);
  state.SetItemsProcessed(state.iterations() * commands);
  if (commands <= kShortest) return;
  Script shortest(kShortest);
  long base = shortest.ok ? peakKiB(shortest, module) : -1;
  if (base < 0) {
    state.SkipWithError("kvhost did not run the shortest script");
    return;
  }
  state.counters["growth_B_per_command"] = double(peak - base) * 1024.0 / double(commands - kShortest);
}
BENCHMARK(KvhostScriptMemory)
    ->ArgsProduct({{kShortest, 200000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
