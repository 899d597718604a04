// What a run resolves once from its options and answers, before any alignment
// is analysed: the grouping, the genetic code, the Ts/Tv parameter, the threads.
#pragma once

#include <string>

#include "codon/genetic_code.h"
#include "common/groups.h"
#include "input/answers.h"
#include "input/options.h"

namespace radcon {

struct RunSettings {
  Answers answers;  // every one given
  GroupTable indexs{};
  std::string groupingName;  // "Charge", ..., or "Self-defined: PATH" for a file of the user's own
  const GeneticCode* code = nullptr;
  bool geneticCodeGiven = false;
  double ratio = 1.0;  // the Ts/Tv parameter: twice the typed value, or the fallback
  int threads = 1;
  bool quiet = false;
};

// Loads the grouping and resolves the rest; 'answers' must be complete. With
// 'groups', the grouping is that table instead of the one the options name (the
// library's groupings given as text); its name still comes from the options.
RunSettings resolveSettings(const Options& options, const Answers& answers, const GroupTable* groups = nullptr);

}  // namespace radcon
