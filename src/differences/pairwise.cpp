#include "differences/pairwise.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "codon/genetic_code.h"
#include "differences/step.h"

namespace radcon {

namespace {

struct Codon {
  int n[3];
  explicit Codon(int index) : n{index >> 4, (index >> 2) & 3, index & 3} {}
  Codon(int a, int b, int c) : n{a, b, c} {}
  int index() const { return bb(n[0], n[1], n[2]); }
  int aminoAcid(const GeneticCode& code) const { return code.translate(index()); }
};

int differingPositions(int I, int J) {
  const int d = I ^ J;
  return ((d & 0x30) != 0) + ((d & 0x0C) != 0) + ((d & 0x03) != 0);
}

// Adds one step between amino acids a and b, carrying weight w.
void countStep(CodonDifference& t, int a, int b, double w, const GroupTable& g) {
  if (a == b) {
    t.s += w;
    return;
  }
  t.n += w;
  if (g[a] == g[b])
    t.c += w;
  else
    t.r += w;
}

// Rate of the single-nucleotide step from codon A to codon B.
double q(const Codon& A, const Codon& B, const FrequencyTable& ave, const StepRates& rates, const GroupTable& g,
         const GeneticCode& code) {
  return ComputeQab(A.n[0], A.n[1], A.n[2], B.n[0], B.n[1], B.n[2], ave[B.index()], rates.ratio, rates.KaKsRatio,
                    rates.DrDcRatio, g.data(), code, rates.model);
}

CodonDifference twoDifferences(const Codon& I, const Codon& J, const FrequencyTable& ave, const StepRates& rates,
                               const GroupTable& g, const GeneticCode& code) {
  // Pathway X passes through x, pathway Y through y.
  const bool thirdSame = I.n[2] == J.n[2];
  const Codon x = thirdSame ? Codon(I.n[0], J.n[1], I.n[2]) : Codon(I.n[0], I.n[1], J.n[2]);
  const Codon y = thirdSame ? Codon(J.n[0], I.n[1], J.n[2]) : Codon(J.n[0], J.n[1], I.n[2]);
  const int AI = I.aminoAcid(code), AJ = J.aminoAcid(code), Ax = x.aminoAcid(code), Ay = y.aminoAcid(code);
  double wt[2];
  if (Ax == kStop) {
    wt[0] = 0;
    wt[1] = 1;
  } else if (Ay == kStop) {
    wt[0] = 1;
    wt[1] = 0;
  } else {
    // A pathway weighs the product of its step rates.
    const double qIx = q(I, x, ave, rates, g, code);
    const double qxJ = q(x, J, ave, rates, g, code);
    const double qIy = q(I, y, ave, rates, g, code);
    const double qyJ = q(y, J, ave, rates, g, code);
    const double X = qIx * qxJ, Y = qIy * qyJ;
    const double sum = X + Y;
    wt[0] = X / sum;
    wt[1] = Y / sum;
  }
  CodonDifference t;
  countStep(t, AI, Ax, wt[0], g);
  countStep(t, Ax, AJ, wt[0], g);
  countStep(t, AI, Ay, wt[1], g);
  countStep(t, Ay, AJ, wt[1], g);
  return t;
}

CodonDifference threeDifferences(const Codon& I, const Codon& J, const FrequencyTable& ave, const StepRates& rates,
                                 const GroupTable& g, const GeneticCode& code) {
  const int (&i)[3] = I.n;
  const int (&j)[3] = J.n;
  // The six orders in which the three positions can change: first and second intermediate.
  const Codon xs[6] = {{i[0], i[1], j[2]}, {i[0], i[1], j[2]}, {i[0], j[1], i[2]},
                       {i[0], j[1], i[2]}, {j[0], i[1], i[2]}, {j[0], i[1], i[2]}};
  const Codon ys[6] = {{i[0], j[1], j[2]}, {j[0], i[1], j[2]}, {i[0], j[1], j[2]},
                       {j[0], j[1], i[2]}, {j[0], i[1], j[2]}, {j[0], j[1], i[2]}};
  double wt[6];
  bool open[6];
  bool anyOpen = false;
  for (int p = 0; p < 6; ++p) {
    open[p] = xs[p].aminoAcid(code) != kStop && ys[p].aminoAcid(code) != kStop;
    anyOpen = anyOpen || open[p];
  }
  // Some codes (vertebrate mitochondrial: TGG against AAA) close every pathway
  // with a stop codon. The three differences are still there: then every
  // pathway counts, weighted by its step rates alone.
  if (!anyOpen) std::fill(open, open + 6, true);
  for (int p = 0; p < 6; ++p) {
    if (!open[p]) {
      wt[p] = 0;
      continue;
    }
    const double a = q(I, xs[p], ave, rates, g, code);
    const double b = q(xs[p], ys[p], ave, rates, g, code);
    const double c = q(ys[p], J, ave, rates, g, code);
    wt[p] = (a * b) * c;
  }
  double sumw = wt[0];
  for (int p = 1; p < 6; ++p) sumw = sumw + wt[p];
  for (double& w : wt) w = w / sumw;

  const int AI = I.aminoAcid(code), AJ = J.aminoAcid(code);
  CodonDifference t;
  for (int p = 0; p < 6; ++p) {
    if (!open[p]) continue;
    const int Ax = xs[p].aminoAcid(code), Ay = ys[p].aminoAcid(code);
    countStep(t, AI, Ax, wt[p], g);
    countStep(t, Ay, AJ, wt[p], g);
    countStep(t, Ax, Ay, wt[p], g);
  }
  return t;
}

}  // namespace

double addOnes(double start, std::uint64_t n) {
  // Below 2^53 adding 1 is exact while the sum stays in its binade (its unit in
  // the last place is at most 1); only the one addition that crosses into the
  // next binade rounds. So whole runs of additions are one exact addition each.
  double x = start;
  while (n > 0) {
    int e = 0;
    std::frexp(x, &e);
    const double top = std::ldexp(1.0, e);  // the next binade starts here
    const double room = std::ceil(top - x) - 1.0;  // additions that stay below top
    if (x >= 1.0 && room >= 1.0) {
      const std::uint64_t k = std::min<std::uint64_t>(n, static_cast<std::uint64_t>(room));
      x = x + static_cast<double>(k);
      n -= k;
      if (n == 0) break;
    }
    x = x + 1.0;
    --n;
  }
  return x;
}

double radicalConservativeRatio(const CodonData& codons, int seqNum, int seqLength, const GroupTable& indexs,
                                const GeneticCode& code) {
  // Which codon pairs one step apart make a conservative or a radical change.
  std::vector<std::pair<int, int>> conservative, radicalPairs;
  for (int I = 0; I < kCodons; ++I)
    for (int J = I + 1; J < kCodons; ++J) {
      if (differingPositions(I, J) != 1) continue;
      const int AI = code.translate(I), AJ = code.translate(J);
      if (AI == AJ) continue;
      (indexs[AI] == indexs[AJ] ? conservative : radicalPairs).emplace_back(I, J);
    }
  std::uint64_t Nc = 0, Nr = 0;
  std::vector<std::uint64_t> count(kCodons);
  for (int k = 0; k < seqLength; ++k) {
    std::fill(count.begin(), count.end(), 0);
    for (int i = 0; i < seqNum; ++i) ++count[codons.codon[static_cast<std::size_t>(i) * seqLength + k]];
    for (const auto& [I, J] : conservative) Nc += count[I] * count[J];
    for (const auto& [I, J] : radicalPairs) Nr += count[I] * count[J];
  }
  return addOnes(0.001, Nr) / addOnes(0.001, Nc);
}

StepRates runStepRates(const CodonData& codons, int seqNum, int seqLength, double ratio, double KaKsRatio,
                       const GroupTable& indexs, const GeneticCode& code, SiteModel model) {
  if (model == SiteModel::kMutation) return {ratio, KaKsRatio, 1.0, model};
  return {ratio, KaKsRatio, seqNum < 2 ? 1.0 : radicalConservativeRatio(codons, seqNum, seqLength, indexs, code)};
}

CodonDifference compareCodons(int I, int J, const FrequencyTable& ave, const StepRates& rates, const GroupTable& g,
                              const GeneticCode& code) {
  CodonDifference t;
  switch (differingPositions(I, J)) {
    case 0:
      return t;
    case 1:
      countStep(t, code.translate(I), code.translate(J), 1.0, g);
      return t;
    case 2:
      return twoDifferences(Codon(I), Codon(J), ave, rates, g, code);
    default:
      return threeDifferences(Codon(I), Codon(J), ave, rates, g, code);
  }
}

PairDifferences countPairs(const CodonData& codons, int seqLength, const std::vector<SeqPair>& pairs,
                           const StepRates& rates, const GroupTable& indexs, const GeneticCode& code) {
  PairDifferences d;
  countPairs(codons, seqLength, pairs, rates, indexs, code, d);
  return d;
}

void countPairs(const CodonData& codons, int seqLength, const std::vector<SeqPair>& pairs, const StepRates& rates,
                const GroupTable& indexs, const GeneticCode& code, PairDifferences& d) {
  d.pairs = pairs;
  for (int k = 0; k < kKinds; ++k) {
    d.total[k].assign(pairs.size(), 0.0);
    d.perCodon[k].reset(pairs.size(), seqLength);
  }
  // A pair meets few distinct codon pairs, most of them many times: each is
  // resolved once per pair (the memo is stamped with the pair it holds).
  std::vector<std::size_t> stamp(kCodons * kCodons, SIZE_MAX);
  std::vector<CodonDifference> memo(kCodons * kCodons);
  for (std::size_t a = 0; a < pairs.size(); ++a) {
    const auto [i, j] = pairs[a];
    const FrequencyTable ave = averageTables(codons.frequency[i], codons.frequency[j]);
    const std::uint8_t* ci = &codons.codon[static_cast<std::size_t>(i) * seqLength];
    const std::uint8_t* cj = &codons.codon[static_cast<std::size_t>(j) * seqLength];
    double s = 0, n = 0, c = 0, r = 0;
    for (int k = 0; k < seqLength; ++k) {
      if (ci[k] == cj[k]) continue;
      const std::size_t key = static_cast<std::size_t>(ci[k]) * kCodons + cj[k];
      if (stamp[key] != a) {
        memo[key] = compareCodons(ci[k], cj[k], ave, rates, indexs, code);
        stamp[key] = a;
      }
      const CodonDifference& t = memo[key];
      s = s + t.s;
      n = n + t.n;
      c = c + t.c;
      r = r + t.r;
      d.perCodon[kSynonymous].at(a, k) = t.s;
      d.perCodon[kNonsynonymous].at(a, k) = t.n;
      d.perCodon[kConservative].at(a, k) = t.c;
      d.perCodon[kRadical].at(a, k) = t.r;
    }
    d.total[kSynonymous][a] = s;
    d.total[kNonsynonymous][a] = n;
    d.total[kConservative][a] = c;
    d.total[kRadical][a] = r;
  }
}

}  // namespace radcon
