#include "files/scratch_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/report_set.h"
#include "util/error.h"
#include "util/signal_block.h"

namespace radcon {

ScratchFile::ScratchFile(const std::string& folder) {
  const std::string dir = folder.empty() ? "." : folder;
  fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    // Filesystems without unnamed files: a named one, removed at once (no
    // signal between the two may leave it behind).
    std::string templ = pathIn(folder, ".radcon-scratch-XXXXXX");
    SignalBlock block;
    fd_ = ::mkstemp(templ.data());
    if (fd_ < 0) fail("Can't create scratch storage in " + dir + ": " + errnoText(errno) + ".");
    ::unlink(templ.c_str());
  }
}

ScratchFile::~ScratchFile() {
  if (fd_ >= 0) ::close(fd_);
}

void ScratchFile::append(const double* v, std::size_t count) {
  const char* p = reinterpret_cast<const char*>(v);
  std::size_t n = count * sizeof(double);
  off_t at = static_cast<off_t>(size_ * sizeof(double));
  while (n > 0) {
    const ssize_t w = ::pwrite(fd_, p, n, at);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) fail("Can't write scratch storage: " + errnoText(w < 0 ? errno : ENOSPC) + ".");
    p += w;
    n -= static_cast<std::size_t>(w);
    at += w;
  }
  size_ += count;
}

void ScratchFile::read(std::size_t first, std::size_t count, double* out) const {
  char* p = reinterpret_cast<char*>(out);
  std::size_t n = count * sizeof(double);
  off_t at = static_cast<off_t>(first * sizeof(double));
  while (n > 0) {
    const ssize_t r = ::pread(fd_, p, n, at);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) fail("Can't read scratch storage: " + errnoText(r < 0 ? errno : EIO) + ".");
    p += r;
    n -= static_cast<std::size_t>(r);
    at += r;
  }
}

}  // namespace radcon
