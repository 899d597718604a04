// End-to-end runs with options, FASTA input, gapped alignments and the pairs table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <vector>

#include "../support.h"

namespace radcon::test {
namespace {

namespace fs = std::filesystem;

// The native file's names and sequences.
std::vector<std::pair<std::string, std::string>> records(const std::string& path) {
  std::istringstream in(readFile(path));
  int n = 0, length = 0;
  in >> n >> length;
  std::string line;
  std::getline(in, line);
  std::vector<std::pair<std::string, std::string>> r;
  for (int i = 0; i < n; ++i) {
    std::string name, seq;
    std::getline(in, name);
    std::getline(in, seq);
    r.emplace_back(name, seq.substr(0, static_cast<std::size_t>(length)));
  }
  return r;
}

std::string native(const std::vector<std::pair<std::string, std::string>>& r) {
  std::string t = std::to_string(r.size()) + " " + std::to_string(r[0].second.size()) + "\n";
  for (const auto& [name, seq] : r) t += name + "\n" + seq + "\n";
  return t;
}

TEST(OptionsE2E, AnswersAsOptionsEqualTheDialogue) {
  ScratchDir dialogue, options, partial;
  const RunResult d = runRadcon(dialogue.path(), "'" + kLysozyme + "'", "1 0.5 1 3");
  const RunResult o = runRadcon(options.path(), "-c 1 -t 0.5 -k 1 -g my '" + kLysozyme + "'", "");
  ASSERT_TRUE(exitedWith(d, 0));
  ASSERT_TRUE(exitedWith(o, 0));
  expectSameReports(dialogue.path(), options.path());
  EXPECT_EQ(o.out, d.out.substr(std::string(kDialogue).size()));  // no question asked
  // Only the questions not answered on the command line are asked.
  const RunResult p = runRadcon(partial.path(), "--tstv=0.5 --grouping my '" + kLysozyme + "'", "1\n1\n");
  ASSERT_TRUE(exitedWith(p, 0));
  EXPECT_TRUE(p.out.starts_with("Use corrected N and S? 0 not use, 1 use\nInput Ka/Ks rate ratio0 0 "));
  expectSameReports(dialogue.path(), partial.path());
}

TEST(OptionsE2E, QuietOutdirAndGroupFilePath) {
  ScratchDir dir;
  writeFile(dir / "mine.div", readFile(RADCON_SOURCE_DIR "/data/MY.div"));
  const RunResult r = runRadcon(dir.path(), "-q -c 1 -t 0.5 -k 1 -g mine.div -o new/sub '" + kLysozyme + "'", "");
  ASSERT_TRUE(exitedWith(r, 0));
  EXPECT_EQ(r.out, "");
  for (const char* name : kReports) {
    EXPECT_TRUE(fs::exists(dir / "new" / "sub" / name)) << name;
    EXPECT_FALSE(fs::exists(dir / name)) << name;
  }
  // A group file given by path is a self-defined grouping.
  EXPECT_TRUE(readFile(dir / "new" / "sub" / "outfile").starts_with("Ts/Tv=0.500000\nSelf-defined change\n"));
  ScratchDir my;
  ASSERT_TRUE(exitedWith(runRadcon(my.path(), "-q -c 1 -t 0.5 -k 1 -g my '" + kLysozyme + "'", ""), 0));
  for (const char* name : {"sn.rst", "cr.rst", "n.dis"})
    EXPECT_EQ(readFile(my / name), readFile(dir / "new" / "sub" / name)) << name;
}

TEST(OptionsE2E, CompressedAndStandardInputReadAsThePlainFile) {
  ScratchDir dir, plain, gz, piped;
  ASSERT_EQ(std::system(("gzip -c '" + kLysozyme + "' > '" + (dir / "lysozymeLarge.txt").string() + "'").c_str()), 0);
  const std::string answers = "-q -c 1 -t 0.5 -k 1 -g charge --table t.tsv ";
  ASSERT_TRUE(exitedWith(runRadcon(plain.path(), answers + "'" + kLysozyme + "'", ""), 0));
  // Told by its content, not its name.
  ASSERT_TRUE(exitedWith(runRadcon(gz.path(), answers + "'" + (dir / "lysozymeLarge.txt").string() + "'", ""), 0));
  ASSERT_TRUE(exitedWith(runRadcon(piped.path(), answers + "-", readFile(kLysozyme)), 0));
  expectSameReports(plain.path(), gz.path());
  expectSameReports(plain.path(), piped.path());
  EXPECT_EQ(readFile(gz / "t.tsv"), readFile(plain / "t.tsv"));
  // A damaged stream is named; from standard input the answers must be options.
  const std::string bytes = readFile(dir / "lysozymeLarge.txt");
  writeFile(dir / "cut.gz", bytes.substr(0, bytes.size() / 2));
  const RunResult cut = runRadcon(dir.path(), answers + "cut.gz", "");
  EXPECT_TRUE(exitedWith(cut, 1));
  EXPECT_NE(cut.out.find("The compressed file cut.gz is damaged"), std::string::npos) << cut.out;
  const RunResult asked = runRadcon(dir.path(), "-", readFile(kLysozyme));
  EXPECT_TRUE(exitedWith(asked, 2));
  EXPECT_NE(asked.err.find("give the missing answers as options: --correction, --tstv, --kaks, --grouping"),
            std::string::npos);
}

TEST(OptionsE2E, FastaEqualsNative) {
  ScratchDir dir, nat, fas;
  std::string fasta;
  for (const auto& [name, seq] : records(kLysozyme)) {
    fasta += ">" + name + "\n";
    for (std::size_t k = 0; k < seq.size(); k += 61) fasta += seq.substr(k, 61) + "\n";  // wrapped lines
  }
  writeFile(dir / "lyso.fa", fasta);
  const RunResult n = runRadcon(nat.path(), "'" + kLysozyme + "'", "0 1.5 0.7 2");
  const RunResult f = runRadcon(fas.path(), "'" + (dir / "lyso.fa").string() + "'", "0 1.5 0.7 2");
  ASSERT_TRUE(exitedWith(f, 0)) << f.out;
  EXPECT_EQ(n.out, f.out);
  expectSameReports(nat.path(), fas.path());
}

TEST(OptionsE2E, DroppedGappedCodonsEqualColumnsRemovedByHand) {
  auto recs = records(kLysozyme);
  auto gapped = recs, removed = recs;
  // Codon 3 gets a gap in sequence 2, codon 50 an N in sequence 7, codon 130 a '?' in sequence 19.
  gapped[1].second.replace(6, 3, "---");
  gapped[6].second[150] = 'N';
  gapped[18].second[389] = '?';
  for (auto& r : removed) r.second = r.second.substr(0, 6) + r.second.substr(9, 150 - 9) + r.second.substr(153, 387 - 153);
  ScratchDir dir, a, b;
  writeFile(dir / "gapped.seq", native(gapped));
  writeFile(dir / "removed.seq", native(removed));
  const RunResult g = runRadcon(a.path(), "--drop-gapped-codons '" + (dir / "gapped.seq").string() + "'", "1 0.5 1 1");
  const RunResult h = runRadcon(b.path(), "'" + (dir / "removed.seq").string() + "'", "1 0.5 1 1");
  ASSERT_TRUE(exitedWith(g, 0)) << g.out;
  EXPECT_EQ(g.out, "Removed 3 of 130 codons with gaps or ambiguous nucleotides.\n" + h.out);
  expectSameReports(a.path(), b.path());
  // Without the option the gap is refused, and the message names the option.
  const RunResult refused = runRadcon(a.path(), "'" + (dir / "gapped.seq").string() + "'", "1 0.5 1 1");
  EXPECT_TRUE(exitedWith(refused, 1));
  EXPECT_NE(refused.out.find("--drop-gapped-codons"), std::string::npos);
}

TEST(OptionsE2E, StopCodonsAreNotedOnStandardErrorOrDropped) {
  ScratchDir dir, kept, dropped, byHand;
  // Terminal stops under the standard code; under the vertebrate mitochondrial
  // code TGA is tryptophan and AGA a stop inside the gene.
  writeFile(dir / "s.seq", "3 12\none\nATGAAATTTTAA\ntwo\nATGAAGTTCTAG\nthree\nATGAGATTTTGA\n");
  writeFile(dir / "cut.seq", "3 9\none\nATGAAATTT\ntwo\nATGAAGTTC\nthree\nATGAGATTT\n");
  const std::string path = (dir / "s.seq").string();
  const std::string note = "radcon: note: " + path + " holds stop codons ";
  const std::string analysed = "; a stop codon is analysed as a 21st amino acid unless --drop-stop-codons removes its column.\n";
  const RunResult k = runRadcon(kept.path(), "'" + path + "'", "1 0.5 1 1");
  ASSERT_TRUE(exitedWith(k, 0));
  EXPECT_EQ(k.err, note + "in its last codon column only" + analysed);
  EXPECT_TRUE(k.out.starts_with(std::string(kDialogue) + "0 0 "));  // standard output as it always was
  EXPECT_EQ(k.out.find("stop"), std::string::npos);
  // Dropped, the run is that of the alignment without the column.
  const RunResult d = runRadcon(dropped.path(), "--drop-stop-codons '" + path + "'", "1 0.5 1 1");
  const RunResult h = runRadcon(byHand.path(), "'" + (dir / "cut.seq").string() + "'", "1 0.5 1 1");
  ASSERT_TRUE(exitedWith(d, 0));
  EXPECT_EQ(d.out, "Removed 1 of 4 codons with stop codons.\n" + h.out);
  EXPECT_EQ(d.err, "");
  expectSameReports(dropped.path(), byHand.path());
  const RunResult m = runRadcon(dir.path(), "-q -c 1 -t 0.5 -k 1 -g charge --genetic-code 2 --reports none --table t '" + path + "'", "");
  EXPECT_EQ(m.err, note + "in 2 of 4 codon columns, not only the last (the first is column 2)" + analysed);
  // Columns are those of the file, whatever was dropped before.
  writeFile(dir / "g.seq", "2 12\na\n---TAAATGTGA\nb\nATGTTTATGTTT\n");
  const RunResult g = runRadcon(dir.path(), "-q -c 1 -t 0.5 -k 1 -g charge --drop-gapped-codons --reports none --table t g.seq", "");
  EXPECT_NE(g.err.find("in 2 of 3 codon columns, not only the last (the first is column 2)"), std::string::npos) << g.err;
  // A batch says it once, at the end.
  const RunResult b = runRadcon(dir.path(), "-q -c 1 -t 0.5 -k 1 -g charge --reports none --table t s.seq cut.seq", "");
  ASSERT_TRUE(exitedWith(b, 0));
  EXPECT_EQ(b.err, "radcon: note: 1 of 2 alignments hold stop codons (1 only in their last codon column)" + analysed);
  writeFile(dir / "stops.seq", "1 3\nx\nTAA\n");
  const RunResult none = runRadcon(dir.path(), "-q -c 1 -t 0.5 -k 1 -g charge --drop-stop-codons stops.seq", "");
  EXPECT_TRUE(exitedWith(none, 1));
  EXPECT_NE(none.out.find("Every one of the 1 codons is a stop codon in some sequence; no codon is left."),
            std::string::npos) << none.out;
}

std::vector<std::vector<std::string>> tsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cells;
    std::istringstream l(line);
    for (std::string c; std::getline(l, c, '\t');) cells.push_back(c);
    rows.push_back(cells);
  }
  return rows;
}

