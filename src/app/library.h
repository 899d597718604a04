// radcon as a library (what the Python module calls): the command's own reading,
// settings, checks and sinks, with the alignment, the clades and a grouping
// given as files or as text in memory, and the pairs and means tables kept as
// the text that --table and --means write. Nothing is printed, nothing is asked,
// no file is written; a failure is thrown as RunError, as in the command.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/analysis.h"
#include "app/settings.h"
#include "input/options.h"

namespace radcon {

// The content of a file, given in its place, and how messages name it.
struct GivenText {
  std::string text, where;
};

// What a library run is asked for: the options as the command line gives them,
// every answer among them but no file and no output, and what a command line
// names as files.
struct LibraryRequest {
  std::vector<std::string> options;  // e.g. {"--tstv", "2", "--grouping", "charge"}
  std::optional<GivenText> groups;   // a grouping of the caller's own (with --grouping self)
  std::string groupFolder;           // shipped group files, for when radcon's own places lack them
  std::string cladeFile;             // clades read from this file, or
  std::optional<GivenText> clades;   // from this text
  std::string reference;             // only the pairs of this sequence
};

struct LibraryRun {
  Options options;
  RunSettings settings;
  std::optional<GivenText> clades;
};

// Parses the options and resolves the settings. A bad option or answer throws
// RunError with the command's message and kind.
LibraryRun prepareLibraryRun(const LibraryRequest& request);

// One alignment: a file, read as the command reads it, or its text.
struct AlignmentSource {
  std::string file;                 // the path ("" with text)
  std::optional<std::string> text;  // the content, in any format the readers take
  std::string gene;                 // "": the command's gene of the file
};

// One alignment's rows of the pairs and means tables, as --table and --means
// write them (without the header), and what the command would tell its user.
struct GeneTables {
  std::string file, gene;
  std::string pairs, means, profile;  // profile: with --profile among the options
  int sequences = 0, codons = 0, codonsRead = 0;  // codons after and before any were dropped
  std::vector<std::string> names;                 // as radcon keeps them
  std::vector<std::string> notes;
  double tstv = 0.5;  // the Ts/Tv the alignment was analysed with (typed scale)
  std::string error;  // in a batch, a failed alignment's message (and no rows)
};

// Analyses one alignment on 'threads' threads; a failure throws.
GeneTables analyseSource(const LibraryRun& run, const AlignmentSource& source, int threads,
                         const Checkpoint& checkpoint);

// Analyses a batch as the command does: genes that cannot be told apart refused
// first, the genes spread over the threads when there are several, results in
// the order given. A failed alignment keeps its message in 'error' and the rest
// go on; with 'stopOnFailure' the first failure (in order) is thrown instead,
// naming its file. 'checkpoint' is called between genes (and, for a single one,
// between its batches of pairs).
std::vector<GeneTables> analyseSources(const LibraryRun& run, const std::vector<AlignmentSource>& sources,
                                       bool stopOnFailure, const Checkpoint& checkpoint);


}  // namespace radcon
