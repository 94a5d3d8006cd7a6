// The settings file behind ORVRegistry, for the platform and its tests: one section per key,
// one "name=integer" line per value.
//
//   ; Kavlor settings
//   [Software\Orvanta\Kavlor for AutoCAD]
//   Resolution=50
//   Warning=1
//
// Key and value names are kept exactly: a byte that would break the line structure ('%', '[',
// ']', '=', ';' at the start, and control bytes) is written as %XX, so a name can never open a
// section or a value of its own.
#pragma once

#include <map>
#include <string>

#include "core/export.h"

namespace kv::settings {

using Store = std::map<std::string, std::map<std::string, int>>;  // key -> name -> value

// False (store untouched) for text that is not a well-formed store: every line must be
// blank, a comment (';' or '#'), a section, or name=integer inside a section.
KV_PLATFORM_API bool parse(const std::string& text, Store& store);
KV_PLATFORM_API std::string format(const Store& store);

// $XDG_CONFIG_HOME/kavlor/settings.ini, or ~/.config/kavlor/settings.ini.
KV_PLATFORM_API std::string storePath();
// The store at path; an absent, unreadable or broken file reads as empty. With readError, the
// reason an existing file could not be read (0 when it was, or when there is none).
KV_PLATFORM_API Store load(const std::string& path, int* readError = nullptr);
// Writes the store whole to a new file beside path, flushed to disk, and renames it over path.
// False when any step fails; the old file then stays as it was.
KV_PLATFORM_API bool save(const std::string& path, const Store& store);

}  // namespace kv::settings
