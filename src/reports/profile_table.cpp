#include "reports/profile_table.h"

#include "reports/means_table.h"
#include "reports/tsv.h"

namespace radcon {

std::vector<std::string> profileTableColumns() {
  return {"gene",    "clade1",  "clade2",  "start",   "end",     "original_start", "original_end",
          "pairs",   "pairs_undefined_dN_dS", "pairs_undefined_dR_dC", "S_sites", "N_sites", "R_sites", "C_sites",
          "S_diffs", "N_diffs", "R_diffs", "C_diffs", "pS",      "pN",      "pR",      "pC",
          "dS",      "dN",      "dR",      "dC",      "se_dS",   "se_dN",   "se_dR",   "se_dC",
          "dN_dS",   "dR_dC",   "z_dN_dS", "p_dN_dS", "z_dR_dC", "p_dR_dC", "q_dN_dS", "q_dR_dC"};
}

void appendProfileRows(TextBuffer& t, const std::string& gene, const std::vector<ProfileRow>& rows,
                       const std::vector<ProfileWindow>& windows, const std::vector<int>& originalColumn,
                       const std::vector<std::string>& labels) {
  for (const ProfileRow& row : rows) {
    const GroupMean& r = row.mean;
    const ProfileWindow& w = windows[row.window];
    t.append(gene);
    t.put('\t');
    t.append(r.clade1 < 0 ? "all" : labels[static_cast<std::size_t>(r.clade1)]);
    t.put('\t');
    t.append(r.clade2 < 0 ? "all" : labels[static_cast<std::size_t>(r.clade2)]);
    for (const long long column : {static_cast<long long>(w.start) + 1, static_cast<long long>(w.end),
                                   static_cast<long long>(originalColumn[static_cast<std::size_t>(w.start)]) + 1,
                                   static_cast<long long>(originalColumn[static_cast<std::size_t>(w.end - 1)]) + 1,
                                   static_cast<long long>(r.pairs), static_cast<long long>(r.undefinedNS),
                                   static_cast<long long>(r.undefinedRC)}) {
      t.put('\t');
      t.integer(column);
    }
    for (Kind k : kKindOrder) fixedCell(t, row.sites[k]);
    for (Kind k : kKindOrder) fixedCell(t, row.diffs[k]);
    for (Kind k : kKindOrder) fixedCell(t, r.p[k]);
    for (Kind k : kKindOrder) fixedCell(t, r.d[k]);
    for (Kind k : kKindOrder) fixedCell(t, r.seD[k]);
    appendTestCells(t, r);
    generalCell(t, row.q[0]);
    generalCell(t, row.q[1]);
    t.put('\n');
  }
}

}  // namespace radcon
