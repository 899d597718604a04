#include "reports/number_format.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "util/c_locale.h"

namespace radcon {

namespace {

constexpr double kPow10[10] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// Two-digit groups "00".."99" for fast integer conversion.
struct DigitPairs {
  char d[200];
  constexpr DigitPairs() : d{} {
    for (int i = 0; i < 100; ++i) {
      d[2 * i] = static_cast<char>('0' + i / 10);
      d[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
  }
};
constexpr DigitPairs kPairs;

// Writes the digits of v backwards, ending at 'end'; returns the first digit.
char* digitsBackward(char* end, std::uint64_t v) {
  while (v >= 100) {
    const unsigned r = static_cast<unsigned>(v % 100);
    v /= 100;
    end -= 2;
    std::memcpy(end, &kPairs.d[2 * r], 2);
  }
  if (v >= 10) {
    end -= 2;
    std::memcpy(end, &kPairs.d[2 * v], 2);
  } else {
    *--end = static_cast<char>('0' + v);
  }
  return end;
}

char* viaPrintf(char* out, double v, int precision, int width) {
  const CLocaleScope c;  // the point is '.', whatever locale the process has set
  const int n = std::snprintf(out, kMaxNumberChars, "%*.*f", width, precision, v);
  return out + (n < 0 ? 0 : (n < static_cast<int>(kMaxNumberChars) ? n : static_cast<int>(kMaxNumberChars) - 1));
}

}  // namespace

namespace {

// The digits of a value already scaled and rounded to an integer count of units
// of the last decimal place, for a precision known at compile time.
template <int P>
char* fixedDigits(char* end, std::uint64_t scaled) {
  constexpr std::uint64_t unit = [] {
    std::uint64_t u = 1;
    for (int i = 0; i < P; ++i) u *= 10;
    return u;
  }();
  char* p = end;
  if constexpr (P > 0) {
    std::uint64_t fraction = scaled % unit;
    scaled /= unit;
    int left = P;
    for (; left >= 2; left -= 2) {
      p -= 2;
      std::memcpy(p, &kPairs.d[2 * (fraction % 100)], 2);
      fraction /= 100;
    }
    if (left) *--p = static_cast<char>('0' + fraction);
    *--p = '.';
  }
  return digitsBackward(p, scaled);
}

}  // namespace

char* formatFixed(char* out, double v, int precision, int width) {
  if (std::isnan(v)) {
    // printf spells a NaN by its sign bit. Every NaN of a run descends from the
    // default NaN of an invalid operation (0/0, the log of a negative number),
    // which x86-64 makes negative and other processors (64-bit ARM among them)
    // make positive; carried through arithmetic, it keeps or flips its sign alike
    // on both. Spelling it as x86-64 does gives the same text everywhere.
#if defined(__x86_64__) || defined(__i386__)
    const bool negative = std::signbit(v);
#else
    const bool negative = !std::signbit(v);
#endif
    const int length = negative ? 4 : 3;
    for (int pad = width - length; pad > 0; --pad) *out++ = ' ';
    std::memcpy(out, negative ? "-nan" : "nan", static_cast<std::size_t>(length));
    return out + length;
  }
  if (!std::isfinite(v) || precision < 0 || precision > 9) return viaPrintf(out, v, precision, width);
  // m is |v| x 10^precision with one rounding, so within 2^-13 of the exact
  // product below 2^40. Away from a half, rounding m to an integer gives the
  // digits of the exact value; near a half (an exact tie included) printf decides.
  const double m = std::fabs(v) * kPow10[precision];
  if (!(m < 0x1p40)) return viaPrintf(out, v, precision, width);
  const double whole = std::floor(m);
  const double frac = m - whole;
  if (std::fabs(frac - 0.5) < 0x1p-12) return viaPrintf(out, v, precision, width);
  const std::uint64_t scaled = static_cast<std::uint64_t>(whole) + (frac > 0.5 ? 1 : 0);

  char tmp[64];
  char* end = tmp + sizeof tmp;
  char* p;
  switch (precision) {
    case 3: p = fixedDigits<3>(end, scaled); break;
    case 6: p = fixedDigits<6>(end, scaled); break;
    case 7: p = fixedDigits<7>(end, scaled); break;
    default: return viaPrintf(out, v, precision, width);
  }
  if (std::signbit(v)) *--p = '-';
  const int len = static_cast<int>(end - p);
  for (int pad = width - len; pad > 0; --pad) *out++ = ' ';
  std::memcpy(out, p, static_cast<std::size_t>(len));
  return out + len;
}

char* formatGeneral(char* out, double v) {
  const CLocaleScope c;
  const int n = std::snprintf(out, kMaxNumberChars, "%.6g", v);
  return out + (n < 0 ? 0 : n);
}

char* formatInt(char* out, long long v) {
  char tmp[24];
  char* end = tmp + sizeof tmp;
  const bool negative = v < 0;
  const std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  char* p = digitsBackward(end, mag);
  if (negative) *--p = '-';
  const std::size_t len = static_cast<std::size_t>(end - p);
  std::memcpy(out, p, len);
  return out + len;
}

}  // namespace radcon
