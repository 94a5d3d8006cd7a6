// The module-facing objects of the application services: each forwards to the running host.
#include "host/acrxapp.h"
#include "win/afx.h"

#include <cstring>

#include "host/aced.h"
#include "host/appservices.h"
#include "host/commands.h"
#include "host/host.h"
#include "host/menu.h"

// ---------------------------------------------------------------------------------------------
// Application base classes

AcRx::AppRetCode AcRxDbxApp::OnInitAppMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnUnloadAppMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnLoadDwgMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnUnloadDwgMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnInvkSubrMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnCfgMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnEndMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnQuitMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnSaveMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnDependencyMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnNoDependencyMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnOleUnloadAppMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnPreQuitMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnInitDialogMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnEndDialogMsg(void*) { return AcRx::kRetOK; }
AcRx::AppRetCode AcRxDbxApp::OnNullMsg(void*) { return AcRx::kRetOK; }

AcRx::AppRetCode AcRxDbxApp::dispatch(AcRx::AppMsgCode msg, void* pkt) {
  switch (msg) {
    case AcRx::kNullMsg: return OnNullMsg(pkt);
    case AcRx::kInitAppMsg: return OnInitAppMsg(pkt);
    case AcRx::kUnloadAppMsg: return OnUnloadAppMsg(pkt);
    case AcRx::kLoadDwgMsg: return OnLoadDwgMsg(pkt);
    case AcRx::kUnloadDwgMsg: return OnUnloadDwgMsg(pkt);
    case AcRx::kInvkSubrMsg: return OnInvkSubrMsg(pkt);
    case AcRx::kCfgMsg: return OnCfgMsg(pkt);
    case AcRx::kEndMsg: return OnEndMsg(pkt);
    case AcRx::kQuitMsg: return OnQuitMsg(pkt);
    case AcRx::kSaveMsg: return OnSaveMsg(pkt);
    case AcRx::kDependencyMsg: return OnDependencyMsg(pkt);
    case AcRx::kNoDependencyMsg: return OnNoDependencyMsg(pkt);
    case AcRx::kOleUnloadAppMsg: return OnOleUnloadAppMsg(pkt);
    case AcRx::kPreQuitMsg: return OnPreQuitMsg(pkt);
    case AcRx::kInitDialogMsg: return OnInitDialogMsg(pkt);
    case AcRx::kEndDialogMsg: return OnEndDialogMsg(pkt);
    default: return AcRx::kRetOK;
  }
}

// ---------------------------------------------------------------------------------------------
// The system registry's two objects

namespace {

class HostCommandStack : public AcEdCommandStack {
public:
  Acad::ErrorStatus addCommand(const char* group, const char* globalName, const char* localName, Adesk::Int32 flags,
                               AcRxFunctionPtr function, AcEdUIContext*, int, HINSTANCE resourceHandle,
                               AcEdCommand** cmdPtr) override {
    kv::Host* host = kv::Host::current();
    if (!host) return Acad::eNotApplicable;
    Acad::ErrorStatus es = host->commands().add(group, globalName, localName, flags, function, resourceHandle);
    // The host hands out no command objects; callers of this platform pass no place for one.
    if (cmdPtr) *cmdPtr = nullptr;
    return es;
  }
  Acad::ErrorStatus removeCmd(const char* group, const char* globalName) override {
    kv::Host* host = kv::Host::current();
    return host ? host->commands().remove(group, globalName) : Acad::eKeyNotFound;
  }
  Acad::ErrorStatus removeGroup(const char* group) override {
    kv::Host* host = kv::Host::current();
    return host ? host->commands().removeGroup(group) : Acad::eKeyNotFound;
  }
};

kv::Applications::App* appOf(void* appId) {
  kv::Host* host = kv::Host::current();
  return host ? host->applications().findById(appId) : nullptr;
}

class HostDynamicLinker : public AcRxDynamicLinker {
public:
  bool unlockApplication(void* appId) const override { return setLocked(appId, false); }
  bool lockApplication(void* appId) const override { return setLocked(appId, true); }
  bool isApplicationLocked(const char* appName) const override {
    kv::Host* host = kv::Host::current();
    kv::Applications::App* app = host && appName ? host->applications().find(appName) : nullptr;
    return app && app->locked;
  }
  bool registerAppMDIAware(void* appId) const override {
    kv::Applications::App* app = appOf(appId);
    if (app) app->mdiAware = true;
    return app != nullptr;
  }

private:
  static bool setLocked(void* appId, bool locked) {
    kv::Applications::App* app = appOf(appId);
    if (app) app->locked = locked;
    return app != nullptr;
  }
};

class SysRegistry : public AcRxDictionary {
public:
  AcRxObject* at(const char* key) const override {
    if (!key) return nullptr;
    if (std::strcmp(key, ACRX_COMMAND_DOCK) == 0) return &commands_;
    if (std::strcmp(key, ACRX_DYNAMIC_LINKER) == 0) return &linker_;
    return nullptr;
  }

private:
  mutable HostCommandStack commands_;
  mutable HostDynamicLinker linker_;
};

// The stack of a host, or one that outlives hosts for calls made with none running (a test of
// the module alone).
std::vector<HINSTANCE>& resourceStack() {
  static std::vector<HINSTANCE> withoutHost;
  kv::Host* host = kv::Host::current();
  return host ? host->resourceHandles() : withoutHost;
}

class HostDocManager : public AcApDocManager {
public:
  // The class library's handle follows the stack, as the host keeps them together.
  void pushResourceHandle(HINSTANCE module) override {
    resourceStack().push_back(module);
    AfxSetResourceHandle(module);
  }
  // Popping an empty stack leaves the host's own handle current, as there is nothing to undo.
  void popResourceHandle() override {
    if (!resourceStack().empty()) resourceStack().pop_back();
    AfxSetResourceHandle(curResourceHandle());
  }
  HINSTANCE curResourceHandle() const override {
    std::vector<HINSTANCE>& stack = resourceStack();
    return stack.empty() ? nullptr : stack.back();
  }
};

int gInitAcUiCalls = 0;

}  // namespace

AcRxDictionary* acrxSysRegistry() {
  static SysRegistry registry;
  return &registry;
}

AcApDocManager* acDocManagerPtr() {
  static HostDocManager manager;
  return &manager;
}

int acedMenuCmd(const char* command) {
  kv::Host* host = kv::Host::current();
  return host ? host->menus().menuCmd(command) : RTERROR;
}

void InitAcUiDLL() { ++gInitAcUiCalls; }

int kvInitAcUiDLLCalls() { return gInitAcUiCalls; }
