// An amino-acid grouping: two amino acids in one group make a conservative
// change, in different groups a radical one.
#pragma once

#include <array>

namespace radcon {

// Group number of every amino-acid index 0..19; the stop codon (index 20) holds -1.
using GroupTable = std::array<int, 21>;

}  // namespace radcon
