#include "codon/genetic_code.h"

#include <string>


namespace radcon {

int aa(int a, int b, int c, const GeneticCode& code) {
  const int k = bb(a, b, c);
  if (static_cast<unsigned>(k) > 63u)
    throw UntranslatableCodon(std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c));
  return code.translate(k);
}

}  // namespace radcon
