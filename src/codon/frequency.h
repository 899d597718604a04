// Codon frequency tables, one per sequence, with a pseudocount of 1 per codon.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace radcon {

struct Alignment;
struct GeneticCode;

// One entry per codon index.
inline constexpr int kFrequencyEntries = 64;
using FrequencyTable = std::array<double, kFrequencyEntries>;

// Each codon's index, [seq * seqLength + codon], and each sequence's table.
struct CodonData {
  std::vector<std::uint8_t> codon;
  std::vector<FrequencyTable> frequency;  // one per sequence
};

// Translates every codon under the genetic code (a codon that cannot be
// translated stops the run) and builds each sequence's table: (1 + number of
// codons with that index) / seqLength.
CodonData translateAndCount(const Alignment& alignment, const GeneticCode& code);

// The Ts/Tv parameter used by the run: twice the typed value; below 0.0001 it
// falls back to 1.0, no transition/transversion bias (a typed 0.5, doubled).
inline double finalRatio(double typed) {
  const double ratio = typed + typed;
  return ratio < 0.0001 ? 1.0 : ratio;
}

// Mean of two tables, entry by entry: (b[k] + a[k]) / 2.0 in the order given.
FrequencyTable averageTables(const FrequencyTable& a, const FrequencyTable& b);

}  // namespace radcon
