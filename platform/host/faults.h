// Fault injection: a named host call can be armed to answer a failure on its n-th call,
// once or from then on. The stand-ins ask before doing their work; the module never knows.
//
// Call names are the host's own ("acdbOpenObject", "appendAcDbEntity", "acedSetVar", ...);
// kAnyCall arms the n-th call of whatever name, for sweeping faults through a command.
#pragma once

#include <string>
#include <vector>

#include "core/export.h"

namespace kv::fault {

inline constexpr const char* kAnyCall = "*";
// Arming with kNatural makes the call answer its own usual failure status.
inline constexpr int kNatural = 0x7fffffff;

// The nth call of `call` from now (1 = the next) answers `status`; with `persistent`, every
// later call of it too.
KV_PLATFORM_API void arm(const char* call, int nth, int status = kNatural, bool persistent = false);
KV_PLATFORM_API void disarmAll();
// How many faults fired since the last disarmAll.
KV_PLATFORM_API int fired();
KV_PLATFORM_API int fired(const char* call);
// How many armable calls were made since the last disarmAll, and their names in order.
KV_PLATFORM_API int calls();
KV_PLATFORM_API const std::vector<std::string>& callLog();

// For the stand-ins: 0 when the call goes ahead, else the status it must answer.
KV_PLATFORM_API int check(const char* call, int naturalFailure);

}  // namespace kv::fault
