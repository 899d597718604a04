#include "app/library.h"

#include <new>
#include <utility>

#include "app/plan.h"
#include "app/sinks.h"
#include "codon/genetic_code.h"
#include "input/clade_file.h"
#include "input/group_file.h"
#include "input/input_list.h"
#include "input/sequence_file.h"
#include "reports/means_table.h"
#include "util/error.h"
#include "util/parallel.h"

namespace radcon {

namespace {

// What the library takes as arguments of its own, or does not do at all.
bool commandOnly(const Options& o) {
  return !o.files.empty() || !o.inputs.empty() || !o.table.empty() || !o.means.empty() || !o.html.empty() ||
         !o.outdir.empty() || !o.clades.empty() || !o.reference.empty() || o.reportsNone || o.help || o.version ||
         o.listGeneticCodes || o.geneNames;
}

// A named grouping is looked for where the command looks (the current folder
// first); a library installed without the command carries its own copies.
std::optional<GroupTable> ownGrouping(const LibraryRequest& r, const Options& o) {
  if (r.groups) return parseGroupText(r.groups->text, r.groups->where);
  if (!o.groupFile.empty() || r.groupFolder.empty()) return std::nullopt;
  const std::string name = groupFileName(*o.answers.division);
  if (!locateGroupFile(name).empty()) return std::nullopt;
  return readGroupFile(r.groupFolder + "/" + name);
}

GeneTables failed(const AlignmentSource& source, std::string message) {
  GeneTables t;
  t.file = source.file;
  t.gene = source.gene.empty() ? geneName(source.file) : source.gene;
  t.error = std::move(message);
  return t;
}

}  // namespace

LibraryRun prepareLibraryRun(const LibraryRequest& r) {
  std::vector<const char*> argv{"radcon"};
  for (const std::string& word : r.options) argv.push_back(word.c_str());
  LibraryRun run;
  Options& o = run.options = parseOptionWords(static_cast<int>(argv.size()), argv.data());
  if (commandOnly(o))
    usage("the library takes no files and writes none: alignments, clades and the reference are arguments of its own");
  const Answers& a = o.answers;
  if (!a.correction || !a.tstv || !a.KaKsRatio || !a.division)
    usage("the library asks no question: give --correction, --tstv, --kaks and --grouping");
  // Only the tables, their pairs streamed, as --reports none.
  o.reportsNone = true;
  o.quiet = true;
  o.clades = r.cladeFile;
  o.reference = r.reference;
  checkWindows(o);
  run.clades = r.clades;
  const std::optional<GroupTable> groups = ownGrouping(r, o);
  run.settings = resolveSettings(o, o.answers, groups ? &*groups : nullptr);
  return run;
}

GeneTables analyseSource(const LibraryRun& run, const AlignmentSource& source, int threads,
                         const Checkpoint& checkpoint) {
  const Options& o = run.options;
  Input in = source.text ? prepareInput(o, source.file, parseSequenceText(*source.text, o.dropGappedCodons))
                         : readInput(o, source.file);
  if (!source.gene.empty()) in.gene = source.gene;
  if (run.clades) in.clades = parseCladeText(run.clades->text, run.clades->where, in.alignment.names);
  checkNamesDistinct(o, in.alignment);
  checkMemory(o, in, threads, 1);
  if (checkpoint) checkpoint();

  GeneTables t;
  t.file = source.file;
  t.gene = in.gene;
  t.sequences = in.alignment.seqNum;
  t.codons = in.alignment.seqLength;
  t.codonsRead = in.codonsRead;
  for (const std::string& name : in.alignment.names) t.names.push_back(displayName(name));
  t.notes = droppedColumnsNotes(o, in);
  if (const std::string stops = stopCodonNote(in); !stops.empty()) t.notes.push_back(stops);
  TableChoice tables = tableChoice(o);
  tables.table = tables.means = true;
  GeneSinks sinks(tables, [&](std::string_view rows) { t.pairs.append(rows); }, nullptr, nullptr, "", threads, nullptr);
  const GeneTsTv tstv = analyseAlignment(run.settings, in, sinks.all, threads, false, nullptr, checkpoint);
  if (const std::string warning = tstvWarning(tstv); !warning.empty()) t.notes.push_back("Ts/Tv: " + warning);
  t.tstv = tstv.typed;
  t.means.assign(std::string_view(sinks.means->text()));
  if (sinks.profile) t.profile.assign(std::string_view(sinks.profile->text()));
  return t;
}

std::vector<GeneTables> analyseSources(const LibraryRun& run, const std::vector<AlignmentSource>& sources,
                                       bool stopOnFailure, const Checkpoint& checkpoint) {
  // Genes named by their files must be told apart, as in a batch of the command
  // (genes the caller names are its own to keep apart).
  std::vector<std::string> files;
  for (const AlignmentSource& s : sources)
    if (s.gene.empty()) files.push_back(s.file);
  if (files.size() > 1) checkOutputs(run.options, files);

  std::vector<GeneTables> done(sources.size());
  auto one = [&](std::size_t f, GeneTables& t, int threads, const Checkpoint& check) {
    try {
      t = analyseSource(run, sources[f], threads, check);
    } catch (const RunError& e) {
      t = failed(sources[f], e.what());
    } catch (const UntranslatableCodon& e) {
      t = failed(sources[f], e.what());
    } catch (const std::bad_alloc&) {
      t = failed(sources[f], "Not enough memory for this alignment.");
    }
  };
  auto keep = [&](std::size_t f, GeneTables& t) {
    if (stopOnFailure && !t.error.empty()) fail((t.file.empty() ? t.gene : t.file) + ": " + t.error);
    done[f] = std::move(t);
    if (checkpoint) checkpoint();
  };
  const int threads = run.settings.threads;
  if (sources.size() > 1 && threads > 1) {
    // Many genes: each on one thread, as a batch of the command without reports.
    orderedParallel<GeneTables>(
        sources.size(), threads, static_cast<std::size_t>(threads) + 2,
        [&](std::size_t f, GeneTables& t) { one(f, t, 1, {}); }, keep);
  } else {
    // On the calling thread, which may check between batches of pairs too.
    for (std::size_t f = 0; f < sources.size(); ++f) {
      GeneTables t;
      one(f, t, threads, checkpoint);
      keep(f, t);
    }
  }
  return done;
}

}  // namespace radcon
