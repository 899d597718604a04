// radcon: synonymous, nonsynonymous, radical and conservative sites and
// differences of aligned protein-coding sequences, with their proportions,
// Jukes-Cantor distances, variances and covariances.
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "codon/frequency.h"
#include "codon/genetic_code.h"
#include "differences/pair_table.h"
#include "differences/pairwise.h"
#include "input/answers.h"
#include "input/clade_file.h"
#include "input/group_file.h"
#include "input/input_list.h"
#include "input/options.h"
#include "input/sequence_file.h"
#include "reports/html_page.h"
#include "reports/means_table.h"
#include "reports/output.h"
#include "reports/pairs_table.h"
#include "reports/reports.h"
#include "reports/trace.h"
#include "sites/site_totals.h"
#include "stats/difference_tests.h"
#include "stats/statistics.h"
#include "util/disk_space.h"
#include "util/error.h"
#include "util/memory.h"
#include "util/parallel.h"
#include "util/progress.h"

using namespace radcon;

namespace {

// True while a prompt without a newline ends standard output.
bool gPromptOpen = false;

// Pairs a streaming run counts, tests and writes at a time.
constexpr int kStreamBatch = 256;

// A batch's page carries the charts of its first genes (and of those named).
constexpr std::size_t kPageChartGenes = 50;

const auto gStart = std::chrono::steady_clock::now();
std::string gCommandLine;  // as the page shows it

struct Answers {
  std::optional<int> correction;
  std::optional<double> typedTsTv;
  std::optional<double> KaKsRatio;
  std::optional<int> division;
};

// The dialogue, one question a row: the text that asks (printed as it stands),
// what the answer is called when the input ends without it, the option that
// gives it instead, and where the answer goes.
struct Question {
  const char* text;
  const char* what;
  const char* option;
  bool (*given)(const Answers&);
  void (*take)(Answers&, const std::string& word);
};

const Question kQuestions[] = {
    {"Use corrected N and S? 0 not use, 1 use\n", "answer to \"Use corrected N and S?\"", "--correction",
     [](const Answers& a) { return a.correction.has_value(); },
     [](Answers& a, const std::string& w) { a.correction = parseCorrection(w); }},
    {"Input transition to transvertion ratio (0.5:no Ts/Tv bias )", "transition/transversion ratio", "--tstv",
     [](const Answers& a) { return a.typedTsTv.has_value(); },
     [](Answers& a, const std::string& w) { a.typedTsTv = parseTsTv(w); }},
    {"Input Ka/Ks rate ratio", "Ka/Ks rate ratio", "--kaks", [](const Answers& a) { return a.KaKsRatio.has_value(); },
     [](Answers& a, const std::string& w) { a.KaKsRatio = parseKaKs(w); }},
    {"Choose amino acid group files:\n 1. Charge\n 2. Polarity\n 3. Miyata and Yasunaga\n 4. Self-defined\n",
     "amino-acid grouping", "--grouping", [](const Answers& a) { return a.division.has_value(); },
     [](Answers& a, const std::string& w) { a.division = parseDivision(w); }},
};

Answers givenAnswers(const Options& o) { return {o.correction, o.typedTsTv, o.KaKsRatio, o.division}; }

// The answers the dialogue cannot get: a quiet run on a terminal would only wait
// (it asks nothing it can be seen asking), and an alignment read from standard
// input leaves nothing there to answer with.
void checkAnswersCanBeRead(const Options& o, const std::vector<std::string>& files) {
  const bool alignmentOnStdin = std::find(files.begin(), files.end(), "-") != files.end();
  if (!alignmentOnStdin && (!o.quiet || !::isatty(STDIN_FILENO))) return;
  const Answers given = givenAnswers(o);
  std::string missing;
  for (const Question& q : kQuestions)
    if (!q.given(given)) missing += (missing.empty() ? "" : ", ") + std::string(q.option);
  if (missing.empty()) return;
  throw RunError(2, std::string(alignmentOnStdin ? "the alignment is read from standard input (-)"
                                                 : "-q asks no question and standard input is a terminal") +
                        "; give the missing answers as options: " + missing);
}

// Asks, with the usual texts, only for the answers the command line did not give.
Answers askMissing(const Options& o) {
  Answers a = givenAnswers(o);
  for (const Question& q : kQuestions) {
    if (q.given(a)) continue;
    if (!o.quiet) {
      std::fputs(q.text, stdout);
      gPromptOpen = q.text[std::strlen(q.text) - 1] != '\n';
    }
    std::fflush(stdout);
    const std::optional<std::string> word = readWord(stdin);
    if (!word) fail(std::string("The input ended before the ") + q.what + " was given.");
    q.take(a, *word);
  }
  return a;
}

void makeFolder(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec || !std::filesystem::is_directory(dir, ec)) fail("Can't create the folder " + dir + ": " + ec.message() + ".");
}

