#include "sites/site_totals.h"

#include "sites/mutation_sites.h"
#include "sites/site_model.h"
#include "sites/uncorrected.h"

namespace radcon {

SiteTotals countSites(const Alignment& al, const CodonData& codons, double ratio, int correction,
                      const GroupTable& indexs, const GeneticCode& code, SiteModel model) {
  if (model == SiteModel::kMutation) return mutationSites(al, codons, ratio, correction, indexs, code);
  SiteTotals t = SiteTotals::zeros(al.seqNum, al.seqLength);
  for (int i = 0; i < al.seqNum; ++i) {
    const double* f = codons.frequency[i].data();
    for (int j = 0; j < al.seqLength; ++j) {
      const std::size_t at = static_cast<std::size_t>(i) * al.seqLength + j;
      const int a = al.nucleotide(i, j, 0), b = al.nucleotide(i, j, 1), c = al.nucleotide(i, j, 2);
      double tempr1 = nonsynonymousNew(ratio, a, b, c, f, code);
      double tempc1 = synonymousNew(ratio, a, b, c, f, code);
      double sumw = tempr1 + tempc1;
      t.SS[at] = (3 * tempc1) / sumw;
      t.NN[at] = (3 * tempr1) / sumw;
      if (correction == 0) {
        t.SS[at] = uncorrectedSynonymous(ratio, a, b, c, code);
        t.NN[at] = 3 - t.SS[at];
      }
      t.S[i] = t.S[i] + t.SS[at];
      tempr1 = radical(ratio, a, b, c, f, indexs, code);
      tempc1 = conserve(ratio, a, b, c, f, indexs, code);
      sumw = tempr1 + tempc1;
      t.CC[at] = (t.NN[at] * tempc1) / sumw;
      t.RR[at] = (t.NN[at] * tempr1) / sumw;
      t.R[i] = t.R[i] + t.RR[at];
    }
    t.N[i] = 3.0 * al.seqLength - t.S[i];
    t.C[i] = t.N[i] - t.R[i];
  }
  return t;
}

}  // namespace radcon
