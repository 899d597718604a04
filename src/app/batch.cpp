#include "app/batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "app/analysis.h"
#include "app/plan.h"
#include "app/settings.h"
#include "app/sinks.h"
#include "files/report_set.h"
#include "input/group_file.h"
#include "input/input_list.h"
#include "reports/html_page.h"
#include "reports/means_table.h"
#include "reports/pairs_table.h"
#include "reports/profile_table.h"
#include "reports/reports.h"
#include "util/error.h"
#include "util/parallel.h"

namespace radcon {

namespace {

// A batch's page carries the charts of its first genes (and of those named).
constexpr std::size_t kPageChartGenes = 50;

const auto gStart = std::chrono::steady_clock::now();

std::vector<std::string> reportPaths(const std::string& folder) {
  std::vector<std::string> paths;
  for (const std::string& name : reportNames()) paths.push_back(pathIn(folder, name));
  return paths;
}

// What the HTML page says of the run; its wall time is taken as it is written.
PageRun pageRun(const RunSettings& s, const Options& o, const std::string& commandLine, std::size_t inputs) {
  PageRun r;
  r.version = RADCON_VERSION;
  r.commandLine = commandLine;
  r.inputs = inputs;
  r.correction = *s.answers.correction;
  r.typedTsTv = s.answers.tstv->typed;
  r.tsTvEstimated = s.estimateTsTv;
  r.siteModel = siteModelName(s.siteModel);
  r.tsTvRatio = s.ratio;
  r.KaKsRatio = *s.answers.KaKsRatio;
  r.grouping = s.groupingName;
  r.groups = s.indexs;
  r.geneticCode = s.code->id;
  r.geneticCodeName = s.code->name;
  r.reference = o.reference;
  return r;
}

// The run's own outputs: the tables and the page (and, for one alignment, its
// reports first), created together and put in place together at the end. A
// table (or the page) given as - goes to standard output as it is written.
class RunOutputs {
 public:
  RunOutputs(const Options& o, bool withReports) {
    std::vector<std::string> paths = withReports ? reportPaths(o.outdir) : std::vector<std::string>{};
    const auto add = [&](const std::string& path) -> std::ptrdiff_t {
      if (path.empty()) return -1;
      if (path == "-") return kStandardOutput;
      paths.push_back(path);
      return static_cast<std::ptrdiff_t>(paths.size()) - 1;
    };
    table_ = add(o.table);
    means_ = add(o.means);
    profile_ = add(o.profile);
    page_ = add(o.html);
    files_ = std::make_unique<ReportSet>(paths);
    if (toStandardOutput()) {
      std::fflush(stdout);
      const int fd = ::dup(STDOUT_FILENO);
      if (fd < 0) fail("Can't write standard output: " + errnoText(errno) + ".");
      stdout_ = OutputFile(fd, "standard output");
    }
    TextBuffer text;
    if (table()) appendHeader(text, pairsTableColumns()), table()->write(text), text.clear();
    if (means()) appendHeader(text, meansTableColumns(o.bootstrap > 0, o.jackknife > 0, o.expectedRatio)), means()->write(text), text.clear();
    if (profile()) appendHeader(text, profileTableColumns()), profile()->write(text);
  }
  // Writes what standard output still has to take, then puts every file in place.
  void commit() {
    if (toStandardOutput()) stdout_.close();
    files_->commit();
  }
  ReportSet& files() { return *files_; }
  OutputFile* table() { return at(table_); }
  OutputFile* means() { return at(means_); }
  OutputFile* profile() { return at(profile_); }
  OutputFile* page() { return at(page_); }

 private:
  bool toStandardOutput() const {
    return table_ == kStandardOutput || means_ == kStandardOutput || profile_ == kStandardOutput ||
           page_ == kStandardOutput;
  }
  static constexpr std::ptrdiff_t kStandardOutput = -2;
  OutputFile* at(std::ptrdiff_t k) {
    if (k == kStandardOutput) return &stdout_;
    return k < 0 ? nullptr : &files_->file(static_cast<std::size_t>(k));
  }
  std::unique_ptr<ReportSet> files_;
  OutputFile stdout_;
  std::ptrdiff_t table_ = -1, means_ = -1, profile_ = -1, page_ = -1;
};

void writePage(OutputFile& file, PageRun run, const std::vector<PageGene>& genes) {
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - gStart).count();
  TextBuffer page(1 << 20);
  appendHtmlPage(page, run, genes);
  file.write(page);
}

bool showProgress(const Options& o) { return o.progress == 1 || (o.progress < 0 && ::isatty(STDERR_FILENO)); }

// One alignment's rows for the pairs and means tables and what its page shows,
// or why it failed.
struct GeneResult {
  TextBuffer table, means, profile;
  PageGene page;
  GeneTsTv tstv;
  std::string error;  // empty: the gene is done
  bool stops = false, stopsOnlyLast = false;  // stop codons left in the alignment
  std::uint64_t estimate = 0;                  // the memory it was planned to need
};

}  // namespace