// Without the covariance reports a run needs far less.
const char* const kLighterRun =
    " --reports none writes only the --table and --means tables, a pair at a time, and needs far less.";

// Refuses, before anything large is allocated, a run that cannot fit.
void checkMemory(const Alignment& al, int threads, double maxMemoryMB, bool streaming, int groups) {
  const std::uint64_t need = streaming ? estimateStreamingBytes(al.seqNum, al.seqLength, threads, kStreamBatch, groups)
                                       : estimateRunBytes(al.seqNum, al.seqLength, threads);
  const std::uint64_t have = maxMemoryMB > 0 ? static_cast<std::uint64_t>(maxMemoryMB * 1048576.0) : availableMemoryBytes();
  if (need > have)
    fail("This run of " + std::to_string(al.seqNum) + " sequences of " + std::to_string(al.seqLength) +
         " codons needs about " + std::to_string(need >> 20) + " MB of memory, more than the " +
         std::to_string(have >> 20) + " MB " + (maxMemoryMB > 0 ? "allowed by --max-memory." : "available.") +
         (streaming ? "" : kLighterRun));
}

// Refuses, before the long work, reports that the output folder's file system cannot hold.
void checkDiskSpace(const Alignment& al, const std::string& outdir) {
  const double need = estimateReportBytes(al.seqNum);
  const std::optional<std::uint64_t> have = freeDiskBytes(outdir);
  if (!have || need <= static_cast<double>(*have)) return;
  fail("The reports of " + std::to_string(al.seqNum) + " sequences need about " +
       std::to_string(static_cast<unsigned long long>(need / 1048576.0) + 1) + " MB of disk space, more than the " +
       std::to_string(*have >> 20) + " MB free in " + (outdir.empty() ? "the current folder" : outdir) + "." +
       kLighterRun);
}

// The sequence that --reference names.
int referenceSequence(const Alignment& al, const std::string& name) {
  int found = -1;
  for (int i = 0; i < al.seqNum; ++i) {
    if (displayName(al.names[static_cast<std::size_t>(i)]) != name) continue;
    if (found >= 0) fail("Two sequences are named \"" + name + "\"; --reference needs a name that is unique.");
    found = i;
  }
  if (found < 0) fail("No sequence is named \"" + name + "\" (--reference).");
  return found;
}

// Progress on standard error while it lives, then the summary.
class ProgressScope {
 public:
  explicit ProgressScope(const Options& o, std::size_t alignments)
      : on_(o.progress == 1 || (o.progress < 0 && ::isatty(STDERR_FILENO))) {
    progress().alignmentsTotal = alignments;
    if (on_) startProgress(RADCON_VERSION);
  }
  ~ProgressScope() {
    if (on_) finishProgress();
  }
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;

 private:
  bool on_;
};

// What every alignment of a run shares.
struct Settings {
  const Options& options;
  Answers answers;
  GroupTable indexs;
  const GeneticCode& code;
  double ratio;
  int threads;
};

// Without the covariance reports nothing is kept per pair: pairs go by in
// batches, each counted, tested and turned into rows while the means take their
// sums, in pair order, so every value equals that of a run with reports. Rows go
// to 'emit' as they are made.
template <class Emit>
void streamPairs(const Settings& s, const Alignment& al, const CodonData& codons, const SiteTotals& sites,
                 const std::string& gene, const Clades& clades, const std::vector<SeqPair>& pairs, Emit&& emit,
                 TextBuffer* means, PageGene* page) {
  const Options& o = s.options;
  const double DrDcRatio =
      al.seqNum < 2 ? 1.0 : radicalConservativeRatio(codons, al.seqNum, al.seqLength, s.indexs, s.code);
  const StepRates rates{s.ratio, *s.answers.KaKsRatio, DrDcRatio};
  GroupMeansAccumulator acc(clades.cladeOf, static_cast<int>(clades.labels.size()), al.seqLength);
  struct Batch {
    PairDifferences diff;
    PairStatistics stats;
    TextBuffer rows;
  };
  const std::size_t batches = (pairs.size() + kStreamBatch - 1) / kStreamBatch;
  orderedParallel<Batch>(
      batches, s.threads, static_cast<std::size_t>(s.threads) + 2,
      [&](std::size_t b, Batch& out) {
        const auto first = pairs.begin() + static_cast<std::ptrdiff_t>(b * kStreamBatch);
        const std::vector<SeqPair> some(first, first + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                           kStreamBatch, pairs.size() - b * kStreamBatch)));
        out.diff = countPairs(codons, al.seqNum, al.seqLength, some, rates, s.indexs, s.code, 1);
        out.stats = computeStatistics(sites, out.diff);
        out.rows.clear();
        if (!o.table.empty()) appendPairsRows(out.rows, gene, al.names, out.diff, out.stats, s.code.id);
      },
      [&](std::size_t, Batch& out) {
        emit(out.rows);
        if (means || page) acc.add(out.stats);
        if (page) addPagePairs(*page, out.stats);
      });
  if (!means && !page) return;
  const std::vector<GroupMean> rows = acc.rows();
  if (means) appendMeansRows(*means, gene, rows, clades.labels);
  if (page) page->means = rows;
}

