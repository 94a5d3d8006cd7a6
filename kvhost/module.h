// Where the console host finds its module. Loading and unloading is the host's dynamic linker
// (kv::Applications, platform/host/appservices.h).
#pragma once

#include <string>

namespace kvhost {

// Kavlor.arx in the folder of the running kvhost executable.
std::string defaultModulePath();

}  // namespace kvhost