// Row i of a matrix block that follows 'header' in a report.
std::vector<double> matrixRow(const std::string& report, const std::string& header, int row) {
  std::istringstream in(report.substr(report.find(header) + header.size()));
  std::string line;
  std::getline(in, line);
  for (int r = 0; r <= row; ++r) std::getline(in, line);
  std::istringstream cells(line);
  std::vector<double> v;
  for (std::string c; cells >> c;) v.push_back(c.find("nan") != std::string::npos ? NAN : std::stod(c));
  return v;
}

TEST(OptionsE2E, PairsTableAgreesWithTheReports) {
  ScratchDir dir;
  const RunResult r = runRadcon(dir.path(), "-q --table pairs.tsv '" + kLysozyme + "'", "1 0.5 1 1");
  ASSERT_TRUE(exitedWith(r, 0));
  const auto rows = tsv(readFile(dir / "pairs.tsv"));
  ASSERT_EQ(rows.size(), 1u + 19 * 18 / 2);
  EXPECT_EQ(rows[0].size(), 38u);
  EXPECT_EQ(rows[0][0], "gene");
  EXPECT_EQ(rows[1][0], "lysozymeLarge");
  EXPECT_EQ(rows[0][28], "dR_dC");
  EXPECT_EQ(rows[0][29], "genetic_code");
  EXPECT_EQ(rows[1][29], "1");
  const auto recs = records(kLysozyme);
  EXPECT_EQ(rows[1][1], recs[0].first);
  EXPECT_EQ(rows[1][2], "2.chimp_bonobo_gorilla");  // whole, though longer than 20 characters
  EXPECT_EQ(rows.back()[1], recs[17].first);
  const std::string sn = readFile(dir / "sn.rst"), out = readFile(dir / "outfile");
  const std::string sdis = readFile(dir / "s.dis");
  // Pair (0, 2) is row 2 of the table.
  const auto& row = rows[2];
  // pS is printed by s.dis with the same six decimals: the same text.
  const std::size_t firstRow = sdis.find("\n\n") + 2;
  std::istringstream cells(sdis.substr(firstRow, sdis.find('\n', firstRow) - firstRow));
  std::string cell;
  for (int k = 0; k < 3; ++k) cells >> cell;
  EXPECT_EQ(row[11], cell);
  const std::vector<double> ps = matrixRow(sn, "Proportion of synonymous differences", 0);
  EXPECT_NEAR(std::stod(row[11]), ps[2], 0.0005);
  const std::vector<double> ds = matrixRow(sn, "JC distance of synonymous substitutions", 0);
  EXPECT_NEAR(std::stod(row[15]), ds[2], 0.0005);
  const std::vector<double> dn = matrixRow(sn, "JC distance of nonsynonymous substitutions", 0);
  EXPECT_NEAR(std::stod(row[16]), dn[2], 0.0005);
  const std::vector<double> rc = matrixRow(out, "conservative (c, below diagonal) differences", 0);
  EXPECT_NEAR(std::stod(row[9]), rc[2], 0.0005);  // radical differences above the diagonal
  const std::vector<double> se = matrixRow(out, "Proportions of radical differences (above diagonal) and their standard errors (below diagonal)", 2);
  EXPECT_NEAR(std::stod(row[21]), se[0], 0.0005);  // standard error of pR below the diagonal
  EXPECT_NEAR(std::stod(row[27]), std::stod(row[16]) / std::stod(row[15]), 1e-5);
}

