#include "reports/trace.h"

#include "reports/number_format.h"

namespace radcon {

void writeTraceLines(const SiteTotals& sites, std::FILE* out) {
  char line[2 * 24 + kMaxNumberChars + 4];
  for (int i = 0; i < sites.seqNum; ++i) {
    for (int j = 0; j < sites.seqLength; ++j) {
      char* p = line;
      p = formatInt(p, i);
      *p++ = ' ';
      p = formatInt(p, j);
      *p++ = ' ';
      p = formatFixed(p, sites.at(sites.RR, i, j), 6, 0);
      *p++ = '\n';
      std::fwrite(line, 1, static_cast<std::size_t>(p - line), out);
    }
  }
}

}  // namespace radcon
