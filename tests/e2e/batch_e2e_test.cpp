// Many alignments in one run: one table with a gene column, per-gene report
// folders, and a broken file that costs only its own rows.
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "reports/html_page.h"

#include "../support.h"
#include "../synthetic.h"

namespace radcon::test {
namespace {

namespace fs = std::filesystem;

// The sequences whose pairs an alignment's page keeps.
constexpr int kPageSequencesShown = 150;

// Standard error without the notes (of stop codons, say).
std::string withoutNotes(const std::string& err) {
  std::string kept;
  for (std::size_t at = 0, end; at < err.size(); at = end + 1) {
    end = std::min(err.find('\n', at), err.size());
    if (err.compare(at, 14, "radcon: note: ") != 0) kept += err.substr(at, end + 1 - at);
  }
  return kept;
}

// The rows of a table without its header line.
std::string body(const std::string& table) { return table.substr(table.find('\n') + 1); }

TEST(BatchE2E, OneTableThatEqualsTheSingleRunsInOrder) {
  ScratchDir dir;
  const std::vector<std::string> genes = {"geneA", "geneB", "geneC"};
  for (std::size_t g = 0; g < genes.size(); ++g)
    writeFile(dir / (genes[g] + ".seq"), syntheticAlignment(5 + static_cast<int>(g), 40, 0.1, static_cast<unsigned>(g)));
  writeFile(dir / "broken.fa", ">a\nATGAAA\n>b\nATG\n");
  const std::string answers = "-q -c 1 -t 1 -k 1 -g charge ";
  std::string expected, expectedMeans;
  for (const std::string& g : genes) {
    ASSERT_TRUE(exitedWith(runRadcon(dir.path(), answers + "--reports none --table one.tsv --means one.m " + g + ".seq", ""), 0));
    expected += body(readFile(dir / "one.tsv"));
    expectedMeans += body(readFile(dir / "one.m"));
  }
  for (const char* threads : {"1", "3"}) {
    SCOPED_TRACE(threads);
    const RunResult r = runRadcon(dir.path(),
                                  answers + "--reports none --threads " + threads +
                                      " --table all.tsv --means all.m geneA.seq broken.fa geneB.seq geneC.seq",
                                  "");
    EXPECT_TRUE(exitedWith(r, 1));  // one file failed; the others are all there
    EXPECT_EQ(withoutNotes(r.err), "radcon: broken.fa: Sequence 2 (\"b\") has 3 nucleotides, but sequence 1 has 6; the sequences "
                     "of an alignment must have equal lengths.\nradcon: 1 of 4 alignments failed.\n");
    EXPECT_EQ(body(readFile(dir / "all.tsv")), expected);
    EXPECT_EQ(body(readFile(dir / "all.m")), expectedMeans);
  }
  // The same from a list file, with comments and blank lines.
  writeFile(dir / "list.txt", "# genes\ngeneA.seq\n\n  geneB.seq\r\ngeneC.seq\n");
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), answers + "--reports none --table list.tsv --inputs list.txt", ""), 0));
  EXPECT_EQ(body(readFile(dir / "list.tsv")), expected);
}

TEST(BatchE2E, ReportsInAFolderPerGene) {
  ScratchDir dir, single;
  writeFile(dir / "lyso.seq", readFile(kLysozyme));
  writeFile(dir / "bad.seq", "2 6\na\nTTTAAA\nb\nTTT\n");
  const std::string answers = "-q -c 1 -t 0.5 -k 1 -g my ";
  // Several files and the reports need a folder for each gene.
  const RunResult noFolder = runRadcon(dir.path(), answers + "lyso.seq bad.seq", "");
  EXPECT_TRUE(exitedWith(noFolder, 2));
  EXPECT_NE(noFolder.err.find("-o DIR, one folder per gene"), std::string::npos);
  // Two inputs of one gene are refused before any work.
  EXPECT_TRUE(exitedWith(runRadcon(dir.path(), answers + "--reports none --table t lyso.seq sub/lyso.fa.gz", ""), 2));

  ASSERT_TRUE(exitedWith(runRadcon(single.path(), answers + "'" + kLysozyme + "'", ""), 0));
  const RunResult r = runRadcon(dir.path(), answers + "-o out lyso.seq bad.seq", "");
  EXPECT_TRUE(exitedWith(r, 1));
  expectSameReports(single.path(), dir / "out" / "lyso");
  EXPECT_FALSE(fs::exists(dir / "out" / "bad"));  // no partial report folder
}

