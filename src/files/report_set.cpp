#include "files/report_set.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <random>

#include "util/error.h"
#include "util/signal_block.h"

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

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

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

ReportSet::ReportSet(const std::vector<std::string>& paths) {
  struct stat st {};
  for (const std::string& path : paths) {
    const std::string dir = folderOf(path);
    if (::stat(dir.c_str(), &st) != 0) fail("Can't create the report " + path + ": " + errnoText(errno) + ".");
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
      fail("Can't create the report " + path + ": " + errnoText(err) + ".");
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
      fail("Can't put the report " + finals_[k] + " in place: " + errnoText(errno) + ".");
  }
  committed_ = true;
  forgetSlots();
}

void ReportSet::removeTemporariesForSignal() {
  for (int k = 0; k < kMaxTemporaries; ++k)
    if (gTemporaryUsed[k]) ::unlink(gTemporaries[k]);
}

}  // namespace radcon
