// Synonymous sites of a codon from the Ts/Tv parameter alone, with every
// neighbour weighted equally.
#pragma once

#include "codon/genetic_code.h"

namespace radcon {

// The standard code's fixed table: one formula in kappa for each codon.
double synonymous(double ratio, int a, int b, int c);

// The uncorrected sites under any code: the fixed table for a code that
// translates like the standard one (tables 1 and 11), else the same rule the table
// was made by, the shares of the site model with every weight 1.
double uncorrectedSynonymous(double ratio, int a, int b, int c, const GeneticCode& code);

}  // namespace radcon
