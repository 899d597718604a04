// Weighted site model: how much of a codon's single-nucleotide neighbourhood leads
// to a synonymous, nonsynonymous, radical or conservative change. Each of the nine
// neighbours is weighted by its codon frequency and the Ts/Tv parameter, and shares
// its position with the other two changes there, by Ts/Tv and by stop codons.
#pragma once

#include "common/groups.h"

namespace radcon {

// The four functions differ only in which neighbours they count. ratio is the
// Ts/Tv parameter (the Ka/Ks ratio plays no part in the sites); (u0, v0, w0) are
// the codon's nucleotide indices; frequencyAll holds at least 64 positive entries.
double synonymousNew(double ratio, int u0, int v0, int w0, const double* frequencyAll);
double nonsynonymousNew(double ratio, int u0, int v0, int w0, const double* frequencyAll);
double radical(double ratio, int u0, int v0, int w0, const double* frequencyAll, const GroupTable& indexs);
double conserve(double ratio, int u0, int v0, int w0, const double* frequencyAll, const GroupTable& indexs);

}  // namespace radcon
