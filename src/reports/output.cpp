#include "reports/output.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <random>

#include "util/error.h"

namespace radcon {

namespace {

// Temporary report paths, kept where a signal handler can reach them: a slot
// each, taken under a lock by whichever report set creates the file (several
// sets may be open at once) and given back when the file is renamed or removed.
constexpr int kMaxTemporaries = 64;
constexpr std::size_t kMaxPath = 4096;
char gTemporaries[kMaxTemporaries][kMaxPath];
volatile std::sig_atomic_t gTemporaryUsed[kMaxTemporaries];
std::mutex gTemporaryLock;

// The slot of a new temporary, or -1 when none is free (the file is then only
// removed by the normal paths, not by a signal).
int registerTemporary(const std::string& path) {
  if (path.size() >= kMaxPath) return -1;
  std::lock_guard<std::mutex> lock(gTemporaryLock);
  for (int k = 0; k < kMaxTemporaries; ++k)
    if (!gTemporaryUsed[k]) {
      std::memcpy(gTemporaries[k], path.c_str(), path.size() + 1);
      gTemporaryUsed[k] = 1;
      return k;
    }
  return -1;
}

void forgetTemporary(int slot) {
  if (slot < 0) return;
  std::lock_guard<std::mutex> lock(gTemporaryLock);
  gTemporaryUsed[slot] = 0;
}

std::string reason(int err) { return std::strerror(err); }

// Holds off SIGINT and SIGTERM while it lives; one that arrives meanwhile is
// delivered when it ends.
class SignalBlock {
 public:
  SignalBlock() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
  }
  ~SignalBlock() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalBlock(const SignalBlock&) = delete;
  SignalBlock& operator=(const SignalBlock&) = delete;

 private:
  sigset_t previous_;
};

// A name nobody can guess ahead, so that no link can be planted under it.
std::string randomTag() {
  static std::random_device source;
  static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string tag;
  for (int k = 0; k < 3; ++k) {
    std::uint32_t v = source();
    for (int d = 0; d < 4; ++d, v /= 36) tag.push_back(digits[v % 36]);
  }
  return tag;
}

}  // namespace

std::string pathIn(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

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
      fail("Can't write " + name_ + ": " + reason(errno) + ".");
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
  if (::close(fd) != 0) fail("Can't write " + name_ + ": " + reason(errno) + ".");
}

namespace {

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

ReportSet::ReportSet(const std::vector<std::string>& paths) {
  struct stat st {};
  for (const std::string& path : paths) {
    const std::string dir = folderOf(path);
    if (::stat(dir.c_str(), &st) != 0) fail("Can't create the report " + path + ": " + reason(errno) + ".");
    if (!S_ISDIR(st.st_mode)) fail("Can't create the report " + path + ": " + dir + " is not a folder.");
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      fail("Can't create the report " + path + ": a folder of that name is in the way.");
  }
  for (const std::string& path : paths) {
    // Created exclusively under a fresh name: never an existing file, never
    // through a symbolic link.
    std::string temp;
    int fd = -1, err = 0;
    bool owned = false, listed = false;
    try {
      SignalBlock block;  // created and registered for removal as one step
      for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = path + ".radcon-" + randomTag() + ".tmp";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        err = errno;
        if (fd < 0 && err != EEXIST) break;
      }
      if (fd >= 0) {
        files_.emplace_back(fd, path);
        owned = true;
        temps_.push_back(temp);
        listed = true;
        finals_.push_back(path);
        slots_.push_back(registerTemporary(temp));
      }
    } catch (...) {  // no random source, no memory: nothing may stay behind
      if (fd >= 0 && !owned) ::close(fd);
      if (fd >= 0 && !listed) ::unlink(temp.c_str());
      discard();
      throw;
    }
    if (fd < 0) {
      discard();
      fail("Can't create the report " + path + ": " + reason(err) + ".");
    }
  }
}

void ReportSet::discard() {
  files_.clear();
  for (const std::string& t : temps_) ::unlink(t.c_str());
  forgetSlots();
  temps_.clear();
}

void ReportSet::forgetSlots() {
  for (int slot : slots_) forgetTemporary(slot);
  slots_.clear();
}

ReportSet::~ReportSet() {
  if (!committed_) discard();
}

void ReportSet::commit() {
  for (OutputFile& f : files_) f.close();
  // An interrupt between two renames would leave old and new reports side by
  // side: it waits until every report is in place.
  SignalBlock block;
  for (std::size_t k = 0; k < temps_.size(); ++k) {
    if (::rename(temps_[k].c_str(), finals_[k].c_str()) != 0)
      fail("Can't put the report " + finals_[k] + " in place: " + reason(errno) + ".");
  }
  committed_ = true;
  forgetSlots();
}

void ReportSet::removeTemporariesForSignal() {
  for (int k = 0; k < kMaxTemporaries; ++k)
    if (gTemporaryUsed[k]) ::unlink(gTemporaries[k]);
}

ScratchFile::ScratchFile(const std::string& folder) {
  const std::string dir = folder.empty() ? "." : folder;
  fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    // Filesystems without unnamed files: a named one, removed at once.
    std::string templ = pathIn(folder, ".radcon-scratch-XXXXXX");
    fd_ = ::mkstemp(templ.data());
    if (fd_ < 0) fail("Can't create scratch storage in " + dir + ": " + reason(errno) + ".");
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
    if (w <= 0) fail("Can't write scratch storage: " + reason(w < 0 ? errno : ENOSPC) + ".");
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
    if (r <= 0) fail("Can't read scratch storage: " + reason(r < 0 ? errno : EIO) + ".");
    p += r;
    n -= static_cast<std::size_t>(r);
    at += r;
  }
}

}  // namespace radcon