TEST(OptionsE2E, PairsTableWritesNAWhereNoDistanceExists) {
  ScratchDir dir;
  writeFile(dir / "two.fa", ">first\nTTT\n>second\nTTC\n");  // pS = 5: no JC distance
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), "-q -c 1 -t 0.5 -k 1 -g charge --table t.tsv two.fa", ""), 0));
  const auto rows = tsv(readFile(dir / "t.tsv"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][1], "first");
  EXPECT_EQ(rows[1][11], "5.000000");  // pS
  EXPECT_EQ(rows[1][15], "NA");        // dS
  EXPECT_EQ(rows[1][13], "NA");        // pR is 0/0: no radical sites
  EXPECT_EQ(rows[1][27], "NA");        // dN/dS
  EXPECT_EQ(rows[1][16], "0.000000");  // dN
}

TEST(OptionsE2E, MeansOverCladesWithTheirTests) {
  ScratchDir dir;
  // The clades by the names' first 20 characters, and by the whole names.
  std::string clades = "# the lysozyme primates\n", whole;
  const auto recs = records(kLysozyme);
  for (std::size_t i = 0; i < recs.size(); ++i) {
    const std::string clade = std::string("\t") + (i < 4 ? "ape" : i < 16 ? "OWM" : "NWM") + "\n";
    clades += recs[i].first.substr(0, 20) + clade;
    whole += recs[i].first + clade;
  }
  writeFile(dir / "clades.txt", clades);
  writeFile(dir / "whole.txt", whole);
  const std::string args = "-q -c 1 -t 0.5 -k 1 -g charge --table t.tsv '" + kLysozyme + "'";
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), "--means grouped.tsv --clades clades.txt " + args, ""), 0));
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), "--means whole.tsv --clades whole.txt " + args, ""), 0));
  EXPECT_EQ(readFile(dir / "whole.tsv"), readFile(dir / "grouped.tsv"));
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), "--means all.tsv " + args, ""), 0));
  const auto rows = tsv(readFile(dir / "grouped.tsv"));
  ASSERT_EQ(rows.size(), 1u + 7u);
  EXPECT_EQ(rows[0].size(), 32u);
  EXPECT_EQ(std::vector<std::string>(rows[0].begin() + 3, rows[0].begin() + 6),
            (std::vector<std::string>{"pairs", "pairs_undefined_dN_dS", "pairs_undefined_dR_dC"}));
  const std::vector<std::vector<std::string>> groups = {{"ape", "ape", "6"},  {"OWM", "OWM", "66"}, {"NWM", "NWM", "3"},
                                                        {"ape", "OWM", "48"}, {"ape", "NWM", "12"}, {"OWM", "NWM", "36"},
                                                        {"all", "all", "171"}};
  for (std::size_t g = 0; g < groups.size(); ++g)
    EXPECT_EQ(std::vector<std::string>(rows[g + 1].begin() + 1, rows[g + 1].begin() + 4), groups[g]);
  // Without clades the only row is every pair, the same as with them.
  const auto all = tsv(readFile(dir / "all.tsv"));
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[1], rows[7]);
  // The pairs table ends with the per-pair tests.
  const auto pairs = tsv(readFile(dir / "t.tsv"));
  EXPECT_EQ(std::vector<std::string>(pairs[0].end() - 8, pairs[0].end()),
            (std::vector<std::string>{"cov_dN_dS", "z_dN_dS", "p_dN_dS", "cov_dR_dC", "z_dR_dC", "p_dR_dC", "tstv",
                                      "site_model"}));
  // Human against gibbon: no radical and four conservative differences. The
  // exact conditional binomial test of these counts gives p = 0.14; against the
  // variance under the null the normal test no longer rejects at 5 %.
  bool seen = false;
  for (const auto& row : pairs) {
    if (row[1] != "1.human" || row[2] != "4.gibbon_Ggo") continue;
    seen = true;
    EXPECT_EQ(row[9], "0.000000");   // R_diffs
    EXPECT_EQ(row[10], "4.000000");  // C_diffs
    EXPECT_LT(std::stod(row[34]), 0.0);
    EXPECT_GT(std::stod(row[34]), -1.959964);
    EXPECT_GT(std::stod(row[35]), 0.05);
  }
  EXPECT_TRUE(seen);
  // --clades groups the pairs of --means: alone it is a usage error.
  const RunResult alone = runRadcon(dir.path(), "--clades clades.txt " + args, "");
  EXPECT_TRUE(exitedWith(alone, 2));
  EXPECT_NE(alone.err.find("--clades needs --means"), std::string::npos);
}

