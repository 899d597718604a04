// Nucleotide, codon and amino-acid encodings and the standard genetic code.
#pragma once

#include <array>
#include <cstdint>

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

namespace detail {
// The standard code in codon-index order (T, C, A, G at each position); '*' is a stop.
inline constexpr char kCodeLetters[] =
    "FFLLSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG";
constexpr std::array<std::int8_t, kCodons> buildCode() {
  std::array<std::int8_t, kCodons> t{};
  for (int k = 0; k < kCodons; ++k)
    t[k] = static_cast<std::int8_t>(kCodeLetters[k] == '*' ? kStop : change(kCodeLetters[k]));
  return t;
}
}  // namespace detail

// Amino-acid index of every codon index 0..63.
inline constexpr std::array<std::int8_t, kCodons> kGeneticCode = detail::buildCode();

// Amino-acid index of a codon index known to lie in 0..63.
constexpr int translate(int codonIndex) { return kGeneticCode[codonIndex]; }

// Amino-acid index of the codon (a, b, c). A codon index outside 0..63 throws a
// RunError of status 255 whose message is the three values as "%d %d %d", printed
// without a line end.
int aa(int a, int b, int c);

// A transition exchanges two pyrimidines (T, C) or two purines (A, G).
constexpr bool isTransition(int from, int to) { return from != to && (from >> 1) == (to >> 1); }

}  // namespace radcon
