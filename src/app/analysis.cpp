#include "app/analysis.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <utility>

#include "app/plan.h"
#include "codon/genetic_code.h"
#include "input/input_list.h"
#include "input/sequence_file.h"
#include "reports/trace.h"
#include "util/error.h"
#include "util/parallel.h"

namespace radcon {

namespace {

// The sequence that --reference names, by its whole name or its first 20 characters.
int referenceSequence(const Alignment& al, const std::string& name) {
  if (std::count_if(al.names.begin(), al.names.end(), [&](const std::string& n) { return displayName(n) == name; }) > 1)
    fail("Two sequences are named \"" + name + "\"; --reference needs a name that is unique.");
  const int found = findSequence(al.names, name);
  if (found == -2)
    fail("\"" + name + "\" is the beginning of several sequences' names; --reference needs the whole name.");
  if (found < 0) fail("No sequence is named \"" + name + "\" (--reference).");
  return found;
}

}  // namespace

Input readInput(const Options& o, const std::string& file) {
  return prepareInput(o, file, readSequenceFile(file, o.dropGappedCodons, inputTextLimit(o)));
}

Input prepareInput(const Options& o, const std::string& file, Alignment alignment) {
  Input in;
  in.file = file;
  in.gene = geneName(file);
  in.alignment = std::move(alignment);
  in.codonsRead = in.alignment.seqLength;
  in.originalColumn.resize(static_cast<std::size_t>(in.codonsRead));
  std::iota(in.originalColumn.begin(), in.originalColumn.end(), 0);
  if (o.dropGappedCodons) in.gappedDropped = dropGappedCodons(in.alignment, &in.originalColumn);
  const GeneticCode& code = *findGeneticCode(o.geneticCode);
  in.stopColumns = stopCodonColumns(in.alignment, code);
  if (o.dropStopCodons && !in.stopColumns.empty()) {
    dropStopCodons(in.alignment, code, &in.originalColumn);
    in.stopsDropped = true;
  }
  if (!o.clades.empty()) in.clades = readCladeFile(o.clades, in.alignment.names);
  if (!o.reference.empty()) in.reference = referenceSequence(in.alignment, o.reference);
  return in;
}

std::vector<std::string> droppedColumnsNotes(const Options& o, const Input& in) {
  std::vector<std::string> notes;
  if (o.dropGappedCodons)
    notes.push_back("Removed " + std::to_string(in.gappedDropped) + " of " + std::to_string(in.codonsRead) +
                    " codons with gaps or ambiguous nucleotides.");
  if (o.dropStopCodons)
    notes.push_back("Removed " + std::to_string(in.stopColumns.size()) + " of " +
                    std::to_string(in.codonsRead - in.gappedDropped) + " codons with stop codons.");
  return notes;
}

const char* const kStopsAnalysed =
    "a stop codon is analysed as a 21st amino acid unless --drop-stop-codons removes its column";

bool stopsOnlyInLastColumn(const Input& in) {
  return in.stopColumns.size() == 1 && in.stopColumns[0] == in.alignment.seqLength - 1;
}

std::string stopCodonNote(const Input& in) {
  if (in.stopColumns.empty() || in.stopsDropped) return "";
  const std::string where = stopsOnlyInLastColumn(in)
                                ? "in its last codon column only"
                                : "in " + std::to_string(in.stopColumns.size()) + " of " +
                                      std::to_string(in.alignment.seqLength) +
                                      " codon columns, not only the last (the first is column " +
                                      std::to_string(in.originalColumn[static_cast<std::size_t>(in.stopColumns[0])] + 1) + ")";
  return in.file + " holds stop codons " + where + "; " + kStopsAnalysed + ".";
}

int meansGroups(const Clades& c) { return static_cast<int>(c.labels.size() * (c.labels.size() + 1) / 2 + 1); }

GeneTsTv analyseAlignment(const RunSettings& s, const Input& in, const std::vector<PairSink*>& sinks, int threads,
                          bool trace, ProgressCounters* progress, const Checkpoint& checkpoint) {
  const Alignment& al = in.alignment;
  // A reference's n - 1 pairs are listed; every pair's are made a batch at a time.
  const std::vector<SeqPair> referenced = in.reference >= 0 ? referencePairs(al.seqNum, in.reference) : std::vector<SeqPair>{};
  const std::size_t pairs = in.reference >= 0 ? referenced.size() : pairCount(al.seqNum);
  if (progress && progress->oneAtATime) {
    progress->pairsDone = 0;
    progress->pairsTotal = pairs;
    progress->blocksDone = 0;
    progress->blocksTotal = 0;
  }
  const CodonData codons = translateAndCount(al, *s.code);
  const GeneTsTv tstv = resolveTsTv(s, codons, al.seqNum, al.seqLength);
  const SiteTotals sites =
      countSites(al, codons, tstv.ratio, *s.answers.correction, s.indexs, *s.code, s.siteModel);
  if (trace && s.geneticCodeGiven) std::printf("Genetic code %d: %s\n", s.code->id, s.code->name);
  if (trace) {
    const std::string line = settingsLine(s, tstv);
    if (!line.empty()) std::printf("%s\n", line.c_str());
    writeTraceLines(sites, stdout);
  }

  const GeneContext gene{in, s, tstv, codons, sites, pairs, threads, checkpoint ? &checkpoint : nullptr, progress};
  for (PairSink* sink : sinks) sink->begin(gene);
  // The neighbour model's run-wide radical/conservative ratio comes from every
  // pair, whichever pairs are counted.
  const StepRates rates = runStepRates(codons, al.seqNum, al.seqLength, tstv.ratio, *s.answers.KaKsRatio, s.indexs,
                                       *s.code, s.siteModel);
  struct Slot {
    PairBatch batch;
    std::vector<SinkScratch> scratch;  // one per sink
  };
  const bool keepCodonDifferences =
      std::any_of(sinks.begin(), sinks.end(), [](const PairSink* k) { return k->wantsCodonDifferences(); });
  const std::size_t batchPairs = static_cast<std::size_t>(pairsPerBatch(al.seqLength));
  const std::size_t batches = (pairs + batchPairs - 1) / batchPairs;
  orderedParallel<Slot>(
      batches, threads, static_cast<std::size_t>(threads) + 2,
      [&](std::size_t b, Slot& slot) {
        const std::size_t first = b * batchPairs, count = std::min(batchPairs, pairs - first);
        const std::vector<SeqPair> some =
            in.reference >= 0
                ? std::vector<SeqPair>(referenced.begin() + static_cast<std::ptrdiff_t>(first),
                                       referenced.begin() + static_cast<std::ptrdiff_t>(first + count))
                : pairsFrom(al.seqNum, first, count);
        PairBatch& batch = slot.batch;
        // The last batch's per-codon tables (its deviations by now) take this one's differences.
        for (int k = 0; k < kKinds; ++k) std::swap(batch.differences.perCodon[k], batch.stats.deviation[k]);
        countPairs(codons, al.seqLength, some, rates, s.indexs, *s.code, batch.differences);
        if (keepCodonDifferences)
          for (int k = 0; k < kKinds; ++k) batch.codonDifferences[k].copyFrom(batch.differences.perCodon[k]);
        batch.stats = computeStatistics(sites, batch.differences);
        slot.scratch.resize(sinks.size());
        for (std::size_t k = 0; k < sinks.size(); ++k) {
          slot.scratch[k].text.clear();
          sinks[k]->prepare(gene, batch, slot.scratch[k]);
        }
      },
      [&](std::size_t, Slot& slot) {
        for (std::size_t k = 0; k < sinks.size(); ++k) sinks[k]->take(gene, slot.batch, slot.scratch[k]);
        if (progress) {
          if (progress->oneAtATime) progress->pairsDone += slot.batch.stats.pairs;
          progress->pairsAll += slot.batch.stats.pairs;
        }
        if (checkpoint) checkpoint();
      });
  for (PairSink* sink : sinks) sink->end(gene);
  return tstv;
}

}  // namespace radcon
