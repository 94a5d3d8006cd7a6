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

// The same roads for SAT text held in memory, as DXF carries it inside its solids: satInText
// reads `text` as satIn reads a file, satOutText leaves the whole SAT 7.0 file in `text`
// (untouched on failure). Same statuses, less those of files; neither is armable, so a fault
// set on a file road does not leak into drawing files.
KV_PLATFORM_API Acad::ErrorStatus satInText(std::string text, AcDbVoidPtrArray& entities, std::string* why = nullptr);

// Reads every body of `text` into `entity`, whatever their kinds, as DXF keeps one entity per
// solid: its data becomes the one body's shape, or a compound of all of them in file order.
// `bodies` is set to how many there were on eOk; with none the entity is left as it was.
// Statuses as satInText; on failure neither `entity` nor `bodies` changes.
KV_PLATFORM_API Acad::ErrorStatus satInTextInto(std::string text, AcDbModelerEntity& entity, int& bodies,
                                                std::string* why = nullptr);
KV_PLATFORM_API Acad::ErrorStatus satOutText(const AcDbVoidPtrArray& entities, std::string& text);

}  // namespace kv::modeler
