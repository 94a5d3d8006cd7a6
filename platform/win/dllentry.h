// Runs a module's DLL entry when its library is loaded and unloaded, with the module's own
// handle, as Windows calls DllMain. Use once in a module:
//   KV_DLL_ENTRY(DllMain)
#pragma once

#include "win/platform_export.h"
#include "win/winapi.h"

typedef BOOL (*KvDllEntry)(HINSTANCE, DWORD, void*);

// The handle of the loaded library that holds address.
KV_PLATFORM_API HINSTANCE kvModuleHandleOf(const void* address);

#define KV_DLL_ENTRY(entry)                                                                     \
  namespace {                                                                                   \
  struct KvDllEntryCaller {                                                                     \
    KvDllEntryCaller() { entry(kvModuleHandleOf(reinterpret_cast<const void*>(&entry)), DLL_PROCESS_ATTACH, nullptr); } \
    ~KvDllEntryCaller() { entry(kvModuleHandleOf(reinterpret_cast<const void*>(&entry)), DLL_PROCESS_DETACH, nullptr); } \
  } kvDllEntryCaller;                                                                           \
  }
