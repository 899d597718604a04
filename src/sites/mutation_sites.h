// The mutation site model: how many of a codon's mutations lead to synonymous,
// radical and conservative changes, each mutation weighed once by the frequency
// of the codon it leads to and by the Ts/Tv parameter. Mutations to a stop codon
// are lost: they count as no kind, so a codon next to stop codons has fewer than
// three sites. One scale per sequence, not per codon, makes the mutations of a
// sequence of L codons total 3L sites.
//
// Under this model and equal selection on radical and conservative changes, the
// expected radical and conservative substitutions stand in the ratio of the
// expected radical and conservative sites, so pR / pC has expectation 1 (the
// nonsynonymous and synonymous likewise, times the Ka/Ks ratio).
#pragma once

#include "codon/frequency.h"
#include "codon/genetic_code.h"
#include "common/alignment.h"
#include "common/groups.h"

namespace radcon {

struct SiteTotals;

// The summed mutation weights of one codon's nine single-nucleotide neighbours:
// the weight of the mutation to neighbour j is f_j x (kappa for a transition, 1
// for a transversion). total includes the mutations to stop codons, which no
// kind counts. A stop codon's stop neighbours are synonymous and its sense
// neighbours radical, as the step classifiers have it.
struct MutationWeights {
  double synonymous = 0, radical = 0, conservative = 0, total = 0;
};

// frequency: 64 or more entries by codon index, or nullptr for every frequency
// equal (the uncorrected sites). kappa is the run's Ts/Tv parameter.
MutationWeights mutationWeights(int codon, double kappa, const double* frequency, const GroupTable& groups,
                                const GeneticCode& code);

// Every codon's sites under the mutation model: SS, RR and CC are its weights over
// the sequence's scale c = (sum of the totals of its L codons) / 3L, NN = RR + CC;
// each sequence total is the sum over its codons in codon order. correction 0
// takes every codon frequency as equal, any other value the sequence's own table.
SiteTotals mutationSites(const Alignment& alignment, const CodonData& codons, double ratio, int correction,
                         const GroupTable& groups, const GeneticCode& code);

}  // namespace radcon
