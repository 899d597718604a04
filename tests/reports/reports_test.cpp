#include "reports/reports.h"
#include "reports/trace.h"

#include <gtest/gtest.h>

#include <random>

#include "codon/genetic_code.h"
#include "input/group_file.h"
#include "input/sequence_file.h"

#include "../support.h"
#include "reference_reports.h"

namespace radcon {
namespace {

using test::ReferenceInput;
using test::ScratchDir;

// radcon's own pipeline from the same inputs: statistics, then every report.
void writeRadcon(const ReferenceInput& in, const std::string& dir, int threads) {
  SiteTotals sites;
  sites.seqNum = in.n;
  sites.seqLength = in.L;
  sites.S = in.X[kSynonymous];
  sites.N = in.X[kNonsynonymous];
  sites.R = in.X[kRadical];
  sites.C = in.X[kConservative];
  sites.SS = in.XX[kSynonymous];
  sites.NN = in.XX[kNonsynonymous];
  sites.RR = in.XX[kRadical];
  sites.CC = in.XX[kConservative];
  PairDifferences diff;
  diff.pairs = allPairs(in.n);
  const std::size_t P = pairCount(in.n);
  for (int k = 0; k < kKinds; ++k) {
    diff.total[k].assign(P, 0.0);
    diff.perCodon[k] = PairCodonTable(P, in.L);
    std::size_t a = 0;
    for (int i = 0; i + 1 < in.n; ++i)
      for (int j = i + 1; j < in.n; ++j, ++a) {
        diff.total[k][a] = in.x[k][static_cast<std::size_t>(i) * in.n + j];
        for (int c = 0; c < in.L; ++c)
          diff.perCodon[k].at(a, c) = in.xx[k][(static_cast<std::size_t>(i) * in.n + j) * in.L + c];
      }
  }
  PairStatistics stats = computeStatistics(sites, diff);
  std::vector<std::string> paths;
  for (const std::string& name : reportNames()) paths.push_back(pathIn(dir, name));
  ReportSet files(paths);
  writeReports(sites, diff, stats, in.ratio, in.division, files, dir, threads);
  files.commit();
}

// Random inputs in the range real runs produce, with the awkward cases mixed in:
// kinds without sites (NaN), proportions near and above 0.75, identical pairs.
ReferenceInput randomInput(std::mt19937_64& rng, int n, int L) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  ReferenceInput in;
  in.n = n;
  in.L = L;
  in.ratio = 0.1 + 4 * u(rng);
  in.division = 1 + static_cast<int>(rng() % 4);
  for (int k = 0; k < 4; ++k) {
    in.XX[k].assign(static_cast<std::size_t>(n) * L, 0.0);
    in.X[k].assign(n, 0.0);
    in.x[k].assign(static_cast<std::size_t>(n) * n, 0.0);
    in.xx[k].assign(static_cast<std::size_t>(n) * n * L, 0.0);
    const int style = static_cast<int>(rng() % 5);  // 0: no sites at all for one sequence
    for (int s = 0; s < n; ++s) {
      const bool empty = style == 0 && s == 0;
      for (int c = 0; c < L; ++c) {
        const double v = empty ? 0.0 : (rng() % 4 == 0 ? 0.0 : 3.0 * u(rng));
        in.XX[k][static_cast<std::size_t>(s) * L + c] = v;
        in.X[k][s] = in.X[k][s] + v;
      }
    }
    for (int i = 0; i + 1 < n; ++i)
      for (int j = i + 1; j < n; ++j) {
        const std::size_t ij = static_cast<std::size_t>(i) * n + j;
        const int pairStyle = static_cast<int>(rng() % 6);
        double x = 0;
        for (int c = 0; c < L; ++c) {
          double v = 0;
          if (pairStyle == 1) v = 0;                                       // identical sequences
          else if (pairStyle == 2) v = (rng() % 3 == 0) ? 1.0 : 0.0;       // whole differences
          else v = (rng() % 2 == 0) ? 0.0 : 3.0 * u(rng) * u(rng);
          in.xx[k][ij * L + c] = v;
          x = x + v;
        }
        if (pairStyle == 3 && x > 0) {
          // Scale towards a proportion of 0.75 (a JC distance near infinity) or beyond.
          const double target = (rng() % 2 ? 0.75 : 0.7499 + 0.001 * u(rng)) * (in.X[k][i] + in.X[k][j]) / 2.0;
          const double f = target / x;
          x = 0;
          for (int c = 0; c < L; ++c) {
            in.xx[k][ij * L + c] *= f;
            x = x + in.xx[k][ij * L + c];
          }
        }
        in.x[k][ij] = x;
      }
  }
  return in;
}

void expectSameReports(const std::string& a, const std::string& b) {
  for (const std::string& name : reportNames())
    EXPECT_EQ(test::readFile(a + "/" + name), test::readFile(b + "/" + name)) << name;
}

TEST(Reports, SameBytesAsTheLiteralEvaluation) {
  std::mt19937_64 rng(2024);
  for (int trial = 0; trial < 120; ++trial) {
    const int n = 1 + static_cast<int>(rng() % 9);
    const int L = 1 + static_cast<int>(rng() % 40);
    const ReferenceInput in = randomInput(rng, n, L);
    ScratchDir ref, ours;
    test::writeReference(in, ref.path().string());
    writeRadcon(in, ours.path().string(), 1 + trial % 3);
    expectSameReports(ref.path().string(), ours.path().string());
    if (HasFailure()) {
      ADD_FAILURE() << "trial " << trial << " n " << n << " L " << L;
      break;
    }
  }
}

TEST(Reports, SameBytesOverManyPairsAndThreads) {
  // Enough pairs for several covariance tasks and panels.
  std::mt19937_64 rng(99);
  const ReferenceInput in = randomInput(rng, 40, 25);
  ScratchDir ref, one, three;
  test::writeReference(in, ref.path().string());
  writeRadcon(in, one.path().string(), 1);
  writeRadcon(in, three.path().string(), 3);
  expectSameReports(ref.path().string(), one.path().string());
  expectSameReports(ref.path().string(), three.path().string());
}

// The sites and differences radcon's own pipeline counts for an alignment, as
// the literal evaluation takes them.
ReferenceInput pipelineInput(const std::string& text, double typedTsTv, int correction, double KaKs, int division) {
  const Alignment al = parseSequenceText(text);
  const GeneticCode& code = *findGeneticCode(1);
  const GroupTable groups = loadGrouping(division);
  const CodonData codons = translateAndCount(al, code);
  const double ratio = finalRatio(typedTsTv);
  const SiteTotals sites = countSites(al, codons, ratio, correction, groups, code);
  const StepRates rates{ratio, KaKs, radicalConservativeRatio(codons, al.seqNum, al.seqLength, groups, code)};
  const PairDifferences diff = countPairs(codons, al.seqLength, allPairs(al.seqNum), rates, groups, code);
  ReferenceInput in;
  in.n = al.seqNum;
  in.L = al.seqLength;
  in.ratio = ratio;
  in.division = division;
  const std::size_t n = static_cast<std::size_t>(in.n);
  for (int k = 0; k < kKinds; ++k) {
    in.X[k] = sequenceSites(sites, static_cast<Kind>(k));
    in.XX[k] = codonSites(sites, static_cast<Kind>(k));
    in.x[k].assign(n * n, 0.0);
    in.xx[k].assign(n * n * static_cast<std::size_t>(in.L), 0.0);
    for (std::size_t a = 0; a < diff.pairs.size(); ++a) {
      const std::size_t ij = static_cast<std::size_t>(diff.pairs[a].i) * n + static_cast<std::size_t>(diff.pairs[a].j);
      in.x[k][ij] = diff.total[k][a];
      for (int c = 0; c < in.L; ++c) in.xx[k][ij * static_cast<std::size_t>(in.L) + c] = diff.perCodon[k].at(a, c);
    }
  }
  return in;
}

TEST(Reports, SitesThatRoundBelowZeroPrintAsTheTermByTermSums) {
  // Seq7's conservative sites come to a hair below zero (TGC, cysteine, has no
  // conservative neighbour under Miyata-Yasunaga), so the pairs of seq7 with
  // seq9 (whose stop codon has none either) divide by a negative X_a X_b / 4. A
  // covariance that is zero must still print as 0, as the sum of its terms does.
  std::string text = "10 3\n";
  const char* codons[] = {"ATG", "TCC", "CCC", "ATG", "AGG", "ACG", "TGC", "ATG", "TGA", "TCT"};
  for (int i = 0; i < 10; ++i) text += "seq" + std::to_string(i + 1) + "\n" + codons[i] + "\n";
  const ReferenceInput in = pipelineInput(text, 3, 1, 1e-6, 3);
  ASSERT_LT(in.X[kConservative][6], 0.0);
  ScratchDir ref, ours;
  test::writeReference(in, ref.path().string());
  writeRadcon(in, ours.path().string(), 2);
  expectSameReports(ref.path().string(), ours.path().string());
  const std::string cdis = test::readFile(ours / "c.dis");
  EXPECT_EQ(cdis.find("-0.000000", cdis.rfind('\n')), std::string::npos);  // the covariance line
}

TEST(Reports, NegativeSiteTotalsOverRandomInputs) {
  // The same class of inputs at random: one sequence's sites of a kind a hair
  // below zero, so X_a X_b / 4 is negative, zero or tiny for its pairs.
  std::mt19937_64 rng(7);
  for (int trial = 0; trial < 40; ++trial) {
    ReferenceInput in = randomInput(rng, 2 + static_cast<int>(rng() % 8), 1 + static_cast<int>(rng() % 12));
    const int k = static_cast<int>(rng() % 4), s = static_cast<int>(rng() % static_cast<unsigned>(in.n));
    in.X[k][s] = 0.0;
    for (int c = 0; c < in.L; ++c) {
      double& v = in.XX[k][static_cast<std::size_t>(s) * in.L + c];
      v = c == 0 ? -1e-17 : 0.0;
      in.X[k][s] = in.X[k][s] + v;
    }
    ScratchDir ref, ours;
    test::writeReference(in, ref.path().string());
    writeRadcon(in, ours.path().string(), 1 + trial % 2);
    expectSameReports(ref.path().string(), ours.path().string());
    if (HasFailure()) {
      ADD_FAILURE() << "trial " << trial;
      break;
    }
  }
}

// Two sequences, one codon; every number chosen by hand.
ReferenceInput twoSequences() {
  ReferenceInput in;
  in.n = 2;
  in.L = 1;
  in.ratio = 1.0;
  in.division = 1;
  const double X[4][2] = {{1.0, 1.0}, {2.0, 2.0}, {1.5, 0.5}, {0.5, 1.5}};
  const double xx[4] = {0.5, 1.0, 0.25, 0.5};
  for (int k = 0; k < 4; ++k) {
    in.X[k] = {X[k][0], X[k][1]};
    in.XX[k] = {X[k][0], X[k][1]};
    in.x[k] = {0.0, xx[k], 0.0, 0.0};
    in.xx[k] = {0.0, xx[k], 0.0, 0.0};
  }
  return in;
}

TEST(Reports, TwoSequencesByteForByte) {
  // synonymous: p = (0.5 + 0.5) / 2 = 0.5, d = 0.5 - 2 x 0.25 = 0, variance 0;
  // nonsynonymous: p = 2 / 4 = 0.5, d = 1 - 4 x 0.25 = 0; radical: p = 0.5 / 2 = 0.25,
  // d = 0.25 - 2 x 0.125 = 0; conservative: p = 1 / 2 = 0.5, d = 0.
  // JC of 0.5: -0.75 ln(1/3) = 0.824; of 0.25: -0.75 ln(2/3) = 0.304.
  ScratchDir dir;
  writeRadcon(twoSequences(), dir.path().string(), 1);
  EXPECT_EQ(test::readFile(dir / "sn.rst"),
            "\nNumbers of nonsynonymous and synonymous sites\n"
            "otu  1:    2.000    1.000\n"
            "otu  2:    2.000    1.000\n"
            "\nNumber of nonsynonymous differences\n   0.000    1.000 \n   1.000    0.000 \n"
            "\nNumber of synonymous differences\n   0.000    0.500 \n   0.500    0.000 \n"
            "\nProportion of nonsynonymous differences\n   0.000    0.500 \n   0.500    0.000 \n"
            "\nProportion of synonymous differences\n   0.000    0.500 \n   0.500    0.000 \n"
            "\nCovarince of proportion of nonsynonymous differences\n\n\n0-1-0-1 0.0000000 \n"
            "\nCovariance of proportion of synonymous differences\n\n\n0-1-0-1 0.0000000 \n"
            "\nJC distance of nonsynonymous substitutions\n   0.000    0.824 \n   0.824    0.000 \n"
            "\nJC distance of synonymous substitutions\n   0.000    0.824 \n   0.824    0.000 \n"
            "\nCovarince of JC distance of nonsynonymous differences\n\n\n0-1-0-1 0.0000000 \n"
            "\nCovariance of JC distance of synonymous differences\n\n\n0-1-0-1 0.0000000 ");
  EXPECT_EQ(test::readFile(dir / "r.dis"), "2\n\n0.000000 0.250000 \n0.250000 0.000000 \n0.000000 ");
  EXPECT_EQ(test::readFile(dir / "outfile"),
            "Ts/Tv=0.500000\nCharge change\n\nNumbers of radical (R) and conservative (C) sites\n"
            "otu  1:    1.500    0.500\n"
            "otu  2:    0.500    1.500\n"
            "\nNumbers of radical (r, above diagonal) and conservative (c, below diagonal) differences\n"
            "   0.000    0.250 \n   0.500    0.000 \n"
            "\nProportions of radical differences (above diagonal) and their standard errors (below diagonal)\n"
            "   0.000    0.250 \n   0.000    0.000 \n"
            "\nProportions of conservative differences (above diagonal) and their standard errors (below "
            "diagonal)\n   0.000    0.500 \n   0.000    0.000 ");
}

TEST(Reports, OneSequenceHasEmptyCovarianceBlocks) {
  ReferenceInput in;
  in.n = 1;
  in.L = 2;
  in.division = 3;
  for (int k = 0; k < 4; ++k) {
    in.X[k] = {1.25};
    in.XX[k] = {1.0, 0.25};
    in.x[k] = {0.0};
    in.xx[k] = {0.0, 0.0};
  }
  ScratchDir dir;
  writeRadcon(in, dir.path().string(), 2);
  const std::string sn = test::readFile(dir / "sn.rst");
  EXPECT_NE(sn.find("\nCovarince of proportion of nonsynonymous differences\n\nCovariance of proportion of "
                    "synonymous differences\n\nJC distance"),
            std::string::npos);
  EXPECT_TRUE(sn.ends_with("\nCovariance of JC distance of synonymous differences"));
  EXPECT_EQ(test::readFile(dir / "n.dis"), "1\n\n0.000000 \n");
  EXPECT_TRUE(test::readFile(dir / "outfile").starts_with("Ts/Tv=0.500000\nMiyata-Yasunaga change\n\n"));
}

TEST(Reports, TraceLines) {
  SiteTotals t;
  t.seqNum = 2;
  t.seqLength = 2;
  t.RR = {0.0, 0.25, 1.0 / 3, 2.5};
  char* buf = nullptr;
  std::size_t len = 0;
  std::FILE* f = open_memstream(&buf, &len);
  writeTraceLines(t, f);
  std::fclose(f);
  const std::string out(buf, len);
  std::free(buf);
  EXPECT_EQ(out, "0 0 0.000000\n0 1 0.250000\n1 0 0.333333\n1 1 2.500000\n");
}

TEST(Reports, ThreeSequencesCovarianceOrder) {
  std::mt19937_64 rng(1);
  ScratchDir dir;
  writeRadcon(randomInput(rng, 3, 4), dir.path().string(), 1);
  const std::string sn = test::readFile(dir / "sn.rst");
  const std::size_t at = sn.find("Covarince of proportion of nonsynonymous differences");
  const std::string block = sn.substr(at, sn.find("\n\nCovariance of proportion", at) - at);
  // Header, two empty lines, then pair (0,1) with its later pairs, a line per first sequence.
  std::string shape;
  for (char c : block) shape += (c == '\n') ? "|" : "";
  std::size_t labels = 0;
  for (const char* l : {"0-1-0-1 ", "0-1-0-2 ", "0-1-1-2 ", "0-2-0-2 ", "0-2-1-2 ", "1-2-1-2 "}) {
    const std::size_t p = block.find(l);
    ASSERT_NE(p, std::string::npos) << l;
    EXPECT_GT(p, labels);
    labels = p;
  }
  EXPECT_EQ(shape, "||||||||||");
  EXPECT_NE(block.find("\n\n\n0-1-0-1 "), std::string::npos);
  EXPECT_NE(block.find(" \n0-1-1-2 "), std::string::npos);
  EXPECT_NE(block.find(" \n\n0-2-0-2 "), std::string::npos);
  EXPECT_NE(block.find(" \n\n\n1-2-1-2 "), std::string::npos);
}

}  // namespace
}  // namespace radcon
