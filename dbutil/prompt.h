// Message boxes and questions on the command line.
#pragma once

#include "win/cstring.h"
#include "win/winapi.h"

// A box owned by the host's main window with printf-style text; the button is not reported.
void MessageBoxFormat(CString caption, UINT style, const char* format, ...) __attribute__((format(printf, 3, 4)));

// "prompt [Yes/No] <default>: ". answer: in, the default; out, the answer. TRUE when the answer
// is known (Enter keeps the default); FALSE, answer unchanged, when cancelled.
BOOL GetYesNo(const CString& prompt, BOOL& answer);

// "prompt [k1/k2/...] <default>: " over a space-separated keyword list. TRUE with the chosen
// keyword, or the default for Enter when there is one. A keyword longer than 19 characters
// comes back cut to 19. FALSE, keyword unchanged, when cancelled or Enter without a default.
BOOL GetKeyword(const CString& prompt, const CString& keywords, CString& keyword, const CString& defaultKeyword);
