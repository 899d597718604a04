// Free space on the file system that will hold a run's reports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace radcon {

// Bytes an unprivileged writer may still use on the file system of 'folder' ("" is
// the current folder); a folder not yet made is judged by its nearest existing
// parent. Nothing when the file system cannot tell.
std::optional<std::uint64_t> freeDiskBytes(const std::string& folder);

}  // namespace radcon
