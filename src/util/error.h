// The one error path of a run: whatever stops a run is thrown and carried up to
// the driver, which alone decides what the user sees and the exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace radcon {

class RunError : public std::runtime_error {
 public:
  enum Kind {
    kFailure,  // bad input, an output that cannot be written, too little memory or disk
    kUsage,    // a command line that cannot be run as given
  };
  RunError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

// A run that cannot go on: bad input or an output that cannot be written.
[[noreturn]] inline void fail(const std::string& message) { throw RunError(RunError::kFailure, message); }
// A command line that cannot be run as given.
[[noreturn]] inline void usage(const std::string& message) { throw RunError(RunError::kUsage, message); }

// What a failed system call's error number means, for a message.
std::string errnoText(int err);

// Describes a character for a message: printable ones quoted, others by name.
std::string describeChar(int c);

}  // namespace radcon
