// Synthetic alignments for tests and benchmarks: sequences that share a random
// root gene of sense codons and differ at about 'divergence' of their sites.
#pragma once

#include <random>
#include <string>

namespace radcon::test {

inline std::string syntheticAlignment(int n, int codons, double divergence, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::string root;
  while (static_cast<int>(root.size()) < 3 * codons) {
    std::string c;
    for (int k = 0; k < 3; ++k) c.push_back("TCAG"[rng() % 4]);
    if (c != "TAA" && c != "TAG" && c != "TGA") root += c;
  }
  std::string text = std::to_string(n) + " " + std::to_string(3 * codons) + "\n";
  for (int i = 0; i < n; ++i) {
    std::string s = root;
    for (char& ch : s)
      if (u(rng) < divergence) ch = "TCAG"[rng() % 4];
    text += "seq";
    text += std::to_string(i);
    text += "\n";
    text += s;
    text += "\n";
  }
  return text;
}

}  // namespace radcon::test
