// The one reader of numbers typed by people: the header of a sequence file, the
// counts of a group file, the answers and the option values. Whole numbers are an
// optional sign and decimal digits; real numbers are what strtod reads in the "C"
// locale (decimal or hexadecimal, inf, nan), whatever locale is set.
#pragma once

#include <climits>
#include <cstddef>
#include <optional>
#include <string_view>

namespace radcon {

struct WholePrefix {
  enum Status { kOk, kNotANumber, kTooLarge };
  Status status = kNotANumber;
  long long value = 0;
  // kOk: where the digits end. kNotANumber: the character that is not a digit.
  std::size_t end = 0;
};

// Reads the optional sign and the digits at the start of text. kTooLarge when the
// magnitude passes 'limit'.
WholePrefix readWholePrefix(std::string_view text, long long limit = LLONG_MAX);

// The value of a word that is wholly a whole number from min to max.
std::optional<long long> wholeWord(std::string_view word, long long min, long long max);

// The value of a word that is wholly a real number (infinities and NaN included).
std::optional<double> realWord(std::string_view word);

}  // namespace radcon
