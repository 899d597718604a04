#include "stats/difference_tests.h"

#include <algorithm>
#include <cmath>



namespace radcon {

NormalTest normalTest(double difference, double variance) {
  if (!std::isfinite(difference) || !(variance > 0.0) || !std::isfinite(variance)) return {NAN, NAN};
  const double z = difference / std::sqrt(variance);
  return {z, std::erfc(std::fabs(z) / std::sqrt(2.0))};
}

PairTest pairTest(const PairStatistics& st, std::size_t a, Kind A, Kind B) {
  const double jA = st.jcDenominator[A][a], jB = st.jcDenominator[B][a];
  if (!(jA > 0.0) || !(jB > 0.0)) return {NAN, {NAN, NAN}};
  const double crossP = (A == kNonsynonymous || A == kSynonymous) ? st.covNS[a] : st.covRC[a];
  const double cov = crossP / (jA * jB);
  const double varA = st.variance[A][a] / (jA * jA), varB = st.variance[B][a] / (jB * jB);
  const double dA = jukesCantor(st.proportion[A][a]), dB = jukesCantor(st.proportion[B][a]);
  return {cov, normalTest(dA - dB, varA + varB - 2.0 * cov)};
}

// The running sums of one group: means' numerators, and per codon the weighted
// deviations of every pair, for the proportions and for the distances.
struct GroupMeansAccumulator::Group {
  GroupMean row;
  double sumP[kKinds] = {}, sumD[kKinds] = {};
  std::vector<double> codonP[kKinds], codonD[kKinds];
  Group(int clade1, int clade2, int L) {
    row.clade1 = clade1;
    row.clade2 = clade2;
    for (int k = 0; k < kKinds; ++k) {
      codonP[k].assign(static_cast<std::size_t>(L), 0.0);
      codonD[k].assign(static_cast<std::size_t>(L), 0.0);
    }
  }
};

namespace {

double sumOfSquares(const std::vector<double>& a, const std::vector<double>* minus = nullptr) {
  double s = 0.0;
  for (std::size_t k = 0; k < a.size(); ++k) {
    const double v = minus ? a[k] - (*minus)[k] : a[k];
    s = s + v * v;
  }
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

void GroupMeansAccumulator::add(const PairStatistics& st) {
  const int L = st.seqLength;
  for (std::size_t a = 0; a < st.pairs; ++a) {
    const int i = st.pairList[a].i, j = st.pairList[a].j;
    Group* targets[2] = {&groups_.back(), nullptr};
    if (clades_ > 0) {
      const int c1 = std::min(cladeOf_[i], cladeOf_[j]), c2 = std::max(cladeOf_[i], cladeOf_[j]);
      targets[1] = &groups_[static_cast<std::size_t>(group_[static_cast<std::size_t>(c1) * clades_ + c2])];
    }
    bool defined = true;
    for (int k = 0; k < kKinds; ++k) defined = defined && st.jcDenominator[k][a] > 0.0;
    for (Group* t : targets) {
      if (!t) continue;
      if (!defined) {
        ++t->row.undefined;
        continue;
      }
      ++t->row.pairs;
      for (int k = 0; k < kKinds; ++k) {
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
    const double m = static_cast<double>(r.pairs), m2 = m * m;
    for (int k = 0; k < kKinds; ++k) {
      r.p[k] = r.pairs ? t.sumP[k] / m : NAN;
      r.d[k] = r.pairs ? t.sumD[k] / m : NAN;
      r.seP[k] = r.pairs ? std::sqrt(sumOfSquares(t.codonP[k]) / m2) : NAN;
      r.seD[k] = r.pairs ? std::sqrt(sumOfSquares(t.codonD[k]) / m2) : NAN;
    }
    if (r.pairs) {
      r.dNdS = normalTest(r.d[kNonsynonymous] - r.d[kSynonymous],
                          sumOfSquares(t.codonD[kNonsynonymous], &t.codonD[kSynonymous]) / m2);
      r.dRdC = normalTest(r.d[kRadical] - r.d[kConservative],
                          sumOfSquares(t.codonD[kRadical], &t.codonD[kConservative]) / m2);
    } else {
      r.dNdS = r.dRdC = {NAN, NAN};
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
