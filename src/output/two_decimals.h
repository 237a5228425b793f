// Numbers as the triangle file shows them: printf("%.2lf")'s text, made
// without printf, identical on every system.
#pragma once

#include <cstddef>

// Longest text formatTwoDecimals can produce: sign, 309 digits, ".00".
inline constexpr size_t longestTwoDecimalsText = 330;

// Appends the text of value as printf("%.2lf") prints it; returns the
// number of characters written (at most longestTwoDecimalsText).
size_t formatTwoDecimals(double value, char* out);
