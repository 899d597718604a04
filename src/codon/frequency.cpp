#include "codon/frequency.h"

#include "codon/genetic_code.h"
#include "common/alignment.h"

namespace radcon {

CodonData translateAndCount(const Alignment& al, const GeneticCode& code) {
  CodonData d;
  const std::size_t total = static_cast<std::size_t>(al.seqNum) * al.seqLength;
  d.codon.resize(total);
  d.frequency.resize(al.seqNum);
  for (int i = 0; i < al.seqNum; ++i) {
    FrequencyTable& f = d.frequency[i];
    f.fill(1.0);
    for (int j = 0; j < al.seqLength; ++j) {
      const int a = al.nucleotide(i, j, 0), b = al.nucleotide(i, j, 1), c = al.nucleotide(i, j, 2);
      const std::size_t at = static_cast<std::size_t>(i) * al.seqLength + j;
      aa(a, b, c, code);
      d.codon[at] = static_cast<std::uint8_t>(bb(a, b, c));
      f[d.codon[at]] += 1.0;
    }
    for (double& v : f) v /= al.seqLength;
  }
  return d;
}

FrequencyTable averageTables(const FrequencyTable& a, const FrequencyTable& b) {
  FrequencyTable ave;
  for (int k = 0; k < kFrequencyEntries; ++k) ave[k] = (b[k] + a[k]) / 2.0;
  return ave;
}

}  // namespace radcon
