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

  // Makes a new folder (mode 0700) under $TMPDIR, or /tmp, and sets the environment variable
  // "temp" to its path. False with error filled when the folder cannot be made.
  bool create(std::string& error);
  const std::string& path() const { return path_; }

private:
  std::string path_;
};

}  // namespace kvhost
