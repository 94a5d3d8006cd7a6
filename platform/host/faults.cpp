#include "core/faults.h"

#include <cstring>

namespace kv::fault {
namespace {

struct Trap {
  std::string call;
  int countdown;  // calls of this name still to pass before it fires
  int status;
  bool persistent;
  bool spent = false;
};

struct State {
  std::vector<Trap> traps;
  std::vector<std::string> log;
  std::vector<std::string> firedNames;
};

State& state() {
  static State s;
  return s;
}

}  // namespace

void arm(const char* call, int nth, int status, bool persistent) {
  if (nth < 1) nth = 1;
  state().traps.push_back(Trap{call, nth, status, persistent});
}

void disarmAll() {
  State& s = state();
  s.traps.clear();
  s.log.clear();
  s.firedNames.clear();
}

int fired() { return int(state().firedNames.size()); }

int fired(const char* call) {
  int n = 0;
  for (const auto& name : state().firedNames) n += name == call;
  return n;
}

int calls() { return int(state().log.size()); }
const std::vector<std::string>& callLog() { return state().log; }

int check(const char* call, int naturalFailure) {
  State& s = state();
  s.log.emplace_back(call);
  int answer = 0;
  for (Trap& t : s.traps) {
    if (t.spent || (t.call != call && t.call != kAnyCall)) continue;
    if (t.countdown > 1) {
      --t.countdown;
      continue;
    }
    if (!t.persistent) t.spent = true;
    if (answer == 0) answer = t.status == kNatural ? naturalFailure : t.status;
  }
  if (answer != 0) s.firedNames.emplace_back(call);
  return answer;
}

}  // namespace kv::fault
