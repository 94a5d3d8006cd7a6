#include "host/acrx.h"

#include "core/faults.h"

bool AcRxClass::isDerivedFrom(const AcRxClass* other) const {
  for (const AcRxClass* c = this; c; c = c->parent_)
    if (c == other) return true;
  return false;
}

AcRxClass* AcRxObject::desc() {
  static AcRxClass cls("AcRxObject", nullptr);
  return &cls;
}

AcRxObject* AcRxObject::clone() const {
  if (kv::fault::check(kv::fault::Call::clone, 1)) return nullptr;
  return subClone();
}
