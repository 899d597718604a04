#include "util/disk_space.h"

#include <sys/statvfs.h>

#include <filesystem>

namespace radcon {

std::optional<std::uint64_t> freeDiskBytes(const std::string& folder) {
  std::filesystem::path p = folder.empty() ? std::filesystem::path(".") : std::filesystem::path(folder);
  std::error_code ec;
  while (!std::filesystem::exists(p, ec)) {
    std::filesystem::path parent = p.parent_path();
    if (parent.empty()) parent = ".";
    if (parent == p) return std::nullopt;
    p = parent;
  }
  struct statvfs st {};
  if (::statvfs(p.c_str(), &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

}  // namespace radcon
