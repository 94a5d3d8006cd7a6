// Platform only: the SAT file road behind AcDbBody::acisIn and AcDbBody::acisOut.
#pragma once

#include <string>

#include "modeler/solids.h"

namespace kv::modeler {

// Reads a SAT file into new modeller entities appended to `entities`, one per body in file
// order: a 3D solid for a closed solid body, a region for a planar sheet, a body otherwise.
// They are in no database; the caller owns them. On failure nothing is appended.
// Statuses: eInvalidInput for a null path, eFileNotFound, eCannotRestoreFromAcisFile for a
// file that cannot be understood (the reason in `why` when given). Armable as "acisIn".
KV_PLATFORM_API Acad::ErrorStatus satIn(const char* fileName, AcDbVoidPtrArray& entities, std::string* why = nullptr);

// Writes the modeller entities given (AcDbEntity pointers) into one SAT 7.0 file, one body
// each, in order. Statuses: eInvalidInput for a null path, a null pointer, an entity that is
// no solid, body or region, or one without data; eFileAccessErr when the file cannot be
// written (nothing is left behind); eGeneralModelingFailure when a shape has no SAT form.
// Armable as "acisOut".
KV_PLATFORM_API Acad::ErrorStatus satOut(const char* fileName, const AcDbVoidPtrArray& entities);

}  // namespace kv::modeler
