// Classification and relative rate of one single-nucleotide step between codons.
// Every nucleotide index is 0..3 here: the codons are the alignment's own or
// their single-step neighbours.
#pragma once

#include "codon/genetic_code.h"
#include "common/site_models.h"

namespace radcon {

// 1 when one nucleotide index is a pyrimidine (T, C) and the other a purine (A, G);
// 0 otherwise, also for any value outside 0..3.
int IsTransVersion(int x1, int x2);
// 1 when any of the three position pairs is a transversion.
int HasTransVersion(int x1, int y1, int z1, int x2, int y2, int z2);
// 1 when both codons have the same amino-acid index (two stops count as synonymous).
int SynonymousChange(int x1, int y1, int z1, int x2, int y2, int z2, const GeneticCode& code);
// 1 when the group numbers of the two amino acids differ; a stop is in no group.
int IsRadical(int x1, int y1, int z1, int x2, int y2, int z2, const int* indexs, const GeneticCode& code);

// Relative rate of the step from the first codon to the second: Pi2 the frequency
// of the codon it leads to, ratio the Ts/Tv parameter, w the Ka/Ks parameter and r
// the radical/conservative ratio, whose square root favours radical steps.
// Neighbour model: a synonymous transition weighs ratio alone, every other step
// carries Pi2. Mutation model: every step is its mutation weight, Pi2 x (ratio
// for a transition), as the sites have it; times w sqrt(r) for a radical step and
// w / sqrt(r) for a conservative one.
double ComputeQab(int x1, int y1, int z1, int x2, int y2, int z2, double Pi2, double ratio, double w, double r,
                  const int* indexs, const GeneticCode& code, SiteModel model = SiteModel::kNeighbour);

}  // namespace radcon
