// The triangle file's layout, shared by the program that writes it and the
// tools that read it back. Depends on nothing.
//
//   head  16 bytes: "**************\r\n" while the blocks are written, then
//         overwritten from byte 0 by "COUNT\r\nAVERAGE\r\n" (or "COUNT\r\n"
//         alone when the average is out of range); the rest of the
//         placeholder's asterisks and its CR LF stay as they were
//   block three lines "x,y,z\r\n" per triangle, every value "-?digits.dd"
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr char trianglePlaceholder[] = "**************\r\n";
inline constexpr int32_t triangleHeadBytes = sizeof trianglePlaceholder - 1;

// Whether the count line and the average line of these digit counts both
// fit the head, each with its CR LF.
constexpr bool headHoldsAverage(int32_t countDigits, int32_t averageDigits) {
  return countDigits + 2 + averageDigits + 2 <= triangleHeadBytes;
}

// The asterisks that stand in the average's place on the second line when
// only the count line was written.
constexpr int32_t headAsterisksWithoutAverage(int32_t countDigits) {
  return triangleHeadBytes - 2 - countDigits - 2;
}

// The asterisks on the third line, after both lines were written; 0 when
// none is left (the line is then empty, or gone when the two lines take
// all 16 bytes).
constexpr int32_t headAsterisksAfterAverage(int32_t countDigits, int32_t averageDigits) {
  const int32_t left = triangleHeadBytes - (countDigits + 2) - (averageDigits + 2) - 2;
  return left > 0 ? left : 0;
}

constexpr bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// Whether text[at ..] is exactly ".dd", the end of every value.
constexpr bool endsWithTwoDecimals(const char* text, size_t at, size_t length) {
  return length - at == 3 && text[at] == '.' && isDecimalDigit(text[at + 1]) && isDecimalDigit(text[at + 2]);
}

// Whether text is a value as the file shows it: "-?digits.dd".
inline bool isTwoDecimalText(const char* text, size_t length) {
  const size_t sign = length > 0 && text[0] == '-' ? 1 : 0;
  size_t at = sign;
  while (at < length && isDecimalDigit(text[at])) ++at;
  return at > sign && endsWithTwoDecimals(text, at, length);
}

// The value of a "-?digits.dd" text whose digits form an integer N of at
// most 2^53: N / 100.0 is then correctly rounded, exactly what strtod gives.
// false, leaving *value, for any other text (a longer one needs strtod).
inline bool readTwoDecimals(const char* text, size_t length, double* value) {
  const bool negative = length > 0 && text[0] == '-';
  const size_t wholeStart = negative ? 1 : 0;
  size_t at = wholeStart;
  unsigned long long hundredths = 0;
  while (at < length && isDecimalDigit(text[at])) {
    if (at - wholeStart == 16) return false;
    hundredths = hundredths * 10 + static_cast<unsigned>(text[at] - '0');
    ++at;
  }
  if (at == wholeStart || !endsWithTwoDecimals(text, at, length)) return false;
  hundredths = hundredths * 100 + static_cast<unsigned>(text[at + 1] - '0') * 10 +
               static_cast<unsigned>(text[at + 2] - '0');
  if (hundredths > (1ull << 53)) return false;
  const double magnitude = static_cast<double>(hundredths) / 100.0;
  *value = negative ? -magnitude : magnitude;
  return true;
}
