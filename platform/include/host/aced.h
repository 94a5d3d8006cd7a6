// The host's editor services: result buffers, system variables, the command line,
// built-in commands and entity names.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/acdb.h"
#include "core/export.h"
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

// ---------------------------------------------------------------------------------------------
// Selection sets and picks. The user answers "Select objects:" with ALL, LAST, entity handles
// (several on a line), or Enter to finish; "*Cancel*" or the end of the input cancels.

// Builds a selection set in ss. mode: null (the host's own prompts), ":$" with pt1 pointing to
// two prompts {select, remove}, or "A" for every entity of the drawing. filter: null, or a
// result-buffer list whose group 0 items name the entity types accepted ("LINE,POINT"; "*"
// wildcards). RTNORM with a set of at least one entity; RTERROR when nothing was selected;
// RTCAN when cancelled. Every set that RTNORM answered must be freed with acedSSFree.
extern "C" KV_PLATFORM_API int acedSSGet(const char* mode, const void* pt1, const void* pt2, const resbuf* filter,
                                         ads_name ss);
extern "C" KV_PLATFORM_API int acedSSLength(const ads_name ss, std::int32_t* length);
// The entity name of member index; RTERROR outside the set.
extern "C" KV_PLATFORM_API int acedSSName(const ads_name ss, std::int32_t index, ads_name entity);
extern "C" KV_PLATFORM_API int acedSSFree(const ads_name ss);

// A single pick: the user answers with an entity handle, optionally followed by the picked
// point "x,y[,z]". RTNORM with the entity and point; RTERROR for a pick on empty space (a point
// alone, Enter, or a handle naming no live entity); RTCAN when cancelled.
extern "C" KV_PLATFORM_API int acedEntSel(const char* prompt, ads_name entity, ads_point point);

// Input control for the next question: bits (RSG_NONULL refuses Enter) and the keywords it
// accepts, separated by spaces. Capitals in a keyword mark the shortest answer it takes.
#define RSG_NONULL 0x0001
extern "C" KV_PLATFORM_API int acedInitGet(int bits, const char* keywords);
// Asks for a keyword. RTNORM with the matched keyword as registered, cut to fit the result
// buffer of resultSize characters (terminator included); RTNONE for Enter when allowed;
// RTCAN when cancelled. An answer that matches no keyword is refused and asked again.
extern "C" KV_PLATFORM_API int acedGetKword(const char* prompt, char* result, size_t resultSize);

// The host's main window, owner of every box the module shows.
extern "C" KV_PLATFORM_API HWND adsw_acadMainWnd();
