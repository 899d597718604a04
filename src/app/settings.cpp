#include "app/settings.h"

#include "codon/frequency.h"
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
  s.ratio = finalRatio(*answers.typedTsTv);
  s.threads = o.threads > 0 ? o.threads : defaultThreads();
  s.quiet = o.quiet;
  return s;
}

}  // namespace radcon
