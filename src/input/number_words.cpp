#include "input/number_words.h"

#include <stdlib.h>

#include <string>

#include "util/c_locale.h"

namespace radcon {

WholePrefix readWholePrefix(std::string_view text, long long limit) {
  WholePrefix r;
  std::size_t k = 0;
  bool negative = false;
  if (k < text.size() && (text[k] == '+' || text[k] == '-')) negative = text[k++] == '-';
  if (k == text.size() || text[k] < '0' || text[k] > '9') {
    r.end = k;
    return r;
  }
  long long v = 0;
  for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) {
    const int digit = text[k] - '0';
    if (v > (limit - digit) / 10) {
      r.status = WholePrefix::kTooLarge;
      r.end = k;
      return r;
    }
    v = v * 10 + digit;
  }
  r.status = WholePrefix::kOk;
  r.value = negative ? -v : v;
  r.end = k;
  return r;
}

std::optional<long long> wholeWord(std::string_view word, long long min, long long max) {
  const WholePrefix r = readWholePrefix(word);
  if (r.status != WholePrefix::kOk || r.end != word.size() || r.value < min || r.value > max) return std::nullopt;
  return r.value;
}

std::optional<double> realWord(std::string_view word) {
  // strtod skips leading blanks; a word has none to skip.
  if (word.empty() || word.find_first_of(" \t\n\v\f\r") != std::string_view::npos) return std::nullopt;
  const std::string w(word);
  char* end = nullptr;
  const double v = strtod_l(w.c_str(), &end, cLocale());
  if (end != w.c_str() + w.size()) return std::nullopt;
  return v;
}

}  // namespace radcon
