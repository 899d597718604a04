#include "reports/reports.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "files/scratch_file.h"
#include "reports/printed_precision.h"
#include "reports/text_buffer.h"
#include "util/parallel.h"

namespace radcon {

namespace {

// Which row ranges of the covariance triangle one task covers: whole panels of
// pairs, about kTaskEntries entries each.
constexpr std::size_t kTaskEntries = std::size_t{1} << 17;

struct Layout {
  std::size_t P = 0;
  std::vector<int> first, second;              // the sequences of each pair
  std::vector<std::string> prefix, suffix;     // "i-j-" and "p-q " of each pair
  std::vector<std::pair<std::size_t, std::size_t>> tasks;

  explicit Layout(int n) : P(pairCount(n)) {
    for (int i = 0; i + 1 < n; ++i)
      for (int j = i + 1; j < n; ++j) {
        first.push_back(i);
        second.push_back(j);
        prefix.push_back(std::to_string(i) + "-" + std::to_string(j) + "-");
        suffix.push_back(std::to_string(i) + "-" + std::to_string(j) + " ");
      }
    constexpr std::size_t lanes = PairCodonTable::kLanes;
    std::size_t begin = 0, entries = 0;
    for (std::size_t a = 0; a < P; ++a) {
      entries += P - a;
      const bool panelEnd = (a + 1) % lanes == 0 || a + 1 == P;
      if (panelEnd && (entries >= kTaskEntries || a + 1 == P)) {
        tasks.emplace_back(begin, a + 1);
        begin = a + 1;
        entries = 0;
      }
    }
  }
  std::size_t rowOffset(std::size_t a) const { return triangleOffset(P, a); }
};

// A value of a symmetric pair table at row i, column j; 0 on the diagonal.
double symmetric(const std::vector<double>& v, int n, int i, int j) {
  if (i == j) return 0.0;
  return i < j ? v[pairIndex(n, i, j)] : v[pairIndex(n, j, i)];
}

void siteLines(TextBuffer& out, const std::vector<double>& first, const std::vector<double>& second) {
  for (std::size_t i = 0; i < first.size(); ++i) {
    out.append("otu");
    char num[24];
    char* e = formatInt(num, static_cast<long long>(i) + 1);
    for (long pad = 3 - (e - num); pad > 0; --pad) out.put(' ');
    out.append(std::string_view(num, static_cast<std::size_t>(e - num)));
    out.append(": ");
    out.fixed(first[i], kMatrixPrecision, kMatrixWidth);
    out.put(' ');
    out.fixed(second[i], kMatrixPrecision, kMatrixWidth);
    out.put('\n');
  }
}

// The covariance block rows [begin, end) of a detailed report: each pair's own
// variance, then its covariances with every later pair; a line per first sequence
// of the later pair. With jc, the covariances of the Jukes-Cantor distances.
void covarianceText(TextBuffer& out, const Layout& L, std::size_t begin, std::size_t end, const double* rows,
                    const std::vector<double>* jc) {
  const double* v = rows;
  for (std::size_t a = begin; a < end; ++a) {
    const int i = L.first[a];
    if (L.second[a] == i + 1) out.put('\n');
    out.put('\n');
    const std::string& pre = L.prefix[a];
    for (std::size_t b = a; b < L.P; ++b, ++v) {
      if (b == a || (L.first[b] > i && L.second[b] == L.first[b] + 1)) out.put('\n');
      const std::string& suf = L.suffix[b];
      char* p = out.room(pre.size() + suf.size() + kMaxNumberChars + 1);
      std::memcpy(p, pre.data(), pre.size());
      p += pre.size();
      std::memcpy(p, suf.data(), suf.size());
      p += suf.size();
      const double w = jc ? (*v / (*jc)[a]) / (*jc)[b] : *v;
      p = formatFixed(p, w, kCovariancePrecision, kCovarianceWidth);
      *p++ = ' ';
      out.advance(p);
    }
  }
}

// The covariance line of a .dis file: "%f " per entry.
void covarianceLine(TextBuffer& out, const double* rows, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    char* p = formatFixed(out.room(kMaxNumberChars + 1), rows[k], kMatrixFilePrecision, 0);
    *p++ = ' ';
    out.advance(p);
  }
}

// What a matrix block shows in row i, column j.
enum class Cells {
  kDifferences,              // the pair's differences of one kind; 0 on the diagonal
  kProportions,              // the pair's proportion of one kind
  kDistances,                // its Jukes-Cantor distance
  kRadicalOverConservative,  // radical differences above the diagonal, conservative below
  kProportionsOverErrors,    // proportions above the diagonal, their standard errors below
};

// One block of a report. Every block prints its heading first, then its body.
struct Block {
  enum Body {
    kNothing,
    kTsTv,             // the typed Ts/Tv value, "%f", and a line end
    kGroupingLabel,    // the grouping's name
    kSequenceCount,    // "%d\n"
    kSites,            // "otu%3d: %8.3f %8.3f\n" per sequence: sites of 'kind', then of 'second'
    kMatrix,           // a line per row, each begun by a line end; each cell "%*.*f "
    kCovariances,      // the covariance block of 'kind' (of the distances when 'distances')
    kCovarianceLine,   // every covariance of 'kind' on one line, "%f " each
  };
  const char* heading;
  Body body = kNothing;
  Kind kind = kSynonymous;
  Kind second = kSynonymous;
  Cells cells = Cells::kDifferences;
  bool distances = false;
  int precision = kMatrixPrecision;
  int width = kMatrixWidth;
};

using B = Block;

const std::vector<Block> kSnBlocks = {
    {"\nNumbers of nonsynonymous and synonymous sites\n", B::kSites, kNonsynonymous, kSynonymous},
    {"\nNumber of nonsynonymous differences", B::kMatrix, kNonsynonymous, {}, Cells::kDifferences},
    {"\n\nNumber of synonymous differences", B::kMatrix, kSynonymous, {}, Cells::kDifferences},
    {"\n\nProportion of nonsynonymous differences", B::kMatrix, kNonsynonymous, {}, Cells::kProportions},
    {"\n\nProportion of synonymous differences", B::kMatrix, kSynonymous, {}, Cells::kProportions},
    {"\n\nCovarince of proportion of nonsynonymous differences", B::kCovariances, kNonsynonymous},
    {"\n\nCovariance of proportion of synonymous differences", B::kCovariances, kSynonymous},
    {"\n\nJC distance of nonsynonymous substitutions", B::kMatrix, kNonsynonymous, {}, Cells::kDistances},
    {"\n\nJC distance of synonymous substitutions", B::kMatrix, kSynonymous, {}, Cells::kDistances},
    {"\n\nCovarince of JC distance of nonsynonymous differences", B::kCovariances, kNonsynonymous, {}, {}, true},
    {"\n\nCovariance of JC distance of synonymous differences", B::kCovariances, kSynonymous, {}, {}, true},
};

const std::vector<Block> kCrBlocks = {
    {"\nNumbers of radical and conservative sites\n", B::kSites, kRadical, kConservative},
    {"\nNumber of radical differences", B::kMatrix, kRadical, {}, Cells::kDifferences},
    {"\n\nNumber of conservative differences", B::kMatrix, kConservative, {}, Cells::kDifferences},
    {"\n\nProportion of radical differences", B::kMatrix, kRadical, {}, Cells::kProportions},
    {"\n\nProportion of conservative differences", B::kMatrix, kConservative, {}, Cells::kProportions},
    {"\n\nCovarince of proportion of radical differences", B::kCovariances, kRadical},
    {"\n\nCovariance of proportion of conservative differences", B::kCovariances, kConservative},
    {"\n\nJC distance of radical substitutions", B::kMatrix, kRadical, {}, Cells::kDistances},
    {"\n\nJC distance of conservative substitutions", B::kMatrix, kConservative, {}, Cells::kDistances},
    {"\n\nCovarince of JC distance of radical differences", B::kCovariances, kRadical, {}, {}, true},
    {"\n\nCovariance of JC distance of conservative differences", B::kCovariances, kConservative, {}, {}, true},
};

// n.dis, s.dis, r.dis and c.dis: the number of sequences, the proportions, and
// every covariance on the last line.
std::vector<Block> disBlocks(Kind kind) {
  return {
      {"", B::kSequenceCount},
      {"", B::kMatrix, kind, {}, Cells::kProportions, false, kMatrixFilePrecision, 0},
      {"\n", B::kCovarianceLine, kind},
  };
}

const std::vector<Block> kOutfileBlocks = {
    {"Ts/Tv=", B::kTsTv},
    {"", B::kGroupingLabel},
    {"\n\nNumbers of radical (R) and conservative (C) sites\n", B::kSites, kRadical, kConservative},
    {"\nNumbers of radical (r, above diagonal) and conservative (c, below diagonal) differences", B::kMatrix,
     kRadical, {}, Cells::kRadicalOverConservative},
    {"\n\nProportions of radical differences (above diagonal) and their standard errors (below diagonal)",
     B::kMatrix, kRadical, {}, Cells::kProportionsOverErrors},
    {"\n\nProportions of conservative differences (above diagonal) and their standard errors (below diagonal)",
     B::kMatrix, kConservative, {}, Cells::kProportionsOverErrors},
};

// The blocks of every report, in the order of reportNames().
const std::vector<Block>& reportBlocks(std::size_t report) {
  static const std::vector<Block> blocks[] = {kSnBlocks,
                                              kCrBlocks,
                                              disBlocks(kNonsynonymous),
                                              disBlocks(kSynonymous),
                                              disBlocks(kRadical),
                                              disBlocks(kConservative),
                                              kOutfileBlocks};
  return blocks[report];
}

// Every covariance is printed as "%8.7f" in the detailed reports and "%f" in the
// .dis files, and as a Jukes-Cantor covariance "%8.7f": the fast sums must print
// as the term-by-term ones would in each.
const PrintedDecimals kPrinted{{kCovariancePrecision, kMatrixFilePrecision}, {kCovariancePrecision}};

// Everything a block may print.
struct RunResults {
  const SiteTotals& sites;
  const PairDifferences& diff;
  const PairStatistics& st;
  double ratio;
  int division;
};

double cellValue(const RunResults& r, const Block& b, int i, int j) {
  const int n = r.st.seqNum;
  if (i == j) return 0.0;
  switch (b.cells) {
    case Cells::kDifferences: return symmetric(r.diff.total[b.kind], n, i, j);
    case Cells::kProportions: return symmetric(r.st.proportion[b.kind], n, i, j);
    case Cells::kDistances: return jukesCantor(symmetric(r.st.proportion[b.kind], n, i, j));
    case Cells::kRadicalOverConservative:
      return j > i ? r.diff.total[kRadical][pairIndex(n, i, j)] : r.diff.total[kConservative][pairIndex(n, j, i)];
    case Cells::kProportionsOverErrors: {
      if (j > i) return r.st.proportion[b.kind][pairIndex(n, i, j)];
      const double v = r.st.variance[b.kind][pairIndex(n, j, i)];
      return std::sqrt(v < 0.0 ? 0.0 : v);
    }
  }
  return 0.0;
}

// Prints the blocks that need no covariance.
void plainBlock(TextBuffer& out, const Block& b, const RunResults& r) {
  out.append(b.heading);
  switch (b.body) {
    case Block::kNothing: break;
    case Block::kTsTv:
      out.fixed(r.ratio / 2.0, 6, 0);
      out.put('\n');
      break;
    case Block::kGroupingLabel: out.append(groupingLabel(r.division)); break;
    case Block::kSequenceCount:
      out.integer(r.sites.seqNum);
      out.put('\n');
      break;
    case Block::kSites: siteLines(out, sequenceSites(r.sites, b.kind), sequenceSites(r.sites, b.second)); break;
    case Block::kMatrix:
      for (int i = 0; i < r.sites.seqNum; ++i) {
        out.put('\n');
        for (int j = 0; j < r.sites.seqNum; ++j) {
          out.fixed(cellValue(r, b, i, j), b.precision, b.width);
          out.put(' ');
        }
      }
      break;
    case Block::kCovariances:
    case Block::kCovarianceLine: break;
  }
}

}  // namespace

