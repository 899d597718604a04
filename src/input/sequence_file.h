// Reader of the native sequence file: a header "seqNum length", then for each
// sequence a name line and a line of 3 x seqLength nucleotide letters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace radcon {

struct Alignment {
  int seqNum = 0;
  int seqLength = 0;               // codons per sequence
  std::vector<std::string> names;  // up to 20 characters as read, without the newline
  std::vector<std::uint8_t> nucleotides;  // nucleotide index of [seq][codon][position]

  int nucleotide(int seq, int codon, int pos) const {
    return nucleotides[(static_cast<std::size_t>(seq) * seqLength + codon) * 3 + pos];
  }
};

// Longest name kept from a name line.
inline constexpr int kNameLength = 20;

// Reads and validates the whole file. Failures throw RunError with status 1:
// "Can't open the file!", "Non-coding sequences!", or a message that names the
// problem and where it is.
Alignment readSequenceFile(const std::string& path);

// The same reader over text already in memory (used by tests and fuzzing).
Alignment parseSequenceText(const std::string& text);

// A name as users see it: without a trailing carriage return.
std::string displayName(const std::string& name);

}  // namespace radcon
