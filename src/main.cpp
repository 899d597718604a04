// radcon: synonymous, nonsynonymous, radical and conservative sites and
// differences of aligned protein-coding sequences, with their proportions,
// Jukes-Cantor distances, variances and covariances.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
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
#include "input/options.h"
#include "input/sequence_file.h"
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

using namespace radcon;

namespace {

// True while a prompt without a newline ends standard output.
bool gPromptOpen = false;

// Pairs a streaming run counts, tests and writes at a time.
constexpr int kStreamBatch = 256;

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
void checkAnswersCanBeRead(const Options& o) {
  const bool alignmentOnStdin = o.sequenceFile && *o.sequenceFile == "-";
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

// Everything a run computes from, once the inputs are read.
struct RunInputs {
  const Alignment& alignment;
  const CodonData& codons;
  const SiteTotals& sites;
  const GroupTable& indexs;
  const GeneticCode& code;
  double ratio;
  double KaKsRatio;
  const Clades& clades;
};

// Without the covariance reports nothing is kept per pair: pairs go by in
// batches, each counted, tested and written while the means take their sums, in
// pair order, so every value equals that of a run with reports.
void streamPairs(const RunInputs& in, const std::vector<SeqPair>& pairs, OutputFile* table, OutputFile* means,
                 int threads) {
  const Alignment& al = in.alignment;
  const double DrDcRatio = al.seqNum < 2 ? 1.0 : radicalConservativeRatio(in.codons, al.seqNum, al.seqLength,
                                                                           in.indexs, in.code);
  const StepRates rates{in.ratio, in.KaKsRatio, DrDcRatio};
  if (table) writePairsTableHeader(*table);
  GroupMeansAccumulator acc(in.clades.cladeOf, static_cast<int>(in.clades.labels.size()), al.seqLength);
  struct Batch {
    PairDifferences diff;
    PairStatistics stats;
    TextBuffer rows;
  };
  const std::size_t batches = (pairs.size() + kStreamBatch - 1) / kStreamBatch;
  orderedParallel<Batch>(
      batches, threads, static_cast<std::size_t>(threads) + 2,
      [&](std::size_t b, Batch& out) {
        const auto first = pairs.begin() + static_cast<std::ptrdiff_t>(b * kStreamBatch);
        const std::vector<SeqPair> some(first, first + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                           kStreamBatch, pairs.size() - b * kStreamBatch)));
        out.diff = countPairs(in.codons, al.seqNum, al.seqLength, some, rates, in.indexs, in.code, 1);
        out.stats = computeStatistics(in.sites, out.diff);
        out.rows.clear();
        if (table) appendPairsRows(out.rows, al.names, out.diff, out.stats, in.code.id);
      },
      [&](std::size_t, Batch& out) {
        if (table) table->write(out.rows);
        if (means) acc.add(out.stats);
      });
  if (means) writeMeansTable(*means, acc.rows(), in.clades.labels);
}

int run(const Options& o) {
  if (!o.sequenceFile) fail("No sequence file was given. Usage: radcon [OPTION]... SEQUENCE_FILE");
  checkAnswersCanBeRead(o);
  const int threads = o.threads > 0 ? o.threads : defaultThreads();

  Alignment alignment = readSequenceFile(*o.sequenceFile, o.dropGappedCodons);
  if (o.dropGappedCodons) {
    const int total = alignment.seqLength;
    const int removed = dropGappedCodons(alignment);
    if (!o.quiet) std::printf("Removed %d of %d codons with gaps or ambiguous nucleotides.\n", removed, total);
  }
  const Clades clades = o.clades.empty() ? Clades{} : readCladeFile(o.clades, alignment.names);
  const int reference = o.reference.empty() ? -1 : referenceSequence(alignment, o.reference);
  const std::size_t cladeCount = clades.labels.size();
  checkMemory(alignment, threads, o.maxMemoryMB, o.reportsNone, static_cast<int>(cladeCount * (cladeCount + 1) / 2 + 1));
  if (!o.reportsNone) checkDiskSpace(alignment, o.outdir);
  const Answers answers = askMissing(o);
  const GroupTable indexs = o.groupFile.empty() ? loadGrouping(*answers.division) : readGroupFile(o.groupFile);

  if (!o.outdir.empty() && !o.reportsNone) makeFolder(o.outdir);
  std::vector<std::string> paths;
  if (!o.reportsNone)
    for (const std::string& name : reportNames()) paths.push_back(pathIn(o.outdir, name));
  const std::size_t tableFile = paths.size();
  if (!o.table.empty()) paths.push_back(o.table);
  const std::size_t meansFile = paths.size();
  if (!o.means.empty()) paths.push_back(o.means);
  ReportSet reports(paths);
  OutputFile* table = o.table.empty() ? nullptr : &reports.file(tableFile);
  OutputFile* means = o.means.empty() ? nullptr : &reports.file(meansFile);

  const GeneticCode& code = *findGeneticCode(o.geneticCode);
  const CodonData codons = translateAndCount(alignment, code);
  const double ratio = finalRatio(*answers.typedTsTv);
  const SiteTotals sites = countSites(alignment, codons, ratio, *answers.correction, indexs, code);
  if (!o.quiet && o.geneticCodeGiven) std::printf("Genetic code %d: %s\n", code.id, code.name);
  if (!o.quiet) writeTraceLines(sites, stdout);
  if (o.reportsNone) {
    const RunInputs in{alignment, codons, sites, indexs, code, ratio, *answers.KaKsRatio, clades};
    streamPairs(in, reference >= 0 ? referencePairs(alignment.seqNum, reference) : allPairs(alignment.seqNum), table,
                means, threads);
  } else {
    PairDifferences differences = countDifferences(codons, alignment.seqNum, alignment.seqLength, ratio,
                                                   *answers.KaKsRatio, indexs, code, threads);
    PairStatistics stats = computeStatistics(sites, differences);
    if (means)  // before the reports release the per-codon deviations
      writeMeansTable(*means, groupMeans(stats, clades.cladeOf, static_cast<int>(cladeCount)), clades.labels);
    writeReports(sites, differences, stats, ratio, *answers.division, reports, o.outdir, threads);
    if (table) writePairsTable(*table, alignment.names, differences, stats, code.id);
  }
  reports.commit();

  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "radcon: can't write standard output: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
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
                   "Usage: radcon [OPTION]... SEQUENCE_FILE\n");
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
