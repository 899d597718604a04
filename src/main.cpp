// radcon: synonymous, nonsynonymous, radical and conservative sites and
// differences of aligned protein-coding sequences, with their proportions,
// Jukes-Cantor distances, variances and covariances.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "codon/frequency.h"
#include "differences/pairwise.h"
#include "input/answers.h"
#include "input/group_file.h"
#include "input/sequence_file.h"
#include "reports/reports.h"
#include "sites/site_totals.h"
#include "stats/statistics.h"
#include "util/error.h"
#include "util/parallel.h"

using namespace radcon;

namespace {

const char* const kUsage =
    "Usage: radcon [--threads N] SEQUENCE_FILE\n"
    "Counts synonymous, nonsynonymous, radical and conservative sites and differences\n"
    "between aligned protein-coding sequences and writes sn.rst, cr.rst, n.dis, s.dis,\n"
    "r.dis, c.dis and outfile in the current directory. Four answers are read from\n"
    "standard input: correction (0 or 1), Ts/Tv ratio (0.5 = no bias), Ka/Ks ratio and\n"
    "grouping (1 charge, 2 polarity, 3 Miyata-Yasunaga, 4 self-defined).\n"
    "\n"
    "  --threads N   threads for the pairwise work (default: all cores)\n"
    "  -h, --help    show this help and exit\n"
    "  -V, --version show the version and exit\n"
    "\n"
    "Exit status: 0 success, 1 bad input or a report that cannot be written,\n"
    "2 bad command line, 255 an untranslatable codon.\n";

struct Options {
  std::string sequenceFile;
  bool haveFile = false;
  int threads = 0;  // 0: every core
};

// True while a prompt without a newline ends standard output.
bool gPromptOpen = false;

void say(const char* text) {
  std::fputs(text, stdout);
  gPromptOpen = text[0] != '\0' && text[std::strlen(text) - 1] != '\n';
}

[[noreturn]] void usageError(const std::string& message) {
  std::fprintf(stderr, "radcon: %s\n%s", message.c_str(), kUsage);
  std::exit(2);
}

Options parseOptions(int argc, char** argv) {
  Options o;
  bool positional = false;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (positional || arg == "-" || arg.empty() || arg[0] != '-') {
      if (!o.haveFile) o.sequenceFile = arg;  // further arguments are ignored
      o.haveFile = true;
      continue;
    }
    if (arg == "--") {
      positional = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (arg == "-V" || arg == "--version") {
      std::printf("radcon %s\n", RADCON_VERSION);
      std::exit(0);
    }
    if (arg == "--threads" || arg.rfind("--threads=", 0) == 0) {
      std::string value;
      if (arg == "--threads") {
        if (k + 1 >= argc) usageError("option --threads needs a value");
        value = argv[++k];
      } else {
        value = arg.substr(10);
      }
      char* end = nullptr;
      const long v = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || v < 1 || v > 1024)
        usageError("option --threads needs a whole number from 1 to 1024, not \"" + value + "\"");
      o.threads = static_cast<int>(v);
      continue;
    }
    usageError("unknown option " + arg);
  }
  return o;
}

// One answer of the dialogue: the next word of standard input.
std::string answer(const char* what) {
  std::fflush(stdout);
  const std::optional<std::string> word = readWord(stdin);
  if (!word) fail(std::string("The input ended before the ") + what + " was given.");
  return *word;
}

struct Answers {
  int correction = 0;
  double typedTsTv = 0;
  double KaKsRatio = 0;
  int division = 0;
};

Answers dialogue() {
  Answers a;
  say("Use corrected N and S? 0 not use, 1 use\n");
  a.correction = parseCorrection(answer("answer to \"Use corrected N and S?\""));
  say("Input transition to transvertion ratio (0.5:no Ts/Tv bias )");
  a.typedTsTv = parseTsTv(answer("transition/transversion ratio"));
  say("Input Ka/Ks rate ratio");
  a.KaKsRatio = parseKaKs(answer("Ka/Ks rate ratio"));
  say("Choose amino acid group files:\n");
  say(" 1. Charge\n");
  say(" 2. Polarity\n");
  say(" 3. Miyata and Yasunaga\n");
  say(" 4. Self-defined\n");
  a.division = parseDivision(answer("amino-acid grouping"));
  return a;
}

int run(const Options& o) {
  if (!o.haveFile) fail("No sequence file was given. Usage: radcon SEQUENCE_FILE");
  const int threads = o.threads > 0 ? o.threads : defaultThreads();

  const Alignment alignment = readSequenceFile(o.sequenceFile);
  const Answers answers = dialogue();
  const GroupTable indexs = loadGrouping(answers.division);
  const std::string folder;  // the current directory
  ReportSet reports(folder, reportNames());

  const CodonData codons = translateAndCount(alignment);
  const double ratio = finalRatio(answers.typedTsTv);
  const SiteTotals sites = countSites(alignment, codons, ratio, answers.KaKsRatio, answers.correction, indexs);
  writeTraceLines(sites, stdout);
  PairDifferences differences = countDifferences(codons, alignment.seqNum, alignment.seqLength, ratio,
                                                 answers.KaKsRatio, indexs, threads);
  PairStatistics stats = computeStatistics(sites, differences);
  writeReports(sites, differences, stats, ratio, answers.division, reports, folder, threads);
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
  const Options options = parseOptions(argc, argv);
  try {
    return run(options);
  } catch (const RunError& e) {
    return report(e.what(), e.status());
  } catch (const std::bad_alloc&) {
    return report("Not enough memory for this run.", 1);
  }
}
