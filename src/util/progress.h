// Progress on standard error, for a person watching a terminal: one line redrawn
// a few times a second (alignments done, pairs and covariance rows of the one at
// work, elapsed time and an estimate of the time left), replaced at the end by a
// one-line summary. The counters belong to one run: its stages add to them, a
// thread of the display's own reads them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace radcon {

struct ProgressCounters {
  std::atomic<std::uint64_t> alignmentsDone{0}, alignmentsFailed{0}, alignmentsTotal{0};
  // Of the one alignment at work, when alignments are analysed one at a time
  // (oneAtATime, set before the work starts).
  bool oneAtATime = true;
  std::atomic<std::uint64_t> pairsDone{0}, pairsTotal{0};
  std::atomic<std::uint64_t> rowsDone{0}, rowsTotal{0};  // covariance rows of the reports
  std::atomic<std::uint64_t> blocksDone{0}, blocksTotal{0};  // the jackknife's parts analysed
  std::atomic<std::uint64_t> pairsAll{0};                // pairs done in the whole run
};

class ProgressDisplay {
 public:
  // Draws 'counters' while it lives when 'on'; then prints the summary, which
  // ends with 'note' (what the run used, for the record).
  ProgressDisplay(const ProgressCounters& counters, const char* version, bool on);
  ~ProgressDisplay();
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;

  // What the summary adds at its end, e.g. the settings the run used.
  void setNote(std::string note);
  // Writes a line to standard error, above the progress line while one is drawn.
  void printAbove(const std::string& line);

 private:
  struct Drawer;
  std::unique_ptr<Drawer> drawer_;
};

}  // namespace radcon
