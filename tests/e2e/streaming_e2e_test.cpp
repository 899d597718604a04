// Runs without the covariance reports: pairs streamed, or only those of one
// reference sequence. Every value must be that of a run with reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "../support.h"
#include "../synthetic.h"

namespace radcon::test {
namespace {

// The table's header and the rows that name 'name' as either sequence.
std::string rowsOf(const std::string& table, const std::string& name) {
  std::istringstream in(table);
  std::string out, line;
  std::getline(in, line);
  out = line + "\n";
  while (std::getline(in, line)) {
    std::istringstream cells(line);
    std::string gene, name1, name2;
    std::getline(cells, gene, '\t');
    std::getline(cells, name1, '\t');
    std::getline(cells, name2, '\t');
    if (name1 == name || name2 == name) out += line + "\n";
  }
  return out;
}

TEST(StreamingE2E, TablesEqualThoseOfARunWithReports) {
  ScratchDir dir;
  writeFile(dir / "random.seq", syntheticAlignment(23, 90, 0.15, 5));
  std::vector<std::string> inputs = {kLysozyme, (dir / "random.seq").string()};
  const std::string shared = RADCON_SHARED_DATA "/abglobin.seq";
  if (std::filesystem::exists(shared)) inputs.push_back(shared);
  if (std::filesystem::exists(kMitochondrial)) {
    writeFile(dir / "mt.seq", mitochondrialNative());
    inputs.push_back((dir / "mt.seq").string());
  }
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input);
    const bool mito = input.ends_with("mt.seq");
    const std::string answers =
        std::string("-q -c 0 -t 2 -k 0.6 -g polarity ") + (mito ? "--genetic-code 2 " : "") + "'" + input + "'";
    ASSERT_TRUE(exitedWith(runRadcon(dir.path(), "-o reports --table full.tsv --means full.m " + answers, ""), 0));
    ASSERT_TRUE(exitedWith(runRadcon(dir.path(), "--reports none --threads 3 --table s.tsv --means s.m " + answers, ""), 0));
    EXPECT_EQ(readFile(dir / "s.tsv"), readFile(dir / "full.tsv"));
    EXPECT_EQ(readFile(dir / "s.m"), readFile(dir / "full.m"));
    // The pairs of one sequence with every other, in alignment order, are the full run's rows.
    const std::string name = input == kLysozyme ? "3.orangutan_Ppy" : input == shared ? "rabbit" : mito ? "gorilla" : "seq4";
    ASSERT_TRUE(exitedWith(
        runRadcon(dir.path(), "--reports none --reference " + name + " --table r.tsv --means r.m " + answers, ""), 0));
    const std::string rows = readFile(dir / "r.tsv");
    EXPECT_EQ(rows, rowsOf(readFile(dir / "full.tsv"), name));
    const std::string means = readFile(dir / "r.m");
    const std::size_t n = static_cast<std::size_t>(std::count(rows.begin(), rows.end(), '\n')) - 1;
    EXPECT_NE(means.find("all\tall\t" + std::to_string(n) + "\t"), std::string::npos) << means;
  }
  // Only the run with reports wrote any.
  for (const char* name : kReports) EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
}

TEST(StreamingE2E, ReferenceByItsWholeNameOrItsFirstTwentyCharacters) {
  ScratchDir dir;
  const std::string args = "-q -c 1 -t 1 -k 1 -g my --reports none '" + kLysozyme + "' --reference ";
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), args + "2.chimp_bonobo_gorilla --table whole.tsv", ""), 0));
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), args + "2.chimp_bonobo_goril --table short.tsv", ""), 0));
  const std::string rows = readFile(dir / "whole.tsv");
  EXPECT_EQ(rows, readFile(dir / "short.tsv"));
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 19);
  EXPECT_EQ(rowsOf(rows, "2.chimp_bonobo_gorilla"), rows);
  // Twenty characters that begin several names name none of them.
  writeFile(dir / "pan.fa", ">Pan_troglodytes_isolate_A\nATG\n>Pan_troglodytes_isolate_B\nATG\n");
  const RunResult r = runRadcon(dir.path(), "-q -c 1 -t 1 -k 1 -g my --reports none --table t pan.fa --reference "
                                            "Pan_troglodytes_isol", "");
  EXPECT_TRUE(exitedWith(r, 1));
  EXPECT_NE(r.out.find("is the beginning of several sequences' names"), std::string::npos) << r.out;
}

TEST(StreamingE2E, OptionsThatDoNotFit) {
  ScratchDir dir;
  const std::string file = " '" + kLysozyme + "'";
  const RunResult unknown = runRadcon(dir.path(), "-q -c 1 -t 1 -k 1 -g my --reports none --reference nobody --table t" + file, "");
  EXPECT_TRUE(exitedWith(unknown, 1));
  EXPECT_NE(unknown.out.find("No sequence is named \"nobody\""), std::string::npos);
  const RunResult withReports = runRadcon(dir.path(), "--reference 1.human --table t" + file, "");
  EXPECT_TRUE(exitedWith(withReports, 2));
  EXPECT_NE(withReports.err.find("--reference needs --reports none"), std::string::npos);
  EXPECT_TRUE(exitedWith(runRadcon(dir.path(), "--reports none" + file, ""), 2));
  EXPECT_TRUE(exitedWith(runRadcon(dir.path(), "--reports some --table t" + file, ""), 2));
  // A run whose reports would not fit is told of the lighter one.
  const RunResult big = runRadcon(dir.path(), "--max-memory 1" + file, "1 1 1 1");
  EXPECT_TRUE(exitedWith(big, 1));
  EXPECT_NE(big.out.find("--reports none writes only the --table, --means and --profile tables"), std::string::npos);
}

}  // namespace
}  // namespace radcon::test
