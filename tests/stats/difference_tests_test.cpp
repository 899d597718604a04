#include "stats/difference_tests.h"

#include <gtest/gtest.h>

#include <cmath>

#include "codon/frequency.h"
#include "differences/pairwise.h"
#include "input/group_file.h"
#include "input/sequence_file.h"
#include "sites/site_totals.h"

#include "../synthetic.h"

namespace radcon {
namespace {

struct Analysis {
  Alignment al;
  SiteTotals sites;
  PairDifferences diff;
  PairStatistics st;
  explicit Analysis(const std::string& text) : al(parseSequenceText(text)) {
    const GroupTable charge = parseGroupText("3\n3 RHK\n2 DE\n", "charge");
    const CodonData codons = translateAndCount(al, standardCode());
    sites = countSites(al, codons, 3.0, 1, charge, standardCode());
    const double DrDc = radicalConservativeRatio(codons, al.seqNum, al.seqLength, charge, standardCode());
    diff = countPairs(codons, al.seqLength, allPairs(al.seqNum), {3.0, 1.0, DrDc}, charge, standardCode());
    st = computeStatistics(sites, diff);
  }
};

// The covariance of kind A of pair a with kind B of pair b, the estimator of the
// reports term by term, for distances divided by both factors 1 - 4p/3.
double cov(const PairStatistics& st, Kind A, std::size_t a, Kind B, std::size_t b, bool distances) {
  const double D = (st.sumSites[A][a] * st.sumSites[B][b]) / 4.0;
  double v = 0.0;
  for (int k = 0; k < st.seqLength; ++k) v = v + (st.deviation[A].at(a, k) * st.deviation[B].at(b, k)) / D;
  return distances ? v / st.jcDenominator[A][a] / st.jcDenominator[B][b] : v;
}

TEST(GroupMeans, ErrorsEqualTheDoubleSumOverTheCovarianceMatrix) {
  for (unsigned seed : {1u, 2u, 3u}) {
    const Analysis r(test::syntheticAlignment(9, 60, 0.08, seed));
    const std::vector<int> cladeOf = {0, 0, 1, 2, 1, 0, 2, 2, 1};
    const std::vector<GroupMean> rows = groupMeans(r.st, cladeOf, 3);
    ASSERT_EQ(rows.size(), 3u + 3u + 1u);
    for (const GroupMean& g : rows) {
      // The group's pairs, in pair order.
      std::vector<std::size_t> pairs;
      std::size_t a = 0;
      for (int i = 0; i + 1 < 9; ++i)
        for (int j = i + 1; j < 9; ++j, ++a) {
          const int c1 = std::min(cladeOf[i], cladeOf[j]), c2 = std::max(cladeOf[i], cladeOf[j]);
          if (g.clade1 < 0 || (c1 == g.clade1 && c2 == g.clade2)) pairs.push_back(a);
        }
      ASSERT_EQ(g.pairs + g.undefined, pairs.size());
      ASSERT_EQ(g.undefined, 0u);
      const double m2 = static_cast<double>(pairs.size() * pairs.size());
      for (int k = 0; k < kKinds; ++k) {
        double varP = 0, varD = 0, mean = 0;
        for (std::size_t x : pairs) {
          mean += jukesCantor(r.st.proportion[k][x]);
          for (std::size_t y : pairs) {
            varP += cov(r.st, Kind(k), x, Kind(k), y, false);
            varD += cov(r.st, Kind(k), x, Kind(k), y, true);
          }
        }
        EXPECT_NEAR(g.seP[k] * g.seP[k], varP / m2, 1e-12 * varP / m2);
        EXPECT_NEAR(g.seD[k] * g.seD[k], varD / m2, 1e-12 * varD / m2);
        EXPECT_NEAR(g.d[k], mean / static_cast<double>(pairs.size()), 1e-14);
      }
      // mean dR - mean dC: both kinds and their covariance in one variance.
      double var = 0;
      for (std::size_t x : pairs)
        for (std::size_t y : pairs)
          var += cov(r.st, kRadical, x, kRadical, y, true) + cov(r.st, kConservative, x, kConservative, y, true) -
                 cov(r.st, kRadical, x, kConservative, y, true) - cov(r.st, kConservative, x, kRadical, y, true);
      const double z = (g.d[kRadical] - g.d[kConservative]) / std::sqrt(var / m2);
      EXPECT_NEAR(g.dRdC.z, z, 1e-10 * std::fabs(z));
    }
  }
}

// Two genes of ten codons: two synonymous, two conservative and one radical
// difference under the charge grouping.
const std::string kA = "ATGAAAGGCTTTCTGGATCCAACGTGGCAT";
const std::string kB = "ATGAGAGGTTTTCTGGAACCAAAGTGGCAC";

TEST(GroupMeans, OnePairIsItsOwnMeanAndTwoIdenticalCladesGiveEqualRows) {
  const Analysis one("2 30\na\n" + kA + "\nb\n" + kB + "\n");
  const GroupMean all = groupMeans(one.st, {}, 0).at(0);
  ASSERT_EQ(all.pairs, 1u);
  for (int k = 0; k < kKinds; ++k) {
    EXPECT_EQ(all.p[k], one.st.proportion[k][0]);
    EXPECT_NEAR(all.seP[k], std::sqrt(one.st.variance[k][0]), 1e-15);
  }
  const PairTest pair = pairTest(one.st, 0, kNonsynonymous, kSynonymous);
  EXPECT_NEAR(all.dNdS.z, pair.test.z, 1e-12);
  EXPECT_NEAR(all.dNdS.p, pair.test.p, 1e-12);

  // Clade B holds copies of clade A's sequences.
  const Analysis copies("4 30\na1\n" + kA + "\na2\n" + kB + "\nb1\n" + kA + "\nb2\n" + kB + "\n");
  const std::vector<GroupMean> rows = groupMeans(copies.st, {0, 0, 1, 1}, 2);
  ASSERT_EQ(rows.size(), 4u);
  for (int k = 0; k < kKinds; ++k) {
    EXPECT_EQ(rows[0].d[k], rows[1].d[k]);
    EXPECT_EQ(rows[0].seD[k], rows[1].seD[k]);
  }
  EXPECT_EQ(rows[2].pairs, 4u);  // between A and B
  EXPECT_EQ(rows[3].pairs, 6u);  // every pair
}

TEST(DifferenceTests, HandMadeValuesAndUndefinedOnes) {
  // z = 1.959964: the two-sided 5 % point.
  const NormalTest t = normalTest(2 * 1.959963984540054, 4.0);
  EXPECT_NEAR(t.z, 1.959963984540054, 1e-15);
  EXPECT_NEAR(t.p, 0.05, 1e-12);
  EXPECT_NEAR(normalTest(-0.3, 0.01).p, std::erfc(3.0 / std::sqrt(2.0)), 1e-15);
  EXPECT_TRUE(std::isnan(normalTest(0.1, 0.0).z));
  EXPECT_TRUE(std::isnan(normalTest(NAN, 1.0).p));

  // One pair, two codons, sites chosen by hand: pN = pS = 0.25 (X = 4 each), so
  // both factors 1 - 4p/3 are 2/3. Deviations dN = (0.5, -0.5), dS = (0.5, 0.5).
  PairStatistics st;
  st.seqNum = 2;
  st.seqLength = 2;
  st.pairs = 1;
  for (Kind k : {kNonsynonymous, kSynonymous, kRadical, kConservative}) {
    st.proportion[k] = {0.25};
    st.sumSites[k] = {4.0};
    st.jcDenominator[k] = {1.0 - 0.25 * kFourThirds};
    st.deviation[k] = PairCodonTable(1, 2);
  }
  st.deviation[kNonsynonymous].at(0, 0) = 0.5;
  st.deviation[kNonsynonymous].at(0, 1) = -0.5;
  st.deviation[kSynonymous].at(0, 0) = 0.5;
  st.deviation[kSynonymous].at(0, 1) = 0.5;
  st.variance[kNonsynonymous] = {4 * 0.5 / 16};  // sum of 4 d^2 / X^2
  st.variance[kSynonymous] = {4 * 0.5 / 16};
  st.covNS = {0.0};  // 0.25 - 0.25
  st.covRC = {0.0};
  const PairTest same = pairTest(st, 0, kNonsynonymous, kSynonymous);
  EXPECT_EQ(same.cov, 0.0);
  EXPECT_EQ(same.test.z, 0.0);  // equal distances
  EXPECT_EQ(same.test.p, 1.0);
  st.covNS = {0.1};
  st.proportion[kNonsynonymous] = {0.3};
  st.jcDenominator[kNonsynonymous] = {1.0 - 0.3 * kFourThirds};
  const PairTest t2 = pairTest(st, 0, kNonsynonymous, kSynonymous);
  const double jN = 0.6, jS = 2.0 / 3, varN = 0.125 / (jN * jN), varS = 0.125 / (jS * jS), c = 0.1 / (jN * jS);
  EXPECT_NEAR(t2.cov, c, 1e-15);
  const double dN = -0.75 * std::log(jN), dS = -0.75 * std::log(jS);
  EXPECT_NEAR(t2.test.z, (dN - dS) / std::sqrt(varN + varS - 2 * c), 1e-12);
  // No JC distance beyond p = 0.75.
  st.proportion[kSynonymous] = {0.8};
  st.jcDenominator[kSynonymous] = {1.0 - 0.8 * kFourThirds};
  const PairTest none = pairTest(st, 0, kNonsynonymous, kSynonymous);
  EXPECT_TRUE(std::isnan(none.cov) && std::isnan(none.test.z) && std::isnan(none.test.p));
}

}  // namespace
}  // namespace radcon
