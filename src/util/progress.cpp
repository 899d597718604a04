#include "util/progress.h"

#include <sys/resource.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "util/signal_block.h"

namespace radcon {

namespace {

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string percent(std::uint64_t done, std::uint64_t total) {
  return std::to_string(total ? done * 100 / total : 0) + "%";
}

}  // namespace

struct ProgressDisplay::Drawer {
  Drawer(const ProgressCounters& counters, const char* v, bool show) : c(counters), version(v), on(show) {}
  const ProgressCounters& c;
  const char* version;
  bool on;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::thread thread;
  std::mutex m;  // guards 'stop' and 'note', and makes one writer on standard error at a time
  std::condition_variable cv;
  bool stop = false;
  std::string note;

  void draw() {
    const double elapsed = seconds(std::chrono::steady_clock::now() - start);
    std::string line = "radcon: ";
    const std::uint64_t total = c.alignmentsTotal, done = c.alignmentsDone;
    if (total > 1) {
      line += std::to_string(done) + "/" + std::to_string(total) + " alignments";
      if (done > 0 && done < total) {
        const double left = elapsed / static_cast<double>(done) * static_cast<double>(total - done);
        line += ", about " + std::to_string(static_cast<long long>(left + 0.5)) + " s left";
      }
    } else {
      line += "pairs " + percent(c.pairsDone, c.pairsTotal);
      if (c.rowsTotal) line += ", covariance rows " + percent(c.rowsDone, c.rowsTotal);
      if (c.blocksTotal)
        line += ", jackknife " + std::to_string(c.blocksDone.load()) + "/" + std::to_string(c.blocksTotal.load());
    }
    line += ", " + std::to_string(static_cast<long long>(elapsed)) + " s";
    std::fprintf(stderr, "\r%-72s", line.c_str());
    std::fflush(stderr);
  }

  void summary() {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    const double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                       static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    const double wall = seconds(std::chrono::steady_clock::now() - start);
    const std::uint64_t failed = c.alignmentsFailed, done = c.alignmentsDone;
    const std::string failures = failed ? " (" + std::to_string(failed) + " failed)" : "";
    std::fprintf(stderr,
                 "\r%-72s\rradcon %s: %llu alignment%s%s, %llu pairs, %.1f s wall, %.1f s CPU, %ld MB peak memory%s\n",
                 "", version, static_cast<unsigned long long>(done), done == 1 ? "" : "s", failures.c_str(),
                 static_cast<unsigned long long>(c.pairsAll.load()), wall, cpu, ru.ru_maxrss / 1024, note.c_str());
    std::fflush(stderr);
  }
};

ProgressDisplay::ProgressDisplay(const ProgressCounters& counters, const char* version, bool on)
    : drawer_(std::make_unique<Drawer>(counters, version, on)) {
  if (!on) return;
  Drawer* d = drawer_.get();
  try {
    SignalBlock quiet;  // the drawing thread never takes a signal meant for the run
    d->thread = std::thread([d] {
      std::unique_lock<std::mutex> lock(d->m);
      while (!d->cv.wait_for(lock, std::chrono::milliseconds(250), [d] { return d->stop; })) d->draw();
    });
  } catch (const std::system_error&) {  // no thread, no redrawing: the summary still comes
  }
}

ProgressDisplay::~ProgressDisplay() {
  if (!drawer_->on) return;
  {
    std::lock_guard<std::mutex> lock(drawer_->m);
    drawer_->stop = true;
  }
  drawer_->cv.notify_all();
  if (drawer_->thread.joinable()) drawer_->thread.join();
  drawer_->summary();
}

void ProgressDisplay::setNote(std::string note) {
  std::lock_guard<std::mutex> lock(drawer_->m);
  drawer_->note = std::move(note);
}

void ProgressDisplay::printAbove(const std::string& line) {
  std::lock_guard<std::mutex> lock(drawer_->m);
  if (drawer_->on) std::fprintf(stderr, "\r%-72s\r", "");
  std::fputs(line.c_str(), stderr);
  std::fputc('\n', stderr);
}

}  // namespace radcon
