// A module's resources: dialog templates and a string table, written in a resource script
// close to the Windows .rc text, embedded in the module by kv_embed_resources() (CMake) as the
// exported data symbol kvResourceScript, and found through a module handle.
//
// The script subset read:
//   #define NAME value                     (other '#' lines are skipped)
//   STRINGTABLE [options] BEGIN  id, "text" ...  END
//   id DIALOG[EX] x, y, w, h  [STYLE expr] [EXSTYLE expr] [CAPTION "text"] [FONT n, "face"...]
//     [LANGUAGE a, b] [MENU x] [CLASS x]  BEGIN controls END        ("{" "}" work too)
//   controls: CONTROL "text", id, "class", style, x, y, w, h [, exstyle]
//             LTEXT | RTEXT | CTEXT | PUSHBUTTON | DEFPUSHBUTTON | CHECKBOX | AUTOCHECKBOX |
//             RADIOBUTTON | AUTORADIOBUTTON | STATE3 | AUTO3STATE | GROUPBOX
//                     "text", id, x, y, w, h [, style [, exstyle]]
//             EDITTEXT | COMBOBOX | LISTBOX | SCROLLBAR   id, x, y, w, h [, style [, exstyle]]
// Strings take "" for a quote and C escapes; ids are numbers, IDOK, IDCANCEL, IDC_STATIC (-1)
// or #define names; styles are kept as the names written. "//" and "/* */" are comments.
// Other resource statements ("1 ICON ...", "LANGUAGE ..." at the top) are skipped.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/export.h"
#include "win/winapi.h"

namespace kv::res {

struct KV_PLATFORM_API ControlTemplate {
  std::string statement;  // "CONTROL", "LTEXT", ... in upper case
  std::string text;
  int id = -1;
  std::string windowClass;          // for CONTROL as written; else the statement's own class
  std::vector<std::string> styles;  // names (or numbers) joined by '|' in the script
  int x = 0, y = 0, width = 0, height = 0;
  bool hasStyle(const char* name) const;
};

struct DialogTemplate {
  int id = 0;
  int x = 0, y = 0, width = 0, height = 0;
  std::string caption;
  std::vector<std::string> styles;
  std::vector<ControlTemplate> controls;  // template (tab) order
};

struct ResourceScript {
  std::map<int, DialogTemplate> dialogs;
  std::map<int, std::string> strings;
};

// Parses a script. False with error ("line N: ...") when it cannot be read; out is untouched.
KV_PLATFORM_API bool parseScript(const std::string& text, ResourceScript& out, std::string& error);

// The script embedded in a module, found by its exported symbol kvResourceScript; a null
// handle is the running program (with its libraries). Null when the module has none.
KV_PLATFORM_API const char* scriptOf(HINSTANCE module);
// The module's resources, parsed; false when it has no script or the script is broken.
KV_PLATFORM_API bool resourcesOf(HINSTANCE module, ResourceScript& out);

}  // namespace kv::res

// The string `id` of the module's string table, cut to size - 1 characters: its length, 0 when
// there is none.
extern "C" KV_PLATFORM_API int LoadStringA(HINSTANCE module, UINT id, char* buffer, int size);