// Reads one alignment and what belongs to it: gaps dropped, clades, the reference.
struct Input {
  Alignment alignment;
  Clades clades;
  int reference = -1;
};
Input readInput(const Options& o, const std::string& file, bool say) {
  Input in;
  in.alignment = readSequenceFile(file, o.dropGappedCodons);
  if (o.dropGappedCodons) {
    const int total = in.alignment.seqLength;
    const int removed = dropGappedCodons(in.alignment);
    if (say) std::printf("Removed %d of %d codons with gaps or ambiguous nucleotides.\n", removed, total);
  }
  if (!o.clades.empty()) in.clades = readCladeFile(o.clades, in.alignment.names);
  if (!o.reference.empty()) in.reference = referenceSequence(in.alignment, o.reference);
  return in;
}

int groupCount(const Clades& c) { return static_cast<int>(c.labels.size() * (c.labels.size() + 1) / 2 + 1); }

// Analyses one alignment. The reports, when there are any, go to 'reports' (the
// seven in order) in 'folder'; table and means rows to 'emit' and 'means'; what
// the HTML page shows to 'page'.
template <class Emit>
void analyse(const Settings& s, const Input& in, const std::string& gene, ReportSet* reports,
             const std::string& folder, Emit&& emit, TextBuffer* means, PageGene* page, bool trace) {
  const Options& o = s.options;
  const Alignment& al = in.alignment;
  if (page) {
    page->gene = gene;
    page->sequences = al.seqNum;
    page->codons = al.seqLength;
    page->cladeLabels = in.clades.labels;
    const std::size_t shown = static_cast<std::size_t>(std::min(al.seqNum, kPageSequences));
    if (page->charts) page->names.assign(al.names.begin(), al.names.begin() + static_cast<std::ptrdiff_t>(shown));
    if (page->charts && !in.clades.cladeOf.empty())
      page->cladeOf.assign(in.clades.cladeOf.begin(), in.clades.cladeOf.begin() + static_cast<std::ptrdiff_t>(shown));
  }
  progress().pairsDone = 0;
  progress().pairsTotal = in.reference >= 0 ? static_cast<std::size_t>(al.seqNum - 1) : pairCount(al.seqNum);
  const CodonData codons = translateAndCount(al, s.code);
  const SiteTotals sites = countSites(al, codons, s.ratio, *s.answers.correction, s.indexs, s.code);
  if (trace && o.geneticCodeGiven) std::printf("Genetic code %d: %s\n", s.code.id, s.code.name);
  if (trace) writeTraceLines(sites, stdout);
  if (!reports) {
    streamPairs(s, al, codons, sites, gene, in.clades,
                in.reference >= 0 ? referencePairs(al.seqNum, in.reference) : allPairs(al.seqNum), emit, means,
                page);
    return;
  }
  PairDifferences differences = countDifferences(codons, al.seqNum, al.seqLength, s.ratio, *s.answers.KaKsRatio,
                                                 s.indexs, s.code, s.threads);
  PairStatistics stats = computeStatistics(sites, differences);
  if (means || page) {  // before the reports release the per-codon deviations
    const std::vector<GroupMean> rows =
        groupMeans(stats, in.clades.cladeOf, static_cast<int>(in.clades.labels.size()));
    if (means) appendMeansRows(*means, gene, rows, in.clades.labels);
    if (page) page->means = rows;
  }
  if (page) addPagePairs(*page, stats);
  writeReports(sites, differences, stats, s.ratio, *s.answers.division, *reports, folder, s.threads);
  if (!o.table.empty()) {
    TextBuffer rows;
    appendPairsRows(rows, gene, al.names, differences, stats, s.code.id);
    emit(rows);
  }
}

