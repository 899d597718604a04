#include "differences/pairwise.h"

#include <algorithm>

#include "codon/genetic_code.h"
#include "differences/step.h"
#include "util/parallel.h"

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
                    rates.DrDcRatio, g.data(), code);
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

double radicalConservativeRatio(const CodonData& codons, int seqNum, int seqLength, const GroupTable& indexs) {
  double Dc = 0.001, Dr = 0.001;
  for (int i = 0; i + 1 < seqNum; ++i) {
    for (int j = i + 1; j < seqNum; ++j) {
      const std::size_t ri = static_cast<std::size_t>(i) * seqLength, rj = static_cast<std::size_t>(j) * seqLength;
      for (int k = 0; k < seqLength; ++k) {
        if (differingPositions(codons.codon[ri + k], codons.codon[rj + k]) != 1) continue;
        const int AI = codons.aminoAcid[ri + k], AJ = codons.aminoAcid[rj + k];
        if (AI == AJ) continue;
        if (indexs[AI] == indexs[AJ])
          Dc += 1;
        else
          Dr += 1;
      }
    }
  }
  return Dr / Dc;
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

PairDifferences countDifferences(const CodonData& codons, int seqNum, int seqLength, double ratio, double KaKsRatio,
                                 const GroupTable& indexs, const GeneticCode& code, int threads) {
  PairDifferences d;
  d.seqNum = seqNum;
  d.seqLength = seqLength;
  const std::size_t pairs = pairCount(seqNum);
  for (int k = 0; k < kKinds; ++k) {
    d.total[k].assign(pairs, 0.0);
    d.perCodon[k] = PairCodonTable(pairs, seqLength);
  }
  if (pairs == 0) return d;
  d.DrDcRatio = radicalConservativeRatio(codons, seqNum, seqLength, indexs);
  const StepRates rates{ratio, KaKsRatio, d.DrDcRatio};

  // Pairs are independent: each writes only its own totals and codon values.
  std::vector<std::pair<int, int>> order;
  order.reserve(pairs);
  for (int i = 0; i + 1 < seqNum; ++i)
    for (int j = i + 1; j < seqNum; ++j) order.emplace_back(i, j);
  parallelFor(pairs, threads, [&](std::size_t a) {
    const auto [i, j] = order[a];
    const FrequencyTable ave = averageTables(codons.frequency[i], codons.frequency[j]);
    const std::uint8_t* ci = &codons.codon[static_cast<std::size_t>(i) * seqLength];
    const std::uint8_t* cj = &codons.codon[static_cast<std::size_t>(j) * seqLength];
    double s = 0, n = 0, c = 0, r = 0;
    for (int k = 0; k < seqLength; ++k) {
      if (ci[k] == cj[k]) continue;
      const CodonDifference t = compareCodons(ci[k], cj[k], ave, rates, indexs, code);
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
  });
  return d;
}

}  // namespace radcon
