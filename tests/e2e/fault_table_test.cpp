// Every failure radcon detects, in one table: the input, the expected exit status,
// a part of the message that names the problem, and a check that the reports of an
// earlier run in the same folder are untouched and no temporary file is left.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include "../support.h"
#include "../synthetic.h"

namespace radcon::test {
namespace {

namespace fs = std::filesystem;

const std::string kOk = "2 6\none\nTTTAAA\ntwo\nTTCGAA\n";

// Reports of an earlier run, as sentinels whose text no run of radcon writes: a
// report overwritten by the failing run cannot pass for an intact one.
const std::map<std::string, std::string>& earlierReports() {
  static const std::map<std::string, std::string> reports = [] {
    std::map<std::string, std::string> m;
    for (const char* name : kReports) m[name] = std::string("sentinel: ") + name + " of an earlier run\n";
    return m;
  }();
  return reports;
}

void expectEarlierReportsIntact(const ScratchDir& dir) {
  for (const auto& [name, text] : earlierReports()) {
    if (fs::is_regular_file(dir / name)) {
      EXPECT_EQ(readFile(dir / name), text) << name;
    }
  }
  for (const auto& e : fs::recursive_directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find(".radcon-"), std::string::npos) << e.path();
}

struct Fault {
  const char* name;
  std::string args;
  std::string input;                          // standard input
  std::map<std::string, std::string> files;   // written into the folder first
  int status;
  std::string message;                        // on standard output (status 1) or error (status 2)
  std::function<void(const ScratchDir&)> setup = nullptr;
  std::string prefix = "";
};

TEST(FaultTable, EveryDetectedFailure) {
  const std::string a = "1 0.5 1 1";
  const std::vector<Fault> faults = {
      // The sequence file.
      {"missing file", "absent.seq", a, {}, 1, "Can't open the file!"},
      {"no argument", "", a, {}, 1, "No sequence file was given"},
      {"folder as file", "sub", a, {}, 1, "Can't open the file!", [](const ScratchDir& d) { fs::create_directory(d / "sub"); }},
      {"non-coding", "in.seq", a, {{"in.seq", "1 10\nx\nTTTTTTTTTT\n"}}, 1, "Non-coding sequences!"},
      {"header not integers", "in.seq", a, {{"in.seq", "two six\n"}}, 1, "not an integer"},
      {"header decimal", "in.seq", a, {{"in.seq", "2 6.5\n"}}, 1, "not an integer"},
      {"no sequences", "in.seq", a, {{"in.seq", "0 6\n"}}, 1, "at least 1"},
      {"length below 3", "in.seq", a, {{"in.seq", "1 0\nx\n\n"}}, 1, "at least 3"},
      {"10^9 sequences", "in.seq", a, {{"in.seq", "1000000000 3000\nx\nTTT\n"}}, 1, "more than the file"},
      {"10^12 nucleotides", "in.seq", a, {{"in.seq", "2 1000000000002\nx\nTTT\n"}}, 1, "too large"},
      // From a pipe no file size bounds the header's claim (300 GB here): nothing
      // is sized by it before the data is there.
      {"huge claim from a pipe", "pipe.seq", a, {{"claim", "1000000 300000\nx\nTTT"}}, 1,
       "The header claims 1000000 sequences of 300000 nucleotides, more than the file's 20 bytes can hold.",
       [](const ScratchDir& d) { ASSERT_EQ(::mkfifo((d / "pipe.seq").c_str(), 0600), 0); }, "(cat claim > pipe.seq &);"},
      {"beyond int", "in.seq", a, {{"in.seq", "4294967297 3\nx\nTTT\n"}}, 1, "too large"},
      {"truncated", "in.seq", a, {{"in.seq", "2 6\none\nTTTAAA\n"}}, 1, "ends before sequence 2"},
      {"ambiguity code", "in.seq", a, {{"in.seq", "2 6\none\nTTTAAA\ntwo\nTTNAAA\n"}}, 1, "position 3: 'N'"},
      {"gap", "in.seq", a, {{"in.seq", "2 6\none\nTTTAAA\ntwo\nTTT-AA\n"}}, 1, "--drop-gapped-codons"},
      {"PHYLIP cut short", "in.seq", a, {{"in.seq", "2 6\none\nTTT\nAAA\ntwo\nTTT\nAA\n"}}, 1,
       "PHYLIP file, line 7: expected 1 more nucleotides of sequence 2."},
      {"FASTA unequal", "in.fa", a, {{"in.fa", ">a\nATGAAA\n>b\nATG\n"}}, 1, "must have equal lengths"},
      {"FASTA non-coding", "in.fa", a, {{"in.fa", ">a\nATGA\n>b\nATGC\n"}}, 1, "Non-coding sequences!"},
      {"nothing left", "--drop-gapped-codons in.fa", a, {{"in.fa", ">a\nATG---\n>b\nNNNAAA\n"}}, 1, "no codon is left"},
      // The answers.
      {"correction not integer", "in.seq", "1.5 0.5 1 1", {{"in.seq", kOk}}, 1, "\"1.5\""},
      {"tstv with letters", "in.seq", "1 0.5x 1 1", {{"in.seq", kOk}}, 1, "\"0.5x\""},
      {"tstv not finite", "in.seq", "1 nan 1 1", {{"in.seq", kOk}}, 1, "finite"},
      {"tstv too large", "in.seq", "1 2e6 1 1", {{"in.seq", kOk}}, 1, "at most 1e6"},
      {"kaks zero", "in.seq", "1 0.5 0 1", {{"in.seq", kOk}}, 1, "1e-6 to 1e6"},
      {"kaks underflowing", "in.seq", "1 0.5 1e-200 1", {{"in.seq", kOk}}, 1, "1e-6 to 1e6"},
      {"kaks too large", "in.seq", "1 0.5 1e7 1", {{"in.seq", kOk}}, 1, "1e-6 to 1e6"},
      {"grouping out of range", "in.seq", "1 0.5 1 0", {{"in.seq", kOk}}, 1, "1, 2, 3 or 4"},
      {"answers end early", "in.seq", "1 0.5", {{"in.seq", kOk}}, 1, "input ended before the Ka/Ks"},
      {"option answer refused", "-k 0 in.seq", "", {{"in.seq", kOk}}, 1, "1e-6 to 1e6"},
      // Group files.
      {"group count zero", "in.seq", "1 0.5 1 4", {{"in.seq", kOk}, {"self.div", "0\n"}}, 1, "at least 1"},
      {"group ends early", "in.seq", "1 0.5 1 4", {{"in.seq", kOk}, {"self.div", "3\n2 DE\n"}}, 1, "ends where"},
      {"group bad letter", "in.seq", "1 0.5 1 4", {{"in.seq", kOk}, {"self.div", "2\n2 Dx\n"}}, 1, "'x'"},
      {"shipped name overridden", "in.seq", "1 0.5 1 2", {{"in.seq", kOk}, {"polarity.div", "2\n3 D E\n"}}, 1,
       "Group file polarity.div, line 2: group 1 holds a blank"},
      {"group file path missing", "-g absent.div in.seq", "1 0.5 1", {{"in.seq", kOk}}, 1, "absent.div"},
      {"clade of an unknown sequence", "--means m.tsv --clades c.txt in.seq", a,
       {{"in.seq", kOk}, {"c.txt", "one A\nthree B\n"}}, 1, "Clade file c.txt, line 2: no sequence of the alignment"},
      {"sequence without a clade", "--means m.tsv --clades c.txt in.seq", a, {{"in.seq", kOk}, {"c.txt", "one A\n"}},
       1, "sequence 2 (\"two\") has no clade"},
      {"two sequences of one name", "--reports none --means m.tsv in.fa", a,
       {{"in.fa", ">Pan_troglodytes_isolate_A\nATG\n>x\nATG\n>Pan_troglodytes_isolate_A\nATG\n"}}, 1,
       "Sequences 1 and 3 are both named \"Pan_troglodytes_isolate_A\": their rows could not be told apart."},
      // Resources.
      {"memory refused", "--max-memory 1 '" + kLysozyme + "'", a, {}, 1, "more than the 1 MB allowed"},
      // 48 MB of sequence in a file of some 50 KB: refused as it inflates beyond what 4 MB allows.
      {"gzip bomb", "--max-memory 4 bomb.gz", a, {}, 1,
       "The file bomb.gz holds more than 1 MB of text (inflated, if it is compressed): more than a run could "
       "analyse in the memory allowed.",
       nullptr, "(printf '1 48000000\\nx\\n'; yes ACGT | head -c 48000000) | gzip -1 > bomb.gz;"},
      // The command line.
      {"unknown option", "--frobnicate in.seq", a, {{"in.seq", kOk}}, 2, "unknown option --frobnicate"},
      {"missing option value", "in.seq --kaks", a, {{"in.seq", kOk}}, 2, "needs a value"},
      {"bad thread count", "--threads 0 in.seq", a, {{"in.seq", kOk}}, 2, "--threads"},
      {"bad memory limit", "--max-memory lots in.seq", a, {{"in.seq", kOk}}, 2, "--max-memory"},
      // The reports.
      {"folder in the way", "'" + kLysozyme + "'", a, {}, 1, "c.dis: a folder of that name is in the way",
       [](const ScratchDir& d) {
         fs::remove(d / "c.dis");
         fs::create_directory(d / "c.dis");
       }},
      {"outdir is a file", "-o plain/sub '" + kLysozyme + "'", a, {{"plain", "x"}}, 1, "Can't create the folder plain/sub"},
      {"table folder missing", "--table nowhere/t.tsv '" + kLysozyme + "'", a, {}, 1, "nowhere/t.tsv"},
      {"write fails part-way", "'" + kLysozyme + "'", a, {}, 1, "Can't write sn.rst", nullptr, "ulimit -f 400;"},
      // Outputs that would replace an input, and genes that cannot name a folder.
      {"table is the alignment", "--reports none --table in.seq in.seq", a, {{"in.seq", kOk}}, 2,
       "--table in.seq would replace the alignment in.seq"},
      {"means is a hard link of the alignment", "--reports none --means other.seq in.seq", a, {{"in.seq", kOk}}, 2,
       "--means other.seq would replace the alignment in.seq",
       [](const ScratchDir& d) { fs::create_hard_link(d / "in.seq", d / "other.seq"); }},
      {"report is the alignment", "-o sub sub/sn.rst", a, {{"sub/sn.rst", kOk}}, 2,
       "the report sub/sn.rst would replace the alignment sub/sn.rst"},
      {"means is the clade file", "--means c.txt --clades c.txt in.seq", a, {{"in.seq", kOk}, {"c.txt", "one A\ntwo B\n"}},
       2, "--means c.txt would replace the clade file c.txt"},
      {"table is the list", "--reports none --table list.txt --inputs list.txt", a,
       {{"list.txt", "in.seq\n"}, {"in.seq", kOk}}, 2, "--table list.txt would replace the list of alignments list.txt"},
      {"report folder is an alignment", "-o out in.seq out/two", a, {{"in.seq", kOk}, {"out/two", kOk}}, 2,
       "the report folder out/two would replace the alignment out/two"},
      {"gene that cannot name a folder", "-o out ...fa in.seq", a, {{"...fa", ">a\nATG\n"}, {"in.seq", kOk}}, 2,
       "the input ...fa is gene \"..\", which cannot name its report folder in out"},
      {"group file the dialogue chose", "--table charge.div in.seq", a,
       {{"in.seq", kOk}, {"charge.div", readFile(RADCON_SOURCE_DIR "/data/charge.div")}}, 2,
       "--table charge.div would replace the group file charge.div"},
  };
  // Failures of the sequence file come before any question is asked.
  const std::set<std::string> beforeQuestions = {"missing file", "non-coding", "header not integers", "truncated",
                                                 "ambiguity code", "FASTA unequal", "memory refused", "gzip bomb",
                                                 "clade of an unknown sequence"};
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.name);
    ScratchDir dir;
    for (const auto& [name, text] : earlierReports()) writeFile(dir / name, text);
    for (const auto& [name, text] : f.files) {
      fs::create_directories((dir / name).parent_path());
      writeFile(dir / name, text);
    }
    if (f.setup) f.setup(dir);
    const RunResult r = runRadcon(dir.path(), f.args, f.input, f.prefix);
    EXPECT_TRUE(exitedWith(r, f.status));
    const std::string& where = f.status == 2 ? r.err : r.out;
    EXPECT_NE(where.find(f.message), std::string::npos) << "stdout: " << r.out.substr(0, 400) << "\nstderr: " << r.err;
    EXPECT_TRUE(f.status != 1 || r.err.empty()) << r.err;  // the message is on standard output
    EXPECT_TRUE(!beforeQuestions.count(f.name) || r.out.find("Use corrected") == std::string::npos) << r.out;
    expectEarlierReportsIntact(dir);
    for (const auto& [name, text] : f.files) EXPECT_EQ(readFile(dir / name), text) << name;  // inputs untouched
  }
}

