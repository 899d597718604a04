#include "util/memory.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>

namespace radcon {

namespace {

constexpr std::uint64_t kMB = 1u << 20;

// Bytes of one table of per-codon values, its pairs in panels of eight.
std::uint64_t codonTable(std::uint64_t pairs, std::uint64_t L) { return (pairs + 7) / 8 * 8 * L * 8; }

}  // namespace

std::uint64_t estimateBytes(const MemoryPlan& m) {
  const std::uint64_t n = static_cast<std::uint64_t>(m.seqNum), L = static_cast<std::uint64_t>(m.seqLength);
  const std::uint64_t T = static_cast<std::uint64_t>(m.threads < 1 ? 1 : m.threads);
  const std::uint64_t genes = static_cast<std::uint64_t>(m.genesAtOnce < 1 ? 1 : m.genesAtOnce);
  // The program, its libraries, standard output's buffer and the threads' stacks.
  const std::uint64_t program = 9 * kMB / 2 + T * 64 * 1024;
  // The alignment (a byte a nucleotide, and the names), the codons with each
  // sequence's frequency table, and four kinds of sites per codon and sequence.
  const std::uint64_t alignment = 3 * n * L + m.nameBytes + 40 * n;
  const std::uint64_t codons = n * L + n * 64 * 8;
  const std::uint64_t sites = 4 * n * L * 8 + 4 * n * 8;
  // The means: per group, four kinds' weighted deviations per codon, twice; an
  // output's buffer (1 MB, filled by a table).
  const std::uint64_t means = static_cast<std::uint64_t>(m.groups) * 8 * L * 8;
  const std::uint64_t outputs = (m.table ? kMB : 0) + (m.groups ? 64 * 1024 : 0);
  // The profile: each sequence's sites per window; per group, its sums per window
  // and per codon of a window, and its sequences' coefficients per window; the
  // differences per codon. A batch adds the same for the groups it touches (every
  // pair's, its clades'), its pairs' per-codon differences as counted, and the
  // table's text.
  const std::uint64_t nw = m.profileWindows, G = m.groups ? static_cast<std::uint64_t>(m.groups) : 1;
  const std::uint64_t groupSums = (nw * 21 + m.profileCodons * 6) * 8;
  const std::uint64_t profile =
      nw ? (n * nw * 4 + m.profileMembers * nw * 8 + L * 4) * 8 + G * groupSums + G * nw * 400 : 0;
  // Batches in flight, each in a slot of its own that keeps its memory from batch
  // to batch: per pair the four kinds' per-codon values, the totals, proportions,
  // variances and covariances, and the text of the sinks (a table's row); per
  // working thread its memo of codon pairs and what its heap keeps.
  const std::uint64_t B = std::min<std::uint64_t>(static_cast<std::uint64_t>(m.batchPairs), m.pairs);
  const std::uint64_t batches = B ? (m.pairs + B - 1) / B : 0;
  const std::uint64_t slots = T > 1 && batches > 1 ? std::min(T + 2, batches) : 1;
  const std::uint64_t workers = T > 1 && batches > 1 ? std::min(T, batches) : 0;
  const std::uint64_t sinks = (m.table ? 1 : 0) + (m.groups ? 1 : 0) + (m.reports ? 1 : 0);
  const std::uint64_t touched = std::min<std::uint64_t>(G, 3);
  const std::uint64_t profileBatch =
      nw ? 4 * codonTable(B, L) + touched * (groupSums + std::min<std::uint64_t>(n, B + 1) * nw * 8 * 8) + L * 4 * 8 : 0;
  const std::uint64_t batch =
      4 * codonTable(B, L) + B * (200 + (m.table ? 400 : 0)) + sinks * 64 * 1024 + profileBatch;
  const std::uint64_t inFlight = slots * batch + workers * 700 * 1024;
  std::uint64_t gene = alignment + codons + sites + means + outputs + profile;
  // The jackknife analyses the alignment less a block after the whole's pairs,
  // while its sinks hold what they hold: a copy of the alignment, codons and
  // sites, and its means (its batches take the place of the whole's); and a
  // byte a pair, the tests it entered, which the parts' means take.
  if (m.jackknife) gene += alignment + codons + sites + means + m.pairs;
  // The expected dR/dC keeps seven doubles and two sequence numbers a pair, and
  // its model's tables (about 0.3 MB); with the jackknife, a part keeps its own
  // beside the whole's.
  if (m.expectedRatio) gene += (m.jackknife ? 2 : 1) * (m.pairs * 64 + 300 * 1024);
  if (!m.reports) return program + genes * (gene + inFlight);
  // The reports keep every pair's per-codon values and statistics while the
  // pairs are counted. Then the covariance tasks in flight, of about 2^17
  // entries each (whole panels of eight rows): four kinds of covariances, their
  // block sums, and the text of the first covariance block of each report (a
  // label and a number in sn.rst and cr.rst, a number in each .dis file) in
  // buffers that grow by doubling; the labels of every pair, and the seven
  // reports' buffers.
  const std::uint64_t P = m.pairs;
  const std::uint64_t kept = 4 * codonTable(P, L) + P * 200;
  const std::uint64_t all = P * (P + 1) / 2;
  const std::uint64_t entries = std::min<std::uint64_t>(all, (1u << 17) + 8 * P);
  const std::uint64_t tasks = entries ? (all + entries - 1) / entries : 1;
  const std::uint64_t covSlots = T > 1 && tasks > 1 ? std::min(T + 2, tasks) : 1;
  std::uint64_t digits = 1;
  for (std::uint64_t v = n; v >= 10; v /= 10) ++digits;
  const std::uint64_t text = 2 * (4 * digits + 14) + 4 * 9;
  const std::uint64_t task = entries * (4 * 8 + 8) + entries * text * 3 / 2 + 8 * L * 8;
  const std::uint64_t labels = P * 80;
  const std::uint64_t reportBuffers = 7 * std::min<std::uint64_t>(kMB, all * (text / 2) + 9 * n * n);
  gene += kept + labels + reportBuffers;
  return program + genes * (gene + std::max(inFlight, covSlots * task));
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
