// Drawings as DXF: written as R2004 (AC1018), the host generation's own format, which keeps
// true colours; read from R12 to R2010.
#pragma once

#include <memory>
#include <string>

#include "host/acdb.h"
#include "win/platform_export.h"

namespace kv::dxf {

// Reads a drawing into a new database. On failure db is untouched and error holds one line
// naming the reason (and the line of the file where it was found). Statuses: eFileNotFound,
// eCantOpenFile, eBadDxfFile, eDxfReadAborted.
KV_PLATFORM_API Acad::ErrorStatus readDrawing(const std::string& path, std::unique_ptr<AcDbDatabase>& db,
                                              std::string& error);

// Writes the whole drawing; erased objects are left out. eFileAccessErr when the file cannot
// be written (a partly written file is removed).
KV_PLATFORM_API Acad::ErrorStatus writeDrawing(AcDbDatabase& db, const std::string& path);

}  // namespace kv::dxf
