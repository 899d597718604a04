// Bootstrap standard errors and p-values for the means over groups of pairs.
// Codon columns are resampled with replacement (Felsenstein 1985), the same
// columns for every pair of a replicate, and each replicate's pair distances
// and group means are formed as the analytic ones are: a pair enters a test's
// means when both its distances are defined. The spread of a mean over the
// replicates is its standard error; the share of replicates on either side of
// zero gives the two-sided p of a difference of means (the percentile
// bootstrap, Efron and Tibshirani 1993, ch. 13 and 15), (1 + k) / (1 + B) at
// the least, so that no p is 0.
//
// The replicates are drawn from the seed alone, so the values are the same for
// any number of threads; pairs may come in batches, in pair order.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "common/kinds.h"
#include "differences/pair_table.h"
#include "sites/site_totals.h"
#include "stats/pair_groups.h"

namespace radcon {

struct BootstrapRow {
  int replicates = 0;            // replicates drawn
  double seD[kKinds];            // standard errors of the mean distances
  double pNS = NAN, pRC = NAN;   // of mean dN - mean dS and of mean dR - mean dC
};

class BootstrapMeans {
 public:
  BootstrapMeans(const SiteTotals& sites, const PairGroups& groups, int replicates, std::uint64_t seed);

  // The distances of the given pairs in every replicate, [pair][replicate][kind]
  // (NaN where undefined), from their per-codon differences by kind. Safe to call
  // from several threads at once.
  void distances(const std::vector<SeqPair>& pairs, const std::array<PairCodonTable, kKinds>& codonDifferences,
                 std::vector<double>& out) const;
  // Adds the distances of a batch of pairs, in pair order.
  void add(const std::vector<SeqPair>& pairs, const std::vector<double>& distances);
  // One row per group, in the groups' order.
  std::vector<BootstrapRow> rows() const;

 private:
  int L_, n_, B_;
  PairGroups groups_;
  std::vector<double> weight_;  // [codon][replicate]: how often the codon was drawn
  std::vector<double> sites_;   // [seq][replicate][kind]: the sequence's sites in the replicate
  // [group][replicate]: sums of the distances entering each test and how many pairs did.
  std::vector<std::array<double, kKinds>> sum_;
  std::vector<std::array<double, 2>> count_;  // pairs in the dN-dS means, in the dR-dC means
};

}  // namespace radcon
