// Loaded into radcon with LD_PRELOAD by the tests: the first rename of a
// temporary output into place is followed by a SIGINT to the whole process and a
// pause, long enough for any thread that does not block the signal to take it
// while the other renames are still to come.
#include <dlfcn.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

extern "C" int rename(const char* from, const char* to) {
  static int (*real)(const char*, const char*) =
      reinterpret_cast<int (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "rename"));
  static bool interrupted = false;
  const int r = real(from, to);
  if (!interrupted && strstr(from, ".radcon-") != nullptr) {
    interrupted = true;
    kill(getpid(), SIGINT);
    usleep(300000);
  }
  return r;
}