// What the HTML page says of the run; its wall time is taken as it is written.
PageRun pageRun(const Settings& s, std::size_t inputs) {
  static const char* const kGroupings[] = {"Charge", "Polarity", "Miyata and Yasunaga", "Self-defined"};
  const Options& o = s.options;
  PageRun r;
  r.version = RADCON_VERSION;
  r.commandLine = gCommandLine;
  r.inputs = inputs;
  r.correction = *s.answers.correction;
  r.typedTsTv = *s.answers.typedTsTv;
  r.tsTvRatio = s.ratio;
  r.KaKsRatio = *s.answers.KaKsRatio;
  r.grouping = o.groupFile.empty() ? kGroupings[*s.answers.division - 1] : "Self-defined: " + o.groupFile;
  r.groups = s.indexs;
  r.geneticCode = s.code.id;
  r.geneticCodeName = s.code.name;
  r.reference = o.reference;
  return r;
}

void writePage(OutputFile& file, PageRun run, const std::vector<PageGene>& genes) {
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - gStart).count();
  TextBuffer page(1 << 20);
  appendHtmlPage(page, run, genes);
  file.write(page);
}

std::vector<std::string> reportPaths(const std::string& folder) {
  std::vector<std::string> paths;
  for (const std::string& name : reportNames()) paths.push_back(pathIn(folder, name));
  return paths;
}

// One alignment, as radcon has always run: the dialogue after the file is read,
// every message on standard output and the reports beside the tables.
int runOne(const Options& o, const std::string& file, int threads) {
  const Input in = readInput(o, file, !o.quiet);
  checkMemory(in.alignment, threads, o.maxMemoryMB, o.reportsNone, groupCount(in.clades));
  if (!o.reportsNone) checkDiskSpace(in.alignment, o.outdir);
  const Answers answers = askMissing(o);
  const ProgressScope shown(o, 1);
  const Settings s{o, answers, o.groupFile.empty() ? loadGrouping(*answers.division) : readGroupFile(o.groupFile),
                   *findGeneticCode(o.geneticCode), finalRatio(*answers.typedTsTv), threads};

  if (!o.outdir.empty() && !o.reportsNone) makeFolder(o.outdir);
  std::vector<std::string> paths = o.reportsNone ? std::vector<std::string>{} : reportPaths(o.outdir);
  const std::size_t tableFile = paths.size();
  if (!o.table.empty()) paths.push_back(o.table);
  const std::size_t meansFile = paths.size();
  if (!o.means.empty()) paths.push_back(o.means);
  const std::size_t pageFile = paths.size();
  if (!o.html.empty()) paths.push_back(o.html);
  ReportSet files(paths);
  TextBuffer text, means;
  if (!o.table.empty()) {
    appendHeader(text, pairsTableColumns());
    files.file(tableFile).write(text);
  }
  if (!o.means.empty()) appendHeader(means, meansTableColumns());
  const auto emit = [&](const TextBuffer& rows) { files.file(tableFile).write(rows); };
  std::vector<PageGene> page(1);
  page[0].charts = true;
  analyse(s, in, geneName(file), o.reportsNone ? nullptr : &files, o.outdir, emit,
          o.means.empty() ? nullptr : &means, o.html.empty() ? nullptr : &page[0], !o.quiet);
  if (!o.means.empty()) files.file(meansFile).write(means);
  if (!o.html.empty()) writePage(files.file(pageFile), pageRun(s, 1), page);
  files.commit();
  ++progress().alignmentsDone;
  return 0;
}

