// Synonymous sites of a codon from the Ts/Tv parameter alone, with every
// neighbour weighted equally: a fixed formula in kappa for each codon.
#pragma once

namespace radcon {

// frequencyAll is accepted and never read.
double synonymous(double ratio, int a, int b, int c, const double* frequencyAll);

}  // namespace radcon
