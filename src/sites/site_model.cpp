#include "sites/site_model.h"

#include "codon/genetic_code.h"

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

double weightedSites(Counted test, double ratio, int u0, int v0, int w0, const double* frequencyAll,
                     const GroupTable* groups) {
  // Shares of one position: no stop neighbour (x, y), the other transversion a
  // stop (x1, y1); 0.5 each when the transition is a stop; 1 when two are stops.
  const double x = ratio / (2 + ratio);
  const double y = 1 / (2 + ratio);
  const double x1 = ratio / (1 + ratio);
  const double y1 = 1 / (1 + ratio);
  const float K1 = static_cast<float>(ratio / 2);  // transition factor, kept in single precision
  const float K2 = 1;                              // transversion factor

  const int codon[3] = {u0, v0, w0};
  const int self = bb(u0, v0, w0);
  const int selfAa = translate(self);
  int neighbourAa[9];
  bool transition[9];
  double wt[9];
  for (int pos = 0, k = 0; pos < 3; ++pos) {
    for (int step = 1; step <= 3; ++step, ++k) {
      int m[3] = {codon[0], codon[1], codon[2]};
      m[pos] = (codon[pos] + step) % 4;
      const int other = bb(m[0], m[1], m[2]);
      neighbourAa[k] = translate(other);
      transition[k] = isTransition(codon[pos], m[pos]);
      wt[k] = (frequencyAll[self] * frequencyAll[other]) * static_cast<double>(transition[k] ? K1 : K2);
    }
  }
  // Normalise the weights to a mean of 1.
  double count = 0;
  for (double w : wt) count = count + w;
  count = count / 9;
  for (double& w : wt) w = w / count;

  count = 0;
  int wtcount = 0;
  for (int pos = 0; pos < 3; ++pos) {
    int flag = 0, flag1 = 0;
    for (int k = pos * 3; k < pos * 3 + 3; ++k) {
      if (neighbourAa[k] == kStop) {
        ++flag;
        if (transition[k]) flag1 = 1;
      }
    }
    for (int k = pos * 3; k < pos * 3 + 3; ++k) {
      const double tempw = wt[wtcount];
      ++wtcount;
      if (!counts(test, selfAa, neighbourAa[k], groups)) continue;
      if (flag == 0) {
        count = count + (transition[k] ? x : y) * tempw;
      } else if (flag == 1 && flag1 == 1) {
        count = count + 0.5 * tempw;
      } else if (flag == 1) {
        count = count + (transition[k] ? x1 : y1) * tempw;
      } else if (flag == 2) {
        count = count + tempw;
      }
    }
  }
  return count;
}

}  // namespace

double synonymousNew(double ratio, int u0, int v0, int w0, const double* frequencyAll) {
  return weightedSites(Counted::Synonymous, ratio, u0, v0, w0, frequencyAll, nullptr);
}

double nonsynonymousNew(double ratio, int u0, int v0, int w0, const double* frequencyAll) {
  return weightedSites(Counted::Nonsynonymous, ratio, u0, v0, w0, frequencyAll, nullptr);
}

double radical(double ratio, int u0, int v0, int w0, const double* frequencyAll, const GroupTable& indexs) {
  return weightedSites(Counted::Radical, ratio, u0, v0, w0, frequencyAll, &indexs);
}

double conserve(double ratio, int u0, int v0, int w0, const double* frequencyAll, const GroupTable& indexs) {
  return weightedSites(Counted::Conservative, ratio, u0, v0, w0, frequencyAll, &indexs);
}

}  // namespace radcon
