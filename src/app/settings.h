// What a run resolves once from its options and answers, before any alignment
// is analysed (the grouping, the genetic code, the site model, the threads), and
// once per alignment (the Ts/Tv ratio, typed or estimated from it).
#pragma once

#include <string>

#include "codon/frequency.h"
#include "codon/genetic_code.h"
#include "common/site_models.h"
#include "common/groups.h"
#include "input/answers.h"
#include "input/options.h"
#include "stats/tstv_estimate.h"

namespace radcon {

struct RunSettings {
  Answers answers;  // every one given
  GroupTable indexs{};
  std::string groupingName;  // "Charge", ..., or "Self-defined: PATH" for a file of the user's own
  const GeneticCode* code = nullptr;
  bool geneticCodeGiven = false;
  bool estimateTsTv = false;  // each alignment's own Ts/Tv, estimated from it
  bool checkTypedTsTv = false;  // else hold the typed value against the alignment's estimate
  bool tstvInterval = true;     // the estimate's own interval (a jackknife's replicates need none)
  const TsTvEstimate* tstvWhole = nullptr;  // a jackknife's parts: the whole alignment's estimate
  double ratio = 1.0;         // else the Ts/Tv parameter: twice the typed value, or the fallback
  SiteModel siteModel = SiteModel::kNeighbour;
  bool siteModelGiven = false;
  int threads = 1;
  bool quiet = false;
};

// Loads the grouping and resolves the rest; 'answers' must be complete. With
// 'groups', the grouping is that table instead of the one the options name (the
// library's groupings given as text); its name still comes from the options.
RunSettings resolveSettings(const Options& options, const Answers& answers, const GroupTable* groups = nullptr);

// The Ts/Tv ratio one alignment is analysed with.
struct GeneTsTv {
  double ratio = 1.0;   // the Ts/Tv parameter of the sites and the step rates
  double typed = 0.5;   // on the typed scale, ratio / 2: what the tables, the page and outfile show
  bool estimated = false;
  TsTvEstimate estimate;     // when estimated, or when a typed value was checked against it
  bool typedFarOff = false;  // a typed value far outside the estimate's uncertainty
};

// The run's typed Ts/Tv, or the alignment's estimate from its codons. A typed
// value is far off when it lies outside the estimate's 99.9 % interval.
GeneTsTv resolveTsTv(const RunSettings& settings, const CodonData& codons, int seqNum, int seqLength);

// One line for the user on the Ts/Tv of an alignment and the site model, for the
// line before the trace lines; "" when the run chose neither.
std::string settingsLine(const RunSettings& settings, const GeneTsTv& tstv);

// What the user should know of an alignment's Ts/Tv: an estimate that rests on
// little data or fell back to no bias, or a typed value far from the estimate;
// "" when there is nothing to say.
std::string tstvWarning(const GeneTsTv& tstv);

// The name of a site model, as --site-model takes it.
const char* siteModelName(SiteModel model);

}  // namespace radcon
