// Report files that never lie: each report is written under a temporary name in
// its folder and renamed into place only when every report of the run is complete.
// Every write is checked; a failure stops the run with a message and leaves the
// reports of an earlier run untouched.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "reports/number_format.h"

namespace radcon {

// A growable text buffer that numbers are formatted into.
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

 private:
  std::vector<char> data_;
  std::size_t size_ = 0;
};

// A file written through one buffer, every write checked.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(int fd, std::string name) : fd_(fd), name_(std::move(name)) { buffer_.reserve(kBuffer); }
  OutputFile(OutputFile&& o) noexcept;
  OutputFile& operator=(OutputFile&& o) noexcept;
  ~OutputFile();

  void write(const char* p, std::size_t n);
  void write(std::string_view s) { write(s.data(), s.size()); }
  void write(const TextBuffer& t) { write(t.data(), t.size()); }
  void flush();
  // Writes what is buffered and closes the file; throws on any failure.
  void close();
  const std::string& name() const { return name_; }

 private:
  static constexpr std::size_t kBuffer = 1 << 20;
  void writeAll(const char* p, std::size_t n);
  int fd_ = -1;
  std::string name_;
  std::vector<char> buffer_;
};

// The reports of one run: created under temporary names beside their final
// paths, then renamed together. Until commit() the temporary files are removed on
// destruction.
class ReportSet {
 public:
  // Checks every report's folder and creates a temporary file for every path.
  // Throws with a clear message when a report cannot be created (a folder in the
  // way, no write permission, a missing folder).
  explicit ReportSet(const std::vector<std::string>& paths);
  ~ReportSet();
  ReportSet(const ReportSet&) = delete;
  ReportSet& operator=(const ReportSet&) = delete;

  OutputFile& file(std::size_t k) { return files_[k]; }
  // Closes every file and renames each temporary file to its report name.
  void commit();
  // Removes the temporary files that exist now (safe in a signal handler).
  static void removeTemporariesForSignal();

 private:
  void discard();
  void forgetSlots();
  std::vector<std::string> finals_, temps_;
  std::vector<int> slots_;  // where the signal handler finds each temporary
  std::vector<OutputFile> files_;
  bool committed_ = false;
};

// Scratch storage of doubles on disk, unnamed, in the reports' folder.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& folder);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  void append(const double* v, std::size_t count);
  void read(std::size_t first, std::size_t count, double* out) const;

 private:
  int fd_ = -1;
  std::size_t size_ = 0;  // doubles written
};

// The path of a report in a folder ("" is the current directory).
std::string pathIn(const std::string& folder, const std::string& name);

}  // namespace radcon
