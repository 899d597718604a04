// Helpers shared by the unit tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/sequence_file.h"
#include "util/error.h"

namespace radcon::test {

// The message of the input failure (status 1) that f throws; "" when it throws none.
template <class F>
std::string refusal(F f) {
  try {
    f();
  } catch (const RunError& e) {
    EXPECT_EQ(e.kind(), RunError::kFailure);
    return e.what();
  }
  return "";
}

// An alignment of the given sequences, through the native reader.
inline Alignment alignmentOf(const std::vector<std::string>& seqs) {
  std::string text = std::to_string(seqs.size()) + " " + std::to_string(seqs[0].size()) + "\n";
  for (const std::string& s : seqs) text += "name\n" + s + "\n";
  return parseSequenceText(text);
}

}  // namespace radcon::test
