#include "sites/mutation_sites.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "codon/genetic_code.h"
#include "input/group_file.h"
#include "sites/site_totals.h"

#include "../unit_support.h"

namespace radcon {
namespace {

const GroupTable kCharge = parseGroupText("3\n3 RHK\n2 DE\n", "charge");
constexpr double kTol = 1e-12;

SiteTotals mutation(const std::string& seq, double ratio, int correction, const GeneticCode& code = standardCode()) {
  const Alignment al = test::alignmentOf({seq});
  return countSites(al, translateAndCount(al, code), ratio, correction, kCharge, code, SiteModel::kMutation);
}

std::string repeat(const std::string& codon, int n) {
  std::string s;
  for (int k = 0; k < n; ++k) s += codon;
  return s;
}

// GAT (D) under the charge grouping, every frequency equal: of its nine
// mutations AAT, GGT and GAC are transitions; GAC is synonymous, GAA and GAG
// (E) conservative, the other six radical. With 6 + 3 kappa mutations, one scale
// c = 2 + kappa: S = kappa / (2 + kappa), R = 2, C = 2 / (2 + kappa).
TEST(MutationSites, GATIsTheTextbookCodon) {
  for (int correction : {0, 1}) {  // 100 GAT: every neighbour has frequency 1/100
    const SiteTotals t = mutation(repeat("GAT", 100), 1.0, correction);
    EXPECT_NEAR(t.S[0], 100.0 / 3, 1e-9);
    EXPECT_NEAR(t.R[0], 200.0, 1e-9);
    EXPECT_NEAR(t.C[0], 200.0 / 3, 1e-9);
    EXPECT_NEAR(t.N[0], 800.0 / 3, 1e-9);
  }
  const SiteTotals k3 = mutation("GAT", 3.0, 0);
  EXPECT_NEAR(k3.SS[0], 0.6, kTol);
  EXPECT_NEAR(k3.RR[0], 2.0, kTol);
  EXPECT_NEAR(k3.CC[0], 0.4, kTol);
  EXPECT_EQ(k3.NN[0], k3.RR[0] + k3.CC[0]);
  // The neighbour model counts the bias twice (kappa^2 / 2): 20 sites, not 33.3.
  const Alignment al = test::alignmentOf({repeat("GAT", 100)});
  EXPECT_NEAR(countSites(al, translateAndCount(al, standardCode()), 1.0, 1, kCharge, standardCode()).S[0], 20.0, 1e-9);
}

TEST(MutationSites, CodonFrequenciesWeighTheTargets) {
  // GAT GAC: each codon's own frequency is (1 + 1) / 2 = 1, every other 1/2. GAT:
  // synonymous GAC kappa x 1, radical (4 + 2 kappa) / 2, conservative 2 / 2, all
  // 3 + 2 kappa; GAC alike. c = (3 + 2 kappa) / 3; at kappa 1, 5/3.
  const SiteTotals t = mutation("GATGAC", 1.0, 1);
  for (int j : {0, 1}) {
    EXPECT_NEAR(t.SS[j], 0.6, kTol);
    EXPECT_NEAR(t.RR[j], 1.8, kTol);
    EXPECT_NEAR(t.CC[j], 0.6, kTol);
  }
  EXPECT_NEAR(t.S[0], 1.2, kTol);
  EXPECT_NEAR(mutation("GATGAC", 1.0, 0).S[0], 2.0 / 3, kTol);
}

TEST(MutationSites, MutationsToStopCodonsAreLost) {
  // TGG (W): transitions CGG (R, radical), TAG and TGA (stops); transversions AGG
  // (R), GGG, TTG, TCG, TGT, TGC (conservative). Kappa 2, alone: 6 + 3 kappa = 12
  // mutations, c = 4: R = 3/4, C = 5/4, and the stops' 4/4 is lost.
  const SiteTotals w = mutation("TGG", 2.0, 0);
  EXPECT_EQ(w.SS[0], 0.0);
  EXPECT_NEAR(w.RR[0], 0.75, kTol);
  EXPECT_NEAR(w.CC[0], 1.25, kTol);
  EXPECT_NEAR(w.SS[0] + w.NN[0], 2.0, kTol);
  // TGG GAT at kappa 1: 9 mutations each, c = 3. TGG keeps 7/3 of its 3 sites;
  // the sequence's S + N falls short of 6 by the 2/3 lost.
  const SiteTotals two = mutation("TGGGAT", 1.0, 0);
  EXPECT_NEAR(two.RR[0], 2.0 / 3, kTol);
  EXPECT_NEAR(two.CC[0], 5.0 / 3, kTol);
  EXPECT_NEAR(two.SS[1], 1.0 / 3, kTol);
  EXPECT_NEAR(two.S[0] + two.N[0], 6.0 - 2.0 / 3, kTol);
  EXPECT_EQ(two.N[0], two.NN[0] + two.NN[1]);
  // Vertebrate mitochondrial code: TGA is W (synonymous) and AGG a stop (lost).
  const SiteTotals mt = mutation("TGG", 2.0, 0, *findGeneticCode(2));
  EXPECT_NEAR(mt.SS[0], 0.5, kTol);   // TGA: kappa / c
  EXPECT_NEAR(mt.RR[0], 0.5, kTol);   // CGG
  EXPECT_NEAR(mt.CC[0], 1.25, kTol);  // as under the standard code
  // A stop codon: its stop neighbours are synonymous, its sense ones radical.
  // TAA: TGA and TAG are transitions, CAA too; kappa 1: 2/3 and 7/3.
  const SiteTotals stop = mutation("TAA", 1.0, 0);
  EXPECT_NEAR(stop.SS[0], 2.0 / 3, kTol);
  EXPECT_NEAR(stop.RR[0], 7.0 / 3, kTol);
  EXPECT_EQ(stop.CC[0], 0.0);
}

// Every codon of every code, every frequency equal and no bias: each mutation
// weighs 1 and c = 3, so a codon keeps (9 - its stop mutations) / 3 sites (a
// stop codon all 3).
TEST(MutationSites, EveryCodeLosesExactlyItsStopMutations) {
  std::string all;
  for (int c = 0; c < kCodons; ++c) all += std::string{"TCAG"[c >> 4], "TCAG"[(c >> 2) & 3], "TCAG"[c & 3]};
  for (const GeneticCode& code : geneticCodes()) {
    const SiteTotals t = mutation(all, 1.0, 0, code);
    double S = 0, N = 0;
    for (int c = 0; c < kCodons; ++c) {
      int stops = 0;
      for (int d = 0; d < kCodons; ++d) {
        const int x = c ^ d;
        const bool oneStep = x && ((x & 0x30) == x || (x & 0x0C) == x || (x & 0x03) == x);
        if (oneStep && code.translate(d) == kStop) ++stops;
      }
      const double kept = code.translate(c) == kStop ? 3.0 : (9.0 - stops) / 3.0;
      EXPECT_NEAR(t.SS[c] + t.NN[c], kept, kTol) << code.id << " " << c;
      EXPECT_EQ(t.NN[c], t.RR[c] + t.CC[c]);
      S = S + t.SS[c];
      N = N + t.NN[c];
    }
    EXPECT_EQ(t.S[0], S);
    EXPECT_EQ(t.N[0], N);
  }
}

// The identity the model exists for. A codon distribution pi is stationary under
// q_ij = pi_j x (kappa for a transition) x (omega for a change of amino acid):
// pi_i q_ij is symmetric. Then the expected radical substitutions over the
// conservative ones, sum_i pi_i sum_{j radical} q_ij / sum_i pi_i sum_{j
// conservative} q_ij, equal the expected radical sites over the conservative
// ones, and the nonsynonymous over the synonymous are omega times theirs.
TEST(MutationSites, ExpectedSitesMatchExpectedSubstitutionsAtStationarity) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(0.2, 3.0);
  for (int id : {1, 2}) {
    const GeneticCode& code = *findGeneticCode(id);
    std::string seq;
    std::vector<int> sense;
    for (int c = 0; c < kCodons; ++c)
      if (code.translate(c) != kStop) {
        sense.push_back(c);
        seq += std::string{"TCAG"[c >> 4], "TCAG"[(c >> 2) & 3], "TCAG"[c & 3]};
      }
    const Alignment al = test::alignmentOf({seq});
    for (int trial = 0; trial < 5; ++trial) {
      const double kappa = u(rng), omega = u(rng) / 3;
      CodonData codons = translateAndCount(al, code);
      FrequencyTable& pi = codons.frequency[0];
      double total = 0;
      for (int c : sense) total += pi[c] = u(rng);
      for (int c : sense) pi[c] /= total;
      for (int c = 0; c < kCodons; ++c)
        if (code.translate(c) == kStop) pi[c] = u(rng);  // mutations to stops are lost whatever their weight
      const SiteTotals t = countSites(al, codons, kappa, 1, kCharge, code, SiteModel::kMutation);

      double sitesS = 0, sitesR = 0, sitesC = 0, subS = 0, subR = 0, subC = 0;
      for (std::size_t k = 0; k < sense.size(); ++k) {
        const int i = sense[k], ai = code.translate(i);
        sitesS += pi[i] * t.SS[k];
        sitesR += pi[i] * t.RR[k];
        sitesC += pi[i] * t.CC[k];
        for (int j : sense) {
          const int x = i ^ j;
          const int pos = (x & 0x30) == x ? 0 : (x & 0x0C) == x ? 1 : (x & 0x03) == x ? 2 : -1;
          if (x == 0 || pos < 0) continue;
          const int shift = 4 - 2 * pos;
          const bool transition = ((i >> shift) & 3) >> 1 == ((j >> shift) & 3) >> 1;
          const int aj = code.translate(j);
          const double qij = pi[j] * (transition ? kappa : 1.0) * (ai == aj ? 1.0 : omega);
          const double qji = pi[i] * (transition ? kappa : 1.0) * (ai == aj ? 1.0 : omega);
          ASSERT_NEAR(pi[i] * qij, pi[j] * qji, 1e-15);  // detailed balance: pi is stationary
          (ai == aj ? subS : kCharge[ai] == kCharge[aj] ? subC : subR) += pi[i] * qij;
        }
      }
      EXPECT_NEAR((subR / subC) / (sitesR / sitesC), 1.0, 1e-9) << id;
      EXPECT_NEAR(((subR + subC) / subS) / (omega * (sitesR + sitesC) / sitesS), 1.0, 1e-9) << id;
    }
  }
}

}  // namespace
}  // namespace radcon