bool temporaryExists(const ScratchDir& dir) {
  for (const auto& e : fs::directory_iterator(dir.path()))
    if (e.path().filename().string().find(".radcon-") != std::string::npos) return true;
  return false;
}

TEST(FaultTable, InterruptedRunLeavesNoHalfWrittenReport) {
  for (int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig);
    ScratchDir dir;
    writeFile(dir / "big.seq", syntheticAlignment(40, 200, 0.05, 8));  // a run that takes a while
    writeFile(dir / "answers", "1 0.5 1 1");
    for (const auto& [name, text] : earlierReports()) writeFile(dir / name, text);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (chdir(dir.path().c_str()) != 0) _exit(99);
      freopen("answers", "r", stdin);
      freopen("/dev/null", "w", stdout);
      execl(RADCON_BINARY, "radcon", "big.seq", static_cast<char*>(nullptr));
      _exit(98);
    }
    // Interrupt as soon as the run has begun its reports.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    bool finished = false;
    while (!temporaryExists(dir) && std::chrono::steady_clock::now() < deadline) {
      if (waitpid(child, &status, WNOHANG) == child) {
        finished = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ASSERT_FALSE(finished) << "the run ended before it could be interrupted";
    kill(child, sig);
    ASSERT_EQ(waitpid(child, &status, 0), child);
    // Ended by the signal itself: a shell reports 128 + the signal number.
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), sig);
    EXPECT_FALSE(temporaryExists(dir));
    expectEarlierReportsIntact(dir);
  }
}

