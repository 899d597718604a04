// Helpers shared by the tests: scratch folders and running the built radcon.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace radcon::test {

inline std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void writeFile(const std::filesystem::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "radcon-test-XXXXXX").string();
    path_ = ::mkdtemp(templ.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

struct RunResult {
  int status = -1;
  std::string out, err;
};

// Runs radcon in 'dir' with the given arguments (already shell-quoted) and
// standard input; 'prefix' runs before it in the same shell (a ulimit, say).
inline RunResult runRadcon(const std::filesystem::path& dir, const std::string& args, const std::string& input,
                           const std::string& prefix = "", const std::string& stdoutTarget = "") {
  ScratchDir io;
  writeFile(io / "in", input);
  const std::string out = stdoutTarget.empty() ? (io / "out").string() : stdoutTarget;
  const std::string cmd = "cd '" + dir.string() + "' && " + prefix + " '" RADCON_BINARY "' " + args + " < '" +
                          (io / "in").string() + "' > '" + out + "' 2> '" + (io / "err").string() + "'";
  const int raw = std::system(cmd.c_str());
  RunResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  r.out = readFile(io / "out");
  r.err = readFile(io / "err");
  return r;
}

// The last 'n' characters of a run's output, for a failure message.
inline std::string tail(const std::string& text, std::size_t n = 800) {
  return text.size() <= n ? text : "..." + text.substr(text.size() - n);
}

// Passes when the run ended with 'status'; otherwise shows how it ended and the
// tails of its standard output and error.
inline ::testing::AssertionResult exitedWith(const RunResult& r, int status) {
  if (r.status == status) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "exit status " << r.status << ", expected " << status
                                       << "\n--- standard output (tail):\n" << tail(r.out)
                                       << "\n--- standard error (tail):\n" << tail(r.err);
}

// The seven reports of a run.
inline const char* const kReports[] = {"sn.rst", "cr.rst", "n.dis", "s.dis", "r.dis", "c.dis", "outfile"};

#ifdef RADCON_SOURCE_DIR
inline const std::string kLysozyme = RADCON_SOURCE_DIR "/examples/lysozymeLarge.seq";
#endif

inline const std::string kMitochondrial = RADCON_SHARED_DATA "/mtCDNApri.phy";

// The shared mitochondrial alignment (PHYLIP as PAML writes it: each name on its
// own line, the sequence over several lines, CR LF, notes after the last
// sequence) in the native format.
inline std::string mitochondrialNative() {
  std::istringstream in(readFile(kMitochondrial));
  std::size_t n = 0, length = 0;
  in >> n >> length;
  std::string text = std::to_string(n) + " " + std::to_string(length) + "\n", line;
  std::getline(in, line);
  for (std::size_t i = 0; i < n; ++i) {
    std::string name;
    while (std::getline(in, name) && name.find_first_not_of(" \r") == std::string::npos) {
    }
    name.erase(name.find_last_not_of(" \r") + 1);
    std::string seq;
    while (seq.size() < length && std::getline(in, line))
      for (char c : line)
        if (c != ' ' && c != '\r') seq.push_back(c);
    text += name + "\n" + seq + "\n";
  }
  return text;
}

// Returns true when the two folders hold the same seven reports, byte for byte.
inline bool sameReports(const std::filesystem::path& a, const std::filesystem::path& b, std::string* first = nullptr) {
  for (const char* name : kReports)
    if (readFile(a / name) != readFile(b / name)) {
      if (first) *first = name;
      return false;
    }
  return true;
}

// Expects the two folders to hold the same seven reports, and names the first
// that differs.
inline void expectSameReports(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::string differs;
  EXPECT_TRUE(sameReports(a, b, &differs)) << differs;
}

inline const char* kDialogue =
    "Use corrected N and S? 0 not use, 1 use\n"
    "Input transition to transvertion ratio (0.5:no Ts/Tv bias )"
    "Input Ka/Ks rate ratio"
    "Choose amino acid group files:\n"
    " 1. Charge\n"
    " 2. Polarity\n"
    " 3. Miyata and Yasunaga\n"
    " 4. Self-defined\n";

}  // namespace radcon::test
