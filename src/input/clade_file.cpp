#include "input/clade_file.h"

#include <map>
#include <set>

#include "common/alignment.h"
#include "common/text.h"
#include "files/whole_file.h"
#include "util/error.h"

namespace radcon {

namespace {

constexpr std::size_t kMaxCladeFileBytes = std::size_t{64} << 20;

}  // namespace

Clades parseCladeText(const std::string& text, const std::string& where, const std::vector<std::string>& names) {
  std::set<std::string> seen;
  for (const std::string& n : names) {
    const std::string name = displayName(n);
    if (!seen.insert(name).second)
      fail("Clade file " + where + ": the alignment holds two sequences named \"" + name +
           "\", so a clade cannot be told for each.");
  }
  Clades c;
  c.cladeOf.assign(names.size(), -1);
  std::map<std::string, int> label;
  Lines lines(text);
  for (std::string_view line; lines.next(line);) {
    const std::string_view content = trimBlanks(line);
    if (content.empty() || content[0] == '#') continue;
    const std::string at = "Clade file " + where + ", line " + std::to_string(lines.number()) + ": ";
    std::size_t split = content.size();
    while (split > 0 && !isBlank(content[split - 1])) --split;
    if (split == 0) fail(at + "a sequence name and a clade label are needed, separated by white space.");
    const std::string name(trimBlanks(content.substr(0, split))), clade(content.substr(split));
    // The whole name, or its first 20 characters as radcon once kept them.
    const int s = findSequence(names, name);
    if (s == -1) fail(at + "no sequence of the alignment is named \"" + name + "\".");
    if (s == -2)
      fail(at + "\"" + name + "\" is the beginning of several sequences' names; give the whole name.");
    if (c.cladeOf[static_cast<std::size_t>(s)] >= 0)
      fail(at + "\"" + name + "\" is given a clade for the second time.");
    const auto [it, added] = label.emplace(clade, static_cast<int>(c.labels.size()));
    if (added) c.labels.push_back(clade);
    c.cladeOf[static_cast<std::size_t>(s)] = it->second;
  }
  for (std::size_t i = 0; i < names.size(); ++i)
    if (c.cladeOf[i] < 0)
      fail("Clade file " + where + ": sequence " + std::to_string(i + 1) + " (\"" + displayName(names[i]) +
           "\") has no clade.");
  return c;
}

Clades readCladeFile(const std::string& path, const std::vector<std::string>& names) {
  const WholeFile f = readWholeFile(path, kMaxCladeFileBytes);
  if (f.status == WholeFile::kCannotOpen) fail("Can't open the clade file " + path + ".");
  if (f.status == WholeFile::kTooLarge) fail("The clade file " + path + " is larger than 64 MB.");
  if (f.status != WholeFile::kRead) fail("Can't read the clade file " + path + ".");
  return parseCladeText(f.text, path, names);
}

}  // namespace radcon
