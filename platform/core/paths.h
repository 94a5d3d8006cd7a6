// Paths as the module writes them (Windows separators) and as this system opens them.
#pragma once

#include <string>
#include <string_view>

#include "core/export.h"

namespace kv::path {

// Both separators count, as on Windows.
inline bool isSeparator(char c) { return c == '/' || c == '\\'; }

// The path as this system opens it: each '\\' becomes '/'.
KV_PLATFORM_API std::string native(std::string_view path);

}  // namespace kv::path
