#include "core/paths.h"

namespace kv::path {

std::string native(std::string_view path) {
  std::string p(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

}  // namespace kv::path
