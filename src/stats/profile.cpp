#include "stats/profile.h"

#include <algorithm>
#include <cmath>

namespace radcon {

std::vector<ProfileWindow> profileWindows(int codons, int window, int step) {
  std::vector<ProfileWindow> w;
  if (codons <= 0) return w;
  if (codons <= window) return {{0, codons}};
  int start = 0;
  for (; start + window <= codons; start += step) w.push_back({start, start + window});
  if (w.back().end < codons) w.push_back({codons - window, codons});
  return w;
}

std::vector<double> benjaminiHochberg(const std::vector<double>& p) {
  std::vector<std::pair<double, std::size_t>> ranked;
  for (std::size_t k = 0; k < p.size(); ++k)
    if (std::isfinite(p[k])) ranked.emplace_back(p[k], k);
  std::sort(ranked.begin(), ranked.end());
  std::vector<double> q(p.size(), NAN);
  double least = 1.0;
  for (std::size_t rank = ranked.size(); rank-- > 0;) {
    least = std::min(least, ranked[rank].first * static_cast<double>(ranked.size()) / static_cast<double>(rank + 1));
    q[ranked[rank].second] = least;
  }
  return q;
}

namespace {

// The two tests, by the kinds they compare.
constexpr Kind kTestA[2] = {kNonsynonymous, kRadical}, kTestB[2] = {kSynonymous, kConservative};
constexpr int testOf(int kind) { return kind == kSynonymous || kind == kNonsynonymous ? 0 : 1; }

// A group's sums in a window: pairs, pairs undefined for each test, sites and
// differences (every pair), proportions and distances (pairs that enter), the
// binomial null variances of the two tests.
enum Scalar { kPairs = 0, kUndefined = 1, kSites = 3, kDiffs = 7, kSumP = 11, kSumD = 15, kBinomial = 19, kScalars = 21 };
// Per codon of a window: the pairs' weighted differences w_a x_a,k by kind, then
// the differences' part of the null deviations of the two tests.
enum CodonField { kNull = 4, kCodonFields = 6 };
// Per sequence and window: the coefficients of its codon sites, sum of w_a p_a / 2
// by kind, then of the two tests' null deviations for kinds A and B.
enum Coefficient { kNullA = 4, kNullB = 6, kCoefficients = 8 };
// One pair's values in a window: its differences by kind, then the weights of
// its differences (0 where it does not enter).
enum PairField { kWeight = 4, kNullWeightA = 8, kNullWeightB = 10, kPairFields = 12 };

}  // namespace

struct ProfileAccumulator::Group {
  std::vector<int> members;  // the sequences of its pairs
  std::vector<int> localOf;  // by sequence: its place among the members, or -1
  std::vector<double> scalars, codon, coefficients;
};

ProfileAccumulator::ProfileAccumulator(const SiteTotals& sites, SiteModel model, const std::vector<int>& cladeOf,
                                       int clades, std::vector<ProfileWindow> windows)
    : sites_(sites), groups_(cladeOf, clades), windows_(std::move(windows)) {
  const int n = sites.seqNum, L = sites.seqLength;
  const std::size_t nw = windows_.size();
  for (const ProfileWindow& w : windows_) {
    codonOffset_.push_back(windowCodons_);
    windowCodons_ += static_cast<std::size_t>(w.end - w.start);
  }
  firstWindow_.assign(static_cast<std::size_t>(L), 0);
  lastWindow_.assign(static_cast<std::size_t>(L), -1);
  for (std::size_t w = nw; w-- > 0;)
    for (int c = windows_[w].start; c < windows_[w].end; ++c) firstWindow_[static_cast<std::size_t>(c)] = static_cast<int>(w);
  for (std::size_t w = 0; w < nw; ++w)
    for (int c = windows_[w].start; c < windows_[w].end; ++c) lastWindow_[static_cast<std::size_t>(c)] = static_cast<int>(w);

  // Each sequence's sites in each window, summed codon after codon as the
  // sequence's totals are, so that a window of the whole gene has them exactly.
  windowSites_.assign(static_cast<std::size_t>(n) * nw * kKinds, 0.0);
  for (int s = 0; s < n; ++s)
    for (std::size_t w = 0; w < nw; ++w) {
      double* X = &windowSites_[(static_cast<std::size_t>(s) * nw + w) * kKinds];
      const std::size_t row = static_cast<std::size_t>(s) * L;
      for (int c = windows_[w].start; c < windows_[w].end; ++c) {
        X[kSynonymous] = X[kSynonymous] + sites.SS[row + c];
        X[kRadical] = X[kRadical] + sites.RR[row + c];
        if (model == SiteModel::kMutation) {
          X[kNonsynonymous] = X[kNonsynonymous] + sites.NN[row + c];
          X[kConservative] = X[kConservative] + sites.CC[row + c];
        }
      }
      if (model == SiteModel::kNeighbour) {  // as the totals: N and C by difference
        X[kNonsynonymous] = 3.0 * (windows_[w].end - windows_[w].start) - X[kSynonymous];
        X[kConservative] = X[kNonsynonymous] - X[kRadical];
      }
    }

  group_.resize(groups_.size());
  for (std::size_t g = 0; g < groups_.size(); ++g) {
    Group& G = group_[g];
    G.localOf.assign(static_cast<std::size_t>(n), -1);
    for (int s = 0; s < n; ++s) {
      const bool in = groups_.clade1(g) < 0 || cladeOf[static_cast<std::size_t>(s)] == groups_.clade1(g) ||
                      cladeOf[static_cast<std::size_t>(s)] == groups_.clade2(g);
      if (!in) continue;
      G.localOf[static_cast<std::size_t>(s)] = static_cast<int>(G.members.size());
      G.members.push_back(s);
    }
    G.scalars.assign(nw * kScalars, 0.0);
    G.codon.assign(windowCodons_ * kCodonFields, 0.0);
    G.coefficients.assign(G.members.size() * nw * kCoefficients, 0.0);
  }
  codonDiffs_.assign(static_cast<std::size_t>(L) * kKinds, 0.0);
}

ProfileAccumulator::~ProfileAccumulator() = default;

void ProfileAccumulator::prepare(const std::vector<SeqPair>& pairs,
                                 const std::array<PairCodonTable, kKinds>& tables, const std::uint8_t* codons,
                                 Batch& b) const {
  const int L = sites_.seqLength;
  const std::size_t nw = windows_.size();
  // What the last batch left.
  for (std::size_t s = 0; s < b.groupOfSlot.size(); ++s)
    for (int seq : b.seqOfRow[s]) b.seqRow[s][static_cast<std::size_t>(seq)] = -1;
  b.slotOfGroup.assign(groups_.size(), -1);
  b.groupOfSlot.clear();
  b.codonDiffs.assign(static_cast<std::size_t>(L) * kKinds, 0.0);
  b.pairs = pairs.size();
  const auto slotOf = [&](std::size_t g) {
    if (b.slotOfGroup[g] >= 0) return static_cast<std::size_t>(b.slotOfGroup[g]);
    const std::size_t s = b.groupOfSlot.size();
    b.slotOfGroup[g] = static_cast<int>(s);
    b.groupOfSlot.push_back(static_cast<int>(g));
    if (b.scalars.size() <= s) {
      b.scalars.resize(s + 1), b.codon.resize(s + 1), b.coefficients.resize(s + 1);
      b.seqRow.resize(s + 1), b.seqOfRow.resize(s + 1);
    }
    b.scalars[s].assign(nw * kScalars, 0.0);
    b.codon[s].assign(windowCodons_ * kCodonFields, 0.0);
    b.coefficients[s].clear();
    b.seqOfRow[s].clear();
    b.seqRow[s].resize(static_cast<std::size_t>(sites_.seqNum), -1);
    return s;
  };
  const auto rowOf = [&](std::size_t s, int seq) {
    int& r = b.seqRow[s][static_cast<std::size_t>(seq)];
    if (r < 0) {
      r = static_cast<int>(b.seqOfRow[s].size());
      b.seqOfRow[s].push_back(seq);
      b.coefficients[s].resize(b.coefficients[s].size() + nw * kCoefficients, 0.0);
    }
    return static_cast<std::size_t>(r) * nw * kCoefficients;
  };

  b.pairWindows.resize(nw * kPairFields);
  for (std::size_t a = 0; a < pairs.size(); ++a) {
    const int i = pairs[a].i, j = pairs[a].j;
    std::size_t groups[2], slots[2];
    const int ng = groups_.of(i, j, groups);
    for (int t = 0; t < ng; ++t) slots[t] = slotOf(groups[t]);

    // The pair's differences in each window, codon after codon as its totals.
    double* pw = b.pairWindows.data();
    std::fill(pw, pw + nw * kPairFields, 0.0);
    b.changed.clear();
    b.changedValues.clear();
    const std::uint8_t* ci = codons ? codons + static_cast<std::size_t>(i) * L : nullptr;
    const std::uint8_t* cj = codons ? codons + static_cast<std::size_t>(j) * L : nullptr;
    for (int c = 0; c < L; ++c) {
      if (ci && ci[c] == cj[c]) continue;  // the same codon: no difference
      double v[kKinds];
      bool any = false;
      for (int k = 0; k < kKinds; ++k) any |= (v[k] = tables[k].at(a, c)) != 0.0;
      if (!any) continue;
      b.changed.push_back(c);
      b.changedValues.insert(b.changedValues.end(), v, v + kKinds);
      for (int k = 0; k < kKinds; ++k) b.codonDiffs[static_cast<std::size_t>(c) * kKinds + k] += v[k];
      for (int w = firstWindow_[static_cast<std::size_t>(c)]; w <= lastWindow_[static_cast<std::size_t>(c)]; ++w)
        for (int k = 0; k < kKinds; ++k) pw[static_cast<std::size_t>(w) * kPairFields + k] += v[k];
    }

    // Per window: the pair's proportions and distances as a whole gene's, what
    // they add to the group's sums, and the weights of its differences.
    std::size_t rows[2][2];  // by slot: the rows of sequences i and j
    for (int t = 0; t < ng; ++t) rows[t][0] = rowOf(slots[t], i), rows[t][1] = rowOf(slots[t], j);
    for (std::size_t w = 0; w < nw; ++w) {
      double* f = &pw[w * kPairFields];
      const double* Xi = &windowSites_[(static_cast<std::size_t>(i) * nw + w) * kKinds];
      const double* Xj = &windowSites_[(static_cast<std::size_t>(j) * nw + w) * kKinds];
      // Most windows of close sequences hold no difference: p = 0, d = 0, and
      // nothing to weigh.
      const bool none = f[0] == 0.0 && f[1] == 0.0 && f[2] == 0.0 && f[3] == 0.0;
      double sum[kKinds], p[kKinds], jc[kKinds];
      for (int k = 0; k < kKinds; ++k) {
        sum[k] = Xi[k] + Xj[k];
        p[k] = none && sum[k] > 0.0 ? 0.0 : (f[k] + f[k]) / (Xj[k] + Xi[k]);
        jc[k] = 1.0 - p[k] * kFourThirds;
      }
      bool defined[2];
      double p0[2] = {}, binomial[2] = {};
      for (int t = 0; t < 2; ++t) {
        const Kind A = kTestA[t], B = kTestB[t];
        defined[t] = jc[A] > 0.0 && jc[B] > 0.0;
        if (!defined[t] || none) continue;
        p0[t] = (f[A] + f[B]) / (sum[A] / 2.0 + sum[B] / 2.0);
        const double jc0 = 1.0 - p0[t] * kFourThirds;
        binomial[t] = binomialNullVariance(p0[t], sum[A], sum[B]);
        f[kNullWeightA + t] = 2.0 / (sum[A] * jc0);
        f[kNullWeightB + t] = 2.0 / (sum[B] * jc0);
      }
      double d[kKinds] = {};
      if (!none)
        for (int k = 0; k < kKinds; ++k) {
          if (!defined[testOf(k)]) continue;
          d[k] = f[k] == 0.0 ? 0.0 : jukesCantor(p[k]);
          f[kWeight + k] = 2.0 / (sum[k] * jc[k]);
        }
      for (int t = 0; t < ng; ++t) {
        const std::size_t s = slots[t];
        double* sc = &b.scalars[s][w * kScalars];
        sc[kPairs] += 1.0;
        for (int u = 0; u < 2; ++u) {
          if (!defined[u]) {
            sc[kUndefined + u] += 1.0;
            continue;
          }
          sc[kBinomial + u] += binomial[u];
        }
        for (int k = 0; k < kKinds; ++k) {
          sc[kSites + k] += sum[k] * 0.5;
          sc[kDiffs + k] += f[k];
          if (!defined[testOf(k)]) continue;
          sc[kSumP + k] += p[k];
          sc[kSumD + k] += d[k];
        }
        if (none) continue;
        for (const std::size_t row : rows[t]) {
          double* co = &b.coefficients[s][row + w * kCoefficients];
          for (int k = 0; k < kKinds; ++k)
            if (defined[testOf(k)]) co[k] += f[kWeight + k] * (p[k] * 0.5);
          for (int u = 0; u < 2; ++u) {
            if (!defined[u]) continue;
            co[kNullA + u] += f[kNullWeightA + u] * (p0[u] * 0.5);
            co[kNullB + u] += f[kNullWeightB + u] * (p0[u] * 0.5);
          }
        }
      }
    }

    // The differences' part of the per-codon sums, at the few codons that differ.
    for (std::size_t changed = 0; changed < b.changed.size(); ++changed) {
      const int c = b.changed[changed];
      const double* v = &b.changedValues[changed * kKinds];
      for (int w = firstWindow_[static_cast<std::size_t>(c)]; w <= lastWindow_[static_cast<std::size_t>(c)]; ++w) {
        const double* f = &pw[static_cast<std::size_t>(w) * kPairFields];
        const std::size_t at = (codonOffset_[static_cast<std::size_t>(w)] +
                                static_cast<std::size_t>(c - windows_[static_cast<std::size_t>(w)].start)) *
                               kCodonFields;
        for (int t = 0; t < ng; ++t) {
          double* cd = &b.codon[slots[t]][at];
          for (int k = 0; k < kKinds; ++k) cd[k] += f[kWeight + k] * v[k];
          for (int u = 0; u < 2; ++u)
            cd[kNull + u] += f[kNullWeightA + u] * v[kTestA[u]] - f[kNullWeightB + u] * v[kTestB[u]];
        }
      }
    }
  }
}

void ProfileAccumulator::add(const Batch& b) {
  const std::size_t nw = windows_.size();
  for (std::size_t s = 0; s < b.groupOfSlot.size(); ++s) {
    Group& G = group_[static_cast<std::size_t>(b.groupOfSlot[s])];
    for (std::size_t k = 0; k < G.scalars.size(); ++k) G.scalars[k] += b.scalars[s][k];
    for (std::size_t k = 0; k < G.codon.size(); ++k) G.codon[k] += b.codon[s][k];
    const std::size_t rowSize = nw * kCoefficients;
    for (std::size_t r = 0; r < b.seqOfRow[s].size(); ++r) {
      double* to = &G.coefficients[static_cast<std::size_t>(G.localOf[static_cast<std::size_t>(b.seqOfRow[s][r])]) * rowSize];
      const double* from = &b.coefficients[s][r * rowSize];
      for (std::size_t k = 0; k < rowSize; ++k) to[k] += from[k];
    }
  }
  for (std::size_t k = 0; k < codonDiffs_.size(); ++k) codonDiffs_[k] += b.codonDiffs[k];
  pairs_ += b.pairs;
}

std::vector<ProfileRow> ProfileAccumulator::rows() const {
  const int L = sites_.seqLength;
  const std::size_t nw = windows_.size();
  const std::vector<double>* XX[kKinds];
  for (int k = 0; k < kKinds; ++k) XX[k] = &codonSites(sites_, static_cast<Kind>(k));
  std::vector<ProfileRow> out;
  std::vector<double> cd, e;
  for (std::size_t g = 0; g < group_.size(); ++g) {
    const Group& G = group_[g];
    const std::size_t first = out.size();
    for (std::size_t w = 0; w < nw; ++w) {
      const ProfileWindow& win = windows_[w];
      const std::size_t width = static_cast<std::size_t>(win.end - win.start);
      const double* sc = &G.scalars[w * kScalars];
      ProfileRow row;
      row.window = w;
      GroupMean& r = row.mean;
      r.clade1 = groups_.clade1(g);
      r.clade2 = groups_.clade2(g);
      r.pairs = static_cast<std::size_t>(sc[kPairs]);
      r.undefinedNS = static_cast<std::size_t>(sc[kUndefined]);
      r.undefinedRC = static_cast<std::size_t>(sc[kUndefined + 1]);
      const double pairs = sc[kPairs];
      for (int k = 0; k < kKinds; ++k) {
        row.sites[k] = r.pairs ? sc[kSites + k] / pairs : NAN;
        row.diffs[k] = r.pairs ? sc[kDiffs + k] / pairs : NAN;
      }

      // The per-codon sums: the differences' part less the sites' part.
      cd.assign(width * kKinds, 0.0);
      e.assign(width * 2, 0.0);
      const double* sparse = &G.codon[codonOffset_[w] * kCodonFields];
      for (std::size_t c = 0; c < width; ++c) {
        for (int k = 0; k < kKinds; ++k) cd[c * kKinds + k] = sparse[c * kCodonFields + k];
        for (int u = 0; u < 2; ++u) e[c * 2 + u] = sparse[c * kCodonFields + kNull + u];
      }
      for (std::size_t l = 0; l < G.members.size(); ++l) {
        const double* co = &G.coefficients[(l * nw + w) * kCoefficients];
        const std::size_t base = static_cast<std::size_t>(G.members[l]) * L + static_cast<std::size_t>(win.start);
        for (std::size_t c = 0; c < width; ++c) {
          double x[kKinds];
          for (int k = 0; k < kKinds; ++k) x[k] = (*XX[k])[base + c];
          for (int k = 0; k < kKinds; ++k) cd[c * kKinds + k] -= co[k] * x[k];
          for (int u = 0; u < 2; ++u)
            e[c * 2 + u] -= co[kNullA + u] * x[kTestA[u]] - co[kNullB + u] * x[kTestB[u]];
        }
      }

      const std::size_t entered[2] = {r.pairs - r.undefinedNS, r.pairs - r.undefinedRC};
      for (int k = 0; k < kKinds; ++k) {
        const std::size_t n = entered[testOf(k)];
        const double m = static_cast<double>(n), m2 = m * m;
        double ss = 0.0;
        for (std::size_t c = 0; c < width; ++c) ss = ss + cd[c * kKinds + k] * cd[c * kKinds + k];
        r.p[k] = n ? sc[kSumP + k] / m : NAN;
        r.d[k] = n ? sc[kSumD + k] / m : NAN;
        r.seP[k] = NAN;
        r.seD[k] = n ? std::sqrt(ss / m2) : NAN;
      }
      NormalTest* tests[2] = {&r.dNdS, &r.dRdC};
      for (int u = 0; u < 2; ++u) {
        const Kind A = kTestA[u], B = kTestB[u];
        const double m = static_cast<double>(entered[u]), m2 = m * m;
        double ss = 0.0, cov = 0.0;
        for (std::size_t c = 0; c < width; ++c) {
          ss = ss + e[c * 2 + u] * e[c * 2 + u];
          cov = cov + cd[c * kKinds + A] * cd[c * kKinds + B];
        }
        const double variance = nullTestVariance(ss / m2, sc[kBinomial + u] / m2);
        *tests[u] = entered[u] ? normalTest(r.d[A] - r.d[B], variance) : NormalTest{NAN, NAN};
        // The ratio's error to first order: Var(a/b) = (Var a - 2 (a/b) Cov + (a/b)^2 Var b) / b^2.
        const double ratio = r.d[A] / r.d[B], vA = r.seD[A] * r.seD[A], vB = r.seD[B] * r.seD[B];
        const double v = (vA - 2.0 * ratio * (cov / m2) + ratio * ratio * vB) / (r.d[B] * r.d[B]);
        row.seRatio[u] = std::isfinite(ratio) && std::isfinite(v) ? std::sqrt(std::max(v, 0.0)) : NAN;
      }
      out.push_back(row);
    }

    for (int u = 0; u < 2; ++u) {
      std::vector<double> p;
      for (std::size_t w = 0; w < nw; ++w) p.push_back(u == 0 ? out[first + w].mean.dNdS.p : out[first + w].mean.dRdC.p);
      const std::vector<double> q = benjaminiHochberg(p);
      for (std::size_t w = 0; w < nw; ++w) out[first + w].q[u] = q[w];
    }
  }
  return out;
}

std::vector<double> ProfileAccumulator::codonDifferences(Kind kind) const {
  std::vector<double> v(static_cast<std::size_t>(sites_.seqLength), NAN);
  if (pairs_ == 0) return v;
  for (std::size_t c = 0; c < v.size(); ++c) v[c] = codonDiffs_[c * kKinds + kind] / static_cast<double>(pairs_);
  return v;
}

}  // namespace radcon
