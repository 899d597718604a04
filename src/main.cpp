// radcon: synonymous, nonsynonymous, radical and conservative sites and
// differences of aligned protein-coding sequences, with their proportions,
// Jukes-Cantor distances, variances and covariances.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

#include "codon/frequency.h"
#include "differences/pairwise.h"
#include "input/answers.h"
#include "input/group_file.h"
#include "input/options.h"
#include "input/sequence_file.h"
#include "reports/pairs_table.h"
#include "reports/reports.h"
#include "sites/site_totals.h"
#include "stats/statistics.h"
#include "util/error.h"
#include "util/memory.h"
#include "util/parallel.h"

using namespace radcon;

namespace {

// True while a prompt without a newline ends standard output.
bool gPromptOpen = false;

struct Answers {
  int correction = 0;
  double typedTsTv = 0;
  double KaKsRatio = 0;
  int division = 0;
};

class Dialogue {
 public:
  explicit Dialogue(bool quiet) : quiet_(quiet) {}
  void say(const char* text) {
    if (quiet_) return;
    std::fputs(text, stdout);
    gPromptOpen = text[0] != '\0' && text[std::strlen(text) - 1] != '\n';
  }
  // The next word of standard input.
  std::string answer(const char* what) {
    std::fflush(stdout);
    const std::optional<std::string> word = readWord(stdin);
    if (!word) fail(std::string("The input ended before the ") + what + " was given.");
    return *word;
  }

 private:
  bool quiet_;
};

// Asks, with the usual texts, only for the answers the command line did not give.
Answers askMissing(const Options& o) {
  Dialogue d(o.quiet);
  Answers a;
  if (o.correction) {
    a.correction = *o.correction;
  } else {
    d.say("Use corrected N and S? 0 not use, 1 use\n");
    a.correction = parseCorrection(d.answer("answer to \"Use corrected N and S?\""));
  }
  if (o.typedTsTv) {
    a.typedTsTv = *o.typedTsTv;
  } else {
    d.say("Input transition to transvertion ratio (0.5:no Ts/Tv bias )");
    a.typedTsTv = parseTsTv(d.answer("transition/transversion ratio"));
  }
  if (o.KaKsRatio) {
    a.KaKsRatio = *o.KaKsRatio;
  } else {
    d.say("Input Ka/Ks rate ratio");
    a.KaKsRatio = parseKaKs(d.answer("Ka/Ks rate ratio"));
  }
  if (o.division) {
    a.division = *o.division;
  } else {
    d.say("Choose amino acid group files:\n");
    d.say(" 1. Charge\n");
    d.say(" 2. Polarity\n");
    d.say(" 3. Miyata and Yasunaga\n");
    d.say(" 4. Self-defined\n");
    a.division = parseDivision(d.answer("amino-acid grouping"));
  }
  return a;
}

void makeFolder(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec || !std::filesystem::is_directory(dir, ec)) fail("Can't create the folder " + dir + ": " + ec.message() + ".");
}

// Refuses, before anything large is allocated, a run that cannot fit.
void checkMemory(const Alignment& al, int threads, double maxMemoryMB) {
  const std::uint64_t need = estimateRunBytes(al.seqNum, al.seqLength, threads);
  const std::uint64_t have = maxMemoryMB > 0 ? static_cast<std::uint64_t>(maxMemoryMB * 1048576.0) : availableMemoryBytes();
  if (need > have)
    fail("This run of " + std::to_string(al.seqNum) + " sequences of " + std::to_string(al.seqLength) +
         " codons needs about " + std::to_string(need >> 20) + " MB of memory, more than the " +
         std::to_string(have >> 20) + " MB " + (maxMemoryMB > 0 ? "allowed by --max-memory." : "available."));
}

int run(const Options& o) {
  if (!o.sequenceFile) fail("No sequence file was given. Usage: radcon [OPTION]... SEQUENCE_FILE");
  const int threads = o.threads > 0 ? o.threads : defaultThreads();

  Alignment alignment = readSequenceFile(*o.sequenceFile, o.dropGappedCodons);
  if (o.dropGappedCodons) {
    const int total = alignment.seqLength;
    const int removed = dropGappedCodons(alignment);
    if (!o.quiet) std::printf("Removed %d of %d codons with gaps or ambiguous nucleotides.\n", removed, total);
  }
  checkMemory(alignment, threads, o.maxMemoryMB);
  const Answers answers = askMissing(o);
  const GroupTable indexs = o.groupFile.empty() ? loadGrouping(answers.division) : readGroupFile(o.groupFile);

  if (!o.outdir.empty()) makeFolder(o.outdir);
  std::vector<std::string> paths;
  for (const std::string& name : reportNames()) paths.push_back(pathIn(o.outdir, name));
  if (!o.table.empty()) paths.push_back(o.table);
  ReportSet reports(paths);

  const CodonData codons = translateAndCount(alignment);
  const double ratio = finalRatio(answers.typedTsTv);
  const SiteTotals sites = countSites(alignment, codons, ratio, answers.KaKsRatio, answers.correction, indexs);
  if (!o.quiet) writeTraceLines(sites, stdout);
  PairDifferences differences = countDifferences(codons, alignment.seqNum, alignment.seqLength, ratio,
                                                 answers.KaKsRatio, indexs, threads);
  PairStatistics stats = computeStatistics(sites, differences);
  writeReports(sites, differences, stats, ratio, answers.division, reports, o.outdir, threads);
  if (!o.table.empty()) writePairsTable(reports.file(reportNames().size()), alignment.names, sites, differences, stats);
  reports.commit();

  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "radcon: can't write standard output: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}

// Messages go to standard output; when that cannot be written, to standard error.
int report(const char* message, int status) {
  if (gPromptOpen) std::fputc('\n', stdout);
  std::printf("%s\n", message);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) std::fprintf(stderr, "radcon: %s\n", message);
  return status;
}

extern "C" void onSignal(int sig) {
  ReportSet::removeTemporariesForSignal();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

}  // namespace

int main(int argc, char** argv) {
  static char stdoutBuffer[1 << 16];
  std::setvbuf(stdout, stdoutBuffer, _IOFBF, sizeof stdoutBuffer);
  // A file-size limit must show as a failed write, not kill the run.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
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
    return run(options);
  } catch (const RunError& e) {
    if (e.status() == 2) {
      std::fprintf(stderr, "radcon: %s\nTry 'radcon --help' for more information.\n%s", e.what(),
                   "Usage: radcon [OPTION]... SEQUENCE_FILE\n");
      return 2;
    }
    return report(e.what(), e.status());
  } catch (const std::bad_alloc&) {
    return report("Not enough memory for this run.", 1);
  }
}
