#include "sites/mutation_sites.h"

#include <array>

#include "sites/site_totals.h"

namespace radcon {

MutationWeights mutationWeights(int codon, double kappa, const double* frequency, const GroupTable& groups,
                                const GeneticCode& code) {
  const int n[3] = {codon >> 4, (codon >> 2) & 3, codon & 3};
  const int self = code.translate(codon);
  MutationWeights w;
  // First position, then second, then third; at each, the nucleotides after the
  // codon's own in cyclic order (as the neighbour model visits them).
  for (int pos = 0; pos < 3; ++pos) {
    for (int step = 1; step <= 3; ++step) {
      int m[3] = {n[0], n[1], n[2]};
      m[pos] = (n[pos] + step) % 4;
      const int other = bb(m[0], m[1], m[2]);
      const double f = frequency ? frequency[other] : 1.0;
      const double weight = isTransition(n[pos], m[pos]) ? f * kappa : f;
      w.total = w.total + weight;
      const int aa = code.translate(other);
      if (aa == self)
        w.synonymous = w.synonymous + weight;
      else if (aa == kStop)
        continue;  // lost
      else if (groups[static_cast<std::size_t>(aa)] != groups[static_cast<std::size_t>(self)])
        w.radical = w.radical + weight;
      else
        w.conservative = w.conservative + weight;
    }
  }
  return w;
}

SiteTotals mutationSites(const Alignment& al, const CodonData& codons, double ratio, int correction,
                         const GroupTable& groups, const GeneticCode& code) {
  SiteTotals t = SiteTotals::zeros(al.seqNum, al.seqLength);
  std::array<MutationWeights, kCodons> weights;
  for (int i = 0; i < al.seqNum; ++i) {
    const double* f = correction == 0 ? nullptr : codons.frequency[static_cast<std::size_t>(i)].data();
    for (int c = 0; c < kCodons; ++c) weights[static_cast<std::size_t>(c)] = mutationWeights(c, ratio, f, groups, code);
    const std::uint8_t* seq = &codons.codon[static_cast<std::size_t>(i) * al.seqLength];
    double mutations = 0.0;
    for (int j = 0; j < al.seqLength; ++j) mutations = mutations + weights[seq[j]].total;
    const double scale = mutations / (3.0 * al.seqLength);
    for (int j = 0; j < al.seqLength; ++j) {
      const std::size_t at = static_cast<std::size_t>(i) * al.seqLength + j;
      const MutationWeights& w = weights[seq[j]];
      t.SS[at] = w.synonymous / scale;
      t.RR[at] = w.radical / scale;
      t.CC[at] = w.conservative / scale;
      t.NN[at] = t.RR[at] + t.CC[at];
      t.S[i] = t.S[i] + t.SS[at];
      t.N[i] = t.N[i] + t.NN[at];
      t.R[i] = t.R[i] + t.RR[at];
      t.C[i] = t.C[i] + t.CC[at];
    }
  }
  return t;
}

}  // namespace radcon
