#include "win/crt.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "core/faults.h"
#include "core/files.h"
#include "core/paths.h"

int _unlink(const char* path) {
  if (kv::fault::check(kv::fault::Call::unlink, -1)) return -1;
  if (!path) return -1;
  return kv::file::remove(path) == 0 ? 0 : -1;
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