const std::vector<std::string>& reportNames() {
  static const std::vector<std::string> names = {"sn.rst", "cr.rst", "n.dis", "s.dis", "r.dis", "c.dis", "outfile"};
  return names;
}

const char* groupingLabel(int division) {
  switch (division) {
    case 1: return "Charge change";
    case 2: return "Polarity change";
    case 3: return "Miyata-Yasunaga change";
    case 4: return "Self-defined change";
    default: return "";
  }
}

double estimateReportBytes(int seqNum) {
  const double n = seqNum > 1 ? seqNum : 0;
  const double P = n * (n - 1) / 2;
  const double entries = P * (P + 1) / 2;  // a pair with itself and with every later pair
  // A covariance label is "i-j-" of the earlier pair and "p-q " of the later one;
  // every sequence number is in n - 1 pairs, every pair's label in P + 1 entries.
  double digitSum = 0;
  long long next = 10;
  for (int i = 0, width = 1; i < seqNum; ++i) {
    if (i == next) ++width, next *= 10;
    digitSum += width;
  }
  const double labels = (P + 1) * ((n - 1) * digitSum + 2 * P);
  const double detailedBlock = labels + entries * (kCovarianceWidth + 2);  // "0.0000000 "
  const double disLine = entries * (kMatrixFilePrecision + 3);              // "0.000000 "
  const double matrix = n * n * (kMatrixWidth + 1) + n;
  const double scratch = kKinds * entries * sizeof(double);
  return 8 * detailedBlock + 4 * disLine + 19 * matrix + scratch;
}

