// A tab-separated table of means over groups of pairs (within clades, between
// clades, every pair), with covariance-aware standard errors and the tests of mean
// dN against mean dS and of mean dR against mean dC.
#pragma once

#include <string>
#include <vector>

#include "reports/text_buffer.h"
#include "stats/bootstrap.h"
#include "stats/difference_tests.h"
#include "stats/jackknife.h"

namespace radcon {

// The columns; with 'bootstrap', the bootstrap's after the analytic ones, then
// with 'jackknife' the jackknife's, then with 'expected' the expected dR/dC its
// test takes.
std::vector<std::string> meansTableColumns(bool bootstrap = false, bool jackknife = false, bool expected = false);

// The rows of one alignment: the gene first; labels names the clades, the group of
// every pair is "all". pairs counts every pair of the group; pairs_undefined_dN_dS
// those left out of the S and N means and their test (dN or dS undefined),
// pairs_undefined_dR_dC those left out of R, C and theirs. Undefined values are NA.
// The Ts/Tv ratio a gene was analysed with (typed scale), and the 95 % interval
// of its estimate (NaN when it was typed or could not be estimated).
struct TsTvUsed {
  double value, lower, upper;
};

// The cells of the ratios of the means and of their two tests, as both the means
// and the profile tables write them: dN_dS, dR_dC, z_dN_dS, p_dN_dS, z_dR_dC, p_dR_dC.
void appendTestCells(TextBuffer& out, const GroupMean& row);

// Then the Ts/Tv ratio used and the site model. With 'bootstrap' or 'jackknife',
// one row of it per group, in the same order; with 'expected', the jackknife
// rows' expected dR/dC too.
void appendMeansRows(TextBuffer& out, const std::string& gene, const std::vector<GroupMean>& rows,
                     const std::vector<std::string>& labels, const TsTvUsed& tstv, const char* siteModel,
                     const std::vector<BootstrapRow>* bootstrap = nullptr,
                     const std::vector<JackknifeRow>* jackknife = nullptr, bool expected = false);

}  // namespace radcon
