// The dialogue: the four questions, asked on standard input for the answers the
// command line did not give, with the texts users and scripts know.
#pragma once

#include <string>
#include <vector>

#include "input/answers.h"

namespace radcon {

class Dialogue {
 public:
  // Refuses a run whose missing answers could never be read: a quiet run on a
  // terminal would only wait (it asks nothing it can be seen asking), and an
  // alignment or a list of alignments read from standard input (- or --inputs -)
  // leaves nothing there to answer with.
  static void checkAnswersCanBeRead(const Answers& given, bool quiet, const std::vector<std::string>& files,
                                    const std::string& inputs);

  // Whether every answer is given, so that nothing is asked.
  static bool complete(const Answers& given);

  // The given answers, completed from standard input; the questions are printed
  // on standard output unless quiet. Ends the run when the input ends first or an
  // answer is not valid.
  Answers askMissing(const Answers& given, bool quiet);

  // Whether standard output ends with a question not yet followed by a line end
  // (a message printed now should begin on a line of its own).
  bool promptOpen() const { return promptOpen_; }

 private:
  bool promptOpen_ = false;
};

}  // namespace radcon
