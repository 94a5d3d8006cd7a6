// The platform's one way to read numbers from text.
#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "core/numbers.h"

using kv::NumberParse;

namespace {

// The status of reading text as T; a refusal must leave out as it was.
template <class T>
NumberParse statusOf(std::string_view text, int base = 10) {
  const T sentinel = T(42);
  T out = sentinel;
  NumberParse status = kv::parseNumber(text, out, base);
  if (status != NumberParse::kOk) {
    EXPECT_EQ(out, sentinel) << "'" << text << "' changed the out parameter on a refusal";
  }
  return status;
}

template <class T>
T valueOf(std::string_view text, int base = 10) {
  T out{};
  EXPECT_EQ(kv::parseNumber(text, out, base), NumberParse::kOk) << "'" << text << "'";
  return out;
}

template <class T>
void expectRange(const char* lowest, const char* highest, const char* below, const char* above) {
  EXPECT_EQ(valueOf<T>(lowest), std::numeric_limits<T>::min()) << lowest;
  EXPECT_EQ(valueOf<T>(highest), std::numeric_limits<T>::max()) << highest;
  EXPECT_EQ(statusOf<T>(above), NumberParse::kOutOfRange) << above;
  if (below) {
    EXPECT_EQ(statusOf<T>(below), NumberParse::kOutOfRange) << below;
  }
}

}  // namespace

TEST(Numbers, TheWholeTextBetweenBlanksIsTheNumber) {
  EXPECT_EQ(valueOf<int>(" \t12\r "), 12);
  EXPECT_EQ(valueOf<int>("+12"), 12);
  EXPECT_EQ(valueOf<int>(" +12 "), 12);
  EXPECT_EQ(valueOf<int>("-12"), -12);
  EXPECT_EQ(valueOf<int>("007"), 7);
  EXPECT_EQ(valueOf<double>("\t+2.5e1\r"), 25.0);
  EXPECT_EQ(valueOf<double>("-.5"), -0.5);
  EXPECT_EQ(valueOf<double>("3."), 3.0);
  for (const char* text : {"", " ", "\t\r", "+", "-", "+-1", "-+1", "++1", "--1", "+ 1", "- 1", "12abc", "1 2", "1,5",
                           "0x10", "1.5", "\n12", "12\n", "1e3"}) {
    EXPECT_EQ(statusOf<int>(text), NumberParse::kNotANumber) << "'" << text << "'";
    EXPECT_FALSE([&] { long long v = 1; return kv::toNumber(text, v); }()) << "'" << text << "'";
  }
  for (const char* text : {"", "+", ".", "+-1", "1e", "1e+", "1.2.3", "1 2", "2,5", "12abc", "0x1p3", "--1"})
    EXPECT_EQ(statusOf<double>(text), NumberParse::kNotANumber) << "'" << text << "'";
}

TEST(Numbers, EachIntegerTypeRefusesWhatItCannotHold) {
  expectRange<int>("-2147483648", "2147483647", "-2147483649", "2147483648");
  expectRange<long>("-9223372036854775808", "9223372036854775807", "-9223372036854775809", "9223372036854775808");
  expectRange<long long>("-9223372036854775808", "9223372036854775807", "-9223372036854775809",
                         "99999999999999999999999999");
  expectRange<unsigned>("0", "4294967295", nullptr, "4294967296");
  expectRange<unsigned long>("0", "18446744073709551615", nullptr, "18446744073709551616");
  expectRange<unsigned long long>("+0", "18446744073709551615", nullptr, "18446744073709551616");
  // An unsigned number has no sign but '+'.
  for (const char* text : {"-1", "-0", " -5 "}) {
    EXPECT_EQ(statusOf<unsigned>(text), NumberParse::kNotANumber) << text;
    EXPECT_EQ(statusOf<unsigned long long>(text), NumberParse::kNotANumber) << text;
  }
  EXPECT_EQ(valueOf<unsigned>("+7"), 7u);
}

TEST(Numbers, RealsAreFiniteAndWithinTheirType) {
  EXPECT_EQ(valueOf<float>("3.4028235e38"), FLT_MAX);
  EXPECT_EQ(statusOf<float>("3.5e38"), NumberParse::kOutOfRange);
  EXPECT_EQ(statusOf<float>("-1e39"), NumberParse::kOutOfRange);
  EXPECT_EQ(valueOf<double>("1e39"), 1e39);
  EXPECT_EQ(statusOf<double>("1e309"), NumberParse::kOutOfRange);
  EXPECT_EQ(statusOf<double>("-1e309"), NumberParse::kOutOfRange);
  // Subnormal values are kept; a value that would underflow to zero is out of range.
  EXPECT_EQ(std::fpclassify(valueOf<float>("1e-40")), FP_SUBNORMAL);
  EXPECT_EQ(std::fpclassify(valueOf<double>("4.9e-324")), FP_SUBNORMAL);
  EXPECT_EQ(statusOf<float>("1e-50"), NumberParse::kOutOfRange);
  EXPECT_EQ(statusOf<double>("1e-400"), NumberParse::kOutOfRange);
  EXPECT_EQ(valueOf<double>("0e-400"), 0.0);
  EXPECT_TRUE(std::signbit(valueOf<float>("-0")));
  for (const char* text : {"inf", "-inf", "+inf", "INF", "infinity", "nan", "-nan", "NaN", " nan "}) {
    EXPECT_EQ(statusOf<float>(text), NumberParse::kOutOfRange) << text;
    EXPECT_EQ(statusOf<double>(text), NumberParse::kOutOfRange) << text;
  }
}

TEST(Numbers, OtherBasesTakeTheirOwnDigitsAndNoPrefix) {
  EXPECT_EQ(valueOf<int>("ff", 16), 255);
  EXPECT_EQ(valueOf<int>(" +FF ", 16), 255);
  EXPECT_EQ(valueOf<int>("-1f", 16), -31);
  EXPECT_EQ(valueOf<unsigned>("ffffffff", 16), 0xFFFFFFFFu);
  EXPECT_EQ(valueOf<unsigned long long>("7FFFFFFFFFFFFFFF", 16), 0x7FFFFFFFFFFFFFFFull);
  EXPECT_EQ(statusOf<unsigned>("100000000", 16), NumberParse::kOutOfRange);
  EXPECT_EQ(statusOf<int>("80000000", 16), NumberParse::kOutOfRange);
  EXPECT_EQ(statusOf<int>("0x10", 16), NumberParse::kNotANumber);
  EXPECT_EQ(statusOf<int>("fg", 16), NumberParse::kNotANumber);
  EXPECT_EQ(valueOf<int>("101", 2), 5);
  EXPECT_EQ(valueOf<long long>("-1000", 2), -8);
  EXPECT_EQ(statusOf<int>("102", 2), NumberParse::kNotANumber);
  EXPECT_EQ(statusOf<int>("0b1", 2), NumberParse::kNotANumber);
  EXPECT_EQ(statusOf<unsigned>(std::string(33, '1'), 2), NumberParse::kOutOfRange);
}

TEST(Numbers, TrimBlanksTakesOnlySpacesTabsAndCarriageReturns) {
  EXPECT_EQ(kv::trimBlanks(" \t a b \r"), "a b");
  EXPECT_EQ(kv::trimBlanks(" \t\r "), "");
  EXPECT_EQ(kv::trimBlanks(""), "");
  EXPECT_EQ(kv::trimBlanks("\n1\v"), "\n1\v");
}
