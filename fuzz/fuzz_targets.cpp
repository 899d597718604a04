// libFuzzer targets for every parser of untrusted input. Build one binary per
// target with -DRADCON_FUZZ_TARGET=<name>; each must never crash, hang or leak,
// whatever the bytes: bad input may only end in a RunError.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "input/answers.h"
#include "input/clade_file.h"
#include "input/group_file.h"
#include "input/input_list.h"
#include "input/options.h"
#include "input/sequence_file.h"
#include "util/error.h"

using namespace radcon;

namespace {

std::vector<std::string> words(const std::string& text, char separator) {
  std::vector<std::string> w(1);
  for (char c : text) {
    if (c == separator)
      w.emplace_back();
    else
      w.back().push_back(c);
  }
  return w;
}

[[maybe_unused]] // The first byte chooses whether gaps are allowed.
[[maybe_unused]] void native(const std::string& text) {
  const bool gaps = !text.empty() && (text[0] & 1);
  Alignment al = parseSequenceText(text.substr(text.empty() ? 0 : 1), gaps);
  if (gaps) dropGappedCodons(al);
  for (std::uint8_t n : al.nucleotides)
    if (n > 3) __builtin_trap();  // after dropping, only nucleotide indices remain
}

// The first byte chooses whether gaps are allowed; the rest follows a '>'.
[[maybe_unused]] void fasta(const std::string& text) {
  native(std::string(1, text.empty() ? '\0' : text[0]) + ">" + (text.empty() ? "" : text.substr(1)));
}

[[maybe_unused]] void groups(const std::string& text) {
  const GroupTable t = parseGroupText(text, "fuzz.div");
  if (t[20] != -1) __builtin_trap();
  for (int k = 0; k < 20; ++k)
    if (t[k] < 1) __builtin_trap();
}

// Clades of four sequences, two of whose names hold a blank and a carriage return.
[[maybe_unused]] void clades(const std::string& text) {
  static const std::vector<std::string> names = {"human", "chimp", "Pan paniscus", "rhesus\r"};
  const Clades c = parseCladeText(text, "fuzz.txt", names);
  if (c.cladeOf.size() != names.size()) __builtin_trap();
  for (int k : c.cladeOf)
    if (k < 0 || k >= static_cast<int>(c.labels.size())) __builtin_trap();
}

// A list of alignments: every path is non-empty, trimmed, and no comment.
[[maybe_unused]] void inputs(const std::string& text) {
  for (const std::string& p : parseInputList(text)) {
    if (p.empty() || p[0] == '#' || p.front() == ' ' || p.back() == ' ' || p.find('\n') != std::string::npos)
      __builtin_trap();
    geneName(p);
  }
}

[[maybe_unused]] void answers(const std::string& text) {
  std::FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  if (!f) return;
  int k = 0;
  try {
    while (auto w = readWord(f)) {
      switch (k++ % 4) {
        case 0: parseCorrection(*w); break;
        case 1: parseTsTv(*w); break;
        case 2: parseKaKs(*w); break;
        default: parseDivision(*w); break;
      }
    }
  } catch (const RunError&) {
  }
  std::fclose(f);
}

[[maybe_unused]] void options(const std::string& text) {
  std::vector<std::string> args = words(text, '\n');
  std::vector<const char*> argv = {"radcon"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  parseOptions(static_cast<int>(argv.size()), argv.data());
  usageText();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    RADCON_FUZZ_TARGET(text);
  } catch (const RunError& e) {
    if (e.kind() != RunError::kFailure && e.kind() != RunError::kUsage) __builtin_trap();
  }
  return 0;
}
