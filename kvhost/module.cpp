#include "module.h"

#include <filesystem>

// KV_INSTALLED_MODULE_DIR, the module folder as seen from kvhost's folder, comes from the
// install layout in the top CMakeLists.txt.

namespace kvhost {

namespace fs = std::filesystem;

std::vector<std::string> moduleCandidates(const std::string& exeFolder, const std::string& installedFolder) {
  fs::path here(exeFolder);
  std::vector<std::string> candidates{(here / "Kavlor.arx").string()};
  fs::path installed = (here / installedFolder / "Kavlor.arx").lexically_normal();
  if (installed.string() != candidates.front()) candidates.push_back(installed.string());
  return candidates;
}

std::string firstExisting(const std::vector<std::string>& candidates) {
  for (const std::string& candidate : candidates) {
    std::error_code ec;
    if (fs::exists(candidate, ec)) return candidate;
  }
  return {};
}

std::vector<std::string> defaultModuleCandidates() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return moduleCandidates(ec ? std::string(".") : exe.parent_path().string(), KV_INSTALLED_MODULE_DIR);
}

}  // namespace kvhost
