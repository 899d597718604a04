#include "input/answers.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "util/error.h"

#include "../unit_support.h"

namespace radcon {
namespace {



TEST(Answers, WordsFromOneLineOrSeveral) {
  for (const char* text : {"1 0.5 1 3", "1\n0.5\n1\n3\n", "\t1\r\n  0.5 \n\n1   3"}) {
    std::FILE* f = fmemopen(const_cast<char*>(text), std::char_traits<char>::length(text), "r");
    std::vector<std::string> words;
    while (auto w = readWord(f)) words.push_back(*w);
    std::fclose(f);
    EXPECT_EQ(words, (std::vector<std::string>{"1", "0.5", "1", "3"}));
  }
}

TEST(Answers, ValidValues) {
  EXPECT_EQ(parseCorrection("0"), 0);
  EXPECT_EQ(parseCorrection("2"), 2);
  EXPECT_EQ(parseCorrection("-1"), -1);
  EXPECT_EQ(parseTsTv("0.5").typed, 0.5);
  EXPECT_EQ(parseTsTv("0").typed, 0.0);
  EXPECT_EQ(parseTsTv("-4").typed, -4.0);
  EXPECT_EQ(parseTsTv("0.00004").typed, 0.00004);
  EXPECT_EQ(parseTsTv("1e6").typed, 1e6);
  EXPECT_TRUE(parseTsTv("estimate").estimate);
  EXPECT_FALSE(parseTsTv("0.5").estimate);
  EXPECT_EQ(parseKaKs("1"), 1.0);
  EXPECT_EQ(parseKaKs("1e-6"), 1e-6);
  EXPECT_EQ(parseKaKs("1e6"), 1e6);
  for (int d = 1; d <= 4; ++d) EXPECT_EQ(parseDivision(std::to_string(d)), d);
}

TEST(Answers, RefusedValuesNameTheAnswer) {
  EXPECT_NE(test::refusal([] { parseCorrection("1.5"); }).find("\"1.5\""), std::string::npos);
  EXPECT_NE(test::refusal([] { parseCorrection("yes"); }).find("Use corrected"), std::string::npos);
  EXPECT_NE(test::refusal([] { parseCorrection("99999999999"); }).find("integer"), std::string::npos);
  EXPECT_NE(test::refusal([] { parseTsTv("0.5x"); }).find("\"0.5x\""), std::string::npos);
  EXPECT_NE(test::refusal([] { parseTsTv("nan"); }).find("finite"), std::string::npos);
  EXPECT_NE(test::refusal([] { parseTsTv("inf"); }).find("finite"), std::string::npos);
  EXPECT_NE(test::refusal([] { parseTsTv("2e6"); }).find("at most 1e6"), std::string::npos);
  EXPECT_NE(test::refusal([] { parseKaKs("0"); }).find("1e-6 to 1e6"), std::string::npos);
  EXPECT_NE(test::refusal([] { parseKaKs("-1"); }).find("1e-6 to 1e6"), std::string::npos);
  EXPECT_NE(test::refusal([] { parseKaKs("1e-200"); }).find("1e-6 to 1e6"), std::string::npos);
  EXPECT_NE(test::refusal([] { parseKaKs("1e7"); }).find("1e-6 to 1e6"), std::string::npos);
  EXPECT_NE(test::refusal([] { parseKaKs("abc"); }).find("Ka/Ks"), std::string::npos);
  EXPECT_NE(test::refusal([] { parseDivision("0"); }).find("1, 2, 3 or 4"), std::string::npos);
  EXPECT_NE(test::refusal([] { parseDivision("5"); }).find("1, 2, 3 or 4"), std::string::npos);
  EXPECT_NE(test::refusal([] { parseDivision("1.0"); }).find("1, 2, 3 or 4"), std::string::npos);
}

}  // namespace
}  // namespace radcon
