// The host's application services: the dynamic linker that loads modules and sends them their
// application messages, and the host's commands to load and unload them ("ARX").
#pragma once

#include <string>
#include <vector>

#include "host/acrx.h"
#include "host/keywords.h"
#include "core/export.h"
#include "win/winapi.h"

namespace kv {

class Host;

class KV_PLATFORM_API Applications {
public:
  struct App {
    std::string name;  // the file name, "Kavlor.arx"
    std::string path;  // absolute
    void* handle = nullptr;  // the dlopen handle: the module's HINSTANCE and its app id
    void* entry = nullptr;   // acrxEntryPoint
    bool locked = true;      // until the module unlocks itself at kInitAppMsg
    bool mdiAware = false;
  };

  explicit Applications(Host& host) : host_(host) {}
  // Closes every library still open; unloadAll() should have sent the messages.
  ~Applications();
  Applications(const Applications&) = delete;
  Applications& operator=(const Applications&) = delete;

  // Opens the library (either separator; ".arx" is added to a name without extension that is
  // not found), finds acrxEntryPoint and sends kInitAppMsg with the handle as app id. False
  // with error filled when it cannot be opened, lacks the export, is loaded already or
  // answers kRetError. A refusing module loses the commands it registered with its handle; its
  // library stays open until the host ends, in case something still points into it.
  bool load(const std::string& path, std::string& error);
  // Sends kUnloadAppMsg and closes the library. name: the file name with or without extension,
  // or the path. False with error for an unknown or locked application, one whose command is
  // running, or one that answers kRetError (it stays loaded). Commands it left registered with
  // its handle are removed before the library closes, so none can call into unmapped code.
  bool unload(const std::string& name, std::string& error);
  // Sends kUnloadAppMsg to every application, newest first, locked or not. The libraries
  // close when this object is destroyed (after the drawing), since its objects may use them.
  void unloadAll();

  App* find(const std::string& name);
  App* findById(const void* appId);
  const std::vector<App>& loaded() const { return apps_; }

  // The ARX command: "?" lists, "Load" asks for a file, "Unload" for an application name.
  int arxCommand(class CommandInput& in);

private:
  Host& host_;
  std::vector<App> apps_;
  std::vector<void*> toClose_;  // unloaded by unloadAll, or refused: closed at the end
};

}  // namespace kv

// How often InitAcUiDLL was called in this process.
KV_PLATFORM_API int kvInitAcUiDLLCalls();
