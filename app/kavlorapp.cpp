#include "kavlorapp.h"

#include "app/commands.h"
#include "host/aced.h"
#include "win/crt.h"

CKavlorApp theApp;
KavlorExtensionModule KavlorDLL;

CKavlorApp* GetArxApp() { return &theApp; }

const ArxCommandEntry CommandTable[5] = {
    {"ORV_Kavlor", "_KVAbout", "KVAbout", ACRX_CMD_TRANSPARENT, CKavlorApp::ORV_KavlorKVAbout, nullptr},
    {"ORV_Kavlor", "_KVHelp", "KVHelp", ACRX_CMD_TRANSPARENT, CKavlorApp::ORV_KavlorKVHelp, nullptr},
    {"ORV_Kavlor", "_KVOptions", "KVOptions", ACRX_CMD_TRANSPARENT, CKavlorApp::ORV_KavlorKVOptions, nullptr},
    {"ORV_Kavlor", "_KVConvertSolidFile", "KVConvertSolidFile", ACRX_CMD_TRANSPARENT,
     CKavlorApp::ORV_KavlorKVConvertSolidFile, nullptr},
    {"ORV_Kavlor", "_KVConvertSolid", "KVConvertSolid", ACRX_CMD_TRANSPARENT, CKavlorApp::ORV_KavlorKVConvertSolid,
     nullptr},
};

namespace {

// The module defines no functions for the host's interpreter: the table the drawing messages
// walk is empty.
struct DefunEntry {
  const char* name;
  int (*function)();
};
const DefunEntry* const kDefuns = nullptr;
constexpr int kDefunCount = 0;

void walkDefuns() {
  for (int i = 0; i < kDefunCount; ++i) (void)kDefuns[i];
}

}  // namespace

AcRx::AppRetCode CKavlorApp::OnInitAppMsg(void* pkt) {
  if (m_bUnlock) acrxDynamicLinker->unlockApplication(pkt);
  if (m_bMDIAware) acrxDynamicLinker->registerAppMDIAware(pkt);
  RegisterServerComponents();
  for (const ArxCommandEntry& e : CommandTable)
    acedRegCmds->addCommand(e.group, e.globalName, e.localName, e.flags, e.function, e.context, -1,
                            theApp.m_hInstance, nullptr);
  LoadProductMenu();
  return AcRx::kRetOK;
}

AcRx::AppRetCode CKavlorApp::OnUnloadAppMsg(void*) {
  for (const ArxCommandEntry& e : CommandTable) acedRegCmds->removeCmd(e.group, e.globalName);
  return AcRx::kRetOK;
}

AcRx::AppRetCode CKavlorApp::OnLoadDwgMsg(void*) {
  walkDefuns();
  return AcRx::kRetOK;
}

AcRx::AppRetCode CKavlorApp::OnUnloadDwgMsg(void*) {
  walkDefuns();
  return AcRx::kRetOK;
}

AcRx::AppRetCode CKavlorApp::OnInvkSubrMsg(void*) {
  walkDefuns();
  return AcRx::kRetOK;
}

void CKavlorApp::ORV_KavlorKVAbout() { AboutCommand(); }
void CKavlorApp::ORV_KavlorKVHelp() { HelpCommand(); }
void CKavlorApp::ORV_KavlorKVOptions() { OptionsCommand(); }
void CKavlorApp::ORV_KavlorKVConvertSolidFile() { ConvertSolidFileCommand(); }
void CKavlorApp::ORV_KavlorKVConvertSolid() { ConvertSolidCommand(); }

CString ModuleFolderFile(const char* fileName) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(GetArxApp()->m_hInstance, path, MAX_PATH);
  char drive[_MAX_DRIVE] = "", dir[_MAX_DIR] = "";
  _splitpath(path, drive, dir, nullptr, nullptr);
  CString file;
  file.Format("%s%s%s", drive, dir, fileName);
  return file;
}

void LoadProductMenu() {
  CString menu = ModuleFolderFile("Kavlor.mnu");
  acedCommand(RTSTR, "_menuload", RTSTR, menu.GetString(), RTNONE);
  acedMenuCmd("P10=+Kavlor.pop1");
}

BOOL DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    theApp.m_hInstance = instance;
    if (!KavlorDLL.attached && AfxInitExtensionModule(KavlorDLL.module, instance)) {
      KavlorDLL.attached = TRUE;
      KavlorDLL.resource = instance;
      new CDynLinkLibrary(KavlorDLL.module);  // the class library owns it
    }
    InitAcUiDLL();
  } else if (reason == DLL_PROCESS_DETACH && KavlorDLL.attached) {
    AfxTermExtensionModule(KavlorDLL.module, FALSE);
    KavlorDLL.attached = FALSE;
  }
  return TRUE;
}

AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* pkt) { return theApp.dispatch(msg, pkt); }

// The host generation the module is built for.
int acrxGetApiVersion() { return 16; }
