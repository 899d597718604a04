// Runs under other genetic codes: the standard code by number changes nothing, and
// the real mitochondrial alignment reads without false stops under table 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "codon/frequency.h"
#include "codon/genetic_code.h"
#include "input/sequence_file.h"

#include "../support.h"

namespace radcon::test {
namespace {

TEST(GeneticCodeE2E, TheStandardCodeByNumberChangesNoReport) {
  ScratchDir plain, named;
  const RunResult a = runRadcon(plain.path(), "--table t.tsv '" + kLysozyme + "'", "1 0.5 1 1");
  const RunResult b = runRadcon(named.path(), "--genetic-code 1 --table t.tsv '" + kLysozyme + "'", "1 0.5 1 1");
  ASSERT_TRUE(exitedWith(a, 0));
  ASSERT_TRUE(exitedWith(b, 0));
  expectSameReports(plain.path(), named.path());
  EXPECT_EQ(readFile(plain / "t.tsv"), readFile(named / "t.tsv"));
  // The code in use is stated once, after the dialogue and before the trace lines.
  const std::size_t dialogue = std::string(kDialogue).size();
  EXPECT_EQ(b.out, a.out.substr(0, dialogue) + "Genetic code 1: Standard\n" + a.out.substr(dialogue));
}

TEST(GeneticCodeE2E, MitochondrialAlignmentUnderTheVertebrateMitochondrialCode) {
  if (!std::filesystem::exists(kMitochondrial)) GTEST_SKIP() << "shared data not present";
  const std::string native = mitochondrialNative();
  const Alignment al = parseSequenceText(native);
  // radcon reads PAML's PHYLIP file itself, to the same alignment.
  const Alignment phylip = readSequenceFile(kMitochondrial);
  EXPECT_EQ(phylip.names, al.names);
  EXPECT_EQ(phylip.nucleotides, al.nucleotides);
  ASSERT_EQ(al.seqNum, 7);
  ASSERT_EQ(al.seqLength, 3331);
  const GeneticCode& mito = *findGeneticCode(2);
  const CodonData codons = translateAndCount(al, mito);
  // Under the standard code TGA (tryptophan in these genes) reads as a stop, many times.
  const auto stops = [&](const GeneticCode& code) {
    return std::count_if(codons.codon.begin(), codons.codon.end(), [&](int c) { return code.translate(c) == kStop; });
  };
  EXPECT_GT(stops(standardCode()), 100);
  EXPECT_EQ(stops(mito), 0);
  EXPECT_GT(std::count(codons.codon.begin(), codons.codon.end(), bb(0, 3, 2)), 100);
  EXPECT_EQ(mito.translate(bb(0, 3, 2)), change('W'));

  ScratchDir dir;
  writeFile(dir / "mt.seq", native);
  const RunResult r = runRadcon(dir.path(), "--genetic-code 2 -c 0 -t 0.5 -k 1 -g charge --table t.tsv mt.seq", "");
  ASSERT_TRUE(exitedWith(r, 0));
  EXPECT_TRUE(r.out.starts_with("Genetic code 2: Vertebrate Mitochondrial\n0 0 "));
  // Every row names the code in its genetic_code column.
  std::istringstream table(readFile(dir / "t.tsv"));
  std::size_t rows = 0;
  for (std::string line; std::getline(table, line); ++rows) {
    std::istringstream cells(line);
    std::string cell;
    for (int k = 0; k <= 29; ++k) std::getline(cells, cell, '\t');
    EXPECT_EQ(cell, rows == 0 ? "genetic_code" : "2");
  }
  EXPECT_EQ(rows, 1u + 21u);
}

TEST(GeneticCodeE2E, ListAndUnknownNumbers) {
  ScratchDir dir;
  const RunResult list = runRadcon(dir.path(), "--genetic-code list", "");
  ASSERT_TRUE(exitedWith(list, 0));
  EXPECT_TRUE(list.out.starts_with(" 1  Standard\n 2  Vertebrate Mitochondrial\n 3  Yeast Mitochondrial\n"));
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 27);
  EXPECT_NE(list.out.find("\n33  Cephalodiscidae Mitochondrial\n"), std::string::npos);
  for (const char* unknown : {"7", "0", "34", "two"}) {
    const RunResult r = runRadcon(dir.path(), std::string("--genetic-code ") + unknown + " x.seq", "");
    EXPECT_TRUE(exitedWith(r, 1)) << unknown;
    EXPECT_NE(r.out.find("radcon --genetic-code list"), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace radcon::test
