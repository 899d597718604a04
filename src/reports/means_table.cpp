#include "reports/means_table.h"

#include "reports/tsv.h"

namespace radcon {

std::vector<std::string> meansTableColumns(bool bootstrap, bool jackknife, bool expected) {
  std::vector<std::string> columns = {
      "gene",  "clade1", "clade2",  "pairs",   "pairs_undefined_dN_dS", "pairs_undefined_dR_dC", "pS",    "pN",
      "pR",    "pC",     "dS",      "dN",      "dR",                    "dC",                    "se_pS", "se_pN",
      "se_pR", "se_pC",  "se_dS",   "se_dN",   "se_dR",                 "se_dC",                 "dN_dS", "dR_dC",
      "z_dN_dS", "p_dN_dS", "z_dR_dC", "p_dR_dC", "tstv", "tstv_lower", "tstv_upper", "site_model"};
  if (bootstrap)
    for (const char* c : {"boot_replicates", "boot_se_dS", "boot_se_dN", "boot_se_dR", "boot_se_dC", "boot_p_dN_dS",
                          "boot_p_dR_dC"})
      columns.push_back(c);
  if (jackknife)
    for (const char* c : {"jack_blocks", "jack_se_dS", "jack_se_dN", "jack_se_dR", "jack_se_dC", "jack_z_dN_dS",
                          "jack_p_dN_dS", "jack_z_dR_dC", "jack_p_dR_dC"})
      columns.push_back(c);
  if (jackknife && expected)
    for (const char* c : {"expected_dR_dC", "expected_omega", "expected_pairs_out"}) columns.push_back(c);
  return columns;
}

void appendTestCells(TextBuffer& t, const GroupMean& r) {
  fixedCell(t, r.d[kNonsynonymous] / r.d[kSynonymous]);
  fixedCell(t, r.d[kRadical] / r.d[kConservative]);
  fixedCell(t, r.dNdS.z);
  generalCell(t, r.dNdS.p);
  fixedCell(t, r.dRdC.z);
  generalCell(t, r.dRdC.p);
}

void appendMeansRows(TextBuffer& t, const std::string& gene, const std::vector<GroupMean>& rows,
                     const std::vector<std::string>& labels, const TsTvUsed& tstv, const char* siteModel,
                     const std::vector<BootstrapRow>* bootstrap, const std::vector<JackknifeRow>* jackknife,
                     bool expected) {
  for (std::size_t g = 0; g < rows.size(); ++g) {
    const GroupMean& r = rows[g];
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
    for (Kind k : kKindOrder) fixedCell(t, r.p[k]);
    for (Kind k : kKindOrder) fixedCell(t, r.d[k]);
    for (Kind k : kKindOrder) fixedCell(t, r.seP[k]);
    for (Kind k : kKindOrder) fixedCell(t, r.seD[k]);
    appendTestCells(t, r);
    fixedCell(t, tstv.value);
    fixedCell(t, tstv.lower);
    fixedCell(t, tstv.upper);
    t.put('\t');
    t.append(siteModel);
    if (bootstrap) {
      const BootstrapRow& b = (*bootstrap)[g];
      t.put('\t');
      t.integer(b.replicates);
      for (Kind k : kKindOrder) fixedCell(t, b.seD[k]);
      generalCell(t, b.pNS);
      generalCell(t, b.pRC);
    }
    if (jackknife) {
      const JackknifeRow& j = (*jackknife)[g];
      t.put('\t');
      t.integer(j.blocks);
      for (Kind k : kKindOrder) fixedCell(t, j.seD[k]);
      fixedCell(t, j.dNdS.z);
      generalCell(t, j.dNdS.p);
      fixedCell(t, j.dRdC.z);
      generalCell(t, j.dRdC.p);
      if (expected) {
        fixedCell(t, j.expectedRC);
        generalCell(t, j.expectedOmega);
        t.put('\t');
        t.integer(j.expectedPairsOut);
      }
    }
    t.put('\n');
  }
}

}  // namespace radcon
