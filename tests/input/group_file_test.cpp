#include "input/group_file.h"

#include <gtest/gtest.h>

#include "codon/genetic_code.h"
#include "util/error.h"

#include "../unit_support.h"

namespace radcon {
namespace {

GroupTable groups(const std::string& text) { return parseGroupText(text, "test.div"); }

std::string failure(const std::string& text) {
  return test::refusal([&] { groups(text); });
}

int group(const GroupTable& t, char letter) { return t[change(letter)]; }

TEST(GroupFile, ThreeGroupExample) {
  const GroupTable t = groups("3\n2 DE\n3 KRH\n");
  for (char c : std::string("DE")) EXPECT_EQ(group(t, c), 1);
  for (char c : std::string("KRH")) EXPECT_EQ(group(t, c), 2);
  for (char c : std::string("ANCQGILMFPSTWYV")) EXPECT_EQ(group(t, c), 3);
  EXPECT_EQ(t[kStop], -1);
}

TEST(GroupFile, SingleGroupAndSeparators) {
  const GroupTable one = groups("1");
  for (int k = 0; k < 20; ++k) EXPECT_EQ(one[k], 1);
  EXPECT_EQ(one[kStop], -1);
  EXPECT_EQ(groups("3\n2\nDE\n3\nKRH"), groups("3\n2 DE\n3 KRH\n"));
  EXPECT_EQ(groups("3\r\n2 DE\r\n3\r\nKRH\r\n"), groups("3\n2 DE\n3\nKRH\n"));
  // A letter listed twice ends in the later group.
  EXPECT_EQ(group(groups("3\n1 D\n1 D\n"), 'D'), 2);
}

TEST(GroupFile, MalformedFiles) {
  EXPECT_NE(failure("").find("ends where the number of groups"), std::string::npos);
  EXPECT_NE(failure("x\n").find("not a number"), std::string::npos);
  EXPECT_NE(failure("0\n").find("at least 1"), std::string::npos);
  EXPECT_NE(failure("-2\n").find("at least 1"), std::string::npos);
  EXPECT_NE(failure("3\n2 DE\n").find("ends where the number of letters"), std::string::npos);
  EXPECT_NE(failure("2\n3 DE").find("ends inside group 1"), std::string::npos);
  EXPECT_NE(failure("2\n3 D E\n").find("a blank"), std::string::npos);
  EXPECT_NE(failure("2\n2 de\n").find("'d'"), std::string::npos);
  EXPECT_NE(failure("2\n2 D*\n").find("'*'"), std::string::npos);
  EXPECT_NE(failure("2\n2 DB\n").find("'B'"), std::string::npos);
  EXPECT_NE(failure("2\nX DE\n").find("not a number"), std::string::npos);
  EXPECT_NE(failure("2\n-1 DE\n").find("negative"), std::string::npos);
  EXPECT_NE(failure("2\n2 D\n").find("line 3"), std::string::npos);
}

TEST(GroupFile, ShippedGroupings) {
  const GroupTable charge = readGroupFile(RADCON_SOURCE_DIR "/data/charge.div");
  for (char c : std::string("RHK")) EXPECT_EQ(group(charge, c), group(charge, 'R'));
  EXPECT_EQ(group(charge, 'D'), group(charge, 'E'));
  EXPECT_NE(group(charge, 'D'), group(charge, 'K'));
  for (char c : std::string("ANCQGILMFPSTWYV")) EXPECT_EQ(group(charge, c), group(charge, 'A'));
  EXPECT_NE(group(charge, 'A'), group(charge, 'K'));
  EXPECT_NE(group(charge, 'A'), group(charge, 'D'));

  const GroupTable polarity = readGroupFile(RADCON_SOURCE_DIR "/data/polarity.div");
  for (char c : std::string("RNDCQEGHKSTY")) EXPECT_EQ(group(polarity, c), group(polarity, 'R'));
  for (char c : std::string("AILMFPWV")) EXPECT_EQ(group(polarity, c), group(polarity, 'A'));
  EXPECT_NE(group(polarity, 'R'), group(polarity, 'A'));

  const GroupTable my = readGroupFile(RADCON_SOURCE_DIR "/data/MY.div");
  const std::string sets[] = {"C", "AGPST", "DENQ", "HKR", "ILMV", "FWY"};
  for (const std::string& a : sets)
    for (const std::string& b : sets)
      EXPECT_EQ(group(my, a[0]) == group(my, b[0]), a == b) << a << " " << b;
  for (const std::string& a : sets)
    for (char c : a) EXPECT_EQ(group(my, c), group(my, a[0]));

  const GroupTable self = readGroupFile(RADCON_SOURCE_DIR "/data/self.div");
  for (int k = 0; k < 20; ++k) EXPECT_GE(self[k], 1);
  // Every loaded table has real groups: no amino acid shares the stop's -1.
  for (const GroupTable* t : {&charge, &polarity, &my, &self}) {
    EXPECT_EQ((*t)[kStop], -1);
    for (int k = 0; k < 20; ++k) EXPECT_GE((*t)[k], 1);
  }
}

TEST(GroupFile, FoundInTheDataFolderFromAnyDirectory) {
  EXPECT_FALSE(locateGroupFile("MY.div").empty());
  EXPECT_TRUE(locateGroupFile("no-such-grouping.div").empty());
  EXPECT_EQ(groupFileName(0), nullptr);
  EXPECT_EQ(groupFileName(5), nullptr);
  EXPECT_STREQ(groupFileName(3), "MY.div");
}

}  // namespace
}  // namespace radcon
