#include "util/memory.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>

namespace radcon {

std::uint64_t estimateRunBytes(int seqNum, int seqLength, int threads) {
  const std::uint64_t n = static_cast<std::uint64_t>(seqNum), L = static_cast<std::uint64_t>(seqLength);
  const std::uint64_t pairs = n * (n > 0 ? n - 1 : 0) / 2;
  const std::uint64_t paddedPairs = (pairs + 7) / 8 * 8;
  const std::uint64_t alignment = n * L * 5;                // nucleotides, codons, amino acids
  const std::uint64_t sites = 4 * n * L * 8;                // SS, NN, RR, CC
  const std::uint64_t perCodon = 4 * paddedPairs * L * 8;   // differences, then deviations
  const std::uint64_t perPair = 4 * pairs * 8 * 8;          // totals, proportions, variances, ...
  // Covariance tasks in flight: about 2^17 entries each, four kinds of doubles
  // and their text, plus the block sums of the task's rows.
  const std::uint64_t task = (std::uint64_t{1} << 17) * (4 * 8 + 4 * 12 + 2 * 30) + 64 * paddedPairs * 8;
  const std::uint64_t inFlight = static_cast<std::uint64_t>(std::max(threads, 1) + 2) * task;
  const std::uint64_t buffers = 16u << 20;  // output buffers, stacks, the program itself
  // A fifth more for what the sums above leave out (allocator slack, small tables).
  const std::uint64_t sum = alignment + sites + perCodon + perPair + inFlight + buffers;
  return sum + sum / 5;
}

std::uint64_t estimateStreamingBytes(int seqNum, int seqLength, int threads, int streamBatch, int groups) {
  const std::uint64_t n = static_cast<std::uint64_t>(seqNum), L = static_cast<std::uint64_t>(seqLength);
  const std::uint64_t alignment = n * L * 5 + n * 64;          // nucleotides, codons, amino acids, names
  const std::uint64_t sites = 4 * n * L * 8 + n * 70 * 8;       // SS, NN, RR, CC, frequency tables
  const std::uint64_t batch = static_cast<std::uint64_t>(streamBatch) * (4 * L * 8 + 1024);  // codon values, rows
  const std::uint64_t inFlight = static_cast<std::uint64_t>(std::max(threads, 1) + 2) * batch;
  const std::uint64_t means = static_cast<std::uint64_t>(groups) * 10 * L * 8;  // 8 kinds' sums and 2 tests
  const std::uint64_t sum = alignment + sites + inFlight + means + (16u << 20);
  return sum + sum / 5;
}

namespace {

std::uint64_t readNumber(const char* path) {
  std::ifstream in(path);
  std::string word;
  if (!(in >> word) || word == "max") return std::numeric_limits<std::uint64_t>::max();
  try {
    return std::stoull(word);
  } catch (...) {
    return std::numeric_limits<std::uint64_t>::max();
  }
}

}  // namespace

namespace {

// A number from a "key value" line of a cgroup's memory.stat; 0 when absent.
std::uint64_t statValue(const char* path, const std::string& key) {
  std::ifstream in(path);
  std::string k;
  std::uint64_t v = 0;
  while (in >> k >> v)
    if (k == key) return v;
  return 0;
}

// What the cgroup's limit leaves: its page cache (files read and written, by
// this run's build or an earlier run's reports) counts as free, since the
// kernel drops it before it refuses memory.
std::uint64_t cgroupLeft(std::uint64_t limit, std::uint64_t used, std::uint64_t cache) {
  constexpr std::uint64_t none = std::numeric_limits<std::uint64_t>::max();
  if (limit == none || used == none) return none;
  used = used > cache ? used - cache : 0;
  return limit > used ? limit - used : 0;
}

}  // namespace

std::uint64_t availableMemoryBytes() {
  std::uint64_t available = std::numeric_limits<std::uint64_t>::max();
  std::ifstream meminfo("/proc/meminfo");
  for (std::string key; meminfo >> key;) {
    std::uint64_t kb = 0;
    meminfo >> kb;
    if (key == "MemAvailable:") available = kb * 1024;
    meminfo.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  // cgroup v2, then v1.
  available = std::min(available, cgroupLeft(readNumber("/sys/fs/cgroup/memory.max"),
                                             readNumber("/sys/fs/cgroup/memory.current"),
                                             statValue("/sys/fs/cgroup/memory.stat", "file")));
  available = std::min(available, cgroupLeft(readNumber("/sys/fs/cgroup/memory/memory.limit_in_bytes"),
                                             readNumber("/sys/fs/cgroup/memory/memory.usage_in_bytes"),
                                             statValue("/sys/fs/cgroup/memory/memory.stat", "total_cache")));
  struct rlimit rl {};
  if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
    available = std::min<std::uint64_t>(available, rl.rlim_cur);
  return available;
}

}  // namespace radcon
