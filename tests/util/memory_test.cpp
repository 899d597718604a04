#include "util/memory.h"

#include <gtest/gtest.h>

namespace radcon {
namespace {

constexpr double kMB = 1048576.0;

MemoryPlan streamed(int n, int L, int threads, int batchPairs) {
  MemoryPlan m;
  m.seqNum = n;
  m.seqLength = L;
  m.pairs = static_cast<std::uint64_t>(n) * (n - 1) / 2;
  m.batchPairs = batchPairs;
  m.threads = threads;
  m.groups = 1;
  return m;
}

TEST(MemoryPlan, WithinHalfAgainOfThePeaksMeasured) {
  // Peaks of streamed runs with --means that bench/memory.py measured: 45 pairs
  // of 10,000 codons on 16 threads (one batch each for six of them), 18 million
  // pairs of 10 codons, 100 x 1,000 on 1 and 16 threads.
  const struct {
    MemoryPlan plan;
    double peakMB;
  } runs[] = {{streamed(10, 10000, 16, 8), 24.6},
              {streamed(6000, 10, 2, 256), 11.4},
              {streamed(100, 1000, 1, 64), 10.4},
              {streamed(100, 1000, 16, 64), 47.6}};
  for (const auto& r : runs) {
    const double planned = static_cast<double>(estimateBytes(r.plan)) / kMB;
    EXPECT_GT(planned, r.peakMB / 1.5) << r.plan.seqNum << " x " << r.plan.seqLength;
    EXPECT_LT(planned, r.peakMB * 1.5) << r.plan.seqNum << " x " << r.plan.seqLength;
  }
}

}  // namespace
}  // namespace radcon
