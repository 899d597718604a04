#include "input/options.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "codon/genetic_code.h"
#include "input/answers.h"
#include "input/number_words.h"
#include "util/error.h"

namespace radcon {

namespace {

struct OptionSpec {
  char shortName;  // 0: long form only
  const char* longName;
  const char* valueName;  // nullptr: a flag without value
  const char* help;
  void (*apply)(Options&, const std::string&);
};

int parseThreads(const std::string& v) {
  const auto n = wholeWord(v, 1, 1024);
  if (!n) usage("option --threads needs a whole number from 1 to 1024, not \"" + v + "\"");
  return static_cast<int>(*n);
}

void setGeneticCode(Options& o, const std::string& v) {
  if (v == "list") {
    o.listGeneticCodes = true;
    return;
  }
  const auto id = wholeWord(v, 1, 1000);
  if (!id || !findGeneticCode(static_cast<int>(*id)))
    fail("There is no genetic code \"" + v + "\"; radcon --genetic-code list shows the NCBI tables radcon knows.");
  o.geneticCode = static_cast<int>(*id);
  o.geneticCodeGiven = true;
}

double parseMaxMemory(const std::string& v) {
  const auto mb = realWord(v);
  if (!mb || !(*mb >= 1 && *mb <= 1e9))
    usage("option --max-memory needs a number of megabytes from 1 to 1e9, not \"" + v + "\"");
  return *mb;
}

void setGrouping(Options& o, const std::string& v) {
  static const char* const names[] = {"charge", "polarity", "my", "self"};
  for (int d = 0; d < 4; ++d)
    if (v == names[d]) {
      o.answers.division = d + 1;
      o.groupFile.clear();
      return;
    }
  if (v.empty()) fail("The grouping must be charge, polarity, my, self or the path of a group file.");
  o.answers.division = 4;  // a file of the user's own: a self-defined grouping
  o.groupFile = v;
}

// A number of codons for the profile's windows.
int windowCodons(const char* option, const std::string& v) {
  const auto n = wholeWord(v, 1, 1000000000);
  if (!n) usage(std::string("option ") + option + " needs a whole number of codons from 1 to 1000000000, not \"" + v + "\"");
  return static_cast<int>(*n);
}

// A file's name: an empty one would be taken for an option not given.
std::string fileName(const char* option, const std::string& v) {
  if (v.empty()) usage(std::string("option ") + option + " needs a file name");
  return v;
}

const std::vector<OptionSpec>& table() {
  static const std::vector<OptionSpec> t = {
      {'c', "correction", "N", "answer to \"Use corrected N and S?\": 0 not use, 1 use",
       [](Options& o, const std::string& v) { o.answers.correction = parseCorrection(v); }},
      {'t', "tstv", "X",
       "transition/transversion ratio: a number (0.5: no bias; half the kappa of PAML and the codon-model "
       "literature), or estimate: from each alignment's fourfold-degenerate sites",
       [](Options& o, const std::string& v) { o.answers.tstv = parseTsTv(v); }},
      {'k', "kaks", "X", "Ka/Ks rate ratio, 1e-6 to 1e6",
       [](Options& o, const std::string& v) { o.answers.KaKsRatio = parseKaKs(v); }},
      {'g', "grouping", "G", "charge, polarity, my (Miyata-Yasunaga), self, or the path of a group file",
       setGrouping},
      {0, "site-model", "M",
       "neighbour (default: each codon's neighbours weighed, three sites a codon) or mutation (each mutation "
       "weighed once, mutations to stop codons lost)",
       [](Options& o, const std::string& v) {
         if (v != "neighbour" && v != "mutation") usage("option --site-model takes neighbour or mutation, not \"" + v + "\"");
         o.siteModel = v == "mutation" ? SiteModel::kMutation : SiteModel::kNeighbour;
         o.siteModelGiven = true;
       }},
      {'o', "outdir", "DIR", "write the reports into DIR (created if missing)",
       [](Options& o, const std::string& v) { o.outdir = v; }},
      {'q', "quiet", nullptr, "no dialogue echo and no trace lines", [](Options& o, const std::string&) { o.quiet = true; }},
      {0, "genetic-code", "N", "NCBI translation table N (default 1, standard); list: show them all",
       setGeneticCode},
      {0, "table", "FILE", "also write a tab-separated table of every pair to FILE (-: standard output)",
       [](Options& o, const std::string& v) { o.table = fileName("--table", v); }},
      {0, "means", "FILE", "also write means over groups of pairs, with covariance-aware errors and tests, to FILE (-: standard output)",
       [](Options& o, const std::string& v) { o.means = fileName("--means", v); }},
      {0, "profile", "FILE",
       "also write the means of --means in windows along the gene, with q-values over the windows, to FILE "
       "(-: standard output)",
       [](Options& o, const std::string& v) { o.profile = fileName("--profile", v); }},
      {0, "window", "W", "codons a window of --profile spans (default 30; 1: one row a codon)",
       [](Options& o, const std::string& v) { o.window = windowCodons("--window", v), o.windowGiven = true; }},
      {0, "step", "S", "codons from one window of --profile to the next (default 10, or W when shorter)",
       [](Options& o, const std::string& v) { o.step = windowCodons("--step", v), o.windowGiven = true; }},
      {0, "clades", "FILE", "groups for --means, --profile and --html: a sequence name and a clade label a line",
       [](Options& o, const std::string& v) { o.clades = fileName("--clades", v); }},
      {0, "html", "FILE", "also write a self-contained HTML page with tables and charts to FILE (-: standard output)",
       [](Options& o, const std::string& v) { o.html = fileName("--html", v); }},
      {0, "html-genes", "LIST", "genes (comma-separated) whose charts a batch's page carries besides the first 50",
       [](Options& o, const std::string& v) {
         o.htmlGenes.clear();
         for (std::size_t from = 0; from <= v.size();) {
           const std::size_t comma = std::min(v.find(',', from), v.size());
           if (comma > from) o.htmlGenes.push_back(v.substr(from, comma - from));
           from = comma + 1;
         }
         if (o.htmlGenes.empty()) usage("option --html-genes needs at least one gene name");
       }},
      {0, "reports", "WHICH",
       "all (the seven reports, default) or none (only --table, --means, --profile and --html, pairs streamed)",
       [](Options& o, const std::string& v) {
         if (v != "all" && v != "none") usage("option --reports takes all or none, not \"" + v + "\"");
         o.reportsNone = v == "none";
       }},
      {0, "inputs", "LIST", "also analyse the alignments LIST names, one path a line (-: standard input)",
       [](Options& o, const std::string& v) { o.inputs = fileName("--inputs", v); }},
      {0, "reference", "NAME", "only the pairs of sequence NAME with every other (with --reports none)",
       [](Options& o, const std::string& v) { o.reference = v; }},
      {0, "drop-gapped-codons", nullptr,
       "remove every codon column with a gap or ambiguous nucleotide in any sequence",
       [](Options& o, const std::string&) { o.dropGappedCodons = true; }},
      {0, "drop-stop-codons", nullptr, "remove every codon column with a stop codon (of the genetic code) in any sequence",
       [](Options& o, const std::string&) { o.dropStopCodons = true; }},
      {0, "bootstrap", "N",
       "also N bootstrap replicates of the codon columns: bootstrap errors and p-values in --means (10 to 100000)",
       [](Options& o, const std::string& v) {
         const auto n = wholeWord(v, 10, 100000);
         if (!n) usage("option --bootstrap needs a whole number of replicates from 10 to 100000, not \"" + v + "\"");
         o.bootstrap = static_cast<int>(*n);
       }},
      {0, "jackknife", "N",
       "also the means again without each of N blocks of codon columns: jackknife errors and tests in --means (2 to 1000)",
       [](Options& o, const std::string& v) {
         const auto n = wholeWord(v, 2, 1000);
         if (!n) usage("option --jackknife needs a whole number of blocks from 2 to 1000, not \"" + v + "\"");
         o.jackknife = static_cast<int>(*n);
       }},
      {0, "expected-ratio", nullptr,
       "the jackknife's dR-dC test against the dR/dC expected if radical and conservative changes were kept alike, "
       "from the gene's codon model at each pair's divergence (needs --jackknife)",
       [](Options& o, const std::string&) { o.expectedRatio = true; }},
      {0, "seed", "S", "seed of the bootstrap's replicates (default 1): the same seed, the same values",
       [](Options& o, const std::string& v) {
         const auto n = wholeWord(v, 0, LLONG_MAX);
         if (!n) usage("option --seed needs a whole number from 0 to 9223372036854775807, not \"" + v + "\"");
         o.seed = static_cast<std::uint64_t>(*n);
       }},
      {0, "threads", "N", "threads for the pairwise work (default: every core)",
       [](Options& o, const std::string& v) { o.threads = parseThreads(v); }},
      {0, "max-memory", "MB", "refuse a run that needs more memory than this (default: what is available)",
       [](Options& o, const std::string& v) { o.maxMemoryMB = parseMaxMemory(v); }},
      {0, "progress", nullptr, "show progress on standard error (default: when it is a terminal)",
       [](Options& o, const std::string&) { o.progress = 1; }},
      {0, "no-progress", nullptr, "show no progress", [](Options& o, const std::string&) { o.progress = 0; }},
      {0, "gene-name", nullptr, "print the gene name of each SEQUENCE_FILE, one a line, and exit (for workflows)",
       [](Options& o, const std::string&) { o.geneNames = true; }},
      {'h', "help", nullptr, "show this help and exit", [](Options& o, const std::string&) { o.help = true; }},
      {'V', "version", nullptr, "show the version and exit", [](Options& o, const std::string&) { o.version = true; }},
  };
  return t;
}

const OptionSpec* findLong(const std::string& name) {
  for (const OptionSpec& s : table())
    if (name == s.longName) return &s;
  return nullptr;
}

const OptionSpec* findShort(char c) {
  for (const OptionSpec& s : table())
    if (s.shortName == c) return &s;
  return nullptr;
}

}  // namespace

std::string usageText() {
  std::string u =
      "Usage: radcon [OPTION]... SEQUENCE_FILE...\n"
      "Counts synonymous, nonsynonymous, radical and conservative sites and differences\n"
      "between aligned protein-coding sequences, with proportions, Jukes-Cantor distances,\n"
      "variances and covariances.\n"
      "\n"
      "Input: the native format (a header \"count length\", then a name line and a line\n"
      "of nucleotides per sequence), PHYLIP, or an aligned FASTA file (first character\n"
      "'>'), gzip-compressed or not; - is standard input. Several alignments make a\n"
      "batch: one table with a gene column, reports in -o DIR/GENE/ or none.\n"
      "Answers not given as options are asked on standard input: correction, Ts/Tv,\n"
      "Ka/Ks and grouping (1 charge, 2 polarity, 3 Miyata-Yasunaga, 4 self-defined).\n"
      "\n"
      "Options:\n";
  for (const OptionSpec& s : table()) {
    std::string left = s.shortName ? std::string("  -") + s.shortName + ", --" : std::string("      --");
    left += s.longName;
    if (s.valueName) left += std::string(" ") + s.valueName;
    if (left.size() < 30) left.resize(30, ' ');
    else left += "  ";
    u += left + s.help + "\n";
  }
  u +=
      "\n"
      "Outputs: sn.rst, cr.rst, n.dis, s.dis, r.dis, c.dis and outfile, in the current\n"
      "directory or --outdir; the dialogue and one trace line per codon on standard output.\n"
      "\n"
      "Exit status: 0 success; 1 bad input, a report that cannot be written, too\n"
      "little memory or disk space, or any alignment of a batch that failed; 2 bad\n"
      "command line; 255 an untranslatable codon.\n";
  return u;
}

Options parseOptionWords(int argc, const char* const* argv) {
  Options o;
  bool positional = false;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (positional || arg.size() < 2 || arg[0] != '-') {
      o.files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      positional = true;
      continue;
    }
    const OptionSpec* option = nullptr;
    std::optional<std::string> value;
    std::string shown;
    if (arg[1] == '-') {
      const std::size_t eq = arg.find('=');
      const std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
      option = findLong(name);
      shown = "--" + name;
      if (!option) usage("unknown option " + shown);
      if (eq != std::string::npos) {
        if (!option->valueName) usage("option " + shown + " takes no value");
        value = arg.substr(eq + 1);
      }
    } else {
      // Short flags may be grouped (-qh); a short option's value may follow it directly (-c1).
      for (std::size_t p = 1; p < arg.size(); ++p) {
        option = findShort(arg[p]);
        shown = std::string("-") + arg[p];
        if (!option) usage("unknown option " + shown);
        if (option->valueName) {
          if (p + 1 < arg.size()) value = arg.substr(p + 1);
          break;
        }
        if (p + 1 < arg.size()) option->apply(o, "");
      }
    }
    if (option->valueName && !value) {
      if (k + 1 >= argc) usage("option " + shown + " needs a value");
      value = argv[++k];
    }
    option->apply(o, value ? *value : "");
  }
  return o;
}

