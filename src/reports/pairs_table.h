// A tab-separated table with one row per pair of sequences, named: what users
// load into R or pandas to compare genes.
#pragma once

#include <string>
#include <vector>

#include "differences/pairwise.h"
#include "reports/text_buffer.h"
#include "stats/statistics.h"

namespace radcon {

// The header row's column names.
const std::vector<std::string>& pairsTableColumns();

// A header row of tab-separated column names.
void appendHeader(TextBuffer& out, const std::vector<std::string>& columns);

// One row per pair of the statistics, in their order: the gene (the alignment's
// file name without folder and extensions), both names, the pair's mean sites,
// the differences, the proportions, their Jukes-Cantor distances, the standard
// errors of both, the ratios dN/dS and dR/dC, the number of the genetic code, and
// the tests of dN against dS and of dR against dC (the covariance of the two
// observed distances; z against the variance of their difference under the null
// hypothesis, and the two-sided p), the Ts/Tv ratio used (typed scale) and the
// site model. Undefined values are NA.
void appendPairsRows(TextBuffer& out, const std::string& gene, const std::vector<std::string>& names,
                     const PairDifferences& differences, const PairStatistics& stats, int geneticCode, double tstv,
                     const char* siteModel);

}  // namespace radcon
