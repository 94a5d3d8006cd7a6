#include "win/dllentry.h"
#include "win/module_handles.h"

#include <dlfcn.h>
#include <link.h>

namespace {

link_map* programMap() {
  // dlopen(null) is the program; its handle is its link map, the head of the chain.
  void* self = dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD);
  link_map* map = nullptr;
  if (self) {
    dlinfo(self, RTLD_DI_LINKMAP, &map);
    dlclose(self);
  }
  return map;
}

}  // namespace

HINSTANCE kvModuleHandleOf(const void* address) {
  Dl_info info{};
  link_map* map = nullptr;
  if (!dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) || !map) return nullptr;
  if (map == programMap() || !map->l_name || !*map->l_name) return nullptr;
  // A dlopen of the loaded file gives its handle; the reference it takes goes back at once.
  void* handle = dlopen(map->l_name, RTLD_LAZY | RTLD_NOLOAD);
  if (!handle) return nullptr;
  dlclose(handle);
  return static_cast<HINSTANCE>(handle);
}

bool kvIsModuleHandle(const void* handle) {
  if (!handle) return false;
  for (link_map* map = programMap(); map; map = map->l_next)
    if (map == handle) return true;
  return false;
}
