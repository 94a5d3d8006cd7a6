// Shared by the fuzz targets: readers that take a path get each input through one file per
// process, so that parallel jobs (-jobs=N) never read each other's bytes.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace kv::fuzz {

class TempFile {
public:
  explicit TempFile(const std::string& suffix)
      : path_((std::filesystem::temp_directory_path() / ("kv_fuzz_" + std::to_string(::getpid()) + suffix)).string()) {}
  ~TempFile() { std::remove(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Replaces the file's bytes and answers the path. A file that cannot be written stops the
  // run: the machine failed, not the reader, and fuzzing on would test nothing.
  const std::string& write(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    bool ok = f && (size == 0 || std::fwrite(data, 1, size, f) == size);
    if (f) ok = std::fclose(f) == 0 && ok;
    if (!ok) std::abort();
    return path_;
  }
  const std::string& path() const { return path_; }

private:
  std::string path_;
};

inline std::string slurp(const std::string& path) {
  std::string bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[1 << 14];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    std::fclose(f);
  }
  return bytes;
}

// A broken promise of a reader's contract, as a crash libFuzzer records with its input.
inline void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "contract broken: %s\n", what);
    std::abort();
  }
}

}  // namespace kv::fuzz
