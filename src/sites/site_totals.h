// Synonymous, nonsynonymous, radical and conservative sites of every codon of
// every sequence, and their totals per sequence.
#pragma once

#include <vector>

#include "codon/frequency.h"
#include "common/alignment.h"
#include "common/groups.h"
#include "common/site_models.h"

namespace radcon {

struct SiteTotals {
  int seqNum = 0;
  int seqLength = 0;
  // Per codon, [seq * seqLength + codon]. Neighbour model: each codon's SS + NN = 3
  // and RR + CC = NN. Mutation model: NN = RR + CC, and SS + NN falls short of the
  // codon's share of 3 by its mutations to stop codons.
  std::vector<double> SS, NN, RR, CC;
  // Per sequence. Neighbour model: N and C are derived from the totals S and R,
  // not summed. Mutation model: all four summed over the codons.
  std::vector<double> S, N, R, C;

  // Every value 0, for n sequences of L codons.
  static SiteTotals zeros(int n, int L) {
    SiteTotals t;
    t.seqNum = n;
    t.seqLength = L;
    for (auto* v : {&t.SS, &t.NN, &t.RR, &t.CC}) v->assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(L), 0.0);
    for (auto* v : {&t.S, &t.N, &t.R, &t.C}) v->assign(static_cast<std::size_t>(n), 0.0);
    return t;
  }

  double at(const std::vector<double>& v, int seq, int codon) const {
    return v[static_cast<std::size_t>(seq) * seqLength + codon];
  }
};

// Neighbour model: correction 0 takes the synonymous sites from the uncorrected
// table; any other value keeps the weighted ones. The radical/conservative split
// is always weighted. Mutation model: see sites/mutation_sites.h.
SiteTotals countSites(const Alignment& alignment, const CodonData& codons, double ratio, int correction,
                      const GroupTable& indexs, const GeneticCode& code, SiteModel model = SiteModel::kNeighbour);

}  // namespace radcon
