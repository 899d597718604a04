// The sinks an alignment's pairs flow into: the pairs table, the means, the
// HTML page and the seven reports (the one sink that keeps every pair's
// per-codon values, since every covariance needs them).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/analysis.h"
#include "files/report_set.h"
#include "reports/html_page.h"
#include "stats/bootstrap.h"
#include "stats/difference_tests.h"
#include "stats/expected_ratio.h"
#include "stats/profile.h"

namespace radcon {

// Rows of the pairs table, formatted on the worker threads, handed to 'emit' in
// pair order as they come.
class PairsTableSink : public PairSink {
 public:
  explicit PairsTableSink(std::function<void(std::string_view)> emit) : emit_(std::move(emit)) {}
  void prepare(const GeneContext& gene, const PairBatch& batch, SinkScratch& scratch) const override;
  void take(const GeneContext&, PairBatch&, SinkScratch& prepared) override { emit_(prepared.text); }

 private:
  std::function<void(std::string_view)> emit_;
};


// Bootstrap standard errors and p-values of the means: replicates of codon
// columns drawn from the seed and the gene's name, so a gene gets the same
// values alone or in any batch, with any number of threads.
class BootstrapSink : public PairSink {
 public:
  BootstrapSink(int replicates, std::uint64_t seed) : replicates_(replicates), seed_(seed) {}
  void begin(const GeneContext& gene) override;
  bool wantsCodonDifferences() const override { return true; }
  void prepare(const GeneContext&, const PairBatch& batch, SinkScratch& scratch) const override {
    bootstrap_->distances(batch.stats.pairList, batch.codonDifferences, scratch.values);
  }
  void take(const GeneContext&, PairBatch& batch, SinkScratch& prepared) override {
    bootstrap_->add(batch.stats.pairList, prepared.values);
  }
  void end(const GeneContext&) override { rows_ = bootstrap_->rows(); }
  const std::vector<BootstrapRow>& rows() const { return rows_; }

 private:
  int replicates_;
  std::uint64_t seed_;
  std::unique_ptr<PairGroups> groups_;
  std::unique_ptr<BootstrapMeans> bootstrap_;
  std::vector<BootstrapRow> rows_;
};

// Means over groups of pairs (every pair, each clade, every two clades), their
// sums gathered as the pairs go by; at the end, their rows of the means table
// (with the bootstrap's columns when there is one, which must end first).
class MeansSink : public PairSink {
 public:
  // jackknife: blocks of codon columns for the jackknife's columns; 0: none.
  // entered: the tests each pair entered in another analysis of the same pairs
  // (testsEntered), which these means then take exactly (the jackknife's parts).
  // expected: the jackknife's dR-dC test against the gene's expected dR/dC;
  // in a jackknife's part (entered given), the part's own expected dR/dC under
  // the whole gene's model 'whole' (partExpected), for the part's statistic.
  explicit MeansSink(const BootstrapSink* bootstrap = nullptr, int jackknife = 0,
                     const std::vector<std::uint8_t>* entered = nullptr, bool expected = false,
                     const ExpectedModel* whole = nullptr)
      : bootstrap_(bootstrap), jackknife_(jackknife), keep_(entered), expected_(expected), whole_(whole) {}
  void begin(const GeneContext& gene) override;
  void take(const GeneContext&, PairBatch& batch, SinkScratch&) override;
  void end(const GeneContext& gene) override;
  // After end: the rows, within clades, between them, then every pair.
  const std::vector<GroupMean>& rows() const { return rows_; }
  // After end: the jackknife's rows, one a row (empty without the jackknife).
  const std::vector<JackknifeRow>& jackknifeRows() const { return jack_; }
  // After end, in a jackknife's part with 'expected': each group's expected dR/dC.
  const std::vector<double>& partExpected() const { return partExpected_; }
  // After end: their text in the means table.
  const TextBuffer& text() const { return text_; }