TEST(FaultTable, InterruptDuringTheRenamesTakesEffectAfterTheLast) {
  // A SIGINT after the first rename, with and without the progress thread alive:
  // it waits until every output is in place, then ends the run (status 130).
  ScratchDir plain;
  const std::string args = "-c 1 -t 0.5 -k 1 -g charge --table t.tsv '" + kLysozyme + "'";
  ASSERT_TRUE(exitedWith(runRadcon(plain.path(), "--no-progress " + args, ""), 0));
  for (const char* progress : {"--progress", "--no-progress"}) {
    SCOPED_TRACE(progress);
    ScratchDir dir;
    for (const auto& [name, text] : earlierReports()) writeFile(dir / name, text);
    const RunResult r = runRadcon(dir.path(), std::string(progress) + " --threads 3 " + args, "",
                                  "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD='" RADCON_INTERRUPT_RENAME "'");
    EXPECT_TRUE(exitedWith(r, 128 + SIGINT));
    expectSameReports(plain.path(), dir.path());
    EXPECT_TRUE(readFile(dir / "t.tsv") == readFile(plain / "t.tsv"));
    EXPECT_FALSE(temporaryExists(dir));
  }
}

TEST(FaultTable, ClosedOutputPipeEndsTheRunAsUnixToolsDo) {
  // The trace lines go to head, which leaves after two: SIGPIPE ends the run
  // (status 141), and the earlier reports stay as they were.
  if (!fs::exists(kMitochondrial)) GTEST_SKIP() << "shared data not present";
  ScratchDir dir;
  for (const auto& [name, text] : earlierReports()) writeFile(dir / name, text);
  writeFile(dir / "run.sh", "'" RADCON_BINARY "' -c 1 -t 0.5 -k 1 -g charge --genetic-code 2 '" + kMitochondrial +
                                "' | head -2 > head.txt\necho ${PIPESTATUS[0]} > status\n");
  ASSERT_EQ(std::system(("cd '" + dir.path().string() + "' && bash run.sh").c_str()), 0);
  EXPECT_EQ(readFile(dir / "status"), std::to_string(128 + SIGPIPE) + "\n");
  const std::string head = readFile(dir / "head.txt");
  EXPECT_TRUE(head.starts_with("Genetic code 2: Vertebrate Mitochondrial\n0 0 ")) << head;
  EXPECT_EQ(std::count(head.begin(), head.end(), '\n'), 2);
  expectEarlierReportsIntact(dir);
}

}  // namespace
}  // namespace radcon::test
