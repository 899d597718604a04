#include "input/group_file.h"

#include <unistd.h>

#include <climits>

#include "codon/genetic_code.h"
#include "common/text.h"
#include "files/whole_file.h"
#include "input/number_words.h"
#include "util/error.h"

namespace radcon {

namespace {

// Nothing of a real grouping comes near this size; anything behind the listed
// groups is never read, so a cut-off is harmless.
constexpr std::size_t kMaxGroupFileBytes = 1 << 20;

struct Cursor {
  const std::string& text;
  const std::string& where;
  std::size_t pos = 0;
  int line = 1;

  int peek() const { return pos < text.size() ? static_cast<unsigned char>(text[pos]) : EOF; }
  int get() {
    const int c = peek();
    if (c != EOF) ++pos;
    if (c == '\n') ++line;
    return c;
  }
  [[noreturn]] void error(const std::string& what) const {
    fail("Group file " + where + ", line " + std::to_string(line) + ": " + what);
  }
  // An integer as "%d" reads it: blanks skipped, optional sign, digits. What
  // follows the digits is left for the caller.
  long long integer(const char* what) {
    while (isBlank(peek())) get();
    if (peek() == EOF) error(std::string("the file ends where the ") + what + " should stand.");
    const WholePrefix r = readWholePrefix(std::string_view(text).substr(pos), INT_MAX);
    if (r.status == WholePrefix::kTooLarge) error(std::string("the ") + what + " is too large.");
    if (r.status == WholePrefix::kNotANumber) {
      pos += r.end;  // past the sign, to the character that is not a digit
      error(std::string("the ") + what + " is not a number (" + describeChar(peek()) + ").");
    }
    pos += r.end;  // digits and a sign hold no line break
    return r.value;
  }
};

}  // namespace

const char* groupFileName(int division) {
  switch (division) {
    case 1: return "charge.div";
    case 2: return "polarity.div";
    case 3: return "MY.div";
    case 4: return "self.div";
    default: return nullptr;
  }
}

GroupTable parseGroupText(const std::string& text, const std::string& where) {
  Cursor in{text, where};
  const long long groups = in.integer("number of groups");
  if (groups < 1) in.error("the number of groups is " + std::to_string(groups) + "; at least 1 is needed.");
  GroupTable table;
  table.fill(static_cast<int>(groups));  // the last group holds every amino acid not listed
  table[kStop] = -1;
  for (long long k = 1; k < groups; ++k) {
    const long long m = in.integer("number of letters of a group");
    if (m < 0) in.error("group " + std::to_string(k) + " has a negative number of letters.");
    // One separator follows the count; a CR LF line end counts as one.
    const int sep = in.get();
    if (sep == EOF) in.error("the file ends inside group " + std::to_string(k) + ".");
    if (sep == '\r' && in.peek() == '\n') in.get();
    for (long long l = 0; l < m; ++l) {
      const int c = in.get();
      const int index = (c == EOF) ? -1 : change(static_cast<char>(c));
      if (c == EOF) in.error("the file ends inside group " + std::to_string(k) + ", which should hold " + std::to_string(m) + " letters.");
      if (index < 0)
        in.error("group " + std::to_string(k) + " holds " + describeChar(c) +
                 ", which is not one of the 20 upper-case amino-acid letters ACDEFGHIKLMNPQRSTVWY.");
      table[index] = static_cast<int>(k);
    }
  }
  return table;
}

std::string locateGroupFile(const std::string& name) {
  // The current folder, so that a user's own file overrides a shipped one; then
  // the installed data folder, beside the binary (<prefix>/bin next to
  // <prefix>/share/radcon) or where it was configured to go; last the build
  // tree's copy, for a binary run where it was built. Never the source tree.
  std::string candidates[4] = {name, "", RADCON_INSTALL_DATA_DIR "/" + name, RADCON_BUILD_DATA_DIR "/" + name};
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    std::string dir(exe, static_cast<std::size_t>(n));
    dir = dir.substr(0, dir.find_last_of('/'));
    candidates[1] = dir + "/../share/radcon/" + name;
  }
  for (const std::string& c : candidates)
    if (!c.empty() && access(c.c_str(), R_OK) == 0) return c;
  return "";
}

GroupTable readGroupFile(const std::string& path) {
  const WholeFile f = readWholeFile(path, kMaxGroupFileBytes);
  if (f.status == WholeFile::kCannotOpen) fail("Can't open the group file " + path + ".");
  if (f.status != WholeFile::kRead && f.status != WholeFile::kTooLarge)  // what follows the groups is never read
    fail("Can't read the group file " + path + ".");
  return parseGroupText(f.text, path);
}

GroupTable loadGrouping(int division) {
  const char* name = groupFileName(division);
  if (!name) fail("The amino-acid grouping must be 1, 2, 3 or 4.");
  const std::string path = locateGroupFile(name);
  if (path.empty())
    fail(std::string("The group file ") + name +
         " is neither in the current directory nor in radcon's data folder (" RADCON_INSTALL_DATA_DIR ").");
  return readGroupFile(path);
}

}  // namespace radcon
