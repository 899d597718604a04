// Progress on standard error, for a person watching a terminal: one line redrawn
// a few times a second (alignments done, pairs and covariance rows of the one at
// work, elapsed time and an estimate of the time left), replaced at the end by a
// one-line summary. The computing stages only count; a thread of its own draws.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace radcon {

struct ProgressCounters {
  std::atomic<std::uint64_t> alignmentsDone{0}, alignmentsFailed{0}, alignmentsTotal{0};
  std::atomic<std::uint64_t> pairsDone{0}, pairsTotal{0};  // of the alignment at work
  std::atomic<std::uint64_t> rowsDone{0}, rowsTotal{0};    // covariance rows of the reports
  std::atomic<std::uint64_t> pairsAll{0};                  // pairs done in the whole run
};

// The counters every stage adds to; counting costs one atomic addition per batch.
ProgressCounters& progress();

// Writes a line to standard error, above the progress line while one is drawn.
void printAboveProgress(const std::string& line);

// Starts drawing on standard error; finishProgress stops and prints the summary.
void startProgress(const char* version);
void finishProgress();

}  // namespace radcon
