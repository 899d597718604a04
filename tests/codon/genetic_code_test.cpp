#include "codon/genetic_code.h"

#include <gtest/gtest.h>

#include <vector>

#include "codon/frequency.h"
#include "input/sequence_file.h"
#include "util/error.h"

#include "../unit_support.h"

namespace radcon {
namespace {

TEST(GeneticCode, StandardCode) {
  EXPECT_EQ(aa(2, 3, 0), 15);  // AGT S
  EXPECT_EQ(aa(0, 1, 0), 15);  // TCT S
  EXPECT_EQ(aa(0, 3, 2), 20);  // TGA stop
  EXPECT_EQ(aa(2, 0, 3), 12);  // ATG M
  // Three stops, one codon each for M and W, six each for L, S and R.
  int count[21] = {};
  for (int k = 0; k < 64; ++k) ++count[standardCode().translate(k)];
  EXPECT_EQ(count[kStop], 3);
  EXPECT_EQ(count[change('M')], 1);
  EXPECT_EQ(count[change('W')], 1);
  EXPECT_EQ(count[change('L')], 6);
  EXPECT_EQ(count[change('S')], 6);
  EXPECT_EQ(count[change('R')], 6);
  EXPECT_EQ(standardCode().translate(bb(0, 2, 2)), kStop);  // TAA
  EXPECT_EQ(standardCode().translate(bb(0, 2, 3)), kStop);  // TAG
  EXPECT_EQ(standardCode().translate(bb(0, 3, 3)), change('W'));
}

TEST(GeneticCode, EveryNcbiTable) {
  std::vector<int> ids;
  for (const GeneticCode& c : geneticCodes()) ids.push_back(c.id);
  EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 16, 21, 22, 23, 24, 25, 26, 27, 28,
                                   29, 30, 31, 32, 33}));
  for (int none : {0, 7, 8, 17, 20, 34}) EXPECT_EQ(findGeneticCode(none), nullptr) << none;
  // Vertebrate mitochondria: TGA is tryptophan, AGA and AGG are stops, ATA is methionine.
  const GeneticCode& mito = *findGeneticCode(2);
  EXPECT_STREQ(mito.name, "Vertebrate Mitochondrial");
  EXPECT_EQ(aa(0, 3, 2, mito), change('W'));
  EXPECT_EQ(aa(2, 3, 2, mito), kStop);
  EXPECT_EQ(aa(2, 3, 3, mito), kStop);
  EXPECT_EQ(aa(2, 0, 2, mito), change('M'));
  // Karyorelict nuclear (27): TAA and TAG read as Q, TGA as W, as NCBI gives them.
  const GeneticCode& karyorelict = *findGeneticCode(27);
  EXPECT_EQ(aa(0, 2, 2, karyorelict), change('Q'));
  EXPECT_EQ(aa(0, 3, 2, karyorelict), change('W'));
}

// A codon outside the table stops with its three numbers.
TEST(GeneticCode, CodonOutsideTheTableIsUntranslatable) {
  for (int c : {64, -1}) {
    try {
      aa(0, 0, c);
      ADD_FAILURE() << c;
    } catch (const UntranslatableCodon& e) {
      EXPECT_EQ(std::string(e.what()), "0 0 " + std::to_string(c));
    }
  }
}

TEST(Frequencies, PseudocountOverSeqLength) {
  const CodonData d = translateAndCount(test::alignmentOf({std::string(30, 'T')}), standardCode());
  EXPECT_DOUBLE_EQ(d.frequency[0][0], 1.1);
  for (int k = 1; k < kFrequencyEntries; ++k) EXPECT_DOUBLE_EQ(d.frequency[0][k], 0.1) << k;
  const CodonData one = translateAndCount(test::alignmentOf({"GGG"}), standardCode());
  EXPECT_EQ(one.frequency[0][63], 2.0);
  for (int k = 0; k < 63; ++k) EXPECT_EQ(one.frequency[0][k], 1.0);
}

TEST(Frequencies, OrderOfCodonsDoesNotMatter) {
  const CodonData d = translateAndCount(test::alignmentOf({"TTTAAAGGCTAA", "TAAGGCTTTAAA"}), standardCode());
  EXPECT_EQ(d.frequency[0], d.frequency[1]);
  EXPECT_EQ(d.codon[3], bb(0, 2, 2));  // codons are kept in order, stops like others
  EXPECT_EQ(d.frequency[0][bb(0, 2, 2)], 2.0 / 4);
}

TEST(Frequencies, TsTvFallback) {
  EXPECT_EQ(finalRatio(0.5), 1.0);
  EXPECT_EQ(finalRatio(0.0), 1.0);
  EXPECT_EQ(finalRatio(-3.0), 1.0);
  EXPECT_EQ(finalRatio(0.00004), 1.0);
  EXPECT_EQ(finalRatio(0.00005), 0.0001);
  EXPECT_EQ(finalRatio(2.0), 4.0);
}

}  // namespace
}  // namespace radcon
