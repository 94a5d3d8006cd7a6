#include "win/box_buttons.h"

#include "win/winapi.h"

namespace kv {

std::span<const BoxButton> boxButtons(unsigned style) {
  static const BoxButton ok[] = {{"OK", IDOK}};
  static const BoxButton okCancel[] = {{"OK", IDOK}, {"Cancel", IDCANCEL}};
  static const BoxButton abortRetry[] = {{"Abort", IDABORT}, {"Retry", IDRETRY}, {"Ignore", IDIGNORE}};
  static const BoxButton yesNoCancel[] = {{"Yes", IDYES}, {"No", IDNO}, {"Cancel", IDCANCEL}};
  static const BoxButton yesNo[] = {{"Yes", IDYES}, {"No", IDNO}};
  static const BoxButton retryCancel[] = {{"Retry", IDRETRY}, {"Cancel", IDCANCEL}};
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL: return okCancel;
    case MB_ABORTRETRYIGNORE: return abortRetry;
    case MB_YESNOCANCEL: return yesNoCancel;
    case MB_YESNO: return yesNo;
    case MB_RETRYCANCEL: return retryCancel;
    default: return ok;
  }
}

int closedBoxAnswer(unsigned style) {
  std::span<const BoxButton> buttons = boxButtons(style);
  for (const BoxButton& b : buttons)
    if (b.id == IDCANCEL) return IDCANCEL;
  return buttons.back().id;
}

}  // namespace kv