// The bootstrap's columns follow the analytic ones; the values depend on the
// seed and the gene alone: not on threads, nor on the genes beside it.
TEST(OptionsE2E, BootstrapRepeatsWithItsSeed) {
  ScratchDir dir;
  writeFile(dir / "other.seq", "2 6\na\nATGAAA\nb\nATGAGA\n");
  const std::string args = "-q -c 1 -t 0.5 -k 1 -g charge --reports none --bootstrap 40 ";
  const std::string ly = " '" + kLysozyme + "'";
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), args + "--means one.tsv --threads 1" + ly, ""), 0));
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), args + "--means two.tsv --threads 3 other.seq" + ly, ""), 0));
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), args + "--means seed.tsv --seed 2" + ly, ""), 0));
  const auto one = tsv(readFile(dir / "one.tsv")), two = tsv(readFile(dir / "two.tsv")), seed = tsv(readFile(dir / "seed.tsv"));
  ASSERT_EQ(one.size(), 2u);
  ASSERT_EQ(two.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(one[0].end() - 7, one[0].end()),
            (std::vector<std::string>{"boot_replicates", "boot_se_dS", "boot_se_dN", "boot_se_dR", "boot_se_dC",
                                      "boot_p_dN_dS", "boot_p_dR_dC"}));
  const auto column = [&](const char* name) {
    return static_cast<std::size_t>(std::find(one[0].begin(), one[0].end(), name) - one[0].begin());
  };
  EXPECT_EQ(one[1][column("boot_replicates")], "40");
  EXPECT_EQ(one[1], two[2]);
  EXPECT_NE(one[1][column("boot_se_dR")], seed[1][column("boot_se_dR")]);
  EXPECT_TRUE(exitedWith(runRadcon(dir.path(), args + ly, ""), 2));  // no --means to put it in
}

