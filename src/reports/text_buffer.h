// A growable text buffer that numbers are formatted into; what the writers of
// every table and report fill before handing the text to an output file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

#include "reports/number_format.h"

namespace radcon {

class TextBuffer {
 public:
  explicit TextBuffer(std::size_t reserve = 1 << 16) { data_.resize(reserve); }
  // Room for n more characters; returns where to write them.
  char* room(std::size_t n) {
    if (size_ + n > data_.size()) data_.resize(std::max(data_.size() * 2, size_ + n));
    return data_.data() + size_;
  }
  void advance(char* end) { size_ = static_cast<std::size_t>(end - data_.data()); }
  void put(char c) { *room(1) = c, ++size_; }
  void append(std::string_view s) {
    std::memcpy(room(s.size()), s.data(), s.size());
    size_ += s.size();
  }
  void fixed(double v, int precision, int width) { advance(formatFixed(room(kMaxNumberChars), v, precision, width)); }
  void integer(long long v) { advance(formatInt(room(24), v)); }
  void general(double v) { advance(formatGeneral(room(kMaxNumberChars), v)); }
  const char* data() const { return data_.data(); }
  std::size_t size() const { return size_; }
  void clear() { size_ = 0; }
  // The text so far, for a file or another buffer.
  operator std::string_view() const { return {data_.data(), size_}; }

 private:
  std::vector<char> data_;
  std::size_t size_ = 0;
};

}  // namespace radcon
