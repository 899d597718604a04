#include "reports/html_page.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "codon/genetic_code.h"
#include "common/alignment.h"

// The page's own script and styles, and Chart.js from the system (Debian's
// libjs-chart.js), are built into the program, so a page never depends on where
// radcon runs or on a network.
#define RADCON_EMBED(name, path)                                                                          \
  asm(".section .rodata\n.balign 16\n.globl " #name "\n.hidden " #name "\n" #name ":\n.incbin \"" path \
      "\"\n.globl " #name "_end\n.hidden " #name "_end\n" #name "_end:\n.byte 0\n.previous\n");           \
  extern "C" const char name[], name##_end[];

RADCON_EMBED(radcon_page_js, RADCON_PAGE_DIR "/report.js")
RADCON_EMBED(radcon_page_css, RADCON_PAGE_DIR "/report.css")
#ifdef RADCON_CHARTJS
RADCON_EMBED(radcon_chartjs, RADCON_CHARTJS)
#endif

namespace radcon {

namespace {

std::string_view embedded(const char* begin, const char* end) {
  return {begin, static_cast<std::size_t>(end - begin)};
}

// A JSON string that is also safe inside a <script> element: no '<', '>' or '&'
// can end the element or start markup, whatever a sequence name holds.
void jsonString(TextBuffer& t, std::string_view s) {
  static const char hex[] = "0123456789abcdef";
  t.put('"');
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      t.put('\\');
      t.put(ch);
    } else if (c < 0x20 || c == '<' || c == '>' || c == '&' || c == 0x7f) {
      t.append("\\u00");
      t.put(hex[c >> 4]);
      t.put(hex[c & 15]);
    } else {
      t.put(ch);
    }
  }
  t.put('"');
}

// Numbers as the tables print them (six decimals, or six significant digits);
// a value that does not exist is null, shown as NA.
void jsonFixed(TextBuffer& t, double v) {
  if (std::isfinite(v))
    t.fixed(v, 6, 0);
  else
    t.append("null");
}
void jsonGeneral(TextBuffer& t, double v) {
  if (std::isfinite(v))
    t.general(v);
  else
    t.append("null");
}

template <class T, class Put>
void jsonArray(TextBuffer& t, const std::vector<T>& v, Put put) {
  t.put('[');
  for (std::size_t k = 0; k < v.size(); ++k) {
    if (k) t.put(',');
    put(v[k]);
  }
  t.put(']');
}

void key(TextBuffer& t, const char* name, bool first = false) {
  if (!first) t.put(',');
  t.put('"');
  t.append(name);
  t.append("\":");
}

// Amino acids of each group, in group-number order: "D E", "K R H", ...
std::vector<std::string> groupMembers(const GroupTable& g) {
  int most = -1;
  for (int a = 0; a < 20; ++a) most = std::max(most, g[static_cast<std::size_t>(a)]);
  std::vector<std::string> groups;
  for (int n = 0; n <= most; ++n) {
    std::string members;
    for (int a = 0; a < 20; ++a)
      if (g[static_cast<std::size_t>(a)] == n) (members += members.empty() ? "" : " ") += aminoAcid[a];
    if (!members.empty()) groups.push_back(members);
  }
  return groups;
}

// A means row as an object whose keys are the means table's column names
// (clade1 and clade2 hold clade numbers here, -1 for every pair).
void meansRow(TextBuffer& t, const GroupMean& m, const JackknifeRow* jack) {
  t.put('{');
  key(t, "clade1", true), t.integer(m.clade1);
  key(t, "clade2"), t.integer(m.clade2);
  key(t, "pairs"), t.integer(static_cast<long long>(m.pairs));
  key(t, "pairs_undefined_dN_dS"), t.integer(static_cast<long long>(m.undefinedNS));
  key(t, "pairs_undefined_dR_dC"), t.integer(static_cast<long long>(m.undefinedRC));
  static const char* const kD[kKinds] = {"dS", "dN", "dR", "dC"};
  static const char* const kSe[kKinds] = {"se_dS", "se_dN", "se_dR", "se_dC"};
  for (Kind k : kKindOrder) key(t, kD[k]), jsonFixed(t, m.d[k]);
  for (Kind k : kKindOrder) key(t, kSe[k]), jsonFixed(t, m.seD[k]);
  key(t, "dN_dS"), jsonFixed(t, m.d[kNonsynonymous] / m.d[kSynonymous]);
  key(t, "dR_dC"), jsonFixed(t, m.d[kRadical] / m.d[kConservative]);
  key(t, "z_dN_dS"), jsonFixed(t, m.dNdS.z);
  key(t, "p_dN_dS"), jsonGeneral(t, m.dNdS.p);
  key(t, "z_dR_dC"), jsonFixed(t, m.dRdC.z);
  key(t, "p_dR_dC"), jsonGeneral(t, m.dRdC.p);
  if (jack) {
    key(t, "jack_z_dN_dS"), jsonFixed(t, jack->dNdS.z);
    key(t, "jack_p_dN_dS"), jsonGeneral(t, jack->dNdS.p);
    key(t, "jack_z_dR_dC"), jsonFixed(t, jack->dRdC.z);
    key(t, "jack_p_dR_dC"), jsonGeneral(t, jack->dRdC.p);
    if (jack->expected) {
      key(t, "expected_dR_dC"), jsonFixed(t, jack->expectedRC);
      key(t, "expected_omega"), jsonGeneral(t, jack->expectedOmega);
      key(t, "expected_pairs_out"), t.integer(jack->expectedPairsOut);
    }
  }
  t.put('}');
}

// A window of the profile by name, as the --profile table calls its columns
// (start and end: codon columns from 1, both in the window).
void windowRow(TextBuffer& t, const PageWindow& w) {
  t.put('{');
  key(t, "start", true), t.integer(w.start);
  key(t, "end"), t.integer(w.end);
  key(t, "dN_dS"), jsonFixed(t, w.dNdS);
  key(t, "se_dN_dS"), jsonFixed(t, w.seNS);
  key(t, "q_dN_dS"), jsonGeneral(t, w.qNS);
  key(t, "dR_dC"), jsonFixed(t, w.dRdC);
  key(t, "se_dR_dC"), jsonFixed(t, w.seRC);
  key(t, "q_dR_dC"), jsonGeneral(t, w.qRC);
  t.put('}');
}

void geneJson(TextBuffer& t, const PageGene& g) {
  t.put('{');
  key(t, "gene", true), jsonString(t, g.gene);
  key(t, "sequences"), t.integer(g.sequences);
  key(t, "codons"), t.integer(g.codons);
  key(t, "pairs"), t.integer(static_cast<long long>(g.pairs));
  key(t, "noRadical"), t.integer(static_cast<long long>(g.noRadical));
  key(t, "tstv"), jsonGeneral(t, g.tstv);
  key(t, "tstvLower"), jsonGeneral(t, g.tstvLower);
  key(t, "tstvUpper"), jsonGeneral(t, g.tstvUpper);
  key(t, "tstvNote"), jsonString(t, g.tstvNote);
  key(t, "clades"), jsonArray(t, g.cladeLabels, [&](const std::string& c) { jsonString(t, c); });
  key(t, "means"), jsonArray(t, g.means, [&](const GroupMean& m) {
    const std::size_t row = static_cast<std::size_t>(&m - g.means.data());
    meansRow(t, m, row < g.jackknife.size() ? &g.jackknife[row] : nullptr);
  });
  if (g.charts) {
    // Columns rather than objects: the page of a large batch stays small.
    key(t, "charts");
    t.put('{');
    key(t, "names", true), jsonArray(t, g.names, [&](const std::string& n) { jsonString(t, displayName(n)); });
    key(t, "clade"), jsonArray(t, g.cladeOf, [&](int c) { t.integer(c); });
    key(t, "i"), jsonArray(t, g.pairData, [&](const PagePair& p) { t.integer(p.i); });
    key(t, "j"), jsonArray(t, g.pairData, [&](const PagePair& p) { t.integer(p.j); });
    key(t, "dR"), jsonArray(t, g.pairData, [&](const PagePair& p) { jsonGeneral(t, p.dR); });
    key(t, "dC"), jsonArray(t, g.pairData, [&](const PagePair& p) { jsonGeneral(t, p.dC); });
    key(t, "seR"), jsonArray(t, g.pairData, [&](const PagePair& p) { jsonGeneral(t, p.seR); });
    key(t, "seC"), jsonArray(t, g.pairData, [&](const PagePair& p) { jsonGeneral(t, p.seC); });
    key(t, "ratio"), jsonArray(t, g.pairData, [&](const PagePair& p) { jsonFixed(t, p.ratio); });
    t.put('}');
    // The profile along the gene: its windows, and each codon's mean differences
    // (six significant digits: a conserved codon's 0 takes one byte).
    key(t, "profile");
    t.put('{');
    key(t, "window", true), t.integer(g.window);
    key(t, "step"), t.integer(g.step);
    key(t, "windows"), jsonArray(t, g.profile, [&](const PageWindow& w) { windowRow(t, w); });
    key(t, "radical"), jsonArray(t, g.codonRadical, [&](double v) { jsonGeneral(t, v); });
    key(t, "conservative"), jsonArray(t, g.codonConservative, [&](double v) { jsonGeneral(t, v); });
    t.put('}');
  }
  t.put('}');
}

void runJson(TextBuffer& t, const PageRun& r, const std::vector<PageGene>& genes) {
  t.put('{');
  key(t, "version", true), jsonString(t, r.version);
  key(t, "command"), jsonString(t, r.commandLine);
  key(t, "inputs"), t.integer(static_cast<long long>(r.inputs));
  key(t, "failures");
  jsonArray(t, r.failures, [&](const std::pair<std::string, std::string>& f) {
    t.append("{\"file\":"), jsonString(t, f.first), t.append(",\"message\":"), jsonString(t, f.second), t.put('}');
  });
  key(t, "correction"), t.integer(r.correction);
  key(t, "typedTsTv"), jsonGeneral(t, r.typedTsTv);
  key(t, "tsTvRatio"), jsonGeneral(t, r.tsTvRatio);
  key(t, "tsTvEstimated"), t.append(r.tsTvEstimated ? "true" : "false");
  key(t, "siteModel"), jsonString(t, r.siteModel);
  key(t, "KaKsRatio"), jsonGeneral(t, r.KaKsRatio);
  key(t, "grouping"), jsonString(t, r.grouping);
  key(t, "groups"), jsonArray(t, groupMembers(r.groups), [&](const std::string& g) { jsonString(t, g); });
  key(t, "geneticCode"), t.integer(r.geneticCode);
  key(t, "geneticCodeName"), jsonString(t, r.geneticCodeName);
  key(t, "reference"), jsonString(t, r.reference);
  key(t, "maxSequences"), t.integer(kPageSequences);
  key(t, "wallSeconds"), jsonGeneral(t, r.wallSeconds);
  key(t, "genes"), jsonArray(t, genes, [&](const PageGene& g) { geneJson(t, g); });
  t.put('}');
}

}  // namespace

