#include "reports/pairs_table.h"

#include <cmath>
#include <utility>

#include "common/alignment.h"
#include "reports/reports.h"
#include "reports/tsv.h"
#include "stats/difference_tests.h"

namespace radcon {

namespace {

std::string tableName(const std::string& name) {
  std::string s = displayName(name);
  for (char& c : s)
    if (c == '\t') c = ' ';  // a tab would split the column
  return s;
}

}  // namespace

const std::vector<std::string>& pairsTableColumns() {
  static const std::vector<std::string> columns = {
      "gene",    "name1",   "name2",   "S_sites", "N_sites", "R_sites", "C_sites", "S_diffs", "N_diffs", "R_diffs",
      "C_diffs", "pS",      "pN",      "pR",      "pC",      "dS",      "dN",      "dR",      "dC",      "se_pS",
      "se_pN",   "se_pR",   "se_pC",   "se_dS",   "se_dN",   "se_dR",   "se_dC",   "dN_dS",   "dR_dC",   "genetic_code",
      "cov_dN_dS", "z_dN_dS", "p_dN_dS", "cov_dR_dC", "z_dR_dC", "p_dR_dC", "tstv", "site_model"};
  return columns;
}

void appendHeader(TextBuffer& t, const std::vector<std::string>& columns) {
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (c) t.put('\t');
    t.append(columns[c]);
  }
  t.put('\n');
}

void appendPairsRows(TextBuffer& t, const std::string& gene, const std::vector<std::string>& names,
                     const PairDifferences& diff, const PairStatistics& st, int geneticCode, double tstv,
                     const char* siteModel) {
  for (std::size_t a = 0; a < st.pairs; ++a) {
    const int i = st.pairList[a].i, j = st.pairList[a].j;
    t.append(gene);
    t.put('\t');
    t.append(tableName(names[i]));
    t.put('\t');
    t.append(tableName(names[j]));
    double distance[kKinds], seP[kKinds], seD[kKinds];
    for (Kind k : kKindOrder) fixedCell(t, st.sumSites[k][a] / 2.0);
    for (Kind k : kKindOrder) fixedCell(t, diff.total[k][a]);
    for (Kind k : kKindOrder) fixedCell(t, st.proportion[k][a]);
    for (Kind k : kKindOrder) {
      const PairDistance pd = pairDistance(st, k, a);
      distance[k] = pd.d, seP[k] = pd.seP, seD[k] = pd.seD;
      fixedCell(t, distance[k]);
    }
    for (Kind k : kKindOrder) fixedCell(t, seP[k]);
    for (Kind k : kKindOrder) fixedCell(t, seD[k]);
    fixedCell(t, distance[kNonsynonymous] / distance[kSynonymous]);
    fixedCell(t, distance[kRadical] / distance[kConservative]);
    t.put('\t');
    t.integer(geneticCode);
    for (const auto& [first, second] : {std::pair{kNonsynonymous, kSynonymous}, std::pair{kRadical, kConservative}}) {
      const PairTest test = pairTest(st, a, first, second);
      generalCell(t, test.cov);
      fixedCell(t, test.test.z);
      generalCell(t, test.test.p);
    }
    fixedCell(t, tstv);
    t.put('\t');
    t.append(siteModel);
    t.put('\n');
  }
}

}  // namespace radcon
