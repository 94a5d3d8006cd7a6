#include "winapi.h"

#include "host/host.h"
#include "host/ui.h"

int MessageBoxA(HWND, const char* text, const char* caption, UINT type) {
  return kv::Host::ui().messageBox(text ? text : "", caption ? caption : "Error", type);
}
