#include "stats/difference_tests.h"

#include <algorithm>
#include <cmath>



namespace radcon {

NormalTest normalTest(double difference, double variance) {
  if (!std::isfinite(difference) || !(variance > 0.0) || !std::isfinite(variance)) return {NAN, NAN};
  const double z = difference / std::sqrt(variance);
  return {z, std::max(std::erfc(std::fabs(z) / std::sqrt(2.0)), kPValueFloor)};
}

PairTest pairTest(const PairStatistics& st, std::size_t a, Kind A, Kind B) {
  const double jA = st.jcDenominator[A][a], jB = st.jcDenominator[B][a];
  if (!(jA > 0.0) || !(jB > 0.0)) return {NAN, {NAN, NAN}};
  const bool ns = A == kNonsynonymous || A == kSynonymous;
  const double cov = (ns ? st.covNS[a] : st.covRC[a]) / (jA * jB);
  const double dA = jukesCantor(st.proportion[A][a]), dB = jukesCantor(st.proportion[B][a]);
  return {cov, normalTest(dA - dB, ns ? st.nullVarianceNS[a] : st.nullVarianceRC[a])};
}

namespace {

// The two tests, by the kinds they compare.
constexpr Kind kTestA[2] = {kNonsynonymous, kRadical}, kTestB[2] = {kSynonymous, kConservative};
constexpr int testOf(int kind) { return kind == kSynonymous || kind == kNonsynonymous ? 0 : 1; }

}  // namespace

// The running sums of one group: means' numerators, per codon the weighted
// deviations of every pair, for the proportions and for the distances, and per
// codon the pairs' null deviations of each test.
struct GroupMeansAccumulator::Group {
  GroupMean row;
  double sumP[kKinds] = {}, sumD[kKinds] = {};
  std::vector<double> codonP[kKinds], codonD[kKinds], codonNull[2];
  double binomial[2] = {};  // sums of the pairs' binomial null variances
  bool lost[2] = {};        // a pair the test must take is undefined here
  Group(int clade1, int clade2, int L) {
    row.clade1 = clade1;
    row.clade2 = clade2;
    for (int k = 0; k < kKinds; ++k) {
      codonP[k].assign(static_cast<std::size_t>(L), 0.0);
      codonD[k].assign(static_cast<std::size_t>(L), 0.0);
    }
    for (std::vector<double>& v : codonNull) v.assign(static_cast<std::size_t>(L), 0.0);
  }
};

namespace {

double sumOfSquares(const std::vector<double>& a) {
  double s = 0.0;
  for (double v : a) s = s + v * v;
  return s;
}

}  // namespace

GroupMeansAccumulator::GroupMeansAccumulator(const std::vector<int>& cladeOf, int clades, int L)
    : cladeOf_(cladeOf), clades_(clades), group_(static_cast<std::size_t>(clades) * clades, -1) {
  for (int c = 0; c < clades; ++c) {
    group_[static_cast<std::size_t>(c) * clades + c] = static_cast<int>(groups_.size());
    groups_.emplace_back(c, c, L);
  }
  for (int c1 = 0; c1 < clades; ++c1)
    for (int c2 = c1 + 1; c2 < clades; ++c2) {
      group_[static_cast<std::size_t>(c1) * clades + c2] = static_cast<int>(groups_.size());
      groups_.emplace_back(c1, c2, L);
    }
  groups_.emplace_back(-1, -1, L);  // every pair
}

GroupMeansAccumulator::~GroupMeansAccumulator() = default;

std::uint8_t testsEntered(const PairStatistics& st, std::size_t a) {
  std::uint8_t bits = 0;
  for (int test = 0; test < 2; ++test)
    if (st.jcDenominator[kTestA[test]][a] > 0.0 && st.jcDenominator[kTestB[test]][a] > 0.0)
      bits = static_cast<std::uint8_t>(bits | (1 << test));
  return bits;
}

void GroupMeansAccumulator::add(const PairStatistics& st, const std::uint8_t* entered) {
  const int L = st.seqLength;
  std::vector<double> e[2];
  for (std::vector<double>& v : e) v.resize(static_cast<std::size_t>(L));
  for (std::size_t a = 0; a < st.pairs; ++a) {
    const int i = st.pairList[a].i, j = st.pairList[a].j;
    Group* targets[2] = {&groups_.back(), nullptr};
    if (clades_ > 0) {
      const int c1 = std::min(cladeOf_[i], cladeOf_[j]), c2 = std::max(cladeOf_[i], cladeOf_[j]);
      targets[1] = &groups_[static_cast<std::size_t>(group_[static_cast<std::size_t>(c1) * clades_ + c2])];
    }
    bool defined[2], lost[2] = {false, false};
    const std::uint8_t here = testsEntered(st, a);
    for (int test = 0; test < 2; ++test) {
      defined[test] = here & (1 << test);
      if (entered) {
        const bool wanted = entered[a] & (1 << test);
        lost[test] = wanted && !defined[test];
        defined[test] = wanted && defined[test];
      }
      if (defined[test]) nullDeviations(st, a, kTestA[test], kTestB[test], e[test].data());
    }
    for (Group* t : targets) {
      if (!t) continue;
      for (int test = 0; test < 2; ++test) t->lost[test] = t->lost[test] || lost[test];
      ++t->row.pairs;
      if (!defined[0]) ++t->row.undefinedNS;
      if (!defined[1]) ++t->row.undefinedRC;
      if (!defined[0] || !defined[1]) ++t->row.undefined;
      for (int test = 0; test < 2; ++test) {
        if (!defined[test]) continue;
        t->binomial[test] += test == 0 ? st.binomialVarianceNS[a] : st.binomialVarianceRC[a];
        std::vector<double>& sums = t->codonNull[test];
        for (std::size_t c = 0; c < sums.size(); ++c) sums[c] += e[test][c];
      }
      for (int k = 0; k < kKinds; ++k) {
        if (!defined[testOf(k)]) continue;
        const double wP = 2.0 / st.sumSites[k][a], wD = wP / st.jcDenominator[k][a];
        t->sumP[k] = t->sumP[k] + st.proportion[k][a];
        t->sumD[k] = t->sumD[k] + jukesCantor(st.proportion[k][a]);
        for (int c = 0; c < L; ++c) {
          const double dev = st.deviation[k].at(a, c);
          t->codonP[k][static_cast<std::size_t>(c)] += wP * dev;
          t->codonD[k][static_cast<std::size_t>(c)] += wD * dev;
        }
      }
    }
  }
}

std::vector<GroupMean> GroupMeansAccumulator::rows() const {
  std::vector<GroupMean> rows;
  for (const Group& t : groups_) {
    GroupMean r = t.row;
    const std::size_t entered[2] = {r.pairs - r.undefinedNS, r.pairs - r.undefinedRC};
    for (int k = 0; k < kKinds; ++k) {
      const std::size_t n = t.lost[testOf(k)] ? 0 : entered[testOf(k)];
      const double m = static_cast<double>(n), m2 = m * m;
      r.p[k] = n ? t.sumP[k] / m : NAN;
      r.d[k] = n ? t.sumD[k] / m : NAN;
      r.seP[k] = n ? std::sqrt(sumOfSquares(t.codonP[k]) / m2) : NAN;
      r.seD[k] = n ? std::sqrt(sumOfSquares(t.codonD[k]) / m2) : NAN;
    }
    NormalTest* tests[2] = {&r.dNdS, &r.dRdC};
    for (int test = 0; test < 2; ++test) {
      // The binomial variance of a mean, the pairs taken as independent: pairs
      // that share a lineage covary positively, so this is a floor.
      const double m = static_cast<double>(entered[test]), m2 = m * m;
      const double variance = nullTestVariance(sumOfSquares(t.codonNull[test]) / m2, t.binomial[test] / m2);
      *tests[test] = entered[test] ? normalTest(r.d[kTestA[test]] - r.d[kTestB[test]], variance) : NormalTest{NAN, NAN};
    }
    rows.push_back(r);
  }
  return rows;
}

std::vector<GroupMean> groupMeans(const PairStatistics& st, const std::vector<int>& cladeOf, int clades) {
  GroupMeansAccumulator acc(cladeOf, clades, st.seqLength);
  acc.add(st);
  return acc.rows();
}

}  // namespace radcon
