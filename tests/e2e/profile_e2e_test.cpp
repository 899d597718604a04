// The profile along the gene: its rows against the means and the pair totals,
// the same bytes however it is run, and its options.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "../support.h"
#include "../synthetic.h"

namespace radcon::test {
namespace {

using Row = std::map<std::string, std::string>;

std::vector<Row> rowsOf(const std::string& table) {
  std::istringstream in(table);
  std::string line, cell;
  std::getline(in, line);
  std::vector<std::string> header;
  for (std::istringstream h(line); std::getline(h, cell, '\t');) header.push_back(cell);
  std::vector<Row> rows;
  while (std::getline(in, line)) {
    Row r;
    std::istringstream cells(line);
    for (const std::string& name : header) std::getline(cells, r[name], '\t');
    rows.push_back(r);
  }
  return rows;
}

TEST(ProfileE2E, AWindowOfTheWholeGeneIsTheMeansRowDigitForDigit) {
  ScratchDir dir;
  writeFile(dir / "lyso.clades", readFile(RADCON_SOURCE_DIR "/examples/lysozyme.clades"));
  std::vector<std::string> runs = {"-t 0.5 -g polarity --clades lyso.clades '" + kLysozyme + "'"};
  const std::string abglobin = RADCON_SHARED_DATA "/abglobin.seq";
  if (std::filesystem::exists(abglobin)) runs.push_back("-t 1.5 -g charge '" + abglobin + "'");
  if (std::filesystem::exists(kMitochondrial))
    runs.push_back("-t estimate -g my --site-model mutation --genetic-code 2 '" + kMitochondrial + "'");
  for (const std::string& run : runs) {
    SCOPED_TRACE(run);
    ASSERT_TRUE(exitedWith(runRadcon(dir.path(), "-q -c 1 -k 1 --reports none --means m.tsv --profile p.tsv "
                                                 "--window 100000 " + run, ""), 0));
    const std::vector<Row> means = rowsOf(readFile(dir / "m.tsv")), profile = rowsOf(readFile(dir / "p.tsv"));
    ASSERT_EQ(means.size(), profile.size());
    ASSERT_FALSE(means.empty());
    for (std::size_t r = 0; r < means.size(); ++r) {
      EXPECT_EQ(profile[r].at("start"), "1");
      for (const auto& [column, value] : means[r])
        if (profile[r].count(column)) {
          EXPECT_EQ(profile[r].at(column), value) << column;
        }
    }
  }
}

TEST(ProfileE2E, PerCodonDifferencesAddUpToThePairsAndColumnsKeepTheirNumbers) {
  ScratchDir dir;
  // Two sequences; codon 2 has a gap, so that codon columns 1 3 4 ... are left.
  std::string two = syntheticAlignment(2, 60, 0.25, 9);
  two.replace(two.find('\n', two.find("seq0")) + 4, 3, "---");
  writeFile(dir / "two.seq", two);
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), "-q -c 1 -t 2 -k 1 -g charge --reports none --drop-gapped-codons "
                                               "--table t.tsv --profile p.tsv --window 1 --step 1 two.seq", ""), 0));
  const std::vector<Row> pair = rowsOf(readFile(dir / "t.tsv")), codons = rowsOf(readFile(dir / "p.tsv"));
  ASSERT_EQ(codons.size(), 59u);
  EXPECT_EQ(codons[1].at("start"), "2");
  EXPECT_EQ(codons[1].at("original_start"), "3");
  EXPECT_EQ(codons[58].at("original_end"), "60");
  for (const char* kind : {"S_diffs", "N_diffs", "R_diffs", "C_diffs"}) {
    double sum = 0;
    for (const Row& r : codons) sum += std::stod(r.at(kind));
    EXPECT_NEAR(sum, std::stod(pair[0].at(kind)), 59 * 5e-7 + 5e-7) << kind;
  }
  // A codon without sites of a kind leaves the pair out of that test there, as a gene would.
  for (const Row& r : codons)
    if (r.at("S_sites") == "0.000000") {
      EXPECT_EQ(r.at("pairs_undefined_dN_dS"), "1");
    }
}

