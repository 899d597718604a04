// Covariances between the proportions of every two pairs: for pairs a and b the
// sum over codons of the product of their deviations, divided by X_a X_b / 4.
// The sums form the upper triangle of D D^T, D the pairs x codons deviation
// matrix, computed as a blocked matrix product on panels of eight pairs.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "stats/statistics.h"

namespace radcon {

namespace {

typedef double v8d __attribute__((vector_size(64)));

// On x86-64 one binary carries the kernel for AVX-512, AVX2 and plain SSE2 and
// picks one when it starts (not in a ThreadSanitizer build, which cannot load
// such a binary); elsewhere the compiler's generic vectors serve. Each lane is an
// ordinary sum of products in codon order, so every choice gives the same bits.
#if defined(__x86_64__) && !defined(RADCON_NO_KERNEL_CLONES)
#define RADCON_KERNEL_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define RADCON_KERNEL_CLONES
#endif

// Dot products of the 8 pairs of panel A with the 16 pairs of panels B0 and B1,
// each summed over the codons in codon order. out is 8 rows of 16.
RADCON_KERNEL_CLONES void panelProducts(const double* A, const double* B0, const double* B1, int L, double* out) {
  v8d acc0[8] = {}, acc1[8] = {};
  for (int k = 0; k < L; ++k) {
    v8d b0, b1;
    std::memcpy(&b0, B0 + 8 * k, sizeof b0);
    std::memcpy(&b1, B1 + 8 * k, sizeof b1);
    const double* a = A + 8 * k;
    for (int r = 0; r < 8; ++r) {
      acc0[r] = acc0[r] + a[r] * b0;
      acc1[r] = acc1[r] + a[r] * b1;
    }
  }
  for (int r = 0; r < 8; ++r) {
    std::memcpy(out + 16 * r, &acc0[r], sizeof(v8d));
    std::memcpy(out + 16 * r + 8, &acc1[r], sizeof(v8d));
  }
}

}  // namespace

namespace {

// True when every value in [lo, hi] (0 <= lo <= hi) prints alike with the given
// number of decimals: no rounding boundary (a half unit of the last place) lies
// between them.
bool sameDecimals(double lo, double hi, double scale) {
  const double mlo = lo * scale, mhi = hi * scale;
  if (!(mhi < 0x1p40)) return false;
  const double slack = mhi * 0x1p-50 + 0x1p-40;  // the rounding of the products above
  return std::floor(mlo - slack + 0.5) == std::floor(mhi + slack + 0.5);
}

double scaleOf(int decimals) { return decimals == 0 ? 1.0 : 10.0 * scaleOf(decimals - 1); }

// Whether a covariance known to lie within r of c prints the same whatever its
// exact value, in every form the caller prints: as a proportion covariance
// (negative values as zero) and as a Jukes-Cantor covariance, c / ja / jb.
bool printsAlike(double c, double r, double ja, double jb, const PrintedDecimals& printed) {
  if (std::isnan(c)) return true;  // NaN flows alike through either sum
  if (!(r < std::numeric_limits<double>::infinity())) return false;
  const double lo = std::max(c - r, 0.0), hi = std::max(c + r, 0.0);
  for (int decimals : printed.proportions)
    if (!sameDecimals(lo, hi, scaleOf(decimals))) return false;
  if (printed.distances.empty()) return true;
  const double q = std::fabs(ja * jb);
  if (std::isnan(q)) return true;
  if (q == 0.0 || !std::isfinite(q)) return lo > 0.0 || hi == 0.0;  // +-inf, or 0/0, either way
  constexpr double u = 0x1p-50;
  for (int decimals : printed.distances)
    if (!sameDecimals(lo / q * (1 - u), hi / q * (1 + u) + 0x1p-1000, scaleOf(decimals))) return false;
  return true;
}

}  // namespace

void covarianceRows(const PairStatistics& st, Kind kind, std::size_t rowBegin, std::size_t rowEnd, double* out,
                    std::vector<double>& workspace, const PrintedDecimals& printed) {
  constexpr std::size_t kL = PairCodonTable::kLanes;
  const PairCodonTable& d = st.deviation[kind];
  const std::vector<double>& sum = st.sumSites[kind];
  const std::vector<double>& var = st.variance[kind];
  const std::vector<double>& jc = st.jcDenominator[kind];
  const std::size_t P = st.pairs;
  const int L = st.seqLength;
  const std::size_t panels = d.panels();
  const std::size_t pa0 = rowBegin / kL, pa1 = (rowEnd + kL - 1) / kL;
  const std::size_t c0 = pa0 * kL;
  const std::size_t width = ((panels - pa0 + 1) / 2) * 2 * kL;  // columns c0 .. in whole panel pairs
  // The block sums, then a panel of zeros standing in for the one after the last.
  const std::size_t sumsSize = (pa1 - pa0) * kL * width, zerosSize = static_cast<std::size_t>(L) * kL;
  workspace.resize(sumsSize + zerosSize);
  double* sums = workspace.data();
  double* zeros = sums + sumsSize;
  std::fill(zeros, zeros + zerosSize, 0.0);
  double block[8 * 16];
  for (std::size_t pb = pa0; pb < panels; pb += 2) {
    const double* B0 = d.panel(pb);
    const double* B1 = pb + 1 < panels ? d.panel(pb + 1) : zeros;
    for (std::size_t pa = pa0; pa < pa1 && pa <= pb + 1; ++pa) {
      panelProducts(d.panel(pa), B0, B1, L, block);
      for (std::size_t r = 0; r < kL; ++r)
        std::memcpy(&sums[((pa - pa0) * kL + r) * width + (pb - pa0) * kL], &block[16 * r], 16 * sizeof(double));
    }
  }
  // Summing before dividing differs from the term-by-term sum by at most about
  // 2 L u sum|d_a d_b| / D, and by Cauchy-Schwarz sum|d_a d_b| / D <= sqrt(var_a var_b).
  const double errorPerScale = (2.0 * L + 16.0) * 0x1p-51;
  double* o = out;
  for (std::size_t a = rowBegin; a < rowEnd; ++a) {
    const double* row = &sums[(a - c0) * width];
    const double diagonal = var[a];  // the variance itself, not recomputed
    *o++ = diagonal <= 0.0 ? 0.0 : diagonal;
    for (std::size_t b = a + 1; b < P; ++b) {
      const double D = (sum[a] * sum[b]) / 4.0;
      double v = row[b - c0] / D;
      const double r = errorPerScale * std::sqrt(var[a] * var[b]) * 2.0;
      if (!printsAlike(v, r, jc[a], jc[b], printed)) {
        v = 0.0;
        for (int k = 0; k < L; ++k) v = v + (d.at(a, k) * d.at(b, k)) / D;
      }
      // Zero and below print as 0. A sum of terms that starts from +0 is never
      // -0, but a blocked sum of +0 over a negative X_a X_b / 4 (sites that round
      // a hair below zero) is.
      *o++ = v <= 0.0 ? 0.0 : v;
    }
  }
}

}  // namespace radcon
