// Host system variables and the host release.
//
// Each function returns nonzero on success. A getter leaves its out-argument unchanged on
// failure. None of them sets a last-error text.
#pragma once

#include "win/cstring.h"

int GetSysVarReal(const CString& name, double& value);
// The variable's 16-bit value, sign-extended.
int GetSysVarShort(const CString& name, int& value);
// An empty value when the host gives no string.
int GetSysVarString(const CString& name, CString& value);
int SetSysVarReal(const CString& name, double value);
int SetSysVarShort(const CString& name, short value);
int SetSysVarString(const CString& name, const CString& value);

constexpr int kHostVersionCount = 12;
// "AutoCAD ????" for a release not recognised, then "AutoCAD 2000" to "AutoCAD 2011".
extern const CString HostVersionNames[kHostVersionCount];

// 0 to 11 from the first letter of _VERNUM (0 when it is not one of the host's letters or
// cannot be read). Asks the host on every call.
int GetHostRelease();
// 1 when the host is release `expected`; else a message box naming the expected release, and
// 0. An index outside 0 to 11 names no release: the host is never it.
int CheckHostRelease(int expected);
