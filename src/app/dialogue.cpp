#include "app/dialogue.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "util/error.h"

namespace radcon {

namespace {

// One question a row: the text that asks (printed as it stands), what the
// answer is called when the input ends without it, the option that gives it
// instead, and where the answer goes.
struct Question {
  const char* text;
  const char* what;
  const char* option;
  bool (*given)(const Answers&);
  void (*take)(Answers&, const std::string& word);
};

const Question kQuestions[] = {
    {"Use corrected N and S? 0 not use, 1 use\n", "answer to \"Use corrected N and S?\"", "--correction",
     [](const Answers& a) { return a.correction.has_value(); },
     [](Answers& a, const std::string& w) { a.correction = parseCorrection(w); }},
    {"Input transition to transvertion ratio (0.5:no Ts/Tv bias )", "transition/transversion ratio", "--tstv",
     [](const Answers& a) { return a.tstv.has_value(); },
     [](Answers& a, const std::string& w) { a.tstv = parseTsTv(w); }},
    {"Input Ka/Ks rate ratio", "Ka/Ks rate ratio", "--kaks", [](const Answers& a) { return a.KaKsRatio.has_value(); },
     [](Answers& a, const std::string& w) { a.KaKsRatio = parseKaKs(w); }},
    {"Choose amino acid group files:\n 1. Charge\n 2. Polarity\n 3. Miyata and Yasunaga\n 4. Self-defined\n",
     "amino-acid grouping", "--grouping", [](const Answers& a) { return a.division.has_value(); },
     [](Answers& a, const std::string& w) { a.division = parseDivision(w); }},
};

}  // namespace

bool Dialogue::complete(const Answers& given) {
  return std::all_of(std::begin(kQuestions), std::end(kQuestions), [&](const Question& q) { return q.given(given); });
}

void Dialogue::checkAnswersCanBeRead(const Answers& given, bool quiet, const std::vector<std::string>& files,
                                     const std::string& inputs) {
  const bool alignmentOnStdin = std::find(files.begin(), files.end(), "-") != files.end();
  const bool listOnStdin = inputs == "-";
  if (!alignmentOnStdin && !listOnStdin && (!quiet || !::isatty(STDIN_FILENO))) return;
  std::string missing;
  for (const Question& q : kQuestions)
    if (!q.given(given)) missing += (missing.empty() ? "" : ", ") + std::string(q.option);
  if (missing.empty()) return;
  usage(std::string(alignmentOnStdin ? "the alignment is read from standard input (-)"
                    : listOnStdin    ? "the list of alignments is read from standard input (--inputs -)"
                                     : "-q asks no question and standard input is a terminal") +
        "; give the missing answers as options: " + missing);
}

Answers Dialogue::askMissing(const Answers& given, bool quiet) {
  Answers a = given;
  for (const Question& q : kQuestions) {
    if (q.given(a)) continue;
    if (!quiet) {
      std::fputs(q.text, stdout);
      promptOpen_ = q.text[std::strlen(q.text) - 1] != '\n';
    }
    std::fflush(stdout);
    const std::optional<std::string> word = readWord(stdin);
    if (!word) fail(std::string("The input ended before the ") + q.what + " was given.");
    q.take(a, *word);
  }
  return a;
}

}  // namespace radcon
