// Saving the drawing: the -o file at the end of a run, and the SAVE command. Both write through
// the DXF writer, which replaces only a regular file (a symlink is followed to its target) and
// keeps the old file whole when the new one cannot be written.
#pragma once

#include <string>

#include "host/host.h"

namespace kvhost {

// Why path cannot take the drawing now, as one line for the user; empty when it can. Checked
// before a run, so that no work is done for a file that could not be kept.
std::string saveRefusal(const std::string& path);

// Writes the drawing to path as DXF. False when it was not written, with message: the path,
// the reason (what stands there when it is not a regular file, the system's reason otherwise)
// and what became of the file there.
bool saveDrawing(AcDbDatabase& db, const std::string& path, std::string& message);

// Registers SAVE with host. It writes to the file the user names, name (the drawing's own
// file) when they name none; a file other than name that exists is replaced only after the
// user says Yes. Each successful SAVE makes its file the drawing's own.
void addSaveCommand(kv::Host& host, std::string& name);

}  // namespace kvhost
