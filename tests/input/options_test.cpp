#include "input/options.h"

#include <gtest/gtest.h>

#include <vector>

#include "util/error.h"

namespace radcon {
namespace {

Options parse(std::vector<const char*> args) {
  args.insert(args.begin(), "radcon");
  return parseOptions(static_cast<int>(args.size()), args.data());
}

// The exit status the command gives: 2 for a usage error, 1 for a bad value.
int statusOf(std::vector<const char*> args) {
  try {
    parse(args);
  } catch (const RunError& e) {
    return e.kind() == RunError::kUsage ? 2 : 1;
  }
  return 0;
}

TEST(Options, EveryFormOfAValue) {
  // Grouped flags before a value (-qc1), and a repeated option: the last one counts.
  for (const auto& args : std::vector<std::vector<const char*>>{{"-c", "1", "f.seq"},
                                                                {"-c1", "f.seq"},
                                                                {"--correction", "1", "f.seq"},
                                                                {"f.seq", "--correction=1"},
                                                                {"-qc1", "f.seq"},
                                                                {"-c", "0", "--correction=1", "f.seq"}}) {
    const Options o = parse(args);
    ASSERT_TRUE(o.answers.correction.has_value());
    EXPECT_EQ(*o.answers.correction, 1);
    EXPECT_EQ(o.files, std::vector<std::string>{"f.seq"});
  }
}

TEST(Options, AnswersGroupingsAndFlags) {
  const Options o = parse({"-t", "0.5", "-k", "2", "-g", "my", "-qo", "out", "--table", "t.tsv", "--drop-gapped-codons",
                           "--threads=3", "x.seq", "y.fa.gz"});
  EXPECT_EQ(o.answers.tstv->typed, 0.5);
  EXPECT_FALSE(o.answers.tstv->estimate);
  EXPECT_EQ(*o.answers.KaKsRatio, 2.0);
  EXPECT_EQ(*o.answers.division, 3);
  EXPECT_TRUE(o.groupFile.empty());
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.outdir, "out");
  EXPECT_EQ(o.table, "t.tsv");
  EXPECT_TRUE(o.dropGappedCodons);
  EXPECT_EQ(o.threads, 3);
  EXPECT_EQ(o.files, (std::vector<std::string>{"x.seq", "y.fa.gz"}));
  EXPECT_EQ(*parse({"-g", "charge"}).answers.division, 1);
  EXPECT_EQ(*parse({"-g", "polarity"}).answers.division, 2);
  EXPECT_EQ(*parse({"-g", "self"}).answers.division, 4);
  const Options file = parse({"-g", "groups/mine.div"});
  EXPECT_EQ(*file.answers.division, 4);
  EXPECT_EQ(file.groupFile, "groups/mine.div");
}

TEST(Options, DoubleDashEndsOptions) {
  EXPECT_EQ(parse({"--", "-weird.seq"}).files, std::vector<std::string>{"-weird.seq"});
  EXPECT_EQ(parse({"-"}).files, std::vector<std::string>{"-"});
  EXPECT_TRUE(parse({}).files.empty());
}

TEST(Options, BadCommandLinesAreStatusTwo) {
  EXPECT_EQ(statusOf({"--frobnicate"}), 2);
  EXPECT_EQ(statusOf({"-x"}), 2);
  EXPECT_EQ(statusOf({"-c"}), 2);
  EXPECT_EQ(statusOf({"--kaks"}), 2);
  EXPECT_EQ(statusOf({"--quiet=yes"}), 2);
  EXPECT_EQ(statusOf({"--threads", "many"}), 2);
  for (const char* threads : {"0", "1025", "-2", " 4", "4.0", "99999999999999999999"})
    EXPECT_EQ(statusOf({"--threads", threads}), 2) << threads;
  for (const char* mb : {"0", "0.5", "2e9", "nan", "inf", "", "10MB"}) EXPECT_EQ(statusOf({"--max-memory", mb}), 2) << mb;
  EXPECT_EQ(parse({"--threads", "1024", "--max-memory", "1e9"}).threads, 1024);
}

TEST(Options, BadAnswerValuesAreStatusOne) {
  EXPECT_EQ(statusOf({"-c", "1.5"}), 1);
  EXPECT_EQ(statusOf({"-t", "0.5x"}), 1);
  EXPECT_EQ(statusOf({"-k", "0"}), 1);
  EXPECT_EQ(statusOf({"-g", ""}), 1);
  EXPECT_EQ(statusOf({"--correction="}), 1);  // an empty answer is no answer
  const Options qh = parse({"-qh"});
  EXPECT_TRUE(qh.quiet && qh.help);
  EXPECT_TRUE(parse({"-h"}).help);
  EXPECT_TRUE(parse({"--version"}).version);
  EXPECT_NE(usageText().find("--drop-gapped-codons"), std::string::npos);
}

}  // namespace
}  // namespace radcon
