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
  double DrDcRatio;  // radical/conservative ratio: run-wide; 1 under the mutation model
  SiteModel model = SiteModel::kNeighbour;  // how a step is weighed (ComputeQab)
};

// The run-wide ratio of radical to conservative single-position amino-acid
// differences over all pairs, each count starting at 0.001 and growing by 1 a
// difference. Counted from each codon column's codon counts: work grows with
// sequences x codons, not with pairs, and the value is that of the pair-by-pair
// count to the last bit.
double radicalConservativeRatio(const CodonData& codons, int seqNum, int seqLength, const GroupTable& indexs,
                                const GeneticCode& code);

// The step rates of a run: the Ts/Tv and Ka/Ks parameters and the model. The
// neighbour model favours radical steps by the run-wide radical/conservative
// ratio (none below two sequences: 1). The mutation model weighs the pathways by
// the mutation rates alone, as they are under the hypothesis that radical and
// conservative changes are kept alike: a ratio taken from the data would move
// radical and conservative differences against each other from gene to gene,
// a variance that the errors of the tests do not hold.
StepRates runStepRates(const CodonData& codons, int seqNum, int seqLength, double ratio, double KaKsRatio,
                       const GroupTable& indexs, const GeneticCode& code, SiteModel model = SiteModel::kNeighbour);

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
// The same into 'into', whose per-codon tables are refilled in the memory they
// hold where it is enough (batch after batch, nothing is allocated anew).
void countPairs(const CodonData& codons, int seqLength, const std::vector<SeqPair>& pairs, const StepRates& rates,
                const GroupTable& indexs, const GeneticCode& code, PairDifferences& into);

}  // namespace radcon
