#include "host/kept.h"

#include <unordered_set>

#include "host/access.h"

namespace kv {

KV_RX_DEFINE_MEMBERS(KeptEntity, AcDbEntity, nullptr)
KV_RX_DEFINE_MEMBERS(KeptObject, AcDbObject, nullptr)

std::unique_ptr<KeptData> copyOf(const KeptData& kept) {
  auto data = std::make_unique<KeptData>();
  data->pairs = kept.pairs;
  data->extra = kept.extra;
  data->seqend = kept.seqend;
  data->flags = kept.flags;
  data->trueColor = kept.trueColor;
  data->colorIndex = kept.colorIndex;
  data->unhandled = kept.unhandled;
  if (kept.spelling) data->spelling = std::make_unique<KeptData::Spelling>(*kept.spelling);
  return data;
}

AcRxObject* KeptEntity::subClone() const {
  auto* copy = new KeptEntity(*dxfName_);
  copyPropertiesTo(*copy);
  if (const KeptData* kept = HostAccess::kept(*this)) HostAccess::setKept(*copy, copyOf(*kept));
  return copy;
}

const std::string& keptName(std::string_view name) {
  // A drawing holds a few dozen kinds; a set that never shrinks keeps the addresses stable.
  static std::unordered_set<std::string> names;
  return *names.emplace(name).first;
}

}  // namespace kv
