#include "differences/step.h"

#include <cmath>

#include "codon/genetic_code.h"

namespace radcon {

int IsTransVersion(int x1, int x2) {
  if (x1 < 0 || x1 > 3 || x2 < 0 || x2 > 3) return 0;
  return (x1 >> 1) != (x2 >> 1) ? 1 : 0;
}

int HasTransVersion(int x1, int y1, int z1, int x2, int y2, int z2) {
  if (IsTransVersion(x1, x2)) return 1;
  if (IsTransVersion(y1, y2)) return 1;
  if (IsTransVersion(z1, z2)) return 1;
  return 0;
}

int SynonymousChange(int x1, int y1, int z1, int x2, int y2, int z2, const GeneticCode& code) {
  return code.translate(bb(x1, y1, z1)) == code.translate(bb(x2, y2, z2)) ? 1 : 0;
}

int IsRadical(int x1, int y1, int z1, int x2, int y2, int z2, const int* indexs, const GeneticCode& code) {
  return indexs[code.translate(bb(x1, y1, z1))] != indexs[code.translate(bb(x2, y2, z2))] ? 1 : 0;
}

double ComputeQab(int x1, int y1, int z1, int x2, int y2, int z2, double Pi2, double ratio, double w, double r,
                  const int* indexs, const GeneticCode& code, SiteModel model) {
  const int Synonymous = SynonymousChange(x1, y1, z1, x2, y2, z2, code);
  const int Transversion = HasTransVersion(x1, y1, z1, x2, y2, z2);
  const int Radical = IsRadical(x1, y1, z1, x2, y2, z2, indexs, code);
  if (model == SiteModel::kMutation) {
    const double mutation = Transversion ? Pi2 : Pi2 * ratio;
    if (Synonymous) return mutation;
    return Radical ? (mutation * w) * std::sqrt(r) : (mutation * w) / std::sqrt(r);
  }
  if (Synonymous) return Transversion ? Pi2 : ratio;
  const double base = Transversion ? w * Pi2 : ratio * w * Pi2;
  return Radical ? base * std::sqrt(r) : base / std::sqrt(r);
}

}  // namespace radcon
