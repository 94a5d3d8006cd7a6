// The run's private temporary folder: the console host's stand-in for the per-user "temp" that
// Windows gives every process.
#pragma once

#include <string>

namespace kvhost {

class TempFolder {
public:
  TempFolder() = default;
  // Removes the folder and everything in it.
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Makes a new folder (mode 0700) under $TMPDIR, or /tmp when TMPDIR is unset or cannot take
  // one (note then says why), and sets the environment variable "temp" to its path. False with
  // error filled when no folder can be made; "temp" is then unset.
  bool create(std::string& error, std::string& note);
  const std::string& path() const { return path_; }

private:
  std::string path_;
};

}  // namespace kvhost
