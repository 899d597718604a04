#include "sites/site_model.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

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
  return synonymousNew(kappa, c.a, c.b, c.c, f.data(), standardCode());
}
double nonsyn(double kappa, const char* s, const FrequencyTable& f = equalFrequencies()) {
  const Codon c = codon(s);
  return nonsynonymousNew(kappa, c.a, c.b, c.c, f.data(), standardCode());
}
double rad(double kappa, const char* s, const GroupTable& g, const FrequencyTable& f = equalFrequencies()) {
  const Codon c = codon(s);
  return radical(kappa, c.a, c.b, c.c, f.data(), g, standardCode());
}
double con(double kappa, const char* s, const GroupTable& g, const FrequencyTable& f = equalFrequencies()) {
  const Codon c = codon(s);
  return conserve(kappa, c.a, c.b, c.c, f.data(), g, standardCode());
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
    if (standardCode().translate(k) != kStop) {
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
    if (standardCode().translate(k) != kStop) {
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

std::string name(int k) { return {"TCAG"[k >> 4], "TCAG"[(k >> 2) & 3], "TCAG"[k & 3]}; }

TEST(UncorrectedSites, TheRuleRebuildsTheStandardTable) {
  // The shares with every weight 1 give the fixed table of the standard code: to
  // the last bit where the table's formula adds the same shares in the same order,
  // and within 1e-15 (relative) where it folds them (x + y + y written as 1, and
  // so on): the fourfold codons and these.
  std::set<std::string> folded = {"CTT", "CTC", "CTA", "CTG", "CGT", "CGC", "CGA", "CGG", "ATT", "ATC"};
  for (const char* row : {"TC", "CC", "AC", "GT", "GC", "GG"})
    for (char third : std::string("TCAG")) folded.insert(std::string(row) + third);
  for (double kappa : {0.3, 1.0, 2.0, 3.7, 25.0, 1e6}) {
    for (int k = 0; k < kCodons; ++k) {
      const Codon c = codon(name(k).c_str());
      const double table = synonymous(kappa, c.a, c.b, c.c);
      const double rule = synonymousShares(kappa, c.a, c.b, c.c, standardCode());
      if (folded.count(name(k)))
        EXPECT_NEAR(rule, table, 1e-15 * table) << name(k) << " kappa " << kappa;
      else
        EXPECT_EQ(rule, table) << name(k) << " kappa " << kappa;
      EXPECT_EQ(uncorrectedSynonymous(kappa, c.a, c.b, c.c, standardCode()), table);  // the table itself is used
    }
  }
}

double under(const GeneticCode& code, double kappa, const char* s, bool synonymousTest) {
  const Codon c = codon(s);
  const FrequencyTable f = equalFrequencies();
  return synonymousTest ? synonymousNew(kappa, c.a, c.b, c.c, f.data(), code)
                        : nonsynonymousNew(kappa, c.a, c.b, c.c, f.data(), code);
}

TEST(WeightedSites, VertebrateMitochondrialCode) {
  // kappa 1, equal frequencies: transitions weigh 0.6, transversions 1.2.
  const GeneticCode& mito = *findGeneticCode(2);
  // TGA is tryptophan: like TGG, one synonymous transition at the third position
  // (to TGG, and from TGG to TGA), 1/3 x 0.6; under the standard code TGG has none.
  EXPECT_NEAR(under(mito, 1, "TGA", true), 0.2, kTol);
  EXPECT_NEAR(under(mito, 1, "TGG", true), 0.2, kTol);
  EXPECT_NEAR(under(standardCode(), 1, "TGG", true), 0.0, kTol);
  // AGA is a stop: its synonymous neighbours are its stop neighbours, here AGG,
  // the transition beside which the position's two transversions stay (0.5 x 0.6).
  EXPECT_NEAR(under(mito, 1, "AGA", true), 0.3, kTol);
  // CGA loses AGA as a synonymous neighbour (a stop now): only its fourfold third
  // position is left, 0.2 + 0.4 + 0.4. Under the standard code AGA adds 0.5 x 1.2.
  EXPECT_NEAR(under(mito, 1, "CGA", true), 1.0, kTol);
  EXPECT_NEAR(under(standardCode(), 1, "CGA", true), 1.6, kTol);
  // ATA is methionine, with ATG one transition away.
  EXPECT_NEAR(under(mito, 1, "ATA", true), 0.2, kTol);
  const Codon ata = codon("ATA");
  EXPECT_NEAR(uncorrectedSynonymous(1, ata.a, ata.b, ata.c, mito), 1.0 / 3, kTol);
  const Codon aga = codon("AGA");
  EXPECT_EQ(uncorrectedSynonymous(1, aga.a, aga.b, aga.c, mito), 0.0);  // a stop codon has none
}

TEST(WeightedSites, PositionWhoseThreeNeighboursAreStops) {
  // Under table 22 the second position of TTA (L) leads to TCA, TAA and TGA, all
  // stops: the position counts nothing. Kappa 1, equal frequencies: CTA (0.6 x 1/3)
  // and TTG (the same) are synonymous; ATA, GTA, TTT and TTC nonsynonymous (1.2 x 1/3).
  const GeneticCode& scenedesmus = *findGeneticCode(22);
  EXPECT_NEAR(under(scenedesmus, 1, "TTA", true), 0.4, kTol);
  EXPECT_NEAR(under(scenedesmus, 1, "TTA", false), 1.6, kTol);
  // The standard code gives the same position TCA (0.6) and its two stops (1.2 each).
  EXPECT_NEAR(under(standardCode(), 1, "TTA", false), 4.6, kTol);
  const Codon tta = codon("TTA");
  EXPECT_NEAR(uncorrectedSynonymous(1, tta.a, tta.b, tta.c, scenedesmus), 2.0 / 3, kTol);
}

}  // namespace
}  // namespace radcon
