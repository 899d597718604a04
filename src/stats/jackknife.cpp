#include "stats/jackknife.h"

#include <algorithm>
#include <cstddef>

namespace radcon {

std::vector<CodonBlock> codonBlocks(int codons, int blocks) {
  const int n = std::max(0, std::min(blocks, codons));
  std::vector<CodonBlock> out;
  out.reserve(static_cast<std::size_t>(n));
  const int small = n ? codons / n : 0, longer = n ? codons % n : 0;
  int first = 0;
  for (int b = 0; b < n; ++b) {
    const int size = small + (b >= n - longer ? 1 : 0);
    out.push_back({first, first + size});
    first += size;
  }
  return out;
}

namespace {

// Spreads below this share of the values' size are rounding.
constexpr double kRounding = 1e-9;

// The continued fraction of the incomplete beta function (modified Lentz).
double betaFraction(double a, double b, double x) {
  const double tiny = 1e-300;
  double c = 1.0, d = 1.0 - (a + b) * x / (a + 1.0);
  if (std::fabs(d) < tiny) d = tiny;
  d = 1.0 / d;
  double h = d;
  for (int m = 1; m <= 300; ++m) {
    const double m2 = 2.0 * m;
    double aa = m * (b - m) * x / ((a + m2 - 1.0) * (a + m2));
    d = 1.0 + aa * d;
    if (std::fabs(d) < tiny) d = tiny;
    c = 1.0 + aa / c;
    if (std::fabs(c) < tiny) c = tiny;
    d = 1.0 / d;
    h *= d * c;
    aa = -(a + m) * (a + b + m) * x / ((a + m2) * (a + m2 + 1.0));
    d = 1.0 + aa * d;
    if (std::fabs(d) < tiny) d = tiny;
    c = 1.0 + aa / c;
    if (std::fabs(c) < tiny) c = tiny;
    d = 1.0 / d;
    const double step = d * c;
    h *= step;
    if (std::fabs(step - 1.0) < 1e-15) break;
  }
  return h;
}

double regularizedBeta(double a, double b, double x) {
  if (x <= 0.0) return 0.0;
  if (x >= 1.0) return 1.0;
  const double front =
      std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log1p(-x));
  return x < (a + 1.0) / (a + b + 2.0) ? front * betaFraction(a, b, x) / a
                                       : 1.0 - front * betaFraction(b, a, 1.0 - x) / b;
}

}  // namespace

double studentTwoSidedP(double t, double df) {
  if (std::isnan(t) || !(df > 0.0)) return NAN;
  if (std::isinf(t)) return 0.0;
  return regularizedBeta(df / 2.0, 0.5, df / (df + t * t));
}

std::vector<JackknifeRow> jackknifeRows(const std::vector<GroupMean>& whole,
                                        const std::vector<std::vector<GroupMean>>& leftOut,
                                        const std::vector<double>* expectedRC,
                                        const std::vector<std::vector<double>>* partExpectedRC) {
  const std::size_t B = leftOut.size();
  std::vector<JackknifeRow> rows(whole.size());
  for (std::size_t g = 0; expectedRC && g < whole.size(); ++g) {
    rows[g].expected = true;
    if (B >= 2) rows[g].expectedRC = (*expectedRC)[g];  // no blocks, no test: nothing to test against
  }
  if (B < 2) return rows;
  // se of one value over the replicates (NaN when any is undefined), and the
  // largest of them in size.
  struct Spread {
    double se, scale;
  };
  std::vector<double> v(B);
  auto spread = [&](std::size_t g, auto value) {
    double mean = 0.0, scale = 0.0;
    for (std::size_t b = 0; b < B; ++b) {
      v[b] = value(leftOut[b][g], b);
      mean += v[b];
      scale = std::max(scale, std::fabs(v[b]));
    }
    mean /= static_cast<double>(B);
    double ss = 0.0;
    for (const double x : v) ss += (x - mean) * (x - mean);
    return Spread{std::sqrt(ss * static_cast<double>(B - 1) / static_cast<double>(B)), scale};
  };
  const double df = static_cast<double>(B - 1);
  // A spread within rounding of the values (parts that all give one difference)
  // is no error to divide by: no test, as for a spread of exactly 0.
  auto test = [&](double difference, Spread s) -> NormalTest {
    if (!std::isfinite(difference) || !std::isfinite(s.se) || !(s.se > kRounding * s.scale)) return {NAN, NAN};
    const double z = difference / s.se;
    return {z, std::max(studentTwoSidedP(z, df), kPValueFloor)};
  };
  for (std::size_t g = 0; g < whole.size(); ++g) {
    JackknifeRow& j = rows[g];
    j.blocks = static_cast<int>(B);
    for (int k = 0; k < kKinds; ++k) j.seD[k] = spread(g, [k](const GroupMean& m, std::size_t) { return m.d[k]; }).se;
    const GroupMean& w = whole[g];
    j.dNdS = test(w.d[kNonsynonymous] - w.d[kSynonymous], spread(g, [](const GroupMean& m, std::size_t) {
                    return m.d[kNonsynonymous] - m.d[kSynonymous];
                  }));
    const double r = expectedRC ? (*expectedRC)[g] : 1.0;
    j.dRdC = test(w.d[kRadical] - r * w.d[kConservative], spread(g, [&](const GroupMean& m, std::size_t b) {
                    const double rb = partExpectedRC ? (*partExpectedRC)[b][g] : r;
                    return m.d[kRadical] - rb * m.d[kConservative];
                  }));
  }
  return rows;
}

}  // namespace radcon