// Several alignments: the answers are asked once; each alignment is analysed on
// its own, its reports (if any) in DIR/GENE/; a file that fails is named on
// standard error and adds no row, and the others go on.
int runBatch(const Options& o, const std::vector<std::string>& files, int threads) {
  const Answers answers = askMissing(o);
  const ProgressScope shown(o, files.size());
  const Settings shared{o, answers,
                        o.groupFile.empty() ? loadGrouping(*answers.division) : readGroupFile(o.groupFile),
                        *findGeneticCode(o.geneticCode), finalRatio(*answers.typedTsTv), threads};
  std::vector<std::string> paths;
  if (!o.table.empty()) paths.push_back(o.table);
  if (!o.means.empty()) paths.push_back(o.means);
  if (!o.html.empty()) paths.push_back(o.html);
  ReportSet tables(paths);
  OutputFile* table = o.table.empty() ? nullptr : &tables.file(0);
  OutputFile* meansFile = o.means.empty() ? nullptr : &tables.file(o.table.empty() ? 0 : 1);
  OutputFile* pageFile = o.html.empty() ? nullptr : &tables.file(paths.size() - 1);
  PageRun run = pageRun(shared, files.size());
  std::vector<PageGene> pageGenes;
  TextBuffer text;
  if (table) {
    appendHeader(text, pairsTableColumns());
    table->write(text);
    text.clear();
  }
  if (meansFile) {
    appendHeader(text, meansTableColumns());
    meansFile->write(text);
  }
  if (!o.reportsNone) makeFolder(o.outdir);

  // One gene's rows for the pairs and means tables and what its page shows, or why it failed.
  struct Result {
    TextBuffer table, means;
    PageGene page;
    std::string error;  // empty: the gene is done
  };
  // One gene, start to end; its reports are put in place only when it succeeds.
  auto one = [&](std::size_t f, Result& r, int innerThreads) {
    r.table.clear();
    r.means.clear();
    r.error.clear();
    const std::string gene = geneName(files[f]);
    r.page = PageGene{};
    r.page.charts = f < kPageChartGenes ||
                    std::find(o.htmlGenes.begin(), o.htmlGenes.end(), gene) != o.htmlGenes.end();
    const std::string folder = o.reportsNone ? "" : pathIn(o.outdir, gene);
    bool made = false;
    try {
      const Input in = readInput(o, files[f], false);
      checkMemory(in.alignment, innerThreads, o.maxMemoryMB, o.reportsNone, groupCount(in.clades));
      Settings s = shared;
      s.threads = innerThreads;
      std::unique_ptr<ReportSet> reports;
      if (!o.reportsNone) {
        made = ::mkdir(folder.c_str(), 0777) == 0;
        if (!made && errno != EEXIST) fail("Can't create the folder " + folder + ": " + std::strerror(errno) + ".");
        checkDiskSpace(in.alignment, folder);
        reports = std::make_unique<ReportSet>(reportPaths(folder));
      }
      const auto emit = [&](const TextBuffer& rows) { r.table.append(std::string_view(rows.data(), rows.size())); };
      analyse(s, in, gene, reports.get(), folder, emit, meansFile ? &r.means : nullptr, pageFile ? &r.page : nullptr,
              false);
      if (reports) reports->commit();
    } catch (const RunError& e) {
      r.error = e.what();
    } catch (const std::bad_alloc&) {
      r.error = "Not enough memory for this alignment.";
    }
    if (!r.error.empty() && made) ::rmdir(folder.c_str());  // no partial report folder
  };
  std::size_t failed = 0;
  auto consume = [&](std::size_t f, Result& r) {
    if (!r.error.empty()) {
      ++failed;
      ++progress().alignmentsFailed;
      printAboveProgress("radcon: " + files[f] + ": " + r.error);
      if (pageFile) run.failures.emplace_back(files[f], r.error);
      return;
    }
    ++progress().alignmentsDone;
    if (table) table->write(r.table);
    if (meansFile) meansFile->write(r.means);
    if (pageFile) pageGenes.push_back(std::move(r.page));
  };
  if (o.reportsNone) {
    // Many small genes: the genes go to the threads, each counted on one.
    orderedParallel<Result>(
        files.size(), threads, static_cast<std::size_t>(threads) + 2,
        [&](std::size_t f, Result& r) { one(f, r, 1); }, consume);
  } else {
    // The reports of one gene at a time, its pairs and covariances on every thread.
    Result r;
    for (std::size_t f = 0; f < files.size(); ++f) {
      one(f, r, threads);
      consume(f, r);
    }
  }
  if (pageFile) writePage(*pageFile, std::move(run), pageGenes);
  tables.commit();
  if (failed > 0) std::fprintf(stderr, "radcon: %zu of %zu alignments failed.\n", failed, files.size());
  return failed > 0 ? 1 : 0;
}

