// Only in the loaded module: the DLL entry runs when the library is loaded and unloaded.
#include "app/kavlorapp.h"
#include "win/dllentry.h"

KV_DLL_ENTRY(DllMain)
