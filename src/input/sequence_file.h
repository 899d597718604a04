// Readers of aligned coding sequences: the native format (a header "seqNum length",
// then for each sequence a name line and a line of 3 x seqLength nucleotide
// letters) and aligned FASTA (recognised by a '>' as its first non-blank character).
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

// Reads and validates the whole file. Failures throw RunError with status 1:
// "Can't open the file!", "Non-coding sequences!", or a message that names the
// problem and where it is. With allowGaps, gaps and ambiguity codes are read as
// kGapOrAmbiguous instead of being refused.
Alignment readSequenceFile(const std::string& path, bool allowGaps = false);

// The same reader over text already in memory (used by tests and fuzzing).
Alignment parseSequenceText(const std::string& text, bool allowGaps = false);

// Removes every codon column in which any sequence holds a gap or an ambiguity
// code; returns how many were removed. Throws RunError when none is left.
int dropGappedCodons(Alignment& alignment);

// A name as users see it: without a trailing carriage return.
std::string displayName(const std::string& name);

}  // namespace radcon
