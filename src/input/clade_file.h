// Clade files: which clade each sequence belongs to, for means over groups of
// pairs. One sequence a line: its name, white space, the clade's label. The label
// is the last word, so a name may hold blanks; blank lines and lines that begin
// with '#' are skipped.
#pragma once

#include <string>
#include <vector>

namespace radcon {

struct Clades {
  std::vector<std::string> labels;  // in the order they first appear
  std::vector<int> cladeOf;         // by sequence: an index into labels
};

// Assigns every sequence of the alignment (names as users see them) to a clade;
// a line names a sequence by its whole name or by its first 20 characters.
// 'where' names the file in messages. Throws RunError (status 1) for a malformed
// line, a name that is not in the alignment or is given twice, a name the
// alignment holds twice, and a sequence without a clade.
Clades parseCladeText(const std::string& text, const std::string& where, const std::vector<std::string>& names);

// Reads a clade file from a path.
Clades readCladeFile(const std::string& path, const std::vector<std::string>& names);

}  // namespace radcon
