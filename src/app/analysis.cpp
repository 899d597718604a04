#include "app/analysis.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "input/input_list.h"
#include "input/sequence_file.h"
#include "reports/trace.h"
#include "util/error.h"
#include "util/parallel.h"

namespace radcon {

namespace {

// The sequence that --reference names.
int referenceSequence(const Alignment& al, const std::string& name) {
  int found = -1;
  for (int i = 0; i < al.seqNum; ++i) {
    if (displayName(al.names[static_cast<std::size_t>(i)]) != name) continue;
    if (found >= 0) fail("Two sequences are named \"" + name + "\"; --reference needs a name that is unique.");
    found = i;
  }
  if (found < 0) fail("No sequence is named \"" + name + "\" (--reference).");
  return found;
}

}  // namespace

Input readInput(const Options& o, const std::string& file) {
  return prepareInput(o, file, readSequenceFile(file, o.dropGappedCodons));
}

Input prepareInput(const Options& o, const std::string& file, Alignment alignment) {
  Input in;
  in.file = file;
  in.gene = geneName(file);
  in.alignment = std::move(alignment);
  in.codonsRead = in.alignment.seqLength;
  if (o.dropGappedCodons) dropGappedCodons(in.alignment);
  if (!o.clades.empty()) in.clades = readCladeFile(o.clades, in.alignment.names);
  if (!o.reference.empty()) in.reference = referenceSequence(in.alignment, o.reference);
  return in;
}

int meansGroups(const Clades& c) { return static_cast<int>(c.labels.size() * (c.labels.size() + 1) / 2 + 1); }

GeneTsTv analyseAlignment(const RunSettings& s, const Input& in, const std::vector<PairSink*>& sinks, int threads,
                          bool trace, ProgressCounters* progress, const Checkpoint& checkpoint) {
  const Alignment& al = in.alignment;
  const std::vector<SeqPair> pairs = in.reference >= 0 ? referencePairs(al.seqNum, in.reference) : allPairs(al.seqNum);
  if (progress && progress->oneAtATime) {
    progress->pairsDone = 0;
    progress->pairsTotal = pairs.size();
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

  const GeneContext gene{in, s, tstv, codons, sites, pairs.size()};
  for (PairSink* sink : sinks) sink->begin(gene);
  // The run-wide radical/conservative ratio comes from every pair, whichever
  // pairs are counted.
  const StepRates rates = runStepRates(codons, al.seqNum, al.seqLength, tstv.ratio, *s.answers.KaKsRatio, s.indexs,
                                       *s.code, s.siteModel);
  struct Slot {
    PairBatch batch;
    std::vector<SinkScratch> scratch;  // one per sink
  };
  const bool keepCodonDifferences =
      std::any_of(sinks.begin(), sinks.end(), [](const PairSink* k) { return k->wantsCodonDifferences(); });
  const std::size_t batches = (pairs.size() + kPairBatch - 1) / kPairBatch;
  orderedParallel<Slot>(
      batches, threads, static_cast<std::size_t>(threads) + 2,
      [&](std::size_t b, Slot& slot) {
        const auto first = pairs.begin() + static_cast<std::ptrdiff_t>(b * kPairBatch);
        const std::vector<SeqPair> some(
            first, first + static_cast<std::ptrdiff_t>(std::min<std::size_t>(kPairBatch, pairs.size() - b * kPairBatch)));
        PairBatch& batch = slot.batch;
        batch.differences = countPairs(codons, al.seqLength, some, rates, s.indexs, *s.code);
        if (keepCodonDifferences)
          for (int k = 0; k < kKinds; ++k) batch.codonDifferences[k] = batch.differences.perCodon[k].clone();
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
