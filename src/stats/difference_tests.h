// Whether two distances differ more than their errors allow: per pair, and for
// means over groups of pairs, with standard errors that honour the covariances
// between the kinds of one pair and between the pairs of a group.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/kinds.h"
#include "stats/statistics.h"

namespace radcon {

// The smallest p-value a test reports. The normal approximation of a difference
// of distances from a few hundred codons holds in the body of the distribution,
// not to the far tail: a p below 1e-16 says no more than "below 1e-16", and is
// reported as 1e-16.
inline constexpr double kPValueFloor = 1e-16;

// A two-sided test of a difference against its variance under the normal
// approximation: z = difference / sqrt(variance), p = erfc(|z| / sqrt 2), at
// least kPValueFloor. Both NaN where the difference is undefined or the variance
// is not positive.
struct NormalTest {
  double z;
  double p;
};
NormalTest normalTest(double difference, double variance);

// The per-pair tests of dN against dS and of dR against dC: z = (observed dA -
// dB) / sqrt(variance of dA - dB under the null hypothesis), the pair's null
// variance (statistics.h, nullDeviations). cov is the covariance of the two
// observed distances (first-order: the proportions' covariance divided by both
// factors 1 - 4p/3). NaN where either distance is undefined.
struct PairTest {
  double cov;
  NormalTest test;
};
PairTest pairTest(const PairStatistics& st, std::size_t pair, Kind a, Kind b);

// Means over one group of pairs: within a clade, between two clades, or every pair.
// A pair enters the means of S and N and the test of dN against dS where its dN
// and dS are defined (1 - 4p/3 > 0 for both), and the means of R and C and the
// test of dR against dC where its dR and dC are.
struct GroupMean {
  int clade1 = -1, clade2 = -1;  // -1: every pair
  std::size_t pairs = 0;         // every pair of the group
  std::size_t undefinedNS = 0;   // of them, pairs whose dN or dS is undefined: left out of S, N and dN-dS
  std::size_t undefinedRC = 0;   // pairs whose dR or dC is undefined: left out of R, C and dR-dC
  std::size_t undefined = 0;     // pairs with any of the four distances undefined
  double p[kKinds], d[kKinds];   // means of the proportions and of the distances
  double seP[kKinds], seD[kKinds];
  NormalTest dNdS, dRdC;         // mean dN against mean dS, mean dR against mean dC
};

// Var(mean) = (1/m^2) sum over pairs a, b of cov(a, b), the estimator of the
// reports unclamped, is formed as (1/m^2) sum over codons of (sum_a w_a d_a,k)^2
// (w_a = 2 / (X_i + X_j), over 1 - 4p/3 for a distance): pairs x codons work, no
// pair-by-pair matrix. The tests take the variance of mean dA - mean dB under the
// null hypothesis as a pair's test does (statistics.h, nullDeviations): the
// larger of (1/m^2) sum over codons of (sum_a e_a,k)^2 and (1/m^2) sum over pairs
// of their binomial null variances. They need the statistics' sites. cladeOf
// gives each sequence's clade 0..clades-1; empty, only the group of every pair.
// Rows: within each clade, between every two clades (clade order), then every
// pair.
std::vector<GroupMean> groupMeans(const PairStatistics& st, const std::vector<int>& cladeOf, int clades);

// Which tests a pair enters: bit 0 the dN-dS one (dN and dS defined), bit 1 the
// dR-dC one (dR and dC defined).
std::uint8_t testsEntered(const PairStatistics& st, std::size_t pair);

// The same means for pairs that come in batches (a run that streams its pairs):
// the sums grow batch by batch, in pair order, so the rows equal those of
// groupMeans over all the pairs at once. Memory: groups x codons.
//
// With 'entered' (one testsEntered value a pair of the batch, from another
// analysis of the same pairs), a test's means take exactly the pairs it names,
// and a group where one of them is undefined here gets NaN for that test: the
// means of part of an alignment stay the same statistic as the whole's.
class GroupMeansAccumulator {
 public:
  GroupMeansAccumulator(const std::vector<int>& cladeOf, int clades, int seqLength);
  ~GroupMeansAccumulator();
  GroupMeansAccumulator(const GroupMeansAccumulator&) = delete;
  GroupMeansAccumulator& operator=(const GroupMeansAccumulator&) = delete;
  void add(const PairStatistics& batch, const std::uint8_t* entered = nullptr);
  std::vector<GroupMean> rows() const;

 private:
  struct Group;
  std::vector<int> cladeOf_;
  int clades_;
  std::vector<int> group_;  // group index of clades (c1, c2), c1 <= c2
  std::vector<Group> groups_;
};

}  // namespace radcon
