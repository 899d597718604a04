#include "stats/statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

namespace radcon {
namespace {

// The decimals of the reports: "%8.7f" and "%f" of a covariance, "%8.7f" of a distance covariance.
const PrintedDecimals kReportDecimals{{7, 6}, {7}};

// Three sequences of two codons; one kind's sites and differences chosen by hand,
// the same for all four kinds.
struct Three {
  SiteTotals sites;
  PairDifferences diff;
  Three(const double xx[3][2]) {
    sites.seqNum = 3;
    sites.seqLength = 2;
    const std::vector<double> XX = {1.0, 2.0, 1.5, 1.5, 0.5, 2.5};
    const std::vector<double> X = {3.0, 3.0, 3.0};
    sites.SS = sites.NN = sites.RR = sites.CC = XX;
    sites.S = sites.N = sites.R = sites.C = X;
    diff.pairs = allPairs(3);
    for (int k = 0; k < kKinds; ++k) {
      diff.total[k].assign(3, 0.0);
      diff.perCodon[k] = PairCodonTable(3, 2);
      for (int a = 0; a < 3; ++a) {
        diff.perCodon[k].at(a, 0) = xx[a][0];
        diff.perCodon[k].at(a, 1) = xx[a][1];
        diff.total[k][a] = xx[a][0] + xx[a][1];
      }
    }
  }
};

TEST(Statistics, ProportionsVariancesAndCovariances) {
  const double xx[3][2] = {{1.0, 0.0}, {0.0, 1.5}, {0.5, 0.5}};  // pairs (0,1), (0,2), (1,2)
  Three t(xx);
  const PairStatistics st = computeStatistics(t.sites, t.diff);
  // Pair (0,1): p = 2 / 6; codon deviations d = xx - (XX_0 + XX_1) p / 2.
  EXPECT_EQ(st.proportion[kRadical][0], (1.0 + 1.0) / (3.0 + 3.0));
  const double p01 = 2.0 / 6, p02 = 3.0 / 6, p12 = 2.0 / 6;
  const double d01[2] = {1.0 - 2.5 * p01 / 2, 0.0 - 3.5 * p01 / 2};
  const double d02[2] = {0.0 - 1.5 * p02 / 2, 1.5 - 4.5 * p02 / 2};
  const double d12[2] = {0.5 - 2.0 * p12 / 2, 0.5 - 4.0 * p12 / 2};
  const double var01 = 4 * (d01[0] * d01[0] + d01[1] * d01[1]) / 36;
  EXPECT_NEAR(st.variance[kRadical][0], var01, 1e-15);
  EXPECT_NEAR(st.deviation[kRadical].at(1, 1), d02[1], 1e-15);

  std::vector<double> cov(6), workspace;
  covarianceRows(st, kRadical, 0, 3, cov.data(), workspace, kReportDecimals);
  // Entries (0,1)(0,1), (0,1)(0,2), (0,1)(1,2), (0,2)(0,2), (0,2)(1,2), (1,2)(1,2).
  EXPECT_EQ(cov[0], st.variance[kRadical][0]);  // the diagonal is the variance itself
  EXPECT_EQ(cov[3], st.variance[kRadical][1]);
  EXPECT_EQ(cov[5], st.variance[kRadical][2]);
  auto expected = [](const double* a, const double* b) {
    const double c = (a[0] * b[0] + a[1] * b[1]) / (36.0 / 4);
    return c < 0 ? 0.0 : c;  // negative covariances are stored as zero
  };
  EXPECT_NEAR(cov[1], expected(d01, d02), 1e-15);
  EXPECT_NEAR(cov[2], expected(d01, d12), 1e-15);
  EXPECT_NEAR(cov[4], expected(d02, d12), 1e-15);
  EXPECT_LT(d01[0] * d02[0] + d01[1] * d02[1], 0.0);  // this one was negative
  EXPECT_EQ(cov[1], 0.0);
}

TEST(Statistics, IdenticalSequencesAndMissingSites) {
  const double xx[3][2] = {{0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}};
  Three t(xx);
  t.sites.S = {0.0, 0.0, 3.0};
  t.sites.SS = {0.0, 0.0, 0.0, 0.0, 1.5, 1.5};
  const PairStatistics st = computeStatistics(t.sites, t.diff);
  EXPECT_EQ(st.proportion[kRadical][0], 0.0);
  EXPECT_EQ(st.variance[kRadical][0], 0.0);
  std::vector<double> cov(6), workspace;
  covarianceRows(st, kRadical, 0, 3, cov.data(), workspace, kReportDecimals);
  for (double c : cov) EXPECT_EQ(c, 0.0);
  // No synonymous sites in sequences 0 and 1: 0/0 flows on as NaN.
  EXPECT_TRUE(std::isnan(st.proportion[kSynonymous][0]));
  EXPECT_TRUE(std::isnan(st.variance[kSynonymous][0]));
  covarianceRows(st, kSynonymous, 0, 3, cov.data(), workspace, kReportDecimals);
  EXPECT_TRUE(std::isnan(cov[0]) && std::isnan(cov[1]) && std::isnan(cov[2]));
  EXPECT_EQ(cov[3], 0.0);
}

TEST(Statistics, CovarianceOnTheSixDecimalRoundingBoundary) {
  // Two pairs whose covariance lies a hair from 0.0000125: the fast sum (the
  // products summed, then divided once) and the term-by-term sum can then round
  // apart at the six decimals of the .dis files while agreeing at seven. The
  // stored value must print as the term-by-term sum does.
  constexpr int L = 4;
  const double D = 3.0;  // (X_a X_b) / 4 with X_a = 3, X_b = 4
  auto sixDecimals = [](double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%f", v);
    return std::string(b);
  };
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-2e-5, 6e-5);
  double d[L] = {}, termByTerm = 0, fast = 0;
  bool found = false;
  for (int trial = 0; trial < 1000000 && !found; ++trial) {
    double partial = 0;
    for (int k = 0; k + 1 < L; ++k) partial = partial + (d[k] = u(rng));
    d[L - 1] = 3.75e-5 - partial;
    termByTerm = fast = 0;
    for (int k = 0; k < L; ++k) {
      termByTerm = termByTerm + (d[k] * 1.0) / D;
      fast = fast + d[k] * 1.0;
    }
    fast = fast / D;
    found = sixDecimals(termByTerm) != sixDecimals(fast);
  }
  ASSERT_TRUE(found);
  PairStatistics st;
  st.seqNum = 3;
  st.seqLength = L;
  st.pairs = 2;
  st.sumSites[kSynonymous] = {3.0, 4.0};
  st.variance[kSynonymous] = {1.0, 1.0};
  st.jcDenominator[kSynonymous] = {1.0, 1.0};
  st.deviation[kSynonymous] = PairCodonTable(2, L);
  for (int k = 0; k < L; ++k) {
    st.deviation[kSynonymous].at(0, k) = d[k];
    st.deviation[kSynonymous].at(1, k) = 1.0;
  }
  std::vector<double> cov(3), workspace;
  covarianceRows(st, kSynonymous, 0, 2, cov.data(), workspace, kReportDecimals);
  EXPECT_EQ(sixDecimals(cov[1]), sixDecimals(termByTerm)) << std::hexfloat << termByTerm << " " << fast;
}

}  // namespace
}  // namespace radcon
