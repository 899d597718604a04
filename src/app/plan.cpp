#include "app/plan.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "app/analysis.h"
#include "app/dialogue.h"
#include "files/report_set.h"
#include "input/group_file.h"
#include "input/input_list.h"
#include "reports/html_page.h"
#include "reports/reports.h"
#include "stats/profile.h"
#include "util/disk_space.h"
#include "util/error.h"
#include "util/memory.h"

namespace radcon {

namespace {

// Without the covariance reports a run needs far less.
const char* const kLighterRun =
    " --reports none writes only the --table, --means and --profile tables, a pair at a time, and needs far less.";

std::filesystem::path normalised(const std::string& path) { return std::filesystem::absolute(path).lexically_normal(); }

// The tables and the page asked for: option, path (- for standard output).
std::vector<std::pair<std::string, std::string>> tableOutputs(const Options& o) {
  std::vector<std::pair<std::string, std::string>> outputs;
  for (const auto& [option, path] :
       {std::pair{"--table", &o.table}, {"--means", &o.means}, {"--profile", &o.profile}, {"--html", &o.html}})
    if (!path->empty()) outputs.emplace_back(option, *path);
  return outputs;
}

// Where a run's outputs go, each with what messages call it: the tables, the
// page, the report folders and the reports in them.
std::vector<std::pair<std::string, std::string>> outputPaths(const Options& o, const std::vector<std::string>& files) {
  std::vector<std::pair<std::string, std::string>> outputs;
  for (const auto& [option, path] : tableOutputs(o))
    if (path != "-") outputs.emplace_back(option + " " + path, path);
  if (o.reportsNone) return outputs;
  std::vector<std::string> folders;
  if (files.size() == 1) {
    folders.push_back(o.outdir);
  } else {
    for (const std::string& f : files) folders.push_back(pathIn(o.outdir, geneName(f)));
  }
  for (const std::string& folder : folders) {
    if (!folder.empty()) outputs.emplace_back("the report folder " + folder, folder);
    for (const std::string& name : reportNames()) outputs.emplace_back("the report " + pathIn(folder, name), pathIn(folder, name));
  }
  return outputs;
}

// A gene whose name cannot be a folder's: "" or "." would put its reports into
// the report folder itself, ".." above it.
bool folderName(const std::string& gene) { return !gene.empty() && gene != "." && gene != ".."; }

}  // namespace

void checkOutputsSpare(const Options& o, const std::vector<std::string>& files, const std::vector<NamedInput>& inputs) {
  // An input is known by the file it reads (its path followed) and by the entry
  // at its path (a link an output would replace), and by its path.
  std::map<std::pair<dev_t, ino_t>, const NamedInput*> byFile;
  std::map<std::filesystem::path, const NamedInput*> byPath;
  struct stat st {};
  for (const NamedInput& in : inputs) {
    if (in.path.empty() || in.path == "-") continue;
    if (::stat(in.path.c_str(), &st) == 0) byFile.emplace(std::pair{st.st_dev, st.st_ino}, &in);
    if (::lstat(in.path.c_str(), &st) == 0) byFile.emplace(std::pair{st.st_dev, st.st_ino}, &in);
    byPath.emplace(normalised(in.path), &in);
  }
  if (byPath.empty()) return;
  for (const auto& [what, path] : outputPaths(o, files)) {
    const NamedInput* in = nullptr;
    // An output replaces the entry at its path; where there is none yet, only the same path can clash.
    if (::lstat(path.c_str(), &st) == 0) {
      const auto it = byFile.find(std::pair{st.st_dev, st.st_ino});
      if (it != byFile.end()) in = it->second;
    }
    if (!in) {
      const auto it = byPath.find(normalised(path));
      if (it != byPath.end()) in = it->second;
    }
    if (in) usage(what + " would replace " + in->what + "; radcon never writes over its inputs");
  }
}

std::vector<std::string> alignmentFiles(const Options& o) {
  std::vector<std::string> files = o.files;
  if (!o.inputs.empty())
    for (std::string& f : readInputList(o.inputs)) files.push_back(std::move(f));
  if (files.empty()) fail("No sequence file was given. Usage: radcon [OPTION]... SEQUENCE_FILE...");
  if (o.inputs == "-" && std::find(files.begin(), files.end(), "-") != files.end())
    usage("--inputs - and the alignment - would both be read from standard input");
  return files;
}

void checkOutputs(const Options& o, const std::vector<std::string>& files) {
  const bool single = files.size() == 1;
  // A table on standard output shares it with nothing: no other table, no
  // question, no trace line.
  const std::vector<std::pair<std::string, std::string>> tables = tableOutputs(o);
  std::vector<std::string> toStdout;
  for (const auto& [option, path] : tables)
    if (path == "-") toStdout.push_back(option + " -");
  if (toStdout.size() > 1)
    usage(toStdout[0] + " and " + toStdout[1] + " cannot both write to standard output");
  if (!toStdout.empty() && !o.quiet && (single || !Dialogue::complete(o.answers)))
    usage(toStdout[0] +
          " writes to standard output, where the dialogue and the trace lines go too: give -q (and the answers as "
          "options)");
  // Two outputs at one path would leave only the one renamed last.
  std::vector<std::pair<std::string, std::string>> outputs = tables;  // option, path
  if (single && !o.reportsNone)
    for (const std::string& name : reportNames()) outputs.emplace_back("the report " + name, pathIn(o.outdir, name));
  std::map<std::filesystem::path, std::string> seen;
  for (const auto& [option, path] : outputs) {
    const auto [it, added] = seen.emplace(normalised(path), option);
    if (!added) usage(it->second + " and " + option + " would both be written to " + path);
  }
  // An output is written under a temporary name and renamed over its path:
  // a device, a pipe or a folder there would be replaced (or the rename fail).
  // (The reports keep their own messages: a folder in their place fails as any
  // report that cannot be put in place.)
  for (const auto& [option, path] : tables) {
    struct stat st;
    if (path != "-" && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
      usage(option + " " + path + " is not a regular file (a device, a pipe or a folder); give - for standard output");
  }
  // In a batch, the tables and the page may not go into a gene's report folder.
  if (!single && !o.reportsNone)
    for (const std::string& f : files) {
      const std::filesystem::path folder = normalised(pathIn(o.outdir, geneName(f)));
      for (const auto& [option, path] : tables) {
        if (path == "-") continue;
        const std::filesystem::path p = normalised(path);
        const auto [end, at] = std::mismatch(folder.begin(), folder.end(), p.begin(), p.end());
        if (end == folder.end())
          usage(option + " " + path + " would be written into the report folder " + pathIn(o.outdir, geneName(f)) +
                " of " + f + "; give it a path of its own");
      }
    }
  std::vector<NamedInput> inputs;
  for (const std::string& f : files) inputs.push_back({f, "the alignment " + f});
  if (!o.inputs.empty()) inputs.push_back({o.inputs, "the list of alignments " + o.inputs});
  if (!o.clades.empty()) inputs.push_back({o.clades, "the clade file " + o.clades});
  if (!o.groupFile.empty()) {
    inputs.push_back({o.groupFile, "the group file " + o.groupFile});
  } else if (o.answers.division && groupFileName(*o.answers.division)) {
    const std::string shipped = locateGroupFile(groupFileName(*o.answers.division));
    inputs.push_back({shipped, "the group file " + shipped});
  }
  checkOutputsSpare(o, files, inputs);
  if (!o.html.empty() && !pageChartsAvailable())
    fail("--html needs Chart.js, which this radcon was built without: install Debian's libjs-chart.js and rebuild.");
  for (const std::string& g : o.htmlGenes)
    if (std::none_of(files.begin(), files.end(), [&](const std::string& f) { return geneName(f) == g; }))
      fail("--html-genes names \"" + g + "\", which is none of the inputs' genes.");
  if (single) return;
  // Genes must be told apart, and reports need folders of their own.
  std::map<std::string, std::string> genes;
  for (const std::string& f : files) {
    const auto [it, added] = genes.emplace(geneName(f), f);
    if (!added)
      usage("the inputs " + it->second + " and " + f + " are both gene \"" + it->first +
            "\"; rename one, so that the table can tell their rows apart");
  }
  if (!o.reportsNone && o.outdir.empty())
    usage("several alignments write their reports into -o DIR, one folder per gene (or give --reports none)");
  if (!o.reportsNone)
    for (const std::string& f : files)
      if (!folderName(geneName(f)))
        usage("the input " + f + " is gene \"" + geneName(f) + "\", which cannot name its report folder in " +
              o.outdir + "; rename the file");
}

void checkNamesDistinct(const Options& o, const Alignment& al) {
  if (o.table.empty() && o.means.empty() && o.profile.empty() && o.html.empty()) return;
  std::map<std::string, std::size_t> first;
  for (std::size_t i = 0; i < al.names.size(); ++i) {
    const auto [it, added] = first.emplace(displayName(al.names[i]), i);
    if (!added)
      fail("Sequences " + std::to_string(it->second + 1) + " and " + std::to_string(i + 1) + " are both named \"" +
           it->first + "\": their rows could not be told apart. Give every sequence a name of its own.");
  }
}

std::uint64_t memoryAllowed(const Options& o) {
  return o.maxMemoryMB > 0 ? static_cast<std::uint64_t>(o.maxMemoryMB * 1048576.0) : availableMemoryBytes();
}

std::size_t inputTextLimit(const Options& o) {
  // The text, the growth of its buffer, and the sequences parsed from it.
  return static_cast<std::size_t>(std::min<std::uint64_t>(memoryAllowed(o) / 4, std::uint64_t{1} << 40));
}

namespace {

// Whole megabytes, rounded up: a need is never printed as what is allowed.
std::uint64_t megabytes(std::uint64_t bytes) { return (bytes + (1u << 20) - 1) >> 20; }

}  // namespace

std::uint64_t checkMemory(const Options& o, const Input& in, int threads, int genesAtOnce) {
  const Alignment& al = in.alignment;
  MemoryPlan m;
  m.seqNum = al.seqNum;
  m.seqLength = al.seqLength;
  for (const std::string& name : al.names) m.nameBytes += name.size();
  m.pairs = in.reference >= 0 ? static_cast<std::uint64_t>(al.seqNum - 1) : pairCount(al.seqNum);
  m.batchPairs = pairsPerBatch(al.seqLength);
  m.threads = threads;
  m.groups = o.means.empty() && o.html.empty() ? 0 : meansGroups(in.clades);
  m.reports = !o.reportsNone;
  m.table = !o.table.empty();
  m.genesAtOnce = genesAtOnce;
  m.jackknife = o.jackknife > 0;
  m.expectedRatio = o.expectedRatio;
  if (!o.profile.empty() || !o.html.empty()) {
    for (const ProfileWindow& w : profileWindows(al.seqLength, o.window, windowStep(o))) {
      ++m.profileWindows;
      m.profileCodons += static_cast<std::uint64_t>(w.end - w.start);
    }
    const std::uint64_t clades = in.clades.labels.size();
    m.profileMembers = static_cast<std::uint64_t>(al.seqNum) * (clades ? clades + 1 : 1);
    if (m.groups == 0) m.groups = meansGroups(in.clades);
  }
  const std::uint64_t need = estimateBytes(m);
  const std::uint64_t have = memoryAllowed(o);
  if (need > have) {
    // The profile's share, when it is much of the need: longer windows need less.
    MemoryPlan without = m;
    without.profileWindows = without.profileCodons = without.profileMembers = 0;
    const std::uint64_t profile = need - std::min(need, estimateBytes(without));
    const std::string profileNote =
        profile > need / 4 ? " The profile along the gene needs about " + std::to_string(megabytes(profile)) +
                                 " MB of it (windows x sequences x groups of pairs): longer windows, a longer --step "
                                 "or fewer clades need less."
                           : "";
    // And the jackknife's, which holds a second copy of the alignment's sites.
    without = m;
    without.jackknife = without.expectedRatio = false;
    const std::uint64_t jackknife = need - std::min(need, estimateBytes(without));
    const std::string jackknifeNote =
        jackknife > need / 4 ? " The jackknife needs about " + std::to_string(megabytes(jackknife)) +
                                   " MB of it; the run needs that much less without --jackknife."
                             : "";
    fail("This run of " + std::to_string(al.seqNum) + " sequences of " + std::to_string(al.seqLength) +
         " codons needs about " + std::to_string(megabytes(need)) + " MB of memory, more than the " +
         std::to_string(have >> 20) + " MB " + (o.maxMemoryMB > 0 ? "allowed by --max-memory." : "available.") +
         profileNote + jackknifeNote + (o.reportsNone ? "" : kLighterRun));
  }
  return need;
}

void checkDiskSpace(const Alignment& al, const std::string& folder) {
  const double need = estimateReportBytes(al.seqNum);
  const std::optional<std::uint64_t> have = freeDiskBytes(folder);
  if (!have || need <= static_cast<double>(*have)) return;
  fail("The reports of " + std::to_string(al.seqNum) + " sequences need about " +
       std::to_string(static_cast<unsigned long long>(need / 1048576.0) + 1) + " MB of disk space, more than the " +
       std::to_string(*have >> 20) + " MB free in " + (folder.empty() ? "the current folder" : folder) + "." +
       kLighterRun);
}

void makeFolder(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec || !std::filesystem::is_directory(dir, ec)) fail("Can't create the folder " + dir + ": " + ec.message() + ".");
}

}  // namespace radcon
