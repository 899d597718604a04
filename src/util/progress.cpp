#include "util/progress.h"

#include <sys/resource.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>

namespace radcon {

namespace {

struct Drawer {
  std::thread thread;
  std::mutex m;
  std::condition_variable cv;
  bool stop = false;
  const char* version = "";
  std::chrono::steady_clock::time_point start;
};
Drawer* gDrawer = nullptr;

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string percent(std::uint64_t done, std::uint64_t total) {
  return std::to_string(total ? done * 100 / total : 0) + "%";
}

std::mutex gDrawing;  // one writer on standard error at a time

void draw(const Drawer& d) {
  const ProgressCounters& c = progress();
  const double elapsed = seconds(std::chrono::steady_clock::now() - d.start);
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
  }
  line += ", " + std::to_string(static_cast<long long>(elapsed)) + " s";
  std::lock_guard<std::mutex> lock(gDrawing);
  std::fprintf(stderr, "\r%-72s", line.c_str());
  std::fflush(stderr);
}

}  // namespace

ProgressCounters& progress() {
  static ProgressCounters counters;
  return counters;
}

void printAboveProgress(const std::string& line) {
  std::lock_guard<std::mutex> lock(gDrawing);
  if (gDrawer) std::fprintf(stderr, "\r%-72s\r", "");
  std::fputs(line.c_str(), stderr);
  std::fputc('\n', stderr);
}

void startProgress(const char* version) {
  gDrawer = new Drawer;
  gDrawer->version = version;
  gDrawer->start = std::chrono::steady_clock::now();
  try {
    gDrawer->thread = std::thread([d = gDrawer] {
      std::unique_lock<std::mutex> lock(d->m);
      while (!d->cv.wait_for(lock, std::chrono::milliseconds(250), [d] { return d->stop; })) draw(*d);
    });
  } catch (const std::system_error&) {  // no thread, no redrawing: the summary still comes
  }
}

void finishProgress() {
  if (!gDrawer) return;
  {
    std::lock_guard<std::mutex> lock(gDrawer->m);
    gDrawer->stop = true;
  }
  gDrawer->cv.notify_all();
  if (gDrawer->thread.joinable()) gDrawer->thread.join();
  const ProgressCounters& c = progress();
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  const double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                     static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  const double wall = seconds(std::chrono::steady_clock::now() - gDrawer->start);
  const std::uint64_t failed = c.alignmentsFailed, done = c.alignmentsDone;
  const std::string failures = failed ? " (" + std::to_string(failed) + " failed)" : "";
  std::fprintf(stderr, "\r%-72s\rradcon %s: %llu alignment%s%s, %llu pairs, %.1f s wall, %.1f s CPU, %ld MB peak memory\n",
               "", gDrawer->version, static_cast<unsigned long long>(done), done == 1 ? "" : "s", failures.c_str(),
               static_cast<unsigned long long>(c.pairsAll.load()), wall, cpu, ru.ru_maxrss / 1024);
  std::fflush(stderr);
  delete gDrawer;
  gDrawer = nullptr;
}

}  // namespace radcon
