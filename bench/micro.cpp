// Microbenchmarks of the hot kernels: pair counting, covariance accumulation,
// number formatting and report writing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "codon/frequency.h"
#include "differences/pairwise.h"
#include "input/group_file.h"
#include "input/sequence_file.h"
#include "reports/number_format.h"
#include "reports/reports.h"
#include "sites/site_totals.h"
#include "stats/statistics.h"
#include "../tests/synthetic.h"

namespace {

using namespace radcon;

const PrintedDecimals kReportDecimals{{7, 6}, {7}};

Alignment family(int n, int codons, double divergence, unsigned seed) {
  return parseSequenceText(test::syntheticAlignment(n, codons, divergence, seed));
}

const GroupTable& charge() {
  static const GroupTable g = parseGroupText("3\n3 RHK\n2 DE\n", "charge");
  return g;
}

// Every pair, after the run-wide ratio, as a run counts them.
PairDifferences countAll(const CodonData& codons, int n, int L) {
  const double DrDc = radicalConservativeRatio(codons, n, L, charge(), standardCode());
  return countPairs(codons, L, allPairs(n), {2.0, 1.0, DrDc}, charge(), standardCode());
}

void BM_PairCounting(benchmark::State& state) {
  const Alignment al = family(20, 300, 0.1, 1);
  const CodonData codons = translateAndCount(al, standardCode());
  for (auto _ : state) {
    PairDifferences d = countAll(codons, al.seqNum, al.seqLength);
    benchmark::DoNotOptimize(d.total[0].data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(pairCount(20)) * 300);
}
BENCHMARK(BM_PairCounting)->Unit(benchmark::kMillisecond);

struct Prepared {
  SiteTotals sites;
  PairDifferences diff;
  PairStatistics stats;
  explicit Prepared(int n, int codons) {
    const Alignment al = family(n, codons, 0.1, 2);
    const CodonData c = translateAndCount(al, standardCode());
    sites = countSites(al, c, 2.0, 1, charge(), standardCode());
    diff = countAll(c, n, codons);
    stats = computeStatistics(sites, diff);
  }
};

void BM_CovarianceRows(benchmark::State& state) {
  static Prepared p(60, 500);
  const std::size_t rows = 32;
  std::vector<double> out(triangleOffset(p.stats.pairs, rows)), workspace;
  for (auto _ : state) {
    covarianceRows(p.stats, kRadical, 0, rows, out.data(), workspace, kReportDecimals);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(out.size()) * 500);  // products
}
BENCHMARK(BM_CovarianceRows)->Unit(benchmark::kMillisecond);

std::vector<double> covarianceLikeValues() {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(0.0, 0.01);
  std::vector<double> v(1 << 16);
  for (double& x : v) x = u(rng);
  return v;
}

void BM_FormatFixed(benchmark::State& state) {
  const std::vector<double> v = covarianceLikeValues();
  char buf[kMaxNumberChars];
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(formatFixed(buf, v[k++ & 0xFFFF], 7, 8));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatFixed);

void BM_Snprintf(benchmark::State& state) {
  const std::vector<double> v = covarianceLikeValues();
  char buf[kMaxNumberChars];
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(buf, sizeof buf, "%8.7f", v[k++ & 0xFFFF]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Snprintf);

void BM_WriteReports(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "radcon-micro";
  std::filesystem::create_directories(dir);
  std::uintmax_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Prepared p(40, 300);
    state.ResumeTiming();
    std::vector<std::string> paths;
    for (const std::string& name : reportNames()) paths.push_back(pathIn(dir.string(), name));
    ReportSet files(paths);
    writeReports(p.sites, p.diff, p.stats, 2.0, 1, files, dir.string(), threads);
    files.commit();
    bytes = 0;
    for (const std::string& name : reportNames()) bytes += std::filesystem::file_size(dir / name);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long>(bytes));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WriteReports)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
