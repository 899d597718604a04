// Weighted site model: how much of a codon's single-nucleotide neighbourhood leads
// to a synonymous, nonsynonymous, radical or conservative change. Each of the nine
// neighbours is weighted by its codon frequency and the Ts/Tv parameter, and shares
// its position with the other two changes there, by Ts/Tv and by stop codons.
#pragma once

#include "input/group_file.h"

namespace radcon {

// The four functions differ only in which neighbours they count. ratio is the
// Ts/Tv parameter; KaKsRatio is accepted and changes nothing; (u0, v0, w0) are the
// codon's nucleotide indices; frequencyAll holds at least 64 positive entries.
double synonymousNew(double ratio, double KaKsRatio, int u0, int v0, int w0, const double* frequencyAll);
double nonsynonymousNew(double ratio, double KaKsRatio, int u0, int v0, int w0, const double* frequencyAll);
double radical(double ratio, double KaKsRatio, int u0, int v0, int w0, const double* frequencyAll,
               const GroupTable& indexs);
double conserve(double ratio, double KaKsRatio, int u0, int v0, int w0, const double* frequencyAll,
                const GroupTable& indexs);

}  // namespace radcon
