// The few Windows types, constants and calls the module uses.
#pragma once

#include <cstdint>

#include "core/export.h"

typedef int BOOL;
typedef unsigned int UINT;
typedef std::uint32_t DWORD;
typedef void* HANDLE;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION 0x00000040u
#define MB_ICONMASK 0x000000F0u

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

#define SW_HIDE 0
#define SW_SHOW 5
#define MAX_PATH 260
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// The full path of the file a module handle was loaded from (a null handle names the running
// program): its length; when it does not fit, it is cut to size - 1 characters and the answer
// is size, as Windows does. 0, with an empty name, for a handle that names no loaded module.
extern "C" KV_PLATFORM_API DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size);

// The shell's verbs on a file, through the host's user interface: "open" (or no verb) hands the
// file to the desktop's viewer (xdg-open on the console host). As Windows answers: above 32 on
// success; 2 when the file is missing, 31 when nothing can open it or for another verb. A
// relative file is taken in directory, when one is given.
extern "C" KV_PLATFORM_API HINSTANCE ShellExecuteA(HWND owner, const char* verb, const char* file,
                                                   const char* parameters, const char* directory, int show);

// Shows a modal box through the host's user interface and answers the button chosen.
extern "C" KV_PLATFORM_API int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

// Folder search as Windows does it. The pattern's last part may hold '*' (any run of
// characters) and '?' (any one character); names match without regard to case; the folder
// part is taken as it is. Either separator is taken.
// As on Windows: '?' also matches nothing before a dot or at the end of a name ("a?.txt"
// finds a.txt and ab.txt), "*.*" matches every name and "*." those without a dot. Case is
// folded for ASCII letters only; there are no short (8.3) names to match. Entries come in the
// order the folder yields them, "." and ".." among them when the pattern matches them (as in
// any folder of Windows but a drive's root). The matches are read when the search starts:
// files deleted or added while it runs do not change what it hands out.
// Attributes: FILE_ATTRIBUTE_DIRECTORY for a folder, else FILE_ATTRIBUTE_NORMAL; a symbolic
// link is described by its target. A folder's size is 0. Times are UTC; a file system that
// keeps no creation time gives the last write time for it. cAlternateFileName is empty.
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[MAX_PATH];  // the name alone, without its folder
  char cAlternateFileName[14];
};

// The first entry of the folder matching the pattern, and a handle for the next ones;
// INVALID_HANDLE_VALUE when none matches or the folder cannot be read.
extern "C" KV_PLATFORM_API HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* found);
// FALSE when no entry is left, or for a handle that is not an open search.
extern "C" KV_PLATFORM_API BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* found);
// Ends the search and frees what it held; FALSE for a handle that is not an open search.
extern "C" KV_PLATFORM_API BOOL FindClose(HANDLE search);
