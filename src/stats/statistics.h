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
  // By kind and pair index: the proportion, its variance, and X_i + X_j.
  std::array<std::vector<double>, kKinds> proportion, variance, sumSites;
  // By kind, per pair and codon: the codon's differences minus those that the
  // pair's proportion predicts for the codon's mean sites.
  std::array<PairCodonTable, kKinds> deviation;
};

// Proportions, deviations and variances. Takes over the per-codon differences
// (they become the deviations) and leaves the pair totals in place.
PairStatistics computeStatistics(const SiteTotals& sites, PairDifferences& differences);

// Covariance of the proportions of pairs a and b (b >= a, not the diagonal) as the
// sum of the deviation products over codons divided by ((X_a)(X_b))/4.
// Rows [rowBegin, rowEnd) of the upper triangle are written row after row into
// out: for each row a, the entries b = a .. pairs-1, the diagonal entry being the
// variance. Negative covariances are stored as 0 (a NaN stays a NaN).
// rowBegin must be a multiple of PairCodonTable::kLanes.
void covarianceRows(const PairStatistics& stats, Kind kind, std::size_t rowBegin, std::size_t rowEnd, double* out);

// Offset of row a in the row-after-row upper triangle of an order-P matrix.
constexpr std::size_t triangleOffset(std::size_t P, std::size_t a) { return a * P - a * (a - 1) / 2; }

}  // namespace radcon