TEST(BatchE2E, ProgressOnATerminal) {
  // Standard error is a pseudo-terminal, as a person would watch it.
  ScratchDir dir;
  for (int g = 0; g < 3; ++g) writeFile(dir / ("g" + std::to_string(g) + ".seq"), syntheticAlignment(6, 30, 0.1, g));
  writeFile(dir / "broken.seq", "2 6\na\nTTTAAA\n");
  int master = -1;
  const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chdir(dir.path().c_str()) != 0) ::_exit(99);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);  // standard error stays on the terminal
    ::execl(RADCON_BINARY, "radcon", "-q", "-c", "1", "-t", "1", "-k", "1", "-g", "charge", "--reports", "none",
            "--table", "t.tsv", "g0.seq", "broken.seq", "g1.seq", "g2.seq", static_cast<char*>(nullptr));
    ::_exit(98);
  }
  std::string screen;
  char buf[4096];
  for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;) screen.append(buf, static_cast<std::size_t>(n));
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(master);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(screen.find("radcon: broken.seq: "), std::string::npos) << screen;
  // The last line is the summary, the progress line cleared before it.
  const std::size_t summary = screen.rfind("\rradcon " RADCON_VERSION ": 3 alignments (1 failed), 45 pairs, ");
  ASSERT_NE(summary, std::string::npos) << screen;
  EXPECT_NE(screen.find(" s CPU, ", summary), std::string::npos);
  EXPECT_NE(screen.find(" MB peak memory (estimated ", summary), std::string::npos);  // the plan beside the peak
  // Without a terminal (or with --no-progress) standard error holds only the failures.
  const RunResult quiet = runRadcon(dir.path(), "-q -c 1 -t 1 -k 1 -g charge --reports none --table t.tsv g0.seq broken.seq", "");
  EXPECT_EQ(quiet.err.find("pairs,"), std::string::npos) << quiet.err;
}

TEST(BatchE2E, DashIsStandardOutputForATableAndStandardInputForTheList) {
  ScratchDir dir;
  for (int g = 0; g < 2; ++g) writeFile(dir / ("g" + std::to_string(g) + ".seq"), syntheticAlignment(5, 20, 0.1, g));
  const std::string answers = "-c 1 -t 1 -k 1 -g charge ";
  // One alignment, its reports beside: the table on standard output is the file's.
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), "-q " + answers + "--table t.tsv --means m.tsv g0.seq", ""), 0));
  const RunResult table = runRadcon(dir.path(), "-q " + answers + "-o r --table - g0.seq", "");
  ASSERT_TRUE(exitedWith(table, 0));
  EXPECT_EQ(table.out, readFile(dir / "t.tsv"));
  EXPECT_TRUE(fs::exists(dir / "r" / "sn.rst"));
  // A batch asks nothing when the answers are options, so -q is not needed.
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), answers + "--reports none --means m2.tsv g0.seq g1.seq", ""), 0));
  const RunResult means = runRadcon(dir.path(), answers + "--reports none --means - g0.seq g1.seq", "");
  ASSERT_TRUE(exitedWith(means, 0));
  EXPECT_EQ(means.out, readFile(dir / "m2.tsv"));
  EXPECT_FALSE(fs::exists(dir / "-"));
  // The list from standard input.
  const RunResult list = runRadcon(dir.path(), "-q " + answers + "--reports none --means - --inputs -", "g0.seq\ng1.seq\n");
  ASSERT_TRUE(exitedWith(list, 0));
  EXPECT_EQ(list.out, means.out);
  // A failure's message goes to standard error then.
  const RunResult failed = runRadcon(dir.path(), "-q " + answers + "--table - absent.seq", "");
  EXPECT_TRUE(exitedWith(failed, 1));
  EXPECT_EQ(failed.out, "");
  EXPECT_EQ(failed.err, "radcon: Can't open the file!\n");
  // What cannot share standard output or input.
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"-q " + answers + "--reports none --table - --means - g0.seq", "--table - and --means - cannot both write to standard output"},
      {answers + "--table - g0.seq", "--table - writes to standard output, where the dialogue and the trace lines go too: give -q"},
      {"-c 1 --reports none --means - g0.seq g1.seq", "--means - writes to standard output, where the dialogue"},
      {"-q " + answers + "--reports none --table t.tsv --inputs - -", "--inputs - and the alignment - would both be read from standard input"},
      {"-q -c 1 --reports none --table t.tsv --inputs -", "the list of alignments is read from standard input (--inputs -); give the missing answers as options: --tstv, --kaks, --grouping"},
  };
  for (const auto& [args, message] : refused) {
    const RunResult r = runRadcon(dir.path(), args, "g0.seq\n");
    EXPECT_TRUE(exitedWith(r, 2)) << args;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  }
}

