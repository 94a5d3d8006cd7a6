#include "core/files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/faults.h"
#include "core/paths.h"

namespace kv::file {
namespace {

using fault::Call;

// The system's answer, or the armed fault's: -1 with errno set when either refused.
int refused(Call call, int natural) {
  if (int e = fault::check(call, natural)) {
    errno = e;
    return -1;
  }
  return 0;
}

int writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    if (refused(Call::fileWrite, ENOSPC)) return errno;
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    data.remove_prefix(size_t(n));
  }
  return 0;
}

// Follows symlinks to the file they name (which need not exist yet); relative targets are
// taken from the link's folder.
int resolveLinks(std::string& path) {
  for (int hops = 0; hops < 40; ++hops) {
    char target[PATH_MAX];
    ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    if (n < 0) return errno == EINVAL || errno == ENOENT ? 0 : errno;
    target[n] = '\0';
    if (target[0] == '/') {
      path = target;
    } else {
      size_t slash = path.rfind('/');
      path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + target;
    }
  }
  return ELOOP;
}

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The rename itself reaches the disk with its folder.
void syncFolder(const std::string& path) {
  int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  ::fsync(dir);
  ::close(dir);
}

}  // namespace

std::string describe(int error) {
  if (error == 0) return "no error";
  if (error == kNotRegularFile) return "not a regular file";
  return std::strerror(error);
}

Input::~Input() {
  if (fd_ >= 0) ::close(fd_);
}

int Input::open(std::string_view path) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = -1;
  std::string native = path::native(path);
  if (refused(Call::fileOpen, EACCES)) return error_ = errno;
  fd_ = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return error_ = errno;
  struct stat st;
  if (::fstat(fd_, &st) != 0) return error_ = errno;
  if (S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return error_ = EISDIR;
  }
  if (S_ISREG(st.st_mode)) size_ = st.st_size;
  return error_ = 0;
}

std::ptrdiff_t Input::read(void* buffer, std::size_t n) {
  auto* at = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < n) {
    if (refused(Call::fileRead, EIO)) break;
    ssize_t got = ::read(fd_, at + done, n - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    if (got == 0) return std::ptrdiff_t(done);
    done += size_t(got);
  }
  if (done == n) return std::ptrdiff_t(n);
  error_ = errno;
  return -1;
}

int Input::seek(std::int64_t offset) {
  // lseek's failure, -1, is also the offset a caller may wrongly ask for.
  if (::lseek(fd_, off_t(offset), SEEK_SET) < 0) return error_ = errno;
  return 0;
}

int readWhole(std::string_view path, std::string& out, std::size_t limit) {
  Input in;
  if (int e = in.open(path)) return e;
  std::string text;
  // A size of 0 may be a file the system makes as it is read (/proc): read those in chunks.
  if (in.size() > 0) {
    if (std::uint64_t(in.size()) > limit) return EFBIG;
    text.resize(size_t(in.size()));
    std::ptrdiff_t n = in.read(text.data(), text.size());
    if (n < 0) return in.error();
    text.resize(size_t(n));  // the file shrank while we read it
  } else {
    char chunk[1 << 16];
    for (;;) {
      std::ptrdiff_t n = in.read(chunk, sizeof chunk);
      if (n < 0) return in.error();
      if (text.size() + size_t(n) > limit) return EFBIG;
      text.append(chunk, size_t(n));
      if (size_t(n) < sizeof chunk) break;
    }
  }
  out = std::move(text);
  return 0;
}

namespace {

// The file a replace writes, after links, and what stands there now; 0 when it may be written.
int replaceTarget(std::string_view path, std::string& target, struct stat& old, bool& exists) {
  target = path::native(path);
  if (target.empty()) return ENOENT;
  if (int e = resolveLinks(target)) return e;
  exists = ::stat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return errno;
  if (exists && !S_ISREG(old.st_mode)) return kNotRegularFile;
  // The permission bits count even for root: a file its owner made read-only stays unwritten.
  if (exists && (old.st_mode & 0222) == 0) return EACCES;
  if (exists && ::access(target.c_str(), W_OK) != 0) return errno;
  return 0;
}

}  // namespace

int checkReplace(std::string_view path) {
  std::string target;
  struct stat old;
  bool exists = false;
  if (int e = replaceTarget(path, target, old, exists)) return e;
  // The new file is made beside the old one, so its folder must take it; a missing folder, or
  // one that is a file, the look at the target has told already.
  return ::access(folderOf(target).c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

int replace(std::string_view path, std::string_view data, bool temporary) {
  Replacement out;
  if (int e = out.open(path, temporary)) return e;
  if (int e = out.write(data)) return e;
  return out.commit();
}

Replacement::~Replacement() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

int Replacement::open(std::string_view path, bool temporary) {
  assert(fd_ < 0 && temp_.empty() && "a replacement is opened once");
  struct stat old;
  bool exists = false;
  if (int e = replaceTarget(path, target_, old, exists)) return e;
  std::string temp = target_ + ".XXXXXX";
  if (refused(Call::fileOpen, EACCES)) return errno;
  fd_ = ::mkstemp(temp.data());
  if (fd_ < 0) return errno;
  temp_ = std::move(temp);
  temporary_ = temporary;
  // mkstemp makes the file private; give it the mode the old file had, or a plain create's.
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, exists ? old.st_mode & 0777 : 0666 & ~mask);
  return 0;
}

int Replacement::write(std::string_view data) {
  if (fd_ < 0) return EBADF;
  if (int e = writeAll(fd_, data)) return e;
  size_ += data.size();
  return 0;
}

int Replacement::writeAt(std::uint64_t offset, std::string_view data) {
  if (fd_ < 0) return EBADF;
  assert(offset + data.size() <= size_ && "only bytes already written are patched");
  while (!data.empty()) {
    if (refused(Call::fileWrite, ENOSPC)) return errno;
    ssize_t n = ::pwrite(fd_, data.data(), data.size(), off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    data.remove_prefix(size_t(n));
    offset += std::uint64_t(n);
  }
  return 0;
}

int Replacement::commit() {
  if (fd_ < 0) return EBADF;
  int e = 0;
  if (!temporary_ && (refused(Call::fileSync, EIO) || ::fsync(fd_) != 0)) e = errno;
  if (::close(fd_) != 0 && !e) e = errno;
  fd_ = -1;
  if (!e && (refused(Call::fileRename, EACCES) || std::rename(temp_.c_str(), target_.c_str()) != 0)) e = errno;
  if (e) return e;  // the destructor removes the new file
  temp_.clear();
  if (!temporary_) syncFolder(target_);
  return 0;
}

int remove(std::string_view path) {
  std::string native = path::native(path);
  struct stat st;
  if (::lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return EISDIR;
  return ::unlink(native.c_str()) == 0 ? 0 : errno;
}

}  // namespace kv::file
