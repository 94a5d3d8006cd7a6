// Numbers in text, read one way everywhere: the whole text is the number, blanks (spaces,
// tabs, carriage returns) around it are allowed, a '+' may lead. No locale, no partial reads:
// "12abc", "" and "1 2" are not numbers. Reals are finite: "inf", "nan" and values past the
// type's range are out of range.
#pragma once

#include <string_view>

#include "core/export.h"

namespace kv {

enum class NumberParse { kOk, kNotANumber, kOutOfRange };

// Integers in base 2 to 36 (no "0x" prefix: the caller strips it and passes 16). T is int,
// long, long long, unsigned, unsigned long, unsigned long long, float or double. out is set
// only on kOk.
template <class T>
KV_PLATFORM_API NumberParse parseNumber(std::string_view text, T& out, int base = 10);

// True when text is a number that fits T; out is set only then.
template <class T>
bool toNumber(std::string_view text, T& out, int base = 10) {
  return parseNumber(text, out, base) == NumberParse::kOk;
}

// text without the blanks that parseNumber allows around a number.
KV_PLATFORM_API std::string_view trimBlanks(std::string_view text);

}  // namespace kv
