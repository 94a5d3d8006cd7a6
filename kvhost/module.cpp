#include "module.h"

#include <filesystem>

namespace kvhost {

std::string defaultModulePath() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "Kavlor.arx";
  return (exe.parent_path() / "Kavlor.arx").string();
}

}  // namespace kvhost
