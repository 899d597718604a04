// How much memory a run needs and how much the machine can give it, so that a
// run that cannot fit is refused before anything large is allocated.
#pragma once

#include <cstdint>

namespace radcon {

// What decides the peak memory of one alignment's run.
struct MemoryPlan {
  int seqNum = 0;
  int seqLength = 0;             // codons
  std::uint64_t nameBytes = 0;   // the names of the sequences, together
  std::uint64_t pairs = 0;       // pairs counted
  int batchPairs = 256;          // pairs a batch holds
  int threads = 1;               // threads the alignment's work is spread over
  int groups = 0;                // groups of pairs the means gather (0: no means)
  bool reports = false;          // the seven reports: every pair's per-codon values kept
  bool table = false;            // a pairs table written
  int genesAtOnce = 1;           // alignments of a batch analysed side by side, each like this one
  // A profile along the gene (0: none): its windows, their codons together, and
  // the sequences of its groups together (a sequence counts once in each group).
  std::uint64_t profileWindows = 0, profileCodons = 0, profileMembers = 0;
  bool jackknife = false;  // the means again without blocks of codons, one block at a time, while the rest is held
  bool expectedRatio = false;  // each pair's sites and proportions kept for the expected dR/dC
};

// Peak resident bytes of the run.
std::uint64_t estimateBytes(const MemoryPlan& plan);

// Bytes this process may still use: the least of the memory the system has
// available, the cgroup's remaining limit and the address-space limit.
std::uint64_t availableMemoryBytes();

}  // namespace radcon
