#include "app/plan.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "app/analysis.h"
#include "files/report_set.h"
#include "input/input_list.h"
#include "reports/html_page.h"
#include "reports/reports.h"
#include "util/disk_space.h"
#include "util/error.h"
#include "util/memory.h"

namespace radcon {

namespace {

// Without the covariance reports a run needs far less.
const char* const kLighterRun =
    " --reports none writes only the --table and --means tables, a pair at a time, and needs far less.";

}  // namespace

std::vector<std::string> alignmentFiles(const Options& o) {
  std::vector<std::string> files = o.files;
  if (!o.inputs.empty())
    for (std::string& f : readInputList(o.inputs)) files.push_back(std::move(f));
  if (files.empty()) fail("No sequence file was given. Usage: radcon [OPTION]... SEQUENCE_FILE...");
  return files;
}

void checkOutputs(const Options& o, const std::vector<std::string>& files) {
  const bool single = files.size() == 1;
  // Two outputs at one path would leave only the one renamed last.
  std::vector<std::pair<std::string, std::string>> outputs;  // option, path
  if (!o.table.empty()) outputs.emplace_back("--table", o.table);
  if (!o.means.empty()) outputs.emplace_back("--means", o.means);
  if (!o.html.empty()) outputs.emplace_back("--html", o.html);
  if (single && !o.reportsNone)
    for (const std::string& name : reportNames()) outputs.emplace_back("the report " + name, pathIn(o.outdir, name));
  std::map<std::filesystem::path, std::string> seen;
  for (const auto& [option, path] : outputs) {
    const auto [it, added] = seen.emplace(std::filesystem::absolute(path).lexically_normal(), option);
    if (!added) usage(it->second + " and " + option + " would both be written to " + path);
  }
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
}

void checkMemory(const Options& o, const Alignment& al, int threads, int groups) {
  const bool streaming = o.reportsNone;
  const std::uint64_t need = streaming ? estimateStreamingBytes(al.seqNum, al.seqLength, threads, kPairBatch, groups)
                                       : estimateRunBytes(al.seqNum, al.seqLength, threads);
  const std::uint64_t have =
      o.maxMemoryMB > 0 ? static_cast<std::uint64_t>(o.maxMemoryMB * 1048576.0) : availableMemoryBytes();
  if (need > have)
    fail("This run of " + std::to_string(al.seqNum) + " sequences of " + std::to_string(al.seqLength) +
         " codons needs about " + std::to_string(need >> 20) + " MB of memory, more than the " +
         std::to_string(have >> 20) + " MB " + (o.maxMemoryMB > 0 ? "allowed by --max-memory." : "available.") +
         (streaming ? "" : kLighterRun));
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
