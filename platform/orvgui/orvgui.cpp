#include "orvgui/orvgui.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "core/files.h"
#include "core/numbers.h"
#include "core/ui.h"
#include "orvgui/settings_store.h"

namespace kv::settings {

namespace {

// Larger files are not ours: they read as a broken store.
constexpr std::size_t kMaxStoreBytes = 1 << 20;

bool needsEscape(unsigned char c, bool first) {
  return c < 0x20 || c == 0x7f || c == '%' || c == '[' || c == ']' || c == '=' || (first && (c == ';' || c == '#'));
}

std::string escape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    // Leading and trailing blanks would be lost to a reader that trims.
    bool edgeBlank = c == ' ' && (i == 0 || i + 1 == s.size());
    if (needsEscape(c, i == 0) || edgeBlank) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += char(c);
    }
  }
  return out;
}

bool unescape(const std::string& s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size() || !std::isxdigit(static_cast<unsigned char>(s[i + 1])) ||
        !std::isxdigit(static_cast<unsigned char>(s[i + 2])))
      return false;
    unsigned byte = 0;
    kv::toNumber(std::string_view(s).substr(i + 1, 2), byte, 16);
    out += char(byte);
    i += 2;
  }
  return true;
}

}  // namespace

bool parse(const std::string& text, Store& store) {
  Store parsed;
  std::map<std::string, int>* section = nullptr;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    std::string name;
    if (line[0] == '[') {
      if (line.back() != ']' || !unescape(line.substr(1, line.size() - 2), name)) return false;
      section = &parsed[name];
      continue;
    }
    size_t eq = line.find('=');
    int value = 0;
    if (!section || eq == std::string::npos || !unescape(line.substr(0, eq), name) || name.empty() ||
        !kv::toNumber(std::string_view(line).substr(eq + 1), value))
      return false;
    (*section)[name] = value;
  }
  store = std::move(parsed);
  return true;
}

std::string format(const Store& store) {
  std::string out = "; Kavlor settings\n";
  for (const auto& [key, values] : store) {
    out += "[" + escape(key) + "]\n";
    for (const auto& [name, value] : values) out += escape(name) + "=" + std::to_string(value) + "\n";
  }
  return out;
}

std::string storePath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  // The XDG rules: only an absolute XDG_CONFIG_HOME counts.
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : ".") + "/.config";
  }
  return base + "/kavlor/settings.ini";
}

Store load(const std::string& path, int* readError) {
  Store store;
  std::string text;
  int e = file::readWhole(path, text, kMaxStoreBytes);
  if (readError) *readError = e == ENOENT ? 0 : e;
  if (e != 0 || !parse(text, store)) return Store();
  return store;
}

bool save(const std::string& path, const Store& store) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  return file::replace(path, format(store)) == 0;
}

}  // namespace kv::settings

ORVRegistry::ORVRegistry() = default;
ORVRegistry::~ORVRegistry() = default;

// Without create, only a key that holds values can be named; callers always pass 1.
int ORVRegistry::SetKey(CString key, int create) {
  if (key.IsEmpty()) return 0;
  if (!create && !kv::settings::load(kv::settings::storePath()).count(key.GetString())) return 0;
  key_ = key;
  return 1;
}

int ORVRegistry::ReadInt(CString name, int def) {
  if (key_.IsEmpty()) return def;
  kv::settings::Store store = kv::settings::load(kv::settings::storePath());
  auto section = store.find(key_.GetString());
  if (section == store.end()) return def;
  auto value = section->second.find(name.GetString());
  return value == section->second.end() ? def : value->second;
}

int ORVRegistry::ReadBool(CString name, int def) {
  // The default comes back as given; a stored value reads as a flag.
  if (key_.IsEmpty()) return def;
  kv::settings::Store store = kv::settings::load(kv::settings::storePath());
  auto section = store.find(key_.GetString());
  if (section == store.end()) return def;
  auto value = section->second.find(name.GetString());
  return value == section->second.end() ? def : (value->second != 0 ? 1 : 0);
}

int ORVRegistry::WriteInt(CString name, int value) {
  if (key_.IsEmpty() || name.IsEmpty()) return 0;
  std::string path = kv::settings::storePath();
  // A store that is there but could not be read is not replaced: its other values would go.
  int readError = 0;
  kv::settings::Store store = kv::settings::load(path, &readError);
  if (readError) return 0;
  store[key_.GetString()][name.GetString()] = value;
  return kv::settings::save(path, store) ? 1 : 0;
}

int ORVRegistry::WriteBool(CString name, int value) { return WriteInt(name, value ? 1 : 0); }

void ORVGUIUtils::About(const CString& title, HWND*) { kv::currentUI().about(title.GetString()); }
