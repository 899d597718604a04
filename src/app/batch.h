// A run: every alignment it names, one after another or several at once. One
// alignment is a batch of one, with radcon's single-file ways: the dialogue after
// the file is read, its trace lines and every message on standard output, the
// reports beside the tables, all put in place together.
#pragma once

#include <string>

#include "app/dialogue.h"
#include "input/options.h"

namespace radcon {

// Runs the alignments of the options and returns the exit status: 0, or 1 when
// an alignment of a batch failed. A failure of a single alignment, or of the run
// as a whole, is thrown.
int runAlignments(const Options& options, Dialogue& dialogue, const std::string& commandLine);

}  // namespace radcon
