// The application object, its message handlers, the command table and the module's entry.
#pragma once

#include "host/acrxapp.h"
#include "win/afx.h"
#include "win/winapi.h"

class CKavlorApp : public AcRxArxApp {
public:
  AcRx::AppRetCode OnInitAppMsg(void* pkt) override;
  AcRx::AppRetCode OnUnloadAppMsg(void* pkt) override;
  AcRx::AppRetCode OnLoadDwgMsg(void* pkt) override;
  AcRx::AppRetCode OnUnloadDwgMsg(void* pkt) override;
  AcRx::AppRetCode OnInvkSubrMsg(void* pkt) override;
  void RegisterServerComponents() override {}

  // The command functions of the command table.
  static void ORV_KavlorKVAbout();
  static void ORV_KavlorKVHelp();
  static void ORV_KavlorKVOptions();
  static void ORV_KavlorKVConvertSolidFile();
  static void ORV_KavlorKVConvertSolid();

  HINSTANCE m_hInstance = nullptr;  // the module's own handle, from the DLL entry
  bool m_bUnlock = true;            // the host may unload the module on request
  bool m_bMDIAware = true;          // works with several open drawings
};

extern CKavlorApp theApp;
CKavlorApp* GetArxApp();

// One record of the command table.
struct ArxCommandEntry {
  const char* group;
  const char* globalName;
  const char* localName;
  Adesk::Int32 flags;
  AcRxFunctionPtr function;
  AcEdUIContext* context;
};
extern const ArxCommandEntry CommandTable[5];

// The module's record for the class library: attached flag, resource handle, the library's own
// record.
struct KavlorExtensionModule {
  BOOL attached = FALSE;
  HINSTANCE resource = nullptr;
  AFX_EXTENSION_MODULE module;
};
extern KavlorExtensionModule KavlorDLL;

// Loads Kavlor.mnu from the module's folder and puts its pop-up on the menu bar.
void LoadProductMenu();
// A file beside the module: the module's drive and folder followed by fileName.
CString ModuleFolderFile(const char* fileName);

// The DLL entry: stores the handle, attaches the module to the class library once, starts the
// host's user-interface library. TRUE always.
BOOL DllMain(HINSTANCE instance, DWORD reason, void* reserved);

extern "C" {
// The host's messages, dispatched to theApp.
KV_MODULE_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* pkt);
KV_MODULE_EXPORT int acrxGetApiVersion();
}
