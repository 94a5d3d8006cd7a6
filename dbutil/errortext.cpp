#include "errortext.h"

namespace {

constexpr int kStatusSlots = 433;
// Direct index by status code.
const char* const kPhrases[kStatusSlots] = {
#include "status_phrases.inc"
};

}  // namespace

CString SolidErrorText;
CString ConvertErrorText;
CString LastErrorText;

CString ErrorStatusText(int status) {
  unsigned code = static_cast<unsigned>(status);
  if (code < kStatusSlots && kPhrases[code]) return CString(kPhrases[code]);
  return CString();
}

CString GetSolidErrorText() { return SolidErrorText; }
void SetSolidErrorText(const CString& text) { SolidErrorText = text; }
CString GetConvertErrorText() { return ConvertErrorText; }
void SetConvertErrorText(const CString& text) { ConvertErrorText = text; }
CString GetLastErrorText() { return LastErrorText; }
void SetLastErrorText(const CString& text) { LastErrorText = text; }
