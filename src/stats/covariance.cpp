// Covariances between the proportions of every two pairs: for pairs a and b the
// sum over codons of the product of their deviations, divided by X_a X_b / 4.
// The sums form the upper triangle of D D^T, D the pairs x codons deviation
// matrix, computed as a blocked matrix product on panels of eight pairs.
#include <cstring>
#include <vector>

#include "stats/statistics.h"

namespace radcon {

namespace {

typedef double v8d __attribute__((vector_size(64)));

// Dot products of the 8 pairs of panel A with the 16 pairs of panels B0 and B1,
// each summed over the codons in codon order. out is 8 rows of 16.
__attribute__((target_clones("avx512f", "avx2", "default"))) void panelProducts(const double* A, const double* B0,
                                                                               const double* B1, int L, double* out) {
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

void covarianceRows(const PairStatistics& st, Kind kind, std::size_t rowBegin, std::size_t rowEnd, double* out) {
  constexpr std::size_t kL = PairCodonTable::kLanes;
  const PairCodonTable& d = st.deviation[kind];
  const std::vector<double>& sum = st.sumSites[kind];
  const std::vector<double>& var = st.variance[kind];
  const std::size_t P = st.pairs;
  const int L = st.seqLength;
  const std::size_t panels = d.panels();
  const std::size_t pa0 = rowBegin / kL, pa1 = (rowEnd + kL - 1) / kL;
  const std::size_t c0 = pa0 * kL;
  const std::size_t width = ((panels - pa0 + 1) / 2) * 2 * kL;  // columns c0 .. in whole panel pairs
  std::vector<double> sums((pa1 - pa0) * kL * width);
  const std::vector<double> zeros(static_cast<std::size_t>(L) * kL, 0.0);
  double block[8 * 16];
  for (std::size_t pb = pa0; pb < panels; pb += 2) {
    const double* B0 = d.panel(pb);
    const double* B1 = pb + 1 < panels ? d.panel(pb + 1) : zeros.data();
    for (std::size_t pa = pa0; pa < pa1 && pa <= pb + 1; ++pa) {
      panelProducts(d.panel(pa), B0, B1, L, block);
      for (std::size_t r = 0; r < kL; ++r)
        std::memcpy(&sums[((pa - pa0) * kL + r) * width + (pb - pa0) * kL], &block[16 * r], 16 * sizeof(double));
    }
  }
  double* o = out;
  for (std::size_t a = rowBegin; a < rowEnd; ++a) {
    const double* row = &sums[(a - c0) * width];
    const double diagonal = var[a];  // the variance itself, not recomputed
    *o++ = diagonal < 0.0 ? 0.0 : diagonal;
    for (std::size_t b = a + 1; b < P; ++b) {
      double v = row[b - c0] / ((sum[a] * sum[b]) / 4.0);
      if (v < 0.0) v = 0.0;
      *o++ = v;
    }
  }
}

}  // namespace radcon