int runAlignments(const Options& o, Dialogue& dialogue, const std::string& commandLine) {
  const std::vector<std::string> files = alignmentFiles(o);
  Dialogue::checkAnswersCanBeRead(o.answers, o.quiet, files, o.inputs);
  checkOutputs(o, files);
  // One alignment is read before the dialogue, as radcon always did; its
  // messages go to standard output and its reports to -o DIR itself.
  const bool single = files.size() == 1;
  const int threads = o.threads > 0 ? o.threads : defaultThreads();
  std::optional<Input> first;
  std::uint64_t firstEstimate = 0;
  if (single) {
    first = readInput(o, files[0]);
    checkNamesDistinct(o, first->alignment);
    if (!o.quiet)
      for (const std::string& line : droppedColumnsNotes(o, *first)) std::printf("%s\n", line.c_str());
    const std::string stops = stopCodonNote(*first);
    if (!stops.empty()) std::fprintf(stderr, "radcon: note: %s\n", stops.c_str());
    firstEstimate = checkMemory(o, *first, threads, 1);
    if (!o.reportsNone) checkDiskSpace(first->alignment, o.outdir);
  }
  const Answers answers = dialogue.askMissing(o.answers, o.quiet);
  if (o.groupFile.empty() && !o.answers.division) {  // a shipped group file the dialogue chose
    const std::string groups = locateGroupFile(groupFileName(*answers.division));
    checkOutputsSpare(o, files, {{groups, "the group file " + groups}});
  }
  ProgressCounters counters;
  counters.alignmentsTotal = files.size();
  // Genes go to the threads, each counted on one, when there are several and no reports.
  const bool genesInParallel = !single && o.reportsNone;
  counters.oneAtATime = !genesInParallel;
  ProgressDisplay display(counters, RADCON_VERSION, showProgress(o));
  RunSettings s = resolveSettings(o, answers);
  // One alignment's typed Ts/Tv is held against its own estimate (a batch's
  // genes are many and small: -t estimate estimates each).
  s.checkTypedTsTv = single && !s.estimateTsTv;
  if (!o.reportsNone && !o.outdir.empty()) makeFolder(o.outdir);
  RunOutputs out(o, single && !o.reportsNone);
  PageRun run = pageRun(s, o, commandLine, files.size());
  std::vector<PageGene> pageGenes;

  // One gene, start to end. In a batch its reports go to DIR/GENE/ and are put
  // in place only when it succeeds; a failure is kept for its message.
  auto one = [&](std::size_t f, GeneResult& r, int geneThreads) {
    r.table.clear();
    r.means.clear();
    r.profile.clear();
    r.error.clear();
    r.stops = r.stopsOnlyLast = false;
    r.estimate = single ? firstEstimate : 0;
    const std::string gene = geneName(files[f]);
    r.page = PageGene{};
    r.page.charts = f < kPageChartGenes ||
                    std::find(o.htmlGenes.begin(), o.htmlGenes.end(), gene) != o.htmlGenes.end();
    const std::string folder = o.reportsNone || single ? o.outdir : pathIn(o.outdir, gene);
    bool made = false;
    try {
      const Input in = single ? std::move(*first) : readInput(o, files[f]);
      r.stops = !in.stopColumns.empty() && !in.stopsDropped;
      r.stopsOnlyLast = r.stops && stopsOnlyInLastColumn(in);
      if (!single) {
        checkNamesDistinct(o, in.alignment);
        r.estimate = checkMemory(o, in, geneThreads, genesInParallel ? std::min<int>(threads, static_cast<int>(files.size())) : 1);
      }
      std::unique_ptr<ReportSet> own;
      ReportSet* reports = single && !o.reportsNone ? &out.files() : nullptr;
      if (!single && !o.reportsNone) {
        made = ::mkdir(folder.c_str(), 0777) == 0;
        if (!made && errno != EEXIST) fail("Can't create the folder " + folder + ": " + errnoText(errno) + ".");
        checkDiskSpace(in.alignment, folder);
        reports = (own = std::make_unique<ReportSet>(reportPaths(folder))).get();
      }
      // One alignment's rows go to the table as they come; a batch keeps a gene's until it is done.
      auto rows = [&](std::string_view text) { single ? out.table()->write(text) : r.table.append(text); };
      GeneSinks sinks(tableChoice(o), rows, out.page() ? &r.page : nullptr, reports, folder, geneThreads, &counters);
      r.tstv = analyseAlignment(s, in, sinks.all, geneThreads, single && !o.quiet, &counters);
      if (out.means()) r.means.append(sinks.means->text());
      if (out.profile()) r.profile.append(sinks.profile->text());
      if (own) own->commit();
    } catch (const RunError& e) {
      if (single) throw;
      r.error = e.what();
    } catch (const UntranslatableCodon& e) {
      if (single) throw;
      r.error = e.what();
    } catch (const std::bad_alloc&) {
      if (single) throw;
      r.error = "Not enough memory for this alignment.";
    }
    if (!r.error.empty() && made) ::rmdir(folder.c_str());  // no partial report folder
  };
  std::size_t failed = 0, uncertain = 0, withStops = 0, stopsOnlyLast = 0;
  std::uint64_t estimate = 0;  // the largest of the genes' plans, for the summary
  std::vector<double> usedTsTv;  // each gene's Ts/Tv, for the summary
  auto consume = [&](std::size_t f, GeneResult& r) {
    if (!r.error.empty()) {
      ++failed;
      ++counters.alignmentsFailed;
      display.printAbove("radcon: " + files[f] + ": " + r.error);
      if (out.page()) run.failures.emplace_back(files[f], r.error);
      return;
    }
    ++counters.alignmentsDone;
    const std::string warning = tstvWarning(r.tstv);
    if (!warning.empty() && single) display.printAbove("radcon: " + files[f] + ": " + warning);
    if (!warning.empty()) ++uncertain;
    usedTsTv.push_back(r.tstv.typed);
    estimate = std::max(estimate, r.estimate);
    withStops += r.stops;
    stopsOnlyLast += r.stopsOnlyLast;
    if (out.table() && !single) out.table()->write(r.table);
    if (out.means()) out.means()->write(r.means);
    if (out.profile()) out.profile()->write(r.profile);
    if (out.page()) pageGenes.push_back(std::move(r.page));
  };
  if (genesInParallel) {
    orderedParallel<GeneResult>(
        files.size(), threads, static_cast<std::size_t>(threads) + 2,
        [&](std::size_t f, GeneResult& r) { one(f, r, 1); }, consume);
  } else {
    // One gene at a time, its pairs and covariances on every thread.
    GeneResult r;
    for (std::size_t f = 0; f < files.size(); ++f) {
      one(f, r, threads);
      consume(f, r);
    }
  }
  if (out.page()) writePage(*out.page(), std::move(run), pageGenes);
  {
    // The summary says what the run used: the memory plan, the Ts/Tv ratio and the site model.
    char note[160];
    int at = estimate > 0 ? std::snprintf(note, sizeof note, " (estimated %.1f MB)",
                                          static_cast<double>(estimate) / 1048576.0)
                          : 0;
    if (s.estimateTsTv && !usedTsTv.empty()) {
      std::sort(usedTsTv.begin(), usedTsTv.end());
      at += std::snprintf(note + at, sizeof note - static_cast<std::size_t>(at), "; Ts/Tv estimated (median %.3g)",
                          usedTsTv[usedTsTv.size() / 2]);
    } else {
      at += std::snprintf(note + at, sizeof note - static_cast<std::size_t>(at), "; Ts/Tv %.6g", s.ratio / 2.0);
    }
    std::snprintf(note + at, sizeof note - static_cast<std::size_t>(at), ", %s site model", siteModelName(s.siteModel));
    display.setNote(note);
  }
  out.commit();
  if (uncertain > 0 && !single)
    display.printAbove("radcon: the Ts/Tv estimate of " + std::to_string(uncertain) + " of " +
                       std::to_string(files.size() - failed) +
                       " alignments rests on little data or fell back to 0.5 (no bias); the means table gives "
                       "each estimate's interval (tstv_lower, tstv_upper; NA where it fell back).");
  if (withStops > 0 && !single)
    std::fprintf(stderr, "radcon: note: %zu of %zu alignments hold stop codons (%zu only in their last codon column); %s.\n",
                 withStops, files.size() - failed, stopsOnlyLast, kStopsAnalysed);
  if (failed > 0) std::fprintf(stderr, "radcon: %zu of %zu alignments failed.\n", failed, files.size());
  return failed > 0 ? 1 : 0;
}

}  // namespace radcon
