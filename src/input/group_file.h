// Amino-acid group files: which amino acids a grouping puts together. Two amino
// acids in one group make a conservative change, in different groups a radical one.
#pragma once

#include <string>

#include "common/groups.h"

namespace radcon {

// The shipped grouping files, by the dialogue's answer 1..4.
const char* groupFileName(int division);

// Parses the text of a group file. 'where' names the file in messages.
// Throws RunError (status 1) for a malformed file.
GroupTable parseGroupText(const std::string& text, const std::string& where);

// Where a group file is found: the current directory first, then radcon's
// installed data folder, then the build tree's copy. Returns an empty string when
// it is nowhere.
std::string locateGroupFile(const std::string& name);

// Reads a group file from a path. Throws RunError when it cannot be read or parsed.
GroupTable readGroupFile(const std::string& path);

// Finds and loads the group file of a dialogue answer 1..4.
GroupTable loadGrouping(int division);

}  // namespace radcon
