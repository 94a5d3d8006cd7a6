// Files and outside programs, for the tests.
#pragma once

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
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
