// The transition/transversion ratio estimated from the alignment itself, for
// users who do not know it: the site counts, and with them dR against dC, depend
// on it.
//
// Method. At fourfold-degenerate sites (a column where both codons of a pair
// belong to the same family of four codons, sharing the first two positions,
// that all make one amino acid under the genetic code) every change at the third
// position is synonymous, so transitions and transversions there follow the
// mutation process alone. Their pattern between two sequences is modelled by
// HKY85 (Hasegawa, Kishino and Yano 1985, J Mol Evol 22:160-174): the rate to
// base j is pi_j, times kappa for a transition. The expected shares of purine
// transitions, pyrimidine transitions and transversions at distance t are those
// of Tamura and Nei (1993, Mol Biol Evol 10:512-526) with kappaR = kappaY, and
// with rates that vary across codons as a gamma distribution of shape alpha
// every exp(-lambda t) becomes (1 + lambda t / alpha)^-alpha (Jin and Nei 1990,
// Mol Biol Evol 7:82-102; Yang 1993, Mol Biol Evol 10:1396-1401). With equal base
// frequencies and no rate variation it is Kimura's (1980, J Mol Evol 16:111-120)
// two-parameter model.
//
// kappa is the value that maximises the pairwise composite likelihood (Lindsay
// 1988, Contemp Math 80:221-239): the sum over pairs of each pair's likelihood,
// every pair with its own distance, maximised for each kappa. Base frequencies
// are those of the third positions of fourfold codons. This is the codon
// models' rate ratio (Goldman and Yang 1994, Mol Biol Evol 11:725-736; Yang and
// Nielsen 2000, Mol Biol Evol 17:32-43); radcon's typed Ts/Tv is kappa / 2.
//
// Saturation. Multiple hits hide transitions first, so distant pairs, and the
// fast columns within any pair, pull a pairwise estimate down; modelling rate
// variation takes most of that back, and only pairs that differ at no more than
// 15 % of their fourfold sites enter (when none does, the closest pairs, each
// sequence in at most one, with a note). The gamma shape is not estimated:
// pairs alone hardly tell it from kappa (a free shape gave estimates spread over
// an order of magnitude on simulated genes of 8 x 300 codons). Shape 1 is a
// moderate amount of variation; the nearer the pairs, the less the assumed
// shape matters (on simulated genes with equal rates the median estimate is 10 %
// too high with pairs up to 15 % apart, 21 % with pairs up to 25 %; with shape
// 0.5, 11 % and 14 % too low: bench/README.md).
//
// Uncertainty: a delete-one-group jackknife over ten blocks of codon columns
// (Efron 1982, The jackknife, the bootstrap and other resampling plans, SIAM),
// which holds although pairs share branches; the interval is the estimate
// times exp(+-1.96 se).
//
// Cost: at most maxSequences sequences are compared (a sample chosen by the
// content of the sequences, so the result does not depend on their order), every
// pair of them once over the codons: maxSequences^2 / 2 x codons steps, then a
// fit whose cost grows with the pairs alone (about a second at 2,000 x 1,000).
// No threads, no random numbers, a fixed number of search steps: the same input
// gives the same bits wherever the maths library rounds exp and log alike.
//
// Fallback: with fewer than minDifferences differences at fourfold sites, or no
// transition or no transversion among them, there is nothing to estimate from;
// the result is then 0.5 (no bias) and says so.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codon/genetic_code.h"

namespace radcon {

// Which sequences were compared and which of their pairs entered the fit.
struct TsTvSelection {
  std::vector<int> sequences;     // in the order their pairs are listed
  std::vector<std::size_t> pairs;  // (0,1), (0,2), ..., (1,2), ... over 'sequences'
  bool closestOnly = false;        // no pair was within the limit: the closest ones
};

struct TsTvEstimate;

struct TsTvOptions {
  int maxSequences = 32;        // sequences compared, at most (a pair needs 2)
  double maxDivergence = 0.15;  // pairs beyond this share of differing fourfold sites stay out
  double gammaShape = 1.0;      // rate variation across codons; 0: none
  int minDifferences = 10;      // fewer differences at fourfold sites: the fallback
  int jackknifeGroups = 10;     // blocks of codon columns for the standard error
  // A jackknife of a whole analysis: the whole alignment's estimate. A part
  // then fits the sequences and pairs the whole chose, and where it has too
  // little left to estimate from (say its last transversions lay in the block
  // left out) it takes the whole's value, not the fallback; where the whole fell
  // back, so does every part.
  // Chosen afresh, a pair near the divergence limit would enter some parts and
  // not others, and a part could jump to no bias; such jumps, which the whole
  // never makes, inflated the jackknife's variance (where the estimate rested
  // on a few transversions, the error of dR ran to three times the error with
  // the Ts/Tv known).
  const TsTvEstimate* whole = nullptr;
};

struct TsTvEstimate {
  bool estimated = false;  // false: typed holds the fallback 0.5
  double typed = 0.5;      // Ts/Tv on radcon's typed scale, kappa / 2
  double kappa = 1.0;      // HKY85 / codon-model rate ratio, 2 x typed
  double seLog = 0;        // standard error of ln(typed) (NaN when not estimated)
  double lower = 0, upper = 0;  // 95 % interval of typed (NaN when not estimated)
  int sequences = 0;          // sequences compared
  int pairs = 0;              // pairs whose fourfold sites entered the fit
  std::int64_t sites = 0;     // fourfold sites summed over those pairs
  std::int64_t transitions = 0, transversions = 0;  // their differences
  std::string note;  // one line for the user; empty when there is nothing to say
  TsTvSelection selection;  // what was compared (empty when there were fewer than two sequences)
};

// Estimates the ratio from the codon indices of every sequence, [seq * seqLength
// + codon] (0..63, as CodonData::codon holds them).
TsTvEstimate estimateTsTv(std::span<const std::uint8_t> codons, int seqNum, int seqLength, const GeneticCode& code,
                          const TsTvOptions& options = {});

}  // namespace radcon
