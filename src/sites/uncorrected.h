// Synonymous sites of a codon from the Ts/Tv parameter alone, with every
// neighbour weighted equally: a fixed formula in kappa for each codon.
#pragma once

namespace radcon {

double synonymous(double ratio, int a, int b, int c);

}  // namespace radcon