 private:
  const BootstrapSink* bootstrap_;
  int jackknife_;
  const std::vector<std::uint8_t>* keep_;
  bool expected_;
  const ExpectedModel* whole_;
  std::vector<ExpectedRatioPair> expectedPairs_;  // with 'expected': each pair's sites and proportions
  std::vector<SeqPair> pairList_;                 // and its sequences
  std::vector<double> observedDC_;                // and its counted dC
  std::size_t taken_ = 0;              // pairs taken so far
  std::vector<std::uint8_t> entered_;  // with the jackknife: the tests each pair entered
  std::unique_ptr<GroupMeansAccumulator> accumulator_;
  std::vector<GroupMean> rows_;
  std::vector<JackknifeRow> jack_;
  std::vector<double> partExpected_;
  TextBuffer text_{0};
};

// The profile along the gene: the means in windows of codon columns, their sums
// gathered as the pairs go by (the workers sum each batch's pairs); at the end,
// their rows of the profile table.
class ProfileSink : public PairSink {
 public:
  ProfileSink(int window, int step) : window_(window), step_(step) {}
  void begin(const GeneContext& gene) override;
  bool wantsCodonDifferences() const override { return true; }
  void prepare(const GeneContext&, const PairBatch& batch, SinkScratch& scratch) const override;
  void take(const GeneContext&, PairBatch&, SinkScratch& prepared) override;
  void end(const GeneContext& gene) override;
  // After end: the rows (as the means', each group's windows in order), their
  // text, and the mean radical and conservative differences per codon.
  const std::vector<ProfileRow>& rows() const { return rows_; }
  const std::vector<ProfileWindow>& windows() const { return accumulator_->windows(); }
  const TextBuffer& text() const { return text_; }
  int window() const { return window_; }
  int step() const { return step_; }
  std::vector<double> codonDifferences(Kind kind) const { return accumulator_->codonDifferences(kind); }

 private:
  int window_, step_;
  std::unique_ptr<ProfileAccumulator> accumulator_;
  std::vector<ProfileRow> rows_;
  TextBuffer text_{0};
};

// What the HTML page shows of one alignment: its size, means and, when it has
// charts, the pairs among its first sequences and the profile along the gene.
class PageSink : public PairSink {
 public:
  PageSink(PageGene& page, const MeansSink& means, const ProfileSink* profile)
      : page_(page), means_(means), profile_(profile) {}
  void begin(const GeneContext& gene) override;
  void take(const GeneContext&, PairBatch& batch, SinkScratch&) override { addPagePairs(page_, batch.stats); }
  void end(const GeneContext&) override;

 private:
  PageGene& page_;
  const MeansSink& means_;
  const ProfileSink* profile_;
};

// The seven reports, into the first seven files of 'files' (in the order of
// reportNames()), their scratch storage in 'folder'.
class ReportsSink : public PairSink {
 public:
  ReportsSink(ReportSet& files, std::string folder, int threads, ProgressCounters* progress)
      : files_(files), folder_(std::move(folder)), threads_(threads), progress_(progress) {}
  void begin(const GeneContext& gene) override;
  void take(const GeneContext&, PairBatch& batch, SinkScratch&) override;
  void end(const GeneContext& gene) override;

 private:
  ReportSet& files_;
  std::string folder_;
  int threads_;
  ProgressCounters* progress_;
  PairDifferences differences_;  // every pair's totals
  PairStatistics stats_;         // every pair's statistics and per-codon deviations
};

// Which tables an alignment's pairs go to, and the bootstrap's settings.
struct TableChoice {
  bool table = false, means = false, profile = false;
  int window = 30, step = 10;  // the profile's windows (and the page's)
  int bootstrap = 0;  // replicates; 0: none
  std::uint64_t seed = 1;
  int jackknife = 0;  // blocks; 0: none
  bool expectedRatio = false;
};
// Those the command line asks for.
TableChoice tableChoice(const Options& options);

// The sinks an alignment's outputs ask for, in the order they must end: the
// table, the bootstrap (whose rows the means take), the means and the profile
// (whose rows the page takes), the page, the reports. Null page or report files:
// none. A page with charts shows a profile whether or not the table is asked for.
struct GeneSinks {
  std::unique_ptr<PairsTableSink> table;
  std::unique_ptr<BootstrapSink> bootstrap;
  std::unique_ptr<MeansSink> means;
  std::unique_ptr<ProfileSink> profile;
  std::unique_ptr<PageSink> page;
  std::unique_ptr<ReportsSink> reports;
  std::vector<PairSink*> all;

  GeneSinks(const TableChoice& choice, std::function<void(std::string_view)> tableRows, PageGene* pageGene,
            ReportSet* reportFiles, const std::string& folder, int threads, ProgressCounters* progress);
};

}  // namespace radcon
