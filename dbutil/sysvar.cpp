#include "sysvar.h"

#include <cstring>

#include "host/aced.h"

const CString HostVersionNames[kHostVersionCount] = {
    "AutoCAD ????", "AutoCAD 2000", "AutoCAD 2000i", "AutoCAD 2002", "AutoCAD 2004", "AutoCAD 2005",
    "AutoCAD 2006", "AutoCAD 2007", "AutoCAD 2008",  "AutoCAD 2009", "AutoCAD 2010", "AutoCAD 2011",
};

namespace {

// Reads a variable through a buffer of `type`; fills `out` from the buffer on RTNORM.
template <class Fill>
int readVar(const CString& name, int type, Fill fill) {
  resbuf* rb = acutNewRb(type);
  if (!rb) return 0;
  if (acedGetVar(name, rb) != RTNORM) {
    acutRelRb(rb);
    return 0;
  }
  fill(*rb);
  acutRelRb(rb);
  return 1;
}

template <class Put>
int writeVar(const CString& name, int type, Put put) {
  resbuf* rb = acutNewRb(type);
  if (!rb) return 0;
  if (!put(*rb)) {
    acutRelRb(rb);
    return 0;
  }
  bool ok = acedSetVar(name, rb) == RTNORM;
  acutRelRb(rb);
  return ok ? 1 : 0;
}

}  // namespace

int GetSysVarReal(const CString& name, double& value) {
  return readVar(name, RTREAL, [&](const resbuf& rb) { value = rb.resval.rreal; });
}

int GetSysVarShort(const CString& name, int& value) {
  return readVar(name, RTSHORT, [&](const resbuf& rb) { value = rb.resval.rint; });
}

int GetSysVarString(const CString& name, CString& value) {
  return readVar(name, RTSTR, [&](const resbuf& rb) { value = rb.resval.rstring ? rb.resval.rstring : ""; });
}

int SetSysVarReal(const CString& name, double value) {
  return writeVar(name, RTREAL, [&](resbuf& rb) { rb.resval.rreal = value; return true; });
}

int SetSysVarShort(const CString& name, short value) {
  return writeVar(name, RTSHORT, [&](resbuf& rb) { rb.resval.rint = value; return true; });
}

int SetSysVarString(const CString& name, const CString& value) {
  return writeVar(name, RTSTR, [&](resbuf& rb) {
    // The buffer owns its copy; acutRelRb frees it.
    rb.resval.rstring = strdup(value);
    return rb.resval.rstring != nullptr;
  });
}

int GetHostRelease() {
  CString vernum;
  GetSysVarString("_VERNUM", vernum);
  if (vernum.IsEmpty()) return 0;
  static const char kLetters[] = "TUKVNZABCDE";  // releases 1 to 11, in table order
  for (int i = 0; kLetters[i]; ++i)
    if (vernum[0] == kLetters[i]) return i + 1;
  return 0;
}

int CheckHostRelease(int expected) {
  if (expected >= 0 && expected < kHostVersionCount && GetHostRelease() == expected) return 1;
  // An index outside the table has no name to show; the unrecognised release's stands in.
  const CString& name = HostVersionNames[expected >= 0 && expected < kHostVersionCount ? expected : 0];
  CString text;
  text.Format("This plug-in is designed to work with %s based products only", name.GetString());
  MessageBoxA(adsw_acadMainWnd(), text, "Incompatible AutoCAD Version", MB_OK | MB_ICONEXCLAMATION);
  return 0;
}
