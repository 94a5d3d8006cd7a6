#include "temp_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace kvhost {

bool TempFolder::create(std::string& error) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/kvhost-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  // mkdtemp makes the folder with mode 0700, so no other user can plant files in it.
  if (!mkdtemp(buf.data())) {
    error = "cannot make a temporary folder from " + pattern + ": " + std::strerror(errno);
    return false;
  }
  path_ = buf.data();
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
