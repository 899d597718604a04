#include "app/settings.h"

#include "codon/frequency.h"
#include "reports/text_buffer.h"
#include "input/group_file.h"
#include "util/parallel.h"

namespace radcon {

RunSettings resolveSettings(const Options& o, const Answers& answers, const GroupTable* groups) {
  static const char* const kGroupings[] = {"Charge", "Polarity", "Miyata and Yasunaga", "Self-defined"};
  RunSettings s;
  s.answers = answers;
  s.indexs = groups ? *groups : o.groupFile.empty() ? loadGrouping(*answers.division) : readGroupFile(o.groupFile);
  s.groupingName = o.groupFile.empty() ? kGroupings[*answers.division - 1] : "Self-defined: " + o.groupFile;
  s.code = findGeneticCode(o.geneticCode);
  s.geneticCodeGiven = o.geneticCodeGiven;
  s.estimateTsTv = answers.tstv->estimate;
  s.ratio = finalRatio(answers.tstv->typed);
  s.siteModel = o.siteModel;
  s.siteModelGiven = o.siteModelGiven;
  s.threads = o.threads > 0 ? o.threads : defaultThreads();
  s.quiet = o.quiet;
  return s;
}

GeneTsTv resolveTsTv(const RunSettings& s, const CodonData& codons, int seqNum, int seqLength) {
  GeneTsTv t;
  if (s.estimateTsTv) {
    t.estimated = true;
    t.estimate = estimateTsTv(codons.codon, seqNum, seqLength, *s.code);
    t.ratio = finalRatio(t.estimate.typed);
  } else {
    t.ratio = s.ratio;
  }
  t.typed = t.ratio / 2.0;
  return t;
}

const char* siteModelName(SiteModel model) { return model == SiteModel::kMutation ? "mutation" : "neighbour"; }

std::string settingsLine(const RunSettings& s, const GeneTsTv& t) {
  if (!t.estimated && !s.siteModelGiven) return "";
  TextBuffer line;
  line.append("Ts/Tv ");
  line.fixed(t.typed, 6, 0);
  if (t.estimated && t.estimate.estimated) {
    line.append(", estimated (95 % interval ");
    line.fixed(t.estimate.lower, 6, 0);
    line.append(" to ");
    line.fixed(t.estimate.upper, 6, 0);
    line.append(", from ");
    line.integer(t.estimate.sites);
    line.append(" fourfold-degenerate sites of ");
    line.integer(t.estimate.pairs);
    line.append(" pairs)");
  } else if (t.estimated) {
    line.append(", not estimated");
  }
  line.append("; ");
  line.append(siteModelName(s.siteModel));
  line.append(" site model");
  if (t.estimated && !t.estimate.note.empty()) line.append(". "), line.append(t.estimate.note);
  return std::string(std::string_view(line));
}

}  // namespace radcon
