#include "stats/profile.h"

#include <gtest/gtest.h>

#include <cmath>

#include "codon/frequency.h"
#include "differences/pairwise.h"
#include "input/group_file.h"
#include "input/sequence_file.h"
#include "sites/site_totals.h"

#include "../synthetic.h"

namespace radcon {
namespace {

TEST(ProfileWindows, StepAlongTheGeneAndEndAtItsLastCodon) {
  const auto starts = [](int L, int W, int S) {
    std::vector<std::pair<int, int>> v;
    for (const ProfileWindow& w : profileWindows(L, W, S)) v.emplace_back(w.start, w.end);
    return v;
  };
  using V = std::vector<std::pair<int, int>>;
  EXPECT_EQ(starts(10, 4, 3), (V{{0, 4}, {3, 7}, {6, 10}}));
  EXPECT_EQ(starts(10, 4, 4), (V{{0, 4}, {4, 8}, {6, 10}}));  // one more window reaches the last codon
  EXPECT_EQ(starts(3, 30, 10), (V{{0, 3}}));                  // shorter than a window: the whole gene
  EXPECT_EQ(starts(3, 1, 1), (V{{0, 1}, {1, 2}, {2, 3}}));    // a row per codon
  EXPECT_EQ(starts(9, 2, 5), (V{{0, 2}, {5, 7}, {7, 9}}));    // steps longer than windows leave codons out
}

TEST(ProfileWindows, BenjaminiHochbergByHand) {
  // Ranked 0.01, 0.03, 0.04, 0.5 of m = 4: p m / rank = 0.04, 0.06, 0.0533, 0.5;
  // the least from each rank on.
  const std::vector<double> q = benjaminiHochberg({0.04, 0.01, NAN, 0.5, 0.03});
  EXPECT_DOUBLE_EQ(q[1], 0.04);
  EXPECT_DOUBLE_EQ(q[4], 0.16 / 3);
  EXPECT_DOUBLE_EQ(q[0], 0.16 / 3);
  EXPECT_DOUBLE_EQ(q[3], 0.5);
  EXPECT_TRUE(std::isnan(q[2]));
  EXPECT_DOUBLE_EQ(benjaminiHochberg({0.9, 0.8})[0], 0.9);  // never above 1, never below a later rank's
}

// A window's row is, by definition, the means of a gene made of the window's
// codons alone: each sequence's sites and each pair's differences there.
TEST(Profile, EachWindowIsTheMeansOfItsCodonsAlone) {
  const Alignment al = parseSequenceText(test::syntheticAlignment(11, 40, 0.2, 3));
  const GroupTable charge = parseGroupText("3\n3 RHK\n2 DE\n", "charge");
  const CodonData codons = translateAndCount(al, standardCode());
  const std::vector<int> cladeOf = {0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2};
  const int n = al.seqNum, L = al.seqLength;
  for (const SiteModel model : {SiteModel::kNeighbour, SiteModel::kMutation}) {
    SCOPED_TRACE(model == SiteModel::kMutation ? "mutation" : "neighbour");
    const SiteTotals sites = countSites(al, codons, 3.0, 1, charge, standardCode(), model);
    const StepRates rates = runStepRates(codons, n, L, 3.0, 1.0, charge, standardCode(), model);
    const PairDifferences counted = countPairs(codons, L, allPairs(n), rates, charge, standardCode());

    ProfileAccumulator acc(sites, model, cladeOf, 3, profileWindows(L, 12, 7));
    ProfileAccumulator::Batch batch;
    for (std::size_t first = 0; first < counted.pairs.size(); first += 24) {  // batches of 24 pairs
      const std::size_t count = std::min<std::size_t>(24, counted.pairs.size() - first);
      const std::vector<SeqPair> pairs(counted.pairs.begin() + first, counted.pairs.begin() + first + count);
      std::array<PairCodonTable, kKinds> tables;
      for (int k = 0; k < kKinds; ++k) {
        tables[k].reset(count, L);
        for (std::size_t a = 0; a < count; ++a)
          for (int c = 0; c < L; ++c) tables[k].at(a, c) = counted.perCodon[k].at(first + a, c);
      }
      acc.prepare(pairs, tables, first % 48 ? codons.codon.data() : nullptr, batch);  // with the codons and without
      acc.add(batch);
    }
    const std::vector<ProfileRow> rows = acc.rows();
    const std::size_t nw = acc.windows().size();
    ASSERT_EQ(rows.size(), 7 * nw);  // three clades, three pairs of them, every pair

    for (std::size_t w = 0; w < nw; ++w) {
      const ProfileWindow win = acc.windows()[w];
      const int W = win.end - win.start;
      SiteTotals cut = SiteTotals::zeros(n, W);
      for (int s = 0; s < n; ++s) {
        for (int c = 0; c < W; ++c) {
          const std::size_t from = static_cast<std::size_t>(s) * L + win.start + c, to = static_cast<std::size_t>(s) * W + c;
          cut.SS[to] = sites.SS[from], cut.NN[to] = sites.NN[from], cut.RR[to] = sites.RR[from], cut.CC[to] = sites.CC[from];
          cut.S[s] += cut.SS[to], cut.R[s] += cut.RR[to], cut.N[s] += cut.NN[to], cut.C[s] += cut.CC[to];
        }
        if (model == SiteModel::kNeighbour) cut.N[s] = 3.0 * W - cut.S[s], cut.C[s] = cut.N[s] - cut.R[s];
      }
      PairDifferences d;
      d.pairs = counted.pairs;
      for (int k = 0; k < kKinds; ++k) {
        d.total[k].assign(d.pairs.size(), 0.0);
        d.perCodon[k].reset(d.pairs.size(), W);
        for (std::size_t a = 0; a < d.pairs.size(); ++a)
          for (int c = 0; c < W; ++c) d.total[k][a] += d.perCodon[k].at(a, c) = counted.perCodon[k].at(a, win.start + c);
      }
      std::array<std::vector<double>, kKinds> diffs = d.total;
      const PairStatistics st = computeStatistics(cut, d);
      const std::vector<GroupMean> expected = groupMeans(st, cladeOf, 3);
      for (std::size_t g = 0; g < expected.size(); ++g) {
        SCOPED_TRACE("window " + std::to_string(w) + ", group " + std::to_string(g));
        const ProfileRow& row = rows[g * nw + w];
        const GroupMean& e = expected[g];
        ASSERT_EQ(row.window, w);
        EXPECT_EQ(row.mean.clade1, e.clade1);
        EXPECT_EQ(row.mean.pairs, e.pairs);
        EXPECT_EQ(row.mean.undefinedNS, e.undefinedNS);
        EXPECT_EQ(row.mean.undefinedRC, e.undefinedRC);
        const auto near = [](double a, double b) {
          if (std::isnan(b)) return std::isnan(a);
          return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
        };
        for (int k = 0; k < kKinds; ++k) {
          EXPECT_PRED2(near, row.mean.p[k], e.p[k]) << k;
          EXPECT_PRED2(near, row.mean.d[k], e.d[k]) << k;
          EXPECT_PRED2(near, row.mean.seD[k], e.seD[k]) << k;
        }
        EXPECT_PRED2(near, row.mean.dNdS.z, e.dNdS.z);
        EXPECT_PRED2(near, row.mean.dRdC.z, e.dRdC.z);
        EXPECT_PRED2(near, row.mean.dRdC.p, e.dRdC.p);
        if (g + 1 == expected.size()) {  // every pair: the mean sites and differences per pair
          double sumR = 0, sitesS = 0;
          for (std::size_t a = 0; a < d.pairs.size(); ++a) {
            sumR += diffs[kRadical][a];
            sitesS += (cut.S[d.pairs[a].i] + cut.S[d.pairs[a].j]) / 2;
          }
          EXPECT_PRED2(near, row.diffs[kRadical], sumR / d.pairs.size());
          EXPECT_PRED2(near, row.sites[kSynonymous], sitesS / d.pairs.size());
        }
      }
    }
    // Per codon, the differences of every pair add up to the pairs' totals.
    double perCodon = 0, totals = 0;
    for (double v : acc.codonDifferences(kConservative)) perCodon += v;
    for (double v : counted.total[kConservative]) totals += v;
    EXPECT_NEAR(perCodon * counted.pairs.size(), totals, 1e-9 * totals);
  }
}

}  // namespace
}  // namespace radcon