// The jackknife's errors are the spread of the means of the alignment without
// each block of codons, each part analysed on its own: here three blocks of
// three codons, each part run by hand (its pairs those of the whole). Its p is
// Student's t on 2 degrees of freedom, 1 - |t| / sqrt(t^2 + 2). The same bytes
// for any threads and beside another gene.
TEST(OptionsE2E, JackknifeLeavesOutEachBlock) {
  ScratchDir dir;
  // Every pair's four distances are defined in the whole and in each part.
  const std::string seqs[4] = {"GGTAGGAGCCCACAACATACGGATTTG", "GGTAAGCGACCACTACATACGGATTTG",
                               "TGTAGGCGACCACTACATACGGATTTG", "GGTTGGATACCATTACATACGGATTTG"};
  auto alignment = [&](int dropFirst, int dropEnd) {
    std::string text = std::to_string(4) + " " + std::to_string(3 * (9 - (dropEnd - dropFirst))) + "\n";
    for (int i = 0; i < 4; ++i)
      text += std::string(1, static_cast<char>('a' + i)) + "\n" + seqs[i].substr(0, 3 * dropFirst) +
              seqs[i].substr(3 * dropEnd) + "\n";
    return text;
  };
  writeFile(dir / "g.seq", alignment(0, 0));
  for (int b = 0; b < 3; ++b) writeFile(dir / ("part" + std::to_string(b) + ".seq"), alignment(3 * b, 3 * b + 3));
  writeFile(dir / "other.seq", "2 6\na\nATGAAA\nb\nATGAGA\n");
  const std::string args = "-q -c 1 -t 0.8 -k 1 -g charge --reports none --site-model mutation ";
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), args + "--jackknife 3 --threads 1 --means one.tsv g.seq", ""), 0));
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), args + "--jackknife 3 --threads 3 --means two.tsv other.seq g.seq", ""), 0));
  const auto one = tsv(readFile(dir / "one.tsv")), two = tsv(readFile(dir / "two.tsv"));
  ASSERT_EQ(one.size(), 2u);
  EXPECT_EQ(one[1], two[2]);
  const auto column = [&](const char* name) {
    return static_cast<std::size_t>(std::find(one[0].begin(), one[0].end(), name) - one[0].begin());
  };
  EXPECT_EQ(one[0].back(), "jack_p_dR_dC");
  EXPECT_EQ(one[1][column("jack_blocks")], "3");
  std::vector<std::vector<std::string>> parts;  // each part's row of every pair
  for (int b = 0; b < 3; ++b) {
    const std::string out = "part" + std::to_string(b) + ".tsv";
    ASSERT_TRUE(exitedWith(runRadcon(dir.path(), args + "--means " + out + " part" + std::to_string(b) + ".seq", ""), 0));
    parts.push_back(tsv(readFile(dir / out))[1]);
  }
  double dRdC[3];
  for (std::size_t b = 0; b < 3; ++b) dRdC[b] = std::stod(parts[b][column("dR")]) - std::stod(parts[b][column("dC")]);
  for (const char* kind : {"dS", "dN", "dR", "dC"}) {
    double v[3], mean = 0;
    for (int b = 0; b < 3; ++b) {
      v[b] = std::stod(parts[static_cast<std::size_t>(b)][column(kind)]);
      mean += v[b] / 3;
    }
    double ss = 0;
    for (double x : v) ss += (x - mean) * (x - mean);
    EXPECT_NEAR(std::stod(one[1][column((std::string("jack_se_") + kind).c_str())]), std::sqrt(2.0 / 3.0 * ss), 2e-6)
        << kind;
  }
  const double mean = (dRdC[0] + dRdC[1] + dRdC[2]) / 3;
  double ss = 0;
  for (double x : dRdC) ss += (x - mean) * (x - mean);
  const double z = (std::stod(one[1][column("dR")]) - std::stod(one[1][column("dC")])) / std::sqrt(2.0 / 3.0 * ss);
  EXPECT_NEAR(std::stod(one[1][column("jack_z_dR_dC")]), z, 1e-4);
  EXPECT_NEAR(std::stod(one[1][column("jack_p_dR_dC")]), 1.0 - std::fabs(z) / std::sqrt(z * z + 2.0), 1e-4);
  // Against the expected dR/dC e: the same parts, the difference dR - e dC,
  // each part with its own ratio (under the whole's omega, which the table does
  // not show): not the test with e held in every part; its p that of its t.
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), args + "--jackknife 3 --expected-ratio --means three.tsv g.seq", ""), 0));
  const auto three = tsv(readFile(dir / "three.tsv"));
  ASSERT_EQ(three[0].back(), "expected_pairs_out");
  const auto column3 = [&](const char* name) {
    return static_cast<std::size_t>(std::find(three[0].begin(), three[0].end(), name) - three[0].begin());
  };
  const double e = std::stod(three[1][column3("expected_dR_dC")]);
  EXPECT_GT(std::stod(three[1][column3("expected_omega")]), 0.0);
  EXPECT_EQ(three[1][column3("expected_pairs_out")], "0");
  EXPECT_GT(e, 0.5);
  EXPECT_LT(e, 2.0);
  double x[3], xm = 0, xs = 0;
  for (std::size_t b = 0; b < 3; ++b)
    xm += (x[b] = std::stod(parts[b][column("dR")]) - e * std::stod(parts[b][column("dC")])) / 3;
  for (double v : x) xs += (v - xm) * (v - xm);
  const double held = (std::stod(one[1][column("dR")]) - e * std::stod(one[1][column("dC")])) / std::sqrt(2.0 / 3.0 * xs);
  const double own = std::stod(three[1][column("jack_z_dR_dC")]);
  EXPECT_TRUE(std::isfinite(own));
  EXPECT_GT(std::fabs(own - held), 1e-3);
  EXPECT_NEAR(std::stod(three[1][column("jack_p_dR_dC")]), 1.0 - std::fabs(own) / std::sqrt(own * own + 2.0), 1e-4);
  for (const char* same : {"dR_dC", "z_dR_dC", "jack_se_dR", "jack_z_dN_dS"})
    EXPECT_EQ(three[1][column(same)], one[1][column(same)]) << same;
  // One codon: no block to leave out, so no test and nothing to test against.
  writeFile(dir / "codon.seq", "2 3\na\nAAA\nb\nGAA\n");
  ASSERT_TRUE(exitedWith(runRadcon(dir.path(), args + "--jackknife 3 --expected-ratio --means c.tsv codon.seq", ""), 0));
  const auto codon = tsv(readFile(dir / "c.tsv"));
  EXPECT_EQ(codon[1][column("jack_blocks")], "0");
  EXPECT_EQ(codon[1][column3("expected_dR_dC")], "NA");
  EXPECT_EQ(codon[1][column3("expected_omega")], "NA");
  // Refused: too few blocks, not a number, no --means to put the columns in, an
  // expected ratio without the jackknife whose test it changes.
  for (const char* bad : {"--jackknife 1 --means x.tsv", "--jackknife many --means x.tsv", "--jackknife 5",
                          "--expected-ratio --means x.tsv"})
    EXPECT_TRUE(exitedWith(runRadcon(dir.path(), args + bad + " g.seq", ""), 2)) << bad;
}

}  // namespace
}  // namespace radcon::test
