// A module loaded with dlopen and driven through its exported acrxEntryPoint, as the host's
// dynamic linker loads an application.
#pragma once

#include <string>

namespace kvhost {

class Module {
public:
  Module() = default;
  // Closes the library. Destroy the host first: its drawing and commands may still point into it.
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  // Opens the library at path, finds acrxEntryPoint and sends it kInitAppMsg. False with error
  // filled when the library cannot be opened, lacks the export or answers kRetError. Call once.
  bool load(const std::string& path, std::string& error);
  // Sends kUnloadAppMsg once, if kInitAppMsg was accepted. The library stays open.
  void unload();

private:
  void* handle_ = nullptr;
  void* entry_ = nullptr;  // acrxEntryPoint
  bool initialised_ = false;
};

// Kavlor.arx in the folder of the running kvhost executable.
std::string defaultModulePath();

}  // namespace kvhost
