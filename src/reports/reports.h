// The seven reports of a run: sn.rst and cr.rst (sites, differences, proportions,
// Jukes-Cantor distances and covariances), n.dis, s.dis, r.dis and c.dis (the
// proportion matrix and covariances of one kind each) and outfile (a summary of
// the radical/conservative analysis).
#pragma once

#include <string>
#include <vector>

#include "differences/pairwise.h"
#include "files/report_set.h"
#include "sites/site_totals.h"
#include "stats/statistics.h"
#include "util/progress.h"

namespace radcon {

// The report names, in the order of the files of a ReportSet.
const std::vector<std::string>& reportNames();
enum ReportFile { kSnRst = 0, kCrRst, kNDis, kSDis, kRDis, kCDis, kOutfile };

// The grouping label of outfile, by the dialogue's answer; empty for other values.
const char* groupingLabel(int division);

// Bytes that the seven reports of n sequences take at least (every printed value
// finite and below 10), together with the scratch storage that holds the
// covariances while they are written. They grow with the fourth power of n.
double estimateReportBytes(int seqNum);

// Writes every report. ratio is the run's Ts/Tv parameter (outfile prints half of
// it). The deviations in stats are released once the covariances are formed.
// scratchFolder holds the covariance tables between the passes over them.
// 'progress' (may be null) counts the covariance rows written.
void writeReports(const SiteTotals& sites, const PairDifferences& differences, PairStatistics& stats, double ratio,
                  int division, ReportSet& files, const std::string& scratchFolder, int threads,
                  ProgressCounters* progress = nullptr);

}  // namespace radcon
