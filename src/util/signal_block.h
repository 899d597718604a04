// The signals that end a run (SIGINT, SIGTERM, SIGHUP, SIGPIPE) are handled in
// one place, the thread that drives the run: every thread radcon starts runs
// with them blocked, and the driver holds them off while it does what must not
// be cut in two (creating and registering a temporary file, the final renames).
#pragma once

#include <pthread.h>

#include <csignal>

namespace radcon {

// The signals that end a run.
inline sigset_t terminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&set, s);
  return set;
}

// Holds off the termination signals in the calling thread while it lives; one
// that arrives meanwhile is delivered when it ends. A thread started meanwhile
// keeps them blocked for good.
class SignalBlock {
 public:
  SignalBlock() {
    const sigset_t set = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
  }
  ~SignalBlock() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalBlock(const SignalBlock&) = delete;
  SignalBlock& operator=(const SignalBlock&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace radcon
