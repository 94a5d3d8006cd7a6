// Run-time classes: every host object can name its class and make a copy of itself.
#pragma once

#include "core/export.h"

class KV_PLATFORM_API AcRxClass {
public:
  AcRxClass(const char* name, const AcRxClass* parent, const char* dxfName = nullptr)
      : name_(name), dxfName_(dxfName), parent_(parent) {}
  const char* name() const { return name_; }
  const char* dxfName() const { return dxfName_ ? dxfName_ : ""; }
  const AcRxClass* myParent() const { return parent_; }
  bool isDerivedFrom(const AcRxClass* other) const;

private:
  const char* name_;
  const char* dxfName_;
  const AcRxClass* parent_;
};

namespace kv {
struct HostAccess;
}  // namespace kv

class KV_PLATFORM_API AcRxObject {
public:
  virtual ~AcRxObject() = default;
  static AcRxClass* desc();
  virtual AcRxClass* isA() const { return desc(); }
  bool isKindOf(const AcRxClass* cls) const { return isA()->isDerivedFrom(cls); }
  // A new copy outside any database, or null when the class cannot be copied.
  AcRxObject* clone() const;

protected:
  virtual AcRxObject* subClone() const { return nullptr; }

private:
  friend struct kv::HostAccess;
};

// Each host class names itself and its parent; cast answers null for another class.
#define KV_RX_DECLARE_MEMBERS(Class)                \
  static AcRxClass* desc();                         \
  AcRxClass* isA() const override { return desc(); } \
  static Class* cast(AcRxObject* obj) { return obj && obj->isKindOf(desc()) ? static_cast<Class*>(obj) : nullptr; } \
  static const Class* cast(const AcRxObject* obj) { return obj && obj->isKindOf(desc()) ? static_cast<const Class*>(obj) : nullptr; }

#define KV_RX_DEFINE_MEMBERS(Class, Parent, DxfName) \
  AcRxClass* Class::desc() {                          \
    static AcRxClass cls(#Class, Parent::desc(), DxfName); \
    return &cls;                                      \
  }

// The messages the host sends a module through its exported acrxEntryPoint, and its answers.
namespace AcRx {
enum AppMsgCode {
  kNullMsg = 0,
  kInitAppMsg = 1,
  kUnloadAppMsg = 2,
  kLoadDwgMsg = 3,
  kUnloadDwgMsg = 4,
  kInvkSubrMsg = 5,
  kCfgMsg = 6,
  kEndMsg = 7,
  kQuitMsg = 8,
  kSaveMsg = 9,
  kDependencyMsg = 10,
  kNoDependencyMsg = 11,
  kOleUnloadAppMsg = 12,
  kPreQuitMsg = 13,
  kInitDialogMsg = 14,
  kEndDialogMsg = 15,
  kSuspendMsg = 16
};
enum AppRetCode { kRetOK = 0, kRetError = 3 };
}  // namespace AcRx
