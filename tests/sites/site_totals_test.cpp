#include "sites/site_totals.h"

#include <gtest/gtest.h>

#include <random>

#include "codon/genetic_code.h"
#include "input/group_file.h"
#include "input/sequence_file.h"

#include "../unit_support.h"

namespace radcon {
namespace {

SiteTotals sitesOf(const std::vector<std::string>& seqs, double ratio, int correction, const GroupTable& g) {
  const Alignment al = test::alignmentOf(seqs);
  return countSites(al, translateAndCount(al, standardCode()), ratio, correction, g, standardCode());
}

TEST(SiteTotals, OneCodonTTTInOneGroup) {
  const GroupTable one = parseGroupText("1", "one");
  const SiteTotals w = sitesOf({"TTT"}, 1.0, 1, one);
  EXPECT_NEAR(w.SS[0], 0.2, 1e-12);
  EXPECT_NEAR(w.S[0], 0.2, 1e-12);
  EXPECT_NEAR(w.NN[0], 2.8, 1e-12);
  EXPECT_NEAR(w.N[0], 2.8, 1e-12);
  EXPECT_EQ(w.RR[0], 0.0);
  EXPECT_EQ(w.R[0], 0.0);
  EXPECT_NEAR(w.CC[0], 2.8, 1e-12);
  EXPECT_NEAR(w.C[0], 2.8, 1e-12);
  const SiteTotals u = sitesOf({"TTT"}, 1.0, 0, one);
  EXPECT_DOUBLE_EQ(u.S[0], 1.0 / 3);
  EXPECT_EQ(u.R[0], 0.0);
  EXPECT_DOUBLE_EQ(u.N[0], 8.0 / 3);
  EXPECT_DOUBLE_EQ(u.C[0], 8.0 / 3);
  EXPECT_DOUBLE_EQ(u.CC[0], 8.0 / 3);
  // Any non-zero correction is the weighted model.
  const SiteTotals two = sitesOf({"TTT"}, 1.0, 2, one);
  EXPECT_EQ(two.S, w.S);
}

TEST(SiteTotals, CodonsWithoutSynonymousSites) {
  const GroupTable charge = parseGroupText("3\n3 RHK\n2 DE\n", "charge");
  const SiteTotals t = sitesOf({"TGGATGTGGATG"}, 1.4, 0, charge);
  EXPECT_EQ(t.S[0], 0.0);
  EXPECT_EQ(t.N[0], 12.0);
}

TEST(SiteTotals, StopCodonInsideASequence) {
  const GroupTable charge = parseGroupText("3\n3 RHK\n2 DE\n", "charge");
  for (int correction : {0, 1}) {
    const SiteTotals t = sitesOf({"AAATAGCCC"}, 1.0, correction, charge);
    EXPECT_EQ(t.CC[1], 0.0);
    EXPECT_NEAR(t.RR[1], t.NN[1], 1e-12);
    if (correction == 0) {
      EXPECT_EQ(t.SS[1], 0.0);
      EXPECT_EQ(t.NN[1], 3.0);
    }
  }
}

TEST(SiteTotals, InvariantsOverRandomSequencesAndGroupings) {
  std::mt19937_64 rng(11);
  const std::vector<GroupTable> groupings = {
      parseGroupText("1", "one"), parseGroupText("3\n3 RHK\n2 DE\n", "charge"),
      parseGroupText("6\n1 C\n5 AGPST\n4 DENQ\n3 HKR\n4 ILMV\n", "my"),
      parseGroupText("20\n1 A\n1 R\n1 N\n1 D\n1 C\n1 Q\n1 E\n1 G\n1 H\n1 I\n1 L\n1 K\n1 M\n1 F\n1 P\n1 S\n1 T\n1 W\n1 Y\n",
                     "separate")};
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<std::string> seqs(3);
    for (std::string& s : seqs)
      for (int k = 0; k < 60; ++k) s.push_back("TCAG"[rng() % 4]);
    const double ratio = 0.05 + (rng() % 1000) / 100.0;
    for (const GroupTable& g : groupings) {
      for (int correction : {0, 1}) {
        const SiteTotals t = sitesOf(seqs, ratio, correction, g);
        for (int i = 0; i < 3; ++i) {
          double S = 0, R = 0;
          for (int j = 0; j < 20; ++j) {
            const std::size_t at = static_cast<std::size_t>(i) * 20 + j;
            EXPECT_NEAR(t.SS[at] + t.NN[at], 3.0, 1e-12);
            EXPECT_NEAR(t.RR[at] + t.CC[at], t.NN[at], 1e-12);
            EXPECT_GE(t.RR[at], 0.0);
            EXPECT_GE(t.CC[at], 0.0);
            S = S + t.SS[at];
            R = R + t.RR[at];
          }
          EXPECT_EQ(t.S[i], S);
          EXPECT_EQ(t.R[i], R);
          EXPECT_EQ(t.N[i], 3.0 * 20 - t.S[i]);
          EXPECT_EQ(t.C[i], t.N[i] - t.R[i]);
        }
      }
    }
  }
}

}  // namespace
}  // namespace radcon
