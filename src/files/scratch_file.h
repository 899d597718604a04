// Scratch storage of doubles on disk, unnamed, in a given folder: what does not
// need to stay in memory between two passes over it.
#pragma once

#include <cstddef>
#include <string>

namespace radcon {

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

}  // namespace radcon
