// The C run-time calls of the Windows platform that the module uses.
#pragma once

#include "core/export.h"

#include <string>

// Deletes a file; the path may use either separator. 0 on success, -1 on failure.
extern "C" KV_PLATFORM_API int _unlink(const char* path);

// A new name in folder dir (the system's temporary folder when dir is null, empty or not a
// folder) beginning with prefix, with no extension, that no file has when it answers. The
// caller frees it with free(); null when no name can be made. The name is dir, a separator
// (none when dir ends with one; '\\' when dir has no '/' but a '\\'), prefix (none when null)
// and eight random lower-case letters or digits. Nothing is created, so another program may
// take the name before the caller does. Armable as "tempnam".
extern "C" KV_PLATFORM_API char* _tempnam(const char* dir, const char* prefix);

// Compares two strings byte by byte as the multibyte run-time does for 8-bit text: <0, 0, >0.
extern "C" KV_PLATFORM_API int _mbscmp(const unsigned char* a, const unsigned char* b);

#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

// Splits a path into drive ("C:" or empty), directory (with its trailing separator), file name
// and extension (with its dot); any part may be null. Either separator is taken.
// Each part goes into a buffer of its _MAX_ size (terminator included) and never past it: a
// longer part is cut to its first _MAX_x - 1 characters. A caller that must not act on a cut
// path compares the lengths of the parts with the path's.
extern "C" KV_PLATFORM_API void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);
