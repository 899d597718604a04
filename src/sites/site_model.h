// Weighted site model: how much of a codon's single-nucleotide neighbourhood leads
// to a synonymous, nonsynonymous, radical or conservative change. Each of the nine
// neighbours is weighted by its codon frequency and the Ts/Tv parameter, and shares
// its position with the other two changes there, by Ts/Tv and by stop codons.
#pragma once

#include "codon/genetic_code.h"
#include "common/groups.h"

namespace radcon {

// The four functions differ only in which neighbours they count. ratio is the
// Ts/Tv parameter (the Ka/Ks ratio plays no part in the sites); (u0, v0, w0) are
// the codon's nucleotide indices; frequencyAll holds at least 64 positive entries;
// code decides which neighbours are stop codons and which amino acids they make.
double synonymousNew(double ratio, int u0, int v0, int w0, const double* frequencyAll, const GeneticCode& code);
double nonsynonymousNew(double ratio, int u0, int v0, int w0, const double* frequencyAll, const GeneticCode& code);
double radical(double ratio, int u0, int v0, int w0, const double* frequencyAll, const GroupTable& indexs,
               const GeneticCode& code);
double conserve(double ratio, int u0, int v0, int w0, const double* frequencyAll, const GroupTable& indexs,
                const GeneticCode& code);

// The synonymous shares of a codon with every weight equal to 1 (0 for a stop
// codon): the rule behind the uncorrected synonymous sites.
double synonymousShares(double ratio, int u0, int v0, int w0, const GeneticCode& code);

}  // namespace radcon
