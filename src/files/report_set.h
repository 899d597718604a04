// Output files that never lie: each is written under a temporary name in its
// folder and renamed into place only when every file of the set is complete. A
// failure or an interrupt before the renames leaves the files of an earlier run
// untouched and no temporary file behind.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "files/output_file.h"

namespace radcon {

class ReportSet {
 public:
  // Checks every file's folder and creates a temporary file for every path.
  // Throws with a clear message when one cannot be created (a folder in the way,
  // no write permission, a missing folder).
  explicit ReportSet(const std::vector<std::string>& paths);
  ~ReportSet();
  ReportSet(const ReportSet&) = delete;
  ReportSet& operator=(const ReportSet&) = delete;

  OutputFile& file(std::size_t k) { return files_[k]; }
  // Closes every file and renames each temporary file to its final name.
  void commit();
  // Removes the temporary files that exist now (safe in a signal handler).
  static void removeTemporariesForSignal();

 private:
  void discard();
  void forgetSlots();
  std::vector<std::string> finals_, temps_;
  std::vector<int> slots_;  // where the signal handler finds each temporary
  std::vector<OutputFile> files_;
  bool committed_ = false;
};

// The path of a file in a folder ("" is the current directory).
std::string pathIn(const std::string& folder, const std::string& name);

}  // namespace radcon
