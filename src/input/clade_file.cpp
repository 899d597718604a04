#include "input/clade_file.h"

#include <cstdio>
#include <map>
#include <memory>

#include "common/alignment.h"
#include "util/error.h"

namespace radcon {

namespace {

constexpr std::size_t kMaxCladeFileBytes = std::size_t{64} << 20;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

}  // namespace

Clades parseCladeText(const std::string& text, const std::string& where, const std::vector<std::string>& names) {
  std::map<std::string, int> sequence;  // name as users see it -> sequence number
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string name = displayName(names[i]);
    if (!sequence.emplace(name, static_cast<int>(i)).second)
      fail("Clade file " + where + ": the alignment holds two sequences named \"" + name +
           "\", so a clade cannot be told for each.");
  }
  Clades c;
  c.cladeOf.assign(names.size(), -1);
  std::map<std::string, int> label;
  std::size_t start = 0;
  for (int line = 1; start < text.size(); ++line) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string content = trim(text.substr(start, end - start));
    start = end + 1;
    if (content.empty() || content[0] == '#') continue;
    const std::string at = "Clade file " + where + ", line " + std::to_string(line) + ": ";
    std::size_t split = content.size();
    while (split > 0 && !isBlank(content[split - 1])) --split;
    if (split == 0) fail(at + "a sequence name and a clade label are needed, separated by white space.");
    const std::string name = trim(content.substr(0, split)), clade = content.substr(split);
    const auto s = sequence.find(name);
    if (s == sequence.end()) fail(at + "no sequence of the alignment is named \"" + name + "\".");
    if (c.cladeOf[static_cast<std::size_t>(s->second)] >= 0)
      fail(at + "\"" + name + "\" is given a clade for the second time.");
    const auto [it, added] = label.emplace(clade, static_cast<int>(c.labels.size()));
    if (added) c.labels.push_back(clade);
    c.cladeOf[static_cast<std::size_t>(s->second)] = it->second;
  }
  for (std::size_t i = 0; i < names.size(); ++i)
    if (c.cladeOf[i] < 0)
      fail("Clade file " + where + ": sequence " + std::to_string(i + 1) + " (\"" + displayName(names[i]) +
           "\") has no clade.");
  return c;
}

Clades readCladeFile(const std::string& path, const std::vector<std::string>& names) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "r"), &std::fclose);
  if (!f) fail("Can't open the clade file " + path + ".");
  std::string text;
  char buf[65536];
  std::size_t got = 0;
  while ((got = std::fread(buf, 1, sizeof buf, f.get())) > 0) {
    text.append(buf, got);
    if (text.size() > kMaxCladeFileBytes) fail("The clade file " + path + " is larger than 64 MB.");
  }
  if (std::ferror(f.get())) fail("Can't read the clade file " + path + ".");
  return parseCladeText(text, path, names);
}

}  // namespace radcon
