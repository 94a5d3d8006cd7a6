// SIGINT and SIGTERM end a run cleanly: they are noted, the command line stops at its next
// prompt, and the run ends without saving, its temporary folder removed.
#pragma once

namespace kvhost {

// Notes SIGINT and SIGTERM instead of dying on them. A read waiting for the terminal returns
// at once, so that an idle prompt ends too.
void catchEndSignals();

// The signal that asked the run to end, or 0.
int endSignal();

}  // namespace kvhost
