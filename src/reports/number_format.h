// Number formatting that gives the bytes of printf's "%*.*f" and "%d" without
// printf's cost and independent of the locale (the point is always '.').
#pragma once

#include <cstddef>

namespace radcon {

// Room a caller must leave for one formatted number: %f of the largest double
// has 309 integer digits.
inline constexpr std::size_t kMaxNumberChars = 360;

// Writes v as printf("%*.*f", width, precision, v) would in the "C" locale (fast
// for precisions 3, 6 and 7, through printf itself for any other) and returns the
// end. Infinity and NaN are spelled as x86-64 glibc's printf spells them, on
// every processor (see the NaN case for how).
char* formatFixed(char* out, double v, int precision, int width);

// Writes v as printf("%.6g", v) would in the "C" locale (six significant digits,
// for values as small as p-values) and returns the end.
char* formatGeneral(char* out, double v);

// Writes a decimal integer as "%d" would and returns the end.
char* formatInt(char* out, long long v);

}  // namespace radcon
