// End-to-end runs of the built radcon: the dialogue, the exit statuses, the
// reports, and every input and output failure it detects.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "../support.h"

namespace radcon::test {
namespace {

namespace fs = std::filesystem;

const char* kReports[] = {"sn.rst", "cr.rst", "n.dis", "s.dis", "r.dis", "c.dis", "outfile"};
const std::string kLysozyme = RADCON_SOURCE_DIR "/examples/lysozymeLarge.seq";

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
  ASSERT_EQ(r.status, 0) << r.out;
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
  ASSERT_EQ(ra.status, 0);
  EXPECT_EQ(ra.out, rb.out);
  for (const char* name : kReports) EXPECT_EQ(readFile(a / name), readFile(b / name)) << name;
}

TEST(Cli, TinyTsTvFallsBackToNoBias) {
  ScratchDir a, b;
  ASSERT_EQ(runRadcon(a.path(), "'" + kLysozyme + "'", "1 0 1 2").status, 0);
  ASSERT_EQ(runRadcon(b.path(), "'" + kLysozyme + "'", "1 0.5 1 2").status, 0);
  for (const char* name : kReports) EXPECT_EQ(readFile(a / name), readFile(b / name)) << name;
}

TEST(Cli, OneCodonTraceLine) {
  ScratchDir dir;
  writeFile(dir / "one.seq", "1 3\nonly\nTTT\n");
  writeFile(dir / "self.div", "1\n");  // found in the current directory first
  const RunResult r = runRadcon(dir.path(), "one.seq", "1 0.5 1 4");
  ASSERT_EQ(r.status, 0);
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
  ASSERT_EQ(r.status, 0);
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
  ASSERT_EQ(runRadcon(dir.path(), "pair.seq", "1 0.5 1 1").status, 0);
  const std::string out = readFile(dir / "outfile");
  EXPECT_NE(out.find("differences\n   0.000    1.000 \n   0.000    0.000 \n"), std::string::npos) << out;
  const std::string sn = readFile(dir / "sn.rst");
  EXPECT_NE(sn.find("\nNumber of nonsynonymous differences\n   0.000    1.000 \n   1.000    0.000 \n"),
            std::string::npos);
  EXPECT_NE(sn.find("\nNumber of synonymous differences\n   0.000    1.000 \n   1.000    0.000 \n"), std::string::npos);
}

struct BadInput {
  const char* name;
  std::string file;   // contents of in.seq ("" for no file)
  std::string args;
  std::string answers;
  std::string message;  // a part of standard output
  bool beforePrompt;
};

TEST(Cli, EveryBadInputStopsWithStatusOneAndNoReport) {
  const std::string ok = "2 6\none\nTTTAAA\ntwo\nTTCGAA\n";
  const std::vector<BadInput> cases = {
      {"missing file", "", "absent.seq", "1 0.5 1 1", "Can't open the file!\n", true},
      {"no argument", "", "", "1 0.5 1 1", "No sequence file was given", true},
      {"non-coding", "1 10\nx\nTTTTTTTTTT\n", "in.seq", "1 0.5 1 1", "Non-coding sequences!\n", true},
      {"header not integers", "two six\n", "in.seq", "", "not an integer", true},
      {"no sequences", "0 6\n", "in.seq", "", "at least 1", true},
      {"length below 3", "1 0\nx\n\n", "in.seq", "", "at least 3", true},
      {"hostile header", "1000000000 3000\nx\nTTT\n", "in.seq", "", "more than the file", true},
      {"truncated", "2 6\none\nTTTAAA\n", "in.seq", "", "ends before sequence 2", true},
      {"ambiguity code", "2 6\none\nTTTAAA\ntwo\nTTNAAA\n", "in.seq", "", "codon 1, position 3: 'N'", true},
      {"gap", "2 6\none\nTTTAAA\ntwo\nTTT-AA\n", "in.seq", "", "'-'", true},
      {"line break inside", "2 6\none\nTTTAAA\ntwo\nTTT\nAAA\n", "in.seq", "", "a line break", true},
      {"correction not integer", ok, "in.seq", "1.5 0.5 1 1", "\"1.5\"", false},
      {"tstv with letters", ok, "in.seq", "1 0.5x 1 1", "\"0.5x\"", false},
      {"tstv not finite", ok, "in.seq", "1 inf 1 1", "finite", false},
      {"tstv too large", ok, "in.seq", "1 1e7 1 1", "at most 1e6", false},
      {"kaks zero", ok, "in.seq", "1 0.5 0 1", "1e-6 to 1e6", false},
      {"kaks negative", ok, "in.seq", "1 0.5 -2 1", "1e-6 to 1e6", false},
      {"kaks underflowing", ok, "in.seq", "1 0.5 1e-200 1", "1e-6 to 1e6", false},
      {"grouping out of range", ok, "in.seq", "1 0.5 1 5", "1, 2, 3 or 4", false},
      {"answers end early", ok, "in.seq", "1 0.5", "input ended before the Ka/Ks", false},
      {"no answers", ok, "in.seq", "", "input ended", false},
  };
  for (const BadInput& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    std::set<std::string> files;
    if (!c.file.empty()) {
      writeFile(dir / "in.seq", c.file);
      files.insert("in.seq");
    }
    const RunResult r = runRadcon(dir.path(), c.args, c.answers);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    if (c.beforePrompt) {
      EXPECT_EQ(r.out.find("Use corrected"), std::string::npos);
    }
    EXPECT_TRUE(r.err.empty()) << r.err;
    expectOnly(dir, files);
  }
}

TEST(Cli, BadGroupFileInTheCurrentDirectory) {
  for (const std::string& text : {std::string("0\n"), std::string("2\n3 D E\n"), std::string("3\n2 DE\n")}) {
    ScratchDir dir;
    writeFile(dir / "in.seq", "1 3\nx\nAAA\n");
    writeFile(dir / "polarity.div", text);
    const RunResult r = runRadcon(dir.path(), "in.seq", "1 0.5 1 2");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Group file polarity.div, line"), std::string::npos) << r.out;
    expectOnly(dir, {"in.seq", "polarity.div"});
  }
}

TEST(Cli, CommandLine) {
  ScratchDir dir;
  const RunResult help = runRadcon(dir.path(), "--help", "");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: radcon"), std::string::npos);
  const RunResult version = runRadcon(dir.path(), "-V", "");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.starts_with("radcon "));
  const RunResult unknown = runRadcon(dir.path(), "--frobnicate x.seq", "");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("unknown option --frobnicate"), std::string::npos);
  EXPECT_EQ(runRadcon(dir.path(), "--threads", "").status, 2);
  EXPECT_EQ(runRadcon(dir.path(), "--threads 0 x", "").status, 2);
  // Further arguments are ignored; threads change nothing in the output.
  ScratchDir a, b;
  ASSERT_EQ(runRadcon(a.path(), "--threads 1 '" + kLysozyme + "' extra words", "1 0.5 1 3").status, 0);
  ASSERT_EQ(runRadcon(b.path(), "--threads=3 -- '" + kLysozyme + "'", "1 0.5 1 3").status, 0);
  for (const char* name : kReports) EXPECT_EQ(readFile(a / name), readFile(b / name)) << name;
}

