#include "host/kept.h"

namespace kv {

KV_RX_DEFINE_MEMBERS(KeptEntity, AcDbEntity, nullptr)
KV_RX_DEFINE_MEMBERS(KeptObject, AcDbObject, nullptr)

}  // namespace kv
