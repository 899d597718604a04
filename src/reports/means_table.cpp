#include "reports/means_table.h"

#include "reports/tsv.h"

namespace radcon {

namespace {

// Column order of the four kinds, as in the pairs table.
constexpr Kind kOrder[kKinds] = {kSynonymous, kNonsynonymous, kRadical, kConservative};

}  // namespace

const std::vector<std::string>& meansTableColumns() {
  static const std::vector<std::string> columns = {
      "gene",  "clade1", "clade2",  "pairs",   "pairs_undefined_dN_dS", "pairs_undefined_dR_dC", "pS",    "pN",
      "pR",    "pC",     "dS",      "dN",      "dR",                    "dC",                    "se_pS", "se_pN",
      "se_pR", "se_pC",  "se_dS",   "se_dN",   "se_dR",                 "se_dC",                 "dN_dS", "dR_dC",
      "z_dN_dS", "p_dN_dS", "z_dR_dC", "p_dR_dC"};
  return columns;
}

void appendMeansRows(TextBuffer& t, const std::string& gene, const std::vector<GroupMean>& rows,
                     const std::vector<std::string>& labels) {
  for (const GroupMean& r : rows) {
    t.append(gene);
    t.put('\t');
    t.append(r.clade1 < 0 ? "all" : labels[static_cast<std::size_t>(r.clade1)]);
    t.put('\t');
    t.append(r.clade2 < 0 ? "all" : labels[static_cast<std::size_t>(r.clade2)]);
    t.put('\t');
    t.integer(static_cast<long long>(r.pairs));
    t.put('\t');
    t.integer(static_cast<long long>(r.undefinedNS));
    t.put('\t');
    t.integer(static_cast<long long>(r.undefinedRC));
    for (Kind k : kOrder) fixedCell(t, r.p[k]);
    for (Kind k : kOrder) fixedCell(t, r.d[k]);
    for (Kind k : kOrder) fixedCell(t, r.seP[k]);
    for (Kind k : kOrder) fixedCell(t, r.seD[k]);
    fixedCell(t, r.d[kNonsynonymous] / r.d[kSynonymous]);
    fixedCell(t, r.d[kRadical] / r.d[kConservative]);
    fixedCell(t, r.dNdS.z);
    generalCell(t, r.dNdS.p);
    fixedCell(t, r.dRdC.z);
    generalCell(t, r.dRdC.p);
    t.put('\n');
  }
}

}  // namespace radcon
