#include "module.h"

#include <dlfcn.h>

#include <filesystem>

#include "host/acrx.h"

namespace kvhost {

namespace {

// The module's export, declared with exactly this type so that calls through it are well defined.
using EntryPoint = AcRx::AppRetCode (*)(AcRx::AppMsgCode, void*);

}  // namespace

bool Module::load(const std::string& path, std::string& error) {
  // RTLD_LOCAL: modules see the platform through kvhost's own link, not through each other.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    error = "cannot load module " + path + ": " + (why ? why : "unknown reason");
    return false;
  }
  auto entry = reinterpret_cast<EntryPoint>(dlsym(handle, "acrxEntryPoint"));
  if (!entry) {
    error = "module " + path + " does not export acrxEntryPoint";
    dlclose(handle);
    return false;
  }
  // A refusing module may already have registered commands that point into it, so its library
  // stays open until the destructor, after the host is gone.
  handle_ = handle;
  entry_ = reinterpret_cast<void*>(entry);
  // The application id is opaque to the module; the library handle is unique per module.
  if (entry(AcRx::kInitAppMsg, handle) == AcRx::kRetError) {
    error = "module " + path + " refused to initialise (kInitAppMsg answered kRetError)";
    return false;
  }
  initialised_ = true;
  return true;
}

void Module::unload() {
  if (!initialised_) return;
  initialised_ = false;
  reinterpret_cast<EntryPoint>(entry_)(AcRx::kUnloadAppMsg, handle_);
}

Module::~Module() {
  if (handle_) dlclose(handle_);
}

std::string defaultModulePath() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "Kavlor.arx";
  return (exe.parent_path() / "Kavlor.arx").string();
}

}  // namespace kvhost
