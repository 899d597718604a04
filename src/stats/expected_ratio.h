// What dR/dC a gene would show if radical and conservative changes were kept
// alike, at the divergence of each of its pairs.
//
// The sites make the expected radical and conservative differences equal per
// site only while each codon has changed at most once. Beyond that, the two
// kinds saturate at their own pace: how often a second change at a position
// undoes or re-classes the first depends on which nucleotides the kind's sites
// sit on, so with a skewed composition the count of radical differences per
// site runs ahead of the conservative one (in simulated neutral pairs with a
// mitochondrion-like composition, dR/dC 1.16 at dS 0.12, 1.8 at 0.43). The
// Jukes-Cantor correction treats both kinds alike and cannot undo that.
//
// Here the gene's own codon model (Goldman and Yang 1994, Mol Biol Evol
// 11:725-736): codon frequencies pooled over its sequences, the run's Ts/Tv
// ratio, one omega on amino-acid changes fitted so that the model's expected
// nonsynonymous differences over the pairs equal those counted, and rates that
// vary across codons as a gamma distribution of shape 1 (4 classes, Yang 1994,
// J Mol Evol 39:306-314), the shape the Ts/Tv estimate assumes. Each pair's
// divergence t is where the model's expected synonymous proportion equals the
// pair's; its expected radical and conservative proportions at t are those of
// the same counting (the run's pathway weights) applied to the model's codon
// pairs, P(t) = exp(Qt) from the eigen-decomposition of the reversible Q.
// A pair whose synonymous proportion lies beyond any the model expects (past
// saturation) cannot be placed, and the model's expected distances of a pair
// near saturation may be undefined: such pairs tell neither omega nor the
// ratio. Without a nonsynonymous difference, or where no omega meets the
// counts, nothing is expected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codon/frequency.h"
#include "codon/genetic_code.h"
#include "common/groups.h"
#include "differences/pairwise.h"

namespace radcon {

// What one pair contributes: its mean sites and its counted proportions.
struct ExpectedRatioPair {
  double sitesS, sitesN, sitesR, sitesC;
  double pS, pN;
};

// What a jackknife's parts take from the whole gene's model: its omega, and its
// eigenvectors, from which a part's decomposition starts (a part's model is
// near the whole's, so a few rotations finish it).
struct ExpectedModel {
  double omega = 0.0;
  std::vector<double> eigenvectors;
  std::vector<std::uint8_t> pairs;  // by pair: 1 where the whole had an expectation, the pairs a part's ratio takes
};

struct ExpectedDistances {
  bool fitted = false;  // false: no pair with synonymous and nonsynonymous sites
  double omega = 0.0;   // the fitted (or given) omega
  std::vector<double> eigenvectors;  // of the model at that omega (see ExpectedModel)
  std::vector<double> dR, dC;  // by pair: the expected Jukes-Cantor distances (NaN where undefined)
  std::size_t beyondReach = 0;  // pairs more diverged at synonymous sites than the model ever expects
};

// codonCounts: how often each codon (index 0..63) occurs over all sequences;
// pathwayFrequency: the frequency table the pathways were weighed with (the
// mean of the sequences' tables); rates: the run's step rates (their ratio is
// the model's kappa); seqLength: codons a sequence. whole: a jackknife's part,
// which holds the whole gene's omega (one model a part instead of a search) and
// tabulates only as far as its pairs need.
ExpectedDistances expectedDistances(const std::vector<ExpectedRatioPair>& pairs, int seqLength,
                                    const std::vector<double>& codonCounts, const FrequencyTable& pathwayFrequency,
                                    const StepRates& rates, const GroupTable& groups, const GeneticCode& code,
                                    const ExpectedModel* whole = nullptr);

// The eigen-decomposition of a symmetric n x n matrix (row-major, destroyed):
// eigenvalues in 'values', eigenvectors in the columns of 'vectors' (cyclic
// Jacobi rotations; Golub and Van Loan 2013, 8.5). start: an orthogonal
// n x n matrix near the eigenvectors (a nearby matrix's): the rotations begin
// from it, so a few sweeps do.
void symmetricEigen(std::vector<double>& matrix, int n, std::vector<double>& values, std::vector<double>& vectors,
                    const std::vector<double>* start = nullptr);

}  // namespace radcon
