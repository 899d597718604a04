#include "differences/pairwise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "codon/genetic_code.h"
#include "differences/step.h"
#include "input/group_file.h"
#include "input/sequence_file.h"

#include "../synthetic.h"
#include "../unit_support.h"

namespace radcon {
namespace {

const GroupTable kCharge = parseGroupText("3\n3 RHK\n2 DE\n", "charge");

// Every pair of the alignment, counted after the run-wide ratio as a run counts them.
PairDifferences countAll(const CodonData& codons, int n, int L, double ratio, double KaKs) {
  const double DrDc = n < 2 ? 1.0 : radicalConservativeRatio(codons, n, L, kCharge, standardCode());
  return countPairs(codons, L, allPairs(n), {ratio, KaKs, DrDc}, kCharge, standardCode());
}

int idx(const char* s) { return bb(dna(s[0]), dna(s[1]), dna(s[2])); }

double qab(const char* from, const char* to, double Pi2, double ratio, double w, double r) {
  return ComputeQab(dna(from[0]), dna(from[1]), dna(from[2]), dna(to[0]), dna(to[1]), dna(to[2]), Pi2, ratio, w, r,
                    kCharge.data(), standardCode());
}

// Synonymous, transversion, radical: the classification behind a step's weight.
std::vector<int> flags(const char* from, const char* to) {
  const int a = dna(from[0]), b = dna(from[1]), c = dna(from[2]), x = dna(to[0]), y = dna(to[1]), z = dna(to[2]);
  return {SynonymousChange(a, b, c, x, y, z, standardCode()), HasTransVersion(a, b, c, x, y, z),
          IsRadical(a, b, c, x, y, z, kCharge.data(), standardCode())};
}

TEST(StepClassifiers, WeightsOfTheStepKinds) {
  EXPECT_EQ(qab("TTT", "TTC", 0.37, 3.0, 0.5, 2.0), 3.0);  // synonymous transition: ratio alone
  EXPECT_EQ(flags("TTT", "TTC"), (std::vector<int>{1, 0, 0}));
  EXPECT_EQ(qab("TCT", "TCA", 0.37, 3.0, 0.5, 2.0), 0.37);  // synonymous transversion: Pi2
  EXPECT_EQ(flags("TCT", "TCA"), (std::vector<int>{1, 1, 0}));
  // W to stop: nonsynonymous, transition, radical.
  EXPECT_EQ(qab("TGG", "TAG", 0.37, 3.0, 0.5, 2.0), 3.0 * 0.5 * 0.37 * std::sqrt(2.0));
  EXPECT_EQ(flags("TGG", "TAG"), (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(qab("TAA", "TAG", 0.37, 3.0, 0.5, 2.0), 3.0);  // stop to stop: synonymous transition
  EXPECT_EQ(flags("TAA", "TAG"), (std::vector<int>{1, 0, 0}));
  // Conservative (K to R, both positive) transversion: r = 4 halves it.
  EXPECT_EQ(qab("AAA", "AGA", 0.2, 3.0, 0.5, 4.0) * 2, qab("AAA", "AGA", 0.2, 3.0, 0.5, 1.0));
  EXPECT_EQ(qab("AAA", "ATA", 0.2, 3.0, 0.5, 4.0), 0.5 * 0.2 * 2.0);  // K to I transversion, radical
  EXPECT_EQ(flags("AAA", "ATA"), (std::vector<int>{0, 1, 1}));
}

FrequencyTable flat(double v = 0.5) {
  FrequencyTable f;
  f.fill(v);
  return f;
}

CodonDifference diff(const char* I, const char* J, const FrequencyTable& f = flat(), StepRates r = {2.0, 1.0, 1.0}) {
  return compareCodons(idx(I), idx(J), f, r, kCharge, standardCode());
}

void expectDiff(const CodonDifference& d, double s, double n, double c, double r) {
  EXPECT_NEAR(d.s, s, 1e-12);
  EXPECT_NEAR(d.n, n, 1e-12);
  EXPECT_NEAR(d.c, c, 1e-12);
  EXPECT_NEAR(d.r, r, 1e-12);
}

TEST(CodonDifferences, OneDifference) {
  expectDiff(diff("AAA", "AAA"), 0, 0, 0, 0);
  expectDiff(diff("TTT", "TTC"), 1, 0, 0, 0);
  expectDiff(diff("TGG", "TAG"), 0, 1, 0, 1);  // W to stop is radical
  expectDiff(diff("TAA", "TAG"), 1, 0, 0, 0);  // two stops are synonymous
  expectDiff(diff("AAA", "AGA"), 0, 1, 1, 0);  // K to R within the positive group
}

TEST(CodonDifferences, TwoDifferencesThroughStops) {
  // TAA against TGG: both intermediates are stops; pathway Y (through TGA) takes it all.
  expectDiff(diff("TAA", "TGG"), 1, 1, 0, 1);
  // TGG against TAT: y = TAG is a stop, so x = TGT carries weight 1 (W-C-Y, all neutral).
  expectDiff(diff("TGG", "TAT"), 0, 2, 2, 0);
}

TEST(CodonDifferences, TwoDifferencesWeighedByTheirStepRates) {
  // GAT (D) to GGG (G): X through GAG (E): D-E conservative, E-G radical;
  // Y through GGT (G): D-G radical, G-G synonymous.
  FrequencyTable f = flat(0.7);
  f[idx("GAG")] = 0.2;
  f[idx("GGG")] = 0.3;
  f[idx("GGT")] = 0.1;
  const double ratio = 2.0, w = 0.5, sqrtR = 2.0;
  const double X = (w * 0.2 / sqrtR) * (ratio * w * 0.3 * sqrtR);  // transversion then transition
  const double Y = (ratio * w * 0.1 * sqrtR) * 0.3;                // transition then synonymous transversion
  const double wx = X / (X + Y), wy = Y / (X + Y);
  EXPECT_NEAR(wx, 1.0 / 3, 1e-15);
  expectDiff(diff("GAT", "GGG", f, {ratio, w, 4.0}), wy, 2 * wx + wy, wx, wx + wy);
}

TEST(CodonDifferences, ThreeDifferencesSkipStopPathways) {
  // TGG to CAA: every pathway whose intermediate is a stop carries nothing, and
  // the rest still sum to one.
  const CodonDifference d = diff("TGG", "CAA");
  EXPECT_NEAR(d.s + d.n, 3.0, 1e-12);
  EXPECT_NEAR(d.c + d.r, d.n, 1e-12);
  // ATG to TAA: only pathways avoiding TAG/TGA/TAA intermediates count.
  const CodonDifference e = diff("ATG", "TCA");
  EXPECT_NEAR(e.s + e.n, 3.0, 1e-12);
  // Under the vertebrate mitochondrial code every pathway from TGG (W) to AAA (K)
  // passes TAG, TAA, AGG or AGA, all stops: all six count, and the three
  // differences are still three.
  const CodonDifference m = compareCodons(idx("TGG"), idx("AAA"), flat(), {2.0, 1.0, 1.0}, kCharge, *findGeneticCode(2));
  EXPECT_NEAR(m.s + m.n, 3.0, 1e-12);
  EXPECT_GT(m.n, 0.0);
}

TEST(CodonDifferences, InvariantsOverRandomCodonsFrequenciesAndCodes) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(0.01, 1.5);
  for (int trial = 0; trial < 20000; ++trial) {
    FrequencyTable f;
    for (double& v : f) v = u(rng);
    const int I = static_cast<int>(rng() % 64), J = static_cast<int>(rng() % 64);
    const StepRates r{u(rng) * 4, u(rng), u(rng) * 3, trial % 2 ? SiteModel::kMutation : SiteModel::kNeighbour};
    const GeneticCode& code = geneticCodes()[static_cast<std::size_t>(trial) % geneticCodes().size()];
    const CodonDifference d = compareCodons(I, J, f, r, kCharge, code);
    const int a4 = ((I ^ J) & 0x30 ? 1 : 0) + ((I ^ J) & 0x0C ? 1 : 0) + ((I ^ J) & 0x03 ? 1 : 0);
    EXPECT_NEAR(d.s + d.n, a4, 1e-12);
    EXPECT_NEAR(d.c + d.r, d.n, 1e-12);
    EXPECT_GE(std::min({d.s, d.n, d.c, d.r}), 0.0);
  }
}

TEST(PairDifferencesTest, RatioIsSharedByAllPairs) {
  const Alignment al = test::alignmentOf({"TGGAAA", "TAGAGA", "TGGGAA"});
  const CodonData codons = translateAndCount(al, standardCode());
  // Radical: TGG/TAG in (0,1), AAA/GAA in (0,2), TAG/TGG in (1,2); conservative: AAA/AGA in (0,1).
  EXPECT_EQ(radicalConservativeRatio(codons, 3, 2, kCharge, standardCode()), (((0.001 + 1) + 1) + 1) / (0.001 + 1));
  const PairDifferences d = countAll(codons, 3, 2, 1.0, 1.0);
  EXPECT_EQ(d.total[kRadical][0], 1.0);
  EXPECT_EQ(d.total[kConservative][0], 1.0);
  EXPECT_EQ(d.total[kNonsynonymous][0], 2.0);
  EXPECT_EQ(d.perCodon[kRadical].at(0, 0), 1.0);
  EXPECT_EQ(d.perCodon[kConservative].at(0, 1), 1.0);
}

TEST(PairDifferencesTest, RatioFromCodonCountsIsThePairByPairCount) {
  // Adding ones one at a time, and the binade jumps that stand for them.
  for (std::uint64_t n : {0ull, 1ull, 2ull, 3ull, 1000ull, 1023ull, 1024ull, 1025ull, 123457ull, 3000001ull}) {
    double loop = 0.001;
    for (std::uint64_t k = 0; k < n; ++k) loop += 1;
    EXPECT_EQ(addOnes(0.001, n), loop) << n;
  }
  // The ratio over random alignments and codes, against the literal pair loop.
  for (int trial = 0; trial < 20; ++trial) {
    const GeneticCode& code = geneticCodes()[static_cast<std::size_t>(trial) % geneticCodes().size()];
    const Alignment al = parseSequenceText(test::syntheticAlignment(12, 80, 0.2, static_cast<unsigned>(trial)));
    const CodonData codons = translateAndCount(al, code);
    double Dc = 0.001, Dr = 0.001;
    for (int i = 0; i + 1 < al.seqNum; ++i)
      for (int j = i + 1; j < al.seqNum; ++j)
        for (int k = 0; k < al.seqLength; ++k) {
          const std::size_t a = static_cast<std::size_t>(i) * al.seqLength + k, b = static_cast<std::size_t>(j) * al.seqLength + k;
          const int d = codons.codon[a] ^ codons.codon[b];
          if (((d & 0x30) != 0) + ((d & 0x0C) != 0) + ((d & 0x03) != 0) != 1) continue;
          const int A = code.translate(codons.codon[a]), B = code.translate(codons.codon[b]);
          if (A == B) continue;
          if (kCharge[A] == kCharge[B])
            Dc += 1;
          else
            Dr += 1;
        }
    EXPECT_EQ(radicalConservativeRatio(codons, al.seqNum, al.seqLength, kCharge, code), Dr / Dc) << trial;
  }
}

TEST(PairDifferencesTest, NoOneStepChangesGiveRatioOne) {
  const Alignment al = test::alignmentOf({"AAAAAA", "AAAAAA"});
  const CodonData codons = translateAndCount(al, standardCode());
  EXPECT_EQ(radicalConservativeRatio(codons, 2, 2, kCharge, standardCode()), 1.0);
  const PairDifferences d = countAll(codons, 2, 2, 1.0, 1.0);
  for (int k = 0; k < kKinds; ++k) {
    EXPECT_EQ(d.total[k][0], 0.0);
    EXPECT_EQ(d.perCodon[k].at(0, 0), 0.0);
  }
  EXPECT_EQ(countAll(translateAndCount(test::alignmentOf({"AAA"}), standardCode()), 1, 1, 1.0, 1.0).total[0].size(), 0u);
}

TEST(PairDifferencesTest, TotalsAreSumsOverCodonsAndBatchesChangeNothing) {
  std::mt19937_64 rng(5);
  std::vector<std::string> seqs(7);
  for (std::string& s : seqs)
    for (int k = 0; k < 300; ++k) s.push_back("TCAG"[rng() % 4]);
  const Alignment al = test::alignmentOf(seqs);
  const CodonData codons = translateAndCount(al, standardCode());
  const PairDifferences one = countAll(codons, 7, 100, 2.5, 0.7);
  // The same pairs counted in two batches, the later ones first.
  const std::vector<SeqPair> pairs = allPairs(7);
  const std::vector<SeqPair> front(pairs.begin(), pairs.begin() + 8), back(pairs.begin() + 8, pairs.end());
  const StepRates rates{2.5, 0.7, radicalConservativeRatio(codons, 7, 100, kCharge, standardCode())};
  const PairDifferences later = countPairs(codons, 100, back, rates, kCharge, standardCode());
  const PairDifferences earlier = countPairs(codons, 100, front, rates, kCharge, standardCode());
  for (int k = 0; k < kKinds; ++k) {
    for (std::size_t a = 0; a < pairCount(7); ++a) {
      const PairDifferences& part = a < 8 ? earlier : later;
      const std::size_t b = a < 8 ? a : a - 8;
      double sum = 0;
      for (int j = 0; j < 100; ++j) {
        sum = sum + one.perCodon[k].at(a, j);
        EXPECT_EQ(one.perCodon[k].at(a, j), part.perCodon[k].at(b, j));
      }
      EXPECT_EQ(one.total[k][a], sum);
      EXPECT_EQ(part.total[k][b], sum);
    }
  }
}

TEST(Pairwise, PairsOfABatchMadeFromTheirFirstIndex) {
  // Any stretch of pair order, made from its first index alone, is that stretch
  // of the list of every pair; up to 6,000 sequences, where the row is found
  // from a square root.
  for (int n : {2, 3, 7, 100, 6000}) {
    const std::vector<SeqPair> all = allPairs(n);
    for (std::size_t first : {std::size_t{0}, all.size() / 3, all.size() / 2 + 1, all.size() - 1}) {
      const std::size_t count = std::min<std::size_t>(300, all.size() - first);
      EXPECT_TRUE(pairsFrom(n, first, count) ==
                  std::vector<SeqPair>(all.begin() + static_cast<std::ptrdiff_t>(first),
                                       all.begin() + static_cast<std::ptrdiff_t>(first + count)))
          << n << " " << first;
    }
    // The first pair of every row, and the pair before it.
    for (int i = 1; i + 1 < n; i += std::max(1, n / 50)) {
      const std::size_t at = pairIndex(n, i, i + 1);
      EXPECT_EQ(pairsFrom(n, at - 1, 2), (std::vector<SeqPair>{{i - 1, n - 1}, {i, i + 1}})) << n << " " << i;
    }
  }
}

}  // namespace
}  // namespace radcon
