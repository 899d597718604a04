// Prints the Ts/Tv estimate of each alignment file, one TSV line a file, for the
// simulation benchmark (simulate_tests.py) until radcon's command line prints it.
//
// usage: tstv_files [--genetic-code N] [--gamma-shape A] [--max-divergence P] FILE...
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "codon/frequency.h"
#include "codon/genetic_code.h"
#include "input/sequence_file.h"
#include "stats/tstv_estimate.h"
#include "util/c_locale.h"
#include "util/error.h"

int main(int argc, char** argv) {
  using namespace radcon;
  CLocaleScope locale;
  const GeneticCode* code = &standardCode();
  TsTvOptions options;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 < argc && a == "--genetic-code") {
      code = findGeneticCode(std::atoi(argv[++i]));
      if (!code) {
        std::fprintf(stderr, "tstv_files: no such genetic code\n");
        return 2;
      }
    } else if (i + 1 < argc && a == "--gamma-shape") {
      options.gammaShape = std::atof(argv[++i]);
    } else if (i + 1 < argc && a == "--max-divergence") {
      options.maxDivergence = std::atof(argv[++i]);
    } else {
      files.push_back(a);
    }
  }
  std::printf("file\ttstv\tlower\tupper\tse_log\testimated\tsequences\tpairs\tsites\ttransitions\ttransversions\tnote\n");
  int status = 0;
  for (const std::string& f : files) {
    try {
      Alignment al = readSequenceFile(f, true);
      dropGappedCodons(al);
      const CodonData d = translateAndCount(al, *code);
      const TsTvEstimate e = estimateTsTv(d.codon, al.seqNum, al.seqLength, *code, options);
      std::printf("%s\t%.6g\t%.6g\t%.6g\t%.6g\t%d\t%d\t%d\t%lld\t%lld\t%lld\t%s\n", f.c_str(), e.typed, e.lower, e.upper,
                  e.seLog, e.estimated ? 1 : 0, e.sequences, e.pairs, static_cast<long long>(e.sites),
                  static_cast<long long>(e.transitions), static_cast<long long>(e.transversions), e.note.c_str());
    } catch (const RunError& err) {
      std::fprintf(stderr, "tstv_files: %s: %s\n", f.c_str(), err.what());
      status = 1;
    }
  }
  return status;
}
