// The alignments of a run: the files named on the command line and in list files
// (--inputs, one path a line, for lists beyond the shell's argument limit), and
// the gene each file stands for in the tables.
#pragma once

#include <string>
#include <vector>

namespace radcon {

// The paths of a list file's text: one a line, surrounding blanks and a CR
// removed; blank lines and lines that begin with '#' are skipped.
std::vector<std::string> parseInputList(const std::string& text);

// Reads a list file. Throws RunError (status 1) when it cannot be read.
std::vector<std::string> readInputList(const std::string& path);

// The gene of an alignment file: its name without folder and without the
// extensions .gz, .fa, .fasta, .fas, .fna, .seq, .phy, .phylip and .txt (as many as
// it ends with); "stdin" for "-". Tabs and line breaks become blanks.
std::string geneName(const std::string& path);

}  // namespace radcon
