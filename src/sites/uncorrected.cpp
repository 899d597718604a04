#include "sites/uncorrected.h"

#include "sites/site_model.h"

namespace radcon {

double synonymous(double ratio, int a, int b, int c) {
  const double kappa = ratio;
  const double x = kappa / (2 + kappa);
  switch (bb(a, b, c)) {
    case 0: case 1: return x;                      // TTT TTC  F
    case 2: case 3: return x + x;                  // TTA TTG  L
    case 8: case 9: return 1;                      // TAT TAC  Y
    case 10: case 11: case 14: return 0;           // TAA TAG TGA  stop
    case 12: case 13: return kappa / (1 + kappa);  // TGT TGC  C
    case 15: return 0;                             // TGG  W
    case 16: case 17: return 1;                    // CTT CTC  L
    case 18: case 19: return x + 1;                // CTA CTG  L
    case 24: case 25: case 26: case 27: return x;  // CAT CAC H, CAA CAG Q
    case 28: case 29: return 1;                    // CGT CGC  R
    case 30: return 1.5;                           // CGA  R
    case 31: return 1 / (2 + kappa) + 1;           // CGG  R
    case 32: case 33: return (1 + kappa) / (2 + kappa);  // ATT ATC  I
    case 34: return 2 / (2 + kappa);               // ATA  I
    case 35: return 0;                             // ATG  M
    case 40: case 41: case 42: case 43: return x;  // AAT AAC N, AAA AAG K
    case 44: case 45: return x;                    // AGT AGC  S
    case 46: return 1 / (1 + kappa) + x;           // AGA  R
    case 47: return 1 / (2 + kappa) + x;           // AGG  R
    case 56: case 57: case 58: case 59: return x;  // GAT GAC D, GAA GAG E
    default: return 1;  // fourfold degenerate: TCN CCN ACN GTN GCN GGN
  }
}

double uncorrectedSynonymous(double ratio, int a, int b, int c, const GeneticCode& code) {
  if (code.aminoAcid == standardCode().aminoAcid) return synonymous(ratio, a, b, c);
  return synonymousShares(ratio, a, b, c, code);
}

}  // namespace radcon
