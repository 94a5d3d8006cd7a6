#include "win/winapi.h"

#include <dlfcn.h>
#include <link.h>
#include <strings.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "win/crt.h"
#include "win/dllentry.h"
#include "win/module_handles.h"
#include "core/ui.h"
#include "core/paths.h"

int MessageBoxA(HWND, const char* text, const char* caption, UINT type) {
  return kv::currentUI().messageBox(text ? text : "", caption ? caption : "Error", type);
}

DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size) {
  if (!fileName || size == 0) return 0;
  std::string path;
  link_map* map = nullptr;
  if (module) {
    if (!kvIsModuleHandle(module) || dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map) {
      fileName[0] = '\0';
      return 0;
    }
    path = map->l_name ? map->l_name : "";
  }
  // The program's own map has no name; the kernel knows its file.
  if (path.empty()) {
    std::error_code ec;
    path = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec) {
      fileName[0] = '\0';
      return 0;
    }
  }
  // Windows gives a full path; a library opened by a relative name is named from here.
  if (path[0] != '/') {
    std::error_code ec;
    path = std::filesystem::absolute(path, ec).lexically_normal().string();
  }
  // As Windows does: a name that does not fit is cut and terminated, and the answer is size.
  if (path.size() >= size) {
    std::memcpy(fileName, path.data(), size - 1);
    fileName[size - 1] = '\0';
    return size;
  }
  std::memcpy(fileName, path.c_str(), path.size() + 1);
  return DWORD(path.size());
}

HINSTANCE ShellExecuteA(HWND, const char* verb, const char* file, const char* parameters, const char* directory, int) {
  auto result = [](int code) { return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code)); };
  // Only the open verb (the default when none is named) has a handler on this system.
  if (verb && *verb && strcasecmp(verb, "open") != 0) return result(kv::kShellNoAssociation);
  std::string path = kv::path::native(file);
  if (path.empty()) return result(kv::kShellFileNotFound);
  if (path[0] != '/' && directory && *directory) path = kv::path::native(directory) + "/" + path;
  return result(kv::currentUI().shellOpen(path, parameters ? parameters : ""));
}
