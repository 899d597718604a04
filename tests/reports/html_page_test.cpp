// The HTML page's data: what it keeps of the pairs, and JSON that no name can
// break out of.
#include "reports/html_page.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace radcon::test {
namespace {

std::string pageOf(const PageRun& run, const std::vector<PageGene>& genes) {
  TextBuffer t;
  appendHtmlPage(t, run, genes);
  return std::string(t.data(), t.size());
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(HtmlPage, KeepsThePairsAmongTheFirstSequencesAndCountsUndefinedDistances) {
  PairStatistics st;
  st.pairs = 3;
  st.pairList = {{0, 1}, {0, kPageSequences}, {1, 2}};
  for (int k = 0; k < kKinds; ++k) {
    st.proportion[k] = {0.3, 0.1, 0.8};  // 0.8: past 3/4, no distance
    st.variance[k] = {0.0004, 0.0001, 0.0009};
    st.jcDenominator[k].clear();
    for (double p : st.proportion[k]) st.jcDenominator[k].push_back(1.0 - p * kFourThirds);
  }
  PageGene g;
  g.charts = true;
  addPagePairs(g, st);
  EXPECT_EQ(g.pairs, 3u);
  EXPECT_EQ(g.noRadical, 1u);
  ASSERT_EQ(g.pairData.size(), 2u);  // the pair with sequence kPageSequences is counted, not kept
  EXPECT_EQ(g.pairData[0].dR, jukesCantor(0.3));
  EXPECT_EQ(g.pairData[0].seC, std::sqrt(0.0004) / (1.0 - 0.3 * kFourThirds));
  EXPECT_EQ(g.pairData[0].ratio, 1.0);
  EXPECT_TRUE(std::isnan(g.pairData[1].dR) && std::isnan(g.pairData[1].ratio));
  PageGene counted;  // a gene without charts keeps no pairs
  addPagePairs(counted, st);
  EXPECT_EQ(counted.pairs, 3u);
  EXPECT_TRUE(counted.pairData.empty());
}

TEST(HtmlPage, DataIsJsonThatNoNameCanEndAndNaIsNull) {
  if (!pageChartsAvailable()) GTEST_SKIP() << "built without Chart.js";
  PageRun run;
  run.version = "9.9";
  run.commandLine = "radcon </script>";
  run.groups.fill(2);
  run.groups[3] = run.groups[6] = 0;  // D and E
  run.groups[20] = -1;
  PageGene g;
  g.gene = "a\"b\\</script><!--&\t";
  g.charts = true;
  g.names = {"x<y", "z"};
  g.pairData = {{0, 1, 0.25, NAN, 0.01, NAN, NAN}};
  const std::string page = pageOf(run, {g});
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(page.find("Content-Security-Policy\" content=\"default-src 'none'"), std::string::npos);
  EXPECT_NE(page.find(R"("gene":"a\"b\\\u003c/script\u003e\u003c!--\u0026\u0009")"), std::string::npos);
  EXPECT_NE(page.find(R"("command":"radcon \u003c/script\u003e")"), std::string::npos);
  EXPECT_NE(page.find(R"("names":["x\u003cy","z"])"), std::string::npos);
  EXPECT_NE(page.find(R"("dR":[0.25],"dC":[null],"seR":[0.01],"seC":[null],"ratio":[null])"), std::string::npos);
  // Group 0 first; group 1 holds nothing and is left out.
  EXPECT_NE(page.find(R"("groups":["D E","A R N C Q G H I L K M F P S T W Y V"])"), std::string::npos);
  // Only the page's own three scripts end: the data, Chart.js and the report.
  EXPECT_EQ(count(page, "</script"), 3u);
}

TEST(HtmlPage, ProfileWindowsByNameWithNullForNaOnlyForGenesWithCharts) {
  if (!pageChartsAvailable()) GTEST_SKIP() << "built without Chart.js";
  PageGene g;
  g.gene = "g";
  g.charts = true;
  g.profile = {{1, 30, 0.5, 0.125, 0.0125, NAN, NAN, NAN}, {11, 40, NAN, NAN, NAN, 2.0, 0.75, 1.5e-5}};
  g.codonRadical = {0.25, 0};
  g.codonConservative = {1.0 / 3, 2};
  g.window = 30, g.step = 10;
  PageGene plain = g;
  plain.gene = "h";
  plain.charts = false;
  const std::string page = pageOf(PageRun{}, {g, plain});
  EXPECT_NE(page.find(R"("profile":{"window":30,"step":10,"windows":[)"
                      R"({"start":1,"end":30,"dN_dS":0.500000,"se_dN_dS":0.125000,"q_dN_dS":0.0125,)"
                      R"("dR_dC":null,"se_dR_dC":null,"q_dR_dC":null},)"
                      R"({"start":11,"end":40,"dN_dS":null,"se_dN_dS":null,"q_dN_dS":null,)"
                      R"("dR_dC":2.000000,"se_dR_dC":0.750000,"q_dR_dC":1.5e-05}],)"
                      R"("radical":[0.25,0],"conservative":[0.333333,2]})"),
            std::string::npos);
  EXPECT_EQ(count(page, R"("profile":)"), 1u);  // the gene without charts carries none
}

// With the jackknife a means row carries its tests after the analytic ones; a
// gene without it carries none.
TEST(HtmlPage, MeansRowsCarryTheJackknifeTestsWhenThereAreSome) {
  if (!pageChartsAvailable()) GTEST_SKIP() << "built without Chart.js";
  PageGene g;
  g.gene = "g";
  g.means.push_back(GroupMean{});
  JackknifeRow j;
  j.blocks = 50;
  j.dNdS = {-4.5, 3.25e-05};
  j.dRdC = {0.25, 0.803};
  g.jackknife = {j};
  PageGene plain = g;
  plain.gene = "h";
  plain.jackknife.clear();
  const std::string page = pageOf(PageRun{}, {g, plain});
  EXPECT_NE(page.find(R"(,"jack_z_dN_dS":-4.500000,"jack_p_dN_dS":3.25e-05,)"
                      R"("jack_z_dR_dC":0.250000,"jack_p_dR_dC":0.803})"),
            std::string::npos);
  EXPECT_EQ(count(page, R"("jack_p_dR_dC")"), 1u);
  EXPECT_EQ(count(page, R"("expected_dR_dC")"), 0u);
  g.jackknife[0].expected = true;  // with --expected-ratio
  g.jackknife[0].expectedRC = 1.0625;
  g.jackknife[0].expectedOmega = 0.0171;  // six significant digits, as p-values
  g.jackknife[0].expectedPairsOut = 2;
  EXPECT_NE(pageOf(PageRun{}, {g}).find(R"("jack_p_dR_dC":0.803,"expected_dR_dC":1.062500,)"
                                        R"("expected_omega":0.0171,"expected_pairs_out":2})"),
            std::string::npos);
  g.jackknife[0].expectedRC = g.jackknife[0].expectedOmega = NAN;  // none to be had: the keys stay, the values are null
  EXPECT_NE(pageOf(PageRun{}, {g}).find(R"("expected_dR_dC":null,"expected_omega":null,)"), std::string::npos);
}

TEST(HtmlPage, CommandLineQuotedAsTheShellReadsIt) {
  const char* argv[] = {"radcon", "-q", "--html=out.html", "my file.seq", "it's", ""};
  EXPECT_EQ(shellQuoted(6, argv), "radcon -q --html=out.html 'my file.seq' 'it'\\''s' ''");
}

}  // namespace
}  // namespace radcon::test
