// Keywords as the host's keyword input takes them.
#pragma once

#include <string>

#include "core/export.h"

namespace kv {

// Matches an answer against a keyword without regard to case: the keyword's capitals ("X" for
// "eXtents"), or a prefix of the keyword that reaches past its last capital ("ext"); a keyword
// without capitals is typed in full. An empty answer matches nothing.
KV_PLATFORM_API bool matchesKeyword(const std::string& answer, const std::string& keyword);

}  // namespace kv
