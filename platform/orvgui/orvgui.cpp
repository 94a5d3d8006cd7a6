#include "orvgui/orvgui.h"

#include <optional>

#include "core/ui.h"
#include "orvgui/settings_store.h"

namespace {

// Read afresh at every call: another run may have written since.
std::optional<int> stored(const CString& key, const CString& name) {
  kv::settings::Document document = kv::settings::load(kv::settings::storePath());
  const kv::settings::Store& store = document.values();
  auto section = store.find(key.GetString());
  if (section == store.end()) return std::nullopt;
  auto value = section->second.find(name.GetString());
  if (value == section->second.end()) return std::nullopt;
  return value->second;
}

}  // namespace

ORVRegistry::ORVRegistry() = default;
ORVRegistry::~ORVRegistry() = default;

// Without create, only a key that holds values can be named; callers always pass 1.
int ORVRegistry::SetKey(CString key, int create) {
  if (key.IsEmpty()) return 0;
  if (!create && !kv::settings::load(kv::settings::storePath()).values().count(key.GetString())) return 0;
  key_ = key;
  return 1;
}

int ORVRegistry::ReadInt(CString name, int def) {
  if (key_.IsEmpty()) return def;
  std::optional<int> value = stored(key_, name);
  return value ? *value : def;
}

int ORVRegistry::ReadBool(CString name, int def) {
  // The default comes back as given; a stored value reads as a flag.
  if (key_.IsEmpty()) return def;
  std::optional<int> value = stored(key_, name);
  return value ? (*value != 0 ? 1 : 0) : def;
}

int ORVRegistry::WriteInt(CString name, int value) {
  if (key_.IsEmpty() || name.IsEmpty()) return 0;
  std::string path = kv::settings::storePath();
  // A file that is there but could not be read is not replaced: what it holds would go.
  int readError = 0;
  kv::settings::Document document = kv::settings::load(path, &readError);
  if (readError) return 0;
  document.set(key_.GetString(), name.GetString(), value);
  return kv::settings::save(path, document) ? 1 : 0;
}

int ORVRegistry::WriteBool(CString name, int value) { return WriteInt(name, value ? 1 : 0); }

void ORVGUIUtils::About(const CString& title, HWND*) { kv::currentUI().about(title.GetString()); }
