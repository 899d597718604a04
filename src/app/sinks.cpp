#include "app/sinks.h"

#include <algorithm>
#include <cmath>

#include "input/sequence_file.h"
#include "reports/means_table.h"
#include "reports/pairs_table.h"
#include "reports/profile_table.h"
#include "reports/reports.h"
#include "stats/pair_groups.h"

namespace radcon {

void PairsTableSink::prepare(const GeneContext& gene, const PairBatch& batch, SinkScratch& scratch) const {
  appendPairsRows(scratch.text, gene.input.gene, gene.input.alignment.names, batch.differences, batch.stats,
                  gene.settings.code->id, gene.tstv.typed, siteModelName(gene.settings.siteModel));
}

void MeansSink::begin(const GeneContext& gene) {
  taken_ = 0;
  entered_.clear();
  expectedPairs_.clear();
  pairList_.clear();
  observedDC_.clear();
  const Clades& c = gene.input.clades;
  accumulator_ = std::make_unique<GroupMeansAccumulator>(c.cladeOf, static_cast<int>(c.labels.size()),
                                                         gene.input.alignment.seqLength);
}

void MeansSink::take(const GeneContext&, PairBatch& batch, SinkScratch&) {
  const PairStatistics& st = batch.stats;
  accumulator_->add(st, keep_ ? keep_->data() + taken_ : nullptr);
  if (jackknife_ > 0)
    for (std::size_t a = 0; a < st.pairs; ++a) entered_.push_back(testsEntered(st, a));
  if (expected_)
    for (std::size_t a = 0; a < st.pairs; ++a) {
      auto sites = [&](Kind k) { return st.sumSites[k][a] / 2.0; };
      expectedPairs_.push_back({sites(kSynonymous), sites(kNonsynonymous), sites(kRadical), sites(kConservative),
                                st.proportion[kSynonymous][a], st.proportion[kNonsynonymous][a]});
      pairList_.push_back(st.pairList[a]);
      observedDC_.push_back(pairDistance(st, kConservative, a).d);
    }
  taken_ += st.pairs;
}

namespace {

// The means of the alignment without each block of codon columns in turn, each
// analysed afresh: its own codon frequencies, sites and (when estimated) Ts/Tv,
// the last from the pairs of sequences the whole's estimate took.
// Each part's means take the pairs the whole's took ('entered'), so that they
// are the same statistic; a part where one of them is undefined leaves that
// test's jackknife undefined.
std::vector<JackknifeRow> jackknife(const GeneContext& gene, const std::vector<GroupMean>& whole,
                                    const std::vector<std::uint8_t>& entered, int blocks,
                                    const std::vector<double>* expected, const ExpectedModel& model) {
  RunSettings settings = gene.settings;
  settings.tstvInterval = false;
  settings.checkTypedTsTv = false;
  settings.tstvWhole = &gene.tstv.estimate;
  const Alignment& al = gene.input.alignment;
  std::vector<std::vector<GroupMean>> leftOut;
  std::vector<std::vector<double>> partExpected;
  const bool expectParts = expected && std::isfinite(model.omega);
  const std::vector<CodonBlock> parts = codonBlocks(al.seqLength, blocks);
  if (parts.size() < 2) return jackknifeRows(whole, leftOut, expected);  // one codon: nothing to leave out
  ProgressCounters* progress = gene.progress && gene.progress->oneAtATime ? gene.progress : nullptr;
  if (progress) progress->blocksTotal = parts.size();
  for (const CodonBlock& b : parts) {
    Input part;
    part.file = gene.input.file;
    part.gene = gene.input.gene;
    part.clades = gene.input.clades;
    part.reference = gene.input.reference;
    part.alignment = al;
    std::vector<char> keep(static_cast<std::size_t>(al.seqLength), 1);
    std::fill(keep.begin() + b.first, keep.begin() + b.end, 0);
    keepCodonColumns(part.alignment, keep, "lies in the block left out");
    MeansSink means(nullptr, 0, &entered, expectParts, &model);
    analyseAlignment(settings, part, {&means}, gene.threads, false, nullptr,
                     gene.checkpoint ? *gene.checkpoint : Checkpoint{});
    leftOut.push_back(means.rows());
    if (expectParts) partExpected.push_back(means.partExpected());
    if (progress) ++progress->blocksDone;
  }
  return jackknifeRows(whole, leftOut, expected, expectParts ? &partExpected : nullptr);
}

// Each group's expected dR/dC, for the pairs that entered its dR-dC test and
// have an expectation: under the null each pair's dR is its expected ratio
// times its dC, so mean dR - E x mean dC has expectation 0 for E = sum of
// ratio x dC over sum of dC. The pairs are weighed by their counted dC, not by
// the model's, which grows without bound as a pair nears saturation. Where
// every such dC is 0, the model's own sums. whole: a jackknife's part, under
// the whole gene's model; else omega is fitted (NaN when it cannot be).
struct GroupExpectations {
  std::vector<double> ratio;        // by group
  std::vector<long long> pairsOut;  // by group: pairs of its test without an expectation
  ExpectedModel model{NAN, {}, {}};
};

GroupExpectations expectedRatios(const GeneContext& gene, const std::vector<ExpectedRatioPair>& pairs,
                                 const std::vector<SeqPair>& pairList, const std::vector<double>& observedDC,
                                 const std::vector<std::uint8_t>& entered, std::size_t groupCount,
                                 const ExpectedModel* whole) {
  const RunSettings& s = gene.settings;
  const Alignment& al = gene.input.alignment;
  const StepRates rates = runStepRates(gene.codons, al.seqNum, al.seqLength, gene.tstv.ratio, *s.answers.KaKsRatio,
                                       s.indexs, *s.code, s.siteModel);
  std::vector<double> counts(kFrequencyEntries, 0.0);
  for (const std::uint8_t c : gene.codons.codon) counts[c] += 1.0;
  FrequencyTable pathway{};
  for (const FrequencyTable& t : gene.codons.frequency)
    for (int i = 0; i < kFrequencyEntries; ++i) pathway[i] += t[i] / static_cast<double>(gene.codons.frequency.size());
  ExpectedDistances e = expectedDistances(pairs, al.seqLength, counts, pathway, rates, s.indexs, *s.code, whole);
  GroupExpectations out;
  out.model = {e.fitted ? e.omega : NAN, std::move(e.eigenvectors), std::vector<std::uint8_t>(pairs.size(), 0)};
  out.pairsOut.assign(groupCount, 0);
  const Clades& c = gene.input.clades;
  const PairGroups groups(c.cladeOf, static_cast<int>(c.labels.size()));
  std::vector<double> weighted(groupCount, 0.0), weight(groupCount, 0.0), r(groupCount, 0.0), cons(groupCount, 0.0);
  for (std::size_t a = 0; a < pairs.size(); ++a) {
    // A part averages over the pairs the whole did, as far as it can place them.
    if (!(entered[a] & 2) || (whole && !(a < whole->pairs.size() && whole->pairs[a]))) continue;
    std::size_t in[2];
    const int n = groups.of(pairList[a].i, pairList[a].j, in);
    if (!std::isfinite(e.dR[a]) || !(e.dC[a] > 0.0) || !std::isfinite(e.dC[a])) {
      for (int k = 0; k < n; ++k) ++out.pairsOut[in[k]];
      continue;
    }
    out.model.pairs[a] = 1;
    for (int k = 0; k < n; ++k) {
      r[in[k]] += e.dR[a], cons[in[k]] += e.dC[a];
      weighted[in[k]] += observedDC[a] * (e.dR[a] / e.dC[a]), weight[in[k]] += observedDC[a];
    }
  }
  for (std::size_t g = 0; g < groupCount; ++g)
    r[g] = !e.fitted ? NAN : weight[g] > 0.0 ? weighted[g] / weight[g] : cons[g] > 0.0 ? r[g] / cons[g] : NAN;
  out.ratio = std::move(r);
  return out;
}

}  // namespace

void MeansSink::end(const GeneContext& gene) {
  rows_ = accumulator_->rows();
  jack_.clear();
  partExpected_.clear();
  if (jackknife_ > 0) {
    GroupExpectations expected;
    if (expected_) expected = expectedRatios(gene, expectedPairs_, pairList_, observedDC_, entered_, rows_.size(), nullptr);
    jack_ = jackknife(gene, rows_, entered_, jackknife_, expected_ ? &expected.ratio : nullptr, expected.model);
    if (expected_)  // nothing to tell where there was no block to leave out
      for (std::size_t g = 0; g < jack_.size() && jack_[g].blocks >= 2; ++g)
        jack_[g].expectedOmega = expected.model.omega, jack_[g].expectedPairsOut = expected.pairsOut[g];
  } else if (expected_ && keep_) {
    partExpected_ = expectedRatios(gene, expectedPairs_, pairList_, observedDC_, *keep_, rows_.size(), whole_).ratio;
  }
  text_.clear();
  const bool interval = gene.tstv.estimated && gene.tstv.estimate.estimated;
  const TsTvUsed tstv{gene.tstv.typed, interval ? gene.tstv.estimate.lower : NAN,
                      interval ? gene.tstv.estimate.upper : NAN};
  appendMeansRows(text_, gene.input.gene, rows_, gene.input.clades.labels, tstv, siteModelName(gene.settings.siteModel),
                  bootstrap_ ? &bootstrap_->rows() : nullptr, jackknife_ > 0 ? &jack_ : nullptr,
                  expected_ && jackknife_ > 0);
}

void BootstrapSink::begin(const GeneContext& gene) {
  const Clades& c = gene.input.clades;
  groups_ = std::make_unique<PairGroups>(c.cladeOf, static_cast<int>(c.labels.size()));
  // The gene's own stream of replicates: the seed mixed with its name (FNV-1a).
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (const unsigned char ch : gene.input.gene) h = (h ^ ch) * 0x100000001b3ull;
  bootstrap_ = std::make_unique<BootstrapMeans>(gene.sites, *groups_, replicates_, seed_ ^ h);
}

void ProfileSink::begin(const GeneContext& gene) {
  const Clades& c = gene.input.clades;
  accumulator_ = std::make_unique<ProfileAccumulator>(gene.sites, gene.settings.siteModel, c.cladeOf,
                                                      static_cast<int>(c.labels.size()),
                                                      profileWindows(gene.input.alignment.seqLength, window_, step_));
}

void ProfileSink::prepare(const GeneContext& gene, const PairBatch& batch, SinkScratch& scratch) const {
  if (!scratch.data) scratch.data = std::make_shared<ProfileAccumulator::Batch>();
  accumulator_->prepare(batch.stats.pairList, batch.codonDifferences, gene.codons.codon.data(),
                        *static_cast<ProfileAccumulator::Batch*>(scratch.data.get()));
}

void ProfileSink::take(const GeneContext&, PairBatch&, SinkScratch& prepared) {
  accumulator_->add(*static_cast<const ProfileAccumulator::Batch*>(prepared.data.get()));
}

void ProfileSink::end(const GeneContext& gene) {
  rows_ = accumulator_->rows();
  text_.clear();
  appendProfileRows(text_, gene.input.gene, rows_, accumulator_->windows(), gene.input.originalColumn,
                    gene.input.clades.labels);
}

void PageSink::end(const GeneContext&) {
  page_.means = means_.rows();
  page_.jackknife = means_.jackknifeRows();
  if (!profile_ || !page_.charts) return;
  // The windows of every pair (the last group), and the differences per codon.
  const std::vector<ProfileWindow>& windows = profile_->windows();
  const std::vector<ProfileRow>& rows = profile_->rows();
  for (std::size_t w = rows.size() - windows.size(); w < rows.size(); ++w) {
    const ProfileRow& r = rows[w];
    const ProfileWindow& at = windows[r.window];
    page_.profile.push_back({at.start + 1, at.end, r.mean.d[kNonsynonymous] / r.mean.d[kSynonymous], r.seRatio[0],
                             r.q[0], r.mean.d[kRadical] / r.mean.d[kConservative], r.seRatio[1], r.q[1]});
  }
  page_.window = profile_->window();
  page_.step = profile_->step();
  page_.codonRadical = profile_->codonDifferences(kRadical);
  page_.codonConservative = profile_->codonDifferences(kConservative);
}

void PageSink::begin(const GeneContext& gene) {
  const Alignment& al = gene.input.alignment;
  const Clades& clades = gene.input.clades;
  page_.gene = gene.input.gene;
  page_.sequences = al.seqNum;
  page_.codons = al.seqLength;
  page_.cladeLabels = clades.labels;
  page_.tstv = gene.tstv.typed;
  if (gene.tstv.estimated && gene.tstv.estimate.estimated) {
    page_.tstvLower = gene.tstv.estimate.lower;
    page_.tstvUpper = gene.tstv.estimate.upper;
  }
  page_.tstvNote = tstvWarning(gene.tstv);
  if (!page_.charts) return;
  const auto shown = static_cast<std::ptrdiff_t>(std::min(al.seqNum, kPageSequences));
  page_.names.assign(al.names.begin(), al.names.begin() + shown);
  if (!clades.cladeOf.empty()) page_.cladeOf.assign(clades.cladeOf.begin(), clades.cladeOf.begin() + shown);
}

void ReportsSink::begin(const GeneContext& gene) {
  const Alignment& al = gene.input.alignment;
  differences_.pairs.reserve(gene.pairs);
  for (auto& t : differences_.total) t.reserve(gene.pairs);
  stats_ = reserveStatistics(al.seqNum, al.seqLength, gene.pairs);
}

void ReportsSink::take(const GeneContext&, PairBatch& batch, SinkScratch&) {
  const PairDifferences& d = batch.differences;
  differences_.pairs.insert(differences_.pairs.end(), d.pairs.begin(), d.pairs.end());
  for (int k = 0; k < kKinds; ++k) differences_.total[k].insert(differences_.total[k].end(), d.total[k].begin(), d.total[k].end());
  placeStatistics(stats_, batch.stats);
}

void ReportsSink::end(const GeneContext& gene) {
  writeReports(gene.sites, differences_, stats_, gene.tstv.ratio, *gene.settings.answers.division, files_, folder_,
               threads_, progress_);
}

TableChoice tableChoice(const Options& o) {
  TableChoice c;
  c.table = !o.table.empty();
  c.means = !o.means.empty();
  c.profile = !o.profile.empty();
  c.window = o.window;
  c.step = windowStep(o);
  c.bootstrap = o.bootstrap;
  c.seed = o.seed;
  c.jackknife = o.jackknife;
  c.expectedRatio = o.expectedRatio;
  return c;
}

GeneSinks::GeneSinks(const TableChoice& c, std::function<void(std::string_view)> tableRows, PageGene* pageGene,
                     ReportSet* reportFiles, const std::string& folder, int threads, ProgressCounters* progress) {
  if (c.table) all.push_back((table = std::make_unique<PairsTableSink>(std::move(tableRows))).get());
  if (c.bootstrap > 0) all.push_back((bootstrap = std::make_unique<BootstrapSink>(c.bootstrap, c.seed)).get());
  if (c.means || pageGene) all.push_back((means = std::make_unique<MeansSink>(bootstrap.get(), c.jackknife, nullptr, c.expectedRatio)).get());
  if (c.profile || (pageGene && pageGene->charts))
    all.push_back((profile = std::make_unique<ProfileSink>(c.window, c.step)).get());
  if (pageGene) all.push_back((page = std::make_unique<PageSink>(*pageGene, *means, profile.get())).get());
  if (reportFiles)
    all.push_back((reports = std::make_unique<ReportsSink>(*reportFiles, folder, threads, progress)).get());
}

}  // namespace radcon
