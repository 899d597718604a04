// radcon: synonymous, nonsynonymous, radical and conservative sites and
// differences of aligned protein-coding sequences, with their proportions,
// Jukes-Cantor distances, variances and covariances.
//
// The pipeline, from the top: the options (input/options) and the dialogue
// (app/dialogue) give the settings (app/settings); the plan (app/plan) checks
// what will be read and written; every alignment of the run (app/batch) is read
// (input/), its codons (codon/) and sites (sites/) counted, and its pairs
// (differences/, stats/) go in batches to the sinks (app/sinks): the pairs
// table, the means, the HTML page and the seven reports (reports/), written
// through files that are put in place only when complete (files/).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "app/batch.h"
#include "app/dialogue.h"
#include "app/signals.h"
#include "codon/genetic_code.h"
#include "input/input_list.h"
#include "input/options.h"
#include "reports/html_page.h"
#include "util/error.h"

using namespace radcon;

namespace {

// What a command that only prints asks for (help, version, the genetic codes,
// gene names); false when it is a run.
bool printOnly(const Options& o) {
  if (o.help) {
    std::fputs(usageText().c_str(), stdout);
  } else if (o.version) {
    std::printf("radcon %s\n", RADCON_VERSION);
  } else if (o.listGeneticCodes) {
    for (const GeneticCode& c : geneticCodes()) std::printf("%2d  %s\n", c.id, c.name);
  } else if (o.geneNames) {
    for (const std::string& f : o.files) std::printf("%s\n", geneName(f).c_str());
  } else {
    return false;
  }
  return true;
}

// Whether standard output carries a table or the page (--table -, --html -, ...): messages then
// go to standard error.
bool gStdoutIsTable = false;

// A failure's message goes to standard output, on a line of its own; when that
// cannot be written, or standard output carries a table, to standard error.
int report(const Dialogue& dialogue, const char* message, int status, bool lineEnd = true) {
  if (gStdoutIsTable) {
    std::fprintf(stderr, "radcon: %s\n", message);
    return status;
  }
  if (dialogue.promptOpen()) std::fputc('\n', stdout);
  std::fputs(message, stdout);
  if (lineEnd) std::fputc('\n', stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) std::fprintf(stderr, "radcon: %s\n", message);
  return status;
}

// Standard output must have reached its reader for a run to count as done.
int flushed(int status) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  std::fprintf(stderr, "radcon: can't write standard output: %s\n", std::strerror(errno));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  static char stdoutBuffer[1 << 16];
  std::setvbuf(stdout, stdoutBuffer, _IOFBF, sizeof stdoutBuffer);
  installTerminationHandling();
  Dialogue dialogue;
  try {
    const Options options = parseOptions(argc, argv);
    gStdoutIsTable = options.table == "-" || options.means == "-" || options.profile == "-" || options.html == "-";
    if (printOnly(options)) return 0;
    return flushed(runAlignments(options, dialogue, shellQuoted(argc, argv)));
  } catch (const RunError& e) {
    if (e.kind() == RunError::kUsage) {
      std::fprintf(stderr, "radcon: %s\nTry 'radcon --help' for more information.\n%s", e.what(),
                   "Usage: radcon [OPTION]... SEQUENCE_FILE...\n");
      return 2;
    }
    return report(dialogue, e.what(), 1);
  } catch (const UntranslatableCodon& e) {
    return report(dialogue, e.what(), 255, false);
  } catch (const std::bad_alloc&) {
    return report(dialogue, "Not enough memory for this run.", 1);
  } catch (const std::exception& e) {
    return report(dialogue, (std::string("The run failed: ") + e.what() + ".").c_str(), 1);
  } catch (...) {
    return report(dialogue, "The run failed on an unexpected error.", 1);
  }
}
