#include "testing/faults.h"

#include <array>
#include <optional>

namespace kv::fault {
namespace {

struct Trap {
  std::optional<Call> call;  // none: any call
  int countdown;             // calls that still pass before it fires
  int status;
  bool persistent;
  bool spent = false;
};

struct State {
  std::vector<Trap> traps;
  std::vector<LoggedCall> log;
  std::array<int, kCallCount> calls{};
  std::array<int, kCallCount> fired{};
  std::array<std::function<void()>, kCallCount> watches;
};

State& state() {
  static State s;
  return s;
}

int inject(Call call, int naturalFailure) {
  State& s = state();
  if (s.watches[size_t(call)]) s.watches[size_t(call)]();
  ++s.calls[size_t(call)];
  int answer = 0;
  for (Trap& t : s.traps) {
    if (t.spent || (t.call && *t.call != call)) continue;
    if (t.countdown > 1) {
      --t.countdown;
      continue;
    }
    if (!t.persistent) t.spent = true;
    if (answer == 0) answer = t.status == kNatural ? naturalFailure : t.status;
  }
  if (answer != 0) ++s.fired[size_t(call)];
  s.log.push_back(LoggedCall{call, answer != 0});
  return answer;
}

State& installed() {
  install(inject);
  return state();
}

int sum(const std::array<int, kCallCount>& counts) {
  int n = 0;
  for (int c : counts) n += c;
  return n;
}

}  // namespace

void arm(Call call, int nth, int status, bool persistent) {
  installed().traps.push_back(Trap{call, nth < 1 ? 1 : nth, status, persistent});
}

void armAny(int nth, int status, bool persistent) {
  installed().traps.push_back(Trap{std::nullopt, nth < 1 ? 1 : nth, status, persistent});
}

void disarmAll() {
  State& s = installed();
  s.traps.clear();
  s.log.clear();
  s.calls.fill(0);
  s.fired.fill(0);
  s.watches.fill(nullptr);
}

void watch(Call call, std::function<void()> what) { installed().watches[size_t(call)] = std::move(what); }

int fired() { return sum(installed().fired); }
int fired(Call call) { return installed().fired[size_t(call)]; }
int calls() { return sum(installed().calls); }
int calls(Call call) { return installed().calls[size_t(call)]; }
const std::vector<LoggedCall>& callLog() { return installed().log; }

}  // namespace kv::fault
