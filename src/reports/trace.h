// The trace lines of the site count: one line per codon on standard output.
#pragma once

#include <cstdio>

#include "sites/site_totals.h"

namespace radcon {

// The trace line "%d %d %f\n" (sequence, codon, radical sites) of every codon,
// sequence by sequence, through one buffered stream.
void writeTraceLines(const SiteTotals& sites, std::FILE* out);

}  // namespace radcon
