// Differences between every pair of sequences, codon by codon. A codon that
// differs at two or three positions is resolved over every mutational pathway,
// each weighted by the product of its step rates.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "codon/frequency.h"
#include "codon/genetic_code.h"
#include "differences/pair_table.h"
#include "common/groups.h"
#include "common/kinds.h"
#include "common/site_models.h"

namespace radcon {

// Weighted differences of one codon: synonymous, nonsynonymous, conservative, radical.
struct CodonDifference {
  double s = 0, n = 0, c = 0, r = 0;
};

struct StepRates {
  double ratio;      // Ts/Tv parameter
  double KaKsRatio;  // Ka/Ks parameter
  double DrDcRatio;  // radical/conservative ratio: run-wide, per site under the mutation model
  SiteModel model = SiteModel::kNeighbour;  // how a step is weighed (ComputeQab)
};

// The run-wide ratio of radical to conservative single-position amino-acid
// differences over all pairs, each count starting at 0.001 and growing by 1 a
// difference. Counted from each codon column's codon counts: work grows with
// sequences x codons, not with pairs, and the value is that of the pair-by-pair
// count to the last bit.
double radicalConservativeRatio(const CodonData& codons, int seqNum, int seqLength, const GroupTable& indexs,
                                const GeneticCode& code);

// The radical/conservative ratio of the mutation model's step rates. The raw
// ratio Dr/Dc mixes selection with opportunity: under equal selection it is about
// the ratio of radical to conservative sites, not 1. So it is taken per site:
// DrDcRatio / (mean radical sites / mean conservative sites), the means over the
// sequences' R and C sites under the mutation model. 1 (no preference) where
// either mean is not positive (a grouping without radical or without
// conservative changes) or there are no sequences.
double perSiteRadicalConservativeRatio(double DrDcRatio, const std::vector<double>& radicalSites,
                                       const std::vector<double>& conservativeSites);

// The step rates of a run: the Ts/Tv and Ka/Ks parameters with the run-wide
// radical/conservative ratio (none below two sequences: 1) and the model. Under
// the mutation model the ratio is taken per site, from the sequences' radical and
// conservative sites of that model (SiteTotals R and C).
StepRates runStepRates(const CodonData& codons, int seqNum, int seqLength, double ratio, double KaKsRatio,
                       const GroupTable& indexs, const GeneticCode& code, SiteModel model = SiteModel::kNeighbour,
                       const std::vector<double>& radicalSites = {}, const std::vector<double>& conservativeSites = {});

// start + 1 + 1 + ... (n ones), each addition rounded as a loop of them rounds it.
double addOnes(double start, std::uint64_t n);

// Differences between codon I and codon J (codon indices 0..63) under the pair's
// average frequency table.
CodonDifference compareCodons(int I, int J, const FrequencyTable& frequencyAve, const StepRates& rates,
                              const GroupTable& indexs, const GeneticCode& code);

struct PairDifferences {
  std::vector<SeqPair> pairs;  // the pairs counted, by pair index
  // Pair totals by kind, [kind][pair index].
  std::array<std::vector<double>, kKinds> total;
  // Per-codon values by kind.
  std::array<PairCodonTable, kKinds> perCodon;
};

// Counts the given pairs under the given step rates. Each pair's values depend
// on that pair alone, so pairs may be counted in any batches, in any order.
PairDifferences countPairs(const CodonData& codons, int seqLength, const std::vector<SeqPair>& pairs,
                           const StepRates& rates, const GroupTable& indexs, const GeneticCode& code);

}  // namespace radcon
