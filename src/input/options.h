// The command line: one option table, GNU style (short and long forms, values
// as "-c 1", "-c1", "--correction 1" or "--correction=1", "--" ends the options).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/site_models.h"
#include "input/answers.h"

namespace radcon {

struct Options {
  std::vector<std::string> files;  // the alignments named on the command line
  std::string inputs;              // a file that lists more, one a line
  Answers answers;  // given on the command line; the dialogue asks only for the others
  std::string groupFile;  // a grouping given as a path (division 4 then)
  std::string outdir;     // "" is the current directory
  std::string table;      // "" writes no pairs table
  std::string means;      // "" writes no means table
  std::string profile;    // "" writes no profile along the gene
  int window = 30, step = 0;  // the profile's windows, in codons (step 0: see windowStep)
  bool windowGiven = false;    // --window or --step given
  std::string clades;     // "" groups every pair together
  std::string html;       // "" writes no HTML page
  std::vector<std::string> htmlGenes;  // genes whose charts a batch's page carries besides the first ones
  bool reportsNone = false;  // --reports none: only the tables, pairs streamed
  std::string reference;  // "" every pair; else only the pairs of this sequence
  bool quiet = false;
  bool dropGappedCodons = false;
  bool dropStopCodons = false;
  int threads = 0;        // 0: every core
  double maxMemoryMB = 0; // 0: what the machine has available
  int geneticCode = 1;    // NCBI translation table number
  bool geneticCodeGiven = false;
  bool listGeneticCodes = false;
  bool geneNames = false;  // --gene-name: print the gene of each file and exit
  int progress = -1;      // 1 --progress, 0 --no-progress, -1 when standard error is a terminal
  SiteModel siteModel = SiteModel::kNeighbour;
  bool siteModelGiven = false;
  int bootstrap = 0;           // replicates for the means' bootstrap errors; 0: none
  std::uint64_t seed = 1;      // of the bootstrap's replicates
  int jackknife = 0;           // blocks of codon columns for the means' jackknife errors; 0: none
  bool expectedRatio = false;  // the jackknife's dR-dC test against the model's expected dR/dC
  bool help = false;
  bool version = false;
};

// The step between the profile's windows: as given, or 10 codons, or the window
// when it is shorter.
inline int windowStep(const Options& o) { return o.step > 0 ? o.step : (o.window < 10 ? o.window : 10); }

// Parses the arguments. A malformed command line (unknown option, missing value)
// throws RunError with status 2; an option value that is no valid answer throws
// RunError with status 1 and the answer's own message.
Options parseOptions(int argc, const char* const* argv);

// The same without the checks of which options go together (checkCombinations),
// for a caller that supplies its outputs itself (the library).
Options parseOptionWords(int argc, const char* const* argv);
void checkCombinations(const Options& options);
// The profile's windows: a step no longer than the window (also for the library).
void checkWindows(const Options& options);

// The usage text of --help, generated from the option table.
std::string usageText();

}  // namespace radcon
