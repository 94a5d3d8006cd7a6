// The buttons a message box shows for its style, as every user interface offers them.
#pragma once

#include <span>

#include "core/export.h"

namespace kv {

struct BoxButton {
  const char* word;  // as the user types it
  int id;            // IDOK, IDCANCEL, ...
};

// The buttons of style (MB_OK, MB_YESNO, ...), the default first.
KV_PLATFORM_API std::span<const BoxButton> boxButtons(unsigned style);
// The answer of a box closed without a button: Cancel where it has one, else its last button.
KV_PLATFORM_API int closedBoxAnswer(unsigned style);

}  // namespace kv
