// Help, About and the product title.
#include <cstdint>
#include <cstdio>

#include "app/commands.h"
#include "app/kavlorapp.h"
#include "dbutil/sysvar.h"
#include "host/aced.h"
#include "orvgui/orvgui.h"

char ProductTitle[256] = "";

void InitProductInfo() {
  snprintf(ProductTitle, sizeof ProductTitle, "%s %s version %d.%d", "Kavlor for",
           HostVersionNames[GetHostRelease()].GetString(), 1, 0);
}

void HelpCommand() {
  InitProductInfo();
  CString help = ModuleFolderFile("Kavlor.chm");
  HINSTANCE result = ShellExecuteA(nullptr, "open", help, "", nullptr, SW_SHOW);
  if (reinterpret_cast<std::uintptr_t>(result) <= 32)
    MessageBoxA(adsw_acadMainWnd(), "Error displaying Kavlor for AutoCAD help file.", ProductTitle, MB_ICONEXCLAMATION);
}

void AboutCommand() {
  InitProductInfo();
  ORVGUIUtils::About(CString(ProductTitle), nullptr);
}
