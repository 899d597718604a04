#include "app/signals.h"

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <exception>

#include "files/report_set.h"

namespace radcon {

namespace {

extern "C" void onSignal(int sig) {
  ReportSet::removeTemporariesForSignal();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

[[noreturn]] void onTerminate() {
  ReportSet::removeTemporariesForSignal();
  static const char message[] = "radcon: the run stopped on an internal error.\n";
  if (::write(STDERR_FILENO, message, sizeof message - 1) < 0) {
  }
  ::_exit(1);
}

}  // namespace

void installTerminationHandling() {
  // A file-size limit must show as a failed write, not kill the run.
  std::signal(SIGXFSZ, SIG_IGN);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(sig, onSignal);
  std::set_terminate(onTerminate);
}

}  // namespace radcon
