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
  std::vector<std::string> names;  // whole, as read, without the newline
  // Nucleotide index of [seq][codon][position]; kGapOrAmbiguous only while gapped
  // codons have not yet been dropped.
  std::vector<std::uint8_t> nucleotides;

  int nucleotide(int seq, int codon, int pos) const {
    return nucleotides[(static_cast<std::size_t>(seq) * seqLength + codon) * 3 + pos];
  }
};

// How many characters of a name radcon once kept: a clade file or --reference
// may still name a sequence by them.
inline constexpr int kNameLength = 20;

// The code of a gap ('-', '.'), an IUPAC ambiguity code or '?' in a sequence.
inline constexpr std::uint8_t kGapOrAmbiguous = 4;

// A name as users see it: without a trailing carriage return.
inline std::string displayName(const std::string& name) {
  std::string s = name;
  while (!s.empty() && s.back() == '\r') s.pop_back();
  return s;
}

// The sequence a user names (a clade file, --reference): the one whose whole
// name it is, or else the one whose first kNameLength characters it is. -1 when
// none is; -2 when the first characters are those of several sequences.
inline int findSequence(const std::vector<std::string>& names, const std::string& name) {
  int whole = -1, prefix = -1, prefixes = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string n = displayName(names[i]);
    if (n == name && whole < 0) whole = static_cast<int>(i);
    if (n.size() > static_cast<std::size_t>(kNameLength) && n.compare(0, kNameLength, name) == 0) {
      prefix = static_cast<int>(i);
      ++prefixes;
    }
  }
  if (whole >= 0) return whole;
  return prefixes > 1 ? -2 : prefix;
}

}  // namespace radcon
