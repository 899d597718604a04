#include "sites/site_model.h"

#include <gtest/gtest.h>

#include <random>

#include "codon/frequency.h"
#include "codon/genetic_code.h"
#include "input/group_file.h"
#include "sites/uncorrected.h"

namespace radcon {
namespace {

struct Codon {
  int a, b, c;
};
Codon codon(const char* s) { return {dna(s[0]), dna(s[1]), dna(s[2])}; }

FrequencyTable equalFrequencies(double v = 0.25) {
  FrequencyTable f;
  f.fill(v);
  return f;
}

double syn(double kappa, const char* s, const FrequencyTable& f = equalFrequencies()) {
  const Codon c = codon(s);
  return synonymousNew(kappa, c.a, c.b, c.c, f.data());
}
double nonsyn(double kappa, const char* s, const FrequencyTable& f = equalFrequencies()) {
  const Codon c = codon(s);
  return nonsynonymousNew(kappa, c.a, c.b, c.c, f.data());
}
double rad(double kappa, const char* s, const GroupTable& g, const FrequencyTable& f = equalFrequencies()) {
  const Codon c = codon(s);
  return radical(kappa, c.a, c.b, c.c, f.data(), g);
}
double con(double kappa, const char* s, const GroupTable& g, const FrequencyTable& f = equalFrequencies()) {
  const Codon c = codon(s);
  return conserve(kappa, c.a, c.b, c.c, f.data(), g);
}

GroupTable oneGroup() { return parseGroupText("1", "one"); }
GroupTable allSeparate() {
  std::string text = "20\n";
  for (int k = 0; k < 19; ++k) text += std::string("1 ") + aminoAcid[k] + "\n";
  return parseGroupText(text, "separate");
}

constexpr double kTol = 1e-12;

TEST(WeightedSites, WorkedNumbersWithoutBias) {
  // kappa 1: transitions weigh 0.6, transversions 1.2.
  EXPECT_NEAR(syn(1, "TTT"), 0.2, kTol);
  EXPECT_NEAR(nonsyn(1, "TTT"), 2.8, kTol);
  EXPECT_NEAR(syn(1, "AAA"), 0.2, kTol);
  EXPECT_NEAR(nonsyn(1, "AAA"), 3.3, kTol);  // GAA adds 0.5 x 0.6, CAA and TAA 0.5 x 1.2
  EXPECT_NEAR(syn(1, "TGG"), 0.0, kTol);
  EXPECT_NEAR(nonsyn(1, "TGG"), 4.0, kTol);
  EXPECT_NEAR(syn(1, "TAA"), 0.6, kTol);
  EXPECT_NEAR(nonsyn(1, "TAA"), 3.4, kTol);
}

TEST(WeightedSites, TwoStopNeighboursAtOnePosition) {
  // TAT and TAC: the third position keeps only its transition, at full weight.
  for (const char* c : {"TAT", "TAC"}) {
    EXPECT_NEAR(syn(2, c), 1.0, kTol) << c;
    EXPECT_NEAR(nonsyn(2, c), 4.0, kTol) << c;  // two stops at weight 1 each, plus 1 per other position
    EXPECT_NEAR(syn(1, c), 0.6, kTol) << c;
    EXPECT_NEAR(nonsyn(1, c), 1.0 + 1.0 + 1.2 + 1.2, kTol) << c;
  }
}

TEST(WeightedSites, RadicalAndConservativeUnderExtremeGroupings) {
  const GroupTable one = oneGroup(), separate = allSeparate();
  for (int k = 0; k < 64; ++k) {
    const char s[4] = {"TCAG"[k >> 4], "TCAG"[(k >> 2) & 3], "TCAG"[k & 3], 0};
    if (translate(k) != kStop) {
      EXPECT_EQ(rad(1, s, one), 0.0) << s;
    }
    EXPECT_EQ(con(1, s, separate), 0.0) << s;
  }
  EXPECT_NEAR(con(1, "AAA", one), 2.7, kTol);  // nonsynonymous less its stop neighbour TAA
  // A stop codon: nothing is conservative, every sense neighbour radical.
  EXPECT_EQ(con(1, "TAA", one), 0.0);
  EXPECT_NEAR(rad(1, "TAA", one), 3.4, kTol);
  EXPECT_NEAR(rad(1, "TAA", separate), nonsyn(1, "TAA"), kTol);
}

TEST(WeightedSites, PropertiesOverAllCodons) {
  const GroupTable charge = parseGroupText("3\n3 RHK\n2 DE\n", "charge");
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(0.01, 2.0);
  FrequencyTable random;
  for (double& v : random) v = u(rng);
  for (int k = 0; k < 64; ++k) {
    const Codon c{k >> 4, (k >> 2) & 3, k & 3};
    const char s[4] = {"TCAG"[c.a], "TCAG"[c.b], "TCAG"[c.c], 0};
    if (translate(k) != kStop) {
      // kappa 2 with equal frequencies is the uncorrected table.
      EXPECT_NEAR(syn(2, s), synonymous(2.0, c.a, c.b, c.c), kTol) << s;
      // For a sense codon, radical and conservative split the nonsynonymous
      // neighbours that are not stops.
      EXPECT_LE(rad(1.7, s, charge, random) + con(1.7, s, charge, random), nonsyn(1.7, s, random) + kTol);
    }
    // Scaling every frequency changes nothing but rounding.
    FrequencyTable scaled = random;
    for (double& v : scaled) v *= 3.7;
    EXPECT_NEAR(nonsyn(1.7, s, random), nonsyn(1.7, s, scaled), 1e-12);
    EXPECT_NEAR(con(1.7, s, charge, random), con(1.7, s, charge, scaled), 1e-12);
  }
}

TEST(UncorrectedSites, TableValues) {
  auto S = [](double kappa, const char* s) {
    const Codon c = codon(s);
    return synonymous(kappa, c.a, c.b, c.c);
  };
  EXPECT_DOUBLE_EQ(S(1, "TTT"), 1.0 / 3);
  EXPECT_DOUBLE_EQ(S(1, "TTA"), 2.0 / 3);
  EXPECT_DOUBLE_EQ(S(1, "CTA"), 4.0 / 3);
  EXPECT_DOUBLE_EQ(S(1, "TGT"), 0.5);
  EXPECT_DOUBLE_EQ(S(1, "ATT"), 2.0 / 3);
  EXPECT_DOUBLE_EQ(S(1, "ATA"), 2.0 / 3);
  EXPECT_DOUBLE_EQ(S(1, "CGG"), 4.0 / 3);
  EXPECT_DOUBLE_EQ(S(1, "AGA"), 1.0 / 3 + 0.5);
  EXPECT_DOUBLE_EQ(S(1, "AGG"), 2.0 / 3);
  EXPECT_DOUBLE_EQ(S(2, "TTT"), 0.5);
  EXPECT_DOUBLE_EQ(S(2, "TGT"), 2.0 / 3);
  EXPECT_DOUBLE_EQ(S(2, "ATT"), 0.75);
  EXPECT_DOUBLE_EQ(S(2, "ATA"), 0.5);
  EXPECT_DOUBLE_EQ(S(2, "AGA"), 0.5 + 1.0 / 3);
  for (double kappa : {0.0001, 1.0, 2.0, 7.5, 1e6}) {
    for (const char* zero : {"TAA", "TAG", "TGA", "ATG", "TGG"}) EXPECT_EQ(S(kappa, zero), 0.0) << zero;
    for (const char* row : {"TC", "CC", "AC", "GT", "GC", "GG"})
      for (char third : std::string("TCAG")) {
        const char s[4] = {row[0], row[1], third, 0};
        EXPECT_EQ(S(kappa, s), 1.0) << s;
      }
    EXPECT_EQ(S(kappa, "CGA"), 1.5);
  }
  // Evaluated as written: the denominator first, then one division.
  const double k = 0.3;
  EXPECT_EQ(S(k, "ATT"), (1 + k) / (2 + k));
  EXPECT_EQ(S(k, "AGA"), 1 / (1 + k) + k / (2 + k));
  EXPECT_EQ(S(k, "TTA"), k / (2 + k) + k / (2 + k));
}

}  // namespace
}  // namespace radcon
