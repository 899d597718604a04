// The groups of pairs that means are taken over: within each clade, between
// every two clades (in clade order), and last every pair. Without clades only
// the group of every pair.
#pragma once

#include <cstddef>
#include <vector>

namespace radcon {

class PairGroups {
 public:
  // cladeOf gives each sequence's clade 0..clades-1 (empty without clades).
  PairGroups(const std::vector<int>& cladeOf, int clades) : cladeOf_(cladeOf), clades_(clades) {
    index_.assign(static_cast<std::size_t>(clades) * clades, -1);
    for (int c = 0; c < clades; ++c) add(c, c);
    for (int c1 = 0; c1 < clades; ++c1)
      for (int c2 = c1 + 1; c2 < clades; ++c2) add(c1, c2);
    first_.push_back(-1), second_.push_back(-1);  // every pair
  }
  std::size_t size() const { return first_.size(); }
  // The clades of group g; -1 for the group of every pair.
  int clade1(std::size_t g) const { return first_[g]; }
  int clade2(std::size_t g) const { return second_[g]; }
  // The groups of the pair of sequences i and j: that of every pair, then that
  // of its clades (when there are clades). Returns how many.
  int of(int i, int j, std::size_t out[2]) const {
    out[0] = size() - 1;
    if (clades_ == 0) return 1;
    const int a = cladeOf_[static_cast<std::size_t>(i)], b = cladeOf_[static_cast<std::size_t>(j)];
    const int c1 = a < b ? a : b, c2 = a < b ? b : a;
    out[1] = static_cast<std::size_t>(index_[static_cast<std::size_t>(c1) * static_cast<std::size_t>(clades_) +
                                             static_cast<std::size_t>(c2)]);
    return 2;
  }

 private:
  void add(int c1, int c2) {
    index_[static_cast<std::size_t>(c1) * static_cast<std::size_t>(clades_) + static_cast<std::size_t>(c2)] =
        static_cast<int>(first_.size());
    first_.push_back(c1), second_.push_back(c2);
  }
  std::vector<int> cladeOf_;
  int clades_;
  std::vector<int> index_;  // group of clades (c1, c2), c1 <= c2
  std::vector<int> first_, second_;
};

}  // namespace radcon
