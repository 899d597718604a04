// Pathway step rates of the mutation model.
#include <gtest/gtest.h>

#include <cmath>

#include "codon/genetic_code.h"
#include "differences/pairwise.h"
#include "differences/step.h"
#include "input/group_file.h"

#include "../unit_support.h"

namespace radcon {
namespace {

const GroupTable kCharge = parseGroupText("3\n3 RHK\n2 DE\n", "charge");
const GroupTable kHydrophobic = parseGroupText("2\n4 ILMV\n", "ILMV and the rest");

int idx(const char* s) { return bb(dna(s[0]), dna(s[1]), dna(s[2])); }

double qab(const char* from, const char* to, double Pi2, double ratio, double w, double r, SiteModel model) {
  return ComputeQab(dna(from[0]), dna(from[1]), dna(from[2]), dna(to[0]), dna(to[1]), dna(to[2]), Pi2, ratio, w, r,
                    kCharge.data(), standardCode(), model);
}

TEST(MutationSteps, EveryStepCarriesItsTargetFrequency) {
  constexpr SiteModel M = SiteModel::kMutation;
  EXPECT_EQ(qab("TTT", "TTC", 0.37, 3.0, 0.5, 4.0, M), 0.37 * 3.0);  // synonymous transition
  EXPECT_EQ(qab("TTT", "TTC", 0.37, 3.0, 0.5, 4.0, SiteModel::kNeighbour), 3.0);  // the neighbour model's, kept
  EXPECT_EQ(qab("TCT", "TCA", 0.37, 3.0, 0.5, 4.0, M), 0.37);  // synonymous transversion
  EXPECT_EQ(qab("AAA", "AGA", 0.2, 3.0, 0.5, 4.0, M), 0.2 * 3.0 * 0.5 / 2.0);  // K to R: conservative transition
  EXPECT_EQ(qab("AAA", "ATA", 0.2, 3.0, 0.5, 4.0, M), 0.2 * 0.5 * 2.0);        // K to I: radical transversion
  EXPECT_EQ(qab("GAT", "GAA", 0.2, 3.0, 0.5, 4.0, M), 0.2 * 0.5 / 2.0);        // D to E: conservative transversion
  EXPECT_EQ(qab("GAT", "GGT", 0.2, 3.0, 0.5, 4.0, M), 0.2 * 3.0 * 0.5 * 2.0);  // D to G: radical transition
}

void expectDiff(const CodonDifference& d, double s, double n, double c, double r) {
  EXPECT_NEAR(d.s, s, 1e-12);
  EXPECT_NEAR(d.n, n, 1e-12);
  EXPECT_NEAR(d.c, c, 1e-12);
  EXPECT_NEAR(d.r, r, 1e-12);
}

TEST(MutationSteps, TwoDifferencesWeighedByTheirMutations) {
  // ATA (I) to ACG (T), both neutral under charge. X through ATG (M): two
  // conservative transitions, 3 w 0.8 / 2 x 3 w 0.3 / 2 = 0.135 (w = 1/2, r = 4).
  // Y through ACA (T): a conservative transition 3 w 0.1 / 2 = 0.075, then a
  // synonymous transition: 0.3 x 3 under the mutation model (X weighs 2/3), 3
  // alone under the neighbour model (X weighs 0.135 / 0.36 = 0.375).
  FrequencyTable f;
  f.fill(0.5);
  f[idx("ATG")] = 0.8;
  f[idx("ACA")] = 0.1;
  f[idx("ACG")] = 0.3;
  const CodonDifference m = compareCodons(idx("ATA"), idx("ACG"), f, {3.0, 0.5, 4.0, SiteModel::kMutation}, kCharge,
                                          standardCode());
  expectDiff(m, 1.0 / 3, 5.0 / 3, 5.0 / 3, 0.0);
  const CodonDifference n = compareCodons(idx("ATA"), idx("ACG"), f, {3.0, 0.5, 4.0}, kCharge, standardCode());
  expectDiff(n, 0.625, 1.375, 1.375, 0.0);
}

TEST(MutationSteps, ThreeDifferencesWeighedByTheirMutations) {
  // ATA (I) to GCG (A), three transitions; ILMV one group, the rest another.
  // Orders 123 (V, A), 132 (V, V), 213 (T, A), 231 (T, T) take one conservative,
  // one radical and one synonymous step; 312 (M, V) and 321 (M, T) two
  // conservative and one radical. Every frequency equal: under the mutation
  // model with w = 1 and r = 1 every step weighs f x 3 and the six orders alike.
  FrequencyTable f;
  f.fill(0.5);
  const auto run = [&](StepRates r) { return compareCodons(idx("ATA"), idx("GCG"), f, r, kHydrophobic, standardCode()); };
  expectDiff(run({3.0, 1.0, 1.0, SiteModel::kMutation}), 4.0 / 6, 14.0 / 6, 8.0 / 6, 1.0);
  // w = 1/2, r = 4: conservative steps weigh 3f / 4, radical 3f, synonymous 3f;
  // the first four orders 6.75 f^3 each, the last two 1.6875 f^3: 2/9 and 1/18.
  expectDiff(run({3.0, 0.5, 4.0, SiteModel::kMutation}), 8.0 / 9, 19.0 / 9, 10.0 / 9, 1.0);
  // The neighbour model: a synonymous transition weighs 3, a nonsynonymous one
  // 3 x 0.5: the first four orders weigh 6.75, the last two 3.375.
  expectDiff(run({3.0, 1.0, 1.0}), 0.8, 2.2, 1.2, 1.0);
}

// The neighbour model favours radical steps by the run-wide ratio; the mutation
// model weighs steps by their mutation rates alone.
TEST(MutationSteps, RunRates) {
  // TGG/TAG, AAA/GAA, TAG/TGG radical, AAA/AGA conservative.
  const Alignment al = test::alignmentOf({"TGGAAA", "TAGAGA", "TGGGAA"});
  const CodonData codons = translateAndCount(al, standardCode());
  const StepRates n = runStepRates(codons, 3, 2, 2.0, 0.7, kCharge, standardCode());
  EXPECT_EQ(n.DrDcRatio, (((0.001 + 1) + 1) + 1) / (0.001 + 1));
  EXPECT_EQ(n.model, SiteModel::kNeighbour);
  const StepRates m = runStepRates(codons, 3, 2, 2.0, 0.7, kCharge, standardCode(), SiteModel::kMutation);
  EXPECT_EQ(m.DrDcRatio, 1.0);
  EXPECT_EQ(m.ratio, 2.0);
  EXPECT_EQ(m.KaKsRatio, 0.7);
  EXPECT_EQ(m.model, SiteModel::kMutation);
}

}  // namespace
}  // namespace radcon
