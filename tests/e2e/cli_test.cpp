// End-to-end runs of the built radcon: the dialogue, the exit statuses, the
// reports, and every input and output failure it detects.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "../support.h"

namespace radcon::test {
namespace {

namespace fs = std::filesystem;

// Nothing but the given files in the folder: no report, no temporary file.
void expectOnly(const ScratchDir& dir, std::set<std::string> names) {
  std::set<std::string> found;
  for (const auto& e : fs::directory_iterator(dir.path())) found.insert(e.path().filename().string());
  EXPECT_EQ(found, names);
}

int lineCount(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

TEST(Cli, RealAlignmentRunsToTheEnd) {
  ScratchDir dir;
  const RunResult r = runRadcon(dir.path(), "'" + kLysozyme + "'", "1\n0.5\n1\n1\n");
  ASSERT_TRUE(exitedWith(r, 0));
  ASSERT_TRUE(r.out.starts_with(kDialogue));
  const std::string trace = r.out.substr(std::string(kDialogue).size());
  EXPECT_EQ(lineCount(trace), 19 * 130);
  EXPECT_TRUE(trace.starts_with("0 0 "));
  EXPECT_NE(trace.find("\n18 129 "), std::string::npos);
  for (const char* name : kReports) EXPECT_TRUE(fs::exists(dir / name)) << name;
  EXPECT_TRUE(readFile(dir / "n.dis").starts_with("19\n\n0.000000 "));
  EXPECT_TRUE(readFile(dir / "outfile").starts_with("Ts/Tv=0.500000\nCharge change\n\n"));
  EXPECT_TRUE(r.err.empty());
}

TEST(Cli, AnswersOnOneLineOrFourAreTheSameRun) {
  ScratchDir a, b;
  const RunResult ra = runRadcon(a.path(), "'" + kLysozyme + "'", "0 2.5 0.8 3");
  const RunResult rb = runRadcon(b.path(), "'" + kLysozyme + "'", "0\n2.5\n\n0.8\n3\n");
  ASSERT_TRUE(exitedWith(ra, 0));
  EXPECT_EQ(ra.out, rb.out);
  expectSameReports(a.path(), b.path());
}

TEST(Cli, TinyTsTvFallsBackToNoBias) {
  ScratchDir a, b;
  ASSERT_TRUE(exitedWith(runRadcon(a.path(), "'" + kLysozyme + "'", "1 0 1 2"), 0));
  ASSERT_TRUE(exitedWith(runRadcon(b.path(), "'" + kLysozyme + "'", "1 0.5 1 2"), 0));
  expectSameReports(a.path(), b.path());
}

TEST(Cli, OneCodonTraceLine) {
  ScratchDir dir;
  writeFile(dir / "one.seq", "1 3\nonly\nTTT\n");
  writeFile(dir / "self.div", "1\n");  // found in the current directory first
  const RunResult r = runRadcon(dir.path(), "one.seq", "1 0.5 1 4");
  ASSERT_TRUE(exitedWith(r, 0));
  EXPECT_EQ(r.out, std::string(kDialogue) + "0 0 0.000000\n");
  EXPECT_EQ(readFile(dir / "n.dis"), "1\n\n0.000000 \n");
  EXPECT_TRUE(readFile(dir / "outfile").starts_with("Ts/Tv=0.500000\nSelf-defined change\n"));
}

TEST(Cli, TwoCodonsOneSynonymousDifference) {
  // TTT against TTC: one synonymous difference; with kappa 1 each codon has 0.2
  // synonymous sites, so p = 2 / 0.4 = 5, above 0.75: the JC distance is NaN.
  ScratchDir dir;
  writeFile(dir / "two.seq", "2 3\nfirst\nTTT\nsecond\nTTC\n");
  const RunResult r = runRadcon(dir.path(), "two.seq", "1 0.5 1 1");
  ASSERT_TRUE(exitedWith(r, 0));
  const std::string sn = readFile(dir / "sn.rst");
  EXPECT_NE(sn.find("otu  1:    2.800    0.200\notu  2:    2.800    0.200\n"), std::string::npos);
  EXPECT_NE(sn.find("\nNumber of synonymous differences\n   0.000    1.000 \n   1.000    0.000 \n"), std::string::npos);
  EXPECT_NE(sn.find("\nProportion of synonymous differences\n   0.000    5.000 \n   5.000    0.000 \n"), std::string::npos);
  EXPECT_NE(sn.find("\nJC distance of synonymous substitutions\n   0.000     -nan \n    -nan    0.000 \n"),
            std::string::npos);
  EXPECT_NE(sn.find("\nJC distance of nonsynonymous substitutions\n   0.000    0.000 \n   0.000    0.000 \n"),
            std::string::npos);
  // Phenylalanine's neighbours are all neutral under the charge grouping: no
  // radical sites, so the radical proportion is 0/0.
  const std::string out = readFile(dir / "outfile");
  EXPECT_NE(out.find("otu  1:    0.000    2.800\n"), std::string::npos);
  EXPECT_NE(out.find("Proportions of radical differences (above diagonal) and their standard errors (below "
                     "diagonal)\n   0.000     -nan \n    -nan    0.000 \n"),
            std::string::npos);
  EXPECT_EQ(readFile(dir / "r.dis"), "2\n\n0.000000 -nan \n-nan 0.000000 \n-nan ");
}

TEST(Cli, SynonymousAndRadicalDifference) {
  // TTT AAA against TTC GAA: F-F synonymous, K-E radical under the charge grouping.
  ScratchDir dir;
  writeFile(dir / "pair.seq", "2 6\na\nTTTAAA\nb\nTTCGAA\n");
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), "pair.seq", "1 0.5 1 1"), 0));
  const std::string out = readFile(dir / "outfile");
  EXPECT_NE(out.find("differences\n   0.000    1.000 \n   0.000    0.000 \n"), std::string::npos) << out;
  const std::string sn = readFile(dir / "sn.rst");
  EXPECT_NE(sn.find("\nNumber of nonsynonymous differences\n   0.000    1.000 \n   1.000    0.000 \n"),
            std::string::npos);
  EXPECT_NE(sn.find("\nNumber of synonymous differences\n   0.000    1.000 \n   1.000    0.000 \n"), std::string::npos);
}

