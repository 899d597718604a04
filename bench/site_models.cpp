// The tests of dR against dC and of dN against dS on given alignments under both
// site models, for site_models.py: one line per alignment and model with the
// mean sites and distances, the means test of the 'all' group, and how many pairs
// the per-pair test rejects at 5 %. Beside radcon's tests (the larger of the
// codon sum over null deviations and the binomial null variance) it counts those
// of each part alone and of the observed variance the tests used before (the
// codon-sum estimator on each pair's own proportions; for the means, pairs with
// all four distances defined), so that a simulation compares them on the same
// genes; the same for the pairs with at most 10 radical and conservative
// differences ("few").
//
// usage: radcon_site_models TYPED_TSTV KAKS CORRECTION FILE...  (charge grouping, standard code)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "codon/frequency.h"
#include "differences/pairwise.h"
#include "input/group_file.h"
#include "input/sequence_file.h"
#include "sites/site_totals.h"
#include "stats/difference_tests.h"
#include "stats/statistics.h"

namespace {

using namespace radcon;

struct Counts {
  int tested = 0, rejected = 0;
  void add(double p) {
    if (std::isnan(p)) return;
    ++tested;
    rejected += p < 0.05;
  }
};

void analyse(const std::string& file, const Alignment& al, double ratio, double kaks, int correction, SiteModel model) {
  const GroupTable charge = parseGroupText("3\n3 RHK\n2 DE\n", "charge");
  const GeneticCode& code = standardCode();
  const CodonData codons = translateAndCount(al, code);
  const SiteTotals sites = countSites(al, codons, ratio, correction, charge, code, model);
  const StepRates rates = runStepRates(codons, al.seqNum, al.seqLength, ratio, kaks, charge, code, model);
  PairDifferences diff = countPairs(codons, al.seqLength, allPairs(al.seqNum), rates, charge, code);
  const PairStatistics st = computeStatistics(sites, diff);
  const GroupMean all = groupMeans(st, {}, 0).back();

  // The means tests of the observed variance (pairs with all four distances) and
  // of the codon sum alone (pairs with dR and dC).
  const int L = al.seqLength;
  std::vector<double> observed(static_cast<std::size_t>(L), 0.0), codonSum(static_cast<std::size_t>(L), 0.0);
  std::vector<double> e(static_cast<std::size_t>(L));
  double sumR = 0, sumC = 0, sumRall = 0, sumCall = 0;
  std::size_t m = 0, mAll = 0;
  // All pairs, and those with at most 10 radical and conservative differences.
  Counts pairLarger, pairCodonSum, pairObserved, pairBinomial, fewLarger, fewCodonSum, fewObserved, fewBinomial;
  for (std::size_t a = 0; a < st.pairs; ++a) {
    bool defined = true;
    for (int k = 0; k < kKinds; ++k) defined = defined && st.jcDenominator[k][a] > 0.0;
    const double jR = st.jcDenominator[kRadical][a], jC = st.jcDenominator[kConservative][a];
    if (!(jR > 0.0 && jC > 0.0)) continue;
    const double dR = jukesCantor(st.proportion[kRadical][a]), dC = jukesCantor(st.proportion[kConservative][a]);
    nullDeviations(st, a, kRadical, kConservative, e.data());
    double nullSum = 0;
    for (int k = 0; k < L; ++k) {
      nullSum += e[static_cast<std::size_t>(k)] * e[static_cast<std::size_t>(k)];
      codonSum[static_cast<std::size_t>(k)] += e[static_cast<std::size_t>(k)];
    }
    ++m;
    sumR += dR;
    sumC += dC;
    const double cov = st.covRC[a] / (jR * jC);
    const double own = st.variance[kRadical][a] / (jR * jR) + st.variance[kConservative][a] / (jC * jC) - 2 * cov;
    pairLarger.add(pairTest(st, a, kRadical, kConservative).test.p);
    pairCodonSum.add(normalTest(dR - dC, nullSum).p);
    pairObserved.add(normalTest(dR - dC, own).p);
    pairBinomial.add(normalTest(dR - dC, st.binomialVarianceRC[a]).p);
    if (diff.total[kRadical][a] + diff.total[kConservative][a] <= 10.0) {
      fewLarger.add(pairTest(st, a, kRadical, kConservative).test.p);
      fewCodonSum.add(normalTest(dR - dC, nullSum).p);
      fewObserved.add(normalTest(dR - dC, own).p);
      fewBinomial.add(normalTest(dR - dC, st.binomialVarianceRC[a]).p);
    }
    if (!defined) continue;
    ++mAll;
    sumRall += dR;
    sumCall += dC;
    const double wR = 2.0 / st.sumSites[kRadical][a] / jR, wC = 2.0 / st.sumSites[kConservative][a] / jC;
    for (int k = 0; k < L; ++k)
      observed[static_cast<std::size_t>(k)] += wR * st.deviation[kRadical].at(a, k) - wC * st.deviation[kConservative].at(a, k);
  }
  const auto meansTest = [](double difference, const std::vector<double>& codon, std::size_t n) {
    double var = 0;
    for (double v : codon) var += v * v;
    return n ? normalTest(difference, var / (static_cast<double>(n) * n)) : NormalTest{NAN, NAN};
  };
  const NormalTest old = meansTest(sumRall / mAll - sumCall / mAll, observed, mAll);
  const NormalTest alone = meansTest(sumR / m - sumC / m, codonSum, m);
  double S = 0, R = 0, C = 0;
  for (int i = 0; i < al.seqNum; ++i) S += sites.S[i], R += sites.R[i], C += sites.C[i];
  std::printf("%s\t%s\t%zu\t%.6f\t%.6f\t%.6f\t%.6f\t%.6f\t%.4f\t%.6g\t%.4f\t%.6g\t%.4f\t%.6g\t%.4f\t%.6g\t%d\t%d\t%d\t%d"
              "\t%d\t%d\t%d\t%d\t%d\t%d\n",
              file.c_str(), model == SiteModel::kMutation ? "mutation" : "neighbour", st.pairs, S / al.seqNum,
              R / al.seqNum, C / al.seqNum, all.p[kRadical] / all.p[kConservative],
              all.d[kRadical] / all.d[kConservative], all.dRdC.z, all.dRdC.p, alone.z, alone.p, old.z, old.p,
              all.dNdS.z, all.dNdS.p, pairLarger.tested, pairLarger.rejected, pairCodonSum.rejected,
              pairBinomial.rejected, pairObserved.rejected, fewLarger.tested, fewLarger.rejected, fewCodonSum.rejected,
              fewBinomial.rejected, fewObserved.rejected);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s TYPED_TSTV KAKS CORRECTION FILE...\n", argv[0]);
    return 2;
  }
  const double ratio = finalRatio(std::atof(argv[1])), kaks = std::atof(argv[2]);
  const int correction = std::atoi(argv[3]);
  std::printf("file\tmodel\tpairs\tS_sites\tR_sites\tC_sites\tpR_pC\tdR_dC\tz_dR_dC\tp_dR_dC\tz_codon_sum\tp_codon_sum"
              "\tz_observed\tp_observed\tz_dN_dS\tp_dN_dS\tpairs_tested\tpairs_rejected\tpairs_rejected_codon_sum"
              "\tpairs_rejected_binomial\tpairs_rejected_observed\tfew_tested\tfew_rejected\tfew_rejected_codon_sum"
              "\tfew_rejected_binomial\tfew_rejected_observed\n");
  for (int k = 4; k < argc; ++k) {
    const Alignment al = readSequenceFile(argv[k]);
    for (SiteModel model : {SiteModel::kNeighbour, SiteModel::kMutation})
      analyse(argv[k], al, ratio, kaks, correction, model);
  }
  return 0;
}
