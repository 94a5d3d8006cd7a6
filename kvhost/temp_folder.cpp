#include "temp_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace kvhost {

namespace {

// A new folder (mode 0700, so that no other user can plant files in it) under base; empty with
// error filled when base cannot take one.
std::string makeUnder(const std::string& base, std::string& error) {
  std::string pattern = base + "/kvhost-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) {
    error = "cannot make a temporary folder in " + base + ": " + std::strerror(errno);
    return std::string();
  }
  return buf.data();
}

}  // namespace

bool TempFolder::create(std::string& error, std::string& note) {
  const char* base = std::getenv("TMPDIR");
  if (base && *base) {
    path_ = makeUnder(base, note);
    if (path_.empty()) note += "; using /tmp instead";
  }
  if (path_.empty()) path_ = makeUnder("/tmp", error);
  // Without a folder of its own the module must not write to whatever "temp" named before.
  if (path_.empty()) {
    unsetenv("temp");
    return false;
  }
  if (setenv("temp", path_.c_str(), 1) != 0) {
    error = std::string("cannot set the variable temp: ") + std::strerror(errno);
    return false;
  }
  return true;
}

TempFolder::~TempFolder() {
  if (path_.empty()) return;
  std::error_code ec;  // a folder that cannot be removed must not turn a good run into a crash
  std::filesystem::remove_all(path_, ec);
}

}  // namespace kvhost
