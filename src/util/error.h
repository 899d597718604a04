// The one error path of a run: whatever stops a run is thrown as a RunError and
// reported by main, which prints the message and exits with the status.
#pragma once

#include <stdexcept>
#include <string>

namespace radcon {

class RunError : public std::runtime_error {
 public:
  RunError(int status, const std::string& message, bool lineEnd = true)
      : std::runtime_error(message), status_(status), lineEnd_(lineEnd) {}
  int status() const { return status_; }
  // Whether the message is printed with a line end after it.
  bool lineEnd() const { return lineEnd_; }

 private:
  int status_;
  bool lineEnd_;
};

// An input or output failure: exit status 1.
[[noreturn]] inline void fail(const std::string& message) { throw RunError(1, message); }

// Describes a character for a message: printable ones quoted, others by name.
std::string describeChar(int c);

}  // namespace radcon
