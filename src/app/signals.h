// How a run ends when it is told to stop: SIGINT, SIGTERM, SIGHUP, or a closed
// pipe on its output (SIGPIPE). The thread that drives the run takes them (every
// thread radcon starts blocks them), removes the temporary files, and ends by the
// signal, so the shell sees the conventional status (128 + the signal's number)
// and earlier outputs stay as they were.
#pragma once

namespace radcon {

// Installs the handlers, and the last resort should anything escape the error
// path: still no temporary file left behind, one message and status 1.
void installTerminationHandling();

}  // namespace radcon
