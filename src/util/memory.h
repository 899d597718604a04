// How much memory a run needs and how much the machine can give it, so that a
// run that cannot fit is refused before anything large is allocated.
#pragma once

#include <cstdint>

namespace radcon {

// Peak bytes a run of n sequences of L codons needs with the given threads: one
// that writes the covariance reports, or one that streams its pairs (batches of
// streamBatch pairs in flight, nothing kept per pair).
std::uint64_t estimateRunBytes(int seqNum, int seqLength, int threads);
std::uint64_t estimateStreamingBytes(int seqNum, int seqLength, int threads, int streamBatch, int groups);

// Bytes this process may still use: the least of the memory the system has
// available, the cgroup's remaining limit and the address-space limit.
std::uint64_t availableMemoryBytes();

}  // namespace radcon
