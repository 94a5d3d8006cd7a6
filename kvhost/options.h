// The console host's command line, parsed into one struct.
#pragma once

#include <string>

namespace kvhost {

// Exit statuses of a run, one per class of failure.
enum ExitStatus {
  kExitOk = 0,
  kExitScriptFailed = 1,  // a script line failed: unknown command, an answer a prompt refused
  kExitUsage = 2,         // bad command line, unreadable script, module or temp folder failure
  kExitDrawing = 3,       // the drawing could not be read or saved
  kExitSignalled = 128,   // plus the signal's number: SIGINT or SIGTERM ended the run, unsaved
};

struct Options {
  std::string script;   // empty: read the terminal
  std::string save;     // empty: save nothing
  std::string release = "2011";
  std::string module;   // empty: Kavlor.arx beside kvhost, else where it is installed
  bool noLoad = false;
  std::string drawing;  // empty: start an empty drawing
};

enum class ParseResult { kRun, kHelp, kUsageError };

// Fills options from argv. On kUsageError, error holds one line naming the fault.
ParseResult parseOptions(int argc, char** argv, Options& options, std::string& error);

// The usage text printed by -h and after a usage error.
const char* usageText();

}  // namespace kvhost