// The page of a large batch carries the pairs of its first 50 genes and of those
// --html-genes names; of a large alignment, the pairs among its first sequences.
TEST(BatchE2E, HtmlPageKeepsWhatItsChartsShow) {
  if (!pageChartsAvailable()) GTEST_SKIP() << "built without Chart.js";
  ScratchDir dir;
  std::string args = "-q -c 1 -t 1 -k 1 -g charge --reports none";
  std::string genes;
  for (int g = 0; g < 52; ++g) {
    writeFile(dir / ("g" + std::to_string(g) + ".seq"), syntheticAlignment(3, 10, 0.1, static_cast<unsigned>(g)));
    genes += " g" + std::to_string(g) + ".seq";
  }
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), args + " --html p.html --html-genes g51" + genes, ""), 0));
  const std::string page = readFile(dir / "p.html");
  const auto gene = [&](const std::string& name) {
    const std::size_t at = page.find("{\"gene\":\"" + name + "\"");
    return page.substr(at, page.find("{\"gene\"", at + 1) - at);
  };
  EXPECT_NE(gene("g49").find("\"charts\":{"), std::string::npos);
  EXPECT_EQ(gene("g50").find("\"charts\""), std::string::npos);
  EXPECT_NE(gene("g51").find("\"charts\":{"), std::string::npos);
  EXPECT_NE(page.find("\"inputs\":52,\"failures\":[]"), std::string::npos);
  // - is standard output, as for the tables; no file named -.
  const RunResult toStdout = runRadcon(dir.path(), args + " --html - g1.seq", "");
  ASSERT_TRUE(exitedWith(toStdout, 0));
  EXPECT_TRUE(toStdout.out.starts_with("<!DOCTYPE html>")) << toStdout.out.substr(0, 40);
  EXPECT_FALSE(std::filesystem::exists(dir / "-"));
  EXPECT_TRUE(exitedWith(runRadcon(dir.path(), args + " --html - --table - g1.seq", ""), 2));

  const RunResult unknown = runRadcon(dir.path(), args + " --html q.html --html-genes g1,g99" + genes, "");
  EXPECT_TRUE(exitedWith(unknown, 1));
  EXPECT_NE(unknown.out.find("--html-genes names \"g99\""), std::string::npos);
  EXPECT_TRUE(exitedWith(runRadcon(dir.path(), args + " --table t.tsv --html-genes g1" + genes, ""), 2));
  const RunResult clash = runRadcon(dir.path(), args + " --table p.html --html ./p.html g1.seq", "");
  EXPECT_TRUE(exitedWith(clash, 2));
  EXPECT_NE(clash.err.find("--table and --html would both be written to ./p.html"), std::string::npos);
  EXPECT_TRUE(exitedWith(runRadcon(dir.path(), "-c 1 -t 1 -k 1 -g charge --html outfile g1.seq", ""), 2));
  // A single alignment that fails leaves no page.
  writeFile(dir / "bad.seq", "2 6\na\nTTTAAA\n");
  EXPECT_TRUE(exitedWith(runRadcon(dir.path(), args + " --html q.html bad.seq", ""), 1));
  EXPECT_FALSE(fs::exists(dir / "q.html"));

  const int n = kPageSequencesShown + 10;
  writeFile(dir / "wide.seq", syntheticAlignment(n, 5, 0.1, 7));
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), args + " --html w.html wide.seq", ""), 0));
  const std::string wide = readFile(dir / "w.html");
  EXPECT_NE(wide.find("\"pairs\":" + std::to_string(n * (n - 1) / 2) + ","), std::string::npos);
  const std::size_t i = wide.find("\"i\":[");
  const std::string firsts = wide.substr(i, wide.find(']', i) - i);
  EXPECT_EQ(std::count(firsts.begin(), firsts.end(), ',') + 1, kPageSequencesShown * (kPageSequencesShown - 1) / 2);
  EXPECT_NE(wide.find("\"seq149\"],\"clade\""), std::string::npos);
}

}  // namespace
}  // namespace radcon::test
