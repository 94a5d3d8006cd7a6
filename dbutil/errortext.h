// Status-code phrases and the last-error text of each library unit.
//
// A unit's text holds the message of its most recent failure; a success never empties it, so
// read it only right after a call that reported failure.
#pragma once

#include "win/cstring.h"

// The English phrase of a host status code; empty for a code without one, a negative code
// or one above 432.
CString ErrorStatusText(int status);

// Solids and meshes (solid faceting, SAT meshes, Booleans, the entity dispatcher).
CString GetSolidErrorText();
void SetSolidErrorText(const CString& text);
// Geometry conversion (polyface writing, mesh readers, entity export).
CString GetConvertErrorText();
void SetConvertErrorText(const CString& text);
// Database utilities (selection, picking, import and export).
CString GetLastErrorText();
void SetLastErrorText(const CString& text);

// The texts themselves, for the functions of each unit.
extern CString SolidErrorText;
extern CString ConvertErrorText;
extern CString LastErrorText;
