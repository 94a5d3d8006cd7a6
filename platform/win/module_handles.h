// Module handles as the platform checks them.
#pragma once

#include "core/export.h"
#include "win/winapi.h"

// True when handle is the handle of a library loaded now.
KV_PLATFORM_API bool kvIsModuleHandle(const void* handle);
// How many records (CDynLinkLibrary) the class library holds for a module.
KV_PLATFORM_API int kvExtensionRecords(HMODULE handle);
