// Per-codon values of every pair of sequences i < j, in one contiguous block.
// Pairs are grouped in panels of eight: [panel][codon][lane], so that the values
// of eight pairs at one codon sit side by side for the covariance kernel.
#pragma once

#include <algorithm>
#include <cmath>
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

// 'count' pairs of n sequences in pair order, from pair index 'first' on: a batch
// of pairs made as it is needed, never the list of all.
inline std::vector<SeqPair> pairsFrom(int n, std::size_t first, std::size_t count) {
  // Row i holds the pairs (i, j > i) from index i (2n - i - 1) / 2 on.
  const auto rowStart = [n](std::size_t i) { return i * (2 * static_cast<std::size_t>(n) - i - 1) / 2; };
  const double b = 2.0 * n - 1.0;
  std::size_t i = static_cast<std::size_t>(std::max(0.0, (b - std::sqrt(b * b - 8.0 * static_cast<double>(first))) / 2.0));
  while (i > 0 && rowStart(i) > first) --i;
  while (rowStart(i + 1) <= first) ++i;
  int row = static_cast<int>(i), column = static_cast<int>(first - rowStart(i) + i + 1);
  std::vector<SeqPair> v;
  v.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    v.push_back({row, column});
    if (++column == n) column = ++row + 1;
  }
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
  PairCodonTable(std::size_t pairs, int codons) { reset(pairs, codons); }

  // Makes the table one of 'pairs' pairs and 'codons' codons, every value 0, in
  // the memory it holds when that is enough: a caller that fills batch after
  // batch allocates once.
  void reset(std::size_t pairs, int codons) {
    resize(pairs, codons);
    const std::size_t values = panels_ * codons_ * kLanes;
    for (std::size_t k = 0; k < values; ++k) data_[k] = 0.0;
  }

  double& at(std::size_t pair, int codon) { return data_[offset(pair, codon)]; }
  double at(std::size_t pair, int codon) const { return data_[offset(pair, codon)]; }

  std::size_t pairs() const { return pairs_; }
  int codons() const { return codons_; }
  std::size_t panels() const { return panels_; }
  // The codons x lanes block of one panel; lanes beyond the last pair hold 0.
  const double* panel(std::size_t p) const { return data_.get() + p * codons_ * kLanes; }
  void release() {
    data_.reset();
    capacity_ = 0;
  }

  // A copy of the table.
  PairCodonTable clone() const {
    PairCodonTable t(pairs_, static_cast<int>(codons_));
    if (panels_ > 0) std::memcpy(t.data_.get(), data_.get(), panels_ * codons_ * kLanes * sizeof(double));
    return t;
  }

  // Makes this table a copy of 'from', in the memory it holds when that is enough.
  void copyFrom(const PairCodonTable& from) {
    resize(from.pairs_, static_cast<int>(from.codons_));
    if (panels_ > 0) std::memcpy(data_.get(), from.data_.get(), panels_ * codons_ * kLanes * sizeof(double));
  }

  // Copies every pair of 'from' (as many codons) into this table, its first
  // pair at pair 'firstPair', a multiple of kLanes: whole panels at a time.
  void place(const PairCodonTable& from, std::size_t firstPair) {
    if (from.panels_ == 0) return;
    std::memcpy(data_.get() + firstPair / kLanes * codons_ * kLanes, from.data_.get(),
                from.panels_ * codons_ * kLanes * sizeof(double));
  }

 private:
  // Sizes the table, its values left as they are (a copy fills them all).
  void resize(std::size_t pairs, int codons) {
    pairs_ = pairs;
    codons_ = static_cast<std::size_t>(codons);
    panels_ = (pairs + kLanes - 1) / kLanes;
    const std::size_t values = panels_ * codons_ * kLanes;
    if (!data_ || values > capacity_) {  // a table moved from has none
      data_.reset();
      capacity_ = 0;
      void* p = std::aligned_alloc(64, (values * sizeof(double) + 63) / 64 * 64);
      if (!p) throw std::bad_alloc();
      data_.reset(static_cast<double*>(p));
      capacity_ = values;
    }
  }
  struct Free {
    void operator()(double* p) const { std::free(p); }
  };
  std::size_t offset(std::size_t pair, int codon) const {
    return (pair / kLanes * codons_ + codon) * kLanes + pair % kLanes;
  }

  std::size_t pairs_ = 0;
  std::size_t codons_ = 0;
  std::size_t panels_ = 0;
  std::size_t capacity_ = 0;  // values the memory holds
  std::unique_ptr<double[], Free> data_;
};

}  // namespace radcon
