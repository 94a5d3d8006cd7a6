// The maker's interface library: the settings store and the About box.
#pragma once

#include "win/cstring.h"
#include "core/export.h"
#include "win/winapi.h"

// Settings kept per user in one file under $XDG_CONFIG_HOME (or ~/.config), one section per
// key. Every write replaces the file whole through a new file renamed over the old one, so a
// crash never leaves a broken store; a store that cannot be read or parsed reads as empty.
class KV_PLATFORM_API ORVRegistry {
public:
  ORVRegistry();
  ~ORVRegistry();
  // Names the key later calls read and write under. 1 on success.
  int SetKey(CString key, int create);
  // The stored value, or def when none (or no key) is set.
  int ReadInt(CString name, int def);
  // The stored flag as 0 or 1, or def.
  int ReadBool(CString name, int def);
  // 1 when the value was stored.
  int WriteInt(CString name, int value);
  int WriteBool(CString name, int value);

private:
  CString key_;
};

class KV_PLATFORM_API ORVGUIUtils {
public:
  // The About box with the product title, through the host's user interface.
  static void About(const CString& title, HWND* parent);
};
