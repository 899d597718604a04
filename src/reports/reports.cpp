#include "reports/reports.h"

#include <cmath>
#include <memory>

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
    out.fixed(first[i], 3, 8);
    out.put(' ');
    out.fixed(second[i], 3, 8);
    out.put('\n');
  }
}

// Rows of "%8.3f " cells, each row begun by a newline.
template <class Cell>
void matrix(TextBuffer& out, int n, Cell cell) {
  for (int i = 0; i < n; ++i) {
    out.put('\n');
    for (int j = 0; j < n; ++j) {
      out.fixed(cell(i, j), 3, 8);
      out.put(' ');
    }
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
      p = formatFixed(p, w, 7, 8);
      *p++ = ' ';
      out.advance(p);
    }
  }
}

// The covariance line of a .dis file: "%f " per entry.
void covarianceLine(TextBuffer& out, const double* rows, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    char* p = formatFixed(out.room(kMaxNumberChars + 1), rows[k], 6, 0);
    *p++ = ' ';
    out.advance(p);
  }
}

// The parts of sn.rst (first kind nonsynonymous, second synonymous) or cr.rst
// (radical, conservative) around the covariance blocks.
struct Detailed {
  Kind first, second;
  const char* sitesHeader;
  const char* firstName;
  const char* secondName;
};
constexpr Detailed kSn{kNonsynonymous, kSynonymous, "\nNumbers of nonsynonymous and synonymous sites\n",
                       "nonsynonymous", "synonymous"};
constexpr Detailed kCr{kRadical, kConservative, "\nNumbers of radical and conservative sites\n", "radical",
                       "conservative"};

std::string header(const char* text, const char* name, const char* tail = "") {
  return std::string(text) + name + tail;
}

void detailedHead(TextBuffer& out, const Detailed& r, const SiteTotals& sites, const PairDifferences& diff,
                  const PairStatistics& st) {
  const int n = sites.seqNum;
  out.append(r.sitesHeader);
  siteLines(out, sequenceSites(sites, r.first), sequenceSites(sites, r.second));
  out.append(header("\nNumber of ", r.firstName, " differences"));
  matrix(out, n, [&](int i, int j) { return symmetric(diff.total[r.first], n, i, j); });
  out.append(header("\n\nNumber of ", r.secondName, " differences"));
  matrix(out, n, [&](int i, int j) { return symmetric(diff.total[r.second], n, i, j); });
  out.append(header("\n\nProportion of ", r.firstName, " differences"));
  matrix(out, n, [&](int i, int j) { return symmetric(st.proportion[r.first], n, i, j); });
  out.append(header("\n\nProportion of ", r.secondName, " differences"));
  matrix(out, n, [&](int i, int j) { return symmetric(st.proportion[r.second], n, i, j); });
  out.append(header("\n\nCovarince of proportion of ", r.firstName, " differences"));
}

void distanceMatrices(TextBuffer& out, const Detailed& r, const PairStatistics& st) {
  const int n = st.seqNum;
  out.append(header("\n\nJC distance of ", r.firstName, " substitutions"));
  matrix(out, n, [&](int i, int j) { return jukesCantor(symmetric(st.proportion[r.first], n, i, j)); });
  out.append(header("\n\nJC distance of ", r.secondName, " substitutions"));
  matrix(out, n, [&](int i, int j) { return jukesCantor(symmetric(st.proportion[r.second], n, i, j)); });
}

void disHead(TextBuffer& out, const PairStatistics& st, Kind kind) {
  const int n = st.seqNum;
  out.integer(n);
  out.put('\n');
  for (int i = 0; i < n; ++i) {
    out.put('\n');
    for (int j = 0; j < n; ++j) {
      out.fixed(symmetric(st.proportion[kind], n, i, j), 6, 0);
      out.put(' ');
    }
  }
  out.put('\n');
}

void summary(TextBuffer& out, const SiteTotals& sites, const PairDifferences& diff, const PairStatistics& st,
             double ratio, int division) {
  const int n = sites.seqNum;
  out.append("Ts/Tv=");
  out.fixed(ratio / 2.0, 6, 0);
  out.put('\n');
  out.append(groupingLabel(division));
  out.append("\n\nNumbers of radical (R) and conservative (C) sites\n");
  siteLines(out, sites.R, sites.C);
  out.append("\nNumbers of radical (r, above diagonal) and conservative (c, below diagonal) differences");
  matrix(out, n, [&](int i, int j) {
    if (i == j) return 0.0;
    return j > i ? diff.total[kRadical][pairIndex(n, i, j)] : diff.total[kConservative][pairIndex(n, j, i)];
  });
  // Proportions above the diagonal; the standard error of pair (j, i) at its mirror.
  auto proportions = [&](Kind kind) {
    return [&, kind](int i, int j) {
      if (i == j) return 0.0;
      if (j > i) return st.proportion[kind][pairIndex(n, i, j)];
      const double v = st.variance[kind][pairIndex(n, j, i)];
      return std::sqrt(v < 0.0 ? 0.0 : v);
    };
  };
  out.append("\n\nProportions of radical differences (above diagonal) and their standard errors (below diagonal)");
  matrix(out, n, proportions(kRadical));
  out.append(
      "\n\nProportions of conservative differences (above diagonal) and their standard errors (below diagonal)");
  matrix(out, n, proportions(kConservative));
}

