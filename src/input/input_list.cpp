#include "input/input_list.h"

#include <cstdio>
#include <memory>

#include "util/error.h"

namespace radcon {

namespace {

constexpr std::size_t kMaxListBytes = std::size_t{256} << 20;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

std::vector<std::string> parseInputList(const std::string& text) {
  std::vector<std::string> paths;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::size_t b = start, e = end;
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    if (b < e && text[b] != '#') paths.emplace_back(text, b, e - b);
    start = end + 1;
  }
  return paths;
}

std::vector<std::string> readInputList(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "r"), &std::fclose);
  if (!f) fail("Can't open the list of alignments " + path + ".");
  std::string text;
  char buf[65536];
  for (std::size_t got; (got = std::fread(buf, 1, sizeof buf, f.get())) > 0;) {
    text.append(buf, got);
    if (text.size() > kMaxListBytes) fail("The list of alignments " + path + " is larger than 256 MB.");
  }
  if (std::ferror(f.get())) fail("Can't read the list of alignments " + path + ".");
  return parseInputList(text);
}

std::string geneName(const std::string& path) {
  if (path == "-") return "stdin";
  std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
  static const char* const kExtensions[] = {".gz", ".fa", ".fasta", ".fas", ".fna", ".seq", ".phy", ".phylip", ".txt"};
  for (bool stripped = true; stripped;) {
    stripped = false;
    for (const char* ext : kExtensions) {
      const std::string e = ext;
      if (name.size() > e.size() && name.ends_with(e)) {
        name.erase(name.size() - e.size());
        stripped = true;
      }
    }
  }
  for (char& c : name)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return name;
}

}  // namespace radcon
