// The two models of sites and of pathway step rates a run can use.
#pragma once

namespace radcon {

// kNeighbour: radcon's original model. Each codon's neighbours are weighted by
// their codon frequency and the Ts/Tv parameter, and every codon is rescaled to
// three sites; the reports of earlier versions come from it.
// kMutation: each mutation weighed once by its target codon's frequency and the
// Ts/Tv parameter; mutations to stop codons are lost, one scale per sequence
// makes its mutations total three sites a codon. Under equal selection the
// expected proportions of radical and of conservative differences are then equal.
enum class SiteModel { kNeighbour, kMutation };

}  // namespace radcon
