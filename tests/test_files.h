// Files, folders, environment variables and outside programs, for the tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

// The whole file; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// Runs a shell command; what it prints on its standard output, and its wait status.
inline std::string runProcess(const std::string& command, int& status) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) {
    status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  status = pclose(p);
  return out;
}

// Debian's own python3 with its ezdxf, the independent DXF reader.
inline bool ezdxfAvailable() { return std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") == 0; }

// What must never be written over, made in dir: a folder holding a file, a named pipe, a
// socket and a character device. Only root may make a device; anyone else gets /dev/null,
// which they cannot replace, so a save that wrongly goes ahead fails instead of harming the
// system. Root without the right to make one gets no device at all.
inline std::vector<std::string> makeNotRegularFiles(const std::string& dir) {
  std::vector<std::string> out;
  std::filesystem::create_directory(dir + "/folder");
  writeFile(dir + "/folder/inside", "kept");
  out.push_back(dir + "/folder");
  if (mkfifo((dir + "/pipe").c_str(), 0644) == 0) out.push_back(dir + "/pipe");
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string socketPath = dir + "/socket";
  if (socketPath.size() < sizeof address.sun_path) {
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) out.push_back(socketPath);
    if (fd >= 0) close(fd);
  }
  if (mknod((dir + "/device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) out.push_back(dir + "/device");
  else if (access("/dev", W_OK) != 0) out.push_back("/dev/null");
  return out;
}

// The names in a folder, sorted.
inline std::vector<std::string> namesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The kind, permission bits, device number and (for a folder) the names inside: what a
// refused write must leave as it was.
inline std::string nodeState(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return "missing";
  std::string state = std::to_string(st.st_mode) + " " + std::to_string(st.st_rdev);
  if (S_ISDIR(st.st_mode))
    for (const std::string& name : namesIn(path)) state += " " + name;
  return state;
}

// A fresh empty folder for one test, named after it and unique even when several test programs
// and checkouts share the temporary folder; removed with all it holds when the object goes,
// whether the test passed or not. Throws when no folder can be made (the test then fails).
class ScratchFolder {
public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / ("kv-" + testName() + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder " + pattern + ": " + std::strerror(errno));
    path_ = pattern;
    made().push_back(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    if (!ec) return;
    // A test may have taken the write permission from a folder inside: give it back, then retry.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      if (it->is_directory(ec)) std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                                             std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  // Every folder made since the list was last cleared (test_isolation.cpp looks for them after
  // each test).
  static std::vector<std::filesystem::path>& made() {
    static std::vector<std::filesystem::path> folders;
    return folders;
  }
  // A folder inside, made if missing.
  std::filesystem::path folder(const std::string& name) const {
    std::filesystem::create_directories(path_ / name);
    return path_ / name;
  }

private:
  // Suite.Test, with the separators of parameterised names made harmless and the length kept
  // well inside a file name's limit.
  static std::string testName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "outside-a-test";
    for (char& c : name)
      if (c == '/' || c == '\\' || c == ' ') c = '_';
    return name.substr(0, 96);
  }

  std::filesystem::path path_;
};

// Sets an environment variable (nullptr unsets it) for the life of the object; the old value,
// or its absence, comes back at the end.
class ScopedEnv {
public:
  ScopedEnv(std::string name, const char* value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    set(value);
  }
  ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  void set(const char* value) {
    if (value) setenv(name_.c_str(), value, 1);
    else unsetenv(name_.c_str());
  }

private:
  std::string name_;
  std::optional<std::string> old_;
};

// A CI run (CI set in the environment, not empty, "0" or "false"), where nothing a test needs
// may be missing.
inline bool inCI() {
  const char* ci = std::getenv("CI");
  return ci && *ci && std::strcmp(ci, "0") != 0 && std::strcmp(ci, "false") != 0;
}

// Ends the test when something outside the repository it needs (the shared test data, Debian's
// python3-ezdxf) is not there: a skip at a developer's desk, a failure in CI, so that a CI run
// cannot pass by skipping. Usable in any function returning void.
#define KV_SKIP_UNLESS(available, what)                  \
  do {                                                   \
    if (!(available)) {                                  \
      if (inCI()) GTEST_FAIL() << "CI needs " << what;   \
      GTEST_SKIP() << "missing " << what;                \
    }                                                    \
  } while (0)
