// Every check before the work: what is to be read and written, whether the
// outputs can be told apart, and whether an alignment fits in memory and its
// reports on disk. A run that cannot succeed is refused before it starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/analysis.h"
#include "common/alignment.h"
#include "input/options.h"

namespace radcon {

// The alignments of the run: those named on the command line, then those of
// the --inputs list. Refuses a run without any.
std::vector<std::string> alignmentFiles(const Options& options);

// The checks that need nothing read: outputs that would overwrite each other or
// an input, genes that could not be told apart or cannot name a folder, reports
// of several alignments without a folder of their own, an HTML page this build
// cannot draw.
void checkOutputs(const Options& options, const std::vector<std::string>& files);

// An input of a run, and what messages call it ("the alignment x.fa").
struct NamedInput {
  std::string path, what;
};

// Refuses (status 2), naming both, an output of the run (a report, a table, the
// page, a report folder) that is one of 'inputs': the same file, or the same
// path where no file is yet. checkOutputs holds every output to the inputs the
// options name; a group file that the dialogue chooses is checked with this.
void checkOutputsSpare(const Options& options, const std::vector<std::string>& files,
                       const std::vector<NamedInput>& inputs);

// Refuses (status 1) an alignment with two sequences of one name when a table,
// the means or the page is written: their rows could not be told apart.
void checkNamesDistinct(const Options& options, const Alignment& alignment);

// The memory a run may use: --max-memory, or what the machine has available.
std::uint64_t memoryAllowed(const Options& options);

// The most text an alignment file may hold (inflated, when compressed): what
// reading it and holding it while it is parsed take must fit in the memory
// allowed, so a file that could never be analysed, a gzip bomb among them, is
// refused as it is read.
std::size_t inputTextLimit(const Options& options);

// Refuses, before anything large is allocated, an alignment that cannot fit in
// memory, analysed on 'threads' threads while genesAtOnce - 1 others are
// analysed beside it; returns the estimate.
std::uint64_t checkMemory(const Options& options, const Input& input, int threads, int genesAtOnce);

// Refuses, before the long work, reports that the folder's file system cannot hold.
void checkDiskSpace(const Alignment& alignment, const std::string& folder);

// Creates a folder and its parents; a folder that exists already is fine.
void makeFolder(const std::string& folder);

}  // namespace radcon
