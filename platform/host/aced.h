// The host's editor services: result buffers, system variables, the command line,
// built-in commands and entity names.
#pragma once

#include <cstdint>

#include "acdb.h"
#include "win/platform_export.h"
#include "win/winapi.h"

// Result codes of the editor functions.
#define RTNONE 5000
#define RTNORM 5100
#define RTERROR (-5001)
#define RTCAN (-5002)
#define RTREJ (-5003)

// Result-buffer value types.
#define RTREAL 5001
#define RTPOINT 5002
#define RTSHORT 5003
#define RTANG 5004
#define RTSTR 5005
#define RTENAME 5006
#define RTPICKS 5007
#define RTORINT 5008
#define RT3DPOINT 5009
#define RTLONG 5010

typedef double ads_real;
typedef ads_real ads_point[3];
typedef std::intptr_t ads_name[2];

struct resbuf {
  resbuf* rbnext;
  short restype;
  union {
    ads_real rreal;
    ads_real rpoint[3];
    short rint;
    char* rstring;
    std::int32_t rlong;
    std::intptr_t rlname[2];
  } resval;
};

// A new buffer of the given type, zeroed; null when memory runs out.
extern "C" KV_PLATFORM_API resbuf* acutNewRb(int type);
// Releases a whole chain, with the strings its string items hold. RTNORM.
extern "C" KV_PLATFORM_API int acutRelRb(resbuf* rb);
extern "C" KV_PLATFORM_API int acutPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Reads a system variable into result, which takes the variable's own type; a string is a new
// copy that acutRelRb frees, or null when the variable holds none. RTNORM, or RTERROR for a
// name the host does not know.
extern "C" KV_PLATFORM_API int acedGetVar(const char* name, resbuf* result);
// Sets a system variable. RTNORM, or RTERROR for an unknown or read-only variable, a value of
// the wrong type or one outside the variable's range.
extern "C" KV_PLATFORM_API int acedSetVar(const char* name, const resbuf* value);

// Runs a built-in command from a list of (type, value) pairs closed by RTNONE: RTSTR takes a
// const char*, RTREAL a double, RTSHORT an int. RTNORM when the command ran to its end,
// RTERROR for an unknown command or an answer it could not take, RTCAN when it was cancelled.
extern "C" KV_PLATFORM_API int acedCommand(int rtype, ...);
// The same from a result-buffer list.
extern "C" KV_PLATFORM_API int acedCmd(const resbuf* list);

// Entity names: the editor's name of a database entity.
KV_PLATFORM_API Acad::ErrorStatus acdbGetAdsName(ads_name& name, AcDbObjectId id);
KV_PLATFORM_API Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name name);
// Erases the entity, or brings back an erased one, as the host's entdel does. RTNORM or RTERROR.
extern "C" KV_PLATFORM_API int acdbEntDel(const ads_name name);

// The host's main window, owner of every box the module shows.
extern "C" KV_PLATFORM_API HWND adsw_acadMainWnd();
