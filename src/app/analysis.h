// The analysis of one alignment, the same for every kind of run: read it, its
// codons, their sites; then its pairs in batches, each batch counted and tested
// on a worker thread and handed, in pair order, to every sink that wants it.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/settings.h"
#include "codon/frequency.h"
#include "common/alignment.h"
#include "differences/pairwise.h"
#include "input/clade_file.h"
#include "input/options.h"
#include "reports/text_buffer.h"
#include "sites/site_totals.h"
#include "stats/statistics.h"
#include "util/progress.h"

namespace radcon {

// Pairs counted, tested and handed on at a time: 256, fewer in long alignments,
// so that a batch's per-codon values (four doubles a pair and codon) stay near
// 2 MB; a multiple of the lanes of a per-codon table.
inline int pairsPerBatch(int seqLength) {
  const long fit = (2L << 20) / (32L * (seqLength > 0 ? seqLength : 1));
  return static_cast<int>(std::clamp(fit / 8 * 8, 8L, 256L));
}

// One alignment and what belongs to it.
struct Input {
  std::string file, gene;
  Alignment alignment;
  int codonsRead = 0;  // before any column was dropped
  int gappedDropped = 0;  // columns --drop-gapped-codons removed
  // The columns (from 0, after those with gaps were removed) with a stop codon
  // in some sequence; --drop-stop-codons removes them (stopsDropped).
  std::vector<int> stopColumns;
  bool stopsDropped = false;
  std::vector<int> originalColumn;  // by codon column: its column (from 0) in the file
  Clades clades;
  int reference = -1;  // the sequence of --reference, or -1: every pair
};

// Reads an alignment, drops the columns asked for, assigns its clades and finds
// its reference sequence.
Input readInput(const Options& options, const std::string& file);

// The same for an alignment already read (from text in memory, say) as 'file'.
Input prepareInput(const Options& options, const std::string& file, Alignment alignment);

// What a run says of the columns it dropped, one line each ("Removed 2 of 130
// codons with gaps or ambiguous nucleotides.").
std::vector<std::string> droppedColumnsNotes(const Options& options, const Input& input);

// What a user should know of stop codons left in an alignment (in how many
// columns, whether only in the last); "" when there are none.
std::string stopCodonNote(const Input& input);
bool stopsOnlyInLastColumn(const Input& input);
extern const char* const kStopsAnalysed;

// The groups of pairs the means gather: every pair, each clade, every two clades.
int meansGroups(const Clades& clades);

// Called on the calling thread after each batch of pairs is handed on; it stops
// the analysis by throwing (a library's caller that wants to be interruptible).
using Checkpoint = std::function<void()>;

// What the sinks see of the alignment at work.
struct GeneContext {
  const Input& input;
  const RunSettings& settings;
  const GeneTsTv& tstv;
  const CodonData& codons;
  const SiteTotals& sites;
  std::size_t pairs;  // how many pairs will come
  int threads;
  const Checkpoint* checkpoint;  // null: none
  ProgressCounters* progress;    // null: none
};

// A batch of pairs: their differences and statistics, and, when a sink asks for
// them, each pair's per-codon differences as counted (the statistics turn the
// counted ones into deviations).
struct PairBatch {
  PairDifferences differences;
  PairStatistics stats;
  std::array<PairCodonTable, kKinds> codonDifferences;
};

// What a sink may fill on a worker thread for the batch it will take.
struct SinkScratch {
  TextBuffer text;
  std::vector<double> values;
  std::shared_ptr<void> data;  // whatever else a sink keeps from batch to batch
};

// Something that takes the pairs of an alignment: a table, the means, a page,
// the reports.
class PairSink {
 public:
  virtual ~PairSink() = default;
  virtual void begin(const GeneContext&) {}
  // Whether the sink needs the batches' per-codon differences as counted.
  virtual bool wantsCodonDifferences() const { return false; }
  // On a worker thread, for each batch before it is taken: work that needs no
  // order, such as formatting its rows.
  virtual void prepare(const GeneContext&, const PairBatch&, SinkScratch&) const {}
  // On the calling thread, batch after batch in pair order.
  virtual void take(const GeneContext&, PairBatch& batch, SinkScratch& prepared) = 0;
  virtual void end(const GeneContext&) {}
};

// Analyses one alignment with 'threads' threads, handing its pairs to every sink.
// With 'trace', the genetic code (when one was chosen) and the trace line of
// every codon go to standard output first. 'progress' may be null, and so may
// 'checkpoint'.
// Returns the Ts/Tv ratio the alignment was analysed with.
GeneTsTv analyseAlignment(const RunSettings& settings, const Input& input, const std::vector<PairSink*>& sinks,
                          int threads, bool trace, ProgressCounters* progress, const Checkpoint& checkpoint = {});

}  // namespace radcon
