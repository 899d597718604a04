// Readers of aligned coding sequences: the native format (a header "seqNum length",
// then for each sequence a name line and a line of 3 x seqLength nucleotide
// letters) and aligned FASTA (recognised by a '>' as its first non-blank character).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "codon/genetic_code.h"
#include "common/alignment.h"

namespace radcon {

// Reads and validates the whole file. Failures throw RunError with status 1:
// "Can't open the file!", "Non-coding sequences!", or a message that names the
// problem and where it is. With allowGaps, gaps and ambiguity codes are read as
// kGapOrAmbiguous instead of being refused. A file of more than 'limit' bytes
// of text (inflated, when compressed) is refused as soon as it is read that far.
Alignment readSequenceFile(const std::string& path, bool allowGaps = false, std::size_t limit = std::size_t{1} << 40);

// The same reader over text already in memory (used by tests and fuzzing).
Alignment parseSequenceText(const std::string& text, bool allowGaps = false);

// Keeps the codon columns whose 'keep' is non-zero; returns how many were
// removed. Throws RunError, saying the others '<why> in some sequence', when
// none is left. 'original', when given, holds a number for each column and keeps
// those of the columns that stay.
int keepCodonColumns(Alignment& alignment, const std::vector<char>& keep, const char* why,
                     std::vector<int>* original = nullptr);

// Removes every codon column in which any sequence holds a gap or an ambiguity
// code; returns how many were removed. Throws RunError when none is left.
// 'original', when given, holds a number for each column and keeps those of the
// columns that stay.
int dropGappedCodons(Alignment& alignment, std::vector<int>* original = nullptr);

// The codon columns (from 0) in which any sequence holds a stop codon of the
// genetic code.
std::vector<int> stopCodonColumns(const Alignment& alignment, const GeneticCode& code);

// Removes those columns; returns how many were removed. Throws RunError when none is left.
int dropStopCodons(Alignment& alignment, const GeneticCode& code, std::vector<int>* original = nullptr);

}  // namespace radcon