TEST(Cli, CommandLine) {
  ScratchDir dir;
  const RunResult help = runRadcon(dir.path(), "--help", "");
  EXPECT_TRUE(exitedWith(help, 0));
  EXPECT_NE(help.out.find("Usage: radcon"), std::string::npos);
  const RunResult version = runRadcon(dir.path(), "-V", "");
  EXPECT_TRUE(exitedWith(version, 0));
  EXPECT_TRUE(version.out.starts_with("radcon "));
  const RunResult unknown = runRadcon(dir.path(), "--frobnicate x.seq", "");
  EXPECT_TRUE(exitedWith(unknown, 2));
  EXPECT_NE(unknown.err.find("unknown option --frobnicate"), std::string::npos);
  EXPECT_TRUE(exitedWith(runRadcon(dir.path(), "--threads", ""), 2));
  EXPECT_TRUE(exitedWith(runRadcon(dir.path(), "--threads 0 x", ""), 2));
  // Threads change nothing in the output.
  ScratchDir a, b;
  ASSERT_TRUE(exitedWith(runRadcon(a.path(), "--threads 1 '" + kLysozyme + "'", "1 0.5 1 3"), 0));
  ASSERT_TRUE(exitedWith(runRadcon(b.path(), "--threads=3 -- '" + kLysozyme + "'", "1 0.5 1 3"), 0));
  expectSameReports(a.path(), b.path());
}

// The options a text names: "--name" and "-x" in the lines that 'entry' picks,
// roff's fonts and escapes taken out.
std::set<std::string> optionsIn(const std::string& text, const std::function<bool(const std::string&, const std::string&)>& entry) {
  std::set<std::string> found;
  std::istringstream in(text);
  std::string previous;
  for (std::string line; std::getline(in, line); previous = line) {
    if (!entry(previous, line)) continue;
    for (const char* roff : {"\\fB", "\\fI", "\\fR", "\\"})  // fonts, then the backslash of "\-"
      for (std::size_t at; (at = line.find(roff)) != std::string::npos;) line.erase(at, std::strlen(roff));
    for (std::size_t at = 0; (at = line.find('-', at)) != std::string::npos;) {
      std::size_t end = at + 1;
      if (end < line.size() && line[end] == '-') ++end;
      const std::size_t name = end;
      while (end < line.size() && (std::isalnum(static_cast<unsigned char>(line[end])) || line[end] == '-')) ++end;
      if (end > name && (at == 0 || !std::isalnum(static_cast<unsigned char>(line[at - 1]))) &&
          (end - name > 1) == (name - at == 2))
        found.insert(line.substr(at, end - at));
      at = end;
    }
  }
  return found;
}

TEST(Cli, HelpManPageAndReadmeNameTheSameOptions) {
  ScratchDir dir;
  const RunResult help = runRadcon(dir.path(), "--help", "");
  // --help: the lines of the option list; the man page: the tag line after each
  // .TP of its OPTIONS section; the README: the first cell of its option table.
  const std::set<std::string> fromHelp = optionsIn(help.out, [](const std::string&, const std::string& line) {
    return line.starts_with("  -") || line.starts_with("      --");
  });
  const std::string man = readFile(RADCON_SOURCE_DIR "/radcon.1");
  const std::size_t options = man.find(".SH OPTIONS"), next = man.find(".SH", options + 1);
  std::set<std::string> fromMan = optionsIn(man.substr(options, next - options),
                                            [](const std::string& previous, const std::string&) { return previous == ".TP"; });
  fromMan.erase("--");  // the end of the options
  const std::string readme = readFile(RADCON_SOURCE_DIR "/README.md");
  const std::size_t table = readme.find("| option | meaning |");
  const std::set<std::string> fromReadme =
      optionsIn(readme.substr(table, readme.find("\n\n", table) - table), [](const std::string&, const std::string& line) {
        return line.starts_with("| `-");
      });
  EXPECT_GT(fromHelp.size(), 30u);
  EXPECT_EQ(fromMan, fromHelp);
  EXPECT_EQ(fromReadme, fromHelp);
}

