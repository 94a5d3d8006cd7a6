#include "host/kept.h"

#include <unordered_set>

namespace kv {

KV_RX_DEFINE_MEMBERS(KeptEntity, AcDbEntity, nullptr)
KV_RX_DEFINE_MEMBERS(KeptObject, AcDbObject, nullptr)

const std::string& keptName(std::string_view name) {
  // A drawing holds a few dozen kinds; a set that never shrinks keeps the addresses stable.
  static std::unordered_set<std::string> names;
  return *names.emplace(name).first;
}

}  // namespace kv
