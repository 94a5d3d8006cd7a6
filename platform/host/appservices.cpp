#include "host/appservices.h"

#include <dlfcn.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "host/aced.h"
#include "host/commands.h"
#include "host/host.h"
#include "core/ui.h"
#include "win/crt.h"
#include "core/paths.h"

namespace kv {

namespace {

// The module's export, declared with exactly this type so that calls through it are well defined.
using EntryPoint = AcRx::AppRetCode (*)(AcRx::AppMsgCode, void*);

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

}  // namespace


Applications::~Applications() {
  for (auto it = apps_.rbegin(); it != apps_.rend(); ++it) toClose_.push_back(it->handle);
  apps_.clear();
  for (void* handle : toClose_) dlclose(handle);
}

Applications::App* Applications::find(const std::string& name) {
  std::string native = kv::path::native(name);
  std::string wanted = lower(native);
  for (App& app : apps_) {
    std::string file = lower(app.name);
    std::string stem = lower(std::filesystem::path(app.name).stem().string());
    if (wanted == file || wanted == stem || absolutePath(native) == app.path) return &app;
  }
  return nullptr;
}

Applications::App* Applications::findById(const void* appId) {
  for (App& app : apps_)
    if (app.handle == appId) return &app;
  return nullptr;
}

bool Applications::load(const std::string& givenPath, std::string& error) {
  std::string path = absolutePath(kv::path::native(givenPath));
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && std::filesystem::path(path).extension().empty()) path += ".arx";
  // RTLD_LOCAL: modules see the platform through the host's own link, not through each other.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    error = "cannot load module " + givenPath + ": " + (why ? why : "unknown reason");
    return false;
  }
  if (findById(handle)) {
    dlclose(handle);  // only the extra reference this call took
    error = "module " + givenPath + " is already loaded";
    return false;
  }
  auto entry = reinterpret_cast<EntryPoint>(dlsym(handle, "acrxEntryPoint"));
  if (!entry) {
    error = "module " + givenPath + " does not export acrxEntryPoint";
    dlclose(handle);
    return false;
  }
  // Known before kInitAppMsg, so that the module can unlock itself while it initialises.
  apps_.push_back(App{std::filesystem::path(path).filename().string(), path, handle,
                      reinterpret_cast<void*>(entry)});
  if (entry(AcRx::kInitAppMsg, handle) == AcRx::kRetError) {
    error = "module " + givenPath + " refused to initialise (kInitAppMsg answered kRetError)";
    host_.commands().removeByResource(static_cast<HINSTANCE>(handle));
    std::erase_if(apps_, [&](const App& a) { return a.handle == handle; });
    toClose_.push_back(handle);
    return false;
  }
  return true;
}

bool Applications::unload(const std::string& name, std::string& error) {
  App* app = find(name);
  if (!app) {
    error = "application " + name + " is not loaded";
    return false;
  }
  if (app->locked) {
    error = "application " + app->name + " is locked and cannot be unloaded";
    return false;
  }
  const std::vector<HINSTANCE>& running = host_.runningModules();
  if (std::find(running.begin(), running.end(), static_cast<HINSTANCE>(app->handle)) != running.end()) {
    error = "application " + app->name + " is busy: its command is running";
    return false;
  }
  void* handle = app->handle;
  if (reinterpret_cast<EntryPoint>(app->entry)(AcRx::kUnloadAppMsg, handle) == AcRx::kRetError) {
    error = "application " + name + " refused to unload";
    return false;
  }
  host_.commands().removeByResource(static_cast<HINSTANCE>(handle));
  // The message may have changed the list; look the application up again.
  std::erase_if(apps_, [&](const App& a) { return a.handle == handle; });
  dlclose(handle);
  return true;
}

void Applications::unloadAll() {
  while (!apps_.empty()) {
    App app = apps_.back();
    apps_.pop_back();
    reinterpret_cast<EntryPoint>(app.entry)(AcRx::kUnloadAppMsg, app.handle);
    host_.commands().removeByResource(static_cast<HINSTANCE>(app.handle));
    toClose_.push_back(app.handle);
  }
}

int Applications::arxCommand(CommandInput& in) {
  UserInterface& ui = host_.userInterface();
  for (;;) {
    std::string option;
    if (!in.next("Enter an option [?/Load/Unload]: ", option)) return RTCAN;
    size_t b = option.find_first_not_of(" \t"), e = option.find_last_not_of(" \t");
    option = b == std::string::npos ? "" : option.substr(b, e - b + 1);
    if (option.empty()) return RTNORM;
    if (option == "?") {
      if (apps_.empty()) {
        ui.print("No applications are loaded.\n");
        return RTNORM;
      }
      ui.print("Loaded applications:\n");
      for (const App& app : apps_) ui.print(("  " + app.name + "  (" + app.path + ")\n").c_str());
      return RTNORM;
    }
    bool loading = matchesKeyword(option, "Load");
    if (!loading && !matchesKeyword(option, "Unload")) {
      ui.print("Invalid option keyword.\n");
      continue;
    }
    std::string name;
    if (!in.next(loading ? "Enter the file name of the application to load: "
                         : "Enter the name of the application to unload: ",
                 name))
      return RTCAN;
    std::string error;
    bool ok = loading ? load(name, error) : unload(name, error);
    if (!ok) {
      error[0] = char(std::toupper(static_cast<unsigned char>(error[0])));
      ui.print((error + ".\n").c_str());
      return RTERROR;
    }
    std::string shown = std::filesystem::path(kv::path::native(name)).filename().string();
    ui.print((shown + (loading ? " loaded.\n" : " unloaded.\n")).c_str());
    return RTNORM;
  }
}

}  // namespace kv
