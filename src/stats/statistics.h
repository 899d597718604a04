// Proportions of differences per site, their sampling variances from the
// contribution of each codon, and covariances between the proportions of pairs.
#pragma once

#include <array>
#include <vector>

#include "differences/pairwise.h"
#include "sites/site_totals.h"

namespace radcon {

// The sites of one kind: per sequence (S, N, R or C) and per codon (SS, NN, RR or CC).
const std::vector<double>& sequenceSites(const SiteTotals& sites, Kind kind);
const std::vector<double>& codonSites(const SiteTotals& sites, Kind kind);

struct PairStatistics {
  int seqNum = 0;
  int seqLength = 0;
  std::size_t pairs = 0;
  std::vector<SeqPair> pairList;  // the sequences of each pair, by pair index
  // By kind and pair index: the proportion, its variance, X_i + X_j, and
  // 1 - p 4/3, the factor that carries a proportion over to its Jukes-Cantor distance.
  std::array<std::vector<double>, kKinds> proportion, variance, sumSites, jcDenominator;
  // By kind, per pair and codon: the codon's differences minus those that the
  // pair's proportion predicts for the codon's mean sites.
  std::array<PairCodonTable, kKinds> deviation;
  // By pair: the covariance of the nonsynonymous and synonymous proportions, and
  // of the radical and conservative ones, with the estimator of the covariance of
  // two pairs applied across two kinds of one pair. Not clamped at 0.
  std::vector<double> covNS, covRC;
  // By pair, for the tests of dN against dS and of dR against dC: the proportion
  // of the two kinds pooled, p0 = (x_A + x_B) / ((A_i + A_j)/2 + (B_i + B_j)/2),
  // the binomial variance of dA - dB at p0 (binomialNullVariance), and the
  // variance under the null hypothesis that the test takes (nullTestVariance).
  std::vector<double> pooledNS, pooledRC, binomialVarianceNS, binomialVarianceRC, nullVarianceNS, nullVarianceRC;
  // The sites the statistics were computed from, for the null deviations of the
  // group means. Not owned: they must outlive the statistics.
  const SiteTotals* sites = nullptr;
};

// Proportions, deviations and variances, and the null variances of the two
// tests. Keeps a pointer to 'sites' (see PairStatistics::sites). Takes over the
// per-codon differences (they become the deviations) and leaves the pair totals
// in place.
PairStatistics computeStatistics(const SiteTotals& sites, PairDifferences& differences);

// Statistics of 'pairs' pairs of n sequences of L codons, to be filled batch by
// batch with place(): every per-codon table allocated (and zero) at once.
PairStatistics reserveStatistics(int seqNum, int seqLength, std::size_t pairs);

// Puts the statistics of a batch of pairs into 'all' after the pairs it holds
// already; a batch starts at a multiple of PairCodonTable::kLanes pairs.
void placeStatistics(PairStatistics& all, const PairStatistics& batch);

// 4/3 as one double.
inline constexpr double kFourThirds = 4.0 / 3.0;

// The Jukes-Cantor distance of a proportion: 0.0 - ln(1 - p 4/3) 3/4.
double jukesCantor(double p);

// One kind of one pair as the tables show it: the distance and the standard
// errors of the proportion and of the distance (NaN where the distance is
// undefined, that is where 1 - p 4/3 is not positive).
struct PairDistance {
  double d, seP, seD;
};
PairDistance pairDistance(const PairStatistics& st, Kind kind, std::size_t pair);

// The numbers of decimals with which a caller prints covariances: of the
// proportions, and of the Jukes-Cantor distances (c / ja / jb).
struct PrintedDecimals {
  std::vector<int> proportions, distances;
};

// Covariances of the proportions of pair a and every later pair b: the sum over
// codons of d_a d_b / ((X_a)(X_b) / 4), each term divided before it is added.
// Rows [rowBegin, rowEnd) of the upper triangle are written row after row into
// out: for each row a, the entries b = a .. pairs-1, the diagonal entry being the
// variance. Negative covariances, and -0, are stored as +0 (a NaN stays a NaN).
// rowBegin must be a multiple of PairCodonTable::kLanes.
//
// The sums are formed as a blocked matrix product and divided once; an entry
// whose printed forms (with the caller's decimals) could differ from those of the
// term-by-term sum is evaluated term by term, so the text is the same either way.
// 'workspace' is scratch memory that a caller may keep from call to call.
void covarianceRows(const PairStatistics& stats, Kind kind, std::size_t rowBegin, std::size_t rowEnd, double* out,
                    std::vector<double>& workspace, const PrintedDecimals& printed);

// The tests of dA against dB (N against S, R against C) ask whether the two kinds
// differ, so their variance is taken where they do not: under the null
// hypothesis, both kinds at the pair's pooled proportion p0, as the score test of
// two proportions does (Miettinen and Nurminen 1985, Stat Med 4:213-226, the
// variance restricted to the null; the pooled two-proportion z test, e.g.
// Agresti 2013, Categorical Data Analysis, 3rd ed., Wiley). Two estimates of it:
//
// - The codon-sum estimator of the reports on the deviations from the null. Per
//   codon k, dev_k = xx_k - (XX_ik + XX_jk) p0 / 2 for each kind, weighted as the
//   distances weigh them: e_k = (2 devA_k / (A_i + A_j) - 2 devB_k / (B_i + B_j)) /
//   (1 - 4 p0 / 3); the variance of dA - dB is the sum over k of e_k^2, that of a
//   mean over m pairs (1/m^2) sum over k of (sum over the pairs of e_k)^2. It
//   follows how unevenly the differences fall on the codons (rates that vary
//   among codons), but it is a sum over the differences seen: where one kind has
//   few or none, that kind adds almost nothing, however many it should have
//   under the null (lysozyme, human against gibbon: 0 radical, 4 conservative).
// - Its expectation under the null, every site of either kind changed with
//   probability p0 (binomialNullVariance): the variance of the pooled score
//   test, whatever the counts fell as; blind to rates that vary among codons.
//
// The test takes the larger (nullTestVariance). In simulations of neutral genes
// (bench/README.md, "Site models and the tests' level") the codon sum alone
// rejected 6.8 to 11 % of the pairs with at most 10 radical and conservative
// differences at the 5 % level, the binomial alone up to 6.9 % of all pairs where
// codons' rates vary; the larger, at most 5.6 % of either wherever the sites
// matched how the genes evolved.
//
// nullDeviations writes e_0 .. e_{L-1} to out (NaN without sites).
void nullDeviations(const PairStatistics& stats, std::size_t pair, Kind a, Kind b, double* out);

// p0 (1 - p0) (2 / sumA + 2 / sumB) / (1 - 4 p0 / 3)^2: the variance of dA - dB when
// every one of the pair's mean sites of either kind (sumA / 2 and sumB / 2) has
// changed with probability p0 on its own.
double binomialNullVariance(double p0, double sumA, double sumB);

// The variance under the null a test takes: the larger of the codon sum and the
// binomial variance; NaN where either is.
double nullTestVariance(double codonSum, double binomial);

// Offset of row a in the row-after-row upper triangle of an order-P matrix.
constexpr std::size_t triangleOffset(std::size_t P, std::size_t a) { return a * P - a * (a - 1) / 2; }

}  // namespace radcon
