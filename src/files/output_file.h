// A file written through one buffer, every write checked: a failure stops the
// run with a message naming the file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace radcon {

class OutputFile {
 public:
  OutputFile() = default;
  // Takes over the descriptor fd; 'name' is what messages call the file.
  OutputFile(int fd, std::string name) : fd_(fd), name_(std::move(name)) { buffer_.reserve(kBuffer); }
  OutputFile(OutputFile&& o) noexcept;
  OutputFile& operator=(OutputFile&& o) noexcept;
  ~OutputFile();

  void write(const char* p, std::size_t n);
  void write(std::string_view s) { write(s.data(), s.size()); }
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

}  // namespace radcon
