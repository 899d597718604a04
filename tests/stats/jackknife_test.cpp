#include "stats/jackknife.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace radcon {
namespace {

TEST(Jackknife, BlocksCoverTheCodonsOnce) {
  const std::vector<CodonBlock> b = codonBlocks(10, 3);
  ASSERT_EQ(b.size(), 3u);
  EXPECT_EQ(b[0].first, 0);
  EXPECT_EQ(b[0].end, 3);
  EXPECT_EQ(b[1].end, 6);
  EXPECT_EQ(b[2].end, 10);  // the longer block last
  EXPECT_EQ(codonBlocks(2, 50).size(), 2u);  // at most one a codon
  EXPECT_TRUE(codonBlocks(0, 5).empty());
}

// Closed forms: df 1 is Cauchy, df 2 has p = 1 - |t| / sqrt(t^2 + 2); many
// degrees of freedom approach the normal.
TEST(Jackknife, StudentPValues) {
  for (double t : {0.0, 0.3, 1.0, 2.5, 12.0, -4.0}) {
    EXPECT_NEAR(studentTwoSidedP(t, 1), 1.0 - 2.0 / std::numbers::pi * std::atan(std::fabs(t)), 1e-12) << t;
    EXPECT_NEAR(studentTwoSidedP(t, 2), 1.0 - std::fabs(t) / std::sqrt(t * t + 2.0), 1e-12) << t;
  }
  EXPECT_NEAR(studentTwoSidedP(2.0, 10), 0.07338803, 1e-8);   // tables: t 2.0 on 10 df
  EXPECT_NEAR(studentTwoSidedP(2.093024, 19), 0.05, 1e-6);     // the 97.5 % point on 19 df
  EXPECT_NEAR(studentTwoSidedP(1.959964, 1e7), 0.05, 1e-6);
  EXPECT_TRUE(std::isnan(studentTwoSidedP(NAN, 5)));
}

// Three replicates by hand: dR 0.10, 0.12, 0.14 (mean 0.12, squares 0.0008,
// se^2 = 2/3 x 0.0008); dC 0.10 each, so dR - dC has the same se.
TEST(Jackknife, RowsByHand) {
  GroupMean whole{};
  for (int k = 0; k < kKinds; ++k) whole.d[k] = 0.1;
  whole.d[kRadical] = 0.13;
  std::vector<std::vector<GroupMean>> parts(3, std::vector<GroupMean>{whole});
  const double dR[3] = {0.10, 0.12, 0.14};
  for (int b = 0; b < 3; ++b) parts[static_cast<std::size_t>(b)][0].d[kRadical] = dR[b];
  const std::vector<JackknifeRow> rows = jackknifeRows({whole}, parts);
  ASSERT_EQ(rows.size(), 1u);
  const double se = std::sqrt(2.0 / 3.0 * 0.0008);
  EXPECT_EQ(rows[0].blocks, 3);
  EXPECT_NEAR(rows[0].seD[kRadical], se, 1e-15);
  EXPECT_NEAR(rows[0].seD[kConservative], 0.0, 1e-15);
  EXPECT_NEAR(rows[0].dRdC.z, 0.03 / se, 1e-12);
  EXPECT_NEAR(rows[0].dRdC.p, 1.0 - (0.03 / se) / std::sqrt(0.03 * 0.03 / (se * se) + 2.0), 1e-12);
  EXPECT_TRUE(std::isnan(rows[0].dNdS.z));  // no spread: no test
  parts[0][0].d[kNonsynonymous] = 0.1 + 0.2;  // 0.30000000000000004: a spread of rounding alone
  parts[1][0].d[kNonsynonymous] = parts[2][0].d[kNonsynonymous] = 0.3;
  EXPECT_GT(jackknifeRows({whole}, parts)[0].seD[kNonsynonymous], 0.0);
  EXPECT_TRUE(std::isnan(jackknifeRows({whole}, parts)[0].dNdS.z));
  // Against an expected dR/dC of 1.3: 0.13 - 1.3 x 0.1 = 0, the same spread.
  const std::vector<double> expected{1.3};
  const JackknifeRow against = jackknifeRows({whole}, parts, &expected)[0];
  EXPECT_EQ(against.expectedRC, 1.3);
  EXPECT_NEAR(against.dRdC.z, 0.0, 1e-12);
  // Each part with its own ratio: 0.10 - 0.9 x 0.1, 0.12 - 1.1 x 0.1 and
  // 0.14 - 1.3 x 0.1 are all 0.01, so the spread vanishes: no test.
  const std::vector<std::vector<double>> own{{0.9}, {1.1}, {1.3}};
  EXPECT_TRUE(std::isnan(jackknifeRows({whole}, parts, &expected, &own)[0].dRdC.z));
  // Ratios 1.3, 1.3, 1.1: differences -0.03, -0.01, 0.03 (mean -1/300, squares
  // (8/3)^2 + (2/3)^2 + (10/3)^2 over 10^4), against a whole's difference of 0.01.
  const std::vector<std::vector<double>> some{{1.3}, {1.3}, {1.1}};
  const double ownSe = std::sqrt(2.0 / 3.0 * (64.0 + 4.0 + 100.0) / 9.0 / 1e4);
  const std::vector<double> whole12{1.2};
  EXPECT_NEAR(jackknifeRows({whole}, parts, &whole12, &some)[0].dRdC.z, 0.01 / ownSe, 1e-9);
  parts[1][0].d[kRadical] = NAN;  // a replicate without a defined mean: no error at all
  EXPECT_TRUE(std::isnan(jackknifeRows({whole}, parts)[0].seD[kRadical]));
}

}  // namespace
}  // namespace radcon