void checkWindows(const Options& o) {
  if (o.step > o.window)  // a step given, longer than the window
    usage("--step " + std::to_string(o.step) + " is longer than --window " + std::to_string(o.window) +
          ": the codons between the windows would be in none");
}

void checkCombinations(const Options& o) {
  if (!o.clades.empty() && o.means.empty() && o.profile.empty() && o.html.empty())
    usage("option --clades needs --means, --profile or --html, the outputs the clades group");
  if (o.reportsNone && o.table.empty() && o.means.empty() && o.profile.empty() && o.html.empty())
    usage("--reports none writes nothing without --table, --means, --profile or --html");
  if (o.windowGiven && o.profile.empty() && o.html.empty())
    usage("options --window and --step need --profile or --html, the outputs with windows");
  checkWindows(o);
  if (!o.htmlGenes.empty() && o.html.empty()) usage("option --html-genes needs --html, the page it adds charts to");
  if (o.bootstrap > 0 && o.means.empty()) usage("option --bootstrap needs --means, the table its columns go to");
  if (o.jackknife > 0 && o.means.empty()) usage("option --jackknife needs --means, the table its columns go to");
  if (o.expectedRatio && o.jackknife == 0) usage("option --expected-ratio needs --jackknife, the test it changes");
  if (!o.reference.empty() && !o.reportsNone)
    usage("option --reference needs --reports none: the reports cover every pair");
}

Options parseOptions(int argc, const char* const* argv) {
  Options o = parseOptionWords(argc, argv);
  checkCombinations(o);
  return o;
}

}  // namespace radcon
