// The host's command line: "Command: " prompts, commands by name, their answers from the same
// user interface.
#pragma once

#include <string>

#include "host/host.h"
#include "host/terminal_ui.h"

namespace kvhost {

struct LoopResult {
  bool failed = false;  // a command answered RTERROR, or input ended inside a command
  int failedLine = 0;   // for a script: the line (1-based, comments counted) where it failed
  std::string reason;   // why, when more is known than that the command failed
};

// Reads commands until the input ends or SIGINT/SIGTERM asks the run to end; Enter (an empty
// line) runs the last command again. With stopOnFailure (a script), the first failing command
// ends the loop; otherwise failures are only printed and the loop goes on. An answer "*Cancel*"
// cancels the running command, as Esc does, and is not a failure.
LoopResult runCommandLoop(kv::Host& host, kv::TerminalUI& ui, bool stopOnFailure);

}  // namespace kvhost
