#include "stats/tstv_estimate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace radcon {
namespace {

// Codon indices of sequences given as DNA, one string a sequence.
std::vector<std::uint8_t> codonsOf(const std::vector<std::string>& seqs) {
  std::vector<std::uint8_t> out;
  for (const std::string& s : seqs)
    for (std::size_t k = 0; k + 2 < s.size(); k += 3)
      out.push_back(static_cast<std::uint8_t>(bb(dna(s[k]), dna(s[k + 1]), dna(s[k + 2]))));
  return out;
}

// Two sequences of 80 codons of one fourfold family (prefix), every base 20
// times at their third positions: 68 alike, 8 transitions (4 A<->G, 4 C<->T) and
// 4 transversions. P = 0.1, Q = 0.05.
std::vector<std::string> kimuraPair(const std::string& prefix) {
  std::string a, b;
  auto add = [&](char x, char y) {
    a += prefix + x;
    b += prefix + y;
  };
  for (int i = 0; i < 17; ++i)
    for (char x : std::string("TCAG")) add(x, x);
  for (auto [x, y] : {std::pair{'A', 'G'}, {'G', 'A'}, {'C', 'T'}, {'T', 'C'}}) {
    add(x, y);
    add(x, y);
  }
  for (auto [x, y] : {std::pair{'T', 'A'}, {'A', 'T'}, {'C', 'G'}, {'G', 'C'}}) add(x, y);
  return {a, b};
}

// Pairs up to 20 % apart: the Kimura pair (15 %) enters.
TsTvOptions twentyPercent() {
  TsTvOptions o;
  o.maxDivergence = 0.2;
  return o;
}

TsTvEstimate estimate(const std::vector<std::string>& seqs, const TsTvOptions& o = twentyPercent(),
                      const GeneticCode& code = standardCode()) {
  const auto c = codonsOf(seqs);
  return estimateTsTv(c, static_cast<int>(seqs.size()), static_cast<int>(seqs[0].size() / 3), code, o);
}

// With equal base frequencies the model is Kimura's: 1 - 2Q = E[exp(-tau r)] and
// 1 - 2P - Q = E[exp(-(kappa + 1)/2 tau r)]. Without rate variation
// kappa = 2 ln(1 - 2P - Q) / ln(1 - 2Q) - 1 = 2 ln 0.75 / ln 0.9 - 1; with gamma
// shape 1, E[exp(-x r)] = 1 / (1 + x): (kappa + 1)/2 = (1/0.75 - 1) / (1/0.9 - 1) = 3,
// kappa = 5.
TEST(TsTvEstimate, KimuraPairByHand) {
  TsTvOptions none = twentyPercent();
  none.gammaShape = 0;
  const TsTvEstimate plain = estimate(kimuraPair("GC"), none);
  ASSERT_TRUE(plain.estimated) << plain.note;
  EXPECT_NEAR(plain.kappa, 2 * std::log(0.75) / std::log(0.9) - 1, 1e-5);
  EXPECT_DOUBLE_EQ(plain.typed, plain.kappa / 2);

  const TsTvEstimate gamma = estimate(kimuraPair("GC"));
  ASSERT_TRUE(gamma.estimated);
  EXPECT_NEAR(gamma.typed, 2.5, 1e-5);
  EXPECT_EQ(gamma.pairs, 1);
  EXPECT_EQ(gamma.sites, 80);
  EXPECT_EQ(gamma.transitions, 8);
  EXPECT_EQ(gamma.transversions, 4);
  EXPECT_LT(gamma.lower, gamma.typed);
  EXPECT_GT(gamma.upper, gamma.typed);
  EXPECT_GT(gamma.seLog, 0);
  EXPECT_NE(gamma.note.find("little data"), std::string::npos);  // 12 differences
}

// The fourfold families come from the genetic code: AGN is Ser, Ser, Arg, Arg in
// the standard code and all Ser in the echinoderm mitochondrial code (9).
TEST(TsTvEstimate, FourfoldSitesFollowTheGeneticCode) {
  EXPECT_FALSE(estimate(kimuraPair("AG")).estimated);
  const TsTvEstimate e = estimate(kimuraPair("AG"), twentyPercent(), *findGeneticCode(9));
  ASSERT_TRUE(e.estimated);
  EXPECT_NEAR(e.typed, 2.5, 1e-5);
  // Codons of one family with different first positions are no fourfold site.
  EXPECT_FALSE(estimate({"GCTGCC", "CCCCCT"}).estimated);
}

// A third sequence that differs from both at most of their fourfold sites (its
// bases those of the first, shifted by one codon: the same composition) leaves
// the estimate exactly as it was; when every pair is that far, the closest
// pairs serve, with a note.
TEST(TsTvEstimate, DistantPairsStayOut) {
  std::vector<std::string> seqs = kimuraPair("GC");
  std::string far = seqs[0].substr(3) + seqs[0].substr(0, 3);
  const TsTvEstimate two = estimate(seqs);
  seqs.push_back(far);
  const TsTvEstimate three = estimate(seqs);
  EXPECT_EQ(three.typed, two.typed);
  EXPECT_EQ(three.pairs, 1);
  EXPECT_EQ(three.sequences, 3);

  TsTvOptions strict;
  strict.maxDivergence = 0.1;
  const TsTvEstimate closest = estimate(seqs, strict);
  ASSERT_TRUE(closest.estimated);
  EXPECT_EQ(closest.typed, two.typed);
  EXPECT_NE(closest.note.find("closest pairs"), std::string::npos);
}

// A jackknife's part fits the pairs the whole alignment chose, and where it has
// nothing left to estimate from it keeps the whole's value: no part jumps to a
// pair set or a fallback the whole never had.
TEST(TsTvEstimate, AJackknifePartKeepsTheWholesChoice) {
  std::vector<std::string> seqs = kimuraPair("GC");
  seqs.push_back(seqs[0].substr(3) + seqs[0].substr(0, 3));
  const TsTvEstimate whole = estimate(seqs);
  ASSERT_TRUE(whole.estimated);
  ASSERT_EQ(whole.pairs, 1);

  TsTvOptions strict;
  strict.maxDivergence = 0.1;  // chosen afresh: no pair within it, the closest ones
  strict.whole = &whole;
  const TsTvEstimate part = estimate(seqs, strict);
  EXPECT_EQ(part.typed, whole.typed);
  EXPECT_EQ(part.pairs, 1);
  EXPECT_EQ(part.note.find("closest pairs"), std::string::npos) << part.note;

  // Without the last four codons, the pair's four transversions: no estimate.
  for (std::string& s : seqs) s.resize(76 * 3);
  EXPECT_FALSE(estimate(seqs).estimated);
  TsTvOptions o = twentyPercent();
  o.whole = &whole;
  const TsTvEstimate kept = estimate(seqs, o);
  EXPECT_TRUE(kept.estimated);
  EXPECT_EQ(kept.typed, whole.typed);
  EXPECT_TRUE(kept.note.empty()) << kept.note;
  // Where the whole fell back, a part that could estimate falls back too.
  const TsTvEstimate none = estimate(seqs);
  o.whole = &none;
  EXPECT_TRUE(estimate(kimuraPair("GC")).estimated);
  EXPECT_FALSE(estimate(kimuraPair("GC"), o).estimated);
}

// Sequences from a fixed recipe: each codon of a family chosen by a simple
// congruential stream, then mutated per sequence.
std::vector<std::string> family(int n, int codons) {
  const char* prefixes[] = {"GC", "GG", "CC", "AC", "GT", "CT", "TC", "CG", "AA", "TT"};
  std::uint32_t x = 12345;
  auto next = [&] { return (x = x * 1103515245u + 12345u) >> 16; };
  std::string root;
  for (int k = 0; k < codons; ++k) {
    root += prefixes[next() % 10];
    root += "TCAG"[next() % 4];
  }
  std::vector<std::string> seqs;
  for (int i = 0; i < n; ++i) {
    std::string s = root;
    for (std::size_t p = 2; p < s.size(); p += 3)
      if (next() % 100 < 4u + 3u * static_cast<unsigned>(i)) s[p] = "TCAG"[next() % 4];
    seqs.push_back(s);
  }
  return seqs;
}

TEST(TsTvEstimate, SequenceOrderChangesNoBit) {
  std::vector<std::string> seqs = family(7, 200);
  for (int maxSequences : {32, 4}) {
    TsTvOptions o = twentyPercent();
    o.maxSequences = maxSequences;
    const TsTvEstimate first = estimate(seqs, o);
    ASSERT_TRUE(first.estimated) << first.note;
    std::vector<std::string> shuffled = seqs;
    for (int round = 0; round < 5; ++round) {
      std::rotate(shuffled.begin(), shuffled.begin() + 2, shuffled.end());
      std::reverse(shuffled.begin() + round % 3, shuffled.end());
      const TsTvEstimate e = estimate(shuffled, o);
      EXPECT_EQ(e.typed, first.typed);
      EXPECT_EQ(e.seLog, first.seLog);
      EXPECT_EQ(e.sites, first.sites);
      EXPECT_EQ(e.sequences, std::min(7, maxSequences));
    }
  }
}

TEST(TsTvEstimate, FallsBackToNoBias) {
  auto expectFallback = [](const TsTvEstimate& e, const std::string& why) {
    EXPECT_FALSE(e.estimated);
    EXPECT_EQ(e.typed, 0.5);
    EXPECT_EQ(e.kappa, 1.0);
    EXPECT_TRUE(std::isnan(e.seLog) && std::isnan(e.lower) && std::isnan(e.upper));
    EXPECT_NE(e.note.find(why), std::string::npos) << e.note;
    EXPECT_NE(e.note.find("0.5 (no bias)"), std::string::npos) << e.note;
  };
  expectFallback(estimate({"GCTGCA"}), "fewer than two sequences");
  expectFallback(estimate({"ATGTGGAAA", "ATGTGGAAG"}), "no fourfold");
  // Transitions only: kappa has no finite estimate.
  std::string a, b;
  for (int i = 0; i < 40; ++i) {
    a += i % 2 ? "GCA" : "GCT";
    b += i % 4 == 0 ? "GCC" : i % 2 ? "GCG" : "GCT";
  }
  expectFallback(estimate({a, b}), "0 transversions");
  // Too few differences: one transversion and one transition.
  expectFallback(estimate({"GCTGCTGCAGCA", "GCTGCCGCAGCT"}), "only 1 transitions");
}

// With unequal base frequencies the fit must maximise the likelihood of the
// four classes built from the HKY85 rate matrix itself: here its exponential by
// a power series and squaring, the classes summed over base pairs.
TEST(TsTvEstimate, MaximisesTheHkyLikelihood) {
  // 6 C<->T, 4 A<->G and 6 transversions, then alike sites, mostly pyrimidines.
  std::string a = "CTCTCTAGAGTACGTC", b = "TCTCTCGAGAATGCGA";
  const std::array<int, 4> alike = {40, 12, 8, 4};
  for (int base = 0; base < 4; ++base) {
    a += std::string(alike[base], "TCAG"[base]);
    b += std::string(alike[base], "TCAG"[base]);
  }
  auto codonsFrom = [](const std::string& thirds) {
    std::string s;
    for (char x : thirds) s += std::string("CC") + x;
    return s;
  };
  TsTvOptions none = twentyPercent();
  none.gammaShape = 0;
  const TsTvEstimate e = estimate({codonsFrom(a), codonsFrom(b)}, none);
  ASSERT_TRUE(e.estimated) << e.note;

  double pi[4] = {0.5, 0.5, 0.5, 0.5};  // the estimator's half count of each base
  for (char x : a + b) pi[dna(x)] += 1;
  for (double& p : pi) p /= 2.0 * static_cast<double>(a.size()) + 2;
  const double n[4] = {static_cast<double>(a.size()) - 16, 4, 6, 6};  // same, purine ts, pyrimidine ts, tv
  using Matrix = std::array<std::array<double, 4>, 4>;
  auto product = [](const Matrix& x, const Matrix& y) {
    Matrix z{};
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c)
        for (int k = 0; k < 4; ++k) z[r][c] += x[r][k] * y[k][c];
    return z;
  };
  auto logLikelihood = [&](double kappa, double t) {
    Matrix q{};
    double mean = 0;
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j)
        if (i != j) {
          q[i][j] = pi[j] * ((i >> 1) == (j >> 1) ? kappa : 1.0);
          q[i][i] -= q[i][j];
          mean += pi[i] * q[i][j];
        }
    const double h = t / mean / 1024;  // exp(Q t) = exp(Q h)^1024
    Matrix m{}, term{};
    for (int i = 0; i < 4; ++i) m[i][i] = term[i][i] = 1;
    for (int k = 1; k < 14; ++k) {
      term = product(term, q);
      for (auto& row : term)
        for (double& v : row) v *= h / k;
      for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] += term[r][c];
    }
    for (int s = 0; s < 10; ++s) m = product(m, m);
    double share[4] = {};
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) share[i == j ? 0 : (i >> 1) != (j >> 1) ? 3 : i >= 2 ? 1 : 2] += pi[i] * m[i][j];
    double ll = 0;
    for (int k = 0; k < 4; ++k) ll += n[k] * std::log(share[k]);
    return ll;
  };
  auto profile = [&](double kappa) {
    double best = -1e300;
    for (double t = 0.05; t < 0.5; t += 0.0005) best = std::max(best, logLikelihood(kappa, t));
    return best;
  };
  const double at = profile(e.kappa);
  EXPECT_GT(at, profile(e.kappa * 1.02));
  EXPECT_GT(at, profile(e.kappa / 1.02));
}

}  // namespace
}  // namespace radcon
