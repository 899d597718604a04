// An alignment of coding sequences as every stage sees it: names and the
// nucleotide index of every codon position. The readers fill it; the computing
// stages only read it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace radcon {

struct Alignment {
  int seqNum = 0;
  int seqLength = 0;               // codons per sequence
  std::vector<std::string> names;  // up to 20 characters as read, without the newline
  // Nucleotide index of [seq][codon][position]; kGapOrAmbiguous only while gapped
  // codons have not yet been dropped.
  std::vector<std::uint8_t> nucleotides;

  int nucleotide(int seq, int codon, int pos) const {
    return nucleotides[(static_cast<std::size_t>(seq) * seqLength + codon) * 3 + pos];
  }
};

// Longest name kept from a name line.
inline constexpr int kNameLength = 20;

// The code of a gap ('-', '.'), an IUPAC ambiguity code or '?' in a sequence.
inline constexpr std::uint8_t kGapOrAmbiguous = 4;

// A name as users see it: without a trailing carriage return.
inline std::string displayName(const std::string& name) {
  std::string s = name;
  while (!s.empty() && s.back() == '\r') s.pop_back();
  return s;
}

}  // namespace radcon