TEST(ProfileE2E, SameBytesWithAnyThreadsReportsOrBatch) {
  ScratchDir dir;
  writeFile(dir / "g1.seq", syntheticAlignment(40, 70, 0.12, 4));  // 780 pairs: several batches
  writeFile(dir / "g2.seq", syntheticAlignment(9, 50, 0.2, 5));
  const std::string answers = "-q -c 1 -t 1.5 -k 1 -g charge --window 20 --step 7 ";
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), answers + "--threads 1 --profile one.tsv g1.seq", ""), 0));
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), answers + "--threads 3 --reports none --profile three.tsv g1.seq", ""), 0));
  EXPECT_EQ(readFile(dir / "one.tsv"), readFile(dir / "three.tsv"));
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), answers + "--profile g2.tsv g2.seq", ""), 0));
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), answers + "--reports none --threads 2 --profile both.tsv g1.seq g2.seq", ""), 0));
  const std::string g2 = readFile(dir / "g2.tsv");
  EXPECT_EQ(readFile(dir / "both.tsv"), readFile(dir / "one.tsv") + g2.substr(g2.find('\n') + 1));
  // To standard output, as the other tables.
  const RunResult out = runRadcon(dir.path(), answers + "--reports none --profile - g1.seq", "");
  ASSERT_TRUE(exitedWith(out, 0));
  EXPECT_EQ(out.out, readFile(dir / "one.tsv"));
}

TEST(ProfileE2E, WindowsAndOutputsThatDoNotFit) {
  ScratchDir dir;
  const std::string run = "-q -c 1 -t 1 -k 1 -g charge --reports none '" + kLysozyme + "' ";
  for (const std::string& bad : std::vector<std::string>{"--profile p --window 0", "--profile p --step x", "--profile p --window=-3",
                                                         "--profile p --step 31",
                                 "--table t --window 5", "--profile - --table -",
                                 "--profile '" + kLysozyme + "'", "--profile p --means p"}) {
    const RunResult r = runRadcon(dir.path(), run + bad, "");
    EXPECT_TRUE(exitedWith(r, 2)) << bad;
    EXPECT_FALSE(r.err.empty()) << bad;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "p"));
  // Outputs that are no file to replace: an empty name, a pipe, a gene's report folder in a batch.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  writeFile(dir / "g1.seq", syntheticAlignment(3, 12, 0.2, 1));
  writeFile(dir / "g2.seq", syntheticAlignment(3, 12, 0.2, 2));
  const std::string answers = "-q -c 1 -t 1 -k 1 -g charge ";
  for (const std::string& bad : std::vector<std::string>{"--reports none --profile '' g1.seq",
                                                         "--reports none --table fifo g1.seq",
                                                         "-o out --profile out/g2 g1.seq g2.seq",
                                                         "-o out --means out/g1/m.tsv g1.seq g2.seq"}) {
    const RunResult r = runRadcon(dir.path(), answers + bad, "");
    EXPECT_TRUE(exitedWith(r, 2)) << bad;
    EXPECT_FALSE(r.err.empty()) << bad;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));
  EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo"));
  // A run refused for its memory says when the profile is most of it.
  writeFile(dir / "big.seq", syntheticAlignment(120, 600, 0.1, 3));
  std::string clades;
  for (int i = 0; i < 120; ++i) clades += "seq" + std::to_string(i) + " c" + std::to_string(i % 6) + "\n";
  writeFile(dir / "big.clades", clades);
  const RunResult big = runRadcon(dir.path(), "-q -c 1 -t 1 -k 1 -g charge --reports none --profile p2 --window 1 "
                                              "--clades big.clades --max-memory 20 big.seq", "");
  EXPECT_TRUE(exitedWith(big, 1));
  EXPECT_NE(big.out.find("The profile along the gene needs about"), std::string::npos) << big.out;
  // A window shorter than the default step steps by itself.
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), answers + "--reports none --profile p1 --window 1 g1.seq", ""), 0));
  EXPECT_EQ(rowsOf(readFile(dir / "p1")).size(), 12u);
}

}  // namespace
}  // namespace radcon::test
