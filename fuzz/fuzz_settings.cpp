// The settings store on arbitrary text: what it reads writes back byte for byte and a value set
// changes only that value; and the reading road of ORVRegistry under its own XDG_CONFIG_HOME.
// Writes are left out: each save syncs to disk, which would slow the run a hundredfold.
#include <stdlib.h>

#include "fuzz_input.h"
#include "orvgui/orvgui.h"
#include "orvgui/settings_store.h"

namespace {

// A config folder of this process's own, so the user's settings are never touched; removed
// when the run ends.
struct ConfigHome {
  std::string dir;
  ConfigHome() : dir((std::filesystem::temp_directory_path() / ("kv_fuzz_config_" + std::to_string(::getpid()))).string()) {
    std::filesystem::create_directories(dir + "/kavlor");
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  }
  ~ConfigHome() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ConfigHome config;
  const std::string& home = config.dir;
  const std::string text(reinterpret_cast<const char*>(data), size);

  // Every byte is kept; a value set reads back, and no other value changes.
  const kv::settings::Document document(text);
  kv::fuzz::require(document.text() == text, "a document writes back as it was read");
  kv::settings::Store store = document.values();
  kv::settings::Document changed = document;
  changed.set("Software\\Orvanta\\Kavlor", "Resolution", -5);
  kv::settings::Store expected = store;
  expected["Software\\Orvanta\\Kavlor"]["Resolution"] = -5;
  kv::fuzz::require(kv::settings::Document(changed.text()).values() == expected, "only the value set changes");

  const std::string path = kv::settings::storePath();
  kv::fuzz::require(path.rfind(home, 0) == 0, "the store lives under XDG_CONFIG_HOME");
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool written = f && (size == 0 || std::fwrite(data, 1, size, f) == size);
    written = f && std::fclose(f) == 0 && written;
    if (!written) std::abort();
  }
  // A key and a name from the text itself, when the registry's C strings can carry them.
  auto usable = [](const std::string& s) { return !s.empty() && s.find('\0') == std::string::npos; };
  std::string key = "Software\\Orvanta\\Kavlor", name = "Resolution";
  for (const auto& [k, values] : store) {
    if (!usable(k)) continue;
    key = k;
    for (const auto& entry : values)
      if (usable(entry.first)) name = entry.first;
    break;
  }
  ORVRegistry registry;
  if (registry.SetKey(key.c_str(), 0) == 1) {
    kv::fuzz::require(store.count(key) == 1, "only a stored key opens without create");
    auto stored = store[key].find(name);
    int want = stored == store[key].end() ? -7 : stored->second;
    kv::fuzz::require(registry.ReadInt(name.c_str(), -7) == want, "a stored value reads back");
  }
  return 0;
}