void flushText(OutputFile& f, TextBuffer& t) {
  f.write(t);
  t.clear();
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

double jukesCantor(double p) { return 0.0 - std::log(1.0 - p * kFourThirds) * 0.75; }

void writeReports(const SiteTotals& sites, const PairDifferences& diff, PairStatistics& st, double ratio,
                  int division, ReportSet& files, const std::string& scratchFolder, int threads) {
  const Layout L(sites.seqNum);
  OutputFile& sn = files.file(kSnRst);
  OutputFile& cr = files.file(kCrRst);
  OutputFile* dis[kKinds];
  dis[kNonsynonymous] = &files.file(kNDis);
  dis[kSynonymous] = &files.file(kSDis);
  dis[kRadical] = &files.file(kRDis);
  dis[kConservative] = &files.file(kCDis);

  TextBuffer text;
  detailedHead(text, kSn, sites, diff, st);
  flushText(sn, text);
  detailedHead(text, kCr, sites, diff, st);
  flushText(cr, text);
  for (int k = 0; k < kKinds; ++k) {
    disHead(text, st, static_cast<Kind>(k));
    flushText(*dis[k], text);
  }

  const auto& jc = st.jcDenominator;

  // Pass 1: every covariance once. The first block of each detailed report and
  // the .dis lines are written now; the tables go to scratch storage for the
  // blocks that follow later in the detailed reports.
  std::unique_ptr<ScratchFile> scratch[kKinds];
  for (auto& s : scratch) s = std::make_unique<ScratchFile>(scratchFolder);
  struct Chunk {
    TextBuffer sn, cr, dis[kKinds];
    std::vector<double> cov[kKinds];
    std::vector<double> workspace;
  };
  const std::size_t window = static_cast<std::size_t>(threads) + 2;
  orderedParallel<Chunk>(
      L.tasks.size(), threads, window,
      [&](std::size_t t, Chunk& c) {
        const auto [begin, end] = L.tasks[t];
        const std::size_t count = L.rowOffset(end) - L.rowOffset(begin);
        for (int k = 0; k < kKinds; ++k) {
          c.cov[k].resize(count);
          covarianceRows(st, static_cast<Kind>(k), begin, end, c.cov[k].data(), c.workspace);
          c.dis[k].clear();
          covarianceLine(c.dis[k], c.cov[k].data(), count);
        }
        c.sn.clear();
        covarianceText(c.sn, L, begin, end, c.cov[kNonsynonymous].data(), nullptr);
        c.cr.clear();
        covarianceText(c.cr, L, begin, end, c.cov[kRadical].data(), nullptr);
      },
      [&](std::size_t, Chunk& c) {
        sn.write(c.sn);
        cr.write(c.cr);
        for (int k = 0; k < kKinds; ++k) {
          dis[k]->write(c.dis[k]);
          scratch[k]->append(c.cov[k].data(), c.cov[k].size());
        }
      });
  for (auto& d : st.deviation) d.release();

  // Pass 2: the later covariance blocks of both detailed reports, from scratch.
  auto blocks = [&](Kind snKind, Kind crKind, bool distances) {
    struct Blocks {
      TextBuffer sn, cr;
      std::vector<double> rows;
    };
    orderedParallel<Blocks>(
        L.tasks.size(), threads, window,
        [&](std::size_t t, Blocks& out) {
          const auto [begin, end] = L.tasks[t];
          const std::size_t first = L.rowOffset(begin), count = L.rowOffset(end) - first;
          out.rows.resize(count);
          out.sn.clear();
          scratch[snKind]->read(first, count, out.rows.data());
          covarianceText(out.sn, L, begin, end, out.rows.data(), distances ? &jc[snKind] : nullptr);
          out.cr.clear();
          scratch[crKind]->read(first, count, out.rows.data());
          covarianceText(out.cr, L, begin, end, out.rows.data(), distances ? &jc[crKind] : nullptr);
        },
        [&](std::size_t, Blocks& out) {
          sn.write(out.sn);
          cr.write(out.cr);
        });
  };
  sn.write(header("\n\nCovariance of proportion of ", kSn.secondName, " differences"));
  cr.write(header("\n\nCovariance of proportion of ", kCr.secondName, " differences"));
  blocks(kSynonymous, kConservative, false);
  distanceMatrices(text, kSn, st);
  text.append(header("\n\nCovarince of JC distance of ", kSn.firstName, " differences"));
  flushText(sn, text);
  distanceMatrices(text, kCr, st);
  text.append(header("\n\nCovarince of JC distance of ", kCr.firstName, " differences"));
  flushText(cr, text);
  blocks(kNonsynonymous, kRadical, true);
  sn.write(header("\n\nCovariance of JC distance of ", kSn.secondName, " differences"));
  cr.write(header("\n\nCovariance of JC distance of ", kCr.secondName, " differences"));
  blocks(kSynonymous, kConservative, true);

  summary(text, sites, diff, st, ratio, division);
  flushText(files.file(kOutfile), text);
}

}  // namespace radcon
