#include "files/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef RADCON_HAVE_ZLIB
#include <zlib.h>
#endif

#include <cerrno>
#include <memory>

namespace radcon {

namespace {

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

bool gzipMagic(const char* p, std::size_t n) {
  return n >= 2 && static_cast<unsigned char>(p[0]) == 0x1f && static_cast<unsigned char>(p[1]) == 0x8b;
}

// Appends up to what the limit leaves; false once the limit cuts the text.
bool take(WholeFile& f, const char* p, std::size_t n, std::size_t limit) {
  const std::size_t room = limit - f.text.size();
  f.text.append(p, n < room ? n : room);
  if (n <= room) return true;
  f.status = WholeFile::kTooLarge;
  return false;
}

}  // namespace

WholeFile readWholeFile(const std::string& path, std::size_t limit, bool inflate) {
  WholeFile f;
  Descriptor d{path == "-" ? ::dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  struct stat st {};
  if (d.fd < 0 || (::fstat(d.fd, &st) == 0 && S_ISDIR(st.st_mode))) return f;
  char buf[1 << 16];
  f.status = WholeFile::kRead;
#ifdef RADCON_HAVE_ZLIB
  if (inflate) {
    // zlib inflates a gzip stream and passes any other text through unchanged;
    // the stream is read to its end, so that its checksum is checked too.
    std::unique_ptr<gzFile_s, int (*)(gzFile)> gz(gzdopen(d.fd, "rb"), &gzclose);
    if (!gz) {
      f.status = WholeFile::kCannotOpen;
      return f;
    }
    d.fd = -1;  // gzclose closes it
    gzbuffer(gz.get(), 1 << 17);
    for (int got; (got = gzread(gz.get(), buf, sizeof buf)) > 0;)
      if (!take(f, buf, static_cast<std::size_t>(got), limit)) return f;
    int status = Z_OK;
    std::string message = gzerror(gz.get(), &status);
    if (status != Z_OK && status != Z_STREAM_END) {
      if (message.starts_with("<fd:")) message.erase(0, message.find(": ") + 2);  // zlib names the descriptor
      f.status = WholeFile::kDamaged;
      f.detail = message;
    }
    return f;
  }
#endif
  for (;;) {
    const ssize_t got = ::read(d.fd, buf, sizeof buf);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      f.status = WholeFile::kCannotRead;
      return f;
    }
    if (!take(f, buf, static_cast<std::size_t>(got), limit)) return f;
  }
  if (inflate && gzipMagic(f.text.data(), f.text.size())) f.status = WholeFile::kNeedsZlib;
  return f;
}

}  // namespace radcon