// Reports of a complete run, to be compared after a failed one.
std::map<std::string, std::string> earlierReports(const ScratchDir& dir) {
  EXPECT_EQ(runRadcon(dir.path(), "'" + kLysozyme + "'", "1 0.5 1 1").status, 0);
  std::map<std::string, std::string> m;
  for (const char* name : kReports) m[name] = readFile(dir / name);
  return m;
}

void expectUnchanged(const ScratchDir& dir, const std::map<std::string, std::string>& before) {
  for (const auto& [name, text] : before)
    if (fs::is_regular_file(dir / name)) {
      EXPECT_EQ(readFile(dir / name), text) << name;
    }
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

TEST(Cli, ReportThatCannotBeCreated) {
  ScratchDir dir;
  const auto before = earlierReports(dir);
  fs::remove(dir / "c.dis");
  fs::create_directory(dir / "c.dis");
  const RunResult r = runRadcon(dir.path(), "'" + kLysozyme + "'", "1 2 1 2");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("c.dis: a folder of that name is in the way"), std::string::npos) << r.out;
  expectUnchanged(dir, before);
}

TEST(Cli, WriteThatFailsPartWay) {
  ScratchDir dir;
  const auto before = earlierReports(dir);
  // 400 blocks of 512 bytes: room for the trace lines, far less than sn.rst needs.
  const RunResult r = runRadcon(dir.path(), "'" + kLysozyme + "'", "0 2 1 3", "ulimit -f 400;");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Can't write"), std::string::npos) << r.out.substr(r.out.size() > 300 ? r.out.size() - 300 : 0);
  expectUnchanged(dir, before);
}

TEST(Cli, StandardOutputThatCannotBeWritten) {
  ScratchDir dir;
  const RunResult r = runRadcon(dir.path(), "'" + kLysozyme + "'", "1 0.5 1 1", "", "/dev/full");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("standard output"), std::string::npos);
}

TEST(Cli, SharedAlignmentsRun) {
  for (const char* name : {"abglobin.seq", "lysozymeLarge.seq"}) {
    const std::string path = std::string(RADCON_SHARED_DATA) + "/" + name;
    if (!fs::exists(path)) GTEST_SKIP() << "shared data not present";
    ScratchDir dir;
    const RunResult r = runRadcon(dir.path(), "'" + path + "'", "1 1.5 0.5 3");
    EXPECT_EQ(r.status, 0) << name;
    // Every pair's synonymous proportion in n.dis/s.dis is symmetric with a zero diagonal.
    const std::string s = readFile(dir / "s.dis");
    EXPECT_TRUE(s.find("\n0.000000 ") != std::string::npos);
  }
}

}  // namespace
}  // namespace radcon::test