// Two outputs at one path would leave only the one renamed last.
void checkDistinctOutputs(const Options& o, bool single) {
  std::vector<std::pair<std::string, std::string>> outputs;  // option, path
  if (!o.table.empty()) outputs.emplace_back("--table", o.table);
  if (!o.means.empty()) outputs.emplace_back("--means", o.means);
  if (!o.html.empty()) outputs.emplace_back("--html", o.html);
  if (single && !o.reportsNone)
    for (const std::string& name : reportNames()) outputs.emplace_back("the report " + name, pathIn(o.outdir, name));
  std::map<std::filesystem::path, std::string> seen;
  for (const auto& [option, path] : outputs) {
    const auto [it, added] = seen.emplace(std::filesystem::absolute(path).lexically_normal(), option);
    if (!added) throw RunError(2, it->second + " and " + option + " would both be written to " + path);
  }
}

int run(const Options& o) {
  std::vector<std::string> files = o.files;
  if (!o.inputs.empty())
    for (std::string& f : readInputList(o.inputs)) files.push_back(std::move(f));
  if (files.empty()) fail("No sequence file was given. Usage: radcon [OPTION]... SEQUENCE_FILE...");
  checkAnswersCanBeRead(o, files);
  checkDistinctOutputs(o, files.size() == 1);
  if (!o.html.empty() && !pageChartsAvailable())
    fail("--html needs Chart.js, which this radcon was built without: install Debian's libjs-chart.js and rebuild.");
  for (const std::string& g : o.htmlGenes)
    if (std::none_of(files.begin(), files.end(), [&](const std::string& f) { return geneName(f) == g; }))
      fail("--html-genes names \"" + g + "\", which is none of the inputs' genes.");
  const int threads = o.threads > 0 ? o.threads : defaultThreads();
  if (files.size() == 1) {
    const int status = runOne(o, files[0], threads);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      std::fprintf(stderr, "radcon: can't write standard output: %s\n", std::strerror(errno));
      return 1;
    }
    return status;
  }
  // Before any work: genes must be told apart, and reports need folders of their own.
  std::map<std::string, std::string> genes;
  for (const std::string& f : files) {
    const auto [it, added] = genes.emplace(geneName(f), f);
    if (!added)
      throw RunError(2, "the inputs " + it->second + " and " + f + " are both gene \"" + it->first +
                            "\"; rename one, so that the table can tell their rows apart");
  }
  if (!o.reportsNone && o.outdir.empty())
    throw RunError(2, "several alignments write their reports into -o DIR, one folder per gene (or give --reports none)");
  return runBatch(o, files, threads);
}

// Messages go to standard output; when that cannot be written, to standard error.
int report(const char* message, int status, bool lineEnd = true) {
  if (gPromptOpen) std::fputc('\n', stdout);
  std::fputs(message, stdout);
  if (lineEnd) std::fputc('\n', stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) std::fprintf(stderr, "radcon: %s\n", message);
  return status;
}

extern "C" void onSignal(int sig) {
  ReportSet::removeTemporariesForSignal();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// The last resort, should anything ever escape the error path: still no
// temporary file left behind, one message and status 1.
[[noreturn]] void onTerminate() {
  ReportSet::removeTemporariesForSignal();
  static const char message[] = "radcon: the run stopped on an internal error.\n";
  if (::write(STDERR_FILENO, message, sizeof message - 1) < 0) {
  }
  ::_exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  static char stdoutBuffer[1 << 16];
  std::setvbuf(stdout, stdoutBuffer, _IOFBF, sizeof stdoutBuffer);
  // A file-size limit must show as a failed write, not kill the run.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  std::set_terminate(onTerminate);
  try {
    const Options options = parseOptions(argc, argv);
    gCommandLine = shellQuoted(argc, argv);
    if (options.help) {
      std::fputs(usageText().c_str(), stdout);
      return 0;
    }
    if (options.version) {
      std::printf("radcon %s\n", RADCON_VERSION);
      return 0;
    }
    if (options.listGeneticCodes) {
      for (const GeneticCode& c : geneticCodes()) std::printf("%2d  %s\n", c.id, c.name);
      return 0;
    }
    return run(options);
  } catch (const RunError& e) {
    if (e.status() == 2) {
      std::fprintf(stderr, "radcon: %s\nTry 'radcon --help' for more information.\n%s", e.what(),
                   "Usage: radcon [OPTION]... SEQUENCE_FILE...\n");
      return 2;
    }
    return report(e.what(), e.status(), e.lineEnd());
  } catch (const std::bad_alloc&) {
    return report("Not enough memory for this run.", 1);
  } catch (const std::exception& e) {
    return report((std::string("The run failed: ") + e.what() + ".").c_str(), 1);
  } catch (...) {
    return report("The run failed on an unexpected error.", 1);
  }
}
