// Runs a module's DLL entry when its library is loaded and unloaded, with the module's own
// handle, as Windows calls DllMain. Use once in a module:
//   KV_DLL_ENTRY(DllMain)
// A module's handle is the dlopen handle of its library; code linked into the running program
// itself (a test that links the module statically) gets null, the program's own handle.
#pragma once

#include "core/export.h"
#include "win/winapi.h"

typedef BOOL (*KvDllEntry)(HINSTANCE, DWORD, void*);

// The handle of the loaded library that holds address; null for the running program.
KV_PLATFORM_API HINSTANCE kvModuleHandleOf(const void* address);

// The handle is taken once at load: while the library is being closed it can no longer be
// looked up, and detach must see the same handle as attach.
#define KV_DLL_ENTRY(entry)                                                                     \
  namespace {                                                                                   \
  struct KvDllEntryCaller {                                                                     \
    HINSTANCE handle = kvModuleHandleOf(reinterpret_cast<const void*>(&entry));                 \
    KvDllEntryCaller() { entry(handle, DLL_PROCESS_ATTACH, nullptr); }                          \
    ~KvDllEntryCaller() { entry(handle, DLL_PROCESS_DETACH, nullptr); }                         \
  } kvDllEntryCaller;                                                                           \
  }
