// Synonymous, nonsynonymous, radical and conservative sites of every codon of
// every sequence, and their totals per sequence.
#pragma once

#include <vector>

#include "codon/frequency.h"
#include "common/alignment.h"
#include "common/groups.h"

namespace radcon {

struct SiteTotals {
  int seqNum = 0;
  int seqLength = 0;
  // Per codon, [seq * seqLength + codon]; each codon's SS + NN = 3 and RR + CC = NN.
  std::vector<double> SS, NN, RR, CC;
  // Per sequence. N and C are derived from the totals S and R, not summed.
  std::vector<double> S, N, R, C;

  double at(const std::vector<double>& v, int seq, int codon) const {
    return v[static_cast<std::size_t>(seq) * seqLength + codon];
  }
};

// correction 0 takes the synonymous sites from the uncorrected table; any other
// value keeps the weighted ones. The radical/conservative split is always weighted.
SiteTotals countSites(const Alignment& alignment, const CodonData& codons, double ratio, int correction,
                      const GroupTable& indexs, const GeneticCode& code);

}  // namespace radcon
