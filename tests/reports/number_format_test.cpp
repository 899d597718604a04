#include "reports/number_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

#include "input/number_words.h"
#include "../support.h"

namespace radcon {
namespace {

struct Format {
  int precision, width;
};
constexpr Format kFormats[] = {{3, 8}, {6, 0}, {7, 8}};

void expectPrintf(double v) {
  for (const Format f : kFormats) {
    char ours[kMaxNumberChars], theirs[kMaxNumberChars];
    const std::string got(ours, formatFixed(ours, v, f.precision, f.width));
    std::snprintf(theirs, sizeof theirs, "%*.*f", f.width, f.precision, v);
    ASSERT_EQ(got, theirs) << "value " << std::hexfloat << v << " precision " << f.precision;
  }
}

TEST(NumberFormat, SpecialValues) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double v : {0.0, -0.0, 1.0, -1.0, 0.5, 0.0005, 0.00000005, -0.0000001, 1e-300, -1e-300, 10000.0, 123456.789,
                   1e15, 1e300, -1e300, std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
                   std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), nan,
                   -nan, 0.0 / std::sqrt(-1.0 + 0.0 * nan)})
    expectPrintf(v);
  char buf[kMaxNumberChars];
  EXPECT_EQ(std::string(buf, formatFixed(buf, -std::numeric_limits<double>::quiet_NaN(), 3, 8)), "    -nan");
  EXPECT_EQ(std::string(buf, formatFixed(buf, std::numeric_limits<double>::infinity(), 7, 8)), "     inf");
  EXPECT_EQ(std::string(buf, formatFixed(buf, -0.0, 3, 8)), "  -0.000");
  EXPECT_EQ(std::string(buf, formatFixed(buf, 12345.6789, 3, 8)), "12345.679");
}

TEST(NumberFormat, HalfwayCases) {
  // Exact binary halves at each precision (k + 0.5) / 10^p representable as a
  // double: multiples of 1/2^m with few bits, and their neighbours.
  std::mt19937_64 rng(17);
  for (int i = 0; i < 200000; ++i) {
    const int m = 1 + static_cast<int>(rng() % 30);
    const double v = static_cast<double>(rng() % (1ull << 24)) / std::ldexp(1.0, m);
    expectPrintf(v);
    expectPrintf(-v);
    expectPrintf(std::nextafter(v, 0.0));
    expectPrintf(std::nextafter(v, 1e9));
  }
  for (int p : {3, 6, 7})
    for (long k = 0; k < 20000; ++k) {
      const double v = (static_cast<double>(k) + 0.5) / std::pow(10.0, p);
      expectPrintf(v);
      expectPrintf(std::nextafter(v, 0.0));
      expectPrintf(std::nextafter(v, 1.0));
    }
}

TEST(NumberFormat, MillionsOfValuesLikeReports) {
  std::mt19937_64 rng(23);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int i = 0; i < 1500000; ++i) {
    double v;
    switch (i % 5) {
      case 0: v = u(rng) * 1e-3; break;                       // covariances
      case 1: v = u(rng); break;                              // proportions
      case 2: v = u(rng) * 500; break;                        // sites and differences
      case 3: v = std::ldexp(u(rng), static_cast<int>(rng() % 120) - 60); break;
      default: {
        std::uint64_t bits = rng();
        std::memcpy(&v, &bits, sizeof v);  // any double at all
      }
    }
    expectPrintf(v);
  }
}

TEST(NumberFormat, Integers) {
  char buf[32];
  for (long long v : {0LL, 7LL, -7LL, 10LL, 99LL, 100LL, 123456789012LL, -2147483648LL,
                      std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max()}) {
    char theirs[32];
    std::snprintf(theirs, sizeof theirs, "%lld", v);
    EXPECT_EQ(std::string(buf, formatInt(buf, v)), theirs);
  }
}

// A caller's setlocale changes nothing: numbers are read and written with a point
// even where the locale's decimal separator is a comma.
TEST(NumberFormat, NumbersIgnoreTheCallersLocale) {
  test::ScratchDir dir;
  const std::string make = "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' > /dev/null 2>&1";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "no locale sources to build de_DE from";
  ::setenv("LOCPATH", dir.path().c_str(), 1);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 cannot be set";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  char out[kMaxNumberChars];
  EXPECT_EQ(std::string(out, formatFixed(out, 2.5, 3, 8)), "   2.500");
  EXPECT_EQ(std::string(out, formatFixed(out, 1.0 / 3, 2, 0)), "0.33");  // through printf
  EXPECT_EQ(std::string(out, formatFixed(out, 0.00000125, 7, 8)), "0.0000013");  // near a half: printf decides
  EXPECT_EQ(realWord("0.25"), 0.25);
  EXPECT_FALSE(realWord("0,25").has_value());
  std::setlocale(LC_ALL, "C");
  ::unsetenv("LOCPATH");
}

}  // namespace
}  // namespace radcon
