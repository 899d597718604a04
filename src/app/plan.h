// Every check before the work: what is to be read and written, whether the
// outputs can be told apart, and whether an alignment fits in memory and its
// reports on disk. A run that cannot succeed is refused before it starts.
#pragma once

#include <string>
#include <vector>

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

// Refuses, before anything large is allocated, an alignment that cannot fit in
// memory ('groups': the groups of pairs the means gather).
void checkMemory(const Options& options, const Alignment& alignment, int threads, int groups);

// Refuses, before the long work, reports that the folder's file system cannot hold.
void checkDiskSpace(const Alignment& alignment, const std::string& folder);

// Creates a folder and its parents; a folder that exists already is fine.
void makeFolder(const std::string& folder);

}  // namespace radcon
