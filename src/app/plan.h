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

// The checks that need nothing read: outputs that would overwrite each other,
// genes that could not be told apart, reports of several alignments without a
// folder of their own, an HTML page this build cannot draw.
void checkOutputs(const Options& options, const std::vector<std::string>& files);

// Refuses, before anything large is allocated, an alignment that cannot fit in
// memory ('groups': the groups of pairs the means gather).
void checkMemory(const Options& options, const Alignment& alignment, int threads, int groups);

// Refuses, before the long work, reports that the folder's file system cannot hold.
void checkDiskSpace(const Alignment& alignment, const std::string& folder);

// Creates a folder and its parents; a folder that exists already is fine.
void makeFolder(const std::string& folder);

}  // namespace radcon
