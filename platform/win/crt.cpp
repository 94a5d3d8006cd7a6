#include "win/crt.h"

#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/faults.h"
#include "core/files.h"
#include "core/paths.h"

int _unlink(const char* path) {
  if (kv::fault::check(kv::fault::Call::unlink, -1)) return -1;
  if (!path) return -1;
  return kv::file::remove(path) == 0 ? 0 : -1;
}

namespace {

bool isFolder(const std::string& path) {
  struct stat st;
  return ::stat(kv::path::native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string systemTempFolder() {
  std::error_code ec;
  std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  return ec || temp.empty() ? "/tmp" : temp.string();
}

std::uint64_t mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Names are drawn at random, not counted up, so that programs picking names in one folder at
// the same moment are unlikely to meet; the system's entropy when it has some at hand, else
// the clock, the process and a counter.
std::uint64_t randomBits() {
  std::uint64_t r = 0;
  if (::getrandom(&r, sizeof r, GRND_NONBLOCK) == ssize_t(sizeof r)) return r;
  static std::atomic<std::uint64_t> counter{0};
  auto now = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
  return mix(now ^ (std::uint64_t(::getpid()) << 40) ^ mix(counter.fetch_add(1)));
}

// Eight letters or digits: 36^8 names, lower case as a case-blind file system sees them.
std::string randomSuffix() {
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::uint64_t r = randomBits();
  std::string s(8, '0');
  for (char& c : s) {
    c = kDigits[r % 36];
    r /= 36;
  }
  return s;
}

}  // namespace

// Nothing is created: the name is free when we answer, and a caller that makes the file later
// may still meet another program's. lstat, so that a dangling link counts as taken.
char* _tempnam(const char* dir, const char* prefix) {
  if (kv::fault::check(kv::fault::Call::tempnam, -1)) return nullptr;
  std::string folder = dir && *dir && isFolder(dir) ? std::string(dir) : systemTempFolder();
  if (!kv::path::isSeparator(folder.back()))
    folder += folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos ? '\\' : '/';
  if (prefix) folder += prefix;
  constexpr int kAttempts = 64;
  for (int i = 0; i < kAttempts; ++i) {
    std::string name = folder + randomSuffix();
    struct stat st;
    if (::lstat(kv::path::native(name).c_str(), &st) == 0) continue;
    if (errno != ENOENT) return nullptr;  // the folder cannot be searched, or the name is too long
    return ::strdup(name.c_str());
  }
  return nullptr;
}

int _mbscmp(const unsigned char* a, const unsigned char* b) {
  return std::strcmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
}

namespace {

// Copies n characters of s into out (capacity cap, terminator included), cut to fit.
void copyPart(char* out, size_t cap, const char* s, size_t n) {
  if (!out) return;
  n = std::min(n, cap - 1);
  std::memcpy(out, s, n);
  out[n] = '\0';
}

}  // namespace

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
  const char* p = path ? path : "";
  // A drive is a letter and a colon at the very start; anything else belongs to the directory.
  size_t driveLen = (std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') ? 2 : 0;
  copyPart(drive, _MAX_DRIVE, p, driveLen);
  p += driveLen;
  const char* lastSep = nullptr;
  for (const char* q = p; *q; ++q)
    if (kv::path::isSeparator(*q)) lastSep = q;
  size_t dirLen = lastSep ? size_t(lastSep - p + 1) : 0;
  copyPart(dir, _MAX_DIR, p, dirLen);
  const char* name = p + dirLen;
  const char* dot = std::strrchr(name, '.');
  size_t nameLen = dot ? size_t(dot - name) : std::strlen(name);
  copyPart(fname, _MAX_FNAME, name, nameLen);
  copyPart(ext, _MAX_EXT, dot ? dot : "", dot ? std::strlen(dot) : 0);
}
