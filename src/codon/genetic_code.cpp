#include "codon/genetic_code.h"

#include <cstdio>
#include <cstdlib>

namespace radcon {

int aa(int a, int b, int c) {
  const int k = bb(a, b, c);
  if (static_cast<unsigned>(k) > 63u) {
    std::printf("%d %d %d", a, b, c);
    std::exit(-1);
  }
  return kGeneticCode[k];
}

}  // namespace radcon
