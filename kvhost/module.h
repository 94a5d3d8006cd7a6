// Where the console host finds its module. Loading and unloading is the host's dynamic linker
// (kv::Applications, platform/host/appservices.h).
#pragma once

#include <string>
#include <vector>

namespace kvhost {

// The places Kavlor.arx may be, in the order they are tried: beside the running kvhost (the
// build tree), then the module folder of an installed prefix, relative to kvhost's own folder.
std::vector<std::string> moduleCandidates(const std::string& exeFolder, const std::string& installedFolder);

// The first candidate that exists; empty when none does.
std::string firstExisting(const std::vector<std::string>& candidates);

// The candidates for the running kvhost.
std::vector<std::string> defaultModuleCandidates();

}  // namespace kvhost
