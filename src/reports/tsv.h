// Cells of the tab-separated tables: each begun by a tab; a value that does not
// exist (NaN, infinity) is NA, as R and pandas read it.
#pragma once

#include <cmath>

#include "reports/text_buffer.h"

namespace radcon {

// Six decimals, as "%f".
inline void fixedCell(TextBuffer& t, double v) {
  t.put('\t');
  if (std::isfinite(v))
    t.fixed(v, 6, 0);
  else
    t.append("NA");
}

// Six significant digits, as "%.6g": covariances and p-values, however small.
inline void generalCell(TextBuffer& t, double v) {
  t.put('\t');
  if (std::isfinite(v))
    t.general(v);
  else
    t.append("NA");
}

}  // namespace radcon
