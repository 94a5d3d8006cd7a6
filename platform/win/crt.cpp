#include "crt.h"

#include <cstring>
#include <unistd.h>

#include "host/faults.h"

std::string kvNativePath(const char* path) {
  std::string p = path ? path : "";
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

int _unlink(const char* path) {
  if (kv::fault::check("_unlink", -1)) return -1;
  if (!path) return -1;
  return unlink(kvNativePath(path).c_str()) == 0 ? 0 : -1;
}

int _mbscmp(const unsigned char* a, const unsigned char* b) {
  return std::strcmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
}
