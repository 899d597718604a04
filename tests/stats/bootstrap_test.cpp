#include "stats/bootstrap.h"

#include <gtest/gtest.h>

#include <cmath>

#include "codon/frequency.h"
#include "differences/pairwise.h"
#include "input/group_file.h"
#include "input/sequence_file.h"
#include "stats/difference_tests.h"

#include "../synthetic.h"
#include "../unit_support.h"

namespace radcon {
namespace {

struct Gene {
  Alignment al;
  SiteTotals sites;
  PairDifferences diff;
  explicit Gene(const Alignment& a) : al(a) {
    const GroupTable charge = parseGroupText("3\n3 RHK\n2 DE\n", "charge");
    const CodonData codons = translateAndCount(al, standardCode());
    sites = countSites(al, codons, 3.0, 1, charge, standardCode());
    const double DrDc = al.seqNum < 2 ? 1.0 : radicalConservativeRatio(codons, al.seqNum, al.seqLength, charge, standardCode());
    diff = countPairs(codons, al.seqLength, allPairs(al.seqNum), {3.0, 1.0, DrDc}, charge, standardCode());
  }
  std::vector<BootstrapRow> boot(int B, std::uint64_t seed, std::size_t split) const {
    const PairGroups groups({}, 0);
    BootstrapMeans m(sites, groups, B, seed);
    // The pairs in two batches: the sums must not depend on how they come.
    for (auto [from, to] : {std::pair<std::size_t, std::size_t>{0, split}, {split, diff.pairs.size()}}) {
      std::vector<SeqPair> some(diff.pairs.begin() + static_cast<std::ptrdiff_t>(from),
                                diff.pairs.begin() + static_cast<std::ptrdiff_t>(to));
      std::array<PairCodonTable, kKinds> part;
      for (int k = 0; k < kKinds; ++k) {
        part[k] = PairCodonTable(some.size(), al.seqLength);
        for (std::size_t a = 0; a < some.size(); ++a)
          for (int c = 0; c < al.seqLength; ++c) part[k].at(a, c) = diff.perCodon[k].at(from + a, c);
      }
      std::vector<double> d;
      m.distances(some, part, d);
      m.add(some, d);
    }
    return m.rows();
  }
};

// Columns that are all alike: every replicate is the data itself.
TEST(Bootstrap, AlikeColumnsGiveNoSpreadAndTheSmallestP) {
  const Gene g(test::alignmentOf({"CTTCTT", "ATTATT"}));  // L to I twice: conservative under charge
  const std::vector<BootstrapRow> rows = g.boot(99, 7, 1);
  ASSERT_EQ(rows.size(), 1u);
  for (int k = 0; k < kKinds; ++k) EXPECT_NEAR(rows[0].seD[k], 0.0, 1e-12) << k;
  // dR - dC < 0 and dN - dS > 0 in all 99 replicates: p = 2 (1 + 0) / (1 + 99).
  EXPECT_DOUBLE_EQ(rows[0].pRC, 0.02);
  EXPECT_DOUBLE_EQ(rows[0].pNS, 0.02);
}

// The bootstrap's standard errors agree with the analytic ones, and the values
// depend on the seed alone.
TEST(Bootstrap, AgreesWithTheAnalyticErrorsAndRepeats) {
  const Gene g(parseSequenceText(test::syntheticAlignment(10, 400, 0.08, 11)));
  const std::vector<BootstrapRow> a = g.boot(400, 3, 7), b = g.boot(400, 3, 40);
  PairDifferences copy;
  copy.pairs = g.diff.pairs;
  copy.total = g.diff.total;
  for (int k = 0; k < kKinds; ++k) copy.perCodon[k] = g.diff.perCodon[k].clone();
  const PairStatistics st = computeStatistics(g.sites, copy);
  const GroupMean analytic = groupMeans(st, {}, 0).back();
  for (int k = 0; k < kKinds; ++k) {
    EXPECT_EQ(a[0].seD[k], b[0].seD[k]) << k;
    EXPECT_NEAR(a[0].seD[k] / analytic.seD[k], 1.0, 0.25) << k;
  }
  EXPECT_EQ(a[0].pRC, b[0].pRC);
  EXPECT_NE(g.boot(400, 4, 7)[0].seD[kRadical], a[0].seD[kRadical]);
}

}  // namespace
}  // namespace radcon
