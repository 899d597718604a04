#include "input/answers.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "util/error.h"

namespace radcon {

namespace {

constexpr std::size_t kMaxWord = 256;

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

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

bool wholeInteger(const std::string& w, long long& out) {
  if (w.empty()) return false;
  std::size_t i = (w[0] == '+' || w[0] == '-') ? 1 : 0;
  if (i == w.size()) return false;
  for (std::size_t k = i; k < w.size(); ++k)
    if (w[k] < '0' || w[k] > '9') return false;
  errno = 0;
  char* end = nullptr;
  out = std::strtoll(w.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

bool wholeNumber(const std::string& w, double& out) {
  if (w.empty()) return false;
  char* end = nullptr;
  out = std::strtod(w.c_str(), &end);
  return end != w.c_str() && *end == '\0';
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
  long long v = 0;
  if (!wholeInteger(word, v) || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
    fail("The answer to \"Use corrected N and S?\" must be an integer (0 not use, 1 use), not " + quoted(word) + ".");
  return static_cast<int>(v);
}

double parseTsTv(const std::string& word) {
  double v = 0;
  if (!wholeNumber(word, v) || !std::isfinite(v))
    fail("The transition/transversion ratio must be a finite number (0.5 for no bias), not " + quoted(word) + ".");
  if (v > kMaxTsTv)
    fail("The transition/transversion ratio must be at most 1e6, not " + quoted(word) + ".");
  return v;
}

double parseKaKs(const std::string& word) {
  double v = 0;
  if (!wholeNumber(word, v) || !std::isfinite(v))
    fail("The Ka/Ks rate ratio must be a finite number from 1e-6 to 1e6, not " + quoted(word) + ".");
  if (v < kMinKaKs || v > kMaxKaKs)
    fail("The Ka/Ks rate ratio must be from 1e-6 to 1e6, not " + quoted(word) + ".");
  return v;
}

int parseDivision(const std::string& word) {
  long long v = 0;
  if (!wholeInteger(word, v) || v < 1 || v > 4)
    fail("The amino-acid grouping must be 1, 2, 3 or 4, not " + quoted(word) + ".");
  return static_cast<int>(v);
}

}  // namespace radcon
