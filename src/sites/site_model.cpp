#include "sites/site_model.h"

namespace radcon {

namespace {

enum class Counted { Synonymous, Nonsynonymous, Radical, Conservative };

bool counts(Counted test, int selfAa, int otherAa, const GroupTable* groups) {
  switch (test) {
    case Counted::Synonymous: return otherAa == selfAa;
    case Counted::Nonsynonymous: return otherAa != selfAa;
    case Counted::Radical: {
      const int g = (*groups)[otherAa];
      return g != (*groups)[selfAa] && g != -1;
    }
    case Counted::Conservative: {
      const int g = (*groups)[otherAa];
      return otherAa != selfAa && g == (*groups)[selfAa] && g != -1;
    }
  }
  return false;
}

// The nine single-nucleotide neighbours of a codon: first position, then second,
// then third; at each, the nucleotides after the codon's own in cyclic order.
struct Neighbourhood {
  int self;       // the codon's index
  int selfAa;
  int other[9];   // codon indices
  int otherAa[9];
  bool transition[9];

  Neighbourhood(int u0, int v0, int w0, const GeneticCode& code) {
    const int codon[3] = {u0, v0, w0};
    self = bb(u0, v0, w0);
    selfAa = code.translate(self);
    for (int pos = 0, k = 0; pos < 3; ++pos) {
      for (int step = 1; step <= 3; ++step, ++k) {
        int m[3] = {codon[0], codon[1], codon[2]};
        m[pos] = (codon[pos] + step) % 4;
        other[k] = bb(m[0], m[1], m[2]);
        otherAa[k] = code.translate(other[k]);
        transition[k] = isTransition(codon[pos], m[pos]);
      }
    }
  }
};

// Adds weight times share over the neighbours that pass the test. A position's
// three changes share it by the Ts/Tv parameter and by how many of them are stop
// codons: none (x, y), the transversion left beside a stop (x1, y1), the
// transition a stop (0.5 each), two stops (1), three stops (nothing).
double shareSum(Counted test, double ratio, const Neighbourhood& n, const double* wt, const GroupTable* groups) {
  const double x = ratio / (2 + ratio);
  const double y = 1 / (2 + ratio);
  const double x1 = ratio / (1 + ratio);
  const double y1 = 1 / (1 + ratio);
  double count = 0;
  int wtcount = 0;
  for (int pos = 0; pos < 3; ++pos) {
    int flag = 0, flag1 = 0;
    for (int k = pos * 3; k < pos * 3 + 3; ++k) {
      if (n.otherAa[k] == kStop) {
        ++flag;
        if (n.transition[k]) flag1 = 1;
      }
    }
    for (int k = pos * 3; k < pos * 3 + 3; ++k) {
      const double tempw = wt[wtcount];
      ++wtcount;
      if (!counts(test, n.selfAa, n.otherAa[k], groups)) continue;
      if (flag == 0) {
        count = count + (n.transition[k] ? x : y) * tempw;
      } else if (flag == 1 && flag1 == 1) {
        count = count + 0.5 * tempw;
      } else if (flag == 1) {
        count = count + (n.transition[k] ? x1 : y1) * tempw;
      } else if (flag == 2) {
        count = count + tempw;
      }
    }
  }
  return count;
}

double weightedSites(Counted test, double ratio, int u0, int v0, int w0, const double* frequencyAll,
                     const GroupTable* groups, const GeneticCode& code) {
  const float K1 = static_cast<float>(ratio / 2);  // transition factor, kept in single precision
  const float K2 = 1;                              // transversion factor
  const Neighbourhood n(u0, v0, w0, code);
  double wt[9];
  for (int k = 0; k < 9; ++k)
    wt[k] = (frequencyAll[n.self] * frequencyAll[n.other[k]]) * static_cast<double>(n.transition[k] ? K1 : K2);
  // Normalise the weights to a mean of 1.
  double count = 0;
  for (double w : wt) count = count + w;
  count = count / 9;
  for (double& w : wt) w = w / count;
  return shareSum(test, ratio, n, wt, groups);
}

}  // namespace

double synonymousNew(double ratio, int u0, int v0, int w0, const double* frequencyAll, const GeneticCode& code) {
  return weightedSites(Counted::Synonymous, ratio, u0, v0, w0, frequencyAll, nullptr, code);
}

double nonsynonymousNew(double ratio, int u0, int v0, int w0, const double* frequencyAll, const GeneticCode& code) {
  return weightedSites(Counted::Nonsynonymous, ratio, u0, v0, w0, frequencyAll, nullptr, code);
}

double radical(double ratio, int u0, int v0, int w0, const double* frequencyAll, const GroupTable& indexs,
               const GeneticCode& code) {
  return weightedSites(Counted::Radical, ratio, u0, v0, w0, frequencyAll, &indexs, code);
}

double conserve(double ratio, int u0, int v0, int w0, const double* frequencyAll, const GroupTable& indexs,
                const GeneticCode& code) {
  return weightedSites(Counted::Conservative, ratio, u0, v0, w0, frequencyAll, &indexs, code);
}

double synonymousShares(double ratio, int u0, int v0, int w0, const GeneticCode& code) {
  const Neighbourhood n(u0, v0, w0, code);
  if (n.selfAa == kStop) return 0.0;
  static constexpr double kUnit[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  return shareSum(Counted::Synonymous, ratio, n, kUnit, nullptr);
}

}  // namespace radcon
