#include "prompt.h"

#include <cstdarg>
#include <cstring>

#include "host/aced.h"

namespace {
// The host writes the chosen keyword into a buffer of this size.
constexpr size_t kKeywordBuffer = 20;
}  // namespace

void MessageBoxFormat(CString caption, UINT style, const char* format, ...) {
  CString text;
  va_list args;
  va_start(args, format);
  text.FormatV(format, args);
  va_end(args);
  MessageBoxA(adsw_acadMainWnd(), text, caption, style);
}

BOOL GetYesNo(const CString& prompt, BOOL& answer) {
  if (acedInitGet(0, "Yes No") != RTNORM) return FALSE;
  CString text;
  text.Format("%s [Yes/No] <%s>: ", prompt.GetString(), answer ? "Yes" : "No");
  char keyword[kKeywordBuffer] = "";
  int result = acedGetKword(text, keyword, sizeof keyword);
  if (result == RTNONE) return TRUE;
  if (result != RTNORM) return FALSE;
  for (const char* yes : {"Yes", "YES", "Y"})
    if (strcmp(keyword, yes) == 0) {
      answer = TRUE;
      return TRUE;
    }
  for (const char* no : {"No", "NO", "N"})
    if (strcmp(keyword, no) == 0) {
      answer = FALSE;
      return TRUE;
    }
  return FALSE;
}

BOOL GetKeyword(const CString& prompt, const CString& keywords, CString& keyword, const CString& defaultKeyword) {
  if (acedInitGet(0, keywords) != RTNORM) return FALSE;
  CString choices = keywords;
  choices.Replace(" ", "/");
  CString text;
  text.Format("%s [%s] ", prompt.GetString(), choices.GetString());
  if (!defaultKeyword.IsEmpty()) {
    CString withDefault;
    withDefault.Format("%s<%s>", text.GetString(), defaultKeyword.GetString());
    text = withDefault;
  }
  text += ": ";
  char chosen[kKeywordBuffer] = "";
  int result = acedGetKword(text, chosen, sizeof chosen);
  if (result == RTNONE) {
    if (defaultKeyword.IsEmpty()) return FALSE;
    keyword = defaultKeyword;
    return TRUE;
  }
  if (result != RTNORM) return FALSE;
  keyword = chosen;
  return TRUE;
}
