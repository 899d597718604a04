#include "util/error.h"

#include <cstdio>
#include <cstring>

namespace radcon {

std::string errnoText(int err) { return std::strerror(err); }

std::string describeChar(int c) {
  switch (c) {
    case '\n': return "a line break";
    case '\r': return "a carriage return";
    case ' ': return "a blank";
    case '\t': return "a tab";
    case EOF: return "the end of the file";
    default: break;
  }
  if (c >= 0x21 && c < 0x7f) return std::string("'") + static_cast<char>(c) + "'";
  char buf[16];
  std::snprintf(buf, sizeof buf, "byte 0x%02X", static_cast<unsigned>(c) & 0xFFu);
  return buf;
}

}  // namespace radcon
