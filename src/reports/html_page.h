// One self-contained HTML page for a run, one alignment or a batch: the run's
// settings, each alignment's means and tests, and charts drawn in the reader's
// browser by Chart.js, which the page carries inline with its data.
#pragma once

#include <cmath>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "common/groups.h"
#include "reports/text_buffer.h"
#include "stats/difference_tests.h"
#include "stats/jackknife.h"
#include "stats/statistics.h"

namespace radcon {

// The charts of an alignment show the pairs among its first kPageSequences
// sequences: enough for any chart a reader can take in, and a page that stays
// small whatever the alignment.
inline constexpr int kPageSequences = 150;

// Distances of one pair as the charts need them; NaN where undefined.
struct PagePair {
  int i, j;
  double dR, dC, seR, seC, ratio;
};

// One window of the profile along the gene, every pair (NaN where undefined).
struct PageWindow {
  int start, end;  // codon columns from 1, both in the window
  double dNdS, seNS, qNS, dRdC, seRC, qRC;
};

// What the page shows of one alignment.
struct PageGene {
  std::string gene;
  int sequences = 0, codons = 0;
  std::size_t pairs = 0;      // pairs analysed
  std::size_t noRadical = 0;  // of them, pairs whose dR or dC is undefined
  double tstv = NAN, tstvLower = NAN, tstvUpper = NAN;  // the Ts/Tv used; its estimate's 95 % interval
  std::string tstvNote;       // what the user should know of it ("": nothing)
  bool charts = false;        // whether its pairs are kept for the charts
  std::vector<std::string> names;  // with charts: the first kPageSequences names
  std::vector<int> cladeOf;        // and their clades (empty without clades)
  std::vector<std::string> cladeLabels;  // what the clade numbers of cladeOf and means stand for
  std::vector<PagePair> pairData;  // the pairs among those sequences
  std::vector<GroupMean> means;    // within clades, between them, then every pair
  std::vector<JackknifeRow> jackknife;  // with --jackknife: its tests of each means row
  std::vector<PageWindow> profile;  // with charts: the windows along the gene
  int window = 0, step = 0;         // their width and step, in codons
  std::vector<double> codonRadical, codonConservative;  // and the mean differences per codon and pair
};

// Counts a batch of pairs into the gene and keeps those its charts show.
void addPagePairs(PageGene& gene, const PairStatistics& st);

// What the page shows of the run.
struct PageRun {
  std::string version, commandLine;
  std::size_t inputs = 0;
  std::vector<std::pair<std::string, std::string>> failures;  // file, why
  int correction = 0;
  double typedTsTv = 0, tsTvRatio = 0, KaKsRatio = 0;
  bool tsTvEstimated = false;  // each alignment's own, estimated from it
  std::string siteModel = "neighbour";
  std::string grouping;  // the grouping's name, or the path of the user's file
  GroupTable groups{};
  int geneticCode = 1;
  std::string geneticCodeName;
  std::string reference;  // --reference, or ""
  double wallSeconds = 0;
};

// Whether this build carries the charting library (without it there is no page).
bool pageChartsAvailable();

// The page: markup, styles, the run's data as JSON and the scripts, all inline.
void appendHtmlPage(TextBuffer& t, const PageRun& run, const std::vector<PageGene>& genes);

// A command line as a POSIX shell would take it back.
std::string shellQuoted(int argc, const char* const* argv);

}  // namespace radcon
