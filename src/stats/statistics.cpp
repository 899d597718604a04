#include "stats/statistics.h"

#include <algorithm>
#include <cmath>

namespace radcon {

const std::vector<double>& sequenceSites(const SiteTotals& sites, Kind kind) {
  switch (kind) {
    case kSynonymous: return sites.S;
    case kNonsynonymous: return sites.N;
    case kRadical: return sites.R;
    default: return sites.C;
  }
}

const std::vector<double>& codonSites(const SiteTotals& sites, Kind kind) {
  switch (kind) {
    case kSynonymous: return sites.SS;
    case kNonsynonymous: return sites.NN;
    case kRadical: return sites.RR;
    default: return sites.CC;
  }
}

double jukesCantor(double p) { return 0.0 - std::log(1.0 - p * kFourThirds) * 0.75; }

PairDistance pairDistance(const PairStatistics& st, Kind kind, std::size_t pair) {
  const double jc = st.jcDenominator[kind][pair];
  const double var = st.variance[kind][pair];
  const double seP = std::sqrt(var < 0.0 ? 0.0 : var);
  return {jc > 0.0 ? jukesCantor(st.proportion[kind][pair]) : NAN, seP, jc > 0.0 ? seP / jc : NAN};
}

namespace {

// Sum over codons of d^A_k d^B_k / ((A_i + A_j)(B_i + B_j) / 4), each term divided
// before it is added, as for the covariance of two pairs.
double crossCovariance(const PairStatistics& st, Kind A, Kind B, std::size_t a) {
  const double D = (st.sumSites[A][a] * st.sumSites[B][a]) / 4.0;
  double v = 0.0;
  for (int k = 0; k < st.seqLength; ++k) v = v + (st.deviation[A].at(a, k) * st.deviation[B].at(a, k)) / D;
  return v;
}

}  // namespace

PairStatistics computeStatistics(const SiteTotals& sites, PairDifferences& differences) {
  PairStatistics st;
  const int n = sites.seqNum;
  const int L = sites.seqLength;
  st.seqNum = n;
  st.seqLength = L;
  st.pairList = differences.pairs;
  st.pairs = st.pairList.size();
  for (int kk = 0; kk < kKinds; ++kk) {
    const Kind kind = static_cast<Kind>(kk);
    const std::vector<double>& X = sequenceSites(sites, kind);
    const std::vector<double>& XX = codonSites(sites, kind);
    const std::vector<double>& x = differences.total[kk];
    std::vector<double>& pX = st.proportion[kk];
    std::vector<double>& var = st.variance[kk];
    std::vector<double>& sum = st.sumSites[kk];
    std::vector<double>& jc = st.jcDenominator[kk];
    jc.assign(st.pairs, 0.0);
    pX.assign(st.pairs, 0.0);
    var.assign(st.pairs, 0.0);
    sum.assign(st.pairs, 0.0);
    st.deviation[kk] = std::move(differences.perCodon[kk]);
    PairCodonTable& d = st.deviation[kk];
    for (std::size_t a = 0; a < st.pairs; ++a) {
      const int i = st.pairList[a].i, j = st.pairList[a].j;
      sum[a] = X[i] + X[j];
      pX[a] = (x[a] + x[a]) / (X[j] + X[i]);
      jc[a] = 1.0 - pX[a] * kFourThirds;
      const double half = pX[a] * 0.5;
      const double* XXi = &XX[static_cast<std::size_t>(i) * L];
      const double* XXj = &XX[static_cast<std::size_t>(j) * L];
      double v = 0.0;
      for (int k = 0; k < L; ++k) {
        const double dk = d.at(a, k) - (XXj[k] + XXi[k]) * half;
        d.at(a, k) = dk;
        v = v + ((4.0 * dk) * dk) / (X[j] + X[i]) / (X[j] + X[i]);
      }
      var[a] = v;
    }
  }
  st.covNS.resize(st.pairs);
  st.covRC.resize(st.pairs);
  for (std::size_t a = 0; a < st.pairs; ++a) {
    st.covNS[a] = crossCovariance(st, kNonsynonymous, kSynonymous, a);
    st.covRC[a] = crossCovariance(st, kRadical, kConservative, a);
  }
  st.sites = &sites;
  st.pooledNS.resize(st.pairs);
  st.pooledRC.resize(st.pairs);
  st.binomialVarianceNS.resize(st.pairs);
  st.binomialVarianceRC.resize(st.pairs);
  st.nullVarianceNS.resize(st.pairs);
  st.nullVarianceRC.resize(st.pairs);
  std::vector<double> e(static_cast<std::size_t>(L));
  for (std::size_t a = 0; a < st.pairs; ++a) {
    const auto pooled = [&](Kind A, Kind B) {
      return (differences.total[A][a] + differences.total[B][a]) / (st.sumSites[A][a] / 2.0 + st.sumSites[B][a] / 2.0);
    };
    st.pooledNS[a] = pooled(kNonsynonymous, kSynonymous);
    st.pooledRC[a] = pooled(kRadical, kConservative);
    const auto sumOfSquares = [&] {
      double v = 0.0;
      for (double x : e) v = v + x * x;
      return v;
    };
    st.binomialVarianceNS[a] =
        binomialNullVariance(st.pooledNS[a], st.sumSites[kNonsynonymous][a], st.sumSites[kSynonymous][a]);
    st.binomialVarianceRC[a] =
        binomialNullVariance(st.pooledRC[a], st.sumSites[kRadical][a], st.sumSites[kConservative][a]);
    nullDeviations(st, a, kNonsynonymous, kSynonymous, e.data());
    st.nullVarianceNS[a] = nullTestVariance(sumOfSquares(), st.binomialVarianceNS[a]);
    nullDeviations(st, a, kRadical, kConservative, e.data());
    st.nullVarianceRC[a] = nullTestVariance(sumOfSquares(), st.binomialVarianceRC[a]);
  }
  return st;
}

PairStatistics reserveStatistics(int seqNum, int seqLength, std::size_t pairs) {
  PairStatistics st;
  st.seqNum = seqNum;
  st.seqLength = seqLength;
  st.pairList.reserve(pairs);
  for (int k = 0; k < kKinds; ++k) {
    for (auto* v : {&st.proportion[k], &st.variance[k], &st.sumSites[k], &st.jcDenominator[k]}) v->reserve(pairs);
    st.deviation[k] = PairCodonTable(pairs, seqLength);
  }
  for (auto* v : {&st.covNS, &st.covRC, &st.pooledNS, &st.pooledRC, &st.binomialVarianceNS, &st.binomialVarianceRC,
                  &st.nullVarianceNS, &st.nullVarianceRC})
    v->reserve(pairs);
  return st;
}

void placeStatistics(PairStatistics& all, const PairStatistics& batch) {
  const std::size_t first = all.pairs;
  auto append = [](std::vector<double>& to, const std::vector<double>& from) {
    to.insert(to.end(), from.begin(), from.end());
  };
  all.pairList.insert(all.pairList.end(), batch.pairList.begin(), batch.pairList.end());
  for (int k = 0; k < kKinds; ++k) {
    append(all.proportion[k], batch.proportion[k]);
    append(all.variance[k], batch.variance[k]);
    append(all.sumSites[k], batch.sumSites[k]);
    append(all.jcDenominator[k], batch.jcDenominator[k]);
    all.deviation[k].place(batch.deviation[k], first);
  }
  append(all.covNS, batch.covNS);
  append(all.covRC, batch.covRC);
  append(all.pooledNS, batch.pooledNS);
  append(all.pooledRC, batch.pooledRC);
  append(all.binomialVarianceNS, batch.binomialVarianceNS);
  append(all.binomialVarianceRC, batch.binomialVarianceRC);
  append(all.nullVarianceNS, batch.nullVarianceNS);
  append(all.nullVarianceRC, batch.nullVarianceRC);
  all.sites = batch.sites;
  all.pairs += batch.pairs;
}

double binomialNullVariance(double p0, double sumA, double sumB) {
  const double jc0 = 1.0 - p0 * kFourThirds;
  return (p0 * (1.0 - p0)) * (2.0 / sumA + 2.0 / sumB) / (jc0 * jc0);
}

double nullTestVariance(double codonSum, double binomial) {
  if (std::isnan(codonSum) || std::isnan(binomial)) return NAN;
  return std::max(codonSum, binomial);
}

void nullDeviations(const PairStatistics& st, std::size_t a, Kind A, Kind B, double* out) {
  const int L = st.seqLength;
  if (!st.sites) {
    std::fill(out, out + L, NAN);
    return;
  }
  const bool ns = A == kNonsynonymous || A == kSynonymous;
  const double p0 = ns ? st.pooledNS[a] : st.pooledRC[a];
  const double jc0 = 1.0 - p0 * kFourThirds;
  const std::size_t i = static_cast<std::size_t>(st.pairList[a].i) * L;
  const std::size_t j = static_cast<std::size_t>(st.pairList[a].j) * L;
  const double* XA = codonSites(*st.sites, A).data();
  const double* XB = codonSites(*st.sites, B).data();
  const double sumA = st.sumSites[A][a], sumB = st.sumSites[B][a];
  // The stored deviations are from the pair's own proportion p: moving to p0
  // adds (XX_ik + XX_jk) (p - p0) / 2.
  const double shiftA = (st.proportion[A][a] - p0) * 0.5, shiftB = (st.proportion[B][a] - p0) * 0.5;
  for (int k = 0; k < L; ++k) {
    const double devA = st.deviation[A].at(a, k) + (XA[j + k] + XA[i + k]) * shiftA;
    const double devB = st.deviation[B].at(a, k) + (XB[j + k] + XB[i + k]) * shiftB;
    out[k] = ((2.0 * devA) / sumA - (2.0 * devB) / sumB) / jc0;
  }
}

}  // namespace radcon
