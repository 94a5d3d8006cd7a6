// Arming faults, for tests: the n-th call of an armable call (1 = the next) answers a failure,
// once or from then on, and every armable call is counted. The first use installs the
// injector into the platform; it stays installed for the rest of the test program.
#pragma once

#include <functional>
#include <ostream>
#include <vector>

#include "core/faults.h"

namespace kv::fault {

// Arming with kNatural makes the call answer its own usual failure status.
inline constexpr int kNatural = 0x7fffffff;

void arm(Call call, int nth, int status = kNatural, bool persistent = false);
// The n-th armable call of any name, for sweeping faults through a command.
void armAny(int nth, int status = kNatural, bool persistent = false);
// Disarms everything and sets every count to 0.
void disarmAll();

// Faults fired and calls made since the last disarmAll, in all and of one call.
int fired();
int fired(Call call);
int calls();
int calls(Call call);
// The armable calls made since the last disarmAll, in order, each with whether it failed.
struct LoggedCall {
  Call call;
  bool fired;
};
const std::vector<LoggedCall>& callLog();

// Runs what just before each call of that name asks whether to fail, for tests that look at
// the state the call finds; a new watch replaces the old, an empty one ends it, and disarmAll
// ends them all.
void watch(Call call, std::function<void()> what);

// Calls print by name in test messages.
inline std::ostream& operator<<(std::ostream& out, Call call) { return out << name(call); }

}  // namespace kv::fault