bool isCovarianceBlock(const Block& b) { return b.body == Block::kCovariances || b.body == Block::kCovarianceLine; }

// The text of covariance block b for the rows of one task.
void covarianceChunk(TextBuffer& out, const Block& b, const Layout& L, std::size_t task, const double* rows,
                     const PairStatistics& st) {
  const auto [begin, end] = L.tasks[task];
  if (b.body == Block::kCovarianceLine)
    covarianceLine(out, rows, L.rowOffset(end) - L.rowOffset(begin));
  else
    covarianceText(out, L, begin, end, rows, b.distances ? &st.jcDenominator[b.kind] : nullptr);
}

void writeReports(const SiteTotals& sites, const PairDifferences& diff, PairStatistics& st, double ratio,
                  int division, ReportSet& files, const std::string& scratchFolder, int threads,
                  ProgressCounters* progress) {
  const Layout L(sites.seqNum);
  const std::size_t window = static_cast<std::size_t>(threads) + 2;
  const std::size_t reports = reportNames().size();
  if (progress) {
    progress->rowsDone = 0;
    progress->rowsTotal = L.P;
  }
  const RunResults results{sites, diff, st, ratio, division};

  // Each report up to and with the heading of its first covariance block.
  std::vector<std::size_t> next(reports, 0);  // the block each report goes on with
  TextBuffer text;
  auto plainUpToCovariances = [&](std::size_t report) {
    const std::vector<Block>& blocks = reportBlocks(report);
    for (std::size_t& k = next[report]; k < blocks.size(); ++k) {
      plainBlock(text, blocks[k], results);
      files.file(report).write(text);
      text.clear();
      if (isCovarianceBlock(blocks[k])) return;
    }
  };
  for (std::size_t report = 0; report < reports; ++report) plainUpToCovariances(report);

  // Every covariance of every kind is computed once. As it is, the first
  // covariance block of every report is written from it; it is also kept in
  // scratch storage for the later blocks.
  std::unique_ptr<ScratchFile> scratch[kKinds];
  for (auto& s : scratch) s = std::make_unique<ScratchFile>(scratchFolder);
  struct Rows {
    std::vector<double> cov[kKinds];
    std::vector<double> workspace;
    std::vector<TextBuffer> text;
  };
  orderedParallel<Rows>(
      L.tasks.size(), threads, window,
      [&](std::size_t t, Rows& r) {
        const auto [begin, end] = L.tasks[t];
        const std::size_t count = L.rowOffset(end) - L.rowOffset(begin);
        for (int k = 0; k < kKinds; ++k) {
          r.cov[k].resize(count);
          covarianceRows(st, static_cast<Kind>(k), begin, end, r.cov[k].data(), r.workspace, kPrinted);
        }
        r.text.resize(reports);
        for (std::size_t report = 0; report < reports; ++report) {
          r.text[report].clear();
          if (next[report] == reportBlocks(report).size()) continue;
          const Block& b = reportBlocks(report)[next[report]];
          covarianceChunk(r.text[report], b, L, t, r.cov[b.kind].data(), st);
        }
      },
      [&](std::size_t t, Rows& r) {
        if (progress) progress->rowsDone += L.tasks[t].second - L.tasks[t].first;
        for (std::size_t report = 0; report < reports; ++report) files.file(report).write(r.text[report]);
        for (int k = 0; k < kKinds; ++k) scratch[k]->append(r.cov[k].data(), r.cov[k].size());
      });
  for (auto& d : st.deviation) d.release();

  // The later covariance blocks from scratch: formatted task by task on the
  // worker threads, written in order.
  auto fromScratch = [&](OutputFile& file, const Block& b) {
    struct Text {
      TextBuffer text;
      std::vector<double> rows;
    };
    orderedParallel<Text>(
        L.tasks.size(), threads, window,
        [&](std::size_t t, Text& out) {
          const auto [begin, end] = L.tasks[t];
          const std::size_t first = L.rowOffset(begin), count = L.rowOffset(end) - first;
          out.rows.resize(count);
          scratch[b.kind]->read(first, count, out.rows.data());
          out.text.clear();
          covarianceChunk(out.text, b, L, t, out.rows.data(), st);
        },
        [&](std::size_t, Text& out) { file.write(out.text); });
  };
  for (std::size_t report = 0; report < reports; ++report) {
    const std::vector<Block>& blocks = reportBlocks(report);
    if (next[report] < blocks.size()) ++next[report];  // its first covariance block is written
    for (; next[report] < blocks.size(); ++next[report]) {
      const Block& b = blocks[next[report]];
      plainBlock(text, b, results);
      files.file(report).write(text);
      text.clear();
      if (isCovarianceBlock(b)) fromScratch(files.file(report), b);
    }
  }
}

}  // namespace radcon
