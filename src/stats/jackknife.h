// Jackknife standard errors and tests for the means over groups of pairs: the
// whole analysis again without each block of consecutive codon columns in turn
// (the delete-a-group jackknife; Quenouille 1956, Tukey 1958; Kott 2001, J Off
// Stat 17:521-526 for its t reference with groups - 1 degrees of freedom).
//
// Why another error beside the analytic one: the analytic errors take the
// sites of every codon as known, but the codon frequencies that weigh them, and
// an estimated Ts/Tv ratio, come from the same codons as the differences, and
// on simulated genes that leaves the errors of mean dR - mean dC some 5-18 %
// short (the share of neutral genes rejected at 5 % up to 10 %). Each block left
// out here is analysed from its own frequencies, sites and Ts/Tv estimate, so
// all of that moves with the data (the estimate from the pairs the whole's took:
// TsTvOptions::whole).
#pragma once

#include <cmath>
#include <vector>

#include "common/kinds.h"
#include "stats/difference_tests.h"

namespace radcon {

// Blocks of consecutive codon columns [first, end): 'blocks' of them (at most
// one a codon), sizes differing by one at most, the longer ones last.
struct CodonBlock {
  int first, end;
};
std::vector<CodonBlock> codonBlocks(int codons, int blocks);

// The two-sided p of Student's t with df degrees of freedom: the regularized
// incomplete beta function I_x(df/2, 1/2) at x = df / (df + t^2) (continued
// fraction, Press et al., Numerical Recipes, 2007, 6.4). NaN for NaN t.
double studentTwoSidedP(double t, double df);

struct JackknifeRow {
  int blocks = 0;
  double seD[kKinds] = {NAN, NAN, NAN, NAN};  // of the mean distances
  NormalTest dNdS{NAN, NAN}, dRdC{NAN, NAN};  // z: the whole difference over its jackknife error; p from t
  // With an expected ratio: the dR/dC the group would show if radical and
  // conservative changes were kept alike, and the test is of mean dR against
  // it times mean dC.
  bool expected = false;  // the test is against expectedRC (NaN: no test)
  double expectedRC = NAN;
  double expectedOmega = NAN;      // the gene's omega behind it (NaN: none fitted)
  long long expectedPairsOut = 0;  // pairs of the test without an expectation (past saturation, no sites
                                   // of a kind, expected past the Jukes-Cantor limit; all where none was fitted)
};

// whole: the rows of the whole alignment; leftOut[b]: those without block b, in
// the same order. se^2 = (B - 1) / B x sum over blocks of (value_b - mean)^2;
// NaN where any replicate's value is undefined; no test (NaN) where the spread of
// the difference is 0 or within rounding of it. p is at least kPValueFloor.
// expectedRC (one a group, or null: 1): the dR-dC test's difference is mean dR -
// expectedRC x mean dC; partExpectedRC[b] (null: the whole's ratio in every
// part), the ratio of the part without block b. The expected ratio moves with
// the data the means come from (the Ts/Tv estimate, the codon frequencies), so
// held at the whole's value it left the parts' differences spread wider than
// the whole's difference varies: on 400 genes of one deep tree the SD of z
// under the null was 0.86, and 0.91 with each part's own ratio.
std::vector<JackknifeRow> jackknifeRows(const std::vector<GroupMean>& whole,
                                        const std::vector<std::vector<GroupMean>>& leftOut,
                                        const std::vector<double>* expectedRC = nullptr,
                                        const std::vector<std::vector<double>>* partExpectedRC = nullptr);

}  // namespace radcon
