// The host's application services for a loaded module: the system registry with its dynamic
// linker and command stack, the application base classes, the document manager's resource
// handles and the menu command.
#pragma once

#include <cstdint>

#include "host/acdb.h"
#include "host/acrx.h"
#include "core/export.h"
#include "win/winapi.h"

// Command flags.
#define ACRX_CMD_MODAL 0x00000000
#define ACRX_CMD_TRANSPARENT 0x00000001

// Keys of the system registry.
#define ACRX_COMMAND_DOCK "ACAD_REGISTERED_COMMANDS"
#define ACRX_DYNAMIC_LINKER "DynamicLinker"

typedef void (*AcRxFunctionPtr)();
class AcEdUIContext;
class AcEdCommand;

// The host's command stack: commands by group, with a global ("_NAME" typed as "_NAME" or
// "NAME") and a local name. Lookups ignore case.
class KV_PLATFORM_API AcEdCommandStack : public AcRxObject {
public:
  // eDuplicateKey when the group already holds a command of that global or local name;
  // eInvalidInput for a null name or function. cmdPtr, when given, receives the new command.
  virtual Acad::ErrorStatus addCommand(const char* group, const char* globalName, const char* localName,
                                       Adesk::Int32 flags, AcRxFunctionPtr function, AcEdUIContext* context = nullptr,
                                       int functionCode = -1, HINSTANCE resourceHandle = nullptr,
                                       AcEdCommand** cmdPtr = nullptr) = 0;
  // eKeyNotFound when the group holds no command of that global name.
  virtual Acad::ErrorStatus removeCmd(const char* group, const char* globalName) = 0;
  virtual Acad::ErrorStatus removeGroup(const char* group) = 0;
};

// The host's dynamic linker: application state flags.
class KV_PLATFORM_API AcRxDynamicLinker : public AcRxObject {
public:
  // Both answer true once the application identified by appId (the packet of kInitAppMsg) is
  // known to the linker.
  virtual bool unlockApplication(void* appId) const = 0;
  virtual bool lockApplication(void* appId) const = 0;
  virtual bool isApplicationLocked(const char* appName) const = 0;
  virtual bool registerAppMDIAware(void* appId) const = 0;
};

class KV_PLATFORM_API AcRxDictionary : public AcRxObject {
public:
  // The object registered under key, or null.
  virtual AcRxObject* at(const char* key) const = 0;
};

KV_PLATFORM_API AcRxDictionary* acrxSysRegistry();

#define acedRegCmds static_cast<AcEdCommandStack*>(acrxSysRegistry()->at(ACRX_COMMAND_DOCK))
#define acrxDynamicLinker static_cast<AcRxDynamicLinker*>(acrxSysRegistry()->at(ACRX_DYNAMIC_LINKER))

// The host's application base classes. Every handler answers kRetOK unless overridden; the
// module's acrxEntryPoint hands each message to dispatch().
class KV_PLATFORM_API AcRxDbxApp {
public:
  virtual ~AcRxDbxApp() = default;
  virtual AcRx::AppRetCode OnInitAppMsg(void* pkt);
  virtual AcRx::AppRetCode OnUnloadAppMsg(void* pkt);
  virtual AcRx::AppRetCode OnLoadDwgMsg(void* pkt);
  virtual AcRx::AppRetCode OnUnloadDwgMsg(void* pkt);
  virtual AcRx::AppRetCode OnInvkSubrMsg(void* pkt);
  virtual AcRx::AppRetCode OnCfgMsg(void* pkt);
  virtual AcRx::AppRetCode OnEndMsg(void* pkt);
  virtual AcRx::AppRetCode OnQuitMsg(void* pkt);
  virtual AcRx::AppRetCode OnSaveMsg(void* pkt);
  virtual AcRx::AppRetCode OnDependencyMsg(void* pkt);
  virtual AcRx::AppRetCode OnNoDependencyMsg(void* pkt);
  virtual AcRx::AppRetCode OnOleUnloadAppMsg(void* pkt);
  virtual AcRx::AppRetCode OnPreQuitMsg(void* pkt);
  virtual AcRx::AppRetCode OnInitDialogMsg(void* pkt);
  virtual AcRx::AppRetCode OnEndDialogMsg(void* pkt);
  virtual AcRx::AppRetCode OnNullMsg(void* pkt);
  virtual void RegisterServerComponents() {}

  // Code 0 reaches OnNullMsg, codes 1 to 15 their handlers; any higher code answers kRetOK
  // without a call.
  AcRx::AppRetCode dispatch(AcRx::AppMsgCode msg, void* pkt);
};

class KV_PLATFORM_API AcRxArxApp : public AcRxDbxApp {};

// The document manager: a stack of resource handles, the module's own pushed over the host's
// while a module shows its resources.
class KV_PLATFORM_API AcApDocManager {
public:
  virtual ~AcApDocManager() = default;
  virtual void pushResourceHandle(HINSTANCE module) = 0;
  virtual void popResourceHandle() = 0;
  // The handle on top: the host's own (null) when nothing is pushed.
  virtual HINSTANCE curResourceHandle() const = 0;
};
KV_PLATFORM_API AcApDocManager* acDocManagerPtr();

// Runs a menu command: "P<n>=+<group>.<popup>" inserts a loaded menu's pop-up at position n of
// the menu bar. RTNORM, or RTERROR for a group or pop-up that is not loaded.
extern "C" KV_PLATFORM_API int acedMenuCmd(const char* command);

// The host's user-interface library start.
extern "C" KV_PLATFORM_API void InitAcUiDLL();

