// The platform's file-system calls, in one place: reading a file, replacing one atomically,
// deleting one. Paths take either separator. Errors are errno values (0 is success) or
// kNotRegularFile; describe() gives the reason as a user reads it.
//
// Armable: "fileOpen" (EACCES), "fileRead" (EIO), "fileWrite" (ENOSPC), "fileSync" (EIO) and
// "fileRename" (EACCES), each answering as the system would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/export.h"

namespace kv::file {

// A path that names a device, a pipe, a socket or a folder where a regular file must be.
inline constexpr int kNotRegularFile = -1;

KV_PLATFORM_API std::string describe(int error);

// A file open for reading.
class KV_PLATFORM_API Input {
public:
  Input() = default;
  ~Input();
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  // 0, or why it cannot be read; a folder gives EISDIR.
  int open(std::string_view path);
  // The size of a regular file; -1 for anything else (a pipe, a device).
  std::int64_t size() const { return size_; }
  // Fills buffer with up to n bytes, fewer only at the end of the file. The count, or -1 with
  // the reason in error().
  std::ptrdiff_t read(void* buffer, std::size_t n);
  // Moves to offset from the start; 0 or the reason.
  int seek(std::int64_t offset);
  int error() const { return error_; }

private:
  int fd_ = -1;
  std::int64_t size_ = -1;
  int error_ = 0;
};

// The whole file into out; out is untouched on failure. A file longer than limit gives EFBIG.
KV_PLATFORM_API int readWhole(std::string_view path, std::string& out, std::size_t limit = SIZE_MAX);

// Replaces the file at path with data: written to a new file beside it, flushed to the disk
// (unless temporary is set: a scratch file needs no flush), then renamed over it, so that the
// path holds the old file or the whole new one, never a part. A symlink is followed to its
// target and stays a link. Only a regular file is replaced: anything else gives
// kNotRegularFile, a file without write permission EACCES. The old file's permissions are
// kept; a new file gets 0666 less the umask. On failure the old file is as it was and no
// temporary file is left.
KV_PLATFORM_API int replace(std::string_view path, std::string_view data, bool temporary = false);

// replace() for data written piece by piece, so that a large file never stands whole in memory:
// open, write (and patch bytes already written), then commit. Until commit succeeds the old
// file is as it was; destroying an uncommitted replacement removes what it wrote. Each call
// answers 0 or the reason, as replace() does; after a failure only the destructor is left.
class KV_PLATFORM_API Replacement {
public:
  Replacement() = default;
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement();

  int open(std::string_view path, bool temporary = false);
  int write(std::string_view data);
  // Overwrites bytes already written, from offset on.
  int writeAt(std::uint64_t offset, std::string_view data);
  std::uint64_t size() const { return size_; }
  int commit();

private:
  std::string target_, temp_;
  int fd_ = -1;
  bool temporary_ = false;
  std::uint64_t size_ = 0;
};

// 0 when replace() would write at path now (a regular file with write permission, or none, in
// a folder that takes a new file), else what it would answer, checked without writing: so that a
// program can refuse a target before it does work whose result it could not keep.
KV_PLATFORM_API int checkReplace(std::string_view path);

// Deletes a file (not a folder); 0 or the reason.
KV_PLATFORM_API int remove(std::string_view path);

}  // namespace kv::file
