#include "files/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/error.h"

namespace radcon {

OutputFile::OutputFile(OutputFile&& o) noexcept
    : fd_(o.fd_), name_(std::move(o.name_)), buffer_(std::move(o.buffer_)) {
  o.fd_ = -1;
}

OutputFile& OutputFile::operator=(OutputFile&& o) noexcept {
  if (this != &o) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = o.fd_;
    name_ = std::move(o.name_);
    buffer_ = std::move(o.buffer_);
    o.fd_ = -1;
  }
  return *this;
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

void OutputFile::writeAll(const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd_, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      fail("Can't write " + name_ + ": " + errnoText(errno) + ".");
    }
    if (w == 0) fail("Can't write " + name_ + ": nothing could be written.");
    p += w;
    n -= static_cast<std::size_t>(w);
  }
}

void OutputFile::write(const char* p, std::size_t n) {
  if (buffer_.size() + n > kBuffer) {
    flush();
    if (n >= kBuffer) {
      writeAll(p, n);
      return;
    }
  }
  buffer_.insert(buffer_.end(), p, p + n);
}

void OutputFile::flush() {
  if (!buffer_.empty()) writeAll(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void OutputFile::close() {
  if (fd_ < 0) return;
  flush();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail("Can't write " + name_ + ": " + errnoText(errno) + ".");
}

}  // namespace radcon