TEST(Cli, StandardOutputThatCannotBeWritten) {
  ScratchDir dir;
  const RunResult r = runRadcon(dir.path(), "'" + kLysozyme + "'", "1 0.5 1 1", "", "/dev/full");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("standard output"), std::string::npos);
}

TEST(Cli, ThreadsThatCannotStartLeaveTheWorkToFewer) {
  // Every thread creation fails, as at a process limit: the run goes on in the
  // main thread and writes the same reports.
  ScratchDir one, refused;
  ASSERT_TRUE(exitedWith(runRadcon(one.path(), "--threads 1 '" + kLysozyme + "'", "1 0.5 1 1"), 0));
  const RunResult r = runRadcon(refused.path(), "--threads 4 '" + kLysozyme + "'", "1 0.5 1 1",
                                "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD='" RADCON_FAIL_THREADS "'");
  ASSERT_TRUE(exitedWith(r, 0));
  expectSameReports(one.path(), refused.path());
  expectOnly(refused, {"sn.rst", "cr.rst", "n.dis", "s.dis", "r.dis", "c.dis", "outfile"});
}

TEST(Cli, QuietOnATerminalSaysWhatIsMissing) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  ScratchDir dir;
  const std::string cmd = "cd '" + dir.path().string() + "' && timeout 20 '" RADCON_BINARY "' -q -k 1 '" + kLysozyme +
                          "' < " + ::ptsname(master) + " > out 2> err";
  const int raw = std::system(cmd.c_str());
  ::close(master);
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 2);
  EXPECT_NE(readFile(dir / "err").find("give the missing answers as options: --correction, --tstv, --grouping"),
            std::string::npos)
      << readFile(dir / "err");
  expectOnly(dir, {"out", "err"});
}

TEST(Cli, ReportsReplaceLinksAndNeverWriteThroughThem) {
  ScratchDir dir;
  writeFile(dir / "victim", "not a report\n");
  fs::create_symlink(dir / "victim", dir / "sn.rst");
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), "-q '" + kLysozyme + "'", "1 0.5 1 1"), 0));
  EXPECT_EQ(readFile(dir / "victim"), "not a report\n");
  EXPECT_FALSE(fs::is_symlink(dir / "sn.rst"));
  EXPECT_TRUE(readFile(dir / "sn.rst").starts_with("\nNumbers of nonsynonymous and synonymous sites\n"));
}

TEST(Cli, InstalledGroupFilesComeBeforeTheBuildTree) {
  // An installed copy of radcon (prefix/bin) reads prefix/share/radcon, here a
  // grouping with a single group: no radical sites anywhere.
  ScratchDir prefix, run;
  fs::create_directories(prefix / "bin");
  fs::create_directories(prefix / "share" / "radcon");
  fs::copy_file(RADCON_BINARY, prefix / "bin" / "radcon");
  writeFile(prefix / "share" / "radcon" / "charge.div", "1\n");
  const std::string cmd = "cd '" + run.path().string() + "' && echo 1 0.5 1 1 | '" + (prefix / "bin" / "radcon").string() +
                          "' -q '" + kLysozyme + "' > /dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_NE(readFile(run / "outfile").find("sites\notu  1:    0.000 "), std::string::npos);
}

TEST(Cli, RefusesReportsTheDiskCannotHold) {
  // A 1 MB file system of its own (a private mount namespace) for the reports.
  if (std::system("unshare -m true > /dev/null 2>&1") != 0) GTEST_SKIP() << "no mount namespace here";
  ScratchDir dir;
  fs::create_directory(dir / "small");
  const RunResult r = runRadcon(dir.path(), "-o small/reports '" + kLysozyme + "'", "1 0.5 1 1",
                                "unshare -m sh -c 'mount -t tmpfs -o size=1m tmpfs small && exec \"$0\" \"$@\"'");
  ASSERT_TRUE(exitedWith(r, 1));
  EXPECT_NE(r.out.find("The reports of 19 sequences need about 4 MB of disk space, more than the 1 MB free in "
                       "small/reports."),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("Use corrected"), std::string::npos);  // refused before any question
}

TEST(Cli, SharedAlignmentsRun) {
  for (const char* name : {"abglobin.seq", "lysozymeLarge.seq"}) {
    const std::string path = std::string(RADCON_SHARED_DATA) + "/" + name;
    if (!fs::exists(path)) GTEST_SKIP() << "shared data not present";
    ScratchDir dir;
    const RunResult r = runRadcon(dir.path(), "'" + path + "'", "1 1.5 0.5 3");
    EXPECT_TRUE(exitedWith(r, 0)) << name;
    // Every pair's synonymous proportion in n.dis/s.dis is symmetric with a zero diagonal.
    const std::string s = readFile(dir / "s.dis");
    EXPECT_TRUE(s.find("\n0.000000 ") != std::string::npos);
  }
}

}  // namespace
}  // namespace radcon::test
