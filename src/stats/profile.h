// Profiles along the gene: the means over groups of pairs of --means, restricted
// to windows of codon columns. Within a window each pair's proportions and
// distances come from its own sites and differences in the window, and the
// means, their covariance-aware standard errors and the tests of dN against dS
// and of dR against dC are those of the whole gene (difference_tests.h) taken
// over the window's codons alone.
//
// The per-codon sums behind the errors, sum over pairs a of w_a (x_a,k - (X_ik +
// X_jk) p_a / 2), are gathered in two parts: the differences, which are sparse
// (a pair differs at few codons), into codon sums of each window; the sites'
// part, which every codon of every pair has, as one coefficient per sequence
// and window (the pairs' w_a p_a / 2 summed over the pairs a sequence is in),
// multiplied out with the sites at the end. Memory: groups x (windows x window
// x a few values + sequences in the group x windows x 8 values), whatever the
// number of pairs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/kinds.h"
#include "common/site_models.h"
#include "differences/pair_table.h"
#include "sites/site_totals.h"
#include "stats/difference_tests.h"
#include "stats/pair_groups.h"

namespace radcon {

// Codon columns [start, end), from 0.
struct ProfileWindow {
  int start = 0, end = 0;
};

// Windows of 'window' codons every 'step' codons from the first; where they do
// not reach the last codon, one more window ends there. An alignment shorter
// than a window is one window.
std::vector<ProfileWindow> profileWindows(int codons, int window, int step);

// Benjamini and Hochberg's (1995) q-values of p-values (NaN where p is not a
// number, and left out of the others' count): the least p_(j) m / j from each
// rank on, at most 1.
std::vector<double> benjaminiHochberg(const std::vector<double>& p);

// One window of one group of pairs.
struct ProfileRow {
  std::size_t window = 0;  // index into the windows
  // pairs, the undefined counts, the means of the proportions and distances,
  // the distances' standard errors (seP is not formed: NaN) and the two tests.
  GroupMean mean;
  // Per pair of the group (every pair, defined or not): the mean sites and
  // differences in the window, by kind.
  double sites[kKinds] = {}, diffs[kKinds] = {};
  // Standard errors of the ratios mean dN / mean dS and mean dR / mean dC, to
  // first order, with the covariance of the two means.
  double seRatio[2] = {NAN, NAN};
  // Benjamini-Hochberg q of the two tests over the windows of the group.
  double q[2] = {NAN, NAN};
};

// The sums of a gene's profile, pairs added in batches.
class ProfileAccumulator {
 public:
  // What a worker thread makes of a batch of pairs, for add() on the calling
  // thread: each group's sums over the batch's pairs. Its storage is kept from
  // batch to batch.
  struct Batch {
    std::vector<int> slotOfGroup;  // by group: its slot, or -1 when no pair of the batch is in it
    std::vector<int> groupOfSlot;
    std::vector<std::vector<double>> scalars;  // by slot: [window][field]
    std::vector<std::vector<double>> codon;    // by slot: [codon of a window][field]
    std::vector<std::vector<int>> seqRow;      // by slot and sequence: its row of coefficients, or -1
    std::vector<std::vector<int>> seqOfRow;    // by slot: the sequences of its rows
    std::vector<std::vector<double>> coefficients;  // by slot: [row][window][field]
    std::vector<double> codonDiffs;            // [codon][kind], every pair of the batch
    std::vector<double> pairWindows;           // one pair's values in each window
    std::vector<int> changed;                  // one pair's codons with differences
    std::vector<double> changedValues;         // and its differences there, by kind
    std::size_t pairs = 0;
  };

  ProfileAccumulator(const SiteTotals& sites, SiteModel model, const std::vector<int>& cladeOf, int clades,
                     std::vector<ProfileWindow> windows);
  ~ProfileAccumulator();
  ProfileAccumulator(const ProfileAccumulator&) = delete;
  ProfileAccumulator& operator=(const ProfileAccumulator&) = delete;

  // The batch's pairs' values in each window, from their per-codon differences
  // as counted (by kind, the pairs' rows of the tables); 'codons', when given,
  // the sequences' codons ([seq * codons + codon]), where two equal codons show
  // where a pair has no difference. Safe from several threads at once.
  void prepare(const std::vector<SeqPair>& pairs, const std::array<PairCodonTable, kKinds>& codonDifferences,
               const std::uint8_t* codons, Batch& out) const;
  // Adds a prepared batch; batches in pair order give the same values on any
  // number of threads.
  void add(const Batch& batch);

  const std::vector<ProfileWindow>& windows() const { return windows_; }
  // Rows by group (within clades, between clades, every pair: as --means), each
  // group's windows in order.
  std::vector<ProfileRow> rows() const;
  // Per codon, the mean differences of a kind per pair, over every pair.
  std::vector<double> codonDifferences(Kind kind) const;

 private:
  struct Group;
  const SiteTotals& sites_;
  PairGroups groups_;
  std::vector<ProfileWindow> windows_;
  std::vector<std::size_t> codonOffset_;      // by window: where its codons start in a codon array
  std::size_t windowCodons_ = 0;              // codons of every window together
  std::vector<int> firstWindow_, lastWindow_;  // by codon: the windows that hold it, [first, last]
  std::vector<double> windowSites_;           // [seq][window][kind]
  std::vector<Group> group_;
  std::vector<double> codonDiffs_;            // [codon][kind], every pair
  std::size_t pairs_ = 0;
};

}  // namespace radcon
