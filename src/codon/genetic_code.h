// Nucleotide, codon and amino-acid encodings and the genetic codes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

namespace radcon {

// One-letter codes in amino-acid index order; index 20 is the stop codon.
inline constexpr char aminoAcid[20] = {'A', 'R', 'N', 'D', 'C', 'Q', 'E', 'G', 'H', 'I',
                                       'L', 'K', 'M', 'F', 'P', 'S', 'T', 'W', 'Y', 'V'};
inline constexpr int kStop = 20;
inline constexpr int kCodons = 64;

// Nucleotide index of a letter: T=0, C=1, A=2, G=3 in either case; -1 for anything else.
constexpr int dna(char c) {
  switch (c) {
    case 'T': case 't': return 0;
    case 'C': case 'c': return 1;
    case 'A': case 'a': return 2;
    case 'G': case 'g': return 3;
    default: return -1;
  }
}

// Codon index of three nucleotide indices, 16a + 4b + c; no range check.
constexpr int bb(int a, int b, int c) { return (4 * a + b) * 4 + c; }

// Amino-acid index of an upper-case one-letter code; -1 for any other character.
constexpr int change(char c) {
  for (int i = 0; i < 20; ++i)
    if (aminoAcid[i] == c) return i;
  return -1;
}

// A genetic code: NCBI's translation table number and name, and the amino-acid
// index of every codon index 0..63 (kStop for a stop codon).
struct GeneticCode {
  int id;
  const char* name;
  std::array<std::int8_t, kCodons> aminoAcid;

  // Amino-acid index of a codon index known to lie in 0..63.
  constexpr int translate(int codonIndex) const { return aminoAcid[static_cast<std::size_t>(codonIndex)]; }
};

// Every table NCBI defines, in the order of their numbers; the standard code first.
std::span<const GeneticCode> geneticCodes();
const GeneticCode& standardCode();
// The table of an NCBI number; nullptr for a number NCBI does not define.
const GeneticCode* findGeneticCode(int id);

// A codon whose index lies outside 0..63; its message is the three nucleotide
// values as "%d %d %d".
class UntranslatableCodon : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Amino-acid index of the codon (a, b, c) under a genetic code; a codon index
// outside 0..63 throws UntranslatableCodon.
int aa(int a, int b, int c, const GeneticCode& code = standardCode());

// A transition exchanges two pyrimidines (T, C) or two purines (A, G).
constexpr bool isTransition(int from, int to) { return from != to && (from >> 1) == (to >> 1); }

}  // namespace radcon
