#include "app/settings.h"

#include <cmath>

#include "codon/frequency.h"
#include "reports/text_buffer.h"
#include "input/group_file.h"
#include "util/parallel.h"

namespace radcon {

namespace {

// A typed Ts/Tv beyond this many standard errors of the estimate (on the log
// scale) lies outside its 99.9 % interval.
constexpr double kFarOff = 3.29;

}  // namespace

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
  if (s.estimateTsTv || s.checkTypedTsTv) {
    TsTvOptions options;
    if (!s.tstvInterval) options.jackknifeGroups = 0;
    options.whole = s.tstvWhole;
    t.estimate = estimateTsTv(codons.codon, seqNum, seqLength, *s.code, options);
  }
  t.estimated = s.estimateTsTv;
  t.ratio = s.estimateTsTv ? finalRatio(t.estimate.typed) : s.ratio;
  t.typed = t.ratio / 2.0;
  if (s.checkTypedTsTv && t.estimate.estimated)
    t.typedFarOff = std::fabs(std::log(t.typed / t.estimate.typed)) > kFarOff * t.estimate.seLog;
  return t;
}

std::string tstvWarning(const GeneTsTv& t) {
  if (t.estimated) return t.estimate.note;
  if (!t.typedFarOff) return "";
  TextBuffer w;
  w.append("the Ts/Tv ratio ");
  w.general(t.typed);
  w.append(" lies far outside this alignment's own estimate, ");
  w.general(t.estimate.typed);
  w.append(" (95 % interval ");
  w.general(t.estimate.lower);
  w.append(" to ");
  w.general(t.estimate.upper);
  w.append("); the sites, and dR against dC, depend on it: -t estimate uses the estimate");
  return std::string(std::string_view(w));
}

const char* siteModelName(SiteModel model) { return model == SiteModel::kMutation ? "mutation" : "neighbour"; }

std::string settingsLine(const RunSettings& s, const GeneTsTv& t) {
  if (!t.estimated && !s.siteModelGiven) return "";
  TextBuffer line;
  line.append("Ts/Tv ");
  line.fixed(t.typed, 6, 0);
  if (t.estimated && t.estimate.estimated) {
    line.append(" estimated from ");
    line.integer(t.estimate.transitions);
    line.append(" transitions and ");
    line.integer(t.estimate.transversions);
    line.append(" transversions at ");
    line.integer(t.estimate.sites);
    line.append(" fourfold-degenerate sites of ");
    line.integer(t.estimate.pairs);
    line.append(" pairs (95 % interval ");
    line.fixed(t.estimate.lower, 6, 0);
    line.append(" to ");
    line.fixed(t.estimate.upper, 6, 0);
    line.put(')');
  } else if (t.estimated) {
    line.append(", not estimated (no bias)");
  }
  line.append("; ");
  line.append(siteModelName(s.siteModel));
  line.append(" site model");
  return std::string(std::string_view(line));
}

}  // namespace radcon
