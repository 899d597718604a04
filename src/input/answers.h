// The four answers of the dialogue: each is one whitespace-separated word that
// must be wholly a number of its kind and lie in its range.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace radcon {

// The Ts/Tv answer: a number as typed (0.5: no bias, half the rate ratio kappa
// of the codon-model literature), or "estimate": estimated from each alignment.
struct TsTv {
  double typed = 0.5;
  bool estimate = false;
};

// The four answers of a run, each given as an option or asked for by the dialogue.
struct Answers {
  std::optional<int> correction;
  std::optional<TsTv> tstv;
  std::optional<double> KaKsRatio;
  std::optional<int> division;      // 1 charge, 2 polarity, 3 Miyata-Yasunaga, 4 self-defined
};

// Reads the next whitespace-separated word; nothing when the input has ended.
std::optional<std::string> readWord(std::FILE* in);

// Each parser returns the value of a valid word or throws RunError (status 1)
// with a message that names the answer and the accepted values.
int parseCorrection(const std::string& word);
TsTv parseTsTv(const std::string& word);     // a typed value (not yet doubled) or "estimate"
double parseKaKs(const std::string& word);
int parseDivision(const std::string& word);

// Accepted ranges: pathway weights stay finite and positive within them.
inline constexpr double kMaxTsTv = 1e6;
inline constexpr double kMinKaKs = 1e-6;
inline constexpr double kMaxKaKs = 1e6;

}  // namespace radcon