void addPagePairs(PageGene& g, const PairStatistics& st) {
  g.pairs += st.pairs;
  for (std::size_t a = 0; a < st.pairs; ++a) {
    const PairDistance r = pairDistance(st, kRadical, a), c = pairDistance(st, kConservative, a);
    if (!std::isfinite(r.d) || !std::isfinite(c.d)) ++g.noRadical;
    const SeqPair p = st.pairList[a];
    if (g.charts && p.i < kPageSequences && p.j < kPageSequences)
      g.pairData.push_back({p.i, p.j, r.d, c.d, r.seD, c.seD, r.d / c.d});
  }
}

bool pageChartsAvailable() {
#ifdef RADCON_CHARTJS
  return true;
#else
  return false;
#endif
}

void appendHtmlPage(TextBuffer& t, const PageRun& run, const std::vector<PageGene>& genes) {
  // Nothing may be fetched: the page carries everything it shows, and says so to
  // the browser, which then refuses any request it would make.
  t.append(
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src 'unsafe-inline'; "
      "style-src 'unsafe-inline'; img-src data:\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<meta name=\"generator\" content=\"radcon ");
  t.append(run.version);
  t.append("\">\n<title>radcon report</title>\n<style>\n");
  t.append(embedded(radcon_page_css, radcon_page_css_end));
  t.append(
      "</style>\n</head>\n<body>\n<noscript><p>This report draws its tables and charts with JavaScript; "
      "please allow scripts for this file.</p></noscript>\n<main id=\"report\"></main>\n"
      "<script type=\"application/json\" id=\"radcon-data\">");
  runJson(t, run, genes);
  t.append("</script>\n<script>\n");
#ifdef RADCON_CHARTJS
  t.append(embedded(radcon_chartjs, radcon_chartjs_end));
#endif
  t.append("\n</script>\n<script>\n");
  t.append(embedded(radcon_page_js, radcon_page_js_end));
  t.append("</script>\n</body>\n</html>\n");
}

std::string shellQuoted(int argc, const char* const* argv) {
  std::string line;
  for (int k = 0; k < argc; ++k) {
    const std::string_view a = argv[k];
    if (k) line += ' ';
    const bool plain = !a.empty() && a.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                         "0123456789-_./=:,+@%") == std::string_view::npos;
    if (plain) {
      line += a;
      continue;
    }
    line += '\'';
    for (const char c : a) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += '\'';
  }
  return line;
}

}  // namespace radcon
