#include "core/numbers.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <type_traits>

namespace kv {

std::string_view trimBlanks(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

template <class T>
NumberParse parseNumber(std::string_view text, T& out, int base) {
  assert(base >= 2 && base <= 36);
  text = trimBlanks(text);
  bool plus = !text.empty() && text[0] == '+';
  if (plus) text.remove_prefix(1);
  // from_chars would take a '-' after the '+'.
  if (text.empty() || (plus && text[0] == '-')) return NumberParse::kNotANumber;
  T value{};
  const char* end = text.data() + text.size();
  std::from_chars_result r;
  if constexpr (std::is_floating_point_v<T>) {
    r = std::from_chars(text.data(), end, value, std::chars_format::general);
  } else {
    if (std::is_unsigned_v<T> && text[0] == '-') return NumberParse::kNotANumber;
    r = std::from_chars(text.data(), end, value, base);
  }
  if (r.ec == std::errc::result_out_of_range) return NumberParse::kOutOfRange;
  if (r.ec != std::errc() || r.ptr != end) return NumberParse::kNotANumber;
  if constexpr (std::is_floating_point_v<T>) {
    if (!std::isfinite(value)) return NumberParse::kOutOfRange;
  }
  out = value;
  return NumberParse::kOk;
}

template KV_PLATFORM_API NumberParse parseNumber(std::string_view, int&, int);
template KV_PLATFORM_API NumberParse parseNumber(std::string_view, long&, int);
template KV_PLATFORM_API NumberParse parseNumber(std::string_view, long long&, int);
template KV_PLATFORM_API NumberParse parseNumber(std::string_view, unsigned&, int);
template KV_PLATFORM_API NumberParse parseNumber(std::string_view, unsigned long&, int);
template KV_PLATFORM_API NumberParse parseNumber(std::string_view, unsigned long long&, int);
template KV_PLATFORM_API NumberParse parseNumber(std::string_view, float&, int);
template KV_PLATFORM_API NumberParse parseNumber(std::string_view, double&, int);

}  // namespace kv
