#include "stats/difference_tests.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

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
  PairDifferences diff, raw;  // raw keeps the per-codon differences
  PairStatistics st;
  explicit Analysis(const std::string& text, SiteModel model = SiteModel::kNeighbour) : al(parseSequenceText(text)) {
    const GroupTable charge = parseGroupText("3\n3 RHK\n2 DE\n", "charge");
    const CodonData codons = translateAndCount(al, standardCode());
    sites = countSites(al, codons, 3.0, 1, charge, standardCode(), model);
    const StepRates rates = runStepRates(codons, al.seqNum, al.seqLength, 3.0, 1.0, charge, standardCode(), model);
    diff = countPairs(codons, al.seqLength, allPairs(al.seqNum), rates, charge, standardCode());
    raw = countPairs(codons, al.seqLength, allPairs(al.seqNum), rates, charge, standardCode());
    st = computeStatistics(sites, diff);
  }

  // The null deviations of pair a at every codon, from the definition: both kinds
  // at the pooled proportion p0, each weighted as its distance, over 1 - 4 p0 / 3.
  std::vector<double> nullDeviations(std::size_t a, Kind A, Kind B) const {
    const int i = st.pairList[a].i, j = st.pairList[a].j, L = al.seqLength;
    const double sumA = sequenceSites(sites, A)[i] + sequenceSites(sites, A)[j];
    const double sumB = sequenceSites(sites, B)[i] + sequenceSites(sites, B)[j];
    const double p0 = (raw.total[A][a] + raw.total[B][a]) / (sumA / 2 + sumB / 2);
    std::vector<double> e(static_cast<std::size_t>(L));
    const std::vector<double>& XA = codonSites(sites, A);
    const std::vector<double>& XB = codonSites(sites, B);
    for (int k = 0; k < L; ++k) {
      const double devA = raw.perCodon[A].at(a, k) - (sites.at(XA, i, k) + sites.at(XA, j, k)) * p0 / 2;
      const double devB = raw.perCodon[B].at(a, k) - (sites.at(XB, i, k) + sites.at(XB, j, k)) * p0 / 2;
      e[static_cast<std::size_t>(k)] = (2 * devA / sumA - 2 * devB / sumB) / (1 - 4 * p0 / 3);
    }
    return e;
  }

  // Each kind's mean sites changed with probability p0 on their own.
  double binomial(std::size_t a, Kind A, Kind B) const {
    const int i = st.pairList[a].i, j = st.pairList[a].j;
    const double nA = (sequenceSites(sites, A)[i] + sequenceSites(sites, A)[j]) / 2;
    const double nB = (sequenceSites(sites, B)[i] + sequenceSites(sites, B)[j]) / 2;
    const double p0 = (raw.total[A][a] + raw.total[B][a]) / (nA + nB);
    return p0 * (1 - p0) * (1 / nA + 1 / nB) / std::pow(1 - 4 * p0 / 3, 2);
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
    const SiteModel model = seed == 2 ? SiteModel::kMutation : SiteModel::kNeighbour;
    const Analysis r(test::syntheticAlignment(9, 60, 0.08, seed), model);
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
      ASSERT_EQ(g.pairs, pairs.size());
      ASSERT_EQ(g.undefined + g.undefinedNS + g.undefinedRC, 0u);
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
      // mean dA - mean dB: the double sum over pairs of the null covariances, or
      // the sum of the pairs' binomial variances where that is larger.
      for (const auto& [A, B, test] : {std::tuple{kRadical, kConservative, g.dRdC},
                                       std::tuple{kNonsynonymous, kSynonymous, g.dNdS}}) {
        double var = 0, binomial = 0;
        for (std::size_t x : pairs) {
          binomial += r.binomial(x, A, B);
          for (std::size_t y : pairs) {
            const std::vector<double> ex = r.nullDeviations(x, A, B), ey = r.nullDeviations(y, A, B);
            for (std::size_t k = 0; k < ex.size(); ++k) var += ex[k] * ey[k];
          }
        }
        const double z = (g.d[A] - g.d[B]) / std::sqrt(std::max(var, binomial) / m2);
        EXPECT_NEAR(test.z, z, 1e-10 * std::fabs(z));
      }
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

TEST(DifferenceTests, NormalTestAndItsFloor) {
  // z = 1.959964: the two-sided 5 % point.
  const NormalTest t = normalTest(2 * 1.959963984540054, 4.0);
  EXPECT_NEAR(t.z, 1.959963984540054, 1e-15);
  EXPECT_NEAR(t.p, 0.05, 1e-12);
  EXPECT_NEAR(normalTest(-0.3, 0.01).p, std::erfc(3.0 / std::sqrt(2.0)), 1e-15);
  EXPECT_TRUE(std::isnan(normalTest(0.1, 0.0).z));
  EXPECT_TRUE(std::isnan(normalTest(NAN, 1.0).p));
  // Far in the tail the normal approximation says only "below the floor".
  EXPECT_NEAR(normalTest(8.0, 1.0).p, 1.2441921148543e-15, 1e-27);  // erfc(8 / sqrt 2), above the floor
  EXPECT_EQ(normalTest(-9.0, 1.0).p, kPValueFloor);
  EXPECT_EQ(normalTest(1e3, 1.0).p, kPValueFloor);
  EXPECT_EQ(normalTest(1e3, 1.0).z, 1e3);
}

TEST(DifferenceTests, PairCovarianceAndUndefinedDistances) {
  // One pair, two codons: pN = pS = 0.25 (X = 4 each), so both factors 1 - 4p/3
  // are 2/3; the covariance of the proportions 0.1.
  PairStatistics st;
  st.seqNum = 2;
  st.seqLength = 2;
  st.pairs = 1;
  for (Kind k : {kNonsynonymous, kSynonymous, kRadical, kConservative}) {
    st.proportion[k] = {0.25};
    st.sumSites[k] = {4.0};
    st.jcDenominator[k] = {1.0 - 0.25 * kFourThirds};
  }
  st.covNS = {0.0};
  st.nullVarianceNS = {0.2};
  const PairTest same = pairTest(st, 0, kNonsynonymous, kSynonymous);
  EXPECT_EQ(same.cov, 0.0);
  EXPECT_EQ(same.test.z, 0.0);  // equal distances
  EXPECT_EQ(same.test.p, 1.0);
  st.covNS = {0.1};
  st.proportion[kNonsynonymous] = {0.3};
  st.jcDenominator[kNonsynonymous] = {1.0 - 0.3 * kFourThirds};
  const PairTest t2 = pairTest(st, 0, kNonsynonymous, kSynonymous);
  const double jN = 0.6, jS = 2.0 / 3;
  EXPECT_NEAR(t2.cov, 0.1 / (jN * jS), 1e-15);  // the observed distances' covariance
  const double dN = -0.75 * std::log(jN), dS = -0.75 * std::log(jS);
  EXPECT_NEAR(t2.test.z, (dN - dS) / std::sqrt(0.2), 1e-12);  // against the null variance
  // No JC distance beyond p = 0.75.
  st.proportion[kSynonymous] = {0.8};
  st.jcDenominator[kSynonymous] = {1.0 - 0.8 * kFourThirds};
  const PairTest none = pairTest(st, 0, kNonsynonymous, kSynonymous);
  EXPECT_TRUE(std::isnan(none.cov) && std::isnan(none.test.z) && std::isnan(none.test.p));
}

// Two sequences of L codons, sites by hand: radical 2 and conservative 4 at
// every codon of both; no radical differences; conservative ones as given.
PairStatistics handMadePair(const SiteTotals& sites, const std::vector<double>& conservative) {
  const int L = static_cast<int>(conservative.size());
  PairDifferences diff;
  diff.pairs = allPairs(2);
  for (int k = 0; k < kKinds; ++k) {
    diff.perCodon[k] = PairCodonTable(1, L);
    diff.total[k] = {0.0};
    if (k == kRadical) continue;  // synonymous and nonsynonymous ones as the conservative
    for (int c = 0; c < L; ++c) {
      diff.perCodon[k].at(0, c) = conservative[static_cast<std::size_t>(c)];
      diff.total[k][0] += conservative[static_cast<std::size_t>(c)];
    }
  }
  return computeStatistics(sites, diff);
}

SiteTotals handMadeSites(int L) {
  SiteTotals sites;
  sites.seqNum = 2;
  sites.seqLength = L;
  const std::size_t n = static_cast<std::size_t>(2 * L);
  sites.RR.assign(n, 2.0);
  sites.CC.assign(n, 4.0);
  sites.SS.assign(n, 1.0);
  sites.NN.assign(n, 6.0);
  sites.R.assign(2, 2.0 * L);
  sites.C.assign(2, 4.0 * L);
  sites.S.assign(2, 1.0 * L);
  sites.N.assign(2, 6.0 * L);
  return sites;
}

// Conservative differences 3 and 1 at two codons: R_i = 4, C_i = 8. Pooled
// p0 = 4 / (8/2 + 16/2) = 1/3, 1 - 4 p0 / 3 = 5/9. Null deviations: radical
// 0 - 4 p0 / 2 = -2/3 at both codons, conservative 3 - 8 p0 / 2 = 5/3 and
// 1 - 4/3 = -1/3; weighted, (2 devR / 8 - 2 devC / 16) / (5/9): -27/40 and -9/40,
// a codon sum of 810/1600. Binomial: (1/3)(2/3)(2/8 + 2/16) / (5/9)^2 = 0.27,
// smaller. dR = 0, dC = 3/4 ln 3.
//
// One conservative difference at each of four codons: R_i = 8, C_i = 16, p0 = 1/6,
// 1 - 4 p0 / 3 = 7/9. Every codon's e = (2 (-1/3) / 16 - 2 (1/3) / 32) / (7/9) =
// -9/112, a codon sum of 324/12544; the binomial (1/6)(5/6)(2/16 + 2/32) / (7/9)^2
// = 1215/28224 is larger. dC = 3/4 ln 1.5 (pC = 1/4).
TEST(DifferenceTests, NullVarianceOfPairsWithoutRadicalDifferences) {
  const SiteTotals two = handMadeSites(2), four = handMadeSites(4);
  const struct {
    const SiteTotals& sites;
    std::vector<double> conservative;
    double p0, codonSum, binomial, dC;
  } cases[] = {{two, {3.0, 1.0}, 1.0 / 3, 810.0 / 1600, 0.27, 0.75 * std::log(3.0)},
               {four, {1.0, 1.0, 1.0, 1.0}, 1.0 / 6, 324.0 / 12544, 1215.0 / 28224, 0.75 * std::log(1.5)}};
  for (const auto& c : cases) {
    const PairStatistics st = handMadePair(c.sites, c.conservative);
    EXPECT_NEAR(st.pooledRC[0], c.p0, 1e-15);
    EXPECT_NEAR(st.binomialVarianceRC[0], c.binomial, 1e-15);
    EXPECT_NEAR(st.nullVarianceRC[0], std::max(c.codonSum, c.binomial), 1e-15);
    const PairTest t = pairTest(st, 0, kRadical, kConservative);
    const double z = -c.dC / std::sqrt(std::max(c.codonSum, c.binomial));
    EXPECT_NEAR(t.test.z, z, 1e-12);
    EXPECT_NEAR(t.test.p, std::erfc(-z / std::sqrt(2.0)), 1e-12);
    EXPECT_GT(t.test.p, 0.1);
    // One pair is its own mean, to the bit.
    const GroupMean g = groupMeans(st, {}, 0).at(0);
    EXPECT_EQ(g.dRdC.z, t.test.z);
    EXPECT_EQ(g.dRdC.p, t.test.p);
  }
  EXPECT_EQ(nullTestVariance(0.1, 0.2), 0.2);
  EXPECT_EQ(nullTestVariance(0.3, 0.2), 0.3);
  EXPECT_TRUE(std::isnan(nullTestVariance(NAN, 0.2)) && std::isnan(nullTestVariance(0.2, NAN)));
}

// A pair whose dS is undefined (pS >= 0.75: ten synonymous differences at ten
// fourfold codons) still has dR and dC, and enters their means and test.
TEST(GroupMeans, EachTestTakesThePairsWhoseTwoDistancesAreDefined) {
  const std::string fourfold = "CTTGCTGGTCCTGTTACTTCTCGTCTTGCT", shifted = "CTCGCCGGCCCCGTCACCTCCCGCCTCGCC";
  const Analysis r("3 39\na\n" + fourfold + "AAAGATTTT\nb\n" + shifted + "AGAGATTTT\nc\n" + fourfold +
                   "AAAGGTTTT\n");
  ASSERT_FALSE(r.st.jcDenominator[kSynonymous][0] > 0.0);  // (a, b)
  ASSERT_FALSE(r.st.jcDenominator[kSynonymous][2] > 0.0);  // (b, c)
  const GroupMean g = groupMeans(r.st, {}, 0).at(0);
  EXPECT_EQ(g.pairs, 3u);
  EXPECT_EQ(g.undefinedNS, 2u);
  EXPECT_EQ(g.undefinedRC, 0u);
  EXPECT_EQ(g.undefined, 2u);
  for (Kind k : {kRadical, kConservative}) {
    double sum = 0;
    for (std::size_t a = 0; a < 3; ++a) sum += jukesCantor(r.st.proportion[k][a]);
    EXPECT_NEAR(g.d[k], sum / 3, 1e-15);
  }
  EXPECT_EQ(g.d[kSynonymous], jukesCantor(r.st.proportion[kSynonymous][1]));
  EXPECT_TRUE(std::isfinite(g.dRdC.z));
  EXPECT_EQ(g.dNdS.z, pairTest(r.st, 1, kNonsynonymous, kSynonymous).test.z);
  // Told which pairs to take (bit 0 dN-dS, bit 1 dR-dC), the means take those:
  // the dR-dC ones without pair 1 here; and a pair told to enter the dN-dS test
  // whose dS is undefined leaves that test undefined, not a mean over the rest.
  auto told = [&](std::vector<std::uint8_t> entered) {
    GroupMeansAccumulator acc({}, 0, r.st.seqLength);
    acc.add(r.st, entered.data());
    return acc.rows().at(0);
  };
  EXPECT_EQ(testsEntered(r.st, 0), 2);
  EXPECT_EQ(testsEntered(r.st, 1), 3);
  const GroupMean without1 = told({2, 1, 2});
  for (Kind k : {kRadical, kConservative})
    EXPECT_NEAR(without1.d[k], (jukesCantor(r.st.proportion[k][0]) + jukesCantor(r.st.proportion[k][2])) / 2, 1e-15);
  EXPECT_EQ(without1.d[kSynonymous], g.d[kSynonymous]);
  const GroupMean lost = told({3, 3, 2});
  EXPECT_TRUE(std::isnan(lost.d[kSynonymous]) && std::isnan(lost.d[kNonsynonymous]) && std::isnan(lost.dNdS.z));
  EXPECT_EQ(lost.d[kRadical], g.d[kRadical]);
}

// Pairs added in batches, in pair order, give the rows of all pairs at once.
TEST(GroupMeans, BatchesGiveTheRowsOfAllPairsAtOnce) {
  for (SiteModel model : {SiteModel::kNeighbour, SiteModel::kMutation}) {
    const Analysis r(test::syntheticAlignment(8, 50, 0.3, 4), model);
    const std::vector<int> cladeOf = {0, 1, 0, 1, 1, 0, 0, 1};
    const std::vector<GroupMean> all = groupMeans(r.st, cladeOf, 2);
    GroupMeansAccumulator acc(cladeOf, 2, r.al.seqLength);
    const CodonData codons = translateAndCount(r.al, standardCode());
    const GroupTable charge = parseGroupText("3\n3 RHK\n2 DE\n", "charge");
    const StepRates rates = runStepRates(codons, 8, 50, 3.0, 1.0, charge, standardCode(), model);
    const std::vector<SeqPair> pairs = allPairs(8);
    for (std::size_t b = 0; b < pairs.size(); b += 5) {
      const std::vector<SeqPair> some(pairs.begin() + static_cast<std::ptrdiff_t>(b),
                                      pairs.begin() + static_cast<std::ptrdiff_t>(std::min(pairs.size(), b + 5)));
      PairDifferences d = countPairs(codons, 50, some, rates, charge, standardCode());
      acc.add(computeStatistics(r.sites, d));
    }
    const std::vector<GroupMean> batched = acc.rows();
    ASSERT_EQ(batched.size(), all.size());
    for (std::size_t g = 0; g < all.size(); ++g) {
      EXPECT_EQ(batched[g].pairs, all[g].pairs);
      EXPECT_EQ(batched[g].undefinedNS, all[g].undefinedNS);
      for (int k = 0; k < kKinds; ++k) {
        EXPECT_EQ(batched[g].d[k], all[g].d[k]);
        EXPECT_EQ(batched[g].seD[k], all[g].seD[k]);
      }
      EXPECT_EQ(batched[g].dRdC.z, all[g].dRdC.z);
      EXPECT_EQ(batched[g].dNdS.p, all[g].dNdS.p);
    }
  }
}

}  // namespace
}  // namespace radcon
