#include "stats/expected_ratio.h"

#include <gtest/gtest.h>

#include <cmath>

#include "input/group_file.h"
#include "sites/mutation_sites.h"
#include "stats/statistics.h"

namespace radcon {
namespace {

TEST(ExpectedRatio, EigenDecompositionRebuildsTheMatrix) {
  const int n = 7;
  std::vector<double> a(n * n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) a[i * n + j] = a[j * n + i] = std::sin(1.0 + i * 3 + j * 5);
  auto expectRebuilt = [&](const std::vector<double>& m, const std::vector<double>* start) {
    std::vector<double> work = m, values, vectors;
    symmetricEigen(work, n, values, vectors, start);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        double rebuilt = 0.0, unit = 0.0;
        for (int k = 0; k < n; ++k) rebuilt += vectors[i * n + k] * values[k] * vectors[j * n + k];
        for (int k = 0; k < n; ++k) unit += vectors[k * n + i] * vectors[k * n + j];
        EXPECT_NEAR(rebuilt, m[i * n + j], 1e-12);
        EXPECT_NEAR(unit, i == j ? 1.0 : 0.0, 1e-12);
      }
    return vectors;
  };
  const std::vector<double> vectors = expectRebuilt(a, nullptr);
  // A nearby matrix from the first one's eigenvectors (a jackknife's part).
  std::vector<double> near = a;
  for (int i = 0; i < n; ++i) near[i * n + i] += 0.01 * i;
  expectRebuilt(near, &vectors);
}

// A gene at stationarity with skewed base composition (position-specific, as
// in mitochondria) under the mutation model: its sites are the codon
// frequencies' mean mutation weights. Radical and conservative differences
// then accrue alike per site at first, so a barely diverged pair expects dR/dC
// 1, and nonsynonymous against synonymous ones tell omega; further on the
// radical ones run ahead.
TEST(ExpectedRatio, FirstChangesAlikePerSiteAndSaturationAtRandomPairs) {
  const GeneticCode& code = *findGeneticCode(2);
  const GroupTable groups = parseGroupText("3\n3 RHK\n2 DE\n", "charge");
  const double base[3][4] = {{0.25, 0.30, 0.30, 0.15}, {0.35, 0.30, 0.20, 0.15}, {0.15, 0.40, 0.40, 0.05}};
  std::vector<double> counts(64, 0.0);
  FrequencyTable f{};
  double total = 0.0;
  for (int i = 0; i < 64; ++i)
    if (code.translate(i) != kStop) total += f[i] = base[0][i >> 4] * base[1][(i >> 2) & 3] * base[2][i & 3];
  for (int i = 0; i < 64; ++i) f[i] = code.translate(i) == kStop ? 1e-9 : f[i] / total, counts[i] = f[i] * 1e9;
  const double kappa = 14.0;
  const StepRates rates{kappa, 1.0, 1.0, SiteModel::kMutation};
  double sites[kKinds] = {}, weight = 0.0;
  for (int i = 0; i < 64; ++i) {
    if (code.translate(i) == kStop) continue;
    const MutationWeights w = mutationWeights(i, kappa, f.data(), groups, code);
    sites[kSynonymous] += f[i] * w.synonymous;
    sites[kRadical] += f[i] * w.radical;
    sites[kConservative] += f[i] * w.conservative;
    weight += f[i] * w.total;
  }
  const int L = 1000;
  for (double& s : sites) s *= L / (weight / 3.0);
  sites[kNonsynonymous] = sites[kRadical] + sites[kConservative];
  auto pair = [&](double pS, double pN) {
    return ExpectedRatioPair{sites[kSynonymous], sites[kNonsynonymous], sites[kRadical], sites[kConservative], pS, pN};
  };
  // Barely diverged, omega 0.3: the fit finds omega, the ratio is 1 to first order.
  const ExpectedDistances small = expectedDistances({pair(1e-4, 0.3e-4)}, L, counts, f, rates, groups, code);
  ASSERT_TRUE(small.fitted);
  EXPECT_NEAR(small.omega, 0.3, 0.003);
  EXPECT_NEAR(small.dR[0] / small.dC[0], 1.0, 2e-3);
  // Diverged: the radical differences of this composition run ahead.
  const ExpectedDistances mid = expectedDistances({pair(0.3, 0.1)}, L, counts, f, rates, groups, code);
  EXPECT_GT(mid.dR[0] / mid.dC[0], 1.1);
  // Given the fitted model (a jackknife's part), the same expectation without a
  // search, its decomposition begun from the fitted one's; given another omega,
  // another: even a pair with no nonsynonymous difference has one.
  const ExpectedModel fitted{mid.omega, mid.eigenvectors, {}};
  const ExpectedDistances held = expectedDistances({pair(0.3, 0.1)}, L, counts, f, rates, groups, code, &fitted);
  EXPECT_EQ(held.omega, mid.omega);
  EXPECT_NEAR(held.dR[0], mid.dR[0], 1e-12);
  EXPECT_NEAR(held.dC[0], mid.dC[0], 1e-12);
  const ExpectedModel one{1.0, mid.eigenvectors, {}};
  const ExpectedDistances neutral = expectedDistances({pair(0.3, 0.0)}, L, counts, f, rates, groups, code, &one);
  ASSERT_TRUE(neutral.fitted);
  EXPECT_GT(neutral.dR[0] / neutral.dC[0], mid.dR[0] / mid.dC[0]);  // saturation grows with omega
  // A pair past synonymous saturation cannot be placed: it tells neither omega
  // nor its own expectation, and leaves the other pair's alone.
  const ExpectedDistances both = expectedDistances({pair(0.05, 0.015), pair(0.95, 0.3)}, L, counts, f, rates, groups, code);
  const ExpectedDistances alone = expectedDistances({pair(0.05, 0.015)}, L, counts, f, rates, groups, code);
  EXPECT_EQ(both.beyondReach, 1u);
  EXPECT_EQ(alone.beyondReach, 0u);
  EXPECT_NEAR(both.omega, alone.omega, 1e-6);
  EXPECT_TRUE(std::isnan(both.dR[1]) && std::isnan(both.dC[1]));
  EXPECT_NEAR(both.dR[0], alone.dR[0], 1e-9);
  // Nothing to fit from: no synonymous sites.
  EXPECT_FALSE(expectedDistances({ExpectedRatioPair{0, 1, 0.5, 0.5, NAN, 0.1}}, L, counts, f, rates, groups, code).fitted);
}

}  // namespace
}  // namespace radcon
