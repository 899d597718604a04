// Per-codon values of every pair of sequences i < j, in one contiguous block.
// Pairs are grouped in panels of eight: [panel][codon][lane], so that the values
// of eight pairs at one codon sit side by side for the covariance kernel.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace radcon {

// Number of pairs i < j of n sequences, and the index of pair (i, j) in pair order
// (0,1), (0,2), ..., (0,n-1), (1,2), ...
constexpr std::size_t pairCount(int n) { return n < 2 ? 0 : static_cast<std::size_t>(n) * (n - 1) / 2; }
constexpr std::size_t pairIndex(int n, int i, int j) {
  return static_cast<std::size_t>(i) * (2 * static_cast<std::size_t>(n) - i - 1) / 2 + (j - i - 1);
}

// Two sequence numbers i < j.
struct SeqPair {
  int i, j;
  bool operator==(const SeqPair&) const = default;
};

// Every pair of n sequences in pair order.
inline std::vector<SeqPair> allPairs(int n) {
  std::vector<SeqPair> v;
  v.reserve(pairCount(n));
  for (int i = 0; i + 1 < n; ++i)
    for (int j = i + 1; j < n; ++j) v.push_back({i, j});
  return v;
}

// The pairs of sequence r with every other, in the order of the other sequence.
inline std::vector<SeqPair> referencePairs(int n, int r) {
  std::vector<SeqPair> v;
  for (int k = 0; k < n; ++k)
    if (k != r) v.push_back({std::min(k, r), std::max(k, r)});
  return v;
}

class PairCodonTable {
 public:
  static constexpr int kLanes = 8;

  PairCodonTable() = default;
  PairCodonTable(std::size_t pairs, int codons)
      : pairs_(pairs), codons_(codons), panels_((pairs + kLanes - 1) / kLanes) {
    const std::size_t bytes = panels_ * codons_ * kLanes * sizeof(double);
    if (bytes > 0) {
      void* p = std::aligned_alloc(64, (bytes + 63) / 64 * 64);
      if (!p) throw std::bad_alloc();
      data_.reset(static_cast<double*>(p));
      for (std::size_t k = 0; k < panels_ * codons_ * kLanes; ++k) data_[k] = 0.0;
    }
  }

  double& at(std::size_t pair, int codon) { return data_[offset(pair, codon)]; }
  double at(std::size_t pair, int codon) const { return data_[offset(pair, codon)]; }

  std::size_t pairs() const { return pairs_; }
  int codons() const { return codons_; }
  std::size_t panels() const { return panels_; }
  // The codons x lanes block of one panel; lanes beyond the last pair hold 0.
  const double* panel(std::size_t p) const { return data_.get() + p * codons_ * kLanes; }
  void release() { data_.reset(); }

  // A copy of the table.
  PairCodonTable clone() const {
    PairCodonTable t(pairs_, static_cast<int>(codons_));
    if (panels_ > 0) std::memcpy(t.data_.get(), data_.get(), panels_ * codons_ * kLanes * sizeof(double));
    return t;
  }

  // Copies every pair of 'from' (as many codons) into this table, its first
  // pair at pair 'firstPair', a multiple of kLanes: whole panels at a time.
  void place(const PairCodonTable& from, std::size_t firstPair) {
    if (from.panels_ == 0) return;
    std::memcpy(data_.get() + firstPair / kLanes * codons_ * kLanes, from.data_.get(),
                from.panels_ * codons_ * kLanes * sizeof(double));
  }

 private:
  struct Free {
    void operator()(double* p) const { std::free(p); }
  };
  std::size_t offset(std::size_t pair, int codon) const {
    return (pair / kLanes * codons_ + codon) * kLanes + pair % kLanes;
  }

  std::size_t pairs_ = 0;
  std::size_t codons_ = 0;
  std::size_t panels_ = 0;
  std::unique_ptr<double[], Free> data_;
};

}  // namespace radcon
