#include "stats/bootstrap.h"

#include <algorithm>
#include <cmath>

#include "stats/statistics.h"

namespace radcon {

namespace {

// splitmix64 (Steele, Lea and Flood 2014): a small generator that gives the same
// numbers on every platform and standard library.
std::uint64_t next(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// A uniform draw from 0..n-1 by rejection, exact for every n.
std::uint64_t below(std::uint64_t& state, std::uint64_t n) {
  const std::uint64_t limit = UINT64_MAX - UINT64_MAX % n;
  for (;;) {
    const std::uint64_t r = next(state);
    if (r < limit) return r % n;
  }
}

constexpr int kTestKinds[2][2] = {{kNonsynonymous, kSynonymous}, {kRadical, kConservative}};

}  // namespace

BootstrapMeans::BootstrapMeans(const SiteTotals& sites, const PairGroups& groups, int replicates, std::uint64_t seed)
    : L_(sites.seqLength), n_(sites.seqNum), B_(replicates), groups_(groups) {
  const std::size_t L = static_cast<std::size_t>(L_), B = static_cast<std::size_t>(B_);
  weight_.assign(L * B, 0.0);
  std::uint64_t state = seed;
  for (std::size_t b = 0; b < B; ++b)
    for (std::size_t draw = 0; draw < L; ++draw) weight_[below(state, L) * B + b] += 1.0;
  const std::vector<double>* perCodon[kKinds] = {&sites.SS, &sites.NN, &sites.RR, &sites.CC};
  sites_.assign(static_cast<std::size_t>(n_) * B * kKinds, 0.0);
  for (int i = 0; i < n_; ++i)
    for (std::size_t b = 0; b < B; ++b)
      for (int k = 0; k < kKinds; ++k) {
        double s = 0.0;
        for (std::size_t c = 0; c < L; ++c) s = s + weight_[c * B + b] * (*perCodon[k])[i * L + c];
        sites_[(static_cast<std::size_t>(i) * B + b) * kKinds + static_cast<std::size_t>(k)] = s;
      }
  sum_.assign(groups.size() * B, {});
  count_.assign(groups.size() * B, {});
}

void BootstrapMeans::distances(const std::vector<SeqPair>& pairs,
                               const std::array<PairCodonTable, kKinds>& codonDifferences,
                               std::vector<double>& out) const {
  const std::size_t B = static_cast<std::size_t>(B_);
  out.assign(pairs.size() * B * kKinds, 0.0);
  std::vector<double> x(B * kKinds);
  for (std::size_t a = 0; a < pairs.size(); ++a) {
    std::fill(x.begin(), x.end(), 0.0);
    // Only the codons where the pair differs add differences.
    for (int c = 0; c < L_; ++c) {
      double xx[kKinds];
      bool any = false;
      for (int k = 0; k < kKinds; ++k) any = (xx[k] = codonDifferences[k].at(a, c)) != 0.0 || any;
      if (!any) continue;
      const double* w = &weight_[static_cast<std::size_t>(c) * B];
      for (std::size_t b = 0; b < B; ++b)
        for (int k = 0; k < kKinds; ++k) x[b * kKinds + k] = x[b * kKinds + k] + w[b] * xx[k];
    }
    const double* si = &sites_[static_cast<std::size_t>(pairs[a].i) * B * kKinds];
    const double* sj = &sites_[static_cast<std::size_t>(pairs[a].j) * B * kKinds];
    for (std::size_t b = 0; b < B; ++b)
      for (int k = 0; k < kKinds; ++k) {
        const std::size_t at = b * kKinds + static_cast<std::size_t>(k);
        const double p = (x[at] + x[at]) / (sj[at] + si[at]);
        out[a * B * kKinds + at] = 1.0 - p * kFourThirds > 0.0 ? jukesCantor(p) : NAN;
      }
  }
}

void BootstrapMeans::add(const std::vector<SeqPair>& pairs, const std::vector<double>& d) {
  const std::size_t B = static_cast<std::size_t>(B_);
  for (std::size_t a = 0; a < pairs.size(); ++a) {
    std::size_t g[2];
    const int ng = groups_.of(pairs[a].i, pairs[a].j, g);
    for (std::size_t b = 0; b < B; ++b) {
      const double* v = &d[(a * B + b) * kKinds];
      for (int t = 0; t < 2; ++t) {
        const int A = kTestKinds[t][0], C = kTestKinds[t][1];
        if (std::isnan(v[A]) || std::isnan(v[C])) continue;
        for (int h = 0; h < ng; ++h) {
          const std::size_t at = g[h] * B + b;
          sum_[at][A] += v[A];
          sum_[at][C] += v[C];
          count_[at][t] += 1.0;
        }
      }
    }
  }
}

std::vector<BootstrapRow> BootstrapMeans::rows() const {
  const std::size_t B = static_cast<std::size_t>(B_);
  std::vector<BootstrapRow> rows(groups_.size());
  for (std::size_t g = 0; g < rows.size(); ++g) {
    BootstrapRow& r = rows[g];
    r.replicates = B_;
    double* p[2] = {&r.pNS, &r.pRC};
    for (int t = 0; t < 2; ++t) {
      const int A = kTestKinds[t][0], C = kTestKinds[t][1];
      // Replicates in which the group had pairs to average.
      double n = 0, mean[2] = {0, 0}, below = 0, above = 0;
      for (std::size_t b = 0; b < B; ++b) {
        const double m = count_[g * B + b][t];
        if (m == 0) continue;
        n += 1;
        const double a = sum_[g * B + b][A] / m, c = sum_[g * B + b][C] / m;
        mean[0] += a, mean[1] += c;
        below += a - c <= 0.0, above += a - c >= 0.0;
      }
      r.seD[A] = r.seD[C] = NAN;
      *p[t] = NAN;
      if (n < 2) continue;
      mean[0] /= n, mean[1] /= n;
      double ss[2] = {0, 0};
      for (std::size_t b = 0; b < B; ++b) {
        const double m = count_[g * B + b][t];
        if (m == 0) continue;
        const double a = sum_[g * B + b][A] / m - mean[0], c = sum_[g * B + b][C] / m - mean[1];
        ss[0] += a * a, ss[1] += c * c;
      }
      r.seD[A] = std::sqrt(ss[0] / (n - 1));
      r.seD[C] = std::sqrt(ss[1] / (n - 1));
      *p[t] = std::min(1.0, 2.0 * (1.0 + std::min(below, above)) / (1.0 + n));
    }
  }
  return rows;
}

}  // namespace radcon
