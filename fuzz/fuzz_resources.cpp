// The resource-script parser on arbitrary text: a status, and out untouched on refusal.
#include "fuzz_input.h"
#include "win/resources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  kv::res::ResourceScript script;
  script.strings[-12345] = "sentinel";
  std::string error;
  if (!kv::res::parseScript(text, script, error)) {
    kv::fuzz::require(!error.empty(), "a refusal gives a reason");
    kv::fuzz::require(script.strings.size() == 1 && script.dialogs.empty(), "a refused script leaves out untouched");
  }
  return 0;
}
