#include "input/answers.h"

#include <cmath>
#include <limits>

#include "common/text.h"
#include "input/number_words.h"
#include "util/error.h"

namespace radcon {

namespace {

constexpr std::size_t kMaxWord = 256;

std::string quoted(const std::string& word) {
  std::string q = "\"";
  for (char ch : word) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7f) {
      q.push_back(ch);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      q += buf;
    }
  }
  return q + "\"";
}

}  // namespace

std::optional<std::string> readWord(std::FILE* in) {
  int c = std::getc(in);
  while (c != EOF && isBlank(c)) c = std::getc(in);
  if (c == EOF) return std::nullopt;
  std::string w;
  while (c != EOF && !isBlank(c)) {
    if (w.size() == kMaxWord) fail("An answer is longer than " + std::to_string(kMaxWord) + " characters.");
    w.push_back(static_cast<char>(c));
    c = std::getc(in);
  }
  return w;
}

int parseCorrection(const std::string& word) {
  const auto v = wholeWord(word, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  if (!v)
    fail("The answer to \"Use corrected N and S?\" must be an integer (0 not use, 1 use), not " + quoted(word) + ".");
  return static_cast<int>(*v);
}

TsTv parseTsTv(const std::string& word) {
  if (word == "estimate") return {0.5, true};
  const auto typed = realWord(word);
  if (!typed || !std::isfinite(*typed))
    fail("The transition/transversion ratio must be a finite number (0.5 for no bias) or estimate, not " +
         quoted(word) + ".");
  if (*typed > kMaxTsTv)
    fail("The transition/transversion ratio must be at most 1e6, not " + quoted(word) + ".");
  return {*typed, false};
}

double parseKaKs(const std::string& word) {
  const auto v = realWord(word);
  if (!v || !std::isfinite(*v))
    fail("The Ka/Ks rate ratio must be a finite number from 1e-6 to 1e6, not " + quoted(word) + ".");
  if (*v < kMinKaKs || *v > kMaxKaKs)
    fail("The Ka/Ks rate ratio must be from 1e-6 to 1e6, not " + quoted(word) + ".");
  return *v;
}

int parseDivision(const std::string& word) {
  const auto v = wholeWord(word, 1, 4);
  if (!v) fail("The amino-acid grouping must be 1, 2, 3 or 4, not " + quoted(word) + ".");
  return static_cast<int>(*v);
}

}  // namespace radcon
