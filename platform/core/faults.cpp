#include "core/faults.h"

namespace kv::fault {

std::atomic<Injector> gInjector{nullptr};

const char* name(Call call) {
  static const char* const kNames[] = {
#define KV_FAULT_NAME(name) #name,
      KV_FAULT_CALLS(KV_FAULT_NAME)
#undef KV_FAULT_NAME
  };
  auto i = int(call);
  return i >= 0 && i < kCallCount ? kNames[i] : "?";
}

void install(Injector injector) { gInjector.store(injector, std::memory_order_relaxed); }

}  // namespace kv::fault
