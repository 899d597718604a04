#include "input/clade_file.h"

#include <gtest/gtest.h>

#include "../unit_support.h"

namespace radcon {
namespace {

const std::vector<std::string> kNames = {"human", "chimp", "Pan paniscus\r", "macaque"};

TEST(CladeFile, LabelsInOrderOfFirstAppearance) {
  const Clades c = parseCladeText("# apes and monkeys\nmacaque\tOWM\r\nhuman ape\n\nPan paniscus  ape\nchimp ape\n",
                                  "c.txt", kNames);
  EXPECT_EQ(c.labels, (std::vector<std::string>{"OWM", "ape"}));
  EXPECT_EQ(c.cladeOf, (std::vector<int>{1, 1, 1, 0}));
}

TEST(CladeFile, WholeNamesOrTheirFirstTwentyCharacters) {
  const std::vector<std::string> names = {"Pan_troglodytes_isolate_A", "Pan_troglodytes_isolate_B",
                                          "Homo_sapiens_individual_1", "Homo_sapiens"};
  const Clades c = parseCladeText("Pan_troglodytes_isolate_B pan\nHomo_sapiens homo\nPan_troglodytes_isolate_A pan\n"
                                  "Homo_sapiens_individ homo\n",
                                  "c.txt", names);
  EXPECT_EQ(c.cladeOf, (std::vector<int>{0, 0, 1, 1}));
  EXPECT_NE(test::refusal([&] { parseCladeText("Homo_sapiens_individu homo\n", "c.txt", names); })
                .find("no sequence of the alignment is named \"Homo_sapiens_individu\""),
            std::string::npos);  // neither whole nor 20 characters
  EXPECT_EQ(test::refusal([&] { parseCladeText("Homo_sapiens_individ a\nHomo_sapiens_individ b\n", "c.txt",
                                               {names[2]}); }),
            "Clade file c.txt, line 2: \"Homo_sapiens_individ\" is given a clade for the second time.");
  // Twenty characters that begin several names name none of them.
  EXPECT_EQ(test::refusal([&] { parseCladeText("Pan_troglodytes_isol a\n", "c.txt", names); }),
            "Clade file c.txt, line 1: \"Pan_troglodytes_isol\" is the beginning of several sequences' names; give "
            "the whole name.");
}

TEST(CladeFile, EveryRefusal) {
  const std::string all = "human a\nchimp a\nPan paniscus b\nmacaque b\n";
  EXPECT_NE(test::refusal([&] { parseCladeText("human\n", "c.txt", kNames); }).find("c.txt, line 1: a sequence name and a clade label"),
            std::string::npos);
  EXPECT_NE(test::refusal([&] { parseCladeText(all + "gorilla a\n", "c.txt", kNames); }).find("line 5: no sequence of the alignment is named \"gorilla\""),
            std::string::npos);
  EXPECT_NE(test::refusal([&] { parseCladeText(all + "human b\n", "c.txt", kNames); }).find("\"human\" is given a clade for the second time"),
            std::string::npos);
  EXPECT_NE(test::refusal([&] { parseCladeText("human a\nchimp a\nmacaque b\n", "c.txt", kNames); }).find("sequence 3 (\"Pan paniscus\") has no clade"),
            std::string::npos);
  EXPECT_NE(test::refusal([&] { parseCladeText(all, "c.txt", {"x", "y", "x"}); }).find("two sequences named \"x\""),
            std::string::npos);
  EXPECT_NE(test::refusal([] { readCladeFile("/nonexistent/c.txt", kNames); }).find("Can't open the clade file"),
            std::string::npos);
}

}  // namespace
}  // namespace radcon
